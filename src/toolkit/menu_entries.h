// What a menu holds, the same on every backend: its items as the template
// numbered them, their state and handlers. A backend keeps its own menu
// objects in `native`.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/menu.h"
#include "toolkit/types.h"

namespace toolkit {

struct Menu::Impl {
    struct Entry {
        std::string text;
        int parent = -1;
        bool separator = false;
        bool submenu = false;
        bool enabled = true;
        Shortcut shortcut;
        std::function<void()> handler;
    };

    Menu* self = nullptr;
    Window* owner = nullptr; // null once the owner is gone
    Kind kind = Kind::Popup;
    std::vector<Entry> entries;
    bool suppressed = false;
    int popupCount = 0;
    std::shared_ptr<void> native;

    bool InRange(int index) const { return index >= 0 && index < static_cast<int>(entries.size()); }
    // Runs the handler of the item with this shortcut; false when none has it.
    bool RunShortcut(const Shortcut& shortcut);
};

} // namespace toolkit
