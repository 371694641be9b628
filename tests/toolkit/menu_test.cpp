#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_app.h"
#include "toolkit/controls.h"
#include "toolkit/menu.h"
#include "toolkit/menu_template.h"
#include "toolkit/testing/test_input.h"

using namespace toolkit;
using tallykey::test::TestApp;

namespace {

const std::vector<std::string> kMainMenu = {
    "&File", "(", "&New", "-", "&Open...\tCtrl+O", "-", "&Save\tCtrl+S", "Save &As...", "-", "E&xit", ")",
    "&Edit", "(", "&Change Password...", "C&lear Clipboard", "-", "&Options...", ")",
    "&Help", "(", "&Contents\tF1", "-", "&About...", ")"};

const std::vector<std::string> kPopupMenu = {"Add &Group...", "Add &Item...\tIns", "-", "&Edit...\tAlt+Enter",
                                             "-", "&Delete\tDelete", "-", "Move &Up\tCtrl+Up",
                                             "Move Do&wn\tCtrl+Down"};

TEST(MenuTemplate, NumbersEveryItemInListOrder) {
    const std::vector<MenuTemplateItem> items = ParseMenuTemplate(kMainMenu);
    ASSERT_EQ(items.size(), 18u);
    EXPECT_EQ(items[5].text, "&Save\tCtrl+S");
    EXPECT_EQ(items[5].parent, 0);
    EXPECT_TRUE(items[0].submenu);
    EXPECT_TRUE(items[2].separator);
    EXPECT_FALSE(items[3].separator);
    EXPECT_EQ(items[8].text, "E&xit");
    EXPECT_EQ(items[8].parent, 0);
    EXPECT_EQ(items[9].text, "&Edit");
    EXPECT_EQ(items[9].parent, -1);
    EXPECT_EQ(items[17].text, "&About...");
    EXPECT_EQ(items[17].parent, 14);
    EXPECT_EQ(ParseMenuTemplate(kPopupMenu).size(), 9u);
}

TEST(MenuTemplate, AnEmptyStringEndsTheListAndNestingIsKept) {
    const std::vector<MenuTemplateItem> items =
        ParseMenuTemplate({"a", "(", "b", "(", "c", ")", "d", ")", "e", "", "never"});
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[2].text, "c");
    EXPECT_EQ(items[2].parent, 1);
    EXPECT_EQ(items[3].text, "d");
    EXPECT_EQ(items[3].parent, 0);
    EXPECT_EQ(items[4].parent, -1);
    EXPECT_TRUE(ParseMenuTemplate({"(", ")", "x"}).size() == 1u) << "a stray bracket opens nothing";
}

TEST(MenuTemplate, SplitMenuTextAtTheFirstTab) {
    EXPECT_EQ(SplitMenuText("&Open...\tCtrl+O"), (std::pair<std::string, std::string>{"&Open...", "Ctrl+O"}));
    EXPECT_EQ(SplitMenuText("E&xit"), (std::pair<std::string, std::string>{"E&xit", ""}));
    EXPECT_EQ(SplitMenuText("a\tb\tc"), (std::pair<std::string, std::string>{"a", "b\tc"}));
}

class MenuTest : public ::testing::Test {
protected:
    MenuTest() : window((TestApp(), WindowStyle::Main)) {}
    Window window;
};

TEST_F(MenuTest, ItemsKeepTheirKindTextAndState) {
    Menu bar(window, Menu::Kind::Bar, kMainMenu);
    EXPECT_EQ(bar.GetKind(), Menu::Kind::Bar);
    ASSERT_EQ(bar.Count(), 18);
    EXPECT_TRUE(bar.IsSubmenu(0));
    EXPECT_FALSE(bar.IsSubmenu(5));
    EXPECT_EQ(bar.Parent(15), 14);
    EXPECT_EQ(bar.Text(5), "&Save\tCtrl+S");

    bar.SetText(5, "&Speichern\tStrg+S");
    EXPECT_EQ(bar.Text(5), "&Speichern\tStrg+S");
    bar.SetText(2, "Not a separator");
    EXPECT_TRUE(bar.IsSeparator(2)) << "a separator stays one whatever its text";

    bar.SetEnabled(5, false);
    EXPECT_FALSE(bar.IsEnabled(5));
    EXPECT_TRUE(bar.IsEnabled(6));
    EXPECT_EQ(bar.Text(99), "");
}

TEST_F(MenuTest, ABarOfEmptyTextsKeepsItsHeight) {
    Menu bar(window, Menu::Kind::Bar, kMainMenu);
    window.SetClientSize(300, 200);
    window.SetMenu(&bar);
    window.Show();
    const int barHeight = window.OuterRect().height - window.ClientHeight();
    ASSERT_GT(barHeight, 10);
    for (int i = 0; i < bar.Count(); ++i)
        bar.SetText(i, "");
    window.SetClientSize(300, 200);
    EXPECT_EQ(window.OuterRect().height - window.ClientHeight(), barHeight);
}

TEST_F(MenuTest, ClicksNeedAnEnabledItemPopupShortcutsDoNot) {
    Menu popup(window, Menu::Kind::Popup, kPopupMenu);
    int deletes = 0;
    popup.SetOnClick(5, [&] { ++deletes; });
    popup.SetShortcut(5, Shortcut{VK_DELETE, ModNone});
    EXPECT_EQ(popup.GetShortcut(5), (Shortcut{VK_DELETE, ModNone}));

    popup.Click(5);
    EXPECT_EQ(deletes, 1);
    popup.SetEnabled(5, false);
    popup.Click(5);
    EXPECT_EQ(deletes, 1);
    popup.Trigger(Shortcut{VK_DELETE, ModNone});
    EXPECT_EQ(deletes, 2);
    popup.Trigger(Shortcut{VK_DELETE, ModShift});
    EXPECT_EQ(deletes, 2) << "the modifiers must match";
    popup.RemoveShortcut(5);
    EXPECT_FALSE(popup.GetShortcut(5));
    popup.Trigger(Shortcut{VK_DELETE, ModNone});
    EXPECT_EQ(deletes, 2);

    // A menu bar's disabled item keeps its key from doing anything.
    Menu bar(window, Menu::Kind::Bar, kMainMenu);
    int saves = 0;
    bar.SetOnClick(5, [&] { ++saves; });
    bar.SetShortcut(5, Shortcut{'S', ModCtrl});
    bar.SetEnabled(5, false);
    bar.Trigger(Shortcut{'S', ModCtrl});
    EXPECT_EQ(saves, 0);
    bar.SetEnabled(5, true);
    bar.Trigger(Shortcut{'S', ModCtrl});
    EXPECT_EQ(saves, 1);
}

TEST_F(MenuTest, ShortcutsOfEveryMenuOfTheWindowWorkInsideItOnly) {
    Menu bar(window, Menu::Kind::Bar, kMainMenu);
    window.SetMenu(&bar);
    Menu popup(window, Menu::Kind::Popup, kPopupMenu);
    std::vector<std::string> ran;
    bar.SetOnClick(3, [&] { ran.push_back("open"); });
    bar.SetShortcut(3, Shortcut{'O', ModCtrl});
    popup.SetOnClick(3, [&] { ran.push_back("edit"); });
    popup.SetShortcut(3, Shortcut{VK_RETURN, ModAlt});
    popup.SetOnClick(7, [&] { ran.push_back("up"); });
    popup.SetShortcut(7, Shortcut{VK_UP, ModCtrl});
    Edit edit(window);
    window.Show();
    edit.SetFocus();
    input::PressKey(window, 'O', ModCtrl);
    input::PressKey(window, VK_RETURN, ModAlt);
    input::PressKey(window, VK_UP, ModCtrl);
    EXPECT_EQ(ran, (std::vector<std::string>{"open", "edit", "up"}));

    Window other(WindowStyle::Main);
    Edit otherEdit(other);
    other.Show();
    otherEdit.SetFocus();
    input::PressKey(other, 'O', ModCtrl);
    EXPECT_EQ(ran.size(), 3u) << "another window has its own keys";
}

TEST_F(MenuTest, PopupRunsItsHandlerFirstAndCounts) {
    Menu popup(window, Menu::Kind::Popup, kPopupMenu);
    int popups = 0;
    popup.OnPopup = [&] {
        ++popups;
        popup.SetEnabled(3, false);
    };
    EXPECT_EQ(popup.PopupCount(), 0);
    EXPECT_TRUE(popup.Popup(10, 10));
    EXPECT_EQ(popups, 1);
    EXPECT_FALSE(popup.IsEnabled(3));
    EXPECT_EQ(popup.PopupCount(), 1);

    popup.SuppressPopupOnce();
    EXPECT_TRUE(popup.IsPopupSuppressed());
    EXPECT_FALSE(popup.Popup(10, 10));
    EXPECT_EQ(popups, 1);
    TestApp().ProcessMessages();
    EXPECT_TRUE(popup.Popup(10, 10));
    EXPECT_EQ(popup.PopupCount(), 2);
}

TEST_F(MenuTest, MenuMayGoBeforeOrAfterItsWindow) {
    auto owner = std::make_unique<Window>(WindowStyle::Main);
    auto bar = std::make_unique<Menu>(*owner, Menu::Kind::Bar, kMainMenu);
    owner->SetMenu(bar.get());
    owner.reset();
    bar->SetText(1, "&New document");
    bar->Click(1);
    bar.reset();

    auto second = std::make_unique<Window>(WindowStyle::Main);
    second->SetClientSize(200, 100);
    auto menu = std::make_unique<Menu>(*second, Menu::Kind::Bar, kMainMenu);
    second->SetMenu(menu.get());
    menu.reset();
    EXPECT_GT(second->ClientHeight(), 100) << "the menu bar's room goes to the client area";
    second->Show();
    input::PressKey(*second, 'O', ModCtrl);
}

} // namespace
