#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/test_app.h"
#include "toolkit/image_list.h"
#include "toolkit/resources.h"
#include "toolkit/testing/image_probe.h"

using namespace toolkit;
using toolkit::probe::IsTransparent;

namespace {

void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// A 24-bit bottom-up BMP of width x height; pixel(x, y) gives RGB, y from the top.
template <class Pixel>
std::vector<unsigned char> Bmp(int width, int height, Pixel pixel) {
    const int row = (width * 3 + 3) & ~3;
    std::vector<unsigned char> out = {'B', 'M'};
    Put32(out, static_cast<std::uint32_t>(54 + row * height));
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    out.push_back(1), out.push_back(0), out.push_back(24), out.push_back(0);
    for (int i = 0; i < 6; ++i)
        Put32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const Color c = pixel(x, y);
            out.push_back(c.b), out.push_back(c.g), out.push_back(c.r);
        }
        for (int pad = width * 3; pad < row; ++pad)
            out.push_back(0);
    }
    return out;
}

TEST(ImageList, CutsTheStripAndMasksOneColour) {
    tallykey::test::TestApp();
    // Three 2 x 2 images; magenta marks the transparent pixels on the diagonal.
    const std::vector<unsigned char> data = Bmp(6, 2, [](int x, int y) {
        return (x % 2) == y ? Color{255, 0, 255} : Color{static_cast<std::uint8_t>(40 * x), 10, 20};
    });
    ImageList list(2, 2);
    EXPECT_EQ(list.Count(), 0);
    ASSERT_TRUE(list.LoadBitmap(ResourceData{data.data(), data.size()}, Color{255, 0, 255}));
    EXPECT_EQ(list.Width(), 2);
    EXPECT_EQ(list.Height(), 2);
    EXPECT_EQ(list.Count(), 3);
    for (int index = 0; index < 3; ++index) {
        EXPECT_TRUE(IsTransparent(list, index, 0, 0));
        EXPECT_FALSE(IsTransparent(list, index, 1, 0));
        EXPECT_FALSE(IsTransparent(list, index, 0, 1));
        EXPECT_TRUE(IsTransparent(list, index, 1, 1));
    }
    const unsigned char junk[] = "not an image";
    ImageList other(2, 2);
    EXPECT_FALSE(other.LoadBitmap(ResourceData{junk, sizeof junk}, Color{}));
    EXPECT_FALSE(other.LoadBitmap(ResourceData{}, Color{}));
    EXPECT_EQ(other.Count(), 0);
}

TEST(ImageList, TheProgramsBitmapsGiveTheirImages) {
    tallykey::test::TestApp();
    ImageList buttons(14, 14);
    ASSERT_TRUE(buttons.LoadBitmap(FindResource("FORM1_IMAGELIST1"), Color{255, 0, 255}));
    EXPECT_EQ(buttons.Count(), 3);
    ImageList nodes(16, 16);
    ASSERT_TRUE(nodes.LoadBitmap(FindResource("FORM1_IMAGELIST2"), Color{0, 0, 0}));
    EXPECT_EQ(nodes.Count(), 51);
    int transparent = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            transparent += IsTransparent(nodes, 0, x, y);
    EXPECT_GT(transparent, 0) << "black is the node icons' transparent colour";
    EXPECT_LT(transparent, 256);
}

} // namespace
