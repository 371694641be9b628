#include "tools/tkf/json.h"

#include <charconv>
#include <cstdio>

namespace tkf {

namespace {

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

JsonReader::JsonReader(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF")
        pos_ = 3;
}

void JsonReader::Fail(const std::string& what) const {
    int line = 1, column = 1;
    for (std::size_t i = 0; i < mark_ && i < text_.size(); ++i) {
        if (text_[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    throw JsonError("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what);
}

void JsonReader::FailHere(const std::string& what) {
    mark_ = pos_;
    Fail(what);
}

void JsonReader::SkipSpace() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
        ++pos_;
}

void JsonReader::Expect(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) {
        FailHere(pos_ >= text_.size() ? std::string("unexpected end of text")
                                  : std::string("expected '") + c + "'");
    }
    ++pos_;
}

bool JsonReader::Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word)
        return false;
    pos_ += word.size();
    return true;
}

JsonReader::Kind JsonReader::Peek() {
    SkipSpace();
    mark_ = pos_;
    if (pos_ >= text_.size())
        return Kind::End;
    const std::string_view rest = text_.substr(pos_);
    switch (rest[0]) {
    case '{': return Kind::Object;
    case '[': return Kind::Array;
    case '"': return Kind::String;
    case 't':
    case 'f':
        if (rest.substr(0, 4) == "true" || rest.substr(0, 5) == "false")
            return Kind::Bool;
        break;
    case 'n':
        if (rest.substr(0, 4) == "null")
            return Kind::Null;
        break;
    default:
        if (rest[0] == '-' || (rest[0] >= '0' && rest[0] <= '9'))
            return Kind::Number;
    }
    Fail("unexpected character");
}

void JsonReader::BeginObject() {
    SkipSpace();
    mark_ = pos_;
    Expect('{');
    first_.push_back(true);
}

bool JsonReader::NextKey(std::string& key) {
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == '}') { // "{}", or after the last member
        ++pos_;
        first_.pop_back();
        return false;
    }
    if (!first_.back()) {
        Expect(',');
        SkipSpace();
    }
    first_.back() = false;
    mark_ = pos_;
    if (pos_ >= text_.size() || text_[pos_] != '"')
        Fail("expected a key in double quotes");
    key = String();
    const std::size_t keyStart = mark_;
    SkipSpace();
    Expect(':');
    mark_ = keyStart; // a caller's complaint about the key points at it
    return true;
}

void JsonReader::BeginArray() {
    SkipSpace();
    mark_ = pos_;
    Expect('[');
    first_.push_back(true);
}

bool JsonReader::NextElement() {
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == ']') {
        ++pos_;
        first_.pop_back();
        return false;
    }
    if (!first_.back())
        Expect(',');
    first_.back() = false;
    SkipSpace();
    if (pos_ >= text_.size() || text_[pos_] == ']')
        FailHere(pos_ >= text_.size() ? "unexpected end of text" : "expected a value");
    return true;
}

std::string JsonReader::Number() {
    SkipSpace();
    mark_ = pos_;
    const std::size_t start = pos_;
    const auto digits = [this] {
        const std::size_t from = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')
            ++pos_;
        return pos_ - from;
    };
    const auto at = [this](char c) { return pos_ < text_.size() && text_[pos_] == c; };
    if (at('-'))
        ++pos_;
    if (at('0'))
        ++pos_;
    else if (digits() == 0)
        FailHere("malformed number");
    if (at('.')) {
        ++pos_;
        if (digits() == 0)
            FailHere("malformed number");
    }
    if (at('e') || at('E')) {
        ++pos_;
        if (at('+') || at('-'))
            ++pos_;
        if (digits() == 0)
            FailHere("malformed number");
    }
    return std::string(text_.substr(start, pos_ - start));
}

bool JsonReader::Bool() {
    SkipSpace();
    mark_ = pos_;
    if (Literal("true"))
        return true;
    if (Literal("false"))
        return false;
    Fail("expected true or false");
}

void JsonReader::Null() {
    SkipSpace();
    mark_ = pos_;
    if (!Literal("null"))
        Fail("expected null");
}

void JsonReader::End() {
    SkipSpace();
    mark_ = pos_;
    if (pos_ != text_.size())
        Fail("unexpected text after the end of the document");
}

unsigned JsonReader::Hex4() {
    if (pos_ + 4 > text_.size())
        FailHere("incomplete \\u escape");
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
        const char h = text_[pos_++];
        value <<= 4;
        if (h >= '0' && h <= '9')
            value |= unsigned(h - '0');
        else if (h >= 'a' && h <= 'f')
            value |= unsigned(h - 'a' + 10);
        else if (h >= 'A' && h <= 'F')
            value |= unsigned(h - 'A' + 10);
        else
            FailHere("malformed \\u escape");
    }
    return value;
}

std::string JsonReader::String() {
    SkipSpace();
    mark_ = pos_;
    Expect('"');
    std::string out;
    for (;;) {
        if (pos_ >= text_.size())
            FailHere("unterminated string");
        const char c = text_[pos_];
        if (c == '"') {
            ++pos_;
            return out;
        }
        if (static_cast<unsigned char>(c) < 0x20)
            FailHere("control character in a string");
        if (c != '\\') {
            out.push_back(c);
            ++pos_;
            continue;
        }
        ++pos_;
        const char e = pos_ < text_.size() ? text_[pos_] : '\0';
        ++pos_;
        switch (e) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
            unsigned cp = Hex4();
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                if (!Literal("\\u"))
                    FailHere("lone surrogate in \\u escape");
                const unsigned low = Hex4();
                if (low < 0xDC00 || low > 0xDFFF)
                    FailHere("lone surrogate in \\u escape");
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                FailHere("lone surrogate in \\u escape");
            }
            AppendUtf8(out, cp);
            break;
        }
        default:
            --pos_;
            FailHere("unknown escape");
        }
    }
}

std::optional<std::int32_t> JsonInt32(std::string_view number) {
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || ec != std::errc() || end != number.data() + number.size())
        return std::nullopt; // fractions, exponents and out-of-range values
    return value;
}

void AppendJsonString(std::string& out, std::string_view utf8) {
    out.push_back('"');
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
                out += buffer;
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

} // namespace tkf
