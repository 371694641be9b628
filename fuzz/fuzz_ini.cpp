// libFuzzer target for the INI reader and writer: any bytes as a settings or
// language file. Besides the sanitizers it checks that a written value reads
// back and that a write changes no other key of the section.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "preferences/ini_file.h"

using tallykey::IniParseInt;
using tallykey::IniRead;
using tallykey::IniWrite;

namespace {

// A name or value the writer can hold: letters and digits only.
std::string Plain(std::string_view bytes, std::size_t length) {
    static constexpr char kAlphabet[] = "abcdefgHIJKLMN0123456789";
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && out.size() < length; ++i)
        out += kAlphabet[static_cast<unsigned char>(bytes[i]) % (sizeof kAlphabet - 1)];
    return out.empty() ? std::string("k") : out;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view tail = text.substr(size > 16 ? size - 16 : 0);

    for (const char* key : {"HidePass", "LastFile", "Menu1", "QuickCopyItem"}) {
        if (std::optional<std::string> value = IniRead(text, "Settings", key))
            (void)IniParseInt(*value);
        (void)IniRead(text, "Main Form", key);
    }

    const std::string section = Plain(tail, 3);
    const std::string key = Plain(tail.substr(tail.size() / 2), 3);
    const std::string value = Plain(text.substr(0, 8), 8);
    const std::string written = IniWrite(text, section, key, value);
    Check(IniRead(written, section, key) == value);
    // The other keys of a few names keep their values.
    for (std::string_view other : {"a", "b0", "HidePass", "k", "abc"}) {
        if (!SameName(other, key))
            Check(IniRead(written, section, other) == IniRead(text, section, other));
    }
    return 0;
}
