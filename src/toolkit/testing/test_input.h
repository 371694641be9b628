// Input as a person gives it, sent through the real event path of the
// platform (focus, accelerators, the window's Enter and Escape rules).
// Part of the test-only library tallyk_testing; the program never links it.
#pragma once

#include <string>
#include <vector>

#include "toolkit/tree_view.h"
#include "toolkit/types.h"

namespace toolkit {

class Control;
class Window;

namespace input {

// A key press and release sent to the control that has the focus in `window`
// (the window's accelerators see it first).
void PressKey(Window& window, int vk, unsigned mods = ModNone);
// Same, sent to a given control (which gets the focus first).
void PressKeyOn(Control& control, int vk, unsigned mods = ModNone);
// Types text (8-bit ANSI) into the focused control of `window`.
void TypeText(Window& window, const std::string& text);
// Types UTF-8 text, characters the code page lacks included, as a keyboard
// or input method of another script gives them.
void TypeUnicode(Window& window, const std::string& utf8);
// Puts UTF-8 text on the window system's clipboard and presses Ctrl+V in the
// focused control of `window`.
void Paste(Window& window, const std::string& utf8);
// The notice an edit box shows now after refusing characters (UTF-8, its
// title and text on two lines), "" when none shows.
std::string ShownNotice();
// A left mouse click in the middle of the control.
void ClickOn(Control& control);
// The window's close box.
void ClickCloseBox(Window& window);
// Files dropped on the window (names joined by CR when several).
void DropFiles(Window& window, const std::string& files);
// Renders the window into a PNG file (for screenshots of offscreen windows).
bool SaveScreenshot(Window& window, const std::string& pngPath);

// What a control shows now: its pixels as 0xRRGGBB, row by row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned> pixels;
    unsigned At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Picture Grab(Control& control);
// Where a tree shows a node's picture and label (right of its branch lines),
// in the coordinates of Grab(tree); empty when the node is not in view.
Rect NodeRect(TreeView& tree, TreeNode node);
// How many pixels a scrolling control can scroll sideways (0: it shows all).
int SidewaysScroll(Control& control);
// The file types the open file dialog lists, as it shows them (UTF-8);
// empty when no file dialog is open.
std::vector<std::string> ShownFileTypes();
// Closes the open modal dialog as its close box does.
void CloseModalDialog();

} // namespace input
} // namespace toolkit
