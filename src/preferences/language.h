// Language files: the texts of the windows and messages.
#pragma once

#include <string>
#include <string_view>

namespace toolkit {
class Label;
class Menu;
} // namespace toolkit

namespace tallykey {

class OptionsDialog;

// The texts of the main window's questions and warnings, and the help file name.
struct TMessageTexts {
    std::string QSave = "Save changes to";
    std::string QSaveTitle = "Confirm";
    std::string WWrongPass = "Wrong password! Please try again.";
    std::string WWrongPassTitle = "Error";
    std::string WMatchError = "Typed passwords don't match! Password not changed.";
    std::string WMatchErrorTitle = "Warning";
    std::string QDelete = "Are you sure you want to delete";
    std::string QDeleteTitle = "Confirm";
    std::string QNew = "Are you sure you want to create new file? All changes will be lost.";
    std::string QNewTitle = "Confirm";
    std::string HelpFile = "tallyk_eng.chm";
};

TMessageTexts& MessageTexts();

// The folder of the running executable, with a trailing separator.
std::string ProgramFolder();
// Puts another folder in its place (tests); empty goes back to the real one.
void SetProgramFolder(const std::string& folder);

// True when `path` names an existing ordinary file: only then is a language
// file in use. An empty path, a missing file or a folder mean built-in English.
bool LanguageFileInUse(const std::string& path);

// The code page that a language file names for itself with a CodePage key in
// its first section (which the program's other readers take for an unknown
// key), or 0 when it names none that this system can convert. A file that
// starts with the UTF-8 byte-order mark is UTF-8 whatever it names: 0 here.
int LanguageFileCodePage(std::string_view text);

// One section of the language file in use (the setting LangFile), read from
// the file once when the object is made. When no file is in use InUse() is
// false and Read gives the default. Texts come in the code page in use:
// a file that starts with the UTF-8 byte-order mark, or names another code
// page for itself, is converted ("?" for what the code page in use lacks);
// the texts of any other file are its bytes.
class LanguageSection {
public:
    explicit LanguageSection(const std::string& section);
    bool InUse() const { return inUse_; }
    // The key's text (at most 4095 characters), or the default when the key is missing.
    std::string Read(const std::string& key, const std::string& defaultText = {}) const;

private:
    std::string path_;
    std::string section_;
    bool inUse_ = false;
    int codePage_ = 0; // of the file's texts; 0: the code page in use
    std::string text_;
};

// Sets a caption (label, button, check box, group box, window) to the
// key's text, empty when the key is missing. Call only when InUse().
template <class Captioned>
void ApplyText(const LanguageSection& section, Captioned& control, const std::string& key) {
    control.SetCaption(section.Read(key));
}

// The parts of the main window that section "Main Form" names.
struct MainFormTextTargets {
    toolkit::Label& loginCaption;
    toolkit::Label& passwordCaption;
    toolkit::Label& webLinkCaption;
    toolkit::Label& commentCaption;
    toolkit::Menu& mainMenu;
    toolkit::Menu& treeMenu;
};

// Loads section "Main Form" into the main window and the message texts.
void ApplyMainFormTexts(const MainFormTextTargets& form);
// Loads section "Options Form" into the open options dialog.
void ApplyOptionsFormTexts(OptionsDialog& dialog);

} // namespace tallykey
