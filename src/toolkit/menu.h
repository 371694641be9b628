// Menu bars and pop-up menus built from a flat list of strings:
// an entry is an item's text, "(" opens the sub-menu of the item before it,
// ")" closes it, "-" is a separator and an empty string (or the end of the
// list) ends it. Text after a tab is the shortcut shown at the right.
// Items are numbered from 0 in list order, separators and sub-menu headers
// included, "(" and ")" not counted.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/types.h"

namespace toolkit {

class Window;

class Menu {
public:
    enum class Kind { Bar, Popup };

    // The shortcuts of the items work anywhere inside `owner`: a key that a
    // shortcut takes is not delivered to the focused control.
    Menu(Window& owner, Kind kind, const std::vector<std::string>& templ);
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    Kind GetKind() const;
    int Count() const;
    std::string Text(int index) const;
    // Replaces the whole text (shortcut text after a tab included); a
    // separator stays a separator whatever its text.
    void SetText(int index, const std::string& text);
    bool IsSeparator(int index) const;
    bool IsSubmenu(int index) const;
    int Parent(int index) const; // index of the sub-menu header, -1 at the top
    void SetEnabled(int index, bool enabled);
    bool IsEnabled(int index) const;

    void SetShortcut(int index, Shortcut shortcut);
    void RemoveShortcut(int index);
    Shortcut GetShortcut(int index) const;
    // A menu bar's shortcut does nothing while its item is disabled; a
    // pop-up's shortcut reaches its handler whatever the item's state.
    void SetOnClick(int index, std::function<void()> handler);
    void Click(int index); // as the user choosing the item (only when enabled)
    void Trigger(const Shortcut& shortcut); // as the key pressed in the owner

    // Pop-up menus: runs just before the menu opens.
    std::function<void()> OnPopup;
    // The pop-up that the input event being handled now would open is not
    // shown; the flag clears once control returns to the event loop.
    void SuppressPopupOnce();
    bool IsPopupSuppressed() const;
    // Opens the pop-up at screen coordinates (runs OnPopup first) and returns
    // once it closes. Where nobody can choose an item (a modal hook is
    // installed, or nobody sees the screen) it only runs OnPopup and counts.
    // Returns false when suppressed.
    bool Popup(int x, int y);
    // How many times Popup() has run OnPopup.
    int PopupCount() const;

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    std::unique_ptr<Impl> impl_;
};

// Splits "text\tshortcut" into its two parts.
std::pair<std::string, std::string> SplitMenuText(const std::string& text);

} // namespace toolkit
