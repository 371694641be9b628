#include "toolkit/qt/platform_services.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include "toolkit/linux/services.h"
#include "toolkit/linux/xdg_file_association.h"

namespace toolkit {

namespace {

struct Installed {
    std::unique_ptr<Clipboard> clipboard;
    std::unique_ptr<HotKeys> hotKeys;
    std::unique_ptr<Sound> sound;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<TrayIcon> trayIcon;
};

Installed* g_installed = nullptr;

// Runs while the Qt application is being destroyed, before its window
// system goes: tray icons and the clipboard must go first.
void RemovePlatformServices() {
    if (!g_installed)
        return;
    Services& current = Platform();
    if (current.clipboard == g_installed->clipboard.get())
        current.clipboard = nullptr;
    if (current.hotKeys == g_installed->hotKeys.get())
        current.hotKeys = nullptr;
    if (current.sound == g_installed->sound.get())
        current.sound = nullptr;
    if (current.shell == g_installed->shell.get())
        current.shell = nullptr;
    if (current.trayIcon == g_installed->trayIcon.get())
        current.trayIcon = nullptr;
    delete g_installed;
    g_installed = nullptr;
}

} // namespace

void InstallPlatformServices() {
    if (g_installed)
        return;
    g_installed = new Installed;
    g_installed->clipboard = MakeQtClipboard();
    // Global keys need the X server; on other platforms they fail silently.
    bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    g_installed->hotKeys = MakeX11HotKeys(nullptr, x11);
    g_installed->sound = std::make_unique<AlsaSound>();
    g_installed->shell = MakeQtShell();
    g_installed->trayIcon = MakeQtTrayIcon();

    // Services set before the application existed (a test's fakes) stay.
    Services services = Platform();
    auto fill = [](auto*& slot, auto* real) {
        if (!slot)
            slot = real;
    };
    fill(services.clipboard, g_installed->clipboard.get());
    fill(services.hotKeys, g_installed->hotKeys.get());
    fill(services.sound, g_installed->sound.get());
    fill(services.shell, g_installed->shell.get());
    fill(services.trayIcon, g_installed->trayIcon.get());
    fill(services.fileAssociation, static_cast<FileAssociation*>(&DesktopFileAssociation()));
    fill(services.random, &SystemRandom());
    SetPlatform(services);
    qAddPostRoutine(RemovePlatformServices);
}

} // namespace toolkit
