#include "system/file_guard.h"

#include <cerrno>
#include <thread>

namespace tallykey {

namespace {

// Closes a descriptor when it goes out of scope.
class OpenFile {
public:
    explicit OpenFile(int fd) : fd_(fd) {}
    ~OpenFile() {
        int ignored = 0;
        (void)system::CloseFile(fd_, ignored);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace

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
    const system::FileIdentity id = system::IdentityOf(fd);
    if (!id.known)
        return {};
    FileFingerprint f;
    f.known = true;
    f.device = id.device;
    f.inode = id.index;
    f.size = id.size;
    f.modifiedNs = id.modifiedNs;
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
    OpenFile file(fd);
    FileFingerprint now = FingerprintOf(fd, 0);
    if (now.device != expected.device || now.inode != expected.inode || now.size != expected.size ||
        now.modifiedNs != expected.modifiedNs)
        return FileCheck::Changed;
    // Same file, size and time: only its bytes can tell a rewrite that kept the time.
    ContentHash hash;
    char buffer[64 * 1024];
    std::size_t n;
    while ((n = system::ReadBytes(fd, buffer, sizeof buffer, error)) > 0)
        hash.Add(buffer, n);
    if (error != 0)
        return FileCheck::Unreadable;
    return hash.Value() == expected.hash ? FileCheck::Same : FileCheck::Changed;
}

FileLock::~FileLock() { Release(); }

void FileLock::Release() {
    if (fd_ >= 0) {
        int ignored = 0;
        (void)system::CloseFile(fd_, ignored); // closing the descriptor drops the lock
    }
    fd_ = -1;
}

FileLock::Status FileLock::Acquire(const std::string& path, std::chrono::milliseconds patience) {
    Release();
    error_ = 0;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        int error = 0;
        const int fd = system::OpenLockFile(path, error);
        if (fd < 0) {
            if (error == ENOENT)
                return Status::NoFile;
            error_ = error;
            return Status::Failed;
        }
        // Waits by polling so that the patience is kept without signals.
        bool locked = false;
        for (;;) {
            if (system::TryLockFile(fd, error)) {
                locked = true;
                break;
            }
            if (error != 0) {
                error_ = error;
                (void)system::CloseFile(fd, error);
                return Status::Failed;
            }
            if (std::chrono::steady_clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!locked) {
            (void)system::CloseFile(fd, error);
            return Status::Busy;
        }
        // The lock protects the file only if the path still names it.
        if (system::LockGuards(fd, path)) {
            fd_ = fd;
            return Status::Locked;
        }
        (void)system::CloseFile(fd, error);
        if (std::chrono::steady_clock::now() >= deadline)
            return Status::Busy;
    }
}

} // namespace tallykey
