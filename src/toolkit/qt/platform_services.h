// The real platform services of the Linux desktop, installed by the
// application object once Qt is up.
#pragma once

#include <memory>

#include "toolkit/services.h"

namespace toolkit {

// Installs clipboard, hot keys, sound, shell, tray icon, file association
// and random source in Platform() where none is set yet; they are removed
// again when the Qt application goes away.
void InstallPlatformServices();

// The single services, for tests against the real thing.
std::unique_ptr<Clipboard> MakeQtClipboard();
// Hot keys on the X server `displayName` (null: $DISPLAY). With `connect`
// false, or when the server cannot be reached, registration fails silently
// and synthetic keys go nowhere.
std::unique_ptr<HotKeys> MakeX11HotKeys(const char* displayName, bool connect = true);
std::unique_ptr<Shell> MakeQtShell();
std::unique_ptr<TrayIcon> MakeQtTrayIcon();

} // namespace toolkit
