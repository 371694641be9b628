#include "toolkit/xdg_file_association.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "toolkit/resources.h"

extern char** environ;

namespace toolkit {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSection = "[Default Applications]";

std::string BaseFolder(const std::string& given, const char* variable, const char* underHome) {
    if (!given.empty())
        return given;
    const char* value = std::getenv(variable);
    if (value && *value == '/') // relative values are to be ignored
        return value;
    const char* home = std::getenv("HOME");
    return (fs::path(home && *home ? home : "/") / underHome).string();
}

std::optional<std::string> ReadFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Through a temporary file and a rename: a reader never sees half a file.
void WriteFile(const fs::path& path, const std::string& content) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    fs::path temp = path;
    temp += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out.flush()) {
            fs::remove(temp, ec);
            return;
        }
    }
    fs::rename(temp, path, ec);
    if (ec)
        fs::remove(temp, ec);
}

// Runs a tool without a shell, quietly; a missing tool is no error.
void RunQuietly(const std::vector<std::string>& args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

std::string Trimmed(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool SameMimeType(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// mimeapps.list as lines, with the place of the default line of one type.
struct MimeApps {
    std::vector<std::string> lines;
    bool finalBreak = true;
    int header = -1;    // index of "[Default Applications]"
    int sectionEnd = -1; // index after the section's last line that is not blank
    int line = -1;       // index of the type's line

    MimeApps(const std::string& text, const std::string& mimeType) {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t nl = text.find('\n', start);
            if (nl == std::string::npos) {
                lines.push_back(text.substr(start));
                finalBreak = false;
                break;
            }
            lines.push_back(text.substr(start, nl - start));
            start = nl + 1;
        }
        for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
            std::string t = Trimmed(lines[i]);
            if (!t.empty() && t.front() == '[') {
                if (header >= 0)
                    break;
                if (t == kSection) {
                    header = i;
                    sectionEnd = i + 1;
                }
                continue;
            }
            if (header < 0)
                continue;
            if (!t.empty())
                sectionEnd = i + 1;
            std::size_t eq = t.find('=');
            if (line < 0 && eq != std::string::npos && SameMimeType(Trimmed(t.substr(0, eq)), mimeType))
                line = i;
        }
    }

    std::string Value() const {
        if (line < 0)
            return {};
        std::string t = Trimmed(lines[line]);
        return Trimmed(t.substr(t.find('=') + 1));
    }

    std::string Text() const {
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            text += lines[i];
            if (i + 1 < lines.size() || finalBreak)
                text += '\n';
        }
        return text;
    }
};

std::vector<std::string> SplitList(const std::string& value) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t semi = value.find(';', start);
        parts.push_back(value.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
        if (semi == std::string::npos)
            return parts;
        start = semi + 1;
    }
}

// The list without `entry`, its other entries and separators as they were.
std::string WithoutEntry(const std::string& value, const std::string& entry) {
    std::string rest;
    bool first = true;
    for (const std::string& part : SplitList(value)) {
        if (Trimmed(part) == entry)
            continue;
        if (!first)
            rest += ';';
        rest += part;
        first = false;
    }
    return rest;
}

bool HasEntries(const std::string& value) {
    for (const std::string& part : SplitList(value))
        if (!Trimmed(part).empty())
            return true;
    return false;
}

std::string MimePackage() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"application/x-tallykey\">\n"
           "    <comment>Tallykey File</comment>\n"
           "    <icon name=\"application-x-tallykey\"/>\n"
           "    <glob pattern=\"*.tkf\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string DesktopEntry(const std::string& exePath) {
    // Not shown in menus: like the Windows keys, this only makes the program
    // open its files.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n"
           "Name=Tallykey\n"
           "GenericName=Password manager\n"
           "Comment=Open Tallykey database files\n" +
           DesktopExecLine(exePath) +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "MimeType=application/x-tallykey;\n";
}

} // namespace

std::string DesktopExecLine(const std::string& exePath) {
    // Quoting of the argument: inside double quotes, " ` $ \ take a backslash.
    std::string quoted = "\"";
    for (char c : exePath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    // Then the rules of every string value: a percent sign is doubled (no
    // field code), and backslash, line breaks and tabs are escaped.
    std::string value;
    for (char c : quoted) {
        switch (c) {
        case '%': value += "%%"; break;
        case '\\': value += "\\\\"; break;
        case '\n': value += "\\n"; break;
        case '\r': value += "\\r"; break;
        case '\t': value += "\\t"; break;
        default: value += c;
        }
    }
    return "Exec=" + value + " %f";
}

std::string SetDefaultApplication(const std::string& text, const std::string& mimeType,
                                  const std::string& entry) {
    MimeApps apps(text, mimeType);
    if (apps.line >= 0) {
        // Ours goes first; the programs named before stay behind it.
        std::string rest = WithoutEntry(apps.Value(), entry);
        apps.lines[apps.line] = mimeType + "=" + entry + (HasEntries(rest) ? ";" + rest : "");
        return apps.Text();
    }
    const std::string line = mimeType + "=" + entry;
    if (apps.header >= 0) {
        apps.lines.insert(apps.lines.begin() + apps.sectionEnd, line);
        if (apps.sectionEnd == static_cast<int>(apps.lines.size()) - 1 && !apps.finalBreak)
            apps.finalBreak = true;
        return apps.Text();
    }
    std::string out = text;
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    return out + kSection + "\n" + line + "\n";
}

std::string RemoveDefaultApplication(const std::string& text, const std::string& mimeType,
                                     const std::string& entry) {
    MimeApps apps(text, mimeType);
    if (apps.line < 0)
        return text;
    std::string rest = WithoutEntry(apps.Value(), entry);
    if (rest == apps.Value())
        return text; // names only other programs
    if (HasEntries(rest)) {
        apps.lines[apps.line] = mimeType + "=" + rest;
        return apps.Text();
    }
    apps.lines.erase(apps.lines.begin() + apps.line);
    // A section that held only this line goes with it, as registering made it.
    MimeApps after(apps.Text(), mimeType);
    if (after.header >= 0 && after.sectionEnd == after.header + 1 &&
        (after.header + 1 == static_cast<int>(after.lines.size()) ||
         Trimmed(after.lines[after.header + 1]).starts_with("[")))
        after.lines.erase(after.lines.begin() + after.header);
    return after.Text();
}

std::string DefaultApplication(const std::string& text, const std::string& mimeType) {
    MimeApps apps(text, mimeType);
    for (const std::string& part : SplitList(apps.Value()))
        if (!Trimmed(part).empty())
            return Trimmed(part);
    return {};
}

XdgFileAssociation::XdgFileAssociation(std::string dataHome, std::string configHome)
    : dataHome_(std::move(dataHome)), configHome_(std::move(configHome)) {}

std::string XdgFileAssociation::DataHome() const {
    return BaseFolder(dataHome_, "XDG_DATA_HOME", ".local/share");
}

std::string XdgFileAssociation::ConfigHome() const {
    return BaseFolder(configHome_, "XDG_CONFIG_HOME", ".config");
}

std::string XdgFileAssociation::MimePackagePath() const {
    return (fs::path(DataHome()) / "mime/packages/tallykey.xml").string();
}

std::string XdgFileAssociation::IconPath() const {
    return (fs::path(DataHome()) / "icons/hicolor/48x48/mimetypes/application-x-tallykey.png").string();
}

std::string XdgFileAssociation::DesktopEntryPath() const {
    return (fs::path(DataHome()) / "applications" / kDesktopEntry).string();
}

std::string XdgFileAssociation::MimeAppsPath() const {
    return (fs::path(ConfigHome()) / "mimeapps.list").string();
}

bool XdgFileAssociation::IsRegistered(const std::string& exePath) const {
    std::optional<std::string> package = ReadFile(MimePackagePath());
    if (!package || package->find(std::string("type=\"") + kMimeType + "\"") == std::string::npos)
        return false;
    std::optional<std::string> entry = ReadFile(DesktopEntryPath());
    if (!entry)
        return false;
    bool startsUs = false;
    std::istringstream lines(*entry);
    for (std::string line; std::getline(lines, line);)
        if (Trimmed(line) == DesktopExecLine(exePath))
            startsUs = true;
    if (!startsUs)
        return false;
    std::optional<std::string> apps = ReadFile(MimeAppsPath());
    return apps && DefaultApplication(*apps, kMimeType) == kDesktopEntry;
}

// Earlier versions wrote their hidden entry under the installed menu entry's
// name; it goes only when it is that hidden file-type entry.
void XdgFileAssociation::RemoveOldDesktopEntry() const {
    const fs::path old = fs::path(DataHome()) / "applications" / kOldDesktopEntry;
    std::optional<std::string> entry = ReadFile(old.string());
    if (!entry || entry->find("\nNoDisplay=true\n") == std::string::npos ||
        entry->find(std::string("\nMimeType=") + kMimeType + ";\n") == std::string::npos)
        return;
    std::error_code ec;
    fs::remove(old, ec);
    if (std::optional<std::string> apps = ReadFile(MimeAppsPath())) {
        std::string rest = RemoveDefaultApplication(*apps, kMimeType, kOldDesktopEntry);
        if (rest != *apps)
            WriteFile(MimeAppsPath(), rest);
    }
}

void XdgFileAssociation::Register(const std::string& exePath) {
    RemoveOldDesktopEntry();
    WriteFile(MimePackagePath(), MimePackage());
    if (ResourceData icon = FindResource("TKFICON"))
        WriteFile(IconPath(), std::string(reinterpret_cast<const char*>(icon.data), icon.size));
    WriteFile(DesktopEntryPath(), DesktopEntry(exePath));
    std::string apps = ReadFile(MimeAppsPath()).value_or(std::string());
    WriteFile(MimeAppsPath(), SetDefaultApplication(apps, kMimeType, kDesktopEntry));
    RefreshCaches();
}

void XdgFileAssociation::Unregister(const std::string&) {
    std::error_code ec;
    // The files carry the program's name: they are ours whichever copy of
    // the program wrote them, as the Windows keys are.
    fs::remove(MimePackagePath(), ec);
    fs::remove(IconPath(), ec);
    fs::remove(DesktopEntryPath(), ec);
    RemoveOldDesktopEntry();
    if (std::optional<std::string> apps = ReadFile(MimeAppsPath())) {
        std::string rest = RemoveDefaultApplication(*apps, kMimeType, kDesktopEntry);
        if (rest.empty())
            fs::remove(MimeAppsPath(), ec);
        else if (rest != *apps)
            WriteFile(MimeAppsPath(), rest);
    }
    RefreshCaches();
}

void XdgFileAssociation::RefreshCaches() const {
    if (!refreshCaches_)
        return;
    std::error_code ec;
    const fs::path data(DataHome());
    if (fs::is_directory(data / "mime", ec))
        RunQuietly({"update-mime-database", (data / "mime").string()});
    if (fs::is_directory(data / "applications", ec))
        RunQuietly({"update-desktop-database", (data / "applications").string()});
}

FileAssociation& DesktopFileAssociation() {
    static XdgFileAssociation association;
    return association;
}

} // namespace toolkit
