// What the tree shows after a rebuild, the details of the selection, the
// find box and the states of the pop-up menu.
#include "test_app.h"
#include "toolkit/menu.h"

namespace tallykey::test {
namespace {

class DetailsTest : public MainWindowTest {
protected:
    DetailsTest() { FirstShow(); }

    void Load(TDatabase db) {
        Parts(*form).Db = std::move(db);
        form->RebuildTree();
    }
    std::vector<std::string> Details() const {
        return {Parts(*form).FindBox->Text(), Parts(*form).LoginBox->Text(), Parts(*form).PasswordBox->Text(),
                Parts(*form).WebLinkBox->Text(), Parts(*form).CommentBox->Text()};
    }
    // Looks for `text` as the find button does.
    bool Find(const std::string& text) {
        Parts(*form).FindBox->SetText(text);
        return form->FindNode();
    }
    static TDatabase Titles(const std::vector<std::pair<std::string, std::vector<std::string>>>& groups) {
        TDatabase db;
        for (const auto& [group, items] : groups) {
            AppendGroup(db, group, 0);
            for (const std::string& item : items)
                AppendItem(db, static_cast<int>(db.Groups.size()) - 1, item, "", "", "", "", 0);
        }
        return db;
    }
};

TEST_F(DetailsTest, RebuildShowsTheModelWithNothingSelected) {
    Load(SampleDatabase());
    toolkit::TreeView& tree = *Parts(*form).GroupTree;
    ASSERT_EQ(tree.TopLevelCount(), 2);
    EXPECT_EQ(tree.NodeCount(), 5);
    EXPECT_EQ(tree.Text(GroupNode(0)), "Mail");
    EXPECT_EQ(tree.Image(GroupNode(1)), 5);
    EXPECT_EQ(tree.Children(GroupNode(0)), (std::vector<toolkit::TreeNode>{ItemNode(0, 0), ItemNode(0, 1)}));
    EXPECT_EQ(tree.Parent(ItemNode(1, 0)), GroupNode(1));
    EXPECT_EQ(tree.Image(ItemNode(1, 0)), 20);
    EXPECT_TRUE(tree.IsExpanded(GroupNode(0)));
    EXPECT_FALSE(tree.IsExpanded(GroupNode(1)));
    EXPECT_EQ(tree.Selected(), toolkit::NoTreeNode);
    EXPECT_FALSE(form->SaveEnabled()) << "opening branches from the program is no user's change";

    // A branch opened by hand does not survive the next rebuild.
    tree.ToggleByUser(GroupNode(1));
    Parts(*form).Saved = true;
    form->SetSaveEnabled(false);
    Parts(*form).GroupTree->Select(ItemNode(1, 0));
    ASSERT_EQ(Parts(*form).LoginBox->Text(), "1234");
    form->RebuildTree();
    EXPECT_FALSE(tree.IsExpanded(GroupNode(1)));
    EXPECT_EQ(tree.Selected(), toolkit::NoTreeNode);
    EXPECT_EQ(Details(), std::vector<std::string>(5, "")) << "the lost selection empties the details";
    EXPECT_FALSE(form->SaveEnabled());
}

TEST_F(DetailsTest, SelectionFillsOrEmptiesTheDetails) {
    Load(SampleDatabase());
    Parts(*form).GroupTree->Select(ItemNode(0, 0));
    EXPECT_EQ(Details(), (std::vector<std::string>{"Box", "me", "pw1", "mail.example.com",
                                                   "line 1\r\nline 2"}));
    Parts(*form).GroupTree->Select(GroupNode(1));
    EXPECT_EQ(Details(), std::vector<std::string>(5, "")) << "a group shows nothing, find box included";

    Parts(*form).GroupTree->Select(ItemNode(0, 0));
    Parts(*form).GroupTree->Select(ItemNode(0, 1));
    EXPECT_EQ(Details(), (std::vector<std::string>{"Web", "web-user", "pw2", "", ""}));

    // New clears the tree, and with it the details.
    script.answers = {toolkit::IDYES};
    form->CmdNew();
    EXPECT_EQ(Details(), std::vector<std::string>(5, ""));
}

TEST_F(DetailsTest, FindTakesTheFirstTitleInDisplayOrder) {
    Load(Titles({{"Work", {"xAbc", "ABD"}}}));
    EXPECT_TRUE(Find("ab"));
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(0, 0));
    EXPECT_EQ(Parts(*form).FindBox->Text(), "xAbc") << "the found item shows its own title";
    EXPECT_TRUE(Find("ABD"));
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(0, 1));

    // A group comes before its own items, but after the items of earlier groups.
    Load(Titles({{"One", {"tab"}}, {"Cabin", {"Abacus"}}}));
    EXPECT_TRUE(Find("AB"));
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(0, 0));
    EXPECT_TRUE(Find("Aba"));
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(1, 0));
    EXPECT_TRUE(Find("cab"));
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), GroupNode(1));
    EXPECT_EQ(Parts(*form).FindBox->Text(), "") << "a found group empties the find box";

    // No match: the selection and the boxes stay.
    Parts(*form).GroupTree->Select(ItemNode(0, 0));
    EXPECT_FALSE(Find("zzz"));
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(0, 0));
    EXPECT_EQ(Parts(*form).FindBox->Text(), "zzz");
}

// Only A to Z are folded: a Cyrillic capital does not find the small letter.
TEST_F(DetailsTest, FindFoldsOnlyLatinLetters) {
    // The fixture is keyed with the cp1251 bytes of "пароль".
    script.dialogs = {TypePassword("\xcf\xe0\xf0\xee\xeb\xfc")};
    ASSERT_TRUE(form->OpenDatabase(TALLYKEY_TEST_DATA "/cyrillic-1251.tkf"));
    ASSERT_EQ(Parts(*form).Db.Groups.size(), 2u);
    const std::string pochta = "\xcf\xee\xf7\xf2\xe0";  // "Почта"
    const std::string POCHTA = "\xcf\xce\xd7\xd2\xc0";  // "ПОЧТА"
    const std::string yandexSmall = "\xff\xed\xe4\xe5\xea\xf1"; // "яндекс"
    ASSERT_EQ(Parts(*form).Db.Groups[0].Title, pochta);

    EXPECT_FALSE(Find(POCHTA));
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), toolkit::NoTreeNode);
    EXPECT_FALSE(Find(yandexSmall)) << "the title starts with a capital";
    EXPECT_TRUE(Find("\xe4\xe5\xea\xf1")); // "декс"
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(0, 0));
    EXPECT_EQ(Parts(*form).LoginBox->Text(), "\xe8\xe2\xe0\xed"); // "иван"
    EXPECT_TRUE(Find(pochta));
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), GroupNode(0));
}

TEST_F(DetailsTest, PopupStatesFollowTheTree) {
    toolkit::Menu& popup = *Parts(*form).TreeMenu;
    auto states = [&] {
        popup.Popup(0, 0);
        std::vector<bool> enabled;
        for (int item : {PopupAddGroup, PopupAddItem, PopupEdit, PopupDelete, PopupMoveUp,
                         PopupMoveDown})
            enabled.push_back(popup.IsEnabled(item));
        return enabled;
    };
    using V = std::vector<bool>;
    // An empty database: no item can be added, nothing to edit or delete.
    EXPECT_EQ(states(), (V{true, false, false, false, true, true}));

    Load(SampleDatabase());
    EXPECT_EQ(states(), (V{true, true, false, false, true, true}));
    Parts(*form).GroupTree->RightClick(ItemNode(0, 1));
    EXPECT_EQ(Parts(*form).GroupTree->Selected(), ItemNode(0, 1));
    EXPECT_EQ(states(), (V{true, true, true, true, true, true}));

    // The disabled items' keys still reach their commands.
    int edits = 0;
    popup.SetOnClick(PopupEdit, [&] { ++edits; });
    Load(TDatabase{});
    EXPECT_EQ(states(), (V{true, false, false, false, true, true}));
    toolkit::input::PressKeyOn(*Parts(*form).GroupTree, toolkit::VK_RETURN, toolkit::ModAlt);
    EXPECT_EQ(edits, 1);
}

} // namespace
} // namespace tallykey::test
