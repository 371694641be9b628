// Image lists: cutting the strip and the mask colour, for every backend.
#include "toolkit/image_list.h"

#include "toolkit/image_strip.h"
#include "toolkit/native.h"

namespace toolkit {

bool ImageList::Impl::Contains(int index, int x, int y) const {
    return index >= 0 && x >= 0 && y >= 0 && x < width && y < height && y < strip.height && width > 0 &&
           index < strip.width / width;
}

void MaskColour(Pixels& pixels, Color mask) {
    const std::uint32_t key = (std::uint32_t{mask.r} << 16) | (std::uint32_t{mask.g} << 8) | mask.b;
    for (std::uint32_t& pixel : pixels.argb)
        if ((pixel & 0x00FFFFFFu) == key)
            pixel = 0;
}

ImageList::ImageList(int width, int height) : impl_(std::make_unique<Impl>()) {
    impl_->width = width;
    impl_->height = height;
}

ImageList::~ImageList() = default;

bool ImageList::LoadBitmap(const ResourceData& bitmap, Color mask) {
    if (!bitmap)
        return false;
    Pixels pixels;
    if (!native::DecodeImage(bitmap, pixels))
        return false;
    MaskColour(pixels, mask);
    impl_->strip = std::move(pixels);
    impl_->native.reset();
    return true;
}

int ImageList::Width() const { return impl_->width; }
int ImageList::Height() const { return impl_->height; }

int ImageList::Count() const {
    if (impl_->strip.argb.empty() || impl_->width <= 0)
        return 0;
    return impl_->strip.width / impl_->width;
}

} // namespace toolkit
