#include "editors/password_generator.h"

#include <algorithm>
#include <vector>

#include "database/decimal_text.h"
#include "database/secure_wipe.h"

namespace tallykey {

namespace {

// Bytes at or above this are rejected: 248 = 4 x 62, so byte % 62 is uniform
// over what is kept.
constexpr unsigned kRejectFrom = 4 * kPasswordAlphabet.size();

} // namespace

int PasswordLengthFromText(std::string_view text) {
    const std::int32_t n = ReadDecimal(text);
    if (n <= 0)
        return 0;
    return std::min<std::int32_t>(n, kMaxPasswordLength);
}

std::string RandomPassword(int length, toolkit::RandomSource& random) {
    std::string password;
    if (length <= 0)
        return password;
    password.reserve(static_cast<std::size_t>(length));
    std::vector<unsigned char> bytes;
    while (password.size() < static_cast<std::size_t>(length)) {
        // About 3% of the bytes are rejected; a little headroom saves most refills.
        const std::size_t missing = static_cast<std::size_t>(length) - password.size();
        bytes.resize(missing + missing / 16 + 8);
        random.Fill(bytes.data(), bytes.size());
        for (unsigned char b : bytes) {
            if (b >= kRejectFrom)
                continue;
            password.push_back(kPasswordAlphabet[b % kPasswordAlphabet.size()]);
            if (password.size() == static_cast<std::size_t>(length))
                break;
        }
    }
    // The unused bytes would tell nothing, the used ones tell the password.
    SecureWipe(bytes.data(), bytes.size());
    return password;
}

} // namespace tallykey
