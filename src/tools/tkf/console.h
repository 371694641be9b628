// Where tkf reads passwords from, one implementation per platform: lines from a
// descriptor (on Windows a handle), or the terminal (the console) without echo.
#pragma once

#include "database/secure_memory.h"
#include "tools/tkf/password_input.h"

#include <optional>
#include <string>
#include <string_view>

namespace tkf {

// The value of --password-fd: a descriptor number (on Windows a handle value,
// decimal), or "-" for the standard input (kStandardInput, password_input.h). Nothing for any
// other text.
std::optional<int> ParsePasswordSource(std::string_view text);
// What ParsePasswordSource takes, for the usage error.
extern const char* const kPasswordSourceForm;

// Whether `source` is the standard input ("-", and descriptor 0 on POSIX).
bool IsStandardInput(int source);

// How errors name a source: "descriptor 3", "handle 88", "standard input".
std::string SourceName(int source);

// The next line of `source` without its line break (LF or CR LF). Reads byte by
// byte so that the next line stays in the source for the next password. Throws
// PasswordError when reading fails or the input has ended.
tallykey::SecretText LineFrom(int source);

// Asks on the terminal (the console) with echo off and reads one line, as UTF-8;
// the terminal's settings are restored afterwards, also when Ctrl+C or a signal
// ends the program meanwhile. Throws PasswordError when there is no terminal or
// the input ended.
tallykey::SecretText AskTerminal(const std::string& prompt);

// Standard input and output carry bytes as they are: exports, imports and
// passwords read the same on every platform (no CR LF translation on Windows).
void UseBinaryStandardStreams();

} // namespace tkf
