// The in-memory database: groups in display order, and per group its items.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/field_text.h"

namespace tallykey {

// Handle of a tree node as the tree view hands it out; 0 means "no node".
using NodeHandle = std::uint64_t;
constexpr NodeHandle NoNode = 0;

struct TItem {
    std::string Title;
    FieldText Login;
    FieldText Password;
    FieldText WebLink;
    FieldText Comment;     // may hold CR LF line breaks
    std::int32_t Icon = 0; // index into the node images
    NodeHandle Node = NoNode;
};

struct TGroup {
    std::string Title;
    std::int32_t Icon = 0;
    NodeHandle Node = NoNode;
    bool Expanded = false; // how RebuildTree shows the branch
};

// Groups and Items are parallel: Items[g] belongs to Groups[g].
struct TDatabase {
    std::vector<TGroup> Groups;
    std::vector<std::vector<TItem>> Items;
};

enum class Direction { Up, Down };

// What RebuildTree needs of a tree view. Expanding from here must not be
// reported as a user's expand (so a rebuild never enables Save).
class TreeBuilder {
public:
    virtual ~TreeBuilder() = default;
    virtual void ClearNodes() = 0;
    virtual NodeHandle AddNode(NodeHandle parent, const std::string& text, int image) = 0;
    virtual void SetExpanded(NodeHandle node, bool expanded) = 0;
};

// Result of FindByNode: group only (item < 0) for a group's node,
// group and item for an item's node, group < 0 when nothing matches.
struct NodeRef {
    int group = -1;
    int item = -1;
    bool found() const { return group >= 0; }
    bool isGroup() const { return group >= 0 && item < 0; }
    bool isItem() const { return group >= 0 && item >= 0; }
};

void ClearDatabase(TDatabase& db);
// Appends {title, icon, no node, Expanded = true} and an empty item list.
void AppendGroup(TDatabase& db, const std::string& title, std::int32_t icon);
void AppendItem(TDatabase& db, int group, const std::string& title, const std::string& login,
                const std::string& password, const std::string& webLink,
                const std::string& comment, std::int32_t icon);
void DeleteGroup(TDatabase& db, int group);
void DeleteItem(TDatabase& db, int group, int item);
// Swap with the neighbour; nothing happens at the first (Up) or last (Down) place.
// Returns whether something moved.
bool MoveGroup(TDatabase& db, int group, Direction dir);
bool MoveItem(TDatabase& db, int group, int item, Direction dir);
// Removes Items[group][item] and appends an empty item to Items[target];
// returns the index of that new last item. The caller fills its fields.
int MoveItemToGroup(TDatabase& db, int group, int item, int target);

// Groups are searched first, then items group by group. NoNode finds nothing.
NodeRef FindByNode(const TDatabase& db, NodeHandle node);

// Recreates every node from the model and stores the new handles in the records.
void RebuildTree(TDatabase& db, TreeBuilder& tree);

} // namespace tallykey
