// What the user puts into an edit box: the box holds exactly what will be
// stored. Characters the code page in use cannot hold are refused where they
// come in (typed, pasted, dropped or from an input method) rather than turned
// into "?" unseen when the text is read; the rest of the text is kept. A
// one-line box keeps pasted text up to its first line break, as a Windows edit
// box does. A refusal is told by a notice at the box and a beep.
#include <QBitmap>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QValidator>

#include "toolkit/ansi_text.h"
#include "toolkit/qt/backend.h"
#include "toolkit/services.h"

namespace toolkit {
namespace qt {

namespace {

constexpr int kNoticeMilliseconds = 8000;
constexpr int kBeepFrequency = 800;
constexpr int kBeepMilliseconds = 60;
constexpr int kMostNamed = 24; // a long paste names its first refused characters only
constexpr int kTail = 8;       // height of the balloon's pointer
constexpr int kPadding = 8;

bool IsLineBreak(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// A refused character by itself where it can be seen, else by its code.
QString Named(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
    case QChar::Punctuation_Connector:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
    case QChar::Symbol_Math:
    case QChar::Symbol_Currency:
    case QChar::Symbol_Modifier:
    case QChar::Symbol_Other: return QString::fromUcs4(&c, 1);
    default: return QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0')).toUpper();
    }
}

// The distinct refused characters in the order they came, the first few of a long list.
QString NameAll(const QString& refused) {
    QList<char32_t> seen;
    QStringList names;
    for (char32_t c : refused.toUcs4()) {
        if (seen.contains(c))
            continue;
        seen.append(c);
        if (names.size() == kMostNamed) {
            names.append(QStringLiteral("..."));
            break;
        }
        names.append(Named(c));
    }
    return names.join(QLatin1Char(' '));
}

// Whether the code page in use cannot hold some character of `text`.
bool HasRefused(const QString& text) { return !SplitByCodePage(text.toStdString(), CurrentCodePage()).refused.empty(); }

// A balloon below the box, pointing up at it, that names the refused
// characters. Refusals at the same box gather in it while it shows, so that a
// word typed in another script is named whole. It goes on its own after a
// while, or at once when the box loses the focus, goes, or is typed into with
// a key the code page holds.
class Notice : public QWidget {
public:
    explicit Notice(QWidget* box) : QWidget(box->window(), Qt::ToolTip | Qt::FramelessWindowHint), box_(box) {
        setObjectName(QStringLiteral("TextRefusedNotice"));
        setAttribute(Qt::WA_DeleteOnClose);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setFont(box->font());
        box->installEventFilter(this);
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, this, &QWidget::close);
    }

    const QWidget* Box() const { return box_; }

    QString Text() const { return Title() + QLatin1Char('\n') + Body(); }

    void Add(const QString& refused) {
        refused_ += refused;
        QFont bold = font();
        bold.setBold(true);
        const int width =
            std::max(QFontMetrics(bold).horizontalAdvance(Title()), fontMetrics().horizontalAdvance(Body()));
        const int height = QFontMetrics(bold).height() + fontMetrics().height() + kPadding / 2;
        resize(width + 2 * kPadding + 1, height + 2 * kPadding + kTail + 1);
        Shape();
        QPoint at = box_->mapToGlobal(QPoint(std::min(12, box_->width() / 2) - 2 * kTail, box_->height() - 2));
        if (const QScreen* screen = box_->screen()) {
            const QRect room = screen->availableGeometry();
            at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - this->width())));
        }
        move(at);
        show();
        update();
        timer_.start(kNoticeMilliseconds);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != box_)
            return false;
        const QEvent::Type type = event->type();
        if (type == QEvent::FocusOut || type == QEvent::Hide ||
            (type == QEvent::KeyPress && !HasRefused(static_cast<QKeyEvent*>(event)->text())))
            close();
        return false;
    }

    void mousePressEvent(QMouseEvent*) override { close(); }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::ToolTipText));
        painter.setBrush(palette().color(QPalette::ToolTipBase));
        painter.drawPath(Outline());
        QFont bold = font();
        bold.setBold(true);
        const int titleHeight = QFontMetrics(bold).height();
        int top = kTail + kPadding;
        painter.setFont(bold);
        painter.drawText(QRect(kPadding, top, width(), titleHeight), Qt::AlignLeft | Qt::AlignTop, Title());
        top += titleHeight + kPadding / 2;
        painter.setFont(font());
        painter.drawText(QRect(kPadding, top, width(), fontMetrics().height()), Qt::AlignLeft | Qt::AlignTop, Body());
    }

private:
    // The rounded body with the pointer on its top edge.
    QPainterPath Outline() const {
        const QRectF body(0, kTail, width() - 1, height() - kTail - 1);
        const qreal tailLeft = 2 * kTail;
        QPainterPath path;
        path.addRoundedRect(body, 5, 5);
        QPainterPath tail;
        tail.moveTo(tailLeft, body.top() + 1);
        tail.lineTo(tailLeft + kTail / 2.0, 0);
        tail.lineTo(tailLeft + kTail, body.top() + 1);
        tail.closeSubpath();
        return path.united(tail);
    }

    // The shape as a mask rather than a translucent window, which would
    // need a compositing desktop.
    void Shape() {
        QBitmap shape(size());
        shape.fill(Qt::color0);
        QPainter painter(&shape);
        painter.setPen(Qt::color1);
        painter.setBrush(Qt::color1);
        painter.drawPath(Outline());
        painter.end();
        setMask(shape);
    }

    static QString Title() { return QStringLiteral("Characters not accepted"); }
    QString Body() const {
        return QStringLiteral("Code page %1 cannot hold them, so they were left out: %2")
            .arg(CurrentCodePage())
            .arg(NameAll(refused_));
    }

    QPointer<QWidget> box_;
    QString refused_;
    QTimer timer_;
};

QPointer<Notice> g_notice;

void TellRefused(QWidget* box, const QString& refused) {
    // A notice that was closed lingers until it is deleted: it is not reused.
    const bool gather = g_notice && g_notice->isVisible() && g_notice->Box() == box;
    if (g_notice && !gather) {
        g_notice->close();
        g_notice = nullptr;
    }
    if (box) {
        if (!gather)
            g_notice = new Notice(box);
        g_notice->Add(refused);
    }
    if (Sound* sound = Platform().sound)
        sound->Beep(kBeepFrequency, kBeepMilliseconds);
}

// The gate of a one-line box. Every change of its text passes here, so it
// compares the new text with the last one it let through: what lies between
// their common start and common end is what the user put in.
class LineGate : public QValidator {
public:
    explicit LineGate(QLineEdit* box) : QValidator(box), box_(box) {}

    void Trust(const QString& text) { accepted_ = text; }

    State validate(QString& input, int& pos) const override {
        if (input == accepted_)
            return Acceptable;
        const qsizetype oldSize = accepted_.size();
        const qsizetype newSize = input.size();
        qsizetype prefix = 0;
        while (prefix < oldSize && prefix < newSize && accepted_[prefix] == input[prefix])
            ++prefix;
        if (prefix > 0 && input[prefix - 1].isHighSurrogate())
            --prefix;
        qsizetype suffix = 0;
        while (suffix < oldSize - prefix && suffix < newSize - prefix &&
               accepted_[oldSize - 1 - suffix] == input[newSize - 1 - suffix])
            ++suffix;
        if (suffix > 0 && input[newSize - suffix].isLowSurrogate())
            --suffix;
        const QString added = input.mid(prefix, newSize - prefix - suffix);
        const QString kept = AdmitInput(box_, added, true);
        if (kept != added) {
            input = input.left(prefix) + kept + input.right(suffix);
            pos = static_cast<int>(prefix + kept.size());
        }
        accepted_ = input;
        return Acceptable;
    }

private:
    QLineEdit* box_;
    mutable QString accepted_;
};

class GuardedMemo : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QString text = event->text();
        const QString kept = AdmitInput(this, text, false);
        if (kept == text) {
            QPlainTextEdit::keyPressEvent(event);
        } else if (!kept.isEmpty()) {
            QKeyEvent admitted(event->type(), event->key(), event->modifiers(), kept, event->isAutoRepeat());
            QPlainTextEdit::keyPressEvent(&admitted);
        }
    }

    void inputMethodEvent(QInputMethodEvent* event) override {
        const QString kept = AdmitInput(this, event->commitString(), false);
        if (kept == event->commitString()) {
            QPlainTextEdit::inputMethodEvent(event);
            return;
        }
        QInputMethodEvent admitted(event->preeditString(), event->attributes());
        admitted.setCommitString(kept, event->replacementStart(), event->replacementLength());
        QPlainTextEdit::inputMethodEvent(&admitted);
    }

    // Paste, drop and the X11 middle-button paste all come this way.
    void insertFromMimeData(const QMimeData* source) override {
        if (!source || !source->hasText()) {
            QPlainTextEdit::insertFromMimeData(source);
            return;
        }
        QMimeData admitted;
        admitted.setText(AdmitInput(this, source->text(), false));
        QPlainTextEdit::insertFromMimeData(&admitted);
    }
};

} // namespace

QString AdmitInput(QWidget* box, const QString& text, bool singleLine) {
    QString kept = text;
    if (singleLine) {
        for (qsizetype i = 0; i < kept.size(); ++i) {
            if (IsLineBreak(kept[i])) {
                kept.truncate(i);
                break;
            }
        }
    }
    const CodePageSplit split = SplitByCodePage(kept.toStdString(), CurrentCodePage());
    if (split.refused.empty())
        return kept;
    TellRefused(box, QString::fromStdString(split.refused));
    return QString::fromStdString(split.held);
}

void GuardLineEdit(QLineEdit* box) { box->setValidator(new LineGate(box)); }

void SetProgramText(QLineEdit* box, const QString& text) {
    if (auto* gate = dynamic_cast<const LineGate*>(box->validator()))
        const_cast<LineGate*>(gate)->Trust(text);
    box->setText(text);
}

QPlainTextEdit* NewMemoBox(QWidget* parent) { return new GuardedMemo(parent); }

QString ShownNotice() { return g_notice && g_notice->isVisible() ? g_notice->Text() : QString(); }

} // namespace qt
} // namespace toolkit
