// Tree view with stable node handles.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/controls.h"

namespace toolkit {

// A node handle stays valid until its node is deleted; handles are never reused.
using TreeNode = std::uint64_t;
constexpr TreeNode NoTreeNode = 0;

class TreeView : public Control {
public:
    explicit TreeView(Container& parent);

    // Lines, buttons, lines at the root, label editing, selection kept visible
    // without focus and no dragging are always on.
    void SetImageList(const ImageList* images);
    // The menu pops up on a right click after the node under the pointer is selected.
    void SetPopupMenu(Menu* menu);

    TreeNode AddNode(TreeNode parent, const std::string& text, int image); // appended last
    // Removes the node and its children. When it was selected, the selection
    // moves as the platform's tree does (next sibling, else previous, else
    // parent) and OnSelectionChanged runs.
    void DeleteNode(TreeNode node);
    // Removes every node; when something was selected OnSelectionChanged runs.
    void Clear();

    TreeNode Selected() const;
    // Selects and makes visible (expanding its parent); OnSelectionChanged
    // runs when the selection changes. NoTreeNode clears the selection.
    void Select(TreeNode node);

    TreeNode Parent(TreeNode node) const;
    std::vector<TreeNode> Children(TreeNode node) const; // NoTreeNode: the top-level nodes
    int TopLevelCount() const;
    int NodeCount() const;
    bool Exists(TreeNode node) const;
    std::string Text(TreeNode node) const;
    void SetText(TreeNode node, const std::string& text);
    int Image(TreeNode node) const;

    bool IsExpanded(TreeNode node) const;
    // From the program: OnExpandCollapse does not run.
    void SetExpanded(TreeNode node, bool expanded);
    // As the user's click on the button: OnExpandCollapse runs.
    void ToggleByUser(TreeNode node);

    // In-place label editing of a node.
    void StartEdit(TreeNode node);
    bool IsEditing() const;
    // End of an edit as the user ends it: with Enter (the typed text) or
    // Escape (the node's current label is reported). No-op when not editing.
    void FinishEdit(const std::string& text);
    void CancelEdit();
    // Ends an edit in progress with the text typed so far, as leaving the
    // box does. No-op when not editing.
    void CommitEdit();

    // As a right click on the node: selects it, then pops up the menu.
    void RightClick(TreeNode node);

    std::function<void()> OnSelectionChanged;
    std::function<void(TreeNode node, bool expanded)> OnExpandCollapse;
    // Returns whether the tree keeps the new label.
    std::function<bool(TreeNode node, const std::string& text)> OnEditEnd;
};

} // namespace toolkit
