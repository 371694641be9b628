#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <unordered_map>

#include "toolkit/menu.h"
#include "toolkit/qt/backend.h"
#include "toolkit/tree_view.h"

namespace toolkit {

using qt::Dispatch;

namespace {

struct NodeData {
    QTreeWidgetItem* item = nullptr;
    std::string text;
    int image = -1;
    bool expanded = false;
};

struct TreeImpl;

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
class TreeWidget : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (!itemAt(event->position().toPoint())) {
            setFocus(Qt::MouseFocusReason);
            event->accept();
            return;
        }
        QTreeWidget::mousePressEvent(event);
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

struct TreeImpl : Control::Impl {
    QPointer<QTreeWidget> tree;
    LabelDelegate* delegate = nullptr;
    const ImageList* images = nullptr;
    Menu* popupMenu = nullptr;
    std::unordered_map<TreeNode, NodeData> nodes;
    TreeNode nextNode = 1;
    TreeNode selected = NoTreeNode;
    int quiet = 0; // changes made by the program itself
    QPointer<QLineEdit> editor;
    TreeNode editNode = NoTreeNode;
    bool editing = false;

    TreeView* Self() const { return static_cast<TreeView*>(self); }

    static TreeNode NodeOf(const QTreeWidgetItem* item) {
        return item ? item->data(0, qt::kTreeNodeRole).toULongLong() : NoTreeNode;
    }

    NodeData* Find(TreeNode node) {
        auto it = nodes.find(node);
        return it == nodes.end() ? nullptr : &it->second;
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
        const QList<QTreeWidgetItem*> chosen = tree->selectedItems();
        ReportSelection(chosen.isEmpty() ? NoTreeNode : NodeOf(chosen.first()));
    }

    void ShowSelection(TreeNode node) {
        if (!tree)
            return;
        ++quiet;
        NodeData* data = Find(node);
        if (data) {
            for (QTreeWidgetItem* p = data->item->parent(); p; p = p->parent()) {
                p->setExpanded(true);
                if (NodeData* pd = Find(NodeOf(p)))
                    pd->expanded = true;
            }
            tree->setCurrentItem(data->item);
            tree->scrollToItem(data->item);
        } else {
            tree->clearSelection();
            tree->setCurrentItem(nullptr);
        }
        --quiet;
    }

    void Forget(QTreeWidgetItem* item) {
        for (int i = 0; i < item->childCount(); ++i)
            Forget(item->child(i));
        nodes.erase(NodeOf(item));
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

QWidget* LabelDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    impl_->editor = qobject_cast<QLineEdit*>(editor);
    if (impl_->editor) {
        impl_->editor->setMaxLength(qt::kNoLengthLimit);
        qt::GuardLineEdit(impl_->editor);
    }
    impl_->editNode = index.data(qt::kTreeNodeRole).toULongLong();
    impl_->editing = true;
    return editor;
}

void LabelDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        if (NodeData* data = impl_->Find(index.data(qt::kTreeNodeRole).toULongLong()))
            qt::SetProgramText(line, qt::ToQ(data->text));
}

void LabelDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    // The program decides whether the label changes; the model is not written here.
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    impl_->EditEnded(index.data(qt::kTreeNodeRole).toULongLong(), qt::FromQ(line->text()));
}

} // namespace

TreeView::TreeView(Container& parent) : Control(&parent) {
    auto im = std::make_unique<TreeImpl>();
    auto* tree = new TreeWidget(parent.impl() ? parent.impl()->client.data() : nullptr);
    tree->setColumnCount(1);
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(true);
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
    QObject::connect(tree, &QTreeWidget::itemSelectionChanged, guard, [raw] { raw->SelectionFromView(); });
    auto expandedByUser = [this, raw](QTreeWidgetItem* item, bool expanded) {
        if (raw->quiet)
            return;
        const TreeNode node = TreeImpl::NodeOf(item);
        if (NodeData* data = raw->Find(node))
            data->expanded = expanded;
        if (OnExpandCollapse) {
            Dispatch d;
            OnExpandCollapse(node, expanded);
        }
    };
    QObject::connect(tree, &QTreeWidget::itemExpanded, guard,
                     [expandedByUser](QTreeWidgetItem* item) { expandedByUser(item, true); });
    QObject::connect(tree, &QTreeWidget::itemCollapsed, guard,
                     [expandedByUser](QTreeWidgetItem* item) { expandedByUser(item, false); });
    QObject::connect(raw->delegate, &QAbstractItemDelegate::closeEditor, guard,
                     [raw](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                         // Escape: the node's label as it stands is reported.
                         if (hint != QAbstractItemDelegate::RevertModelCache || !raw->editing)
                             return;
                         const TreeNode node = raw->editNode;
                         const NodeData* data = raw->Find(node);
                         raw->EditEnded(node, data ? data->text : std::string());
                     });
    QObject::connect(tree, &QWidget::customContextMenuRequested, guard, [this, raw](const QPoint& pos) {
        if (!raw->tree)
            return;
        if (QTreeWidgetItem* item = raw->tree->itemAt(pos))
            Select(TreeImpl::NodeOf(item));
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
    for (auto& [node, data] : im->nodes)
        data.item->setIcon(0, im->Icon(data.image));
}

void TreeView::SetPopupMenu(Menu* menu) { T(this)->popupMenu = menu; }

TreeNode TreeView::AddNode(TreeNode parent, const std::string& text, int image) {
    TreeImpl* im = T(this);
    if (!im->tree)
        return NoTreeNode;
    NodeData* parentData = nullptr;
    if (parent != NoTreeNode && !(parentData = im->Find(parent)))
        return NoTreeNode;
    const TreeNode node = im->nextNode++;
    ++im->quiet;
    // Filled before it joins the tree, so that the view hears of it once.
    auto* item = new QTreeWidgetItem;
    item->setData(0, qt::kTreeNodeRole, QVariant::fromValue<qulonglong>(node));
    item->setText(0, qt::ToQ(text));
    item->setIcon(0, im->Icon(image));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    if (parentData)
        parentData->item->addChild(item);
    else
        im->tree->addTopLevelItem(item);
    --im->quiet;
    im->nodes[node] = NodeData{item, text, image, false};
    return node;
}

void TreeView::DeleteNode(TreeNode node) {
    TreeImpl* im = T(this);
    NodeData* data = im->Find(node);
    if (!data || !im->tree)
        return;
    QTreeWidgetItem* item = data->item;
    bool inside = false;
    for (const QTreeWidgetItem* s = im->Find(im->selected) ? im->Find(im->selected)->item : nullptr; s;
         s = s->parent())
        if (s == item)
            inside = true;
    TreeNode next = im->selected;
    if (inside) {
        // The selection moves as the platform's tree moves it.
        QTreeWidgetItem* parentItem = item->parent();
        const int row = parentItem ? parentItem->indexOfChild(item) : im->tree->indexOfTopLevelItem(item);
        auto sibling = [&](int r) -> QTreeWidgetItem* {
            if (r < 0)
                return nullptr;
            return parentItem ? parentItem->child(r) : im->tree->topLevelItem(r);
        };
        QTreeWidgetItem* target = sibling(row + 1);
        if (!target)
            target = sibling(row - 1);
        if (!target)
            target = parentItem;
        next = TreeImpl::NodeOf(target);
    }
    if (im->editing) {
        for (const QTreeWidgetItem* e = im->Find(im->editNode) ? im->Find(im->editNode)->item : nullptr; e;
             e = e->parent())
            if (e == item) {
                im->StopEditing();
                break;
            }
    }
    ++im->quiet;
    im->Forget(item);
    delete item;
    --im->quiet;
    im->ShowSelection(next);
    im->ReportSelection(next);
}

void TreeView::Clear() {
    TreeImpl* im = T(this);
    im->StopEditing();
    if (im->tree) {
        ++im->quiet;
        im->tree->clear();
        --im->quiet;
    }
    im->nodes.clear();
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
    NodeData* data = T(this)->Find(node);
    return data ? TreeImpl::NodeOf(data->item->parent()) : NoTreeNode;
}

std::vector<TreeNode> TreeView::Children(TreeNode node) const {
    TreeImpl* im = T(this);
    std::vector<TreeNode> result;
    if (node == NoTreeNode) {
        if (im->tree)
            for (int i = 0; i < im->tree->topLevelItemCount(); ++i)
                result.push_back(TreeImpl::NodeOf(im->tree->topLevelItem(i)));
    } else if (NodeData* data = im->Find(node)) {
        for (int i = 0; i < data->item->childCount(); ++i)
            result.push_back(TreeImpl::NodeOf(data->item->child(i)));
    }
    return result;
}

int TreeView::TopLevelCount() const { return T(this)->tree ? T(this)->tree->topLevelItemCount() : 0; }
int TreeView::NodeCount() const { return static_cast<int>(T(this)->nodes.size()); }
bool TreeView::Exists(TreeNode node) const { return T(this)->Find(node) != nullptr; }

std::string TreeView::Text(TreeNode node) const {
    NodeData* data = T(this)->Find(node);
    return data ? data->text : std::string();
}

void TreeView::SetText(TreeNode node, const std::string& text) {
    TreeImpl* im = T(this);
    NodeData* data = im->Find(node);
    if (!data)
        return;
    data->text = text;
    ++im->quiet;
    data->item->setText(0, qt::ToQ(text));
    --im->quiet;
}

int TreeView::Image(TreeNode node) const {
    NodeData* data = T(this)->Find(node);
    return data ? data->image : -1;
}

bool TreeView::IsExpanded(TreeNode node) const {
    NodeData* data = T(this)->Find(node);
    return data && data->expanded;
}

void TreeView::SetExpanded(TreeNode node, bool expanded) {
    TreeImpl* im = T(this);
    NodeData* data = im->Find(node);
    if (!data)
        return;
    data->expanded = expanded;
    ++im->quiet;
    data->item->setExpanded(expanded);
    --im->quiet;
}

void TreeView::ToggleByUser(TreeNode node) {
    TreeImpl* im = T(this);
    NodeData* data = im->Find(node);
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
    NodeData* data = im->Find(node);
    if (!data || !im->tree)
        return;
    CommitEdit();
    im->tree->editItem(data->item, 0);
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
    NodeData* data = im->Find(node);
    if (!data || !im->tree)
        return;
    Select(node);
    if (!im->popupMenu)
        return;
    const QRect r = im->tree->visualItemRect(data->item);
    const QPoint global = im->tree->viewport()->mapToGlobal(r.center());
    im->popupMenu->Popup(global.x(), global.y());
}

} // namespace toolkit
