// Top-level windows over a window class of their own: the two styles, size
// and place, caption, font and icon, the menu bar, dropped files, showing and
// closing, the focus each window keeps, and modal use.
#include <algorithm>
#include <functional>
#include <optional>

#include "toolkit/native.h"
#include "toolkit/win32/core.h"

// After windows.h (core.h), which it needs.
#include <shellapi.h>

namespace toolkit {

namespace {

constexpr wchar_t kWindowClass[] = L"TallykeyWindow";
// Posted to a modal window once its loop runs, for whoever answers it when nobody can.
constexpr UINT kAnswerModalMessage = WM_APP + 0x7F10;

struct ModalState {
    int result = ResultNone;
    bool ended = false;
    bool destroyed = false;
};

struct WindowImpl : Control::Impl {
    WindowStyle style = WindowStyle::Main;
    Window* owner = nullptr;
    Menu* menu = nullptr;
    std::vector<Menu*> menus;
    Button* defaultButton = nullptr;
    Button* cancelButton = nullptr;
    // The window's focus while it is not active, and the control that heard OnFocus last.
    HWND savedFocus = nullptr;
    const Control* lastFocus = nullptr;
    bool acceptFiles = false;
    bool minimizeOnShow = false;
    std::string caption;
    std::string fontName = "Tahoma";
    Font font;
    HICON smallIcon = nullptr;
    HICON bigIcon = nullptr;
    ModalState* modal = nullptr;
    int modalResult = ResultNone;

    bool IsWindow() const override { return true; }
    void SetGeometry(int left, int top, int width, int height) override {
        if (hwnd)
            ::SetWindowPos(hwnd, nullptr, left, top, std::max(0, width), std::max(0, height),
                           SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Rect Geometry() const override {
        RECT r{};
        if (hwnd)
            ::GetWindowRect(hwnd, &r);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }

    Window* Self() const { return static_cast<Window*>(self); }
    DWORD Style() const { return hwnd ? static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE)) : 0; }
    DWORD ExStyle() const { return hwnd ? static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE)) : 0; }
    SIZE ClientSize() const {
        RECT r{};
        if (hwnd)
            ::GetClientRect(hwnd, &r);
        return {r.right, r.bottom};
    }
    // Gives the focus back to the control that had it, or to the first one
    // that takes it.
    void FocusBack();
};

WindowImpl* W(const Window* window) { return window ? static_cast<WindowImpl*>(window->impl()) : nullptr; }

std::vector<Window*>& ModalStack() {
    static std::vector<Window*> stack;
    return stack;
}

bool Focusable(HWND window) { return window && ::IsWindowVisible(window) && ::IsWindowEnabled(window); }

// The first control of the window that takes the focus with Tab.
HWND FirstTabStop(HWND window) {
    HWND first = ::GetNextDlgTabItem(window, nullptr, FALSE);
    if (first && first != window && ::IsChild(window, first) && Focusable(first) &&
        (::GetWindowLongPtrW(first, GWL_STYLE) & WS_TABSTOP))
        return first;
    return nullptr;
}

void WindowImpl::FocusBack() {
    if (!hwnd)
        return;
    HWND target = savedFocus;
    if (!target || !::IsChild(hwnd, target) || !Focusable(target))
        target = FirstTabStop(hwnd);
    ::SetFocus(target ? target : hwnd);
}

void ApplyFontTree(Control* control) {
    if (control->impl())
        control->impl()->ApplyFont();
    if (auto* container = dynamic_cast<Container*>(control))
        for (Control* child : container->Children())
            ApplyFontTree(child);
}

std::string DroppedNames(HDROP drop) {
    std::string names;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(static_cast<std::size_t>(length) + 1, L'\0');
        const UINT n = ::DragQueryFileW(drop, i, name.data(), length + 1);
        name.resize(n);
        if (name.empty())
            continue;
        if (!names.empty())
            names += '\r';
        names += win32::PathFromWide(name);
    }
    return names;
}

void CloseRequest(Window* window, WindowImpl* im) {
    bool accept = true;
    if (window->OnCloseQuery) {
        Dispatch d;
        accept = window->OnCloseQuery();
    }
    if (!win32::IsLive(window) || !accept) // destroyed by its own handler, or refused
        return;
    if (im->modal) {
        // The modal loop hides the window once the others are enabled again,
        // so that the activation goes back to its owner.
        window->EndModal(im->modalResult == ResultNone ? ResultClosed : im->modalResult);
    } else if (im->hwnd) {
        ::ShowWindow(im->hwnd, SW_HIDE);
    }
    win32::WindowClosed(window);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (win32::ReflectToChild(message, wParam, lParam, result))
        return result;
    Control* control = win32::ControlOf(hwnd);
    WindowImpl* im =
        control && control->impl() && control->impl()->IsWindow() ? W(static_cast<Window*>(control)) : nullptr;
    if (!im)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    Window* window = im->Self();
    switch (message) {
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) <= 1) { // a menu item, or its accelerator
            Dispatch d;
            win32::RunMenuCommand(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            im->ClientGeometryChanged();
        return 0;
    case WM_CLOSE: CloseRequest(window, im); return 0;
    case WM_DROPFILES: {
        auto* drop = reinterpret_cast<HDROP>(wParam);
        const std::string names = im->acceptFiles ? DroppedNames(drop) : std::string();
        ::DragFinish(drop);
        if (!names.empty() && window->OnDropFiles) {
            Dispatch d;
            window->OnDropFiles(names);
        }
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(hwnd, focus))
                im->savedFocus = focus;
            return 0;
        }
        if (HIWORD(wParam)) // activated while minimised: no focus to give
            break;
        im->FocusBack();
        return 0;
    case WM_SETFOCUS: im->FocusBack(); return 0;
    case WM_NEXTDLGCTL: {
        // The dialog manager's move to another control (Tab, the arrows).
        HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : ::GetNextDlgTabItem(hwnd, ::GetFocus(), wParam ? TRUE : FALSE);
        if (next && next != hwnd && ::IsChild(hwnd, next)) {
            ::SetFocus(next);
            // A box the focus reaches by key has its text selected, as in a dialog box.
            if (!LOWORD(lParam) && (::SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
                ::SendMessageW(next, EM_SETSEL, 0, -1);
        }
        return 0;
    }
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
            if (window == win32::ProgramMainWindow()) {
                win32::MinimizeFromSystem(*window);
                return 0;
            }
            break;
        case SC_RESTORE:
            if (::IsIconic(hwnd)) {
                result = ::DefWindowProcW(hwnd, message, wParam, lParam);
                if (win32::IsLive(window))
                    win32::RestoredFromSystem(*window);
                return result;
            }
            break;
        default: break;
        }
        break;
    case WM_ERASEBKGND:
        if (im->hasBackground && im->backgroundBrush) {
            RECT r{};
            ::GetClientRect(hwnd, &r);
            ::FillRect(reinterpret_cast<HDC>(wParam), &r, im->backgroundBrush);
            return 1;
        }
        break;
    case kAnswerModalMessage:
        if (im->modal && !im->modal->ended) {
            ModalState* state = im->modal;
            {
                Dispatch d;
                AnswerModal(*window);
            }
            // A window the answer left open ends as its close box would end it.
            if (win32::IsLive(window) && W(window)->modal == state && !state->ended)
                window->EndModal(ResultClosed);
        }
        return 0;
    default: break;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterWindowClass() {
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = win32::Instance();
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kWindowClass;
    registered = ::RegisterClassExW(&wc) != 0;
}

// The client size asked for, the frame and the menu bar around it: Windows
// says the outer size, and a menu bar that takes more than one line shows
// only once the window has its size, so the result is corrected once.
void SizeForClient(WindowImpl* im, int width, int height) {
    if (!im->hwnd)
        return;
    width = std::max(0, width);
    height = std::max(0, height);
    RECT r{0, 0, width, height};
    ::AdjustWindowRectEx(&r, im->Style(), ::GetMenu(im->hwnd) != nullptr, im->ExStyle());
    ::SetWindowPos(im->hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (::IsIconic(im->hwnd))
        return;
    const SIZE got = im->ClientSize();
    if (got.cx != width || got.cy != height) {
        RECT outer{};
        ::GetWindowRect(im->hwnd, &outer);
        ::SetWindowPos(im->hwnd, nullptr, 0, 0, outer.right - outer.left + width - got.cx,
                       outer.bottom - outer.top + height - got.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    im->ClientGeometryChanged();
}

int FloorHalf(int value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

} // namespace

namespace win32 {

const Font& WindowFont(const Window* window) {
    static const Font fallback;
    WindowImpl* im = W(window);
    return im ? im->font : fallback;
}

void NoteFocus(HWND focus) {
    Control* control = ControlAt(focus);
    Window* window = control ? control->TopWindow() : nullptr;
    WindowImpl* im = W(window);
    if (!im)
        return;
    if (focus != im->hwnd)
        im->savedFocus = focus;
    if (control == window || control == im->lastFocus)
        return;
    im->lastFocus = control;
    if (control->OnFocus) {
        Dispatch d;
        control->OnFocus();
    }
}

HWND FocusOf(const Window& window) {
    WindowImpl* im = W(&window);
    if (!im || !im->hwnd)
        return nullptr;
    HWND focus = ::GetFocus();
    if (focus && (focus == im->hwnd || ::IsChild(im->hwnd, focus)))
        return focus;
    if (im->savedFocus && ::IsChild(im->hwnd, im->savedFocus))
        return im->savedFocus;
    return nullptr;
}

void FocusWithin(Window& window, HWND focus) {
    WindowImpl* im = W(&window);
    if (!im || !im->hwnd || !focus)
        return;
    if (::GetActiveWindow() == im->hwnd) {
        ::SetFocus(focus); // the control's WM_SETFOCUS notes it
        return;
    }
    // It takes the focus when its window is next activated.
    NoteFocus(focus);
}

HICON IconFromGroup(const ResourceData& group, int size) {
    if (!group || group.size < 6)
        return nullptr;
    const int id = ::LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group.data), TRUE, size, size, LR_DEFAULTCOLOR);
    if (id <= 0)
        return nullptr;
    HRSRC found = ::FindResourceW(Instance(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3) /* RT_ICON */);
    HGLOBAL loaded = found ? ::LoadResource(Instance(), found) : nullptr;
    auto* bits = loaded ? static_cast<PBYTE>(::LockResource(loaded)) : nullptr;
    if (!bits)
        return nullptr;
    return ::CreateIconFromResourceEx(bits, ::SizeofResource(Instance(), found), TRUE, 0x00030000, size, size,
                                      LR_DEFAULTCOLOR);
}

void SetWindowIcons(HWND window, const ResourceData& group, HICON& smallIcon, HICON& bigIcon) {
    HICON newSmall = IconFromGroup(group, ::GetSystemMetrics(SM_CXSMICON));
    HICON newBig = IconFromGroup(group, ::GetSystemMetrics(SM_CXICON));
    if (!newSmall && !newBig)
        return;
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(newSmall ? newSmall : newBig));
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(newBig ? newBig : newSmall));
    if (smallIcon)
        ::DestroyIcon(smallIcon);
    if (bigIcon)
        ::DestroyIcon(bigIcon);
    smallIcon = newSmall;
    bigIcon = newBig;
}

Window* InnermostModal() { return ModalStack().empty() ? nullptr : ModalStack().back(); }

const std::vector<Menu*>& MenusOf(const Window& window) { return W(&window)->menus; }

void AddMenu(Window& window, Menu* menu) {
    if (WindowImpl* im = W(&window))
        im->menus.push_back(menu);
}

void RemoveMenu(Window& window, Menu* menu) {
    WindowImpl* im = W(&window);
    if (!im)
        return;
    auto& list = im->menus;
    list.erase(std::remove(list.begin(), list.end(), menu), list.end());
    if (im->menu == menu) {
        im->menu = nullptr;
        // The menu's native menu is the menu's to destroy. The window keeps its
        // size: the bar's room goes to the client area.
        if (im->hwnd)
            ::SetMenu(im->hwnd, nullptr);
    }
}

void MenuBarChanged(Window& window) {
    WindowImpl* im = W(&window);
    if (!im || !im->hwnd || !im->menu)
        return;
    const SIZE client = im->ClientSize();
    if (::GetMenu(im->hwnd) != MenuHandle(*im->menu))
        ::SetMenu(im->hwnd, MenuHandle(*im->menu));
    ::DrawMenuBar(im->hwnd);
    SizeForClient(im, client.cx, client.cy);
}

bool WindowAcceptsFiles(const Window& window) { return W(&window) && W(&window)->acceptFiles; }

OtherWindowsDisabled::OtherWindowsDisabled(HWND self) : self_(self) {
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* d = reinterpret_cast<OtherWindowsDisabled*>(data);
            if (window != d->self_ && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
                ::EnableWindow(window, FALSE);
                d->windows_.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
}

OtherWindowsDisabled::~OtherWindowsDisabled() {
    for (HWND window : windows_)
        if (::IsWindow(window))
            ::EnableWindow(window, TRUE);
}

bool WindowDialogKey(Window& window, HWND receiver, int vk, unsigned mods) {
    WindowImpl* im = W(&window);
    if (!im || mods != ModNone)
        return false;
    // A window a control made for itself (a tree's label editor) keeps its
    // Enter and Escape; so does a control that says the key is its own now
    // (a multi-line box's Enter, an open drop-down list's Enter and Escape).
    Control* focused = ControlOf(receiver);
    if (!focused || !focused->impl())
        return false;
    if (vk == VK_ESCAPE) {
        if (!IsLive(im->cancelButton) || !im->cancelButton->IsEnabled() || focused->impl()->TakesEscape())
            return false;
        im->cancelButton->Click();
        return true;
    }
    if (vk != VK_RETURN || !IsLive(im->defaultButton) || !im->defaultButton->IsEnabled())
        return false;
    if (focused != im->defaultButton && focused->impl()->TakesEnter())
        return false;
    im->defaultButton->Click();
    return true;
}

} // namespace win32

Window::Window(WindowStyle style, Window* owner) : Container(nullptr) {
    RegisterWindowClass();
    auto im = std::make_unique<WindowImpl>();
    im->style = style;
    im->owner = owner;
    im->container = true;
    DWORD ws = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    DWORD ex = 0;
    if (style == WindowStyle::Main) {
        ws |= WS_OVERLAPPED | WS_THICKFRAME | WS_MINIMIZEBOX;
        // Owned by the hidden application window, yet on the taskbar.
        if (win32::ProgramOnTaskbar())
            ex |= WS_EX_APPWINDOW;
    } else {
        ws |= WS_POPUP;
        ex |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
    }
    HWND ownerWindow = owner && owner->impl() && owner->impl()->hwnd ? owner->impl()->hwnd : win32::ApplicationWindow();
    im->hwnd =
        ::CreateWindowExW(ex, kWindowClass, L"", ws, 0, 0, 320, 240, ownerWindow, nullptr, win32::Instance(), nullptr);
    im->client = im->hwnd;
    WindowImpl* raw = im.get();
    Attach(std::move(im));
    raw->ClientGeometryChanged();
    win32::WindowCreated(this);
}

Window::~Window() {
    WindowImpl* im = W(this);
    if (!im)
        return;
    if (im->modal) {
        im->modal->destroyed = true;
        im->modal = nullptr;
        ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0); // wakes its loop
    }
    for (Menu* menu : im->menus)
        if (menu->impl())
            menu->impl()->owner = nullptr;
    im->menus.clear();
    if (im->hwnd) {
        // Destroying a window destroys its menu bar, which is the menu's own.
        if (im->menu)
            ::SetMenu(im->hwnd, nullptr);
        ::SendMessageW(im->hwnd, WM_SETICON, ICON_SMALL, 0);
        ::SendMessageW(im->hwnd, WM_SETICON, ICON_BIG, 0);
    }
    im->menu = nullptr;
    if (im->smallIcon)
        ::DestroyIcon(im->smallIcon);
    if (im->bigIcon)
        ::DestroyIcon(im->bigIcon);
    im->smallIcon = im->bigIcon = nullptr;
    win32::WindowDestroyed(this);
}

void Window::SetCaption(const std::string& caption) {
    WindowImpl* im = W(this);
    im->caption = caption;
    if (im->hwnd)
        ::SetWindowTextW(im->hwnd, win32::Wide(caption).c_str());
}

std::string Window::Caption() const { return W(this)->caption; }

void Window::SetFont(const Font& font) {
    WindowImpl* im = W(this);
    im->fontName = font.name ? font.name : "Tahoma";
    im->font = font;
    im->font.name = im->fontName.c_str();
    ApplyFontTree(this);
}

void Window::SetClientSize(int width, int height) { SizeForClient(W(this), width, height); }

Rect Window::OuterRect() const { return W(this)->Geometry(); }

void Window::SetOuterLeft(int left) {
    const Rect r = OuterRect();
    W(this)->SetGeometry(left, r.top, r.width, r.height);
}

void Window::SetOuterTop(int top) {
    const Rect r = OuterRect();
    W(this)->SetGeometry(r.left, top, r.width, r.height);
}

void Window::SetOuterWidth(int width) {
    const Rect r = OuterRect();
    W(this)->SetGeometry(r.left, r.top, width, r.height);
}

void Window::SetOuterHeight(int height) {
    const Rect r = OuterRect();
    W(this)->SetGeometry(r.left, r.top, r.width, height);
}

void Window::SetPosition(int left, int top) {
    WindowImpl* im = W(this);
    if (im->hwnd)
        ::SetWindowPos(im->hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::CenterOnScreen() {
    const Rect r = OuterRect();
    SetPosition(FloorHalf(::GetSystemMetrics(SM_CXSCREEN) - r.width),
                FloorHalf(::GetSystemMetrics(SM_CYSCREEN) - r.height));
}

void Window::SetIcon(const ResourceData& icon) {
    WindowImpl* im = W(this);
    if (im->hwnd)
        win32::SetWindowIcons(im->hwnd, icon, im->smallIcon, im->bigIcon);
}

void Window::SetMenu(Menu* menu) {
    WindowImpl* im = W(this);
    if (!im->hwnd)
        return;
    const SIZE client = im->ClientSize();
    im->menu = menu && menu->GetKind() == Menu::Kind::Bar ? menu : nullptr;
    ::SetMenu(im->hwnd, im->menu ? win32::MenuHandle(*im->menu) : nullptr);
    // The client area keeps its size; the frame takes the menu bar in.
    SizeForClient(im, client.cx, client.cy);
}

void Window::AcceptDroppedFiles(bool accept) {
    WindowImpl* im = W(this);
    im->acceptFiles = accept;
    if (im->hwnd)
        ::DragAcceptFiles(im->hwnd, accept ? TRUE : FALSE);
}

void Window::Show() {
    WindowImpl* im = W(this);
    if (!im->hwnd)
        return;
    const bool was = ::IsWindowVisible(im->hwnd) != FALSE;
    if (!was) {
        if (im->style == WindowStyle::Dialog && !im->owner) {
            // A dialog belongs to the main window: it stays over it and goes
            // with it when it is minimised.
            Window* main = win32::ProgramMainWindow();
            HWND owner = main && main != this && main->impl() && main->IsShown() ? main->impl()->hwnd
                                                                                 : win32::ApplicationWindow();
            if (owner && owner != im->hwnd)
                ::SetWindowLongPtrW(im->hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
        }
        if (im->style == WindowStyle::Main) {
            const DWORD ex = im->ExStyle();
            const DWORD want = win32::ProgramOnTaskbar() ? ex | WS_EX_APPWINDOW : ex & ~DWORD{WS_EX_APPWINDOW};
            if (want != ex)
                ::SetWindowLongPtrW(im->hwnd, GWL_EXSTYLE, static_cast<LONG_PTR>(want));
        }
        ::ShowWindow(im->hwnd, im->minimizeOnShow ? SW_SHOWMINIMIZED : SW_SHOW);
        im->minimizeOnShow = false;
    }
    if (!::IsIconic(im->hwnd) && ::IsWindowEnabled(im->hwnd)) {
        ::SetForegroundWindow(im->hwnd);
        ::SetActiveWindow(im->hwnd);
    }
    // The first control that takes the focus has it, as in a dialog box.
    if (!win32::FocusOf(*this) || win32::FocusOf(*this) == im->hwnd) {
        if (HWND first = FirstTabStop(im->hwnd))
            win32::FocusWithin(*this, first);
    }
    if (!was && OnShow) {
        Dispatch d;
        OnShow();
    }
}

void Window::Hide() {
    if (W(this)->hwnd)
        ::ShowWindow(W(this)->hwnd, SW_HIDE);
}

bool Window::IsShown() const { return W(this)->hwnd && ::IsWindowVisible(W(this)->hwnd); }

void Window::Minimize() {
    WindowImpl* im = W(this);
    if (!im->hwnd)
        return;
    // Not the system command: the program's minimise handler does not run.
    if (::IsWindowVisible(im->hwnd))
        ::ShowWindow(im->hwnd, SW_MINIMIZE);
    else
        im->minimizeOnShow = true;
}

void Window::Restore() {
    WindowImpl* im = W(this);
    im->minimizeOnShow = false;
    if (im->hwnd && ::IsIconic(im->hwnd))
        ::ShowWindow(im->hwnd, SW_RESTORE);
}

bool Window::IsMinimized() const {
    WindowImpl* im = W(this);
    return im->hwnd && (::IsIconic(im->hwnd) || im->minimizeOnShow);
}

void Window::BringToFront() {
    WindowImpl* im = W(this);
    if (!im->hwnd)
        return;
    HWND front = im->hwnd;
    // A modal window stays over the windows it blocks.
    if (Window* modal = win32::InnermostModal();
        modal && modal != this && modal->impl() && modal->impl()->hwnd && im->style == WindowStyle::Main)
        front = modal->impl()->hwnd;
    ::BringWindowToTop(im->hwnd);
    if (front != im->hwnd)
        ::BringWindowToTop(front);
    ::SetForegroundWindow(front);
}

void Window::Close() {
    if (W(this)->hwnd)
        ::PostMessageW(W(this)->hwnd, WM_CLOSE, 0, 0);
}

int Window::ShowModal() {
    WindowImpl* im = W(this);
    if (!im->hwnd || im->modal)
        return ResultNone;
    ModalState state;
    im->modal = &state;
    im->modalResult = ResultNone;
    HWND self = im->hwnd;

    // The program's other windows take no input while this one is open.
    std::optional<win32::OtherWindowsDisabled> disabling(std::in_place, self);
    ModalStack().push_back(this);

    Show();
    // Whoever answers does so from inside the loop, as a person would.
    if (!state.ended && !state.destroyed && NobodyToAnswer())
        ::PostMessageW(self, kAnswerModalMessage, 0, 0);
    while (!state.ended && !state.destroyed)
        if (!win32::PumpOneMessage(true)) { // the program is quitting
            if (!state.ended && !state.destroyed)
                EndModal(ResultClosed);
            break;
        }

    auto& stack = ModalStack();
    stack.erase(std::remove(stack.begin(), stack.end(), this), stack.end());
    // Enabled again before the window hides, so that its owner is activated.
    disabling.reset();
    if (state.destroyed)
        return state.result;
    im->modal = nullptr;
    if (im->hwnd)
        ::ShowWindow(im->hwnd, SW_HIDE);
    return state.result;
}

void Window::EndModal(int result) {
    WindowImpl* im = W(this);
    if (result == ResultNone)
        return;
    im->modalResult = result;
    if (im->modal && !im->modal->ended) {
        im->modal->result = result;
        im->modal->ended = true;
        // Wakes the loop, which may be waiting for a message.
        if (im->hwnd)
            ::PostMessageW(im->hwnd, WM_NULL, 0, 0);
    }
}

int Window::ModalResult() const { return W(this)->modalResult; }
bool Window::IsModal() const { return W(this)->modal != nullptr; }

void Window::SetDefaultButton(Button* button) { W(this)->defaultButton = button; }
void Window::SetCancelButton(Button* button) { W(this)->cancelButton = button; }

Control* Window::FocusedControl() const {
    HWND focus = win32::FocusOf(*this);
    Control* control = focus ? win32::ControlAt(focus) : nullptr;
    return control == this ? nullptr : control;
}

WindowStyle Window::Style() const { return W(this)->style; }
Window* Window::Owner() const { return W(this)->owner; }

} // namespace toolkit
