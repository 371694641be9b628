// The database file type in the Windows registry layout under
// HKEY_CLASSES_ROOT, written over the registry interface. The counterpart of
// the freedesktop association (linux/xdg_file_association.h).
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "toolkit/registry.h"
#include "toolkit/services.h"

namespace toolkit {

// "tkffile" for ".tkf": the extension in lower case without its dot, and "file".
std::string FileTypeClassName(const std::string& extension);

// Writes the keys of `extension` for `appPath`. Applications\<file name> is
// only written when it is missing; an icon index of -1 writes no icon.
// `notifyShell` runs at the end (SHChangeNotify where there is a shell).
// False when a registry call failed; the keys written before it stay.
bool RegisterFileType(Registry& registry, const std::string& extension,
                      const std::string& description, const std::string& verb,
                      const std::string& appPath, int iconIndex, bool defaultVerb, bool addVerb,
                      const std::function<void()>& notifyShell = {});

// Deletes the keys of ".tkf" and of Applications\<file name of appPath>,
// deepest first: a key that other software gave more subkeys stays.
void UnregisterFileType(Registry& registry, const std::string& appPath);

// True when Applications\<file name>, ".tkf" and "tkffile" all exist.
bool FileTypeRegistered(const Registry& registry, const std::string& appPath);

// The file-type association over a registry, for platforms that have one.
class RegistryFileAssociation : public FileAssociation {
public:
    explicit RegistryFileAssociation(Registry& registry,
                                     std::function<void()> notifyShell = {})
        : registry_(registry), notifyShell_(std::move(notifyShell)) {}
    bool IsRegistered(const std::string& exePath) const override;
    RegistrationResult Register(const std::string& exePath) override;
    void Unregister(const std::string& exePath) override;

private:
    Registry& registry_;
    std::function<void()> notifyShell_;
};

} // namespace toolkit
