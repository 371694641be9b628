// The system's cryptographic random source on Windows (CNG).
#include <windows.h>

#include <bcrypt.h>

#include <cstdlib>

#include "toolkit/services.h"

namespace toolkit {

namespace {

class SystemPreferredRandom : public RandomSource {
public:
    void Fill(unsigned char* buffer, std::size_t size) override {
        while (size > 0) {
            const ULONG part = size > 0x10000000 ? 0x10000000 : static_cast<ULONG>(size);
            // Without randomness no key or password may be made at all.
            if (::BCryptGenRandom(nullptr, buffer, part, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
                std::abort();
            buffer += part;
            size -= part;
        }
    }
};

} // namespace

RandomSource& SystemRandom() {
    static SystemPreferredRandom source;
    return source;
}

} // namespace toolkit
