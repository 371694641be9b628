// Menu bars and pop-up menus over native menus. Every item that runs a
// handler has a command id of a range of its own (kFirstId..kLastId), so that
// a WM_COMMAND from a menu is never taken for a control's notification.
#include <map>
#include <memory>

#include "toolkit/native.h"
#include "toolkit/win32/backend.h"

namespace toolkit {

namespace {

constexpr UINT kFirstId = 0x8000;
constexpr UINT kLastId = 0xDFFF;

struct NativeMenu {
    HMENU root = nullptr;
    struct Place {
        HMENU menu = nullptr; // the native menu the entry is in
        UINT position = 0;
        UINT id = 0;         // items only
        HMENU sub = nullptr; // sub-menu headers only
    };
    std::vector<Place> places;

    ~NativeMenu();
};

struct Command {
    Menu* menu;
    int index;
};

std::map<UINT, Command>& Commands() {
    static std::map<UINT, Command> commands;
    return commands;
}

UINT NewCommandId() {
    static UINT next = kFirstId;
    for (UINT tried = 0; tried <= kLastId - kFirstId; ++tried) {
        const UINT id = next;
        next = next == kLastId ? kFirstId : next + 1;
        if (!Commands().count(id))
            return id;
    }
    return 0; // every id in use: the item shows, and runs nothing
}

NativeMenu::~NativeMenu() {
    for (const Place& place : places)
        if (place.id)
            Commands().erase(place.id);
    if (root)
        ::DestroyMenu(root); // its sub-menus with it
}

NativeMenu* N(const Menu& menu) { return menu.impl() ? static_cast<NativeMenu*>(menu.impl()->native.get()) : nullptr; }

void ShowEntry(const NativeMenu::Place& place, const Menu::Impl::Entry& entry) {
    const std::wstring text = win32::Wide(entry.text);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_STATE;
    info.dwTypeData = const_cast<wchar_t*>(text.c_str());
    info.fState = entry.enabled ? MFS_ENABLED : MFS_GRAYED;
    ::SetMenuItemInfoW(place.menu, place.position, TRUE, &info);
}

} // namespace

namespace native {

void CreateMenu(Menu& menu) {
    Menu::Impl* im = menu.impl();
    auto n = std::make_shared<NativeMenu>();
    n->root = im->kind == Menu::Kind::Bar ? ::CreateMenu() : ::CreatePopupMenu();
    std::map<HMENU, UINT> counts;
    for (size_t i = 0; i < im->entries.size(); ++i) {
        const Menu::Impl::Entry& entry = im->entries[i];
        NativeMenu::Place place;
        place.menu = entry.parent >= 0 ? n->places[static_cast<size_t>(entry.parent)].sub : n->root;
        if (!place.menu)
            place.menu = n->root;
        place.position = counts[place.menu]++;
        const std::wstring text = win32::Wide(entry.text);
        if (entry.separator) {
            ::AppendMenuW(place.menu, MF_SEPARATOR, 0, nullptr);
        } else if (entry.submenu) {
            place.sub = ::CreatePopupMenu();
            ::AppendMenuW(place.menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(place.sub), text.c_str());
        } else {
            place.id = NewCommandId();
            if (place.id)
                Commands()[place.id] = {&menu, static_cast<int>(i)};
            ::AppendMenuW(place.menu, MF_STRING, place.id, text.c_str());
        }
        if (!entry.enabled)
            ::EnableMenuItem(place.menu, place.position, MF_BYPOSITION | MF_GRAYED);
        n->places.push_back(place);
    }
    im->native = std::move(n);
    win32::AddMenu(*im->owner, &menu);
}

void DestroyMenu(Menu& menu) {
    Menu::Impl* im = menu.impl();
    if (im->owner)
        win32::RemoveMenu(*im->owner, &menu); // takes a menu bar off its window first
    im->native.reset();
}

void MenuItemChanged(Menu& menu, int index) {
    NativeMenu* n = N(menu);
    Menu::Impl* im = menu.impl();
    if (!n || !im->InRange(index) || static_cast<size_t>(index) >= n->places.size())
        return;
    const Menu::Impl::Entry& entry = im->entries[static_cast<size_t>(index)];
    if (entry.separator) {
        ::EnableMenuItem(n->places[static_cast<size_t>(index)].menu, n->places[static_cast<size_t>(index)].position,
                         MF_BYPOSITION | (entry.enabled ? MF_ENABLED : MF_GRAYED));
        return;
    }
    ShowEntry(n->places[static_cast<size_t>(index)], entry);
    if (im->kind == Menu::Kind::Bar && im->owner)
        win32::MenuBarChanged(*im->owner);
}

// Cleared once the loop takes messages again; the native part lives exactly
// as long as the menu, so a menu gone by then is left alone.
void EndSuppressionInLoop(Menu& menu) {
    if (!menu.impl() || !menu.impl()->native)
        return;
    Menu::Impl* im = menu.impl();
    std::weak_ptr<void> alive = im->native;
    win32::RunInLoop([im, alive] {
        if (!alive.expired())
            im->suppressed = false;
    });
}

void OpenPopup(Menu& menu, int x, int y) {
    NativeMenu* n = N(menu);
    if (!n || !n->root)
        return;
    Menu::Impl* im = menu.impl();
    HWND owner = im->owner && im->owner->impl() ? im->owner->impl()->hwnd : win32::ApplicationWindow();
    // The menu closes when the user clicks elsewhere only while its owner is in front.
    ::SetForegroundWindow(owner);
    UINT id = 0;
    {
        Dispatch d;
        id = static_cast<UINT>(
            ::TrackPopupMenu(n->root, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, owner, nullptr));
    }
    ::PostMessageW(owner, WM_NULL, 0, 0);
    if (id)
        win32::RunMenuCommand(id);
}

} // namespace native

namespace win32 {

HMENU MenuHandle(const Menu& menu) {
    NativeMenu* n = N(menu);
    return n ? n->root : nullptr;
}

bool RunMenuCommand(UINT id) {
    auto it = Commands().find(id);
    if (it == Commands().end())
        return false;
    const Command command = it->second;
    command.menu->Click(command.index);
    return true;
}

} // namespace win32
} // namespace toolkit
