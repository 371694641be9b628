// The master-password prompt: one masked line, OK and Cancel. It checks
// nothing; the caller decides what the text means.
#pragma once

#include <memory>
#include <string>

#include "toolkit/controls.h"

namespace tallykey {

class PasswordForm : public toolkit::Window {
public:
    // Builds the dialog (owned by the application object, not yet visible)
    // and loads the texts of section "Password Form".
    PasswordForm();
    ~PasswordForm() override;

    // The text exactly as typed.
    std::string Password() const;

    std::unique_ptr<toolkit::Label> PasswordLabel;
    std::unique_ptr<toolkit::Edit> PasswordBox;
    std::unique_ptr<toolkit::Button> OKButton;
    std::unique_ptr<toolkit::Button> CancelButton;
};

// Titles of the two prompts of Change Password, reloaded at every creation of
// the dialog.
std::string& ChangeCaption();
std::string& RetypeCaption();

// Applies section "Password Form" of the language file: with a file in use
// every key replaces its text (a missing key gives an empty text); without
// one the built-in texts stand.
void LoadPasswordFormTexts(PasswordForm& form);

} // namespace tallykey
