// The "Login >> password" hot key: when it is armed, what firing does, and
// that every close request releases it.
#include "desktop/quick_copy.h"
#include "desktop_test.h"

namespace tallykey::test {
namespace {

class QuickCopyTest : public DesktopTest {
protected:
    QuickCopyTest() { Settings().QuickCopyItem = 5; }
    void Fire() { platform.hotKeys.Press(kQuickCopyHotKeyId); }
};

TEST_F(QuickCopyTest, QuickCopyOffCopiesNothingExceptLoginThenPassword) {
    Settings().QuickCopy = false;
    Settings().QuickCopyItem = 2;
    Select(0, 0);
    EXPECT_TRUE(Copies().empty());
    EXPECT_FALSE(Armed());

    // The "Login >> password" mode works whether quick copy is ticked or not.
    Settings().QuickCopyItem = 5;
    Select(0, 1);
    EXPECT_EQ(Copies(), std::vector<std::string>{"web-user"});
    ASSERT_TRUE(Armed());
    EXPECT_EQ(platform.hotKeys.registered.at(kQuickCopyHotKeyId), std::make_pair(unsigned(toolkit::ModCtrl), 0x56));
    // Without a login and with quick copy off, nothing happens.
    Select(0, 2);
    EXPECT_EQ(Copies().size(), 1u);
    EXPECT_FALSE(Armed());
}

TEST_F(QuickCopyTest, ArmedOnlyWhileAnEntryWithALoginIsSelected) {
    Settings().BeepOnCopy = true;
    Select(0, 0);
    EXPECT_TRUE(Armed());
    EXPECT_EQ(Beeps(), std::vector<int>{1750});
    // Another entry with a login: the registration in force stays.
    Select(0, 1);
    EXPECT_TRUE(Armed());
    EXPECT_EQ(platform.hotKeys.registered.size(), 1u);
    SelectGroup(1);
    EXPECT_FALSE(Armed());
    Select(1, 0);
    EXPECT_TRUE(Armed());
    Select(0, 2); // no login
    EXPECT_FALSE(Armed());
    EXPECT_EQ(Copies(), (std::vector<std::string>{"me", "web-user", "1234"}));

    // With quick copy ticked, an entry without a login gets its password at once, at 500 Hz.
    Settings().QuickCopy = true;
    Select(0, 0);
    Select(0, 2);
    EXPECT_FALSE(Armed());
    EXPECT_EQ(Copies().back(), "only-pw");
    EXPECT_EQ(Beeps().back(), 500);
}

TEST_F(QuickCopyTest, FiringPassesCtrlVOnThenCopiesThePassword) {
    Settings().BeepOnCopy = true;
    Select(0, 0);
    ASSERT_EQ(platform.clipboard.text, "me");
    Fire();
    EXPECT_FALSE(Armed());
    using toolkit::KeyEvent;
    ASSERT_EQ(platform.hotKeys.sent.size(), 4u);
    const std::vector<std::pair<int, bool>> expected = {{0x11, false}, {0x56, false}, {0x56, true}, {0x11, true}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(platform.hotKeys.sent[i].vk, expected[i].first);
        EXPECT_EQ(platform.hotKeys.sent[i].up, expected[i].second);
    }
    EXPECT_EQ(platform.clipboard.text, "pw1");
    EXPECT_EQ(Beeps(), (std::vector<int>{1750, 2000}));
    // Not armed again: the next Ctrl+V is an ordinary paste of the password.
    Fire();
    EXPECT_EQ(platform.hotKeys.sent.size(), 4u + 4u); // a stale key still runs the steps
    EXPECT_EQ(Copies(), (std::vector<std::string>{"me", "pw1", "pw1"}));

    // Other hot keys are not ours.
    platform.hotKeys.sent.clear();
    QuickCopyHotKeyPressed(*form, 7);
    EXPECT_TRUE(platform.hotKeys.sent.empty());
}

TEST_F(QuickCopyTest, EmptyPasswordLeavesTheLoginOnTheClipboard) {
    Select(0, 3);
    ASSERT_TRUE(Armed());
    Fire();
    EXPECT_EQ(platform.clipboard.text, "only-login");
    EXPECT_EQ(Copies().size(), 1u);
    EXPECT_EQ(platform.hotKeys.sent.size(), 4u);
}

TEST_F(QuickCopyTest, RefusedKeyStillCopiesTheLogin) {
    platform.hotKeys.refuse = true;
    Select(0, 0);
    EXPECT_FALSE(Armed());
    EXPECT_EQ(platform.clipboard.text, "me");
}

TEST_F(QuickCopyTest, DesktopWithoutGlobalKeysSaysSoOnceAndCopiesTheLogin) {
    platform.hotKeys.available = false;
    script.answers = {toolkit::IDOK};
    Select(0, 0);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_NE(script.boxes[0].text.find("Ctrl+V"), std::string::npos);
    EXPECT_EQ(script.boxes[0].caption, "Login >> password");
    EXPECT_EQ(platform.clipboard.text, "me");
    Select(1, 0);
    Select(0, 0);
    EXPECT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(platform.clipboard.text, "me");
}

TEST_F(QuickCopyTest, MinimiseOnCopyAfterTheLoginAndAfterThePassword) {
    Settings().MinOnCopy = true;
    Select(0, 0);
    EXPECT_TRUE(Minimized());
    RestoreWindow();
    ASSERT_FALSE(Minimized());
    Fire();
    EXPECT_TRUE(Minimized());
}

TEST_F(QuickCopyTest, EveryCloseRequestReleasesTheKeyEvenWhenCancelled) {
    Parts(*form).CurrentFile = dir.File("open.tkf");
    Parts(*form).Saved = false;
    form->SetSaveEnabled(true);
    Select(0, 0);
    ASSERT_TRUE(Armed());
    script.answers = {toolkit::IDCANCEL};
    toolkit::input::ClickCloseBox(*form);
    TestApp().ProcessMessages();
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_NE(script.boxes[0].text.find("Save changes to"), std::string::npos);
    EXPECT_TRUE(form->IsShown()); // the close was cancelled
    EXPECT_FALSE(Armed());
    // The next qualifying selection arms it again.
    Select(0, 1);
    EXPECT_TRUE(Armed());
    ReleaseQuickCopyHotKey();
    EXPECT_FALSE(Armed());
}

} // namespace
} // namespace tallykey::test
