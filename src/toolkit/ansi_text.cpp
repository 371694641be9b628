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

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Length of the UTF-8 sequence that starts at text[0] (1 for a stray byte).
size_t SequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    size_t k = 1;
    while (k < want && k < text.size() && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80)
        ++k;
    return k;
}

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
        const size_t skip = from == "UTF-8" ? SequenceLength(std::string_view(in, inLeft)) : 1;
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

// One conversion descriptor for a run of single-character conversions.
class Converter {
public:
    Converter(const std::string& from, const std::string& to) : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (Ok())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted, or false when any of it does not convert.
    bool Whole(std::string_view input, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        char buffer[16];
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        if (iconv(cd_, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
            return false;
        if (iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
            return false;
        out.assign(buffer, outPtr - buffer);
        return true;
    }

private:
    iconv_t cd_;
};

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
    if (codePage == 65001 || IsAscii(bytes))
        return std::string(bytes);
    return Convert(bytes, IconvName(codePage), "UTF-8", false);
}

std::string Utf8ToAnsi(std::string_view utf8, int codePage) {
    if (IsAscii(utf8))
        return std::string(utf8);
    return Convert(utf8, "UTF-8", IconvName(codePage), true);
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
    const std::string name = IconvName(codePage);
    Converter there("UTF-8", name);
    Converter back(name, "UTF-8");
    // A code page iconv does not know passes bytes through unchanged (see
    // Convert), so it holds whatever is valid UTF-8.
    const bool known = there.Ok() && back.Ok();
    Converter check("UTF-8", "UTF-8");
    std::string bytes;
    std::string again;
    while (!utf8.empty()) {
        const size_t length = SequenceLength(utf8);
        const std::string_view character = utf8.substr(0, length);
        bool held;
        if (length == 1 && static_cast<unsigned char>(character[0]) < 0x80)
            held = true;
        else if (codePage == 65001 || !known)
            held = check.Ok() && check.Whole(character, again);
        else
            held = there.Whole(character, bytes) && back.Whole(bytes, again) && again == character;
        (held ? split.held : split.refused).append(character);
        utf8.remove_prefix(length);
    }
    return split;
}

std::string SystemTextToAnsi(std::string_view text) { return Utf8ToAnsi(text, CurrentCodePage()); }

} // namespace toolkit
