#include "database/stream.h"

#include "database/secure_wipe.h"

#include "system/file_system.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tallykey {

MemoryStream::MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

MemoryStream::~MemoryStream() {
    SecureWipe(bytes_);
}

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
    const std::size_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    const std::size_t n = std::min(count, available);
    if (n > 0)
        std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

void MemoryStream::Reserve(std::size_t capacity) {
    if (capacity <= bytes_.capacity())
        return;
    // Grow by hand so that the old buffer is cleared rather than freed with its contents.
    std::string grown;
    grown.reserve(capacity);
    grown.assign(bytes_);
    SecureWipe(bytes_);
    bytes_.swap(grown);
}

std::size_t MemoryStream::Write(const void* buffer, std::size_t count) {
    if (count == 0)
        return 0;
    const std::size_t end = position_ + count;
    if (end > bytes_.capacity())
        Reserve(std::max(end, bytes_.capacity() * 2));
    if (position_ > bytes_.size())
        bytes_.resize(position_, '\0');
    if (end > bytes_.size())
        bytes_.resize(end);
    std::memcpy(bytes_.data() + position_, buffer, count);
    position_ = end;
    return count;
}

void MemoryStream::Seek(std::uint64_t position) {
    position_ = static_cast<std::size_t>(position);
}

std::string MemoryStream::Take() {
    std::string out;
    out.swap(bytes_);
    position_ = 0;
    return out;
}

FileStream::~FileStream() {
    int ignored = 0;
    if (fd_ >= 0)
        (void)system::CloseFile(fd_, ignored);
}

bool FileStream::Open(const std::string& path, Mode mode, unsigned permissions) {
    if (fd_ >= 0)
        Close();
    error_ = 0;
    fd_ = mode == Mode::Read ? system::OpenRegularFile(path, error_)
                             : system::CreateNewFile(path, permissions, error_);
    return fd_ >= 0;
}

void FileStream::Attach(int fd) {
    if (fd_ >= 0)
        Close();
    fd_ = fd;
    error_ = 0;
}

int FileStream::Detach() { return std::exchange(fd_, -1); }

bool FileStream::Sync() { return fd_ >= 0 && system::SyncFile(fd_, error_); }

bool FileStream::Close() {
    if (fd_ < 0)
        return true;
    return system::CloseFile(std::exchange(fd_, -1), error_);
}

std::size_t FileStream::Read(void* buffer, std::size_t count) { return system::ReadBytes(fd_, buffer, count, error_); }

std::size_t FileStream::Write(const void* buffer, std::size_t count) {
    return system::WriteBytes(fd_, buffer, count, error_);
}

void FileStream::Seek(std::uint64_t position) { (void)system::SeekFile(fd_, position, error_); }

std::uint64_t FileStream::Position() const { return system::FilePosition(fd_); }

std::uint64_t FileStream::Size() const { return system::FileSize(fd_); }

} // namespace tallykey
