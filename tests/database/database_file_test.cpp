#include "database/aes.h"
#include "database/database_file.h"
#include "database/decimal_text.h"
#include "database/file_encryption.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace tallykey {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kData = TALLYKEY_TEST_DATA;

using test::FromHex;
using test::ReadFile;
using test::WriteFile;

// A whole file from a plaintext, made with the stream operations directly, so that damaged
// plaintexts can be put into files.
std::string FileOf(const std::string& plain, std::string_view password, std::uint32_t length) {
    MemoryStream in(plain), out;
    const char header[4] = {static_cast<char>(length), static_cast<char>(length >> 8),
                            static_cast<char>(length >> 16), static_cast<char>(length >> 24)};
    out.Write(header, 4);
    EncryptStream(in, 0, DatabaseKey(password), out);
    return out.Take();
}

std::string FileOf(const std::string& plain, std::string_view password = "") {
    return FileOf(plain, password, static_cast<std::uint32_t>(plain.size()));
}

// A model with everything a file can hold, to compare after a round trip.
std::string Describe(const TDatabase& db) {
    std::ostringstream s;
    s << db.Groups.size() << "/" << db.Items.size() << "\n";
    for (std::size_t g = 0; g < db.Groups.size(); ++g) {
        s << "G[" << db.Groups[g].Title << "] " << db.Groups[g].Icon << " " << db.Groups[g].Expanded << "\n";
        for (const auto& i : db.Items[g])
            s << " I[" << i.Title << "|" << i.Login << "|" << i.Password << "|" << i.WebLink
              << "|" << i.Comment << "] " << i.Icon << "\n";
    }
    return s.str();
}

TDatabase Sample() {
    TDatabase db;
    AppendGroup(db, "Mail", 3);
    AppendItem(db, 0, "Box", "me", "", "", "x", 17);
    AppendGroup(db, "Bank", -1);
    db.Groups[1].Expanded = false;
    AppendItem(db, 1, "", "", "", "", "", 0);
    AppendItem(db, 1, "Card", "jo\xe9", "p\tw", "https://b.example", "line 1\r\nline 2\r\n", 2147483647);
    AppendGroup(db, "Empty", 50);
    return db;
}

class TempDir : public ::testing::Test {
protected:
    void TearDown() override {
        // Read-only files go with the folder (Windows refuses to delete them).
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir, ec))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
    std::string Path(const std::string& name) const { return folder.File(name); }
    // What the folder holds, not counting the writers' lock files that stay beside a
    // database where a file held open cannot be replaced (Windows).
    std::size_t Entries() const {
        std::size_t n = 0;
        for (const auto& entry : fs::directory_iterator(dir))
            n += entry.path().filename().string().ends_with(".tallykey-lock") ? 0 : 1;
        return n;
    }
    test::TempFolder folder;
    const std::string dir = folder.Path();
};

TEST(DecimalText, LenientReaderAndWriter) {
    struct Case {
        std::string text;
        std::int32_t value;
    } cases[] = {
        {"", 0}, {"0", 0}, {"17", 17}, {"-1", -1}, {"+42", 42}, {"007", 7}, {"12abc", 12},
        {"abc", 0}, {"-", 0}, {"+", 0}, {" 5", 0}, {"5 6", 5}, {"--5", 0}, {"+-5", 0},
        {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"2147483648", INT32_MIN},             // wraps
        {"4294967297", 1},                     // 2^32 + 1 wraps to 1
        {"99999999999999999999", 1661992959},  // 10^20 - 1 modulo 2^32, as signed
        {"1\x00""2"s, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadDecimal(c.text), c.value) << "text \"" << c.text << "\"";
    EXPECT_EQ(WriteDecimal(0), "0");
    EXPECT_EQ(WriteDecimal(-1), "-1");
    EXPECT_EQ(WriteDecimal(INT32_MIN), "-2147483648");
    for (std::int32_t v : {0, 1, -1, 17, INT32_MAX, INT32_MIN, -905})
        EXPECT_EQ(ReadDecimal(WriteDecimal(v)), v);
}

TEST(Plaintext, ByteLayout) {
    TDatabase example;
    AppendGroup(example, "Mail", 3);
    AppendItem(example, 0, "Box", "me", "", "", "x", 17);
    EXPECT_EQ(BuildPlaintext(example), FromHex(ReadFile(kData + "/example.plain.hex")));
    EXPECT_EQ(BuildPlaintext(example).size(), 41u);

    EXPECT_EQ(BuildPlaintext(TDatabase{}), "Authorization\0" "0\0"s);

    // An item with every text empty still writes its six fields; a negative icon keeps its
    // sign; the branch state comes from the callback, not from the flag.
    TDatabase db;
    AppendGroup(db, "G", -1);
    AppendItem(db, 0, "", "", "", "", "", -12);
    EXPECT_EQ(BuildPlaintext(db), "Authorization\0" "1\0" "G\0" "-1\0" "1\0" "1\0" "\0" "-12\0\0\0\0\0"s);
    EXPECT_EQ(BuildPlaintext(db, [](const TGroup&) { return false; }),
              "Authorization\0" "1\0" "G\0" "-1\0" "0\0" "1\0" "\0" "-12\0\0\0\0\0"s);
}

TEST(Plaintext, RoundTripRestoresEverythingButNodes) {
    TDatabase db = Sample();
    db.Groups[0].Node = 5;
    db.Items[0][0].Node = 6;
    TDatabase back;
    ASSERT_TRUE(ParsePlaintext(BuildPlaintext(db), back));
    EXPECT_EQ(Describe(back), Describe(db));
    EXPECT_EQ(back.Groups[0].Node, NoNode);
    EXPECT_EQ(back.Items[0][0].Node, NoNode);

    // A branch written closed reads back closed whatever the flag was.
    TDatabase closed;
    ASSERT_TRUE(ParsePlaintext(BuildPlaintext(db, [](const TGroup& g) { return g.Title == "Bank"; }), closed));
    EXPECT_FALSE(closed.Groups[0].Expanded);
    EXPECT_TRUE(closed.Groups[1].Expanded);
}

TEST(Plaintext, LenientReadingOfDamagedText) {
    TDatabase out;
    AppendGroup(out, "keep", 1);
    const std::string before = Describe(out);
    EXPECT_FALSE(ParsePlaintext("", out));
    EXPECT_FALSE(ParsePlaintext("Authorizatio", out));
    EXPECT_FALSE(ParsePlaintext("authorization\0" "0\0"s, out));
    EXPECT_FALSE(ParsePlaintext("Authorization \0" "0\0"s, out));
    EXPECT_EQ(Describe(out), before);

    // The marker alone, unterminated: an empty database.
    ASSERT_TRUE(ParsePlaintext("Authorization", out));
    EXPECT_TRUE(out.Groups.empty() && out.Items.empty());

    // Missing fields read as empty texts and 0; only exactly "1" is an open branch.
    ASSERT_TRUE(ParsePlaintext("Authorization\0" "2\0" "A\0" "7x\0" "01\0" "1\0" "T\0" "5\0" "L"s, out));
    ASSERT_EQ(out.Groups.size(), 2u);
    EXPECT_EQ(out.Groups[0].Icon, 7);
    EXPECT_FALSE(out.Groups[0].Expanded);
    ASSERT_EQ(out.Items[0].size(), 1u);
    EXPECT_EQ(out.Items[0][0].Title, "T");
    EXPECT_EQ(out.Items[0][0].Icon, 5);
    EXPECT_EQ(out.Items[0][0].Login, "L");
    EXPECT_EQ(out.Items[0][0].Password, "");
    EXPECT_EQ(out.Items[0][0].Comment, "");
    EXPECT_EQ(out.Groups[1].Title, "");
    EXPECT_TRUE(out.Items[1].empty());

    // Negative counts read as 0.
    ASSERT_TRUE(ParsePlaintext("Authorization\0" "-3\0" "A\0"s, out));
    EXPECT_TRUE(out.Groups.empty());
    ASSERT_TRUE(ParsePlaintext("Authorization\0" "1\0" "A\0" "1\0" "1\0" "-5\0" "x\0"s, out));
    ASSERT_EQ(out.Groups.size(), 1u);
    EXPECT_TRUE(out.Items[0].empty());
}

TEST(Plaintext, HugeCountsAreCutToTheFieldsPresent) {
    TDatabase out;
    // Two fields after the count: one group of which title and icon are present.
    ASSERT_TRUE(ParsePlaintext("Authorization\0" "2147483647\0" "A\0" "9\0"s, out));
    ASSERT_EQ(out.Groups.size(), 1u);
    EXPECT_EQ(out.Groups[0].Title, "A");
    EXPECT_EQ(out.Groups[0].Icon, 9);

    // Nine fields after the item count: two items, the second partly present.
    ASSERT_TRUE(ParsePlaintext("Authorization\0" "1\0" "G\0" "0\0" "1\0" "1000000000\0"
                               "a\0" "1\0" "b\0" "c\0" "d\0" "e\0" "f\0" "2\0" "g\0"s, out));
    ASSERT_EQ(out.Items[0].size(), 2u);
    EXPECT_EQ(out.Items[0][0].Comment, "e");
    EXPECT_EQ(out.Items[0][1].Title, "f");
    EXPECT_EQ(out.Items[0][1].Login, "g");

    // A plaintext of many empty fields with huge counts everywhere stays linear.
    std::string hostile = "Authorization\0" "2147483647\0"s;
    for (int i = 0; i < 20000; ++i)
        hostile += "t\0" "1\0" "1\0" "2147483647\0"s;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ParsePlaintext(hostile, out));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    std::size_t items = 0;
    for (const auto& list : out.Items)
        items += list.size();
    // Every record but a few trailing groups has at least one of its fields present.
    EXPECT_LE(out.Groups.size() + items, 4u * 20000 + 1);
}

TEST(Plaintext, MoreRecordsThanADatabaseMayHoldAreRefusedBeforeAnyIsHandedOn) {
    struct Counter : PlaintextVisitor {
        void Group(const TGroup&, std::size_t) override { ++calls; }
        void Item(const TItem&) override { ++calls; }
        int calls = 0;
    } counter;
    TDatabase out;
    AppendGroup(out, "keep", 1);
    const std::string before = Describe(out);

    const auto emptyGroups = [](std::size_t n) {
        return "Authorization\0"s + std::to_string(n) + '\0' + std::string(4 * n, '\0');
    };
    ReadResult r = ReadPlaintext(emptyGroups(MaxGroups + 1), counter);
    EXPECT_EQ(r.status, ReadStatus::DecryptionError);
    EXPECT_EQ(r.message, "1000001 groups, more than the 1000000 a database may hold");
    EXPECT_FALSE(ParsePlaintext(emptyGroups(MaxGroups + 1), out));

    // Items count over all groups; the first group alone is within the limit.
    std::string items = "Authorization\0" "2\0"s;
    for (int g = 0; g < 2; ++g)
        items += "g\0" "0\0" "1\0" "500001\0"s + std::string(6 * 500001, '\0');
    r = ReadPlaintext(items, counter);
    EXPECT_EQ(r.status, ReadStatus::DecryptionError);
    EXPECT_EQ(r.message, "1000002 items, more than the 1000000 a database may hold");
    EXPECT_FALSE(ParsePlaintext(items, out));
    EXPECT_EQ(counter.calls, 0);
    EXPECT_EQ(Describe(out), before);

    // The limit itself is still a database.
    ASSERT_TRUE(ParsePlaintext(emptyGroups(MaxGroups), out));
    EXPECT_EQ(out.Groups.size(), MaxGroups);
}

struct Fixture {
    const char* name;
    const char* password;
};

class Fixtures : public ::testing::TestWithParam<Fixture> {};

TEST_P(Fixtures, ReadToTheExpectedPlaintextAndWriteBackByteForByte) {
    const Fixture f = GetParam();
    const std::string file = kData + "/" + f.name + ".tkf";
    const std::string plain = FromHex(ReadFile(kData + "/" + f.name + ".plain.hex"));
    const AesEngine initial = DefaultAesEngine();
    for (AesEngine engine : {AesEngine::Table, AesEngine::AesNi}) {
        SetDefaultAesEngine(engine); // AES-NI falls back to the table code where absent
        TDatabase db;
        const ReadResult r = ReadDatabase(db, f.password, file);
        ASSERT_EQ(r.status, ReadStatus::Success) << r.message;
        EXPECT_EQ(BuildPlaintext(db), plain);
        EXPECT_EQ(EncryptDatabase(db, f.password), ReadFile(file));
    }
    SetDefaultAesEngine(initial);

    TDatabase wrong;
    AppendGroup(wrong, "untouched", 1);
    EXPECT_EQ(ReadDatabase(wrong, std::string(f.password) + "?", file).status,
              std::string(f.password).size() >= 16 ? ReadStatus::Success : ReadStatus::WrongPassword);
}

INSTANTIATE_TEST_SUITE_P(Database, Fixtures,
                         ::testing::Values(Fixture{"example", ""}, Fixture{"empty", ""},
                                           Fixture{"cyrillic-1251", "\xcf\xe0\xf0\xee\xeb\xfc"},
                                           Fixture{"long-password", "correct horse battery staple"}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (auto& c : n)
                                 if (c == '-')
                                     c = '_';
                             return n;
                         });

TEST(DatabaseFile, FixtureContents) {
    TDatabase db;
    ASSERT_TRUE(ReadDatabase(db, "", kData + "/example.tkf").ok());
    ASSERT_EQ(db.Groups.size(), 1u);
    EXPECT_EQ(Describe(db), "1/1\nG[Mail] 3 1\n I[Box|me|||x] 17\n");

    ASSERT_TRUE(ReadDatabase(db, "\xcf\xe0\xf0\xee\xeb\xfc", kData + "/cyrillic-1251.tkf").ok());
    EXPECT_EQ(Describe(db), "2/2\nG[\xcf\xee\xf7\xf2\xe0] 5 1\n"
                            " I[\xdf\xed\xe4\xe5\xea\xf1|\xe8\xe2\xe0\xed|\xd1\xe5\xea\xf0\xe5\xf2""42|"
                            "mail.example.ru|\xe4\xe2\xe5\r\n\xf1\xf2\xf0\xee\xea\xe8] 17\n"
                            "G[\xc1\xe0\xed\xea] -1 0\n");

    // Only the first sixteen bytes of a password count.
    ASSERT_TRUE(ReadDatabase(db, "correct horse ba", kData + "/long-password.tkf").ok());
    EXPECT_EQ(Describe(db), "1/1\nG[Work] 0 0\n I[VPN|jdoe|p@ss w0rd!|https://vpn.example.com|] 50\n"
                            " I[||||] 0\n");
    EXPECT_EQ(ReadDatabase(db, "correct horse b", kData + "/long-password.tkf").status,
              ReadStatus::WrongPassword);
}

TEST(DatabaseFile, FileSizesFollowThePlaintextLength) {
    const std::string empty = EncryptDatabase(TDatabase{}, "");
    ASSERT_EQ(empty.size(), 20u);
    EXPECT_EQ(empty.substr(0, 4), "\x10\0\0\0"s);

    // 17 bytes of plaintext: two blocks, 36 bytes; it reads as an empty database.
    const std::string seventeen = FileOf("Authorization\0" "0\0" "x"s);
    ASSERT_EQ(seventeen.size(), 36u);
    EXPECT_EQ(seventeen.substr(0, 4), "\x11\0\0\0"s);
    TDatabase db;
    AppendGroup(db, "old", 0);
    ASSERT_TRUE(ReadDatabaseBytes(db, "", seventeen).ok());
    EXPECT_TRUE(db.Groups.empty());

    const std::string example = EncryptDatabase(Sample(), "pw");
    EXPECT_EQ(example, EncryptDatabase(Sample(), "pw")); // no random element
    const std::size_t length = BuildPlaintext(Sample()).size();
    EXPECT_EQ(example.size(), 4 + (length + 15) / 16 * 16);
}

TEST(DatabaseFile, DamagedFilesLeaveTheModelAlone) {
    TDatabase db = Sample();
    const std::string before = Describe(db);
    const std::string good = EncryptDatabase(Sample(), "pw");

    ReadResult r = ReadDatabaseBytes(db, "pw", good.substr(0, good.size() - 1));
    EXPECT_EQ(r.status, ReadStatus::DecryptionError);
    EXPECT_EQ(r.message, "Invalid buffer size for decryption");
    EXPECT_EQ(ReadDatabaseBytes(db, "pw", good + "x").status, ReadStatus::DecryptionError);
    for (std::size_t n : {0, 1, 3, 4})
        EXPECT_EQ(ReadDatabaseBytes(db, "pw", good.substr(0, n)).status, ReadStatus::WrongPassword) << n;
    EXPECT_EQ(ReadDatabaseBytes(db, "wrong", good).status, ReadStatus::WrongPassword);
    EXPECT_EQ(Describe(db), before);

    // A whole block cut off the end: the plaintext ends where the blocks end, and what
    // is missing reads as empty.
    TDatabase cut;
    ASSERT_TRUE(ReadDatabaseBytes(cut, "pw", good.substr(0, 4 + 48)).ok());
    EXPECT_EQ(cut.Groups[0].Title, "Mail");

    // A length field smaller than the blocks: the plaintext stops at the stated length.
    std::string shortLength = good;
    shortLength[0] = 14;
    shortLength[1] = shortLength[2] = shortLength[3] = 0;
    ASSERT_TRUE(ReadDatabaseBytes(cut, "pw", shortLength).ok());
    EXPECT_TRUE(cut.Groups.empty());
    shortLength[0] = 13;
    EXPECT_TRUE(ReadDatabaseBytes(cut, "pw", shortLength).ok());
    shortLength[0] = 12;
    EXPECT_EQ(ReadDatabaseBytes(cut, "pw", shortLength).status, ReadStatus::WrongPassword);

    // Hostile counts behind a right marker: read quickly and cut.
    const std::string hostile = FileOf("Authorization\0" "2000000000\0" "A\0" "1\0" "1\0" "2000000000\0"s, "pw",
                                       0xffffffffu);
    ASSERT_TRUE(ReadDatabaseBytes(cut, "pw", hostile).ok());
    // The length field claims more than there is, so the six zero bytes that fill the
    // last block are read as six empty fields: ten fields after the group count make
    // three groups, and the first group's six remaining fields one item.
    ASSERT_EQ(cut.Groups.size(), 3u);
    EXPECT_EQ(cut.Groups[0].Title, "A");
    EXPECT_EQ(cut.Items[0].size(), 1u);
    EXPECT_TRUE(cut.Items[1].empty() && cut.Items[2].empty());
}

TEST_F(TempDir, ReadErrorsAreTheSystemsAndDistinctFromWrongPassword) {
    TDatabase db = Sample();
    const std::string before = Describe(db);
    ReadResult r = ReadDatabase(db, "", Path("missing.tkf"));
    EXPECT_EQ(r.status, ReadStatus::ReadError);
    EXPECT_EQ(r.message, "No such file or directory");
    r = ReadDatabase(db, "", dir);
    EXPECT_EQ(r.status, ReadStatus::ReadError);
    EXPECT_EQ(r.message, "Is a directory");

    const std::string locked = Path("locked.tkf");
    WriteFile(locked, ReadFile(kData + "/example.tkf"));
#ifndef _WIN32 // Windows has no permission that keeps the owner from reading
    ::chmod(locked.c_str(), 0);
    if (::access(locked.c_str(), R_OK) == 0) {
        EXPECT_TRUE(ReadDatabase(db, "", locked).ok()); // privileged: permissions do not apply
        db = Sample();
    } else {
        r = ReadDatabase(db, "", locked);
        EXPECT_EQ(r.status, ReadStatus::ReadError);
        EXPECT_EQ(r.message, "Permission denied");
    }
#endif
    EXPECT_EQ(Describe(db), before);
}

TEST_F(TempDir, AFileTooLargeForADatabaseIsRefusedWithoutReadingIt) {
    // Sparse: the size is there, the disk blocks are not.
    const std::string path = Path("huge.tkf");
    WriteFile(path, "\xff\xff\xff\x0f");
    fs::resize_file(path, 4 + std::uintmax_t{MaxPlaintextSize} + 16);
    TDatabase db;
    AppendGroup(db, "keep", 1);
    const ReadResult r = ReadDatabase(db, "", path);
    EXPECT_EQ(r.status, ReadStatus::DecryptionError);
    EXPECT_EQ(r.message, "a plaintext of 268435472 bytes, more than the 268435456 a database may hold");
    EXPECT_EQ(db.Groups.size(), 1u);
}

TEST_F(TempDir, WriteThenReadRoundTrip) {
    const std::string path = Path("db.tkf");
    const TDatabase db = Sample();
    WriteResult w = WriteDatabase(db, "p\xe4ss", path);
    ASSERT_TRUE(w.ok) << w.message;
    EXPECT_EQ(ReadFile(path), EncryptDatabase(db, "p\xe4ss"));
    TDatabase back;
    ASSERT_TRUE(ReadDatabase(back, "p\xe4ss", path).ok());
    EXPECT_EQ(Describe(back), Describe(db));

    // The tree's branch states win over the flags.
    ASSERT_TRUE(WriteDatabase(db, "p\xe4ss", path, [](const TGroup&) { return false; }).ok);
    ASSERT_TRUE(ReadDatabase(back, "p\xe4ss", path).ok());
    for (const auto& g : back.Groups)
        EXPECT_FALSE(g.Expanded);

    // Fixtures written again are byte-identical.
    for (const char* name : {"example", "empty"}) {
        TDatabase f;
        ASSERT_TRUE(ReadDatabase(f, "", kData + "/" + name + ".tkf").ok());
        ASSERT_TRUE(WriteDatabase(f, "", Path(name)).ok);
        EXPECT_EQ(ReadFile(Path(name)), ReadFile(kData + "/" + name + ".tkf")) << name;
    }
    EXPECT_EQ(Entries(), 3u); // no temporary file left behind
}

TEST_F(TempDir, NewFilesArePrivateAndReplacedFilesKeepTheirPermissions) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX modes and symbolic links; a Windows file takes its folder's access rules";
#else
    const std::string fresh = Path("fresh.tkf");
    const mode_t oldMask = ::umask(0);
    const bool ok = WriteDatabase(Sample(), "", fresh).ok;
    ::umask(oldMask);
    ASSERT_TRUE(ok);
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    const std::string shared = Path("shared.tkf");
    WriteFile(shared, "old");
    ::chmod(shared.c_str(), 0644);
    ASSERT_TRUE(WriteDatabase(Sample(), "", shared).ok);
    ASSERT_EQ(::stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(ReadFile(shared), EncryptDatabase(Sample(), ""));

    // Through a symbolic link the link stays and its target gets the new contents.
    const std::string link = Path("link.tkf");
    ASSERT_EQ(::symlink(shared.c_str(), link.c_str()), 0);
    TDatabase other;
    AppendGroup(other, "via link", 2);
    ASSERT_TRUE(WriteDatabase(other, "", link).ok);
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(shared), EncryptDatabase(other, ""));
#endif
}

TEST_F(TempDir, AFailedWriteLeavesTheOldFileAndNoTemporary) {
    const std::string path = Path("keep.tkf");
    const std::string original = ReadFile(kData + "/example.tkf");
    WriteFile(path, original);

    TDatabase big = Sample();
    for (int i = 0; i < 50; ++i)
        AppendItem(big, 0, "entry", "login", "password", "https://example.com", "", 17);
#ifndef _WIN32 // a file-size limit is POSIX's
    // The disk refuses more than 64 bytes (a file-size limit in a child process).
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const WriteResult w = WriteDatabase(big, "", path);
        ::_exit(!w.ok && w.message == "File too large" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write did not fail as expected";
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(Entries(), 1u);
#endif

    // Targets that cannot be replaced.
    fs::create_directory(Path("folder"));
    WriteResult w = WriteDatabase(big, "", Path("folder"));
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.message, "Is a directory");
    w = WriteDatabase(big, "", Path("no/such/folder.tkf"));
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.message, "No such file or directory");
    EXPECT_TRUE(fs::is_empty(Path("folder")));
    EXPECT_EQ(Entries(), 2u);
    EXPECT_EQ(ReadFile(path), original);
}

} // namespace
} // namespace tallykey

namespace tallykey {
namespace {

TDatabase Numbered(const std::string& tag, int items) {
    TDatabase db;
    AppendGroup(db, tag, 1);
    for (int i = 0; i < items; ++i)
        AppendItem(db, 0, tag + std::to_string(i), "login", "password " + std::to_string(i), "https://example.com",
                   "", 17);
    return db;
}

// A file cut short, or one whose length field promises more than any file holds, still reads
// with what it has, and says how much it lacks.
TEST_F(TempDir, DamagedFilesReadWhatTheyHoldAndSayHowMuchIsMissing) {
    const std::string whole = EncryptDatabase(Numbered("n", 200), "pw");
    const std::uint64_t blocks = whole.size() - 4;
    const struct Case {
        const char* name;
        std::string bytes;
        std::uint64_t missing;
    } cases[] = {
        {"whole", whole, 0},
        {"cut at a block boundary", whole.substr(0, whole.size() - 160), 160},
        {"impossible length", "\xff\xff\xff\xff"s + whole.substr(4), (std::uint64_t(1) << 32) - blocks},
    };
    for (const Case& c : cases) {
        WriteFile(Path("f.tkf"), c.bytes);
        TDatabase db;
        const ReadResult r = ReadDatabase(db, "pw", Path("f.tkf"));
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(r.missingBytes, c.missing) << c.name;
        EXPECT_EQ(r.damaged(), c.missing != 0) << c.name;
        ASSERT_EQ(db.Items.size(), 1u) << c.name;
        if (c.missing == 160)
            EXPECT_LT(db.Items[0].size(), 200u);
        else
            EXPECT_EQ(db.Items[0].size(), 200u) << c.name;
    }
}

// A FIFO or a device is refused at once (a FIFO without a writer would hold the read forever).
TEST_F(TempDir, OnlyRegularFilesAreRead) {
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs and /dev/null are POSIX's";
#else
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    for (const std::string& path : {Path("fifo"), std::string("/dev/null")}) {
        TDatabase db = Sample();
        const ReadResult r = ReadDatabase(db, "", path);
        EXPECT_EQ(r.status, ReadStatus::ReadError) << path;
        EXPECT_EQ(r.message, "Not a regular file") << path;
        EXPECT_EQ(Describe(db), Describe(Sample()));
    }
#endif
}

TEST_F(TempDir, AFileTheUserMayNotWriteIsNotReplaced) {
    const std::string path = Path("ro.tkf");
    ASSERT_TRUE(WriteDatabase(Sample(), "", path).ok);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = ReadFile(path);
    std::vector<std::string> targets{path};
#ifndef _WIN32 // and through a symbolic link to it
    ASSERT_EQ(::symlink(path.c_str(), Path("link.tkf").c_str()), 0);
    targets.push_back(Path("link.tkf"));
#endif
    for (const std::string& target : targets) {
        const WriteResult w = WriteDatabase(TDatabase{}, "", target);
        EXPECT_FALSE(w.ok) << target;
        EXPECT_EQ(w.message, "Permission denied") << target;
    }
    EXPECT_EQ(ReadFile(path), before);
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::lstat(Path("link.tkf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
#endif
    EXPECT_EQ(Entries(), targets.size());
}

TEST_F(TempDir, AWriteChecksThatTheFileIsStillTheOneItKnows) {
    const std::string path = Path("db.tkf");
    const WriteResult first = WriteDatabase(Sample(), "", path);
    ASSERT_TRUE(first.ok);
    TDatabase db;
    const ReadResult read = ReadDatabase(db, "", path);
    ASSERT_TRUE(read.fingerprint.known);
    EXPECT_EQ(read.fingerprint, first.fingerprint) << "reading and writing fingerprint alike";

    // Unchanged: written.
    WriteOptions options;
    options.expected = &read.fingerprint;
    const WriteResult second = WriteDatabase(Numbered("mine", 3), "", path, options);
    ASSERT_TRUE(second.ok) << second.message;
    EXPECT_NE(second.fingerprint, read.fingerprint);

    // Replaced by another writer meanwhile: refused, and the other's file stays.
    ASSERT_TRUE(WriteDatabase(Numbered("theirs", 3), "", path).ok);
    const std::string theirs = ReadFile(path);
    options.expected = &second.fingerprint;
    WriteResult w = WriteDatabase(Numbered("mine", 4), "", path, options);
    EXPECT_FALSE(w.ok);
    EXPECT_TRUE(w.changed);
    EXPECT_EQ(ReadFile(path), theirs);

    // Rewritten in place, its size and time kept: only its bytes tell.
    const ReadResult now = ReadDatabase(db, "", path);
    const auto time = fs::last_write_time(path);
    {
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(20);
        file.put('x');
        ASSERT_TRUE(file.good());
    }
    fs::last_write_time(path, time);
    options.expected = &now.fingerprint;
    EXPECT_TRUE(WriteDatabase(Numbered("mine", 5), "", path, options).changed);

    // Gone meanwhile: nothing to lose, so it is written.
    fs::remove(path);
    EXPECT_TRUE(WriteDatabase(Numbered("mine", 6), "", path, options).ok);

    // A new file only: an existing one is left alone.
    options = {};
    options.mustNotExist = true;
    w = WriteDatabase(TDatabase{}, "", path, options);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.message, "File exists");
    EXPECT_TRUE(WriteDatabase(TDatabase{}, "", Path("new.tkf"), options).ok);
    EXPECT_EQ(Entries(), 2u);
}

// The lock of a file survives its replacement: one who waited for the old file holds the new one.
TEST_F(TempDir, WritersTakeTurnsOnTheFileTheyReplace) {
    const std::string path = Path("db.tkf");
    ASSERT_TRUE(WriteDatabase(Sample(), "", path).ok);
    FileLock first;
    ASSERT_EQ(first.Acquire(path, std::chrono::milliseconds(0)), FileLock::Status::Locked);
    FileLock second;
    EXPECT_EQ(second.Acquire(path, std::chrono::milliseconds(50)), FileLock::Status::Busy);

    FileLock::Status waited = FileLock::Status::Failed;
    std::thread waiter([&] { waited = second.Acquire(path, std::chrono::seconds(10)); });
    // Gives the waiter time to lock onto the old file (without it the test proves less).
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    WriteOptions options;
    options.heldLock = &first;
    ASSERT_TRUE(WriteDatabase(Numbered("new", 1), "", path, options).ok);
    first.Release();
    waiter.join();
    EXPECT_EQ(waited, FileLock::Status::Locked);
    FileLock third;
    EXPECT_EQ(third.Acquire(path, std::chrono::milliseconds(0)), FileLock::Status::Busy)
        << "the waiter holds the file now at the path";
    second.Release();
    EXPECT_EQ(third.Acquire(path, std::chrono::milliseconds(0)), FileLock::Status::Locked);
    EXPECT_EQ(third.Acquire(Path("none.tkf"), std::chrono::milliseconds(0)), FileLock::Status::NoFile);
}

TEST_F(TempDir, InterruptedWritesLeaveNothingBehind) {
#ifdef _WIN32
    GTEST_SKIP() << "kills writers with fork and SIGKILL, and holds a temporary with flock";
#else
    const std::string path = Path("db.tkf");
    // What a killed writer left goes with the next write; a live writer's temporary stays.
    WriteFile(Path(".db.tkf.tallykey-abc123"), "stale");
    const std::string live = Path(".db.tkf.tallykey-xyz789");
    const int liveFd = ::open(live.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(liveFd, LOCK_EX), 0);
    WriteFile(Path(".db.tkf.tallykey-long-name"), "not ours"); // another pattern: kept
    ASSERT_TRUE(WriteDatabase(Sample(), "", path).ok);
    EXPECT_FALSE(fs::exists(Path(".db.tkf.tallykey-abc123")));
    EXPECT_TRUE(fs::exists(live));
    ::close(liveFd);
    fs::remove(live);
    fs::remove(Path(".db.tkf.tallykey-long-name"));

    // Killed at random moments while saving: the file is always whole, the old or the new.
    const TDatabase a = Numbered("a", 3000), b = Numbered("b", 2500);
    ASSERT_TRUE(WriteDatabase(a, "", path).ok);
    std::mt19937 random(12345);
    for (int round = 0; round < 15; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (unsigned n = 0;; ++n)
                (void)WriteDatabase(n % 2 ? a : b, "", path);
        }
        ::usleep(1000 + random() % 20000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        TDatabase back;
        const ReadResult r = ReadDatabase(back, "", path);
        ASSERT_TRUE(r.ok()) << "round " << round;
        EXPECT_FALSE(r.damaged());
        EXPECT_TRUE(Describe(back) == Describe(a) || Describe(back) == Describe(b)) << "round " << round;
    }
    ASSERT_TRUE(WriteDatabase(a, "", path).ok);
    EXPECT_EQ(Entries(), 1u);
#endif
}

} // namespace
} // namespace tallykey
