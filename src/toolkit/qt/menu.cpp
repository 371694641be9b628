#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "toolkit/menu.h"
#include "toolkit/menu_template.h"
#include "toolkit/qt/backend.h"

namespace toolkit {

using qt::Dispatch;

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

Menu::Menu(Window& owner, Kind kind, const std::vector<std::string>& templ)
    : impl_(std::make_unique<Impl>()) {
    Impl* im = impl_.get();
    im->self = this;
    im->owner = &owner;
    im->kind = kind;
    im->guard = std::make_unique<QObject>();
    if (kind == Kind::Bar)
        im->bar = new QMenuBar();
    else
        im->popup = new QMenu();

    for (const MenuTemplateItem& item : ParseMenuTemplate(templ)) {
        const int index = static_cast<int>(im->entries.size());
        Impl::Entry entry;
        entry.text = item.text;
        entry.parent = item.parent;
        entry.separator = item.separator;
        entry.submenu = item.submenu && !item.separator;
        QMenu* parentMenu = item.parent >= 0 ? im->entries[static_cast<size_t>(item.parent)].menu.data()
                                             : im->popup.data();
        QMenuBar* bar = item.parent < 0 ? im->bar.data() : nullptr;
        if (entry.separator) {
            entry.action = bar ? bar->addSeparator() : parentMenu ? parentMenu->addSeparator() : nullptr;
        } else if (entry.submenu) {
            auto* sub = new QMenu(qt::ToQ(item.text), bar ? static_cast<QWidget*>(bar) : parentMenu);
            entry.menu = sub;
            entry.action = bar ? bar->addMenu(sub) : parentMenu ? parentMenu->addMenu(sub) : nullptr;
        } else {
            entry.action = bar ? bar->addAction(qt::ToQ(item.text))
                               : parentMenu ? parentMenu->addAction(qt::ToQ(item.text)) : nullptr;
            if (entry.action)
                QObject::connect(entry.action, &QAction::triggered, im->guard.get(),
                                 [this, index] { Click(index); });
        }
        im->entries.push_back(std::move(entry));
    }
    qt::AddMenu(owner, this);
}

Menu::~Menu() {
    Impl* im = impl_.get();
    if (im->owner)
        qt::RemoveMenu(*im->owner, this);
    im->guard.reset();
    qt::DisposeWidget(im->bar.data());
    qt::DisposeWidget(im->popup.data());
}

Menu::Kind Menu::GetKind() const { return impl_->kind; }
int Menu::Count() const { return static_cast<int>(impl_->entries.size()); }

namespace {

bool InRange(const Menu::Impl* im, int index) {
    return index >= 0 && index < static_cast<int>(im->entries.size());
}

} // namespace

std::string Menu::Text(int index) const {
    return InRange(impl_.get(), index) ? impl_->entries[static_cast<size_t>(index)].text : std::string();
}

void Menu::SetText(int index, const std::string& text) {
    if (!InRange(impl_.get(), index))
        return;
    Impl::Entry& entry = impl_->entries[static_cast<size_t>(index)];
    entry.text = text;
    if (entry.separator)
        return;
    if (entry.menu)
        entry.menu->setTitle(qt::ToQ(text));
    else if (entry.action)
        entry.action->setText(qt::ToQ(text));
}

bool Menu::IsSeparator(int index) const {
    return InRange(impl_.get(), index) && impl_->entries[static_cast<size_t>(index)].separator;
}

bool Menu::IsSubmenu(int index) const {
    return InRange(impl_.get(), index) && impl_->entries[static_cast<size_t>(index)].submenu;
}

int Menu::Parent(int index) const {
    return InRange(impl_.get(), index) ? impl_->entries[static_cast<size_t>(index)].parent : -1;
}

void Menu::SetEnabled(int index, bool enabled) {
    if (!InRange(impl_.get(), index))
        return;
    Impl::Entry& entry = impl_->entries[static_cast<size_t>(index)];
    entry.enabled = enabled;
    if (entry.action)
        entry.action->setEnabled(enabled);
}

bool Menu::IsEnabled(int index) const {
    return InRange(impl_.get(), index) && impl_->entries[static_cast<size_t>(index)].enabled;
}

void Menu::SetShortcut(int index, Shortcut shortcut) {
    if (InRange(impl_.get(), index))
        impl_->entries[static_cast<size_t>(index)].shortcut = shortcut;
}

void Menu::RemoveShortcut(int index) { SetShortcut(index, Shortcut{}); }

Shortcut Menu::GetShortcut(int index) const {
    return InRange(impl_.get(), index) ? impl_->entries[static_cast<size_t>(index)].shortcut : Shortcut{};
}

void Menu::SetOnClick(int index, std::function<void()> handler) {
    if (InRange(impl_.get(), index))
        impl_->entries[static_cast<size_t>(index)].handler = std::move(handler);
}

void Menu::Click(int index) {
    if (!InRange(impl_.get(), index))
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
    Impl* im = impl_.get();
    im->suppressed = true;
    // Cleared once control is back in the event loop.
    QMetaObject::invokeMethod(
        im->guard.get(), [im] { im->suppressed = false; }, Qt::QueuedConnection);
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
    if (im->popup && !qt::NoPerson()) {
        QPointer<QMenu> popup = im->popup;
        Dispatch d;
        popup->exec(QPoint(x, y));
    }
    return true;
}

int Menu::PopupCount() const { return impl_->popupCount; }

} // namespace toolkit
