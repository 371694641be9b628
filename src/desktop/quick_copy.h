// Quick copy on selection and the "Login >> password" hot key.
#pragma once

namespace tallykey {

class MainForm;

// After the details show the new selection: arms the hot key and copies the
// login, or releases it and runs the quick copy.
void QuickCopyOnSelection(MainForm& form);
// The hot key was pressed.
void QuickCopyHotKeyPressed(MainForm& form, int id);
// Releases the hot key (close requests).
void ReleaseQuickCopyHotKey();

} // namespace tallykey
