#include "editors/password_form.h"

#include "preferences/language.h"

namespace tallykey {

namespace {

constexpr const char* kBuiltInChange = "New password";
constexpr const char* kBuiltInRetype = "Re-type password";

} // namespace

std::string& ChangeCaption() {
    static std::string caption = kBuiltInChange;
    return caption;
}

std::string& RetypeCaption() {
    static std::string caption = kBuiltInRetype;
    return caption;
}

PasswordForm::PasswordForm() : toolkit::Window(toolkit::WindowStyle::Dialog, nullptr) {
    using namespace toolkit;
    SetCaption("Authorization");
    SetFont(Font{});
    SetClientSize(321, 77);

    // Created in the order of keyboard focus.
    PasswordLabel = std::make_unique<Label>(*this);
    PasswordLabel->SetName("PasswordLabel");
    PasswordLabel->SetCaption("Password:");
    const Rect label = PasswordLabel->Bounds();
    PasswordLabel->SetBounds(8, 16, label.width, label.height);

    PasswordBox = std::make_unique<Edit>(*this);
    PasswordBox->SetName("PasswordBox");
    PasswordBox->SetBounds(72, 14, 241, 19);
    PasswordBox->SetPasswordStyle(true);
    PasswordBox->SetWindowColor();

    OKButton = std::make_unique<Button>(*this);
    OKButton->SetName("OKButton");
    OKButton->SetCaption("OK");
    OKButton->SetBounds(177, 48, 64, 22);
    OKButton->SetModalResult(ResultOK);

    CancelButton = std::make_unique<Button>(*this);
    CancelButton->SetName("CancelButton");
    CancelButton->SetCaption("Cancel");
    CancelButton->SetBounds(249, 48, 64, 22);
    CancelButton->SetModalResult(ResultCancel);

    SetDefaultButton(OKButton.get());
    SetCancelButton(CancelButton.get());
    CenterOnScreen();
    PasswordBox->SetFocus();

    LoadPasswordFormTexts(*this);
}

PasswordForm::~PasswordForm() = default;

std::string PasswordForm::Password() const { return PasswordBox->Text(); }

void LoadPasswordFormTexts(PasswordForm& form) {
    const LanguageSection section("Password Form");
    if (!section.InUse()) {
        ChangeCaption() = kBuiltInChange;
        RetypeCaption() = kBuiltInRetype;
        return;
    }
    form.SetCaption(section.Read("Title"));
    form.PasswordLabel->SetCaption(section.Read("Password"));
    form.OKButton->SetCaption(section.Read("OK"));
    form.CancelButton->SetCaption(section.Read("Cancel"));
    ChangeCaption() = section.Read("Change");
    RetypeCaption() = section.Read("Retype");
}

} // namespace tallykey
