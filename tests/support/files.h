// Whole files in tests, as bytes: what a test reads back is exactly what
// was written, on every platform.
#pragma once

#include <fstream>
#include <iterator>
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

} // namespace tallykey::test
