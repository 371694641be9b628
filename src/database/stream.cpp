#include "database/stream.h"

#include "database/secure_wipe.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    if (fd_ >= 0)
        ::close(fd_);
}

bool FileStream::Open(const std::string& path, Mode mode, unsigned permissions) {
    if (fd_ >= 0)
        Close();
    int flags = O_CLOEXEC;
    if (mode == Mode::Read)
        flags |= O_RDONLY;
    else
        flags |= O_WRONLY | O_CREAT | O_EXCL;
    do {
        fd_ = ::open(path.c_str(), flags, static_cast<mode_t>(permissions));
    } while (fd_ < 0 && errno == EINTR);
    error_ = fd_ < 0 ? errno : 0;
    return fd_ >= 0;
}

void FileStream::Attach(int fd) {
    if (fd_ >= 0)
        Close();
    fd_ = fd;
    error_ = 0;
}

bool FileStream::Sync() {
    if (fd_ < 0)
        return false;
    if (::fsync(fd_) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool FileStream::Close() {
    if (fd_ < 0)
        return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0 && errno != EINTR) {
        error_ = errno;
        return false;
    }
    return true;
}

std::size_t FileStream::Read(void* buffer, std::size_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd_, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error_ = errno;
            break;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t FileStream::Write(const void* buffer, std::size_t count) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error_ = errno;
            break;
        }
        if (n == 0) {
            error_ = ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void FileStream::Seek(std::uint64_t position) {
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
        error_ = errno;
}

std::uint64_t FileStream::Position() const {
    const off_t pos = ::lseek(fd_, 0, SEEK_CUR);
    return pos < 0 ? 0 : static_cast<std::uint64_t>(pos);
}

std::uint64_t FileStream::Size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

} // namespace tallykey
