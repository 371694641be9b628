// What the toolkit tests share: the one application object of the process
// and a modal hook installed for a scope.
#pragma once

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include <sys/stat.h>

#include "toolkit/application.h"
#include "toolkit/modal_hook.h"

namespace tktest {

inline toolkit::Application& TestApp() {
    static toolkit::Application* app = [] {
        // Qt wants a private runtime folder; the tests make their own.
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            ::mkdir("/tmp/xdg-tk", 0700);
            ::setenv("XDG_RUNTIME_DIR", "/tmp/xdg-tk", 0);
        }
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "tests_toolkit";
        static char* argv[] = {name, nullptr};
        return new toolkit::Application(argc, argv, "Tallykey 0.4");
    }();
    return *app;
}

// Installs a modal hook for the scope's lifetime.
class HookScope {
public:
    HookScope() { toolkit::SetModalHook(&hook); }
    explicit HookScope(std::function<void(toolkit::Window&)> onModal) : HookScope() {
        hook.onModal = std::move(onModal);
    }
    ~HookScope() { toolkit::SetModalHook(nullptr); }
    HookScope(const HookScope&) = delete;
    HookScope& operator=(const HookScope&) = delete;

    toolkit::ModalHook hook;
};

} // namespace tktest
