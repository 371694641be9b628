// Input as a person gives it, through the program's own message path: key,
// character and mouse messages are posted to the window that has the focus
// and the loop runs them (RouteMessage, TranslateMessage, the window
// procedures), with the keyboard state the modifiers give; the close box is
// the system command it sends, dropped files the message the shell posts.
// Each function returns once the queue is empty, but for the tasks left for
// the loop's next turn (win32::RunInLoop), which wait for ProcessMessages.
#include "toolkit/testing/test_input.h"

#include "toolkit/controls.h"
#include "toolkit/win32/core.h"

// After windows.h (core.h), which it needs.
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace toolkit {
namespace input {

namespace {

void Pump() {
    while (win32::PumpOneMessage(false, false)) {
    }
    win32::DisposePending();
}

// The window that receives the keys of `window`: its focus, or the window itself.
HWND KeyTarget(Window& window) {
    HWND focus = win32::FocusOf(window);
    if (focus)
        return focus;
    return window.impl() ? window.impl()->hwnd : nullptr;
}

bool Extended(int vk) {
    switch (vk) {
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case 0x21: // page up
    case 0x22: // page down
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: return true;
    default: return false;
    }
}

LPARAM KeyData(int vk, bool up, bool alt) {
    const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    LPARAM data = 1 | static_cast<LPARAM>((scan & 0xFF) << 16);
    if (Extended(vk))
        data |= LPARAM{1} << 24;
    if (alt)
        data |= LPARAM{1} << 29;
    if (up)
        data |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
    return data;
}

// The thread's keyboard state with the modifiers held, for as long as it lives.
class HeldModifiers {
public:
    explicit HeldModifiers(unsigned mods) {
        ::GetKeyboardState(saved_);
        BYTE state[256];
        std::memcpy(state, saved_, sizeof state);
        auto hold = [&](bool down, int both, int left) {
            const BYTE value = down ? 0x80 : 0;
            state[both] = value;
            state[left] = value;
        };
        hold(mods & ModShift, VK_SHIFT, 0xA0);
        hold(mods & ModCtrl, VK_CONTROL, 0xA2);
        hold(mods & ModAlt, VK_MENU, 0xA4);
        ::SetKeyboardState(state);
    }
    ~HeldModifiers() { ::SetKeyboardState(saved_); }
    HeldModifiers(const HeldModifiers&) = delete;
    HeldModifiers& operator=(const HeldModifiers&) = delete;

private:
    BYTE saved_[256] = {};
};

void Key(HWND target, int vk, unsigned mods) {
    if (!target)
        return;
    HeldModifiers held(mods);
    // With Alt (and without Ctrl) the system's key messages, as Windows sends them.
    const bool alt = (mods & ModAlt) && !(mods & ModCtrl);
    ::PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(vk), KeyData(vk, false, alt));
    Pump();
    if (::IsWindow(target))
        ::PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, static_cast<WPARAM>(vk), KeyData(vk, true, alt));
    Pump();
}

// A character without a key of its own on the keyboard, as an input method gives it.
void Character(HWND target, wchar_t unit) {
    if (target)
        ::PostMessageW(target, WM_CHAR, unit, 1);
}

void TypeUnits(Window& window, const std::wstring& text) {
    for (wchar_t unit : text) {
        HWND target = KeyTarget(window);
        if (!target)
            return;
        int vk = 0;
        unsigned mods = ModNone;
        if (unit == L'\r' || unit == L'\n')
            vk = VK_RETURN;
        else if (unit == L'\t')
            vk = VK_TAB;
        else if (unit == L'\b')
            vk = VK_BACK;
        else if (unit >= 0x20 && unit < 0x7F) {
            // The key of the character on the keyboard in use, with its shift state.
            const SHORT scan = ::VkKeyScanW(unit);
            if (scan != -1 && !(scan & 0x0600)) {
                vk = scan & 0xFF;
                mods = (scan & 0x0100) ? ModShift : ModNone;
            }
        }
        if (vk)
            Key(target, vk, mods);
        else
            Character(target, unit);
        Pump();
    }
}

} // namespace

void PressKey(Window& window, int vk, unsigned mods) { Key(KeyTarget(window), vk, mods); }

void PressKeyOn(Control& control, int vk, unsigned mods) {
    control.SetFocus();
    Window* window = control.TopWindow();
    if (!window || !control.impl() || !control.impl()->hwnd)
        return;
    // The control's window, or the inner window of it that took the focus.
    HWND focus = win32::FocusOf(*window);
    HWND own = control.impl()->hwnd;
    Key(focus && (focus == own || ::IsChild(own, focus)) ? focus : own, vk, mods);
}

void TypeText(Window& window, const std::string& text) { TypeUnits(window, win32::Wide(text)); }

void TypeUnicode(Window& window, const std::string& utf8) {
    std::wstring wide;
    if (!utf8.empty()) {
        const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        wide.resize(static_cast<std::size_t>(n > 0 ? n : 0));
        if (n > 0)
            ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    }
    TypeUnits(window, wide);
}

void Paste(Window& window, const std::string& utf8) {
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    const std::size_t units = static_cast<std::size_t>(n > 0 ? n : 0);
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (units + 1) * sizeof(wchar_t))) {
        auto* text = static_cast<wchar_t*>(::GlobalLock(memory));
        if (units)
            ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text, n);
        text[units] = L'\0';
        ::GlobalUnlock(memory);
        if (::OpenClipboard(nullptr)) {
            ::EmptyClipboard();
            if (!::SetClipboardData(CF_UNICODETEXT, memory))
                ::GlobalFree(memory);
            ::CloseClipboard();
        } else {
            ::GlobalFree(memory);
        }
    }
    PressKey(window, 'V', ModCtrl);
}

void ClickOn(Control& control) {
    HWND target = control.impl() ? control.impl()->hwnd : nullptr;
    // A disabled window (or one inside a disabled window) gets no mouse input.
    for (HWND w = target; w; w = (::GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD) ? ::GetAncestor(w, GA_PARENT) : nullptr)
        if (!::IsWindowEnabled(w))
            return;
    if (!target)
        return;
    RECT r{};
    ::GetClientRect(target, &r);
    POINT middle{(r.right - r.left) / 2, (r.bottom - r.top) / 2};
    // The window under the middle: an inner window of a composite control.
    if (HWND inner = ::ChildWindowFromPointEx(target, middle, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        inner && inner != target) {
        ::MapWindowPoints(target, inner, &middle, 1);
        target = inner;
    }
    const LPARAM where = MAKELPARAM(middle.x, middle.y);
    ::PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::PostMessageW(target, WM_LBUTTONUP, 0, where);
    Pump();
}

void ClickCloseBox(Window& window) {
    HWND hwnd = window.impl() ? window.impl()->hwnd : nullptr;
    if (!hwnd)
        return;
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    // What the close box sends when it is clicked.
    ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, MAKELPARAM(r.right - 8, r.top + 8));
    Pump();
}

void DropFiles(Window& window, const std::string& files) {
    HWND hwnd = window.impl() ? window.impl()->hwnd : nullptr;
    if (!hwnd)
        return;
    // The shell's drop: a DROPFILES header, then the names, each ending in a
    // zero and the list in another.
    std::wstring names;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= files.size(); ++i)
        if (i == files.size() || files[i] == '\r') {
            if (i > start) {
                names += win32::WidePath(std::string_view(files).substr(start, i - start));
                names += L'\0';
            }
            start = i + 1;
        }
    names += L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!memory)
        return;
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    RECT r{};
    ::GetClientRect(hwnd, &r);
    drop->pt = POINT{r.right / 2, r.bottom / 2};
    drop->fNC = FALSE;
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    // The window frees it (DragFinish), as it does the shell's.
    if (!::PostMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0))
        ::GlobalFree(memory);
    Pump();
}

} // namespace input
} // namespace toolkit
