// Where tkf reads passwords: the --password-fd value, lines from a descriptor
// (a handle on Windows), and the console without echo.
#include "tools/tkf/console.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tkf {
namespace {

TEST(PasswordSource, NumbersAndStandardInput) {
    EXPECT_EQ(ParsePasswordSource("-"), kStandardInput);
    EXPECT_EQ(ParsePasswordSource("12"), 12);
#ifdef _WIN32
    EXPECT_EQ(ParsePasswordSource("0"), kStandardInput) << "0 is never a handle";
    EXPECT_EQ(ParsePasswordSource("2147483644"), 2147483644);
#else
    EXPECT_EQ(ParsePasswordSource("0"), 0);
    EXPECT_EQ(ParsePasswordSource("1048577"), std::nullopt);
#endif
    for (const char* bad : {"", "-1", "x", "3x", " 3", "0x10", "--"})
        EXPECT_EQ(ParsePasswordSource(bad), std::nullopt) << bad;
}

// A pipe whose reading end is a password source.
class Pipe {
public:
    Pipe() {
#ifdef _WIN32
        EXPECT_TRUE(::CreatePipe(&read_, &write_, nullptr, 0));
#else
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        read_ = fds[0];
        write_ = fds[1];
#endif
    }
    ~Pipe() {
        CloseWriter();
#ifdef _WIN32
        ::CloseHandle(read_);
#else
        ::close(read_);
#endif
    }
    int Source() const {
#ifdef _WIN32
        return static_cast<int>(reinterpret_cast<std::intptr_t>(read_));
#else
        return read_;
#endif
    }
    void Write(const std::string& bytes) {
#ifdef _WIN32
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(write_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
#else
        ASSERT_EQ(::write(write_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
#endif
    }
    void CloseWriter() {
#ifdef _WIN32
        if (write_)
            ::CloseHandle(write_);
        write_ = nullptr;
#else
        if (write_ >= 0)
            ::close(write_);
        write_ = -1;
#endif
    }

private:
#ifdef _WIN32
    HANDLE read_ = nullptr, write_ = nullptr;
#else
    int read_ = -1, write_ = -1;
#endif
};

TEST(PasswordSource, ReadsOneLineAtATimeAndSaysWhenTheInputEnded) {
    Pipe pipe;
    pipe.Write("first\r\n\nthird without end");
    pipe.CloseWriter();
    EXPECT_EQ(LineFrom(pipe.Source()).view(), "first");
    EXPECT_EQ(LineFrom(pipe.Source()).view(), "") << "an empty line is the empty password";
    EXPECT_EQ(LineFrom(pipe.Source()).view(), "third without end");
    try {
        LineFrom(pipe.Source());
        ADD_FAILURE() << "read past the end";
    } catch (const PasswordError& e) {
        EXPECT_EQ(std::string(e.what()), "no password line on " + SourceName(pipe.Source()));
    }
}

#ifdef _WIN32
// Keys typed into the console's input, as a user types them.
void Type(HANDLE input, const std::wstring& keys) {
    std::vector<INPUT_RECORD> records;
    for (wchar_t c : keys)
        for (BOOL down : {TRUE, FALSE}) {
            INPUT_RECORD r{};
            r.EventType = KEY_EVENT;
            r.Event.KeyEvent.bKeyDown = down;
            r.Event.KeyEvent.wRepeatCount = 1;
            r.Event.KeyEvent.wVirtualKeyCode = c == L'\r' ? VK_RETURN : 0;
            r.Event.KeyEvent.uChar.UnicodeChar = c;
            records.push_back(r);
        }
    DWORD written = 0;
    ASSERT_TRUE(::WriteConsoleInputW(input, records.data(), static_cast<DWORD>(records.size()), &written));
    ASSERT_EQ(written, records.size());
}

std::string Screen(HANDLE output) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(output, &info))
        return {};
    std::string text(static_cast<std::size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1), ' ');
    DWORD read = 0;
    ::ReadConsoleOutputCharacterA(output, text.data(), static_cast<DWORD>(text.size()), COORD{0, 0}, &read);
    text.resize(read);
    return text;
}

TEST(ConsolePassword, IsReadWithoutEchoAndTheConsoleModeIsRestored) {
    // A console of the test's own (the test runs with its output redirected).
    ::FreeConsole();
    ::AllocConsole();
    const HANDLE input = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    const HANDLE output = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE || !::GetConsoleMode(input, &mode))
        GTEST_SKIP() << "no working console here (Wine gives one only with a display)";
    const DWORD echoing = ENABLE_ECHO_INPUT | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT;
    ASSERT_TRUE(::SetConsoleMode(input, echoing));

    Type(input, L"s3cr\u00e9t\r"); // "é" arrives as UTF-8
    EXPECT_EQ(AskTerminal("Password for x.tkf: ").view(), "s3cr\xc3\xa9t");
    DWORD after = 0;
    ASSERT_TRUE(::GetConsoleMode(input, &after));
    EXPECT_EQ(after, echoing);
    const std::string screen = Screen(output);
    EXPECT_NE(screen.find("Password for x.tkf: "), std::string::npos) << screen;
    EXPECT_EQ(screen.find("s3cr"), std::string::npos) << screen;

    // What is typed with the echo back on shows again.
    Type(input, L"visible\r");
    wchar_t buffer[32];
    DWORD read = 0;
    ASSERT_TRUE(::ReadConsoleW(input, buffer, 32, &read, nullptr));
    EXPECT_NE(Screen(output).find("visible"), std::string::npos);
    ::CloseHandle(input);
    ::CloseHandle(output);
}
#endif

} // namespace
} // namespace tkf
