#include "database/secure_wipe.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <string.h>
#endif

namespace tallykey {

void SecureWipe(void* data, std::size_t size) {
    if (data == nullptr || size == 0)
        return;
#if defined(_WIN32)
    SecureZeroMemory(data, size);
#else
    explicit_bzero(data, size);
#endif
}

void SecureWipe(std::string& text) {
    // The bytes beyond size() up to capacity() may still hold an earlier, longer value.
    text.resize(text.capacity());
    SecureWipe(text.data(), text.size());
    text.clear();
}

} // namespace tallykey
