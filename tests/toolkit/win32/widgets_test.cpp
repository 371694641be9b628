// The simple controls over the native classes under Wine: what each makes,
// texts in and out of the code page in use, the user's actions against the
// program's own, radio groups per parent and containers laying out their
// children.
#include <gtest/gtest.h>

#include <string>

#include "support/code_page_scope.h"
#include "support/test_app.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/testing/test_input.h"
#include "toolkit/win32/backend.h"

using namespace toolkit;
using tallykey::test::CodePageScope;

namespace {

Application& App() { return tallykey::test::TestApp(); }

HWND Native(const Control& control) { return control.impl() ? control.impl()->hwnd : nullptr; }
DWORD Style(const Control& control) { return static_cast<DWORD>(GetWindowLongPtrW(Native(control), GWL_STYLE)); }

std::wstring ClassOf(const Control& control) {
    wchar_t name[64] = {};
    GetClassNameW(Native(control), name, 64);
    return name;
}

class Win32WidgetsTest : public ::testing::Test {
protected:
    Win32WidgetsTest() : window(WindowStyle::Dialog) {
        App();
        window.SetClientSize(313, 285);
    }
    Window window;
};

TEST_F(Win32WidgetsTest, EachControlIsItsNativeClassWhereItWasPut) {
    Label label(window);
    label.SetBounds(8, 8, 0, 0);
    label.SetCaption("&Password:");
    Edit edit(window);
    edit.SetBounds(8, 72, 145, 19);
    Memo memo(window);
    memo.SetBounds(160, 112, 145, 129);
    Button button(window);
    button.SetBounds(169, 256, 64, 22);
    CheckBox check(window);
    check.SetBounds(8, 200, 0, 0);
    check.SetCaption("Quick copy:");
    GroupBox group(window);
    group.SetBounds(8, 176, 145, 65);
    Edit inside(group);
    inside.SetBounds(8, 32, 49, 19);

    EXPECT_EQ(ClassOf(label), L"Static");
    EXPECT_EQ(ClassOf(edit), L"Edit");
    EXPECT_EQ(ClassOf(button), L"Button");
    EXPECT_TRUE(Style(edit) & ES_AUTOHSCROLL);
    EXPECT_TRUE(Style(memo) & ES_MULTILINE);
    EXPECT_FALSE(Style(memo) & (WS_VSCROLL | WS_HSCROLL | ES_AUTOHSCROLL)) << "lines wrap, no scroll bars";
    EXPECT_TRUE(Style(memo) & ES_AUTOVSCROLL) << "lines below the last one shown are taken";
    EXPECT_TRUE(Style(button) & WS_TABSTOP);
    EXPECT_TRUE(GetWindowLongPtrW(Native(group), GWL_EXSTYLE) & WS_EX_CONTROLPARENT) << "Tab goes into the box";

    EXPECT_EQ(edit.Bounds().left, 8);
    EXPECT_EQ(edit.Bounds().top, 72);
    EXPECT_EQ(edit.Bounds().width, 145);
    EXPECT_EQ(edit.Bounds().height, 19);
    EXPECT_EQ(inside.Bounds().left, 8) << "placed from the group box's corner";
    EXPECT_EQ(inside.Bounds().top, 32);
    EXPECT_EQ(GetParent(Native(inside)), Native(group));

    // Sized to the text as the window's font shows it ("&" marks the access key).
    const Rect fitted = label.Bounds();
    EXPECT_GT(fitted.width, 30);
    EXPECT_LT(fitted.width, 80);
    EXPECT_GE(fitted.height, 11);
    label.SetCaption("&Password: and a good deal more");
    EXPECT_GT(label.Bounds().width, fitted.width + 50);
    EXPECT_GT(check.Bounds().width, 60) << "the box and its caption";
}

TEST_F(Win32WidgetsTest, TextsCrossInTheCodePageInUse) {
    CodePageScope cyrillic(1251);
    Edit edit(window);
    Memo memo(window);
    Label label(window);
    edit.SetText("\xcf\xe0\xf0\xee\xeb\xfc"); // "Пароль"
    EXPECT_EQ(win32::WindowTextW(Native(edit)), L"\x041F\x0430\x0440\x043E\x043B\x044C");
    EXPECT_EQ(edit.Text(), "\xcf\xe0\xf0\xee\xeb\xfc");
    label.SetCaption("\xc8\xec\xff"); // "Имя"
    EXPECT_EQ(win32::WindowTextW(Native(label)), L"\x0418\x043C\x044F");

    // Lines break as CR LF in the box; the program's own text comes back as given.
    memo.SetText("one\ntwo\r\nthree");
    EXPECT_EQ(win32::WindowTextW(Native(memo)), L"one\r\ntwo\r\nthree");
    EXPECT_EQ(memo.Text(), "one\ntwo\r\nthree");

    // Typed text comes back in the code page.
    window.Show();
    edit.SetText("");
    edit.SetFocus();
    input::TypeUnicode(window, "\xD0\x96\xD0\xB4"); // "Жд"
    EXPECT_EQ(edit.Text(), "\xc6\xe4");

    // The password character hides the text, not what the program reads.
    edit.SetPasswordStyle(true);
    EXPECT_TRUE(edit.IsPasswordStyle());
    EXPECT_EQ(edit.Text(), "\xc6\xe4");
    edit.SetPasswordStyle(false);
    EXPECT_FALSE(edit.IsPasswordStyle());
}

TEST_F(Win32WidgetsTest, HandlersHearTheUsersActionsAndTheProgramsChangesAsTheySay) {
    Edit edit(window);
    edit.SetBounds(8, 8, 100, 19);
    Button button(window);
    button.SetBounds(8, 40, 64, 22);
    CheckBox check(window);
    check.SetBounds(8, 70, 0, 0);
    check.SetCaption("Minimize on copy");
    int changes = 0, clicks = 0, checks = 0;
    edit.OnChange = [&] { ++changes; };
    button.OnClick = [&] { ++clicks; };
    check.OnClick = [&] { ++checks; };
    window.Show();

    edit.SetText("title");
    EXPECT_EQ(changes, 1);
    edit.SetFocus();
    input::TypeText(window, "ab");
    EXPECT_EQ(edit.Text(), "abtitle") << "a box just filled shows its start, with the caret there";
    EXPECT_EQ(changes, 3);

    input::ClickOn(button);
    EXPECT_EQ(clicks, 1);
    button.SetEnabled(false);
    button.Click();
    input::ClickOn(button);
    EXPECT_EQ(clicks, 1) << "a disabled button is not clicked";

    check.SetChecked(true);
    EXPECT_EQ(checks, 0) << "the program's own change";
    input::ClickOn(check);
    EXPECT_FALSE(check.IsChecked());
    EXPECT_EQ(checks, 1);
    check.Click();
    EXPECT_TRUE(check.IsChecked());
    EXPECT_EQ(checks, 2);

    // Numbers only: the class refuses other characters as they are typed.
    Edit length(window);
    length.SetBounds(8, 100, 49, 19);
    length.SetNumbersOnly(true);
    length.SetText("8");
    length.SetRightAligned(true);
    EXPECT_TRUE(Style(length) & ES_RIGHT);
    EXPECT_TRUE(Style(length) & ES_NUMBER) << "kept when the box is made again";
    EXPECT_EQ(length.Text(), "8");
    EXPECT_EQ(length.Bounds().left, 8);
    EXPECT_EQ(length.Bounds().width, 49);
    length.SetFocus();
    input::TypeText(window, "1x6");
    EXPECT_EQ(length.Text(), "168") << "typed at the start, where a box just filled has its caret";
}

TEST_F(Win32WidgetsTest, RadioButtonsExcludeTheirSiblingsOnly) {
    GroupBox sound(window);
    sound.SetBounds(8, 8, 200, 80);
    RadioButton card(sound), speaker(sound);
    card.SetBounds(8, 20, 0, 0);
    card.SetCaption("Beep with soundcard");
    speaker.SetBounds(8, 44, 0, 0);
    speaker.SetCaption("Beep with speaker");
    RadioButton web(window);
    web.SetBounds(8, 100, 0, 0);
    web.SetCaption("Go to web page");
    int clicks = 0;
    speaker.OnClick = [&] { ++clicks; };
    window.Show();

    web.SetChecked(true);
    card.SetChecked(true);
    EXPECT_TRUE(web.IsChecked()) << "another parent's radio button";
    speaker.SetChecked(true);
    EXPECT_FALSE(card.IsChecked());
    EXPECT_EQ(clicks, 0);
    input::ClickOn(card);
    EXPECT_TRUE(card.IsChecked());
    EXPECT_FALSE(speaker.IsChecked());
    input::ClickOn(speaker);
    EXPECT_TRUE(speaker.IsChecked());
    EXPECT_FALSE(card.IsChecked());
    EXPECT_TRUE(web.IsChecked());
    EXPECT_EQ(clicks, 1);
    speaker.SetChecked(false);
    EXPECT_FALSE(speaker.IsChecked()) << "the program may clear a set";
}

TEST_F(Win32WidgetsTest, AlignedPanelsFollowTheirContainer) {
    Window main(WindowStyle::Main);
    main.SetAlignMargin(1);
    main.SetClientSize(474, 445);
    Panel details(main);
    details.SetBounds(0, 0, 186, 10);
    details.SetAlign(Align::Right);
    Edit find(details);
    find.SetBounds(0, 0, 10, 21);
    find.SetAlign(Align::Top);
    Panel tree(main);
    tree.SetAlign(Align::Client);
    main.Show();

    EXPECT_EQ(details.Bounds().left, 474 - 1 - 186);
    EXPECT_EQ(details.Bounds().height, 445 - 2);
    EXPECT_EQ(find.Bounds().width, 186) << "no margin inside the panel";
    EXPECT_EQ(tree.Bounds().width, 474 - 2 - 186);

    main.SetClientSize(600, 500);
    App().ProcessMessages();
    EXPECT_EQ(details.Bounds().left, 600 - 1 - 186);
    EXPECT_EQ(details.Bounds().height, 500 - 2);
    EXPECT_EQ(tree.Bounds().width, 600 - 2 - 186);
    EXPECT_EQ(tree.Bounds().height, 500 - 2);
}

} // namespace
