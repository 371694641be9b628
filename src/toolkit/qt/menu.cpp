#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "toolkit/menu_entries.h"
#include "toolkit/native.h"
#include "toolkit/qt/backend.h"

namespace toolkit {

namespace {

// The Qt objects of one menu; entry i of the menu is actions[i].
struct QtMenu {
    QPointer<QMenuBar> bar;
    QPointer<QMenu> popup;
    std::vector<QPointer<QAction>> actions;
    std::vector<QPointer<QMenu>> submenus; // sub-menu headers only
    std::unique_ptr<QObject> guard;        // context of every connection; dies first

    ~QtMenu() {
        guard.reset();
        qt::DisposeWidget(bar.data());
        qt::DisposeWidget(popup.data());
    }
};

QtMenu* Q(const Menu& menu) { return menu.impl() ? static_cast<QtMenu*>(menu.impl()->native.get()) : nullptr; }

} // namespace

namespace native {

void CreateMenu(Menu& menu) {
    Menu::Impl* im = menu.impl();
    auto q = std::make_shared<QtMenu>();
    q->guard = std::make_unique<QObject>();
    if (im->kind == Menu::Kind::Bar)
        q->bar = new QMenuBar();
    else
        q->popup = new QMenu();
    for (size_t i = 0; i < im->entries.size(); ++i) {
        const Menu::Impl::Entry& entry = im->entries[i];
        const int index = static_cast<int>(i);
        QMenu* parentMenu = entry.parent >= 0 ? q->submenus[static_cast<size_t>(entry.parent)].data() : q->popup.data();
        QMenuBar* bar = entry.parent < 0 ? q->bar.data() : nullptr;
        QAction* action = nullptr;
        QMenu* sub = nullptr;
        if (entry.separator) {
            action = bar ? bar->addSeparator() : parentMenu ? parentMenu->addSeparator() : nullptr;
        } else if (entry.submenu) {
            sub = new QMenu(qt::ToQ(entry.text), bar ? static_cast<QWidget*>(bar) : parentMenu);
            action = bar ? bar->addMenu(sub) : parentMenu ? parentMenu->addMenu(sub) : nullptr;
        } else {
            action = bar          ? bar->addAction(qt::ToQ(entry.text))
                     : parentMenu ? parentMenu->addAction(qt::ToQ(entry.text))
                                  : nullptr;
            if (action)
                QObject::connect(action, &QAction::triggered, q->guard.get(), [&menu, index] { menu.Click(index); });
        }
        q->actions.emplace_back(action);
        q->submenus.emplace_back(sub);
    }
    im->native = std::move(q);
    qt::AddMenu(*im->owner, &menu);
}

void DestroyMenu(Menu& menu) {
    Menu::Impl* im = menu.impl();
    if (im->owner)
        qt::RemoveMenu(*im->owner, &menu);
    im->native.reset();
}

void MenuItemChanged(Menu& menu, int index) {
    QtMenu* q = Q(menu);
    if (!q || !menu.impl()->InRange(index))
        return;
    const Menu::Impl::Entry& entry = menu.impl()->entries[static_cast<size_t>(index)];
    QAction* action = q->actions[static_cast<size_t>(index)];
    if (!entry.separator) {
        if (QMenu* sub = q->submenus[static_cast<size_t>(index)])
            sub->setTitle(qt::ToQ(entry.text));
        else if (action)
            action->setText(qt::ToQ(entry.text));
    }
    if (action)
        action->setEnabled(entry.enabled);
}

void EndSuppressionInLoop(Menu& menu) {
    QtMenu* q = Q(menu);
    if (!q)
        return;
    Menu::Impl* im = menu.impl();
    QMetaObject::invokeMethod(
        q->guard.get(), [im] { im->suppressed = false; }, Qt::QueuedConnection);
}

void OpenPopup(Menu& menu, int x, int y) {
    QtMenu* q = Q(menu);
    if (!q || !q->popup)
        return;
    QPointer<QMenu> popup = q->popup;
    Dispatch d;
    popup->exec(QPoint(x, y));
}

} // namespace native

namespace qt {

QMenuBar* MenuBarOf(const Menu* menu) {
    QtMenu* q = menu ? Q(*menu) : nullptr;
    return q ? q->bar.data() : nullptr;
}

} // namespace qt
} // namespace toolkit
