// AES-128 in ECB mode from the platform's own cryptography (OpenSSL on Linux,
// CNG on Windows): an independent implementation to check ours against.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <bcrypt.h> // after windows.h, whose types it uses
#else
#include <openssl/evp.h>
#endif

namespace tallykey::test {

// `in` (whole blocks) encrypted, or decrypted, with the 16-byte `key`, no padding.
inline std::string ReferenceAesEcb(const std::uint8_t* key, const std::string& in, bool encrypt) {
    std::string out(in.size(), '\0');
    auto* inBytes = reinterpret_cast<unsigned char*>(const_cast<char*>(in.data()));
    auto* outBytes = reinterpret_cast<unsigned char*>(out.data());
#ifdef _WIN32
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_KEY_HANDLE handle = nullptr;
    ULONG done = 0;
    EXPECT_EQ(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_AES_ALGORITHM, nullptr, 0), 0);
    EXPECT_EQ(::BCryptSetProperty(algorithm, BCRYPT_CHAINING_MODE,
                                  reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                                  sizeof(BCRYPT_CHAIN_MODE_ECB), 0),
              0);
    EXPECT_EQ(::BCryptGenerateSymmetricKey(algorithm, &handle, nullptr, 0, const_cast<PUCHAR>(key), 16, 0), 0);
    const auto size = static_cast<ULONG>(in.size());
    const NTSTATUS status = encrypt
                                ? ::BCryptEncrypt(handle, inBytes, size, nullptr, nullptr, 0, outBytes, size, &done, 0)
                                : ::BCryptDecrypt(handle, inBytes, size, nullptr, nullptr, 0, outBytes, size, &done, 0);
    EXPECT_EQ(status, 0);
    ::BCryptDestroyKey(handle);
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
#else
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int n = 0, tail = 0;
    out.resize(in.size() + 16);
    outBytes = reinterpret_cast<unsigned char*>(out.data());
    EXPECT_EQ(EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr, encrypt ? 1 : 0), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EXPECT_EQ(EVP_CipherUpdate(ctx, outBytes, &n, inBytes, static_cast<int>(in.size())), 1);
    EXPECT_EQ(EVP_CipherFinal_ex(ctx, outBytes + n, &tail), 1);
    EVP_CIPHER_CTX_free(ctx);
    const auto done = n + tail;
#endif
    out.resize(static_cast<std::size_t>(done));
    return out;
}

} // namespace tallykey::test
