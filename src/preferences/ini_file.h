// INI files as the Windows private-profile functions read and write them,
// done by the program itself so that every platform behaves alike.
//
// Reading: section and key names are matched regardless of case and with
// blanks around them ignored; the first matching section and, inside it,
// the first matching key count; lines before the first section header,
// comment lines (";") and lines without "=" are no keys. A value is the text
// after the first "=" with blanks around it removed, and a pair of matching
// quotes around the whole value is dropped. A UTF-8 byte-order mark at the
// start of the file is skipped. CR LF and LF line ends read the same.
//
// Writing: an existing key is rewritten in place (keeping its spelling);
// a new key goes after the last line of its section that is not blank; a
// new section goes at the end of the file. Every other byte of the file
// stays as it was. The file keeps its line-end style; a new file gets CR LF,
// the style of the platform the format comes from, so the same file serves
// both builds of the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallykey {

// The value of `key` in `section` of INI text, or nothing when the section
// or the key is missing.
std::optional<std::string> IniRead(std::string_view text, std::string_view section,
                                   std::string_view key);

// The INI text with `key` in `section` set to `value` (cut before the first
// CR, LF or NUL, which a one-line value cannot hold).
std::string IniWrite(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value);

// The number at the start of a value as GetPrivateProfileInt reads it:
// blanks, an optional sign, then decimal digits up to the first other
// character; 0 without digits. The arithmetic wraps at 32 bits.
std::int32_t IniParseInt(std::string_view value);

// Whole-file helpers over the system layer. Reading a missing or unreadable
// file, one that is not a regular file or one larger than kMaxTextFileSize
// gives nothing; writing goes through a temporary file in the same folder
// and a rename, so an interrupted write leaves the old file whole. Returns
// false when the file could not be written (also a read-only one).
inline constexpr std::size_t kMaxTextFileSize = std::size_t(64) << 20;
std::optional<std::string> ReadWholeFile(const std::string& path);
bool ReplaceWholeFile(const std::string& path, std::string_view content);

// One section of one INI file, read or written value by value. It keeps no
// file open: every exchange reads (and when writing rewrites) the file.
class IniSection {
public:
    enum class Direction { Read, Write };

    // Longest text a read gives back (a 4096-byte buffer with its NUL).
    static constexpr std::size_t kMaxValue = 4095;

    IniSection(std::string path, std::string section, Direction direction);

    // Read: the stored value as an integer, not 0 meaning true; `value` when
    // the key is missing. Write: stores "1" or "0". Returns the result.
    bool ExchangeBool(const std::string& key, bool value);
    // Read: the stored integer, `value` when missing. Write: its decimal text.
    std::int32_t ExchangeInt(const std::string& key, std::int32_t value);
    // Read: the stored text up to the first NUL, at most kMaxValue
    // characters, `value` when missing. Write: the text as it is.
    std::string ExchangeString(const std::string& key, const std::string& value);

    const std::string& Path() const { return path_; }
    bool Writing() const { return direction_ == Direction::Write; }

private:
    std::optional<std::string> Read(const std::string& key) const;
    void Write(const std::string& key, const std::string& value) const;

    std::string path_;
    std::string section_;
    Direction direction_;
};

} // namespace tallykey
