#include "desktop/copy_field.h"

#include <algorithm>

#include "database/secure_wipe.h"
#include "preferences/program_title.h"
#include "preferences/settings.h"
#include "toolkit/application.h"
#include "toolkit/dialogs.h"
#include "toolkit/services.h"

namespace tallykey {

namespace {

ResourceLookup g_soundLookup = nullptr;

constexpr int kBeepMilliseconds = 20;
constexpr int kClearClipboardTimer = 1;

// What the program last put on the clipboard while it waits to take it off.
std::string& PendingClipboardText() {
    static std::string text;
    return text;
}

void ForgetPendingClipboardText() { SecureWipe(PendingClipboardText()); }

// With ClearClipboard set, takes `text` off the clipboard after that many
// seconds, unless something else has been put there meanwhile. A later copy
// replaces the wait; an empty text only ends it.
void ClearClipboardLater(const std::string& text) {
    if (!toolkit::Application::Exists())
        return;
    toolkit::Application& app = toolkit::Application::Instance();
    app.StopTimer(kClearClipboardTimer);
    ForgetPendingClipboardText();
    const int seconds = Settings().ClearClipboard;
    if (seconds <= 0 || text.empty())
        return;
    PendingClipboardText() = text;
    app.StartTimer(kClearClipboardTimer, std::min(seconds, 24 * 60 * 60) * 1000, [] {
        toolkit::Clipboard* clipboard = toolkit::Platform().clipboard;
        if (clipboard) {
            std::string now = clipboard->Text();
            if (now == PendingClipboardText())
                clipboard->Clear();
            SecureWipe(now);
        }
        ForgetPendingClipboardText();
    });
}

// The text that quick copy takes for the chosen field, and its beep.
void QuickCopyField(const CopySource& source, std::string& text, int& frequency) {
    switch (Settings().QuickCopyItem) {
    case 0: text = source.FieldText(DetailsField::Title); frequency = 1500; break;
    case 1: text = source.FieldText(DetailsField::Login); frequency = 1750; break;
    case 2: text = source.FieldText(DetailsField::Password); frequency = 2000; break;
    case 3: text = source.FieldText(DetailsField::WebLink); frequency = 2250; break;
    case 4: text = source.FieldText(DetailsField::Comment); frequency = 2500; break;
    case 5:
        // "Login >> password": the login goes by the hot key; without a
        // login the password is copied straight away.
        if (source.FieldText(DetailsField::Login).empty())
            text = source.FieldText(DetailsField::Password);
        break;
    default: break;
    }
}

void PlayCopySound() {
    toolkit::ResourceData wave = (g_soundLookup ? g_soundLookup : toolkit::FindResource)("COPY_WAV");
    if (!wave) {
        std::string caption = toolkit::Application::Exists() ? toolkit::Application::Instance().Caption() : kAppTitle;
        toolkit::MessageBox(nullptr, "Wave resource not found.", caption, toolkit::MB_OK | toolkit::MB_SETFOREGROUND);
        return;
    }
    if (toolkit::Sound* sound = toolkit::Platform().sound)
        sound->PlayWave(wave.data, wave.size);
}

} // namespace

void SetCopySoundLookup(ResourceLookup lookup) { g_soundLookup = lookup; }

void CopyField(CopySource& source, int mode) {
    std::string text;
    int frequency = 500;
    switch (mode) {
    case CopyQuick:
        if (!Settings().QuickCopy)
            return;
        QuickCopyField(source, text, frequency);
        break;
    case CopyLogin: text = source.FieldText(DetailsField::Login); frequency = 1750; break;
    case CopyPassword: text = source.FieldText(DetailsField::Password); frequency = 2000; break;
    case CopyWebLink: text = source.FieldText(DetailsField::WebLink); frequency = 2250; break;
    default: break;
    }
    if (text.empty())
        return;

    TextToClipboard(text);

    const TSettings& settings = Settings();
    if (settings.BeepOnCopy) {
        if (settings.BeepWithCard)
            PlayCopySound();
        else if (toolkit::Sound* sound = toolkit::Platform().sound)
            sound->Beep(frequency, kBeepMilliseconds);
    }
    if (settings.MinOnCopy) {
        // Only the pop-up that this same mouse action would open stays shut:
        // it must not appear over the minimised program, later ones may.
        source.SuppressPopupOnce();
        if (toolkit::Application::Exists())
            toolkit::Application::Instance().SendMinimizeCommand();
    }
}

bool TextToClipboard(const std::string& text) {
    toolkit::Clipboard* clipboard = toolkit::Platform().clipboard;
    if (!clipboard)
        return false;
    const bool done = text.empty() ? clipboard->Clear() : clipboard->SetText(text);
    ClearClipboardLater(done ? text : std::string());
    return done;
}

} // namespace tallykey
