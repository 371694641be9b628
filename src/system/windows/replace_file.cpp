#include "system/replace_file.h"
#include "system/replace_steps.h"

#include "system/windows/windows_error.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <random>

namespace tallykey::system {

namespace {

// Removes what interrupted writes of the same target left in the folder. A writer keeps
// its temporary open without sharing its deletion until the temporary is renamed, so one
// that can be deleted belongs to nobody any more.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
    WIN32_FIND_DATAA found{};
    const HANDLE search = ::FindFirstFileA(JoinPath(folder, prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string_view name = found.cFileName;
        if (name.size() == prefix.size() + 6 && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            ::DeleteFileA(JoinPath(folder, name).c_str());
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

// A new file in the target's folder, named "." + the target's name + TemporaryInfix + six
// characters, open for writing and not to be deleted by others while it is open.
HANDLE CreateTemporary(const std::string& folder, const std::string& prefix, std::string& path, DWORD& code) {
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i)
            name += Letters[random() % (sizeof Letters - 1)];
        path = JoinPath(folder, name);
        const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        code = ::GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

ReplaceResult AtomicReplace(const std::string& path, const ReplaceOptions& options,
                            const std::function<Written(int fd)>& write) {
    const std::string& target = path;
    const auto failure = replace_steps::Failure;
    DWORD attributes = ::GetFileAttributesA(target.c_str());
    bool replacing = attributes != INVALID_FILE_ATTRIBUTES;
    if (replacing && options.mustNotExist)
        return failure(ErrorText(EEXIST));
    if (replacing && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return failure(ErrorText(EISDIR));

    FileLock ownLock;
    if (!options.heldLock && options.takeLock) {
        bool noFile = false;
        if (auto refused = replace_steps::TakeLock(ownLock, target, noFile))
            return *refused;
        if (noFile)
            replacing = false;
        attributes = ::GetFileAttributesA(target.c_str());
        replacing = replacing && attributes != INVALID_FILE_ATTRIBUTES;
    }
    // A file made read-only has been kept from changes on purpose.
    if (replacing && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return failure(ErrorText(EACCES));
    if (auto refused = replace_steps::RefuseChanged(target, options))
        return *refused;

    const std::string folder = ParentFolder(target);
    const std::string tempPrefix = replace_steps::TemporaryPrefix(target);
    RemoveStaleTemporaries(folder, tempPrefix);
    std::string tempPath;
    DWORD code = ERROR_FILE_EXISTS;
    const HANDLE h = CreateTemporary(folder, tempPrefix, tempPath, code);
    if (h == INVALID_HANDLE_VALUE)
        return failure(ErrorText(ErrnoFromWindows(code)));
    int error = 0;
    const int fd = DescriptorOf(h, _O_RDWR, error);
    if (fd < 0) {
        ::DeleteFileA(tempPath.c_str());
        return failure(ErrorText(error));
    }
    const auto fail = [&](std::string reason, bool open) {
        if (open)
            ::_close(fd);
        ::DeleteFileA(tempPath.c_str());
        return failure(std::move(reason));
    };

    const Written written = write(fd);
    if (!written.failure.empty())
        return fail(written.failure, true);
    if (!::FlushFileBuffers(h))
        return fail(ErrorText(ErrnoFromWindows(::GetLastError())), true);
    const FileFingerprint fingerprint = FingerprintOf(fd, written.hash);
    // Closed before the rename: the temporary is not shared for deleting, which a rename
    // of an open file would need.
    if (::_close(fd) != 0)
        return fail(ErrorText(errno), false);
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (options.mustNotExist ? 0 : MOVEFILE_REPLACE_EXISTING);
    // A reader that has the target open keeps it from being replaced: it is given a moment.
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExA(tempPath.c_str(), target.c_str(), flags))
            break;
        const DWORD why = ::GetLastError();
        if ((why != ERROR_ACCESS_DENIED && why != ERROR_SHARING_VIOLATION) || attempt == 50)
            return fail(ErrorText(ErrnoFromWindows(why)), false);
        ::Sleep(20);
    }
    ReplaceResult result;
    result.ok = true;
    result.fingerprint = fingerprint;
    return result;
}

} // namespace tallykey::system
