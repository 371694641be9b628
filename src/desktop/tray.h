// Hiding into the notification area when minimised.
#pragma once

#include "toolkit/services.h"

namespace toolkit { class Window; }

namespace tallykey {

// Fills the tray icon record (icon, tip = the application's caption, id 1).
void PrepareTrayIcon(toolkit::TrayIconData& icon);
// The application object's minimise command: with MinimizeToTray, `window`
// hides behind the icon of `icon`.
void ApplicationMinimized(toolkit::Window& window, const toolkit::TrayIconData& icon);
// A mouse message on the tray icon: a click brings `window` back.
void TrayIconMouse(toolkit::Window& window, const toolkit::TrayIconData& icon, int mouseMessage);

} // namespace tallykey
