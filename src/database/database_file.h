// The database file: a 4-byte little-endian plaintext length, then the plaintext
// encrypted with AES-128 ECB under DatabaseKey(password), the last block zero filled.
// The plaintext is a list of zero-terminated fields: "Authorization", the group count,
// and per group its title, icon, branch state ("1" open), item count and per item its
// title, icon, login, password, web link and comment. Numbers are decimal text.
#pragma once

#include "database/model.h"
#include "system/file_guard.h"
#include "system/replace_file.h"

#include <cstdint>

#include <functional>
#include <string>
#include <string_view>

namespace tallykey {

inline constexpr std::string_view DatabaseMarker = "Authorization";

// Whether a group's branch is open in the tree at the moment of writing. When none is
// given (as in the command-line tools, which have no tree), the group's Expanded flag
// stands in for it.
using BranchOpen = std::function<bool(const TGroup&)>;

// The plaintext of a database, built in one exactly sized allocation so that no stray
// copy of it is left in freed memory. The caller clears it after use (SecureWipe).
std::string BuildPlaintext(const TDatabase& db, const BranchOpen& branchOpen = {});

// Beyond these a file is not a database that a person keeps but damage or an attack: the
// reader refuses it rather than build a model out of all proportion to the file's size
// (an empty item takes 6 bytes of plaintext and far more in memory).
inline constexpr std::size_t MaxGroups = 1'000'000;
inline constexpr std::size_t MaxItems = 1'000'000; // all groups together
inline constexpr std::uint64_t MaxPlaintextSize = std::uint64_t(256) << 20;

// Takes the records of a plaintext as they are read, so that a reader that only looks at
// them (tkf's show, export and check) never holds the whole model. Group is called with
// the number of items that follow it; exactly that many Item calls come before the next
// Group. The records passed are reused from call to call.
class PlaintextVisitor {
public:
    virtual ~PlaintextVisitor() = default;
    virtual void Begin(std::size_t groups) { (void)groups; } // before the first Group
    virtual void Group(const TGroup& group, std::size_t items) = 0;
    virtual void Item(const TItem& item) = 0;
};

enum class ReadStatus {
    Success,         // the model has been replaced (the caller rebuilds the tree)
    WrongPassword,   // the first field is not the marker; also a file of 4 bytes or fewer
    DecryptionError, // the file is damaged beyond reading and nothing was read; message
                     // says how: "Invalid buffer size for decryption", or a plaintext or
                     // record count larger than a database may have (see MaxGroups)
    ReadError,       // the file cannot be opened or read; message: the system's reason,
                     // e.g. "No such file or directory" for a file that does not exist, or
                     // NotRegularFileText for a FIFO or a device (refused without waiting)
};

struct ReadResult {
    ReadResult() = default;
    ReadResult(ReadStatus status, std::string message) : status(status), message(std::move(message)) {}
    ReadStatus status = ReadStatus::ReadError;
    std::string message;
    // On success: how many bytes the file lacks of what its length field promises (0 for
    // a whole file). A damaged file still reads; what it holds is in the model.
    std::uint64_t missingBytes = 0;
    // On success from a file: the file that was read (ReadDatabase only).
    FileFingerprint fingerprint;
    bool ok() const { return status == ReadStatus::Success; }
    bool damaged() const { return ok() && missingBytes > 0; }
};

// Reads a plaintext record by record into `visitor`. Nothing is visited unless the result
// is Success: WrongPassword when the first field is not the marker, DecryptionError when
// the text would make more than MaxGroups groups or MaxItems items. Past the marker
// nothing else fails: a field ends at its zero byte or at the end of the text, fields
// beyond the end read as empty (numbers as 0), a negative count reads as 0, and a count
// larger than the remaining fields can hold (a group takes at least 4 fields, an item 6)
// is cut to the records of which at least one field is present.
ReadResult ReadPlaintext(std::string_view plaintext, PlaintextVisitor& visitor);

// The same into a model: `out` is replaced on success and untouched otherwise.
bool ParsePlaintext(std::string_view plaintext, TDatabase& out);

// Reads and decrypts the file at `path`. The model is replaced only on success and is
// not touched otherwise. The tree is not rebuilt here: the model has no tree, so the
// caller runs RebuildTree.
ReadResult ReadDatabase(TDatabase& db, std::string_view password, const std::string& path);
// The same record by record; on failure nothing has been visited.
ReadResult ReadDatabase(PlaintextVisitor& visitor, std::string_view password, const std::string& path);

// The same for a whole file already in memory (fuzzing, tests, tools).
ReadResult ReadDatabaseBytes(TDatabase& db, std::string_view password, std::string_view fileBytes);

struct WriteResult {
    WriteResult() = default;
    WriteResult(bool ok, std::string message) : ok(ok), message(std::move(message)) {}
    bool ok = false;
    std::string message; // the reason of a failure, empty on success
    // The file at the path is not the one expected (WriteOptions::expected): nothing was
    // written, ok is false and message empty. The caller decides whether to overwrite.
    bool changed = false;
    FileFingerprint fingerprint; // on success: the file written
};

struct WriteOptions {
    BranchOpen branchOpen;
    // When given and known, the file at the path must still be this one (as read or last
    // written); else nothing is written and the result says `changed`. A file that is gone
    // meanwhile is simply written again.
    const FileFingerprint* expected = nullptr;
    // A lock of the path's file that the caller took before its reading (held, or there was
    // no file to lock). Without one the write takes the lock itself for its duration
    // (waiting up to WriterPatience).
    const FileLock* heldLock = nullptr;
    // Make a new file only: an existing one, also one that appears meanwhile, is left alone
    // and the write fails with the system's "File exists".
    bool mustNotExist = false;
};

// The complete file contents for a database.
std::string EncryptDatabase(const TDatabase& db, std::string_view password,
                            const BranchOpen& branchOpen = {});

// Writes the file at `path` so that the previous file survives any failure and no
// half-written file is left by an interruption: the bytes go to an unnamed file in the
// same folder (a named temporary where the file system has no unnamed ones), which is
// flushed to the disk, given a temporary name and renamed over the target (and the folder
// flushed). Temporaries of this target that an interrupted write left are removed first.
// On failure the old file is left exactly as it was. A new file is created with
// permissions 0600; a replaced file keeps its permissions, and one the user may not write,
// or that nobody may write, is not replaced (the system's "Permission denied"). A
// symbolic link at `path` is followed, so the link stays and its target is replaced.
WriteResult WriteDatabase(const TDatabase& db, std::string_view password, const std::string& path,
                          const WriteOptions& options);
inline WriteResult WriteDatabase(const TDatabase& db, std::string_view password, const std::string& path,
                                 const BranchOpen& branchOpen = {}) {
    return WriteDatabase(db, password, path, WriteOptions{branchOpen});
}

// The temporary names a write of `target` uses in its folder.
using system::TemporaryInfix;

} // namespace tallykey
