#include "toolkit/qt/x11_window_state.h"

#include <QGuiApplication>
#include <QWidget>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

// Xlib last: its macros clash with Qt's names.
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace toolkit::qt::x11 {

namespace {

constexpr xcb_window_t kNoWindow = 0;

// ICCCM values.
constexpr std::uint32_t kWithdrawnState = 0;
constexpr std::uint32_t kNormalState = 1;
constexpr std::uint32_t kIconicState = 3;
constexpr std::uint32_t kStateHint = 1u << 1; // WM_HINTS flags: initial_state is set
constexpr int kWaitMs = 5000;                 // a window manager on a loaded machine answers late

// Qt's own connection: requests made here are ordered with Qt's.
xcb_connection_t* Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

int ScreenNumber() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 && x11->display() ? DefaultScreen(x11->display()) : 0;
}

xcb_atom_t Atom(xcb_connection_t* c, const std::string& name) {
    static std::map<std::string, xcb_atom_t> atoms;
    auto it = atoms.find(name);
    if (it != atoms.end())
        return it->second;
    xcb_atom_t atom = XCB_ATOM_NONE;
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr);
    if (reply) {
        atom = reply->atom;
        std::free(reply);
    }
    return atoms[name] = atom;
}

xcb_window_t Root(xcb_connection_t* c) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = ScreenNumber(); i > 0 && it.rem > 0; --i)
        xcb_screen_next(&it);
    return it.rem > 0 ? it.data->root : kNoWindow;
}

// A window manager owns the screen's WM_Sn selection (ICCCM 2.0).
bool WindowManagerRuns(xcb_connection_t* c) {
    const xcb_atom_t selection = Atom(c, "WM_S" + std::to_string(ScreenNumber()));
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const bool owned = reply && reply->owner != kNoWindow;
    std::free(reply);
    return owned;
}

// The native window of a top-level frame, or none (never creates one).
xcb_window_t NativeWindow(const QWidget* frame) {
    return frame && frame->isWindow() && frame->testAttribute(Qt::WA_WState_Created)
               ? static_cast<xcb_window_t>(frame->internalWinId())
               : kNoWindow;
}

// The 32-bit values of a property (empty when it is not set).
std::basic_string<std::uint32_t> Property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name) {
    std::basic_string<std::uint32_t> values;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, XCB_ATOM_ANY, 0, 16), nullptr);
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

} // namespace

WmState StateOf(const QWidget* frame) {
    xcb_connection_t* c = Connection();
    const xcb_window_t w = NativeWindow(frame);
    if (!c || w == kNoWindow || !WindowManagerRuns(c))
        return WmState::Unmanaged;
    const auto state = Property(c, w, Atom(c, "WM_STATE"));
    if (state.empty() || state[0] == kWithdrawnState)
        return WmState::Withdrawn;
    return state[0] == kIconicState ? WmState::Iconic : WmState::Normal;
}

void StartNormal(QWidget* frame) {
    xcb_connection_t* c = Connection();
    const xcb_window_t w = NativeWindow(frame);
    if (!c || w == kNoWindow)
        return;
    auto hints = Property(c, w, XCB_ATOM_WM_HINTS);
    if (hints.size() < 3 || !(hints[0] & kStateHint) || hints[2] == kNormalState)
        return;
    hints[2] = kNormalState;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        static_cast<std::uint32_t>(hints.size()), hints.data());
    xcb_flush(c);
}

void RequestNormal(QWidget* frame) {
    xcb_connection_t* c = Connection();
    const xcb_window_t w = NativeWindow(frame);
    if (!c || w == kNoWindow)
        return;
    xcb_map_window(c, w);
    xcb_flush(c);
}

void RequestIconic(QWidget* frame) {
    xcb_connection_t* c = Connection();
    const xcb_window_t w = NativeWindow(frame);
    if (!c || w == kNoWindow)
        return;
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = w;
    event.type = Atom(c, "WM_CHANGE_STATE");
    event.data.data32[0] = kIconicState;
    xcb_send_event(c, 0, Root(c), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
}

bool WaitFor(const QWidget* frame, WmState state) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    for (;;) {
        const WmState now = StateOf(frame);
        if (now == state)
            return true;
        if (now == WmState::Unmanaged || std::chrono::steady_clock::now() >= deadline)
            return false;
        ::usleep(2000);
    }
}

} // namespace toolkit::qt::x11
