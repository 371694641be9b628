#include "desktop/tray.h"

#include "mainwindow/main_form.h"

namespace tallykey {

void PrepareTrayIcon(MainForm&) {}
void ApplicationMinimized(MainForm&) {}
void TrayIconMouse(MainForm&, int) {}

} // namespace tallykey
