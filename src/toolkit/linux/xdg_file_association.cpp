#include "toolkit/linux/xdg_file_association.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool Failed(std::string& error, const std::string& what, const fs::path& path, const std::error_code& ec) {
    error = what + " " + path.string() + ": " + ec.message();
    return false;
}

// A new file holding `content`.
bool WriteNewFile(const fs::path& path, const std::string& content, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return Failed(error, "cannot write", path, std::error_code(errno, std::generic_category()));
    std::size_t done = 0;
    int problem = 0;
    while (done < content.size() && problem == 0) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n >= 0)
            done += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            problem = errno;
    }
    if (::close(fd) != 0 && problem == 0)
        problem = errno;
    if (problem == 0)
        return true;
    std::error_code ec;
    fs::remove(path, ec);
    return Failed(error, "cannot write", path, std::error_code(problem, std::generic_category()));
}

fs::path Beside(const fs::path& path, const char* tag) {
    fs::path other = path;
    other += tag + std::to_string(::getpid());
    return other;
}

// Through a temporary file and a rename: a reader never sees half a file.
bool WriteFile(const fs::path& path, const std::string& content) {
    std::string error;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    const fs::path temp = Beside(path, ".tmp");
    if (!WriteNewFile(temp, content, error))
        return false;
    fs::rename(temp, path, ec);
    if (ec)
        fs::remove(temp, ec);
    return !ec;
}

// What a registration has changed so far, undone newest first unless it
// completes.
class Changes {
public:
    Changes() = default;
    Changes(const Changes&) = delete;
    Changes& operator=(const Changes&) = delete;
    ~Changes() {
        if (!complete_)
            for (auto step = undo_.rbegin(); step != undo_.rend(); ++step)
                (*step)();
    }
    void Complete() { complete_ = true; }

    // `folder` and whichever of its parents are missing.
    bool MakeFolder(const fs::path& folder, std::string& error) {
        std::vector<fs::path> missing;
        std::error_code ec;
        for (fs::path p = folder; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
            missing.push_back(p);
            if (p == p.parent_path())
                break;
        }
        for (auto p = missing.rbegin(); p != missing.rend(); ++p) {
            const bool made = fs::create_directory(*p, ec);
            if (ec)
                return Failed(error, "cannot create the folder", *p, ec);
            if (made)
                undo_.push_back([p = *p] {
                    std::error_code ignored;
                    fs::remove(p, ignored);
                });
        }
        return true;
    }

    bool Write(const fs::path& path, const std::string& content, std::string& error) {
        if (!WriteNewFile(path, content, error))
            return false;
        undo_.push_back([path] {
            std::error_code ignored;
            fs::remove(path, ignored);
        });
        return true;
    }

    // `to` must not exist: the undo moves the file back.
    bool Move(const fs::path& from, const fs::path& to, std::string& error) {
        std::error_code ec;
        fs::rename(from, to, ec);
        if (ec)
            return Failed(error, "cannot rename " + from.string() + " to", to, ec);
        undo_.push_back([from, to] {
            std::error_code ignored;
            fs::rename(to, from, ignored);
        });
        return true;
    }

private:
    std::vector<std::function<void()>> undo_;
    bool complete_ = false;
};

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

// The marks of the files the program writes: it replaces and removes only
// files that carry them, whichever copy or version of the program wrote them.
constexpr const char* kPackageMark = "<!-- Written by Tallykey: removed when *.tkf files are unregistered -->";
constexpr const char* kEntryMark = "X-Tallykey-Generated=true";

bool HasLine(const std::string& text, const std::string& line) {
    std::istringstream lines(text);
    for (std::string each; std::getline(lines, each);)
        if (Trimmed(each) == line)
            return true;
    return false;
}

// As installed system-wide: packaging/tallykey.xml is the same text.
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

// The user's copy carries the mark after the XML declaration.
std::string MarkedMimePackage() {
    std::string text = MimePackage();
    return text.insert(text.find('\n') + 1, kPackageMark + std::string("\n"));
}

std::string DesktopEntry(const std::string& execLine, bool marked) {
    // Not shown in menus: like the Windows keys, this only makes the program
    // open its files.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n"
           "Name=Tallykey\n"
           "GenericName=Password manager\n"
           "Comment=Open Tallykey database files\n" +
           execLine +
           "\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "MimeType=application/x-tallykey;\n" +
           (marked ? kEntryMark + std::string("\n") : "");
}

// Files written before the marks are known by their exact text.
bool IsOurMimePackage(const std::string& text) {
    return text.find(kPackageMark) != std::string::npos || text == MimePackage();
}

bool IsOurDesktopEntry(const std::string& text) {
    if (HasLine(text, kEntryMark))
        return true;
    const std::size_t exec = text.find("\nExec=");
    if (exec == std::string::npos)
        return false;
    const std::size_t end = text.find('\n', exec + 1);
    return text == DesktopEntry(text.substr(exec + 1, end - exec - 1), false);
}

std::optional<std::string> IconImage() {
    if (ResourceData icon = FindResource("TKFICON"))
        return std::string(reinterpret_cast<const char*>(icon.data), icon.size);
    return std::nullopt;
}

// An image has no room for a mark: the program's icon is its exact bytes.
bool IsOurIcon(const std::string& bytes) { return bytes == IconImage(); }

// A file that registration writes, and how to tell the program's own.
struct OwnedFile {
    fs::path path;
    std::string content;
    bool (*ours)(const std::string& text);

    bool HoldsOurs() const {
        std::optional<std::string> text = ReadFile(path);
        return text && ours(*text);
    }
};

std::vector<OwnedFile> OwnedFiles(const XdgFileAssociation& association, const std::string& exePath) {
    std::vector<OwnedFile> files{{association.MimePackagePath(), MarkedMimePackage(), IsOurMimePackage}};
    if (std::optional<std::string> icon = IconImage())
        files.push_back({association.IconPath(), *icon, IsOurIcon});
    files.push_back({association.DesktopEntryPath(), DesktopEntry(DesktopExecLine(exePath), true), IsOurDesktopEntry});
    return files;
}

fs::path SavedPath(const fs::path& path) {
    fs::path saved = path;
    saved += XdgFileAssociation::kSavedSuffix;
    return saved;
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
    if (!package || !IsOurMimePackage(*package))
        return false;
    std::optional<std::string> entry = ReadFile(DesktopEntryPath());
    if (!entry || !IsOurDesktopEntry(*entry) || !HasLine(*entry, DesktopExecLine(exePath)))
        return false;
    std::optional<std::string> apps = ReadFile(MimeAppsPath());
    return apps && DefaultApplication(*apps, kMimeType) == kDesktopEntry;
}

// Earlier versions wrote their hidden entry under the installed menu entry's
// name; it goes only when it is that hidden file-type entry.
bool XdgFileAssociation::OldDesktopEntryIsOurs() const {
    std::optional<std::string> entry = ReadFile(fs::path(DataHome()) / "applications" / kOldDesktopEntry);
    return entry && entry->find("\nNoDisplay=true\n") != std::string::npos &&
           entry->find(std::string("\nMimeType=") + kMimeType + ";\n") != std::string::npos;
}

RegistrationResult XdgFileAssociation::Register(const std::string& exePath) {
    Changes changes;
    std::string error;
    const std::vector<OwnedFile> files = OwnedFiles(*this, exePath);
    // Every file first, under a temporary name beside its place.
    std::vector<fs::path> temps;
    for (const OwnedFile& file : files) {
        temps.push_back(Beside(file.path, ".tmp"));
        if (!changes.MakeFolder(file.path.parent_path(), error) || !changes.Write(temps.back(), file.content, error))
            return {false, error};
    }
    const fs::path appsPath = MimeAppsPath();
    std::optional<std::string> apps = ReadFile(appsPath);
    if (!apps && Exists(appsPath))
        return {false, "cannot read " + appsPath.string()};
    const bool oldEntry = OldDesktopEntryIsOurs();
    std::string newApps = apps.value_or(std::string());
    if (oldEntry)
        newApps = RemoveDefaultApplication(newApps, kMimeType, kOldDesktopEntry);
    newApps = SetDefaultApplication(newApps, kMimeType, kDesktopEntry);
    const fs::path appsTemp = Beside(appsPath, ".tmp");
    if (!changes.MakeFolder(appsPath.parent_path(), error) || !changes.Write(appsTemp, newApps, error))
        return {false, error};

    // Then into place. A user's own file of the same name is moved aside
    // while ours is there and comes back on unregistering: the names stay
    // fixed, so nothing has to search for them, and the user gets the file
    // back byte for byte. The program's earlier copy is kept only until the
    // end, for the undo.
    std::vector<fs::path> earlier;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path& path = files[i].path;
        if (Exists(path)) {
            const bool ours = files[i].HoldsOurs();
            const fs::path aside = ours ? Beside(path, ".old") : SavedPath(path);
            if (!ours && Exists(aside))
                return {false, path.string() + " is not Tallykey's file and " + aside.string() + " already exists"};
            if (!changes.Move(path, aside, error))
                return {false, error};
            if (ours)
                earlier.push_back(aside);
        }
        if (!changes.Move(temps[i], path, error))
            return {false, error};
    }
    // The default line last: it never names an entry that is not there.
    std::error_code ec;
    fs::rename(appsTemp, appsPath, ec);
    if (ec) {
        Failed(error, "cannot replace", appsPath, ec);
        return {false, error};
    }
    changes.Complete();

    for (const fs::path& path : earlier)
        fs::remove(path, ec);
    if (oldEntry)
        fs::remove(fs::path(DataHome()) / "applications" / kOldDesktopEntry, ec);
    RefreshCaches();
    return {};
}

void XdgFileAssociation::Unregister(const std::string&) {
    std::error_code ec;
    const bool oldEntry = OldDesktopEntryIsOurs();
    // The default line first: a line naming a removed entry would be the
    // worse remainder.
    if (std::optional<std::string> apps = ReadFile(MimeAppsPath())) {
        std::string rest = RemoveDefaultApplication(*apps, kMimeType, kDesktopEntry);
        if (oldEntry)
            rest = RemoveDefaultApplication(rest, kMimeType, kOldDesktopEntry);
        if (rest.empty())
            fs::remove(MimeAppsPath(), ec);
        else if (rest != *apps)
            WriteFile(MimeAppsPath(), rest);
    }
    for (const OwnedFile& file : OwnedFiles(*this, {})) {
        if (file.HoldsOurs())
            fs::remove(file.path, ec);
        // The user's file that registering moved aside, once its place is free.
        if (!Exists(file.path) && Exists(SavedPath(file.path)))
            fs::rename(SavedPath(file.path), file.path, ec);
    }
    if (oldEntry)
        fs::remove(fs::path(DataHome()) / "applications" / kOldDesktopEntry, ec);
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
