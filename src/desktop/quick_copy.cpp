#include "desktop/quick_copy.h"

#include "desktop/copy_field.h"
#include "mainwindow/main_form.h"
#include "preferences/settings.h"
#include "toolkit/application.h"
#include "toolkit/services.h"
#include "toolkit/types.h"

namespace tallykey {

namespace {

constexpr int kLoginThenPassword = 5;
constexpr int kVkV = 0x56;
// Time for the other program to read the login before the clipboard changes.
constexpr int kPasteWaitMilliseconds = 500;

} // namespace

void QuickCopyOnSelection(MainForm& form) {
    toolkit::HotKeys* keys = toolkit::Platform().hotKeys;
    if (Settings().QuickCopyItem == kLoginThenPassword && !form.LoginBox->Text().empty()) {
        // A refusal (key taken, no "v" on the layout) leaves Ctrl+V an ordinary paste.
        if (keys)
            keys->Register(kQuickCopyHotKeyId, toolkit::ModCtrl, keys->VkKeyScan('v'));
        CopyField(form, CopyLogin);
    } else {
        ReleaseQuickCopyHotKey();
        CopyField(form, CopyQuick);
    }
}

void QuickCopyHotKeyPressed(MainForm& form, int id) {
    if (id != kQuickCopyHotKeyId)
        return;
    toolkit::HotKeys* keys = toolkit::Platform().hotKeys;
    if (keys) {
        // Released first, so that the Ctrl+V passed on does not come back here.
        keys->Unregister(kQuickCopyHotKeyId);
        keys->SendKeys({{toolkit::VK_CONTROL, false}, {kVkV, false}, {kVkV, true}, {toolkit::VK_CONTROL, true}});
    }
    if (toolkit::Application::Exists()) {
        toolkit::Application& app = toolkit::Application::Instance();
        app.ProcessMessages();
        app.Sleep(kPasteWaitMilliseconds);
        app.ProcessMessages();
    }
    CopyField(form, CopyPassword);
}

void ReleaseQuickCopyHotKey() {
    if (toolkit::HotKeys* keys = toolkit::Platform().hotKeys)
        keys->Unregister(kQuickCopyHotKeyId);
}

} // namespace tallykey
