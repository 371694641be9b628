// The desktop as a taskbar sees it, through an X connection of its own: the
// window manager's state of each window, its stacking and focus, and the
// requests a taskbar sends. Include after every Qt and toolkit header (Xlib's
// macros clash with their names).
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

} // namespace tallykey::test
