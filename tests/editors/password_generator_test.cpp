#include "editors/password_generator.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <set>

#include "toolkit/services.h"

namespace tallykey {
namespace {

// Hands out a fixed byte sequence, then fails the test if asked for more.
class ScriptedRandom : public toolkit::RandomSource {
public:
    explicit ScriptedRandom(std::deque<unsigned char> bytes) : bytes_(std::move(bytes)) {}
    void Fill(unsigned char* buffer, std::size_t size) override {
        for (std::size_t i = 0; i < size; ++i) {
            if (bytes_.empty()) {
                // Requests may ask for headroom; pad with rejected bytes so
                // that padding can never become a character.
                buffer[i] = 255;
                ++padded;
                continue;
            }
            buffer[i] = bytes_.front();
            bytes_.pop_front();
        }
    }
    std::size_t padded = 0;

private:
    std::deque<unsigned char> bytes_;
};

TEST(PasswordLength, ReadsTheLengthBoxLikeTheDecimalReader) {
    struct Case { const char* text; int length; };
    const Case cases[] = {
        {"8", 8},         {"0", 0},           {"", 0},           {"12abc", 12},
        {"-5", 0},        {"+7", 7},          {"abc", 0},        {"4096", 4096},
        {"4097", 4096},   {"99999", 4096},    {"007", 7},        {" 5", 0},
        // 2^32 + 3 wraps to 3 in the reader's 32-bit arithmetic.
        {"4294967299", 3},
        // 2^31 wraps to a negative number: nothing is generated.
        {"2147483648", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PasswordLengthFromText(c.text), c.length) << '"' << c.text << '"';
}

TEST(RandomPassword, MapsBytesOntoTheAlphabetAndRejectsTheTopEight) {
    // 248..255 would favour the first eight characters, so they are dropped.
    ScriptedRandom random({0, 248, 9, 10, 255, 35, 36, 61, 62, 247, 250, 99});
    EXPECT_EQ(RandomPassword(9, random), "09AZaz0zb");
}

TEST(RandomPassword, KeepsDrawingUntilTheLengthIsReached) {
    std::deque<unsigned char> bytes(40, 251); // a long run of rejected bytes
    bytes.push_back(1);
    bytes.push_back(2);
    ScriptedRandom random(bytes);
    EXPECT_EQ(RandomPassword(2, random), "12");
}

TEST(RandomPassword, NothingForLengthsBelowOne) {
    ScriptedRandom random({1, 2, 3});
    EXPECT_EQ(RandomPassword(0, random), "");
    EXPECT_EQ(RandomPassword(-4, random), "");
}

TEST(RandomPassword, SystemSourceGivesExactLengthsOverTheAlphabetOnly) {
    auto& random = toolkit::SystemRandom();
    for (int length : {1, 8, 63, 4096}) {
        const std::string password = RandomPassword(length, random);
        ASSERT_EQ(password.size(), static_cast<std::size_t>(length));
        for (char c : password)
            ASSERT_NE(kPasswordAlphabet.find(c), std::string_view::npos) << int(c);
    }
    // Two 32-character passwords from the system source do not coincide.
    EXPECT_NE(RandomPassword(32, random), RandomPassword(32, random));
}

TEST(RandomPassword, SystemSourceIsUniformOverTheAlphabet) {
    // Pearson's chi-square over the 62 characters with 61 degrees of freedom.
    // 128.9 is the critical value at p = 1e-6, so a sound generator fails about
    // once in a million runs; a bias such as taking byte % 62 without
    // rejection gives a statistic in the thousands at this sample size.
    constexpr int kPerCharacter = 10000;
    constexpr int kTotal = 62 * kPerCharacter;
    std::array<long, 256> counts{};
    auto& random = toolkit::SystemRandom();
    int drawn = 0;
    while (drawn < kTotal) {
        const std::string part = RandomPassword(std::min(kMaxPasswordLength, kTotal - drawn), random);
        for (char c : part)
            ++counts[static_cast<unsigned char>(c)];
        drawn += static_cast<int>(part.size());
    }
    double chi2 = 0;
    long seen = 0;
    for (char c : kPasswordAlphabet) {
        const double d = static_cast<double>(counts[static_cast<unsigned char>(c)]) - kPerCharacter;
        chi2 += d * d / kPerCharacter;
        seen += counts[static_cast<unsigned char>(c)];
    }
    EXPECT_EQ(seen, kTotal);
    EXPECT_LT(chi2, 128.9);
}

} // namespace
} // namespace tallykey
