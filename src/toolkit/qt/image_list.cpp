#include <QImage>
#include <QPixmap>

#include <vector>

#include "toolkit/image_strip.h"
#include "toolkit/native.h"
#include "toolkit/qt/backend.h"

namespace toolkit {

namespace native {

bool DecodeImage(const ResourceData& data, Pixels& pixels) {
    QImage image;
    if (!image.loadFromData(data.data, static_cast<int>(data.size)))
        return false;
    image = image.convertToFormat(QImage::Format_ARGB32);
    pixels.width = image.width();
    pixels.height = image.height();
    pixels.argb.resize(static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height));
    for (int y = 0; y < pixels.height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::copy(line, line + pixels.width, pixels.argb.begin() + static_cast<std::ptrdiff_t>(y) * pixels.width);
    }
    return true;
}

} // namespace native

namespace qt {

QPixmap ImagePixmap(const ImageList* images, int index) {
    if (!images || index < 0 || index >= images->Count())
        return QPixmap();
    ImageList::Impl* im = images->impl();
    if (!im->native)
        im->native = std::make_shared<std::vector<QPixmap>>(static_cast<size_t>(images->Count()));
    QPixmap& cached = (*std::static_pointer_cast<std::vector<QPixmap>>(im->native))[static_cast<size_t>(index)];
    if (cached.isNull()) {
        // Format_ARGB32 is 0xAARRGGBB in the machine's byte order, as the strip is.
        const QImage strip(reinterpret_cast<const uchar*>(im->strip.argb.data()), im->strip.width, im->strip.height,
                           im->strip.width * 4, QImage::Format_ARGB32);
        cached = QPixmap::fromImage(strip.copy(index * im->width, 0, im->width, im->height));
    }
    return cached;
}

} // namespace qt
} // namespace toolkit
