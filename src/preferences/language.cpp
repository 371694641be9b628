#include "preferences/language.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "preferences/ini_file.h"
#include "preferences/options_dialog.h"
#include "preferences/settings.h"
#include "system/file_system.h"
#include "toolkit/ansi_text.h"
#include "toolkit/application.h"
#include "toolkit/menu.h"

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
    return system::ProgramFolder();
}

void SetProgramFolder(const std::string& folder) { ProgramFolderOverride() = system::WithSeparator(folder); }

int LanguageFileCodePage(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        return 0;
    // The first line that opens a section names the first section.
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos && line[first] == '[') {
            const std::size_t close = line.find(']', first);
            if (close == std::string_view::npos)
                return 0;
            const std::optional<std::string> value =
                IniRead(text, line.substr(first + 1, close - first - 1), "CodePage");
            const int codePage = value ? IniParseInt(*value) : 0;
            return toolkit::CodePageAvailable(codePage) ? codePage : 0;
        }
        start = end + 1;
    }
    return 0;
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
    codePage_ = text_.starts_with("\xEF\xBB\xBF") ? 65001 : LanguageFileCodePage(text_);
}

std::string LanguageSection::Read(const std::string& key, const std::string& defaultText) const {
    if (!inUse_)
        return Cut(defaultText);
    std::optional<std::string> value = IniRead(text_, section_, key);
    if (!value)
        return Cut(defaultText);
    const int inUse = toolkit::CurrentCodePage();
    if (codePage_ == 0 || codePage_ == inUse)
        return Cut(std::move(*value));
    const std::string utf8 = codePage_ == 65001 ? *value : toolkit::AnsiToUtf8(*value, codePage_);
    return Cut(toolkit::Utf8ToAnsi(utf8, inUse));
}

void ApplyMainFormTexts(const MainFormTextTargets& form) {
    LanguageSection lang("Main Form");
    TMessageTexts& texts = MessageTexts();
    if (!lang.InUse()) {
        // Captions and menus keep what they show; only the messages go back to English.
        texts = TMessageTexts{};
        return;
    }
    ApplyText(lang, form.loginCaption, "Login");
    ApplyText(lang, form.passwordCaption, "Password");
    ApplyText(lang, form.webLinkCaption, "Weblink");
    ApplyText(lang, form.commentCaption, "Comment");
    // Keys are numbered over all menu levels in pre-order, which is the
    // menu's own item order; as many keys as the menu has items.
    for (int i = 0; i < form.mainMenu.Count(); ++i)
        form.mainMenu.SetText(i, lang.Read("Menu" + std::to_string(i + 1)));
    for (int i = 0; i < form.treeMenu.Count(); ++i)
        form.treeMenu.SetText(i, lang.Read("Popup" + std::to_string(i + 1)));
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
