#include <sys/random.h>

#include <cerrno>
#include <cstdlib>

#include "toolkit/services.h"

namespace toolkit {

namespace {

class GetRandomSource : public RandomSource {
public:
    void Fill(unsigned char* buffer, std::size_t size) override {
        while (size > 0) {
            // Large requests come back in parts, and a signal can interrupt.
            ssize_t got = getrandom(buffer, size, 0);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                // Without randomness no key or password may be made at all.
                std::abort();
            }
            buffer += got;
            size -= static_cast<std::size_t>(got);
        }
    }
};

} // namespace

RandomSource& SystemRandom() {
    static GetRandomSource source;
    return source;
}

} // namespace toolkit
