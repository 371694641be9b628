// Text at the boundary of the Unicode windows: the toolkit's bytes of the
// code page in use on one side, UTF-16 on the other. The conversion of the
// bytes is the toolkit's own (ansi_text.h: undefined bytes as U+FFFD, no best
// fit, "?" for what the code page lacks); UTF-8 <-> UTF-16 is lossless.
#include "toolkit/ansi_text.h"
#include "toolkit/win32/backend.h"

namespace toolkit {
namespace win32 {

namespace {

std::wstring Utf16(std::string_view bytes, UINT codePage) {
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), n);
    return wide;
}

// A lone surrogate becomes U+FFFD (CP_UTF8), or the default character "?".
std::string Bytes(std::wstring_view wide, UINT codePage) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    // No best fit: a path must not turn into the name of another file.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n = ::WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

} // namespace

std::wstring Wide(std::string_view ansi) { return Utf16(AnsiToUtf8(ansi, CurrentCodePage()), CP_UTF8); }

std::string Ansi(std::wstring_view wide) { return Utf8ToAnsi(Bytes(wide, CP_UTF8), CurrentCodePage()); }

std::wstring WideLines(std::string_view ansi) {
    std::string text;
    text.reserve(ansi.size() + ansi.size() / 8);
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        const char c = ansi[i];
        if (c == '\r' || c == '\n') {
            const char pair = c == '\r' ? '\n' : '\r';
            if (i + 1 < ansi.size() && ansi[i + 1] == pair)
                ++i;
            text += "\r\n";
        } else {
            text += c;
        }
    }
    return Wide(text);
}

std::wstring WidePath(std::string_view path) { return Utf16(path, CP_ACP); }

std::string PathFromWide(std::wstring_view path) { return Bytes(path, CP_ACP); }

bool AdmitsCharacter(wchar_t ch) {
    if (ch >= 0xD800 && ch <= 0xDFFF)
        return false;
    const std::string utf8 = Bytes(std::wstring_view(&ch, 1), CP_UTF8);
    return SplitByCodePage(utf8, CurrentCodePage()).refused.empty();
}

std::wstring WindowTextW(HWND window) {
    if (!window)
        return {};
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int n = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return text;
}

} // namespace win32
} // namespace toolkit
