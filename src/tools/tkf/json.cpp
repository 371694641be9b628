#include "tools/tkf/json.h"

#include <charconv>
#include <cstdio>

namespace tkf {

namespace {

constexpr int MaxDepth = 256;

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    JsonValue Document() {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF")
            pos_ = 3;
        SkipSpace();
        JsonValue value = Value(0);
        SkipSpace();
        if (pos_ != text_.size())
            Fail("unexpected text after the end of the document");
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        int line = 1, column = 1;
        for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        throw JsonError("line " + std::to_string(line) + ", column " + std::to_string(column) +
                        ": " + what);
    }

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

    void SkipSpace() {
        while (!AtEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' ||
                            text_[pos_] == '\r'))
            ++pos_;
    }

    void Expect(char c) {
        if (Peek() != c)
            Fail(std::string("expected '") + c + "'");
        ++pos_;
    }

    bool Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word)
            return false;
        pos_ += word.size();
        return true;
    }

    JsonValue Value(int depth) {
        if (depth > MaxDepth)
            Fail("nesting too deep");
        JsonValue v;
        const char c = Peek();
        if (c == '{') {
            v.kind = JsonValue::Kind::Object;
            ++pos_;
            SkipSpace();
            if (Peek() == '}') {
                ++pos_;
                return v;
            }
            for (;;) {
                SkipSpace();
                if (Peek() != '"')
                    Fail("expected a key in double quotes");
                std::string key = String();
                SkipSpace();
                Expect(':');
                SkipSpace();
                v.object.emplace_back(std::move(key), Value(depth + 1));
                SkipSpace();
                if (Peek() == ',') {
                    ++pos_;
                    continue;
                }
                Expect('}');
                return v;
            }
        }
        if (c == '[') {
            v.kind = JsonValue::Kind::Array;
            ++pos_;
            SkipSpace();
            if (Peek() == ']') {
                ++pos_;
                return v;
            }
            for (;;) {
                SkipSpace();
                v.array.push_back(Value(depth + 1));
                SkipSpace();
                if (Peek() == ',') {
                    ++pos_;
                    continue;
                }
                Expect(']');
                return v;
            }
        }
        if (c == '"') {
            v.kind = JsonValue::Kind::String;
            v.text = String();
            return v;
        }
        if (Literal("true")) {
            v.kind = JsonValue::Kind::Bool;
            v.boolean = true;
            return v;
        }
        if (Literal("false")) {
            v.kind = JsonValue::Kind::Bool;
            return v;
        }
        if (Literal("null"))
            return v;
        if (c == '-' || (c >= '0' && c <= '9')) {
            v.kind = JsonValue::Kind::Number;
            v.text = Number();
            return v;
        }
        Fail(AtEnd() ? "unexpected end of text" : "unexpected character");
    }

    std::string Number() {
        const std::size_t start = pos_;
        const auto digits = [this] {
            const std::size_t from = pos_;
            while (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9')
                ++pos_;
            return pos_ - from;
        };
        if (Peek() == '-')
            ++pos_;
        if (Peek() == '0')
            ++pos_;
        else if (digits() == 0)
            Fail("malformed number");
        if (Peek() == '.') {
            ++pos_;
            if (digits() == 0)
                Fail("malformed number");
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++pos_;
            if (Peek() == '+' || Peek() == '-')
                ++pos_;
            if (digits() == 0)
                Fail("malformed number");
        }
        return std::string(text_.substr(start, pos_ - start));
    }

    unsigned Hex4() {
        if (pos_ + 4 > text_.size())
            Fail("incomplete \\u escape");
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
                Fail("malformed \\u escape");
        }
        return value;
    }

    static void AppendUtf8(std::string& out, unsigned cp) {
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

    std::string String() {
        Expect('"');
        std::string out;
        for (;;) {
            if (AtEnd())
                Fail("unterminated string");
            const char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                Fail("control character in a string");
            if (c != '\\') {
                out.push_back(c);
                ++pos_;
                continue;
            }
            ++pos_;
            const char e = Peek();
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
                        Fail("lone surrogate in \\u escape");
                    const unsigned low = Hex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        Fail("lone surrogate in \\u escape");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    Fail("lone surrogate in \\u escape");
                }
                AppendUtf8(out, cp);
                break;
            }
            default:
                --pos_;
                Fail("unknown escape");
            }
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

std::optional<std::int32_t> JsonValue::AsInt32() const {
    if (kind != Kind::Number)
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt; // fractions, exponents and out-of-range values
    return value;
}

JsonValue ParseJson(std::string_view text) {
    return Parser(text).Document();
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
