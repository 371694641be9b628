#include "toolkit/testing/image_probe.h"

#include "toolkit/image_strip.h"

namespace toolkit::probe {

bool IsTransparent(const ImageList& list, int index, int x, int y) {
    const ImageList::Impl* im = list.impl();
    if (!im->Contains(index, x, y))
        return true;
    const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(im->strip.width) +
                           static_cast<std::size_t>(index * im->width + x);
    return (im->strip.argb[at] >> 24) == 0;
}

} // namespace toolkit::probe
