// What keeps one writer of a database file from losing another's change: the file's
// fingerprint, taken when it is read or written and compared before it is replaced, and
// an advisory lock that writers hold while they replace it. Also the one way files are
// opened for reading, which refuses anything but a regular file.
#pragma once

#include "system/file_system.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace tallykey {

using system::NotRegularFileText;
using system::OpenRegularFile;

// The system's reason for an error of OpenRegularFile.
inline std::string OpenErrorText(int error) { return system::ErrorText(error); }

// Which file a path named and what it held: its identity (device, inode), its size and
// modification time, and a hash of its bytes. Equal fingerprints mean the file is the
// one seen before, with the same contents.
struct FileFingerprint {
    bool known = false; // false: never taken (nothing to compare with)
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t hash = 0;
    bool operator==(const FileFingerprint&) const = default;
};

// A 64-bit FNV-1a hash, fed piece by piece.
class ContentHash {
public:
    void Add(const void* data, std::size_t size);
    std::uint64_t Value() const { return value_; }

private:
    std::uint64_t value_ = 0xcbf29ce484222325ull;
};

// The identity part of a fingerprint from an open descriptor; the hash is the caller's.
// Not known when the system cannot tell the identity.
FileFingerprint FingerprintOf(int fd, std::uint64_t hash);

enum class FileCheck {
    Same,    // the file is the one fingerprinted
    Changed, // another file or other contents are at the path now
    Missing, // nothing is at the path
    Unreadable,
};

// Compares what `path` holds now with `expected` (reads the whole file when its identity,
// size and time agree). `error` is set for Unreadable.
FileCheck CheckFingerprint(const std::string& path, const FileFingerprint& expected, int& error);

// The exclusive writers' lock of the file at a path, held until the object goes.
// Writers of database files take it before they read the file they will replace and keep
// it until the new file has been renamed into place. On POSIX the lock sits on the file's
// inode, and the rename puts another inode at the path: so after the lock is granted the
// path is looked at again, and if it names another file by then (a writer replaced it
// while this one waited) the new file is locked instead. On Windows it sits on a lock file
// beside the file (system::OpenLockFile), which a replace leaves in place.
class FileLock {
public:
    enum class Status {
        Locked, // held
        NoFile, // nothing at the path: there is nothing to lock (a new file is made)
        Busy,   // another writer kept it longer than the patience given
        Failed, // the file cannot be opened; error() holds the reason
    };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits up to `patience` for the lock of the file `path` names.
    Status Acquire(const std::string& path, std::chrono::milliseconds patience);
    void Release();
    bool Held() const { return fd_ >= 0; }
    int Error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

// How long a writer waits for another to finish.
inline constexpr std::chrono::milliseconds WriterPatience{5000};

// The reason given when the lock is not had in time.
inline constexpr const char* FileBusyText = "the file is being changed by another program; try again later";

} // namespace tallykey
