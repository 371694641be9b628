// Keyboard and dropped files, as the program's windows take them: the
// window's shortcuts first, then the focused control's handlers, then the
// window's Enter and Escape rules, then the widget itself.
#include <QApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

#include "toolkit/ansi_text.h"
#include "toolkit/qt/backend.h"
#include "toolkit/qt/router.h"

namespace toolkit {
namespace qt {

namespace {

QWidget* g_target = nullptr;

// A key event the focus widget ignores travels on to its parents; it is the
// program's only once, where it first arrives.
bool FirstReceiver(QWidget* receiver) {
    if (g_target)
        return receiver == g_target;
    QWidget* focus = receiver->window()->focusWidget();
    if (focus)
        return receiver == focus;
    return receiver->isWindow();
}

bool RunShortcut(Window& window, const Shortcut& shortcut) {
    const std::vector<Menu*> menus = MenusOf(window); // a handler may add or remove menus
    for (Menu* menu : menus)
        if (menu->impl() && menu->impl()->RunShortcut(shortcut))
            return true;
    return false;
}

bool HasShortcut(const Window& window, const Shortcut& shortcut) {
    for (Menu* menu : MenusOf(window))
        for (const Menu::Impl::Entry& entry : menu->impl()->entries)
            if (entry.shortcut == shortcut)
                return true;
    return false;
}

bool KeyPress(QWidget* receiver, QKeyEvent* event) {
    Window* window = WindowOfFrame(receiver->window());
    const int vk = VkFromQtKey(event->key(), event->modifiers());
    const unsigned mods = ModsFromQt(event->modifiers());
    if (window && vk && RunShortcut(*window, Shortcut{vk, mods}))
        return true;

    Control* control = ControlOf(receiver);
    bool taken = false;
    if (control && vk && control->OnKeyDown) {
        Dispatch d;
        taken = control->OnKeyDown(vk, mods);
        if (!IsLive(control))
            return true;
    }
    if (!taken && control && window && (vk == VK_RETURN || vk == VK_ESCAPE) &&
        WindowDialogKey(*window, receiver, vk, mods))
        return true;

    const QString text = event->text();
    if (control && !text.isEmpty() && !(mods & ModAlt)) {
        // A character the code page cannot hold is none of the program's: an
        // edit box refuses it with its notice, and it would only arrive as "?".
        const int codePage = CurrentCodePage();
        for (char ch : Utf8ToAnsi(SplitByCodePage(text.toStdString(), codePage).held, codePage)) {
            if (control->OnChar) {
                Dispatch d;
                if (control->OnChar(ch))
                    taken = true;
                if (!IsLive(control))
                    return true;
            }
            // A number box refuses what is typed, not what is pasted.
            const auto byte = static_cast<unsigned char>(ch);
            if (control->impl() && control->impl()->NumbersOnly() && byte >= 0x20 && byte != 0x7F &&
                !(ch >= '0' && ch <= '9'))
                taken = true;
        }
    }
    return taken;
}

bool KeyRelease(QWidget* receiver, QKeyEvent* event) {
    if (event->isAutoRepeat())
        return false;
    Control* control = ControlOf(receiver);
    const int vk = VkFromQtKey(event->key(), event->modifiers());
    if (!control || !vk || !control->OnKeyUp)
        return false;
    Dispatch d;
    return control->OnKeyUp(vk, ModsFromQt(event->modifiers()));
}

std::string DroppedFiles(const QMimeData* mime) {
    std::string names;
    if (!mime || !mime->hasUrls())
        return names;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        if (!names.empty())
            names += '\r';
        names += PathFromQ(url.toLocalFile());
    }
    return names;
}

bool Drop(QWidget* receiver, QEvent* event) {
    Window* window = WindowOfFrame(receiver->window());
    if (!window || !WindowAcceptsFiles(*window))
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const std::string names = DroppedFiles(drop->mimeData());
    if (names.empty())
        return false;
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop && window->OnDropFiles) {
        Dispatch d;
        window->OnDropFiles(names);
    }
    return true;
}

class Router : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // The window's own shortcuts win over what a widget would make of the key.
            if (!FirstReceiver(widget))
                return false;
            auto* key = static_cast<QKeyEvent*>(event);
            Window* window = WindowOfFrame(widget->window());
            const int vk = VkFromQtKey(key->key(), key->modifiers());
            if (window && vk && HasShortcut(*window, Shortcut{vk, ModsFromQt(key->modifiers())})) {
                event->accept();
                return true;
            }
            return false;
        }
        case QEvent::KeyPress:
            return FirstReceiver(widget) && KeyPress(widget, static_cast<QKeyEvent*>(event));
        case QEvent::KeyRelease:
            return FirstReceiver(widget) && KeyRelease(widget, static_cast<QKeyEvent*>(event));
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return Drop(widget, event);
        default:
            return false;
        }
    }
};

Router* g_router = nullptr;

} // namespace

void InstallKeyRouter() {
    if (g_router)
        return;
    g_router = new Router;
    QApplication::instance()->installEventFilter(g_router);
}

void RemoveKeyRouter() {
    delete g_router;
    g_router = nullptr;
}

TargetScope::TargetScope(QWidget* target) : previous_(g_target) { g_target = target; }
TargetScope::~TargetScope() { g_target = previous_; }

} // namespace qt
} // namespace toolkit
