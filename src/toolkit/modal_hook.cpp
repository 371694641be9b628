#include "toolkit/modal_hook.h"

#include <cstdio>

#include "toolkit/controls.h"
#include "toolkit/dispatch.h"
#include "toolkit/native.h"

namespace toolkit {
namespace {
ModalHook* g_hook = nullptr;
bool g_nobodyAtTheScreen = false;
} // namespace

void SetModalHook(ModalHook* hook) { g_hook = hook; }
ModalHook* GetModalHook() { return g_hook; }
void SetNobodyAtTheScreen(bool nobody) { g_nobodyAtTheScreen = nobody; }

bool NobodyToAnswer() { return g_hook != nullptr || g_nobodyAtTheScreen || !native::PersonCanAnswer(); }

void AnswerModal(Window& window) {
    if (g_hook && g_hook->onModal) {
        Dispatch d;
        g_hook->onModal(window);
    } else if (!g_hook) {
        std::fprintf(stderr, "toolkit: modal window \"%s\" shown with nobody to answer it; closed\n",
                     window.Caption().c_str());
    }
}

} // namespace toolkit
