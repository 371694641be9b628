// Minimising into the notification area and coming back from it.
#include "desktop/tray.h"
#include "desktop_test.h"

namespace tallykey::test {
namespace {

class TrayTest : public DesktopTest {
protected:
    toolkit::FakeTrayIcon& Tray() { return platform.trayIcon; }
};

TEST_F(TrayTest, RecordIsFilledOnceWithTheApplicationCaption) {
    EXPECT_EQ(Parts(*form).TrayIcon.id, 1);
    EXPECT_EQ(Parts(*form).TrayIcon.tip, "Tallykey 0.4");
    toolkit::ResourceData icon = toolkit::FindResource("MAINICON");
    EXPECT_EQ(Parts(*form).TrayIcon.icon.data, icon.data);
    EXPECT_EQ(Parts(*form).TrayIcon.icon.size, icon.size);
    // The tip field holds 63 characters and its NUL.
    TestApp().SetCaption(std::string(80, 'x'));
    PrepareTrayIcon(Parts(*form).TrayIcon);
    EXPECT_EQ(Parts(*form).TrayIcon.tip, std::string(63, 'x'));
    TestApp().SetCaption(kAppTitle);
    PrepareTrayIcon(Parts(*form).TrayIcon);
}

TEST_F(TrayTest, WithoutTheOptionMinimisingLeavesNoIcon) {
    TestApp().SendMinimizeCommand();
    EXPECT_EQ(Tray().adds, 0);
    EXPECT_TRUE(form->IsShown());
    EXPECT_TRUE(form->IsMinimized());
}

TEST_F(TrayTest, MinimiseHidesIntoOneIconThatOnlyALeftClickRestores) {
    Settings().MinimizeToTray = true;
    TestApp().SendMinimizeCommand();
    ASSERT_EQ(Tray().IconCount(), 1);
    EXPECT_EQ(Tray().icons.at(1).tip, "Tallykey 0.4");
    EXPECT_FALSE(form->IsShown());

    for (int ignored : {toolkit::WM_RBUTTONUP, toolkit::WM_LBUTTONDBLCLK, toolkit::WM_LBUTTONDOWN,
                        toolkit::WM_MOUSEMOVE, toolkit::WM_MBUTTONUP}) {
        Tray().Mouse(ignored);
        EXPECT_FALSE(form->IsShown()) << ignored;
        EXPECT_EQ(Tray().IconCount(), 1) << ignored;
    }

    Tray().Mouse(toolkit::WM_LBUTTONUP);
    EXPECT_TRUE(form->IsShown());
    EXPECT_FALSE(form->IsMinimized());
    EXPECT_FALSE(TestApp().IsMinimized());
    EXPECT_EQ(Tray().IconCount(), 0);

    // Again and again: added each time, never two at once.
    TestApp().SendMinimizeCommand();
    EXPECT_EQ(Tray().IconCount(), 1);
    TestApp().SendMinimizeCommand();
    EXPECT_EQ(Tray().IconCount(), 1);
    Tray().Mouse(toolkit::WM_LBUTTONUP);
    EXPECT_EQ(Tray().IconCount(), 0);
    EXPECT_EQ(Tray().deletes, 2);

    // Turning the option off leaves an icon already shown alone.
    TestApp().SendMinimizeCommand();
    Settings().MinimizeToTray = false;
    EXPECT_EQ(Tray().IconCount(), 1);
    Tray().Mouse(toolkit::WM_LBUTTONUP);
    EXPECT_EQ(Tray().IconCount(), 0);
}

TEST_F(TrayTest, EveryCopyGoesToTheTrayWithMinimiseOnCopy) {
    Settings().MinimizeToTray = true;
    Settings().MinOnCopy = true;
    Select(0, 0);
    toolkit::input::ClickOn(*Parts(*form).CopyPasswordButton);
    EXPECT_EQ(Tray().IconCount(), 1);
    EXPECT_FALSE(form->IsShown());
    // The hot key can fire while the program is in the tray: still one icon.
    Settings().QuickCopyItem = 5;
    Tray().Mouse(toolkit::WM_LBUTTONUP);
    Select(0, 1);
    EXPECT_EQ(Tray().IconCount(), 1);
    platform.hotKeys.Press(kQuickCopyHotKeyId);
    EXPECT_EQ(Tray().IconCount(), 1);
    EXPECT_EQ(platform.clipboard.text, "pw2");
}

TEST_F(TrayTest, WithoutANotificationAreaTheProgramMinimisesNormally) {
    Settings().MinimizeToTray = true;
    Tray().available = false;
    TestApp().SendMinimizeCommand();
    EXPECT_EQ(Tray().adds, 0);
    EXPECT_TRUE(form->IsShown());
    EXPECT_TRUE(form->IsMinimized());
}

} // namespace
} // namespace tallykey::test
