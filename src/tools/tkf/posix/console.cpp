// Passwords from descriptors and from the terminal (termios).
#include "tools/tkf/console.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace tkf {

using tallykey::SecretText;

namespace {

// Restores the terminal's echo if a signal ends the program while a password is typed.
int g_ttyFd = -1;
struct termios g_savedTermios;

void RestoreTerminal(int signal) {
    if (g_ttyFd >= 0)
        ::tcsetattr(g_ttyFd, TCSAFLUSH, &g_savedTermios);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

constexpr int kMaxDescriptor = 1 << 20;

// One line without its line break (LF or CR LF), read byte by byte; false when the
// input ended before any byte, `error` then the reason if reading failed.
bool ReadLineFd(int fd, SecretText& line, std::string& error) {
    line.clear();
    error.clear();
    bool any = false;
    for (;;) {
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = std::strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        any = true;
        if (c == '\n')
            break;
        line.Append(c);
    }
    if (!line.empty() && line.view().back() == '\r')
        line.pop_back();
    return any;
}

} // namespace

const char* const kPasswordSourceForm = "a descriptor number from 0 to 1048576 or - (standard input)";

std::optional<int> ParsePasswordSource(std::string_view text) {
    if (text == "-")
        return kStandardInput;
    int fd = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), fd);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || fd < 0 || fd > kMaxDescriptor)
        return std::nullopt;
    return fd;
}

void UseBinaryStandardStreams() {} // POSIX streams carry bytes already

bool IsStandardInput(int source) { return source == kStandardInput || source == STDIN_FILENO; }

std::string SourceName(int source) {
    return source == kStandardInput ? "standard input" : "descriptor " + std::to_string(source);
}

SecretText LineFrom(int source) {
    SecretText line;
    std::string error;
    if (!ReadLineFd(source == kStandardInput ? STDIN_FILENO : source, line, error)) {
        if (!error.empty())
            throw PasswordError("cannot read a password from " + SourceName(source) + ": " + error);
        throw PasswordError("no password line on " + SourceName(source));
    }
    return line;
}

SecretText AskTerminal(const std::string& prompt) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        throw PasswordError("no terminal to ask for the password; use --password-fd N");
    struct termios old {};
    const bool isTerminal = ::tcgetattr(tty, &old) == 0;
    if (isTerminal) {
        g_savedTermios = old;
        g_ttyFd = tty;
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            std::signal(s, RestoreTerminal);
        struct termios quiet = old;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    (void)!::write(tty, prompt.data(), prompt.size());
    SecretText line;
    std::string error;
    const bool got = ReadLineFd(tty, line, error);
    if (isTerminal) {
        ::tcsetattr(tty, TCSAFLUSH, &old);
        g_ttyFd = -1;
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            std::signal(s, SIG_DFL);
    }
    ::close(tty);
    if (!got)
        throw PasswordError("no password given");
    return line;
}

} // namespace tkf
