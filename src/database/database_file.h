// The database file: a 4-byte little-endian plaintext length, then the plaintext
// encrypted with AES-128 ECB under DatabaseKey(password), the last block zero filled.
// The plaintext is a list of zero-terminated fields: "Authorization", the group count,
// and per group its title, icon, branch state ("1" open), item count and per item its
// title, icon, login, password, web link and comment. Numbers are decimal text.
#pragma once

#include "database/model.h"

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

// Reads a plaintext into `out`. Returns false, leaving `out` untouched, when the first
// field is not the marker. Past the marker nothing fails: a field ends at its zero byte or
// at the end of the text, fields beyond the end read as empty (numbers as 0), a negative
// count reads as 0, and a count larger than the remaining fields can hold (a group takes
// at least 4 fields, an item 6) is cut to the records of which at least one field is
// present, so that damaged input cannot demand unbounded memory.
bool ParsePlaintext(std::string_view plaintext, TDatabase& out);

enum class ReadStatus {
    Success,         // the model has been replaced (the caller rebuilds the tree)
    WrongPassword,   // the first field is not the marker; also a file of 4 bytes or fewer
    DecryptionError, // message: "Invalid buffer size for decryption"
    ReadError,       // the file cannot be opened or read; message: the system's reason,
                     // e.g. "No such file or directory" for a file that does not exist
};

struct ReadResult {
    ReadStatus status = ReadStatus::ReadError;
    std::string message;
    bool ok() const { return status == ReadStatus::Success; }
};

// Reads and decrypts the file at `path`. The model is replaced only on success and is
// not touched otherwise. The tree is not rebuilt here: the model has no tree, so the
// caller runs RebuildTree.
ReadResult ReadDatabase(TDatabase& db, std::string_view password, const std::string& path);

// The same for a whole file already in memory (fuzzing, tests, tools).
ReadResult ReadDatabaseBytes(TDatabase& db, std::string_view password, std::string_view fileBytes);

struct WriteResult {
    bool ok = false;
    std::string message; // the reason of a failure, empty on success
};

// The complete file contents for a database.
std::string EncryptDatabase(const TDatabase& db, std::string_view password,
                            const BranchOpen& branchOpen = {});

// Writes the file at `path` so that the previous file survives any failure: the bytes go
// to a temporary file in the same folder, which is flushed to the disk and then renamed
// over the target (and the folder flushed). On failure the temporary file is removed and
// the old file is left exactly as it was. A new file is created with permissions 0600; a
// replaced file keeps its permissions. A symbolic link at `path` is followed, so the
// link stays and its target is replaced.
WriteResult WriteDatabase(const TDatabase& db, std::string_view password, const std::string& path,
                          const BranchOpen& branchOpen = {});

} // namespace tallykey
