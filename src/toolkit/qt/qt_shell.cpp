#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

#include "toolkit/ansi_text.h"
#include "toolkit/qt/platform_services.h"

namespace toolkit {

namespace {

class QtShell : public Shell {
public:
    // The desktop's default program opens it (xdg-open on Linux desktops).
    bool Open(const std::string& target) override {
        if (target.empty())
            return false;
        QString text = QString::fromStdString(AnsiToUtf8(target, CurrentCodePage()));
        QUrl url;
        QFileInfo file(text);
        if (file.exists()) {
            url = QUrl::fromLocalFile(file.absoluteFilePath());
        } else {
            QUrl parsed(text, QUrl::TolerantMode);
            // A one-letter "scheme" would be a drive letter, not an address.
            url = parsed.scheme().size() > 1 ? parsed : QUrl::fromUserInput(text);
        }
        if (!url.isValid())
            return false;
        // Platforms without a desktop (offscreen) cannot open anything
        // themselves; the desktop's own opener still can.
        QString platform = QGuiApplication::platformName();
        if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
            return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
        return QDesktopServices::openUrl(url);
    }

    // The default application of the file's MIME type, as xdg-open looks it up.
    bool HasOpener(const std::string& path) const override {
        const QString file = QString::fromStdString(AnsiToUtf8(path, CurrentCodePage()));
        const QString type = QMimeDatabase().mimeTypeForFile(file).name();
        QProcess query;
        query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
        if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
            return false;
        return !query.readAllStandardOutput().trimmed().isEmpty();
    }
};

} // namespace

std::unique_ptr<Shell> MakeQtShell() { return std::make_unique<QtShell>(); }

} // namespace toolkit
