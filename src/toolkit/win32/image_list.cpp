// The native image list behind the toolkit's ImageList: made from the decoded
// strip on first use and kept in the list's Impl::native, which the neutral
// code drops whenever the strip changes.
#include "toolkit/image_strip.h"
#include "toolkit/win32/backend.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace toolkit::win32 {

namespace {

// A top-down 32-bit DIB section of `width` x `height` pixels.
HBITMAP NewDib(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// A monochrome bitmap: a set bit is a transparent pixel (ILC_MASK's meaning).
HBITMAP NewMask(const Pixels& strip, int width, int height) {
    const int stride = (width + 15) / 16 * 2; // monochrome rows are WORD-aligned
    std::vector<unsigned char> rows(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool transparent =
                y >= strip.height || x >= strip.width ||
                (strip.argb[static_cast<size_t>(y) * static_cast<size_t>(strip.width) + static_cast<size_t>(x)] >>
                 24) == 0;
            if (transparent)
                rows[static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x / 8)] |=
                    static_cast<unsigned char>(0x80u >> (x % 8));
        }
    return ::CreateBitmap(width, height, 1, 1, rows.data());
}

HIMAGELIST Build(const ImageList::Impl& im, int count) {
    const int width = im.width * count;
    const int height = im.height;
    void* bits = nullptr;
    HBITMAP colour = NewDib(width, height, &bits);
    if (!colour)
        return nullptr;
    // Premultiplied, as the alpha blending of 32-bit image lists wants it; a
    // transparent pixel is black, so that the mask's AND/OR drawing leaves the
    // background as it is.
    auto* out = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t pixel = 0;
            if (y < im.strip.height && x < im.strip.width)
                pixel =
                    im.strip
                        .argb[static_cast<size_t>(y) * static_cast<size_t>(im.strip.width) + static_cast<size_t>(x)];
            const std::uint32_t a = pixel >> 24;
            if (a != 0xFF) {
                const auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
                pixel = a << 24 | scale(pixel >> 16 & 0xFF) << 16 | scale(pixel >> 8 & 0xFF) << 8 | scale(pixel & 0xFF);
            }
            out[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = pixel;
        }
    HBITMAP mask = NewMask(im.strip, width, height);
    HIMAGELIST list = mask ? ::ImageList_Create(im.width, im.height, ILC_COLOR32 | ILC_MASK, count, 0) : nullptr;
    if (list && ::ImageList_Add(list, colour, mask) < 0) {
        ::ImageList_Destroy(list);
        list = nullptr;
    }
    ::DeleteObject(colour);
    if (mask)
        ::DeleteObject(mask);
    return list;
}

} // namespace

HIMAGELIST ImageListHandle(const ImageList* images) {
    if (!images)
        return nullptr;
    const int count = images->Count();
    ImageList::Impl* im = images->impl();
    if (count <= 0 || im->height <= 0)
        return nullptr;
    if (!im->native) {
        HIMAGELIST list = Build(*im, count);
        if (!list)
            return nullptr;
        im->native =
            std::shared_ptr<void>(list, [](void* made) { ::ImageList_Destroy(static_cast<HIMAGELIST>(made)); });
    }
    return static_cast<HIMAGELIST>(im->native.get());
}

} // namespace toolkit::win32
