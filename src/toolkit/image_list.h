// A strip of equally sized images cut from one bitmap, with one colour transparent.
#pragma once

#include <memory>

#include "toolkit/resources.h"
#include "toolkit/types.h"

namespace toolkit {

class ImageList {
public:
    ImageList(int width, int height);
    ~ImageList();
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;

    // Loads a BMP strip (other formats as the platform reads them); every
    // pixel of the mask colour becomes transparent. Returns false when the
    // data is not an image.
    bool LoadBitmap(const ResourceData& bitmap, Color mask);

    int Width() const;
    int Height() const;
    int Count() const;

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace toolkit
