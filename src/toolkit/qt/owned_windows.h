// Dialogs belong to their owner on the desktop: the window manager keeps
// them over that window, and they are minimised and restored with the
// program, never on their own (a minimised modal dialog would leave the
// program blocked with nothing to answer).
#pragma once

class QWidget;

namespace toolkit {

class Window;

namespace qt {

// Makes the top-level `dialog` transient for `owner`'s window, or for the
// main window when there is no owner; call before it shows. A dialog with a
// parent widget is already transient for it.
void AttachToOwner(QWidget* dialog, const Window* owner);

// Minimises the program's shown dialogs, or restores them and brings the
// modal one to the front.
void MinimizeDialogs(bool minimize);
// Raises and activates the innermost modal window, if one is shown.
void BringModalToFront();

// A dialog the user or the window manager minimised or restored: the program
// follows it.
void DialogMinimizedByUser();
void DialogRestoredByUser();

} // namespace qt
} // namespace toolkit
