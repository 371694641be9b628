#include "preferences/ini_file.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "system/replace_file.h"

namespace tallykey {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names compare as the platform's profile functions compare them: ASCII
// letters regardless of case, every other byte as it is.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

enum class LineKind { Other, Section, Key };

struct Line {
    std::size_t begin = 0;   // first byte of the line
    std::size_t end = 0;     // end of its content (before CR LF or LF)
    std::size_t next = 0;    // start of the next line
    bool terminated = false; // ends with a line break
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed
};

// Walks the lines of INI text one by one, classifying each.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {
        if (text_.substr(0, kUtf8Bom.size()) == kUtf8Bom)
            pos_ = kUtf8Bom.size();
    }

    bool Next(Line& line) {
        if (pos_ >= text_.size())
            return false;
        line = Line{};
        line.begin = pos_;
        std::size_t nl = text_.find('\n', pos_);
        if (nl == std::string_view::npos) {
            line.end = line.next = text_.size();
        } else {
            line.end = (nl > pos_ && text_[nl - 1] == '\r') ? nl - 1 : nl;
            line.next = nl + 1;
            line.terminated = true;
        }
        pos_ = line.next;
        Classify(line);
        return true;
    }

private:
    void Classify(Line& line) const {
        std::string_view content = Trim(text_.substr(line.begin, line.end - line.begin));
        if (content.empty() || content.front() == ';')
            return;
        if (content.front() == '[') {
            std::size_t close = content.rfind(']');
            if (close != std::string_view::npos) {
                line.kind = LineKind::Section;
                line.name = Trim(content.substr(1, close - 1));
                return;
            }
        }
        std::size_t eq = content.find('=');
        if (eq == std::string_view::npos)
            return;
        line.kind = LineKind::Key;
        line.name = Trim(content.substr(0, eq));
        std::string_view value = Trim(content.substr(eq + 1));
        // The platform drops one pair of quotes around a whole value.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        line.value = value;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

std::string_view LineBreakOf(std::string_view text) {
    std::size_t nl = text.find('\n');
    if (nl != std::string_view::npos && (nl == 0 || text[nl - 1] != '\r'))
        return "\n";
    return "\r\n";
}

std::string_view OneLine(std::string_view value) {
    std::size_t cut = value.find_first_of(std::string_view("\r\n\0", 3));
    return cut == std::string_view::npos ? value : value.substr(0, cut);
}

} // namespace

std::optional<std::string> IniRead(std::string_view text, std::string_view section,
                                   std::string_view key) {
    LineReader reader(text);
    Line line;
    bool inSection = false;
    while (reader.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection)
                return std::nullopt; // only the first section of that name counts
            inSection = SameName(line.name, section);
        } else if (inSection && line.kind == LineKind::Key && SameName(line.name, key)) {
            return std::string(line.value);
        }
    }
    return std::nullopt;
}

std::string IniWrite(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value) {
    value = OneLine(value);
    const std::string_view br = LineBreakOf(text);
    std::string result(text);

    LineReader reader(text);
    Line line;
    bool inSection = false;
    bool found = false;
    Line lastFilled; // last line of the section that is not blank
    while (reader.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection)
                break;
            if (SameName(line.name, section)) {
                inSection = found = true;
                lastFilled = line;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (line.kind == LineKind::Key && SameName(line.name, key)) {
            // The indentation stays; the rest of the line is rewritten.
            std::size_t start = line.begin;
            while (start < line.end && IsBlank(text[start]))
                ++start;
            std::string replacement(line.name);
            replacement += '=';
            replacement += value;
            result.replace(start, line.end - start, replacement);
            return result;
        }
        if (!Trim(text.substr(line.begin, line.end - line.begin)).empty())
            lastFilled = line;
    }

    std::string entry(key);
    entry += '=';
    entry += value;
    if (found) {
        if (lastFilled.terminated) {
            result.insert(lastFilled.next, entry + std::string(br));
        } else {
            result.insert(lastFilled.next, std::string(br) + entry);
        }
        return result;
    }
    if (!result.empty() && result.back() != '\n' && result != kUtf8Bom)
        result += br;
    result += '[';
    result += section;
    result += ']';
    result += br;
    result += entry;
    result += br;
    return result;
}

std::int32_t IniParseInt(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        negative = value[i] == '-';
        ++i;
    }
    std::uint32_t n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        n = n * 10u + static_cast<std::uint32_t>(value[i] - '0');
    if (negative)
        n = 0u - n;
    return static_cast<std::int32_t>(n);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    int error = 0;
    return path.empty() ? std::nullopt : system::ReadWholeFile(path, kMaxTextFileSize, error);
}

bool ReplaceWholeFile(const std::string& path, std::string_view content) {
    if (path.empty()) // no file to keep (an installed program without a home folder)
        return false;
    system::ReplaceOptions options;
    options.takeLock = false; // only this program writes its settings, and never two at once
    return system::AtomicReplace(path, content, options).ok;
}

IniSection::IniSection(std::string path, std::string section, Direction direction)
    : path_(std::move(path)), section_(std::move(section)), direction_(direction) {}

std::optional<std::string> IniSection::Read(const std::string& key) const {
    std::optional<std::string> text = ReadWholeFile(path_);
    if (!text)
        return std::nullopt;
    return IniRead(*text, section_, key);
}

void IniSection::Write(const std::string& key, const std::string& value) const {
    std::optional<std::string> text = ReadWholeFile(path_);
    std::error_code ec;
    // A file that exists but cannot be read is left alone rather than
    // replaced by one holding this key only.
    if (!text && fs::exists(path_, ec))
        return;
    ReplaceWholeFile(path_, IniWrite(text.value_or(std::string()), section_, key, value));
}

bool IniSection::ExchangeBool(const std::string& key, bool value) {
    return ExchangeInt(key, value ? 1 : 0) != 0;
}

std::int32_t IniSection::ExchangeInt(const std::string& key, std::int32_t value) {
    if (Writing()) {
        Write(key, std::to_string(value));
        return value;
    }
    std::optional<std::string> text = Read(key);
    // An empty value counts as missing, as with GetPrivateProfileInt.
    if (!text || text->empty())
        return value;
    return IniParseInt(*text);
}

std::string IniSection::ExchangeString(const std::string& key, const std::string& value) {
    if (Writing()) {
        Write(key, value);
        return value;
    }
    std::optional<std::string> text = Read(key);
    if (!text)
        return value.substr(0, std::min(value.find('\0'), kMaxValue));
    std::string result = std::move(*text);
    result.resize(std::min({result.find('\0'), result.size(), kMaxValue}));
    return result;
}

} // namespace tallykey
