// Small text rules of the main window: file-name part, letter folding, quotes.
#pragma once

#include <string>

#include "toolkit/ansi_text.h"

namespace tallykey {

// Everything after the last folder separator; a path written on Windows
// uses backslashes, so both count.
inline std::string FileNamePart(const std::string& path) {
    const std::string::size_type slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "[name] - ", the head of a caption that names a file, with the name as the
// file system has it.
inline std::string FileCaptionHead(const std::string& path) {
    std::string head = "[";
    head += toolkit::SystemTextToAnsi(FileNamePart(path));
    head += "] - ";
    return head;
}

// Lower case for the letters A to Z only: every other byte, in particular
// the letters of the 8-bit code pages, stays as it is.
inline std::string FoldAsciiCase(std::string text) {
    for (char& ch : text)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return text;
}

// A command-line argument without its surrounding double quotes.
inline std::string Unquote(const std::string& argument) {
    if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')
        return argument.substr(1, argument.size() - 2);
    return argument;
}

} // namespace tallykey
