// The resources carried inside the executable (icons, bitmaps, the copy sound).
#pragma once

#include <cstddef>
#include <string_view>

namespace toolkit {

struct ResourceData {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    explicit operator bool() const { return data != nullptr; }
};

// "MAINICON", "TKFICON" (icons in the image format of the platform's
// backend: PNG on Linux), "FORM1_IMAGELIST1", "FORM1_IMAGELIST2" (BMP),
// "COPY_WAV" (RIFF WAVE). An unknown name gives an empty result.
ResourceData FindResource(std::string_view name);

} // namespace toolkit
