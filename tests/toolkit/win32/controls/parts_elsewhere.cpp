// What the other parts of the window backend provide (menus, the tray icon,
// the text gate of the edit boxes), standing in for them in
// tests_toolkit_win32_controls until the backend links as a whole; then this
// program and this file go, and its tests join tests_toolkit_win32. The edit
// boxes are not guarded here (what the gate admits is the gate's own test);
// whatever else is called aborts, so that a test cannot pass through it unseen.
#include <cstdio>
#include <cstdlib>

#include "toolkit/native.h"
#include "toolkit/services.h"
#include "toolkit/win32/backend.h"

namespace {

[[noreturn]] void NotHere(const char* what) {
    std::fprintf(stderr, "%s is not linked into this test program\n", what);
    std::abort();
}

} // namespace

namespace toolkit {

namespace win32 {
HMENU MenuHandle(const Menu&) { return nullptr; } // no menu bar: windows without one
bool RunMenuCommand(UINT) { NotHere("RunMenuCommand"); }
std::unique_ptr<TrayIcon> MakeTrayIcon() { return nullptr; } // no tray icon installed
void GuardEdit(HWND, bool) {}
std::wstring ShownNotice() { return {}; }
} // namespace win32

namespace native {
void CreateMenu(Menu& menu) { win32::AddMenu(*menu.impl()->owner, &menu); }
void DestroyMenu(Menu& menu) {
    if (menu.impl()->owner)
        win32::RemoveMenu(*menu.impl()->owner, &menu);
}
void MenuItemChanged(Menu&, int) { NotHere("native::MenuItemChanged"); }
void EndSuppressionInLoop(Menu&) { NotHere("native::EndSuppressionInLoop"); }
void OpenPopup(Menu&, int, int) { NotHere("native::OpenPopup"); }
} // namespace native

} // namespace toolkit
