// Drop-down lists without typing over the COMBOBOX class (CBS_DROPDOWNLIST),
// optionally drawn by the program (CBS_OWNERDRAWFIXED with the texts kept, so
// that a typed character still selects the next item that starts with it).
#include "toolkit/win32/backend.h"

#include <algorithm>

namespace toolkit {

namespace {

// The list shows this many items when the program sets no height of its own.
constexpr int kDefaultVisibleItems = 8;

Rect ToRect(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }
RECT ToRECT(const Rect& r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }

// The drawing surface of one WM_DRAWITEM: the item's device context with the
// box's font, in the colours of the item's state.
class DcCanvas : public Canvas {
public:
    DcCanvas(HDC dc, HBRUSH background, bool highlighted, bool disabled)
        : dc_(dc), background_(background), highlighted_(highlighted) {
        ::SetBkMode(dc_, TRANSPARENT);
        ::SetTextColor(dc_, ::GetSysColor(highlighted ? COLOR_HIGHLIGHTTEXT
                                          : disabled  ? COLOR_GRAYTEXT
                                                      : COLOR_WINDOWTEXT));
    }

    void FillRect(const Rect& rect) override {
        const RECT r = ToRECT(rect);
        ::FillRect(dc_, &r, highlighted_ ? ::GetSysColorBrush(COLOR_HIGHLIGHT) : background_);
    }

    void DrawFocusRect(const Rect& rect) override {
        const RECT r = ToRECT(rect);
        ::DrawFocusRect(dc_, &r);
    }

    void DrawImage(const ImageList& images, int index, int x, int y) override {
        if (HIMAGELIST list = win32::ImageListHandle(&images); list && index >= 0 && index < images.Count())
            ::ImageList_Draw(list, index, dc_, x, y, ILD_TRANSPARENT);
    }

    void DrawText(const std::string& text, const Rect& rect) override {
        std::wstring wide = win32::Wide(text);
        RECT r = ToRECT(rect);
        ::DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &r,
                    DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }

private:
    HDC dc_;
    HBRUSH background_;
    bool highlighted_;
};

struct ComboImpl : Control::Impl {
    std::vector<std::string> texts; // as the program gave them (the window holds UTF-16)
    int selected = -1;              // the selection the program last saw
    bool ownerDraw = false;
    int itemHeight = 0;     // 0: the platform's
    int dropDownHeight = 0; // 0: kDefaultVisibleItems items
    Rect bounds;            // as the program set them; the height is the closed box's
    bool placed = false;
    int quiet = 0; // selections the program makes report nothing

    ComboBox* Self() const { return static_cast<ComboBox*>(self); }

    DWORD Style() const {
        DWORD style = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        // An owner-drawn list is exactly as high as it is set, not rounded to whole items.
        if (ownerDraw)
            style |= CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | CBS_NOINTEGRALHEIGHT;
        return style;
    }

    int Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return hwnd ? static_cast<int>(::SendMessageW(hwnd, message, wParam, lParam)) : CB_ERR;
    }

    int ItemHeight() const {
        if (ownerDraw && itemHeight > 0)
            return itemHeight;
        const int height = Send(CB_GETITEMHEIGHT, 0);
        return height > 0 ? height : 16;
    }

    // The dropped list's height: the program's, or as many items as there
    // are up to kDefaultVisibleItems (with room for the list's border).
    int ListHeight() const {
        if (dropDownHeight > 0)
            return dropDownHeight;
        const int items = std::clamp(static_cast<int>(texts.size()), 1, kDefaultVisibleItems);
        return items * ItemHeight() + 4;
    }

    int Current() const { return hwnd ? Send(CB_GETCURSEL) : selected; }

    void Select(int index) {
        ++quiet;
        Send(CB_SETCURSEL, static_cast<WPARAM>(index));
        --quiet;
        selected = index;
    }

    // The closed box gets the height it was given (the platform would size it
    // to its font): its selection field is made as high as that leaves. The
    // window's height beyond the closed box is the dropped list's.
    void Place() {
        if (!hwnd || !placed)
            return;
        const int height = std::max(1, bounds.height);
        // What the class adds around the field's height differs between
        // systems (and between asking and setting it): corrected by what shows.
        int field = Send(CB_GETITEMHEIGHT, static_cast<WPARAM>(-1));
        for (int attempt = 0; attempt < 3 && field >= 0; ++attempt) {
            const int shown = ShownHeight();
            if (shown == height)
                break;
            field = std::max(1, field + height - shown);
            Send(CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        }
        ::MoveWindow(hwnd, bounds.left, bounds.top, std::max(0, bounds.width), height + ListHeight(), TRUE);
        if (!ownerDraw) // a list rounded to whole items shows as many as fit
            Send(CB_SETMINVISIBLE, static_cast<WPARAM>(std::max(1, ListHeight() / ItemHeight())));
    }

    int ShownHeight() const {
        RECT r{};
        ::GetWindowRect(hwnd, &r);
        return r.bottom - r.top;
    }

    void SetGeometry(int left, int top, int width, int height) override {
        bounds = {left, top, width, height};
        placed = true;
        Place();
    }

    // The window of the box as its style now says: made again when owner
    // drawing is switched, as the class reads its style once. Items,
    // selection, place, visibility, state and tab order stay.
    void Make() {
        Container* parent = self ? self->Parent() : nullptr;
        HWND old = hwnd;
        const bool visible = !old || (::GetWindowLongPtrW(old, GWL_STYLE) & WS_VISIBLE);
        const bool enabled = !old || ::IsWindowEnabled(old);
        const bool focused = old && ::GetFocus() == old;
        if (old)
            selected = Current();
        hwnd = nullptr;
        classProc = nullptr;
        CreateChild(parent, WC_COMBOBOXW, Style());
        if (!hwnd) {
            hwnd = old;
            return;
        }
        if (old) {
            ::SetWindowPos(hwnd, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            win32::DisposeWindow(old);
        }
        // Where the platform asked before the window was known, it is told now.
        if (ownerDraw && itemHeight > 0)
            Send(CB_SETITEMHEIGHT, 0, itemHeight);
        for (const std::string& text : texts)
            Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::Wide(text).c_str()));
        Select(selected);
        Place();
        if (!visible)
            ::ShowWindow(hwnd, SW_HIDE);
        if (!enabled)
            ::EnableWindow(hwnd, FALSE);
        if (focused)
            ::SetFocus(hwnd);
    }

    // An open list takes Enter (the choice) and Escape (closing it), not the window.
    bool TakesEnter() const override { return hwnd && Send(CB_GETDROPPEDSTATE) != 0; }
    bool TakesEscape() const override { return TakesEnter(); }

    bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == CBN_DROPDOWN) {
                Place(); // the list as high as the items it has now
                return true;
            }
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                const int now = Current();
                if (quiet || now == selected)
                    return true;
                selected = now;
                if (alive && Self()->OnChange) {
                    Dispatch d;
                    Self()->OnChange();
                }
                return true;
            }
            return false;
        case WM_MEASUREITEM:
            if (ownerDraw && itemHeight > 0)
                reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(itemHeight);
            result = TRUE;
            return true;
        case WM_DRAWITEM:
            Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            result = TRUE;
            return true;
        default: return Control::Impl::Reflect(message, wParam, lParam, result);
        }
    }

    void Draw(const DRAWITEMSTRUCT& item) {
        HDC dc = item.hDC;
        const int saved = ::SaveDC(dc);
        if (HFONT font = reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)))
            ::SelectObject(dc, font);
        HBRUSH background = hasBackground && backgroundBrush ? backgroundBrush : ::GetSysColorBrush(COLOR_WINDOW);
        const bool selectedState = (item.itemState & ODS_SELECTED) != 0;
        DcCanvas canvas(dc, background, selectedState, (item.itemState & ODS_DISABLED) != 0);
        DrawItemInfo info;
        info.index = static_cast<int>(item.itemID);
        info.rect = ToRect(item.rcItem);
        info.focusAction = item.itemAction == ODA_FOCUS;
        info.comboEdit = (item.itemState & ODS_COMBOBOXEDIT) != 0;
        info.selected = selectedState;
        info.focused = (item.itemState & ODS_FOCUS) != 0;
        ComboBox* owner = Self();
        if (info.index >= 0 && alive && owner->OnDrawItem) {
            Dispatch d;
            owner->OnDrawItem(canvas, info);
        } else {
            // No item (an empty selection) or nobody to draw it: the background,
            // and the focus where it is.
            canvas.FillRect(info.rect);
            if (info.focused || info.focusAction)
                canvas.DrawFocusRect(info.rect);
        }
        ::RestoreDC(dc, saved);
    }
};

ComboImpl* C(const Control* c) { return static_cast<ComboImpl*>(c->impl()); }

} // namespace

ComboBox::ComboBox(Container& parent) : Control(&parent) {
    Attach(std::make_unique<ComboImpl>());
    C(this)->Make();
}

int ComboBox::AddItem(const std::string& text) {
    ComboImpl* im = C(this);
    im->texts.push_back(text);
    im->Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::Wide(text).c_str()));
    if (im->texts.size() == 1)
        im->Select(0);
    return static_cast<int>(im->texts.size()) - 1;
}

void ComboBox::ClearItems() {
    ComboImpl* im = C(this);
    im->texts.clear();
    ++im->quiet;
    im->Send(CB_RESETCONTENT);
    --im->quiet;
    im->selected = -1;
}

int ComboBox::Count() const { return static_cast<int>(C(this)->texts.size()); }

std::string ComboBox::ItemText(int index) const {
    const auto& texts = C(this)->texts;
    return index >= 0 && index < static_cast<int>(texts.size()) ? texts[static_cast<size_t>(index)] : std::string();
}

void ComboBox::SetItemText(int index, const std::string& text) {
    ComboImpl* im = C(this);
    if (index < 0 || index >= Count())
        return;
    im->texts[static_cast<size_t>(index)] = text;
    if (!im->hwnd)
        return;
    // The list has no way to change a text in place: the item is put back new.
    const int current = im->Current();
    ++im->quiet;
    im->Send(CB_DELETESTRING, static_cast<WPARAM>(index));
    im->Send(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(win32::Wide(text).c_str()));
    --im->quiet;
    im->Select(current);
}

void ComboBox::SetItemIndex(int index) {
    ComboImpl* im = C(this);
    if (index < -1 || index >= Count())
        return;
    im->Select(index);
}

int ComboBox::ItemIndex() const { return C(this)->Current(); }

void ComboBox::SetOwnerDraw(bool ownerDraw, int itemHeight) {
    ComboImpl* im = C(this);
    itemHeight = std::max(0, itemHeight);
    if (im->ownerDraw == ownerDraw && im->itemHeight == itemHeight)
        return;
    im->ownerDraw = ownerDraw;
    im->itemHeight = itemHeight;
    im->Make();
}

int ComboBox::ItemHeight() const { return C(this)->ItemHeight(); }

void ComboBox::SetDropDownHeight(int height) {
    ComboImpl* im = C(this);
    im->dropDownHeight = std::max(0, height);
    im->Place();
}

void ComboBox::SelectByUser(int index) {
    ComboImpl* im = C(this);
    if (index < -1 || index >= Count())
        return;
    im->Select(index);
    if (OnChange) {
        Dispatch d;
        OnChange();
    }
}

} // namespace toolkit
