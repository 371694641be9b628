// Drop-down lists over the native combo box: owner-drawn items as the
// handler sees and draws them, and which changes of the selection reach
// OnChange.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/test_app.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/testing/test_input.h"
#include "toolkit/win32/backend.h"

using namespace toolkit;

namespace {

Application& App() { return tallykey::test::TestApp(); }

void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// A packed 24-bit DIB of two 16 x 16 images: the first pure red with a
// magenta left half, the second blue.
std::vector<unsigned char> TwoImages() {
    std::vector<unsigned char> dib;
    for (std::uint32_t v : {40u, 32u, 16u})
        Put32(dib, v);
    dib.insert(dib.end(), {1, 0, 24, 0});
    for (int i = 0; i < 6; ++i)
        Put32(dib, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            const std::uint32_t rgb = x >= 16 ? 0x0000FF : x < 8 ? 0xFF00FF : 0xFF0000;
            dib.insert(dib.end(), {static_cast<unsigned char>(rgb), static_cast<unsigned char>(rgb >> 8),
                                   static_cast<unsigned char>(rgb >> 16)});
        }
    return dib;
}

std::uint32_t BigEndian(const std::vector<unsigned char>& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// CRC-32 bit by bit, the slow way, to check the writer's table.
std::uint32_t SlowCrc(const unsigned char* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// Reads back what SaveScreenshot writes: an RGB PNG of stored deflate blocks;
// every checksum is verified. Empty when anything is off.
input::Picture ReadPng(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    input::Picture picture;
    const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (b.size() < 8 || !std::equal(signature, signature + 8, b.begin()))
        return picture;
    std::vector<unsigned char> zlib;
    int width = 0, height = 0;
    for (std::size_t at = 8; at + 12 <= b.size();) {
        const std::uint32_t length = BigEndian(b, at);
        if (at + 12 + length > b.size() || SlowCrc(&b[at + 4], length + 4) != BigEndian(b, at + 8 + length))
            return picture;
        const std::string type(b.begin() + static_cast<long>(at) + 4, b.begin() + static_cast<long>(at) + 8);
        if (type == "IHDR") {
            width = static_cast<int>(BigEndian(b, at + 8));
            height = static_cast<int>(BigEndian(b, at + 12));
            if (b[at + 16] != 8 || b[at + 17] != 2)
                return picture;
        } else if (type == "IDAT") {
            zlib.insert(zlib.end(), b.begin() + static_cast<long>(at) + 8,
                        b.begin() + static_cast<long>(at + 8 + length));
        }
        at += 12 + length;
    }
    if (zlib.size() < 6 || ((zlib[0] << 8) | zlib[1]) % 31 != 0)
        return picture;
    std::vector<unsigned char> raw;
    std::size_t at = 2;
    for (bool last = false; !last;) {
        if (at + 5 > zlib.size() || (zlib[at] & 6) != 0) // stored blocks only
            return picture;
        last = zlib[at] & 1;
        const unsigned length = zlib[at + 1] | zlib[at + 2] << 8;
        if ((length ^ 0xFFFFu) != (zlib[at + 3] | static_cast<unsigned>(zlib[at + 4]) << 8) ||
            at + 5 + length > zlib.size())
            return picture;
        raw.insert(raw.end(), zlib.begin() + static_cast<long>(at) + 5,
                   zlib.begin() + static_cast<long>(at + 5 + length));
        at += 5 + length;
    }
    std::uint32_t a = 1, s = 0;
    for (unsigned char byte : raw)
        a = (a + byte) % 65521, s = (s + a) % 65521;
    if (at + 4 != zlib.size() || BigEndian(zlib, at) != (s << 16 | a) ||
        raw.size() != static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)))
        return picture;
    picture.width = width;
    picture.height = height;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = &raw[static_cast<std::size_t>(y) * (1 + 3 * static_cast<std::size_t>(width))];
        if (row[0] != 0)
            return {};
        for (int x = 0; x < width; ++x)
            picture.pixels.push_back(unsigned{row[1 + 3 * x]} << 16 | unsigned{row[2 + 3 * x]} << 8 | row[3 + 3 * x]);
    }
    return picture;
}

HWND Native(const Control& control) { return control.impl()->hwnd; }

class Win32ComboTest : public ::testing::Test {
protected:
    Win32ComboTest() : window((App(), WindowStyle::Dialog)) {
        window.SetClientSize(320, 240);
        window.SetFont(Font{});
    }

    Window window;
};

TEST_F(Win32ComboTest, OwnerDrawnItemsAreDrawnByTheHandlerInTheFieldAndInTheList) {
    const std::vector<unsigned char> bitmap = TwoImages();
    ImageList images(16, 16);
    ASSERT_TRUE(images.LoadBitmap({bitmap.data(), bitmap.size()}, Color{255, 0, 255}));

    ComboBox combo(window);
    combo.SetBounds(8, 24, 120, 21);
    combo.SetOwnerDraw(true, 17); // after it is placed: the window is made again
    combo.SetWindowColor();
    std::vector<DrawItemInfo> drawn;
    combo.OnDrawItem = [&](Canvas& canvas, const DrawItemInfo& item) {
        drawn.push_back(item);
        canvas.FillRect(item.rect);
        if (item.focusAction)
            canvas.DrawFocusRect(item.rect);
        canvas.DrawImage(images, item.index, item.rect.left + 1, item.rect.top);
        canvas.DrawText("&" + std::to_string(item.index),
                        Rect{item.comboEdit ? 25 : 22, item.rect.top, 80, item.rect.height});
    };
    combo.AddItem("1");
    combo.AddItem("2");
    EXPECT_EQ(combo.ItemIndex(), 0) << "the first item added is selected";
    EXPECT_EQ(combo.Count(), 2);
    EXPECT_EQ(combo.ItemHeight(), 17);
    EXPECT_EQ(SendMessageW(Native(combo), CB_GETITEMHEIGHT, 0, 0), 17) << "the list's items as measured";
    EXPECT_EQ(combo.Bounds().height, 21) << "the closed box as high as it was placed";
    EXPECT_EQ(combo.Bounds().top, 24);
    EXPECT_EQ(GetWindowLongW(Native(combo), GWL_STYLE) & (CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | CBS_DROPDOWNLIST),
              CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | CBS_DROPDOWNLIST);

    window.Show();
    combo.SetFocus();
    App().ProcessMessages();
    drawn.clear();
    const input::Picture field = input::Grab(combo);
    ASSERT_FALSE(drawn.empty()) << "the selection field is the handler's to draw";
    const DrawItemInfo item = drawn.back();
    EXPECT_EQ(item.index, 0);
    EXPECT_TRUE(item.comboEdit);
    EXPECT_TRUE(item.focused);
    EXPECT_TRUE(item.selected);
    EXPECT_FALSE(item.focusAction);
    // Image 0 at (left + 1, top): its magenta half shows the highlight the
    // field was filled with, its red half is red.
    ASSERT_GT(field.width, item.rect.left + 16);
    ASSERT_GT(field.height, item.rect.top + 8);
    EXPECT_EQ(field.At(item.rect.left + 1 + 12, item.rect.top + 8), 0xFF0000u);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_EQ(field.At(item.rect.left + 1 + 3, item.rect.top + 8),
              static_cast<unsigned>(GetRValue(highlight) << 16 | GetGValue(highlight) << 8 | GetBValue(highlight)));

    // The list: every item drawn there, not as the field, the chosen one selected.
    drawn.clear();
    SendMessageW(Native(combo), CB_SHOWDROPDOWN, TRUE, 0);
    App().ProcessMessages();
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(Native(combo), &info));
    UpdateWindow(info.hwndList);
    SendMessageW(Native(combo), CB_SHOWDROPDOWN, FALSE, 0);
    bool listed[2] = {false, false};
    for (const DrawItemInfo& d : drawn) {
        if (d.comboEdit)
            continue;
        ASSERT_GE(d.index, 0);
        ASSERT_LT(d.index, 2);
        listed[d.index] = true;
        EXPECT_EQ(d.rect.height, 17) << d.index;
        if (!d.focusAction) {
            EXPECT_EQ(d.selected, d.index == 0) << d.index;
        }
    }
    EXPECT_TRUE(listed[0] && listed[1]) << "both items drawn in the list";
}

TEST_F(Win32ComboTest, OnChangeRunsForTheUsersChoiceOnly) {
    ComboBox combo(window);
    combo.SetBounds(8, 8, 150, 21);
    int changes = 0;
    combo.OnChange = [&] { ++changes; };
    for (const char* text : {"Alpha", "Beta", "Gamma", "Bravo"})
        combo.AddItem(text);
    EXPECT_EQ(combo.ItemIndex(), 0);
    combo.SetItemIndex(2);
    EXPECT_EQ(combo.ItemIndex(), 2);
    combo.SetItemText(2, "Gamma & Delta");
    EXPECT_EQ(combo.ItemIndex(), 2) << "a new text keeps the selection";
    EXPECT_EQ(combo.ItemText(2), "Gamma & Delta");
    EXPECT_EQ(changes, 0) << "the program's own changes";

    combo.SelectByUser(1);
    EXPECT_EQ(combo.ItemIndex(), 1);
    EXPECT_EQ(changes, 1);

    // Typing selects the next item that starts with the character, round
    // to the first again; a character no item starts with changes nothing.
    window.Show();
    combo.SetFocus();
    App().ProcessMessages();
    const auto type = [&](wchar_t ch) {
        PostMessageW(Native(combo), WM_CHAR, ch, 1);
        App().ProcessMessages();
    };
    type(L'b');
    EXPECT_EQ(combo.ItemIndex(), 3);
    EXPECT_EQ(changes, 2);
    type(L'B');
    EXPECT_EQ(combo.ItemIndex(), 1);
    EXPECT_EQ(changes, 3);
    type(L'z');
    EXPECT_EQ(combo.ItemIndex(), 1);
    EXPECT_EQ(changes, 3);

    // Made again for owner drawing: the items, the selection and the place stay.
    combo.SetOwnerDraw(true);
    EXPECT_EQ(combo.Count(), 4);
    EXPECT_EQ(combo.ItemIndex(), 1);
    EXPECT_EQ(SendMessageW(Native(combo), CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(combo.Bounds().left, 8);
    EXPECT_EQ(combo.Bounds().height, 21);
    EXPECT_GT(combo.ItemHeight(), 0) << "the platform's own height";
    type(L'g');
    EXPECT_EQ(combo.ItemIndex(), 2);
    EXPECT_EQ(changes, 4);

    combo.ClearItems();
    EXPECT_EQ(combo.ItemIndex(), -1);
    combo.AddItem("Only");
    EXPECT_EQ(combo.ItemIndex(), 0);
    EXPECT_EQ(changes, 4);
    // The list reports a choice of the item that was already chosen: no change.
    type(L'o');
    EXPECT_EQ(combo.ItemIndex(), 0);
    EXPECT_EQ(changes, 4);
}

TEST_F(Win32ComboTest, AScreenshotIsThePngOfTheWholeWindow) {
    ComboBox combo(window);
    combo.SetBounds(8, 8, 150, 21);
    combo.AddItem("Shown");
    window.Show();
    App().ProcessMessages();
    char folder[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, folder), 0u);
    const std::string path = std::string(folder) + "tallykey-combo-shot.png";
    ASSERT_TRUE(input::SaveScreenshot(window, path));
    const input::Picture saved = ReadPng(path);
    DeleteFileA(path.c_str());
    const input::Picture grabbed = input::Grab(window);
    const Rect outer = window.OuterRect();
    EXPECT_EQ(saved.width, outer.width) << "frame included";
    EXPECT_EQ(saved.height, outer.height);
    ASSERT_EQ(saved.width, grabbed.width);
    ASSERT_EQ(saved.height, grabbed.height);
    EXPECT_EQ(saved.pixels, grabbed.pixels);
    // The box is in the picture: its field differs from the dialog's face.
    POINT client{0, 0};
    ClientToScreen(window.impl()->hwnd, &client);
    const int x = client.x - outer.left + 8 + 20, y = client.y - outer.top + 8 + 10;
    EXPECT_NE(saved.At(x, y), saved.At(x, y + 30));
}

} // namespace
