#include <QFile>
#include <QHash>
#include <QSet>

#include "toolkit/ansi_text.h"
#include "toolkit/qt/backend.h"

namespace toolkit {
namespace qt {

QString ToQ(const std::string& ansi) {
    return QString::fromStdString(AnsiToUtf8(ansi, CurrentCodePage()));
}

QString WindowTitle(const std::string& caption) {
    if (caption.empty())
        return QString(QChar(0x200B)); // zero width space: a title that shows nothing
    // "[*]" is Qt's placeholder for the modified mark; doubled it shows as itself.
    QString title = ToQ(caption);
    title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return title;
}

std::string FromQ(const QString& text) {
    return Utf8ToAnsi(text.toStdString(), CurrentCodePage());
}

QString PathToQ(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string PathFromQ(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString ToQLines(const std::string& ansi) {
    std::string text;
    text.reserve(ansi.size());
    for (size_t i = 0; i < ansi.size(); ++i) {
        const char c = ansi[i];
        if (c == '\r' || c == '\n') {
            const char pair = c == '\r' ? '\n' : '\r';
            if (i + 1 < ansi.size() && ansi[i + 1] == pair)
                ++i;
            text += '\n';
        } else {
            text += c;
        }
    }
    return ToQ(text);
}

namespace {

struct KeyPair {
    int vk;
    int qt;
};

constexpr KeyPair kKeys[] = {
    {VK_BACK, Qt::Key_Backspace},
    {VK_TAB, Qt::Key_Tab},
    {VK_RETURN, Qt::Key_Return},
    {VK_SHIFT, Qt::Key_Shift},
    {VK_CONTROL, Qt::Key_Control},
    {VK_MENU, Qt::Key_Alt},
    {VK_ESCAPE, Qt::Key_Escape},
    {VK_SPACE, Qt::Key_Space},
    {0x21, Qt::Key_PageUp},
    {0x22, Qt::Key_PageDown},
    {VK_END, Qt::Key_End},
    {VK_HOME, Qt::Key_Home},
    {VK_LEFT, Qt::Key_Left},
    {VK_UP, Qt::Key_Up},
    {VK_RIGHT, Qt::Key_Right},
    {VK_DOWN, Qt::Key_Down},
    {VK_INSERT, Qt::Key_Insert},
    {VK_DELETE, Qt::Key_Delete},
    {0x5D, Qt::Key_Menu},
    {0x6A, Qt::Key_Asterisk},
    {0xBA, Qt::Key_Semicolon},
    {0xBB, Qt::Key_Equal},
    {0xBC, Qt::Key_Comma},
    {0xBD, Qt::Key_Minus},
    {0xBE, Qt::Key_Period},
    {0xBF, Qt::Key_Slash},
    {0xC0, Qt::Key_QuoteLeft},
    {0xDB, Qt::Key_BracketLeft},
    {0xDC, Qt::Key_Backslash},
    {0xDD, Qt::Key_BracketRight},
    {0xDE, Qt::Key_Apostrophe},
};

QHash<const QWidget*, Control*>& Widgets() {
    static QHash<const QWidget*, Control*> widgets;
    return widgets;
}

QSet<const Control*>& LiveControls() {
    static QSet<const Control*> live;
    return live;
}

} // namespace

int VkFromQtKey(int key, Qt::KeyboardModifiers mods) {
    if (key == Qt::Key_Enter)
        return VK_RETURN;
    if (key == Qt::Key_Backtab)
        return VK_TAB;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return (mods & Qt::KeypadModifier) ? 0x60 + (key - Qt::Key_0) : '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return VK_F1 + (key - Qt::Key_F1);
    if (key == Qt::Key_Plus)
        return (mods & Qt::KeypadModifier) ? 0x6B : 0xBB;
    for (const KeyPair& k : kKeys)
        if (k.qt == key)
            return k.vk;
    return 0;
}

int QtKeyFromVk(int vk) {
    if (vk >= 'A' && vk <= 'Z')
        return Qt::Key_A + (vk - 'A');
    if (vk >= '0' && vk <= '9')
        return Qt::Key_0 + (vk - '0');
    if (vk >= 0x60 && vk <= 0x69)
        return Qt::Key_0 + (vk - 0x60);
    if (vk >= VK_F1 && vk < VK_F1 + 24)
        return Qt::Key_F1 + (vk - VK_F1);
    for (const KeyPair& k : kKeys)
        if (k.vk == vk)
            return k.qt;
    return Qt::Key_unknown;
}

unsigned ModsFromQt(Qt::KeyboardModifiers mods) {
    unsigned result = ModNone;
    if (mods & Qt::ShiftModifier)
        result |= ModShift;
    if (mods & Qt::ControlModifier)
        result |= ModCtrl;
    if (mods & Qt::AltModifier)
        result |= ModAlt;
    return result;
}

Qt::KeyboardModifiers QtMods(unsigned mods) {
    Qt::KeyboardModifiers result = Qt::NoModifier;
    if (mods & ModShift)
        result |= Qt::ShiftModifier;
    if (mods & ModCtrl)
        result |= Qt::ControlModifier;
    if (mods & ModAlt)
        result |= Qt::AltModifier;
    return result;
}

QString KeyText(int vk, unsigned mods) {
    if (mods & ModAlt)
        return QString();
    const bool shift = (mods & ModShift) != 0;
    if (vk >= 'A' && vk <= 'Z') {
        if (mods & ModCtrl) // control characters, as X11 gives them
            return QString(QChar(vk - 'A' + 1));
        return QString(QChar(shift ? vk : vk - 'A' + 'a'));
    }
    if (mods & ModCtrl)
        return QString();
    if (vk >= '0' && vk <= '9' && !shift)
        return QString(QChar(vk));
    if (vk >= 0x60 && vk <= 0x69)
        return QString(QChar('0' + vk - 0x60));
    switch (vk) {
    case VK_RETURN: return QStringLiteral("\r");
    case VK_TAB: return QStringLiteral("\t");
    case VK_BACK: return QStringLiteral("\b");
    case VK_ESCAPE: return QStringLiteral("\x1b");
    case VK_SPACE: return QStringLiteral(" ");
    default: return QString();
    }
}

void DisposeWidget(QWidget* widget) {
    if (!widget)
        return;
    if (Dispatch::Depth() > 0) {
        widget->hide();
        widget->deleteLater();
    } else {
        delete widget;
    }
}

Control* ControlOf(const QWidget* widget) { return Widgets().value(widget, nullptr); }

Control* ControlAt(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (Control* c = ControlOf(w))
            return c;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

bool IsLive(const Control* control) { return control && LiveControls().contains(control); }

void RegisterWidget(const QWidget* widget, Control* control) {
    if (widget)
        Widgets().insert(widget, control);
    LiveControls().insert(control);
}

void UnregisterControl(Control* control) {
    LiveControls().remove(control);
    auto& widgets = Widgets();
    for (auto it = widgets.begin(); it != widgets.end();) {
        if (it.value() == control)
            it = widgets.erase(it);
        else
            ++it;
    }
}

} // namespace qt
} // namespace toolkit
