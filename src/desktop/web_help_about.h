// Web links, the help file and the about box.
#pragma once

#include <string>

namespace tallykey {

class MainForm;

void OpenWebLink(MainForm& form);
void ShowHelp(MainForm& form);
void ShowAbout(MainForm& form);

} // namespace tallykey
