#include <algorithm>
#include <cctype>
#include <sstream>

#include "toolkit/registry.h"

namespace toolkit {

namespace {

std::string Folded(const std::string& name) {
    std::string folded = name;
    for (char& c : folded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// Splits "a\\b\\c"; an empty part (doubled, leading or trailing backslash)
// makes the whole path invalid. The empty path is the root.
bool SplitPath(const std::string& path, std::vector<std::string>& parts) {
    parts.clear();
    if (path.empty())
        return true;
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find('\\', start);
        std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty())
            return false;
        parts.push_back(part);
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

} // namespace

struct MemoryRegistry::Node {
    std::string name;
    std::optional<std::string> value;
    std::map<std::string, std::unique_ptr<Node>> children; // by folded name

    Node* Child(const std::string& childName) const {
        auto it = children.find(Folded(childName));
        return it == children.end() ? nullptr : it->second.get();
    }

    void Dump(const std::string& path, std::ostream& out) const {
        for (const auto& [folded, child] : children) {
            std::string childPath = path.empty() ? child->name : path + "\\" + child->name;
            if (child->value)
                out << childPath << " = \"" << *child->value << "\"\n";
            else
                out << childPath << " (value not set)\n";
            child->Dump(childPath, out);
        }
    }
};

MemoryRegistry::MemoryRegistry() : root_(std::make_unique<Node>()) {}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::Find(const std::string& path) const {
    std::vector<std::string> parts;
    if (!SplitPath(path, parts))
        return nullptr;
    Node* node = root_.get();
    for (const std::string& part : parts) {
        node = node->Child(part);
        if (!node)
            return nullptr;
    }
    return node;
}

bool MemoryRegistry::KeyExists(const std::string& path) const { return Find(path) != nullptr; }

bool MemoryRegistry::CreateKey(const std::string& path) {
    std::vector<std::string> parts;
    if (!SplitPath(path, parts))
        return false;
    Node* node = root_.get();
    for (const std::string& part : parts) {
        Node* child = node->Child(part);
        if (!child) {
            auto created = std::make_unique<Node>();
            created->name = part; // the spelling of the first creation stays
            child = created.get();
            node->children[Folded(part)] = std::move(created);
        }
        node = child;
    }
    return true;
}

bool MemoryRegistry::SetDefaultValue(const std::string& path, const std::string& value) {
    if (!CreateKey(path))
        return false;
    Find(path)->value = value;
    return true;
}

std::optional<std::string> MemoryRegistry::DefaultValue(const std::string& path) const {
    const Node* node = Find(path);
    if (!node)
        return std::nullopt;
    return node->value;
}

bool MemoryRegistry::DeleteKey(const std::string& path) {
    std::vector<std::string> parts;
    if (!SplitPath(path, parts) || parts.empty())
        return false;
    std::string leaf = parts.back();
    parts.pop_back();
    Node* parent = root_.get();
    for (const std::string& part : parts) {
        parent = parent->Child(part);
        if (!parent)
            return false;
    }
    auto it = parent->children.find(Folded(leaf));
    if (it == parent->children.end() || !it->second->children.empty())
        return false;
    parent->children.erase(it);
    return true;
}

std::vector<std::string> MemoryRegistry::SubKeys(const std::string& path) const {
    std::vector<std::string> names;
    if (const Node* node = Find(path))
        for (const auto& [folded, child] : node->children)
            names.push_back(child->name);
    return names;
}

std::string MemoryRegistry::Dump() const {
    std::ostringstream out;
    root_->Dump({}, out);
    return out.str();
}

} // namespace toolkit
