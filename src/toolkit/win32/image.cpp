// Decoding of the bitmaps the program loads into its image lists: a BMP file
// or a packed DIB (a bitmap resource), read field by field from the bytes so
// that a damaged or hostile header never leads outside the data.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "toolkit/image_strip.h"
#include "toolkit/native.h"

namespace toolkit::native {

namespace {

// Larger sides are no bitmap of this program; the limit also keeps the pixel
// count far from overflowing.
constexpr std::int64_t kMaxSide = 1 << 15;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40; // BITMAPINFOHEADER; V4 and V5 extend it
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

class Bytes {
public:
    Bytes(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    // Whether `count` bytes from `offset` lie inside the data (64-bit, so that
    // no product of header fields wraps on a 32-bit system).
    bool Has(std::uint64_t offset, std::uint64_t count) const {
        return offset <= size_ && count <= std::uint64_t{size_} - offset;
    }
    std::uint32_t U16(std::size_t at) const { return data_[at] | std::uint32_t{data_[at + 1]} << 8; }
    std::uint32_t U32(std::size_t at) const { return U16(at) | U16(at + 2) << 16; }
    std::int32_t I32(std::size_t at) const {
        const std::uint32_t u = U32(at);
        std::int32_t i;
        std::memcpy(&i, &u, sizeof i);
        return i;
    }
    const unsigned char* At(std::size_t at) const { return data_ + at; }
    std::size_t Size() const { return size_; }

private:
    const unsigned char* data_;
    std::size_t size_;
};

// `header` is where the BITMAPINFOHEADER starts; `pixelsAt` is where the
// pixel rows start (0: right after the header, its masks and its palette).
bool DecodeDib(const Bytes& bytes, std::size_t header, std::size_t pixelsAt, Pixels& pixels) {
    if (!bytes.Has(header, kInfoHeaderSize))
        return false;
    const std::uint32_t headerSize = bytes.U32(header);
    if (headerSize < kInfoHeaderSize || !bytes.Has(header, headerSize))
        return false;
    const std::int64_t width = bytes.I32(header + 4);
    const std::int64_t signedHeight = bytes.I32(header + 8);
    const std::uint32_t planes = bytes.U16(header + 12);
    const std::uint32_t bits = bytes.U16(header + 14);
    const std::uint32_t compression = bytes.U32(header + 16);
    std::uint32_t colours = bytes.U32(header + 32);

    const bool topDown = signedHeight < 0;
    const std::int64_t height = topDown ? -signedHeight : signedHeight;
    if (planes != 1 || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    if (bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return false;

    // After a BITMAPINFOHEADER come the three colour masks of BI_BITFIELDS;
    // the later headers hold them inside.
    std::size_t tableAt = header + headerSize;
    if (compression == kBiBitfields) {
        if (bits != 32)
            return false;
        const std::size_t masksAt = header + kInfoHeaderSize;
        if (!bytes.Has(masksAt, 12))
            return false;
        // Only the layout of a plain 32-bit bitmap (blue, green, red, unused).
        if (bytes.U32(masksAt) != 0x00FF0000u || bytes.U32(masksAt + 4) != 0x0000FF00u ||
            bytes.U32(masksAt + 8) != 0x000000FFu)
            return false;
        if (headerSize == kInfoHeaderSize)
            tableAt += 12;
    } else if (compression != kBiRgb) {
        return false;
    }

    // An index past a short palette shows opaque black.
    std::uint32_t palette[256];
    std::fill(std::begin(palette), std::end(palette), 0xFF000000u);
    if (bits <= 8) {
        const std::uint32_t most = 1u << bits;
        if (colours == 0)
            colours = most;
        if (colours > most || !bytes.Has(tableAt, std::size_t{colours} * 4))
            return false;
        for (std::uint32_t i = 0; i < colours; ++i) // RGBQUAD: blue, green, red, reserved
            palette[i] = 0xFF000000u | (bytes.U32(tableAt + i * 4) & 0x00FFFFFFu);
        tableAt += std::size_t{colours} * 4;
    }
    if (pixelsAt == 0)
        pixelsAt = tableAt;
    else if (pixelsAt < tableAt) // rows said to start inside the header or its palette
        return false;

    const std::int64_t stride = (width * bits + 31) / 32 * 4;
    if (!bytes.Has(pixelsAt, static_cast<std::uint64_t>(stride * height)))
        return false;

    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    Pixels out;
    out.width = w;
    out.height = h;
    out.argb.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    bool anyAlpha = false;
    for (int y = 0; y < h; ++y) {
        const int sourceRow = topDown ? y : h - 1 - y;
        const unsigned char* row =
            bytes.At(pixelsAt + static_cast<std::size_t>(sourceRow) * static_cast<std::size_t>(stride));
        std::uint32_t* line = out.argb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int x = 0; x < w; ++x) {
            switch (bits) {
            case 4: {
                const unsigned char pair = row[x / 2];
                line[x] = palette[x % 2 == 0 ? pair >> 4 : pair & 0x0F];
                break;
            }
            case 8: line[x] = palette[row[x]]; break;
            case 24: {
                const unsigned char* p = row + x * 3;
                line[x] = 0xFF000000u | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
                break;
            }
            default: {
                const unsigned char* p = row + x * 4;
                line[x] = std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
                anyAlpha = anyAlpha || p[3] != 0;
            }
            }
        }
    }
    // The fourth byte of a 32-bit bitmap is commonly left zero: then it is no
    // alpha channel and every pixel is opaque.
    if (bits == 32 && !anyAlpha)
        for (std::uint32_t& pixel : out.argb)
            pixel |= 0xFF000000u;
    pixels = std::move(out);
    return true;
}

} // namespace

bool DecodeImage(const ResourceData& data, Pixels& pixels) {
    if (!data)
        return false;
    const Bytes bytes(data.data, data.size);
    if (bytes.Has(0, kFileHeaderSize) && data.data[0] == 'B' && data.data[1] == 'M') {
        // BITMAPFILEHEADER: the offset of the pixel rows from the file's start.
        const std::uint32_t offBits = bytes.U32(10);
        if (offBits < kFileHeaderSize + kInfoHeaderSize)
            return false;
        return DecodeDib(bytes, kFileHeaderSize, offBits, pixels);
    }
    return DecodeDib(bytes, 0, 0, pixels);
}

} // namespace toolkit::native
