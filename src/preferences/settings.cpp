#include "preferences/settings.h"

#include "toolkit/controls.h"

namespace tallykey {

TSettings& Settings() {
    static TSettings settings;
    return settings;
}

std::string SettingsFilePath() { return {}; }

void TransferSettings(bool save, toolkit::Window&, std::string&) {
    if (!save)
        Settings().HidePass = true;
}

} // namespace tallykey
