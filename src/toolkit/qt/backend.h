// What the Qt backend's files share: the implementation records behind the
// toolkit's objects, text conversion and key-code mapping.
#pragma once

#include <QModelIndex>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/controls.h"
#include "toolkit/dispatch.h"
#include "toolkit/menu.h"
#include "toolkit/menu_entries.h"
#include "toolkit/tree_view.h"
#include "toolkit/types.h"

class QEventLoop;
class QKeyEvent;
class QLineEdit;
class QPlainTextEdit;
class QMenu;
class QMenuBar;
class QAction;

namespace toolkit {

class Menu;

namespace qt {

// One-line boxes take text of any length; Qt's default maximum would cut
// everything past 32,767 characters.
inline constexpr int kNoLengthLimit = std::numeric_limits<int>::max();

// The item data role under which a tree item keeps the handle of its node.
inline constexpr int kTreeNodeRole = Qt::UserRole + 1;
// The view's index of a tree node (invalid when there is no such node).
QModelIndex TreeNodeIndex(const TreeView& tree, TreeNode node);

// 8-bit ANSI text of the current code page <-> Qt strings.
QString ToQ(const std::string& ansi);
std::string FromQ(const QString& text);
// File paths cross the toolkit as the file system's own bytes.
QString PathToQ(const std::string& path);
std::string PathFromQ(const QString& path);
// A caption as a window's title: "[*]" shows as itself, and an empty caption
// stays empty (Qt would show the program's name in its place).
QString WindowTitle(const std::string& caption);
// Line breaks of a multi-line text in any of the forms CR LF, LF CR, CR, LF.
QString ToQLines(const std::string& ansi);

// What the user puts into an edit box (text_gate.cpp). AdmitInput gives the
// part of `text` the box takes: without the characters the code page in use
// cannot hold and, in a one-line box, only what comes before the first line
// break. Refused characters are named in a notice at the box, with a beep.
QString AdmitInput(QWidget* box, const QString& text, bool singleLine);
// Makes a one-line box admit everything typed, pasted or dropped into it so.
void GuardLineEdit(QLineEdit* box);
// Text the program puts into a guarded one-line box, taken as it stands.
void SetProgramText(QLineEdit* box, const QString& text);
// A multi-line box that admits what is typed, pasted or dropped into it so.
QPlainTextEdit* NewMemoBox(QWidget* parent);
// The notice shown now ("" when none): its title and text on two lines.
QString ShownNotice();

int VkFromQtKey(int key, Qt::KeyboardModifiers mods);
int QtKeyFromVk(int vk);
unsigned ModsFromQt(Qt::KeyboardModifiers mods);
Qt::KeyboardModifiers QtMods(unsigned mods);
// The text a key produces on a US keyboard ("" for none).
QString KeyText(int vk, unsigned mods);

// The bar of a menu bar (null for a pop-up menu).
QMenuBar* MenuBarOf(const Menu* menu);
// Image `index` of the list (a null pixmap when there is none).
QPixmap ImagePixmap(const ImageList* images, int index);

using toolkit::Dispatch;
// Deletes the widget now, or once no handler of the program is on the stack.
void DisposeWidget(QWidget* widget);

// An event filter that calls a function.
class FilterObject : public QObject {
public:
    explicit FilterObject(std::function<bool(QObject*, QEvent*)> fn) : fn_(std::move(fn)) {}
    bool eventFilter(QObject* watched, QEvent* event) override { return fn_ && fn_(watched, event); }

private:
    std::function<bool(QObject*, QEvent*)> fn_;
};

// The control that stands for `widget` (exact match) or for its nearest ancestor.
Control* ControlOf(const QWidget* widget);
Control* ControlAt(const QWidget* widget);
bool IsLive(const Control* control);
void RegisterWidget(const QWidget* widget, Control* control);
void UnregisterControl(Control* control);
// The toolkit window whose frame is `frame`.
Window* WindowOfFrame(const QWidget* frame);

// Installs the application-wide filter that routes keys (accelerators, the
// window's Enter and Escape rules, the controls' key handlers) and dropped files.
void InstallKeyRouter();
void RemoveKeyRouter();
// Runs the key handlers of the window's focused control as a key press would
// (used for keys that arrive without passing the window system).
void NoteFocus(Window* window);

// What the application object hears from its windows.
void WindowCreated(Window* window);
void WindowDestroyed(Window* window);
void WindowClosed(Window* window);
void WindowMinimizedByUser(Window* window);
void WindowRestoredByUser(Window* window);

// A dialog belongs to its owner on the desktop: the window manager keeps it
// over that window and minimises and restores them together, and a dialog
// the user minimises or restores takes the program with it (a minimised
// modal dialog would leave the program blocked with nothing to answer).
// Makes the top-level `dialog` transient for `owner`'s window, or for the
// main window when there is none, and has the program follow its minimise
// and restore; call before it first shows. A dialog with a parent widget
// is already transient for it.
void BelongToOwner(QWidget* dialog, const Window* owner);
// The program follows a dialog the user or the window manager minimised or restored.
void DialogMinimizedByUser();
void DialogRestoredByUser();
// Brings a minimised top-level back to the normal state, whether or not Qt
// has yet read the window manager's minimise, and waits for the window
// manager to have done it.
void RestoreTopLevel(QWidget* frame);
// Restores the program's shown dialogs, the toolkit's and Qt's own.
void RestoreDialogs();
// Raises and activates the innermost modal window, if one is shown.
void BringModalToFront();
// The menus whose shortcuts work inside `window`.
const std::vector<Menu*>& MenusOf(const Window& window);
void AddMenu(Window& window, Menu* menu);
void RemoveMenu(Window& window, Menu* menu);
// Enter and Escape as the window's rules take them; true when taken.
bool WindowDialogKey(Window& window, QWidget* receiver, int vk, unsigned mods);
bool WindowAcceptsFiles(const Window& window);

} // namespace qt

struct Control::Impl {
    virtual ~Impl();

    Control* self = nullptr;
    QPointer<QWidget> widget;   // the outer widget
    QPointer<QWidget> client;   // where child controls go (containers only)
    QPointer<QWidget> keyWidget; // the widget that receives the control's keys
    std::unique_ptr<QObject> guard; // context of every connection; dies first
    Align align = Align::None;
    bool alive = true;

    // Containers
    bool container = false;
    int alignMargin = 0;
    QSize lastClientSize{-1, -1};

    virtual bool IsWindow() const { return false; }
    // Whether Enter is the control's own key (not redirected to the default button).
    virtual bool TakesEnter() const { return false; }
    virtual bool NumbersOnly() const { return false; }
    virtual void SetGeometry(int left, int top, int width, int height);
    virtual Rect Geometry() const;

    // The client size may have changed: lay out the aligned children and report it.
    void ClientGeometryChanged();
    void Register(QWidget* w);
};

} // namespace toolkit
