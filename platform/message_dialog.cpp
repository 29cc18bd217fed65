#include "platform/message_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>
#include <algorithm>
#include <array>
#include <stdexcept>
#include <vector>

#include "platform/error_report.h"
#include "platform/window_placement.h"

namespace kormoszi {
namespace {

constexpr int kIconSize = 32;

struct ButtonKind {
    MessageButton Button;
    const char* Name;
    const char* Caption;  // UTF-8
    int Result;
};

// Also the left-to-right order of the buttons.
constexpr std::array<ButtonKind, 4> kButtonKinds{{
    {MessageButton::Yes, "Yes", "&Igen", mrYes},
    {MessageButton::No, "No", "&Nem", mrNo},
    {MessageButton::OK, "OK", "OK", mrOK},
    {MessageButton::Cancel, "Cancel", "Mégsem", mrCancel},
}};

// a × b / c rounded to the nearest integer, halves up; the layout's metrics are all
// non-negative.
int MulDiv(int a, int b, int c) {
    return static_cast<int>((2LL * a * b + c) / (2LL * c));
}

// What a caption or message shows: "&x" shows x (underlined), "&&" shows one "&".
QString VisibleText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            ++i;
            if (i == text.size())
                break;
        }
        shown += text[i];
    }
    return shown;
}

// The key of the letter that follows a single "&" in a caption; 0 if there is none.
int AcceleratorKey(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1].toUpper().unicode();
        ++i;
    }
    return 0;
}

// The caption widths depend only on the button kind and the message font, so each is
// measured once, by the first dialog that has that button.
int CaptionWidth(std::size_t kind, const QFontMetrics& metrics) {
    static std::array<int, kButtonKinds.size()> widths{-1, -1, -1, -1};
    if (widths[kind] < 0) {
        const QString caption = QString::fromUtf8(kButtonKinds[kind].Caption);
        widths[kind] =
            metrics.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, caption)
                .width();
    }
    return widths[kind];
}

// A carriage return alone, a line feed alone and the pair each start one new line.
QString NormalisedLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs | Qt::TextShowMnemonic;

QString WithoutTrailingSpaces(QString line) {
    qsizetype end = line.size();
    while (end > 0 && line[end - 1] == u' ')
        --end;
    line.truncate(end);
    return line;
}

int LineWidth(const QString& line, const QFontMetrics& metrics) {
    return metrics.boundingRect(QRect(), kTextFlags, line).width();
}

// The message broken into the lines that fit in `width`. Lines break only at spaces, so
// a path is never split at its slashes; a word wider than `width` stands on a line of its
// own and widens the block.
QString WrapAtSpaces(const QString& message, int width, const QFontMetrics& metrics) {
    QStringList lines;
    for (const QString& paragraph : NormalisedLineBreaks(message).split(u'\n')) {
        const QStringList words = paragraph.split(u' ');
        QString line = words.front();
        for (qsizetype i = 1; i < words.size(); ++i) {
            const QString longer = line + u' ' + words[i];
            if (LineWidth(WithoutTrailingSpaces(longer), metrics) <= width) {
                line = longer;
            } else {
                lines << WithoutTrailingSpaces(line);
                line = words[i];
            }
        }
        lines << WithoutTrailingSpaces(line);
    }
    return lines.join(u'\n');
}

// The message text. A label, so that it reads like any other label, but drawn here from
// the lines the window was sized for; a single "&" underlines the next character.
class TMessageText : public QLabel {
  public:
    TMessageText(const QString& message, const QString& lines, QWidget* parent)
        : QLabel(parent), FLines(lines) {
        setTextFormat(Qt::PlainText);
        setText(message);
        setAccessibleName(VisibleText(lines));
    }

    static QSize Measure(const QString& lines, const QFontMetrics& metrics) {
        return metrics.boundingRect(QRect(), kTextFlags, lines).size();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        Guarded([&] {
            QPainter painter(this);
            painter.setPen(palette().color(QPalette::WindowText));
            painter.setFont(font());
            painter.drawText(rect(), kTextFlags | Qt::TextDontClip, FLines);
        });
    }

  private:
    QString FLines;
};

}  // namespace

struct MessageLayout;

// The dialog of one call: laid out for its message in the constructor, answered from the
// keyboard on key down (so the release goes to whatever has the focus afterwards) or by a
// click or the Space bar on release.
class TMessageForm : public QDialog {
  public:
    // parent: the window the dialog stands over, nullptr for none.
    TMessageForm(const QString& message, MessageType type, MessageButtons buttons, QWidget* parent);

    // The close box, the window menu and Alt+F4 all end here.
    void reject() override { done(mrCancel); }

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Button {
        QPushButton* Control;
        int Result;
        int Accelerator;
    };

    struct KeyAction {
        enum Kind { None, Swallow, Answer, NextButton, PreviousButton, Copy, Close } Kind = None;
        int Result = 0;  // of an answer
    };

    bool TakeKey(QEvent* event);
    KeyAction ActionFor(const QKeyEvent& key) const;
    void Act(const KeyAction& action);
    void CopyToClipboard() const;
    QString ClipboardText() const;
    void AddImage(const MessageLayout& layout, bool warning);
    void AddButtons(const MessageLayout& layout, MessageButtons buttons, const QFont& font);
    void PlaceOnScreen();

    QString FMessage;
    std::vector<Button> FButtons;  // left to right
    int FDefaultResult = 0;
    int FCancelResult = mrCancel;
};

// Where everything of one dialog goes, from the base units of its font.
struct MessageLayout {
    int HorizontalMargin, VerticalMargin, HorizontalSpacing;
    int ButtonWidth, ButtonHeight, ButtonSpacing, ButtonTop;
    QString Lines;  // the message as wrapped
    QSize Text;
    int RowWidth, ClientWidth, ClientHeight;
};

namespace {

MessageLayout LayOut(const QString& message, MessageButtons buttons, const QFontMetrics& metrics) {
    const int unitX = metrics.horizontalAdvance(
                          QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                      52;
    const int unitY = metrics.height();
    MessageLayout layout{};
    layout.HorizontalMargin = MulDiv(8, unitX, 4);
    layout.VerticalMargin = MulDiv(8, unitY, 8);
    layout.HorizontalSpacing = MulDiv(10, unitX, 4);
    const int verticalSpacing = MulDiv(10, unitY, 8);
    layout.ButtonHeight = MulDiv(14, unitY, 8);
    layout.ButtonSpacing = MulDiv(4, unitX, 4);

    layout.ButtonWidth = MulDiv(50, unitX, 4);
    int buttonCount = 0;
    for (std::size_t kind = 0; kind < kButtonKinds.size(); ++kind) {
        if (!buttons.testFlag(kButtonKinds[kind].Button))
            continue;
        layout.ButtonWidth = std::max(layout.ButtonWidth, CaptionWidth(kind, metrics) + 8);
        ++buttonCount;
    }

    QScreen* primary = QGuiApplication::primaryScreen();
    const int wrapWidth = primary ? primary->geometry().width() / 2 : 0;
    layout.Lines = WrapAtSpaces(message, wrapWidth, metrics);
    layout.Text = TMessageText::Measure(layout.Lines, metrics);
    const int blockWidth = layout.Text.width() + kIconSize + layout.HorizontalSpacing;
    const int blockHeight = std::max(layout.Text.height(), kIconSize);
    layout.RowWidth = buttonCount * layout.ButtonWidth + (buttonCount - 1) * layout.ButtonSpacing;
    layout.ClientWidth = std::max(blockWidth, layout.RowWidth) + 2 * layout.HorizontalMargin;
    layout.ClientHeight =
        blockHeight + layout.ButtonHeight + verticalSpacing + 2 * layout.VerticalMargin;
    layout.ButtonTop = blockHeight + layout.VerticalMargin + verticalSpacing;
    return layout;
}

}  // namespace

TMessageForm::TMessageForm(const QString& message, MessageType type, MessageButtons buttons,
                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      FMessage(message) {
    setObjectName(QStringLiteral("TMessageForm"));
    const bool warning = type == MessageType::Warning;
    setWindowTitle(QString::fromUtf8(warning ? "Figyelmeztetés" : "Megerősítés"));
    const QFont font = SystemMessageFont();
    setFont(font);
    // A screen reader tells the question with the dialog's title when the dialog opens.
    setAccessibleDescription(VisibleText(message));

    const MessageLayout layout = LayOut(message, buttons, QFontMetrics(font));
    AddImage(layout, warning);
    auto* label = new TMessageText(message, layout.Lines, this);
    label->setObjectName(QStringLiteral("Message"));
    label->setFont(font);
    label->setGeometry(layout.HorizontalMargin + kIconSize + layout.HorizontalSpacing,
                       layout.VerticalMargin, layout.Text.width(), layout.Text.height());
    AddButtons(layout, buttons, font);

    setFixedSize(layout.ClientWidth, layout.ClientHeight);
    PlaceOnScreen();
}

void TMessageForm::AddImage(const MessageLayout& layout, bool warning) {
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image"));
    image->setAccessibleName(QString::fromUtf8(warning ? "Figyelmeztetés" : "Kérdés"));
    image->setGeometry(layout.HorizontalMargin, layout.VerticalMargin, kIconSize, kIconSize);
    const auto icon = warning ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxQuestion;
    image->setPixmap(style()
                         ->standardIcon(icon, nullptr, this)
                         .pixmap(QSize(kIconSize, kIconSize), devicePixelRatio()));
}

void TMessageForm::AddButtons(const MessageLayout& layout, MessageButtons buttons,
                              const QFont& font) {
    const bool hasOk = buttons.testFlag(MessageButton::OK);
    const MessageButton defaultButton = hasOk ? MessageButton::OK : MessageButton::Yes;
    int left = (layout.ClientWidth - layout.RowWidth) / 2;
    for (const ButtonKind& kind : kButtonKinds) {
        if (!buttons.testFlag(kind.Button))
            continue;
        const QString caption = QString::fromUtf8(kind.Caption);
        auto* control = new QPushButton(caption, this);
        control->setObjectName(QString::fromLatin1(kind.Name));
        control->setFont(font);
        control->setGeometry(left, layout.ButtonTop, layout.ButtonWidth, layout.ButtonHeight);
        // The accelerators are answered on key down below; the button's own shortcut
        // would press it only after a delay, when the key is already up.
        control->setShortcut(QKeySequence());
        control->setAutoDefault(true);
        control->setDefault(kind.Button == defaultButton);
        control->installEventFilter(this);
        connect(control, &QPushButton::clicked, this,
                [this, result = kind.Result] { Guarded([&] { done(result); }); });
        FButtons.push_back({control, kind.Result, AcceleratorKey(caption)});
        left += layout.ButtonWidth + layout.ButtonSpacing;
        if (kind.Button == defaultButton)
            FDefaultResult = kind.Result;
    }
    if (buttons.testFlag(MessageButton::Cancel))
        FCancelResult = mrCancel;
    else if (buttons.testFlag(MessageButton::No))
        FCancelResult = mrNo;
    else if (hasOk)
        FCancelResult = mrOK;
    if (!FButtons.empty())
        FButtons.front().Control->setFocus();
}

void TMessageForm::PlaceOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (const QWidget* active = QApplication::activeWindow())
        screen = active->screen();
    setWindowModality(Qt::ApplicationModal);
    CentreOnScreen(this, screen);
}

bool TMessageForm::event(QEvent* event) {
    bool handled = false;
    Guarded([&] { handled = TakeKey(event) || QDialog::event(event); });
    return handled;
}

// Key presses reach the focused button first; the ones the dialog answers are taken here,
// before the button acts on them itself.
bool TMessageForm::eventFilter(QObject* watched, QEvent* event) {
    bool handled = false;
    Guarded([&] { handled = TakeKey(event) || QDialog::eventFilter(watched, event); });
    return handled;
}

// A key the dialog answers is taken wherever it arrives, and no shortcut may take it
// before it arrives.
bool TMessageForm::TakeKey(QEvent* event) {
    const bool press = event->type() == QEvent::KeyPress;
    if (!press && event->type() != QEvent::ShortcutOverride)
        return false;
    const KeyAction action = ActionFor(*static_cast<QKeyEvent*>(event));
    if (action.Kind == KeyAction::None)
        return false;
    if (press)
        Act(action);
    event->accept();
    return true;
}

// What a key means in the dialog, without doing it: nothing of the dialog's (the key goes
// on), taken and doing nothing, or one of the answers and moves.
TMessageForm::KeyAction TMessageForm::ActionFor(const QKeyEvent& key) const {
    const Qt::KeyboardModifiers modifiers =
        key.modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool plain = modifiers == Qt::NoModifier;
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // Taken also with Shift, Ctrl or Alt held, when it does nothing: the focused
            // button would press itself otherwise.
            int result = plain ? FDefaultResult : 0;
            for (const Button& button : FButtons)
                if (plain && button.Control == focusWidget())
                    result = button.Result;
            return result != 0 ? KeyAction{KeyAction::Answer, result}
                               : KeyAction{KeyAction::Swallow};
        }
        case Qt::Key_Escape:
            return plain ? KeyAction{KeyAction::Answer, FCancelResult} : KeyAction{};
        case Qt::Key_Right:
        case Qt::Key_Down:
            return plain ? KeyAction{KeyAction::NextButton} : KeyAction{};
        case Qt::Key_Left:
        case Qt::Key_Up:
            return plain ? KeyAction{KeyAction::PreviousButton} : KeyAction{};
        case Qt::Key_C:
            if (modifiers == Qt::ControlModifier)
                return {KeyAction::Copy};
            break;
        case Qt::Key_F4:
            return modifiers == Qt::AltModifier ? KeyAction{KeyAction::Close} : KeyAction{};
        default:
            break;
    }
    if (modifiers & (Qt::ControlModifier | Qt::MetaModifier))
        return {};
    for (const Button& button : FButtons)
        if (button.Accelerator != 0 && button.Accelerator == key.key())
            return {KeyAction::Answer, button.Result};
    return {};
}

// The one place where a key's meaning is carried out.
void TMessageForm::Act(const KeyAction& action) {
    switch (action.Kind) {
        case KeyAction::Answer:
            done(action.Result);
            break;
        case KeyAction::NextButton:
        case KeyAction::PreviousButton:
            focusNextPrevChild(action.Kind == KeyAction::NextButton);
            break;
        case KeyAction::Copy:
            CopyToClipboard();
            break;
        case KeyAction::Close:
            close();
            break;
        case KeyAction::None:
        case KeyAction::Swallow:
            break;
    }
}

void TMessageForm::CopyToClipboard() const {
    SystemBeep();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        throw std::runtime_error("A vágólap nem nyitható meg");
    clipboard->setText(ClipboardText());
}

QString TMessageForm::ClipboardText() const {
    const QString newLine = QStringLiteral("\r\n");
    const QString divider = QString(27, u'-') + newLine;
    QString captions;
    for (const Button& button : FButtons)
        captions += QString(button.Control->text()).remove(u'&') + QStringLiteral("   ");
    return divider + windowTitle() + newLine + divider + FMessage + newLine + divider + captions +
           newLine + divider;
}

namespace {

QuestionAnswerer& Answerer() {
    static QuestionAnswerer answerer;
    return answerer;
}

}  // namespace

void SetQuestionAnswerer(QuestionAnswerer answerer) {
    Answerer() = std::move(answerer);
}

int ShowMessageDialog(const QString& message, MessageType type, MessageButtons buttons,
                      int helpContext) {
    Q_UNUSED(helpContext)
    if (Answerer())
        return Answerer()(message, buttons);
    QPointer<QWidget> previous = QApplication::activeWindow();
    // A dialog asked for while the window is still getting the keyboard back from the
    // last one finds no active window; the program's visible window is meant then.
    if (!previous) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowType() == Qt::Window) {
                previous = window;
                break;
            }
        }
    }
    int result = 0;
    {
        // Owned by the window it blocks, so that the desktop keeps it above that window.
        TMessageForm form(message, type, buttons, previous ? previous->window() : nullptr);
        result = form.exec();
    }
    // Without a window manager nobody else gives the focus back.
    if (previous && previous->isVisible())
        previous->activateWindow();
    // The loop also ends without an answer when the application is told to quit; the
    // dialog then counts as cancelled.
    return result == 0 ? mrCancel : result;
}

}  // namespace kormoszi
