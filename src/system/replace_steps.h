// The steps of AtomicReplace that do not depend on the platform, for the
// platform implementations only.
#pragma once

#include <optional>
#include <string>

#include "system/file_guard.h"
#include "system/replace_file.h"

namespace tallykey::system::replace_steps {

// A result that reports `reason` and changes nothing.
ReplaceResult Failure(std::string reason);

// Takes the writers' lock of `target` (waiting up to WriterPatience). Empty when the
// replace may go on, with `noFile` set when there was no file to lock; otherwise the
// result to return.
std::optional<ReplaceResult> TakeLock(FileLock& lock, const std::string& target, bool& noFile);

// Empty when `options` expect no fingerprint, or the file still has it, or it is gone;
// otherwise the result to return (`changed`, or why the file could not be read).
std::optional<ReplaceResult> RefuseChanged(const std::string& target, const ReplaceOptions& options);

// What the names of `target`'s temporaries in its folder begin with.
std::string TemporaryPrefix(const std::string& target);

} // namespace tallykey::system::replace_steps
