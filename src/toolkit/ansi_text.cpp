#include "toolkit/ansi_text.h"

#include "toolkit/code_page_conversion.h"

#include <algorithm>
#include <string>

namespace toolkit {
namespace {

struct LocaleCodePage {
    const char* language; // language code of the locale name
    const char* region;   // territory, or nullptr for any
    const char* modifier; // "@" modifier, or nullptr for any
    int codePage;
};

// The ANSI code page that Windows gives each language's locales
// (LOCALE_IDEFAULTANSICODEPAGE); the first entry that matches counts, so a
// language's particular regions and scripts come before its general entry.
// Languages that Windows keeps to Unicode only, and those not listed, get 1252.
constexpr LocaleCodePage kLocaleCodePages[] = {
    {"ru", nullptr, nullptr, 1251}, {"uk", nullptr, nullptr, 1251},  {"be", nullptr, nullptr, 1251},
    {"bg", nullptr, nullptr, 1251}, {"sr", nullptr, "latin", 1250},  {"sr", nullptr, nullptr, 1251},
    {"mk", nullptr, nullptr, 1251}, {"kk", nullptr, nullptr, 1251},  {"ky", nullptr, nullptr, 1251},
    {"tt", nullptr, nullptr, 1251}, {"mn", nullptr, nullptr, 1251},  {"tg", nullptr, nullptr, 1251},
    {"ba", nullptr, nullptr, 1251}, {"sah", nullptr, nullptr, 1251}, {"uz", nullptr, "cyrillic", 1251},
    {"uz", nullptr, nullptr, 1254}, {"pl", nullptr, nullptr, 1250},  {"cs", nullptr, nullptr, 1250},
    {"sk", nullptr, nullptr, 1250}, {"hu", nullptr, nullptr, 1250},  {"sl", nullptr, nullptr, 1250},
    {"hr", nullptr, nullptr, 1250}, {"ro", nullptr, nullptr, 1250},  {"sq", nullptr, nullptr, 1250},
    {"bs", nullptr, nullptr, 1250}, {"tk", nullptr, nullptr, 1250},  {"el", nullptr, nullptr, 1253},
    {"tr", nullptr, nullptr, 1254}, {"az", nullptr, nullptr, 1254},  {"he", nullptr, nullptr, 1255},
    {"ar", nullptr, nullptr, 1256}, {"fa", nullptr, nullptr, 1256},  {"ur", nullptr, nullptr, 1256},
    {"ug", nullptr, nullptr, 1256}, {"prs", nullptr, nullptr, 1256}, {"et", nullptr, nullptr, 1257},
    {"lv", nullptr, nullptr, 1257}, {"lt", nullptr, nullptr, 1257},  {"vi", nullptr, nullptr, 1258},
    {"th", nullptr, nullptr, 874},  {"ja", nullptr, nullptr, 932},   {"zh", "TW", nullptr, 950},
    {"zh", "HK", nullptr, 950},     {"zh", "MO", nullptr, 950},      {"zh", nullptr, nullptr, 936},
    {"ko", nullptr, nullptr, 949},
};

int g_currentCodePage = 0;

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}


} // namespace

int CodePageForLocale(std::string_view locale) {
    // language[_territory][.codeset][@modifier]
    const std::string_view modifier =
        locale.find('@') == std::string_view::npos ? std::string_view() : locale.substr(locale.find('@') + 1);
    locale = locale.substr(0, std::min(locale.find('.'), locale.find('@')));
    const std::size_t underscore = locale.find('_');
    const std::string_view language = locale.substr(0, underscore);
    const std::string_view region =
        underscore == std::string_view::npos ? std::string_view() : locale.substr(underscore + 1);
    for (const LocaleCodePage& entry : kLocaleCodePages)
        if (language == entry.language && (!entry.region || region == entry.region) &&
            (!entry.modifier || modifier == entry.modifier))
            return entry.codePage;
    return 1252;
}

std::vector<std::string> LocaleTableLanguages() {
    std::vector<std::string> languages;
    for (const LocaleCodePage& entry : kLocaleCodePages)
        if (languages.empty() || languages.back() != entry.language)
            languages.emplace_back(entry.language);
    return languages;
}

std::string AnsiToUtf8(std::string_view bytes, int codePage) {
    if (codePage == 65001 || IsAscii(bytes))
        return std::string(bytes);
    return CodePageToUtf8(bytes, codePage);
}

std::string Utf8ToAnsi(std::string_view utf8, int codePage) {
    if (IsAscii(utf8))
        return std::string(utf8);
    return Utf8ToCodePage(utf8, codePage);
}

int CurrentCodePage() {
    if (g_currentCodePage == 0)
        g_currentCodePage = SystemCodePage();
    return g_currentCodePage;
}

void SetCurrentCodePage(int codePage) { g_currentCodePage = codePage; }

CodePageSplit SplitByCodePage(std::string_view utf8, int codePage) {
    CodePageSplit split;
    if (IsAscii(utf8)) {
        split.held = std::string(utf8);
        return split;
    }
    CharacterRoundTrip trip(codePage);
    while (!utf8.empty()) {
        const size_t length = SequenceLength(utf8);
        const std::string_view character = utf8.substr(0, length);
        const bool held = (length == 1 && static_cast<unsigned char>(character[0]) < 0x80) || trip.Holds(character);
        (held ? split.held : split.refused).append(character);
        utf8.remove_prefix(length);
    }
    return split;
}

std::string SystemTextToAnsi(std::string_view text) {
    const int system = SystemTextCodePage();
    if (system == CurrentCodePage())
        return std::string(text);
    return Utf8ToAnsi(AnsiToUtf8(text, system), CurrentCodePage());
}

} // namespace toolkit
