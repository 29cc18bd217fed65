#include "app/fMain.h"

#include <gtest/gtest.h>

#include "app/app_test_support.h"
#include "app/single_instance.h"
#include "platform/test_file_helpers.h"
#include "platform/window_placement.h"
#include "support/text.h"

#include <QApplication>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWheelEvent>

#include <memory>
#include <string>
#include <utility>
#include <vector>

using kormoszi::TableState;
using kormoszi::TfrmMain;

namespace {

using kormoszi::testing::U;

using kormoszi::testing::ShowActive;

void Fill(kormoszi::WordTable& table, int count) {
    kormoszi::testing::FillNumbered(table, count, 'b');  // "b000", "b001", ...
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int Count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

TEST(MainWindowTest, ControlsCarryTheirNamesCaptionsFontsAndHint) {
    TfrmMain w;
    EXPECT_EQ(w.objectName(), "frmMain");
    const std::pair<const char*, QWidget*> named[] = {
        {"Panel2", w.Panel2}, {"rgSzam", w.rgSzam}, {"sMod", w.sMod},
        {"eSzo", w.eSzo},     {"gSzo", w.gSzo},     {"Panel1", w.Panel1},
        {"lDarab", w.lDarab}, {"btPath", w.btPath}, {"btExit", w.btExit},
    };
    for (const auto& [name, widget] : named)
        EXPECT_EQ(w.findChild<QWidget*>(QString::fromLatin1(name)), widget) << name;

    EXPECT_EQ(w.windowTitle(), U("Kormoszi - Tormolag szótárazó"));
    EXPECT_EQ(w.rgSzam->title(), U("Betűk száma"));
    ASSERT_EQ(w.rgSzam->Count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.rgSzam->Button(i)->text(), QString::number(i + 3));
    EXPECT_EQ(w.rgSzam->ItemIndex(), 0);
    EXPECT_TRUE(w.rgSzam->Button(0)->isChecked());
    EXPECT_EQ(w.lDarab->text(), U("Szavak száma: 0"));
    EXPECT_TRUE(w.lDarab->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(w.btPath->text(), U("Útvonal"));
    EXPECT_EQ(w.btExit->text(), U("Kilépés"));

    EXPECT_EQ(w.font().pixelSize(), 11);
    EXPECT_EQ(w.lDarab->font().pixelSize(), 11);
    EXPECT_EQ(w.gSzo->font().pixelSize(), 19);
    EXPECT_EQ(w.eSzo->font().pixelSize(), 19);
    EXPECT_EQ(w.gSzo->toolTip(), U("Gépelés: keresés\r\nINSERT : új elem\r\nDELETE : elem "
                                   "törlése\r\nF2 : elem szerkesztése\r\n"));
    EXPECT_EQ(w.sMod->BrushColor(), w.palette().color(QPalette::Button));
    EXPECT_EQ(w.sMod->PenColor(), w.palette().color(QPalette::Button));

    EXPECT_EQ(w.mSzavak.State(), TableState::Inactive);
    EXPECT_TRUE(w.gSzo->OnKeyPress);
    EXPECT_TRUE(w.gSzo->OnKeyUp);
}

TEST(MainWindowTest, LayoutFollowsTheDesignAndTheGridTakesTheHeight) {
    TfrmMain w;
    ShowActive(w);
    w.mSzavak.CloseTable();  // the list shown at start makes way for the test\'s
    Fill(w.mSzavak, 500);
    EXPECT_EQ(w.size(), QSize(171, 503));
    EXPECT_EQ(w.Panel2->geometry(), QRect(0, 0, 171, 129));
    EXPECT_EQ(w.rgSzam->geometry(), QRect(0, 0, 171, 81));
    EXPECT_EQ(w.sMod->geometry(), QRect(4, 84, 161, 40));
    EXPECT_EQ(w.eSzo->geometry(), QRect(8, 88, 153, 32));
    EXPECT_EQ(w.gSzo->geometry(), QRect(0, 129, 171, 327));
    EXPECT_EQ(w.Panel1->geometry(), QRect(0, 456, 171, 47));
    EXPECT_EQ(w.lDarab->geometry(), QRect(0, 0, 171, 13));
    EXPECT_EQ(w.btPath->geometry(), QRect(8, 16, 75, 25));
    EXPECT_EQ(w.btExit->geometry(), QRect(88, 16, 75, 25));
    // The shape lies behind the search box.
    EXPECT_EQ(w.Panel2->childAt(w.eSzo->geometry().center()), w.eSzo);
    EXPECT_EQ(w.Panel2->childAt(5, 100), w.sMod);

    // Two columns: 3, 4, 5 on the left, 6 and 7 on the right, rows aligned.
    const auto* b = w.rgSzam;
    EXPECT_EQ(b->Button(0)->x(), b->Button(2)->x());
    EXPECT_GT(b->Button(3)->x(), b->Button(0)->x() + 60);
    EXPECT_EQ(b->Button(3)->y(), b->Button(0)->y());
    EXPECT_EQ(b->Button(4)->y(), b->Button(1)->y());
    EXPECT_GT(b->Button(2)->y(), b->Button(1)->y());

    const int rows = w.gSzo->VisibleRows();
    QTest::keyClick(w.gSzo, Qt::Key_PageDown);
    EXPECT_EQ(w.mSzavak.RecordNumber(), 1 + rows);

    w.resize(171, 703);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.Panel2->height(), 129);
    EXPECT_EQ(w.Panel1->geometry(), QRect(0, 656, 171, 47));
    EXPECT_EQ(w.gSzo->height(), 527);
    const int moreRows = w.gSzo->VisibleRows();
    EXPECT_GT(moreRows, rows + 5);
    EXPECT_EQ(w.mSzavak.ViewWindowCount(), moreRows);
    QTest::keyClick(w.gSzo, Qt::Key_Home);
    QTest::keyClick(w.gSzo, Qt::Key_PageDown);
    EXPECT_EQ(w.mSzavak.RecordNumber(), 1 + moreRows);
}

TEST(MainWindowTest, ShownCentredOnTheScreen) {
    TfrmMain w;
    w.move(0, 0);
    w.show();
    QCoreApplication::processEvents();
    const QPoint screenCentre = w.screen()->geometry().center();
    const QPoint windowCentre = w.frameGeometry().center();
    EXPECT_LE((screenCentre - windowCentre).manhattanLength(), 2);
}

// A window manager frames the window only after it is shown (openbox: 1 pixel at the
// sides, 20 above, 5 below); the frame, not the window inside it, ends up centred.
TEST(MainWindowTest, CentredWithTheFrameTheWindowManagerReportsLater) {
    static bool framed = false;
    framed = false;
    kormoszi::SetFrameReader(
        [](const QWidget*) { return framed ? QMargins(1, 20, 1, 5) : QMargins(); });
    TfrmMain w;
    w.show();
    framed = true;
    w.update();
    QCoreApplication::processEvents();
    kormoszi::SetFrameReader(nullptr);
    const QRect screen = w.screen()->geometry();
    const QRect frame = w.geometry().adjusted(-1, -20, 1, 5);
    EXPECT_EQ(frame.topLeft(),
              QPoint((screen.width() - frame.width()) / 2, (screen.height() - frame.height()) / 2));
}

// Shrunk as far as it goes, the window still shows both panels whole and a row of words.
TEST(MainWindowTest, TheSmallestWindowHoldsBothPanelsAndARow) {
    TfrmMain w;
    Fill(w.mSzavak, 20);
    ShowActive(w);
    w.resize(100, 248);
    QCoreApplication::processEvents();
    for (QWidget* panel : {w.Panel1, w.Panel2}) {
        EXPECT_TRUE(w.rect().contains(panel->geometry())) << panel->objectName().toStdString();
        for (QWidget* control : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(panel->rect().contains(control->geometry()))
                << control->objectName().toStdString();
    }
    EXPECT_GE(w.gSzo->viewport()->height(), w.gSzo->CellHeight());
}

// Enter presses a focused button of the window, as Space does.
TEST(MainWindowTest, EnterPressesTheFocusedButton) {
    TfrmMain w;
    ShowActive(w);
    for (QPushButton* button : {w.btExit, w.btPath}) {
        button->setFocus();
        kormoszi::testing::DialogAnswer answer(Qt::Key_Escape);  // the window stays
        QTest::keyClick(button, Qt::Key_Return);
        EXPECT_TRUE(answer.Shown) << button->objectName().toStdString();
        EXPECT_TRUE(w.isVisible());
    }
}

TEST(MainWindowTest, KeyboardOrderRunsGridButtonsSelectorSearchBox) {
    TfrmMain w;
    Fill(w.mSzavak, 20);
    w.rgSzam->SetItemIndex(2);
    ShowActive(w);
    EXPECT_EQ(QApplication::focusWidget(), w.gSzo) << "the grid has the focus first";

    auto tab = [](Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
        return QApplication::focusWidget();
    };
    EXPECT_EQ(tab(), w.btExit);
    EXPECT_EQ(tab(), w.btPath);
    EXPECT_EQ(tab(), w.rgSzam->Button(2)) << "the selected item stands for the group";
    EXPECT_EQ(tab(), w.eSzo);
    EXPECT_EQ(tab(), w.gSzo);
    EXPECT_EQ(w.mSzavak.RecordNumber(), 1) << "Tab does not move the cursor";
    EXPECT_EQ(tab(Qt::ShiftModifier), w.eSzo);
    EXPECT_EQ(tab(Qt::ShiftModifier), w.rgSzam->Button(2));
    EXPECT_EQ(tab(Qt::ShiftModifier), w.btPath);
}

TEST(MainWindowTest, LengthSelectorClicksOnlyWhenTheUserPicksAnotherItem) {
    TfrmMain w;
    ShowActive(w);
    // The selector alone: the window's length switch is tested with the program flow.
    QObject::disconnect(w.rgSzam, &kormoszi::TRadioGroup::Click, &w, nullptr);
    int clicks = 0;
    QObject::connect(w.rgSzam, &kormoszi::TRadioGroup::Click, &w, [&] { ++clicks; });
    // Anywhere in the item's place, also right of its caption.
    auto click = [&](int item) {
        QRadioButton* button = w.rgSzam->Button(item);
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                          QPoint(button->width() - 3, button->height() / 2));
    };

    click(2);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(w.rgSzam->ItemIndex(), 2);
    click(2);
    EXPECT_EQ(clicks, 1) << "the selected item again is no change";

    w.rgSzam->SetItemIndex(4);
    EXPECT_EQ(clicks, 1) << "selecting from the program is no click";
    EXPECT_TRUE(w.rgSzam->Button(4)->isChecked());
    EXPECT_FALSE(w.rgSzam->Button(2)->isChecked());

    w.rgSzam->Button(4)->setFocus();
    QTest::keyClick(w.rgSzam->Button(4), Qt::Key_Up);
    EXPECT_EQ(w.rgSzam->ItemIndex(), 3);
    EXPECT_EQ(clicks, 2) << "an arrow key picks the next item";

    w.rgSzam->setEnabled(false);
    click(0);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(w.rgSzam->ItemIndex(), 3);
}

// The wheel turned over any part of the window moves the focused grid; a step that the
// grid cannot take (at the first word) is lost, not turned into anything else.
TEST(MainWindowTest, TheWheelAnywhereOverTheWindowActsOnTheFocusedControl) {
    TfrmMain w;
    ShowActive(w);
    w.mSzavak.CloseTable();
    Fill(w.mSzavak, 20);
    w.gSzo->setFocus();
    auto wheel = [](QWidget* over, int delta) {
        const QPointF at(3, 3);
        QWheelEvent event(at, over->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &event);
    };
    wheel(w.lDarab, -240);
    EXPECT_EQ(w.mSzavak.RecordNumber(), 3);
    wheel(w.rgSzam->Button(2), 120);
    EXPECT_EQ(w.mSzavak.RecordNumber(), 2);
    wheel(w.btExit, -120);
    EXPECT_EQ(w.mSzavak.RecordNumber(), 3);
    wheel(w.eSzo, 480);
    EXPECT_EQ(w.mSzavak.RecordNumber(), 1);
    EXPECT_EQ(w.rgSzam->ItemIndex(), 0);

    w.eSzo->setFocus();
    wheel(w.gSzo->viewport(), -120);
    EXPECT_EQ(w.mSzavak.RecordNumber(), 1) << "the grid moves only while it has the focus";
}

TEST(MainWindowTest, FrameShapeShowsItsBrushAsABandAroundTheSearchBox) {
    TfrmMain w;
    ShowActive(w);
    const QColor face = w.palette().color(QPalette::Button);
    const QColor red(255, 0, 0);
    PaintCounter paints(w.sMod);

    w.sMod->SetBrushColor(red);
    QCoreApplication::processEvents();
    EXPECT_GE(paints.Count, 1);
    const QImage image = w.Panel2->grab().toImage();
    auto at = [&](int x, int y) { return image.pixelColor(x, y); };
    // Left, right, top and bottom: the pen's outline, 3 pixels of brush, then the box.
    EXPECT_EQ(at(4, 104), face);
    EXPECT_EQ(at(164, 104), face);
    EXPECT_EQ(at(84, 84), face);
    EXPECT_EQ(at(84, 123), face);
    for (int d = 0; d < 3; ++d) {
        EXPECT_EQ(at(5 + d, 104), red);
        EXPECT_EQ(at(163 - d, 104), red);
        EXPECT_EQ(at(84, 85 + d), red);
        EXPECT_EQ(at(84, 122 - d), red);
    }
    EXPECT_NE(at(8, 104), red);
    EXPECT_NE(at(84, 88), red);

    // Setting the colour it already has paints nothing: a load sets it for every word.
    paints.Count = 0;
    for (int i = 0; i < 100; ++i)
        w.sMod->SetBrushColor(red);
    QCoreApplication::processEvents();
    EXPECT_EQ(paints.Count, 0);

    w.sMod->SetBrushColor(face);
    QCoreApplication::processEvents();
    const QImage plain = w.Panel2->grab().toImage();
    EXPECT_EQ(plain.pixelColor(6, 104), face);
    EXPECT_EQ(plain.pixelColor(84, 86), face);
}

// A later start finds the first copy and asks for its window; once the first is gone, the
// next start is the first again.
TEST(SingleInstanceTest, ALaterStartFindsTheFirstAndTakesOverOnceItIsGone) {
    if (kormoszi::test::UnderWine())
        GTEST_SKIP() << "under Wine the raise request of a copy in the same process does not "
                        "arrive; two processes, the real case, find each other there";
    const QString name = QStringLiteral("kormoszi-test-%1").arg(QCoreApplication::applicationPid());
    for (int round = 0; round < 2; ++round) {
        auto first = std::make_unique<kormoszi::SingleInstance>(name);
        ASSERT_TRUE(first->IsFirst()) << round;
        EXPECT_FALSE(first->LockFile().isEmpty());
        int raised = 0;
        QObject::connect(first.get(), &kormoszi::SingleInstance::RaiseRequested, [&] { ++raised; });
        EXPECT_FALSE(kormoszi::SingleInstance(name).IsFirst()) << round;
        EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; })) << round;
        if (round == 1)
            QFile::remove(first->LockFile());
    }
}

}  // namespace
