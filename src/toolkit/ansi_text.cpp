#include "toolkit/ansi_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iconv.h>
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

std::string Convert(std::string_view input, const std::string& from, const std::string& to,
                    bool substitute) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(input); // unknown code page: hand the bytes on unchanged
    std::string out;
    out.reserve(input.size() * 2 + 8);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, outPtr - buffer);
        if (r != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // An unmappable or invalid sequence: put the replacement and skip one
        // input character (a whole UTF-8 sequence when reading UTF-8).
        out += substitute ? "?" : "\xEF\xBF\xBD";
        size_t skip = 1;
        if (from == "UTF-8") {
            unsigned char c = static_cast<unsigned char>(*in);
            size_t want = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            size_t k = 1;
            while (k < want && k < inLeft && (static_cast<unsigned char>(in[k]) & 0xC0) == 0x80)
                ++k;
            skip = k;
        }
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

std::string IconvName(int codePage) {
    switch (codePage) {
    case 65001: return "UTF-8";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 874: return "CP874";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    default:
        if (codePage >= 28591 && codePage <= 28605)
            return "ISO-8859-" + std::to_string(codePage - 28590);
        return "CP" + std::to_string(codePage);
    }
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

bool CodePageAvailable(int codePage) {
    if (codePage <= 0 || codePage > 65535)
        return false;
    iconv_t cd = iconv_open("UTF-8", IconvName(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

int SystemCodePage() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return CodePageForLocale(value);
    }
    return 1252;
}

std::string AnsiToUtf8(std::string_view bytes, int codePage) {
    if (codePage == 65001)
        return std::string(bytes);
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) { ascii = false; break; }
    if (ascii)
        return std::string(bytes);
    return Convert(bytes, IconvName(codePage), "UTF-8", false);
}

std::string Utf8ToAnsi(std::string_view utf8, int codePage) {
    bool ascii = true;
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80) { ascii = false; break; }
    if (ascii)
        return std::string(utf8);
    return Convert(utf8, "UTF-8", IconvName(codePage), true);
}

int CurrentCodePage() {
    if (g_currentCodePage == 0)
        g_currentCodePage = SystemCodePage();
    return g_currentCodePage;
}

void SetCurrentCodePage(int codePage) { g_currentCodePage = codePage; }

} // namespace toolkit
