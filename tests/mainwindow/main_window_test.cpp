// The main window as built: layout, menus, keys, first show and closing.
#include <map>

#include "test_app.h"
#include "toolkit/menu.h"

namespace tallykey::test {
namespace {

using toolkit::Rect;

TEST_F(MainWindowTest, LayoutFollowsTheWindowSize) {
    FirstShow();
    auto check = [&](int clientWidth, int clientHeight) {
        SCOPED_TRACE(std::to_string(clientWidth) + "x" + std::to_string(clientHeight));
        // A 1-pixel margin all round; the panel keeps its width at the right edge.
        EXPECT_EQ(Parts(*form).DetailsPanel->Bounds(),
                  (Rect{clientWidth - 1 - 186, 1, 186, clientHeight - 2}));
        EXPECT_EQ(Parts(*form).GroupTree->Bounds(), (Rect{1, 1, clientWidth - 2 - 186, clientHeight - 2}));
        EXPECT_EQ(Parts(*form).CommentBox->Bounds(), (Rect{1, 160, 185, clientHeight - 2 - 160}));
        // The rest of the panel stays where it was put.
        EXPECT_EQ(Parts(*form).FindBox->Bounds(), (Rect{1, 0, 163, 19}));
        EXPECT_EQ(Parts(*form).FindButton->Bounds(), (Rect{165, 2, 22, 22}));
        EXPECT_EQ(Parts(*form).LoginBox->Bounds(), (Rect{1, 40, 163, 19}));
        EXPECT_EQ(Parts(*form).CopyLoginButton->Bounds(), (Rect{166, 42, 22, 22}));
        EXPECT_EQ(Parts(*form).PasswordBox->Bounds(), (Rect{1, 80, 163, 19}));
        EXPECT_EQ(Parts(*form).CopyPasswordButton->Bounds(), (Rect{166, 82, 22, 22}));
        EXPECT_EQ(Parts(*form).WebLinkBox->Bounds(), (Rect{1, 120, 163, 19}));
        EXPECT_EQ(Parts(*form).OpenLinkButton->Bounds(), (Rect{165, 122, 22, 22}));
        EXPECT_EQ(Parts(*form).CommentCaption->Bounds().left, 1);
        EXPECT_EQ(Parts(*form).CommentCaption->Bounds().top, 144);
    };
    check(form->ClientWidth(), form->ClientHeight());
    form->SetClientSize(700, 520);
    TestApp().ProcessMessages();
    EXPECT_EQ(form->ClientWidth(), 700);
    check(700, 520);
    form->SetClientSize(400, 300);
    TestApp().ProcessMessages();
    check(400, 300);
}

TEST_F(MainWindowTest, MenusAreBuiltFromTheirTemplates) {
    FirstShow();
    const toolkit::Menu& menu = *Parts(*form).MainMenu;
    ASSERT_EQ(menu.Count(), 18);
    EXPECT_EQ(menu.Text(MenuSave), "&Save\tCtrl+S");
    EXPECT_EQ(menu.Text(MenuAbout), "&About...");
    EXPECT_EQ(menu.Text(MenuClearClipboard), "C&lear Clipboard");
    for (int separator : {2, 4, 7, 12, 16})
        EXPECT_TRUE(menu.IsSeparator(separator)) << separator;
    for (int header : {MenuFile, MenuEdit, MenuHelp})
        EXPECT_TRUE(menu.IsSubmenu(header)) << header;
    EXPECT_EQ(menu.Parent(MenuExit), MenuFile);
    EXPECT_EQ(menu.Parent(MenuOptions), MenuEdit);
    EXPECT_EQ(menu.Parent(MenuAbout), MenuHelp);
    EXPECT_FALSE(menu.IsEnabled(MenuSave)) << "nothing to save after the first show";
    EXPECT_TRUE(menu.IsEnabled(MenuSaveAs));

    const toolkit::Menu& popup = *Parts(*form).TreeMenu;
    ASSERT_EQ(popup.Count(), 9);
    EXPECT_EQ(popup.Text(PopupAddGroup), "Add &Group...");
    EXPECT_EQ(popup.Text(PopupMoveDown), "Move Do&wn\tCtrl+Down");
    for (int separator : {2, 4, 6})
        EXPECT_TRUE(popup.IsSeparator(separator)) << separator;
}

// Every shortcut reaches its item's handler with the focus on any control
// of the window, and the control does not see the key.
TEST_F(MainWindowTest, ShortcutsReachTheirCommandsWhereverTheFocusIs) {
    using namespace toolkit;
    FirstShow();
    std::map<std::string, int> runs;
    auto record = [&](Menu& menu, int index, const std::string& name) {
        menu.SetOnClick(index, [&runs, name] { ++runs[name]; });
    };
    record(*Parts(*form).MainMenu, MenuOpen, "open");
    record(*Parts(*form).MainMenu, MenuSave, "save");
    record(*Parts(*form).MainMenu, MenuContents, "help");
    record(*Parts(*form).TreeMenu, PopupAddItem, "add item");
    record(*Parts(*form).TreeMenu, PopupEdit, "edit");
    record(*Parts(*form).TreeMenu, PopupDelete, "delete");
    record(*Parts(*form).TreeMenu, PopupMoveUp, "up");
    record(*Parts(*form).TreeMenu, PopupMoveDown, "down");
    const std::vector<std::pair<Shortcut, std::string>> keys = {
        {{'O', ModCtrl}, "open"},       {{'S', ModCtrl}, "save"},
        {{VK_F1, ModNone}, "help"},     {{VK_INSERT, ModNone}, "add item"},
        {{VK_RETURN, ModAlt}, "edit"},  {{VK_DELETE, ModNone}, "delete"},
        {{VK_UP, ModCtrl}, "up"},       {{VK_DOWN, ModCtrl}, "down"},
    };
    Parts(*form).Db = SampleDatabase();
    form->RebuildTree();
    Parts(*form).GroupTree->Select(ItemNode(0, 1));
    form->SetSaveEnabled(true); // a greyed Save takes no key

    // The find box comes last: its focus takes Delete away from the pop-up for good.
    const std::vector<Control*> targets = {Parts(*form).GroupTree.get(), Parts(*form).LoginBox.get(),
                                           Parts(*form).PasswordBox.get(), Parts(*form).CommentBox.get(),
                                           Parts(*form).FindBox.get()};
    int round = 0;
    for (Control* target : targets) {
        ++round;
        SCOPED_TRACE(target->Name());
        for (const auto& [shortcut, name] : keys) {
            if (target == Parts(*form).FindBox.get() && name == "delete")
                continue;
            input::PressKeyOn(*target, shortcut.vk, shortcut.mods);
            EXPECT_EQ(runs[name], round) << name;
        }
        EXPECT_TRUE(target->HasFocus());
    }
    // Ctrl+Up and Ctrl+Down went to the commands, not to the tree's own moving.
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(0, 1));
}

TEST_F(MainWindowTest, FindBoxFocusGivesTheDeleteKeyToTheTextForGood) {
    using namespace toolkit;
    FirstShow();
    int popupDeletes = 0;
    Parts(*form).TreeMenu->SetOnClick(PopupDelete, [&] { ++popupDeletes; });
    ASSERT_EQ(Parts(*form).TreeMenu->GetShortcut(PopupDelete), (Shortcut{VK_DELETE, ModNone}));
    input::PressKeyOn(*Parts(*form).LoginBox, VK_DELETE);
    EXPECT_EQ(popupDeletes, 1);

    Parts(*form).FindBox->SetFocus();
    TestApp().ProcessMessages();
    EXPECT_FALSE(Parts(*form).TreeMenu->GetShortcut(PopupDelete));
    EXPECT_EQ(Parts(*form).TreeMenu->Text(PopupDelete), "&Delete\tDelete") << "only the key goes";
    input::TypeText(*form, "abc");
    input::PressKey(*form, VK_HOME);
    input::PressKey(*form, VK_DELETE);
    EXPECT_EQ(Parts(*form).FindBox->Text(), "bc");

    // Still gone after the focus has left and come back.
    input::PressKeyOn(*Parts(*form).LoginBox, VK_DELETE);
    Parts(*form).FindBox->SetFocus();
    input::PressKeyOn(*Parts(*form).GroupTree, VK_DELETE);
    EXPECT_EQ(popupDeletes, 1);
    EXPECT_FALSE(Parts(*form).TreeMenu->GetShortcut(PopupDelete));
}

// Enter in the find box or a click on the find button looks for the text;
// neither does anything while the box is empty.
TEST_F(MainWindowTest, FindBoxEnterAndFindButtonSelectTheFirstMatch) {
    using namespace toolkit;
    FirstShow();
    Parts(*form).Db = SampleDatabase();
    form->RebuildTree();

    Parts(*form).FindButton->Click();
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), NoTreeNode);

    Parts(*form).FindBox->SetFocus();
    input::TypeText(*form, "ar");
    input::PressKey(*form, VK_RETURN);
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(1, 0)) << "Card, in the closed group";
    EXPECT_TRUE(Parts(*form).GroupTree->IsExpanded(GroupNode(1)));
    EXPECT_EQ(Parts(*form).FindBox->Text(), "Card");
    EXPECT_EQ(Parts(*form).LoginBox->Text(), "1234");

    Parts(*form).FindBox->SetText("WEB");
    input::ClickOn(*Parts(*form).FindButton);
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(0, 1));
    EXPECT_EQ(Parts(*form).FindBox->Text(), "Web");
}

TEST_F(MainWindowTest, TreeKeysStartRenamingAndLeaveEnterAlone) {
    using namespace toolkit;
    FirstShow();
    Parts(*form).Db = SampleDatabase();
    form->RebuildTree();
    Parts(*form).GroupTree->Select(ItemNode(0, 0));
    input::PressKeyOn(*Parts(*form).GroupTree, VK_RETURN);
    EXPECT_FALSE(Parts(*form).GroupTree->IsEditing());
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(0, 0));
    input::PressKeyOn(*Parts(*form).GroupTree, VK_F2);
    EXPECT_TRUE(Parts(*form).GroupTree->IsEditing());
    Parts(*form).GroupTree->CancelEdit();
}

// Without a file on the command line the last file opens; a file named there wins.
TEST_F(MainWindowTest, FirstShowOpensTheArgumentOverTheLastFile) {
    const std::string last = MakeDatabase(dir.File("last.tkf"), "");
    TDatabase other;
    AppendGroup(other, "Other", 1);
    const std::string argument = MakeDatabase(dir.File("argument.tkf"), "", other);

    struct Case {
        std::string lastFile;
        std::vector<std::string> arguments;
        std::string opened;
    };
    const std::vector<Case> cases = {
        {last, {argument}, argument},
        {last, {"\"" + argument + "\""}, argument},            // quotes removed
        {last, {argument, last}, argument},                      // only the first counts
        {last, {dir.File("missing.tkf")}, last},                 // no such file
        {last, {dir.File("")}, last},                            // a folder is no file
        {last, {}, last},
        {dir.File("gone.tkf"), {}, kUntitledFile},
        {std::string(), {}, kUntitledFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lastFile + " / " + (c.arguments.empty() ? "" : c.arguments[0]));
        form->OnCloseQuery = nullptr;
        form.reset();
        form = std::make_unique<MainForm>();
        form->Initialize();
        FirstShow(c.lastFile, c.arguments);
        EXPECT_EQ(Parts(*form).CurrentFile, c.opened);
        EXPECT_EQ(form->Caption(), "[" + std::filesystem::path(c.opened).filename().string() +
                                       "] - Tallykey 0.4");
        EXPECT_FALSE(form->SaveEnabled());
        EXPECT_EQ(Parts(*form).FirstShow, false);
    }
    EXPECT_EQ(Parts(*form).GroupTree->TopLevelCount(), 0) << "untitled: an empty tree";
}

TEST_F(MainWindowTest, ShowingTheWindowAgainOpensNothing) {
    const std::string file = MakeDatabase(dir.File("a.tkf"), "");
    FirstShow(file);
    ASSERT_EQ(Parts(*form).CurrentFile, file);
    Parts(*form).Db.Groups[0].Title = "changed in memory";
    form->MarkChanged();
    form->Hide();
    form->Show();
    TestApp().ProcessMessages();
    EXPECT_EQ(Parts(*form).Db.Groups[0].Title, "changed in memory");
    EXPECT_TRUE(form->SaveEnabled());
}

// "E&xit" goes the way of the close box: the save prompt, and Cancel keeps
// the window open while the settings are still written.
TEST_F(MainWindowTest, ExitAsksToSaveAndCancelKeepsTheWindowOpen) {
    const std::string file = MakeDatabase(dir.File("work.tkf"), "");
    FirstShow(file);
    form->MarkChanged();
    script.answers = {toolkit::IDCANCEL};
    Parts(*form).MainMenu->Click(MenuExit);
    TestApp().ProcessMessages();
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, "Save changes to '" + file + "'?");
    EXPECT_TRUE(form->IsShown());
    EXPECT_NE(ReadFile(dir.File("tallyk.ini")).find("LastFile=" + file), std::string::npos);

    // No: the window goes without saving.
    script.answers = {toolkit::IDNO};
    const std::string before = ReadFile(file);
    toolkit::input::ClickCloseBox(*form);
    TestApp().ProcessMessages();
    EXPECT_EQ(script.boxes.size(), 2u);
    EXPECT_FALSE(form->IsShown());
    EXPECT_EQ(ReadFile(file), before);
}

// One press of Delete in the tree asks once, whether the key still belongs to
// the pop-up item or, after the find box had the focus, to the tree itself.
TEST_F(MainWindowTest, DeleteInTheTreeAsksOnce) {
    using namespace toolkit;
    FirstShow();
    Parts(*form).Db = SampleDatabase();
    form->RebuildTree();
    for (bool findBoxFirst : {false, true}) {
        SCOPED_TRACE(findBoxFirst ? "after the find box" : "as started");
        if (findBoxFirst)
            Parts(*form).FindBox->SetFocus();
        Parts(*form).GroupTree->Select(ItemNode(0, 0));
        script.answers = {IDNO};
        input::PressKeyOn(*Parts(*form).GroupTree, VK_DELETE);
        TestApp().ProcessMessages();
        ASSERT_EQ(script.boxes.size(), 1u);
        EXPECT_EQ(script.boxes[0].text, "Are you sure you want to delete \"Box\"?");
        script.boxes.clear();
    }
    EXPECT_EQ(Parts(*form).Db.Items[0].size(), 2u);
}

// Enter in the login and password boxes and the copy buttons copy their
// field, the password whether it is shown masked or plain.
TEST_F(MainWindowTest, EnterAndCopyButtonsCopyTheirField) {
    using namespace toolkit;
    FirstShow();
    Parts(*form).Db = SampleDatabase();
    form->RebuildTree();
    Parts(*form).GroupTree->Select(ItemNode(0, 0));
    input::PressKeyOn(*Parts(*form).LoginBox, VK_RETURN);
    EXPECT_EQ(platform.clipboard.text, "me");
    for (bool masked : {true, false}) {
        form->RecreatePasswordBox(masked);
        platform.clipboard.text.clear();
        input::PressKeyOn(*Parts(*form).PasswordBox, VK_RETURN);
        EXPECT_EQ(platform.clipboard.text, "pw1") << masked;
    }
    input::ClickOn(*Parts(*form).CopyLoginButton);
    EXPECT_EQ(platform.clipboard.text, "me");
    input::ClickOn(*Parts(*form).CopyPasswordButton);
    EXPECT_EQ(platform.clipboard.text, "pw1");
    EXPECT_FALSE(Parts(*form).CopyPasswordButton->HasFocus()) << "image buttons never take the focus";
}

TEST_F(MainWindowTest, PasswordBoxStyleSwitchesInPlace) {
    FirstShow();
    Parts(*form).Db = SampleDatabase();
    form->RebuildTree();
    Parts(*form).GroupTree->Select(ItemNode(0, 0));
    toolkit::Edit* box = Parts(*form).PasswordBox.get();
    for (bool masked : {false, true, false}) {
        form->RecreatePasswordBox(masked);
        EXPECT_EQ(Parts(*form).PasswordBox.get(), box);
        EXPECT_EQ(box->IsPasswordStyle(), masked);
        EXPECT_EQ(box->Text(), "pw1");
        EXPECT_TRUE(box->IsReadOnly());
        EXPECT_EQ(box->Bounds(), (toolkit::Rect{1, 80, 163, 19}));
    }
}

} // namespace
} // namespace tallykey::test
