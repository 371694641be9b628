#include <QAbstractItemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "toolkit/menu.h"
#include "toolkit/qt/backend.h"
#include "toolkit/tree_view.h"

namespace toolkit {

using qt::Dispatch;

namespace {

// A node's label as one allocation (its length, then its bytes), none when it
// is empty: a huge tree of short labels costs a pointer per node.
class CompactText {
public:
    CompactText() = default;
    CompactText(const CompactText&) = delete;
    CompactText& operator=(const CompactText&) = delete;
    CompactText(CompactText&& other) noexcept : data_(std::exchange(other.data_, nullptr)) {}
    CompactText& operator=(CompactText&& other) noexcept {
        std::swap(data_, other.data_);
        return *this;
    }
    ~CompactText() { delete[] data_; }

    void Set(std::string_view text) {
        char* fresh = nullptr;
        if (!text.empty()) {
            fresh = new char[sizeof(std::size_t) + text.size()];
            const std::size_t size = text.size();
            std::memcpy(fresh, &size, sizeof size);
            std::memcpy(fresh + sizeof size, text.data(), size);
        }
        delete[] std::exchange(data_, fresh);
    }
    std::string_view View() const {
        if (!data_)
            return {};
        std::size_t size = 0;
        std::memcpy(&size, data_, sizeof size);
        return {data_ + sizeof size, size};
    }

private:
    char* data_ = nullptr;
};

// One node of the tree. Nodes live in one array in the order they were added;
// a handle is the array's base plus the node's place, so it finds its node
// without a lookup table. A deleted node stays as an empty slot until the tree
// is emptied.
struct Node {
    CompactText text;
    std::uint32_t parent = 0; // the parent's place + 1; 0 for a top-level node
    std::uint32_t row = 0;    // the place among its parent's children
    std::int32_t image = -1;
    std::uint32_t children : 30; // its child list (0: none yet)
    std::uint32_t expanded : 1;
    std::uint32_t alive : 1;
    Node() : children(0), expanded(0), alive(1) {}
};

struct TreeImpl;

// The nodes as Qt's view asks for them: an index carries its node's place, and
// the label, the picture and the handle are made only for the rows the view
// draws or asks about, so the view keeps nothing per node beyond its own rows.
class TreeModel : public QAbstractItemModel {
public:
    explicit TreeModel(TreeImpl* impl) : impl_(impl) {}

    QModelIndex index(int row, int column, const QModelIndex& parent) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex&) const override { return 1; }
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The index of the node at place `parentPlusOne - 1`; for 0 the invalid
    // index that stands for the top level's parent.
    QModelIndex At(std::uint32_t parentPlusOne) const;

    using QAbstractItemModel::beginInsertRows;
    using QAbstractItemModel::beginRemoveRows;
    using QAbstractItemModel::beginResetModel;
    using QAbstractItemModel::endInsertRows;
    using QAbstractItemModel::endRemoveRows;
    using QAbstractItemModel::endResetModel;

private:
    TreeImpl* impl_;
};

// The tree's branches drawn with lines between the nodes and at the root and
// with plus and minus boxes, as the classic style draws them; everything else
// as the application's style draws it.
class BranchLinesStyle : public QProxyStyle {
public:
    BranchLinesStyle() : lines_(QStyleFactory::create(QStringLiteral("Windows"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorBranch && lines_) {
            lines_->drawPrimitive(element, option, painter, widget);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    std::unique_ptr<QStyle> lines_;
};

// A press on the empty part of the tree only takes the focus: the selection
// stays, as in the platform's tree (Qt would clear it).
class TreeWidget : public QTreeView {
public:
    using QTreeView::QTreeView;

protected:
    // Qt fits the column to a thousand rows near those in view (at the bottom
    // of a longer tree, without the last); the rows in view count in any case.
    int sizeHintForColumn(int column) const override {
        int width = QTreeView::sizeHintForColumn(column);
        if (column != 0)
            return width;
        const int bottom = viewport()->height();
        for (QModelIndex index = indexAt(QPoint(0, 0)); index.isValid(); index = indexBelow(index)) {
            const QRect row = visualRect(index);
            if (row.top() >= bottom)
                break;
            width = std::max(width, row.left() - columnViewportPosition(0) + sizeHintForIndex(index).width());
        }
        return width;
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (!indexAt(event->position().toPoint()).isValid()) {
            setFocus(Qt::MouseFocusReason);
            event->accept();
            return;
        }
        QTreeView::mousePressEvent(event);
    }
};

class LabelDelegate : public QStyledItemDelegate {
public:
    explicit LabelDelegate(TreeImpl* impl) : impl_(impl) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    TreeImpl* impl_;
};

// Rows are Qt's ints and a node's list is kept in 30 bits.
constexpr std::size_t kMaxNodes = std::numeric_limits<int>::max();
constexpr std::size_t kMaxLists = (std::size_t(1) << 30) - 1;

struct TreeImpl : Control::Impl {
    QPointer<QTreeView> tree;
    TreeModel* model = nullptr;
    LabelDelegate* delegate = nullptr;
    const ImageList* images = nullptr;
    Menu* popupMenu = nullptr;
    std::vector<Node> nodes;
    // Child lists by number; the first is the top level's. Numbers of emptied
    // lists are given out again.
    std::vector<std::vector<std::uint32_t>> lists{1};
    std::vector<std::uint32_t> freeLists;
    TreeNode base = 1; // the handle of the node at place 0
    std::size_t count = 0;
    TreeNode selected = NoTreeNode;
    int quiet = 0; // changes made by the program itself
    QPointer<QLineEdit> editor;
    TreeNode editNode = NoTreeNode;
    bool editing = false;

    TreeView* Self() const { return static_cast<TreeView*>(self); }

    static TreeNode NodeOf(const QModelIndex& index) {
        return index.isValid() ? index.data(qt::kTreeNodeRole).toULongLong() : NoTreeNode;
    }

    Node* Find(TreeNode node) {
        if (node < base || node - base >= nodes.size())
            return nullptr;
        Node* found = &nodes[node - base];
        return found->alive ? found : nullptr;
    }
    std::uint32_t PlaceOf(TreeNode node) const { return static_cast<std::uint32_t>(node - base); }
    TreeNode HandleAt(std::uint32_t place) const { return base + place; }

    // The children of the node at `parentPlusOne - 1`, or of the top level for 0.
    const std::vector<std::uint32_t>& ChildList(std::uint32_t parentPlusOne) const {
        static const std::vector<std::uint32_t> none;
        if (parentPlusOne == 0)
            return lists[0];
        if (parentPlusOne > nodes.size())
            return none;
        const std::uint32_t list = nodes[parentPlusOne - 1].children;
        return list ? lists[list] : none;
    }

    // The same list for a change, made when the node has none yet (nullptr
    // when no more lists can be made).
    std::vector<std::uint32_t>* ListToChange(std::uint32_t parentPlusOne) {
        if (parentPlusOne == 0)
            return &lists[0];
        Node& parent = nodes[parentPlusOne - 1];
        if (!parent.children) {
            if (!freeLists.empty()) {
                parent.children = freeLists.back();
                freeLists.pop_back();
            } else {
                if (lists.size() > kMaxLists)
                    return nullptr;
                parent.children = static_cast<std::uint32_t>(lists.size());
                lists.emplace_back();
            }
        }
        return &lists[parent.children];
    }

    // Frees the node at `place` and its children (the caller takes it out of
    // its parent's list).
    void Release(std::uint32_t place) {
        Node& node = nodes[place];
        if (node.children) {
            std::vector<std::uint32_t> children;
            children.swap(lists[node.children]);
            freeLists.push_back(node.children);
            node.children = 0;
            for (std::uint32_t child : children)
                Release(child);
        }
        node.text.Set({});
        node.alive = 0;
        --count;
    }

    // True when `node` is `ancestor` or lies below it.
    bool Within(TreeNode node, std::uint32_t ancestor) {
        for (Node* n = Find(node); n; n = n->parent ? &nodes[n->parent - 1] : nullptr)
            if (n == &nodes[ancestor])
                return true;
        return false;
    }

    // One icon per image, shared by every node that shows it (a large tree
    // would otherwise hold a picture per node).
    mutable std::unordered_map<int, QIcon> icons;
    mutable int iconsOfCount = -1;

    QIcon Icon(int image) const {
        const int count = images ? images->Count() : 0;
        if (count != iconsOfCount) {
            icons.clear();
            iconsOfCount = count;
        }
        auto it = icons.find(image);
        if (it == icons.end()) {
            QPixmap pixmap = qt::ImagePixmap(images, image);
            // A node without a picture keeps the picture's room, so that its
            // text lines up with its siblings'.
            if (pixmap.isNull() && images && images->Width() > 0 && images->Height() > 0) {
                pixmap = QPixmap(images->Width(), images->Height());
                pixmap.fill(Qt::transparent);
            }
            it = icons.emplace(image, pixmap.isNull() ? QIcon() : QIcon(pixmap)).first;
        }
        return it->second;
    }

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

    // The user changed the selection: clicks and the arrow keys.
    void SelectionFromView() {
        if (quiet || !tree)
            return;
        const QModelIndexList chosen = tree->selectionModel()->selectedIndexes();
        ReportSelection(chosen.isEmpty() ? NoTreeNode : NodeOf(chosen.first()));
    }

    void ShowSelection(TreeNode node) {
        if (!tree)
            return;
        ++quiet;
        if (Node* data = Find(node)) {
            for (std::uint32_t p = data->parent; p; p = nodes[p - 1].parent) {
                nodes[p - 1].expanded = 1;
                tree->expand(model->At(p));
            }
            const QModelIndex index = model->At(PlaceOf(node) + 1);
            tree->setCurrentIndex(index);
            tree->scrollTo(index);
        } else {
            tree->clearSelection();
            tree->setCurrentIndex(QModelIndex());
        }
        --quiet;
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
        if (keep && alive)
            view->SetText(node, text);
    }

    void StopEditing() {
        if (!editing)
            return;
        editing = false;
        editNode = NoTreeNode;
        if (editor && delegate)
            emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
};

TreeImpl* T(const Control* c) { return static_cast<TreeImpl*>(c->impl()); }

QModelIndex TreeModel::At(std::uint32_t parentPlusOne) const {
    if (parentPlusOne == 0)
        return {};
    const std::uint32_t place = parentPlusOne - 1;
    return createIndex(static_cast<int>(impl_->nodes[place].row), 0, quintptr(place));
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || parent.column() > 0)
        return {};
    const auto& list = impl_->ChildList(parent.isValid() ? static_cast<std::uint32_t>(parent.internalId()) + 1 : 0);
    if (std::size_t(row) >= list.size())
        return {};
    return createIndex(row, 0, quintptr(list[std::size_t(row)]));
}

QModelIndex TreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() >= impl_->nodes.size())
        return {};
    return At(impl_->nodes[child.internalId()].parent);
}

int TreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(
        impl_->ChildList(parent.isValid() ? static_cast<std::uint32_t>(parent.internalId()) + 1 : 0).size());
}

QVariant TreeModel::data(const QModelIndex& index, int role) const {
    // An index the view kept past a change finds no node rather than a wrong one.
    if (!index.isValid() || index.internalId() >= impl_->nodes.size())
        return {};
    const std::uint32_t place = static_cast<std::uint32_t>(index.internalId());
    const Node& node = impl_->nodes[place];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return qt::ToQ(std::string(node.text.View()));
    case Qt::DecorationRole: {
        QIcon icon = impl_->Icon(node.image);
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case qt::kTreeNodeRole: return QVariant::fromValue<qulonglong>(impl_->HandleAt(place));
    default: return {};
    }
}

Qt::ItemFlags TreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::NoItemFlags;
}

QWidget* LabelDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    impl_->editor = qobject_cast<QLineEdit*>(editor);
    if (impl_->editor) {
        impl_->editor->setMaxLength(qt::kNoLengthLimit);
        qt::GuardLineEdit(impl_->editor);
    }
    impl_->editNode = TreeImpl::NodeOf(index);
    impl_->editing = true;
    return editor;
}

void LabelDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        if (Node* data = impl_->Find(TreeImpl::NodeOf(index)))
            qt::SetProgramText(line, qt::ToQ(std::string(data->text.View())));
}

void LabelDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    // The program decides whether the label changes; the model is not written here.
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    impl_->EditEnded(TreeImpl::NodeOf(index), qt::FromQ(line->text()));
}

} // namespace

namespace qt {

QModelIndex TreeNodeIndex(const TreeView& tree, TreeNode node) {
    TreeImpl* im = T(&tree);
    if (!im || !im->Find(node))
        return {};
    return im->model->At(im->PlaceOf(node) + 1);
}

} // namespace qt

TreeView::TreeView(Container& parent) : Control(&parent) {
    auto im = std::make_unique<TreeImpl>();
    auto* tree = new TreeWidget(parent.impl() ? parent.impl()->client.data() : nullptr);
    im->model = new TreeModel(im.get());
    im->model->setParent(tree);
    tree->setModel(im->model);
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(true);
    // Every row is as high as the first: the view then keeps no height per node.
    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setDragEnabled(false);
    tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    // A click on the selected node starts editing its label, as in the platform's tree.
    tree->setEditTriggers(QAbstractItemView::SelectedClicked);
    tree->setExpandsOnDoubleClick(true);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    tree->setIconSize(QSize(16, 16));
    auto* style = new BranchLinesStyle;
    style->setParent(tree);
    tree->setStyle(style);
    // A long title widens the tree's one column and the tree scrolls sideways
    // rather than cutting the title short.
    tree->setTextElideMode(Qt::ElideNone);
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    // The selection stays as visible when the tree has no focus.
    QPalette palette = tree->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    tree->setPalette(palette);
    im->delegate = new LabelDelegate(im.get());
    im->delegate->setParent(tree);
    tree->setItemDelegate(im->delegate);
    im->tree = tree;
    im->widget = tree;
    TreeImpl* raw = im.get();
    Attach(std::move(im));

    QObject* guard = impl()->guard.get();
    QObject::connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, guard,
                     [raw] { raw->SelectionFromView(); });
    auto expandedByUser = [this, raw](const QModelIndex& index, bool expanded) {
        if (raw->quiet)
            return;
        const TreeNode node = TreeImpl::NodeOf(index);
        if (Node* data = raw->Find(node))
            data->expanded = expanded;
        if (OnExpandCollapse) {
            Dispatch d;
            OnExpandCollapse(node, expanded);
        }
    };
    // The column is fitted again as the tree scrolls, so that a long title far
    // down a long tree is not cut short either.
    QObject::connect(tree->verticalScrollBar(), &QScrollBar::valueChanged, guard, [raw] {
        if (raw->tree)
            raw->tree->header()->resizeSections(QHeaderView::ResizeToContents);
    });
    QObject::connect(tree, &QTreeView::expanded, guard,
                     [expandedByUser](const QModelIndex& index) { expandedByUser(index, true); });
    QObject::connect(tree, &QTreeView::collapsed, guard,
                     [expandedByUser](const QModelIndex& index) { expandedByUser(index, false); });
    QObject::connect(raw->delegate, &QAbstractItemDelegate::closeEditor, guard,
                     [raw](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                         // Escape: the node's label as it stands is reported.
                         if (hint != QAbstractItemDelegate::RevertModelCache || !raw->editing)
                             return;
                         const TreeNode node = raw->editNode;
                         const Node* data = raw->Find(node);
                         raw->EditEnded(node, data ? std::string(data->text.View()) : std::string());
                     });
    QObject::connect(tree, &QWidget::customContextMenuRequested, guard, [this, raw](const QPoint& pos) {
        if (!raw->tree)
            return;
        const QModelIndex index = raw->tree->indexAt(pos);
        if (index.isValid())
            Select(TreeImpl::NodeOf(index));
        if (raw->popupMenu) {
            const QPoint global = raw->tree->viewport()->mapToGlobal(pos);
            raw->popupMenu->Popup(global.x(), global.y());
        }
    });
}

void TreeView::SetImageList(const ImageList* images) {
    TreeImpl* im = T(this);
    im->images = images;
    im->icons.clear();
    im->iconsOfCount = -1;
    if (!im->tree)
        return;
    if (images)
        im->tree->setIconSize(QSize(images->Width(), images->Height()));
    // The rows are laid out again with the new pictures (and their height).
    emit im->model->layoutAboutToBeChanged();
    emit im->model->layoutChanged();
}

void TreeView::SetPopupMenu(Menu* menu) { T(this)->popupMenu = menu; }

TreeNode TreeView::AddNode(TreeNode parent, const std::string& text, int image) {
    TreeImpl* im = T(this);
    if (!im->tree)
        return NoTreeNode;
    std::uint32_t parentPlusOne = 0;
    if (parent != NoTreeNode) {
        if (!im->Find(parent))
            return NoTreeNode;
        parentPlusOne = im->PlaceOf(parent) + 1;
    }
    std::vector<std::uint32_t>* list = im->ListToChange(parentPlusOne);
    if (!list || im->nodes.size() >= kMaxNodes || list->size() >= kMaxNodes)
        return NoTreeNode;
    const auto place = static_cast<std::uint32_t>(im->nodes.size());
    const int row = static_cast<int>(list->size());
    ++im->quiet;
    im->model->beginInsertRows(im->model->At(parentPlusOne), row, row);
    Node& node = im->nodes.emplace_back();
    node.text.Set(text);
    node.parent = parentPlusOne;
    node.row = static_cast<std::uint32_t>(row);
    node.image = image;
    list->push_back(place);
    ++im->count;
    im->model->endInsertRows();
    // A branch opened while it was empty opens in the view with its first child.
    if (row == 0 && parentPlusOne && im->nodes[parentPlusOne - 1].expanded)
        im->tree->expand(im->model->At(parentPlusOne));
    --im->quiet;
    return im->HandleAt(place);
}

void TreeView::DeleteNode(TreeNode node) {
    TreeImpl* im = T(this);
    Node* data = im->Find(node);
    if (!data || !im->tree)
        return;
    const std::uint32_t place = im->PlaceOf(node);
    const std::uint32_t parentPlusOne = data->parent;
    const std::uint32_t row = data->row;
    TreeNode next = im->selected;
    if (im->Within(im->selected, place)) {
        // The selection moves as the platform's tree moves it: to the next
        // sibling, else the previous, else the parent.
        const auto& siblings = im->ChildList(parentPlusOne);
        if (row + 1 < siblings.size())
            next = im->HandleAt(siblings[row + 1]);
        else if (row > 0)
            next = im->HandleAt(siblings[row - 1]);
        else
            next = parentPlusOne ? im->HandleAt(parentPlusOne - 1) : NoTreeNode;
    }
    if (im->editing && im->Within(im->editNode, place))
        im->StopEditing();
    ++im->quiet;
    im->model->beginRemoveRows(im->model->At(parentPlusOne), static_cast<int>(row), static_cast<int>(row));
    std::vector<std::uint32_t>& siblings = *im->ListToChange(parentPlusOne);
    siblings.erase(siblings.begin() + row);
    for (std::size_t r = row; r < siblings.size(); ++r)
        im->nodes[siblings[r]].row = static_cast<std::uint32_t>(r);
    im->Release(place);
    im->model->endRemoveRows();
    if (im->count == 0) {
        // Nothing is left: the empty places go, and handles go on from the last one.
        im->base += im->nodes.size();
        std::vector<Node>().swap(im->nodes);
        im->lists.assign(1, {});
        im->freeLists.clear();
    }
    --im->quiet;
    im->ShowSelection(next);
    im->ReportSelection(next);
}

void TreeView::Clear() {
    TreeImpl* im = T(this);
    im->StopEditing();
    ++im->quiet;
    if (im->tree)
        im->model->beginResetModel();
    im->base += im->nodes.size();
    std::vector<Node>().swap(im->nodes);
    im->lists.assign(1, {});
    im->freeLists.clear();
    im->count = 0;
    if (im->tree)
        im->model->endResetModel();
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
    TreeImpl* im = T(this);
    Node* data = im->Find(node);
    return data && data->parent ? im->HandleAt(data->parent - 1) : NoTreeNode;
}

std::vector<TreeNode> TreeView::Children(TreeNode node) const {
    TreeImpl* im = T(this);
    std::vector<TreeNode> result;
    if (node != NoTreeNode && !im->Find(node))
        return result;
    const auto& list = im->ChildList(node == NoTreeNode ? 0 : im->PlaceOf(node) + 1);
    result.reserve(list.size());
    for (std::uint32_t place : list)
        result.push_back(im->HandleAt(place));
    return result;
}

int TreeView::TopLevelCount() const { return static_cast<int>(T(this)->lists[0].size()); }
int TreeView::NodeCount() const { return static_cast<int>(T(this)->count); }
bool TreeView::Exists(TreeNode node) const { return T(this)->Find(node) != nullptr; }

std::string TreeView::Text(TreeNode node) const {
    Node* data = T(this)->Find(node);
    return data ? std::string(data->text.View()) : std::string();
}

void TreeView::SetText(TreeNode node, const std::string& text) {
    TreeImpl* im = T(this);
    Node* data = im->Find(node);
    if (!data)
        return;
    data->text.Set(text);
    const QModelIndex index = im->model->At(im->PlaceOf(node) + 1);
    ++im->quiet;
    emit im->model->dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    --im->quiet;
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
    // The view keeps a record per open branch; an empty one is opened there
    // when it gets its first child.
    if (!im->tree || (expanded && im->ChildList(im->PlaceOf(node) + 1).empty()))
        return;
    ++im->quiet;
    im->tree->setExpanded(im->model->At(im->PlaceOf(node) + 1), expanded);
    --im->quiet;
}

void TreeView::ToggleByUser(TreeNode node) {
    TreeImpl* im = T(this);
    Node* data = im->Find(node);
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
    if (!im->Find(node) || !im->tree)
        return;
    CommitEdit();
    im->tree->edit(im->model->At(im->PlaceOf(node) + 1));
}

void TreeView::CommitEdit() {
    TreeImpl* im = T(this);
    if (im->editing && im->editor)
        FinishEdit(qt::FromQ(im->editor->text()));
}

bool TreeView::IsEditing() const { return T(this)->editing; }

void TreeView::FinishEdit(const std::string& text) {
    TreeImpl* im = T(this);
    if (!im->editing || !im->editor || !im->delegate)
        return;
    qt::SetProgramText(im->editor, qt::ToQ(text));
    QPointer<QLineEdit> editor = im->editor;
    emit im->delegate->commitData(editor);
    if (editor)
        emit im->delegate->closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
}

void TreeView::CancelEdit() {
    TreeImpl* im = T(this);
    if (!im->editing || !im->editor || !im->delegate)
        return;
    emit im->delegate->closeEditor(im->editor, QAbstractItemDelegate::RevertModelCache);
}

void TreeView::RightClick(TreeNode node) {
    TreeImpl* im = T(this);
    if (!im->Find(node) || !im->tree)
        return;
    Select(node);
    if (!im->popupMenu)
        return;
    const QRect r = im->tree->visualRect(im->model->At(im->PlaceOf(node) + 1));
    const QPoint global = im->tree->viewport()->mapToGlobal(r.center());
    im->popupMenu->Popup(global.x(), global.y());
}

} // namespace toolkit
