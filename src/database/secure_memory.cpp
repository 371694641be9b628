#include "database/secure_memory.h"

#include "database/secure_wipe.h"
#include "system/process.h"

#include <algorithm>
#include <new>
#include <utility>

namespace tallykey {

LockedBytes::LockedBytes(std::size_t size) : size_(size) {
    if (size == 0)
        return;
    data_ = static_cast<std::uint8_t*>(system::AllocateLockedPages(size, mapped_));
    if (data_ == nullptr)
        throw std::bad_alloc();
}

LockedBytes::~LockedBytes() { Release(); }

LockedBytes::LockedBytes(LockedBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

LockedBytes& LockedBytes::operator=(LockedBytes&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

void LockedBytes::Release() {
    if (data_ == nullptr)
        return;
    SecureWipe(data_, mapped_);
    system::FreeLockedPages(data_, mapped_);
    data_ = nullptr;
    size_ = mapped_ = 0;
}

void SecretText::Reserve(std::size_t size) {
    if (size <= bytes_.size())
        return;
    // Whole pages are mapped anyway; grow by doubling so that appending stays linear.
    LockedBytes bigger(std::max(size, std::max<std::size_t>(2 * bytes_.size(), 64)));
    std::copy(bytes_.data(), bytes_.data() + size_, bigger.data());
    bytes_ = std::move(bigger); // the old block is cleared as it goes
}

SecretText::SecretText(SecretText&& other) noexcept
    : bytes_(std::move(other.bytes_)), size_(std::exchange(other.size_, 0)) {}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
    bytes_ = std::move(other.bytes_);
    size_ = std::exchange(other.size_, 0);
    return *this;
}

SecretText& SecretText::operator=(std::string&& text) {
    Assign(text);
    SecureWipe(text);
    return *this;
}

void SecretText::Assign(std::string_view text) {
    clear();
    Reserve(text.size());
    std::copy(text.begin(), text.end(), bytes_.data());
    size_ = text.size();
}

void SecretText::Append(char c) {
    Reserve(size_ + 1);
    bytes_.data()[size_++] = static_cast<std::uint8_t>(c);
}

void SecretText::pop_back() {
    if (size_ != 0)
        bytes_.data()[--size_] = 0;
}

void SecretText::clear() {
    SecureWipe(bytes_.data(), size_);
    size_ = 0;
}

void SecureWipe(SecretText& text) { text.clear(); }

} // namespace tallykey
