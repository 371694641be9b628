#include <QImage>
#include <QPixmap>

#include <vector>

#include "toolkit/image_list.h"
#include "toolkit/qt/backend.h"

namespace toolkit {

struct ImageList::Impl {
    int width = 0;
    int height = 0;
    QImage strip; // ARGB32, the mask colour already transparent
    mutable std::vector<QPixmap> pixmaps;
};

ImageList::ImageList(int width, int height) : impl_(std::make_unique<Impl>()) {
    impl_->width = width;
    impl_->height = height;
}

ImageList::~ImageList() = default;

bool ImageList::LoadBitmap(const ResourceData& bitmap, Color mask) {
    if (!bitmap)
        return false;
    QImage image;
    if (!image.loadFromData(bitmap.data, static_cast<int>(bitmap.size)))
        return false;
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = qRgb(mask.r, mask.g, mask.b);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0x00FFFFFF) == (key & 0x00FFFFFF))
                line[x] = 0;
    }
    impl_->strip = image;
    impl_->pixmaps.assign(static_cast<size_t>(Count()), QPixmap());
    return true;
}

int ImageList::Width() const { return impl_->width; }
int ImageList::Height() const { return impl_->height; }

int ImageList::Count() const {
    if (impl_->strip.isNull() || impl_->width <= 0)
        return 0;
    return impl_->strip.width() / impl_->width;
}

bool ImageList::IsTransparent(int index, int x, int y) const {
    if (index < 0 || index >= Count() || x < 0 || y < 0 || x >= impl_->width || y >= impl_->height ||
        y >= impl_->strip.height())
        return true;
    return qAlpha(impl_->strip.pixel(index * impl_->width + x, y)) == 0;
}

namespace qt {

QPixmap ImagePixmap(const ImageList* images, int index) {
    if (!images || index < 0 || index >= images->Count())
        return QPixmap();
    ImageList::Impl* im = images->impl();
    QPixmap& cached = im->pixmaps[static_cast<size_t>(index)];
    if (cached.isNull())
        cached = QPixmap::fromImage(im->strip.copy(index * im->width, 0, im->width, im->height));
    return cached;
}

} // namespace qt
} // namespace toolkit
