// Menu templates read into a flat list of items, the same for every backend.
#pragma once

#include <string>
#include <vector>

namespace toolkit {

struct MenuTemplateItem {
    std::string text;
    int parent = -1;        // index of the sub-menu header, -1 at the top
    bool separator = false;
    bool submenu = false;   // the item heads a sub-menu
};

// Reads the strings up to the first empty one; "(" and ")" open and close the
// sub-menu of the item before, "-" is a separator.
std::vector<MenuTemplateItem> ParseMenuTemplate(const std::vector<std::string>& templ);

} // namespace toolkit
