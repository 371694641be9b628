// Keys as the program's windows take them, in the loop before a key message
// is dispatched: the window's menu shortcuts first, then the focused
// control's handlers, then the window's Enter and Escape, then Tab and the
// arrows between the controls; what is left goes to the control's window.
#include "toolkit/ansi_text.h"
#include "toolkit/win32/core.h"

namespace toolkit {
namespace win32 {

namespace {

// Set when the focused control's OnKeyDown took a key: the characters that
// key makes still reach its OnChar, but not the control's window.
bool charactersTaken = false;

bool RunShortcut(Window& window, const Shortcut& shortcut) {
    const std::vector<Menu*> menus = MenusOf(window); // a handler may add or remove menus
    for (Menu* menu : menus)
        if (menu->impl() && menu->impl()->RunShortcut(shortcut))
            return true;
    return false;
}

bool KeyDown(MSG& message, Control* control, Window& window) {
    const int vk = static_cast<int>(message.wParam);
    const unsigned mods = KeyModifiers();
    charactersTaken = false;
    // A shortcut's key is not translated: no character follows it.
    if (RunShortcut(window, Shortcut{vk, mods}))
        return true;
    if (!IsLive(&window) || (control && !IsLive(control)))
        return true;
    if (control && control->OnKeyDown) {
        Dispatch d;
        const bool taken = control->OnKeyDown(vk, mods);
        if (!IsLive(control) || !IsLive(&window))
            return true;
        if (taken) {
            ::TranslateMessage(&message);
            charactersTaken = true;
            return true;
        }
    }
    if ((vk == VK_RETURN || vk == VK_ESCAPE) && WindowDialogKey(window, message.hwnd, vk, mods))
        return true;
    // Tab and the arrows move between the controls as in a dialog box; a
    // control that wants them (an edit box, a list) says so to the dialog
    // manager itself (WM_GETDLGCODE). Enter and Escape never get there.
    const bool navigation = vk == VK_TAB || vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN;
    if (navigation && !(mods & (ModCtrl | ModAlt)) && window.impl() && window.impl()->hwnd)
        return ::IsDialogMessageW(window.impl()->hwnd, &message) != FALSE;
    return false;
}

bool KeyUp(const MSG& message, Control* control) {
    if (!control || !control->OnKeyUp)
        return false;
    Dispatch d;
    return control->OnKeyUp(static_cast<int>(message.wParam), KeyModifiers());
}

bool Character(const MSG& message, Control* control) {
    if (!control || !control->OnChar)
        return charactersTaken;
    const auto unit = static_cast<wchar_t>(message.wParam);
    // A character the code page cannot hold is none of the program's: an edit
    // box refuses it with its notice, and it would only arrive as "?".
    if (!AdmitsCharacter(unit))
        return charactersTaken;
    bool taken = false;
    for (char ch : Ansi(std::wstring_view(&unit, 1))) {
        Dispatch d;
        if (control->OnChar(ch))
            taken = true;
        if (!IsLive(control))
            return true;
    }
    return taken || charactersTaken;
}

} // namespace

unsigned KeyModifiers() {
    unsigned mods = ModNone;
    if (::GetKeyState(VK_SHIFT) & 0x8000)
        mods |= ModShift;
    if (::GetKeyState(VK_CONTROL) & 0x8000)
        mods |= ModCtrl;
    if (::GetKeyState(VK_MENU) & 0x8000)
        mods |= ModAlt;
    return mods;
}

bool RouteMessage(MSG& message) {
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR: break;
    default: return false;
    }
    // The window's keys (shortcuts, Enter, Escape, Tab) work wherever the
    // focus is inside it; the handlers are those of the control whose window
    // has the focus, and of none for a window a control made for itself (a
    // tree's label editor keeps its keys).
    Control* owner = ControlAt(message.hwnd);
    Window* window = owner ? owner->TopWindow() : nullptr;
    if (!window)
        return false; // not one of the program's windows (a message box, a file dialog)
    Control* control = ControlOf(message.hwnd);
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: return KeyDown(message, control, *window);
    case WM_KEYUP:
    case WM_SYSKEYUP: return KeyUp(message, control);
    default: return Character(message, control);
    }
}

} // namespace win32
} // namespace toolkit
