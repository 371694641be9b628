#include "system/file_system.h"

#include "system/windows/windows_error.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>

namespace tallykey::system {

int ErrnoFromWindows(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_CANNOT_MAKE: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW: return ENAMETOOLONG;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    default: return EIO;
    }
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

int DescriptorOf(HANDLE handle, int flags, int& error) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) {
        error = EMFILE;
        ::CloseHandle(handle);
    }
    return fd;
}

namespace {

// Every handle shares deleting, so that a writer can rename a new file over one that
// another reader or the writers' lock holds open.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The writers' lock is one byte far beyond any file's end: locked ranges refuse reads
// and writes through other handles, and the file's own bytes must stay readable.
constexpr DWORD LockOffsetHigh = 0x7fffffff;
constexpr DWORD LockOffsetLow = 0xfffffffe;

FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info) {
    // FILETIME counts 100 ns from 1601; from 1970 its nanoseconds fit 64 bits.
    constexpr std::int64_t From1601To1970 = 116444736000000000;
    const std::int64_t ticks = static_cast<std::int64_t>((std::uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                                         info.ftLastWriteTime.dwLowDateTime);
    FileIdentity id;
    id.known = true;
    id.device = info.dwVolumeSerialNumber;
    id.index = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    id.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    id.modifiedNs = (ticks - From1601To1970) * 100;
    return id;
}

} // namespace

int OpenRegularFile(const std::string& path, int& error) {
    // Backup semantics open a folder too, so that it is told from a missing file.
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ErrnoFromWindows(::GetLastError());
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EISDIR : 0;
        ::CloseHandle(h);
        return -1;
    }
    error = 0;
    return DescriptorOf(h, _O_RDONLY, error);
}

int CreateNewFile(const std::string& path, unsigned permissions, int& error) {
    const DWORD attributes = (permissions & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    const HANDLE h =
        ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll, nullptr, CREATE_NEW, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ErrnoFromWindows(::GetLastError());
        return -1;
    }
    error = 0;
    return DescriptorOf(h, _O_RDWR, error);
}

bool CloseFile(int fd, int& error) {
    if (fd < 0)
        return true;
    if (::_close(fd) != 0) {
        error = errno;
        return false;
    }
    return true;
}

std::size_t ReadBytes(int fd, void* buffer, std::size_t count, int& error) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(HandleOf(fd), out + done, chunk, &n, nullptr)) {
            const DWORD code = ::GetLastError();
            if (code != ERROR_HANDLE_EOF && code != ERROR_BROKEN_PIPE)
                error = ErrnoFromWindows(code);
            break;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

std::size_t WriteBytes(int fd, const void* buffer, std::size_t count, int& error) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD n = 0;
        if (!::WriteFile(HandleOf(fd), in + done, chunk, &n, nullptr)) {
            error = ErrnoFromWindows(::GetLastError());
            break;
        }
        if (n == 0) {
            error = ENOSPC;
            break;
        }
        done += n;
    }
    return done;
}

bool SeekFile(int fd, std::uint64_t position, int& error) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(position);
    if (!::SetFilePointerEx(HandleOf(fd), to, nullptr, FILE_BEGIN)) {
        error = ErrnoFromWindows(::GetLastError());
        return false;
    }
    return true;
}

std::uint64_t FilePosition(int fd) {
    LARGE_INTEGER none{};
    LARGE_INTEGER at{};
    return ::SetFilePointerEx(HandleOf(fd), none, &at, FILE_CURRENT) ? static_cast<std::uint64_t>(at.QuadPart) : 0;
}

std::uint64_t FileSize(int fd) {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(HandleOf(fd), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

bool SyncFile(int fd, int& error) {
    if (!::FlushFileBuffers(HandleOf(fd))) {
        error = ErrnoFromWindows(::GetLastError());
        return false;
    }
    return true;
}

FileIdentity IdentityOf(int fd) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(HandleOf(fd), &info) ? IdentityFrom(info) : FileIdentity{};
}

FileIdentity IdentityAt(const std::string& path) {
    const HANDLE h =
        ::CreateFileA(path.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info);
    ::CloseHandle(h);
    return known ? IdentityFrom(info) : FileIdentity{};
}

int OpenLockFile(const std::string& path, int& error) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = ErrnoFromWindows(::GetLastError());
        return -1;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = EISDIR;
        return -1;
    }
    const std::string lockPath = JoinPath(ParentFolder(path), "." + FileNamePart(path) + ".tallykey-lock");
    const HANDLE h = ::CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = ErrnoFromWindows(::GetLastError());
        return -1;
    }
    error = 0;
    return DescriptorOf(h, _O_RDWR, error);
}

// The lock file stays in place when the file it guards is replaced.
bool LockGuards(int, const std::string&) { return true; }

bool TryLockFile(int fd, int& error) {
    error = 0;
    OVERLAPPED at{};
    at.Offset = LockOffsetLow;
    at.OffsetHigh = LockOffsetHigh;
    if (::LockFileEx(HandleOf(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return true;
    const DWORD code = ::GetLastError();
    if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING)
        error = ErrnoFromWindows(code);
    return false;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

std::string ExecutablePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2); // cut short: a longer path
    }
}

// The program keeps its settings beside its executable, as it always has on Windows.
std::string UserSettingsFolder() { return {}; }

} // namespace tallykey::system
