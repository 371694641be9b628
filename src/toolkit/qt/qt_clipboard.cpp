#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "toolkit/ansi_text.h"
#include "toolkit/qt/platform_services.h"

namespace toolkit {

namespace {

class QtClipboard : public Clipboard {
public:
    bool SetText(const std::string& text) override {
        QClipboard* clipboard = Board();
        if (!clipboard)
            return false;
        auto* mime = new QMimeData;
        mime->setText(QString::fromStdString(AnsiToUtf8(text, CurrentCodePage())));
        // Clipboard managers (Klipper and others honouring the hint) then
        // keep no history of logins and passwords.
        mime->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
        clipboard->setMimeData(mime, QClipboard::Clipboard);
        return true;
    }

    bool Clear() override {
        QClipboard* clipboard = Board();
        if (!clipboard)
            return false;
        clipboard->clear(QClipboard::Clipboard);
        return true;
    }

    std::string Text() const override {
        QClipboard* clipboard = Board();
        if (!clipboard)
            return {};
        return Utf8ToAnsi(clipboard->text(QClipboard::Clipboard).toStdString(), CurrentCodePage());
    }

private:
    static QClipboard* Board() { return qGuiApp ? QGuiApplication::clipboard() : nullptr; }
};

} // namespace

std::unique_ptr<Clipboard> MakeQtClipboard() { return std::make_unique<QtClipboard>(); }

} // namespace toolkit
