// A small JSON reader and writer for tkf's export and import: text is UTF-8, objects
// keep their key order, numbers are kept as written so that integers stay exact.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tkf {

class JsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text; // a string's value, or a number as written
    std::vector<JsonValue> array;
    std::vector<std::pair<std::string, JsonValue>> object;

    // A number that is an integer in the signed 32-bit range.
    std::optional<std::int32_t> AsInt32() const;
};

// Throws JsonError("line L, column C: what") on malformed text or nesting deeper than
// 256 levels. A leading UTF-8 byte-order mark is skipped.
JsonValue ParseJson(std::string_view text);

// Writes a string literal with the escapes JSON requires; other characters stay as they are.
void AppendJsonString(std::string& out, std::string_view utf8);

} // namespace tkf
