#include "database/database_file.h"

#include "database/decimal_text.h"
#include "database/file_encryption.h"
#include "database/file_guard.h"
#include "database/secure_wipe.h"
#include "database/stream.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include <random>

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallykey {

namespace {

constexpr std::size_t GroupMinFields = 4; // title, icon, branch state, item count
constexpr std::size_t ItemFields = 6;

struct Decimal {
    char text[16];
    std::size_t size;
    explicit Decimal(std::int32_t value) {
        size = static_cast<std::size_t>(std::to_chars(text, text + sizeof text, value).ptr - text);
    }
    std::string_view view() const { return {text, size}; }
};

bool IsBranchOpen(const BranchOpen& branchOpen, const TGroup& group) {
    return branchOpen ? branchOpen(group) : group.Expanded;
}

// Walks a plaintext field by field. Knows how many fields remain so that counts can be
// checked against the input in constant time.
class FieldReader {
public:
    explicit FieldReader(std::string_view text) : text_(text) {
        fieldsLeft_ = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\0'));
        if (!text.empty() && text.back() != '\0')
            ++fieldsLeft_; // an unterminated last field ends at the end of the text
    }

    std::string_view Next() {
        if (pos_ >= text_.size())
            return {};
        const std::size_t end = text_.find('\0', pos_);
        std::string_view field;
        if (end == std::string_view::npos) {
            field = text_.substr(pos_);
            pos_ = text_.size();
        } else {
            field = text_.substr(pos_, end - pos_);
            pos_ = end + 1;
        }
        --fieldsLeft_;
        return field;
    }

    std::int32_t NextNumber() { return ReadDecimal(Next()); }

    void Skip(std::size_t fields) {
        for (std::size_t i = 0; i < fields && pos_ < text_.size(); ++i)
            Next();
    }

    // A count as read, limited to the records of which at least one field is present.
    std::size_t NextCount(std::size_t fieldsPerRecord) {
        const std::int32_t n = NextNumber();
        if (n <= 0)
            return 0;
        const std::size_t possible = (fieldsLeft_ + fieldsPerRecord - 1) / fieldsPerRecord;
        return std::min(static_cast<std::size_t>(n), possible);
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t fieldsLeft_ = 0;
};

void WipeModel(TDatabase& db) {
    for (auto& group : db.Groups)
        SecureWipe(group.Title);
    for (auto& items : db.Items) {
        for (auto& item : items) {
            SecureWipe(item.Title);
            SecureWipe(item.Login);
            SecureWipe(item.Password);
            SecureWipe(item.WebLink);
            SecureWipe(item.Comment);
        }
    }
}

std::string SystemReason(int error) {
    return std::strerror(error);
}

// Passes reads and writes through and hashes the bytes they move, so that a file is
// fingerprinted by the one pass that reads or writes it.
class HashingStream final : public Stream {
public:
    explicit HashingStream(Stream& inner) : inner_(inner) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = inner_.Read(buffer, count);
        hash_.Add(buffer, n);
        return n;
    }
    std::size_t Write(const void* buffer, std::size_t count) override {
        const std::size_t n = inner_.Write(buffer, count);
        hash_.Add(buffer, n);
        return n;
    }
    void Seek(std::uint64_t position) override { inner_.Seek(position); }
    std::uint64_t Position() const override { return inner_.Position(); }
    std::uint64_t Size() const override { return inner_.Size(); }
    std::uint64_t Hash() const { return hash_.Value(); }

private:
    Stream& inner_;
    ContentHash hash_;
};

std::string TooMany(std::size_t count, const char* what, std::size_t most) {
    return std::to_string(count) + " " + what + ", more than the " + std::to_string(most) +
           " a database may hold";
}

// One walk over the fields. The first walk (visitor null) only counts, so that a text
// beyond the limits is refused before anything has been handed on.
ReadResult WalkPlaintext(std::string_view plaintext, PlaintextVisitor* visitor) {
    FieldReader reader(plaintext);
    if (reader.Next() != DatabaseMarker)
        return {ReadStatus::WrongPassword, {}};
    const std::size_t groups = reader.NextCount(GroupMinFields);
    if (groups > MaxGroups)
        return {ReadStatus::DecryptionError, TooMany(groups, "groups", MaxGroups)};
    std::size_t itemsSoFar = 0;
    TGroup group;
    TItem item;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::string_view title = reader.Next();
        if (visitor)
            group.Title = title; // the counting walk keeps no text
        group.Icon = reader.NextNumber();
        group.Expanded = reader.Next() == "1";
        const std::size_t items = reader.NextCount(ItemFields);
        itemsSoFar += items;
        if (itemsSoFar > MaxItems)
            return {ReadStatus::DecryptionError, TooMany(itemsSoFar, "items", MaxItems)};
        if (visitor) {
            if (g == 0)
                visitor->Begin(groups);
            visitor->Group(group, items);
        }
        for (std::size_t k = 0; k < items; ++k) {
            if (!visitor) {
                reader.Skip(ItemFields);
                continue;
            }
            item.Title = reader.Next();
            item.Icon = reader.NextNumber();
            item.Login = reader.Next();
            item.Password = reader.Next();
            item.WebLink = reader.Next();
            item.Comment = reader.Next();
            visitor->Item(item);
        }
    }
    SecureWipe(group.Title);
    SecureWipe(item.Title);
    SecureWipe(item.Login);
    SecureWipe(item.Password);
    SecureWipe(item.WebLink);
    SecureWipe(item.Comment);
    return {ReadStatus::Success, {}};
}

// Builds the model record by record, each list in one allocation of its final size.
class ModelBuilder final : public PlaintextVisitor {
public:
    void Begin(std::size_t groups) override {
        db.Groups.reserve(groups);
        db.Items.reserve(groups);
    }
    void Group(const TGroup& group, std::size_t items) override {
        db.Groups.push_back(group);
        db.Items.emplace_back().reserve(items);
    }
    void Item(const TItem& item) override { db.Items.back().push_back(item); }
    TDatabase db;
};

// Reads the length field and the encrypted blocks from `file` and parses the plaintext.
// `systemError` tells whether a short read was the system's failure rather than the end
// of the data.
template <typename ErrorOf>
ReadResult ReadFromStream(PlaintextVisitor& visitor, std::string_view password, Stream& file,
                          ErrorOf systemError) {
    std::uint8_t header[4] = {};
    if (file.Read(header, sizeof header) < sizeof header) {
        if (const int error = systemError())
            return {ReadStatus::ReadError, SystemReason(error)};
        return {ReadStatus::WrongPassword, {}}; // nothing to decrypt, so no marker
    }
    const std::uint32_t length = std::uint32_t(header[0]) | (std::uint32_t(header[1]) << 8) |
                                 (std::uint32_t(header[2]) << 16) |
                                 (std::uint32_t(header[3]) << 24);

    MemoryStream plain;
    const std::uint64_t size = file.Size();
    const std::uint64_t position = file.Position();
    const std::uint64_t encrypted = size > position ? size - position : 0;
    // Refused before anything is read: no memory is spent on a file that cannot be a database.
    if (encrypted > (MaxPlaintextSize + AesBlockSize - 1) / AesBlockSize * AesBlockSize)
        return {ReadStatus::DecryptionError,
                "a plaintext of " + std::to_string(encrypted) + " bytes, more than the " +
                    std::to_string(MaxPlaintextSize) + " a database may hold"};
    plain.Reserve(static_cast<std::size_t>(encrypted));
    try {
        const AesKey key = DatabaseKey(password);
        DecryptStream(file, size, key, plain);
    } catch (const StreamError& e) {
        if (const int error = systemError())
            return {ReadStatus::ReadError, SystemReason(error)};
        if (std::strcmp(e.what(), InvalidBufferSizeText) == 0)
            return {ReadStatus::DecryptionError, e.what()};
        return {ReadStatus::ReadError, e.what()};
    }

    // The plaintext ends at its stated length, or earlier where the decrypted bytes end:
    // then the file is damaged (cut short, or its length field is impossible), and what is
    // there is still read.
    std::string_view text = plain.Bytes();
    text = text.substr(0, std::min<std::size_t>(text.size(), length));
    ReadResult result = ReadPlaintext(text, visitor);
    if (result.ok()) {
        const std::uint64_t promised =
            (std::uint64_t(length) + AesBlockSize - 1) / AesBlockSize * AesBlockSize;
        const std::uint64_t present = size > position ? size - position : 0;
        result.missingBytes = promised > present ? promised - present : 0;
    }
    return result;
}

// Builds the model from a read and replaces `db` only when the read succeeded.
template <typename Read>
ReadResult ReadIntoModel(TDatabase& db, Read read) {
    ModelBuilder builder;
    ReadResult result = read(builder);
    if (result.ok())
        std::swap(db, builder.db);
    WipeModel(builder.db);
    return result;
}

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string FileNamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

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
        const std::string path = folder + "/" + std::string(name);
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
    ~TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates it with permissions 0600. The descriptor is handed to the caller, who closes it.
    bool Create() {
        fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error_ = errno;
            return false;
        }
        if (fd_ < 0) {
            path_ = folder_ + "/" + prefix_ + "XXXXXX";
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
            path_ = folder_ + "/" + name;
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
    // Removes the name a failed write leaves; an unnamed file goes with its descriptor.
    void Discard() {
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

std::string BuildPlaintext(const TDatabase& db, const BranchOpen& branchOpen) {
    const std::size_t groups = std::min(db.Groups.size(), db.Items.size());
    // First pass: the exact size, so that the buffer never moves while it grows.
    std::size_t size = DatabaseMarker.size() + 1 + Decimal(static_cast<std::int32_t>(groups)).size + 1;
    for (std::size_t g = 0; g < groups; ++g) {
        const TGroup& group = db.Groups[g];
        const auto& items = db.Items[g];
        size += group.Title.size() + 1 + Decimal(group.Icon).size + 1 + 2 +
                Decimal(static_cast<std::int32_t>(items.size())).size + 1;
        for (const TItem& item : items) {
            size += item.Title.size() + Decimal(item.Icon).size + item.Login.size() +
                    item.Password.size() + item.WebLink.size() + item.Comment.size() + ItemFields;
        }
    }

    std::string out;
    out.reserve(size);
    const auto field = [&out](std::string_view text) {
        out.append(text);
        out.push_back('\0');
    };
    field(DatabaseMarker);
    field(Decimal(static_cast<std::int32_t>(groups)).view());
    for (std::size_t g = 0; g < groups; ++g) {
        const TGroup& group = db.Groups[g];
        const auto& items = db.Items[g];
        field(group.Title);
        field(Decimal(group.Icon).view());
        field(IsBranchOpen(branchOpen, group) ? "1" : "0");
        field(Decimal(static_cast<std::int32_t>(items.size())).view());
        for (const TItem& item : items) {
            // In the file the icon follows the title.
            field(item.Title);
            field(Decimal(item.Icon).view());
            field(item.Login);
            field(item.Password);
            field(item.WebLink);
            field(item.Comment);
        }
    }
    return out;
}

ReadResult ReadPlaintext(std::string_view plaintext, PlaintextVisitor& visitor) {
    ReadResult counted = WalkPlaintext(plaintext, nullptr);
    if (!counted.ok())
        return counted;
    return WalkPlaintext(plaintext, &visitor);
}

bool ParsePlaintext(std::string_view plaintext, TDatabase& out) {
    ModelBuilder builder;
    if (!ReadPlaintext(plaintext, builder).ok()) {
        WipeModel(builder.db);
        return false;
    }
    std::swap(out, builder.db);
    WipeModel(builder.db);
    return true;
}

ReadResult ReadDatabase(PlaintextVisitor& visitor, std::string_view password, const std::string& path) {
    int error = 0;
    const int fd = OpenRegularFile(path, error);
    if (fd < 0)
        return {ReadStatus::ReadError, OpenErrorText(error)};
    FileStream file;
    file.Attach(fd);
    HashingStream hashing(file);
    ReadResult result = ReadFromStream(visitor, password, hashing, [&file] { return file.LastError(); });
    if (result.ok())
        result.fingerprint = FingerprintOf(fd, hashing.Hash());
    return result;
}

ReadResult ReadDatabase(TDatabase& db, std::string_view password, const std::string& path) {
    return ReadIntoModel(db, [&](PlaintextVisitor& builder) { return ReadDatabase(builder, password, path); });
}

ReadResult ReadDatabaseBytes(TDatabase& db, std::string_view password, std::string_view fileBytes) {
    MemoryStream file{std::string(fileBytes)};
    return ReadIntoModel(db, [&](PlaintextVisitor& builder) {
        return ReadFromStream(builder, password, file, [] { return 0; });
    });
}

std::string EncryptDatabase(const TDatabase& db, std::string_view password,
                            const BranchOpen& branchOpen) {
    MemoryStream plain(BuildPlaintext(db, branchOpen));
    const std::uint64_t length = plain.Size();
    MemoryStream file;
    file.Reserve(4 + (length + 15) / 16 * 16);
    const std::uint8_t header[4] = {
        static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
        static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
    file.Write(header, sizeof header);
    const AesKey key = DatabaseKey(password);
    EncryptStream(plain, 0, key, file);
    return file.Take();
}

WriteResult WriteDatabase(const TDatabase& db, std::string_view password, const std::string& path,
                          const WriteOptions& options) {
    std::string target = path;
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    struct stat old {};
    bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && options.mustNotExist)
        return {false, SystemReason(EEXIST)};
    if (replacing && !S_ISREG(old.st_mode))
        return {false, S_ISDIR(old.st_mode) ? SystemReason(EISDIR) : std::string(NotRegularFileText)};

    FileLock ownLock;
    if (!options.heldLock) {
        switch (ownLock.Acquire(target, WriterPatience)) {
        case FileLock::Status::Locked: break;
        case FileLock::Status::NoFile: replacing = false; break;
        case FileLock::Status::Busy: return {false, FileBusyText};
        case FileLock::Status::Failed: return {false, OpenErrorText(ownLock.Error())};
        }
        if (replacing && ::stat(target.c_str(), &old) != 0)
            replacing = false;
    }
    // Replacing a file takes only the folder's permission; the file's own is kept to, as
    // a direct write would. A file that nobody may write has been made read-only on
    // purpose: it is kept also from the administrator, whom permissions do not stop.
    if (replacing) {
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return {false, SystemReason(errno)};
        if ((old.st_mode & 0222) == 0)
            return {false, SystemReason(EACCES)};
    }
    if (options.expected && options.expected->known) {
        int error = 0;
        switch (CheckFingerprint(target, *options.expected, error)) {
        case FileCheck::Same:
        case FileCheck::Missing: break;
        case FileCheck::Changed: {
            WriteResult result;
            result.changed = true;
            return result;
        }
        case FileCheck::Unreadable: return {false, OpenErrorText(error)};
        }
    }

    const std::string folder = ParentFolder(target);
    const std::string tempPrefix = "." + FileNamePart(target).substr(0, 200) + std::string(TemporaryInfix);
    RemoveStaleTemporaries(folder, tempPrefix);
    TemporaryFile temp(folder, tempPrefix);
    if (!temp.Create())
        return {false, SystemReason(temp.Error())};
    FileStream file;
    file.Attach(temp.Descriptor());

    const auto fail = [&](std::string reason) {
        file.Close();
        temp.Discard();
        return WriteResult{false, std::move(reason)};
    };

    if (replacing) {
        if (::fchmod(temp.Descriptor(), old.st_mode & 07777) != 0)
            return fail(SystemReason(errno));
        // Keeps the owner where the system allows it (for example when run as root).
        (void)!::fchown(temp.Descriptor(), old.st_uid, old.st_gid);
    }

    HashingStream hashing(file);
    try {
        MemoryStream plain(BuildPlaintext(db, options.branchOpen));
        const std::uint64_t length = plain.Size();
        const std::uint8_t header[4] = {
            static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
        if (hashing.Write(header, sizeof header) != sizeof header)
            throw StreamError(StreamWriteErrorText);
        const AesKey key = DatabaseKey(password);
        EncryptStream(plain, 0, key, hashing);
    } catch (const StreamError& e) {
        return fail(file.LastError() != 0 ? SystemReason(file.LastError()) : e.what());
    } catch (const std::bad_alloc&) {
        return fail(SystemReason(ENOMEM));
    }
    if (!file.Sync())
        return fail(SystemReason(file.LastError()));
    const FileFingerprint written = FingerprintOf(temp.Descriptor(), hashing.Hash());
    // Named only now that it is complete; the name is taken away again by the rename.
    if (!temp.Name())
        return fail(SystemReason(temp.Error()));
    const unsigned renameFlags = options.mustNotExist ? RENAME_NOREPLACE : 0;
    if (::renameat2(AT_FDCWD, temp.Path().c_str(), AT_FDCWD, target.c_str(), renameFlags) != 0)
        return fail(SystemReason(errno));
    temp.Placed();
    // Closing after the rename keeps the temporary's lock until its name is gone.
    if (!file.Close())
        return {false, SystemReason(file.LastError())};
    SyncFolder(folder);
    WriteResult result{true, {}};
    result.fingerprint = written;
    return result;
}

} // namespace tallykey
