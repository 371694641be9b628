#include "toolkit/ansi_text.h"

#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <string>

namespace toolkit {
namespace {

struct LocaleCodePage {
    const char* language; // two-letter language code
    int codePage;
};

// The ANSI code page Windows picks per language.
constexpr LocaleCodePage kLocaleCodePages[] = {
    {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"sr", 1251}, {"mk", 1251},
    {"kk", 1251}, {"ky", 1251}, {"tt", 1251}, {"mn", 1251},
    {"pl", 1250}, {"cs", 1250}, {"sk", 1250}, {"hu", 1250}, {"sl", 1250}, {"hr", 1250},
    {"ro", 1250}, {"sq", 1250}, {"bs", 1250},
    {"el", 1253}, {"tr", 1254}, {"az", 1254}, {"he", 1255}, {"ar", 1256}, {"fa", 1256},
    {"ur", 1256}, {"et", 1257}, {"lv", 1257}, {"lt", 1257}, {"vi", 1258}, {"th", 874},
    {"ja", 932}, {"zh", 936}, {"ko", 949},
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
    default: return "CP" + std::to_string(codePage);
    }
}

} // namespace

int CodePageForLocale(std::string_view locale) {
    if (locale.size() < 2)
        return 1252;
    std::string_view language = locale.substr(0, 2);
    for (const LocaleCodePage& entry : kLocaleCodePages)
        if (language == entry.language)
            return entry.codePage;
    return 1252;
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
