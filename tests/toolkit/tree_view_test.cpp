#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/code_page_scope.h"
#include "support/test_app.h"
#include "toolkit/controls.h"
#include "toolkit/image_list.h"
#include "toolkit/menu.h"
#include "toolkit/testing/test_input.h"
#include "toolkit/tree_view.h"

using namespace toolkit;
using tallykey::test::TestApp;

namespace {

class TreeTest : public ::testing::Test {
protected:
    // The application object has to exist before the window does.
    TreeTest() : window((TestApp(), WindowStyle::Main)) {
        window.SetClientSize(300, 300);
        tree = std::make_unique<TreeView>(window);
        tree->SetAlign(Align::Client);
        tree->OnSelectionChanged = [this] { selections.push_back(tree->Selected()); };
        tree->OnExpandCollapse = [this](TreeNode node, bool expanded) { toggles.emplace_back(node, expanded); };
        mail = tree->AddNode(NoTreeNode, "Mail", 3);
        box = tree->AddNode(mail, "Box", 17);
        web = tree->AddNode(mail, "Web", 18);
        bank = tree->AddNode(NoTreeNode, "Bank", 5);
        card = tree->AddNode(bank, "Card", 20);
    }

    Window window;
    std::unique_ptr<TreeView> tree;
    TreeNode mail = 0, box = 0, web = 0, bank = 0, card = 0;
    std::vector<TreeNode> selections;
    std::vector<std::pair<TreeNode, bool>> toggles;
};

TEST_F(TreeTest, NodesKeepTheirHandlesAndOrder) {
    EXPECT_EQ(tree->TopLevelCount(), 2);
    EXPECT_EQ(tree->NodeCount(), 5);
    EXPECT_EQ(tree->Children(NoTreeNode), (std::vector<TreeNode>{mail, bank}));
    EXPECT_EQ(tree->Children(mail), (std::vector<TreeNode>{box, web}));
    EXPECT_EQ(tree->Parent(web), mail);
    EXPECT_EQ(tree->Parent(mail), NoTreeNode);
    EXPECT_EQ(tree->Text(web), "Web");
    EXPECT_EQ(tree->Image(card), 20);
    EXPECT_EQ(tree->AddNode(12345, "orphan", 0), NoTreeNode) << "no such parent";

    tree->DeleteNode(box);
    EXPECT_FALSE(tree->Exists(box));
    EXPECT_EQ(tree->Text(web), "Web") << "other handles stay valid";
    EXPECT_EQ(tree->Children(mail), (std::vector<TreeNode>{web}));
    const TreeNode again = tree->AddNode(mail, "Box", 17);
    EXPECT_NE(again, box) << "handles are never reused";

    tree->DeleteNode(bank);
    EXPECT_FALSE(tree->Exists(card)) << "a node goes with its children";
    EXPECT_EQ(tree->NodeCount(), 3);
    EXPECT_TRUE(selections.empty()) << "nothing was selected";
}

TEST_F(TreeTest, DeletingTheSelectedNodeMovesTheSelection) {
    tree->Select(box);
    EXPECT_EQ(selections, (std::vector<TreeNode>{box}));
    tree->DeleteNode(box);
    EXPECT_EQ(tree->Selected(), web) << "the next sibling";
    tree->DeleteNode(web);
    EXPECT_EQ(tree->Selected(), mail) << "no sibling left: the parent";
    tree->Select(card);
    tree->DeleteNode(bank);
    EXPECT_EQ(tree->Selected(), mail) << "a deleted branch with the selection in it: its previous sibling";
    tree->DeleteNode(mail);
    EXPECT_EQ(tree->Selected(), NoTreeNode);
    EXPECT_EQ(selections, (std::vector<TreeNode>{box, web, mail, card, mail, NoTreeNode}));
}

TEST_F(TreeTest, ClearReportsALostSelectionOnly) {
    tree->Clear();
    EXPECT_TRUE(selections.empty());
    const TreeNode group = tree->AddNode(NoTreeNode, "G", 0);
    tree->Select(group);
    tree->Clear();
    EXPECT_EQ(selections, (std::vector<TreeNode>{group, NoTreeNode}));
    EXPECT_EQ(tree->NodeCount(), 0);
}

TEST_F(TreeTest, SelectingAHiddenNodeOpensItsBranchQuietly) {
    tree->SetExpanded(bank, false);
    tree->SetExpanded(mail, true);
    EXPECT_TRUE(toggles.empty()) << "the program's own expanding reports nothing";
    tree->Select(card);
    EXPECT_TRUE(tree->IsExpanded(bank));
    EXPECT_TRUE(toggles.empty());
    tree->Select(card);
    EXPECT_EQ(selections.size(), 1u) << "no change, no report";
    tree->Select(NoTreeNode);
    EXPECT_EQ(tree->Selected(), NoTreeNode);
    EXPECT_EQ(selections.size(), 2u);
}

// A branch the program opens or closes before it has children shows its first
// child accordingly, and a branch emptied and filled again keeps its state.
TEST_F(TreeTest, ABranchOpenedWhileEmptyShowsItsFirstChild) {
    const TreeNode open = tree->AddNode(NoTreeNode, "Open", 1);
    const TreeNode closed = tree->AddNode(NoTreeNode, "Closed", 1);
    tree->SetExpanded(open, true);
    tree->SetExpanded(closed, false);
    EXPECT_TRUE(tree->IsExpanded(open));
    const TreeNode inOpen = tree->AddNode(open, "shown", 2);
    const TreeNode inClosed = tree->AddNode(closed, "hidden", 2);
    window.Show();
    EXPECT_GT(input::NodeRect(*tree, inOpen).height, 0);
    EXPECT_EQ(input::NodeRect(*tree, inClosed).height, 0);

    tree->DeleteNode(inOpen);
    tree->SetExpanded(open, false);
    const TreeNode again = tree->AddNode(open, "hidden now", 2);
    EXPECT_EQ(input::NodeRect(*tree, again).height, 0) << "closed while empty stays closed";
    EXPECT_TRUE(toggles.empty());
}

TEST_F(TreeTest, TheUsersExpandingIsReported) {
    tree->SetExpanded(mail, true);
    tree->ToggleByUser(mail);
    EXPECT_FALSE(tree->IsExpanded(mail));
    window.Show();
    tree->SetFocus();
    tree->Select(bank);
    input::PressKey(window, VK_RIGHT); // the keyboard opens a closed branch
    EXPECT_TRUE(tree->IsExpanded(bank));
    EXPECT_EQ(toggles, (std::vector<std::pair<TreeNode, bool>>{{mail, false}, {bank, true}}));
}

TEST_F(TreeTest, ArrowKeysMoveTheSelectionAndKeysReachTheHandlers) {
    std::vector<int> ups;
    tree->OnKeyUp = [&](int vk, unsigned) {
        ups.push_back(vk);
        return false;
    };
    int enters = 0;
    tree->OnChar = [&](char ch) {
        enters += ch == '\r';
        return ch == '\r';
    };
    tree->SetExpanded(mail, true);
    window.Show();
    tree->SetFocus();
    tree->Select(mail);
    input::PressKey(window, VK_DOWN);
    EXPECT_EQ(tree->Selected(), box);
    input::PressKey(window, VK_RETURN);
    input::PressKey(window, VK_F2);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(ups, (std::vector<int>{VK_DOWN, VK_RETURN, VK_F2}));
    EXPECT_EQ(selections, (std::vector<TreeNode>{mail, box}));
}

TEST_F(TreeTest, LabelEditingEndsWithTheTypedTextOrTheCurrentLabel) {
    std::vector<std::pair<TreeNode, std::string>> ends;
    bool keep = true;
    tree->OnEditEnd = [&](TreeNode node, const std::string& text) {
        ends.emplace_back(node, text);
        return keep;
    };
    window.Show();
    tree->StartEdit(web);
    ASSERT_TRUE(tree->IsEditing());
    tree->FinishEdit("Webmail");
    EXPECT_FALSE(tree->IsEditing());
    EXPECT_EQ(tree->Text(web), "Webmail");

    tree->StartEdit(box);
    tree->CancelEdit();
    EXPECT_EQ(tree->Text(box), "Box");

    keep = false;
    tree->StartEdit(card);
    tree->FinishEdit("Visa");
    EXPECT_EQ(tree->Text(card), "Card") << "the handler refused the new label";

    tree->FinishEdit("ignored"); // not editing
    EXPECT_EQ(ends, (std::vector<std::pair<TreeNode, std::string>>{{web, "Webmail"}, {box, "Box"}, {card, "Visa"}}));

    // Typed in the editor, as a person does.
    keep = true;
    tree->StartEdit(mail);
    window.FocusedControl();
    input::PressKey(window, 'A', ModCtrl);
    input::TypeText(window, "Post");
    input::PressKey(window, VK_ESCAPE);
    EXPECT_EQ(ends.back(), (std::pair<TreeNode, std::string>{mail, "Mail"}));
    EXPECT_EQ(tree->Text(mail), "Mail");
}

TEST_F(TreeTest, RenameKeepsOneLineOfTheCodePage) {
    std::vector<std::string> ends;
    tree->OnEditEnd = [&](TreeNode, const std::string& text) {
        ends.push_back(text);
        return true;
    };
    const tallykey::test::CodePageScope codePage(1252);
    window.Show();
    tree->StartEdit(web);
    input::PressKey(window, 'A', ModCtrl);
    input::Paste(window, "first \xd0\x96\nsecond");
    EXPECT_NE(input::ShownNotice().find("\xd0\x96"), std::string::npos);
    input::PressKey(window, VK_RETURN);
    TestApp().ProcessMessages(); // the view ends the edit after the key
    EXPECT_EQ(ends, std::vector<std::string>{"first "});
    EXPECT_EQ(tree->Text(web), "first ");
}

TEST_F(TreeTest, AClickOnTheEmptyAreaKeepsTheSelection) {
    window.Show();
    tree->Select(web);
    selections.clear();
    input::ClickOn(*tree); // the middle of a tree of five short rows is empty
    EXPECT_EQ(tree->Selected(), web);
    EXPECT_TRUE(selections.empty());
}

TEST_F(TreeTest, LinesJoinTheNodesALongTitleScrollsAndNoPictureKeepsItsRoom) {
    ImageList images(16, 16);
    ASSERT_TRUE(images.LoadBitmap(FindResource("FORM1_IMAGELIST2"), Color{0, 0, 0}));
    tree->SetImageList(&images);
    const TreeNode plain = tree->AddNode(mail, "Web", -1); // beside "Web" with image 18
    tree->SetExpanded(mail, true);
    tree->SetExpanded(bank, true);
    window.Show();
    TestApp().ProcessMessages();
    EXPECT_EQ(input::SidewaysScroll(*tree), 0) << "short titles fit";

    const input::Picture picture = input::Grab(*tree);
    const Rect root = input::NodeRect(*tree, mail), child = input::NodeRect(*tree, box);
    const int indent = child.left - root.left;
    ASSERT_GT(indent, 0);
    const unsigned background = picture.At(root.left, input::NodeRect(*tree, card).bottom() + 4);
    auto inked = [&](const Rect& row, int from, int to) {
        for (int y = row.top; y < row.bottom(); ++y)
            for (int x = from; x < to; ++x)
                if (picture.At(x, y) != background)
                    return true;
        return false;
    };
    auto lastInk = [&](const Rect& row) {
        for (int x = row.right() - 1; x >= row.left; --x)
            if (inked(row, x, x + 1))
                return x;
        return -1;
    };
    EXPECT_TRUE(inked(child, root.left - indent, root.left)) << "the line at the root, from Mail on to Bank";
    EXPECT_TRUE(inked(child, root.left, child.left)) << "the line from Mail to its children";
    EXPECT_FALSE(inked(input::NodeRect(*tree, card), root.left - indent, root.left)) << "nothing after the last root";
    const int withPicture = lastInk(input::NodeRect(*tree, web));
    EXPECT_GT(withPicture, child.left + 16);
    EXPECT_EQ(lastInk(input::NodeRect(*tree, plain)), withPicture) << "the label stays where its siblings' is";

    std::string title;
    for (int i = 0; i < 40; ++i)
        title += "A long title ";
    tree->SetText(box, title);
    TestApp().ProcessMessages();
    const int scroll = input::SidewaysScroll(*tree);
    EXPECT_GT(scroll, 0);
    tree->SetText(box, title + title);
    TestApp().ProcessMessages();
    EXPECT_GT(input::SidewaysScroll(*tree), scroll + 100) << "the whole title can be scrolled to, not cut short";
}

// Qt measures about a thousand rows to fit the column; one far below them is
// measured when the tree scrolls to it.
TEST_F(TreeTest, ALongTitleFarDownIsNotCutShort) {
    for (int i = 0; i < 1500; ++i)
        tree->AddNode(NoTreeNode, "Short " + std::to_string(i), 1);
    std::string title;
    for (int i = 0; i < 40; ++i)
        title += "A long title ";
    const TreeNode far = tree->AddNode(NoTreeNode, title, 1);
    window.Show();
    TestApp().ProcessMessages();
#ifndef _WIN32
    EXPECT_EQ(input::SidewaysScroll(*tree), 0) << "not measured yet"; // Windows' tree measures every row
#endif
    tree->Select(far);
    TestApp().ProcessMessages();
    EXPECT_GT(input::SidewaysScroll(*tree), 0);
}

TEST_F(TreeTest, RightClickSelectsThenPopsUpTheMenu) {
    Menu menu(window, Menu::Kind::Popup, {"Add &Group...", "Add &Item...\tIns"});
    tree->SetPopupMenu(&menu);
    std::vector<std::string> events;
    tree->OnSelectionChanged = [&] { events.push_back("select " + tree->Text(tree->Selected())); };
    menu.OnPopup = [&] { events.push_back("popup"); };
    window.Show();
    events.clear(); // Windows' tree selects its first node as it takes the focus
    tree->RightClick(web);
    EXPECT_EQ(events, (std::vector<std::string>{"select Web", "popup"}));
    EXPECT_EQ(menu.PopupCount(), 1);

    // Suppressed for the input being handled now only.
    menu.SuppressPopupOnce();
    tree->RightClick(box);
    EXPECT_EQ(menu.PopupCount(), 1);
    EXPECT_EQ(events.back(), "select Box");
    TestApp().ProcessMessages();
    EXPECT_FALSE(menu.IsPopupSuppressed());
    tree->RightClick(box);
    EXPECT_EQ(menu.PopupCount(), 2);
}

} // namespace
