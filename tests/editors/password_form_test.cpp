// The master-password prompt: its layout, keys, results and texts.
#include "editors/password_form.h"
#include "preferences/language.h"
#include "preferences/settings.h"
#include "support/modal_script.h"
#include "support/temp_folder.h"
#include "support/test_app.h"

namespace tallykey::test {
namespace {

using toolkit::Rect;

class PasswordFormTest : public ::testing::Test {
protected:
    PasswordFormTest() { TestApp(); }
    ~PasswordFormTest() override { Settings().LangFile.clear(); }

    // Shows a fresh prompt, lets `act` work on it while it is up, and returns
    // its result and the text read afterwards.
    std::pair<int, std::string> Run(const std::function<void(PasswordForm&)>& act) {
        PasswordForm form;
        Script script;
        script.dialogs = {[&](toolkit::Window&) { act(form); }};
        const int result = form.ShowModal();
        return {result, form.Password()};
    }
};

TEST_F(PasswordFormTest, LayoutAndBuiltInTexts) {
    ChangeCaption() = "left over";
    PasswordForm form;
    EXPECT_EQ(form.Caption(), "Authorization");
    EXPECT_EQ(form.Owner(), nullptr);
    EXPECT_EQ(form.Style(), toolkit::WindowStyle::Dialog);
    EXPECT_EQ(form.ClientWidth(), 321);
    EXPECT_EQ(form.ClientHeight(), 77);
    EXPECT_EQ(form.PasswordLabel->Caption(), "Password:");
    EXPECT_EQ(form.PasswordLabel->Bounds().left, 8);
    EXPECT_EQ(form.PasswordLabel->Bounds().top, 16);
    EXPECT_EQ(form.PasswordBox->Bounds(), (Rect{72, 14, 241, 19}));
    EXPECT_TRUE(form.PasswordBox->IsPasswordStyle());
    EXPECT_EQ(form.OKButton->Bounds(), (Rect{177, 48, 64, 22}));
    EXPECT_EQ(form.OKButton->Caption(), "OK");
    EXPECT_EQ(form.CancelButton->Bounds(), (Rect{249, 48, 64, 22}));
    EXPECT_EQ(form.CancelButton->Caption(), "Cancel");
    // Centred with the division rounded down.
    const Rect outer = form.OuterRect();
    EXPECT_EQ(outer.left, (TestApp().ScreenWidth() - outer.width) / 2);
    EXPECT_EQ(outer.top, (TestApp().ScreenHeight() - outer.height) / 2);
    EXPECT_EQ(ChangeCaption(), "New password");
    EXPECT_EQ(RetypeCaption(), "Re-type password");
}

TEST_F(PasswordFormTest, KeysAndButtonsEndItWithTheirResults) {
    using namespace toolkit;
    // Enter in the box is OK, and the text comes back exactly as typed.
    EXPECT_EQ(Run([](PasswordForm& f) {
                  EXPECT_TRUE(f.PasswordBox->HasFocus());
                  input::TypeText(f, " Pass word ");
                  input::PressKey(f, VK_RETURN);
              }),
              (std::pair<int, std::string>{ResultOK, " Pass word "}));
    // OK with nothing typed gives the empty text.
    EXPECT_EQ(Run([](PasswordForm& f) { input::ClickOn(*f.OKButton); }),
              (std::pair<int, std::string>{ResultOK, ""}));
    EXPECT_EQ(Run([](PasswordForm& f) {
                  input::TypeText(f, "x");
                  input::PressKey(f, VK_ESCAPE);
              }).first,
              ResultCancel);
    EXPECT_EQ(Run([](PasswordForm& f) { input::ClickOn(*f.CancelButton); }).first, ResultCancel);
    EXPECT_EQ(Run([](PasswordForm& f) { input::ClickCloseBox(f); }).first, ResultClosed);

    // Tab order: box, OK, Cancel. Enter on OK is OK; on Cancel it is no OK.
    EXPECT_EQ(Run([](PasswordForm& f) {
                  input::PressKey(f, VK_TAB);
                  EXPECT_TRUE(f.OKButton->HasFocus());
                  input::PressKey(f, VK_TAB);
                  EXPECT_TRUE(f.CancelButton->HasFocus());
                  input::PressKey(f, VK_TAB, ModShift);
                  EXPECT_TRUE(f.OKButton->HasFocus());
                  input::PressKey(f, VK_RETURN);
              }).first,
              ResultOK);
    EXPECT_NE(Run([](PasswordForm& f) {
                  f.CancelButton->SetFocus();
                  input::PressKey(f, VK_RETURN);
              }).first,
              ResultOK);
}

// With a language file every key replaces its text, a missing key giving an
// empty text; without one the built-in texts come back.
TEST_F(PasswordFormTest, TextsComeFromTheLanguageFile) {
    TempFolder dir;
    const std::string file = dir.File("test.lng");
    WriteFile(file, "[Password Form]\r\nPassword=Kennwort:\r\nOK=Gut\r\nCancel=Nein\r\n"
                    "Change=Neues Kennwort\r\nRetype=Noch einmal\r\n");
    Settings().LangFile = file;
    {
        PasswordForm form;
        EXPECT_EQ(form.Caption(), "") << "no Title key";
        EXPECT_EQ(form.PasswordLabel->Caption(), "Kennwort:");
        EXPECT_EQ(form.OKButton->Caption(), "Gut");
        EXPECT_EQ(form.CancelButton->Caption(), "Nein");
        EXPECT_EQ(ChangeCaption(), "Neues Kennwort");
        EXPECT_EQ(RetypeCaption(), "Noch einmal");
    }

    Settings().LangFile.clear();
    PasswordForm form;
    EXPECT_EQ(form.Caption(), "Authorization");
    EXPECT_EQ(ChangeCaption(), "New password");
    EXPECT_EQ(RetypeCaption(), "Re-type password");
}

} // namespace
} // namespace tallykey::test
