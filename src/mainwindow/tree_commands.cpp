// The tree's pop-up commands: add, edit, delete, move and rename in place.
#include "editors/new_group_form.h"
#include "editors/new_item_form.h"
#include "mainwindow/main_form.h"
#include "preferences/language.h"

namespace tallykey {

using namespace toolkit;

namespace {

constexpr int kNewItemIcon = 17;

// Stores `value` into `field` when it differs; returns whether it did.
template <class T, class V>
bool Store(T& field, const V& value) {
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

bool MainForm::MoveSelected(Direction dir) {
    const TreeNode node = GroupTree->Selected();
    if (node == NoTreeNode)
        return false;
    const NodeRef ref = FindByNode(Db, node);
    const int step = dir == Direction::Up ? -1 : 1;
    if (GroupTree->Parent(node) == NoTreeNode) {
        if (!ref.isGroup() || !MoveGroup(Db, ref.group, dir))
            return false;
        RebuildTree();
        GroupTree->Select(Db.Groups[static_cast<std::size_t>(ref.group + step)].Node);
        return true;
    }
    if (!ref.isItem() || !MoveItem(Db, ref.group, ref.item, dir))
        return false;
    RebuildTree();
    const auto& items = Db.Items[static_cast<std::size_t>(ref.group)];
    GroupTree->Select(items[static_cast<std::size_t>(ref.item + step)].Node);
    return true;
}

void MainForm::CmdAddGroup() {
    NewGroupForm editor(*NodeImages);
    if (editor.ShowModal() != ResultOK)
        return;
    // AppendGroup makes the group open, with an empty item list.
    AppendGroup(Db, editor.TitleBox->Text(), editor.IconChooser->ItemIndex());
    MarkChanged();
    RebuildTree();
}

void MainForm::CmdAddItem() {
    const TreeNode node = GroupTree->Selected();
    if (node == NoTreeNode)
        return;
    const NodeRef ref = FindByNode(Db, node);
    if (!ref.found())
        return;
    NewItemForm editor(Db.Groups, *NodeImages);
    editor.PrepareNew(ref.group, kNewItemIcon);
    if (editor.ShowModal() != ResultOK)
        return;
    const int g = editor.GroupChooser->ItemIndex();
    if (g < 0 || static_cast<std::size_t>(g) >= Db.Groups.size())
        return;
    AppendItem(Db, g, editor.TitleBox->Text(), editor.LoginBox->Text(),
               editor.PasswordBox->Text(), editor.WebLinkBox->Text(), editor.CommentBox->Text(),
               editor.IconChooser->ItemIndex());
    MarkChanged();
    RebuildTree();
}

void MainForm::CmdEdit() {
    const TreeNode node = GroupTree->Selected();
    if (node == NoTreeNode)
        return;

    if (GroupTree->Parent(node) == NoTreeNode) {
        NewGroupForm editor(*NodeImages);
        editor.PrepareEdit(GroupTree->Text(node), GroupTree->Image(node));
        if (editor.ShowModal() != ResultOK)
            return;
        const NodeRef ref = FindByNode(Db, node);
        if (!ref.isGroup())
            return;
        TGroup& group = Db.Groups[static_cast<std::size_t>(ref.group)];
        bool changed = Store(group.Title, editor.TitleBox->Text());
        changed |= Store(group.Icon, static_cast<std::int32_t>(editor.IconChooser->ItemIndex()));
        if (changed)
            MarkChanged();
        RebuildTree();
        GroupTree->Select(Db.Groups[static_cast<std::size_t>(ref.group)].Node);
        return;
    }

    NodeRef ref = FindByNode(Db, node);
    if (!ref.isItem())
        return;
    NewItemForm editor(Db.Groups, *NodeImages);
    editor.PrepareEdit(Db.Items[static_cast<std::size_t>(ref.group)][static_cast<std::size_t>(ref.item)],
                       ref.group);
    if (editor.ShowModal() != ResultOK)
        return;
    ref = FindByNode(Db, node);
    if (!ref.isItem())
        return;

    int g = ref.group;
    int i = ref.item;
    bool changed = false;
    const int target = editor.GroupChooser->ItemIndex();
    if (target != g && target >= 0 && static_cast<std::size_t>(target) < Db.Groups.size()) {
        i = MoveItemToGroup(Db, g, i, target);
        g = target;
        // A move is a change in itself, even for an item whose every field
        // equals an empty record's.
        changed = true;
    }
    TItem& item = Db.Items[static_cast<std::size_t>(g)][static_cast<std::size_t>(i)];
    changed |= Store(item.Title, editor.TitleBox->Text());
    changed |= Store(item.Icon, static_cast<std::int32_t>(editor.IconChooser->ItemIndex()));
    changed |= Store(item.Login, editor.LoginBox->Text());
    changed |= Store(item.Password, editor.PasswordBox->Text());
    changed |= Store(item.WebLink, editor.WebLinkBox->Text());
    changed |= Store(item.Comment, editor.CommentBox->Text());
    if (changed)
        MarkChanged();
    RebuildTree();
    GroupTree->Select(Db.Items[static_cast<std::size_t>(g)][static_cast<std::size_t>(i)].Node);
}

void MainForm::CmdDelete() {
    const TreeNode node = GroupTree->Selected();
    if (node == NoTreeNode)
        return;
    const TMessageTexts& texts = MessageTexts();
    const std::string question = texts.QDelete + " \"" + GroupTree->Text(node) + "\"?";
    if (MessageBox(this, question, texts.QDeleteTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    const NodeRef ref = FindByNode(Db, node);
    if (GroupTree->Parent(node) != NoTreeNode) {
        if (ref.isItem())
            DeleteItem(Db, ref.group, ref.item);
    } else if (ref.isGroup()) {
        DeleteGroup(Db, ref.group);
    }
    // No rebuild: the other nodes keep their handles. The tree moves the
    // selection itself and the details follow through its change handler.
    GroupTree->DeleteNode(node);
    MarkChanged();
}

void MainForm::CmdMoveUp() {
    MoveSelected(Direction::Up);
    // Marked also when nothing moved, as the user asked for a change.
    MarkChanged();
}

void MainForm::CmdMoveDown() {
    MoveSelected(Direction::Down);
    MarkChanged();
}

bool MainForm::RenameNode(TreeNode node, const std::string& text) {
    // An edit cancelled with Escape reports the old label; it is stored all the same.
    const NodeRef ref = FindByNode(Db, node);
    if (ref.isGroup()) {
        Db.Groups[static_cast<std::size_t>(ref.group)].Title = text;
        MarkChanged();
        return true;
    }
    if (ref.isItem()) {
        Db.Items[static_cast<std::size_t>(ref.group)][static_cast<std::size_t>(ref.item)].Title = text;
        MarkChanged();
        ShowDetails(); // the find box shows the item's title
        return true;
    }
    return false;
}

} // namespace tallykey
