// Replacing a file so that the previous one survives any failure and no half-written file
// is left by an interruption, with the writers' lock held and the file checked against the
// fingerprint its writer saw.
#pragma once

#include "system/file_guard.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tallykey::system {

struct ReplaceOptions {
    // When given and known, the file at the path must still be this one; else nothing is
    // written and the result says `changed`. A file that is gone meanwhile is written again.
    const FileFingerprint* expected = nullptr;
    // A lock of the path's file that the caller took before its reading (held, or there was
    // no file to lock). Without one the replace takes the lock itself for its duration
    // (waiting up to WriterPatience).
    const FileLock* heldLock = nullptr;
    // False for a file whose writers do not take the lock (the settings): none is taken.
    bool takeLock = true;
    // Make a new file only: an existing one, also one that appears meanwhile, is left alone
    // and the replace fails with the system's "File exists".
    bool mustNotExist = false;
};

struct ReplaceResult {
    bool ok = false;
    std::string message; // the reason of a failure, empty on success
    // The file at the path is not the one expected: nothing was written, ok is false and
    // message empty.
    bool changed = false;
    FileFingerprint fingerprint; // on success: the file written
};

// What the writer of the new contents reports: the reason it failed (empty when it did
// not), and the hash of the bytes it wrote (ContentHash) for the new file's fingerprint.
struct Written {
    std::string failure;
    std::uint64_t hash = 0;
};

// Replaces the file at `path` with what `write` writes to the descriptor it is given.
// The bytes go to a temporary file in the same folder (unnamed until complete where the
// system allows it), which is flushed to the disk and renamed over the target (and on
// POSIX the folder flushed). Temporaries of this target that an interrupted replace left
// are removed first. On failure the old file is left exactly as it was. A new file is
// created with permissions 0600; a replaced file keeps its permissions, and one the user
// may not write, or that nobody may write, is not replaced ("Permission denied"). A
// symbolic link at `path` is followed, so the link stays and its target is replaced.
ReplaceResult AtomicReplace(const std::string& path, const ReplaceOptions& options,
                            const std::function<Written(int fd)>& write);

// The same with the whole contents at hand.
ReplaceResult AtomicReplace(const std::string& path, std::string_view contents, const ReplaceOptions& options = {});

// The temporary names a replace of `target` uses in its folder: "." + the target's name +
// TemporaryInfix + six characters.
inline constexpr std::string_view TemporaryInfix = ".tallykey-";

} // namespace tallykey::system
