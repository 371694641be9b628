// Menus: the items, their state and their handlers, for every backend.
#include "toolkit/menu.h"

#include "toolkit/dispatch.h"
#include "toolkit/menu_entries.h"
#include "toolkit/menu_template.h"
#include "toolkit/native.h"

namespace toolkit {

bool Menu::Impl::RunShortcut(const Shortcut& shortcut) {
    if (!shortcut)
        return false;
    for (const Entry& entry : entries) {
        if (entry.shortcut != shortcut)
            continue;
        // A menu bar's key does nothing while its item is disabled, as the
        // platform's accelerators do. A pop-up's items are brought up to date
        // only when it opens, so there the handler decides for itself.
        if (kind == Menu::Kind::Bar && !entry.enabled)
            return true;
        std::function<void()> handler = entry.handler;
        if (handler) {
            Dispatch d;
            handler();
        }
        return true;
    }
    return false;
}

Menu::Menu(Window& owner, Kind kind, const std::vector<std::string>& templ) : impl_(std::make_unique<Impl>()) {
    Impl* im = impl_.get();
    im->self = this;
    im->owner = &owner;
    im->kind = kind;
    for (const MenuTemplateItem& item : ParseMenuTemplate(templ)) {
        Impl::Entry entry;
        entry.text = item.text;
        entry.parent = item.parent;
        entry.separator = item.separator;
        entry.submenu = item.submenu && !item.separator;
        im->entries.push_back(std::move(entry));
    }
    native::CreateMenu(*this);
}

Menu::~Menu() { native::DestroyMenu(*this); }

Menu::Kind Menu::GetKind() const { return impl_->kind; }
int Menu::Count() const { return static_cast<int>(impl_->entries.size()); }

std::string Menu::Text(int index) const {
    return impl_->InRange(index) ? impl_->entries[static_cast<size_t>(index)].text : std::string();
}

void Menu::SetText(int index, const std::string& text) {
    if (!impl_->InRange(index))
        return;
    Impl::Entry& entry = impl_->entries[static_cast<size_t>(index)];
    entry.text = text;
    if (!entry.separator)
        native::MenuItemChanged(*this, index);
}

bool Menu::IsSeparator(int index) const {
    return impl_->InRange(index) && impl_->entries[static_cast<size_t>(index)].separator;
}

bool Menu::IsSubmenu(int index) const {
    return impl_->InRange(index) && impl_->entries[static_cast<size_t>(index)].submenu;
}

int Menu::Parent(int index) const {
    return impl_->InRange(index) ? impl_->entries[static_cast<size_t>(index)].parent : -1;
}

void Menu::SetEnabled(int index, bool enabled) {
    if (!impl_->InRange(index))
        return;
    impl_->entries[static_cast<size_t>(index)].enabled = enabled;
    native::MenuItemChanged(*this, index);
}

bool Menu::IsEnabled(int index) const {
    return impl_->InRange(index) && impl_->entries[static_cast<size_t>(index)].enabled;
}

void Menu::SetShortcut(int index, Shortcut shortcut) {
    if (impl_->InRange(index))
        impl_->entries[static_cast<size_t>(index)].shortcut = shortcut;
}

void Menu::RemoveShortcut(int index) { SetShortcut(index, Shortcut{}); }

Shortcut Menu::GetShortcut(int index) const {
    return impl_->InRange(index) ? impl_->entries[static_cast<size_t>(index)].shortcut : Shortcut{};
}

void Menu::SetOnClick(int index, std::function<void()> handler) {
    if (impl_->InRange(index))
        impl_->entries[static_cast<size_t>(index)].handler = std::move(handler);
}

void Menu::Click(int index) {
    if (!impl_->InRange(index))
        return;
    const Impl::Entry& entry = impl_->entries[static_cast<size_t>(index)];
    if (entry.separator || entry.submenu || !entry.enabled || !entry.handler)
        return;
    std::function<void()> handler = entry.handler;
    Dispatch d;
    handler();
}

void Menu::Trigger(const Shortcut& shortcut) { impl_->RunShortcut(shortcut); }

void Menu::SuppressPopupOnce() {
    impl_->suppressed = true;
    native::EndSuppressionInLoop(*this);
}

bool Menu::IsPopupSuppressed() const { return impl_->suppressed; }

bool Menu::Popup(int x, int y) {
    Impl* im = impl_.get();
    if (im->suppressed)
        return false;
    if (OnPopup) {
        Dispatch d;
        OnPopup();
    }
    ++im->popupCount;
    // Where nobody can choose an item, the menu is only counted: an open
    // pop-up would take every later key press.
    if (im->kind == Kind::Popup && !NobodyToAnswer())
        native::OpenPopup(*this, x, y);
    return true;
}

int Menu::PopupCount() const { return impl_->popupCount; }

} // namespace toolkit
