#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "database/aes.h"
#include "database/file_encryption.h"
#include "database/secure_memory.h"
#include "database/secure_wipe.h"
#include "database/stream.h"

#include <fstream>

#ifndef _WIN32
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

// FIPS-197 appendix A: the key, which is also the first round key, and the last round key.
constexpr std::uint8_t kFipsKey[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                                       0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
constexpr std::uint8_t kFipsLastRoundKey[16] = {0xd0, 0x14, 0xf9, 0xa8, 0xc9, 0xee, 0x25, 0x89,
                                                0xe1, 0x3f, 0x0c, 0xc8, 0xb6, 0x63, 0x0c, 0xa6};

// Whether `pattern` lies in the stack below the caller's frame, where the frames of the
// functions it called before lived.
__attribute__((noinline, no_sanitize("address")))
bool LeftBelowOnTheStack(const std::uint8_t (&pattern)[16]) {
    // From this frame's address as a number, so that the compiler sees no object's bounds.
    const std::uintptr_t frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    const volatile std::uint8_t* top = reinterpret_cast<const volatile std::uint8_t*>(frame);
    constexpr std::size_t Depth = 128 * 1024;
    for (std::size_t i = 16; i < Depth; ++i) {
        bool same = true;
        for (std::size_t k = 0; k < 16 && same; ++k)
            same = top[-static_cast<std::ptrdiff_t>(i) + static_cast<std::ptrdiff_t>(k)] == pattern[k];
        if (same)
            return true;
    }
    return false;
}

__attribute__((noinline)) void LeaveOnTheStack(const std::uint8_t (&pattern)[16]) {
    std::uint8_t copy[64];
    for (std::size_t k = 0; k < 16; ++k)
        copy[24 + k] = pattern[k];
    __asm__ __volatile__("" : : "r"(copy) : "memory"); // the stores must happen
}

__attribute__((noinline)) void UseTheCipher(AesEngine engine, const std::string& password) {
    SetDefaultAesEngine(engine);
    {
        const Aes128 cipher(kFipsKey, engine);
        std::uint8_t blocks[5 * 16] = {1, 2, 3};
        cipher.EncryptBlocks(blocks, blocks, 5);
        cipher.DecryptBlocks(blocks, blocks, 5);
    }
    MemoryStream plain(std::string(100, 'p')), encrypted, back;
    EncryptStream(plain, 0, DatabaseKey(password), encrypted);
    encrypted.Seek(0);
    DecryptStream(encrypted, 0, DatabaseKey(password), back);
}

// A crash dump shows the stack; what the cipher's frames held must be gone from it.
TEST(SecureMemory, NoKeyOrRoundKeyIsLeftOnTheStack) {
    // The search finds what a returned frame left behind.
    constexpr std::uint8_t neutral[16] = {};
    LeaveOnTheStack(kFipsLastRoundKey);
    ASSERT_TRUE(LeftBelowOnTheStack(kFipsLastRoundKey));
    LeaveOnTheStack(neutral); // in the same place
    ASSERT_FALSE(LeftBelowOnTheStack(kFipsLastRoundKey));

    const std::string password(reinterpret_cast<const char*>(kFipsKey), 16); // held on the heap
    const AesEngine before = DefaultAesEngine();
    for (AesEngine engine : {AesEngine::Table, AesEngine::AesNi}) {
        if (engine == AesEngine::AesNi && !AesNiAvailable())
            continue;
        SCOPED_TRACE(engine == AesEngine::Table ? "table" : "AES-NI");
        UseTheCipher(engine, password);
        EXPECT_FALSE(LeftBelowOnTheStack(kFipsKey));
        EXPECT_FALSE(LeftBelowOnTheStack(kFipsLastRoundKey));
    }
    SetDefaultAesEngine(before);
}

#ifndef _WIN32
std::size_t LockedKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmLck:", 0) == 0)
            return std::stoul(line.substr(6));
    }
    return 0;
}
#endif

TEST(SecureMemory, LockedBytesAreLockedWhileTheyLiveAndSecretTextKeepsItsText) {
#ifdef _WIN32 // how much of the process is locked shows in Linux's /proc only
    {
        LockedBytes bytes(100);
        ASSERT_NE(bytes.data(), nullptr);
        EXPECT_EQ(std::count(bytes.data(), bytes.data() + 100, 0), 100);
    }
#else
    const std::size_t before = LockedKilobytes();
    {
        LockedBytes bytes(100);
        ASSERT_NE(bytes.data(), nullptr);
        EXPECT_EQ(std::count(bytes.data(), bytes.data() + 100, 0), 100);
        struct rlimit limit {};
        ::getrlimit(RLIMIT_MEMLOCK, &limit);
#if !defined(__SANITIZE_ADDRESS__) // AddressSanitizer makes mlock do nothing
        if (::geteuid() == 0 || limit.rlim_cur >= 64 * 1024) {
            EXPECT_GE(LockedKilobytes(), before + 4);
        }
#endif
    }
    EXPECT_EQ(LockedKilobytes(), before);
#endif

    SecretText text;
    std::string typed(300, 'x');
    text = std::move(typed);
    EXPECT_EQ(std::count(typed.begin(), typed.end(), 'x'), 0); // the source is cleared
    for (int i = 0; i < 5000; ++i)
        text.Append('y');
    text.pop_back();
    EXPECT_EQ(text.view(), std::string(300, 'x') + std::string(4999, 'y'));
    SecretText moved = std::move(text);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(moved.size(), 5299u);
}

TEST(SecureMemory, ProtectedProcessLeavesNoCoreDump) {
#ifdef _WIN32
    GTEST_SKIP() << "core limits and the dumpable flag are POSIX's; tested where they exist";
#else
    const pid_t child = ::fork();
    if (child == 0) {
        ProtectProcess();
        struct rlimit core {1, 1};
        ::getrlimit(RLIMIT_CORE, &core);
        int failures = core.rlim_cur != 0 || core.rlim_max != 0 ? 1 : 0;
#if !defined(__SANITIZE_ADDRESS__)
        if (::prctl(PR_GET_DUMPABLE) != 0)
            failures |= 2;
#endif
        ::_exit(failures);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a core limit is left, 2: still dumpable";
#endif
}

} // namespace
} // namespace tallykey
