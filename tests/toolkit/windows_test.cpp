#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/hook_scope.h"
#include "support/test_app.h"
#include "toolkit/ansi_text.h"
#include "toolkit/controls.h"
#include "toolkit/menu.h"
#include "toolkit/testing/fake_services.h"
#include "toolkit/testing/test_input.h"

using namespace toolkit;
using tallykey::test::HookScope;
using tallykey::test::TestApp;

namespace {

// A dialog as the program's editors build one: an edit box, a multi-line
// box, OK (default) and Cancel (cancel) buttons.
struct Dialog {
    Dialog() : window(WindowStyle::Dialog) {
        window.SetCaption("Authorization");
        window.SetFont(Font{});
        window.SetClientSize(321, 120);
        edit = std::make_unique<Edit>(window);
        edit->SetName("Edit");
        edit->SetBounds(72, 14, 241, 19);
        memo = std::make_unique<Memo>(window);
        memo->SetBounds(8, 40, 200, 40);
        ok = std::make_unique<Button>(window);
        ok->SetCaption("OK");
        ok->SetBounds(177, 90, 64, 22);
        ok->SetModalResult(ResultOK);
        cancel = std::make_unique<Button>(window);
        cancel->SetCaption("Cancel");
        cancel->SetBounds(249, 90, 64, 22);
        cancel->SetModalResult(ResultCancel);
        window.SetDefaultButton(ok.get());
        window.SetCancelButton(cancel.get());
        window.CenterOnScreen();
    }
    Window window;
    std::unique_ptr<Edit> edit;
    std::unique_ptr<Memo> memo;
    std::unique_ptr<Button> ok;
    std::unique_ptr<Button> cancel;
};

class WindowsTest : public ::testing::Test {
protected:
    WindowsTest() { TestApp(); }
    ~WindowsTest() override { SetCurrentCodePage(0); }
};

TEST_F(WindowsTest, AlignedChildrenFollowTheClientAreaAndReportResizes) {
    Window window(WindowStyle::Main);
    window.SetClientSize(474, 445);
    window.SetAlignMargin(1);
    Panel tree(window);
    tree.SetAlign(Align::Client);
    Panel panel(window);
    panel.SetAlignMargin(0);
    panel.SetBounds(0, 0, 186, 100);
    panel.SetAlign(Align::Right);
    int resizes = 0;
    panel.OnResize = [&] { ++resizes; };

    EXPECT_EQ(panel.Bounds(), (Rect{474 - 1 - 186, 1, 186, 443}));
    EXPECT_EQ(tree.Bounds(), (Rect{1, 1, 474 - 2 - 186, 443}));

    window.SetClientSize(600, 500);
    EXPECT_EQ(panel.Bounds(), (Rect{600 - 1 - 186, 1, 186, 498}));
    EXPECT_EQ(tree.Bounds(), (Rect{1, 1, 600 - 2 - 186, 498}));
    EXPECT_EQ(panel.ClientHeight(), 498);
    EXPECT_EQ(resizes, 1);

    // Only the panel's width changes: the client-aligned control takes the rest.
    window.SetClientSize(600, 500);
    EXPECT_EQ(resizes, 1) << "no size change, no report";
    panel.SetBounds(0, 0, 100, 0);
    EXPECT_EQ(panel.Bounds(), (Rect{600 - 1 - 100, 1, 100, 498}));
    EXPECT_EQ(tree.Bounds().width, 600 - 2 - 100);
}

TEST_F(WindowsTest, EdgeAlignmentTakesTopAndBottomBeforeTheSides) {
    Window window(WindowStyle::Main);
    window.SetClientSize(200, 100);
    Panel left(window), top(window), bottom(window), fill(window);
    left.SetBounds(0, 0, 30, 0);
    left.SetAlign(Align::Left);
    top.SetBounds(0, 0, 0, 10);
    top.SetAlign(Align::Top);
    bottom.SetBounds(0, 0, 0, 20);
    bottom.SetAlign(Align::Bottom);
    fill.SetAlign(Align::Client);
    EXPECT_EQ(top.Bounds(), (Rect{0, 0, 200, 10}));
    EXPECT_EQ(bottom.Bounds(), (Rect{0, 80, 200, 20}));
    EXPECT_EQ(left.Bounds(), (Rect{0, 10, 30, 70}));
    EXPECT_EQ(fill.Bounds(), (Rect{30, 10, 170, 70}));

    left.SetVisible(false);
    EXPECT_EQ(fill.Bounds(), (Rect{0, 10, 200, 70})) << "hidden controls take no room";
}

TEST_F(WindowsTest, MenuBarLeavesTheClientAreaItsSize) {
    Window window(WindowStyle::Main);
    window.SetClientSize(300, 200);
    Menu bar(window, Menu::Kind::Bar, {"&File", "(", "E&xit", ")"});
    window.SetMenu(&bar);
    EXPECT_EQ(window.ClientWidth(), 300);
    EXPECT_EQ(window.ClientHeight(), 200);
    EXPECT_GT(window.OuterRect().height, 200);

    window.SetOuterWidth(window.OuterRect().width + 50);
    EXPECT_EQ(window.ClientWidth(), 350);
    window.SetPosition(203, 109);
    EXPECT_EQ(window.OuterRect().left, 203);
    EXPECT_EQ(window.OuterRect().top, 109);
}

TEST_F(WindowsTest, DialogIsCentredOnTheScreenWithItsFrame) {
    Dialog d;
    Rect outer;
    HookScope hook([&](Window& w) {
        outer = w.OuterRect();
        w.EndModal(ResultCancel);
    });
    d.window.ShowModal();
    Application& app = TestApp();
    ASSERT_GT(outer.width, 321);
    EXPECT_EQ(outer.left, (app.ScreenWidth() - outer.width) / 2);
    EXPECT_EQ(outer.top, (app.ScreenHeight() - outer.height) / 2);
}

TEST_F(WindowsTest, EnterAndEscapeFollowTheDialogRules) {
    {
        Dialog d;
        HookScope hook([&](Window& w) {
            EXPECT_TRUE(d.edit->HasFocus()) << "the first control that takes the focus has it";
            input::TypeText(w, "secret");
            input::PressKey(w, VK_RETURN);
        });
        EXPECT_EQ(d.window.ShowModal(), ResultOK);
        EXPECT_EQ(d.edit->Text(), "secret");
        EXPECT_FALSE(d.window.IsShown());
    }
    {
        Dialog d;
        HookScope hook([&](Window& w) {
            d.memo->SetFocus();
            input::PressKey(w, VK_ESCAPE);
        });
        EXPECT_EQ(d.window.ShowModal(), ResultCancel);
    }
    {
        Dialog d;
        int result = -100;
        HookScope hook([&](Window& w) {
            d.cancel->SetFocus();
            input::PressKey(w, VK_RETURN); // a push button does not click on Enter
            result = w.ModalResult();
            EXPECT_TRUE(w.IsModal());
            input::PressKey(w, VK_SPACE); // Space does
        });
        EXPECT_EQ(d.window.ShowModal(), ResultCancel);
        EXPECT_EQ(result, ResultNone);
    }
    {
        Dialog d;
        d.memo->SetWantReturn(true);
        HookScope hook([&](Window& w) {
            d.memo->SetFocus();
            input::TypeText(w, "a");
            input::PressKey(w, VK_RETURN);
            input::TypeText(w, "b");
            EXPECT_TRUE(w.IsModal()) << "a memo that wants returns keeps Enter";
            d.ok->SetFocus();
            input::PressKey(w, VK_RETURN);
        });
        EXPECT_EQ(d.window.ShowModal(), ResultOK);
        EXPECT_EQ(d.memo->Text(), "a\r\nb");
    }
}

TEST_F(WindowsTest, CloseBoxAndUnansweredWindowsEndWithClosed) {
    Dialog d;
    {
        HookScope hook([&](Window& w) { input::ClickCloseBox(w); });
        EXPECT_EQ(d.window.ShowModal(), ResultClosed);
    }
    {
        HookScope hook([&](Window&) {});
        EXPECT_EQ(d.window.ShowModal(), ResultClosed) << "a window the hook leaves open";
    }
    {
        // A refused close keeps the window up.
        int queries = 0;
        d.window.OnCloseQuery = [&] { return ++queries > 1; };
        HookScope hook([&](Window& w) {
            input::ClickCloseBox(w);
            EXPECT_TRUE(w.IsModal());
            input::ClickOn(*d.ok);
        });
        EXPECT_EQ(d.window.ShowModal(), ResultOK);
        EXPECT_EQ(queries, 1);
    }
}

TEST_F(WindowsTest, ButtonRunsItsHandlerBeforeEndingTheWindow) {
    Dialog d;
    int clicks = 0;
    d.ok->OnClick = [&] {
        ++clicks;
        EXPECT_TRUE(d.window.IsModal());
    };
    HookScope hook([&](Window&) {
        d.ok->SetEnabled(false);
        input::ClickOn(*d.ok);
        EXPECT_EQ(clicks, 0) << "a disabled button takes no clicks";
        d.ok->SetEnabled(true);
        input::ClickOn(*d.ok);
    });
    EXPECT_EQ(d.window.ShowModal(), ResultOK);
    EXPECT_EQ(clicks, 1);
}

TEST_F(WindowsTest, ShortcutsWinOverTheFocusedControlUntilRemoved) {
    Window window(WindowStyle::Main);
    window.SetClientSize(300, 200);
    Menu popup(window, Menu::Kind::Popup, {"&Open\tCtrl+O", "&Delete\tDelete"});
    int opens = 0, deletes = 0;
    popup.SetOnClick(0, [&] { ++opens; });
    popup.SetOnClick(1, [&] { ++deletes; });
    popup.SetShortcut(0, Shortcut{'O', ModCtrl});
    popup.SetShortcut(1, Shortcut{VK_DELETE, ModNone});
    popup.SetEnabled(1, false); // shortcuts reach the handler all the same
    Edit edit(window);
    edit.SetBounds(0, 0, 100, 19);
    Edit readOnly(window);
    readOnly.SetBounds(0, 30, 100, 19);
    readOnly.SetReadOnly(true);
    window.Show();
    TestApp().ProcessMessages();

    edit.SetText("abc");
    edit.SetFocus();
    input::PressKey(window, VK_HOME);
    input::PressKey(window, VK_DELETE);
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(edit.Text(), "abc") << "a key the shortcut takes does not reach the box";

    input::PressKeyOn(readOnly, 'O', ModCtrl);
    EXPECT_EQ(opens, 1);

    popup.RemoveShortcut(1);
    input::PressKeyOn(edit, VK_HOME);
    input::PressKey(window, VK_DELETE);
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(edit.Text(), "bc");
}

TEST_F(WindowsTest, KeyHandlersSeeKeysAndCharactersAndMaySwallowThem) {
    Window window(WindowStyle::Main);
    Edit edit(window);
    std::vector<int> downs, ups;
    std::string chars;
    edit.OnKeyDown = [&](int vk, unsigned) {
        downs.push_back(vk);
        return vk == 'X';
    };
    edit.OnKeyUp = [&](int vk, unsigned) {
        ups.push_back(vk);
        return false;
    };
    edit.OnChar = [&](char ch) {
        chars += ch;
        return ch == 'q';
    };
    window.Show();
    edit.SetFocus();
    input::TypeText(window, "aqx1");
    input::PressKey(window, VK_RETURN);
    EXPECT_EQ(downs, (std::vector<int>{'A', 'Q', 'X', '1', VK_RETURN}));
    EXPECT_EQ(ups, (std::vector<int>{'A', 'Q', 'X', '1', VK_RETURN}));
    EXPECT_EQ(chars, "aqx1\r");
    EXPECT_EQ(edit.Text(), "a1") << "q was swallowed as a character, x as a key";
}

TEST_F(WindowsTest, TextCrossesAsTheBytesOfTheCodePage) {
    Window window(WindowStyle::Main);
    Edit edit(window);
    Memo memo(window);
    Label label(window);
    window.Show();

    SetCurrentCodePage(1251);
    edit.SetFocus();
    input::TypeText(window, "\xcf\xe0\xf0\xee\xeb\xfc"); // "Пароль"
    EXPECT_EQ(edit.Text(), "\xcf\xe0\xf0\xee\xeb\xfc");

    // Bytes the code page leaves undefined come back as they went in.
    SetCurrentCodePage(1252);
    edit.SetText("a\x81z");
    EXPECT_EQ(edit.Text(), "a\x81z");
    memo.SetText("one\ntwo\r\nthree");
    EXPECT_EQ(memo.Text(), "one\ntwo\r\nthree");
    label.SetCaption("Caf\xe9");
    EXPECT_EQ(label.Caption(), "Caf\xe9");
}

TEST_F(WindowsTest, EditBoxesRefuseWhatTheCodePageCannotHoldAndOneLineBoxesKeepOneLine) {
    const std::string word = "\xd0\x9f\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c"; // "Пароль"
    FakePlatform platform;
    Window window(WindowStyle::Main);
    Edit password(window);
    password.SetPasswordStyle(true);
    Edit edit(window);
    Memo memo(window);
    window.Show();
    SetCurrentCodePage(1252);

    // Typed: none of it reaches the masked box; the notice names each character once.
    password.SetFocus();
    input::TypeUnicode(window, "1" + word + "\xd0\xbb");
    EXPECT_EQ(input::ShownNotice(), "Characters not accepted\nCode page 1252 cannot hold them, so they were "
                                    "left out: \xd0\x9f \xd0\xb0 \xd1\x80 \xd0\xbe \xd0\xbb \xd1\x8c");
    EXPECT_EQ(platform.sound.beeps.size(), 7u) << "a beep for each refused key";
    input::TypeText(window, "2");
    EXPECT_EQ(input::ShownNotice(), "") << "typing on takes the notice away";
    EXPECT_EQ(password.Text(), "12");

    // Pasted: the rest is kept, a one-line box keeps the first line only.
    platform.sound.beeps.clear();
    edit.SetFocus();
    input::Paste(window, "pw123\n");
    input::Paste(window, "-Caf\xc3\xa9 " + word + "\r\nsecond line");
    EXPECT_EQ(edit.Text(), "pw123-Caf\xe9 ");
    EXPECT_EQ(platform.sound.beeps.size(), 1u);
    EXPECT_NE(input::ShownNotice().find("\xd0\x9f \xd0\xb0 \xd1\x80 \xd0\xbe \xd0\xbb \xd1\x8c"), std::string::npos);
    // Pasting into the middle keeps what stands on either side.
    input::PressKey(window, VK_HOME);
    input::Paste(window, "\xe2\x9c\x93>\n");
    EXPECT_EQ(edit.Text(), ">pw123-Caf\xe9 ");

    // A multi-line box keeps the lines and refuses the same characters; the
    // program's key handlers never see a refused character as "?".
    memo.SetFocus();
    input::Paste(window, "one " + word + "\ntwo");
    EXPECT_EQ(memo.Text(), "one \r\ntwo");
    std::string chars;
    memo.OnChar = [&](char ch) {
        chars += ch;
        return false;
    };
    input::TypeUnicode(window, "\xd0\x96!");
    EXPECT_EQ(memo.Text(), "one \r\ntwo!");
    EXPECT_EQ(chars, "!");

    // Under 1251 the same word is held; what the program puts in is never checked.
    SetCurrentCodePage(1251);
    platform.sound.beeps.clear();
    edit.SetText("");
    edit.SetFocus();
    input::TypeUnicode(window, word);
    EXPECT_EQ(edit.Text(), "\xcf\xe0\xf0\xee\xeb\xfc");
    edit.SetText("a\x98z\r\nb");
    EXPECT_EQ(edit.Text(), "a\x98z\r\nb");
    EXPECT_TRUE(platform.sound.beeps.empty());
}

TEST_F(WindowsTest, NumberBoxRefusesTypedLettersButNotSetText) {
    Window window(WindowStyle::Main);
    Edit edit(window);
    edit.SetNumbersOnly(true);
    window.Show();
    edit.SetFocus();
    input::TypeText(window, "1a2-3");
    EXPECT_EQ(edit.Text(), "123");
    edit.SetText("12ab");
    EXPECT_EQ(edit.Text(), "12ab");
}

TEST_F(WindowsTest, EditReportsChangesAndSelection) {
    Window window(WindowStyle::Main);
    Edit edit(window);
    int changes = 0;
    edit.OnChange = [&] { ++changes; };
    edit.SetText("title");
    EXPECT_EQ(changes, 1);
    edit.SelectAll();
    EXPECT_EQ(edit.SelectedText(), "title");
    edit.SetPasswordStyle(true);
    EXPECT_TRUE(edit.IsPasswordStyle());
    EXPECT_EQ(edit.Text(), "title") << "the box keeps the real text when masked";
}

TEST_F(WindowsTest, FocusMovesWithTabAndReportsItsArrival) {
    Window window(WindowStyle::Main);
    Label label(window);
    Edit first(window), second(window);
    Button button(window);
    int arrivals = 0;
    second.OnFocus = [&] { ++arrivals; };
    window.Show();
    first.SetFocus();
    EXPECT_EQ(window.FocusedControl(), &first);
    input::PressKey(window, VK_TAB);
    EXPECT_EQ(window.FocusedControl(), &second);
    EXPECT_EQ(arrivals, 1);
    input::PressKey(window, VK_TAB);
    EXPECT_EQ(window.FocusedControl(), &button);
    input::PressKey(window, VK_TAB, ModShift);
    EXPECT_EQ(window.FocusedControl(), &second);
    EXPECT_EQ(arrivals, 2);
    second.SetFocus();
    EXPECT_EQ(arrivals, 2) << "staying put is no arrival";
}

TEST_F(WindowsTest, LabelsSizeThemselvesToTheirText) {
    Window window(WindowStyle::Main);
    window.SetFont(Font{});
    Label label(window);
    label.SetBounds(8, 16, 1, 1);
    label.SetCaption("Password:");
    const Rect one = label.Bounds();
    EXPECT_EQ(one.left, 8);
    EXPECT_EQ(one.top, 16);
    EXPECT_GT(one.width, 20);
    EXPECT_GT(one.height, 8);
    label.SetCaption("Password: and more");
    EXPECT_GT(label.Bounds().width, one.width);

    label.SetAutoSize(false);
    label.SetBounds(8, 16, 108, 14);
    label.SetCaption("Language:");
    EXPECT_EQ(label.Bounds(), (Rect{8, 16, 108, 14}));
}

TEST_F(WindowsTest, CheckAndRadioButtonsClickOnlyForTheUser) {
    Window window(WindowStyle::Main);
    GroupBox group(window);
    group.SetBounds(8, 128, 249, 89);
    group.SetCaption("Sound:");
    CheckBox check(group);
    RadioButton card(group), speaker(group);
    int checkClicks = 0, radioClicks = 0;
    check.OnClick = [&] { ++checkClicks; };
    speaker.OnClick = [&] { ++radioClicks; };
    check.SetCaption("Beep when copying to clipboard");
    EXPECT_GT(check.Bounds().width, 100) << "sized to its caption";

    check.SetChecked(true);
    card.SetChecked(true);
    speaker.SetChecked(false);
    EXPECT_EQ(checkClicks, 0);
    EXPECT_TRUE(card.IsChecked());

    check.Click();
    EXPECT_FALSE(check.IsChecked());
    EXPECT_EQ(checkClicks, 1);
    speaker.Click();
    EXPECT_TRUE(speaker.IsChecked());
    EXPECT_FALSE(card.IsChecked()) << "radio buttons of one parent exclude each other";
    EXPECT_EQ(radioClicks, 1);

    speaker.SetChecked(false);
    EXPECT_FALSE(speaker.IsChecked()) << "the program may clear the chosen one";

    window.Show();
    input::ClickOn(check);
    EXPECT_TRUE(check.IsChecked());
    EXPECT_EQ(checkClicks, 2);
}

TEST_F(WindowsTest, ComboBoxReportsOnlyTheUsersChoices) {
    Window window(WindowStyle::Main);
    ComboBox combo(window);
    combo.SetBounds(8, 8, 121, 21);
    int changes = 0;
    combo.OnChange = [&] { ++changes; };
    EXPECT_EQ(combo.ItemIndex(), -1);
    for (const char* text : {"Title", "Login", "Password", "Web link", "Comment"})
        combo.AddItem(text);
    EXPECT_EQ(combo.ItemIndex(), 0) << "the first item added is selected";
    combo.SetItemIndex(3);
    combo.SetItemIndex(-1);
    EXPECT_EQ(combo.ItemIndex(), -1);
    EXPECT_EQ(changes, 0);
    combo.SelectByUser(2);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo.ItemText(2), "Password");

    // Typing a character selects the next item that starts with it.
    window.Show();
    combo.SetItemIndex(0);
    combo.SetFocus();
    input::TypeText(window, "w");
    EXPECT_EQ(combo.ItemIndex(), 3);
    input::TypeText(window, "c");
    EXPECT_EQ(combo.ItemIndex(), 4);
    EXPECT_EQ(changes, 3);
}

TEST_F(WindowsTest, OwnerDrawnComboDrawsItsSelectionField) {
    Window window(WindowStyle::Main);
    ComboBox combo(window);
    combo.SetBounds(8, 24, 49, 21);
    combo.SetOwnerDraw(true, 17);
    EXPECT_EQ(combo.ItemHeight(), 17);
    combo.AddItem("");
    combo.AddItem("");
    combo.SetItemIndex(1);
    std::vector<DrawItemInfo> drawn;
    combo.OnDrawItem = [&](Canvas& canvas, const DrawItemInfo& item) {
        drawn.push_back(item);
        canvas.FillRect(item.rect);
        canvas.DrawText("&x", item.rect);
    };
    window.Show();
    ASSERT_TRUE(input::SaveScreenshot(window, ::testing::TempDir() + "combo.png"));
    ASSERT_FALSE(drawn.empty());
    EXPECT_TRUE(drawn.back().comboEdit);
    EXPECT_EQ(drawn.back().index, 1);
    EXPECT_GT(drawn.back().rect.width, 0);

    ComboBox plain(window);
    plain.SetOwnerDraw(true);
    EXPECT_GE(plain.ItemHeight(), 13) << "the platform's default height";
}

TEST_F(WindowsTest, ControlsAndWindowsMayBeDestroyedInEitherOrder) {
    auto window = std::make_unique<Window>(WindowStyle::Main);
    auto panel = std::make_unique<Panel>(*window);
    auto edit = std::make_unique<Edit>(*panel);
    auto first = std::make_unique<Button>(*window);
    edit->SetName("Box");
    EXPECT_EQ(window->FindControl("Box"), edit.get());
    first.reset();
    EXPECT_EQ(window->Children().size(), 1u);
    window.reset();
    EXPECT_EQ(edit->Parent(), panel.get());
    EXPECT_EQ(panel->Parent(), nullptr);
    edit->SetText("after");
    EXPECT_EQ(edit->Text(), "");
    panel.reset();
    EXPECT_EQ(edit->Parent(), nullptr);
    edit.reset();
}

TEST_F(WindowsTest, ControlReplacedFromItsNeighboursHandler) {
    // As the options dialog re-creates the main window's password box.
    Window window(WindowStyle::Main);
    auto box = std::make_unique<Edit>(window);
    box->SetText("pw");
    CheckBox check(window);
    check.SetBounds(8, 40, 120, 17);
    check.OnClick = [&] {
        const std::string text = box->Text();
        box = std::make_unique<Edit>(window);
        box->SetPasswordStyle(check.IsChecked());
        box->SetText(text);
    };
    window.Show();
    input::ClickOn(check);
    TestApp().ProcessMessages();
    EXPECT_TRUE(box->IsPasswordStyle());
    EXPECT_EQ(box->Text(), "pw");
    EXPECT_EQ(window.Children().size(), 2u);
}

TEST_F(WindowsTest, DroppedFilesArriveJoinedByCarriageReturns) {
    Window window(WindowStyle::Main);
    Edit edit(window);
    std::vector<std::string> drops;
    window.OnDropFiles = [&](const std::string& files) { drops.push_back(files); };
    input::DropFiles(window, "/tmp/a.tkf");
    EXPECT_TRUE(drops.empty()) << "the window does not take files yet";
    window.AcceptDroppedFiles(true);
    input::DropFiles(window, "/tmp/a.tkf\r/tmp/b c.tkf");
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0], "/tmp/a.tkf\r/tmp/b c.tkf");
}

TEST_F(WindowsTest, CloseIsAPostedRequestThatMayBeRefused) {
    Window window(WindowStyle::Main);
    bool allow = false;
    int queries = 0;
    window.OnCloseQuery = [&] {
        ++queries;
        return allow;
    };
    int shows = 0;
    window.OnShow = [&] { ++shows; };
    window.Show();
    EXPECT_EQ(shows, 1);
    window.Close();
    EXPECT_EQ(queries, 0) << "posted, not run at once";
    TestApp().ProcessMessages();
    EXPECT_EQ(queries, 1);
    EXPECT_TRUE(window.IsShown());
    allow = true;
    window.Close();
    TestApp().ProcessMessages();
    EXPECT_FALSE(window.IsShown());
    window.Show();
    EXPECT_EQ(shows, 2);
}

TEST_F(WindowsTest, MinimizeCommandRunsTheHandlerOnce) {
    Application& app = TestApp();
    Window window(WindowStyle::Main);
    ASSERT_EQ(app.MainWindow(), &window) << "the first main window is the program's";
    struct Unhook {
        Application& app;
        ~Unhook() { app.OnMinimize = nullptr; }
    } unhook{app};
    window.Show();

    int runs = 0;
    app.OnMinimize = [&] {
        ++runs;
        app.SendMinimizeCommand(); // minimising from inside does not run it again
    };
    app.SendMinimizeCommand();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(app.IsMinimized());
    EXPECT_TRUE(window.IsMinimized());
    app.Restore();
    EXPECT_FALSE(app.IsMinimized());
    EXPECT_FALSE(window.IsMinimized());

    // A handler that hides the main window keeps it from being minimised.
    app.OnMinimize = [&] {
        ++runs;
        window.Hide();
    };
    app.SendMinimizeCommand();
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(window.IsShown());
    EXPECT_FALSE(window.IsMinimized());
    app.Restore();
    window.Show();

    // The title bar's minimise box takes the same path.
    window.Minimize();
    EXPECT_EQ(runs, 2) << "the program's own Minimize is not the system command";
    window.Restore();
}

TEST_F(WindowsTest, ScreenshotIsAPngFile) {
    Dialog d;
    d.window.Show();
    const std::string path = ::testing::TempDir() + "dialog.png";
    ASSERT_TRUE(input::SaveScreenshot(d.window, path));
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG");
    std::remove(path.c_str());
}

} // namespace

namespace {

TEST_F(WindowsTest, ImageButtonInAPanelTakesClicksButNeverTheFocus) {
    Window window(WindowStyle::Main);
    window.SetClientSize(474, 445);
    Menu bar(window, Menu::Kind::Bar, {"&File", "(", "E&xit", ")"});
    window.SetMenu(&bar);
    window.SetAlignMargin(1);
    Panel panel(window);
    panel.SetBounds(0, 0, 186, 100);
    panel.SetAlign(Align::Right);
    Edit edit(panel);
    edit.SetBounds(1, 40, 163, 19);
    ImageButton button(panel);
    button.SetBounds(166, 42, 22, 22);
    int clicks = 0;
    button.OnClick = [&] { ++clicks; };
    window.Show();
    TestApp().ProcessMessages();
    edit.SetFocus();
    input::ClickOn(button);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(edit.HasFocus());
    button.Click();
    EXPECT_EQ(clicks, 2);
}

// What the program shows in bold (the item editor's title) is drawn heavier
// than the same text beside it, in the window's font.
TEST_F(WindowsTest, BoldTextIsDrawnHeavier) {
    Window window(WindowStyle::Dialog);
    window.SetFont(Font{});
    Edit plain(window), bold(window);
    Button focus(window); // holds the focus, so that neither box shows its frame
    plain.SetBounds(8, 8, 145, 19);
    bold.SetBounds(8, 40, 145, 19);
    focus.SetBounds(8, 72, 75, 25);
    bold.SetBold(true);
    plain.SetText("Round trip");
    bold.SetText("Round trip");
    window.Show();
    focus.SetFocus();
    TestApp().ProcessMessages();
    auto ink = [](Control& box) {
        const input::Picture picture = input::Grab(box);
        int dark = 0;
        for (int y = 3; y < picture.height - 3; ++y)
            for (int x = 3; x < picture.width - 3; ++x) {
                const unsigned c = picture.At(x, y);
                dark += ((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF)) < 3 * 0x80;
            }
        return dark;
    };
    EXPECT_TRUE(bold.IsBold());
    EXPECT_GT(ink(bold), ink(plain) * 5 / 4);
}

} // namespace
