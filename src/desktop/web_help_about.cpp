#include "desktop/web_help_about.h"

#include "mainwindow/main_form.h"

namespace tallykey {

void OpenWebLink(MainForm&) {}
void ShowHelp(MainForm&) {}
void ShowAbout(MainForm&) {}

} // namespace tallykey
