// Byte streams for the cipher's stream operations: an abstract interface, a memory
// stream and a file stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tallykey {

class Stream {
public:
    virtual ~Stream() = default;
    // Both return how many bytes were transferred; fewer than asked means end of data
    // (reading) or a refused write. Neither throws.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    virtual void Seek(std::uint64_t position) = 0;
    virtual std::uint64_t Position() const = 0;
    virtual std::uint64_t Size() const = 0;
};

// Owns its bytes and clears them when it lets them go (on growth and at destruction),
// since it carries plaintext.
class MemoryStream final : public Stream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::string bytes);
    ~MemoryStream() override;
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    void Seek(std::uint64_t position) override;
    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override { return bytes_.size(); }

    void Reserve(std::size_t capacity);
    const std::string& Bytes() const { return bytes_; }
    // Hands the bytes over; the stream is empty afterwards.
    std::string Take();

private:
    std::string bytes_;
    std::size_t position_ = 0;
};

// A file opened through the system layer's descriptors. Failures are kept in LastError()
// (an errno value, 0 when there was none) for the caller to report.
class FileStream final : public Stream {
public:
    enum class Mode { Read, CreateNew };
    FileStream() = default;
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // CreateNew fails if the path exists; permissions are given for the new file.
    bool Open(const std::string& path, Mode mode, unsigned permissions = 0600);
    // Takes over a descriptor opened elsewhere (it is closed with the stream).
    void Attach(int fd);
    // Gives the descriptor back without closing it.
    int Detach();
    bool IsOpen() const { return fd_ >= 0; }
    // Flushes to the device. Returns false and sets LastError() on failure.
    bool Sync();
    bool Close();
    int Descriptor() const { return fd_; }
    int LastError() const { return error_; }

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    void Seek(std::uint64_t position) override;
    std::uint64_t Position() const override;
    std::uint64_t Size() const override;

private:
    int fd_ = -1;
    int error_ = 0;
};

} // namespace tallykey
