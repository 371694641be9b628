// Input as a person gives it: key and mouse events enter through the window
// system's queue (so shortcuts, focus and modality apply), dropped files as
// the drag-and-drop events of the window.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QTreeView>
#include <QUrl>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include "toolkit/qt/backend.h"
#include "toolkit/qt/router.h"
#include "toolkit/testing/test_input.h"

namespace toolkit {
namespace input {

namespace {

ulong g_timestamp = 0;

// Each event a little later than the last, and clicks far enough apart not to
// count as double clicks.
ulong NextTime(ulong step) {
    g_timestamp += step;
    return g_timestamp;
}

QWidget* FrameOf(Window& window) { return window.impl() ? window.impl()->widget.data() : nullptr; }

void SendKey(QWidget* frame, QWidget* target, QEvent::Type type, int qtKey, Qt::KeyboardModifiers mods,
             const QString& text) {
    QWindow* handle = frame ? frame->windowHandle() : nullptr;
    if (handle && (!target || target->window()->focusWidget() == target || target == frame)) {
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::SynchronousDelivery>(
            handle, NextTime(1), type, qtKey, mods, text);
        return;
    }
    // No native window, or a target that is not the window's focus: straight to it.
    QWidget* receiver = target ? target : frame;
    if (!receiver)
        return;
    qt::TargetScope scope(receiver);
    QKeyEvent event(type, qtKey, mods, text);
    QApplication::sendEvent(receiver, &event);
}

void Key(Window& window, QWidget* target, int vk, unsigned mods) {
    QWidget* frame = FrameOf(window);
    if (!frame)
        return;
    const int qtKey = qt::QtKeyFromVk(vk);
    Qt::KeyboardModifiers qtMods = qt::QtMods(mods);
    if (vk >= 0x60 && vk <= 0x69)
        qtMods |= Qt::KeypadModifier;
    const QString text = qt::KeyText(vk, mods);
    QPointer<QWidget> keep(frame);
    SendKey(frame, target, QEvent::KeyPress, qtKey, qtMods, text);
    if (!keep)
        return;
    SendKey(frame, target, QEvent::KeyRelease, qtKey, qtMods, text);
    if (keep && qt::IsLive(&window))
        qt::NoteFocus(&window);
}

} // namespace

void PressKey(Window& window, int vk, unsigned mods) { Key(window, nullptr, vk, mods); }

void PressKeyOn(Control& control, int vk, unsigned mods) {
    control.SetFocus();
    Window* window = control.TopWindow();
    if (!window || !control.impl())
        return;
    Key(*window, control.impl()->keyWidget, vk, mods);
}

namespace {

void TypeCharacters(Window& window, const QString& text) {
    QWidget* frame = FrameOf(window);
    if (!frame)
        return;
    QPointer<QWidget> keep(frame);
    for (char32_t ch : text.toUcs4()) {
        if (!keep)
            return;
        int vk = 0;
        unsigned mods = ModNone;
        if (ch == '\r' || ch == '\n')
            vk = VK_RETURN;
        else if (ch == '\t')
            vk = VK_TAB;
        else if (ch == '\b')
            vk = VK_BACK;
        else if (ch >= 'a' && ch <= 'z')
            vk = static_cast<int>(ch - 'a' + 'A');
        else if (ch >= 'A' && ch <= 'Z')
            vk = static_cast<int>(ch), mods = ModShift;
        else if (ch >= '0' && ch <= '9')
            vk = static_cast<int>(ch);
        else if (ch == ' ')
            vk = VK_SPACE;
        if (vk) {
            Key(window, nullptr, vk, mods);
            continue;
        }
        // Other characters: the key of the character itself (Qt numbers printable
        // ASCII keys by their codes), carrying the character as its text.
        const QString chars = QString::fromUcs4(&ch, 1);
        const int qtKey =
            ch < 0x80 ? static_cast<int>(chars.at(0).toUpper().unicode()) : static_cast<int>(Qt::Key_unknown);
        SendKey(frame, nullptr, QEvent::KeyPress, qtKey, Qt::NoModifier, chars);
        if (keep)
            SendKey(frame, nullptr, QEvent::KeyRelease, qtKey, Qt::NoModifier, chars);
    }
    if (keep && qt::IsLive(&window))
        qt::NoteFocus(&window);
}

} // namespace

void TypeText(Window& window, const std::string& text) { TypeCharacters(window, qt::ToQ(text)); }

void TypeUnicode(Window& window, const std::string& utf8) { TypeCharacters(window, QString::fromStdString(utf8)); }

void Paste(Window& window, const std::string& utf8) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(utf8));
    Key(window, nullptr, 'V', ModCtrl);
}

std::string ShownNotice() { return qt::ShownNotice().toStdString(); }

void ClickOn(Control& control) {
    if (!control.impl() || !control.impl()->widget)
        return;
    QWidget* widget = control.impl()->widget;
    QWidget* frame = widget->window();
    const QPoint center(widget->width() / 2, widget->height() / 2);
    QWindow* handle = frame->windowHandle();
    if (handle) {
        const QPointF local = QPointF(widget->mapTo(frame, center));
        const QPointF global = QPointF(widget->mapToGlobal(center));
        QPointer<QWidget> keep(widget);
        QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::SynchronousDelivery>(
            handle, NextTime(1000), local, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
        if (keep)
            QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::SynchronousDelivery>(
                handle, NextTime(10), local, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
    } else {
        QWidget* target = widget->childAt(center) ? widget->childAt(center) : widget;
        const QPointF local = QPointF(target->mapFrom(widget, center));
        const QPointF global = QPointF(widget->mapToGlobal(center));
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    }
    if (Window* window = qt::IsLive(&control) ? control.TopWindow() : nullptr)
        qt::NoteFocus(window);
}

void ClickCloseBox(Window& window) {
    if (QWidget* frame = FrameOf(window))
        frame->close();
}

void DropFiles(Window& window, const std::string& files) {
    QWidget* frame = FrameOf(window);
    if (!frame || !window.impl()->client)
        return;
    QWidget* target = window.impl()->client;
    QList<QUrl> urls;
    std::string name;
    for (size_t i = 0; i <= files.size(); ++i) {
        if (i == files.size() || files[i] == '\r') {
            if (!name.empty())
                urls << QUrl::fromLocalFile(qt::PathToQ(name));
            name.clear();
        } else {
            name += files[i];
        }
    }
    QMimeData mime;
    mime.setUrls(urls);
    const QPointF where(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return;
    QDropEvent drop(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

bool SaveScreenshot(Window& window, const std::string& pngPath) {
    QWidget* frame = FrameOf(window);
    if (!frame)
        return false;
    return frame->grab().save(qt::PathToQ(pngPath), "PNG");
}

Picture Grab(Control& control) {
    Picture picture;
    if (!control.impl() || !control.impl()->widget)
        return picture;
    const QImage image = control.impl()->widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    picture.width = image.width();
    picture.height = image.height();
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            picture.pixels.push_back(line[x] & 0xffffffu);
    }
    return picture;
}

Rect NodeRect(TreeView& tree, TreeNode node) {
    auto* view = tree.impl() ? qobject_cast<QTreeView*>(tree.impl()->widget.data()) : nullptr;
    const QModelIndex index = qt::TreeNodeIndex(tree, node);
    if (!view || !index.isValid())
        return {};
    const QRect r = view->visualRect(index);
    if (r.isEmpty())
        return {};
    const QPoint at = view->viewport()->mapTo(view, r.topLeft());
    return Rect{at.x(), at.y(), r.width(), r.height()};
}

int SidewaysScroll(Control& control) {
    auto* area = control.impl() ? qobject_cast<QAbstractScrollArea*>(control.impl()->widget.data()) : nullptr;
    return area ? area->horizontalScrollBar()->maximum() : 0;
}

std::vector<std::string> ShownFileTypes() {
    std::vector<std::string> types;
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    // The list of the dialog Qt draws itself (the program asks for no native one).
    auto* list = dialog ? dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")) : nullptr;
    for (int i = 0; list && i < list->count(); ++i)
        types.push_back(list->itemText(i).toStdString());
    return types;
}

void CloseModalDialog() {
    if (QWidget* dialog = QApplication::activeModalWidget())
        dialog->close();
}

} // namespace input
} // namespace toolkit
