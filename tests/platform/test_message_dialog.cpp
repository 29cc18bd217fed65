#include "platform/message_dialog.h"

#include <gtest/gtest.h>

#include "support/dialogs.h"
#include "support/text.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <vector>

using kormoszi::MessageButton;
using kormoszi::MessageButtons;
using kormoszi::MessageType;
using kormoszi::ShowMessageDialog;

namespace {

const MessageButtons kYesNo = MessageButton::Yes | MessageButton::No;
const MessageButtons kYesNoCancel = kYesNo | MessageButton::Cancel;
const MessageButtons kOk = MessageButton::OK;
using Keys = std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>;

using kormoszi::testing::OnNextDialog;
using kormoszi::testing::U;

// Shows the dialog and types the keys; the last one must close it while it is still down.
int Answer(MessageType type, MessageButtons buttons, const Keys& keys,
           const QString& message = U("Törli a rekordot?")) {
    OnNextDialog([&](QWidget* modal) {
        for (std::size_t i = 0; i + 1 < keys.size(); ++i)
            QTest::keyClick(modal->windowHandle(), keys[i].first, keys[i].second);
        QTest::keyPress(modal->windowHandle(), keys.back().first, keys.back().second);
        EXPECT_FALSE(modal->isVisible()) << "key " << keys.back().first;
    });
    return ShowMessageDialog(message, type, buttons);
}

// Shows the dialog, hands it to `look` and closes it.
void Inspect(const QString& message, MessageType type, MessageButtons buttons,
             const std::function<void(QWidget*)>& look) {
    OnNextDialog([&](QWidget* modal) {
        look(modal);
        modal->close();
    });
    ShowMessageDialog(message, type, buttons);
}

QWidget* Child(QWidget* modal, const char* name) {
    auto* child = modal->findChild<QWidget*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

}  // namespace

TEST(MessageDialog, EnterEscAltF4AndTheCloseBox) {
    struct Case {
        MessageType Type;
        MessageButtons Buttons;
        int Enter;
        int Esc;
    };
    for (const Case& c : {Case{MessageType::Confirmation, kYesNo, 6, 7},
                          Case{MessageType::Confirmation, kYesNoCancel, 6, 2},
                          Case{MessageType::Warning, kOk, 1, 1}}) {
        EXPECT_EQ(Answer(c.Type, c.Buttons, {{Qt::Key_Return, {}}}), c.Enter);
        EXPECT_EQ(Answer(c.Type, c.Buttons, {{Qt::Key_Enter, Qt::KeypadModifier}}), c.Enter);
        EXPECT_EQ(Answer(c.Type, c.Buttons, {{Qt::Key_Escape, {}}}), c.Esc);
        EXPECT_EQ(Answer(c.Type, c.Buttons, {{Qt::Key_F4, Qt::AltModifier}}), 2);
        OnNextDialog([](QWidget* modal) { modal->windowHandle()->close(); });
        EXPECT_EQ(ShowMessageDialog(U("Törli a rekordot?"), c.Type, c.Buttons), 2);
    }
}

// Shift+Enter and the like are not Enter: the question stays open until Esc answers it.
TEST(MessageDialog, EnterWithShiftCtrlOrAltPressesNothing) {
    for (Qt::KeyboardModifier modifier : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier})
        EXPECT_EQ(Answer(MessageType::Confirmation, kYesNo,
                         {{Qt::Key_Return, modifier},
                          {Qt::Key_Enter, modifier | Qt::KeypadModifier},
                          {Qt::Key_Escape, {}}}),
                  7);
}

TEST(MessageDialog, AcceleratorLettersPressTheirButtonWithOrWithoutAltInEitherCase) {
    for (Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
          Qt::KeyboardModifiers(Qt::AltModifier), Qt::AltModifier | Qt::ShiftModifier}) {
        EXPECT_EQ(Answer(MessageType::Confirmation, kYesNoCancel, {{Qt::Key_I, modifiers}}), 6);
        EXPECT_EQ(Answer(MessageType::Confirmation, kYesNoCancel, {{Qt::Key_N, modifiers}}), 7);
    }
    // Ctrl+N and letters without a button press nothing.
    EXPECT_EQ(Answer(MessageType::Confirmation, kYesNoCancel,
                     {{Qt::Key_N, Qt::ControlModifier}, {Qt::Key_M, {}}, {Qt::Key_Escape, {}}}),
              2);
}

TEST(MessageDialog, TabAndArrowsMoveTheFocusThatEnterPresses) {
    const Qt::KeyboardModifiers none;
    const std::vector<std::pair<Keys, int>> cases{
        {{{Qt::Key_Tab, none}}, 7},
        {{{Qt::Key_Tab, none}, {Qt::Key_Tab, none}, {Qt::Key_Tab, none}}, 6},  // round again
        {{{Qt::Key_Backtab, Qt::ShiftModifier}}, 2},
        {{{Qt::Key_Right, none}}, 7},
        {{{Qt::Key_Down, none}, {Qt::Key_Down, none}}, 2},
        {{{Qt::Key_Left, none}}, 2},
        {{{Qt::Key_Up, none}, {Qt::Key_Up, none}}, 7},
    };
    for (auto [keys, result] : cases) {
        keys.emplace_back(Qt::Key_Return, none);
        EXPECT_EQ(Answer(MessageType::Confirmation, kYesNoCancel, keys), result)
            << keys.size() << " keys, first " << keys.front().first;
    }
}

TEST(MessageDialog, SpaceAndTheMouseActOnRelease) {
    bool openAfterPress = false;
    OnNextDialog([&](QWidget* modal) {
        QTest::keyPress(modal->windowHandle(), Qt::Key_Space);
        openAfterPress = modal->isVisible();
        QTest::keyRelease(modal->windowHandle(), Qt::Key_Space);
    });
    EXPECT_EQ(ShowMessageDialog(U("A szó nem 5 betűs!"), MessageType::Warning, kOk), 1);
    EXPECT_TRUE(openAfterPress);

    openAfterPress = false;
    OnNextDialog([&](QWidget* modal) {
        QTest::mousePress(Child(modal, "No"), Qt::LeftButton);
        openAfterPress = modal->isVisible();
        QTest::mouseRelease(Child(modal, "No"), Qt::LeftButton);
    });
    EXPECT_EQ(ShowMessageDialog(U("Törli a rekordot?"), MessageType::Confirmation, kYesNo), 7);
    EXPECT_TRUE(openAfterPress);
}

TEST(MessageDialog, AShortQuestionIsAsWideAsItsButtonRowAndCentred) {
    Inspect(U("Törli a rekordot?"), MessageType::Confirmation,
            MessageButton::Cancel | MessageButton::No | MessageButton::Yes, [](QWidget* modal) {
                EXPECT_EQ(modal->objectName(), U("TMessageForm"));
                EXPECT_EQ(modal->windowTitle(), U("Megerősítés"));
                auto* yes = qobject_cast<QPushButton*>(Child(modal, "Yes"));
                auto* no = qobject_cast<QPushButton*>(Child(modal, "No"));
                auto* cancel = qobject_cast<QPushButton*>(Child(modal, "Cancel"));
                ASSERT_TRUE(yes && no && cancel);
                EXPECT_EQ(modal->focusWidget(), yes);
                EXPECT_EQ(yes->text() + no->text() + cancel->text(), U("&Igen&NemMégsem"));
                EXPECT_LT(yes->x(), no->x());
                EXPECT_LT(no->x(), cancel->x());
                EXPECT_EQ(yes->y(), cancel->y());
                EXPECT_EQ(yes->width(), cancel->width());

                QWidget* image = Child(modal, "Image");
                QWidget* message = Child(modal, "Message");
                const int margin = image->x();
                EXPECT_EQ(image->size(), QSize(32, 32));
                EXPECT_EQ(yes->x(), margin);
                EXPECT_EQ(modal->width(), cancel->geometry().right() + 1 + margin);
                EXPECT_GT(message->x(), image->geometry().right());
                EXPECT_EQ(message->y(), image->y());

                EXPECT_EQ(modal->minimumSize(), modal->maximumSize());
                EXPECT_TRUE(modal->windowFlags() & Qt::WindowCloseButtonHint);
                EXPECT_FALSE(modal->windowFlags() &
                             (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
                const QRect screen = QGuiApplication::primaryScreen()->geometry();
                const QRect frame = modal->frameGeometry();
                EXPECT_EQ(frame.x(), (screen.width() - frame.width()) / 2);
                EXPECT_EQ(frame.y(), (screen.height() - frame.height()) / 2);
            });
}

TEST(MessageDialog, LongTextGrowsTheWindowAndEveryLineBreakCounts) {
    const int halfScreen = QGuiApplication::primaryScreen()->geometry().width() / 2;
    const QString path = U("/home/") + QString(120, u'x') + U("/len3.txt");
    Inspect(U("A fájl (") + path + U(") nem található."), MessageType::Confirmation, kYesNo,
            [&](QWidget* modal) {
                QWidget* message = Child(modal, "Message");
                EXPECT_GT(modal->width(), halfScreen);
                // Not broken at the slashes: the whole name stands on one line.
                EXPECT_GE(message->width(), message->fontMetrics().horizontalAdvance(path));
                EXPECT_LT(message->geometry().right(), modal->width());
            });

    for (const char* lineBreak : {"\r", "\n", "\r\n"}) {
        const QString text = U("A fájl (len3.txt) nem található.") + U(lineBreak) +
                             U("Kiválasztja a Tormolag könyvtárát?");
        Inspect(text, MessageType::Confirmation, kYesNo, [&](QWidget* modal) {
            auto* message = qobject_cast<QLabel*>(Child(modal, "Message"));
            EXPECT_EQ(message->text(), text);
            const int lineHeight = message->fontMetrics().height();
            EXPECT_GE(message->height(), 2 * lineHeight);
            EXPECT_LT(message->height(), 3 * lineHeight);
        });
    }

    // Taller than the screen: the window starts at its top instead of above it.
    Inspect(QString(U("sor\r")).repeated(200), MessageType::Warning, kOk, [](QWidget* modal) {
        EXPECT_GT(modal->height(), modal->screen()->geometry().height());
        EXPECT_EQ(modal->y(), 0);
    });
}

TEST(MessageDialog, AnAmpersandUnderlinesTheNextCharacterAndTakesNoRoom) {
    QImage marked, plain;
    int doubledWidth = 0;
    QFont font;
    auto render = [&](const char* text, QImage* image, int* width) {
        Inspect(U(text), MessageType::Warning, kOk, [&](QWidget* modal) {
            QWidget* message = Child(modal, "Message");
            if (image)
                *image = message->grab().toImage();
            if (width)
                *width = message->width();
            font = message->font();
        });
    };
    render("a&bc", &marked, nullptr);
    render("abc", &plain, nullptr);
    render("a&&bc", nullptr, &doubledWidth);
    EXPECT_EQ(font, kormoszi::SystemMessageFont()) << "the text is not in the message font";
    ASSERT_EQ(marked.size(), plain.size());
    EXPECT_GT(doubledWidth, plain.width());  // "&&" shows one "&"

    // The only difference is a line under the b, at or below the baseline.
    const QFontMetrics metrics(font);
    int differing = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            if (marked.pixel(x, y) == plain.pixel(x, y))
                continue;
            ++differing;
            EXPECT_GE(y, metrics.ascent());
            EXPECT_GE(x, metrics.horizontalAdvance(U("a")) - 1);
            EXPECT_LE(x, metrics.horizontalAdvance(U("ab")) + 1);
        }
    }
    EXPECT_GT(differing, 0);
}

TEST(MessageDialog, CtrlCCopiesTheSevenLinesAndLeavesTheDialogOpen) {
    const QString divider = QString(27, u'-') + U("\r\n");
    auto expected = [&](const char* caption, const char* message, const char* buttons) {
        return divider + U(caption) + U("\r\n") + divider + U(message) + U("\r\n") + divider +
               U(buttons) + U("\r\n") + divider;
    };
    const Keys copyThenEsc{{Qt::Key_C, Qt::ControlModifier}, {Qt::Key_Escape, {}}};
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(Answer(MessageType::Warning, kOk, copyThenEsc, U("A szó nem 5 betűs!")), 1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              expected("Figyelmeztetés", "A szó nem 5 betűs!", "OK   "));
    EXPECT_EQ(Answer(MessageType::Confirmation, kYesNo, copyThenEsc), 7);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              expected("Megerősítés", "Törli a rekordot?", "Igen   Nem   "));
}

TEST(MessageDialog, GivesTheFocusBackToTheWindowThatHadIt) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    EXPECT_EQ(Answer(MessageType::Warning, kOk, {{Qt::Key_Return, {}}}), 1);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), edit);
}

TEST(MessageDialogDeathTest, TheApplicationQuittingAnswers2) {
    // Quitting ends every loop of the process for good, so it is watched in a child.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QTimer::singleShot(0,
                               [] { QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit)); });
            std::_Exit(ShowMessageDialog(U("Menti a változtatásokat, mielőtt kilép?"),
                                         MessageType::Confirmation, kYesNoCancel));
        },
        testing::ExitedWithCode(2), "");
    EXPECT_EXIT(
        {
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
            std::_Exit(
                ShowMessageDialog(U("Törli a rekordot?"), MessageType::Confirmation, kYesNo));
        },
        testing::ExitedWithCode(2), "");
}
