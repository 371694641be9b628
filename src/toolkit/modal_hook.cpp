#include "toolkit/modal_hook.h"

namespace toolkit {
namespace {
ModalHook* g_hook = nullptr;
} // namespace

void SetModalHook(ModalHook* hook) { g_hook = hook; }
ModalHook* GetModalHook() { return g_hook; }

} // namespace toolkit
