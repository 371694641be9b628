#include "system/replace_file.h"

#include "system/file_system.h"
#include "system/replace_steps.h"

namespace tallykey::system {

ReplaceResult AtomicReplace(const std::string& path, std::string_view contents, const ReplaceOptions& options) {
    return AtomicReplace(path, options, [contents](int fd) {
        Written written;
        int error = 0;
        if (WriteBytes(fd, contents.data(), contents.size(), error) != contents.size())
            written.failure = ErrorText(error);
        ContentHash hash;
        hash.Add(contents.data(), contents.size());
        written.hash = hash.Value();
        return written;
    });
}

namespace replace_steps {

ReplaceResult Failure(std::string reason) {
    ReplaceResult result;
    result.message = std::move(reason);
    return result;
}

std::optional<ReplaceResult> TakeLock(FileLock& lock, const std::string& target, bool& noFile) {
    noFile = false;
    switch (lock.Acquire(target, WriterPatience)) {
    case FileLock::Status::Locked: break;
    case FileLock::Status::NoFile: noFile = true; break;
    case FileLock::Status::Busy: return Failure(std::string(FileBusyText));
    case FileLock::Status::Failed: return Failure(ErrorText(lock.Error()));
    }
    return std::nullopt;
}

std::optional<ReplaceResult> RefuseChanged(const std::string& target, const ReplaceOptions& options) {
    if (!options.expected || !options.expected->known)
        return std::nullopt;
    int error = 0;
    switch (CheckFingerprint(target, *options.expected, error)) {
    case FileCheck::Same:
    case FileCheck::Missing: return std::nullopt;
    case FileCheck::Changed: {
        ReplaceResult result;
        result.changed = true;
        return result;
    }
    case FileCheck::Unreadable: break;
    }
    return Failure(ErrorText(error));
}

std::string TemporaryPrefix(const std::string& target) {
    return "." + FileNamePart(target).substr(0, 200) + std::string(TemporaryInfix);
}

} // namespace replace_steps

} // namespace tallykey::system
