// The one copy routine and the clipboard writer.
#pragma once

#include <string>

namespace tallykey {

class MainForm;

// Copies the field of the mode (CopyMode) from the details panel, with the
// sound feedback and minimise options.
void CopyField(MainForm& form, int mode);
// Replaces the clipboard by the text; an empty text only empties it.
bool TextToClipboard(const std::string& text);

} // namespace tallykey
