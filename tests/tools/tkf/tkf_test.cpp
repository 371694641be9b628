// tkf as users run it: the built binary, passwords through descriptors or a terminal.
#include "support/files.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "system/file_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

const std::string kData = TALLYKEY_TEST_DATA;
#ifdef _WIN32
const std::string kTkf = std::string(TALLYKEY_BINARY_DIR) + "/tkf.exe";
#else
const std::string kTkf = std::string(TALLYKEY_BINARY_DIR) + "/tkf";
#endif
const std::string kCyrillicPassword = "\xd0\x9f\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c"; // UTF-8

using tallykey::test::FromHex;
using tallykey::test::ReadFile;
using tallykey::test::WriteFile;

using Outcome = tallykey::test::ProgramRun;

class Tkf : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return folder.File(name); }

    // Runs tkf without a terminal in the test's folder; `input` is its standard input,
    // `extra` (if given) is readable where the arguments say kExtraInput.
    Outcome Run(const std::vector<std::string>& args, const std::string& input = "",
                const std::string* extra = nullptr) {
        return tallykey::test::RunProgram(kTkf, args, dir, input, extra);
    }

    // The error contract: a failure is one line on stderr, nothing on stdout.
    static void ExpectOneErrorLine(const Outcome& o, int code, const std::string& part) {
        EXPECT_EQ(o.code, code) << o.err;
        EXPECT_TRUE(o.out.empty()) << o.out;
        ASSERT_FALSE(o.err.empty());
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
        EXPECT_EQ(o.err.rfind("tkf: ", 0), 0u) << o.err;
        EXPECT_NE(o.err.find(part), std::string::npos) << o.err;
    }

    tallykey::test::TempFolder folder;
    const std::string dir = folder.Path();
};

struct Fixture {
    const char* name;
    const char* password; // as typed, UTF-8
    const char* codePage;
};

const Fixture kFixtures[] = {
    {"example", "", "1252"},
    {"empty", "", "1252"},
    {"cyrillic-1251", "\xd0\x9f\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c", "1251"},
    {"long-password", "correct horse battery staple", "1252"},
};

TEST_F(Tkf, ExportGivesTheFixturesJsonAndImportGivesTheirFiles) {
    for (const auto& f : kFixtures) {
        SCOPED_TRACE(f.name);
        const std::string tkf = kData + "/" + f.name + ".tkf";
        const std::string json = kData + "/" + f.name + ".json";
        Outcome o = Run({"export", tkf, "--format", "json", "--password-fd", "0", "--codepage", f.codePage},
                        std::string(f.password) + "\n");
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.out, ReadFile(json) + "\n");
        EXPECT_TRUE(o.err.empty());

        const std::string made = Path(std::string(f.name) + ".tkf");
        o = Run({"import", json, made, "--password-fd", "0", "--codepage", f.codePage},
                std::string(f.password) + "\n");
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(ReadFile(made), ReadFile(tkf));
    }
}

TEST_F(Tkf, ImportedFileDecryptsWithOpenSslToThePlaintext) {
    if (std::system("openssl version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no openssl command";
    const std::string made = Path("made.tkf");
    ASSERT_EQ(Run({"import", kData + "/long-password.json", made, "--password-fd", "0"},
                  "correct horse battery staple\n").code, 0);
    // The key is the first 16 bytes of the password.
    std::string hexKey;
    for (unsigned char c : std::string("correct horse ba")) {
        char b[3];
        std::snprintf(b, sizeof b, "%02x", c);
        hexKey += b;
    }
    const std::string plain = Path("plain");
    const std::string cmd = "tail -c +5 '" + made + "' | openssl enc -d -aes-128-ecb -nopad -K " + hexKey +
                            " > '" + plain + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string expected = FromHex(ReadFile(kData + "/long-password.plain.hex"));
    const std::string got = ReadFile(plain);
    ASSERT_EQ(got.size(), 96u);
    EXPECT_EQ(got.substr(0, expected.size()), expected);
    EXPECT_EQ(got.substr(expected.size()), std::string(96 - expected.size(), '\0'));
    EXPECT_EQ(ReadFile(made).substr(0, 4), std::string("\x52\0\0\0", 4));
}

TEST_F(Tkf, CsvExportAndImport) {
    Outcome o = Run({"export", kData + "/cyrillic-1251.tkf", "--format=csv", "--password-fd=0", "--codepage=1251"},
                    kCyrillicPassword + "\n");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out,
              "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\r\n"
              "\"\xd0\x9f\xd0\xbe\xd1\x87\xd1\x82\xd0\xb0\",\"\xd0\xaf\xd0\xbd\xd0\xb4\xd0\xb5\xd0\xba\xd1\x81\","
              "\"\xd0\xb8\xd0\xb2\xd0\xb0\xd0\xbd\",\"\xd0\xa1\xd0\xb5\xd0\xba\xd1\x80\xd0\xb5\xd1\x82" "42\","
              "\"mail.example.ru\",\"\xd0\xb4\xd0\xb2\xd0\xb5\r\n\xd1\x81\xd1\x82\xd1\x80\xd0\xbe\xd0\xba\xd0\xb8\"\r\n");

    // Quotes, commas and line breaks survive; columns are found by name, an unknown one is
    // appended to the comment; groups are made in order of first appearance.
    const std::string csv =
        "\xEF\xBB\xBFTitle,Extra,group,Password,Username,URL,Notes\n"
        "a,x,Web,\"p,\"\"q\"\"\",me,http://a,\"two\nlines\"\n"
        "\n"
        "b,y,Mail,,you,,\n"
        "c,z,Web,,,,\n";
    WriteFile(Path("in.csv"), csv);
    o = Run({"import", Path("in.csv"), Path("csv.tkf"), "--password-fd", "0"}, "pw\n");
    ASSERT_EQ(o.code, 0) << o.err;
    o = Run({"export", Path("csv.tkf"), "--format", "json", "--password-fd", "0"}, "pw\n");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("\"title\": \"Web\""), std::string::npos);
    EXPECT_LT(o.out.find("\"title\": \"Web\""), o.out.find("\"title\": \"Mail\""));
    EXPECT_LT(o.out.find("\"title\": \"c\""), o.out.find("\"title\": \"Mail\""));
    EXPECT_NE(o.out.find("\"password\": \"p,\\\"q\\\"\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"comment\": \"two\\r\\nlines\\r\\nExtra: x\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"icon\": 17"), std::string::npos);

    // Line breaks of a lone CR, as old Mac programs write them, end records as well.
    WriteFile(Path("mac.csv"), "Group,Title,Password\rWeb,a,\"x\ry\"\rMail,b,\r");
    o = Run({"import", Path("mac.csv"), Path("mac.tkf"), "--password-fd", "0"}, "pw\n");
    ASSERT_EQ(o.code, 0) << o.err;
    o = Run({"export", Path("mac.tkf"), "--format", "csv", "--password-fd", "0"}, "pw\n");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\r\n"
                     "\"Web\",\"a\",\"\",\"x\ry\",\"\",\"\"\r\n"
                     "\"Mail\",\"b\",\"\",\"\",\"\",\"\"\r\n");

    // Content decides when the name has no known extension.
    WriteFile(Path("data.txt"), ReadFile(kData + "/example.json"));
    EXPECT_EQ(Run({"import", Path("data.txt"), Path("txt.tkf"), "--password-fd", "0"}, "\n").code, 0);
    EXPECT_EQ(ReadFile(Path("txt.tkf")), ReadFile(kData + "/example.tkf"));
}

TEST_F(Tkf, ImportRefusesBadInputAndWritesNothing) {
    struct Bad {
        const char* name;
        std::string content;
        const char* message;
    } cases[] = {
        {"broken.json", "{\"groups\": [\n  {\"title\": \"a\",]}", "line 2"},
        {"key.json", "{\"groups\": [{\"title\": \"a\", \"colour\": 1}]}", "unknown key \"colour\""},
        {"type.json", "{\"groups\": [{\"icon\": \"3\"}]}", "groups[0].icon: expected a number"},
        {"range.json", "{\"groups\": [{\"icon\": 2147483648}]}", "groups[0].icon"},
        // (not "nul.json": Windows takes that name for its null device)
        {"nul-char.json", "{\"groups\": [{\"title\": \"a\\u0000b\"}]}", "U+0000"},
        {"codepage.json", "{\"groups\": [{\"title\": \"\xe2\x82\xac \xd0\x96\"}]}", "code page 1252"},
        {"latin1.json", "{\"groups\": [{\"title\": \"caf\xe9\"}]}", "not UTF-8"},
        {"nested.json", "{\"groups\": [" + std::string(100000, '['), "line 1, column 13: groups[0]: expected an object"},
        // Two values for one thing: which one is meant is not clear.
        {"twice.json", "{\"groups\": [{\"items\": [{\"password\": \"a\",\n \"password\": \"b\"}]}]}",
         "line 2, column 2: groups[0].items[0]: a second \"password\""},
        {"groups.json", "{\"groups\": [], \"groups\": [{\"title\": \"x\"}]}", "line 1, column 16: a second \"groups\""},
        {"columns.csv", "Group,Title,Password,URL,PASSWORD\na,b,c,d,e\n",
         "line 1, column 5: a second \"PASSWORD\" column (the first is column 3)"},
        {"wide.csv", "Group,Title" + std::string(2000, ',') + "\n", "line 1: more than 1000 fields"},
        {"quote.csv", "Group,Title\n\"a,b\n", "line 2: quoted field without its closing quote"},
        {"fields.csv", "Group,Title\r\n\"a\r\nb\",b\r\na,b,c\r\n", "line 4: 3 fields"},
        {"header.csv", "Name,Login\na,b\n", "\"Title\" column"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(Path(c.name), c.content);
        const Outcome o = Run({"import", Path(c.name), Path("out.tkf"), "--password-fd", "0", "--codepage", "1252"}, "pw\n");
        ExpectOneErrorLine(o, 1, c.message);
        EXPECT_FALSE(fs::exists(Path("out.tkf")));
    }

    // An existing file is replaced only with --force.
    WriteFile(Path("old.tkf"), "old contents");
#ifndef _WIN32
    ::chmod(Path("old.tkf").c_str(), 0640);
#endif
    Outcome o = Run({"import", kData + "/example.json", Path("old.tkf"), "--password-fd", "0"}, "\n");
    ExpectOneErrorLine(o, 1, "--force");
    EXPECT_EQ(ReadFile(Path("old.tkf")), "old contents");
    o = Run({"import", kData + "/example.json", Path("old.tkf"), "--force", "--password-fd", "0"}, "\n");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(ReadFile(Path("old.tkf")), ReadFile(kData + "/example.tkf"));
    EXPECT_EQ(Run({"import", kData + "/example.json", Path("new.tkf"), "--password-fd", "0"}, "\n").code, 0);
#ifndef _WIN32 // POSIX modes: a replaced file keeps its own, a new one is the owner's only
    struct stat st {};
    ::stat(Path("old.tkf").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ::stat(Path("new.tkf").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
}

// No error of an import or a password conversion shows a password, in any format.
TEST_F(Tkf, ErrorsNeverShowAPassword) {
    const std::string secret = "Sup3rSecret-\xd0\x9a\xd0\xbb\xd1\x8e\xd1\x87-\xf0\x9f\x98\x80"; // ...-Ключ-😀
    const std::string item = "{\"title\": \"t\", \"password\": \"" + secret + "\"";
    const std::string csvHeader = "Group,Title,Username,Password,URL,Notes\n";
    struct Case {
        const char* name;
        std::string content;
        std::string message;
    } cases[] = {
        {"cp.json", "{\"groups\": [{\"items\": [" + item + "}]}]}",
         "groups[0].items[0].password: the text has characters that code page 1252 cannot hold, the first at "
         "character 13"},
        {"type.json", "{\"groups\": [{\"items\": [" + item + ", \"icon\": \"x\"}]}]}", "icon: expected a number"},
        {"key.json", "{\"groups\": [{\"items\": [" + item + ", \"x\": 1}]}]}", "unknown key \"x\""},
        {"syntax.json", "{\"groups\": [{\"items\": [{\"password\": \"" + secret + "\x01\"}]}]}", "control character"},
        {"nul-char.json", "{\"groups\": [{\"items\": [{\"password\": \"" + secret + "\\u0000\"}]}]}", "U+0000"},
        {"utf8.json", "{\"groups\": [{\"items\": [{\"password\": \"" + secret + "\xff\"}]}]}", "not UTF-8"},
        {"cp.csv", csvHeader + "g,t,u," + secret + ",w,n\n",
         "line 2 (Password): the text has characters that code page 1252 cannot hold, the first at character 13"},
        {"fields.csv", csvHeader + "g,t,u," + secret + ",w\n", "line 2: 5 fields"},
        {"quote.csv", csvHeader + "g,t,u,\"" + secret + "\n", "closing quote"},
    };
    const auto expectHidden = [&secret](const Outcome& o) {
        for (const std::string& part : {secret.substr(0, 11), secret.substr(12, 8), secret.substr(21)}) {
            EXPECT_EQ(o.err.find(part), std::string::npos) << o.err;
            EXPECT_EQ(o.out.find(part), std::string::npos) << o.out;
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(Path(c.name), c.content);
        const Outcome o =
            Run({"import", Path(c.name), Path("out.tkf"), "--password-fd", "0", "--codepage", "1252"}, "pw\n");
        ExpectOneErrorLine(o, 1, c.message);
        expectHidden(o);
        EXPECT_FALSE(fs::exists(Path("out.tkf")));
    }

    // A new password that the code page cannot hold, for import and passwd alike.
    WriteFile(Path("ok.json"), "{\"groups\": []}");
    Outcome o =
        Run({"import", Path("ok.json"), Path("out.tkf"), "--password-fd", "0", "--codepage", "1252"}, secret + "\n");
    ExpectOneErrorLine(o, 1, "the new password has characters that code page 1252 cannot hold");
    expectHidden(o);
    fs::copy_file(kData + "/example.tkf", Path("p.tkf"));
    o = Run({"passwd", Path("p.tkf"), "--password-fd", "0", "--codepage", "1252"}, "\n" + secret + "\n");
    ExpectOneErrorLine(o, 1, "the new password");
    expectHidden(o);

    // Replaced, the password's field is named and its text is not.
    o = Run(
        {"import", Path("cp.csv"), Path("out.tkf"), "--replace-unmappable", "--password-fd", "0", "--codepage", "1252"},
        "pw\n");
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.err.find("line 2 (Password)"), std::string::npos) << o.err;
    expectHidden(o);
}

// Every field that does not fit is named, not only the first; with --replace-unmappable
// each gets "?" per character and is listed, the rest stay as they are.
TEST_F(Tkf, ImportNamesOrReplacesEveryUnfitField) {
    const std::string title =
        "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82, \xd0\xbc\xd0\xb8\xd1\x80. "
        "\xd0\xad\xd1\x82\xd0\xbe \xd0\xb4\xd0\xbb\xd0\xb8\xd0\xbd\xd0\xbd\xd0\xbe"; // Привет, мир. Это длинно
    WriteFile(Path("in.json"), "{\"groups\": [{\"title\": \"" + title +
                              "\", \"items\": [{\"title\": \"caf\xc3\xa9\", \"login\": \"\xe2\x82\xac\xd0\x96\","
                              " \"password\": \"a\xd0\x96\", \"comment\": \"x\\n\xd0\x96\"}]}]}");
    Outcome o = Run({"import", Path("in.json"), Path("out.tkf"), "--password-fd", "0", "--codepage", "1252"}, "pw\n");
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err,
              "tkf: " + Path("in.json") + ": groups[0].title: \"" + title.substr(0, 28) +
                  "...\" has characters that code page 1252 cannot hold, the first at character 1 (see --codepage, "
                  "--replace-unmappable)\n"
                  "tkf: " +
                  Path("in.json") +
                  ": groups[0].items[0].login: \"\xe2\x82\xac\xd0\x96\" has characters "
                  "that code page 1252 cannot hold, the first at character 2 (see --codepage, --replace-unmappable)\n"
                  "tkf: " +
                  Path("in.json") +
                  ": groups[0].items[0].password: the text has characters that code "
                  "page 1252 cannot hold, the first at character 2 (see --codepage, --replace-unmappable)\n"
                  "tkf: " +
                  Path("in.json") +
                  ": groups[0].items[0].comment: \"x?\xd0\x96\" has characters that "
                  "code page 1252 cannot hold, the first at character 3 (see --codepage, --replace-unmappable)\n");
    EXPECT_FALSE(fs::exists(Path("out.tkf")));

    o = Run({"import", Path("in.json"), Path("out.tkf"), "--replace-unmappable", "--password-fd", "0", "--codepage",
             "1252"},
            "pw\n");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.err, "tkf: " + Path("in.json") +
                         ": groups[0].title: characters that code page 1252 cannot hold "
                         "were stored as \"?\"\n"
                         "tkf: " +
                         Path("in.json") +
                         ": groups[0].items[0].login: characters that code page 1252 "
                         "cannot hold were stored as \"?\"\n"
                         "tkf: " +
                         Path("in.json") +
                         ": groups[0].items[0].password: characters that code page 1252 "
                         "cannot hold were stored as \"?\"\n"
                         "tkf: " +
                         Path("in.json") +
                         ": groups[0].items[0].comment: characters that code page 1252 "
                         "cannot hold were stored as \"?\"\n"
                         "tkf: " +
                         Path("in.json") + ": JSON: 1 group and 1 item made\n");
    o = Run({"export", Path("out.tkf"), "--format", "json", "--password-fd", "0", "--codepage", "1252"}, "pw\n");
    EXPECT_NE(o.out.find("\"title\": \"??????, ???. ??? ??????\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"title\": \"caf\xc3\xa9\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"login\": \"\xe2\x82\xac?\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"password\": \"a?\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"comment\": \"x\\r\\n?\""), std::string::npos) << o.out;
}

// Other managers' exports, written from their documented layouts, imported as a user
// would: every field lands where it belongs, what has no place is appended to the
// comment under its name, and the same with either code page that holds the texts.
TEST_F(Tkf, ImportsTheExportsOfOtherManagers) {
    const std::string header = "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\r\n";
    struct Case {
        const char* file;
        const char* summary; // the first line after "tkf: FILE: "
        std::string csv;     // tkf's own CSV export of the result, after its header
    } cases[] = {
        {"chrome.csv", "Chrome CSV: 1 group and 3 items made",
         "\"Chrome\",\"accounts.example.com\",\"j\xc3\xbcrgen@example.com\",\"pa,ss\"\"w\xc3\xb6rd\","
         "\"https://accounts.example.com/signin?continue=1\",\"\"\r\n"
         "\"Chrome\",\"m\xc3\xbcnchen.example.de\",\"anna\",\"geheim\xe2\x82\xac\",\"https://m\xc3\xbcnchen.example.de/"
         "login\",\"first line\r\nsecond line, with a comma\"\r\n"
         "\"Chrome\",\"shop.example.org\",\"\",\"\",\"http://user@shop.example.org:8080/cart\",\"\"\r\n"},
        {"firefox.csv", "Firefox CSV: 1 group and 2 items made",
         "\"Firefox\",\"www.example.com\",\"zo\xc3\xab\",\"s3cr\"\"et\",\"https://www.example.com\",\"Form action "
         "origin: https://www.example.com\r\nCreated (ms since 1970): 1589617814635\r\nLast used (ms since 1970): "
         "1589710449871\r\nPassword changed (ms since 1970): 1589617846802\"\r\n"
         "\"Firefox\",\"intranet.example.net\",\"admin\",\"\",\"https://intranet.example.net:8443\",\"HTTP realm: "
         "Intranet, Zone 2\r\nCreated (ms since 1970): 1600000000000\"\r\n"},
        {"bitwarden.csv", "Bitwarden CSV: 3 groups and 3 items made",
         "\"Social\",\"Twitter\",\"me@example.com\",\"p\xc3\xa4ssword\",\"https://twitter.com\",\"Notes, with "
         "\"\"quotes\"\"\r\nand two lines\r\nFavorite: 1\r\nPIN: 1234\r\nRecovery: alpha beta\r\nURI: "
         "https://x.com\r\nTOTP: otpauth://totp/Twitter:me?secret=JBSWY3DPEHPK3PXP\"\r\n"
         "\"Bitwarden\",\"Wi-Fi at home\",\"\",\"\",\"\",\"SSID: Heim\r\nKey: 12345678\"\r\n"
         "\"Work/Servers\",\"git.example.com\",\"dev\",\"\",\"https://git.example.com/\",\"\"\r\n"},
        {"bitwarden.json", "Bitwarden JSON: 4 groups and 4 items made",
         "\"Social\",\"Mastodon, social\",\"me@example.com\",\"p\xc3\xa4ss,word\",\"https://mastodon.example/@me\","
         "\"Two lines\r\nwith \"\"quotes\"\" and \xc3\xbcmlauts\r\nrevisionDate: 2024-05-01T08:00:00.000Z\r\n"
         "creationDate: 2024-04-01T08:00:00.000Z\r\nFavorite: yes\r\nPIN: 1234\r\nURI: https://m.example\r\n"
         "TOTP: JBSWY3DPEHPK3PXP\"\r\n"
         "\"Work/Servers\",\"git.example.com\",\"dev\",\"\",\"https://git.example.com/login\",\"revisionDate: "
         "2024-05-03T08:00:00.000Z\r\ncreationDate: 2024-05-03T08:00:00.000Z\"\r\n"
         "\"Bitwarden\",\"Wi-Fi at home\",\"\",\"\",\"\",\"SSID: Heim\r\nrevisionDate: 2024-05-02T08:00:00.000Z\r\n"
         "creationDate: 2024-05-02T08:00:00.000Z\"\r\n"
         "\"Bitwarden\",\"Visa\",\"\",\"\",\"\",\"revisionDate: 2024-05-04T08:00:00.000Z\r\ncreationDate: "
         "2024-05-04T08:00:00.000Z\r\ncard.cardholderName: J\xc3\xbcrgen Example\r\ncard.brand: Visa\r\n"
         "card.number: 4111111111111111\r\ncard.expMonth: 12\r\ncard.expYear: 2030\r\ncard.code: 123\"\r\n"},
        {"1password.csv", "1Password CSV: 1 group and 2 items made",
         "\"1Password\",\"Bank \xc3\x96sterreich\",\"kunde42\",\"x,y\"\"z\",\"https://banking.example.at\","
         "\"Kontonummer: 123\r\nIBAN folgt\r\nOTPAuth: otpauth://totp/Bank?secret=GEZDGNBV\r\nFavorite: true\r\n"
         "Tags: finance,important\"\r\n"
         "\"1Password\",\"Forum\",\"guest\",\"\",\"\",\"\"\r\n"},
        {"passwordsafe.txt", "Password Safe text: 3 groups and 3 items made",
         "\"Finance/Banks\",\"Sparkasse\",\"max\",\"pass word\",\"https://sparkasse.example.de\",\"Line one\r\n"
         "Line two with \"\"quotes\"\" \r\nthird, with comma\r\nCreated Time: 2023/01/15 10:00:00\r\ne-mail: "
         "max@example.de\"\r\n"
         "\"Password Safe\",\"TopLevel\",\"bob\",\"p@ss\",\"\",\"\"\r\n"
         "\"Web\",\"example.com\",\"alice\",\"x\"\"y\",\"\",\"caf\xc3\xa9\"\r\n"},
        {"keepassxc.csv", "KeePassXC CSV: 2 groups and 2 items made",
         "\"Passwords\",\"Root entry\",\"root\",\"pw\",\"\",\"Last Modified: 2024-03-01T10:00:00Z\r\nCreated: "
         "2024-03-01T10:00:00Z\"\r\n"
         "\"Passwords/Privat/Sub, level\",\"B\xc3\xbc\x63herei\",\"leser\",\"a\"\"b,c\",\"https://bib.example.de\","
         "\"Zeile 1\r\nZeile 2\r\nTOTP: otpauth://totp/Bib?secret=JBSWY3DPEHPK3PXP&period=30&digits=6\r\n"
         "Last Modified: 2024-03-02T11:00:00Z\r\nCreated: 2024-01-01T09:00:00Z\"\r\n"},
    };
    for (const Case& c : cases) {
        for (const char* codePage : {"65001", "1252"}) {
            SCOPED_TRACE(std::string(c.file) + " in code page " + codePage);
            const std::string input = kData + "/imports/" + c.file;
            Outcome o =
                Run({"import", input, Path("out.tkf"), "--force", "--new-password-fd", "0", "--codepage", codePage},
                    "pw\n");
            ASSERT_EQ(o.code, 0) << o.err;
            EXPECT_EQ(o.err.rfind("tkf: " + input + ": " + c.summary + "\n", 0), 0u) << o.err;
            o = Run({"export", Path("out.tkf"), "--format", "csv", "--password-fd", "0", "--codepage", codePage},
                    "pw\n");
            ASSERT_EQ(o.code, 0) << o.err;
            EXPECT_EQ(o.out, header + c.csv);
        }
    }

    // Folders come in the order the export lists them, an empty one too; entries without
    // a folder come after them.
    Outcome o = Run({"import", kData + "/imports/bitwarden.json", Path("bw.tkf"), "--new-password-fd", "0"}, "\n");
    ASSERT_EQ(o.code, 0) << o.err;
    o = Run({"show", Path("bw.tkf"), "--password-fd", "0"}, "\n");
    std::vector<std::string> groups;
    std::istringstream lines(o.out);
    for (std::string line; std::getline(lines, line);)
        if (line.find(" (icon 0, open)") != std::string::npos)
            groups.push_back(line.substr(0, line.find(" (icon")));
    EXPECT_EQ(groups, (std::vector<std::string>{"Social", "Work/Servers", "Empty folder", "Bitwarden"}));
}

// The summary names every field appended or left out, never a value; --from forces a
// layout; comma, semicolon or tab and every kind of line end are read alike.
TEST_F(Tkf, ImportSummaryDropExtraAndForcedSources) {
    const std::string bitwarden = kData + "/imports/bitwarden.csv";
    Outcome o = Run({"import", bitwarden, Path("drop.tkf"), "--drop-extra", "--new-password-fd", "0"}, "pw\n");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.err, "tkf: " + bitwarden + ": Bitwarden CSV: 3 groups and 3 items made\n" + "tkf: " + bitwarden +
                         ": left out, by name (items): Favorite (1), PIN (1), Recovery (1), URI (1), TOTP (1)\n");
    o = Run({"export", Path("drop.tkf"), "--format", "csv", "--password-fd", "0"}, "pw\n");
    EXPECT_NE(o.out.find(",\"Notes, with \"\"quotes\"\"\r\nand two lines\"\r\n"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("JBSWY3DPEHPK3PXP"), std::string::npos) << o.out;
    o = Run({"import", bitwarden, Path("keep.tkf"), "--new-password-fd", "0"}, "pw\n");
    for (const char* value : {"JBSWY3DPEHPK3PXP", "1234", "x.com", "alpha"})
        EXPECT_EQ(o.err.find(value), std::string::npos) << value << "\n" << o.err;

    // One table in four spellings: the same entries.
    const char* const rows[3][5] = {{"name", "url", "username", "password", "note"},
                                    {"Caf\xc3\xa9", "https://a.example/", "me", "p;w,\"x\"", "two\nlines"},
                                    {"", "http://b.example", "", "", ""}};
    const auto table = [&rows](char separator, const std::string& lineEnd) {
        std::string text = "\xEF\xBB\xBF";
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 5; ++c) {
                std::string field = rows[r][c];
                if (field.find_first_of(";,\"\n") != std::string::npos) {
                    std::string quoted = "\"";
                    for (const char ch : field)
                        quoted += ch == '"' ? std::string("\"\"") : ch == '\n' ? lineEnd : std::string(1, ch);
                    field = quoted + "\"";
                }
                text += (c == 0 ? "" : std::string(1, separator)) + field;
            }
            text += lineEnd;
        }
        return text;
    };
    std::string first;
    for (const auto& [separator, lineEnd] :
         std::vector<std::pair<char, std::string>>{{',', "\n"}, {';', "\r\n"}, {'\t', "\r"}, {',', "\r"}}) {
        SCOPED_TRACE(std::string("separator ") + separator);
        WriteFile(Path("t.csv"), table(separator, lineEnd));
        o = Run({"import", Path("t.csv"), Path("t.tkf"), "--force", "--new-password-fd", "0"}, "pw\n");
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.err.rfind("tkf: " + Path("t.csv") + ": Chrome CSV: 1 group and 2 items made", 0), 0u) << o.err;
        o = Run({"export", Path("t.tkf"), "--format", "json", "--password-fd", "0"}, "pw\n");
        if (first.empty())
            first = o.out;
        EXPECT_EQ(o.out, first);
    }
    EXPECT_NE(first.find("\"password\": \"p;w,\\\"x\\\"\""), std::string::npos) << first;
    EXPECT_NE(first.find("\"comment\": \"two\\r\\nlines\""), std::string::npos) << first;
    EXPECT_NE(first.find("\"title\": \"b.example\""), std::string::npos) << first;

    // An older KeePassXC writes tkf's own six columns: forced, the entries without a group
    // go to the source's group instead of a group without a title.
    WriteFile(Path("k.csv"),
         "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\n\"\",\"a\",\"\",\"\",\"\",\"\"\n");
    o = Run({"import", Path("k.csv"), Path("k.tkf"), "--from", "keepassxc", "--new-password-fd", "0"}, "pw\n");
    ASSERT_EQ(o.code, 0) << o.err;
    o = Run({"export", Path("k.tkf"), "--format", "csv", "--password-fd", "0"}, "pw\n");
    EXPECT_NE(o.out.find("\r\n\"KeePassXC\",\"a\","), std::string::npos) << o.out;

    struct Refused {
        std::vector<std::string> args;
        int code;
        const char* message;
    } refused[] = {
        {{kData + "/imports/firefox.csv", "--from", "chrome"},
         1,
         "line 1: not the header of a Chrome CSV export: no \"name\" column"},
        {{kData + "/imports/bitwarden.json", "--from", "tallykey"}, 1, "unknown key \"encrypted\""},
        {{kData + "/imports/chrome.csv", "--from", "lastpass"}, 64, "--from is keepassxc, bitwarden"},
        {{kData + "/imports/bitwarden-encrypted.json"}, 1, "an encrypted Bitwarden export"},
        {{kData + "/imports/bitwarden-encrypted.json", "--from", "bitwarden"}, 1, "export the vault again"},
        {{kData + "/imports/chrome.csv", "--format", "bitwarden-json"}, 64, "--format json (or --from bitwarden)"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.message);
        std::vector<std::string> args{"import"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        args.insert(args.end(), {Path("no.tkf"), "--new-password-fd", "0"});
        ExpectOneErrorLine(Run(args, "pw\n"), r.code, r.message);
        EXPECT_FALSE(fs::exists(Path("no.tkf")));
    }
}

// Bitwarden's JSON as tkf writes it reads back to the same groups, items and texts (the
// icons and branch states have no place in it).
TEST_F(Tkf, BitwardenJsonExportReadsBack) {
    const std::string comment = "two\\r\\nlines, \\\"quoted\\\" \xd0\x96";
    WriteFile(Path("in.json"),
         "{\"groups\": [{\"title\": \"\xd0\x9f\xd0\xbe\xd1\x87\xd1\x82\xd0\xb0\", \"items\": ["
         "{\"title\": \"a, b\", \"login\": \"\xd0\xaf\", \"password\": \"p\\\"w\", \"weblink\": "
         "\"https://x.example/?a=1&b=2\", \"comment\": \"" +
             comment +
             "\"}, {}]},"
             " {\"title\": \"empty\"}, {\"title\": \"\"}, {\"title\": \"Web/Sub\", \"items\": [{\"title\": "
             "\"c\"}]}]}");
    Outcome o = Run({"import", Path("in.json"), Path("a.tkf"), "--new-password-fd", "0", "--codepage", "1251"}, "\n");
    ASSERT_EQ(o.code, 0) << o.err;
    o = Run({"export", Path("a.tkf"), "--format", "bitwarden-json", "--password-fd", "0", "--codepage", "1251"}, "\n");
    ASSERT_EQ(o.code, 0) << o.err;
    const std::string exported = o.out;
    EXPECT_EQ(exported.rfind("{\n  \"encrypted\": false,\n  \"items\": [", 0), 0u) << exported;
    EXPECT_NE(exported.find("\"uris\": [\n          {\n            \"match\": null,\n            \"uri\": "
                            "\"https://x.example/?a=1&b=2\"\n          }\n        ]"),
              std::string::npos)
        << exported;
    WriteFile(Path("bw.json"), exported);
    o = Run({"import", Path("bw.json"), Path("b.tkf"), "--new-password-fd", "0", "--codepage", "1251"}, "\n");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.err.rfind("tkf: " + Path("bw.json") + ": Bitwarden JSON: 4 groups and 3 items made\n", 0), 0u) << o.err;
    EXPECT_EQ(o.err.find("appended"), std::string::npos) << o.err;
    const auto json = [this](const std::string& file) {
        return Run({"export", Path(file), "--format", "json", "--password-fd", "0", "--codepage", "1251"}, "\n").out;
    };
    EXPECT_EQ(json("b.tkf"), json("a.tkf"));
}

TEST_F(Tkf, CheckAnswersWithItsExitCode) {
    const std::string cyr = kData + "/cyrillic-1251.tkf";
    EXPECT_EQ(Run({"check", cyr, "--password-fd", "0", "--codepage", "1251"}, kCyrillicPassword + "\n").code, 0);
    // The Windows-1251 bytes themselves are taken as they are.
    EXPECT_EQ(Run({"check", cyr, "--password-fd", "0"}, "\xcf\xe0\xf0\xee\xeb\xfc\r\n").code, 0);
    ExpectOneErrorLine(Run({"check", cyr, "--password-fd", "0", "--codepage", "1252"}, kCyrillicPassword + "\n"),
                       2, "wrong password");
    ExpectOneErrorLine(Run({"check", Path("missing.tkf"), "--password-fd", "0"}, "\n"), 1,
                       "No such file or directory");
    ExpectOneErrorLine(Run({"check", dir, "--password-fd", "0"}, "\n"), 1, "Is a directory");

    const std::string example = ReadFile(kData + "/example.tkf");
    WriteFile(Path("cut.tkf"), example.substr(0, example.size() - 5));
    ExpectOneErrorLine(Run({"check", Path("cut.tkf"), "--password-fd", "0"}, "\n"), 3,
                       "Invalid buffer size for decryption");
    // Too short for one encrypted block: damaged whatever the password, and said so before
    // a password is asked for (here there is no terminal to ask on).
    for (const std::string& bytes : {std::string(), std::string("abc"), std::string("\x20\0\0\0", 4)}) {
        WriteFile(Path("tiny.tkf"), bytes);
        ExpectOneErrorLine(Run({"check", Path("tiny.tkf"), "--password-fd", "0"}, "\n"), 3, "damaged file");
        ExpectOneErrorLine(Run({"get", Path("tiny.tkf"), "G/T"}), 3, bytes.empty() ? "it is empty" : "too short");
    }

    // Without a descriptor and without a terminal: the empty password is tried, and
    // nothing else can be asked.
    EXPECT_EQ(Run({"check", kData + "/example.tkf"}).code, 0);
    ExpectOneErrorLine(Run({"check", cyr}), 1, "no terminal");
    ExpectOneErrorLine(Run({"check", cyr, "--password-fd", "0"}, ""), 1, "no password line");
}

TEST_F(Tkf, ShowHidesPasswordsAndControlCharacters) {
    const std::string json =
        "{\"groups\": [{\"title\": \"G\\u001b[2J\", \"icon\": 4, \"expanded\": false, \"items\": ["
        "{\"title\": \"T\", \"password\": \"s3cret\", \"comment\": \"one\\r\\ntwo\"}]}]}";
    WriteFile(Path("in.json"), json);
    ASSERT_EQ(Run({"import", Path("in.json"), Path("s.tkf"), "--password-fd", "0"}, "k\n").code, 0);
    Outcome o = Run({"show", Path("s.tkf"), "--password-fd", "0"}, "k\n");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, "G?[2J (icon 4, closed)\n"
                     "  T (icon 17)\n"
                     "    Login:\n"
                     "    Password: (hidden)\n"
                     "    Web link:\n"
                     "    Comment:  one\n"
                     "              two\n");
    o = Run({"show", Path("s.tkf"), "--reveal", "--password-fd", "0"}, "k\n");
    EXPECT_NE(o.out.find("Password: s3cret\n"), std::string::npos);
    EXPECT_EQ(Run({"show", kData + "/empty.tkf"}).out, "(no groups)\n");
}

TEST_F(Tkf, PasswdReencryptsUnderTheNewPassword) {
    const std::string file = Path("p.tkf");
    fs::copy_file(kData + "/long-password.tkf", file);
    // Old and new password as two lines of one descriptor.
    Outcome o = Run({"passwd", file, "--password-fd", "0"}, "correct horse battery staple\nfresh\n");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(Run({"check", file, "--password-fd", "0"}, "correct horse battery staple\n").code, 2);
    EXPECT_EQ(Run({"check", file, "--password-fd", "0"}, "fresh\n").code, 0);
    o = Run({"export", file, "--format", "json", "--password-fd", "0"}, "fresh\n");
    EXPECT_EQ(o.out, ReadFile(kData + "/long-password.json") + "\n");

    // The new password from its own descriptor; a long one earns a note.
    const std::string fd3 = "a new password longer than sixteen\n";
    o = Run({"passwd", file, "--password-fd", "0", "--new-password-fd", tallykey::test::kExtraInput}, "fresh\n", &fd3);
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.err.find("first 16 bytes"), std::string::npos);
    EXPECT_EQ(Run({"check", file, "--password-fd", "0"}, "a new password l\n").code, 0);

    // A wrong old password changes nothing.
    const std::string before = ReadFile(file);
    ExpectOneErrorLine(Run({"passwd", file, "--password-fd", "0"}, "nope\nother\n"), 2, "wrong password");
    EXPECT_EQ(ReadFile(file), before);
}

// Damaged, special and read-only files: each refused with its reason, nothing changed.
TEST_F(Tkf, DamagedSpecialAndReadOnlyFiles) {
    const std::string example = ReadFile(kData + "/example.tkf");
    ASSERT_GT(example.size(), 4u + 16u);
    WriteFile(Path("cut.tkf"), example.substr(0, example.size() - 16));
    ExpectOneErrorLine(Run({"check", Path("cut.tkf"), "--password-fd", "0"}, "\n"), 3,
                       "damaged file: 16 bytes missing at its end");
    WriteFile(Path("huge.tkf"), "\xff\xff\xff\xff" + example.substr(4));
    const std::string missing = std::to_string((std::uint64_t(1) << 32) - (example.size() - 4));
    ExpectOneErrorLine(Run({"check", Path("huge.tkf"), "--password-fd", "0"}, "\n"), 3,
                       "damaged file: " + missing + " bytes missing");
    // Show gives what can be read and still fails; passwd does not make the loss permanent.
    Outcome o = Run({"show", Path("huge.tkf"), "--password-fd", "0"}, "\n");
    EXPECT_EQ(o.code, 3);
    EXPECT_NE(o.out.find("Mail"), std::string::npos);
    o = Run({"ls", Path("cut.tkf"), "--password-fd", "0"}, "\n");
    EXPECT_EQ(o.code, 3);
    EXPECT_EQ(o.out, "Mail\n");
    // get prints nothing: the item's field may be what was cut off.
    ExpectOneErrorLine(Run({"get", Path("cut.tkf"), "Mail/Box", "--field", "login", "--password-fd", "0"}, "\n"), 3,
                       "16 bytes missing");
    const std::string cut = ReadFile(Path("cut.tkf"));
    ExpectOneErrorLine(Run({"passwd", Path("cut.tkf"), "--password-fd", "0"}, "\nnew\n"), 3, "not rewritten");
    EXPECT_EQ(ReadFile(Path("cut.tkf")), cut);

#ifndef _WIN32 // Windows has no FIFO in the file system
    // A FIFO would hold the reading forever: refused at once, as a database and as input.
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    ExpectOneErrorLine(Run({"check", Path("fifo"), "--password-fd", "0"}, "\n"), 1, "Not a regular file");
    ExpectOneErrorLine(Run({"import", Path("fifo"), Path("x.tkf"), "--format", "json", "--password-fd", "0"}, "\n"),
                       1, "Not a regular file (use - to read standard input)");
#endif

    // Read-only: kept, also from root.
    WriteFile(Path("ro.tkf"), example);
    fs::permissions(Path("ro.tkf"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ExpectOneErrorLine(Run({"passwd", Path("ro.tkf"), "--password-fd", "0"}, "\nnew\n"), 1,
                       "cannot write: Permission denied");
    WriteFile(Path("in.json"), "{\"groups\": []}");
    ExpectOneErrorLine(Run({"import", Path("in.json"), Path("ro.tkf"), "--force", "--password-fd", "0"}, "\n"), 1,
                       "cannot write: Permission denied");
    EXPECT_EQ(ReadFile(Path("ro.tkf")), example);
    EXPECT_FALSE(fs::exists(Path("x.tkf")));
}

// A writer that holds the file longer than a second one will wait: the second fails and says why.
TEST_F(Tkf, ASecondWriterFailsClearlyWhenTheFirstTakesTooLong) {
    const std::string file = Path("p.tkf");
    fs::copy_file(kData + "/example.tkf", file);
    tallykey::FileLock held;
    ASSERT_EQ(held.Acquire(file, std::chrono::milliseconds(0)), tallykey::FileLock::Status::Locked);
    ExpectOneErrorLine(Run({"passwd", file, "--password-fd", "0"}, "\nnew\n"), 1,
                       "the file is being changed by another program; try again later");
    held.Release();
    EXPECT_EQ(ReadFile(file), ReadFile(kData + "/example.tkf"));
    EXPECT_EQ(Run({"passwd", file, "--password-fd", "0"}, "\nnew\n").code, 0);
}

TEST_F(Tkf, UsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"frob"},
             {"show"},
             {"export", "x.tkf"},
             {"export", "x.tkf", "--format", "xml"},
             {"show", "x.tkf", "--password", "hunter2"},
             {"check", "x.tkf", "--password-fd", "minus"},
             {"check", "x.tkf", "--force"},
             {"show", "x.tkf", "--bogus"},
         }) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.code, 64) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    }
    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--new-password-fd"), std::string::npos);
}

TEST_F(Tkf, VersionCommandHelpAndTheEndOfOptions) {
    const Outcome version = Run({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, std::string("tkf (Tallykey) ") + TALLYKEY_VERSION + "\n");

    // A command's help shows its own options only, wherever --help stands.
    for (const auto& args : {std::vector<std::string>{"import", "--help"}, {"--help", "import"}}) {
        const Outcome help = Run(args);
        EXPECT_EQ(help.code, 0);
        EXPECT_EQ(help.out.rfind("Usage: tkf import INPUT OUT.tkf", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("--force"), std::string::npos);
        EXPECT_EQ(help.out.find("--reveal"), std::string::npos);
    }
    ExpectOneErrorLine(Run({"frob", "--help"}), 64, "unknown command");

    // After "--" a name that begins with "-" is a file.
    const std::string json = kData + "/example.json";
    ExpectOneErrorLine(Run({"check", "-x.tkf"}), 64, "unknown option -x.tkf");
    EXPECT_EQ(Run({"import", "--password-fd", "0", "--", json, "-x.tkf"}, "pw\n").code, 0);
    ASSERT_TRUE(fs::exists(Path("-x.tkf")));
    EXPECT_EQ(Run({"check", "--password-fd", "0", "--", "-x.tkf"}, "pw\n").code, 0);
    EXPECT_EQ(Run({"check", "--password-fd", "0", "--", "-x.tkf"}, "wrong\n").code, 2);
}

// ls and get name every entry, also those whose names hold "/" or "\"; they print only
// names and the one field asked for.
TEST_F(Tkf, LsAndGetNameEveryEntry) {
    WriteFile(Path("in.json"), R"({"groups": [
        {"title": "Web/Mail", "items": [
            {"title": "https://mail.example", "login": "l1", "password": "p1", "weblink": "w1",
             "comment": "c1\r\nline 2"},
            {"title": "Home", "login": "l2", "password": "p2"}]},
        {"title": "A\\B", "items": [{"title": "x/y\\", "login": "l3", "password": "p3"}]},
        {"title": "Gr\u00fc\u00dfe", "items": [{"title": "\u00dcber", "login": "l4", "password": "p4"}]},
        {"title": "Dup", "items": [{"title": "Same", "login": "l5", "password": "p5"},
                                   {"title": "Same", "login": "l6", "password": "p6"}]},
        {"title": "Empty"}]})");
    const std::string file = Path("n.tkf");
    ASSERT_EQ(Run({"import", Path("in.json"), file, "--password-fd", "0", "--codepage", "1252"}, "pw\n").code, 0);
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--password-fd", "0", "--codepage", "1252"});
        return Run(args, "pw\n");
    };
    const auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    };

    const Outcome groups = run({"ls", file});
    ASSERT_EQ(groups.code, 0) << groups.err;
    EXPECT_EQ(groups.out, "Web/Mail\nA\\\\B\nGr\xc3\xbc\xc3\x9f" "e\nDup\nEmpty\n");
    // Every name that ls writes, joined as GROUP/TITLE, reaches its item.
    std::vector<std::string> logins;
    for (const std::string& group : lines(groups.out)) {
        const Outcome items = run({"ls", file, group});
        ASSERT_EQ(items.code, 0) << items.err;
        for (const std::string& title : lines(items.out)) {
            if (group == "Dup")
                continue; // several items of one name, below
            const Outcome got = run({"get", file, group + "/" + title, "--field", "login"});
            EXPECT_EQ(got.code, 0) << group << "/" << title << ": " << got.err;
            logins.push_back(got.out);
        }
    }
    EXPECT_EQ(logins, (std::vector<std::string>{"l1\n", "l2\n", "l3\n", "l4\n"}));
    EXPECT_EQ(run({"ls", file, "Web/Mail"}).out, "https:\\/\\/mail.example\nHome\n");

    // The password unless another field is asked for; a comment's lines end in LF.
    EXPECT_EQ(run({"get", file, "Web/Mail/https:\\/\\/mail.example"}).out, "p1\n");
    EXPECT_EQ(run({"get", file, "Web\\/Mail/Home", "--field", "password"}).out, "p2\n");
    EXPECT_EQ(run({"get", file, "Web/Mail/https:\\/\\/mail.example", "--field=weblink"}).out, "w1\n");
    EXPECT_EQ(run({"get", file, "Web/Mail/https:\\/\\/mail.example", "--field", "comment"}).out, "c1\nline 2\n");

    // 4: no such entry; 5: several, each named by its place.
    ExpectOneErrorLine(run({"get", file, "Web/Mail/home"}), 4, "no item \"Web/Mail/home\"");
    ExpectOneErrorLine(run({"get", file, "Mail/Home"}), 4, "no item");
    ExpectOneErrorLine(run({"ls", file, "Nope"}), 4, "no group \"Nope\"");
    Outcome o = run({"get", file, "Dup/Same"});
    EXPECT_EQ(o.code, 5);
    EXPECT_TRUE(o.out.empty());
    EXPECT_EQ(o.err, "tkf: " + file + ": 2 items have this name:\n"
                     "tkf:   Dup/Same (group 4, item 1)\n"
                     "tkf:   Dup/Same (group 4, item 2)\n");
    for (const Outcome& quiet : {o, run({"ls", file}), run({"ls", file, "Dup"}), run({"get", file, "Dup/x"}),
                                 run({"get", file, "Web/Mail/Home", "--field", "login"})})
        for (const char* secret : {"p1", "p2", "p3", "p4", "p5", "p6"})
            EXPECT_EQ((quiet.out + quiet.err).find(secret), std::string::npos) << quiet.out << quiet.err;

    ExpectOneErrorLine(Run({"get", file, "Web/Mail/Home", "--password-fd", "0"}, "wrong\n"), 2, "wrong password");
    ExpectOneErrorLine(Run({"ls", Path("missing.tkf"), "--password-fd", "0"}, "pw\n"), 1, "No such file");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"get", file, "Home"},                 // no group
             {"get", file, "Web\\Mail/Home"},       // an escape that means nothing
             {"ls", file, "A\\"},                    // a backslash at the end
             {"get", file, "Web/Mail/Home", "--field", "title"},
             {"get", file, "Web/Mail/Home", "--reveal"},
             {"get", file},
             {"ls", file, "Dup", "Same"},
         })
        ExpectOneErrorLine(run(args), 64, "");

    // After "--" a file may begin with "-", and so may a name.
    fs::copy_file(file, Path("-x.tkf"));
    EXPECT_EQ(Run({"ls", "--password-fd", "0", "--", "-x.tkf", "Dup"}, "pw\n").out, "Same\nSame\n");
    EXPECT_EQ(Run({"get", "--field", "login", "--password-fd=0", "--", "-x.tkf", "A\\\\B/x\\/y\\\\"}, "pw\n").out,
              "l3\n");
}

TEST_F(Tkf, GenerateDrawsFromTheEditorsAlphabet) {
    Outcome o = Run({"generate"});
    ASSERT_EQ(o.code, 0) << o.err;
    ASSERT_EQ(o.out.size(), 17u) << o.out; // 16 characters and the line end
    EXPECT_NE(Run({"generate"}).out, o.out);
    EXPECT_EQ(Run({"generate", "--length", "1"}).out.size(), 2u);
    // So many characters that each of the 62 shows up (all but certainly), and nothing else.
    o = Run({"generate", "--length=4096"});
    ASSERT_EQ(o.code, 0) << o.err;
    ASSERT_EQ(o.out.size(), 4097u);
    EXPECT_EQ(o.out.back(), '\n');
    std::string seen(o.out.begin(), o.out.end() - 1);
    std::sort(seen.begin(), seen.end());
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(seen, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

    for (const auto& args : std::vector<std::vector<std::string>>{{"generate", "--length", "0"},
                                                                  {"generate", "--length", "4097"},
                                                                  {"generate", "--length", "8x"},
                                                                  {"generate", "x.tkf"},
                                                                  {"generate", "--password-fd", "0"}})
        ExpectOneErrorLine(Run(args), 64, "");
    const Outcome help = Run({"generate", "--help"});
    EXPECT_EQ(help.out.rfind("Usage: tkf generate [OPTIONS]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--length N"), std::string::npos);
}

// The new password's line and then the data, on one descriptor: the line is taken, and
// the data is read from where it ends.
TEST_F(Tkf, ImportTakesThePasswordLineAndThenTheDataFromStandardInput) {
    const std::string json = ReadFile(kData + "/example.json");
    Outcome o = Run({"import", "-", Path("a.tkf"), "--password-fd", "0"}, "pw\n" + json);
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(Run({"export", Path("a.tkf"), "--format", "json", "--password-fd", "0"}, "pw\n").out, json + "\n");

    o = Run({"import", "-", Path("b.tkf"), "--password-fd", "0"}, "pw\r\nGroup,Title,Password\nG,T,secret\n");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(Run({"get", Path("b.tkf"), "G/T", "--password-fd", "0"}, "pw\n").out, "secret\n");

    // The new password on its own descriptor: standard input is all data.
    const std::string fd3 = "other\n";
    o = Run({"import", "-", Path("c.tkf"), "--new-password-fd", tallykey::test::kExtraInput}, json, &fd3);
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(Run({"check", Path("c.tkf"), "--password-fd", "0"}, "other\n").code, 0);
}

#ifndef _WIN32
// A pseudo-terminal session: the text the terminal shows, and its exit code.
struct TerminalRun {
    std::string screen;
    int code = -1;
};

TerminalRun RunOnTerminal(const std::vector<std::string>& args, const std::vector<std::string>& lines) {
    TerminalRun result;
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(kTkf.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(kTkf.c_str(), argv.data());
        ::_exit(127);
    }
    std::size_t next = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline || ::poll(&p, 1, 200) < 0)
            break;
        if (p.revents & POLLIN) {
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            result.screen.append(buffer, static_cast<std::size_t>(n));
            // Answer each prompt once it has appeared.
            if (next < lines.size() && result.screen.size() >= 2 &&
                result.screen.compare(result.screen.size() - 2, 2, ": ") == 0) {
                const std::string line = lines[next++] + "\r";
                (void)!::write(master, line.data(), line.size());
            }
        } else if (p.revents & (POLLHUP | POLLERR)) {
            break;
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

#endif

TEST_F(Tkf, TerminalAsksWithoutEchoAndTwiceForANewPassword) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a pseudo-terminal; the Windows console is tested in console_test.cpp";
#else
    const std::string file = Path("t.tkf");
    TerminalRun t = RunOnTerminal({"import", kData + "/example.json", file}, {"typed-secret", "typed-secret"});
    EXPECT_EQ(t.code, 0) << t.screen;
    EXPECT_NE(t.screen.find("New password: "), std::string::npos) << t.screen;
    EXPECT_NE(t.screen.find("Re-type password: "), std::string::npos) << t.screen;
    EXPECT_EQ(t.screen.find("typed-secret"), std::string::npos) << t.screen;
    EXPECT_EQ(Run({"check", file, "--password-fd", "0"}, "typed-secret\n").code, 0);

    t = RunOnTerminal({"import", kData + "/example.json", Path("u.tkf")}, {"one", "two"});
    EXPECT_EQ(t.code, 1);
    EXPECT_NE(t.screen.find("do not match"), std::string::npos) << t.screen;
    EXPECT_FALSE(fs::exists(Path("u.tkf")));

    t = RunOnTerminal({"show", file, "--reveal"}, {"typed-secret"});
    EXPECT_EQ(t.code, 0) << t.screen;
    EXPECT_NE(t.screen.find("Password for " + file + ": "), std::string::npos);
    EXPECT_NE(t.screen.find("Box (icon 17)"), std::string::npos);
#endif
}

// A crash while a password is typed leaves no core file, and the password's page is locked.
TEST_F(Tkf, APasswordBeingReadIsInLockedMemoryOfAProcessWithoutCoreDumps) {
#ifdef _WIN32
    GTEST_SKIP() << "reads the process's locked memory and core limit from Linux's /proc";
#else
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[0], 0);
        ::close(pipeFds[1]);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl(kTkf.c_str(), kTkf.c_str(), "check", (kData + "/example.tkf").c_str(), "--password-fd", "0",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[0]);
    ASSERT_EQ(::write(pipeFds[1], "w", 1), 1); // the start of a password, no line end yet
    const std::string proc = "/proc/" + std::to_string(pid);
    // tkf takes the byte and waits for the next; its locked page shows once the byte is in.
    const auto lockedKilobytes = [&proc] {
        const std::string status = ReadFile(proc + "/status");
        const std::size_t at = status.find("VmLck:");
        return at == std::string::npos ? 0ul : std::stoul(status.substr(at + 6));
    };
    unsigned long locked = 0;
    for (int i = 0; i < 100 && locked == 0; ++i) {
        locked = lockedKilobytes();
        if (locked == 0)
            ::usleep(10000);
    }
    const std::string limits = ReadFile(proc + "/limits");
    ASSERT_EQ(::write(pipeFds[1], "rong\n", 5), 5);
    ::close(pipeFds[1]);
    int exit = 0;
    ::waitpid(pid, &exit, 0);
    EXPECT_EQ(WEXITSTATUS(exit), 2); // the password was read and tried
    EXPECT_NE(limits.find("Max core file size        0                    0"), std::string::npos) << limits;
#if !defined(__SANITIZE_ADDRESS__) // AddressSanitizer makes mlock do nothing
    EXPECT_GE(locked, 4ul);
#endif
#endif
}

} // namespace
