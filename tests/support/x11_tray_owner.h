// A stand-in notification area for tests on a private X server: owns the
// system tray selection of screen 0, as a desktop panel does, notes the
// icons that ask to be docked and can embed one so that it can be clicked.
#pragma once

#include <vector>

#include <X11/Xlib.h>

namespace tallykey::test {

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
