#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include <xcb/xcb.h>

#include "toolkit/ansi_text.h"
#include "toolkit/qt/platform_services.h"
#include "toolkit/types.h"

namespace toolkit {

namespace {

int MouseMessageFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger: return WM_LBUTTONUP;
    case QSystemTrayIcon::Context: return WM_RBUTTONUP;
    case QSystemTrayIcon::DoubleClick: return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::MiddleClick: return WM_MBUTTONUP;
    default: return 0;
    }
}

// The windows Qt docks into an X11 notification area (XEmbed).
std::set<QWidget*> DockedIconWindows() {
    std::set<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("QSystemTrayIconSys"))
            windows.insert(widget);
    return windows;
}

// An icon docked into an X11 notification area hears its buttons from the
// X events of its own window: Qt reports a click when the button goes down,
// and not at all while a modal dialog blocks the program's windows (the
// icon is then the only way back to a program minimised with its dialog).
class X11IconClicks : public QAbstractNativeEventFilter {
public:
    std::function<void(std::uint32_t window, int mouseMessage)> onMouse;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || !onMouse)
            return false;
        const auto* bytes = static_cast<const std::uint8_t*>(message);
        const int kind = bytes[0] & 0x7f;
        bool up = false;
        std::uint32_t button = 0, window = 0;
        if (kind == XCB_BUTTON_PRESS || kind == XCB_BUTTON_RELEASE) {
            const auto* event = static_cast<const xcb_button_press_event_t*>(message);
            up = kind == XCB_BUTTON_RELEASE;
            button = event->detail;
            window = event->event;
        } else if (kind == XCB_GE_GENERIC && bytes[1] == InputExtension()) {
            // Qt takes the pointer through the X Input extension 2: its
            // ButtonPress (4) and ButtonRelease (5) carry the button at
            // byte 16 and the event window at byte 24.
            const auto* event = static_cast<const xcb_ge_generic_event_t*>(message);
            if (event->event_type != 4 && event->event_type != 5)
                return false;
            up = event->event_type == 5;
            std::memcpy(&button, bytes + 16, 4);
            std::memcpy(&window, bytes + 24, 4);
        } else {
            return false;
        }
        int mouseMessage = 0;
        switch (button) {
        case 1: mouseMessage = up ? WM_LBUTTONUP : WM_LBUTTONDOWN; break;
        case 2: mouseMessage = up ? WM_MBUTTONUP : 0; break;
        case 3: mouseMessage = up ? WM_RBUTTONUP : WM_RBUTTONDOWN; break;
        default: break;
        }
        if (mouseMessage != 0)
            onMouse(window, mouseMessage);
        return false; // Qt goes on with the event as usual
    }

private:
    // The major opcode of the X Input extension on Qt's connection (0: none).
    static int InputExtension() {
        static const int opcode = [] {
            auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
            xcb_connection_t* c = x11 ? x11->connection() : nullptr;
            if (!c)
                return 0;
            const char name[] = "XInputExtension";
            xcb_query_extension_reply_t* reply =
                xcb_query_extension_reply(c, xcb_query_extension(c, sizeof name - 1, name), nullptr);
            const int major = reply && reply->present ? reply->major_opcode : 0;
            std::free(reply);
            return major;
        }();
        return opcode;
    }
};

class QtTrayIcon : public TrayIcon {
public:
    QtTrayIcon() {
        clicks_.onMouse = [this](std::uint32_t window, int mouseMessage) {
            for (auto& [id, docked] : docked_)
                if (docked && docked->internalWinId() == window)
                    Report(mouseMessage);
        };
        if (qApp)
            qApp->installNativeEventFilter(&clicks_);
    }
    ~QtTrayIcon() override {
        if (qApp)
            qApp->removeNativeEventFilter(&clicks_);
        for (auto& [id, icon] : icons_)
            delete icon;
    }

    bool Add(const TrayIconData& data) override {
        if (icons_.count(data.id) != 0 || !qApp)
            return false; // never a second icon for the same id
        auto* icon = new QSystemTrayIcon;
        QPixmap pixmap;
        if (data.icon)
            pixmap.loadFromData(data.icon.data, static_cast<uint>(data.icon.size), "PNG");
        icon->setIcon(QIcon(pixmap));
        icon->setToolTip(QString::fromStdString(AnsiToUtf8(data.tip, CurrentCodePage())));
        const int id = data.id;
        QObject::connect(icon, &QSystemTrayIcon::activated, icon, [this, id](QSystemTrayIcon::ActivationReason reason) {
            // A docked icon's buttons come from its window's events instead.
            if (docked_.count(id) == 0)
                Report(MouseMessageFor(reason));
        });
        const std::set<QWidget*> before = DockedIconWindows();
        icon->show();
        for (QWidget* window : DockedIconWindows())
            if (before.count(window) == 0)
                docked_[id] = window;
        icons_[id] = icon;
        return Available();
    }

    bool Delete(int id) override {
        auto it = icons_.find(id);
        if (it == icons_.end())
            return false;
        docked_.erase(id);
        it->second->hide();
        // Qt may still be delivering an event to it.
        it->second->deleteLater();
        icons_.erase(it);
        return true;
    }

    int IconCount() const override { return static_cast<int>(icons_.size()); }

    bool Available() const override { return qApp && QSystemTrayIcon::isSystemTrayAvailable(); }

private:
    // Reported once the event that brought it is over: the program's answer
    // may delete the icon whose window the event is still being delivered to.
    void Report(int mouseMessage) {
        if (mouseMessage == 0 || !qApp)
            return;
        QMetaObject::invokeMethod(
            qApp,
            [this, mouseMessage, alive = std::weak_ptr<bool>(alive_)] {
                if (!alive.expired() && OnMouse)
                    OnMouse(mouseMessage);
            },
            Qt::QueuedConnection);
    }

    std::map<int, QSystemTrayIcon*> icons_;
    std::map<int, QPointer<QWidget>> docked_;
    X11IconClicks clicks_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace

std::unique_ptr<TrayIcon> MakeQtTrayIcon() { return std::make_unique<QtTrayIcon>(); }

} // namespace toolkit
