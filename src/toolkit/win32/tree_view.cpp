// The tree view over the common controls' tree (WC_TREEVIEW): the program's
// node handles are the items' lParam, and the tree keeps its own record of
// each node (text as the program gave it, image, parent, children, open
// state), so that what the program reads back never depends on the window.
// The program's own changes run the handlers the API names and no others;
// the user's clicks and keys reach them through the tree's notifications.
#include <algorithm>
#include <cstring>
#include <map>

#include "toolkit/image_list.h"
#include "toolkit/menu.h"
#include "toolkit/tree_view.h"
#include "toolkit/win32/backend.h"

namespace toolkit {

namespace {

struct Node {
    HTREEITEM item = nullptr;
    TreeNode parent = NoTreeNode;
    std::vector<TreeNode> children;
    std::string text;
    int image = -1;
    bool expanded = false;
};

struct TreeImpl : Control::Impl {
    std::map<TreeNode, Node> nodes;
    std::vector<TreeNode> top;
    TreeNode next = 1; // handles are never reused
    TreeNode selected = NoTreeNode;
    const ImageList* images = nullptr;
    Menu* popupMenu = nullptr;
    int quiet = 0; // the program's own changes: no notification reports them
    bool editing = false;
    TreeNode editNode = NoTreeNode;
    bool colourApplied = false;

    TreeView* Self() const { return static_cast<TreeView*>(self); }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return hwnd ? ::SendMessageW(hwnd, message, wParam, lParam) : 0;
    }
    Node* Find(TreeNode node) {
        auto it = nodes.find(node);
        return it == nodes.end() ? nullptr : &it->second;
    }
    std::vector<TreeNode>& SiblingsOf(const Node& node) { return node.parent ? nodes[node.parent].children : top; }

    void ReportSelection(TreeNode now) {
        if (now == selected)
            return;
        selected = now;
        TreeView* view = Self();
        if (alive && view->OnSelectionChanged) {
            Dispatch d;
            view->OnSelectionChanged();
        }
    }

    void ShowSelection(TreeNode node) {
        ++quiet;
        Node* data = Find(node);
        Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(data ? data->item : nullptr));
        if (data)
            Send(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(data->item));
        --quiet;
        // The tree opened the node's closed branches to show it.
        for (Node* at = data ? Find(data->parent) : nullptr; at; at = Find(at->parent))
            at->expanded = true;
    }

    void EditEnded(TreeNode node, const std::string& text) {
        if (!editing || node != editNode)
            return;
        editing = false;
        editNode = NoTreeNode;
        TreeView* view = Self();
        bool keep = true;
        if (view->OnEditEnd) {
            Dispatch d;
            keep = view->OnEditEnd(node, text);
        }
        if (keep && win32::IsLive(view))
            view->SetText(node, text);
    }

    // Ends an edit without reporting it (its node is going).
    void StopEditing() {
        if (!editing)
            return;
        editing = false;
        editNode = NoTreeNode;
        Send(TVM_ENDEDITLABELNOW, TRUE);
    }

    void Forget(TreeNode node) {
        Node* data = Find(node);
        if (!data)
            return;
        for (TreeNode child : std::vector<TreeNode>(data->children))
            Forget(child);
        nodes.erase(node);
    }

    bool Within(TreeNode node, TreeNode ancestor) {
        for (TreeNode at = node; at; at = Find(at) ? Find(at)->parent : NoTreeNode)
            if (at == ancestor)
                return true;
        return false;
    }

    void PopupAt(POINT screen) {
        if (popupMenu)
            popupMenu->Popup(screen.x, screen.y);
    }

    bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message != WM_NOTIFY)
            return Control::Impl::Reflect(message, wParam, lParam, result);
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        result = 0;
        switch (header->code) {
        case TVN_SELCHANGEDW: {
            const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(lParam);
            if (!quiet)
                ReportSelection(tv->itemNew.hItem ? static_cast<TreeNode>(tv->itemNew.lParam) : NoTreeNode);
            return true;
        }
        case TVN_ITEMEXPANDEDW: {
            const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(lParam);
            const auto node = static_cast<TreeNode>(tv->itemNew.lParam);
            Node* data = Find(node);
            if (!data || quiet)
                return true;
            const bool expanded = (tv->action & TVE_EXPAND) != 0;
            if (data->expanded == expanded)
                return true;
            data->expanded = expanded;
            if (Self()->OnExpandCollapse) {
                Dispatch d;
                Self()->OnExpandCollapse(node, expanded);
            }
            return true;
        }
        case TVN_BEGINLABELEDITW: {
            const auto* info = reinterpret_cast<const NMTVDISPINFOW*>(lParam);
            editing = true;
            editNode = static_cast<TreeNode>(info->item.lParam);
            if (HWND editor = reinterpret_cast<HWND>(Send(TVM_GETEDITCONTROL)))
                win32::GuardEdit(editor, true);
            result = FALSE; // the edit goes ahead
            return true;
        }
        case TVN_ENDLABELEDITW: {
            const auto* info = reinterpret_cast<const NMTVDISPINFOW*>(lParam);
            const auto node = static_cast<TreeNode>(info->item.lParam);
            // Escape (no text): the node's label as it stands is reported.
            std::string text;
            if (info->item.pszText)
                text = win32::Ansi(info->item.pszText);
            else if (Node* data = Find(node))
                text = data->text;
            EditEnded(node, text);
            result = FALSE; // the label is the program's to set
            return true;
        }
        case NM_RCLICK: {
            // The node under the pointer is selected, then the menu pops up there.
            POINT screen{};
            ::GetCursorPos(&screen);
            TVHITTESTINFO hit{};
            hit.pt = screen;
            ::ScreenToClient(hwnd, &hit.pt);
            Send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
            if (hit.hItem && (hit.flags & TVHT_ONITEM)) {
                TVITEMW item{};
                item.mask = TVIF_PARAM;
                item.hItem = hit.hItem;
                Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
                Self()->Select(static_cast<TreeNode>(item.lParam));
            }
            PopupAt(screen);
            result = TRUE; // no WM_CONTEXTMENU after it
            return true;
        }
        default: return false;
        }
    }

    bool Filter(UINT message, WPARAM, LPARAM, LRESULT&) override {
        // The tree paints its own background: the colour the program gave it.
        if (message == WM_PAINT && hasBackground && !colourApplied) {
            colourApplied = true;
            Send(TVM_SETBKCOLOR, 0, static_cast<LPARAM>(background));
        }
        return false;
    }
};

TreeImpl* T(const Control* c) { return static_cast<TreeImpl*>(c->impl()); }

} // namespace

namespace win32 {
HTREEITEM TreeItem(const TreeView& tree, TreeNode node) {
    Node* data = T(&tree)->Find(node);
    return data ? data->item : nullptr;
}
} // namespace win32

TreeView::TreeView(Container& parent) : Control(&parent) {
    auto im = std::make_unique<TreeImpl>();
    im->CreateChild(&parent, WC_TREEVIEWW,
                    WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_EDITLABELS |
                        TVS_DISABLEDRAGDROP,
                    WS_EX_CLIENTEDGE);
    Attach(std::move(im));
}

void TreeView::SetImageList(const ImageList* images) {
    TreeImpl* im = T(this);
    im->images = images;
    im->Send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(win32::ImageListHandle(images)));
}

void TreeView::SetPopupMenu(Menu* menu) { T(this)->popupMenu = menu; }

TreeNode TreeView::AddNode(TreeNode parent, const std::string& text, int image) {
    TreeImpl* im = T(this);
    Node* parentData = parent ? im->Find(parent) : nullptr;
    if (parent && !parentData)
        return NoTreeNode;
    const TreeNode node = im->next++;
    Node data;
    data.parent = parent;
    data.text = text;
    data.image = image;
    std::wstring wide = win32::Wide(text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parentData ? parentData->item : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = wide.data();
    insert.item.iImage = insert.item.iSelectedImage = image;
    insert.item.lParam = static_cast<LPARAM>(node);
    ++im->quiet;
    data.item = reinterpret_cast<HTREEITEM>(im->Send(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    im->nodes.emplace(node, std::move(data));
    if (parentData) {
        parentData = im->Find(parent); // the map may have moved nothing, but stay sure
        parentData->children.push_back(node);
        // An open branch shows its first child as it comes.
        if (parentData->expanded && parentData->children.size() == 1)
            im->Send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parentData->item));
    } else {
        im->top.push_back(node);
    }
    --im->quiet;
    return node;
}

void TreeView::DeleteNode(TreeNode node) {
    TreeImpl* im = T(this);
    Node* data = im->Find(node);
    if (!data)
        return;
    TreeNode next = im->selected;
    std::vector<TreeNode>& siblings = im->SiblingsOf(*data);
    const auto at = std::find(siblings.begin(), siblings.end(), node);
    if (im->Within(im->selected, node)) {
        // The selection moves as the platform's tree moves it: to the next
        // sibling, else the previous, else the parent.
        if (at + 1 < siblings.end())
            next = *(at + 1);
        else if (at != siblings.begin())
            next = *(at - 1);
        else
            next = data->parent;
    }
    if (im->editing && im->Within(im->editNode, node))
        im->StopEditing();
    ++im->quiet;
    im->Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(data->item));
    siblings.erase(at);
    im->Forget(node);
    --im->quiet;
    im->ShowSelection(next);
    im->ReportSelection(next);
}

void TreeView::Clear() {
    TreeImpl* im = T(this);
    im->StopEditing();
    ++im->quiet;
    im->Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    im->nodes.clear();
    im->top.clear();
    --im->quiet;
    im->ReportSelection(NoTreeNode);
}

TreeNode TreeView::Selected() const { return T(this)->selected; }

void TreeView::Select(TreeNode node) {
    TreeImpl* im = T(this);
    if (node != NoTreeNode && !im->Find(node))
        return;
    im->ShowSelection(node);
    im->ReportSelection(node);
}

TreeNode TreeView::Parent(TreeNode node) const {
    Node* data = T(this)->Find(node);
    return data ? data->parent : NoTreeNode;
}

std::vector<TreeNode> TreeView::Children(TreeNode node) const {
    TreeImpl* im = T(this);
    if (node == NoTreeNode)
        return im->top;
    Node* data = im->Find(node);
    return data ? data->children : std::vector<TreeNode>{};
}

int TreeView::TopLevelCount() const { return static_cast<int>(T(this)->top.size()); }
int TreeView::NodeCount() const { return static_cast<int>(T(this)->nodes.size()); }
bool TreeView::Exists(TreeNode node) const { return T(this)->Find(node) != nullptr; }

std::string TreeView::Text(TreeNode node) const {
    Node* data = T(this)->Find(node);
    return data ? data->text : std::string();
}

void TreeView::SetText(TreeNode node, const std::string& text) {
    TreeImpl* im = T(this);
    Node* data = im->Find(node);
    if (!data)
        return;
    data->text = text;
    std::wstring wide = win32::Wide(text);
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = data->item;
    item.pszText = wide.data();
    im->Send(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

int TreeView::Image(TreeNode node) const {
    Node* data = T(this)->Find(node);
    return data ? data->image : -1;
}

bool TreeView::IsExpanded(TreeNode node) const {
    Node* data = T(this)->Find(node);
    return data && data->expanded;
}

void TreeView::SetExpanded(TreeNode node, bool expanded) {
    TreeImpl* im = T(this);
    Node* data = im->Find(node);
    if (!data)
        return;
    data->expanded = expanded;
    // The tree opens no branch without children: an empty one opens when it
    // gets its first child. Its own state is set all the same, as the tree
    // keeps the state a branch had before it was emptied.
    if (data->children.empty()) {
        TVITEMW item{};
        item.mask = TVIF_STATE;
        item.hItem = data->item;
        item.state = expanded ? TVIS_EXPANDED : 0;
        item.stateMask = TVIS_EXPANDED;
        im->Send(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return;
    }
    ++im->quiet;
    im->Send(TVM_EXPAND, expanded ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(data->item));
    --im->quiet;
}

void TreeView::ToggleByUser(TreeNode node) {
    Node* data = T(this)->Find(node);
    if (!data)
        return;
    const bool expanded = !data->expanded;
    SetExpanded(node, expanded);
    if (OnExpandCollapse) {
        Dispatch d;
        OnExpandCollapse(node, expanded);
    }
}

void TreeView::StartEdit(TreeNode node) {
    TreeImpl* im = T(this);
    Node* data = im->Find(node);
    if (!data || !im->hwnd)
        return;
    CommitEdit();
    ::SetFocus(im->hwnd);
    im->Send(TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(data->item));
}

bool TreeView::IsEditing() const { return T(this)->editing; }

void TreeView::FinishEdit(const std::string& text) {
    TreeImpl* im = T(this);
    if (!im->editing)
        return;
    if (HWND editor = reinterpret_cast<HWND>(im->Send(TVM_GETEDITCONTROL)))
        ::SetWindowTextW(editor, win32::Wide(text).c_str());
    im->Send(TVM_ENDEDITLABELNOW, FALSE);
    // A tree that ended the edit without telling: the text is reported as typed.
    if (im->editing)
        im->EditEnded(im->editNode, text);
}

void TreeView::CancelEdit() {
    TreeImpl* im = T(this);
    if (!im->editing)
        return;
    const TreeNode node = im->editNode;
    im->Send(TVM_ENDEDITLABELNOW, TRUE);
    if (im->editing)
        im->EditEnded(node, Text(node));
}

void TreeView::CommitEdit() {
    TreeImpl* im = T(this);
    if (!im->editing)
        return;
    HWND editor = reinterpret_cast<HWND>(im->Send(TVM_GETEDITCONTROL));
    FinishEdit(editor ? win32::Ansi(win32::WindowTextW(editor)) : Text(im->editNode));
}

void TreeView::RightClick(TreeNode node) {
    TreeImpl* im = T(this);
    Node* data = im->Find(node);
    if (!data || !im->hwnd)
        return;
    Select(node);
    if (!im->popupMenu)
        return;
    // The message takes the item in the rectangle's first bytes.
    RECT r{};
    HTREEITEM item = data->item;
    std::memcpy(&r, &item, sizeof item);
    im->Send(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(im->hwnd, &centre);
    im->PopupAt(centre);
}

} // namespace toolkit
