// Web links, the help file and the about box.
#include "desktop/web_help_about.h"
#include "desktop_test.h"

namespace tallykey::test {
namespace {

class WebHelpAboutTest : public DesktopTest {
protected:
    ~WebHelpAboutTest() override {
        SetProgramFolder(std::string());
        MessageTexts() = TMessageTexts{};
    }
    std::vector<std::string>& Opened() { return platform.shell.opened; }
};

TEST_F(WebHelpAboutTest, WebLinksGetHttpUnlessTheyStartWithAKnownScheme) {
    Settings().OnWebLink = true;
    Settings().BeepOnCopy = true;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"example.com", "http://example.com"},
        {"HTTP://x", "http://HTTP://x"}, // compared case-sensitively
        {"https://x", "https://x"},
        {"https:x", "https:x"},
        {"http://x", "http://x"},
        {"ftp://x", "ftp://x"},
        {"ftp:/x", "http://ftp:/x"},
        {"ftp", "http://ftp"}, // shorter than six characters
        {"mailto:me@example.com", "http://mailto:me@example.com"},
    };
    for (const auto& [link, address] : cases) {
        Opened().clear();
        Parts(*form).WebLinkBox->SetText(link);
        toolkit::input::ClickOn(*Parts(*form).OpenLinkButton);
        EXPECT_EQ(Opened(), std::vector<std::string>{address}) << link;
    }
    Parts(*form).WebLinkBox->SetText("");
    Opened().clear();
    toolkit::input::ClickOn(*Parts(*form).OpenLinkButton);
    EXPECT_TRUE(Opened().empty());
    EXPECT_TRUE(Copies().empty());
    EXPECT_TRUE(Beeps().empty());
}

TEST_F(WebHelpAboutTest, WithOnWebLinkOffTheButtonCopiesTheAddress) {
    Settings().BeepOnCopy = true;
    Select(0, 0);
    toolkit::input::ClickOn(*Parts(*form).OpenLinkButton);
    EXPECT_TRUE(Opened().empty());
    EXPECT_EQ(Copies(), std::vector<std::string>{"mail.example.com"});
    EXPECT_EQ(Beeps(), std::vector<int>{2250});
}

TEST_F(WebHelpAboutTest, HelpOpensTheFileBesideTheProgramOrWarns) {
    SetProgramFolder(dir.File(""));
    const std::string folder = ProgramFolder();
    script.answers = {toolkit::IDOK, toolkit::IDOK};
    toolkit::input::PressKey(*form, toolkit::VK_F1);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, "'" + folder + "tallyk_eng.chm' not found.");
    EXPECT_EQ(script.boxes[0].caption, "Warning");
    EXPECT_EQ(script.boxes[0].flags, toolkit::MB_ICONEXCLAMATION | toolkit::MB_OK);
    EXPECT_EQ(script.boxes[0].owner, form.get());
    EXPECT_TRUE(Opened().empty());

    // A folder of that name is no help file.
    std::filesystem::create_directory(folder + "tallyk_eng.chm");
    Parts(*form).MainMenu->Click(MenuContents);
    EXPECT_EQ(script.boxes.size(), 2u);
    std::filesystem::remove(folder + "tallyk_eng.chm");

    WriteFile(folder + "tallyk_eng.chm", "ITSF");
    toolkit::input::PressKey(*form, toolkit::VK_F1);
    EXPECT_EQ(Opened(), std::vector<std::string>{folder + "tallyk_eng.chm"});

    // A language file may name another help file.
    MessageTexts().HelpFile = "tallyk_rus.chm";
    script.answers = {toolkit::IDOK};
    Parts(*form).MainMenu->Click(MenuContents);
    ASSERT_EQ(script.boxes.size(), 3u);
    EXPECT_EQ(script.boxes[2].text, "'" + folder + "tallyk_rus.chm' not found.");
    WriteFile(folder + "tallyk_rus.chm", "ITSF");
    Parts(*form).MainMenu->Click(MenuContents);
    EXPECT_EQ(Opened().back(), folder + "tallyk_rus.chm");
}

#ifndef _WIN32 // the layout of a Linux install; on Windows the help stands beside the program
TEST_F(WebHelpAboutTest, InstalledHelpAndTheWebPagesWhereNoViewerShowsIt) {
    const std::string share = dir.File("share/tallykey/"), html = dir.File("share/doc/tallykey/html/index.html");
    std::filesystem::create_directories(dir.File("bin"));
    std::filesystem::create_directories(dir.File("share/doc/tallykey/html"));
    std::filesystem::create_directories(share);
    WriteFile(share + "tallyk_eng.chm", "ITSF");
    WriteFile(html, "<html>");
    SetProgramFolder(dir.File("bin"));
    toolkit::input::PressKey(*form, toolkit::VK_F1);
    EXPECT_EQ(Opened(), std::vector<std::string>{share + "tallyk_eng.chm"});

    platform.shell.withoutOpener.insert(share + "tallyk_eng.chm");
    toolkit::input::PressKey(*form, toolkit::VK_F1);
    EXPECT_EQ(Opened().back(), html);
    // No web pages either: the help file is handed to the desktop all the same.
    std::filesystem::remove(html);
    toolkit::input::PressKey(*form, toolkit::VK_F1);
    EXPECT_EQ(Opened().back(), share + "tallyk_eng.chm");
    EXPECT_TRUE(script.boxes.empty());
}
#endif

TEST_F(WebHelpAboutTest, AboutShowsTheVersionWithLinesEndingInLfCr) {
    script.answers = {toolkit::IDOK};
    Parts(*form).MainMenu->Click(MenuAbout);
    ASSERT_EQ(script.boxes.size(), 1u);
    const toolkit::MessageBoxRequest& box = script.boxes[0];
    EXPECT_EQ(box.caption, "About");
    EXPECT_EQ(box.flags, toolkit::MB_ICONINFORMATION | toolkit::MB_OK);
    EXPECT_EQ(box.owner, form.get());
    const std::string& text = box.text;
    EXPECT_EQ(text.rfind("Tallykey version 0.4.4\n\r\n\rPassword management utility.\n\r\n\r", 0), 0u) << text;
    // Split on LF CR: the fixed lines, then contact lines, none empty at the end.
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\n\r", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Tallykey version 0.4.4");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Password management utility.");
    EXPECT_EQ(lines[3], "");
    for (std::size_t i = 4; i < lines.size(); ++i) {
        EXPECT_FALSE(lines[i].empty());
        EXPECT_EQ(lines[i].find_first_of("\r\n"), std::string::npos) << "a lone line break in " << i;
    }
}

} // namespace
} // namespace tallykey::test
