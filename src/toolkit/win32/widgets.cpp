// The simple controls over the native classes: labels (STATIC), edit boxes
// (EDIT), push buttons, check boxes and radio buttons (BUTTON), group boxes
// and panels (a container window of the backend's own), and flat image
// buttons (a window class of their own that never takes the focus).
#include <algorithm>

#include "toolkit/win32/backend.h"

namespace toolkit {

namespace {

constexpr wchar_t kPanelClass[] = L"TallykeyPanel";
constexpr wchar_t kImageButtonClass[] = L"TallykeyImageButton";
constexpr wchar_t kPasswordCharacter = L'\x25CF';

// Texts come back exactly as the program put them in unless the user changed
// them (bytes the code page leaves undefined survive the round trip).
struct TextMemory {
    std::string ansi;
    std::wstring shown;
    std::string Get(HWND window) const {
        const std::wstring current = win32::WindowTextW(window);
        return current == shown ? ansi : win32::Ansi(current);
    }
};

DWORD StyleOf(HWND window) { return static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)); }

// The size `text` takes in the window's font ("&" marks an access key, as a
// label and a button show it).
SIZE TextSize(HWND window, const std::wstring& text, bool prefix) {
    RECT r{0, 0, 0, 0};
    HDC dc = ::GetDC(window);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)));
    const std::wstring measured = text.empty() ? std::wstring(L" ") : text;
    ::DrawTextW(dc, measured.c_str(), static_cast<int>(measured.size()), &r,
                DT_CALCRECT | DT_EXPANDTABS | (prefix ? 0 : DT_NOPREFIX));
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    return {text.empty() ? 0 : r.right - r.left, r.bottom - r.top};
}

void Resize(HWND window, SIZE size) {
    ::SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- Containers ---

struct ContainerImpl : Control::Impl {
    bool groupBox = false;
    std::string caption;
    HFONT font = nullptr; // what WM_SETFONT gave the window
};

// A group box's etched frame starts half a line down with the caption on its
// top edge, so that children placed from the box's top-left corner clear it.
void PaintGroupFrame(HWND hwnd, HDC dc, const ContainerImpl& im) {
    RECT r{};
    ::GetClientRect(hwnd, &r);
    HGDIOBJ old = ::SelectObject(dc, im.font ? im.font : ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    RECT frame = r;
    frame.top = metrics.tmHeight / 2;
    ::DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!im.caption.empty()) {
        const std::wstring text = win32::Wide(im.caption);
        RECT caption{8, 0, 8, metrics.tmHeight};
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &caption, DT_CALCRECT | DT_SINGLELINE);
        caption.right += 4;
        ::FillRect(dc, &caption, win32::BackgroundBrush(im.self));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(::IsWindowEnabled(hwnd) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &caption, DT_CENTER | DT_SINGLELINE);
    }
    ::SelectObject(dc, old);
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (win32::ReflectToChild(message, wParam, lParam, result))
        return result;
    Control* control = win32::ControlOf(hwnd);
    auto* im = control ? static_cast<ContainerImpl*>(control->impl()) : nullptr;
    switch (message) {
    case WM_SIZE:
        if (im) {
            im->ClientGeometryChanged();
            if (im->groupBox)
                ::InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_SETFONT:
        if (im)
            im->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT: return im ? reinterpret_cast<LRESULT>(im->font) : 0;
    case WM_ERASEBKGND: {
        RECT r{};
        ::GetClientRect(hwnd, &r);
        ::FillRect(reinterpret_cast<HDC>(wParam), &r, win32::BackgroundBrush(control));
        return 1;
    }
    case WM_PAINT:
        if (im && im->groupBox) {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            PaintGroupFrame(hwnd, dc, *im);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        break;
    default: break;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterClasses();

// --- Label ---

struct LabelImpl : Control::Impl {
    bool autoSize = true;
    std::string caption;
    void Fit() {
        if (autoSize && hwnd)
            Resize(hwnd, TextSize(hwnd, win32::WindowTextW(hwnd), true));
    }
};

LabelImpl* L(const Control* c) { return static_cast<LabelImpl*>(c->impl()); }

// --- Edit boxes ---

struct EditImpl : Control::Impl {
    TextMemory text;
    bool multiLine = false;
    bool wantReturn = false;

    bool TakesEnter() const override { return multiLine && wantReturn; }

    bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE && !multiLine) {
            auto* edit = static_cast<Edit*>(self);
            if (edit->OnChange) {
                Dispatch d;
                edit->OnChange();
            }
            return true;
        }
        return Control::Impl::Reflect(message, wParam, lParam, result);
    }

    bool Filter(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        // Tab leaves a multi-line box, as in a dialog box.
        if (message == WM_GETDLGCODE && multiLine && classProc) {
            result = ::CallWindowProcW(classProc, hwnd, message, wParam, lParam) & ~(DLGC_WANTTAB | DLGC_WANTALLKEYS);
            return true;
        }
        return false;
    }

    // Styles the class reads only when the window is made: the window is made
    // again with them, keeping its text, place, state and font.
    void Remake(DWORD add, DWORD remove) {
        if (!hwnd || !self->Parent())
            return;
        const DWORD style = (StyleOf(hwnd) | add) & ~remove;
        const DWORD ex = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
        const Rect bounds = Geometry();
        const std::wstring current = win32::WindowTextW(hwnd);
        const auto password = static_cast<WPARAM>(::SendMessageW(hwnd, EM_GETPASSWORDCHAR, 0, 0));
        const bool enabled = ::IsWindowEnabled(hwnd) != FALSE;
        const bool focused = ::GetFocus() == hwnd;
        HWND old = hwnd;
        hwnd = nullptr;
        classProc = nullptr;
        win32::DisposeWindow(old);
        CreateChild(self->Parent(), L"EDIT", style & ~(WS_CHILD | WS_VISIBLE), ex, current.c_str());
        if (!hwnd)
            return;
        if (!(style & WS_VISIBLE))
            ::ShowWindow(hwnd, SW_HIDE);
        ::SetWindowPos(hwnd, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
        ::SendMessageW(hwnd, EM_SETPASSWORDCHAR, password, 0);
        ::SendMessageW(hwnd, EM_LIMITTEXT, 0, 0);
        ::EnableWindow(hwnd, enabled);
        win32::GuardEdit(hwnd, !multiLine);
        ApplyFont();
        if (focused)
            ::SetFocus(hwnd);
    }
};

EditImpl* E(const Control* c) { return static_cast<EditImpl*>(c->impl()); }

void MakeEdit(Control& control, Container& parent, bool multiLine) {
    auto* im = static_cast<EditImpl*>(control.impl());
    im->multiLine = multiLine;
    // A multi-line box always scrolls down as lines are added: without it the
    // class refuses whatever goes below the last line it shows.
    DWORD style = WS_TABSTOP;
    style |= multiLine ? ES_MULTILINE | ES_AUTOVSCROLL : ES_AUTOHSCROLL;
    im->CreateChild(&parent, L"EDIT", style, WS_EX_CLIENTEDGE);
    if (!im->hwnd)
        return;
    ::SendMessageW(im->hwnd, EM_LIMITTEXT, 0, 0); // no limit of the program's
    win32::GuardEdit(im->hwnd, !multiLine);
}

void SetEditText(EditImpl* im, const std::string& text) {
    im->text = {text, im->multiLine ? win32::WideLines(text) : win32::Wide(text)};
    if (im->hwnd)
        ::SetWindowTextW(im->hwnd, im->text.shown.c_str());
}

// --- Buttons ---

struct ButtonImpl : Control::Impl {
    std::string caption;
    int modalResult = ResultNone;
    bool push = false;
    bool radio = false;
    // Image buttons
    const ImageList* images = nullptr;
    int imageIndex = -1;
    bool pressed = false;

    // A push button takes Enter as its own (ignored) key, unless it is the default one.
    bool TakesEnter() const override { return push; }

    bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_COMMAND && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DOUBLECLICKED)) {
            if (radio)
                CheckRadio(true);
            Clicked();
            return true;
        }
        return Control::Impl::Reflect(message, wParam, lParam, result);
    }

    // Radio buttons with the same parent exclude each other.
    void CheckRadio(bool checked) {
        if (!hwnd)
            return;
        if (checked && self->Parent())
            for (Control* sibling : self->Parent()->Children())
                if (sibling != self && dynamic_cast<RadioButton*>(sibling) && sibling->impl() && sibling->impl()->hwnd)
                    ::SendMessageW(sibling->impl()->hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
        ::SendMessageW(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    std::function<void()>& OnClick() const {
        if (auto* b = dynamic_cast<Button*>(self))
            return b->OnClick;
        if (auto* c = dynamic_cast<CheckBox*>(self))
            return c->OnClick;
        if (auto* r = dynamic_cast<RadioButton*>(self))
            return r->OnClick;
        return static_cast<ImageButton*>(self)->OnClick;
    }

    // Clicks of every kind of button run the same steps.
    void Clicked() {
        Control* control = self;
        const int result = modalResult;
        if (std::function<void()> handler = OnClick()) {
            Dispatch d;
            handler();
            if (!win32::IsLive(control))
                return;
        }
        if (result != ResultNone)
            if (Window* window = control->TopWindow())
                window->EndModal(result);
    }

    void SetCaption(const std::string& text, bool fit) {
        caption = text;
        if (!hwnd)
            return;
        ::SetWindowTextW(hwnd, win32::Wide(text).c_str());
        if (fit) { // the box and the caption beside it
            const SIZE text = TextSize(hwnd, win32::WindowTextW(hwnd), true);
            Resize(hwnd, {text.cx + ::GetSystemMetrics(SM_CXMENUCHECK) + 8, std::max<LONG>(text.cy + 4, 17)});
        }
    }
};

ButtonImpl* B(const Control* c) { return static_cast<ButtonImpl*>(c->impl()); }

LRESULT CALLBACK ImageButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* control = win32::ControlOf(hwnd);
    ButtonImpl* im = control ? B(control) : nullptr;
    switch (message) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (im) {
            ::SetCapture(hwnd);
            im->pressed = true;
            ::InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_LBUTTONUP:
        if (im && im->pressed) {
            im->pressed = false;
            ::ReleaseCapture();
            ::InvalidateRect(hwnd, nullptr, TRUE);
            RECT r{};
            ::GetClientRect(hwnd, &r);
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (::PtInRect(&r, at) && ::IsWindowEnabled(hwnd))
                im->Clicked();
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (im && im->pressed) {
            im->pressed = false;
            ::InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT r{};
        ::GetClientRect(hwnd, &r);
        ::FillRect(dc, &r, win32::BackgroundBrush(control ? control->Parent() : nullptr));
        if (im && im->images && im->imageIndex >= 0 && im->imageIndex < im->images->Count())
            if (HIMAGELIST list = win32::ImageListHandle(im->images)) {
                int w = 0, h = 0;
                ::ImageList_GetIconSize(list, &w, &h);
                const int shift = im->pressed ? 1 : 0; // one pixel right and down while pressed
                ::ImageList_Draw(list, im->imageIndex, dc, (r.right - w) / 2 + shift, (r.bottom - h) / 2 + shift,
                                 ::IsWindowEnabled(hwnd) ? ILD_TRANSPARENT : ILD_TRANSPARENT | ILD_BLEND50);
            }
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    default: return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void RegisterClasses() {
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = win32::Instance();
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kPanelClass;
    ::RegisterClassExW(&wc); // fails harmlessly when already registered
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ImageButtonProc;
    wc.lpszClassName = kImageButtonClass;
    ::RegisterClassExW(&wc);
    registered = true;
}

void MakeContainer(ContainerImpl& im, Container& parent) {
    RegisterClasses();
    im.container = true;
    // Tab and the arrows go on into the container's children.
    im.CreateChild(&parent, kPanelClass, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
    im.client = im.hwnd;
    // The window's font, which the window could not keep before it had its control.
    im.font = win32::FontFor(win32::WindowFont(parent.TopWindow()), im.bold);
}

} // namespace

// --- Label ---

Label::Label(Container& parent) : Control(&parent) {
    auto im = std::make_unique<LabelImpl>();
    im->CreateChild(&parent, L"STATIC", SS_LEFT);
    Attach(std::move(im));
}

void Label::SetCaption(const std::string& text) {
    LabelImpl* im = L(this);
    im->caption = text;
    if (!im->hwnd)
        return;
    ::SetWindowTextW(im->hwnd, win32::Wide(text).c_str());
    im->Fit();
}

std::string Label::Caption() const { return L(this)->caption; }

void Label::SetAutoSize(bool autoSize) {
    L(this)->autoSize = autoSize;
    L(this)->Fit();
}

void Label::SetRightAligned(bool right) {
    if (HWND hwnd = L(this)->hwnd) {
        const DWORD style = (StyleOf(hwnd) & ~(SS_LEFT | SS_RIGHT | SS_CENTER)) | (right ? SS_RIGHT : SS_LEFT);
        ::SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG_PTR>(style));
        ::InvalidateRect(hwnd, nullptr, TRUE);
    }
}

// --- Edit ---

Edit::Edit(Container& parent) : Control(&parent) {
    Attach(std::make_unique<EditImpl>());
    MakeEdit(*this, parent, false);
}

void Edit::SetText(const std::string& text) {
    SetEditText(E(this), text);
    // The start of the text shows, as in a box that was just filled.
    if (HWND hwnd = E(this)->hwnd)
        ::SendMessageW(hwnd, EM_SETSEL, 0, 0);
}

std::string Edit::Text() const { return E(this)->hwnd ? E(this)->text.Get(E(this)->hwnd) : std::string(); }

void Edit::SetReadOnly(bool readOnly) {
    if (HWND hwnd = E(this)->hwnd)
        ::SendMessageW(hwnd, EM_SETREADONLY, readOnly, 0);
}

bool Edit::IsReadOnly() const { return E(this)->hwnd && (StyleOf(E(this)->hwnd) & ES_READONLY); }

void Edit::SetPasswordStyle(bool password) {
    if (HWND hwnd = E(this)->hwnd) {
        ::SendMessageW(hwnd, EM_SETPASSWORDCHAR, password ? kPasswordCharacter : 0, 0);
        ::InvalidateRect(hwnd, nullptr, TRUE);
    }
}

bool Edit::IsPasswordStyle() const {
    return E(this)->hwnd && ::SendMessageW(E(this)->hwnd, EM_GETPASSWORDCHAR, 0, 0) != 0;
}

void Edit::SetNumbersOnly(bool numbers) {
    // The class reads ES_NUMBER as each character comes.
    if (HWND hwnd = E(this)->hwnd)
        ::SetWindowLongPtrW(hwnd, GWL_STYLE,
                            static_cast<LONG_PTR>(numbers ? StyleOf(hwnd) | ES_NUMBER : StyleOf(hwnd) & ~ES_NUMBER));
}

void Edit::SetRightAligned(bool right) {
    if (HWND hwnd = E(this)->hwnd; hwnd && ((StyleOf(hwnd) & ES_RIGHT) != 0) != right)
        E(this)->Remake(right ? ES_RIGHT : 0, right ? 0 : ES_RIGHT);
}

void Edit::SelectAll() {
    if (HWND hwnd = E(this)->hwnd)
        ::SendMessageW(hwnd, EM_SETSEL, 0, -1);
}

std::string Edit::SelectedText() const {
    HWND hwnd = E(this)->hwnd;
    if (!hwnd)
        return {};
    DWORD start = 0, end = 0;
    ::SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const std::wstring text = win32::WindowTextW(hwnd);
    end = std::min<DWORD>(end, static_cast<DWORD>(text.size()));
    start = std::min(start, end);
    const std::string all = Text();
    // The whole text selected comes back as the program's own bytes.
    if (start == 0 && end == text.size())
        return all;
    return win32::Ansi(std::wstring_view(text).substr(start, end - start));
}

// --- Memo ---

Memo::Memo(Container& parent) : Control(&parent) {
    Attach(std::make_unique<EditImpl>());
    MakeEdit(*this, parent, true);
}

void Memo::SetText(const std::string& text) { SetEditText(E(this), text); }

std::string Memo::Text() const {
    EditImpl* im = E(this);
    return im->hwnd ? im->text.Get(im->hwnd) : std::string(); // the class's line breaks are CR LF
}

void Memo::SetReadOnly(bool readOnly) {
    if (HWND hwnd = E(this)->hwnd)
        ::SendMessageW(hwnd, EM_SETREADONLY, readOnly, 0);
}

void Memo::SetWordWrap(bool wrap) {
    // Lines wrap at the box's width unless it scrolls sideways.
    if (HWND hwnd = E(this)->hwnd; hwnd && ((StyleOf(hwnd) & ES_AUTOHSCROLL) == 0) != wrap)
        E(this)->Remake(wrap ? 0 : ES_AUTOHSCROLL | WS_HSCROLL, wrap ? ES_AUTOHSCROLL | WS_HSCROLL : 0);
}

void Memo::SetScrollBars(bool scrollBars) {
    HWND hwnd = E(this)->hwnd;
    if (!hwnd)
        return;
    const bool wrap = (StyleOf(hwnd) & ES_AUTOHSCROLL) == 0;
    const DWORD bars = WS_VSCROLL | (wrap ? 0 : WS_HSCROLL);
    if (((StyleOf(hwnd) & WS_VSCROLL) != 0) != scrollBars)
        E(this)->Remake(scrollBars ? bars : 0, scrollBars ? 0 : WS_VSCROLL | WS_HSCROLL);
}

void Memo::SetWantReturn(bool wantReturn) { E(this)->wantReturn = wantReturn; }
bool Memo::WantsReturn() const { return E(this)->wantReturn; }

// --- Button ---

Button::Button(Container& parent) : Control(&parent) {
    auto im = std::make_unique<ButtonImpl>();
    im->push = true;
    im->CreateChild(&parent, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON);
    Attach(std::move(im));
}

void Button::SetCaption(const std::string& text) { B(this)->SetCaption(text, false); }
std::string Button::Caption() const { return B(this)->caption; }
void Button::SetModalResult(int result) { B(this)->modalResult = result; }

// As a mouse click: nothing while the button is disabled.
void Button::Click() {
    if (B(this)->hwnd && ::IsWindowEnabled(B(this)->hwnd))
        B(this)->Clicked();
}

// --- CheckBox ---

CheckBox::CheckBox(Container& parent) : Control(&parent) {
    auto im = std::make_unique<ButtonImpl>();
    im->CreateChild(&parent, L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX);
    Attach(std::move(im));
}

void CheckBox::SetCaption(const std::string& text) { B(this)->SetCaption(text, true); }
std::string CheckBox::Caption() const { return B(this)->caption; }

void CheckBox::SetChecked(bool checked) {
    if (HWND hwnd = B(this)->hwnd)
        ::SendMessageW(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckBox::IsChecked() const {
    return B(this)->hwnd && ::SendMessageW(B(this)->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::Click() {
    if (!B(this)->hwnd || !::IsWindowEnabled(B(this)->hwnd))
        return;
    SetChecked(!IsChecked());
    B(this)->Clicked();
}

// --- RadioButton ---

RadioButton::RadioButton(Container& parent) : Control(&parent) {
    auto im = std::make_unique<ButtonImpl>();
    im->radio = true;
    // Not the class's automatic radio button: its group follows the dialog
    // manager's WS_GROUP rules, not the parent.
    im->CreateChild(&parent, L"BUTTON", WS_TABSTOP | BS_RADIOBUTTON);
    Attach(std::move(im));
}

void RadioButton::SetCaption(const std::string& text) { B(this)->SetCaption(text, true); }
std::string RadioButton::Caption() const { return B(this)->caption; }
void RadioButton::SetChecked(bool checked) { B(this)->CheckRadio(checked); }

bool RadioButton::IsChecked() const {
    return B(this)->hwnd && ::SendMessageW(B(this)->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void RadioButton::Click() {
    if (!B(this)->hwnd || !::IsWindowEnabled(B(this)->hwnd))
        return;
    B(this)->CheckRadio(true);
    B(this)->Clicked();
}

// --- ImageButton ---

ImageButton::ImageButton(Container& parent) : Control(&parent) {
    RegisterClasses();
    auto im = std::make_unique<ButtonImpl>();
    im->CreateChild(&parent, kImageButtonClass, 0);
    Attach(std::move(im));
}

void ImageButton::SetImage(const ImageList* images, int index) {
    B(this)->images = images;
    B(this)->imageIndex = index;
    if (HWND hwnd = B(this)->hwnd)
        ::InvalidateRect(hwnd, nullptr, TRUE);
}

int ImageButton::ImageIndex() const { return B(this)->imageIndex; }

void ImageButton::Click() {
    if (B(this)->hwnd && ::IsWindowEnabled(B(this)->hwnd))
        B(this)->Clicked();
}

// --- GroupBox ---

GroupBox::GroupBox(Container& parent) : Container(&parent) {
    auto im = std::make_unique<ContainerImpl>();
    im->groupBox = true;
    MakeContainer(*im, parent);
    Attach(std::move(im));
}

void GroupBox::SetCaption(const std::string& text) {
    auto* im = static_cast<ContainerImpl*>(impl());
    im->caption = text;
    if (im->hwnd)
        ::InvalidateRect(im->hwnd, nullptr, TRUE);
}

std::string GroupBox::Caption() const { return static_cast<ContainerImpl*>(impl())->caption; }

// --- Panel ---

Panel::Panel(Container& parent) : Container(&parent) {
    auto im = std::make_unique<ContainerImpl>();
    MakeContainer(*im, parent);
    Attach(std::move(im));
}

} // namespace toolkit
