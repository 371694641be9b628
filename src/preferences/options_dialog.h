// The options dialog ("Configuration").
#pragma once

namespace tallykey {

class MainForm;

// Creates the dialog, shows it modally and destroys it.
void ShowOptions(MainForm& form);

} // namespace tallykey
