// Code pages through iconv, and the locale's code page from the environment.
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "toolkit/ansi_text.h"
#include "toolkit/code_page_conversion.h"

namespace toolkit {

namespace {

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

int SystemTextCodePage() { return 65001; }

std::string CodePageToUtf8(std::string_view bytes, int codePage) {
    return Convert(bytes, IconvName(codePage), "UTF-8", false);
}

std::string Utf8ToCodePage(std::string_view utf8, int codePage) {
    return Convert(utf8, "UTF-8", IconvName(codePage), true);
}

struct CharacterRoundTrip::Impl {
    explicit Impl(int codePage)
        : codePage(codePage), there("UTF-8", IconvName(codePage)), back(IconvName(codePage), "UTF-8"),
          check("UTF-8", "UTF-8") {}
    int codePage;
    Converter there;
    Converter back;
    Converter check;
    std::string bytes;
    std::string again;
};

CharacterRoundTrip::CharacterRoundTrip(int codePage) : impl_(std::make_unique<Impl>(codePage)) {}
CharacterRoundTrip::~CharacterRoundTrip() = default;

bool CharacterRoundTrip::Holds(std::string_view character) {
    Impl& im = *impl_;
    // A code page iconv does not know passes bytes through unchanged (see
    // Convert), so it holds whatever is valid UTF-8.
    if (im.codePage == 65001 || !im.there.Ok() || !im.back.Ok())
        return im.check.Ok() && im.check.Whole(character, im.again);
    return im.there.Whole(character, im.bytes) && im.back.Whole(im.bytes, im.again) && im.again == character;
}

} // namespace toolkit
