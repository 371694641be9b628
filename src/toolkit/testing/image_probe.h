// What tests read of an image list.
#pragma once

#include "toolkit/image_list.h"

namespace toolkit::probe {

// Whether pixel (x, y) of image `index` is transparent; a pixel outside the
// image, or of an image the list does not have, is.
bool IsTransparent(const ImageList& list, int index, int x, int y);

} // namespace toolkit::probe
