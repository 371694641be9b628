// The program's settings: values in memory, loaded once and saved on close.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/types.h"

namespace toolkit { class Window; }

namespace tallykey {

struct TSettings {
    bool HidePass = false;
    std::string LangFile;
    bool QuickCopy = false;
    std::uint8_t QuickCopyItem = 0;
    bool BeepOnCopy = false;
    bool BeepWithCard = false;
    bool MinOnCopy = false;
    bool OnWebLink = false;
    bool MinimizeToTray = false;
    int ClearClipboard = 0; // seconds after which a copied text is taken off again; 0: never
    // The Windows code page of the database texts, the master password and
    // the language files; 0 for the one of the locale. Set by hand in the file.
    int CodePage = 0;
    // --codepage N of the command line, for this run only (0: not given).
    int CommandLineCodePage = 0;
};

// The main window's outer rectangle from the settings file made usable in the
// work area `area`: no larger than the area, no smaller than a window whose
// caption and menu bar can still be used, with part of the caption (some of
// its height and width) on the area. Values as far off as the file may
// hold (2147483647, -5) are taken without overflow.
toolkit::Rect UsableWindowRect(const toolkit::Rect& stored, const toolkit::Rect& area);

// The program-wide settings.
TSettings& Settings();

// The settings file: the executable's path with ".ini". Where the
// executable's folder cannot be written, or the program is installed (see
// data_files.h), the same file name in $XDG_CONFIG_HOME/tallykey/
// (~/.config/tallykey/) instead, for reading and writing alike. Decided
// once per run.
std::string SettingsFilePath();
// The decision above for an executable at `exePath`.
std::string SettingsFilePathFor(const std::string& exePath);
// Where the settings are read from for an executable at `exePath` whose
// settings file is `settingsPath`: that file while it exists; before the
// first save there, the file beside a portable program's executable (the
// settings of a program in a read-only folder still count). The first save
// carries that file over, comments and unknown keys included.
std::string SettingsReadPathFor(const std::string& exePath, const std::string& settingsPath);
// Uses `path` from now on (tests); empty goes back to the decision above.
void SetSettingsFilePath(const std::string& path);

// The code page of this run: the command line's, else the setting's, else
// the one that the language file in use names for itself (unless that is
// UTF-8, which the database files of other readers do not use), else the
// locale's. A number this system cannot convert counts as not given. A
// Russian language file thus brings its code page with it, as the Windows
// desktop it was written for has it.
int ChooseCodePage();

// Loads (save = false) or saves every setting; `currentFile` is stored as
// LastFile and the geometry is that of `mainWindow`.
void TransferSettings(bool save, toolkit::Window& mainWindow, std::string& currentFile);

} // namespace tallykey
