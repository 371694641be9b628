// Edge alignment, the same on every platform: children aligned to the top take
// the full width from the top down, then those aligned to the bottom from the
// bottom up, then left and right in what remains, and a child aligned to the
// client area takes the rest; a margin is kept from the container's edges.
#pragma once

#include <vector>

#include "toolkit/controls.h"
#include "toolkit/types.h"

namespace toolkit {

struct AlignedChild {
    Align align = Align::None;
    Rect bounds;          // where the child is now
    bool visible = true;  // hidden children take no room
};

// The new bounds of each child, in the children's order (unaligned and hidden
// children keep theirs), for a client area of `width` x `height`.
std::vector<Rect> LayOutAligned(const std::vector<AlignedChild>& children, int width, int height, int margin);

} // namespace toolkit
