// Hiding into the notification area when minimised.
#pragma once

namespace tallykey {

class MainForm;

// Fills the tray icon record (icon, tip = the application's caption, id 1).
void PrepareTrayIcon(MainForm& form);
// The application object's minimise command.
void ApplicationMinimized(MainForm& form);
// A mouse message on the tray icon.
void TrayIconMouse(MainForm& form, int mouseMessage);

} // namespace tallykey
