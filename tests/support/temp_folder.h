// A folder of its own for each test, removed with everything in it afterwards
// (also where a test has taken away its permissions).
#pragma once

#include <filesystem>
#include <random>
#include <string>

#include "support/files.h"

namespace tallykey::test {

class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        do
            path_ = std::filesystem::temp_directory_path() /
                    ("tallykey-test-" + std::to_string(random()) + std::to_string(random()));
        while (!std::filesystem::create_directories(path_));
    }
    ~TempFolder() {
        AllowRemoval(path_);
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path() const { return path_.string(); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    void Write(const std::string& name, const std::string& content) const {
        std::filesystem::create_directories((path_ / name).parent_path());
        WriteFile(File(name), content);
    }
    std::string Read(const std::string& name) const { return ReadFile(File(name)); }

private:
    // Gives the owner back what a test took away from the folders inside.
    static void AllowRemoval(const std::filesystem::path& folder) {
        std::error_code ec;
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_directory(ec) && !it->is_symlink(ec))
                AllowRemoval(it->path());
    }

    std::filesystem::path path_;
};

} // namespace tallykey::test
