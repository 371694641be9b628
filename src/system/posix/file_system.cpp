#include "system/file_system.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallykey::system {

int OpenRegularFile(const std::string& path, int& error) {
    // O_NONBLOCK: opening a FIFO that has no writer would otherwise wait for one.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : 0;
        ::close(fd);
        return -1;
    }
    // Reads of a regular file never wait anyway; clearing the flag keeps it so elsewhere.
    (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    error = 0;
    return fd;
}

int CreateNewFile(const std::string& path, unsigned permissions, int& error) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(permissions));
    } while (fd < 0 && errno == EINTR);
    error = fd < 0 ? errno : 0;
    return fd;
}

bool CloseFile(int fd, int& error) {
    if (fd < 0)
        return true;
    if (::close(fd) != 0 && errno != EINTR) {
        error = errno;
        return false;
    }
    return true;
}

std::size_t ReadBytes(int fd, void* buffer, std::size_t count, int& error) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t WriteBytes(int fd, const void* buffer, std::size_t count, int& error) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        if (n == 0) {
            error = ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool SeekFile(int fd, std::uint64_t position, int& error) {
    if (::lseek(fd, static_cast<off_t>(position), SEEK_SET) < 0) {
        error = errno;
        return false;
    }
    return true;
}

std::uint64_t FilePosition(int fd) {
    const off_t pos = ::lseek(fd, 0, SEEK_CUR);
    return pos < 0 ? 0 : static_cast<std::uint64_t>(pos);
}

std::uint64_t FileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool SyncFile(int fd, int& error) {
    if (::fsync(fd) != 0) {
        error = errno;
        return false;
    }
    return true;
}

namespace {

FileIdentity IdentityFrom(const struct stat& st) {
    FileIdentity id;
    id.known = true;
    id.device = st.st_dev;
    id.index = st.st_ino;
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

} // namespace

FileIdentity IdentityOf(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? IdentityFrom(st) : FileIdentity{};
}

FileIdentity IdentityAt(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? IdentityFrom(st) : FileIdentity{};
}

int OpenLockFile(const std::string& path, int& error) { return OpenRegularFile(path, error); }

bool LockGuards(int fd, const std::string& path) {
    const FileIdentity held = IdentityOf(fd);
    const FileIdentity named = IdentityAt(path);
    return held.known && named.known && held.device == named.device && held.index == named.index;
}

bool TryLockFile(int fd, int& error) {
    error = 0;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return false;
        if (errno != EINTR) {
            error = errno;
            return false;
        }
    }
    return true;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::string ExecutablePath() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string UserSettingsFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') // XDG base directories ignore relative paths
        return JoinPath(config, "tallykey");
    const char* home = std::getenv("HOME");
    if (home && *home)
        return JoinPath(JoinPath(home, ".config"), "tallykey");
    return {};
}

} // namespace tallykey::system
