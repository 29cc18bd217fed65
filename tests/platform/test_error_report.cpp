#include "platform/application.h"
#include "platform/error_report.h"

#include <gtest/gtest.h>

#include "support/text.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <stdexcept>
#include <vector>

using kormoszi::EAbort;
using kormoszi::Guarded;
using kormoszi::ReportError;

namespace {

using kormoszi::testing::U;

// Runs `action` and answers every error box that comes up meanwhile with Enter, after
// checking how it is made; returns the boxes' texts.
std::vector<QString> BoxesShownBy(const std::function<void()>& action) {
    std::vector<QString> texts;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, &answer, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        texts.push_back(box->text());
        EXPECT_EQ(box->windowTitle(), U("Tormolag - szótármódosító"));
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
        QTest::keyClick(box->windowHandle(), Qt::Key_Return);
    });
    answer.start(1);
    action();
    // Queued events run too, so that a box that should not come up would come up here.
    for (int pass = 0; pass < 5; ++pass)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return texts;
}

// Raises from an event handler that nobody guarded.
class Unguarded : public QObject {
  protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw std::runtime_error("Invalid locale.");
        return QObject::event(event);
    }
};

}  // namespace

TEST(ErrorReport, ShowsTheTextInTheCriticalBoxWithTheFullStopRule) {
    const std::vector<std::pair<const char*, const char*>> cases{
        {"File not found", "File not found."},
        {"I/O error 32", "I/O error 32."},
        {"A vágólap nem nyitható meg", "A vágólap nem nyitható meg."},
        {"Menti?", "Menti?."},  // the rule compares codes, and "?" comes after "."
        {"x.", "x."},
        {"x!", "x!"},
        {"Hiba (5)", "Hiba (5)"},
        {"a,", "a,"},
        {"a-", "a-"},
        {"", ""},
        {"<b>len3.txt</b>", "<b>len3.txt</b>."},
    };
    for (const auto& [raised, shown] : cases) {
        const auto texts = BoxesShownBy([text = raised] { ReportError(std::runtime_error(text)); });
        EXPECT_EQ(texts, std::vector<QString>{U(shown)}) << raised;
    }
}

TEST(ErrorReport, TheSilentAbortShowsNothingAndAMouseGrabEndsFirst) {
    QWidget window;
    window.show();
    window.grabMouse();
    EXPECT_TRUE(BoxesShownBy([] { ReportError(EAbort()); }).empty());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_TRUE(BoxesShownBy([] { Guarded([] { throw EAbort(); }); }).empty());

    window.grabMouse();  // the box itself checks that the grab is gone
    EXPECT_EQ(BoxesShownBy([] { ReportError(std::runtime_error("Disk full")); }).size(), 1u);
}

TEST(ErrorReport, AnErrorInAGuardedSlotAbandonsItAndTheLoopGoesOn) {
    QWidget window;
    auto* button = new QPushButton(U("Mentés"), &window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    int clicks = 0;
    int finished = 0;
    QObject::connect(button, &QPushButton::clicked, button, [&] {
        Guarded([&] {
            ++clicks;
            throw std::runtime_error("File access denied");
            ++finished;
        });
    });

    bool nextEventRan = false;
    const auto texts = BoxesShownBy([&] {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, [&] {
            QTest::mouseClick(button, Qt::LeftButton);
            QTimer::singleShot(0, &loop, [&] {
                nextEventRan = true;
                // The window that had the focus has it again, and its button still works.
                EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
                QTest::mouseClick(button, Qt::LeftButton);
                loop.quit();
            });
        });
        loop.exec();
    });

    EXPECT_TRUE(nextEventRan);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(texts, std::vector<QString>(2, U("File access denied.")));
}

TEST(ErrorReport, TheApplicationReportsAnErrorThatEscapedEveryGuard) {
    auto* application = dynamic_cast<kormoszi::Application*>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(application->Title(), U("Tormolag - szótármódosító"));
    Unguarded target;
    const auto texts =
        BoxesShownBy([&] { QCoreApplication::postEvent(&target, new QEvent(QEvent::User)); });
    EXPECT_EQ(texts, std::vector<QString>{U("Invalid locale.")});
}
