#include "system/process.h"

#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tallykey::system {

namespace {

std::size_t PageSize() {
    static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

} // namespace

void ProtectProcess() {
    const struct rlimit none = {0, 0};
    (void)::setrlimit(RLIMIT_CORE, &none);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // The sanitizers' leak check attaches to the process at its exit, which a process
    // that is not dumpable refuses; their builds keep only the core limit.
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

void* AllocateLockedPages(std::size_t size, std::size_t& mapped) {
    mapped = (size + PageSize() - 1) / PageSize() * PageSize();
    void* pages = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) {
        mapped = 0;
        return nullptr;
    }
    // Best effort: beyond the limit of locked memory the pages may still be swapped.
    (void)::mlock(pages, mapped);
    (void)::madvise(pages, mapped, MADV_DONTDUMP);
    return pages;
}

void FreeLockedPages(void* pages, std::size_t mapped) {
    (void)::munlock(pages, mapped);
    (void)::munmap(pages, mapped);
}

} // namespace tallykey::system
