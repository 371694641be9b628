// Where tkf gets passwords: the terminal without echo, or lines read from descriptors.
// Never the command line, where other users could see them. Passwords are held in locked
// memory only (see SecretText).
#pragma once

#include "database/secure_memory.h"

#include <stdexcept>
#include <string>

namespace tkf {

class PasswordError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Sources of passwords besides descriptor (handle) numbers.
constexpr int kAskTerminal = -1;
constexpr int kStandardInput = -2; // "-"

class PasswordInput {
public:
    // kAskTerminal for a source means "ask on the terminal".
    PasswordInput(int passwordFd, int newPasswordFd, int codePage);

    bool FromTerminal() const { return passwordFd_ == kAskTerminal; }
    // Whether New() takes its line from standard input.
    bool NewReadsStandardInput() const;
    // The password of an existing file: the next line of --password-fd, else asked once.
    tallykey::SecretText Current(const std::string& file);
    // A new password: the first line of --new-password-fd, else the next line of
    // --password-fd, else asked twice on the terminal (the two must agree).
    tallykey::SecretText New();

private:
    tallykey::SecretText Convert(tallykey::SecretText text, bool strict) const;
    int passwordFd_;
    int newPasswordFd_;
    int codePage_;
};

} // namespace tkf
