// Language files: which file is in use, how its texts are read, and the
// "Main Form" loader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "mainwindow/main_form.h"
#include "preferences/language.h"
#include "preferences/settings.h"
#include "test_app.h"
#include "toolkit/ansi_text.h"

using namespace tallykey;

namespace {

std::string Cp1251(const std::string& utf8) { return toolkit::Utf8ToAnsi(utf8, 1251); }

class Language : public test::PreferencesTest {
protected:
    void Use(const std::string& name, const std::string& content) {
        folder.Write(name, content);
        Settings().LangFile = folder.File(name);
    }
};

TEST_F(Language, WhichFileIsInUse) {
    EXPECT_FALSE(LanguageSection("Main Form").InUse());
    Settings().LangFile = folder.File("deleted.lng");
    EXPECT_FALSE(LanguageSection("Main Form").InUse());
    Settings().LangFile = folder.Path();
    EXPECT_FALSE(LanguageSection("Main Form").InUse());
    EXPECT_EQ(LanguageSection("Main Form").Read("HelpFile", "tallyk_eng.chm"), "tallyk_eng.chm");

    Use("empty.lng", "");
    LanguageSection empty("Main Form");
    EXPECT_TRUE(empty.InUse());
    EXPECT_EQ(empty.Read("Login"), "");
    EXPECT_EQ(empty.Read("HelpFile", "tallyk_eng.chm"), "tallyk_eng.chm");
    EXPECT_EQ(ProgramFolder(), folder.File(""));
}

TEST_F(Language, TextsAreReadAsBytesOrFromUtf8) {
    Use("mixed.lng", "[options form]\r\ntitle=  Konfiguration \r\nClose=" + std::string(5000, 'c') +
                         "\r\nLanguage=" + Cp1251("Язык:") + "\r\n");
    LanguageSection bytes("Options Form");
    EXPECT_EQ(bytes.Read("Title"), "Konfiguration");
    EXPECT_EQ(bytes.Read("Close"), std::string(4095, 'c'));
    EXPECT_EQ(bytes.Read("Language"), Cp1251("Язык:")); // bytes pass unchanged

    const int codePage = toolkit::CurrentCodePage();
    toolkit::SetCurrentCodePage(1251);
    Use("utf8.lng", "\xEF\xBB\xBF[Options Form]\nLanguage=Язык:\nTitle=日本\n");
    LanguageSection utf8("Options Form");
    EXPECT_EQ(utf8.Read("Language"), Cp1251("Язык:"));
    EXPECT_EQ(utf8.Read("Title"), "??"); // not in the code page
    toolkit::SetCurrentCodePage(codePage);
}

// A file may name its code page in its first section; its texts then reach
// the windows in the code page in use, whatever the file was written in.
TEST_F(Language, AFileNamesItsOwnCodePage) {
    EXPECT_EQ(LanguageFileCodePage("; note\r\n [Main Form] \r\ncodepage = 1251\r\n"), 1251);
    EXPECT_EQ(LanguageFileCodePage("[Main Form]\nLogin=x\n[Options Form]\nCodePage=1251\n"), 0); // not the first
    EXPECT_EQ(LanguageFileCodePage("[Main Form]\nCodePage=99999\n"), 0);                         // unknown here
    EXPECT_EQ(LanguageFileCodePage("\xEF\xBB\xBF[Main Form]\nCodePage=1251\n"), 0);              // UTF-8 all the same
    EXPECT_EQ(LanguageFileCodePage("Login=x\n"), 0);

    const int codePage = toolkit::CurrentCodePage();
    Use("ru.lng", "[Main Form]\r\nCodePage=1251\r\nLogin=" + Cp1251("Логин:") + "\r\n");
    for (const auto& [inUse, expected] : std::vector<std::pair<int, std::string>>{
             {1251, Cp1251("Логин:")}, {65001, "Логин:"}, {1252, "?????:"}, {20866, "\xec\xcf\xc7\xc9\xce:"}}) {
        toolkit::SetCurrentCodePage(inUse);
        EXPECT_EQ(LanguageSection("Main Form").Read("Login"), expected) << inUse;
    }
    toolkit::SetCurrentCodePage(codePage);
}

// The code page of a run: --codepage, else the setting, else the language
// file's own (unless UTF-8), else the locale's.
TEST_F(Language, TheCodePageOfARun) {
#ifdef _WIN32
    const int locale = toolkit::SystemCodePage(); // Windows' ANSI code page
#else
    const char* lcAll = std::getenv("LC_ALL");
    const std::string savedLcAll = lcAll ? lcAll : "";
    ::setenv("LC_ALL", "pl_PL.UTF-8", 1);
    const int locale = 1250;
#endif
    TSettings& s = Settings();
    EXPECT_EQ(ChooseCodePage(), locale);
    Use("ru.lng", "[Main Form]\nCodePage=1251\n");
    EXPECT_EQ(ChooseCodePage(), 1251);
    s.CodePage = 1253;
    EXPECT_EQ(ChooseCodePage(), 1253);
    s.CommandLineCodePage = 65001;
    EXPECT_EQ(ChooseCodePage(), 65001);
    s.CommandLineCodePage = 0;
    s.CodePage = 4242; // unknown: as if not set
    EXPECT_EQ(ChooseCodePage(), 1251);
    Use("utf8.lng", "[Main Form]\nCodePage=65001\n");
    EXPECT_EQ(ChooseCodePage(), locale);
#ifndef _WIN32
    if (lcAll)
        ::setenv("LC_ALL", savedLcAll.c_str(), 1);
    else
        ::unsetenv("LC_ALL");
#endif
}

TEST_F(Language, HostileFilesGiveEmptyTexts) {
    std::mt19937 random(77);
    std::string noise(100000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    for (const std::string& content : std::vector<std::string>{noise, std::string(10000, '\0'), "\xEF\xBB\xBF" + noise, std::string(100000, '['),
          "[Main Form]\n" + std::string(100000, 'x') + "\nLogin", "\xEF\xBB\xBF[Main Form]\nLogin=\xFF\xFE\x80"}) {
        Use("bad.lng", content);
        LanguageSection section("Main Form");
        EXPECT_TRUE(section.InUse());
        EXPECT_EQ(section.Read("Password"), "");
        EXPECT_LE(section.Read("Login").size(), 4095u);
    }
}

class MainFormTexts : public Language {
protected:
    MainForm form;

    std::vector<std::string> MenuTexts(const toolkit::Menu& menu) {
        std::vector<std::string> texts;
        for (int i = 0; i < menu.Count(); ++i)
            texts.push_back(menu.Text(i));
        return texts;
    }
};

TEST_F(MainFormTexts, TheShippedRussianFileAndBackToEnglish) {
    Settings().LangFile = test::ShippedRussian();
    ASSERT_TRUE(std::filesystem::exists(Settings().LangFile));
    // It names its code page, which a run without a setting takes.
    const int codePage = toolkit::CurrentCodePage();
    ASSERT_EQ(ChooseCodePage(), 1251);
    toolkit::SetCurrentCodePage(ChooseCodePage());
    form.ApplyLanguageTexts();
    toolkit::SetCurrentCodePage(codePage);
    EXPECT_EQ(Parts(form).LoginCaption->Caption(), Cp1251("Логин:"));
    EXPECT_EQ(Parts(form).CommentCaption->Caption(), Cp1251("Комментарий:"));
    EXPECT_EQ(Parts(form).MainMenu->Text(MenuFile), Cp1251("&Файл"));
    EXPECT_EQ(Parts(form).MainMenu->Text(MenuOpen), Cp1251("&Открыть...\tCtrl+O"));
    EXPECT_EQ(Parts(form).MainMenu->Text(MenuAbout), Cp1251("&О программе..."));
    EXPECT_EQ(Parts(form).TreeMenu->Text(PopupAddGroup), Cp1251("Добавить &группу..."));
    for (int separator : {2, 4, 7, 12, 16})
        EXPECT_TRUE(Parts(form).MainMenu->IsSeparator(separator)) << separator;
    EXPECT_NE(MessageTexts().QSave, TMessageTexts{}.QSave);
    EXPECT_EQ(MessageTexts().HelpFile, "tallyk_eng.chm");
    const std::string russianLogin = Parts(form).LoginCaption->Caption();

    // Back to English: messages at once, captions only after a restart.
    Settings().LangFile.clear();
    form.ApplyLanguageTexts();
    EXPECT_EQ(MessageTexts().QSave, "Save changes to");
    EXPECT_EQ(MessageTexts().QNew, "Are you sure you want to create new file? All changes will be lost.");
    EXPECT_EQ(Parts(form).LoginCaption->Caption(), russianLogin);
}

TEST_F(MainFormTexts, AFileWithoutTheSectionEmptiesEverythingButTheHelpFile) {
    Use("other.lng", "[Options Form]\nTitle=x\nLogin=not here\n");
    form.ApplyLanguageTexts();
    for (toolkit::Label* caption :
         {Parts(form).LoginCaption.get(), Parts(form).PasswordCaption.get(), Parts(form).WebLinkCaption.get(), Parts(form).CommentCaption.get()})
        EXPECT_EQ(caption->Caption(), "");
    EXPECT_EQ(MenuTexts(*Parts(form).MainMenu), std::vector<std::string>(18));
    EXPECT_EQ(MenuTexts(*Parts(form).TreeMenu), std::vector<std::string>(9));
    EXPECT_TRUE(Parts(form).MainMenu->IsSeparator(2));
    EXPECT_TRUE(Parts(form).TreeMenu->IsSeparator(2));
    const TMessageTexts& t = MessageTexts();
    for (const std::string* text : {&t.QSave, &t.QSaveTitle, &t.WWrongPass, &t.WWrongPassTitle, &t.WMatchError,
                                    &t.WMatchErrorTitle, &t.QDelete, &t.QDeleteTitle, &t.QNew, &t.QNewTitle})
        EXPECT_EQ(*text, "");
    EXPECT_EQ(t.HelpFile, "tallyk_eng.chm");
}

TEST_F(MainFormTexts, KeysByNumberAndInAnyCase) {
    Use("numbers.lng",
        "[main form]\n"
        "login=L\n"
        "MENU1=One\n"
        "Menu2=Two\tCtrl+N\n"
        "Menu3=-\n"
        "Menu5=\n"
        "Menu8=Not a separator any more?\n"
        "Menu19=Nineteen\n"
        "Popup10=Ten\n"
        "HelpFile=\n"
        "qsave=Speichern?\n");
    form.ApplyLanguageTexts();
    EXPECT_EQ(Parts(form).LoginCaption->Caption(), "L");
    EXPECT_EQ(Parts(form).MainMenu->Text(0), "One");
    EXPECT_EQ(Parts(form).MainMenu->Text(1), "Two\tCtrl+N");
    // A separator takes its key's text but stays a separator line.
    EXPECT_TRUE(Parts(form).MainMenu->IsSeparator(2));
    EXPECT_TRUE(Parts(form).MainMenu->IsSeparator(4));
    EXPECT_TRUE(Parts(form).MainMenu->IsSeparator(7));
    EXPECT_FALSE(Parts(form).MainMenu->IsSeparator(3));
    EXPECT_EQ(Parts(form).MainMenu->Count(), 18);
    EXPECT_EQ(Parts(form).TreeMenu->Count(), 9);
    EXPECT_EQ(Parts(form).TreeMenu->Text(8), "");
    EXPECT_EQ(MessageTexts().QSave, "Speichern?");
    EXPECT_EQ(MessageTexts().HelpFile, ""); // present but empty: empty
    // The commands stay bound whatever the texts.
    EXPECT_TRUE(Parts(form).MainMenu->GetShortcut(MenuOpen));
}

} // namespace
