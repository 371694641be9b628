#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QIcon>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <map>
#include <optional>

#include "toolkit/native.h"
#include "toolkit/qt/backend.h"
#include "toolkit/qt/x11_window_state.h"

namespace toolkit {

namespace {

struct ModalState {
    QEventLoop loop;
    int result = ResultNone;
    bool ended = false;
    bool destroyed = false;
};

class FrameWidget;

struct WindowImpl : Control::Impl {
    WindowStyle style = WindowStyle::Main;
    Window* owner = nullptr;
    FrameWidget* frame = nullptr;
    Menu* menu = nullptr;
    std::vector<Menu*> menus;
    Button* defaultButton = nullptr;
    Button* cancelButton = nullptr;
    const Control* lastFocus = nullptr;
    bool acceptFiles = false;
    bool centerPending = false;
    bool programMinimize = false;
    // Placed before the window manager had framed the window: the outer size
    // to reach, or a centring to redo, once the frame is known.
    std::optional<QSize> outerSizePending;
    bool recenterWhenFramed = false;
    std::string caption;
    ModalState* modal = nullptr;
    int modalResult = ResultNone;

    bool IsWindow() const override { return true; }
    void SetGeometry(int left, int top, int width, int height) override;
    Rect Geometry() const override;

    Window* Self() const { return static_cast<Window*>(self); }
    int MenuBarHeight() const;
    void Layout();
    void Center();
    bool Framed() const;
    void FrameBecameKnown();
};

class FrameWidget : public QWidget {
public:
    FrameWidget(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {}
    WindowImpl* impl = nullptr;
    void FocusFirst() { focusNextPrevChild(true); }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (impl)
            impl->Layout();
    }

    // The window manager's frame shows up as a move of the client area.
    void moveEvent(QMoveEvent* event) override {
        QWidget::moveEvent(event);
        if (impl && impl->Framed())
            impl->FrameBecameKnown();
    }

    void closeEvent(QCloseEvent* event) override {
        if (!impl) {
            event->accept();
            return;
        }
        Window* window = impl->Self();
        bool accept = true;
        if (window->OnCloseQuery) {
            Dispatch d;
            accept = window->OnCloseQuery();
        }
        if (!impl) { // destroyed by its own handler
            event->accept();
            return;
        }
        if (!accept) {
            event->ignore();
            return;
        }
        event->accept();
        if (impl->modal) {
            if (impl->modalResult == ResultNone)
                impl->modalResult = ResultClosed;
            window->EndModal(impl->modalResult);
        }
        qt::WindowClosed(window);
    }

    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (!impl || event->type() != QEvent::WindowStateChange)
            return;
        const auto old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        const bool was = (old & Qt::WindowMinimized) != 0;
        const bool now = isMinimized();
        if (impl->programMinimize)
            return;
        if (now && !was)
            qt::WindowMinimizedByUser(impl->Self());
        else if (!now && was)
            qt::WindowRestoredByUser(impl->Self());
    }

    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        if (!impl || event->spontaneous())
            return;
        if (impl->centerPending)
            impl->Center();
        Window* window = impl->Self();
        if (window->OnShow) {
            Dispatch d;
            window->OnShow();
        }
    }
};

WindowImpl* W(const Window* window) { return static_cast<WindowImpl*>(window->impl()); }

// The height of a one-line menu bar in `font`, measured once per font.
static int TextMenuBarHeight(const QFont& font) {
    static std::map<QString, int> heights;
    auto it = heights.find(font.key());
    if (it == heights.end()) {
        QMenuBar probe;
        probe.setFont(font);
        probe.addAction(QStringLiteral("X"));
        it = heights.emplace(font.key(), probe.sizeHint().height()).first;
    }
    return it->second;
}

int WindowImpl::MenuBarHeight() const {
    QMenuBar* bar = qt::MenuBarOf(menu);
    if (!bar || !frame)
        return 0;
    const int h = bar->heightForWidth(std::max(1, frame->width()));
    // Items whose texts are all empty (a language file without menu texts)
    // keep the bar at the height of a line of text, within reach of the mouse.
    return std::max(h > 0 ? h : bar->sizeHint().height(), TextMenuBarHeight(bar->font()));
}

void WindowImpl::Layout() {
    if (!frame || !client)
        return;
    const int mh = MenuBarHeight();
    if (mh > 0)
        qt::MenuBarOf(menu)->setGeometry(0, 0, frame->width(), mh);
    client->setGeometry(0, mh, frame->width(), std::max(0, frame->height() - mh));
    ClientGeometryChanged();
}

void WindowImpl::SetGeometry(int left, int top, int width, int height) {
    if (!frame)
        return;
    const QRect outer = frame->frameGeometry();
    const int dw = outer.width() - frame->width();
    const int dh = outer.height() - frame->height();
    frame->move(left, top);
    // Until the window manager has framed the window, its frame is unknown;
    // the size is corrected then, so that the outer size is the one asked for.
    // (A size equal to the present one, as settings that were never saved
    // give, keeps the client area as it is.)
    if (Framed() || frame->isVisible() || (outer.width() == width && outer.height() == height))
        outerSizePending.reset();
    else
        outerSizePending = QSize(width, height);
    if (style == WindowStyle::Dialog)
        frame->setFixedSize(std::max(0, width - dw), std::max(0, height - dh));
    else
        frame->resize(std::max(0, width - dw), std::max(0, height - dh));
    centerPending = false;
    recenterWhenFramed = false;
    Layout();
}

Rect WindowImpl::Geometry() const {
    if (!frame)
        return {};
    const QRect r = frame->frameGeometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

int FloorHalf(int value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

void WindowImpl::Center() {
    if (!frame)
        return;
    QScreen* screen = frame->screen() ? frame->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 0, 0);
    const QRect outer = frame->frameGeometry();
    frame->move(area.x() + FloorHalf(area.width() - outer.width()),
                area.y() + FloorHalf(area.height() - outer.height()));
    recenterWhenFramed = !Framed();
}

bool WindowImpl::Framed() const { return frame && frame->frameGeometry().size() != frame->size(); }

void WindowImpl::FrameBecameKnown() {
    if (outerSizePending) {
        const QSize outer = *outerSizePending;
        outerSizePending.reset();
        const QRect framed = frame->frameGeometry();
        const QSize client(std::max(0, outer.width() - (framed.width() - frame->width())),
                           std::max(0, outer.height() - (framed.height() - frame->height())));
        if (style == WindowStyle::Dialog)
            frame->setFixedSize(client);
        else
            frame->resize(client);
    }
    if (recenterWhenFramed) {
        recenterWhenFramed = false;
        Center();
    }
}

} // namespace

namespace qt {

void RestoreTopLevel(QWidget* frame) {
    if (!frame || !frame->isWindow())
        return;
    const bool iconic = frame->isVisible() && x11::StateOf(frame) == x11::WmState::Iconic;
    if (frame->isMinimized())
        frame->setWindowState(frame->windowState() & ~Qt::WindowMinimized); // Qt maps it again
    else if (iconic)
        x11::RequestNormal(frame); // minimised by the window manager; Qt has not read it yet
    else
        return;
    // Done once the window manager says so: a minimise that follows cannot
    // overtake this restore.
    if (frame->isVisible())
        x11::WaitFor(frame, x11::WmState::Normal);
}

void RestoreDialogs() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowType() != Qt::Dialog || !widget->isVisible())
            continue;
        if (Window* window = WindowOfFrame(widget))
            window->Restore();
        else
            RestoreTopLevel(widget);
    }
}

void BringModalToFront() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    modal->raise();
    modal->activateWindow();
}

void NoteFocus(Window* window) {
    if (!window || !W(window) || !W(window)->frame)
        return;
    WindowImpl* im = W(window);
    QWidget* focus = im->frame->focusWidget();
    Control* control = focus ? ControlAt(focus) : nullptr;
    if (!control || control == window || control == im->lastFocus)
        return;
    im->lastFocus = control;
    if (control->OnFocus) {
        Dispatch d;
        control->OnFocus();
    }
}

Window* WindowOfFrame(const QWidget* frame) {
    Control* c = ControlOf(frame);
    return c && c->impl() && c->impl()->IsWindow() ? static_cast<Window*>(c) : nullptr;
}

const std::vector<Menu*>& MenusOf(const Window& window) { return W(&window)->menus; }

void AddMenu(Window& window, Menu* menu) { W(&window)->menus.push_back(menu); }

void RemoveMenu(Window& window, Menu* menu) {
    WindowImpl* im = W(&window);
    if (!im)
        return;
    auto& list = im->menus;
    list.erase(std::remove(list.begin(), list.end(), menu), list.end());
    if (im->menu == menu) {
        im->menu = nullptr;
        im->Layout();
    }
}

bool WindowAcceptsFiles(const Window& window) { return W(&window) && W(&window)->acceptFiles; }

bool WindowDialogKey(Window& window, QWidget* receiver, int vk, unsigned mods) {
    WindowImpl* im = W(&window);
    if (!im || mods != ModNone)
        return false;
    Control* focused = ControlOf(receiver);
    if (vk == VK_ESCAPE) {
        if (!IsLive(im->cancelButton))
            return false;
        im->cancelButton->Click();
        return true;
    }
    if (vk != VK_RETURN || !IsLive(im->defaultButton))
        return false;
    if (focused && focused != im->defaultButton && focused->impl() && focused->impl()->TakesEnter())
        return false;
    im->defaultButton->Click();
    return true;
}

} // namespace qt

Window::Window(WindowStyle style, Window* owner) : Container(nullptr) {
    auto im = std::make_unique<WindowImpl>();
    im->style = style;
    im->owner = owner;
    im->container = true;
    Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (style == WindowStyle::Main)
        flags |= Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint;
    else
        flags |= Qt::Dialog;
    QWidget* ownerFrame = owner && owner->impl() ? owner->impl()->widget.data() : nullptr;
    auto* frame = new FrameWidget(ownerFrame, flags);
    frame->setAttribute(Qt::WA_QuitOnClose, false);
    auto* client = new QWidget(frame);
    im->frame = frame;
    im->widget = frame;
    im->client = client;
    im->keyWidget = frame;
    WindowImpl* raw = im.get();
    Attach(std::move(im));
    frame->impl = raw;
    // The native window is made when the window first shows: a position set
    // before then is that of the outer frame, as the window manager places it.
    raw->Layout();
    qt::WindowCreated(this);
}

Window::~Window() {
    WindowImpl* im = W(this);
    if (!im)
        return;
    if (im->modal) {
        im->modal->destroyed = true;
        im->modal->loop.exit();
        im->modal = nullptr;
    }
    if (im->frame)
        im->frame->impl = nullptr;
    for (Menu* menu : im->menus)
        if (menu->impl())
            menu->impl()->owner = nullptr;
    if (QMenuBar* bar = qt::MenuBarOf(im->menu))
        bar->setParent(nullptr);
    im->menus.clear();
    qt::WindowDestroyed(this);
}

void Window::SetCaption(const std::string& caption) {
    WindowImpl* im = W(this);
    im->caption = caption;
    if (im->frame)
        im->frame->setWindowTitle(qt::WindowTitle(caption));
}

std::string Window::Caption() const { return W(this)->caption; }

void Window::SetFont(const Font& font) {
    WindowImpl* im = W(this);
    if (!im->frame)
        return;
    QFont f(QString::fromLatin1(font.name ? font.name : "Tahoma"));
    f.setPixelSize(font.height == 0 ? 11 : std::abs(font.height));
    f.setBold(font.bold);
    im->frame->setFont(f);
}

void Window::SetClientSize(int width, int height) {
    WindowImpl* im = W(this);
    if (!im->frame)
        return;
    const QSize size(std::max(0, width), std::max(0, height) + im->MenuBarHeight());
    im->outerSizePending.reset();
    if (im->style == WindowStyle::Dialog)
        im->frame->setFixedSize(size);
    else
        im->frame->resize(size);
    im->Layout();
}

Rect Window::OuterRect() const { return W(this)->Geometry(); }

void Window::SetOuterLeft(int left) {
    const Rect r = OuterRect();
    W(this)->SetGeometry(left, r.top, r.width, r.height);
}

void Window::SetOuterTop(int top) {
    const Rect r = OuterRect();
    W(this)->SetGeometry(r.left, top, r.width, r.height);
}

void Window::SetOuterWidth(int width) {
    const Rect r = OuterRect();
    W(this)->SetGeometry(r.left, r.top, width, r.height);
}

void Window::SetOuterHeight(int height) {
    const Rect r = OuterRect();
    W(this)->SetGeometry(r.left, r.top, r.width, height);
}

void Window::SetPosition(int left, int top) {
    WindowImpl* im = W(this);
    if (!im->frame)
        return;
    im->frame->move(left, top);
    im->centerPending = false;
    im->recenterWhenFramed = false;
}

void Window::CenterOnScreen() {
    WindowImpl* im = W(this);
    im->Center();
    // A frame the window manager adds later changes the outer size: centre again on showing.
    im->centerPending = !IsShown();
}

void Window::SetIcon(const ResourceData& icon) {
    WindowImpl* im = W(this);
    if (!im->frame || !icon)
        return;
    QPixmap pixmap;
    if (pixmap.loadFromData(icon.data, static_cast<uint>(icon.size)))
        im->frame->setWindowIcon(QIcon(pixmap));
}

void Window::SetMenu(Menu* menu) {
    WindowImpl* im = W(this);
    if (!im->frame)
        return;
    const QSize client = im->client ? im->client->size() : QSize();
    if (QMenuBar* old = qt::MenuBarOf(im->menu)) {
        old->hide();
        old->setParent(nullptr);
    }
    im->menu = menu && menu->GetKind() == Menu::Kind::Bar ? menu : nullptr;
    if (QMenuBar* bar = qt::MenuBarOf(im->menu)) {
        bar->setParent(im->frame);
        bar->setNativeMenuBar(false);
        bar->show();
    }
    // The client area keeps its size; the frame takes the menu bar in.
    SetClientSize(client.width(), client.height());
}

void Window::AcceptDroppedFiles(bool accept) {
    WindowImpl* im = W(this);
    im->acceptFiles = accept;
    if (im->frame)
        im->frame->setAcceptDrops(accept);
    if (im->client)
        im->client->setAcceptDrops(accept);
}

void Window::Show() {
    WindowImpl* im = W(this);
    if (!im->frame)
        return;
    if (!im->frame->isVisible()) {
        if (im->style == WindowStyle::Dialog)
            qt::BelongToOwner(im->frame, im->owner);
        if (!im->frame->isMinimized())
            qt::x11::StartNormal(im->frame);
    }
    im->frame->show();
    // The first control that takes the focus has it, as in a dialog box.
    if (!im->frame->focusWidget())
        im->frame->FocusFirst();
    im->frame->activateWindow();
    qt::NoteFocus(this);
}

void Window::Hide() {
    if (W(this)->frame)
        W(this)->frame->hide();
}

bool Window::IsShown() const { return W(this)->frame && W(this)->frame->isVisible(); }

void Window::Minimize() {
    WindowImpl* im = W(this);
    if (!im->frame)
        return;
    if (im->frame->isVisible()) {
        // A window the window manager shows is minimised by asking it, and
        // Qt learns of it from the answer as of any other minimise: Qt's own
        // request sets its state ahead of the answer, and a restore before Qt
        // has read that answer would leave Qt believing the window minimised.
        // Done once the window manager says so: a restore that follows cannot
        // overtake this minimise.
        switch (qt::x11::StateOf(im->frame)) {
        case qt::x11::WmState::Normal:
            qt::x11::RequestIconic(im->frame);
            qt::x11::WaitFor(im->frame, qt::x11::WmState::Iconic);
            return;
        case qt::x11::WmState::Iconic: return;
        default: break; // no window manager, or it has yet to take the window
        }
    }
    im->programMinimize = true;
    im->frame->setWindowState(im->frame->windowState() | Qt::WindowMinimized);
    im->programMinimize = false;
}

void Window::Restore() {
    WindowImpl* im = W(this);
    if (!im->frame)
        return;
    im->programMinimize = true;
    qt::RestoreTopLevel(im->frame);
    im->programMinimize = false;
}

bool Window::IsMinimized() const { return W(this)->frame && W(this)->frame->isMinimized(); }

void Window::BringToFront() {
    WindowImpl* im = W(this);
    if (!im->frame)
        return;
    im->frame->raise();
    im->frame->activateWindow();
    // A modal dialog stays over the window it blocks.
    if (im->style == WindowStyle::Main)
        qt::BringModalToFront();
}

void Window::Close() {
    WindowImpl* im = W(this);
    if (!im->frame)
        return;
    QPointer<QWidget> frame = im->frame;
    QMetaObject::invokeMethod(
        frame, [frame] { if (frame) frame->close(); }, Qt::QueuedConnection);
}

int Window::ShowModal() {
    WindowImpl* im = W(this);
    if (!im->frame || im->modal)
        return ResultNone;
    ModalState state;
    im->modal = &state;
    im->modalResult = ResultNone;
    if (im->frame->isVisible())
        im->frame->hide();
    im->frame->setWindowModality(Qt::ApplicationModal);
    Show();
    if (state.destroyed)
        return state.result;

    if (NobodyToAnswer()) {
        // Whoever answers does so from inside the loop, as a person would.
        QTimer::singleShot(0, im->frame, [this, &state] {
            if (state.ended || state.destroyed)
                return;
            AnswerModal(*this);
            if (!state.ended && !state.destroyed)
                EndModal(ResultClosed);
        });
    }
    if (!state.ended)
        state.loop.exec(QEventLoop::DialogExec);
    if (state.destroyed)
        return state.result;
    im->modal = nullptr;
    if (im->frame) {
        im->frame->hide();
        im->frame->setWindowModality(Qt::NonModal);
    }
    return state.result;
}

void Window::EndModal(int result) {
    WindowImpl* im = W(this);
    if (result == ResultNone)
        return;
    im->modalResult = result;
    if (im->modal && !im->modal->ended) {
        im->modal->result = result;
        im->modal->ended = true;
        im->modal->loop.exit(0);
    }
}

int Window::ModalResult() const { return W(this)->modalResult; }
bool Window::IsModal() const { return W(this)->modal != nullptr; }

void Window::SetDefaultButton(Button* button) { W(this)->defaultButton = button; }
void Window::SetCancelButton(Button* button) { W(this)->cancelButton = button; }

Control* Window::FocusedControl() const {
    WindowImpl* im = W(this);
    if (!im->frame || !im->frame->focusWidget())
        return nullptr;
    Control* control = qt::ControlAt(im->frame->focusWidget());
    return control == this ? nullptr : control;
}

WindowStyle Window::Style() const { return W(this)->style; }
Window* Window::Owner() const { return W(this)->owner; }

} // namespace toolkit
