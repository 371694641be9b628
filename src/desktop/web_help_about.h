// Web links, the help file and the about box.
#pragma once

#include <string>

#include "desktop/copy_field.h"
namespace toolkit { class Window; }

namespace tallykey {

// Opens the web link of the selected entry, or copies it (OnWebLink).
void OpenWebLink(CopySource& source);
// The address opened for a web link: as typed when it starts with a
// scheme the program knows, else with "http://" in front.
std::string WebLinkAddress(const std::string& text);
// Messages appear over `owner`.
void ShowHelp(toolkit::Window& owner);
void ShowAbout(toolkit::Window& owner);

} // namespace tallykey
