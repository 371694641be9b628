#include "database/model.h"

#include <utility>

namespace tallykey {

namespace {

bool ValidGroup(const TDatabase& db, int group) {
    return group >= 0 && static_cast<std::size_t>(group) < db.Groups.size() &&
           db.Items.size() == db.Groups.size();
}

bool ValidItem(const TDatabase& db, int group, int item) {
    return ValidGroup(db, group) && item >= 0 &&
           static_cast<std::size_t>(item) < db.Items[group].size();
}

} // namespace

void ClearDatabase(TDatabase& db) {
    db.Groups.clear();
    db.Items.clear();
}

void AppendGroup(TDatabase& db, const std::string& title, std::int32_t icon) {
    TGroup group;
    group.Title = title;
    group.Icon = icon;
    group.Node = NoNode;
    group.Expanded = true; // a group added by hand is shown open after the next rebuild
    db.Groups.push_back(std::move(group));
    db.Items.emplace_back();
}

void AppendItem(TDatabase& db, int group, const std::string& title, const std::string& login,
                const std::string& password, const std::string& webLink,
                const std::string& comment, std::int32_t icon) {
    if (!ValidGroup(db, group))
        return;
    TItem item;
    item.Title = title;
    item.Login = login;
    item.Password = password;
    item.WebLink = webLink;
    item.Comment = comment;
    item.Icon = icon;
    db.Items[group].push_back(std::move(item));
}

void DeleteGroup(TDatabase& db, int group) {
    if (!ValidGroup(db, group))
        return;
    db.Groups.erase(db.Groups.begin() + group);
    db.Items.erase(db.Items.begin() + group);
}

void DeleteItem(TDatabase& db, int group, int item) {
    if (!ValidItem(db, group, item))
        return;
    auto& items = db.Items[group];
    items.erase(items.begin() + item);
}

bool MoveGroup(TDatabase& db, int group, Direction dir) {
    if (!ValidGroup(db, group))
        return false;
    const int other = dir == Direction::Up ? group - 1 : group + 1;
    if (!ValidGroup(db, other))
        return false;
    // The item list travels with its group so that Items[g] keeps belonging to Groups[g].
    std::swap(db.Groups[group], db.Groups[other]);
    std::swap(db.Items[group], db.Items[other]);
    return true;
}

bool MoveItem(TDatabase& db, int group, int item, Direction dir) {
    if (!ValidItem(db, group, item))
        return false;
    const int other = dir == Direction::Up ? item - 1 : item + 1;
    if (!ValidItem(db, group, other))
        return false;
    std::swap(db.Items[group][item], db.Items[group][other]);
    return true;
}

int MoveItemToGroup(TDatabase& db, int group, int item, int target) {
    if (!ValidItem(db, group, item) || !ValidGroup(db, target))
        return -1;
    DeleteItem(db, group, item);
    db.Items[target].emplace_back();
    return static_cast<int>(db.Items[target].size()) - 1;
}

NodeRef FindByNode(const TDatabase& db, NodeHandle node) {
    NodeRef ref;
    if (node == NoNode)
        return ref;
    for (std::size_t g = 0; g < db.Groups.size(); ++g) {
        if (db.Groups[g].Node == node) {
            ref.group = static_cast<int>(g);
            return ref;
        }
    }
    for (std::size_t g = 0; g < db.Items.size(); ++g) {
        const auto& items = db.Items[g];
        for (std::size_t k = 0; k < items.size(); ++k) {
            if (items[k].Node == node) {
                ref.group = static_cast<int>(g);
                ref.item = static_cast<int>(k);
                return ref;
            }
        }
    }
    return ref;
}

void RebuildTree(TDatabase& db, TreeBuilder& tree) {
    tree.ClearNodes();
    for (std::size_t g = 0; g < db.Groups.size(); ++g) {
        TGroup& group = db.Groups[g];
        group.Node = tree.AddNode(NoNode, group.Title, group.Icon);
        if (g < db.Items.size()) {
            for (TItem& item : db.Items[g])
                item.Node = tree.AddNode(group.Node, item.Title, item.Icon);
        }
        // Only after the children exist, since an empty branch cannot be opened.
        tree.SetExpanded(group.Node, group.Expanded);
    }
}

} // namespace tallykey
