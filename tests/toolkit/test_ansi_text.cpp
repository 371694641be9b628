#include <gtest/gtest.h>

#include <string>

#include "toolkit/ansi_text.h"

using namespace toolkit;

namespace {

TEST(AnsiText, CodePageFollowsTheLocaleLanguage) {
    EXPECT_EQ(CodePageForLocale("ru_RU.UTF-8"), 1251);
    EXPECT_EQ(CodePageForLocale("en_US.UTF-8"), 1252);
    EXPECT_EQ(CodePageForLocale("de_DE"), 1252);
    EXPECT_EQ(CodePageForLocale("pl_PL.UTF-8"), 1250);
    EXPECT_EQ(CodePageForLocale("el_GR"), 1253);
    EXPECT_EQ(CodePageForLocale("tr_TR"), 1254);
    EXPECT_EQ(CodePageForLocale("C"), 1252);
    EXPECT_EQ(CodePageForLocale(""), 1252);
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
