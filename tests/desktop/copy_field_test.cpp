// Copying a field: texts, beeps, the copy sound, minimising and the clipboard.
#include "desktop_test.h"

namespace tallykey::test {
namespace {

using toolkit::input::ClickOn;
using toolkit::input::PressKeyOn;

class CopyFieldTest : public DesktopTest {};

TEST_F(CopyFieldTest, ButtonsAndEnterCopyTheirFieldWithItsBeep) {
    Settings().BeepOnCopy = true;
    Select(0, 0);
    ClickOn(*Parts(*form).CopyLoginButton);
    ClickOn(*Parts(*form).CopyPasswordButton);
    ClickOn(*Parts(*form).OpenLinkButton); // copies while OnWebLink is off
    PressKeyOn(*Parts(*form).LoginBox, toolkit::VK_RETURN);
    PressKeyOn(*Parts(*form).PasswordBox, toolkit::VK_RETURN);
    EXPECT_EQ(Copies(), (std::vector<std::string>{"me", "pw1", "mail.example.com", "me", "pw1"}));
    EXPECT_EQ(Beeps(), (std::vector<int>{1750, 2000, 2250, 1750, 2000}));
    EXPECT_EQ(platform.clipboard.text, "pw1");
    EXPECT_TRUE(platform.sound.waves.empty());
    EXPECT_FALSE(Minimized());
}

TEST_F(CopyFieldTest, QuickCopyTakesTheChosenFieldWithItsPitch) {
    Settings().BeepOnCopy = true;
    Settings().QuickCopy = true;
    struct Case {
        int item;
        int entry;
        std::string text; // empty: nothing copied
        int frequency;
    };
    const std::vector<Case> cases = {
        {0, 0, "Box", 1500},
        {1, 0, "me", 1750},
        {2, 0, "pw1", 2000},
        {3, 0, "mail.example.com", 2250},
        {4, 0, "line 1\r\nline 2", 2500},
        {5, 2, "only-pw", 500}, // "Login >> password" without a login
        {6, 0, "", 0},          // no such choice
        {255, 0, "", 0},
        {3, 1, "", 0},          // the chosen field is empty
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("QuickCopyItem " + std::to_string(c.item));
        platform.clipboard.history.clear();
        platform.sound.beeps.clear();
        Settings().QuickCopyItem = static_cast<std::uint8_t>(c.item);
        SelectGroup(1);
        Select(0, c.entry);
        if (c.text.empty()) {
            EXPECT_TRUE(Copies().empty());
            EXPECT_TRUE(Beeps().empty());
        } else {
            EXPECT_EQ(Copies(), std::vector<std::string>{c.text});
            EXPECT_EQ(Beeps(), std::vector<int>{c.frequency});
        }
    }
}

TEST_F(CopyFieldTest, EmptyFieldLeavesClipboardAndSpeakerAlone) {
    Settings().BeepOnCopy = true;
    Settings().MinOnCopy = true;
    platform.clipboard.SetText("from another program");
    Select(0, 2); // no login
    ClickOn(*Parts(*form).CopyLoginButton);
    Select(0, 3); // no password, no web link
    ClickOn(*Parts(*form).CopyPasswordButton);
    ClickOn(*Parts(*form).OpenLinkButton);
    CopyField(*form, 9); // no such mode
    EXPECT_EQ(platform.clipboard.text, "from another program");
    EXPECT_EQ(Copies().size(), 1u);
    EXPECT_EQ(platform.clipboard.clears, 0);
    EXPECT_TRUE(Beeps().empty());
    EXPECT_FALSE(Minimized());
    EXPECT_FALSE(Parts(*form).TreeMenu->IsPopupSuppressed());
}

TEST_F(CopyFieldTest, MaskedPasswordBoxStillCopiesTheRealPassword) {
    form->RecreatePasswordBox(true);
    Select(1, 0);
    ASSERT_TRUE(Parts(*form).PasswordBox->IsPasswordStyle());
    ClickOn(*Parts(*form).CopyPasswordButton);
    PressKeyOn(*Parts(*form).PasswordBox, toolkit::VK_RETURN); // Enter survives the re-creation
    EXPECT_EQ(Copies(), (std::vector<std::string>{"0000", "0000"}));
}

TEST_F(CopyFieldTest, CopySoundPlaysTheEmbeddedWaveWithoutWaiting) {
    Settings().BeepOnCopy = true;
    Settings().BeepWithCard = true;
    Select(0, 0);
    ClickOn(*Parts(*form).CopyLoginButton);
    ClickOn(*Parts(*form).CopyPasswordButton);
    EXPECT_EQ(platform.sound.waves, (std::vector<std::size_t>{11882, 11882}));
    EXPECT_TRUE(platform.sound.beeps.empty());
    EXPECT_TRUE(script.boxes.empty());

    // Without BeepOnCopy nothing sounds, whichever device is chosen.
    Settings().BeepOnCopy = false;
    ClickOn(*Parts(*form).CopyLoginButton);
    EXPECT_EQ(platform.sound.waves.size(), 2u);
}

TEST_F(CopyFieldTest, MissingWaveIsReportedOnEveryCopyAndMinimisingFollows) {
    Settings().BeepOnCopy = true;
    Settings().BeepWithCard = true;
    SetCopySoundLookup([](std::string_view) { return toolkit::ResourceData{}; });
    Select(0, 0);
    script.answers = {toolkit::IDOK, toolkit::IDOK};
    ClickOn(*Parts(*form).CopyLoginButton);
    EXPECT_FALSE(Minimized());
    Settings().MinOnCopy = true;
    ClickOn(*Parts(*form).CopyPasswordButton);
    ASSERT_EQ(script.boxes.size(), 2u);
    for (const toolkit::MessageBoxRequest& box : script.boxes) {
        EXPECT_EQ(box.text, "Wave resource not found.");
        EXPECT_EQ(box.caption, "Tallykey 0.4");
        EXPECT_EQ(box.flags, toolkit::MB_OK | toolkit::MB_SETFOREGROUND);
    }
    EXPECT_TRUE(platform.sound.waves.empty());
    EXPECT_EQ(Copies(), (std::vector<std::string>{"me", "pw1"})); // the copy itself happened
    EXPECT_TRUE(Minimized());
}

TEST_F(CopyFieldTest, MinimiseOnCopyShutsOnlyThePopupOfThatAction) {
    Settings().MinOnCopy = true;
    Select(0, 0);
    ClickOn(*Parts(*form).CopyLoginButton);
    EXPECT_TRUE(Minimized());
    // A pop-up that the same mouse action opens is not shown...
    EXPECT_TRUE(Parts(*form).TreeMenu->IsPopupSuppressed());
    EXPECT_FALSE(Parts(*form).TreeMenu->Popup(10, 10));
    // ...but the tree's menu opens again for later clicks.
    TestApp().ProcessMessages();
    RestoreWindow();
    EXPECT_FALSE(Parts(*form).TreeMenu->IsPopupSuppressed());
    EXPECT_TRUE(Parts(*form).TreeMenu->Popup(10, 10));

    // Without MinOnCopy nothing is suppressed or minimised.
    Settings().MinOnCopy = false;
    ClickOn(*Parts(*form).CopyPasswordButton);
    EXPECT_FALSE(Parts(*form).TreeMenu->IsPopupSuppressed());
    EXPECT_FALSE(Minimized());
}

TEST_F(CopyFieldTest, ClearClipboardEmptiesItSilently) {
    Settings().BeepOnCopy = true;
    Settings().MinOnCopy = true;
    Select(0, 0);
    platform.clipboard.SetText("secret");
    Parts(*form).MainMenu->Click(MenuClearClipboard);
    EXPECT_EQ(platform.clipboard.text, "");
    EXPECT_EQ(platform.clipboard.clears, 1);
    EXPECT_TRUE(Beeps().empty());
    EXPECT_FALSE(Minimized());

    EXPECT_TRUE(TextToClipboard("x"));
    EXPECT_EQ(platform.clipboard.text, "x");
    platform.clipboard.fail = true; // held by another program
    EXPECT_FALSE(TextToClipboard("y"));
    EXPECT_FALSE(TextToClipboard(""));
    // A lost copy still sounds, as the result is not looked at.
    platform.clipboard.fail = true;
    ClickOn(*Parts(*form).CopyLoginButton);
    EXPECT_EQ(Beeps(), std::vector<int>{1750});
}

TEST_F(CopyFieldTest, ClearClipboardTakesOffOnlyWhatTheProgramPutThere) {
    Settings().ClearClipboard = 1;
    Select(0, 0);
    ClickOn(*Parts(*form).CopyPasswordButton);
    const auto copied = std::chrono::steady_clock::now();
    ClickOn(*Parts(*form).CopyLoginButton); // the later copy is the one waited for
    ASSERT_TRUE(PumpUntil([&] { return platform.clipboard.text.empty(); }, 10000));
    EXPECT_GE(std::chrono::steady_clock::now() - copied, std::chrono::seconds(1));
    EXPECT_EQ(platform.clipboard.clears, 1);

    // Something copied by another program meanwhile stays where it is.
    ClickOn(*Parts(*form).CopyPasswordButton);
    platform.clipboard.text = "copied elsewhere";
    PumpUntil([] { return false; }, 2500);
    EXPECT_EQ(platform.clipboard.text, "copied elsewhere");
    EXPECT_EQ(platform.clipboard.clears, 1);
}

} // namespace
} // namespace tallykey::test
