#include "system/process.h"

#include <windows.h>

namespace tallykey::system {

void ProtectProcess() {
    // A crash ends the process without the error dialog that offers to keep a dump of it.
    ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

void* AllocateLockedPages(std::size_t size, std::size_t& mapped) {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    const std::size_t page = info.dwPageSize;
    mapped = (size + page - 1) / page * page;
    void* pages = ::VirtualAlloc(nullptr, mapped, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (pages == nullptr) {
        mapped = 0;
        return nullptr;
    }
    // Best effort: beyond the process's working-set limit the pages may still be paged out.
    (void)::VirtualLock(pages, mapped);
    return pages;
}

void FreeLockedPages(void* pages, std::size_t mapped) {
    (void)::VirtualUnlock(pages, mapped);
    (void)::VirtualFree(pages, 0, MEM_RELEASE);
}

} // namespace tallykey::system
