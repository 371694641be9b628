// What the toolkit tests share: the application object (support/test_app.h)
// and a modal hook installed for a scope.
#pragma once

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include <sys/stat.h>

#include "support/test_app.h"
#include "toolkit/application.h"
#include "toolkit/modal_hook.h"

namespace tktest {

using tallykey::test::TestApp;

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
