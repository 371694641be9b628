// The toolkit's modal hook, installed for a scope: the test answers the
// modal windows and message boxes that open meanwhile.
#pragma once

#include <functional>

#include "toolkit/modal_hook.h"

namespace tallykey::test {

class HookScope {
public:
    HookScope() { toolkit::SetModalHook(&hook); }
    explicit HookScope(std::function<void(toolkit::Window&)> onModal,
                       std::function<int(const toolkit::MessageBoxRequest&)> onMessageBox = {})
        : HookScope() {
        hook.onModal = std::move(onModal);
        hook.onMessageBox = std::move(onMessageBox);
    }
    ~HookScope() { toolkit::SetModalHook(nullptr); }
    HookScope(const HookScope&) = delete;
    HookScope& operator=(const HookScope&) = delete;

    toolkit::ModalHook hook;
};

} // namespace tallykey::test
