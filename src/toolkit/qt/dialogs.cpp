#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QPushButton>

#include <cstdio>

#include "toolkit/dialogs.h"
#include "toolkit/modal_hook.h"
#include "toolkit/qt/backend.h"

namespace toolkit {

using qt::Dispatch;

namespace {

QWidget* FrameOf(const Window* owner) { return owner && owner->impl() ? owner->impl()->widget.data() : nullptr; }

// The first button of each set, the answer of a box nobody looks at.
int FirstButton(unsigned flags) {
    switch (flags & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDYES;
    default:
        return IDOK;
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

int MessageBox(const Window* owner, const std::string& text, const std::string& caption, unsigned flags) {
    ModalHook* hook = GetModalHook();
    if (hook || qt::NoPerson()) {
        if (hook && hook->onMessageBox) {
            Dispatch d;
            return hook->onMessageBox(MessageBoxRequest{owner, text, caption, flags});
        }
        if (!hook)
            std::fprintf(stderr, "toolkit: message box \"%s\" shown with nobody to answer it\n", caption.c_str());
        return FirstButton(flags);
    }

    QMessageBox box(FrameOf(owner));
    box.setWindowTitle(qt::WindowTitle(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(qt::ToQLines(text));
    switch (flags & MB_ICONMASK) {
    case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    struct Choice {
        QMessageBox::StandardButton button;
        int answer;
    };
    std::vector<Choice> choices;
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_YESNO: choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    case MB_YESNOCANCEL:
        choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    default: choices = {{QMessageBox::Ok, IDOK}}; break;
    }
    QMessageBox::StandardButtons buttons;
    for (const Choice& c : choices)
        buttons |= c.button;
    box.setStandardButtons(buttons);
    box.setDefaultButton(choices.front().button);
    // Closing the box: Cancel where there is one, else the first button.
    QMessageBox::StandardButton closing = choices.front().button;
    for (const Choice& c : choices)
        if (c.answer == IDCANCEL)
            closing = c.button;
    box.setEscapeButton(closing);
    if (flags & MB_SETFOREGROUND)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    KeepTitleVisible(box);
    qt::BelongToOwner(&box, owner);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    const QMessageBox::StandardButton chosen = clicked ? box.standardButton(clicked) : closing;
    for (const Choice& c : choices)
        if (c.button == chosen)
            return c.answer;
    return FirstButton(flags);
}

void FileDialog::SetFilter(const std::string& filter) { filter_ = filter; }

bool FileDialog::Execute(Mode mode) {
    ModalHook* hook = GetModalHook();
    if (hook || qt::NoPerson()) {
        if (!hook || !hook->onFileDialog) {
            if (!hook)
                std::fprintf(stderr, "toolkit: file dialog shown with nobody to answer it\n");
            return false;
        }
        FileDialogRequest request{mode == Mode::Save, filter_, fileName_, options_, owner_};
        std::optional<std::string> answer;
        {
            Dispatch d;
            answer = hook->onFileDialog(request);
        }
        if (!answer)
            return false;
        fileName_ = *answer;
        return true;
    }

    // "Name|*.ext|Other|*.*" becomes Qt's "Name (*.ext);;Other (*.*)".
    QStringList filters;
    {
        std::vector<std::string> parts;
        std::string part;
        for (char c : filter_) {
            if (c == '|') {
                parts.push_back(part);
                part.clear();
            } else {
                part += c;
            }
        }
        parts.push_back(part);
        for (size_t i = 0; i + 1 < parts.size(); i += 2) {
            QString patterns = qt::ToQ(parts[i + 1]);
            patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
            filters << qt::ToQ(parts[i]) + QStringLiteral(" (") + patterns + QLatin1Char(')');
        }
    }

    QFileDialog dialog(FrameOf(owner_));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(mode == Mode::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (mode == Mode::Open)
        dialog.setFileMode((options_ & FileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    else
        dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(options_ & OverwritePrompt));
    // The names already show their patterns ("Tallykey files (*.tkf)"): Qt
    // must not add them a second time.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
    }
    if (!fileName_.empty())
        dialog.selectFile(qt::PathToQ(fileName_));
    qt::BelongToOwner(&dialog, owner_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName_ = qt::PathFromQ(dialog.selectedFiles().first());
    return true;
}

} // namespace toolkit
