#include "database/secure_wipe.h"

#include <cstring>

namespace tallykey {

void SecureWipe(void* data, std::size_t size) {
    if (data == nullptr || size == 0)
        return;
#if defined(__GNUC__) || defined(__clang__)
    std::memset(data, 0, size);
    // The compiler must assume the zeros are read, so it cannot drop them as
    // stores to memory that is about to be freed.
    __asm__ __volatile__("" : : "r"(data) : "memory");
#else
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    while (size-- > 0)
        *bytes++ = 0;
#endif
}

void SecureWipe(std::string& text) {
    // The bytes beyond size() up to capacity() may still hold an earlier, longer value.
    text.resize(text.capacity());
    SecureWipe(text.data(), text.size());
    text.clear();
}

} // namespace tallykey
