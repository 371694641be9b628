#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "database/aes.h"
#include "database/secure_wipe.h"

namespace tallykey {
namespace {

TEST(SecureWipe, ClearsExactlyTheBytesGiven) {
    std::vector<unsigned char> buffer(64, 0xA5);
    SecureWipe(buffer.data() + 8, 48);
    EXPECT_TRUE(std::all_of(buffer.begin() + 8, buffer.begin() + 56, [](unsigned char b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + 8, [](unsigned char b) { return b == 0xA5; }));
    EXPECT_TRUE(std::all_of(buffer.begin() + 56, buffer.end(), [](unsigned char b) { return b == 0xA5; }));
    SecureWipe(nullptr, 16); // nothing to do, no crash
}

TEST(SecureWipe, StringLosesItsTextAndTheOldLongerValueBehindIt) {
    std::string text(200, 's');
    text = "short"; // the buffer keeps the 200 bytes of the earlier value
    const char* buffer = text.data();
    const std::size_t capacity = text.capacity();
    ASSERT_GE(capacity, 200u);
    SecureWipe(text);
    EXPECT_TRUE(text.empty());
    ASSERT_EQ(text.data(), buffer); // still the same allocation
    EXPECT_EQ(std::count(buffer, buffer + capacity, 's'), 0);
}

// An optimiser may drop stores into an object whose life is ending; the round
// keys must be gone from the object's memory all the same.
TEST(SecureWipe, CipherClearsItsRoundKeysWhenDestroyed) {
    for (AesEngine engine : {AesEngine::Table, AesEngine::AesNi}) {
        if (engine == AesEngine::AesNi && !AesNiAvailable())
            continue;
        alignas(Aes128) unsigned char storage[sizeof(Aes128)];
        std::fill(std::begin(storage), std::end(storage), 0xEE);
        const std::uint8_t key[AesKeySize] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                                              0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
        auto* cipher = new (storage) Aes128(key, engine);
        const auto zerosBefore = std::count(std::begin(storage), std::end(storage), 0);
        // The first round key is the key itself.
        EXPECT_NE(std::search(std::begin(storage), std::end(storage), std::begin(key), std::end(key)),
                  std::end(storage));
        cipher->~Aes128();
        const auto zerosAfter = std::count(std::begin(storage), std::end(storage), 0);
        EXPECT_LT(zerosBefore, 16);
        EXPECT_GE(zerosAfter, static_cast<long>(2 * 44 * sizeof(std::uint32_t)));
        EXPECT_EQ(std::search(std::begin(storage), std::end(storage), std::begin(key), std::end(key)),
                  std::end(storage));
    }
}

} // namespace
} // namespace tallykey
