#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <bitset>
#include <map>

#include "toolkit/qt/platform_services.h"
#include "toolkit/types.h"

// Xlib last: its macros (None, Bool, KeyPress, ...) clash with names above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace toolkit {

namespace {

// Errors of the grab requests arrive asynchronously; this catches those of
// the connection being checked and passes on everyone else's.
Display* g_checkedDisplay = nullptr;
bool g_requestFailed = false;
XErrorHandler g_previousHandler = nullptr;

int CatchError(Display* display, XErrorEvent* error) {
    if (display == g_checkedDisplay) {
        g_requestFailed = true;
        return 0;
    }
    return g_previousHandler ? g_previousHandler(display, error) : 0;
}

KeySym KeySymForVk(int vk) {
    if (vk >= 'A' && vk <= 'Z')
        return XK_a + (vk - 'A');
    if (vk >= '0' && vk <= '9')
        return XK_0 + (vk - '0');
    switch (vk) {
    case VK_CONTROL: return XK_Control_L;
    case VK_SHIFT: return XK_Shift_L;
    case VK_MENU: return XK_Alt_L;
    case VK_RETURN: return XK_Return;
    case VK_TAB: return XK_Tab;
    case VK_SPACE: return XK_space;
    case VK_ESCAPE: return XK_Escape;
    case VK_BACK: return XK_BackSpace;
    case VK_DELETE: return XK_Delete;
    case VK_INSERT: return XK_Insert;
    case VK_HOME: return XK_Home;
    case VK_END: return XK_End;
    case VK_LEFT: return XK_Left;
    case VK_UP: return XK_Up;
    case VK_RIGHT: return XK_Right;
    case VK_DOWN: return XK_Down;
    default: return NoSymbol;
    }
}

unsigned XModifiers(unsigned mods) {
    unsigned x = 0;
    if (mods & ModShift)
        x |= ShiftMask;
    if (mods & ModCtrl)
        x |= ControlMask;
    if (mods & ModAlt)
        x |= Mod1Mask;
    return x;
}

class X11HotKeys : public HotKeys {
public:
    X11HotKeys(const char* displayName, bool connect) {
        if (!connect)
            return;
        display_ = XOpenDisplay(displayName);
        if (!display_)
            return;
        int event = 0, error = 0, major = 0, minor = 0;
        hasXTest_ = XTestQueryExtension(display_, &event, &error, &major, &minor);
        numLock_ = FindModifierMask(XK_Num_Lock);
        if (QCoreApplication::instance()) {
            // Key presses of our grabs arrive on this connection only.
            notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                             [this] { ReadEvents(); });
        }
    }

    ~X11HotKeys() override {
        notifier_.reset();
        if (!display_)
            return;
        while (!grabs_.empty())
            Unregister(grabs_.begin()->first);
        XCloseDisplay(display_);
    }

    bool Available() const override { return display_ != nullptr; }

    bool Register(int id, unsigned mods, int vk) override {
        if (!display_ || vk < 0 || vk > 0xFF)
            return false;
        if (auto it = grabs_.find(id); it != grabs_.end())
            return it->second.mods == mods && it->second.vk == vk; // the grab in force stays
        KeySym sym = KeySymForVk(vk);
        KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display_, sym);
        if (code == 0)
            return false;
        Grab grab{mods, vk, code, XModifiers(mods)};
        Window root = DefaultRootWindow(display_);

        XSync(display_, False);
        g_checkedDisplay = display_;
        g_requestFailed = false;
        g_previousHandler = XSetErrorHandler(CatchError);
        // NumLock and CapsLock count as modifiers on X; grab every combination
        // so that the key works whatever their state.
        for (unsigned lock : LockVariants())
            XGrabKey(display_, code, grab.xmods | lock, root, True, GrabModeAsync, GrabModeAsync);
        XSync(display_, False);
        bool failed = g_requestFailed; // BadAccess: another client holds the key
        if (failed) {
            for (unsigned lock : LockVariants())
                XUngrabKey(display_, code, grab.xmods | lock, root);
            XSync(display_, False);
        }
        XSetErrorHandler(g_previousHandler);
        g_checkedDisplay = nullptr;
        ScheduleQueuedEvents();
        if (failed)
            return false;
        grabs_[id] = grab;
        return true;
    }

    bool Unregister(int id) override {
        auto it = grabs_.find(id);
        if (it == grabs_.end())
            return false;
        Window root = DefaultRootWindow(display_);
        for (unsigned lock : LockVariants())
            XUngrabKey(display_, it->second.code, it->second.xmods | lock, root);
        // A grab activated by the press that fired the key would keep the
        // following keystrokes coming here; give it up as well.
        XUngrabKeyboard(display_, CurrentTime);
        grabs_.erase(it);
        XSync(display_, False);
        ScheduleQueuedEvents();
        return true;
    }

    bool IsRegistered(int id) const override { return grabs_.count(id) != 0; }

    int VkKeyScan(char ch) const override {
        int vk = -1;
        if (ch >= 'a' && ch <= 'z')
            vk = ch - 'a' + 'A';
        else if (ch >= 'A' && ch <= 'Z')
            vk = 0x100 | ch; // with Shift
        else if ((ch >= '0' && ch <= '9') || ch == ' ')
            vk = ch;
        if (vk < 0 || !display_)
            return vk;
        // A layout without the key has no key code for it.
        return XKeysymToKeycode(display_, KeySymForVk(vk & 0xFF)) == 0 ? -1 : vk;
    }

    void SendKeys(const std::vector<KeyEvent>& events) override {
        if (!display_ || !hasXTest_)
            return;
        // The server drops the press of a key that is already down, and the
        // keys of a hot key are still held when it fires: such a key is
        // released first, so that the press reaches the focused window.
        char keymap[32] = {};
        XQueryKeymap(display_, keymap);
        std::bitset<256> down;
        for (int code = 0; code < 256; ++code)
            down[code] = (static_cast<unsigned char>(keymap[code / 8]) >> (code % 8)) & 1u;
        for (const KeyEvent& event : events) {
            KeySym sym = KeySymForVk(event.vk);
            KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display_, sym);
            if (code == 0)
                continue;
            if (!event.up && down[code])
                XTestFakeKeyEvent(display_, code, False, CurrentTime);
            XTestFakeKeyEvent(display_, code, event.up ? False : True, CurrentTime);
            down[code] = !event.up;
        }
        XFlush(display_);
    }

private:
    struct Grab {
        unsigned mods;
        int vk;
        KeyCode code;
        unsigned xmods;
    };

    std::vector<unsigned> LockVariants() const { return {0u, unsigned(LockMask), numLock_, LockMask | numLock_}; }

    unsigned FindModifierMask(KeySym sym) const {
        unsigned mask = 0;
        KeyCode code = XKeysymToKeycode(display_, sym);
        if (XModifierKeymap* map = XGetModifierMapping(display_)) {
            for (int mod = 0; mod < 8 && code != 0; ++mod)
                for (int k = 0; k < map->max_keypermod; ++k)
                    if (map->modifiermap[mod * map->max_keypermod + k] == code)
                        mask = 1u << mod;
            XFreeModifiermap(map);
        }
        return mask ? mask : Mod2Mask;
    }

    // Xlib may already have read events into its queue during a round trip,
    // where the socket notifier no longer sees them.
    void ScheduleQueuedEvents() {
        if (notifier_ && XEventsQueued(display_, QueuedAlready) > 0)
            QTimer::singleShot(0, notifier_.get(), [this] { ReadEvents(); });
    }

    void ReadEvents() {
        std::vector<int> fired;
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != KeyPress)
                continue;
            unsigned state = event.xkey.state & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask);
            for (const auto& [id, grab] : grabs_)
                if (grab.code == event.xkey.keycode && grab.xmods == state)
                    fired.push_back(id);
        }
        // The handler may process messages and unregister; call it last.
        for (int id : fired)
            if (OnHotKey)
                OnHotKey(id);
    }

    Display* display_ = nullptr;
    bool hasXTest_ = false;
    unsigned numLock_ = Mod2Mask;
    std::map<int, Grab> grabs_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace

std::unique_ptr<HotKeys> MakeX11HotKeys(const char* displayName, bool connect) {
    return std::make_unique<X11HotKeys>(displayName, connect);
}

} // namespace toolkit
