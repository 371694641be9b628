#include "desktop/tray.h"

#include "mainwindow/main_form.h"
#include "preferences/settings.h"
#include "toolkit/application.h"
#include "toolkit/resources.h"
#include "toolkit/services.h"
#include "toolkit/types.h"

namespace tallykey {

namespace {

constexpr int kTrayIconId = 1;
constexpr std::size_t kTipBytes = 64; // with its terminating NUL

} // namespace

void PrepareTrayIcon(MainForm& form) {
    form.TrayIcon.id = kTrayIconId;
    std::string tip = toolkit::Application::Exists() ? toolkit::Application::Instance().Caption() : kAppTitle;
    form.TrayIcon.tip = tip.substr(0, kTipBytes - 1);
    form.TrayIcon.icon = toolkit::FindResource("MAINICON");
}

void ApplicationMinimized(MainForm& form) {
    if (!Settings().MinimizeToTray)
        return;
    toolkit::TrayIcon* tray = toolkit::Platform().trayIcon;
    // Without a notification area nothing could bring the program back:
    // it minimises to the taskbar as usual instead of vanishing.
    if (!tray || !tray->Available())
        return;
    tray->Add(form.TrayIcon); // the service keeps one icon per id
    form.Hide();
    if (toolkit::Application::Exists())
        toolkit::Application::Instance().Hide();
}

void TrayIconMouse(MainForm& form, int mouseMessage) {
    if (mouseMessage != toolkit::WM_LBUTTONUP)
        return;
    if (toolkit::Application::Exists()) {
        toolkit::Application& app = toolkit::Application::Instance();
        app.Show();
        app.Restore();
    }
    form.Show();
    form.BringToFront();
    if (toolkit::TrayIcon* tray = toolkit::Platform().trayIcon)
        tray->Delete(form.TrayIcon.id);
}

} // namespace tallykey
