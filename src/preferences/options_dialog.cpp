#include "preferences/options_dialog.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "preferences/data_files.h"
#include "preferences/language.h"
#include "preferences/settings.h"
#include "toolkit/ansi_text.h"
#include "toolkit/application.h"
#include "toolkit/dialogs.h"
#include "toolkit/services.h"

namespace tallykey {

namespace {

// Puts a control that sizes itself to its caption at a place.
void Place(toolkit::Control& control, int left, int top) {
    toolkit::Rect r = control.Bounds();
    control.SetBounds(left, top, r.width, r.height);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

std::string FileNamePart(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::vector<std::string> LanguageFileNames() {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    for (const std::string& folder : DataFolders()) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code fileError;
            if (!it->is_regular_file(fileError))
                continue;
            std::string name = it->path().filename().string();
            // Hidden files are left out, as the platform's listing of ordinary
            // files does; the extension is matched regardless of case, as there.
            if (name.size() <= 4 || name.front() == '.')
                continue;
            std::string ext = name.substr(name.size() - 4);
            std::transform(ext.begin(), ext.end(), ext.begin(), Lower);
            // A name beside the executable hides the same name in the install.
            if (ext == ".lng" && std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        if (LessIgnoringCase(a, b) || LessIgnoringCase(b, a))
            return LessIgnoringCase(a, b);
        return a < b;
    });
    return names;
}

OptionsDialog::OptionsDialog(OptionsHost& host)
    : toolkit::Window(toolkit::WindowStyle::Dialog), host_(host) {
    SetCaption("Configuration");
    SetFont(toolkit::Font{});
    SetClientSize(265, 355);
    SetPosition(372, 101);
    CenterOnScreen();

    LanguageLabel = std::make_unique<toolkit::Label>(*this);
    LanguageLabel->SetName("LanguageLabel");
    LanguageLabel->SetAutoSize(false);
    LanguageLabel->SetRightAligned(true);
    LanguageLabel->SetCaption("Language:");
    LanguageLabel->SetBounds(8, 299, 108, 14);

    QuickCopyCheck = std::make_unique<toolkit::CheckBox>(*this);
    QuickCopyCheck->SetName("QuickCopyCheck");
    QuickCopyCheck->SetCaption("Quick copy:");
    Place(*QuickCopyCheck, 8, 8);

    QuickCopyList = std::make_unique<toolkit::ComboBox>(*this);
    QuickCopyList->SetName("QuickCopyList");
    QuickCopyList->SetBounds(136, 8, 121, 21);
    QuickCopyList->SetWindowColor();
    for (const char* entry : {"Title", "Login", "Password", "Web link", "Comment", "Login >> password"})
        QuickCopyList->AddItem(entry);
    QuickCopyList->SetItemIndex(0);

    MinimizeCheck = std::make_unique<toolkit::CheckBox>(*this);
    MinimizeCheck->SetName("MinimizeCheck");
    MinimizeCheck->SetCaption("Minimize on copy");
    Place(*MinimizeCheck, 8, 32);

    FiletypeCheck = std::make_unique<toolkit::CheckBox>(*this);
    FiletypeCheck->SetName("FiletypeCheck");
    FiletypeCheck->SetCaption("Register *.tkf filetype");
    Place(*FiletypeCheck, 8, 56);

    HidePassCheck = std::make_unique<toolkit::CheckBox>(*this);
    HidePassCheck->SetName("HidePassCheck");
    HidePassCheck->SetCaption("Show dots instead of password");
    Place(*HidePassCheck, 8, 80);

    MinimizeToTrayCheck = std::make_unique<toolkit::CheckBox>(*this);
    MinimizeToTrayCheck->SetName("MinimizeToTrayCheck");
    MinimizeToTrayCheck->SetCaption("Minimize to tray");
    Place(*MinimizeToTrayCheck, 8, 104);

    SoundGroup = std::make_unique<toolkit::GroupBox>(*this);
    SoundGroup->SetName("SoundGroup");
    SoundGroup->SetCaption("Sound:");
    SoundGroup->SetBounds(8, 128, 249, 89);

    BeepOnCopyCheck = std::make_unique<toolkit::CheckBox>(*SoundGroup);
    BeepOnCopyCheck->SetName("BeepOnCopyCheck");
    BeepOnCopyCheck->SetCaption("Beep when copying to clipboard");
    Place(*BeepOnCopyCheck, 8, 16);

    BeepSoundcardRadio = std::make_unique<toolkit::RadioButton>(*SoundGroup);
    BeepSoundcardRadio->SetName("BeepSoundcardRadio");
    BeepSoundcardRadio->SetCaption("Beep with soundcard");
    Place(*BeepSoundcardRadio, 16, 40);

    BeepSpeakerRadio = std::make_unique<toolkit::RadioButton>(*SoundGroup);
    BeepSpeakerRadio->SetName("BeepSpeakerRadio");
    BeepSpeakerRadio->SetCaption("Beep with speaker");
    Place(*BeepSpeakerRadio, 16, 64);

    WebLinkGroup = std::make_unique<toolkit::GroupBox>(*this);
    WebLinkGroup->SetName("WebLinkGroup");
    WebLinkGroup->SetCaption("On Web Link click:");
    WebLinkGroup->SetBounds(8, 224, 249, 65);

    WebGoToPageRadio = std::make_unique<toolkit::RadioButton>(*WebLinkGroup);
    WebGoToPageRadio->SetName("WebGoToPageRadio");
    WebGoToPageRadio->SetCaption("Go to web page");
    Place(*WebGoToPageRadio, 8, 16);

    WebCopyAddressRadio = std::make_unique<toolkit::RadioButton>(*WebLinkGroup);
    WebCopyAddressRadio->SetName("WebCopyAddressRadio");
    WebCopyAddressRadio->SetCaption("Copy address to clipboard");
    Place(*WebCopyAddressRadio, 8, 40);

    LanguageList = std::make_unique<toolkit::ComboBox>(*this);
    LanguageList->SetName("LanguageList");
    LanguageList->SetBounds(128, 296, 129, 21);
    LanguageList->SetWindowColor();

    CloseButton = std::make_unique<toolkit::Button>(*this);
    CloseButton->SetName("CloseButton");
    CloseButton->SetCaption("Close");
    CloseButton->SetBounds(193, 328, 64, 22);
    SetDefaultButton(CloseButton.get());

    FillLanguageList();
    ApplyOptionsFormTexts(*this);
    LoadSettings();

    // The reactions are bound last, so that filling the controls runs none of them.
    FiletypeCheck->OnClick = [this] { FiletypeClicked(); };
    HidePassCheck->OnClick = [this] { HidePassClicked(); };
    LanguageList->OnChange = [this] { LanguageChanged(); };
    CloseButton->OnClick = [this] { CloseClicked(); };
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::FillLanguageList() {
    LanguageList->AddItem("English (default)");
    languageFiles_ = LanguageFileNames();
    for (const std::string& name : languageFiles_)
        LanguageList->AddItem(toolkit::SystemTextToAnsi(name));
    const std::string chosen = FileNamePart(Settings().LangFile);
    for (size_t i = 0; i < languageFiles_.size(); ++i) {
        if (languageFiles_[i] == chosen) {
            LanguageList->SetItemIndex(static_cast<int>(i) + 1);
            break;
        }
    }
}

void OptionsDialog::LoadSettings() {
    const TSettings& s = Settings();
    QuickCopyCheck->SetChecked(s.QuickCopy);
    // A stored number outside the list leaves it without a selection.
    QuickCopyList->SetItemIndex(s.QuickCopyItem < QuickCopyList->Count() ? s.QuickCopyItem : -1);
    BeepOnCopyCheck->SetChecked(s.BeepOnCopy);
    HidePassCheck->SetChecked(s.HidePass);
    MinimizeToTrayCheck->SetChecked(s.MinimizeToTray);
    BeepSoundcardRadio->SetChecked(s.BeepWithCard);
    BeepSpeakerRadio->SetChecked(!s.BeepWithCard);
    MinimizeCheck->SetChecked(s.MinOnCopy);
    WebGoToPageRadio->SetChecked(s.OnWebLink);
    WebCopyAddressRadio->SetChecked(!s.OnWebLink);
    toolkit::FileAssociation* association = toolkit::Platform().fileAssociation;
    FiletypeCheck->SetChecked(association &&
                              association->IsRegistered(toolkit::Application::ExePath()));
}

void OptionsDialog::FiletypeClicked() {
    toolkit::FileAssociation* association = toolkit::Platform().fileAssociation;
    if (!association)
        return;
    const std::string exe = toolkit::Application::ExePath();
    if (!FiletypeCheck->IsChecked()) {
        association->Unregister(exe);
        return;
    }
    const toolkit::RegistrationResult result = association->Register(exe);
    if (!result.ok)
        toolkit::MessageBox(this,
                            "The file type could not be registered: " + toolkit::SystemTextToAnsi(result.message),
                            "Warning", toolkit::MB_ICONEXCLAMATION | toolkit::MB_OK);
    // The box shows what is in place, not what was asked for.
    FiletypeCheck->SetChecked(association->IsRegistered(exe));
}

void OptionsDialog::HidePassClicked() { host_.RecreatePasswordBox(HidePassCheck->IsChecked()); }

void OptionsDialog::LanguageChanged() {
    const int index = LanguageList->ItemIndex();
    Settings().LangFile =
        index <= 0 ? std::string() : DataFilePath(languageFiles_.at(static_cast<size_t>(index) - 1));
    // English captions come back only with a restart, and so does a code page
    // that the chosen file names for itself: the open database's texts keep
    // the code page they were read in for the rest of the run.
    if (index <= 0 || ChooseCodePage() != toolkit::CurrentCodePage())
        toolkit::MessageBox(this, "Please restart program to load this language.", "Information",
                            toolkit::MB_OK | toolkit::MB_ICONINFORMATION);
    host_.ApplyLanguageTexts();
    ApplyOptionsFormTexts(*this);
}

void OptionsDialog::CloseClicked() {
    TSettings& s = Settings();
    s.QuickCopy = QuickCopyCheck->IsChecked();
    // No selection (-1) is stored as its unsigned 8-bit form, 255.
    s.QuickCopyItem = static_cast<std::uint8_t>(QuickCopyList->ItemIndex());
    s.BeepOnCopy = BeepOnCopyCheck->IsChecked();
    s.BeepWithCard = BeepSoundcardRadio->IsChecked();
    s.MinOnCopy = MinimizeCheck->IsChecked();
    s.OnWebLink = WebGoToPageRadio->IsChecked();
    s.HidePass = HidePassCheck->IsChecked();
    s.MinimizeToTray = MinimizeToTrayCheck->IsChecked();
    EndModal(toolkit::ResultOK);
}

void ShowOptions(OptionsHost& host) {
    OptionsDialog dialog(host);
    dialog.ShowModal();
}

} // namespace tallykey
