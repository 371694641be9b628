#include "system/replace_file.h"

namespace tallykey::system {

ReplaceResult AtomicReplace(const std::string& path, std::string_view contents, const ReplaceOptions& options) {
    return AtomicReplace(path, options, [contents](int fd) {
        Written written;
        int error = 0;
        if (WriteBytes(fd, contents.data(), contents.size(), error) != contents.size())
            written.failure = ErrorText(error);
        ContentHash hash;
        hash.Add(contents.data(), contents.size());
        written.hash = hash.Value();
        return written;
    });
}

} // namespace tallykey::system
