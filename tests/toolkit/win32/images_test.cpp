// The program's resources as the Windows backend finds them, the bitmap
// decoder over real and damaged data, and the native image lists made from
// the decoded strips.
#include "toolkit/image_list.h"
#include "toolkit/image_strip.h"
#include "toolkit/native.h"
#include "toolkit/resources.h"
#include "toolkit/win32/backend.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using toolkit::Color;
using toolkit::ImageList;
using toolkit::Pixels;
using toolkit::ResourceData;

ResourceData Data(const std::vector<unsigned char>& bytes) { return {bytes.data(), bytes.size()}; }

void Put16(std::vector<unsigned char>& out, std::uint32_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void Set32(std::vector<unsigned char>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

void PutInfoHeader(std::vector<unsigned char>& out, std::int32_t width, std::int32_t height, unsigned bits,
                   unsigned colours) {
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, 0); // BI_RGB
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, colours);
    Put32(out, 0);
}

// A packed DIB of 3 x 2 pixels, 4 bits per pixel, bottom-up, with a palette of
// three colours: top row indices 0 1 2, bottom row 2 1 0.
std::vector<unsigned char> FourBitDib() {
    std::vector<unsigned char> out;
    PutInfoHeader(out, 3, 2, 4, 3);
    Put32(out, 0x00FF00FF); // magenta
    Put32(out, 0x00102030);
    Put32(out, 0x00A0B0C0);
    const unsigned char bottom[4] = {0x21, 0x00, 0, 0}, top[4] = {0x01, 0x20, 0, 0};
    out.insert(out.end(), bottom, bottom + 4);
    out.insert(out.end(), top, top + 4);
    return out;
}

// A BMP file of 2 x 2 pixels, 24 bits, top-down.
std::vector<unsigned char> TopDownBmp() {
    std::vector<unsigned char> out = {'B', 'M'};
    Put32(out, 14 + 40 + 16);
    Put32(out, 0);
    Put32(out, 14 + 40);
    PutInfoHeader(out, 2, -2, 24, 0);
    const unsigned char rows[16] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    out.insert(out.end(), rows, rows + 16);
    return out;
}

// What a screen DC shows of image `index` drawn by the native list on grey.
std::vector<std::uint32_t> DrawnOnGrey(HIMAGELIST list, int index, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, dib);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height), 0x808080);
    std::memcpy(bits, pixels.data(), pixels.size() * 4);
    ::GdiFlush();
    EXPECT_TRUE(::ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL));
    ::GdiFlush();
    std::memcpy(pixels.data(), bits, pixels.size() * 4);
    for (std::uint32_t& p : pixels)
        p &= 0xFFFFFF;
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(dib);
    return pixels;
}

TEST(Win32Images, EveryResourceOfTheProgramIsFoundWithItsSize) {
    for (const char* name : {"MAINICON", "TKFICON"}) {
        SCOPED_TRACE(name);
        const ResourceData group = toolkit::FindResource(name);
        ASSERT_TRUE(group);
        // GRPICONDIR: reserved 0, type 1, count, then 14 bytes per image.
        ASSERT_GE(group.size, 6u);
        const unsigned count = group.data[4] | group.data[5] << 8;
        EXPECT_EQ(group.data[2], 1);
        EXPECT_GE(count, 1u);
        EXPECT_EQ(group.size, 6u + 14u * count);
        // How the window code makes an HICON of it.
        const int id = ::LookupIconIdFromDirectoryEx(const_cast<BYTE*>(group.data), TRUE, 16, 16, LR_DEFAULTCOLOR);
        HRSRC image = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3)); // RT_ICON
        ASSERT_NE(image, nullptr);
        HICON icon = ::CreateIconFromResourceEx(static_cast<BYTE*>(::LockResource(::LoadResource(nullptr, image))),
                                                ::SizeofResource(nullptr, image), TRUE, 0x00030000, 16, 16, 0);
        EXPECT_NE(icon, nullptr);
        if (icon)
            ::DestroyIcon(icon);
    }

    const ResourceData wave = toolkit::FindResource("COPY_WAV");
    ASSERT_TRUE(wave);
    ASSERT_GT(wave.size, 44u);
    EXPECT_EQ(std::memcmp(wave.data, "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(wave.data + 8, "WAVE", 4), 0);
    const std::uint32_t riff =
        wave.data[4] | wave.data[5] << 8 | wave.data[6] << 16 | std::uint32_t{wave.data[7]} << 24;
    EXPECT_EQ(riff + 8u, wave.size);

    struct Strip {
        const char* name;
        int width, height, imageSide, images;
        Color mask;
    };
    for (const Strip& s : {Strip{"FORM1_IMAGELIST1", 42, 14, 14, 3, Color{255, 0, 255}},
                           Strip{"FORM1_IMAGELIST2", 816, 16, 16, 51, Color{0, 0, 0}}}) {
        SCOPED_TRACE(s.name);
        const ResourceData bitmap = toolkit::FindResource(s.name);
        ASSERT_TRUE(bitmap);
        EXPECT_NE(bitmap.data[0], 'B') << "a bitmap resource is a packed DIB, without the file header";
        Pixels pixels;
        ASSERT_TRUE(toolkit::native::DecodeImage(bitmap, pixels));
        EXPECT_EQ(pixels.width, s.width);
        EXPECT_EQ(pixels.height, s.height);
        const std::uint32_t key = std::uint32_t{s.mask.r} << 16 | std::uint32_t{s.mask.g} << 8 | s.mask.b;
        int masked = 0;
        for (std::uint32_t p : pixels.argb) {
            EXPECT_EQ(p >> 24, 0xFFu) << "the bitmaps have no alpha of their own";
            masked += (p & 0xFFFFFF) == key;
        }
        EXPECT_GT(masked, 0);
        EXPECT_LT(masked, s.width * s.height);

        ImageList list(s.imageSide, s.imageSide);
        ASSERT_TRUE(list.LoadBitmap(bitmap, s.mask));
        EXPECT_EQ(list.Count(), s.images);
        for (std::size_t i = 0; i < pixels.argb.size(); ++i)
            ASSERT_EQ((list.impl()->strip.argb[i] >> 24) == 0, (pixels.argb[i] & 0xFFFFFF) == key) << i;
    }

    EXPECT_FALSE(toolkit::FindResource("NOSUCH"));
    EXPECT_FALSE(toolkit::FindResource("mainicon")) << "names are the program's, exactly";
    EXPECT_FALSE(toolkit::FindResource(""));
}

TEST(Win32Images, DecodesPalettedBottomUpDibsAndTopDownFiles) {
    Pixels pixels;
    const std::vector<unsigned char> dib = FourBitDib();
    ASSERT_TRUE(toolkit::native::DecodeImage(Data(dib), pixels));
    ASSERT_EQ(pixels.width, 3);
    ASSERT_EQ(pixels.height, 2);
    EXPECT_EQ(pixels.argb, (std::vector<std::uint32_t>{0xFFFF00FF, 0xFF102030, 0xFFA0B0C0, //
                                                       0xFFA0B0C0, 0xFF102030, 0xFFFF00FF}));

    const std::vector<unsigned char> bmp = TopDownBmp();
    ASSERT_TRUE(toolkit::native::DecodeImage(Data(bmp), pixels));
    EXPECT_EQ(pixels.argb, (std::vector<std::uint32_t>{0xFF030201, 0xFF060504, 0xFF090807, 0xFF0C0B0A}));
}

TEST(Win32Images, ATruncatedOrLyingHeaderIsRefused) {
    Pixels pixels;
    const std::vector<unsigned char> dib = FourBitDib();
    for (std::size_t size = 0; size < dib.size(); ++size)
        EXPECT_FALSE(toolkit::native::DecodeImage({dib.data(), size}, pixels)) << size << " bytes";
    const std::vector<unsigned char> bmp = TopDownBmp();
    for (std::size_t size = 0; size < bmp.size(); ++size)
        EXPECT_FALSE(toolkit::native::DecodeImage({bmp.data(), size}, pixels)) << size << " bytes";

    struct Lie {
        const char* what;
        std::size_t at; // in the DIB's header
        std::uint32_t value;
    };
    for (const Lie& lie :
         {Lie{"header larger than the data", 0, 0x7FFFFFF0}, Lie{"header too small", 0, 12},
          Lie{"wider than the rows", 4, 300}, Lie{"taller than the rows", 8, 3},
          Lie{"top-down without end", 8, 0x80000000u}, Lie{"no height", 8, 0}, Lie{"no width", 4, 0},
          Lie{"negative width", 4, 0xFFFFFFFDu}, Lie{"huge", 4, 0x40000000}, Lie{"two planes", 12, 0x00040002},
          Lie{"one bit", 12, 0x00010001}, Lie{"run-length coded", 16, 2},
          Lie{"more colours than four bits hold", 32, 17}, Lie{"a palette past the end", 32, 0x10000000}}) {
        std::vector<unsigned char> bad = dib;
        if (lie.at == 12) {
            Set32(bad, 12, lie.value); // planes and bits together
        } else {
            Set32(bad, lie.at, lie.value);
        }
        EXPECT_FALSE(toolkit::native::DecodeImage(Data(bad), pixels)) << lie.what;
    }

    std::vector<unsigned char> file = TopDownBmp();
    Set32(file, 10, 14 + 40 + 1); // rows said to start one byte later: the last row is cut
    EXPECT_FALSE(toolkit::native::DecodeImage(Data(file), pixels)) << "pixel offset past the rows";
    Set32(file, 10, 14 + 20); // inside the header
    EXPECT_FALSE(toolkit::native::DecodeImage(Data(file), pixels)) << "pixel offset inside the header";
    Set32(file, 10, 0xFFFFFFF0u);
    EXPECT_FALSE(toolkit::native::DecodeImage(Data(file), pixels)) << "pixel offset past the end";
    const unsigned char text[] = "BM is how this text begins, and it is no bitmap at all.......";
    EXPECT_FALSE(toolkit::native::DecodeImage({text, sizeof text}, pixels));
    EXPECT_FALSE(toolkit::native::DecodeImage({}, pixels));
}

TEST(Win32Images, TheNativeListIsMadeOnceAndAgainForANewStrip) {
    ImageList buttons(14, 14);
    EXPECT_EQ(toolkit::win32::ImageListHandle(&buttons), nullptr) << "nothing loaded yet";
    EXPECT_EQ(toolkit::win32::ImageListHandle(nullptr), nullptr);
    ASSERT_TRUE(buttons.LoadBitmap(toolkit::FindResource("FORM1_IMAGELIST1"), Color{255, 0, 255}));
    HIMAGELIST list = toolkit::win32::ImageListHandle(&buttons);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(toolkit::win32::ImageListHandle(&buttons), list);
    EXPECT_EQ(::ImageList_GetImageCount(list), 3);
    int width = 0, height = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(list, &width, &height));
    EXPECT_EQ(width, 14);
    EXPECT_EQ(height, 14);

    // Each image as drawn: the background where the strip is magenta, the
    // strip's own colour elsewhere.
    const ImageList::Impl& im = *buttons.impl();
    for (int index = 0; index < 3; ++index) {
        const std::vector<std::uint32_t> drawn = DrawnOnGrey(list, index, 14, 14);
        for (int y = 0; y < 14; ++y)
            for (int x = 0; x < 14; ++x) {
                const std::uint32_t source =
                    im.strip.argb[static_cast<std::size_t>(y * im.strip.width + index * 14 + x)];
                const std::uint32_t expected = (source >> 24) == 0 ? 0x808080 : source & 0xFFFFFF;
                ASSERT_EQ(drawn[static_cast<std::size_t>(y * 14 + x)], expected)
                    << "image " << index << " at " << x << ", " << y;
            }
    }

    // A new strip drops the old native list; the next use makes one of it.
    ImageList nodes(16, 16);
    ASSERT_TRUE(nodes.LoadBitmap(toolkit::FindResource("FORM1_IMAGELIST2"), Color{0, 0, 0}));
    ASSERT_TRUE(buttons.LoadBitmap(toolkit::FindResource("FORM1_IMAGELIST2"), Color{0, 0, 0}));
    EXPECT_EQ(buttons.impl()->native, nullptr);
    HIMAGELIST remade = toolkit::win32::ImageListHandle(&buttons);
    ASSERT_NE(remade, nullptr);
    EXPECT_EQ(::ImageList_GetImageCount(remade), 816 / 14);
    EXPECT_EQ(::ImageList_GetImageCount(toolkit::win32::ImageListHandle(&nodes)), 51);
}

} // namespace
