// The text of an item's field, held in one allocation of just its size (none
// when empty) and wiped when it is replaced or freed. An item then costs a
// pointer per field instead of a std::string's 32 bytes, which keeps the
// program's copy of a database of a million items in proportion to the file.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace tallykey {

class FieldText {
public:
    FieldText() noexcept = default;
    FieldText(std::string_view text) { Assign(text); }
    FieldText(const std::string& text) : FieldText(std::string_view(text)) {}
    FieldText(const char* text) : FieldText(std::string_view(text)) {}
    FieldText(const FieldText& other) : FieldText(other.view()) {}
    FieldText(FieldText&& other) noexcept : data_(other.data_) { other.data_ = nullptr; }
    ~FieldText() { Release(); }

    FieldText& operator=(const FieldText& other) {
        Assign(other.view());
        return *this;
    }
    FieldText& operator=(FieldText&& other) noexcept;
    FieldText& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    FieldText& operator=(const std::string& text) { return *this = std::string_view(text); }
    FieldText& operator=(const char* text) { return *this = std::string_view(text); }

    std::size_t size() const noexcept;
    bool empty() const noexcept { return data_ == nullptr; }
    // The bytes, followed by a NUL; "" when empty.
    const char* c_str() const noexcept;
    std::string_view view() const noexcept { return {c_str(), size()}; }
    operator std::string_view() const noexcept { return view(); }
    std::string str() const { return std::string(view()); }
    // Wipes and frees the text.
    void clear() noexcept { Release(); }

    friend bool operator==(const FieldText& a, const FieldText& b) { return a.view() == b.view(); }
    friend bool operator==(const FieldText& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const FieldText& a, const std::string& b) { return a.view() == b; }
    friend bool operator==(const FieldText& a, const char* b) { return a.view() == b; }

private:
    // Copies first and frees after, so that assigning a view into this very
    // text is safe.
    void Assign(std::string_view text);
    void Release() noexcept;

    // nullptr when empty; otherwise the length (a std::size_t), the bytes and a NUL.
    char* data_ = nullptr;
};

// Writes the text as it is (test output, diagnostics).
std::ostream& operator<<(std::ostream& out, const FieldText& text);

// Wipes and frees the text, as SecureWipe does for a std::string.
inline void SecureWipe(FieldText& text) noexcept { text.clear(); }

} // namespace tallykey
