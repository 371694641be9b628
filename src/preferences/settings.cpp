#include "preferences/settings.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

#include "preferences/data_files.h"
#include "preferences/ini_file.h"
#include "preferences/language.h"
#include "system/file_system.h"
#include "toolkit/ansi_text.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"

namespace tallykey {

namespace {

namespace fs = std::filesystem;

std::string& PathOverride() {
    static std::string path;
    return path;
}

// Whether a file can be made in `folder`: the settings are written through
// a temporary file and a rename, so the folder itself must take new files.
bool FolderTakesFiles(const std::string& folder) {
    std::mt19937 names{std::random_device{}()};
    const std::string probe = system::JoinPath(folder, ".tallyk-probe-" + std::to_string(names() % 1000000u));
    int error = 0;
    const int fd = system::CreateNewFile(probe, 0600, error);
    if (fd < 0)
        return false;
    (void)system::CloseFile(fd, error);
    system::RemoveFile(probe);
    return true;
}

// Below these the caption's buttons and the menu bar's titles no longer fit.
constexpr int kMinOuterWidth = 200;
constexpr int kMinOuterHeight = 100;
// How much of the caption (nominally 30 pixels high) stays on the work area:
// enough to take hold of with the mouse.
constexpr int kCaptionHeight = 30;
constexpr int kGripWidth = 100;
constexpr int kGripHeight = 10;

int Clamp(long long value, long long low, long long high) {
    return static_cast<int>(std::max(low, std::min(value, std::max(low, high))));
}

} // namespace

toolkit::Rect UsableWindowRect(const toolkit::Rect& stored, const toolkit::Rect& area) {
    if (area.width <= 0 || area.height <= 0) // no screen to fit: keep only a usable size
        return {stored.left, stored.top, std::max(stored.width, kMinOuterWidth),
                std::max(stored.height, kMinOuterHeight)};
    toolkit::Rect r;
    r.width = Clamp(stored.width, std::min(kMinOuterWidth, area.width), area.width);
    r.height = Clamp(stored.height, std::min(kMinOuterHeight, area.height), area.height);
    const long long grip = std::min(kGripWidth, r.width);
    r.left = Clamp(stored.left, 1LL * area.left - r.width + grip, 1LL * area.left + area.width - grip);
    r.top = Clamp(stored.top, area.top - (kCaptionHeight - kGripHeight), area.top + area.height - kGripHeight);
    return r;
}

std::string SettingsFilePathFor(const std::string& exePath) {
    fs::path beside = fs::path(exePath).replace_extension(".ini");
    // An installed program's folder is shared by every user (and writable by
    // root): its settings never go there.
    const bool installed = IsInstalledProgram(exePath);
    if (!installed && FolderTakesFiles(system::ParentFolder(beside.string())))
        return beside.string();
    const std::string folder = system::UserSettingsFolder();
    if (folder.empty()) // no home folder: an installed program keeps no settings
        return installed ? std::string() : beside.string();
    std::error_code ec;
    if (fs::create_directories(folder, ec))
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    return system::JoinPath(folder, system::FileNamePart(beside.string()));
}

std::string SettingsReadPathFor(const std::string& exePath, const std::string& settingsPath) {
    std::error_code ec;
    if (settingsPath.empty() || fs::exists(settingsPath, ec))
        return settingsPath;
    const fs::path beside = fs::path(exePath).replace_extension(".ini");
    if (!IsInstalledProgram(exePath) && beside != fs::path(settingsPath) && fs::is_regular_file(beside, ec))
        return beside.string();
    return settingsPath;
}

TSettings& Settings() {
    static TSettings settings;
    return settings;
}

std::string SettingsFilePath() {
    if (!PathOverride().empty())
        return PathOverride();
    static const std::string decided = SettingsFilePathFor(toolkit::Application::ExePath());
    return decided;
}

void SetSettingsFilePath(const std::string& path) { PathOverride() = path; }

void TransferSettings(bool save, toolkit::Window& mainWindow, std::string& currentFile) {
    const std::string path = SettingsFilePath();
    const std::string source =
        PathOverride().empty() ? SettingsReadPathFor(toolkit::Application::ExePath(), path) : path;
    if (save && source != path) {
        std::error_code ec; // a failed copy leaves a file of the keys alone, as a first save would
        fs::copy_file(source, path, fs::copy_options::skip_existing, ec);
    }
    IniSection ini(save ? path : source, "Settings",
                   save ? IniSection::Direction::Write : IniSection::Direction::Read);
    TSettings& s = Settings();

    s.HidePass = ini.ExchangeBool("HidePass", save ? s.HidePass : true);
    currentFile = ini.ExchangeString("LastFile", currentFile);
    s.LangFile = ini.ExchangeString("LangFile", s.LangFile);

    // The outer rectangle. Saving hands back the window's own values, so the
    // window is only touched when loading, and then with a rectangle that can
    // be used on this screen (a file written elsewhere, or by hand, may hold
    // any number); the next save writes back what was used.
    const toolkit::Rect current = mainWindow.OuterRect();
    toolkit::Rect stored;
    stored.left = ini.ExchangeInt("Left", current.left);
    stored.top = ini.ExchangeInt("Top", current.top);
    stored.height = ini.ExchangeInt("Height", current.height);
    stored.width = ini.ExchangeInt("Width", current.width);
    if (!save && toolkit::Application::Exists()) {
        const toolkit::Rect usable =
            UsableWindowRect(stored, toolkit::Application::Instance().WorkAreaNear(stored));
        mainWindow.SetOuterLeft(usable.left);
        mainWindow.SetOuterTop(usable.top);
        mainWindow.SetOuterHeight(usable.height);
        mainWindow.SetOuterWidth(usable.width);
    }

    s.QuickCopy = ini.ExchangeBool("QuickCopy", s.QuickCopy);
    // Only the low 8 bits are kept: 261 reads as 5.
    s.QuickCopyItem = static_cast<std::uint8_t>(ini.ExchangeInt("QuickCopyItem", s.QuickCopyItem));
    s.BeepOnCopy = ini.ExchangeBool("BeepOnCopy", s.BeepOnCopy);
    s.BeepWithCard = ini.ExchangeBool("BeepWithCard", s.BeepWithCard);
    s.MinOnCopy = ini.ExchangeBool("MinOnCopy", s.MinOnCopy);
    s.OnWebLink = ini.ExchangeBool("OnWebLink", s.OnWebLink);
    s.MinimizeToTray = ini.ExchangeBool("MinimizeToTray", s.MinimizeToTray);
    // Not among the keys every file has: written only once it is in use.
    if (!save || s.ClearClipboard != 0)
        s.ClearClipboard = std::max(0, ini.ExchangeInt("ClearClipboard", s.ClearClipboard));
    if (!save || s.CodePage != 0)
        s.CodePage = ini.ExchangeInt("CodePage", s.CodePage);
}

int ChooseCodePage() {
    const TSettings& s = Settings();
    for (const int chosen : {s.CommandLineCodePage, s.CodePage})
        if (toolkit::CodePageAvailable(chosen))
            return chosen;
    if (LanguageFileInUse(s.LangFile)) {
        const int named = LanguageFileCodePage(ReadWholeFile(s.LangFile).value_or(std::string()));
        if (named != 0 && named != 65001)
            return named;
    }
    return toolkit::SystemCodePage();
}

} // namespace tallykey
