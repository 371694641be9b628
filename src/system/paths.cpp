#include "system/file_system.h"

namespace tallykey::system {

namespace {

bool IsSeparator(char c, PathStyle style) { return c == '/' || (style == PathStyle::Windows && c == '\\'); }

char Separator(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

// How many leading characters of `path` are its root: "/" on POSIX; on Windows a drive
// ("C:", "C:\"), a server's share ("\\server\share\") or a leading separator.
std::size_t RootLength(std::string_view path, PathStyle style) {
    if (style == PathStyle::Posix)
        return !path.empty() && path[0] == '/' ? 1 : 0;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        return path.size() >= 3 && IsSeparator(path[2], style) ? 3 : 2;
    if (path.size() >= 2 && IsSeparator(path[0], style) && IsSeparator(path[1], style)) {
        // \\server\share\ : the root takes two more parts.
        std::size_t i = 2;
        for (int part = 0; part < 2 && i < path.size(); ++part) {
            while (i < path.size() && !IsSeparator(path[i], style))
                ++i;
            if (i < path.size())
                ++i;
        }
        return i;
    }
    return !path.empty() && IsSeparator(path[0], style) ? 1 : 0;
}

// `path` without its trailing separators, its root kept whole.
std::string_view TrimSeparators(std::string_view path, PathStyle style) {
    const std::size_t root = RootLength(path, style);
    while (path.size() > root && IsSeparator(path.back(), style))
        path.remove_suffix(1);
    return path;
}

} // namespace

std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style) {
    if (folder.empty() || RootLength(name, style) > 0)
        return std::string(name);
    std::string out(folder);
    if (name.empty())
        return out;
    // A drive alone ("C:") names its current folder: the name follows without a separator.
    const bool driveOnly = style == PathStyle::Windows && out.back() == ':' && RootLength(out, style) == out.size();
    if (!IsSeparator(out.back(), style) && !driveOnly)
        out += Separator(style);
    out += name;
    return out;
}

std::string ParentFolder(std::string_view path, PathStyle style) {
    path = TrimSeparators(path, style);
    const std::size_t root = RootLength(path, style);
    std::size_t end = path.size();
    while (end > root && !IsSeparator(path[end - 1], style))
        --end;
    if (end == 0)
        return ".";
    // The separators between the folder and the name go, except those of the root.
    while (end > root && IsSeparator(path[end - 1], style))
        --end;
    return std::string(path.substr(0, end));
}

std::string FileNamePart(std::string_view path, PathStyle style) {
    path = TrimSeparators(path, style);
    const std::size_t root = RootLength(path, style);
    std::size_t start = path.size();
    while (start > root && !IsSeparator(path[start - 1], style))
        --start;
    return std::string(path.substr(start));
}

std::string WithSeparator(std::string folder, PathStyle style) {
    if (!folder.empty() && !IsSeparator(folder.back(), style))
        folder += Separator(style);
    return folder;
}

std::string ProgramFolder() {
    const std::string exe = ExecutablePath();
    return exe.empty() ? std::string() : WithSeparator(ParentFolder(exe));
}

} // namespace tallykey::system
