#include "tools/tkf/password_input.h"

#include "database/secure_wipe.h"
#include "tools/tkf/exchange.h"
#include "toolkit/ansi_text.h"

#include <cerrno>
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

// One line without its line break (LF or CR LF). Reads byte by byte so that the next
// line stays in the descriptor for the next password.
bool ReadLine(int fd, SecretText& line, int& error) {
    line.clear();
    bool any = false;
    for (;;) {
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
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
    error = 0;
    return any;
}

SecretText LineFrom(int fd) {
    SecretText line;
    int error = 0;
    if (!ReadLine(fd, line, error)) {
        if (error != 0)
            throw PasswordError("cannot read a password from descriptor " + std::to_string(fd) +
                                ": " + std::strerror(error));
        throw PasswordError("no password line on descriptor " + std::to_string(fd));
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
    int error = 0;
    const bool got = ReadLine(tty, line, error);
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

} // namespace

PasswordInput::PasswordInput(int passwordFd, int newPasswordFd, int codePage)
    : passwordFd_(passwordFd), newPasswordFd_(newPasswordFd), codePage_(codePage) {}

SecretText PasswordInput::Convert(SecretText text, bool strict) const {
    // Input arrives as UTF-8 from the terminal; the key is made from the code page's
    // bytes, as the program on Windows makes it. Bytes that are not UTF-8 are taken as
    // they are.
    if (FindInvalidUtf8(text) != std::string::npos)
        return text;
    std::string ansi = toolkit::Utf8ToAnsi(text, codePage_);
    std::string back = strict ? toolkit::AnsiToUtf8(ansi, codePage_) : std::string();
    const bool lossy = strict && back != text.view();
    tallykey::SecureWipe(back);
    SecretText converted;
    converted = std::move(ansi); // clears `ansi`
    if (lossy)
        throw PasswordError("the new password has characters that code page " +
                            std::to_string(codePage_) + " cannot hold");
    return converted;
}

SecretText PasswordInput::Current(const std::string& file) {
    SecretText line = passwordFd_ >= 0 ? LineFrom(passwordFd_) : AskTerminal("Password for " + file + ": ");
    return Convert(std::move(line), false);
}

SecretText PasswordInput::New() {
    if (newPasswordFd_ >= 0)
        return Convert(LineFrom(newPasswordFd_), true);
    if (passwordFd_ >= 0)
        return Convert(LineFrom(passwordFd_), true);
    SecretText first = AskTerminal("New password: ");
    const SecretText second = AskTerminal("Re-type password: ");
    if (first.view() != second.view())
        throw PasswordError("the typed passwords do not match");
    return Convert(std::move(first), true);
}

} // namespace tkf
