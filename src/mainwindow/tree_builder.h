// Lets the model rebuild itself into the main window's tree view.
#pragma once

#include "database/model.h"
#include "toolkit/tree_view.h"

namespace tallykey {

class TreeViewBuilder : public TreeBuilder {
public:
    explicit TreeViewBuilder(toolkit::TreeView& tree) : tree_(tree) {}

    void ClearNodes() override { tree_.Clear(); }
    NodeHandle AddNode(NodeHandle parent, const std::string& text, int image) override {
        return tree_.AddNode(parent, text, image);
    }
    // From the program, so the tree reports no user expand and Save stays as it is.
    void SetExpanded(NodeHandle node, bool expanded) override { tree_.SetExpanded(node, expanded); }

private:
    toolkit::TreeView& tree_;
};

} // namespace tallykey
