// Whole files in tests, as bytes: what a test reads back is exactly what
// was written, on every platform.
#pragma once

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace tallykey::test {

// The file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file by `bytes`.
inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The bytes written as hexadecimal pairs separated by white space ("0a ff 10").
inline std::string FromHex(const std::string& text) {
    std::string out;
    std::istringstream in(text);
    std::string byte;
    while (in >> byte)
        out.push_back(static_cast<char>(std::stoi(byte, nullptr, 16)));
    return out;
}

} // namespace tallykey::test
