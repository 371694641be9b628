// Where an installed program and a portable copy find their own files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "preferences/data_files.h"
#include "preferences/language.h"
#include "preferences/options_dialog.h"
#include "preferences/settings.h"
#include "test_app.h"

using namespace tallykey;

namespace {

class DataFiles : public test::PreferencesTest {
protected:
    // An install: prefix/bin with prefix/share/tallykey beside it.
    DataFiles() {
        folder.Write("prefix/share/tallykey/russian.lng", "[Main Form]\n");
        folder.Write("prefix/share/tallykey/tallyk_eng.chm", "ITSF");
        folder.Write("prefix/share/doc/tallykey/html/index.html", "<html>");
        folder.Write("prefix/bin/tallyk", "");
        SetProgramFolder(bin);
    }
    const std::string bin = folder.File("prefix/bin");
    const std::string share = folder.File("prefix/share/tallykey") + "/";
};

TEST_F(DataFiles, BesideTheExecutableFirstThenTheInstallsShareFolder) {
    EXPECT_EQ(InstalledDataFolder(bin + "/"), share);
    EXPECT_EQ(DataFilePath("russian.lng"), share + "russian.lng");
    EXPECT_EQ(DataFilePath("tallyk_eng.chm"), share + "tallyk_eng.chm");
    // A missing file belongs to the install: that is the path a warning names.
    EXPECT_EQ(DataFilePath("tallyk_rus.chm"), share + "tallyk_rus.chm");
    EXPECT_EQ(HtmlHelpIndex(), folder.File("prefix/share/doc/tallykey/html/index.html"));

    // Files beside the executable win, and each language is listed once.
    folder.Write("prefix/bin/russian.lng", "[Main Form]\n");
    folder.Write("prefix/bin/german.lng", "[Main Form]\n");
    folder.Write("prefix/bin/help/index.html", "<html>");
    EXPECT_EQ(DataFilePath("russian.lng"), bin + "/russian.lng");
    EXPECT_EQ(LanguageFileNames(), (std::vector<std::string>{"german.lng", "russian.lng"}));
    EXPECT_EQ(HtmlHelpIndex(), bin + "/help/index.html");

    // A folder without the install's share folder beside it is a portable copy.
    SetProgramFolder(folder.File("portable"));
    folder.Write("portable/tallyk", "");
    EXPECT_EQ(InstalledDataFolder(folder.File("portable/")), "");
    EXPECT_EQ(DataFilePath("russian.lng"), folder.File("portable/russian.lng"));
    EXPECT_EQ(HtmlHelpIndex(), "");
}

TEST_F(DataFiles, AnInstalledProgramNeverKeepsItsSettingsInItsOwnFolder) {
    test::TempFolder config;
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string keepConfig = oldConfig ? oldConfig : "", keepHome = oldHome ? oldHome : "";
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    folder.Write("portable/tallyk", "");
    // The folder can be written (as /usr/bin can by root), yet the settings go to the user's folder.
    EXPECT_EQ(SettingsFilePathFor(bin + "/tallyk"), config.File("tallykey/tallyk.ini"));
    EXPECT_EQ(SettingsFilePathFor(folder.File("portable/tallyk")), folder.File("portable/tallyk.ini"));
    // A portable copy that cannot write its folder reads the file beside it until
    // its own file in the user's folder exists; an installed one never does.
    const std::string fallback = config.File("tallykey/tallyk.ini");
    folder.Write("portable/tallyk.ini", "[Settings]\nHidePass=0\n");
    folder.Write("prefix/bin/tallyk.ini", "[Settings]\nHidePass=0\n");
    EXPECT_EQ(SettingsReadPathFor(folder.File("portable/tallyk"), fallback), folder.File("portable/tallyk.ini"));
    EXPECT_EQ(SettingsReadPathFor(bin + "/tallyk", fallback), fallback);
    config.Write("tallykey/tallyk.ini", "[Settings]\n");
    EXPECT_EQ(SettingsReadPathFor(folder.File("portable/tallyk"), fallback), fallback);

    // Without any home folder an installed program keeps no settings at all.
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(SettingsFilePathFor(bin + "/tallyk"), "");
    oldConfig ? setenv("XDG_CONFIG_HOME", keepConfig.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    oldHome ? setenv("HOME", keepHome.c_str(), 1) : unsetenv("HOME");
}

} // namespace
