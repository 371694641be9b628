// The password generator of the item editor: random passwords over digits
// and Latin letters, drawn from the system's cryptographic source.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "toolkit/services.h"

namespace tallykey {

// "0".."9", "A".."Z", "a".."z".
inline constexpr std::string_view kPasswordAlphabet =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
static_assert(kPasswordAlphabet.size() == 62);

// Longest password one click makes; keeps a click quick and the text within
// what an edit box holds comfortably.
inline constexpr int kMaxPasswordLength = 4096;

// The number of characters the length box asks for: its text read as decimal
// (sign, digits up to the first other character), 0 when not positive, at
// most kMaxPasswordLength.
int PasswordLengthFromText(std::string_view text);

// `length` characters, each drawn uniformly and independently from the alphabet.
std::string RandomPassword(int length, toolkit::RandomSource& random);

} // namespace tallykey
