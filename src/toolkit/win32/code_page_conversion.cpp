// Code pages through Windows' own tables, and the run's code page from the system.
#include "toolkit/code_page_conversion.h"
#include "toolkit/ansi_text.h"

#include <windows.h>

#include <string>

namespace toolkit {

namespace {

constexpr int kUtf8 = 65001;

bool Known(int codePage) { return codePage > 0 && codePage <= 65535 && ::IsValidCodePage(static_cast<UINT>(codePage)); }

// Windows' tables for its own single-byte pages (874, 1250-1258) give the bytes
// those pages leave undefined as the C1 control of the same value (0x98 in
// 1251 as U+0098); no byte they define is a C1 control.
bool UndefinedInAnsiPage(std::wstring_view wide, int codePage) {
    if (codePage != 874 && (codePage < 1250 || codePage > 1258))
        return false;
    for (wchar_t c : wide)
        if (c >= 0x80 && c <= 0x9F)
            return true;
    return false;
}

// The UTF-16 of `bytes` in `codePage`, or false when any of it is invalid there.
// Some code pages (ISO-2022, the symbol page, ...) accept no flags at all; for
// them every byte sequence counts as valid, as Windows converts it.
bool ToWide(std::string_view bytes, int codePage, std::wstring& wide) {
    wide.clear();
    if (bytes.empty())
        return true;
    const auto cp = static_cast<UINT>(codePage);
    const int size = static_cast<int>(bytes.size());
    DWORD flags = MB_ERR_INVALID_CHARS;
    int n = ::MultiByteToWideChar(cp, flags, bytes.data(), size, nullptr, 0);
    if (n == 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        n = ::MultiByteToWideChar(cp, flags, bytes.data(), size, nullptr, 0);
    }
    if (n <= 0)
        return false;
    wide.resize(static_cast<std::size_t>(n));
    return ::MultiByteToWideChar(cp, flags, bytes.data(), size, wide.data(), n) == n &&
           !UndefinedInAnsiPage(wide, codePage);
}

// `wide` in `codePage`, or false when the code page lacks any of it. No "best
// fit": a character the code page does not have is missing, not replaced by a
// look-alike (an "e" for an "é" would change a password unseen).
bool FromWide(std::wstring_view wide, int codePage, std::string& bytes) {
    bytes.clear();
    if (wide.empty())
        return true;
    const auto cp = static_cast<UINT>(codePage);
    const int size = static_cast<int>(wide.size());
    // UTF-8 takes neither flags nor a default character, and holds everything.
    const bool utf8 = codePage == kUtf8;
    DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    int n = ::WideCharToMultiByte(cp, flags, wide.data(), size, nullptr, 0, nullptr, used);
    if (n == 0 && ::GetLastError() == ERROR_INVALID_PARAMETER && !utf8) {
        // Code pages that take no flags and no default character (ISO-2022, ...).
        flags = 0;
        used = nullptr;
        n = ::WideCharToMultiByte(cp, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    }
    if (n <= 0 || usedDefault)
        return false;
    bytes.resize(static_cast<std::size_t>(n));
    return ::WideCharToMultiByte(cp, flags, wide.data(), size, bytes.data(), n, nullptr, used) == n && !usedDefault;
}

// Length of the character that starts `bytes` in `codePage`: a lead byte and its
// trail byte in the double-byte code pages, one byte in the others.
std::size_t CharacterLength(std::string_view bytes, int codePage) {
    if (codePage == kUtf8)
        return SequenceLength(bytes);
    if (bytes.size() >= 2 && ::IsDBCSLeadByteEx(static_cast<UINT>(codePage), static_cast<BYTE>(bytes[0])))
        return 2;
    return 1;
}

// Converts `input` from one code page to another through UTF-16. Whole when it
// can be; otherwise character by character, putting `replacement` for each
// character that is invalid in the source or missing in the target.
std::string Convert(std::string_view input, int from, int to, std::string_view replacement) {
    std::wstring wide;
    std::string out;
    if (ToWide(input, from, wide) && FromWide(wide, to, out))
        return out;
    out.clear();
    std::string one;
    while (!input.empty()) {
        const std::size_t length = CharacterLength(input, from);
        if (ToWide(input.substr(0, length), from, wide) && FromWide(wide, to, one))
            out += one;
        else
            out += replacement;
        input.remove_prefix(length);
    }
    return out;
}

} // namespace

bool CodePageAvailable(int codePage) { return Known(codePage); }

int SystemCodePage() { return static_cast<int>(::GetACP()); }

int SystemTextCodePage() { return static_cast<int>(::GetACP()); }

std::string CodePageToUtf8(std::string_view bytes, int codePage) {
    if (!Known(codePage))
        return std::string(bytes); // unknown code page: hand the bytes on unchanged
    return Convert(bytes, codePage, kUtf8, "\xEF\xBF\xBD");
}

std::string Utf8ToCodePage(std::string_view utf8, int codePage) {
    if (!Known(codePage))
        return std::string(utf8);
    return Convert(utf8, kUtf8, codePage, "?");
}

struct CharacterRoundTrip::Impl {
    int codePage;
    std::wstring wide;
    std::string bytes;
    std::string again;
};

CharacterRoundTrip::CharacterRoundTrip(int codePage) : impl_(std::make_unique<Impl>()) {
    impl_->codePage = Known(codePage) ? codePage : kUtf8;
}
CharacterRoundTrip::~CharacterRoundTrip() = default;

bool CharacterRoundTrip::Holds(std::string_view character) {
    Impl& im = *impl_;
    if (!ToWide(character, kUtf8, im.wide))
        return false;
    // A code page Windows does not know passes bytes through unchanged (see
    // Utf8ToCodePage), so it holds whatever is valid UTF-8.
    if (im.codePage == kUtf8)
        return true;
    return FromWide(im.wide, im.codePage, im.bytes) && ToWide(im.bytes, im.codePage, im.wide) &&
           FromWide(im.wide, kUtf8, im.again) && im.again == character;
}

} // namespace toolkit
