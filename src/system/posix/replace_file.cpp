#include "system/replace_file.h"
#include "system/replace_steps.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallykey::system {

namespace {

void SyncFolder(const std::string& folder) {
    // Makes the rename itself durable. A failure here cannot be undone any more: the new
    // file is in place, so it is not reported.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

// Removes what interrupted writes of the same target left in the folder. A writer holds
// the lock of its temporary for as long as the temporary has a name, so one that can be
// locked belongs to nobody any more.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const uid_t self = ::geteuid();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix)
            continue;
        const std::string path = JoinPath(folder, name);
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == self && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

// The file a write goes to before it replaces the target: unnamed (O_TMPFILE) until it is
// complete where the file system allows it, else named from the start. Locked while it
// lives, so that RemoveStaleTemporaries leaves it alone.
class TemporaryFile {
public:
    TemporaryFile(std::string folder, std::string prefix) : folder_(std::move(folder)), prefix_(std::move(prefix)) {}
    ~TemporaryFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates it with permissions 0600.
    bool Create() {
        fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error_ = errno;
            return false;
        }
        if (fd_ < 0) {
            path_ = JoinPath(folder_, prefix_ + "XXXXXX");
            fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
            if (fd_ < 0) {
                error_ = errno;
                return false;
            }
            named_ = true;
        }
        (void)::flock(fd_, LOCK_EX | LOCK_NB);
        return true;
    }
    int Descriptor() const { return fd_; }
    int Error() const { return error_; }
    const std::string& Path() const { return path_; }

    // Gives an unnamed file its temporary name, in the target's folder.
    bool Name() {
        if (named_)
            return true;
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = prefix_;
            for (int i = 0; i < 6; ++i)
                name += Letters[random() % (sizeof Letters - 1)];
            path_ = JoinPath(folder_, name);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                named_ = true;
                return true;
            }
            if (errno != EEXIST) {
                error_ = errno;
                return false;
            }
        }
        error_ = EEXIST;
        return false;
    }
    // The rename has taken the name away.
    void Placed() { named_ = false; }
    // Closes the file; closing after the rename keeps its lock until its name is gone.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            error_ = errno;
            return false;
        }
        return true;
    }
    // Removes the name a failed write leaves; an unnamed file goes with its descriptor.
    void Discard() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        if (named_)
            ::unlink(path_.c_str());
        named_ = false;
    }

private:
    std::string folder_;
    std::string prefix_;
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
    bool named_ = false;
};

} // namespace

ReplaceResult AtomicReplace(const std::string& path, const ReplaceOptions& options,
                            const std::function<Written(int fd)>& write) {
    std::string target = path;
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const auto failure = replace_steps::Failure;
    struct stat old {};
    bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && options.mustNotExist)
        return failure(ErrorText(EEXIST));
    if (replacing && !S_ISREG(old.st_mode))
        return failure(S_ISDIR(old.st_mode) ? ErrorText(EISDIR) : std::string(NotRegularFileText));

    FileLock ownLock;
    if (!options.heldLock && options.takeLock) {
        bool noFile = false;
        if (auto refused = replace_steps::TakeLock(ownLock, target, noFile))
            return *refused;
        if (noFile)
            replacing = false;
        if (replacing && ::stat(target.c_str(), &old) != 0)
            replacing = false;
    }
    // Replacing a file takes only the folder's permission; the file's own is kept to, as
    // a direct write would. A file that nobody may write has been made read-only on
    // purpose: it is kept also from the administrator, whom permissions do not stop.
    if (replacing) {
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return failure(ErrorText(errno));
        if ((old.st_mode & 0222) == 0)
            return failure(ErrorText(EACCES));
    }
    if (auto refused = replace_steps::RefuseChanged(target, options))
        return *refused;

    const std::string folder = ParentFolder(target);
    const std::string tempPrefix = replace_steps::TemporaryPrefix(target);
    RemoveStaleTemporaries(folder, tempPrefix);
    TemporaryFile temp(folder, tempPrefix);
    if (!temp.Create())
        return failure(ErrorText(temp.Error()));

    const auto fail = [&](std::string reason) {
        temp.Discard();
        return failure(std::move(reason));
    };

    if (replacing) {
        if (::fchmod(temp.Descriptor(), old.st_mode & 07777) != 0)
            return fail(ErrorText(errno));
        // Keeps the owner where the system allows it (for example when run as root).
        (void)!::fchown(temp.Descriptor(), old.st_uid, old.st_gid);
    }

    const Written written = write(temp.Descriptor());
    if (!written.failure.empty())
        return fail(written.failure);
    if (::fsync(temp.Descriptor()) != 0)
        return fail(ErrorText(errno));
    const FileFingerprint fingerprint = FingerprintOf(temp.Descriptor(), written.hash);
    // Named only now that it is complete; the name is taken away again by the rename.
    if (!temp.Name())
        return fail(ErrorText(temp.Error()));
    const unsigned renameFlags = options.mustNotExist ? RENAME_NOREPLACE : 0;
    if (::renameat2(AT_FDCWD, temp.Path().c_str(), AT_FDCWD, target.c_str(), renameFlags) != 0)
        return fail(ErrorText(errno));
    temp.Placed();
    if (!temp.Close())
        return failure(ErrorText(temp.Error()));
    SyncFolder(folder);
    ReplaceResult result;
    result.ok = true;
    result.fingerprint = fingerprint;
    return result;
}

} // namespace tallykey::system
