// What an image list holds, the same on every backend: the decoded strip
// with the mask colour made transparent. A backend decodes the image data
// (native.h) and makes its own images from the strip, kept in `native`.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/image_list.h"

namespace toolkit {

// A decoded bitmap: 0xAARRGGBB pixels, row by row from the top.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

struct ImageList::Impl {
    int width = 0; // of one image
    int height = 0;
    Pixels strip; // every pixel of the mask colour has alpha 0
    // The backend's own images, made from the strip on first use; dropped
    // whenever the strip changes.
    std::shared_ptr<void> native;

    // Whether (x, y) of image `index` is a pixel of the strip.
    bool Contains(int index, int x, int y) const;
};

// Makes every pixel of `mask`'s colour fully transparent; the alpha of the
// pixels is not compared.
void MaskColour(Pixels& pixels, Color mask);

} // namespace toolkit
