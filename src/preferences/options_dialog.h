// The options dialog ("Configuration").
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "toolkit/controls.h"

namespace tallykey {

// What the options dialog changes in the main window while it is open.
class OptionsHost {
public:
    // Shows the password of the details panel masked or plain (HidePass).
    virtual void RecreatePasswordBox(bool masked) = 0;
    // Loads the texts of the language file now chosen (LangFile).
    virtual void ApplyLanguageTexts() = 0;

protected:
    ~OptionsHost() = default;
};

class OptionsDialog : public toolkit::Window {
public:
    // Builds the dialog and fills it from the settings in memory.
    explicit OptionsDialog(OptionsHost& host);
    ~OptionsDialog() override;

    // In creation order, which is also the Tab order.
    std::unique_ptr<toolkit::Label> LanguageLabel;
    std::unique_ptr<toolkit::CheckBox> QuickCopyCheck;
    std::unique_ptr<toolkit::ComboBox> QuickCopyList;
    std::unique_ptr<toolkit::CheckBox> MinimizeCheck;
    std::unique_ptr<toolkit::CheckBox> FiletypeCheck;
    std::unique_ptr<toolkit::CheckBox> HidePassCheck;
    std::unique_ptr<toolkit::CheckBox> MinimizeToTrayCheck;
    std::unique_ptr<toolkit::GroupBox> SoundGroup;
    std::unique_ptr<toolkit::CheckBox> BeepOnCopyCheck;
    std::unique_ptr<toolkit::RadioButton> BeepSoundcardRadio;
    std::unique_ptr<toolkit::RadioButton> BeepSpeakerRadio;
    std::unique_ptr<toolkit::GroupBox> WebLinkGroup;
    std::unique_ptr<toolkit::RadioButton> WebGoToPageRadio;
    std::unique_ptr<toolkit::RadioButton> WebCopyAddressRadio;
    std::unique_ptr<toolkit::ComboBox> LanguageList;
    std::unique_ptr<toolkit::Button> CloseButton;

private:
    void FillLanguageList();
    void LoadSettings();
    void FiletypeClicked();
    void HidePassClicked();
    void LanguageChanged();
    void CloseClicked();

    OptionsHost& host_;
    // The language files behind the list's entries after the first, by the
    // file system's names (the list shows them in the code page in use).
    std::vector<std::string> languageFiles_;
};

// The "*.lng" files of the data folders (data_files.h), by name.
std::vector<std::string> LanguageFileNames();

// Creates the dialog, shows it modally and destroys it.
void ShowOptions(OptionsHost& host);

} // namespace tallykey
