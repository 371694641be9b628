// The database key and the two stream operations that encrypt and decrypt database files
// with AES-128 in ECB mode.
#pragma once

#include "database/aes.h"
#include "database/secure_memory.h"
#include "database/stream.h"

#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace tallykey {

// Raised by EncryptStream and DecryptStream; what() is one of the texts below.
class StreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* StreamReadErrorText = "Stream read error";
inline constexpr const char* StreamWriteErrorText = "Stream write error";
inline constexpr const char* InvalidBufferSizeText = "Invalid buffer size for decryption";

// A 16-byte key, kept in locked memory and cleared when it goes away.
class AesKey {
public:
    AesKey();
    AesKey(const AesKey& other);
    AesKey& operator=(const AesKey& other);
    std::uint8_t* bytes() { return bytes_.data(); }
    const std::uint8_t* bytes() const { return bytes_.data(); }

private:
    LockedBytes bytes_;
};

// The password's bytes as they are (no conversion, no trimming): its first 16 bytes,
// zero filled when it is shorter. The empty password gives the all-zero key.
AesKey DatabaseKey(std::string_view password);

// Both read from the source's current position and append to the destination.
// count == 0 means the whole source: it is positioned at its start first. A non-zero
// count is cut to what remains after the current position.
//
// EncryptStream writes 16 * ceil(count / 16) bytes, the last block filled up with zeros.
// DecryptStream needs a count that is a multiple of 16 (else InvalidBufferSizeText,
// before anything is read or written) and writes exactly count bytes.
// A short read raises StreamReadErrorText, a short write StreamWriteErrorText; the
// blocks written before stay in the destination.
void EncryptStream(Stream& source, std::uint64_t count, const AesKey& key, Stream& destination);
void DecryptStream(Stream& source, std::uint64_t count, const AesKey& key, Stream& destination);

} // namespace tallykey
