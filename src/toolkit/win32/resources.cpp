// The resources the program carries in its own module (resources/windows/tallyk.rc).
#include "toolkit/resources.h"

#include "toolkit/win32/backend.h"

namespace toolkit {

namespace {

struct Entry {
    std::string_view name;
    const wchar_t* resourceName;
    WORD type; // RT_* as a number: the build is no UNICODE build, so RT_* are narrow
};

// The icons are handed over as their icon group (the window code makes the
// HICON of the size it needs), the bitmaps as packed DIBs (a bitmap resource
// has no file header) and the wave as the whole RIFF file.
constexpr Entry kEntries[] = {
    {"MAINICON", L"MAINICON", 14},                // RT_GROUP_ICON
    {"TKFICON", L"TKFICON", 14},                  // RT_GROUP_ICON
    {"FORM1_IMAGELIST1", L"FORM1_IMAGELIST1", 2}, // RT_BITMAP
    {"FORM1_IMAGELIST2", L"FORM1_IMAGELIST2", 2}, // RT_BITMAP
    {"COPY_WAV", L"COPY_WAV", 10},                // RT_RCDATA
};

} // namespace

ResourceData FindResource(std::string_view name) {
    for (const Entry& entry : kEntries) {
        if (entry.name != name)
            continue;
        // Resources of the executable stay mapped for the whole run.
        const HMODULE module = ::GetModuleHandleW(nullptr);
        HRSRC found = ::FindResourceW(module, entry.resourceName, MAKEINTRESOURCEW(entry.type));
        if (!found)
            return {};
        HGLOBAL loaded = ::LoadResource(module, found);
        const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
        const DWORD size = ::SizeofResource(module, found);
        if (!bytes || size == 0)
            return {};
        return {static_cast<const unsigned char*>(bytes), size};
    }
    return {};
}

} // namespace toolkit
