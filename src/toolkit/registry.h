// A registry of keys with one default text value each, as the Windows
// registry under HKEY_CLASSES_ROOT serves the file-type association.
// Names are matched regardless of case; a key that still has subkeys
// cannot be deleted.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace toolkit {

class Registry {
public:
    virtual ~Registry() = default;
    // Paths are backslash-separated below the root, e.g. "tkffile\\Shell\\Open".
    virtual bool KeyExists(const std::string& path) const = 0;
    // Creates the key and its missing parents.
    virtual bool CreateKey(const std::string& path) = 0;
    // Sets the default value (creating the key when missing).
    virtual bool SetDefaultValue(const std::string& path, const std::string& value) = 0;
    virtual std::optional<std::string> DefaultValue(const std::string& path) const = 0;
    // Fails when the key is missing or still has subkeys.
    virtual bool DeleteKey(const std::string& path) = 0;
    virtual std::vector<std::string> SubKeys(const std::string& path) const = 0;
};

// The registry in memory: for tests and for platforms without one.
class MemoryRegistry : public Registry {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;
    bool KeyExists(const std::string& path) const override;
    bool CreateKey(const std::string& path) override;
    bool SetDefaultValue(const std::string& path, const std::string& value) override;
    std::optional<std::string> DefaultValue(const std::string& path) const override;
    bool DeleteKey(const std::string& path) override;
    std::vector<std::string> SubKeys(const std::string& path) const override;
    // Every key with its value ("" when unset, marked), sorted, for comparing states.
    std::string Dump() const;

private:
    struct Node;
    std::unique_ptr<Node> root_;
    Node* Find(const std::string& path) const;
};

} // namespace toolkit
