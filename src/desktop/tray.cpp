#include "desktop/tray.h"

#include "preferences/program_title.h"
#include "preferences/settings.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/resources.h"
#include "toolkit/services.h"
#include "toolkit/types.h"

namespace tallykey {

namespace {

constexpr int kTrayIconId = 1;
constexpr std::size_t kTipBytes = 64; // with its terminating NUL

} // namespace

void PrepareTrayIcon(toolkit::TrayIconData& icon) {
    icon.id = kTrayIconId;
    std::string tip = toolkit::Application::Exists() ? toolkit::Application::Instance().Caption() : kAppTitle;
    icon.tip = tip.substr(0, kTipBytes - 1);
    icon.icon = toolkit::FindResource("MAINICON");
}

void ApplicationMinimized(toolkit::Window& window, const toolkit::TrayIconData& icon) {
    if (!Settings().MinimizeToTray)
        return;
    toolkit::TrayIcon* tray = toolkit::Platform().trayIcon;
    // Without a notification area nothing could bring the program back:
    // it minimises to the taskbar as usual instead of vanishing.
    if (!tray || !tray->Available())
        return;
    tray->Add(icon); // the service keeps one icon per id
    window.Hide();
    if (toolkit::Application::Exists())
        toolkit::Application::Instance().Hide();
}

void TrayIconMouse(toolkit::Window& window, const toolkit::TrayIconData& icon, int mouseMessage) {
    if (mouseMessage != toolkit::WM_LBUTTONUP)
        return;
    if (toolkit::Application::Exists()) {
        toolkit::Application& app = toolkit::Application::Instance();
        app.Show();
        app.Restore();
    }
    window.Show();
    window.BringToFront();
    if (toolkit::TrayIcon* tray = toolkit::Platform().trayIcon)
        tray->Delete(icon.id);
}

} // namespace tallykey
