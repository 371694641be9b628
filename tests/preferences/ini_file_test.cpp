// The INI reader and writer against the behaviour of the platform's
// private-profile functions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "preferences/ini_file.h"
#include "support/temp_folder.h"

using tallykey::IniParseInt;
using tallykey::IniRead;
using tallykey::IniSection;
using tallykey::IniWrite;

namespace {

using Dir = IniSection::Direction;

TEST(IniText, ReadsNamesRegardlessOfCaseAndBlanks) {
    const std::string text =
        "; comment=1\r\n"
        "stray=before any section\r\n"
        "[Other]\r\n"
        "Key=other\r\n"
        "  [ settings ]  \r\n"
        "  HIDEPASS =  0 \r\n"
        "LastFile=C:\\a=b.tkf\r\n"
        "Quoted=\"  spaced  \"\r\n"
        "Half=\"open\r\n"
        "NoEquals\r\n"
        "HidePass=1\r\n"
        "[Settings]\r\n"
        "Second=only in a later section\r\n";
    EXPECT_EQ(IniRead(text, "Settings", "hidepass"), "0");      // the first key counts
    EXPECT_EQ(IniRead(text, "SETTINGS", "LastFile"), "C:\\a=b.tkf"); // split at the first '='
    EXPECT_EQ(IniRead(text, "Settings", "Quoted"), "  spaced  ");
    EXPECT_EQ(IniRead(text, "Settings", "Half"), "\"open");
    EXPECT_EQ(IniRead(text, "Other", "key"), "other");
    EXPECT_FALSE(IniRead(text, "Settings", "Key"));
    EXPECT_FALSE(IniRead(text, "Settings", "NoEquals"));
    EXPECT_FALSE(IniRead(text, "Settings", "Second"));       // only the first section of a name
    EXPECT_FALSE(IniRead(text, "Settings", "; comment"));
    EXPECT_FALSE(IniRead(text, "", "stray"));
    EXPECT_FALSE(IniRead(text, "Missing", "Key"));
}

TEST(IniText, LineEndsAndByteOrderMark) {
    const std::string lf = "[A]\nx=1\ny=two\n";
    const std::string crlf = "[A]\r\nx=1\r\ny=two\r\n";
    const std::string bom = "\xEF\xBB\xBF[A]\r\nx=1\r\ny=two";
    for (const std::string& text : {lf, crlf, bom}) {
        EXPECT_EQ(IniRead(text, "a", "X"), "1");
        EXPECT_EQ(IniRead(text, "A", "y"), "two");
    }
    // Writing keeps each file's line ends and its mark.
    EXPECT_EQ(IniWrite(lf, "A", "z", "3"), "[A]\nx=1\ny=two\nz=3\n");
    EXPECT_EQ(IniWrite(crlf, "A", "X", "9"), "[A]\r\nx=9\r\ny=two\r\n");
    EXPECT_EQ(IniWrite(bom, "A", "z", "3"), "\xEF\xBB\xBF[A]\r\nx=1\r\ny=two\r\nz=3");
    EXPECT_EQ(IniWrite("", "S", "k", "v"), "[S]\r\nk=v\r\n");
    EXPECT_EQ(IniWrite("\xEF\xBB\xBF", "S", "k", "v"), "\xEF\xBB\xBF[S]\r\nk=v\r\n");
}

TEST(IniText, WritesInPlaceAndAppendsWithinTheSection) {
    const std::string text =
        "; my settings\n"
        "[Settings]\n"
        "  hidepass = 1\n"
        "Unknown=kept\n"
        "\n"
        "[Later]\n"
        "HidePass=untouched";
    std::string out = IniWrite(text, "SETTINGS", "HidePass", "0");
    EXPECT_EQ(out,
              "; my settings\n[Settings]\n  hidepass=0\nUnknown=kept\n\n[Later]\nHidePass=untouched");
    out = IniWrite(out, "Settings", "LangFile", "");
    EXPECT_EQ(out, "; my settings\n[Settings]\n  hidepass=0\nUnknown=kept\nLangFile=\n\n"
                   "[Later]\nHidePass=untouched");
    out = IniWrite(out, "New", "K", "line one\nline two");
    EXPECT_EQ(out, "; my settings\n[Settings]\n  hidepass=0\nUnknown=kept\nLangFile=\n\n"
                   "[Later]\nHidePass=untouched\n[New]\nK=line one\n");
    EXPECT_EQ(IniRead(out, "new", "k"), "line one");
}

TEST(IniText, NumbersAsGetPrivateProfileIntReadsThem) {
    EXPECT_EQ(IniParseInt("261"), 261);
    EXPECT_EQ(IniParseInt("-42x"), -42);
    EXPECT_EQ(IniParseInt("+7"), 7);
    EXPECT_EQ(IniParseInt("  12 34"), 12);
    EXPECT_EQ(IniParseInt("abc"), 0);
    EXPECT_EQ(IniParseInt("-"), 0);
    EXPECT_EQ(IniParseInt("0x10"), 0);
    EXPECT_EQ(IniParseInt("4294967297"), 1); // 32-bit wrap, as the platform does
    EXPECT_EQ(IniParseInt("-2147483648"), INT32_MIN);
}

class IniFile : public ::testing::Test {
protected:
    tallykey::test::TempFolder dir;
    std::string path = dir.File("settings.ini");
};

TEST_F(IniFile, MissingFileSectionOrKeyGiveTheDefault) {
    IniSection ini(path, "Settings", Dir::Read);
    EXPECT_TRUE(ini.ExchangeBool("HidePass", true));
    EXPECT_EQ(ini.ExchangeInt("Left", -5), -5);
    EXPECT_EQ(ini.ExchangeString("LastFile", "x"), "x");
    EXPECT_FALSE(std::filesystem::exists(path)); // reading makes no file

    dir.Write("settings.ini", "[Other]\nLeft=1\n[Settings]\nTop=\nHidePass=abc\nOnWebLink=-3\n");
    EXPECT_EQ(ini.ExchangeInt("Left", 9), 9);
    EXPECT_EQ(ini.ExchangeInt("Top", 9), 9);     // empty counts as missing
    EXPECT_FALSE(ini.ExchangeBool("HidePass", true)); // not a number: 0
    EXPECT_TRUE(ini.ExchangeBool("OnWebLink", false));
    EXPECT_EQ(ini.ExchangeString("Top", "d"), "");
}

TEST_F(IniFile, ValuesAreCutAt4095AndAtNul) {
    std::string longText(5000, 'p');
    IniSection writer(path, "Settings", Dir::Write);
    EXPECT_EQ(writer.ExchangeString("LangFile", longText), longText);
    EXPECT_EQ(dir.Read("settings.ini"), "[Settings]\r\nLangFile=" + longText + "\r\n");
    IniSection reader(path, "Settings", Dir::Read);
    EXPECT_EQ(reader.ExchangeString("LangFile", ""), std::string(4095, 'p'));
    EXPECT_EQ(reader.ExchangeString("Missing", longText), std::string(4095, 'p'));

    dir.Write("settings.ini", std::string("[Settings]\nA=ab\0cd\n", 19));
    EXPECT_EQ(reader.ExchangeString("A", ""), "ab");
}

TEST_F(IniFile, WritingKeepsOtherLinesAndReplacesTheFileWhole) {
    dir.Write("settings.ini", "# mine\r\n[settings]\r\nhidepass=0\r\nFuture=1\r\n\r\n[Other]\r\nX=y\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write);
    IniSection ini(path, "Settings", Dir::Write);
    EXPECT_EQ(ini.ExchangeBool("HidePass", true), true);
    EXPECT_EQ(ini.ExchangeInt("Left", -20), -20);
    EXPECT_EQ(dir.Read("settings.ini"),
              "# mine\r\n[settings]\r\nhidepass=1\r\nFuture=1\r\nLeft=-20\r\n\r\n[Other]\r\nX=y\r\n");
#ifndef _WIN32 // Windows files have no POSIX modes to keep
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
    // Nothing is left behind beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()), 1);
}

TEST_F(IniFile, WritesThroughALinkAndFailsQuietly) {
#ifndef _WIN32 // symbolic links need a privilege on Windows
    dir.Write("real.ini", "[S]\nA=1\n");
    std::filesystem::create_symlink(dir.File("real.ini"), path);
    IniSection(path, "S", Dir::Write).ExchangeInt("A", 2);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(dir.Read("real.ini"), "[S]\nA=2\n");
#endif

    // A folder where the file should be: nothing is written, nothing thrown.
    std::string folder = dir.File("folder.ini");
    std::filesystem::create_directory(folder);
    IniSection blocked(folder, "S", Dir::Write);
    EXPECT_EQ(blocked.ExchangeString("K", "v"), "v");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    IniSection missingFolder(dir.File("no/such/place.ini"), "S", Dir::Write);
    EXPECT_EQ(missingFolder.ExchangeInt("K", 3), 3);
}

// Bytes no INI writer makes: nothing crashes, and what cannot be read gives
// the default.
TEST_F(IniFile, HostileContent) {
    std::mt19937 random(20240607);
    std::string noise(200000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    const std::string longLine(100000, 'k');
    const std::vector<std::string> files = {
        noise,
        std::string(4096, '\0'),
        "[Settings]\nHidePass=0",                       // no final newline
        "\xEF\xBB\xBF[Settings]\r\nHidePass=0\r\n",
        "[Settings]\n" + longLine + "\nHidePass=0\n" + longLine + "=x\n",
        "[" + longLine + "]\nHidePass=1\n[Settings]\nHidePass=0\n",
        "\r\r\r[Settings]\r\rHidePass=0\r\r",             // CR only: one long line
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        dir.Write("settings.ini", files[i]);
        IniSection reader(path, "Settings", Dir::Read);
        bool hide = reader.ExchangeBool("HidePass", true);
        if (i >= 2 && i <= 5) {
            EXPECT_FALSE(hide);
        } else if (i <= 1) {
            EXPECT_TRUE(hide); // no [Settings] header in those
        }
        EXPECT_EQ(reader.ExchangeInt("Nothing", 77), 77);
        IniSection writer(path, "Settings", Dir::Write);
        writer.ExchangeInt("Left", 5);
        EXPECT_EQ(reader.ExchangeInt("Left", 0), 5);
    }
}

} // namespace
