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
                 "MinOnCopy=yes\nOnWebLink=1\nMinimizeToTray=1\nClearClipboard=30\n");
    EXPECT_EQ(Load(), "/data/a.tkf");
    EXPECT_EQ(Settings().ClearClipboard, 30);
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
                 "; written by hand\n[Settings]\nHidePass=0\nCodePage=1251\nFutureOption=42\n\n[Elsewhere]\nLeft=1\n");
    std::string current = "a.tkf";
    Load();
    EXPECT_EQ(Settings().CodePage, 1251); // set by hand, kept in its place
    TransferSettings(true, window, current);
    const std::string saved = folder.Read("tallyk.ini");
    EXPECT_TRUE(saved.starts_with(
        "; written by hand\n[Settings]\nHidePass=0\nCodePage=1251\nFutureOption=42\nLastFile=a.tkf\n"))
        << saved;
    EXPECT_TRUE(saved.ends_with("MinimizeToTray=0\n\n[Elsewhere]\nLeft=1\n")) << saved;
}

TEST_F(SettingsFile, WindowRectangleIsMadeUsableOnTheScreen) {
    const toolkit::Rect area = test::TestApp().WorkAreaNear({0, 0, 1, 1});
    ASSERT_GT(area.width, 300);
    ASSERT_GT(area.height, 200);
    const int big = 2147483647;
    const int small = -2147483647 - 1;
    for (const toolkit::Rect stored :
         {toolkit::Rect{big, big, big, big}, toolkit::Rect{small, small, small, small},
          toolkit::Rect{0, 0, 0, 0}, toolkit::Rect{10, 10, -5, -1}, toolkit::Rect{10, 10, 10, 10},
          toolkit::Rect{-100000, 50, 300, 200}, toolkit::Rect{50, area.height + 500, 300, 200}}) {
        SCOPED_TRACE(std::to_string(stored.left) + "," + std::to_string(stored.top) + " " +
                     std::to_string(stored.width) + "x" + std::to_string(stored.height));
        const toolkit::Rect r = UsableWindowRect(stored, area);
        EXPECT_TRUE(r.width >= 200 && r.width <= area.width);
        EXPECT_TRUE(r.height >= 100 && r.height <= area.height);
        // A grip of the caption is on the screen.
        EXPECT_LE(r.left, area.right() - 100);
        EXPECT_GE(r.right(), area.left + 100);
        EXPECT_TRUE(r.top >= area.top - 20 && r.top <= area.bottom() - 10);
    }
    // What fits is kept as it is, a caption partly above the screen included.
    EXPECT_EQ(UsableWindowRect({150, -20, 410, 300}, area), (toolkit::Rect{150, -20, 410, 300}));

    // Through the file: the window gets the usable rectangle and a save keeps it.
    folder.Write("tallyk.ini", "[Settings]\nLeft=2147483647\nTop=-5\nHeight=0\nWidth=100000\n");
    Load();
    const toolkit::Rect used = window.OuterRect();
    EXPECT_EQ(used, UsableWindowRect({2147483647, -5, 100000, 0}, area));
    std::string current = "a.tkf";
    TransferSettings(true, window, current);
    EXPECT_NE(folder.Read("tallyk.ini").find("Left=" + std::to_string(used.left) + "\nTop=" +
                                             std::to_string(used.top) + "\nHeight=100\nWidth=" +
                                             std::to_string(area.width) + "\n"),
              std::string::npos)
        << folder.Read("tallyk.ini");
}

TEST(SettingsPath, BesideTheExecutableOrInTheUserConfigFolder) {
    test::TestApp();
    // The test program's own folder can be written: the file goes beside it.
    SetSettingsFilePath({});
    const std::string exe = toolkit::Application::ExePath();
    EXPECT_EQ(SettingsFilePath(), fs::path(exe).replace_extension(".ini").string());

#ifndef _WIN32
    // Linux: a folder the program cannot write sends it to the user's configuration.
    test::TempFolder config;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = old ? old : "";
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    EXPECT_EQ(SettingsFilePathFor("/no/such/folder/tallyk"), config.File("tallykey/tallyk.ini"));
    EXPECT_EQ(fs::status(config.File("tallykey")).permissions(), fs::perms::owner_all);
    EXPECT_EQ(SettingsFilePathFor(config.File("tallyk")), config.File("tallyk.ini"));
    old ? setenv("XDG_CONFIG_HOME", keep.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
#endif
}

} // namespace
