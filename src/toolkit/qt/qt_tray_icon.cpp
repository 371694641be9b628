#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <map>

#include "toolkit/ansi_text.h"
#include "toolkit/qt/platform_services.h"
#include "toolkit/types.h"

namespace toolkit {

namespace {

int MouseMessageFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger: return WM_LBUTTONUP;
    case QSystemTrayIcon::Context: return WM_RBUTTONUP;
    case QSystemTrayIcon::DoubleClick: return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::MiddleClick: return WM_MBUTTONUP;
    default: return 0;
    }
}

class QtTrayIcon : public TrayIcon {
public:
    ~QtTrayIcon() override {
        for (auto& [id, icon] : icons_)
            delete icon;
    }

    bool Add(const TrayIconData& data) override {
        if (icons_.count(data.id) != 0 || !qApp)
            return false; // never a second icon for the same id
        auto* icon = new QSystemTrayIcon;
        QPixmap pixmap;
        if (data.icon)
            pixmap.loadFromData(data.icon.data, static_cast<uint>(data.icon.size), "PNG");
        icon->setIcon(QIcon(pixmap));
        icon->setToolTip(QString::fromStdString(AnsiToUtf8(data.tip, CurrentCodePage())));
        QObject::connect(icon, &QSystemTrayIcon::activated, icon, [this](QSystemTrayIcon::ActivationReason reason) {
            int message = MouseMessageFor(reason);
            if (message != 0 && OnMouse)
                OnMouse(message);
        });
        icon->show();
        icons_[data.id] = icon;
        return Available();
    }

    bool Delete(int id) override {
        auto it = icons_.find(id);
        if (it == icons_.end())
            return false;
        it->second->hide();
        // The click that asks for the deletion may still be in the icon's own signal.
        it->second->deleteLater();
        icons_.erase(it);
        return true;
    }

    int IconCount() const override { return static_cast<int>(icons_.size()); }

    bool Available() const override { return qApp && QSystemTrayIcon::isSystemTrayAvailable(); }

private:
    std::map<int, QSystemTrayIcon*> icons_;
};

} // namespace

std::unique_ptr<TrayIcon> MakeQtTrayIcon() { return std::make_unique<QtTrayIcon>(); }

} // namespace toolkit
