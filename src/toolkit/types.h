// Plain values shared by every part of the window toolkit.
#pragma once

#include <cstdint>

namespace toolkit {

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool operator==(const Rect&) const = default;
};

struct Color {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Color&) const = default;
};

// Font as the windows ask for it: a negative height is the character height in pixels.
struct Font {
    const char* name = "Tahoma";
    int height = -11;
    int charset = 204;
    bool bold = false;
};

// Virtual key codes, the same numbers on every platform.
enum VirtualKey : int {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
    VK_F2 = 0x71,
    VK_F4 = 0x73,
    // 'A'..'Z' and '0'..'9' are their ASCII codes.
};

// Modifier state of a key event or shortcut.
enum Modifier : unsigned {
    ModNone = 0,
    ModShift = 1,
    ModCtrl = 2,
    ModAlt = 4,
};

struct Shortcut {
    int vk = 0;            // 0: no shortcut
    unsigned mods = ModNone;
    bool operator==(const Shortcut&) const = default;
    explicit operator bool() const { return vk != 0; }
};

// Results of a modal window.
enum DialogResultValue : int {
    ResultNone = 0,
    ResultOK = 1,
    ResultCancel = 2,
    ResultClosed = -1, // close box, Alt+F4 or the system menu
};

// Message box flags and answers, numbered as on the platform the program grew up on.
enum MessageBoxFlag : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONSTOP = 0x10,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_SETFOREGROUND = 0x10000,
};
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONMASK = 0xF0;

enum MessageBoxAnswer : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7,
};

// Mouse messages reported by the notification-area icon.
enum MouseMessage : int {
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONUP = 0x0208,
};

} // namespace toolkit
