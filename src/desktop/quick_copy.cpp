#include "desktop/quick_copy.h"

#include <chrono>

#include "desktop/copy_field.h"
#include "preferences/settings.h"
#include "toolkit/application.h"
#include "toolkit/dialogs.h"
#include "toolkit/services.h"
#include "toolkit/types.h"

namespace tallykey {

namespace {

constexpr int kLoginThenPassword = 5;
constexpr int kVkV = 0x56;
constexpr int kPasteWaitMilliseconds = 500;
constexpr int kPollMilliseconds = 5;
constexpr const char* kNoHotKeysText =
    "This desktop does not let a program catch Ctrl+V in other programs, so "
    "\"Login >> password\" cannot put the password on the clipboard after the "
    "login has been pasted.\n\n"
    "The login is copied now. Copy the password with its button when you need it.";

// Gives the other program time to read the login before the clipboard
// changes. Where the clipboard owner has to hand its content over itself
// (X11), a program that only slept would answer no request for the login;
// so the waiting keeps handling events.
void WaitWhileThePasteIsRead(toolkit::Application& app) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPasteWaitMilliseconds);
    app.ProcessMessages();
    while (std::chrono::steady_clock::now() < end) {
        app.Sleep(kPollMilliseconds);
        app.ProcessMessages();
    }
}

} // namespace

void QuickCopyOnSelection(QuickCopyHost& host) {
    toolkit::HotKeys* keys = toolkit::Platform().hotKeys;
    if (Settings().QuickCopyItem == kLoginThenPassword && !host.FieldText(DetailsField::Login).empty()) {
        // A refusal (key taken, no "v" on the layout) leaves Ctrl+V an ordinary paste.
        if (keys)
            keys->Register(kQuickCopyHotKeyId, toolkit::ModCtrl, keys->VkKeyScan('v'));
        // A desktop that never lets the key be had would leave the user
        // waiting for a password that does not come: say so, once.
        if (keys && !keys->Available() && !host.NoHotKeysTold()) {
            host.SetNoHotKeysTold();
            toolkit::MessageBox(&host.MessageOwner(), kNoHotKeysText, "Login >> password",
                                toolkit::MB_OK | toolkit::MB_ICONINFORMATION);
        }
        CopyField(host, CopyLogin);
    } else {
        ReleaseQuickCopyHotKey();
        CopyField(host, CopyQuick);
    }
}

void QuickCopyHotKeyPressed(CopySource& source, int id) {
    if (id != kQuickCopyHotKeyId)
        return;
    toolkit::HotKeys* keys = toolkit::Platform().hotKeys;
    if (keys) {
        // Released first, so that the Ctrl+V passed on does not come back here.
        keys->Unregister(kQuickCopyHotKeyId);
        keys->SendKeys({{toolkit::VK_CONTROL, false}, {kVkV, false}, {kVkV, true}, {toolkit::VK_CONTROL, true}});
    }
    if (toolkit::Application::Exists())
        WaitWhileThePasteIsRead(toolkit::Application::Instance());
    CopyField(source, CopyPassword);
}

void ReleaseQuickCopyHotKey() {
    if (toolkit::HotKeys* keys = toolkit::Platform().hotKeys)
        keys->Unregister(kQuickCopyHotKeyId);
}

} // namespace tallykey
