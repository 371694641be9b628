#include "database/database_file.h"

#include "database/decimal_text.h"
#include "database/file_encryption.h"
#include "database/secure_wipe.h"
#include "database/stream.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
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

// Reads the length field and the encrypted blocks from `file` and parses the plaintext.
// `systemError` tells whether a short read was the system's failure rather than the end
// of the data.
template <typename ErrorOf>
ReadResult ReadFromStream(TDatabase& db, std::string_view password, Stream& file,
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
    if (size > position)
        plain.Reserve(static_cast<std::size_t>(size - position));
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

    // The plaintext ends at its stated length, or earlier where the decrypted bytes end.
    std::string_view text = plain.Bytes();
    text = text.substr(0, std::min<std::size_t>(text.size(), length));
    TDatabase parsed;
    if (!ParsePlaintext(text, parsed))
        return {ReadStatus::WrongPassword, {}};
    std::swap(db, parsed);
    WipeModel(parsed);
    return {ReadStatus::Success, {}};
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

bool ParsePlaintext(std::string_view plaintext, TDatabase& out) {
    FieldReader reader(plaintext);
    if (reader.Next() != DatabaseMarker)
        return false;
    TDatabase db;
    const std::size_t groups = reader.NextCount(GroupMinFields);
    db.Groups.resize(groups);
    db.Items.resize(groups);
    for (std::size_t g = 0; g < groups; ++g) {
        TGroup& group = db.Groups[g];
        group.Title = reader.Next();
        group.Icon = reader.NextNumber();
        group.Expanded = reader.Next() == "1";
        auto& items = db.Items[g];
        items.resize(reader.NextCount(ItemFields));
        for (TItem& item : items) {
            item.Title = reader.Next();
            item.Icon = reader.NextNumber();
            item.Login = reader.Next();
            item.Password = reader.Next();
            item.WebLink = reader.Next();
            item.Comment = reader.Next();
        }
    }
    std::swap(out, db);
    WipeModel(db);
    return true;
}

ReadResult ReadDatabase(TDatabase& db, std::string_view password, const std::string& path) {
    FileStream file;
    if (!file.Open(path, FileStream::Mode::Read))
        return {ReadStatus::ReadError, SystemReason(file.LastError())};
    return ReadFromStream(db, password, file, [&file] { return file.LastError(); });
}

ReadResult ReadDatabaseBytes(TDatabase& db, std::string_view password, std::string_view fileBytes) {
    MemoryStream file{std::string(fileBytes)};
    return ReadFromStream(db, password, file, [] { return 0; });
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
                          const BranchOpen& branchOpen) {
    std::string target = path;
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode))
        return {false, SystemReason(S_ISDIR(old.st_mode) ? EISDIR : EINVAL)};

    const std::string folder = ParentFolder(target);
    // The temporary name stays within the system's limit for a name however long the
    // target's is.
    std::string temp = folder + "/." + FileNamePart(target).substr(0, 200) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // created with permissions 0600
    if (fd < 0)
        return {false, SystemReason(errno)};
    FileStream file;
    file.Attach(fd);

    const auto fail = [&](std::string reason) {
        file.Close();
        ::unlink(temp.c_str());
        return WriteResult{false, std::move(reason)};
    };

    if (replacing) {
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return fail(SystemReason(errno));
        // Keeps the owner where the system allows it (for example when run as root).
        (void)!::fchown(fd, old.st_uid, old.st_gid);
    }

    try {
        MemoryStream plain(BuildPlaintext(db, branchOpen));
        const std::uint64_t length = plain.Size();
        const std::uint8_t header[4] = {
            static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
        if (file.Write(header, sizeof header) != sizeof header)
            throw StreamError(StreamWriteErrorText);
        const AesKey key = DatabaseKey(password);
        EncryptStream(plain, 0, key, file);
    } catch (const StreamError& e) {
        return fail(file.LastError() != 0 ? SystemReason(file.LastError()) : e.what());
    } catch (const std::bad_alloc&) {
        return fail(SystemReason(ENOMEM));
    }
    if (!file.Sync() || !file.Close())
        return fail(SystemReason(file.LastError()));
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return fail(SystemReason(errno));
    SyncFolder(folder);
    return {true, {}};
}

} // namespace tallykey
