// What the tree shows, the details of the selected item, the find box and
// the states of the pop-up menu.
#include "desktop/quick_copy.h"
#include "mainwindow/main_form.h"
#include "mainwindow/text_utils.h"
#include "mainwindow/tree_builder.h"

namespace tallykey {

void MainForm::RebuildTree() {
    const bool hadSelection = GroupTree->Selected() != toolkit::NoTreeNode;
    const unsigned reportsBefore = selectionReports_;
    TreeViewBuilder builder(*GroupTree);
    tallykey::RebuildTree(Db, builder);
    // The rebuilt tree starts without a selection, whatever the tree did while filling.
    if (GroupTree->Selected() != toolkit::NoTreeNode)
        GroupTree->Select(toolkit::NoTreeNode);
    // The details follow the tree's reports; a tree that cleared its selection
    // silently would leave the old item's texts on show.
    if (hadSelection && selectionReports_ == reportsBefore)
        ShowDetails();
}

void MainForm::ShowDetails() {
    FindBox->SetText(std::string());
    LoginBox->SetText(std::string());
    PasswordBox->SetText(std::string());
    WebLinkBox->SetText(std::string());
    CommentBox->SetText(std::string());
    const toolkit::TreeNode selected = GroupTree->Selected();
    if (selected == toolkit::NoTreeNode)
        return;
    for (const auto& items : Db.Items) {
        for (const TItem& item : items) {
            if (item.Node != selected)
                continue;
            FindBox->SetText(item.Title);
            LoginBox->SetText(item.Login.str());
            PasswordBox->SetText(item.Password.str());
            WebLinkBox->SetText(item.WebLink.str());
            CommentBox->SetText(item.Comment.str());
            return;
        }
    }
}

void MainForm::TreeSelectionChanged() {
    ShowDetails();
    QuickCopyOnSelection(*this);
}

bool MainForm::FindNode() {
    const std::string text = FoldAsciiCase(FindBox->Text());
    if (text.empty())
        return false;
    NodeHandle found = NoNode;
    // Display order: each group before its own items.
    for (std::size_t g = 0; g < Db.Groups.size() && found == NoNode; ++g) {
        if (FoldAsciiCase(Db.Groups[g].Title).find(text) != std::string::npos) {
            found = Db.Groups[g].Node;
            break;
        }
        if (g >= Db.Items.size())
            continue;
        for (const TItem& item : Db.Items[g]) {
            if (FoldAsciiCase(item.Title).find(text) != std::string::npos) {
                found = item.Node;
                break;
            }
        }
    }
    if (found == NoNode)
        return false;
    GroupTree->Select(found);
    return true;
}

void MainForm::TreeMenuPopup() {
    const bool selected = GroupTree->Selected() != toolkit::NoTreeNode;
    TreeMenu->SetEnabled(PopupEdit, selected);
    TreeMenu->SetEnabled(PopupDelete, selected);
    TreeMenu->SetEnabled(PopupAddItem, GroupTree->TopLevelCount() > 0);
}

void MainForm::FindBoxFocused() {
    // For good: from now on Delete edits the find box, and the tree's own
    // key handler deletes nodes.
    if (DeleteShortcutRemoved)
        return;
    TreeMenu->RemoveShortcut(PopupDelete);
    DeleteShortcutRemoved = true;
}

} // namespace tallykey
