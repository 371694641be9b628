#include "database/model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallykey {
namespace {

// Records what RebuildTree asks of the tree and hands out increasing handles.
class FakeTree : public TreeBuilder {
public:
    struct Node {
        NodeHandle handle;
        NodeHandle parent;
        std::string text;
        int image;
    };
    std::vector<Node> nodes;
    std::vector<std::pair<NodeHandle, bool>> expandCalls;
    std::vector<std::string> log; // call order, e.g. "clear", "add Mail", "expand Mail 1"
    int clears = 0;
    NodeHandle next = 100;

    void ClearNodes() override {
        ++clears;
        nodes.clear();
        log.push_back("clear");
    }
    NodeHandle AddNode(NodeHandle parent, const std::string& text, int image) override {
        nodes.push_back({next, parent, text, image});
        log.push_back("add " + text);
        return next++;
    }
    void SetExpanded(NodeHandle node, bool expanded) override {
        expandCalls.emplace_back(node, expanded);
        for (const auto& n : nodes)
            if (n.handle == node)
                log.push_back("expand " + n.text + " " + (expanded ? "1" : "0"));
    }
    bool IsExpanded(NodeHandle node) const {
        bool state = false;
        for (const auto& [h, e] : expandCalls)
            if (h == node)
                state = e;
        return state;
    }
};

TDatabase TwoGroups() {
    TDatabase db;
    AppendGroup(db, "Mail", 3);
    AppendGroup(db, "Bank", 7);
    AppendItem(db, 0, "Box", "me", "pw", "http://box", "a\r\nb", 17);
    AppendItem(db, 0, "Post", "you", "", "", "", 18);
    AppendItem(db, 1, "Card", "", "1234", "", "", 20);
    return db;
}

std::vector<std::string> Titles(const std::vector<TItem>& items) {
    std::vector<std::string> out;
    for (const auto& i : items)
        out.push_back(i.Title);
    return out;
}

TEST(Model, AppendKeepsArraysParallelAndNewRecordsLast) {
    TDatabase db = TwoGroups();
    ASSERT_EQ(db.Groups.size(), 2u);
    ASSERT_EQ(db.Items.size(), 2u);
    EXPECT_TRUE(db.Groups[1].Expanded);
    EXPECT_EQ(db.Groups[1].Node, NoNode);
    EXPECT_EQ(Titles(db.Items[0]), (std::vector<std::string>{"Box", "Post"}));
    const TItem& box = db.Items[0][0];
    EXPECT_EQ(box.Login, "me");
    EXPECT_EQ(box.Password, "pw");
    EXPECT_EQ(box.WebLink, "http://box");
    EXPECT_EQ(box.Comment, "a\r\nb");
    EXPECT_EQ(box.Icon, 17);

    ClearDatabase(db);
    EXPECT_TRUE(db.Groups.empty());
    EXPECT_TRUE(db.Items.empty());
}

TEST(Model, DeleteShiftsLaterRecords) {
    TDatabase db = TwoGroups();
    AppendGroup(db, "Shop", 1);
    DeleteGroup(db, 0);
    ASSERT_EQ(db.Groups.size(), 2u);
    EXPECT_EQ(db.Groups[0].Title, "Bank");
    EXPECT_EQ(Titles(db.Items[0]), (std::vector<std::string>{"Card"}));
    EXPECT_EQ(db.Groups[1].Title, "Shop");
    EXPECT_TRUE(db.Items[1].empty());

    db = TwoGroups();
    DeleteItem(db, 0, 0);
    EXPECT_EQ(Titles(db.Items[0]), (std::vector<std::string>{"Post"}));
    DeleteItem(db, 0, 5); // out of range: nothing happens
    EXPECT_EQ(db.Items[0].size(), 1u);

    TDatabase one;
    AppendGroup(one, "Only", 0);
    AppendItem(one, 0, "x", "", "", "", "", 17);
    DeleteGroup(one, 0);
    EXPECT_TRUE(one.Groups.empty());
    EXPECT_TRUE(one.Items.empty());
}

TEST(Model, MoveGroupCarriesItsItemsAndStopsAtTheEnds) {
    TDatabase db = TwoGroups();
    AppendGroup(db, "Shop", 1);
    AppendItem(db, 2, "Store", "", "", "", "", 30);

    EXPECT_FALSE(MoveGroup(db, 0, Direction::Up));
    EXPECT_FALSE(MoveGroup(db, 2, Direction::Down));
    EXPECT_EQ(db.Groups[0].Title, "Mail");
    EXPECT_EQ(db.Groups[2].Title, "Shop");

    EXPECT_TRUE(MoveGroup(db, 2, Direction::Up));
    EXPECT_EQ(db.Groups[1].Title, "Shop");
    EXPECT_EQ(Titles(db.Items[1]), (std::vector<std::string>{"Store"}));
    EXPECT_EQ(db.Groups[2].Title, "Bank");
    EXPECT_EQ(Titles(db.Items[2]), (std::vector<std::string>{"Card"}));

    EXPECT_TRUE(MoveGroup(db, 0, Direction::Down));
    EXPECT_EQ(db.Groups[1].Title, "Mail");
    EXPECT_EQ(Titles(db.Items[1]), (std::vector<std::string>{"Box", "Post"}));
}

TEST(Model, MoveItemStaysInsideItsGroup) {
    TDatabase db = TwoGroups();
    EXPECT_FALSE(MoveItem(db, 0, 0, Direction::Up));
    EXPECT_FALSE(MoveItem(db, 0, 1, Direction::Down));
    EXPECT_FALSE(MoveItem(db, 1, 0, Direction::Down)); // the only item of its group
    EXPECT_TRUE(MoveItem(db, 0, 1, Direction::Up));
    EXPECT_EQ(Titles(db.Items[0]), (std::vector<std::string>{"Post", "Box"}));
    EXPECT_TRUE(MoveItem(db, 0, 0, Direction::Down));
    EXPECT_EQ(Titles(db.Items[0]), (std::vector<std::string>{"Box", "Post"}));
    EXPECT_EQ(Titles(db.Items[1]), (std::vector<std::string>{"Card"}));
}

TEST(Model, MoveItemToGroupAppendsAnEmptyItemLast) {
    TDatabase db = TwoGroups();
    const int k = MoveItemToGroup(db, 0, 0, 1);
    ASSERT_EQ(k, 1);
    EXPECT_EQ(Titles(db.Items[0]), (std::vector<std::string>{"Post"}));
    ASSERT_EQ(db.Items[1].size(), 2u);
    EXPECT_EQ(db.Items[1][0].Title, "Card");
    const TItem& added = db.Items[1][1];
    EXPECT_TRUE(added.Title.empty() && added.Login.empty() && added.Password.empty());
    EXPECT_EQ(added.Icon, 0);
    EXPECT_EQ(MoveItemToGroup(db, 0, 3, 1), -1);
    EXPECT_EQ(MoveItemToGroup(db, 0, 0, 9), -1);
    EXPECT_EQ(db.Items[0].size(), 1u); // a refused move removes nothing
}

TEST(Model, RebuildTreeCreatesNodesInOrderAndExpandsAfterChildren) {
    TDatabase db = TwoGroups();
    db.Groups[1].Expanded = false;
    AppendGroup(db, "Empty", 5);
    FakeTree tree;
    tree.nodes.push_back({1, NoNode, "stale", 0});
    RebuildTree(db, tree);

    EXPECT_EQ(tree.clears, 1);
    EXPECT_EQ(tree.log, (std::vector<std::string>{
                            "clear", "add Mail", "add Box", "add Post", "expand Mail 1",
                            "add Bank", "add Card", "expand Bank 0", "add Empty",
                            "expand Empty 1"}));
    ASSERT_EQ(tree.nodes.size(), 6u);
    EXPECT_EQ(tree.nodes[0].parent, NoNode);
    EXPECT_EQ(tree.nodes[0].image, 3);
    EXPECT_EQ(tree.nodes[1].parent, db.Groups[0].Node);
    EXPECT_EQ(tree.nodes[1].image, 17);
    EXPECT_EQ(db.Items[0][1].Node, tree.nodes[2].handle);
    EXPECT_EQ(db.Groups[2].Node, tree.nodes[5].handle);
    EXPECT_TRUE(tree.IsExpanded(db.Groups[2].Node)); // a group without items keeps its flag
    EXPECT_FALSE(tree.IsExpanded(db.Groups[1].Node));

    FakeTree empty;
    TDatabase none;
    RebuildTree(none, empty);
    EXPECT_EQ(empty.log, (std::vector<std::string>{"clear"}));
}

TEST(Model, FindByNodeSearchesGroupsFirstAndFollowsRebuilds) {
    TDatabase db = TwoGroups();
    FakeTree tree;
    RebuildTree(db, tree);
    EXPECT_FALSE(FindByNode(db, NoNode).found());
    EXPECT_FALSE(FindByNode(db, 99999).found());

    const NodeRef bank = FindByNode(db, db.Groups[1].Node);
    EXPECT_TRUE(bank.isGroup());
    EXPECT_EQ(bank.group, 1);
    const NodeRef post = FindByNode(db, db.Items[0][1].Node);
    EXPECT_TRUE(post.isItem());
    EXPECT_EQ(post.group, 0);
    EXPECT_EQ(post.item, 1);

    // Stale handles that collide: the group wins over an item with the same handle.
    db.Items[1][0].Node = db.Groups[0].Node;
    EXPECT_TRUE(FindByNode(db, db.Groups[0].Node).isGroup());

    // After a move and a rebuild every record is found from its new node.
    MoveGroup(db, 1, Direction::Up);
    RebuildTree(db, tree);
    for (int g = 0; g < 2; ++g) {
        EXPECT_EQ(FindByNode(db, db.Groups[g].Node).group, g);
        for (int k = 0; k < static_cast<int>(db.Items[g].size()); ++k) {
            const NodeRef r = FindByNode(db, db.Items[g][k].Node);
            EXPECT_EQ(r.group, g);
            EXPECT_EQ(r.item, k);
        }
    }
}

TEST(Model, RebuildShowsTheFlagNotAHandMadeBranchState) {
    TDatabase db = TwoGroups();
    db.Groups[0].Expanded = false;
    FakeTree tree;
    RebuildTree(db, tree);
    tree.SetExpanded(db.Groups[0].Node, true); // the user opens the branch by hand
    RebuildTree(db, tree);
    EXPECT_FALSE(tree.IsExpanded(db.Groups[0].Node));
    EXPECT_TRUE(tree.IsExpanded(db.Groups[1].Node));
}

} // namespace
} // namespace tallykey

// A field's text is stored as given, NUL bytes included, and survives being
// set from a view of itself, copied and moved.
TEST(Model, FieldTextKeepsItsBytesThroughCopiesAndSelfAssignment) {
    const std::string bytes("se\0cret\xFF", 8);
    tallykey::FieldText text(bytes);
    EXPECT_EQ(text.size(), 8u);
    EXPECT_EQ(text, bytes);
    EXPECT_EQ(text.c_str()[8], '\0');

    text = text.view().substr(2); // the source is freed only after the copy
    EXPECT_EQ(text, bytes.substr(2));

    tallykey::FieldText copy = text;
    tallykey::FieldText moved = std::move(text);
    EXPECT_EQ(copy, moved);
    EXPECT_TRUE(text.empty()); // NOLINT(bugprone-use-after-move): a moved-from text is empty
    EXPECT_STREQ(text.c_str(), "");

    moved = "";
    EXPECT_TRUE(moved.empty());
    EXPECT_LE(sizeof(tallykey::TItem), sizeof(std::string) + 4 * sizeof(void*) + 16); // a pointer a field
}
