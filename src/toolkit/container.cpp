// What controls and containers do the same on every backend: the tree of
// parents and children, names, and the layout of aligned children.
#include <algorithm>

#include "toolkit/controls.h"
#include "toolkit/layout.h"

namespace toolkit {

void Control::JoinParent() {
    if (parent_)
        parent_->children_.push_back(this);
}

void Control::LeaveParent() {
    if (!parent_)
        return;
    auto& list = parent_->children_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    parent_ = nullptr;
}

void Control::SetName(const std::string& name) { name_ = name; }
const std::string& Control::Name() const { return name_; }

Window* Control::TopWindow() const {
    const Control* c = this;
    while (c->parent_)
        c = c->parent_;
    // A window being destroyed is one no more.
    return dynamic_cast<Window*>(const_cast<Control*>(c));
}

Container::Container(Container* parent) : Control(parent) {}

Container::~Container() {
    for (Control* child : children_)
        child->parent_ = nullptr;
    children_.clear();
}

Control* Container::FindControl(const std::string& name) const {
    for (Control* child : children_) {
        if (child->Name() == name)
            return child;
        if (auto* container = dynamic_cast<Container*>(child))
            if (Control* found = container->FindControl(name))
                return found;
    }
    return nullptr;
}

std::vector<Rect> LayOutAligned(const std::vector<AlignedChild>& children, int width, int height, int margin) {
    std::vector<Rect> placed;
    placed.reserve(children.size());
    for (const AlignedChild& child : children)
        placed.push_back(child.bounds);
    int left = margin;
    int top = margin;
    int right = width - margin;
    int bottom = height - margin;
    for (Align pass : {Align::Top, Align::Bottom, Align::Left, Align::Right, Align::Client}) {
        for (std::size_t i = 0; i < children.size(); ++i) {
            const AlignedChild& child = children[i];
            if (child.align != pass || !child.visible)
                continue;
            const Rect b = child.bounds;
            const int w = std::max(0, right - left);
            const int h = std::max(0, bottom - top);
            switch (pass) {
            case Align::Top:
                placed[i] = {left, top, w, b.height};
                top += b.height;
                break;
            case Align::Bottom:
                placed[i] = {left, bottom - b.height, w, b.height};
                bottom -= b.height;
                break;
            case Align::Left:
                placed[i] = {left, top, b.width, h};
                left += b.width;
                break;
            case Align::Right:
                placed[i] = {right - b.width, top, b.width, h};
                right -= b.width;
                break;
            case Align::Client: placed[i] = {left, top, w, h}; break;
            case Align::None: break;
            }
        }
    }
    return placed;
}

} // namespace toolkit
