#include "toolkit/menu_template.h"

#include "toolkit/menu.h"

namespace toolkit {

std::vector<MenuTemplateItem> ParseMenuTemplate(const std::vector<std::string>& templ) {
    std::vector<MenuTemplateItem> items;
    std::vector<int> open; // headers of the sub-menus now open
    for (const std::string& entry : templ) {
        if (entry.empty())
            break;
        if (entry == "(") {
            // A "(" with no item before it has nothing to open.
            if (items.empty())
                continue;
            items.back().submenu = true;
            open.push_back(static_cast<int>(items.size()) - 1);
            continue;
        }
        if (entry == ")") {
            if (!open.empty())
                open.pop_back();
            continue;
        }
        MenuTemplateItem item;
        item.text = entry;
        item.parent = open.empty() ? -1 : open.back();
        item.separator = entry == "-";
        items.push_back(item);
    }
    return items;
}

std::pair<std::string, std::string> SplitMenuText(const std::string& text) {
    const std::string::size_type tab = text.find('\t');
    if (tab == std::string::npos)
        return {text, std::string()};
    return {text.substr(0, tab), text.substr(tab + 1)};
}

} // namespace toolkit
