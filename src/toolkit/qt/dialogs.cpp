#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QPushButton>

#include "toolkit/dialogs.h"
#include "toolkit/native.h"
#include "toolkit/qt/backend.h"

namespace toolkit {

namespace {

QWidget* FrameOf(const Window* owner) { return owner && owner->impl() ? owner->impl()->widget.data() : nullptr; }

QMessageBox::StandardButton ButtonOf(int answer) {
    switch (answer) {
    case IDCANCEL: return QMessageBox::Cancel;
    case IDYES: return QMessageBox::Yes;
    case IDNO: return QMessageBox::No;
    default: return QMessageBox::Ok;
    }
}

// A box sized for a short text would cut its title off in the frame: it is made at least
// as wide as the title plus the frame's icon and buttons. QMessageBox keeps its own size,
// so the width goes in as a spacer across its layout.
void KeepTitleVisible(QMessageBox& box) {
    constexpr int FrameAllowance = 120; // the frame's icon and its three buttons
    const int wanted = QFontMetrics(QApplication::font("QWorkspaceTitleBar")).horizontalAdvance(box.windowTitle()) +
                       FrameAllowance;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
}

} // namespace

namespace native {

// Qt's offscreen platform draws for nobody.
bool PersonCanAnswer() { return QGuiApplication::platformName() != QLatin1String("offscreen"); }

int ShowMessageBox(const MessageBoxRequest& request) {
    const unsigned flags = request.flags;
    QMessageBox box(FrameOf(request.owner));
    box.setWindowTitle(qt::WindowTitle(request.caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(qt::ToQLines(request.text));
    switch (flags & MB_ICONMASK) {
    case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    const std::vector<int> answers = MessageBoxAnswers(flags);
    QMessageBox::StandardButtons buttons;
    for (int answer : answers)
        buttons |= ButtonOf(answer);
    box.setStandardButtons(buttons);
    box.setDefaultButton(ButtonOf(answers.front()));
    const int closing = ClosingAnswer(flags);
    box.setEscapeButton(ButtonOf(closing));
    if (flags & MB_SETFOREGROUND)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    KeepTitleVisible(box);
    qt::BelongToOwner(&box, request.owner);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked)
        return closing;
    const QMessageBox::StandardButton chosen = box.standardButton(clicked);
    for (int answer : answers)
        if (ButtonOf(answer) == chosen)
            return answer;
    return closing;
}

std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) {
    // Qt's form of the filter: "Name (*.ext);;Other (*.*)".
    QStringList filters;
    for (const FileDialogType& type : FileDialogTypes(request.filter)) {
        QStringList patterns;
        for (const std::string& pattern : type.patterns)
            patterns << qt::ToQ(pattern);
        filters << qt::ToQ(type.name) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }

    QFileDialog dialog(FrameOf(request.owner));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (!request.save)
        dialog.setFileMode((request.options & FileDialog::FileMustExist) ? QFileDialog::ExistingFile
                                                                         : QFileDialog::AnyFile);
    else
        dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.options & FileDialog::OverwritePrompt));
    // The names already show their patterns ("Tallykey files (*.tkf)"): Qt
    // must not add them a second time.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
    }
    if (!request.initialName.empty())
        dialog.selectFile(qt::PathToQ(request.initialName));
    qt::BelongToOwner(&dialog, request.owner);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return qt::PathFromQ(dialog.selectedFiles().first());
}

} // namespace native
} // namespace toolkit
