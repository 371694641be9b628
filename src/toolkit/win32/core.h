// What the core files of the Win32 backend (control.cpp, window.cpp,
// application.cpp, keys.cpp) share among themselves and nobody else.
#pragma once

#include "toolkit/resources.h"
#include "toolkit/win32/backend.h"

namespace toolkit {
namespace win32 {

// Messages of the application window: destroy the windows whose disposal
// waited for the handlers to return; hand the activation on to the program's
// window that should have it; run the next task of RunInLoop.
constexpr UINT kDisposeMessage = WM_APP + 0x7F00;
constexpr UINT kForwardActivationMessage = WM_APP + 0x7F01;
constexpr UINT kRunTaskMessage = WM_APP + 0x7F02;

// Destroys the windows DisposeWindow put aside, once no handler is on the stack.
void DisposePending();

// The keyboard focus arrived at `focus`: its window remembers it, and the
// control it belongs to hears OnFocus when it is not the one that had it.
void NoteFocus(HWND focus);
// The window's focused control's window: the focus itself while the window
// is active, else where the focus goes back to when it is activated again.
HWND FocusOf(const Window& window);
// Gives `focus` the focus now if its window is active, else once it is.
void FocusWithin(Window& window, HWND focus);

// The application object's part in a window's life.
// A window is about to show: the program's presence on the taskbar follows.
bool ProgramOnTaskbar();
// The program's main window (null when none).
Window* ProgramMainWindow();
// The innermost modal window shown now (null when none).
Window* InnermostModal();
// The title bar's or the taskbar's minimise of the main window.
void MinimizeFromSystem(Window& window);
void RestoredFromSystem(Window& window);

} // namespace win32
} // namespace toolkit
