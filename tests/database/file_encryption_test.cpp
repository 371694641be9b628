#include "database/file_encryption.h"

#include "support/reference_aes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

namespace tallykey {
namespace {

// A memory stream whose reads end early after `readLimit` bytes and whose writes stop
// accepting after `writeLimit` bytes, as a failing disk or a truncated file would.
class FlakyStream final : public Stream {
public:
    explicit FlakyStream(std::string bytes = {}) : inner_(std::move(bytes)) {}
    std::size_t readLimit = SIZE_MAX;
    std::size_t writeLimit = SIZE_MAX;
    int reads = 0;

    std::size_t Read(void* buffer, std::size_t count) override {
        ++reads;
        const std::size_t n = std::min(count, readLimit - std::min(readLimit, readSoFar_));
        const std::size_t got = inner_.Read(buffer, n);
        readSoFar_ += got;
        return got;
    }
    std::size_t Write(const void* buffer, std::size_t count) override {
        const std::size_t n = std::min(count, writeLimit - std::min(writeLimit, written_));
        written_ += n;
        return inner_.Write(buffer, n);
    }
    void Seek(std::uint64_t position) override { inner_.Seek(position); }
    std::uint64_t Position() const override { return inner_.Position(); }
    std::uint64_t Size() const override { return inner_.Size(); }
    const std::string& Bytes() const { return inner_.Bytes(); }

private:
    MemoryStream inner_;
    std::size_t readSoFar_ = 0;
    std::size_t written_ = 0;
};

std::string Encrypt(const std::string& plain, std::string_view password) {
    MemoryStream in(plain), out;
    EncryptStream(in, 0, DatabaseKey(password), out);
    return out.Take();
}

std::string ReferenceEncryptBlock(const AesKey& key, const std::string& block) {
    return test::ReferenceAesEcb(key.bytes(), block, true);
}

std::string Text(const AesKey& key) {
    return std::string(reinterpret_cast<const char*>(key.bytes()), 16);
}

TEST(DatabaseKey, TakesTheFirstSixteenBytesZeroFilled) {
    EXPECT_EQ(Text(DatabaseKey("")), std::string(16, '\0'));
    EXPECT_EQ(Text(DatabaseKey("abc")), std::string("abc") + std::string(13, '\0'));
    EXPECT_EQ(Text(DatabaseKey("0123456789abcdef")), "0123456789abcdef");
    EXPECT_EQ(Text(DatabaseKey("0123456789abcdefMORE")), "0123456789abcdef");
    // Bytes as they are: no trimming, case kept, 8-bit characters kept.
    EXPECT_EQ(Text(DatabaseKey(" Pw\xcf\xe0 ")), std::string(" Pw\xcf\xe0 ") + std::string(10, '\0'));
    EXPECT_NE(Text(DatabaseKey("pw")), Text(DatabaseKey("PW")));
}

TEST(EncryptStream, BlockCountAndZeroFill) {
    const AesKey key = DatabaseKey("secret");
    EXPECT_EQ(Encrypt("", "secret").size(), 0u);

    const std::string sixteen(16, 'a');
    const std::string one = Encrypt(sixteen, "secret");
    EXPECT_EQ(one, ReferenceEncryptBlock(key, sixteen));

    const std::string seventeen = Encrypt(sixteen + "b", "secret");
    ASSERT_EQ(seventeen.size(), 32u);
    EXPECT_EQ(seventeen.substr(0, 16), one);
    EXPECT_EQ(seventeen.substr(16), ReferenceEncryptBlock(key, "b" + std::string(15, '\0')));

    // ECB: equal plaintext blocks give equal ciphertext blocks.
    const std::string twice = Encrypt(sixteen + sixteen, "secret");
    EXPECT_EQ(twice.substr(0, 16), twice.substr(16, 16));
}

TEST(EncryptStream, CountRules) {
    const AesKey key = DatabaseKey("k");
    const std::string source = std::string(40, 'x') + "0123456789";
    MemoryStream in(source);

    // Count 0 starts from the beginning whatever the position.
    in.Seek(30);
    MemoryStream all;
    EncryptStream(in, 0, key, all);
    EXPECT_EQ(all.Size(), 64u);
    EXPECT_EQ(in.Position(), source.size());

    // A non-zero count starts at the current position and is cut to what remains.
    in.Seek(40);
    MemoryStream tail;
    EncryptStream(in, 1000, key, tail);
    EXPECT_EQ(tail.Bytes(), ReferenceEncryptBlock(key, "0123456789" + std::string(6, '\0')));

    in.Seek(source.size());
    MemoryStream nothing;
    EncryptStream(in, 16, key, nothing);
    EXPECT_EQ(nothing.Size(), 0u);

    // The destination is appended to, not replaced.
    MemoryStream dest(std::string("HEAD"));
    dest.Seek(4);
    in.Seek(0);
    EncryptStream(in, 16, key, dest);
    EXPECT_EQ(dest.Bytes().substr(0, 4), "HEAD");
    EXPECT_EQ(dest.Size(), 20u);
}

TEST(DecryptStream, ReturnsPlaintextWithTheFillAndNeedsWholeBlocks) {
    const AesKey key = DatabaseKey("pw");
    const std::string plain = std::string("Authorization\0" "0\0tail", 20), ciphered = Encrypt(plain, "pw");
    MemoryStream in(ciphered), out;
    DecryptStream(in, 0, key, out);
    EXPECT_EQ(out.Bytes(), plain + std::string(32 - plain.size(), '\0'));

    // Positioned after a 4-byte header, the file's full size is cut to the blocks.
    MemoryStream file(std::string("\x16\0\0\0", 4) + ciphered), out2;
    file.Seek(4);
    DecryptStream(file, file.Size(), key, out2);
    EXPECT_EQ(out2.Bytes(), out.Bytes());

    FlakyStream twenty(std::string(20, 'z'));
    MemoryStream untouched;
    try {
        DecryptStream(twenty, 0, key, untouched);
        FAIL() << "no error";
    } catch (const StreamError& e) {
        EXPECT_STREQ(e.what(), "Invalid buffer size for decryption");
    }
    EXPECT_EQ(twenty.reads, 0);
    EXPECT_EQ(untouched.Size(), 0u);

    MemoryStream empty, none;
    DecryptStream(empty, 0, key, none);
    EXPECT_EQ(none.Size(), 0u);
}

TEST(StreamOperations, ShortReadAndShortWriteRaiseAndKeepEarlierBlocks) {
    const AesKey key = DatabaseKey("pw");
    std::mt19937 rng(3);
    std::string plain(40000, '\0'); // more than one internal chunk
    for (auto& c : plain)
        c = static_cast<char>(rng());
    const std::string full = Encrypt(plain, "pw");

    for (std::size_t limit : {0u, 5u, 16u, 37u, 20000u, 39990u}) {
        SCOPED_TRACE(limit);
        FlakyStream in(plain);
        in.readLimit = limit;
        MemoryStream out;
        try {
            EncryptStream(in, 0, key, out);
            FAIL() << "no error";
        } catch (const StreamError& e) {
            EXPECT_STREQ(e.what(), "Stream read error");
        }
        EXPECT_EQ(out.Bytes(), full.substr(0, limit / 16 * 16));

        FlakyStream cin(full);
        cin.readLimit = limit;
        MemoryStream pout;
        EXPECT_THROW(DecryptStream(cin, 0, key, pout), StreamError);
        EXPECT_EQ(pout.Bytes(), plain.substr(0, limit / 16 * 16));
    }

    for (std::size_t limit : {0u, 16u, 100u, 20000u}) {
        SCOPED_TRACE(limit);
        MemoryStream in(plain);
        FlakyStream out;
        out.writeLimit = limit;
        try {
            EncryptStream(in, 0, key, out);
            FAIL() << "no error";
        } catch (const StreamError& e) {
            EXPECT_STREQ(e.what(), "Stream write error");
        }
        EXPECT_EQ(out.Bytes(), full.substr(0, limit));

        MemoryStream cin(full);
        FlakyStream pout;
        pout.writeLimit = limit;
        EXPECT_THROW(DecryptStream(cin, 0, key, pout), StreamError);
        EXPECT_EQ(pout.Bytes(), plain.substr(0, limit));
    }
}

TEST(StreamOperations, LargeRoundTripOnEveryLength) {
    std::mt19937 rng(11);
    for (std::size_t size : {1u, 15u, 16u, 17u, 31u, 16383u, 16384u, 16385u, 50001u}) {
        std::string plain(size, '\0');
        for (auto& c : plain)
            c = static_cast<char>(rng());
        const std::string ciphered = Encrypt(plain, "a longer password than sixteen");
        ASSERT_EQ(ciphered.size(), (size + 15) / 16 * 16);
        MemoryStream in(ciphered), out;
        DecryptStream(in, 0, DatabaseKey("a longer password than sixteen"), out);
        EXPECT_EQ(out.Bytes().substr(0, size), plain);
        EXPECT_EQ(out.Bytes().substr(size), std::string(ciphered.size() - size, '\0'));
    }
}

} // namespace
} // namespace tallykey
