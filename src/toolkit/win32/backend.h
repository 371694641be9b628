// What the Win32 backend's files share: the implementation record behind the
// toolkit's controls, text conversion, fonts, the routing of notifications
// and keys, and the deferred destruction of native windows.
//
// Every window of the backend is a Unicode window: the toolkit's texts are
// bytes of the code page in use (CurrentCodePage()), converted to UTF-16 at
// this boundary, so that a text the ANSI code page cannot hold (or any text
// under code page 65001) reaches the screen unchanged, and what is typed
// comes back in the code page in use. File paths are the file system's own
// bytes (the ANSI code page of an ANSI program) and convert with CP_ACP.
#pragma once

// The toolkit's headers come first: windows.h defines macros named like the
// toolkit's key codes, message-box flags and some of its functions.
#include "toolkit/controls.h"
#include "toolkit/dispatch.h"
#include "toolkit/menu.h"
#include "toolkit/menu_entries.h"
#include "toolkit/resources.h"
#include "toolkit/tree_view.h"
#include "toolkit/types.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// After windows.h, which it needs (a block of its own, so that sorting keeps it there).
#include <commctrl.h>
// From here on the toolkit's key codes, message-box flags, answers and mouse
// messages are named unqualified (VK_RETURN, MB_OK, IDOK, WM_LBUTTONUP):
// windows.h defines macros of the same names with the same values.
// Macros that would rename the toolkit's own functions and methods; the
// backend calls the W functions by their full names.
#undef DrawText
#undef FindResource
#undef LoadBitmap
#undef MessageBox
#undef VkKeyScan

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

class TrayIcon;

namespace win32 {

// --- Text ---
// Text of the code page in use <-> UTF-16. Bytes the code page leaves
// undefined become U+FFFD; characters it lacks become "?" (the box that takes
// input refuses them before they get that far, see AdmitsCharacter).
std::wstring Wide(std::string_view ansi);
std::string Ansi(std::wstring_view wide);
// Line breaks of a multi-line text in any of the forms CR LF, LF CR, CR, LF,
// as CR LF (what a multi-line edit control shows as a break).
std::wstring WideLines(std::string_view ansi);
// File paths: the file system's bytes (CP_ACP) <-> UTF-16.
std::wstring WidePath(std::string_view path);
std::string PathFromWide(std::wstring_view path);
// Whether the code page in use holds `ch` (a UTF-16 code unit; surrogates
// never): typed or pasted characters it lacks are refused with a notice.
bool AdmitsCharacter(wchar_t ch);

// A window's text as UTF-16, and set from it.
std::wstring WindowTextW(HWND window);

// --- Fonts ---
// The window's font (Tahoma where installed) in its normal or bold weight;
// shared, kept for the run.
HFONT FontFor(const Font& font, bool bold);
// The font a control created in `parent` starts with: its window's font.
const Font& WindowFont(const Window* window);

// --- Controls and their windows ---
// The control whose window is `window`, or null (ControlAt: the nearest
// ancestor that has one).
Control* ControlOf(HWND window);
Control* ControlAt(HWND window);
bool IsLive(const Control* control);
// The brush that paints behind `control` (null: the window): the colour of
// the nearest control up its parents that has one, else the dialog face.
HBRUSH BackgroundBrush(const Control* control);

// Notifications a container's window receives from its child windows
// (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*): handed
// to the child's Impl::Reflect. Every container's window procedure calls it
// first. True when a child took the message, with its result.
bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Destroys the window now, or once no handler of the program is on the stack
// (a control deleted from inside its own notification must outlive it).
void DisposeWindow(HWND window);

// The hidden application window: owner of every top-level window without an
// owner, and the window that stands for the program on the taskbar.
HWND ApplicationWindow();
// Runs `task` once the thread's message loop (any loop, a modal one too)
// takes its next posted message; dropped when there is no application.
void RunInLoop(std::function<void()> task);
// The module's instance handle.
HINSTANCE Instance();

// --- Windows and keys (window.cpp, application.cpp) ---
// What the application object hears from its windows.
void WindowCreated(Window* window);
void WindowDestroyed(Window* window);
void WindowClosed(Window* window);
// The menus whose shortcuts work inside `window`.
const std::vector<Menu*>& MenusOf(const Window& window);
void AddMenu(Window& window, Menu* menu);
void RemoveMenu(Window& window, Menu* menu);
// The window's menu bar changed (its height counts in the outer size).
void MenuBarChanged(Window& window);
// Enter and Escape as the window's rules take them; true when taken.
bool WindowDialogKey(Window& window, HWND receiver, int vk, unsigned mods);
bool WindowAcceptsFiles(const Window& window);
// A message from the loop before it is dispatched: the window's menu
// shortcuts, the controls' key handlers, Enter and Escape, Tab between the
// controls. True when it was taken (not to be dispatched).
bool RouteMessage(MSG& message);
// Runs one message of the thread's queue, waiting for one when `wait`;
// false when the queue was empty (never with `wait`) or WM_QUIT came.
// Without `runTasks` (never with `wait`), RunInLoop's tasks stay queued: the
// test input runs the input it sends and leaves them for the loop.
bool PumpOneMessage(bool wait, bool runTasks = true);
// The notification-area icon the application object installs in Platform()
// (provided by the tray icon's file).
std::unique_ptr<TrayIcon> MakeTrayIcon();

// The modifier state of the keyboard now (ModShift | ModCtrl | ModAlt).
unsigned KeyModifiers();
// A control id no other control of the program has (WM_COMMAND, WM_DRAWITEM).
UINT NewControlId();

// The program's other windows (visible and enabled ones, but `self`) take no
// input for the object's life, as while a modal window or a message box is open.
class OtherWindowsDisabled {
public:
    explicit OtherWindowsDisabled(HWND self);
    ~OtherWindowsDisabled();
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

private:
    HWND self_;
    std::vector<HWND> windows_;
};

// --- What the user puts into an edit box (text_gate.cpp) ---
// Makes an edit control (EDIT class, one line or several) admit only what the
// code page in use holds: characters typed, pasted or dropped that it lacks
// are left out and named in a notice at the box (a balloon tip), with a beep;
// a one-line box takes only what comes before the first line break of a paste.
void GuardEdit(HWND edit, bool singleLine);
// The notice shown now ("" when none): its title and text on two lines.
std::wstring ShownNotice();

// --- Menus (menu.cpp) ---
// The native menu of a menu bar or pop-up menu (null before it is made).
HMENU MenuHandle(const Menu& menu);
// A WM_COMMAND from a menu item: runs the item as Menu::Click does; false
// when no menu item has the id.
bool RunMenuCommand(UINT id);

// An icon of `size` pixels from an icon group resource of this module (null
// when the data is no icon group or no image of it is found).
HICON IconFromGroup(const ResourceData& group, int size);
// Gives `window` the group's small and large icons (either stands in for
// the other where the group lacks it). `smallIcon` and `bigIcon` hold the
// icons it had, which are destroyed and replaced; nothing changes when the
// group has neither.
void SetWindowIcons(HWND window, const ResourceData& group, HICON& smallIcon, HICON& bigIcon);

// --- Tree view (tree_view.cpp) ---
// The native item of a node (null when the node is gone).
HTREEITEM TreeItem(const TreeView& tree, TreeNode node);

// --- Image lists (image_list.cpp) ---
// The native image list of the toolkit's list, made from its strip with its
// mask on first use (null for an empty list).
HIMAGELIST ImageListHandle(const ImageList* images);

} // namespace win32

struct Control::Impl {
    virtual ~Impl();

    Control* self = nullptr;
    HWND hwnd = nullptr;   // the control's window
    HWND client = nullptr; // where child controls go (containers only)
    // The class's own window procedure, where the backend subclassed the window.
    WNDPROC classProc = nullptr;
    Align align = Align::None;
    bool alive = true;

    // Containers
    bool container = false;
    int alignMargin = 0;
    SIZE lastClientSize{-1, -1};

    // Look
    bool bold = false;
    bool hasBackground = false;
    COLORREF background = 0;
    HBRUSH backgroundBrush = nullptr; // owned
    bool handCursor = false;

    virtual bool IsWindow() const { return false; }
    // Whether Enter is the control's own key (not redirected to the default button).
    virtual bool TakesEnter() const { return false; }
    // Whether Escape is the control's own key now (not the cancel button's).
    virtual bool TakesEscape() const { return false; }
    virtual void SetGeometry(int left, int top, int width, int height);
    virtual Rect Geometry() const;
    // A notification of this control's window that its parent received
    // (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*); true
    // when taken, with its result. The default paints the control's background.
    virtual bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // A message to the control's own window before its class's procedure
    // sees it; true when taken, with its result.
    virtual bool Filter(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Makes the control's window as a child of `parent`'s client window,
    // visible, with the window's font, registered and subclassed so that
    // Filter sees its messages. The control id is unique in the program.
    void CreateChild(Container* parent, const wchar_t* className, DWORD style, DWORD exStyle = 0,
                     const wchar_t* text = L"");
    // Registers `window` as this control's and subclasses it (for windows a
    // control makes itself, and for the inner windows of composite controls).
    void Adopt(HWND window);
    // The client size may have changed: lay out the aligned children and report it.
    void ClientGeometryChanged();
    // Applies the font of the control's window (bold or not).
    void ApplyFont();
};

} // namespace toolkit
