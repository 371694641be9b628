#include "database/file_guard.h"

#include "database/stream.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallykey {

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

std::string OpenErrorText(int error) { return error == 0 ? NotRegularFileText : std::strerror(error); }

void ContentHash::Add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::uint64_t h = value_;
    for (std::size_t i = 0; i < size; ++i) {
        h ^= bytes[i];
        h *= 0x100000001b3ull;
    }
    value_ = h;
}

FileFingerprint FingerprintOf(int fd, std::uint64_t hash) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {};
    FileFingerprint f;
    f.known = true;
    f.device = st.st_dev;
    f.inode = st.st_ino;
    f.size = static_cast<std::uint64_t>(st.st_size);
    f.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    f.hash = hash;
    return f;
}

FileCheck CheckFingerprint(const std::string& path, const FileFingerprint& expected, int& error) {
    error = 0;
    const int fd = OpenRegularFile(path, error);
    if (fd < 0) {
        if (error == ENOENT) {
            error = 0;
            return FileCheck::Missing;
        }
        return FileCheck::Unreadable;
    }
    FileStream file;
    file.Attach(fd); // closed with the stream
    FileFingerprint now = FingerprintOf(fd, 0);
    if (now.device != expected.device || now.inode != expected.inode || now.size != expected.size ||
        now.modifiedNs != expected.modifiedNs)
        return FileCheck::Changed;
    // Same file, size and time: only its bytes can tell a rewrite that kept the time.
    ContentHash hash;
    char buffer[64 * 1024];
    std::size_t n;
    while ((n = file.Read(buffer, sizeof buffer)) > 0)
        hash.Add(buffer, n);
    if ((error = file.LastError()) != 0)
        return FileCheck::Unreadable;
    return hash.Value() == expected.hash ? FileCheck::Same : FileCheck::Changed;
}

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
    if (fd_ >= 0)
        ::close(fd_); // closing the last descriptor of the open file drops the lock
    fd_ = -1;
}

FileLock::Status FileLock::Acquire(const std::string& path, std::chrono::milliseconds patience) {
    Release();
    error_ = 0;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        int error = 0;
        const int fd = OpenRegularFile(path, error);
        if (fd < 0) {
            if (error == ENOENT)
                return Status::NoFile;
            error_ = error;
            return Status::Failed;
        }
        // Waits by polling so that the patience is kept without signals.
        bool locked = false;
        for (;;) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                locked = true;
                break;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                error_ = errno;
                ::close(fd);
                return Status::Failed;
            }
            if (std::chrono::steady_clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!locked) {
            ::close(fd);
            return Status::Busy;
        }
        // The lock protects the file only if the path still names it.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            fd_ = fd;
            return Status::Locked;
        }
        ::close(fd);
        if (std::chrono::steady_clock::now() >= deadline)
            return Status::Busy;
    }
}

} // namespace tallykey
