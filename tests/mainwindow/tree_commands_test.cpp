// The tree's editing commands, run on a real main window with the editors
// answered through the modal hook.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "editors/new_group_form.h"
#include "editors/new_item_form.h"
#include "database/database_file.h"
#include "mainwindow/main_form.h"
#include "preferences/language.h"
#include "preferences/settings.h"
#include "test_app.h"
#include "toolkit/testing/fake_services.h"
#include "toolkit/menu.h"
#include "toolkit/testing/test_input.h"

namespace tallykey {
namespace {

using namespace toolkit;

// Mail (open): Box, Web; Bank (closed): Card; Empty (open): nothing.
TDatabase SampleDatabase() {
    TDatabase db;
    AppendGroup(db, "Mail", 3);
    AppendItem(db, 0, "Box", "me", "pw1", "mail.example.com", "line 1\r\nline 2", 17);
    AppendItem(db, 0, "Web", "web-user", "pw2", "", "", 18);
    AppendGroup(db, "Bank", 5);
    db.Groups[1].Expanded = false;
    AppendItem(db, 1, "Card", "1234", "0000", "", "", 20);
    AppendGroup(db, "Empty", 7);
    return db;
}

std::vector<std::string> Titles(const std::vector<TItem>& items) {
    std::vector<std::string> titles;
    for (const TItem& item : items)
        titles.push_back(item.Title);
    return titles;
}

class TreeCommandsTest : public ::testing::Test {
protected:
    TreeCommandsTest() {
        test::TestApp();
        SetSettingsFilePath(folder_.File("tallyk.ini"));
        Settings() = TSettings{};
        hook_.onModal = [this](Window& window) {
            ++dialogsShown;
            owners.push_back(window.Owner());
            captions.push_back(window.Caption());
            if (dialogs.empty()) {
                ADD_FAILURE() << "unexpected dialog \"" << window.Caption() << "\"";
                window.EndModal(ResultCancel);
                return;
            }
            auto answer = std::move(dialogs.front());
            dialogs.pop_front();
            answer(window);
        };
        hook_.onMessageBox = [this](const MessageBoxRequest& request) {
            boxes.push_back(request);
            if (answers.empty()) {
                ADD_FAILURE() << "unexpected message box \"" << request.text << "\"";
                return static_cast<int>(IDNO);
            }
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        };
        SetModalHook(&hook_);

        form = std::make_unique<MainForm>();
        form->Initialize();
        form->Show();
        test::TestApp().ProcessMessages();
        Parts(*form).Db = SampleDatabase();
        form->RebuildTree();
        form->SetSaveEnabled(false);
        Parts(*form).Saved = true;
    }
    ~TreeCommandsTest() override {
        EXPECT_TRUE(dialogs.empty()) << "dialog answers left over";
        EXPECT_TRUE(answers.empty()) << "message box answers left over";
        form->OnCloseQuery = nullptr;
        form.reset();
        SetModalHook(nullptr);
        SetSettingsFilePath(std::string());
        Settings() = TSettings{};
    }

    std::string FolderFile(const std::string& name) const { return folder_.File(name); }
    TDatabase& Db() { return Parts(*form).Db; }
    TreeView& Tree() { return *Parts(*form).GroupTree; }
    TreeNode GroupNode(int g) { return Db().Groups.at(g).Node; }
    TreeNode ItemNode(int g, int i) { return Db().Items.at(g).at(i).Node; }
    bool Changed() const { return form->SaveEnabled() && !Parts(*form).Saved; }

    // The next dialog must be an item editor; `answer` fills and ends it.
    void ExpectItemEditor(std::function<void(NewItemForm&)> answer) {
        dialogs.push_back([answer](Window& w) {
            auto* editor = dynamic_cast<NewItemForm*>(&w);
            ASSERT_NE(editor, nullptr) << "not the item editor";
            answer(*editor);
        });
    }
    void ExpectGroupEditor(std::function<void(NewGroupForm&)> answer) {
        dialogs.push_back([answer](Window& w) {
            auto* editor = dynamic_cast<NewGroupForm*>(&w);
            ASSERT_NE(editor, nullptr) << "not the group editor";
            answer(*editor);
        });
    }

    std::unique_ptr<MainForm> form;
    FakePlatform platform;
    std::deque<std::function<void(Window&)>> dialogs;
    std::deque<int> answers;
    int dialogsShown = 0;
    std::vector<const Window*> owners;
    std::vector<std::string> captions;
    std::vector<MessageBoxRequest> boxes;

private:
    test::TempFolder folder_;
    ModalHook hook_;
};

TEST_F(TreeCommandsTest, AddGroupAppendsAnOpenGroupAndSelectsNothing) {
    Tree().Select(ItemNode(0, 1));
    ExpectGroupEditor([](NewGroupForm& f) {
        EXPECT_EQ(f.TitleBox->Text(), "");
        EXPECT_EQ(f.IconChooser->ItemIndex(), 0);
        f.TitleBox->SetText("Shops");
        f.IconChooser->SelectByUser(9);
        input::ClickOn(*f.OKButton);
    });
    Parts(*form).TreeMenu->Click(PopupAddGroup);
    EXPECT_EQ(captions, (std::vector<std::string>{"New Group"}));
    EXPECT_EQ(owners, (std::vector<const Window*>{nullptr})); // the application object
    ASSERT_EQ(Db().Groups.size(), 4u);
    ASSERT_EQ(Db().Items.size(), 4u);
    EXPECT_EQ(Db().Groups[3].Title, "Shops");
    EXPECT_EQ(Db().Groups[3].Icon, 9);
    EXPECT_TRUE(Db().Groups[3].Expanded);
    EXPECT_TRUE(Db().Items[3].empty());
    ASSERT_EQ(Tree().TopLevelCount(), 4);
    EXPECT_EQ(Tree().Text(GroupNode(3)), "Shops");
    EXPECT_EQ(Tree().Image(GroupNode(3)), 9);
    EXPECT_EQ(Tree().Selected(), NoTreeNode);
    EXPECT_TRUE(Changed());

    // Cancel and the close box change nothing.
    ExpectGroupEditor([](NewGroupForm& f) {
        f.TitleBox->SetText("Never");
        input::ClickOn(*f.CancelButton);
    });
    ExpectGroupEditor([](NewGroupForm& f) { input::ClickCloseBox(f); });
    form->SetSaveEnabled(false);
    form->CmdAddGroup();
    form->CmdAddGroup();
    EXPECT_EQ(Db().Groups.size(), 4u);
    EXPECT_FALSE(form->SaveEnabled());
}

TEST_F(TreeCommandsTest, AddItemGoesLastIntoTheChosenGroup) {
    // Nothing selected: no dialog at all, nothing changes.
    form->CmdAddItem();
    EXPECT_EQ(dialogsShown, 0);
    EXPECT_FALSE(form->SaveEnabled());

    Tree().Select(ItemNode(0, 1)); // an item of Mail: the editor starts on Mail
    ExpectItemEditor([](NewItemForm& f) {
        EXPECT_EQ(f.Caption(), "New Item");
        EXPECT_EQ(f.GroupChooser->ItemIndex(), 0);
        EXPECT_EQ(f.IconChooser->ItemIndex(), 17);
        EXPECT_EQ(f.GroupChooser->Count(), 3);
        f.GroupChooser->SelectByUser(1);
        f.TitleBox->SetText("Savings");
        f.LoginBox->SetText("acc");
        f.PasswordBox->SetText("p");
        f.WebLinkBox->SetText("bank.example");
        f.CommentBox->SetText("a\r\nb");
        f.IconChooser->SelectByUser(2);
        input::ClickOn(*f.OKButton);
    });
    Parts(*form).TreeMenu->Click(PopupAddItem);
    ASSERT_EQ(Titles(Db().Items[1]), (std::vector<std::string>{"Card", "Savings"}));
    const TItem& added = Db().Items[1][1];
    EXPECT_EQ(added.Login, "acc");
    EXPECT_EQ(added.Password, "p");
    EXPECT_EQ(added.WebLink, "bank.example");
    EXPECT_EQ(added.Comment, "a\r\nb");
    EXPECT_EQ(added.Icon, 2);
    EXPECT_EQ(Tree().Text(added.Node), "Savings");
    EXPECT_EQ(Tree().Parent(added.Node), GroupNode(1));
    EXPECT_EQ(Tree().Selected(), NoTreeNode);
    // The group stays closed as its flag says.
    EXPECT_FALSE(Db().Groups[1].Expanded);
    EXPECT_FALSE(Tree().IsExpanded(GroupNode(1)));
    EXPECT_TRUE(Changed());

    // A selected group is the editor's starting group; Cancel adds nothing.
    form->SetSaveEnabled(false);
    Tree().Select(GroupNode(2));
    ExpectItemEditor([](NewItemForm& f) {
        EXPECT_EQ(f.GroupChooser->ItemIndex(), 2);
        f.TitleBox->SetText("Never");
        input::PressKey(f, VK_ESCAPE);
    });
    form->CmdAddItem();
    EXPECT_TRUE(Db().Items[2].empty());
    EXPECT_FALSE(form->SaveEnabled());
}

TEST_F(TreeCommandsTest, EditGroupStoresWhatChangedAndSelectsTheGroupAgain) {
    Tree().Select(GroupNode(1));
    const TreeNode before = GroupNode(1);
    // Unchanged: rebuilt and re-selected, not marked.
    ExpectGroupEditor([](NewGroupForm& f) {
        EXPECT_EQ(f.Caption(), "Edit Group");
        EXPECT_EQ(f.TitleBox->Text(), "Bank");
        EXPECT_EQ(f.TitleBox->SelectedText(), "Bank");
        EXPECT_EQ(f.IconChooser->ItemIndex(), 5);
        EXPECT_EQ(f.FocusedControl(), f.IconChooser.get());
        input::PressKey(f, VK_RETURN);
    });
    form->CmdEdit();
    EXPECT_NE(GroupNode(1), before);
    EXPECT_FALSE(Tree().Exists(before));
    EXPECT_EQ(Tree().Selected(), GroupNode(1));
    EXPECT_FALSE(form->SaveEnabled());

    // A title differing only in case is a change.
    ExpectGroupEditor([](NewGroupForm& f) {
        f.TitleBox->SetText("BANK");
        input::ClickOn(*f.OKButton);
    });
    form->CmdEdit();
    EXPECT_EQ(Db().Groups[1].Title, "BANK");
    EXPECT_EQ(Db().Groups[1].Icon, 5);
    EXPECT_EQ(Tree().Text(GroupNode(1)), "BANK");
    EXPECT_EQ(Tree().Selected(), GroupNode(1));
    EXPECT_TRUE(Changed());

    // The icon alone is a change too; the items stay with the group.
    form->SetSaveEnabled(false);
    ExpectGroupEditor([](NewGroupForm& f) {
        f.IconChooser->SelectByUser(40);
        input::ClickOn(*f.OKButton);
    });
    form->CmdEdit();
    EXPECT_EQ(Db().Groups[1].Icon, 40);
    EXPECT_EQ(Tree().Image(GroupNode(1)), 40);
    EXPECT_EQ(Titles(Db().Items[1]), (std::vector<std::string>{"Card"}));
    EXPECT_TRUE(form->SaveEnabled());

    // Cancel stores nothing, whatever was typed.
    form->SetSaveEnabled(false);
    ExpectGroupEditor([](NewGroupForm& f) {
        f.TitleBox->SetText("Other");
        input::ClickOn(*f.CancelButton);
    });
    form->CmdEdit();
    EXPECT_EQ(Db().Groups[1].Title, "BANK");
    EXPECT_FALSE(form->SaveEnabled());
}

TEST_F(TreeCommandsTest, EditItemWithoutChangesOnlyRebuildsAndReselects) {
    Tree().Select(ItemNode(0, 0));
    const TreeNode before = ItemNode(0, 0);
    ExpectItemEditor([](NewItemForm& f) {
        EXPECT_EQ(f.Caption(), "Edit Item");
        EXPECT_EQ(f.GroupChooser->ItemIndex(), 0);
        EXPECT_EQ(f.IconChooser->ItemIndex(), 17);
        EXPECT_EQ(f.TitleBox->Text(), "Box");
        EXPECT_EQ(f.LoginBox->Text(), "me");
        EXPECT_EQ(f.PasswordBox->Text(), "pw1");
        EXPECT_EQ(f.WebLinkBox->Text(), "mail.example.com");
        EXPECT_EQ(f.CommentBox->Text(), "line 1\r\nline 2");
        input::ClickOn(*f.OKButton);
    });
    form->CmdEdit();
    EXPECT_FALSE(Tree().Exists(before));
    EXPECT_EQ(Tree().Selected(), ItemNode(0, 0));
    EXPECT_FALSE(form->SaveEnabled());
    EXPECT_EQ(Parts(*form).FindBox->Text(), "Box");

    // One changed field is stored and marks the document; the details follow.
    ExpectItemEditor([](NewItemForm& f) {
        f.PasswordBox->SetText("new pw");
        input::ClickOn(*f.OKButton);
    });
    form->CmdEdit();
    EXPECT_EQ(Db().Items[0][0].Password, "new pw");
    EXPECT_EQ(Db().Items[0][0].Login, "me");
    EXPECT_EQ(Tree().Selected(), ItemNode(0, 0));
    EXPECT_EQ(Parts(*form).PasswordBox->Text(), "new pw");
    EXPECT_TRUE(Changed());
}

// No box cuts what it is given: long texts go through the editor, the file
// and the copy button whole.
TEST_F(TreeCommandsTest, LongTextsSurviveTheEditorTheFileAndTheCopyButton) {
    const std::string title(100000, 't'), login(100000, 'l'), password(100000, 'p');
    Db().Items[0][0].Title = title;
    Db().Items[0][0].Login = login;
    Db().Items[0][0].Password = password;
    form->RebuildTree();
    Tree().Select(ItemNode(0, 0));
    ExpectItemEditor([&](NewItemForm& f) {
        EXPECT_EQ(f.PasswordBox->Text().size(), password.size());
        input::ClickOn(*f.OKButton);
    });
    form->CmdEdit();
    EXPECT_EQ(Db().Items[0][0].Title, title);
    EXPECT_EQ(Db().Items[0][0].Login, login);
    EXPECT_EQ(Db().Items[0][0].Password, password);

    const std::string path = FolderFile("long.tkf");
    ASSERT_TRUE(form->SaveDatabase(path));
    TDatabase back;
    ASSERT_EQ(ReadDatabase(back, "", path).status, ReadStatus::Success);
    EXPECT_EQ(back.Items[0][0].Title, title);
    EXPECT_EQ(back.Items[0][0].Login, login);
    EXPECT_EQ(back.Items[0][0].Password, password);

    Tree().Select(ItemNode(0, 0));
    input::ClickOn(*Parts(*form).CopyPasswordButton);
    EXPECT_EQ(platform.clipboard.text, password);
    input::ClickOn(*Parts(*form).CopyLoginButton);
    EXPECT_EQ(platform.clipboard.text, login);
}

TEST_F(TreeCommandsTest, EditItemIntoAnotherGroupPutsItLastAndSelectsIt) {
    Tree().Select(ItemNode(0, 0));
    ExpectItemEditor([](NewItemForm& f) {
        f.GroupChooser->SelectByUser(1);
        input::ClickOn(*f.OKButton);
    });
    form->CmdEdit();
    EXPECT_EQ(Titles(Db().Items[0]), (std::vector<std::string>{"Web"}));
    ASSERT_EQ(Titles(Db().Items[1]), (std::vector<std::string>{"Card", "Box"}));
    const TItem& moved = Db().Items[1][1];
    EXPECT_EQ(moved.Login, "me");
    EXPECT_EQ(moved.Password, "pw1");
    EXPECT_EQ(moved.WebLink, "mail.example.com");
    EXPECT_EQ(moved.Comment, "line 1\r\nline 2");
    EXPECT_EQ(moved.Icon, 17);
    EXPECT_EQ(Tree().Selected(), moved.Node);
    EXPECT_EQ(Tree().Parent(moved.Node), GroupNode(1));
    EXPECT_EQ(Tree().Children(GroupNode(0)).size(), 1u);
    EXPECT_TRUE(Changed());

    // Cancel after choosing another group moves nothing.
    form->SetSaveEnabled(false);
    ExpectItemEditor([](NewItemForm& f) {
        f.GroupChooser->SelectByUser(2);
        input::ClickOn(*f.CancelButton);
    });
    form->CmdEdit();
    EXPECT_EQ(Db().Items[1].size(), 2u);
    EXPECT_TRUE(Db().Items[2].empty());
    EXPECT_FALSE(form->SaveEnabled());
}

TEST_F(TreeCommandsTest, MovingAnEmptyItemToAnotherGroupStillMarksTheDocument) {
    // Every field empty and icon 0: the same values as the new record it lands in.
    AppendItem(Db(), 2, "", "", "", "", "", 0);
    form->RebuildTree();
    form->SetSaveEnabled(false);
    Tree().Select(ItemNode(2, 0));
    ExpectItemEditor([](NewItemForm& f) {
        EXPECT_EQ(f.IconChooser->ItemIndex(), 0);
        f.GroupChooser->SelectByUser(0);
        input::ClickOn(*f.OKButton);
    });
    form->CmdEdit();
    EXPECT_TRUE(Db().Items[2].empty());
    ASSERT_EQ(Db().Items[0].size(), 3u);
    EXPECT_EQ(Tree().Selected(), ItemNode(0, 2));
    EXPECT_TRUE(Changed());
}

TEST_F(TreeCommandsTest, DeleteAsksFirstAndRemovesOnlyTheNode) {
    // Nothing selected: no question.
    form->CmdDelete();
    EXPECT_TRUE(boxes.empty());

    Tree().Select(ItemNode(0, 1));
    answers = {IDNO};
    form->CmdDelete();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Are you sure you want to delete \"Web\"?");
    EXPECT_EQ(boxes[0].caption, "Confirm");
    EXPECT_EQ(boxes[0].flags, static_cast<unsigned>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(boxes[0].owner, form.get());
    EXPECT_EQ(Titles(Db().Items[0]), (std::vector<std::string>{"Box", "Web"}));
    EXPECT_TRUE(Tree().Exists(ItemNode(0, 1)));
    EXPECT_FALSE(form->SaveEnabled());

    // Yes: the item and its node go; the other nodes keep their handles.
    const TreeNode web = ItemNode(0, 1);
    const TreeNode bank = GroupNode(1);
    const TreeNode box = ItemNode(0, 0);
    answers = {IDYES};
    form->CmdDelete();
    EXPECT_EQ(Titles(Db().Items[0]), (std::vector<std::string>{"Box"}));
    EXPECT_FALSE(Tree().Exists(web));
    EXPECT_EQ(GroupNode(1), bank);
    EXPECT_EQ(ItemNode(0, 0), box);
    EXPECT_TRUE(Tree().Exists(box));
    EXPECT_TRUE(Changed());

    // A group goes with all its items.
    Tree().Select(GroupNode(0));
    answers = {IDYES};
    form->CmdDelete();
    EXPECT_EQ(boxes.back().text, "Are you sure you want to delete \"Mail\"?");
    ASSERT_EQ(Db().Groups.size(), 2u);
    ASSERT_EQ(Db().Items.size(), 2u);
    EXPECT_EQ(Db().Groups[0].Title, "Bank");
    EXPECT_EQ(Titles(Db().Items[0]), (std::vector<std::string>{"Card"}));
    EXPECT_FALSE(Tree().Exists(box));
    EXPECT_EQ(Tree().TopLevelCount(), 2);
}

TEST_F(TreeCommandsTest, DeletingTheLastGroupLeavesNothingToAddAnItemTo) {
    for (int round = 0; round < 3; ++round) {
        Tree().Select(GroupNode(0));
        answers.push_back(IDYES);
        form->CmdDelete();
    }
    EXPECT_TRUE(Db().Groups.empty());
    EXPECT_TRUE(Db().Items.empty());
    EXPECT_EQ(Tree().NodeCount(), 0);
    Parts(*form).TreeMenu->Popup(0, 0);
    EXPECT_FALSE(Parts(*form).TreeMenu->IsEnabled(PopupAddItem));
    EXPECT_FALSE(Parts(*form).TreeMenu->IsEnabled(PopupEdit));
    EXPECT_FALSE(Parts(*form).TreeMenu->IsEnabled(PopupDelete));
    EXPECT_TRUE(Parts(*form).TreeMenu->IsEnabled(PopupAddGroup));
    // The key still reaches the command, which finds nothing to work on.
    form->CmdAddItem();
    EXPECT_EQ(dialogsShown, 0);
}

TEST_F(TreeCommandsTest, MoveUpAndDownSwapNeighboursAndSelectTheMovedRecord) {
    // Group Bank up: its items and closed state travel with it.
    Tree().Select(GroupNode(1));
    form->CmdMoveUp();
    EXPECT_EQ(Db().Groups[0].Title, "Bank");
    EXPECT_EQ(Db().Groups[1].Title, "Mail");
    EXPECT_EQ(Titles(Db().Items[0]), (std::vector<std::string>{"Card"}));
    EXPECT_EQ(Titles(Db().Items[1]), (std::vector<std::string>{"Box", "Web"}));
    EXPECT_FALSE(Db().Groups[0].Expanded);
    EXPECT_EQ(Tree().Text(Tree().Children(NoTreeNode)[0]), "Bank");
    EXPECT_EQ(Tree().Selected(), GroupNode(0));
    EXPECT_TRUE(Changed());

    // The first group does not move up, and the document is marked all the same.
    form->SetSaveEnabled(false);
    Parts(*form).Saved = true;
    form->CmdMoveUp();
    EXPECT_EQ(Db().Groups[0].Title, "Bank");
    EXPECT_TRUE(Changed());

    // Down again, to its old place.
    form->CmdMoveDown();
    EXPECT_EQ(Db().Groups[1].Title, "Bank");
    EXPECT_EQ(Tree().Selected(), GroupNode(1));

    // Items move within their group only.
    Tree().Select(ItemNode(0, 0));
    form->CmdMoveDown();
    EXPECT_EQ(Titles(Db().Items[0]), (std::vector<std::string>{"Web", "Box"}));
    EXPECT_EQ(Tree().Selected(), ItemNode(0, 1));
    form->SetSaveEnabled(false);
    form->CmdMoveDown(); // the last item of Mail stays in Mail
    EXPECT_EQ(Titles(Db().Items[0]), (std::vector<std::string>{"Web", "Box"}));
    EXPECT_EQ(Titles(Db().Items[1]), (std::vector<std::string>{"Card"}));
    EXPECT_TRUE(form->SaveEnabled());
    form->CmdMoveUp();
    EXPECT_EQ(Titles(Db().Items[0]), (std::vector<std::string>{"Box", "Web"}));
    EXPECT_EQ(Tree().Selected(), ItemNode(0, 0));
    form->CmdMoveUp(); // the first item does not leave its group either
    EXPECT_EQ(Titles(Db().Items[0]), (std::vector<std::string>{"Box", "Web"}));

    // The last group does not move down.
    Tree().Select(GroupNode(2));
    form->CmdMoveDown();
    EXPECT_EQ(Db().Groups[2].Title, "Empty");

    // Nothing selected: nothing moves, the document is marked.
    Tree().Select(NoTreeNode);
    form->SetSaveEnabled(false);
    Parts(*form).TreeMenu->Click(PopupMoveDown);
    EXPECT_EQ(Db().Groups[0].Title, "Mail");
    EXPECT_TRUE(form->SaveEnabled());
}

TEST_F(TreeCommandsTest, DocumentCommandsFirstCommitARenameInProgress) {
    Parts(*form).CurrentFile = FolderFile("open.tkf");
    Tree().Select(GroupNode(0));
    Tree().StartEdit(GroupNode(0));
    input::TypeText(*form, "Post");
    answers = {IDCANCEL};
    input::PressKey(*form, 'O', ModCtrl);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, MessageTexts().QSaveTitle);
    EXPECT_FALSE(Tree().IsEditing());
    EXPECT_EQ(Db().Groups[0].Title, "Post");
    EXPECT_EQ(Tree().Text(GroupNode(0)), "Post");
}

// A password copied from a text file with its line break is stored as the
// one-line box shows it, in the editors and in the tree alike.
TEST_F(TreeCommandsTest, PastedTextKeepsItsFirstLineInEveryOneLineBox) {
    auto paste = [](Window& window, Edit& box) {
        box.SetFocus();
        input::Paste(window, "pw123\n");
    };
    Tree().Select(GroupNode(0));
    ExpectItemEditor([&](NewItemForm& f) {
        for (Edit* box : {f.TitleBox.get(), f.LoginBox.get(), f.PasswordBox.get(), f.WebLinkBox.get()})
            paste(f, *box);
        input::ClickOn(*f.OKButton);
    });
    form->CmdAddItem();
    const TItem& added = Db().Items[0].back();
    EXPECT_EQ((std::vector<std::string>{added.Title, added.Login.str(), added.Password.str(), added.WebLink.str()}),
              std::vector<std::string>(4, "pw123"));
    Tree().Select(added.Node);
    input::ClickOn(*Parts(*form).CopyPasswordButton);
    EXPECT_EQ(platform.clipboard.text, "pw123");

    ExpectGroupEditor([&](NewGroupForm& f) {
        paste(f, *f.TitleBox);
        input::ClickOn(*f.OKButton);
    });
    form->CmdAddGroup();
    EXPECT_EQ(Db().Groups.back().Title, "pw123");

    Tree().Select(GroupNode(1));
    Tree().StartEdit(GroupNode(1));
    input::PressKey(*form, 'A', ModCtrl);
    input::Paste(*form, "first\nsecond");
    input::PressKey(*form, VK_RETURN);
    test::TestApp().ProcessMessages(); // the tree ends the edit after the key
    EXPECT_EQ(Db().Groups[1].Title, "first");
    EXPECT_EQ(Tree().Text(GroupNode(1)), "first");
}

TEST_F(TreeCommandsTest, RenameInPlaceStoresTheLabel) {
    Tree().Select(GroupNode(0));
    Tree().StartEdit(GroupNode(0));
    Tree().FinishEdit("Post");
    EXPECT_EQ(Db().Groups[0].Title, "Post");
    EXPECT_EQ(Tree().Text(GroupNode(0)), "Post");
    EXPECT_TRUE(Changed());

    // An item's new title shows in the find box at once; no rebuild happens.
    const TreeNode web = ItemNode(0, 1);
    Tree().Select(web);
    Tree().StartEdit(web);
    Tree().FinishEdit("Webmail");
    EXPECT_EQ(ItemNode(0, 1), web);
    EXPECT_EQ(Db().Items[0][1].Title, "Webmail");
    EXPECT_EQ(Tree().Text(web), "Webmail");
    EXPECT_EQ(Parts(*form).FindBox->Text(), "Webmail");

    // Escape stores the old label again, which still marks the document.
    form->SetSaveEnabled(false);
    Parts(*form).Saved = true;
    Tree().StartEdit(web);
    Tree().CancelEdit();
    EXPECT_EQ(Db().Items[0][1].Title, "Webmail");
    EXPECT_TRUE(Changed());

    // An empty label is taken like any other.
    Tree().StartEdit(web);
    Tree().FinishEdit("");
    EXPECT_EQ(Db().Items[0][1].Title, "");
    EXPECT_EQ(Tree().Text(web), "");
}

} // namespace
} // namespace tallykey
