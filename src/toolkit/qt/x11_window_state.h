// The window manager's own view of the program's top-level windows on X11.
// Qt learns of a minimise or a restore only when it has read the window
// manager's answer from its queue, and it keeps hints of its own requests
// after the window manager has undone them; minimising, restoring and
// showing again go by what the X server says now. Elsewhere (no X11, or
// no window manager) every call here does nothing.
#pragma once

class QWidget;

namespace toolkit::qt::x11 {

// ICCCM's WM_STATE of a top-level window, as the window manager set it.
enum class WmState { Unmanaged, Withdrawn, Normal, Iconic };

// Unmanaged when there is no X11 window manager or `frame` has no native window.
WmState StateOf(const QWidget* frame);

// Before a hidden top-level maps: it starts in the normal state. Qt asks
// for "start iconic" when the program minimises a window and does not
// take it back when the window manager restores it, so the next showing
// after a hide would come up minimised.
void StartNormal(QWidget* frame);

// Asks the window manager to bring an iconified window back (ICCCM: the
// client maps it again) or to iconify it (WM_CHANGE_STATE).
void RequestNormal(QWidget* frame);
void RequestIconic(QWidget* frame);

// Waits until the window manager reports `state` for `frame`; false when
// it has not within a few seconds (or there is no window manager).
bool WaitFor(const QWidget* frame, WmState state);

} // namespace toolkit::qt::x11
