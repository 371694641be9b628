// The seam between the neutral toolkit and a backend: the rules every
// backend follows, decided here once, and what each backend provides
// (namespace native). Not for the program's folders.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "toolkit/image_strip.h"
#include "toolkit/modal_hook.h"

namespace toolkit {

class Menu;
class Window;

// --- Modal windows, message boxes and file dialogs ---
// They are answered by a person, by the installed modal hook, or, where
// nobody can look at the screen, by nobody (with a note on standard error).

// True when no modal thing may wait for a person: a hook is installed, the
// run is unattended (SetNobodyAtTheScreen), or the backend says nobody can
// see its windows. Pop-up menus then do not open.
bool NobodyToAnswer();

// For a modal window under NobodyToAnswer(): the backend calls it once the
// window's loop runs. It runs the hook's onModal, or notes that nobody
// answered. A window still open afterwards is the backend's to end with
// ResultClosed, as it alone knows whether the window outlived the hook.
void AnswerModal(Window& window);

// The answers a message box of `flags` offers, its buttons from left to
// right; the first is the default. ClosingAnswer is what closing the box
// gives: Cancel where there is one, else the first button.
std::vector<int> MessageBoxAnswers(unsigned flags);
int ClosingAnswer(unsigned flags);

// One file type of a file dialog's filter "Name|*.ext;*.x|Other|*.*".
struct FileDialogType {
    std::string name;
    std::vector<std::string> patterns;
};
// The types of `filter` in order; a name without patterns is left out.
std::vector<FileDialogType> FileDialogTypes(const std::string& filter);

// The command-line words after the program's name as the program takes
// them: a word in double quotes loses its quotes.
std::vector<std::string> ProgramArguments(const std::vector<std::string>& words);

// --- What each backend provides ---
namespace native {

// False where nobody can see the backend's windows (a platform that draws
// offscreen, for example).
bool PersonCanAnswer();
// Shows the box and waits for the person's answer (one of MessageBoxAnswers).
int ShowMessageBox(const MessageBoxRequest& request);
// Shows the dialog; the chosen path, or nothing for Cancel.
std::optional<std::string> ShowFileDialog(const FileDialogRequest& request);

// Decodes image data (a BMP, or whatever the platform reads); false when it
// is no image the backend knows.
bool DecodeImage(const ResourceData& data, Pixels& pixels);

// Menus (menu_entries.h): the native menu of the menu's entries, made once
// they are numbered, and dropped when the menu ends; it also joins and
// leaves the owner's keys.
void CreateMenu(Menu& menu);
void DestroyMenu(Menu& menu);
// The text or the enabled state of item `index` changed.
void MenuItemChanged(Menu& menu, int index);
// Clears the menu's suppression once control is back in the event loop.
void EndSuppressionInLoop(Menu& menu);
// Shows the pop-up at screen coordinates until the person closes it.
void OpenPopup(Menu& menu, int x, int y);

} // namespace native
} // namespace toolkit
