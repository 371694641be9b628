#include "database/database_file.h"

#include "database/decimal_text.h"
#include "database/file_encryption.h"
#include "database/secure_wipe.h"
#include "database/stream.h"
#include "system/replace_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

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

std::string SystemReason(int error) { return system::ErrorText(error); }

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
    system::ReplaceOptions replace;
    replace.expected = options.expected;
    replace.heldLock = options.heldLock;
    replace.mustNotExist = options.mustNotExist;
    system::ReplaceResult replaced = system::AtomicReplace(path, replace, [&](int fd) {
        system::Written written;
        FileStream file;
        file.Attach(fd);
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
            written.failure = file.LastError() != 0 ? SystemReason(file.LastError()) : e.what();
        } catch (const std::bad_alloc&) {
            written.failure = SystemReason(ENOMEM);
        }
        (void)file.Detach(); // the replace closes the file
        written.hash = hashing.Hash();
        return written;
    });
    WriteResult result{replaced.ok, std::move(replaced.message)};
    result.changed = replaced.changed;
    result.fingerprint = replaced.fingerprint;
    return result;
}

} // namespace tallykey
