// Keeping secrets out of swap and core dumps: the process's own protection, and pages of
// memory that are never written to swap.
#pragma once

#include <cstddef>

namespace tallykey::system {

// No core file and no dumping: a crash leaves no copy of the key or the open database on
// the disk, and other processes of the user cannot attach to read them (on Windows: no
// error dialog that would offer a dump). Both programs call it first thing.
void ProtectProcess();

// Whole pages for at least `size` (> 0) bytes, zero filled, locked in memory where the
// system's limit allows (silently unlocked beyond it) and left out of core dumps; null
// when there is no memory. `mapped` is set to the size taken.
void* AllocateLockedPages(std::size_t size, std::size_t& mapped);
// Gives back what AllocateLockedPages gave; the caller clears it first.
void FreeLockedPages(void* pages, std::size_t mapped);

} // namespace tallykey::system
