// Language files: the texts of the windows and messages.
#pragma once

#include <string>

namespace tallykey {

class MainForm;

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

// One section of the language file in use. When no file is in use
// InUse() is false and Read gives nothing.
class LanguageSection {
public:
    explicit LanguageSection(const std::string& section);
    bool InUse() const { return inUse_; }
    // The key's text, or the default when the key is missing.
    std::string Read(const std::string& key, const std::string& defaultText = {}) const;

private:
    std::string path_;
    std::string section_;
    bool inUse_ = false;
};

// Loads section "Main Form" into the main window and the message texts.
void ApplyMainFormTexts(MainForm& form);

} // namespace tallykey
