#include "database/field_text.h"

#include <cstring>
#include <new>
#include <ostream>

#include "database/secure_wipe.h"

namespace tallykey {

FieldText& FieldText::operator=(FieldText&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = other.data_;
        other.data_ = nullptr;
    }
    return *this;
}

std::size_t FieldText::size() const noexcept {
    if (data_ == nullptr)
        return 0;
    std::size_t size;
    std::memcpy(&size, data_, sizeof size);
    return size;
}

const char* FieldText::c_str() const noexcept {
    return data_ == nullptr ? "" : data_ + sizeof(std::size_t);
}

void FieldText::Assign(std::string_view text) {
    char* fresh = nullptr;
    if (!text.empty()) {
        const std::size_t size = text.size();
        fresh = new char[sizeof size + size + 1];
        std::memcpy(fresh, &size, sizeof size);
        std::memcpy(fresh + sizeof size, text.data(), size);
        fresh[sizeof size + size] = '\0';
    }
    Release();
    data_ = fresh;
}

void FieldText::Release() noexcept {
    if (data_ == nullptr)
        return;
    SecureWipe(data_, sizeof(std::size_t) + size() + 1);
    delete[] data_;
    data_ = nullptr;
}

std::ostream& operator<<(std::ostream& out, const FieldText& text) {
    return out << text.view();
}

} // namespace tallykey
