#include <QApplication>
#include <QEvent>
#include <QPalette>

#include <algorithm>

#include "toolkit/layout.h"
#include "toolkit/qt/backend.h"

namespace toolkit {

Control::Impl::~Impl() = default;

void Control::Impl::SetGeometry(int left, int top, int width, int height) {
    if (widget)
        widget->setGeometry(left, top, std::max(0, width), std::max(0, height));
}

Rect Control::Impl::Geometry() const {
    if (!widget)
        return {};
    const QRect r = widget->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

void Control::Impl::ClientGeometryChanged() {
    if (!container || !client || !alive)
        return;
    const QSize size = client->size();
    if (size == lastClientSize)
        return;
    lastClientSize = size;
    auto* self_ = static_cast<Container*>(self);
    self_->Realign();
    if (self_->OnResize) {
        Dispatch d;
        self_->OnResize();
    }
}

void Control::Impl::Register(QWidget* w) { qt::RegisterWidget(w, self); }

Control::Control(Container* parent) : parent_(parent) { JoinParent(); }

Control::~Control() {
    Impl* im = impl_.get();
    if (im)
        im->alive = false;
    LeaveParent();
    qt::UnregisterControl(this);
    if (im) {
        im->guard.reset();
        QWidget* w = im->widget;
        im->widget = nullptr;
        qt::DisposeWidget(w);
    }
    impl_.reset();
}

void Control::Attach(std::unique_ptr<Impl> impl) {
    impl_ = std::move(impl);
    Impl* im = impl_.get();
    im->self = this;
    if (!im->keyWidget)
        im->keyWidget = im->widget;
    im->Register(im->widget);
    im->Register(im->keyWidget);
    if (im->client)
        im->Register(im->client);

    auto* filter = new qt::FilterObject([im](QObject* watched, QEvent* event) {
        if (!im->alive)
            return false;
        if (event->type() == QEvent::FocusIn && watched == im->keyWidget.data()) {
            qt::NoteFocus(im->self->TopWindow());
        } else if (event->type() == QEvent::Resize && watched == im->client.data()) {
            im->ClientGeometryChanged();
        }
        return false;
    });
    im->guard.reset(filter);
    if (im->keyWidget)
        im->keyWidget->installEventFilter(filter);
    if (im->container && im->client)
        im->client->installEventFilter(filter);
    // Child controls are visible from their creation, as child windows are.
    if (!im->IsWindow() && im->widget)
        im->widget->show();
}

void Control::SetBounds(int left, int top, int width, int height) {
    if (!impl_)
        return;
    impl_->SetGeometry(left, top, width, height);
    impl_->ClientGeometryChanged();
    if (impl_->align != Align::None && parent_)
        parent_->Realign();
}

Rect Control::Bounds() const { return impl_ ? impl_->Geometry() : Rect{}; }

void Control::SetAlign(Align align) {
    if (!impl_)
        return;
    impl_->align = align;
    if (parent_)
        parent_->Realign();
}

Align Control::GetAlign() const { return impl_ ? impl_->align : Align::None; }

void Control::SetVisible(bool visible) {
    if (!impl_ || !impl_->widget)
        return;
    if (impl_->IsWindow()) {
        auto* window = static_cast<Window*>(this);
        visible ? window->Show() : window->Hide();
        return;
    }
    impl_->widget->setVisible(visible);
    if (impl_->align != Align::None && parent_)
        parent_->Realign();
}

bool Control::IsVisible() const {
    if (!impl_ || !impl_->widget)
        return false;
    if (impl_->IsWindow())
        return impl_->widget->isVisible();
    return !impl_->widget->isHidden();
}

void Control::SetEnabled(bool enabled) {
    if (impl_ && impl_->widget)
        impl_->widget->setEnabled(enabled);
}

bool Control::IsEnabled() const {
    return impl_ && impl_->widget && !impl_->widget->testAttribute(Qt::WA_ForceDisabled);
}

void Control::SetFocus() {
    if (!impl_ || !impl_->keyWidget)
        return;
    if (impl_->IsWindow()) {
        impl_->widget->activateWindow();
        return;
    }
    impl_->keyWidget->setFocus(Qt::OtherFocusReason);
    qt::NoteFocus(TopWindow());
}

bool Control::HasFocus() const {
    if (!impl_ || !impl_->keyWidget)
        return false;
    if (impl_->IsWindow())
        return impl_->widget->isActiveWindow();
    QWidget* focus = impl_->keyWidget->window()->focusWidget();
    return focus && (focus == impl_->keyWidget || impl_->keyWidget->isAncestorOf(focus));
}

void Control::SetBold(bool bold) {
    if (!impl_ || !impl_->widget)
        return;
    // Only the weight is the control's own; family and size follow the window.
    QFont font;
    font.setBold(bold);
    impl_->widget->setFont(font);
}

bool Control::IsBold() const { return impl_ && impl_->widget && impl_->widget->font().bold(); }

namespace {

void Paint(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Button})
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, role, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

void Control::SetWindowColor() {
    if (impl_ && impl_->widget)
        Paint(impl_->widget, QApplication::palette().color(QPalette::Active, QPalette::Base));
}

void Control::SetBackground(Color color) {
    if (impl_ && impl_->widget)
        Paint(impl_->widget, QColor(color.r, color.g, color.b));
}

void Control::SetHandCursor() {
    if (impl_ && impl_->widget)
        impl_->widget->setCursor(Qt::PointingHandCursor);
}

// --- Container ---

void Container::SetAlignMargin(int margin) {
    if (!impl())
        return;
    impl()->alignMargin = margin;
    Realign();
}

int Container::ClientWidth() const { return impl() && impl()->client ? impl()->client->width() : 0; }
int Container::ClientHeight() const { return impl() && impl()->client ? impl()->client->height() : 0; }

void Container::Realign() {
    Impl* im = impl();
    if (!im || !im->client || !im->alive)
        return;
    std::vector<AlignedChild> children;
    children.reserve(children_.size());
    for (Control* child : children_) {
        Impl* cim = child->impl();
        children.push_back({cim ? cim->align : Align::None, cim ? cim->Geometry() : Rect{},
                            cim && child->IsVisible()});
    }
    const std::vector<Rect> placed =
        LayOutAligned(children, im->client->width(), im->client->height(), im->alignMargin);
    // Placed in the same order as laid out, so that each child's own children
    // follow its new size at once.
    for (Align pass : {Align::Top, Align::Bottom, Align::Left, Align::Right, Align::Client})
        for (std::size_t i = 0; i < children_.size(); ++i) {
            if (children[i].align != pass || !children[i].visible)
                continue;
            Impl* cim = children_[i]->impl();
            const Rect& r = placed[i];
            cim->SetGeometry(r.left, r.top, r.width, r.height);
            cim->ClientGeometryChanged();
        }
}

} // namespace toolkit
