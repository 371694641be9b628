// Decimal text as the database file and the password generator's length box hold it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tallykey {

// The lenient reader that never fails: one optional leading "+" or "-", then decimal
// digits up to the first other character (the rest is ignored); no digits give 0.
// The value is computed in 32-bit arithmetic and wraps on overflow.
std::int32_t ReadDecimal(std::string_view text);

// ASCII digits, a leading "-" for negative values, no leading zeros, no "+".
std::string WriteDecimal(std::int32_t value);

} // namespace tallykey
