// What the code-page conversion needs from the platform, one implementation
// per platform (on Linux: iconv, src/toolkit/linux/iconv_conversion.cpp). Used
// by ansi_text.cpp; SystemCodePage and CodePageAvailable (ansi_text.h) come
// from the same implementation.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace toolkit {

// Length of the UTF-8 sequence that starts at text[0] (1 for a stray byte).
inline std::size_t SequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t k = 1;
    while (k < want && k < text.size() && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80)
        ++k;
    return k;
}

// Bytes of `codePage` to UTF-8, bytes the code page leaves undefined as U+FFFD;
// and UTF-8 to `codePage`, characters it lacks (and invalid UTF-8) as "?". A
// code page the platform does not know passes the bytes on unchanged.
std::string CodePageToUtf8(std::string_view bytes, int codePage);
std::string Utf8ToCodePage(std::string_view utf8, int codePage);

// The code page of the system's own texts (file names, error reasons): UTF-8
// on Linux, the ANSI code page of an ANSI program on Windows.
int SystemTextCodePage();

// Whether single characters survive the trip to `codePage` and back
// unchanged; for 65001, and for a code page the platform does not know (whose
// bytes pass unchanged), whether they are valid UTF-8.
class CharacterRoundTrip {
public:
    explicit CharacterRoundTrip(int codePage);
    ~CharacterRoundTrip();
    CharacterRoundTrip(const CharacterRoundTrip&) = delete;
    CharacterRoundTrip& operator=(const CharacterRoundTrip&) = delete;
    // `character` is one UTF-8 sequence (SequenceLength bytes).
    bool Holds(std::string_view character);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace toolkit
