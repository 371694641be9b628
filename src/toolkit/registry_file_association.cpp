#include "toolkit/registry_file_association.h"

namespace toolkit {

namespace {

constexpr const char* kExtension = ".tkf";
constexpr const char* kClassName = "tkffile";

std::string FileNameOf(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The application path is not quoted; only the placeholder is.
std::string CommandValue(const std::string& appPath) { return appPath + " \"%1\""; }

} // namespace

std::string FileTypeClassName(const std::string& extension) {
    std::string name = extension.empty() ? std::string() : extension.substr(1);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name + "file";
}

bool RegisterFileType(Registry& registry, const std::string& extension,
                      const std::string& description, const std::string& verb,
                      const std::string& appPath, int iconIndex, bool defaultVerb, bool addVerb,
                      const std::function<void()>& notifyShell) {
    const std::string command = CommandValue(appPath);
    const std::string application = "Applications\\" + FileNameOf(appPath);
    bool ok = true;
    // Another program's (or an older) entry under this name is left as it is.
    if (!registry.KeyExists(application))
        ok &= registry.SetDefaultValue(application + "\\Shell\\Open\\Command", command);

    const std::string className = FileTypeClassName(extension);
    ok &= registry.SetDefaultValue(extension, className);
    ok &= registry.SetDefaultValue(className, description);
    if (iconIndex != -1)
        ok &= registry.SetDefaultValue(className + "\\DefaultIcon", appPath + "," + std::to_string(iconIndex));
    if (addVerb) {
        ok &= registry.SetDefaultValue(className + "\\Shell", defaultVerb ? verb : std::string());
        ok &= registry.CreateKey(className + "\\Shell\\" + verb);
        ok &= registry.SetDefaultValue(className + "\\Shell\\" + verb + "\\Command", command);
    }
    if (notifyShell)
        notifyShell();
    return ok;
}

void UnregisterFileType(Registry& registry, const std::string& appPath) {
    const std::string application = "Applications\\" + FileNameOf(appPath);
    // Each deletion fails while the key still has subkeys, which keeps what
    // other software put below it.
    for (const char* suffix : {"\\shell\\open\\command", "\\shell\\open", "\\shell", ""})
        registry.DeleteKey(application + suffix);
    for (const char* key : {".tkf", "tkffile\\DefaultIcon", "tkffile\\Shell\\Open\\Command",
                            "tkffile\\Shell\\Open", "tkffile\\Shell", "tkffile"})
        registry.DeleteKey(key);
}

bool FileTypeRegistered(const Registry& registry, const std::string& appPath) {
    return registry.KeyExists("Applications\\" + FileNameOf(appPath)) &&
           registry.KeyExists(kExtension) && registry.KeyExists(kClassName);
}

bool RegistryFileAssociation::IsRegistered(const std::string& exePath) const {
    return FileTypeRegistered(registry_, exePath);
}

RegistrationResult RegistryFileAssociation::Register(const std::string& exePath) {
    // Icon 1 is the second icon group of the executable, the database icon.
    if (RegisterFileType(registry_, kExtension, "Tallykey File", "Open", exePath, 1, true, true, notifyShell_))
        return {};
    return {false, "a registry key could not be written"};
}

void RegistryFileAssociation::Unregister(const std::string& exePath) {
    UnregisterFileType(registry_, exePath);
}

} // namespace toolkit
