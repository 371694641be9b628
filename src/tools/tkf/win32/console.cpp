// Passwords from handles and from the console (Win32).
#include "tools/tkf/console.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <charconv>
#include <cstdio>
#include <cwchar>

namespace tkf {

using tallykey::SecretText;

namespace {

std::string SystemReason(DWORD code) {
    char* text = nullptr;
    const DWORD n =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = n > 0 ? std::string(text, n) : "error " + std::to_string(code);
    if (text)
        ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

HANDLE ToHandle(int source) {
    if (source == kStandardInput)
        return ::GetStdHandle(STD_INPUT_HANDLE);
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(source));
}

// The console's input and output while a password is typed, and its mode before,
// which is put back however the reading ends (Ctrl+C included: the console runs
// the control handler on a thread of its own, before the program ends).
HANDLE g_consoleIn = INVALID_HANDLE_VALUE;
DWORD g_savedMode = 0;

BOOL WINAPI RestoreConsole(DWORD) {
    const HANDLE in = g_consoleIn;
    if (in != INVALID_HANDLE_VALUE)
        ::SetConsoleMode(in, g_savedMode);
    return FALSE; // the default handler ends the program
}

class QuietConsole {
public:
    QuietConsole(HANDLE in, DWORD mode) : in_(in), mode_(mode) {
        g_savedMode = mode;
        g_consoleIn = in;
        ::SetConsoleCtrlHandler(RestoreConsole, TRUE);
        const DWORD quiet =
            (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT;
        ::SetConsoleMode(in, quiet);
    }
    ~QuietConsole() {
        ::SetConsoleMode(in_, mode_);
        g_consoleIn = INVALID_HANDLE_VALUE;
        ::SetConsoleCtrlHandler(RestoreConsole, FALSE);
    }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

private:
    HANDLE in_;
    DWORD mode_;
};

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE h) : h_(h) {}
    ~OwnedHandle() {
        if (ok())
            ::CloseHandle(h_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

void WriteConsoleText(HANDLE out, const std::string& text) {
    // The prompt names a file, whose name is in the ANSI code page.
    std::wstring wide(text.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                        static_cast<int>(wide.size()));
    DWORD written = 0;
    ::WriteConsoleW(out, wide.data(), static_cast<DWORD>(n > 0 ? n : 0), &written, nullptr);
}

// The typed line as UTF-8, the line break removed; false when the input ended.
bool ReadConsoleLine(HANDLE in, SecretText& line) {
    line.clear();
    bool any = false;
    for (;;) {
        wchar_t unit[2] = {};
        DWORD read = 0;
        if (!::ReadConsoleW(in, unit, 1, &read, nullptr) || read == 0)
            break;
        any = true;
        if (unit[0] == L'\n')
            break;
        if (unit[0] == L'\r')
            continue;
        DWORD units = 1;
        if (unit[0] >= 0xD800 && unit[0] < 0xDC00 && ::ReadConsoleW(in, unit + 1, 1, &read, nullptr) && read == 1)
            units = 2; // the second half of a surrogate pair
        char bytes[8];
        const int n =
            ::WideCharToMultiByte(CP_UTF8, 0, unit, static_cast<int>(units), bytes, sizeof bytes, nullptr, nullptr);
        for (int k = 0; k < n; ++k)
            line.Append(bytes[k]);
        ::SecureZeroMemory(bytes, sizeof bytes);
        ::SecureZeroMemory(unit, sizeof unit);
    }
    return any;
}

} // namespace

const char* const kPasswordSourceForm = "a handle value (a decimal number), or 0 or - (standard input)";

std::optional<int> ParsePasswordSource(std::string_view text) {
    // 0 is never a handle; it stands for standard input, as descriptor 0 does on
    // POSIX, so that the same command line works on both.
    if (text == "-" || text == "0")
        return kStandardInput;
    int handle = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), handle);
    // Handle values are 32-bit significant on 64-bit Windows too.
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || handle < 0)
        return std::nullopt;
    return handle;
}

bool IsStandardInput(int source) { return source == kStandardInput; }

std::string SourceName(int source) {
    return source == kStandardInput ? "standard input" : "handle " + std::to_string(source);
}

SecretText LineFrom(int source) {
    const HANDLE handle = ToHandle(source);
    SecretText line;
    bool any = false;
    for (;;) {
        char c;
        DWORD n = 0;
        if (!::ReadFile(handle, &c, 1, &n, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
                break; // the writer has closed its end: the input has ended
            throw PasswordError("cannot read a password from " + SourceName(source) + ": " + SystemReason(error));
        }
        if (n == 0)
            break;
        any = true;
        if (c == '\n')
            break;
        line.Append(c);
    }
    if (!any)
        throw PasswordError("no password line on " + SourceName(source));
    if (!line.empty() && line.view().back() == '\r')
        line.pop_back();
    return line;
}

SecretText AskTerminal(const std::string& prompt) {
    // The console itself, not the standard handles, which may be redirected.
    OwnedHandle in(::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    OwnedHandle out(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    DWORD mode = 0;
    if (!in.ok() || !out.ok() || !::GetConsoleMode(in.get(), &mode))
        throw PasswordError("no terminal to ask for the password; use --password-fd N");
    SecretText line;
    bool got = false;
    {
        QuietConsole quiet(in.get(), mode);
        WriteConsoleText(out.get(), prompt);
        got = ReadConsoleLine(in.get(), line);
        WriteConsoleText(out.get(), "\r\n"); // the line break the echo would have shown
    }
    if (!got)
        throw PasswordError("no password given");
    return line;
}

void UseBinaryStandardStreams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

} // namespace tkf
