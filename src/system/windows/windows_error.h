// The Windows implementation's shared pieces: the errno value for a system error code,
// and the system's handle behind a descriptor. Included by src/system/windows only.
#pragma once

#include <windows.h>

namespace tallykey::system {

// The errno value that stands for a GetLastError() code, so that every platform reports
// a reason with the same texts.
int ErrnoFromWindows(DWORD code);

// The handle behind a C runtime descriptor; INVALID_HANDLE_VALUE for a bad one.
HANDLE HandleOf(int fd);

// Wraps a handle into a C runtime descriptor (closed with it); -1 and the handle closed
// when there are no descriptors left.
int DescriptorOf(HANDLE handle, int flags, int& error);

} // namespace tallykey::system
