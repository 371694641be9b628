#include "database/file_encryption.h"

#include "database/secure_wipe.h"

#include <algorithm>
#include <cstring>

namespace tallykey {

namespace {

// Blocks are processed a chunk at a time; the stream semantics are those of block by
// block processing (whole blocks read before a short read are still written).
constexpr std::size_t ChunkSize = 16 * 1024;

struct WipedChunk {
    alignas(16) std::uint8_t bytes[ChunkSize];
    ~WipedChunk() { SecureWipe(bytes, sizeof bytes); }
};

std::uint64_t EffectiveCount(Stream& source, std::uint64_t count) {
    if (count == 0) {
        source.Seek(0);
        return source.Size();
    }
    const std::uint64_t size = source.Size();
    const std::uint64_t position = source.Position();
    const std::uint64_t remaining = position < size ? size - position : 0;
    return std::min(count, remaining);
}

void WriteAll(Stream& destination, const std::uint8_t* data, std::size_t size) {
    if (size != 0 && destination.Write(data, size) != size)
        throw StreamError(StreamWriteErrorText);
}

} // namespace

AesKey::AesKey() : bytes_(AesKeySize) {}

AesKey::AesKey(const AesKey& other) : bytes_(AesKeySize) {
    std::memcpy(bytes(), other.bytes(), AesKeySize);
}

AesKey& AesKey::operator=(const AesKey& other) {
    std::memmove(bytes(), other.bytes(), AesKeySize);
    return *this;
}

AesKey DatabaseKey(std::string_view password) {
    AesKey key;
    if (!password.empty()) // an empty text may have no storage at all
        std::memcpy(key.bytes(), password.data(), std::min(password.size(), AesKeySize));
    return key;
}

void EncryptStream(Stream& source, std::uint64_t count, const AesKey& key, Stream& destination) {
    count = EffectiveCount(source, count);
    if (count == 0)
        return;
    const Aes128 cipher(key.bytes());
    WipedChunk chunk;
    while (count > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, ChunkSize));
        const std::size_t got = source.Read(chunk.bytes, want);
        if (got < want) {
            const std::size_t whole = got / AesBlockSize;
            cipher.EncryptBlocks(chunk.bytes, chunk.bytes, whole);
            WriteAll(destination, chunk.bytes, whole * AesBlockSize);
            throw StreamError(StreamReadErrorText);
        }
        const std::size_t padded = (want + AesBlockSize - 1) / AesBlockSize * AesBlockSize;
        std::memset(chunk.bytes + want, 0, padded - want); // zero fill of the last block
        cipher.EncryptBlocks(chunk.bytes, chunk.bytes, padded / AesBlockSize);
        WriteAll(destination, chunk.bytes, padded);
        count -= want;
    }
}

void DecryptStream(Stream& source, std::uint64_t count, const AesKey& key, Stream& destination) {
    count = EffectiveCount(source, count);
    if (count == 0)
        return;
    if (count % AesBlockSize != 0)
        throw StreamError(InvalidBufferSizeText);
    const Aes128 cipher(key.bytes());
    WipedChunk chunk;
    while (count > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count, ChunkSize));
        const std::size_t got = source.Read(chunk.bytes, want);
        const std::size_t whole = (got < want ? got : want) / AesBlockSize;
        cipher.DecryptBlocks(chunk.bytes, chunk.bytes, whole);
        WriteAll(destination, chunk.bytes, whole * AesBlockSize);
        if (got < want)
            throw StreamError(StreamReadErrorText);
        count -= want;
    }
}

} // namespace tallykey
