// A small JSON reader and writer for tkf's export and import: text is UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tkf {

class JsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a JSON text value by value, in order, so that a document is never held as a tree:
// what is read goes straight where it belongs. Every error, the reader's and the caller's
// (Fail), is a JsonError "line L, column C: what" at the place reached.
class JsonReader {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object, End };

    explicit JsonReader(std::string_view text); // a leading UTF-8 byte-order mark is skipped

    // The kind of the value that comes next (End when only white space is left).
    Kind Peek();
    // An object: Begin, then NextKey until it is false (after the closing brace); the value
    // of each key is read before the next NextKey.
    void BeginObject();
    bool NextKey(std::string& key);
    // An array: Begin, then NextElement until it is false; each element is read in between.
    void BeginArray();
    bool NextElement();
    std::string String();
    std::string Number(); // as written, so that integers stay exact
    bool Bool();
    void Null();
    void End(); // nothing but white space may follow the document

    // Points at the start of the key or value read or peeked last.
    [[noreturn]] void Fail(const std::string& what) const;

private:
    [[noreturn]] void FailHere(const std::string& what);
    void SkipSpace();
    void Expect(char c);
    bool Literal(std::string_view word);
    unsigned Hex4();

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t mark_ = 0;
    // Per open array or object: whether it has had a member yet.
    std::vector<bool> first_;
};

// A number that is an integer in the signed 32-bit range.
std::optional<std::int32_t> JsonInt32(std::string_view number);

// Writes a string literal with the escapes JSON requires; other characters stay as they are.
void AppendJsonString(std::string& out, std::string_view utf8);

} // namespace tkf
