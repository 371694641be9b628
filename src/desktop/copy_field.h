// The one copy routine and the clipboard writer.
#pragma once

#include <string>
#include <string_view>

#include "toolkit/resources.h"

namespace tallykey {

// Copy modes of CopyField.
enum CopyMode : int { CopyQuick = 0, CopyLogin = 1, CopyPassword = 2, CopyWebLink = 3 };

// The fields of the selected entry as the details panel shows them, in the
// order of the quick-copy list (the setting QuickCopyItem).
enum class DetailsField : int { Title = 0, Login, Password, WebLink, Comment };

// What copying needs of the window that shows the selected entry.
class CopySource {
public:
    // The field's text as shown.
    virtual std::string FieldText(DetailsField field) const = 0;
    // Keeps shut the pop-up menu that the mouse action which copied would
    // open, as the window is about to be minimised.
    virtual void SuppressPopupOnce() = 0;

protected:
    ~CopySource() = default;
};

// Copies the field of the mode (CopyMode) from the details panel, with the
// sound feedback and minimise options.
void CopyField(CopySource& source, int mode);
// Replaces the clipboard by the text; an empty text only empties it. With
// ClearClipboard set, the text is taken off again after that many seconds if
// the clipboard still holds it.
bool TextToClipboard(const std::string& text);

// Where the copy sound is looked up (the program's resources unless set;
// null puts those back).
using ResourceLookup = toolkit::ResourceData (*)(std::string_view name);
void SetCopySoundLookup(ResourceLookup lookup);

} // namespace tallykey
