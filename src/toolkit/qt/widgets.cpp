// The simple controls: labels, edit boxes, buttons, group boxes and panels.
#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

#include "toolkit/qt/backend.h"

namespace toolkit {

namespace {

QWidget* ClientOf(Container& parent) {
    return parent.impl() ? parent.impl()->client.data() : nullptr;
}

// Windows shows "&x" as an underlined x and "&&" as "&".
QString WithoutAccessMarks(const std::string& text) {
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        else if (text[i] == '&')
            continue;
        shown += text[i];
    }
    return qt::ToQ(shown);
}

// Texts come back exactly as the program put them in unless the user changed them.
struct TextMemory {
    std::string ansi;
    QString shown;
    std::string Get(const QString& current) const {
        return current == shown ? ansi : qt::FromQ(current);
    }
};

// --- Label ---

struct LabelImpl : Control::Impl {
    QPointer<QLabel> label;
    bool autoSize = true;
    std::string caption;
};

LabelImpl* L(const Control* c) { return static_cast<LabelImpl*>(c->impl()); }

// --- Edit ---

struct EditImpl : Control::Impl {
    QPointer<QLineEdit> edit;
    TextMemory text;
    bool numbers = false;
    bool NumbersOnly() const override { return numbers; }
};

EditImpl* E(const Control* c) { return static_cast<EditImpl*>(c->impl()); }

// --- Memo ---

struct MemoImpl : Control::Impl {
    QPointer<QPlainTextEdit> memo;
    TextMemory text;
    bool wantReturn = false;
    bool TakesEnter() const override { return wantReturn; }
};

MemoImpl* M(const Control* c) { return static_cast<MemoImpl*>(c->impl()); }

// --- Buttons ---

struct ButtonImpl : Control::Impl {
    QPointer<QAbstractButton> button;
    std::string caption;
    int modalResult = ResultNone;
    bool push = false;
    // A push button takes Enter as its own (ignored) key, unless it is the default one.
    bool TakesEnter() const override { return push; }
};

ButtonImpl* B(const Control* c) { return static_cast<ButtonImpl*>(c->impl()); }

// Windows check boxes and radio buttons react to a click anywhere in their rectangle.
template <class Base>
class WholeAreaButton : public Base {
public:
    using Base::Base;

protected:
    bool hitButton(const QPoint& pos) const override { return this->rect().contains(pos); }
};

class FlatImageButton : public QAbstractButton {
public:
    explicit FlatImageButton(QWidget* parent) : QAbstractButton(parent) {
        setFocusPolicy(Qt::NoFocus);
    }
    const ImageList* images = nullptr;
    int index = -1;

protected:
    void paintEvent(QPaintEvent*) override {
        if (!images || index < 0)
            return;
        const QPixmap pixmap = qt::ImagePixmap(images, index);
        if (pixmap.isNull())
            return;
        QPainter painter(this);
        const int shift = isDown() ? 1 : 0;
        painter.drawPixmap((width() - pixmap.width()) / 2 + shift, (height() - pixmap.height()) / 2 + shift,
                           pixmap);
    }
    QSize sizeHint() const override { return QSize(22, 22); }
};

// Clicks of every kind of button run the same steps.
void Clicked(Control* control, const std::function<void()>& onClick) {
    ButtonImpl* im = B(control);
    const int result = im->modalResult;
    if (onClick) {
        Dispatch d;
        std::function<void()> handler = onClick;
        handler();
        if (!qt::IsLive(control))
            return;
    }
    if (result != ResultNone)
        if (Window* window = control->TopWindow())
            window->EndModal(result);
}

} // namespace

// --- Label ---

Label::Label(Container& parent) : Control(&parent) {
    auto im = std::make_unique<LabelImpl>();
    im->label = new QLabel(ClientOf(parent));
    im->label->setTextFormat(Qt::PlainText);
    im->label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    im->label->setFocusPolicy(Qt::NoFocus);
    im->widget = im->label;
    Attach(std::move(im));
}

void Label::SetCaption(const std::string& text) {
    LabelImpl* im = L(this);
    im->caption = text;
    if (!im->label)
        return;
    im->label->setText(WithoutAccessMarks(text));
    if (im->autoSize)
        im->label->resize(im->label->sizeHint());
}

std::string Label::Caption() const { return L(this)->caption; }

void Label::SetAutoSize(bool autoSize) {
    LabelImpl* im = L(this);
    im->autoSize = autoSize;
    if (autoSize && im->label)
        im->label->resize(im->label->sizeHint());
}

void Label::SetRightAligned(bool right) {
    if (QLabel* label = L(this)->label)
        label->setAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
}

// --- Edit ---

Edit::Edit(Container& parent) : Control(&parent) {
    auto im = std::make_unique<EditImpl>();
    im->edit = new QLineEdit(ClientOf(parent));
    im->edit->setContextMenuPolicy(Qt::DefaultContextMenu);
    im->edit->setMaxLength(qt::kNoLengthLimit);
    qt::GuardLineEdit(im->edit);
    im->widget = im->edit;
    Attach(std::move(im));
    QObject::connect(E(this)->edit, &QLineEdit::textChanged, impl()->guard.get(), [this] {
        if (OnChange) {
            Dispatch d;
            OnChange();
        }
    });
}

void Edit::SetText(const std::string& text) {
    EditImpl* im = E(this);
    im->text = {text, qt::ToQ(text)};
    if (im->edit) {
        qt::SetProgramText(im->edit, im->text.shown);
        // The start of the text shows, as in a box that was just filled.
        im->edit->setCursorPosition(0);
    }
}

std::string Edit::Text() const { return E(this)->edit ? E(this)->text.Get(E(this)->edit->text()) : std::string(); }

void Edit::SetReadOnly(bool readOnly) {
    if (E(this)->edit)
        E(this)->edit->setReadOnly(readOnly);
}

bool Edit::IsReadOnly() const { return E(this)->edit && E(this)->edit->isReadOnly(); }

void Edit::SetPasswordStyle(bool password) {
    if (E(this)->edit)
        E(this)->edit->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
}

bool Edit::IsPasswordStyle() const {
    return E(this)->edit && E(this)->edit->echoMode() == QLineEdit::Password;
}

void Edit::SetNumbersOnly(bool numbers) { E(this)->numbers = numbers; }

void Edit::SetRightAligned(bool right) {
    if (E(this)->edit)
        E(this)->edit->setAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
}

void Edit::SelectAll() {
    if (E(this)->edit)
        E(this)->edit->selectAll();
}

std::string Edit::SelectedText() const {
    return E(this)->edit ? qt::FromQ(E(this)->edit->selectedText()) : std::string();
}

// --- Memo ---

Memo::Memo(Container& parent) : Control(&parent) {
    auto im = std::make_unique<MemoImpl>();
    im->memo = qt::NewMemoBox(ClientOf(parent));
    // In a dialog Tab leaves a multi-line box, as it does on Windows.
    im->memo->setTabChangesFocus(true);
    im->memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    im->memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    im->memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    im->widget = im->memo;
    Attach(std::move(im));
}

void Memo::SetText(const std::string& text) {
    MemoImpl* im = M(this);
    im->text = {text, qt::ToQLines(text)};
    if (im->memo)
        im->memo->setPlainText(im->text.shown);
}

std::string Memo::Text() const {
    MemoImpl* im = M(this);
    if (!im->memo)
        return std::string();
    const QString current = im->memo->toPlainText();
    if (current == im->text.shown)
        return im->text.ansi;
    std::string text = qt::FromQ(current);
    std::string crlf;
    crlf.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    return crlf;
}

void Memo::SetReadOnly(bool readOnly) {
    if (M(this)->memo)
        M(this)->memo->setReadOnly(readOnly);
}

void Memo::SetWordWrap(bool wrap) {
    if (M(this)->memo)
        M(this)->memo->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void Memo::SetScrollBars(bool scrollBars) {
    if (QPlainTextEdit* memo = M(this)->memo) {
        const Qt::ScrollBarPolicy policy = scrollBars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
        memo->setHorizontalScrollBarPolicy(policy);
        memo->setVerticalScrollBarPolicy(policy);
    }
}

void Memo::SetWantReturn(bool wantReturn) { M(this)->wantReturn = wantReturn; }
bool Memo::WantsReturn() const { return M(this)->wantReturn; }

// --- Button ---

Button::Button(Container& parent) : Control(&parent) {
    auto im = std::make_unique<ButtonImpl>();
    auto* button = new QPushButton(ClientOf(parent));
    // The window's own rules decide what Enter does.
    button->setAutoDefault(false);
    button->setDefault(false);
    im->button = button;
    im->push = true;
    im->widget = button;
    Attach(std::move(im));
    QObject::connect(button, &QAbstractButton::clicked, impl()->guard.get(), [this] { Clicked(this, OnClick); });
}

void Button::SetCaption(const std::string& text) {
    B(this)->caption = text;
    if (B(this)->button)
        B(this)->button->setText(qt::ToQ(text));
}

std::string Button::Caption() const { return B(this)->caption; }
void Button::SetModalResult(int result) { B(this)->modalResult = result; }

void Button::Click() {
    if (QAbstractButton* button = B(this)->button)
        button->click();
}

// --- CheckBox ---

CheckBox::CheckBox(Container& parent) : Control(&parent) {
    auto im = std::make_unique<ButtonImpl>();
    auto* box = new WholeAreaButton<QCheckBox>(ClientOf(parent));
    im->button = box;
    im->widget = box;
    Attach(std::move(im));
    QObject::connect(box, &QAbstractButton::clicked, impl()->guard.get(), [this] { Clicked(this, OnClick); });
}

void CheckBox::SetCaption(const std::string& text) {
    B(this)->caption = text;
    if (QAbstractButton* button = B(this)->button) {
        button->setText(qt::ToQ(text));
        button->resize(button->sizeHint());
    }
}

std::string CheckBox::Caption() const { return B(this)->caption; }

void CheckBox::SetChecked(bool checked) {
    if (QAbstractButton* button = B(this)->button)
        button->setChecked(checked);
}

bool CheckBox::IsChecked() const { return B(this)->button && B(this)->button->isChecked(); }

void CheckBox::Click() {
    if (QAbstractButton* button = B(this)->button)
        button->click();
}

// --- RadioButton ---

RadioButton::RadioButton(Container& parent) : Control(&parent) {
    auto im = std::make_unique<ButtonImpl>();
    auto* radio = new WholeAreaButton<QRadioButton>(ClientOf(parent));
    im->button = radio;
    im->widget = radio;
    Attach(std::move(im));
    QObject::connect(radio, &QAbstractButton::clicked, impl()->guard.get(), [this] { Clicked(this, OnClick); });
}

void RadioButton::SetCaption(const std::string& text) {
    B(this)->caption = text;
    if (QAbstractButton* button = B(this)->button) {
        button->setText(qt::ToQ(text));
        button->resize(button->sizeHint());
    }
}

std::string RadioButton::Caption() const { return B(this)->caption; }

void RadioButton::SetChecked(bool checked) {
    QAbstractButton* button = B(this)->button;
    if (!button)
        return;
    // Qt refuses to clear the checked button of an exclusive set; the program may.
    const bool exclusive = button->autoExclusive();
    if (!checked)
        button->setAutoExclusive(false);
    button->setChecked(checked);
    button->setAutoExclusive(exclusive);
}

bool RadioButton::IsChecked() const { return B(this)->button && B(this)->button->isChecked(); }

void RadioButton::Click() {
    if (QAbstractButton* button = B(this)->button)
        button->click();
}

// --- ImageButton ---

ImageButton::ImageButton(Container& parent) : Control(&parent) {
    auto im = std::make_unique<ButtonImpl>();
    auto* button = new FlatImageButton(ClientOf(parent));
    im->button = button;
    im->widget = button;
    Attach(std::move(im));
    QObject::connect(button, &QAbstractButton::clicked, impl()->guard.get(), [this] { Clicked(this, OnClick); });
}

void ImageButton::SetImage(const ImageList* images, int index) {
    if (auto* button = static_cast<FlatImageButton*>(B(this)->button.data())) {
        button->images = images;
        button->index = index;
        button->update();
    }
}

int ImageButton::ImageIndex() const {
    auto* button = static_cast<FlatImageButton*>(B(this)->button.data());
    return button ? button->index : -1;
}

void ImageButton::Click() {
    if (QAbstractButton* button = B(this)->button)
        button->click();
}

// --- GroupBox ---

namespace {

struct GroupBoxImpl : Control::Impl {
    std::string caption;
};

// A Windows group box: the etched frame starts half a line down and the
// caption sits on its top edge, so that children placed from the box's
// top-left corner clear the caption as they do there.
class EtchedGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const QRect frame = rect().adjusted(0, metrics.height() / 2, -1, -1);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::Light));
        painter.drawRect(frame.adjusted(1, 1, 0, 0));
        if (title().isEmpty())
            return;
        QString shown = title();
        shown.remove(QRegularExpression(QStringLiteral("&(?!&)")));
        const QRect caption(8, 0, metrics.horizontalAdvance(shown) + 4, metrics.height());
        painter.fillRect(caption, palette().brush(QPalette::Window));
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(caption, Qt::AlignCenter | Qt::TextShowMnemonic, title());
    }
};

} // namespace

GroupBox::GroupBox(Container& parent) : Container(&parent) {
    auto im = std::make_unique<GroupBoxImpl>();
    auto* box = new EtchedGroupBox(ClientOf(parent));
    box->setFocusPolicy(Qt::NoFocus);
    im->widget = box;
    im->client = box;
    im->container = true;
    Attach(std::move(im));
}

void GroupBox::SetCaption(const std::string& text) {
    if (auto* box = qobject_cast<QGroupBox*>(impl()->widget.data()))
        box->setTitle(qt::ToQ(text));
    static_cast<GroupBoxImpl*>(impl())->caption = text;
}

std::string GroupBox::Caption() const { return static_cast<GroupBoxImpl*>(impl())->caption; }

// --- Panel ---

Panel::Panel(Container& parent) : Container(&parent) {
    auto im = std::make_unique<Control::Impl>();
    auto* panel = new QWidget(ClientOf(parent));
    im->widget = panel;
    im->client = panel;
    im->container = true;
    Attach(std::move(im));
}

} // namespace toolkit
