// The system layer's files: open, read, write and flush files through descriptors, tell
// which file a descriptor is, paths and the program's own folders. Errors are errno values
// (from <cerrno>) on every platform, so that callers compare and report them alike; paths
// are narrow strings (on Windows in the system's ANSI code page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallykey::system {

// The text of a read refused because the path names a FIFO, a device or a socket.
inline constexpr const char* NotRegularFileText = "Not a regular file";

// The reason of an error for the user: the system's text for an errno value, and
// NotRegularFileText for 0 (what OpenRegularFile gives for a file that is not regular).
std::string ErrorText(int error);

// Opens `path` (following symbolic links) for reading without waiting: a FIFO or a device
// is refused at once. Returns the descriptor, or -1 with `error` set to an errno value
// (EISDIR for a folder) or to 0 when the path names some other file that is not regular.
int OpenRegularFile(const std::string& path, int& error);

// Creates a new file for writing, failing (EEXIST) when the path exists. `permissions` are
// the POSIX mode bits of the new file where the system has them.
int CreateNewFile(const std::string& path, unsigned permissions, int& error);

// Each returns false, or how many bytes moved, and sets `error` on the system's failure.
// Reads stop early only at the end of the file; writes only on a failure.
bool CloseFile(int fd, int& error);
std::size_t ReadBytes(int fd, void* buffer, std::size_t count, int& error);
std::size_t WriteBytes(int fd, const void* buffer, std::size_t count, int& error);
bool SeekFile(int fd, std::uint64_t position, int& error);
std::uint64_t FilePosition(int fd); // 0 when it cannot be told
std::uint64_t FileSize(int fd);     // 0 when it cannot be told
// Flushes the file's bytes to the device.
bool SyncFile(int fd, int& error);

// Which file an open descriptor is: the volume and the file's number on it (device and
// inode), its size and last modification. Equal identities mean the same file, unchanged
// as far as the system tells.
struct FileIdentity {
    bool known = false; // false: it could not be told
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
};
FileIdentity IdentityOf(int fd);
// The identity of the file a path names now (following links); unknown when there is none.
FileIdentity IdentityAt(const std::string& path);

// Opens what carries the writers' lock of the file `path` names: the file itself on
// POSIX; on Windows, where a file that is held open cannot be replaced, a hidden file
// beside it ("." + its name + ".tallykey-lock"), made on demand and left in place. -1 with
// `error` ENOENT when there is no file at `path`, EISDIR for a folder.
int OpenLockFile(const std::string& path, int& error);
// Whether a lock taken on `fd` (from OpenLockFile) guards the file `path` names now: on
// POSIX the lock sits on the file, and a replace puts another file at the path.
bool LockGuards(int fd, const std::string& path);

// Takes the exclusive writers' lock of an open file without waiting. Returns true when it
// is held, false with `error` 0 when another holds it, false with `error` set on failure.
// It is released when the descriptor is closed.
bool TryLockFile(int fd, int& error);

// The whole of a regular file, at most `limit` bytes: EFBIG past it. Nothing with `error`
// set when it cannot be read (0: not a regular file).
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit, int& error);

// Removes a file; false when it could not be.
bool RemoveFile(const std::string& path);

// Paths. The platform's separator is '/' on POSIX; on Windows '\' and '/' both separate
// and a drive ("C:") starts a path. Each function takes the style so that both are
// handled (and tested) on every platform; the default is the platform's own.
enum class PathStyle { Posix, Windows };
#ifdef _WIN32
inline constexpr PathStyle NativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle NativePathStyle = PathStyle::Posix;
#endif

// `name` inside `folder`: one separator between them; `name` alone when it is absolute
// or `folder` is empty.
std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style = NativePathStyle);
// The folder that holds `path` (trailing separators ignored): "." for a bare name, the
// root for a path at the root, the root itself for a root.
std::string ParentFolder(std::string_view path, PathStyle style = NativePathStyle);
// The last part of `path` (after its last separator).
std::string FileNamePart(std::string_view path, PathStyle style = NativePathStyle);
// `folder` ending with a separator (empty stays empty).
std::string WithSeparator(std::string folder, PathStyle style = NativePathStyle);

// The running executable's full path; empty when it cannot be told.
std::string ExecutablePath();
// The folder of the executable, with a trailing separator.
std::string ProgramFolder();
// Where the user's settings go when the program's folder does not take them: the user's
// configuration folder for the program (made on demand by the caller), or empty where the
// settings belong beside the executable only (Windows, or no home folder).
std::string UserSettingsFolder();

} // namespace tallykey::system
