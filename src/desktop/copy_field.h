// The one copy routine and the clipboard writer.
#pragma once

#include <string>
#include <string_view>

#include "toolkit/resources.h"

namespace tallykey {

class MainForm;

// Copies the field of the mode (CopyMode) from the details panel, with the
// sound feedback and minimise options.
void CopyField(MainForm& form, int mode);
// Replaces the clipboard by the text; an empty text only empties it. With
// ClearClipboard set, the text is taken off again after that many seconds if
// the clipboard still holds it.
bool TextToClipboard(const std::string& text);

// Where the copy sound is looked up (the program's resources unless set;
// null puts those back).
using ResourceLookup = toolkit::ResourceData (*)(std::string_view name);
void SetCopySoundLookup(ResourceLookup lookup);

} // namespace tallykey
