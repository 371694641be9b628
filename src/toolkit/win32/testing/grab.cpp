// What the tests see of the screen: a control's pixels, and a window with its
// frame saved as a PNG file (written here: stored deflate blocks need no
// compression library).
#include "toolkit/win32/backend.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "toolkit/testing/test_input.h"

namespace toolkit {
namespace input {

namespace {

// A window's whole rectangle (frame and edges included) as 0xRRGGBB pixels.
Picture WholeWindow(HWND window) {
    Picture picture;
    RECT r{};
    if (!window || !::GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top)
        return picture;
    const int width = r.right - r.left, height = r.bottom - r.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, as Picture is
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib)
        return picture;
    HDC memory = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(memory, dib);
    if (::IsWindowVisible(window)) {
        // Painted anew, children and frame included, then read back from
        // the window's own pixels (a window does not paint its children
        // into a bitmap everywhere: WM_PRINT leaves them out under Wine).
        ::RedrawWindow(window, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        HDC own = ::GetWindowDC(window);
        ::BitBlt(memory, 0, 0, width, height, own, 0, 0, SRCCOPY);
        ::ReleaseDC(window, own);
    } else {
        ::PrintWindow(window, memory, 0); // a hidden window paints into the bitmap itself
    }
    ::GdiFlush();
    picture.width = width;
    picture.height = height;
    const auto* source = static_cast<const std::uint32_t*>(bits);
    picture.pixels.assign(source, source + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (unsigned& pixel : picture.pixels)
        pixel &= 0xFFFFFFu; // a DIB's BGRA in memory is 0xAARRGGBB read as a number
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::DeleteObject(dib);
    return picture;
}

// --- PNG: 8-bit RGB, filter 0 on every row, zlib stream of stored blocks ---

std::uint32_t Crc32(const unsigned char* data, std::size_t size, std::uint32_t crc = 0) {
    static const auto table = [] {
        std::unique_ptr<std::uint32_t[]> t(new std::uint32_t[256]);
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t Adler32(const std::vector<unsigned char>& data) {
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

void PutBigEndian(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

void PutChunk(std::vector<unsigned char>& png, const char type[4], const std::vector<unsigned char>& data) {
    PutBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBigEndian(png, Crc32(png.data() + start, png.size() - start));
}

std::vector<unsigned char> Png(const Picture& picture) {
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<std::size_t>(picture.height) * (1 + 3 * static_cast<std::size_t>(picture.width)));
    for (int y = 0; y < picture.height; ++y) {
        raw.push_back(0); // no filter
        for (int x = 0; x < picture.width; ++x) {
            const unsigned pixel = picture.At(x, y);
            raw.push_back(static_cast<unsigned char>(pixel >> 16));
            raw.push_back(static_cast<unsigned char>(pixel >> 8));
            raw.push_back(static_cast<unsigned char>(pixel));
        }
    }
    std::vector<unsigned char> zlib = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(raw.size() - at, 65535);
        const bool last = at + length == raw.size();
        zlib.push_back(last ? 1 : 0); // BFINAL, BTYPE 00 (stored)
        zlib.push_back(static_cast<unsigned char>(length));
        zlib.push_back(static_cast<unsigned char>(length >> 8));
        zlib.push_back(static_cast<unsigned char>(~length));
        zlib.push_back(static_cast<unsigned char>(~length >> 8));
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                    raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    PutBigEndian(zlib, Adler32(raw));

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    PutBigEndian(header, static_cast<std::uint32_t>(picture.width));
    PutBigEndian(header, static_cast<std::uint32_t>(picture.height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, filter 0, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", {});
    return png;
}

} // namespace

Picture Grab(Control& control) { return WholeWindow(control.impl() ? control.impl()->hwnd : nullptr); }

bool SaveScreenshot(Window& window, const std::string& pngPath) {
    const Picture picture = WholeWindow(window.impl() ? window.impl()->hwnd : nullptr);
    if (picture.pixels.empty())
        return false;
    const std::vector<unsigned char> png = Png(picture);
    FILE* file = ::_wfopen(win32::WidePath(pngPath).c_str(), L"wb");
    if (!file)
        return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

} // namespace input
} // namespace toolkit
