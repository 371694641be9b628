#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

#include "toolkit/ansi_text.h"
#include "toolkit/qt/platform_services.h"

namespace toolkit {

namespace {

class QtShell : public Shell {
public:
    // The desktop's default program opens it: xdg-open, which every Linux
    // desktop provides. An address reaches it exactly as given (URL parsing
    // would rewrite one such as "http://HTTP://host"); an existing file goes
    // as a file URL.
    bool Open(const std::string& target) override {
        if (target.empty())
            return false;
        QString text = QString::fromStdString(AnsiToUtf8(target, CurrentCodePage()));
        QFileInfo file(text);
        if (file.exists())
            text = QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded);
        return QProcess::startDetached(QStringLiteral("xdg-open"), {text});
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
