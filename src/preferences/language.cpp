#include "preferences/language.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "mainwindow/main_form.h"
#include "preferences/ini_file.h"
#include "preferences/options_dialog.h"
#include "preferences/settings.h"
#include "toolkit/ansi_text.h"
#include "toolkit/application.h"

namespace tallykey {

namespace {

std::string& ProgramFolderOverride() {
    static std::string folder;
    return folder;
}

std::string Cut(std::string text) {
    text.resize(std::min({text.find('\0'), text.size(), IniSection::kMaxValue}));
    return text;
}

} // namespace

TMessageTexts& MessageTexts() {
    static TMessageTexts texts;
    return texts;
}

std::string ProgramFolder() {
    if (!ProgramFolderOverride().empty())
        return ProgramFolderOverride();
    std::string folder = std::filesystem::path(toolkit::Application::ExePath()).parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

void SetProgramFolder(const std::string& folder) {
    ProgramFolderOverride() = folder;
    if (!folder.empty() && folder.back() != '/')
        ProgramFolderOverride() += '/';
}

bool LanguageFileInUse(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

LanguageSection::LanguageSection(const std::string& section)
    : path_(Settings().LangFile), section_(section) {
    inUse_ = LanguageFileInUse(path_);
    if (!inUse_)
        return;
    // A file in use that cannot be read gives empty texts, like a missing section.
    text_ = ReadWholeFile(path_).value_or(std::string());
    utf8_ = text_.starts_with("\xEF\xBB\xBF");
}

std::string LanguageSection::Read(const std::string& key, const std::string& defaultText) const {
    if (!inUse_)
        return Cut(defaultText);
    std::optional<std::string> value = IniRead(text_, section_, key);
    if (!value)
        return Cut(defaultText);
    if (utf8_)
        return Cut(toolkit::Utf8ToAnsi(*value, toolkit::CurrentCodePage()));
    return Cut(std::move(*value));
}

void ApplyMainFormTexts(MainForm& form) {
    LanguageSection lang("Main Form");
    TMessageTexts& texts = MessageTexts();
    if (!lang.InUse()) {
        // Captions and menus keep what they show; only the messages go back to English.
        texts = TMessageTexts{};
        return;
    }
    ApplyText(lang, *form.LoginCaption, "Login");
    ApplyText(lang, *form.PasswordCaption, "Password");
    ApplyText(lang, *form.WebLinkCaption, "Weblink");
    ApplyText(lang, *form.CommentCaption, "Comment");
    // Keys are numbered over all menu levels in pre-order, which is the
    // menu's own item order; as many keys as the menu has items.
    for (int i = 0; i < form.MainMenu->Count(); ++i)
        form.MainMenu->SetText(i, lang.Read("Menu" + std::to_string(i + 1)));
    for (int i = 0; i < form.TreeMenu->Count(); ++i)
        form.TreeMenu->SetText(i, lang.Read("Popup" + std::to_string(i + 1)));
    texts.QSave = lang.Read("QSave");
    texts.QSaveTitle = lang.Read("QSaveTitle");
    texts.WWrongPass = lang.Read("WWrongPass");
    texts.WWrongPassTitle = lang.Read("WWrongPassTitle");
    texts.WMatchError = lang.Read("WMatchError");
    texts.WMatchErrorTitle = lang.Read("WMatchErrorTitle");
    texts.QDelete = lang.Read("QDelete");
    texts.QDeleteTitle = lang.Read("QDeleteTitle");
    texts.QNew = lang.Read("QNew");
    texts.QNewTitle = lang.Read("QNewTitle");
    texts.HelpFile = lang.Read("HelpFile", TMessageTexts{}.HelpFile);
}

void ApplyOptionsFormTexts(OptionsDialog& dialog) {
    LanguageSection lang("Options Form");
    if (!lang.InUse())
        return;
    ApplyText(lang, dialog, "Title");
    ApplyText(lang, *dialog.QuickCopyCheck, "QuickCopy");
    for (int i = 0; i < dialog.QuickCopyList->Count(); ++i)
        dialog.QuickCopyList->SetItemText(i, lang.Read("QuickCopy" + std::to_string(i + 1)));
    ApplyText(lang, *dialog.MinimizeCheck, "Minimize");
    ApplyText(lang, *dialog.FiletypeCheck, "Filetype");
    ApplyText(lang, *dialog.HidePassCheck, "HidePass");
    ApplyText(lang, *dialog.MinimizeToTrayCheck, "MinimizeToTray");
    ApplyText(lang, *dialog.SoundGroup, "Sound");
    ApplyText(lang, *dialog.BeepOnCopyCheck, "BeepOnCopy");
    ApplyText(lang, *dialog.BeepSoundcardRadio, "BeepSoundcard");
    ApplyText(lang, *dialog.BeepSpeakerRadio, "BeepSpeaker");
    ApplyText(lang, *dialog.WebLinkGroup, "WebLink");
    ApplyText(lang, *dialog.WebGoToPageRadio, "WebGoToPage");
    ApplyText(lang, *dialog.WebCopyAddressRadio, "WebCopyAddress");
    ApplyText(lang, *dialog.LanguageLabel, "Language");
    ApplyText(lang, *dialog.CloseButton, "Close");
}

} // namespace tallykey
