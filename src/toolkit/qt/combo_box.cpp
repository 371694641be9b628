// Drop-down lists without typing, optionally drawn by the program.
#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>

#include <algorithm>

#include "toolkit/qt/backend.h"

namespace toolkit {

namespace {

Rect ToRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }
QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.width, r.height); }

class PainterCanvas : public Canvas {
public:
    PainterCanvas(QPainter& painter, const QPalette& palette, bool highlighted)
        : painter_(painter), palette_(palette), highlighted_(highlighted) {}

    void FillRect(const Rect& rect) override {
        painter_.fillRect(ToQRect(rect), highlighted_ ? palette_.highlight() : palette_.base());
    }

    void DrawFocusRect(const Rect& rect) override {
        // Drawn twice it is gone again, as the program expects of a focus rectangle.
        painter_.save();
        painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter_.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter_.setBrush(Qt::NoBrush);
        painter_.drawRect(QRect(rect.left, rect.top, std::max(0, rect.width - 1), std::max(0, rect.height - 1)));
        painter_.restore();
    }

    void DrawImage(const ImageList& images, int index, int x, int y) override {
        const QPixmap pixmap = qt::ImagePixmap(&images, index);
        if (!pixmap.isNull())
            painter_.drawPixmap(x, y, pixmap);
    }

    void DrawText(const std::string& text, const Rect& rect) override {
        painter_.save();
        painter_.setPen(highlighted_ ? palette_.color(QPalette::HighlightedText) : palette_.color(QPalette::Text));
        painter_.drawText(ToQRect(rect), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, qt::ToQ(text));
        painter_.restore();
    }

private:
    QPainter& painter_;
    const QPalette& palette_;
    bool highlighted_;
};

struct ComboImpl;

class OwnerCombo : public QComboBox {
public:
    explicit OwnerCombo(QWidget* parent) : QComboBox(parent) {}
    ComboImpl* impl = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class OwnerDelegate : public QStyledItemDelegate {
public:
    OwnerDelegate(ComboImpl* impl, QObject* owner) : QStyledItemDelegate(owner), impl_(impl) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    ComboImpl* impl_;
};

struct ComboImpl : Control::Impl {
    QPointer<OwnerCombo> combo;
    std::vector<std::string> texts;
    bool ownerDraw = false;
    int itemHeight = 0;
    int dropDownHeight = 0;
    int quiet = 0; // changes made by the program report nothing

    ComboBox* Self() const { return static_cast<ComboBox*>(self); }

    int DefaultItemHeight() const {
        return combo ? std::max(16, combo->fontMetrics().height() + 3) : 16;
    }
    int ItemHeight() const { return itemHeight > 0 ? itemHeight : DefaultItemHeight(); }

    void Draw(QPainter& painter, const QPalette& palette, const DrawItemInfo& info, bool highlighted) {
        ComboBox* owner = Self();
        if (!alive || !owner->OnDrawItem)
            return;
        PainterCanvas canvas(painter, palette, highlighted);
        Dispatch d;
        owner->OnDrawItem(canvas, info);
    }

    void ApplyDropDownHeight() {
        if (combo && dropDownHeight > 0)
            combo->setMaxVisibleItems(std::max(1, dropDownHeight / ItemHeight()));
    }
};

ComboImpl* C(const Control* c) { return static_cast<ComboImpl*>(c->impl()); }

void OwnerCombo::paintEvent(QPaintEvent* event) {
    if (!impl || !impl->ownerDraw) {
        QComboBox::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0)
        return;
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    DrawItemInfo info;
    info.index = currentIndex();
    info.rect = ToRect(field);
    info.comboEdit = true;
    info.selected = hasFocus();
    info.focused = hasFocus();
    painter.setClipRect(field);
    impl->Draw(painter, palette(), info, false);
}

void OwnerCombo::keyPressEvent(QKeyEvent* event) {
    // A typed character selects the next item whose text starts with it.
    const QString text = event->text();
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (impl && plain && text.size() == 1 && text.at(0).isPrint() && count() > 0) {
        const QChar wanted = text.at(0).toLower();
        const int start = currentIndex();
        for (int step = 1; step <= count(); ++step) {
            const int i = (start + step + count()) % count();
            const QString item = itemText(i);
            if (!item.isEmpty() && item.at(0).toLower() == wanted) {
                if (i != start)
                    setCurrentIndex(i);
                break;
            }
        }
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void OwnerDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    DrawItemInfo info;
    info.index = index.row();
    info.rect = ToRect(option.rect);
    info.selected = (option.state & QStyle::State_Selected) != 0;
    info.focused = (option.state & QStyle::State_HasFocus) != 0;
    impl_->Draw(*painter, option.palette, info, info.selected);
}

QSize OwnerDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), impl_->ItemHeight());
}

} // namespace

ComboBox::ComboBox(Container& parent) : Control(&parent) {
    auto im = std::make_unique<ComboImpl>();
    im->combo = new OwnerCombo(parent.impl() ? parent.impl()->client.data() : nullptr);
    im->combo->setEditable(false);
    // A list that drops below the box and keeps its height, as the platform's does
    // (the style's menu-like pop-up would cover the whole screen with a long list).
    im->combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    im->combo->impl = im.get();
    im->widget = im->combo;
    ComboImpl* raw = im.get();
    Attach(std::move(im));
    QObject::connect(raw->combo, &QComboBox::currentIndexChanged, impl()->guard.get(), [this, raw](int) {
        if (raw->quiet || !OnChange)
            return;
        Dispatch d;
        OnChange();
    });
}

int ComboBox::AddItem(const std::string& text) {
    ComboImpl* im = C(this);
    im->texts.push_back(text);
    if (im->combo) {
        ++im->quiet;
        im->combo->addItem(qt::ToQ(text)); // the first item becomes the selection
        --im->quiet;
    }
    return static_cast<int>(im->texts.size()) - 1;
}

void ComboBox::ClearItems() {
    ComboImpl* im = C(this);
    im->texts.clear();
    if (im->combo) {
        ++im->quiet;
        im->combo->clear();
        --im->quiet;
    }
}

int ComboBox::Count() const { return static_cast<int>(C(this)->texts.size()); }

std::string ComboBox::ItemText(int index) const {
    const auto& texts = C(this)->texts;
    return index >= 0 && index < static_cast<int>(texts.size()) ? texts[static_cast<size_t>(index)] : std::string();
}

void ComboBox::SetItemText(int index, const std::string& text) {
    ComboImpl* im = C(this);
    if (index < 0 || index >= static_cast<int>(im->texts.size()))
        return;
    im->texts[static_cast<size_t>(index)] = text;
    if (im->combo)
        im->combo->setItemText(index, qt::ToQ(text));
}

void ComboBox::SetItemIndex(int index) {
    ComboImpl* im = C(this);
    if (!im->combo || index < -1 || index >= Count())
        return;
    ++im->quiet;
    im->combo->setCurrentIndex(index);
    --im->quiet;
}

int ComboBox::ItemIndex() const { return C(this)->combo ? C(this)->combo->currentIndex() : -1; }

void ComboBox::SetOwnerDraw(bool ownerDraw, int itemHeight) {
    ComboImpl* im = C(this);
    im->ownerDraw = ownerDraw;
    im->itemHeight = std::max(0, itemHeight);
    if (!im->combo)
        return;
    // The box does not own its delegate; the delegate goes with the box.
    if (ownerDraw && !dynamic_cast<OwnerDelegate*>(im->combo->itemDelegate()))
        im->combo->setItemDelegate(new OwnerDelegate(im, im->combo));
    im->ApplyDropDownHeight();
    im->combo->update();
}

int ComboBox::ItemHeight() const { return C(this)->ItemHeight(); }

void ComboBox::SetDropDownHeight(int height) {
    ComboImpl* im = C(this);
    im->dropDownHeight = height;
    im->ApplyDropDownHeight();
}

void ComboBox::SelectByUser(int index) {
    ComboImpl* im = C(this);
    if (!im->combo || index < -1 || index >= Count())
        return;
    ++im->quiet;
    im->combo->setCurrentIndex(index);
    --im->quiet;
    if (OnChange) {
        Dispatch d;
        OnChange();
    }
}

} // namespace toolkit
