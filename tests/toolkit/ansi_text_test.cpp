#include <gtest/gtest.h>

#include <string>

#include "toolkit/ansi_text.h"

using namespace toolkit;

namespace {

// What Windows gives as LOCALE_IDEFAULTANSICODEPAGE for its locales, written
// as the locale names of this system: sr_RS is sr-Cyrl-RS and sr_RS@latin
// sr-Latn-RS, uz_UZ is uz-Latn-UZ and uz_UZ@cyrillic uz-Cyrl-UZ.
struct WindowsLocale {
    const char* locale;
    int codePage;
};
constexpr WindowsLocale kWindowsCodePages[] = {
    {"ru_RU", 1251},          {"uk_UA", 1251}, {"be_BY", 1251}, {"bg_BG", 1251},  {"sr_RS", 1251},
    {"sr_RS@latin", 1250},    {"mk_MK", 1251}, {"kk_KZ", 1251}, {"ky_KG", 1251},  {"tt_RU", 1251},
    {"mn_MN", 1251},          {"tg_TJ", 1251}, {"ba_RU", 1251}, {"sah_RU", 1251}, {"uz_UZ", 1254},
    {"uz_UZ@cyrillic", 1251}, {"pl_PL", 1250}, {"cs_CZ", 1250}, {"sk_SK", 1250},  {"hu_HU", 1250},
    {"sl_SI", 1250},          {"hr_HR", 1250}, {"ro_RO", 1250}, {"sq_AL", 1250},  {"bs_BA", 1250},
    {"tk_TM", 1250},          {"el_GR", 1253}, {"tr_TR", 1254}, {"az_AZ", 1254},  {"he_IL", 1255},
    {"ar_SA", 1256},          {"ar_EG", 1256}, {"fa_IR", 1256}, {"prs_AF", 1256}, {"ur_PK", 1256},
    {"ug_CN", 1256},          {"et_EE", 1257}, {"lv_LV", 1257}, {"lt_LT", 1257},  {"vi_VN", 1258},
    {"th_TH", 874},           {"ja_JP", 932},  {"ko_KR", 949},  {"zh_CN", 936},   {"zh_SG", 936},
    {"zh_TW", 950},           {"zh_HK", 950},  {"zh_MO", 950},  {"en_US", 1252},  {"en_GB", 1252},
    {"de_DE", 1252},          {"fr_FR", 1252}, {"es_ES", 1252}, {"pt_BR", 1252},  {"it_IT", 1252},
    {"nl_NL", 1252},          {"sv_SE", 1252}, {"fi_FI", 1252}, {"da_DK", 1252},  {"nb_NO", 1252},
    {"is_IS", 1252},          {"ca_ES", 1252}, {"af_ZA", 1252}, {"id_ID", 1252},  {"hy_AM", 1252},
    {"ka_GE", 1252},          {"hi_IN", 1252},
};

TEST(AnsiText, LocaleTableMatchesWindows) {
    for (const WindowsLocale& w : kWindowsCodePages) {
        const std::string locale = w.locale;
        const std::size_t at = locale.find('@');
        const std::string utf8 =
            at == std::string::npos ? locale + ".UTF-8" : locale.substr(0, at) + ".UTF-8" + locale.substr(at);
        EXPECT_EQ(CodePageForLocale(locale), w.codePage) << locale;
        EXPECT_EQ(CodePageForLocale(utf8), w.codePage) << utf8;
    }
    // Every language the table names is checked above.
    for (const std::string& language : LocaleTableLanguages()) {
        bool checked = false;
        for (const WindowsLocale& w : kWindowsCodePages)
            checked = checked || std::string(w.locale).substr(0, std::string(w.locale).find('_')) == language;
        EXPECT_TRUE(checked) << language;
    }
    for (const char* locale : {"C", "POSIX", "", "C.UTF-8", "z", "rup_MK"})
        EXPECT_EQ(CodePageForLocale(locale), 1252) << locale;
}

TEST(AnsiText, CodePagesThisSystemConverts) {
    for (int codePage : {1250, 1251, 1252, 1257, 874, 932, 936, 949, 950, 65001, 20866, 28595})
        EXPECT_TRUE(CodePageAvailable(codePage)) << codePage;
    for (int codePage : {0, -1, 1, 12345, 70000})
        EXPECT_FALSE(CodePageAvailable(codePage)) << codePage;
    EXPECT_EQ(AnsiToUtf8("\xa4\xa4", 950), "\xe4\xb8\xad") << "Big5, not GBK";
    EXPECT_EQ(AnsiToUtf8("\xe1", 20866), "\xd0\x90"); // KOI8-R
}

TEST(AnsiText, CyrillicAndWesternRoundTrip) {
    const std::string cyrillic = "\xcf\xe0\xf0\xee\xeb\xfc \xb8\xa8"; // "Пароль ёЁ"
    const std::string utf8 = AnsiToUtf8(cyrillic, 1251);
    EXPECT_EQ(utf8, "\xd0\x9f\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c \xd1\x91\xd0\x81");
    EXPECT_EQ(Utf8ToAnsi(utf8, 1251), cyrillic);

    const std::string western = "Caf\xe9 \x80 \xdf";
    EXPECT_EQ(AnsiToUtf8(western, 1252), "Caf\xc3\xa9 \xe2\x82\xac \xc3\x9f");
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(western, 1252), 1252), western);
    EXPECT_EQ(AnsiToUtf8("plain", 1251), "plain");
}

TEST(AnsiText, MissingCharactersBecomeQuestionMarks) {
    // Cyrillic has no place in 1252, and a broken UTF-8 sequence counts as one character.
    EXPECT_EQ(Utf8ToAnsi("a\xd0\x9f" "b", 1252), "a?b");
    EXPECT_EQ(Utf8ToAnsi("x\xe2\x82" "y", 1251), "x?y");
    // A byte 1251 leaves undefined shows as the replacement character.
    EXPECT_EQ(AnsiToUtf8("\x98", 1251), "\xef\xbf\xbd");
}

TEST(AnsiText, CurrentCodePageCanBeSet) {
    SetCurrentCodePage(1251);
    EXPECT_EQ(CurrentCodePage(), 1251);
    SetCurrentCodePage(0);
    EXPECT_EQ(CurrentCodePage(), SystemCodePage());
}

} // namespace

namespace {

TEST(AnsiText, SplitKeepsWhatTheCodePageHolds) {
    const std::string word = "\xd0\x9f\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c"; // "Пароль"
    const std::string emoji = "\xf0\x9f\x98\x80";
    CodePageSplit split = SplitByCodePage("pw " + word + " \xc3\xa9\xe2\x82\xac" + emoji, 1252);
    EXPECT_EQ(split.held, "pw  \xc3\xa9\xe2\x82\xac") << "e acute and the euro sign are in 1252";
    EXPECT_EQ(split.refused, word + emoji);

    split = SplitByCodePage("pw " + word, 1251);
    EXPECT_EQ(split.held, "pw " + word);
    EXPECT_EQ(split.refused, "");
    // UTF-8 holds everything valid; a broken sequence is refused everywhere.
    split = SplitByCodePage(word + emoji + "x\xe2\x82", 65001);
    EXPECT_EQ(split.held, word + emoji + "x");
    EXPECT_EQ(split.refused, "\xe2\x82");
    // A double-byte code page: Japanese and Cyrillic are in 932, the emoji is not.
    split = SplitByCodePage("\xe6\x97\xa5\xe6\x9c\xac" + word + emoji, 932);
    EXPECT_EQ(split.held, "\xe6\x97\xa5\xe6\x9c\xac" + word);
    EXPECT_EQ(split.refused, emoji);
}

TEST(AnsiText, SystemTextIsShownInTheCurrentCodePage) {
#ifdef _WIN32
    // An ANSI program's file names are in the ANSI code page.
    if (SystemCodePage() != 1252)
        GTEST_SKIP() << "the examples are in 1252; the ANSI code page here is " << SystemCodePage();
    const std::string ansiPath = "C:\\Ordner \xe4\\\xdc" "bersicht.tkf"; // "Ordner ä\\Übersicht.tkf"
    SetCurrentCodePage(1252);
    EXPECT_EQ(SystemTextToAnsi(ansiPath), ansiPath);
    SetCurrentCodePage(1251);
    EXPECT_EQ(SystemTextToAnsi(ansiPath), "C:\\Ordner ?\\?bersicht.tkf");
    SetCurrentCodePage(0);
#else
    const std::string path = "/tmp/Ordner \xc3\xa4/\xc3\x9c" "bersicht \xd0\x96.tkf"; // "Ordner ä/Übersicht Ж.tkf"
    SetCurrentCodePage(1252);
    EXPECT_EQ(SystemTextToAnsi(path), "/tmp/Ordner \xe4/\xdc" "bersicht ?.tkf");
    SetCurrentCodePage(1251);
    EXPECT_EQ(SystemTextToAnsi(path), "/tmp/Ordner ?/?bersicht \xc6.tkf");
    SetCurrentCodePage(0);
#endif
}

} // namespace
