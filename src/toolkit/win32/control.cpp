// The control record over a native window: the registry of the program's
// windows, the subclass that shows a control its own messages first, the
// notifications a container hands to its children, fonts, and destruction
// that waits for the handlers on the stack.
#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "toolkit/layout.h"
#include "toolkit/win32/core.h"

namespace toolkit {

namespace {

constexpr UINT_PTR kSubclassId = 0x54414C59; // one subclass of ours per window

struct Registry {
    std::unordered_map<HWND, Control::Impl*> windows;
    std::unordered_map<UINT, Control::Impl*> ids; // control ids of the windows CreateChild made
    std::unordered_set<const Control*> live;
    std::vector<HWND> pending; // windows to destroy once no handler runs
};

Registry& R() {
    static Registry registry;
    return registry;
}

Control::Impl* ImplOf(HWND window) {
    if (!window)
        return nullptr;
    auto it = R().windows.find(window);
    return it == R().windows.end() ? nullptr : it->second;
}

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data);

void ForgetImpl(Control::Impl* im) {
    std::vector<HWND> windows;
    for (const auto& [window, owner] : R().windows)
        if (owner == im)
            windows.push_back(window);
    for (HWND window : windows) {
        ::RemoveWindowSubclass(window, ControlProc, kSubclassId);
        R().windows.erase(window);
    }
    for (auto it = R().ids.begin(); it != R().ids.end();)
        it = it->second == im ? R().ids.erase(it) : std::next(it);
}

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* im = reinterpret_cast<Control::Impl*>(data);
    switch (message) {
    case WM_NCDESTROY: {
        // The window goes before its control (its parent was destroyed):
        // the control stays, without a window.
        ::RemoveWindowSubclass(window, ControlProc, kSubclassId);
        R().windows.erase(window);
        for (auto it = R().ids.begin(); it != R().ids.end();)
            it = it->second == im && ::GetDlgCtrlID(window) == static_cast<int>(it->first) ? R().ids.erase(it)
                                                                                           : std::next(it);
        if (im->hwnd == window)
            im->hwnd = nullptr;
        if (im->client == window)
            im->client = nullptr;
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    case WM_SETCURSOR:
        if (im->alive && im->handCursor && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return TRUE;
        }
        break;
    case WM_SETFOCUS: {
        LRESULT result = 0;
        if (!im->alive || !im->Filter(message, wParam, lParam, result))
            result = ::DefSubclassProc(window, message, wParam, lParam);
        // The control may be gone; its window says whether anybody is left to hear.
        if (ImplOf(window) && ::GetFocus() == window)
            win32::NoteFocus(window);
        return result;
    }
    default: break;
    }
    if (im->alive) {
        LRESULT result = 0;
        if (im->Filter(message, wParam, lParam, result))
            return result; // the control may be gone: nothing of it is touched
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

// The brush a control's background is painted with, and its colour: its own,
// or for text on its parent (labels, check boxes) the nearest container's.
bool BackgroundOf(const Control::Impl* im, bool inherit, HBRUSH& brush, COLORREF& color) {
    for (const Control::Impl* at = im; at; at = at->self && at->self->Parent() ? at->self->Parent()->impl() : nullptr) {
        if (at->hasBackground && at->backgroundBrush) {
            brush = at->backgroundBrush;
            color = at->background;
            return true;
        }
        if (!inherit)
            break;
    }
    return false;
}

void SetBackgroundColor(Control::Impl* im, COLORREF color) {
    if (!im)
        return;
    HBRUSH brush = ::CreateSolidBrush(color);
    if (!brush)
        return;
    if (im->backgroundBrush)
        ::DeleteObject(im->backgroundBrush);
    im->backgroundBrush = brush;
    im->background = color;
    im->hasBackground = true;
    if (im->hwnd)
        ::InvalidateRect(im->hwnd, nullptr, TRUE);
}

struct FontKey {
    std::string name;
    int height;
    int charset;
    bool bold;
    bool operator<(const FontKey& o) const {
        return std::tie(name, height, charset, bold) < std::tie(o.name, o.height, o.charset, o.bold);
    }
};

} // namespace

namespace win32 {

HBRUSH BackgroundBrush(const Control* control) {
    HBRUSH brush = nullptr;
    COLORREF color = 0;
    if (control && BackgroundOf(control->impl(), true, brush, color))
        return brush;
    return ::GetSysColorBrush(COLOR_BTNFACE);
}

Control* ControlOf(HWND window) {
    Control::Impl* im = ImplOf(window);
    return im && im->alive ? im->self : nullptr;
}

Control* ControlAt(HWND window) {
    for (HWND w = window; w; w = ::GetAncestor(w, GA_PARENT)) {
        if (Control* c = ControlOf(w))
            return c;
        if (!(::GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD))
            break;
    }
    return nullptr;
}

bool IsLive(const Control* control) { return control && R().live.count(control) != 0; }

bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    Control::Impl* im = nullptr;
    switch (message) {
    case WM_COMMAND:
        if (lParam) // 0: a menu or an accelerator
            im = ImplOf(reinterpret_cast<HWND>(lParam));
        break;
    case WM_NOTIFY:
        if (const auto* header = reinterpret_cast<const NMHDR*>(lParam))
            im = ImplOf(header->hwndFrom);
        break;
    case WM_DRAWITEM:
        if (const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam); item && item->CtlType != ODT_MENU)
            im = ImplOf(item->hwndItem);
        break;
    case WM_MEASUREITEM:
        // Sent while the control's window is being made, before it is known by
        // its handle: by its id, which CreateChild registers first.
        if (const auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam); item && item->CtlType != ODT_MENU) {
            auto it = R().ids.find(item->CtlID);
            im = it == R().ids.end() ? nullptr : it->second;
        }
        break;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: im = ImplOf(reinterpret_cast<HWND>(lParam)); break;
    default: return false;
    }
    if (!im || !im->alive)
        return false;
    Dispatch d; // a handler may destroy the control: its window waits
    return im->Reflect(message, wParam, lParam, result);
}

void DisposeWindow(HWND window) {
    if (!window || !::IsWindow(window))
        return;
    if (Dispatch::Depth() == 0) {
        ::DestroyWindow(window);
        return;
    }
    ::ShowWindow(window, SW_HIDE);
    R().pending.push_back(window);
    // Wakes the loop that runs once the handlers have returned.
    if (HWND app = ApplicationWindow())
        ::PostMessageW(app, kDisposeMessage, 0, 0);
    else
        ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
}

void DisposePending() {
    if (Dispatch::Depth() != 0 || R().pending.empty())
        return;
    std::vector<HWND> windows;
    windows.swap(R().pending);
    for (HWND window : windows)
        if (::IsWindow(window)) // a parent destroyed before took it along
            ::DestroyWindow(window);
}

UINT NewControlId() {
    // WM_COMMAND carries 16 bits of the id; ids below 100 are the system's (IDOK, ...).
    static UINT next = 100;
    for (;;) {
        const UINT id = next;
        next = next >= 0xFFFF ? 100 : next + 1;
        if (!R().ids.count(id))
            return id;
    }
}

HFONT FontFor(const Font& font, bool bold) {
    static std::map<FontKey, HFONT> fonts;
    const FontKey key{font.name ? font.name : "Tahoma", font.height, font.charset, bold || font.bold};
    auto it = fonts.find(key);
    if (it != fonts.end())
        return it->second;
    const std::wstring face = Wide(key.name);
    HFONT handle = ::CreateFontW(key.height, 0, 0, 0, key.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                 static_cast<DWORD>(key.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    if (!handle)
        handle = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    fonts.emplace(key, handle);
    return handle;
}

} // namespace win32

Control::Impl::~Impl() {
    if (backgroundBrush)
        ::DeleteObject(backgroundBrush);
}

void Control::Impl::SetGeometry(int left, int top, int width, int height) {
    if (hwnd)
        ::MoveWindow(hwnd, left, top, std::max(0, width), std::max(0, height), TRUE);
}

Rect Control::Impl::Geometry() const {
    if (!hwnd)
        return {};
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool Control::Impl::Reflect(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // Text that stands on its parent (a label, a check box, a read-only
        // box without a colour of its own) shows the parent's colour.
        const bool onParent = message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN;
        HBRUSH brush = nullptr;
        COLORREF color = 0;
        if (!BackgroundOf(this, onParent, brush, color))
            return false;
        ::SetBkColor(reinterpret_cast<HDC>(wParam), color);
        result = reinterpret_cast<LRESULT>(brush);
        return true;
    }
    default: return false;
    }
}

bool Control::Impl::Filter(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void Control::Impl::CreateChild(Container* parent, const wchar_t* className, DWORD style, DWORD exStyle,
                                const wchar_t* text) {
    HWND parentWindow = parent && parent->impl() ? parent->impl()->client : nullptr;
    if (!parentWindow)
        return; // a parent without a window (destroyed first) holds no child window
    const UINT id = win32::NewControlId();
    R().ids[id] = this;
    hwnd =
        ::CreateWindowExW(exStyle, className, text ? text : L"", style | WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                          parentWindow, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), win32::Instance(), nullptr);
    if (!hwnd) {
        R().ids.erase(id);
        return;
    }
    Adopt(hwnd);
    ::SendMessageW(hwnd, WM_SETFONT,
                   reinterpret_cast<WPARAM>(win32::FontFor(win32::WindowFont(parent->TopWindow()), bold)), FALSE);
}

void Control::Impl::Adopt(HWND window) {
    if (!window)
        return;
    if (window == hwnd && !classProc)
        classProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
    R().windows[window] = this;
    ::SetWindowSubclass(window, ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void Control::Impl::ClientGeometryChanged() {
    if (!container || !client || !alive)
        return;
    RECT r{};
    ::GetClientRect(client, &r);
    const SIZE size{r.right - r.left, r.bottom - r.top};
    if (size.cx == lastClientSize.cx && size.cy == lastClientSize.cy)
        return;
    lastClientSize = size;
    auto* container_ = static_cast<Container*>(self);
    container_->Realign();
    if (container_->OnResize) {
        Dispatch d;
        container_->OnResize();
    }
}

void Control::Impl::ApplyFont() {
    if (!hwnd || !self)
        return;
    ::SendMessageW(hwnd, WM_SETFONT,
                   reinterpret_cast<WPARAM>(win32::FontFor(win32::WindowFont(self->TopWindow()), bold)), TRUE);
}

Control::Control(Container* parent) : parent_(parent) { JoinParent(); }

Control::~Control() {
    Impl* im = impl_.get();
    if (im)
        im->alive = false;
    LeaveParent();
    R().live.erase(this);
    if (im) {
        ForgetImpl(im);
        HWND window = im->hwnd;
        im->hwnd = nullptr;
        im->client = nullptr;
        win32::DisposeWindow(window);
    }
    impl_.reset();
}

void Control::Attach(std::unique_ptr<Impl> impl) {
    impl_ = std::move(impl);
    Impl* im = impl_.get();
    if (!im)
        return;
    im->self = this;
    R().live.insert(this);
    if (im->container && !im->client)
        im->client = im->hwnd;
    if (im->hwnd && !ImplOf(im->hwnd))
        im->Adopt(im->hwnd);
    if (im->client && !ImplOf(im->client))
        im->Adopt(im->client);
}

void Control::SetBounds(int left, int top, int width, int height) {
    if (!impl_)
        return;
    impl_->SetGeometry(left, top, width, height);
    impl_->ClientGeometryChanged();
    if (impl_->align != Align::None && parent_)
        parent_->Realign();
}

Rect Control::Bounds() const { return impl_ ? impl_->Geometry() : Rect{}; }

void Control::SetAlign(Align align) {
    if (!impl_)
        return;
    impl_->align = align;
    if (parent_)
        parent_->Realign();
}

Align Control::GetAlign() const { return impl_ ? impl_->align : Align::None; }

void Control::SetVisible(bool visible) {
    if (!impl_ || !impl_->hwnd)
        return;
    if (impl_->IsWindow()) {
        auto* window = static_cast<Window*>(this);
        visible ? window->Show() : window->Hide();
        return;
    }
    ::ShowWindow(impl_->hwnd, visible ? SW_SHOWNA : SW_HIDE);
    if (impl_->align != Align::None && parent_)
        parent_->Realign();
}

bool Control::IsVisible() const {
    if (!impl_ || !impl_->hwnd)
        return false;
    if (impl_->IsWindow())
        return ::IsWindowVisible(impl_->hwnd) != FALSE;
    // Its own state, whether or not its parent shows.
    return (::GetWindowLongPtrW(impl_->hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Control::SetEnabled(bool enabled) {
    if (impl_ && impl_->hwnd)
        ::EnableWindow(impl_->hwnd, enabled ? TRUE : FALSE);
}

bool Control::IsEnabled() const { return impl_ && impl_->hwnd && ::IsWindowEnabled(impl_->hwnd); }

void Control::SetFocus() {
    if (!impl_ || !impl_->hwnd)
        return;
    if (impl_->IsWindow()) {
        ::SetForegroundWindow(impl_->hwnd);
        ::SetActiveWindow(impl_->hwnd);
        return;
    }
    if (Window* window = TopWindow())
        win32::FocusWithin(*window, impl_->hwnd);
    else
        ::SetFocus(impl_->hwnd);
}

bool Control::HasFocus() const {
    if (!impl_ || !impl_->hwnd)
        return false;
    if (impl_->IsWindow())
        return ::GetActiveWindow() == impl_->hwnd;
    const Window* window = TopWindow();
    HWND focus = window ? win32::FocusOf(*window) : ::GetFocus();
    return focus && (focus == impl_->hwnd || ::IsChild(impl_->hwnd, focus));
}

void Control::SetBold(bool bold) {
    if (!impl_)
        return;
    impl_->bold = bold;
    impl_->ApplyFont();
}

bool Control::IsBold() const { return impl_ && impl_->bold; }

void Control::SetWindowColor() { SetBackgroundColor(impl_.get(), ::GetSysColor(COLOR_WINDOW)); }

void Control::SetBackground(Color color) { SetBackgroundColor(impl_.get(), RGB(color.r, color.g, color.b)); }

void Control::SetHandCursor() {
    if (impl_)
        impl_->handCursor = true;
}

// --- Container ---

void Container::SetAlignMargin(int margin) {
    if (!impl())
        return;
    impl()->alignMargin = margin;
    Realign();
}

namespace {

SIZE ClientSize(const Control::Impl* im) {
    RECT r{};
    if (im && im->client)
        ::GetClientRect(im->client, &r);
    return {r.right - r.left, r.bottom - r.top};
}

} // namespace

int Container::ClientWidth() const { return ClientSize(impl()).cx; }
int Container::ClientHeight() const { return ClientSize(impl()).cy; }

void Container::Realign() {
    Impl* im = impl();
    if (!im || !im->client || !im->alive)
        return;
    std::vector<AlignedChild> children;
    children.reserve(children_.size());
    for (Control* child : children_) {
        Impl* cim = child->impl();
        children.push_back({cim ? cim->align : Align::None, cim ? cim->Geometry() : Rect{}, cim && child->IsVisible()});
    }
    const SIZE size = ClientSize(im);
    const std::vector<Rect> placed = LayOutAligned(children, size.cx, size.cy, im->alignMargin);
    // Placed in the order laid out, so that each child's own children follow
    // its new size at once.
    for (Align pass : {Align::Top, Align::Bottom, Align::Left, Align::Right, Align::Client})
        for (std::size_t i = 0; i < children_.size(); ++i) {
            if (children[i].align != pass || !children[i].visible)
                continue;
            Impl* cim = children_[i]->impl();
            const Rect& r = placed[i];
            cim->SetGeometry(r.left, r.top, r.width, r.height);
            cim->ClientGeometryChanged();
        }
}

} // namespace toolkit
