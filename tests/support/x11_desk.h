// The desktop around the program on a private X server, each part through an
// X connection of its own: what a taskbar sees and asks (Desk) and a panel's
// notification area (TrayOwner). Include after every Qt and toolkit header
// (Xlib's macros clash with their names).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include <unistd.h>

#include <X11/Xlib.h>

namespace tallykey::test {

class Desk {
public:
    // ICCCM's WM_STATE values.
    static constexpr unsigned long kWithdrawn = 0, kNormal = 1, kIconic = 3;

    explicit Desk(const char* display = nullptr) : dpy_(XOpenDisplay(display)) {}
    ~Desk() {
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    bool Open() const { return dpy_ != nullptr; }

    // A window manager has taken the screen (it owns the WM_Sn selection) and
    // has set itself up to manage windows (it keeps the list of the windows it
    // manages, empty at first); waits a while for one that is starting.
    bool WindowManagerRuns() {
        const Atom selection = Intern(("WM_S" + std::to_string(DefaultScreen(dpy_))).c_str());
        auto ready = [&] {
            return XGetSelectionOwner(dpy_, selection) != None && Present(DefaultRootWindow(dpy_), "_NET_CLIENT_LIST");
        };
        for (int i = 0; i < 3000 && !ready(); ++i)
            ::usleep(10000);
        return ready();
    }

    // The 32-bit values of a property of `w` (empty when it is not set).
    std::vector<unsigned long> Prop(unsigned long w, const char* name) {
        Atom type;
        int format;
        unsigned long count, rest;
        unsigned char* data = nullptr;
        std::vector<unsigned long> values;
        if (XGetWindowProperty(dpy_, w, Intern(name), 0, 64, False, AnyPropertyType, &type, &format, &count, &rest,
                               &data) == Success &&
            data && format == 32)
            values.assign(reinterpret_cast<unsigned long*>(data), reinterpret_cast<unsigned long*>(data) + count);
        if (data)
            XFree(data);
        return values;
    }
    // The property is set on `w`, even if empty.
    bool Present(unsigned long w, const char* name) {
        Atom type = None;
        int format;
        unsigned long count, rest;
        unsigned char* data = nullptr;
        XGetWindowProperty(dpy_, w, Intern(name), 0, 0, False, AnyPropertyType, &type, &format, &count, &rest, &data);
        if (data)
            XFree(data);
        return type != None;
    }
    bool Has(unsigned long w, const char* name, const char* atom) {
        const auto v = Prop(w, name);
        return std::find(v.begin(), v.end(), Intern(atom)) != v.end();
    }
    // The managed window with this exact title, or 0.
    unsigned long Find(const std::string& title) {
        for (unsigned long w : Prop(DefaultRootWindow(dpy_), "_NET_CLIENT_LIST")) {
            char* name = nullptr;
            const bool match = XFetchName(dpy_, w, &name) && name && title == name;
            if (name)
                XFree(name);
            if (match)
                return w;
        }
        return 0;
    }
    unsigned long State(unsigned long w) {
        const auto v = Prop(w, "WM_STATE");
        return v.empty() ? kWithdrawn : v[0];
    }
    bool Active(unsigned long w) {
        return Prop(DefaultRootWindow(dpy_), "_NET_ACTIVE_WINDOW") == std::vector<unsigned long>{w};
    }
    // `top` is stacked above `below`.
    bool OnTop(unsigned long top, unsigned long below) {
        const auto v = Prop(DefaultRootWindow(dpy_), "_NET_CLIENT_LIST_STACKING");
        const auto t = std::find(v.begin(), v.end(), top), b = std::find(v.begin(), v.end(), below);
        return t != v.end() && b != v.end() && t > b;
    }
    // A taskbar's minimise (ICCCM WM_CHANGE_STATE) and activation (EWMH).
    // The server has passed the minimise on to the window manager when this
    // returns: a request the program makes afterwards reaches it later.
    void Iconify(unsigned long w) {
        XIconifyWindow(dpy_, w, DefaultScreen(dpy_));
        XSync(dpy_, False);
    }
    void Activate(unsigned long w) { Message(w, "_NET_ACTIVE_WINDOW", 2); }
    void Close(unsigned long w) { Message(w, "_NET_CLOSE_WINDOW", 0, 2); }

private:
    Atom Intern(const char* name) { return XInternAtom(dpy_, name, False); }
    void Message(unsigned long w, const char* type, long a0, long a1 = 0) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = Intern(type);
        e.xclient.format = 32;
        e.xclient.data.l[0] = a0;
        e.xclient.data.l[1] = a1;
        XSendEvent(dpy_, DefaultRootWindow(dpy_), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
        XFlush(dpy_);
    }

    Display* dpy_;
};

// A stand-in notification area for tests on a private X server: owns the
// system tray selection of screen 0, as a desktop panel does, notes the
// icons that ask to be docked and can embed one so that it can be clicked.
class TrayOwner {
public:
    explicit TrayOwner(const char* display) {
        dpy_ = XOpenDisplay(display);
        if (!dpy_)
            return;
        Window root = DefaultRootWindow(dpy_);
        window_ = XCreateSimpleWindow(dpy_, root, 0, 0, 64, 32, 0, 0, 0);
        // A panel stays where it is: no window manager frames or moves it
        // (an icon moved under a click would miss it).
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        XChangeWindowAttributes(dpy_, window_, CWOverrideRedirect, &attributes);
        Atom selection = XInternAtom(dpy_, "_NET_SYSTEM_TRAY_S0", False);
        XSetSelectionOwner(dpy_, selection, window_, CurrentTime);
        // Clients learn of a new tray from this message on the root window.
        XClientMessageEvent manager{};
        manager.type = ClientMessage;
        manager.window = root;
        manager.message_type = XInternAtom(dpy_, "MANAGER", False);
        manager.format = 32;
        manager.data.l[0] = CurrentTime;
        manager.data.l[1] = static_cast<long>(selection);
        manager.data.l[2] = static_cast<long>(window_);
        XSendEvent(dpy_, root, False, StructureNotifyMask, reinterpret_cast<XEvent*>(&manager));
        XSync(dpy_, False);
    }
    ~TrayOwner() {
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    TrayOwner(const TrayOwner&) = delete;
    TrayOwner& operator=(const TrayOwner&) = delete;

    bool Open() const { return dpy_ != nullptr; }

    // The icon windows that asked to be docked so far.
    const std::vector<unsigned long>& DockRequests() {
        Atom opcode = XInternAtom(dpy_, "_NET_SYSTEM_TRAY_OPCODE", False);
        while (XPending(dpy_)) {
            XEvent event;
            XNextEvent(dpy_, &event);
            // Opcode 0 is SYSTEM_TRAY_REQUEST_DOCK, the icon's window in l[2].
            if (event.type == ClientMessage && event.xclient.message_type == opcode && event.xclient.data.l[1] == 0)
                requests_.push_back(static_cast<unsigned long>(event.xclient.data.l[2]));
        }
        return requests_;
    }

    // Puts the icon into the tray's window and shows both, as a panel does.
    void Embed(unsigned long icon) {
        XMapRaised(dpy_, window_);
        XReparentWindow(dpy_, icon, window_, 0, 0);
        XResizeWindow(dpy_, icon, 22, 22);
        XMapRaised(dpy_, icon);
        XSync(dpy_, False);
    }

private:
    Display* dpy_ = nullptr;
    Window window_ = 0;
    std::vector<unsigned long> requests_;
};

} // namespace tallykey::test
