// Windows and the controls they are made of. Every text crossing this API is
// 8-bit ANSI (see ansi_text.h); positions are pixels in the parent's client
// area. A control is created as a child of a container and belongs to the
// program object that holds it; destroying either side first is safe.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/image_list.h"
#include "toolkit/resources.h"
#include "toolkit/types.h"

namespace toolkit {

class Container;
class Window;
class Button;
class Menu;

enum class Align { None, Top, Bottom, Left, Right, Client };

// One control. Key handlers return true when they consumed the key.
class Control {
public:
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // A name to find the control by (tests, language loaders).
    void SetName(const std::string& name);
    const std::string& Name() const;

    void SetBounds(int left, int top, int width, int height);
    Rect Bounds() const; // in the parent's client coordinates
    void SetAlign(Align align);
    Align GetAlign() const;

    void SetVisible(bool visible);
    bool IsVisible() const;
    void SetEnabled(bool enabled);
    bool IsEnabled() const;
    void SetFocus();
    bool HasFocus() const;

    void SetBold(bool bold);
    bool IsBold() const;
    // Background in the system's window colour (edit boxes that should not look greyed).
    void SetWindowColor();
    void SetBackground(Color color);
    void SetHandCursor();

    Container* Parent() const { return parent_; }
    Window* TopWindow() const;

    // Key events as the control receives them (after the window's accelerators).
    std::function<bool(int vk, unsigned mods)> OnKeyDown;
    std::function<bool(int vk, unsigned mods)> OnKeyUp;
    std::function<bool(char ch)> OnChar;
    std::function<void()> OnFocus;

    struct Impl;
    Impl* impl() const { return impl_.get(); }

protected:
    explicit Control(Container* parent);
    void Attach(std::unique_ptr<Impl> impl);

private:
    friend class Container;
    // Puts the control among its parent's children, and takes it out.
    void JoinParent();
    void LeaveParent();

    Container* parent_;
    std::string name_;
    std::unique_ptr<Impl> impl_;
};

// A control that holds other controls and lays out those aligned to an edge.
class Container : public Control {
public:
    // Margin kept between aligned children and the container's edges.
    void SetAlignMargin(int margin);
    int ClientWidth() const;
    int ClientHeight() const;
    // Searches the whole subtree by name.
    Control* FindControl(const std::string& name) const;
    const std::vector<Control*>& Children() const { return children_; }
    void Realign();

    std::function<void()> OnResize;

protected:
    explicit Container(Container* parent);
    // The children outlive it without a parent.
    ~Container() override;

private:
    friend class Control;
    std::vector<Control*> children_;
};

enum class WindowStyle {
    Main,   // sizing border, minimise box, no maximise box
    Dialog, // fixed dialog frame, close box only, no icon
};

class Window : public Container {
public:
    // A window owned by `owner`, or by the application object when null.
    explicit Window(WindowStyle style, Window* owner = nullptr);
    ~Window() override;

    void SetCaption(const std::string& caption);
    std::string Caption() const;
    void SetFont(const Font& font); // for the window and every control in it
    void SetClientSize(int width, int height);
    // Outer rectangle in screen coordinates (frame and menu bar included).
    Rect OuterRect() const;
    void SetOuterLeft(int left);
    void SetOuterTop(int top);
    void SetOuterWidth(int width);
    void SetOuterHeight(int height);
    void SetPosition(int left, int top);
    // left = (screen width - outer width) / 2, top likewise, rounded down.
    void CenterOnScreen();
    // A resource in the image format of the backend's platform (PNG on
    // Linux, an icon resource on Windows).
    void SetIcon(const ResourceData& icon);
    void SetMenu(Menu* menu);
    void AcceptDroppedFiles(bool accept);

    void Show();
    void Hide();
    bool IsShown() const;
    void Minimize();
    void Restore();
    bool IsMinimized() const;
    void BringToFront();
    // Posts a close request, the same path as the close box.
    void Close();

    // Modal use: shows the window, disables the program's other windows,
    // runs a nested loop until a result is set and returns it.
    int ShowModal();
    void EndModal(int result);
    int ModalResult() const;
    bool IsModal() const;
    // Enter clicks the default button unless the focused control takes Enter
    // itself (a multi-line box that wants returns, or another push button);
    // Escape clicks the cancel button from anywhere.
    void SetDefaultButton(Button* button);
    void SetCancelButton(Button* button);
    Control* FocusedControl() const;

    // A close request: return false to refuse it. Unset means accept.
    std::function<bool()> OnCloseQuery;
    std::function<void()> OnShow;
    // Names of the dropped files joined by CR when there are several.
    std::function<void(const std::string& files)> OnDropFiles;

    WindowStyle Style() const;
    Window* Owner() const;
};

class Label : public Control {
public:
    explicit Label(Container& parent);
    void SetCaption(const std::string& text); // resizes itself when auto-sized
    std::string Caption() const;
    void SetAutoSize(bool autoSize);          // default: sized to its text
    void SetRightAligned(bool right);
};

class Edit : public Control {
public:
    explicit Edit(Container& parent);
    void SetText(const std::string& text);
    std::string Text() const;
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const;
    void SetPasswordStyle(bool password); // masked with the platform's password character
    bool IsPasswordStyle() const;
    void SetNumbersOnly(bool numbers);    // typing accepts digits only (pasting does not check)
    void SetRightAligned(bool right);
    void SelectAll();
    std::string SelectedText() const;
    std::function<void()> OnChange;
};

// Multi-line edit box; line breaks are CR LF in its text.
class Memo : public Control {
public:
    explicit Memo(Container& parent);
    void SetText(const std::string& text);
    std::string Text() const;
    void SetReadOnly(bool readOnly);
    void SetWordWrap(bool wrap);
    void SetScrollBars(bool scrollBars);
    void SetWantReturn(bool wantReturn); // Enter starts a new line instead of going to the dialog
    bool WantsReturn() const;
};

class Button : public Control {
public:
    explicit Button(Container& parent);
    void SetCaption(const std::string& text);
    std::string Caption() const;
    // Result the window ends with when the button is clicked (ResultNone: none).
    void SetModalResult(int result);
    void Click(); // as a mouse click
    std::function<void()> OnClick;
};

class CheckBox : public Control {
public:
    explicit CheckBox(Container& parent);
    void SetCaption(const std::string& text); // sized to its caption
    std::string Caption() const;
    void SetChecked(bool checked);            // runs no OnClick
    bool IsChecked() const;
    void Click();                             // toggles and runs OnClick, as the user does
    std::function<void()> OnClick;
};

// Radio buttons with the same parent exclude each other.
class RadioButton : public Control {
public:
    explicit RadioButton(Container& parent);
    void SetCaption(const std::string& text); // sized to its caption
    std::string Caption() const;
    void SetChecked(bool checked);            // runs no OnClick
    bool IsChecked() const;
    void Click();
    std::function<void()> OnClick;
};

// Flat image button: no caption, no border, never takes the focus, image one
// pixel right and down while pressed.
class ImageButton : public Control {
public:
    explicit ImageButton(Container& parent);
    void SetImage(const ImageList* images, int index);
    int ImageIndex() const;
    void Click();
    std::function<void()> OnClick;
};

class GroupBox : public Container {
public:
    explicit GroupBox(Container& parent);
    void SetCaption(const std::string& text);
    std::string Caption() const;
};

// A plain container without a border.
class Panel : public Container {
public:
    explicit Panel(Container& parent);
};

// Drawing surface handed to owner-drawn items.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void FillRect(const Rect& rect) = 0;       // with the control's background
    virtual void DrawFocusRect(const Rect& rect) = 0;  // toggling dotted rectangle
    virtual void DrawImage(const ImageList& images, int index, int x, int y) = 0;
    // One line, vertically centred in rect, "&" drawn as itself.
    virtual void DrawText(const std::string& text, const Rect& rect) = 0;
};

struct DrawItemInfo {
    int index = -1;
    Rect rect;              // in the coordinates of the canvas
    bool focusAction = false; // only the focus state changed
    bool comboEdit = false;   // drawn in the selection field, not in the list
    bool selected = false;
    bool focused = false;
};

// Drop-down list without typing (typing a character selects the next item
// whose text starts with it).
class ComboBox : public Control {
public:
    explicit ComboBox(Container& parent);
    int AddItem(const std::string& text); // the first item added becomes selected
    void ClearItems();
    int Count() const;
    std::string ItemText(int index) const;
    void SetItemText(int index, const std::string& text);
    void SetItemIndex(int index); // -1: no selection; runs no OnChange
    int ItemIndex() const;
    // Owner drawing: items of a fixed height, or the platform's default height (0).
    void SetOwnerDraw(bool ownerDraw, int itemHeight = 0);
    int ItemHeight() const;
    void SetDropDownHeight(int height);
    std::function<void(Canvas& canvas, const DrawItemInfo& item)> OnDrawItem;
    std::function<void()> OnChange; // the user chose another item
    void SelectByUser(int index);   // as the user does: sets and runs OnChange
};

} // namespace toolkit
