#include "system/file_system.h"

#include <cerrno>
#include <cstring>

namespace tallykey::system {

std::string ErrorText(int error) { return error == 0 ? NotRegularFileText : std::strerror(error); }

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit, int& error) {
    const int fd = OpenRegularFile(path, error);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    std::size_t n;
    error = 0;
    while ((n = ReadBytes(fd, buffer, sizeof buffer, error)) > 0) {
        if (n > limit - content.size()) {
            error = EFBIG;
            break;
        }
        content.append(buffer, n);
    }
    int ignored = 0;
    (void)CloseFile(fd, ignored);
    if (error != 0)
        return std::nullopt;
    return content;
}

} // namespace tallykey::system
