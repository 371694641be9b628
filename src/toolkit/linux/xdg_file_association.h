// The database file type on a freedesktop desktop: a shared-mime-info
// package for application/x-tallykey (*.tkf) with its icon, a .desktop entry
// that starts the program with the file, and the default-application line
// in mimeapps.list. The counterpart of the Windows registry keys.
#pragma once

#include <string>

#include "toolkit/services.h"

namespace toolkit {

class XdgFileAssociation : public FileAssociation {
public:
    // Empty folders mean $XDG_DATA_HOME (~/.local/share) and
    // $XDG_CONFIG_HOME (~/.config), looked up at each call.
    explicit XdgFileAssociation(std::string dataHome = {}, std::string configHome = {});

    // True when the program's own mime package, its .desktop entry starting
    // `exePath` and the default-application line are all in place.
    bool IsRegistered(const std::string& exePath) const override;
    // Writes every file, then the default line; when a step fails, what was
    // done is undone and the result says why.
    RegistrationResult Register(const std::string& exePath) override;
    // Removes the files the program wrote and the default line that names its
    // entry, and puts back a user's file that registering moved aside. Other
    // files and lines stay.
    void Unregister(const std::string& exePath) override;

    // Whether the desktop's caches are refreshed after a change (the
    // update-mime-database and update-desktop-database tools).
    void SetRefreshCaches(bool refresh) { refreshCaches_ = refresh; }

    // Where the pieces go.
    std::string MimePackagePath() const;
    std::string IconPath() const;
    std::string DesktopEntryPath() const;
    std::string MimeAppsPath() const;

    static constexpr const char* kMimeType = "application/x-tallykey";
    // Not "tallykey.desktop": that is the installed menu entry, which a
    // hidden entry of the same name in the user's folder would hide.
    static constexpr const char* kDesktopEntry = "tallykey-files.desktop";
    // The name earlier versions gave the hidden entry; registering and
    // unregistering remove it when it is that hidden entry.
    static constexpr const char* kOldDesktopEntry = "tallykey.desktop";
    // Added to the name of a user's own file that stands where registration
    // writes one, while the program's file is in place.
    static constexpr const char* kSavedSuffix = ".user-saved";

private:
    std::string DataHome() const;
    std::string ConfigHome() const;
    void RefreshCaches() const;
    bool OldDesktopEntryIsOurs() const;

    std::string dataHome_;
    std::string configHome_;
    bool refreshCaches_ = true;
};

// The Exec line of the .desktop entry: the program quoted as desktop
// entries require, then the file placeholder.
std::string DesktopExecLine(const std::string& exePath);

// mimeapps.list text with `mimeType` made to open with `entry` by default,
// or with `entry` taken out of its default line (the line goes when nothing
// is left in it). Every other line stays as it was.
std::string SetDefaultApplication(const std::string& text, const std::string& mimeType,
                                  const std::string& entry);
std::string RemoveDefaultApplication(const std::string& text, const std::string& mimeType,
                                     const std::string& entry);
// The first entry of the default line of `mimeType`, empty when there is none.
std::string DefaultApplication(const std::string& text, const std::string& mimeType);

// The association in use on this desktop (one for the whole run).
FileAssociation& DesktopFileAssociation();

} // namespace toolkit
