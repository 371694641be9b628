// Small helpers the editors share for building their controls.
#pragma once

#include <memory>
#include <string>

#include "toolkit/controls.h"

namespace tallykey {

// A control of kind T in `parent`, named and placed.
template <class T>
std::unique_ptr<T> MakeControl(toolkit::Container& parent, const char* name, int left, int top,
                               int width, int height) {
    auto control = std::make_unique<T>(parent);
    control->SetName(name);
    control->SetBounds(left, top, width, height);
    return control;
}

// A label sized to its text with its top-left corner at (left, top).
inline std::unique_ptr<toolkit::Label> MakeLabel(toolkit::Container& parent, const char* name,
                                                 int left, int top, const std::string& text) {
    auto label = std::make_unique<toolkit::Label>(parent);
    label->SetName(name);
    label->SetCaption(text);
    const toolkit::Rect sized = label->Bounds();
    label->SetBounds(left, top, sized.width, sized.height);
    return label;
}

} // namespace tallykey
