#include "tools/tkf/password_input.h"

#include "database/secure_wipe.h"
#include "tools/tkf/console.h"
#include "tools/tkf/exchange.h"
#include "toolkit/ansi_text.h"

namespace tkf {

using tallykey::SecretText;

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

bool PasswordInput::NewReadsStandardInput() const {
    return IsStandardInput(newPasswordFd_ != kAskTerminal ? newPasswordFd_ : passwordFd_);
}

SecretText PasswordInput::Current(const std::string& file) {
    SecretText line = passwordFd_ != kAskTerminal ? LineFrom(passwordFd_) : AskTerminal("Password for " + file + ": ");
    return Convert(std::move(line), false);
}

SecretText PasswordInput::New() {
    if (newPasswordFd_ != kAskTerminal)
        return Convert(LineFrom(newPasswordFd_), true);
    if (passwordFd_ != kAskTerminal)
        return Convert(LineFrom(passwordFd_), true);
    SecretText first = AskTerminal("New password: ");
    const SecretText second = AskTerminal("Re-type password: ");
    if (first.view() != second.view())
        throw PasswordError("the typed passwords do not match");
    return Convert(std::move(first), true);
}

} // namespace tkf
