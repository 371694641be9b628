// TransferSettings: the fourteen keys of the settings file, and where the file lives.
#include <gtest/gtest.h>

#include <filesystem>

#include "mainwindow/main_form.h"
#include "preferences/settings.h"
#include "test_app.h"
#include "toolkit/application.h"

using namespace tallykey;
namespace fs = std::filesystem;

namespace {

class SettingsFile : public test::PreferencesTest {
protected:
    std::string Load() {
        std::string current = "memory.tkf";
        TransferSettings(false, window, current);
        return current;
    }
    toolkit::Window window{toolkit::WindowStyle::Main};
};

TEST_F(SettingsFile, FirstStartThenSaveWritesTheFourteenKeysInOrder) {
    window.SetPosition(203, 109);
    window.SetClientSize(474, 445);
    const toolkit::Rect built = window.OuterRect();
    EXPECT_EQ(Load(), "memory.tkf");
    EXPECT_TRUE(Settings().HidePass);
    EXPECT_FALSE(Settings().QuickCopy || Settings().BeepOnCopy || Settings().MinOnCopy ||
                 Settings().OnWebLink || Settings().MinimizeToTray || Settings().BeepWithCard);
    EXPECT_EQ(window.OuterRect(), built);
    EXPECT_FALSE(fs::exists(SettingsFilePath()));

    Settings().LangFile = "/opt/tallykey/russian.lng";
    Settings().QuickCopyItem = 5;
    Settings().OnWebLink = true;
    std::string current = "/home/u/my passwords.tkf";
    TransferSettings(true, window, current);
    EXPECT_EQ(current, "/home/u/my passwords.tkf");
    const toolkit::Rect r = window.OuterRect();
    EXPECT_EQ(folder.Read("tallyk.ini"),
              "[Settings]\r\nHidePass=1\r\nLastFile=/home/u/my passwords.tkf\r\n"
              "LangFile=/opt/tallykey/russian.lng\r\nLeft=" + std::to_string(r.left) +
              "\r\nTop=" + std::to_string(r.top) + "\r\nHeight=" + std::to_string(r.height) +
              "\r\nWidth=" + std::to_string(r.width) +
              "\r\nQuickCopy=0\r\nQuickCopyItem=5\r\nBeepOnCopy=0\r\nBeepWithCard=0\r\n"
              "MinOnCopy=0\r\nOnWebLink=1\r\nMinimizeToTray=0\r\n");
}

TEST_F(SettingsFile, LoadsValuesAsThePlatformReadsThem) {
    folder.Write("tallyk.ini",
                 "[settings]\n"
                 "hidepass=abc\n"
                 "LASTFILE=/data/a.tkf\n"
                 "LangFile=" + std::string(5000, 'L') + "\n"
                 "Left=150\nTop=-20\nHeight=300\nWidth=410\n"
                 "QuickCopy=7\nQuickCopyItem=261\nBeepOnCopy=1\nBeepWithCard=1\n"
                 "MinOnCopy=yes\nOnWebLink=1\nMinimizeToTray=1\n");
    EXPECT_EQ(Load(), "/data/a.tkf");
    const TSettings& s = Settings();
    EXPECT_FALSE(s.HidePass);           // not a number: off
    EXPECT_EQ(s.LangFile, std::string(4095, 'L'));
    EXPECT_EQ(s.QuickCopyItem, 5);      // low 8 bits of 261
    EXPECT_TRUE(s.QuickCopy && s.BeepOnCopy && s.BeepWithCard && s.OnWebLink && s.MinimizeToTray);
    EXPECT_FALSE(s.MinOnCopy);
    EXPECT_EQ(window.OuterRect(), (toolkit::Rect{150, -20, 410, 300}));

    folder.Write("tallyk.ini", "[Settings]\nHidePass=0\nQuickCopyItem=-1\n");
    Load();
    EXPECT_FALSE(Settings().HidePass);
    EXPECT_EQ(Settings().QuickCopyItem, 255);
}

TEST_F(SettingsFile, SavingKeepsCommentsAndUnknownKeys) {
    folder.Write("tallyk.ini",
                 "; written by hand\n[Settings]\nHidePass=0\nFutureOption=42\n\n[Elsewhere]\nLeft=1\n");
    std::string current = "a.tkf";
    Load();
    TransferSettings(true, window, current);
    const std::string saved = folder.Read("tallyk.ini");
    EXPECT_TRUE(saved.starts_with("; written by hand\n[Settings]\nHidePass=0\nFutureOption=42\nLastFile=a.tkf\n"))
        << saved;
    EXPECT_TRUE(saved.ends_with("MinimizeToTray=0\n\n[Elsewhere]\nLeft=1\n")) << saved;
}

TEST(SettingsPath, BesideTheExecutableOrInTheUserConfigFolder) {
    test::TestApp();
    // The test program's own folder can be written: the file goes beside it.
    SetSettingsFilePath({});
    const std::string exe = toolkit::Application::ExePath();
    EXPECT_EQ(SettingsFilePath(), fs::path(exe).replace_extension(".ini").string());

    test::TempFolder config;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = old ? old : "";
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    EXPECT_EQ(SettingsFilePathFor("/no/such/folder/tallyk"), config.File("tallykey/tallyk.ini"));
    EXPECT_EQ(fs::status(config.File("tallykey")).permissions(), fs::perms::owner_all);
    EXPECT_EQ(SettingsFilePathFor(config.File("tallyk")), config.File("tallyk.ini"));
    old ? setenv("XDG_CONFIG_HOME", keep.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

} // namespace
