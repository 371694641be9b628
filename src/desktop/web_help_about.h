// Web links, the help file and the about box.
#pragma once

#include <string>

namespace tallykey {

class MainForm;

void OpenWebLink(MainForm& form);
// The address opened for a web link: as typed when it starts with a
// scheme the program knows, else with "http://" in front.
std::string WebLinkAddress(const std::string& text);
void ShowHelp(MainForm& form);
void ShowAbout(MainForm& form);

} // namespace tallykey
