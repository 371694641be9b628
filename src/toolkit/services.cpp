#include "toolkit/services.h"

namespace toolkit {

namespace {

Services& Current() {
    // The random source works before any window exists (key material, tools).
    static Services services = [] {
        Services s;
        s.random = &SystemRandom();
        return s;
    }();
    return services;
}

} // namespace

Services& Platform() { return Current(); }

void SetPlatform(const Services& services) { Current() = services; }

} // namespace toolkit
