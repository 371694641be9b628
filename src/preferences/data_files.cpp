#include "preferences/data_files.h"

#include <filesystem>
#include <system_error>

#include "preferences/language.h"
#include "system/file_system.h"

namespace tallykey {

namespace {

namespace fs = std::filesystem;

bool IsFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

} // namespace

std::string InstalledDataFolder(const std::string& programFolder) {
    if (programFolder.empty())
        return {};
    const fs::path folder = (fs::path(programFolder) / TALLYKEY_DATA_FROM_BIN).lexically_normal();
    // Where the data files sit beside the program (the Windows layout), its
    // own folder is no install: a portable copy keeps its settings there.
    if (folder == fs::path(programFolder).lexically_normal())
        return {};
    std::error_code ec;
    return fs::is_directory(folder, ec) ? system::WithSeparator(folder.string()) : std::string();
}

bool IsInstalledProgram(const std::string& exePath) {
    return !InstalledDataFolder(system::WithSeparator(fs::path(exePath).parent_path().string())).empty();
}

std::vector<std::string> DataFolders() {
    std::vector<std::string> folders{ProgramFolder()};
    if (std::string installed = InstalledDataFolder(ProgramFolder()); !installed.empty())
        folders.push_back(installed);
    return folders;
}

std::string DataFilePath(const std::string& name) {
    const std::vector<std::string> folders = DataFolders();
    for (const std::string& folder : folders)
        if (IsFile(system::JoinPath(folder, name)))
            return system::JoinPath(folder, name);
    return system::JoinPath(folders.back(), name);
}

std::string HtmlHelpIndex() {
    const std::string beside = system::JoinPath(system::JoinPath(ProgramFolder(), "help"), "index.html");
    if (IsFile(beside))
        return beside;
    if (InstalledDataFolder(ProgramFolder()).empty())
        return {};
    const fs::path installed =
        (fs::path(ProgramFolder()) / TALLYKEY_HTML_HELP_FROM_BIN / "index.html").lexically_normal();
    return IsFile(installed.string()) ? installed.string() : std::string();
}

} // namespace tallykey
