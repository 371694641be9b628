// Keeping secrets out of swap and core dumps: memory for the key, the round keys and the
// master password, and the process's own protection (from the system layer).
#pragma once

#include "system/process.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallykey {

using system::ProtectProcess;

// A block of memory whose pages are locked in memory (never written to swap) where the
// system's limit allows, silently unlocked otherwise, and left out of core dumps. It is
// cleared before it is given back.
class LockedBytes {
public:
    explicit LockedBytes(std::size_t size); // throws std::bad_alloc
    ~LockedBytes();
    LockedBytes(LockedBytes&& other) noexcept;
    LockedBytes& operator=(LockedBytes&& other) noexcept;
    LockedBytes(const LockedBytes&) = delete;
    LockedBytes& operator=(const LockedBytes&) = delete;

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    void Release();
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0;
};

// A text held in locked memory: the master password. Taking a std::string clears it.
class SecretText {
public:
    SecretText() = default;
    SecretText(SecretText&& other) noexcept;
    SecretText& operator=(SecretText&& other) noexcept;
    SecretText& operator=(std::string&& text);
    void Assign(std::string_view text);
    void Append(char c);
    void pop_back(); // the last byte is cleared
    void clear();
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    std::string_view view() const { return {reinterpret_cast<const char*>(bytes_.data()), size_}; }
    operator std::string_view() const { return view(); }
    friend bool operator==(const SecretText& a, std::string_view b) { return a.view() == b; }

private:
    void Reserve(std::size_t size);
    LockedBytes bytes_{0};
    std::size_t size_ = 0;
};

void SecureWipe(SecretText& text);

} // namespace tallykey
