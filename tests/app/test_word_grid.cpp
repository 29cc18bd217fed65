#include "app/word_grid.h"

#include <gtest/gtest.h>

#include "app/app_test_support.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using kormoszi::TableState;
using kormoszi::TWordGrid;
using kormoszi::WordTable;
using Glyph = TWordGrid::IndicatorGlyph;

namespace {

using kormoszi::testing::DialogAnswer;

std::string Word(int i) {
    return kormoszi::testing::NumberedWord(i);
}

void Fill(WordTable& table, int count) {
    kormoszi::testing::FillNumbered(table, count);
}

class WordGridTest : public ::testing::Test {
  protected:
    // Fits `rows` whole rows into the grid's viewport.
    void Show(int rows) {
        FHost = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(FHost.get());
        layout->setContentsMargins(0, 0, 0, 0);
        FOther = new QLineEdit(FHost.get());
        FGrid = new TWordGrid(FTable, FHost.get());
        QFont font(QStringLiteral("Sans Serif"));
        font.setPixelSize(19);
        FGrid->setFont(font);
        layout->addWidget(FOther);
        layout->addWidget(FGrid, 1);
        FHost->show();
        SetRows(rows);
        FHost->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FHost.get()));
        FGrid->setFocus();
        QCoreApplication::processEvents();
    }

    void SetRows(int rows) {
        const int extra = FGrid->height() - FGrid->viewport()->height();
        FGrid->setFixedHeight(rows * FGrid->RowPitch() - 1 + extra);
        FHost->adjustSize();
        QCoreApplication::processEvents();
    }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(FGrid, key, modifiers);
    }

    // Sends one wheel turn over the rows; true when the grid took it.
    bool Wheel(int delta) {
        const QPointF at(40, 10);
        QWheelEvent event(at, FGrid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(FGrid->viewport(), &event);
        return event.isAccepted();
    }

    void Click(int row, int x) {
        const QRect r = FGrid->RowRect(row);
        QTest::mouseClick(FGrid->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(x, r.top() + r.height() / 2));
    }

    QImage Picture() const { return FGrid->viewport()->grab().toImage(); }
    QColor Colour(QPalette::ColorRole role, QPalette::ColorGroup group = QPalette::Active) const {
        return FGrid->palette().color(group, role);
    }

    // Which glyph the indicator cell of the row shows, read from its pixels.
    std::string GlyphAt(const QImage& image, int row) const {
        const QRect cell = FGrid->IndicatorRect(row);
        const int left = 3;
        const int top = (2 * (cell.top() + 1) + cell.height() - 2 - 11) / 2;
        auto black = [&](int x, int y) {
            return image.pixelColor(left + x, top + y) == QColor(Qt::black);
        };
        int blackPixels = 0;
        for (int y = 0; y < cell.height(); ++y)
            for (int x = 1; x < cell.width() - 1; ++x)
                if (image.pixelColor(x, cell.top() + y) == QColor(Qt::black))
                    ++blackPixels;
        if (blackPixels == 0)
            return "none";
        auto matches = [&](auto expected) {
            int count = 0;
            for (int y = 0; y < 11; ++y)
                for (int x = 0; x < 6; ++x) {
                    if (black(x, y) != expected(x, y))
                        return false;
                    count += expected(x, y);
                }
            return count == blackPixels;
        };
        if (matches([](int x, int y) { return x <= std::min(y, 10 - y); }))
            return "arrow";
        if (matches([](int x, int y) {
                return (y == 0 || y == 10) ? (x < 2 || x > 3) : (x == 2 || x == 3);
            }))
            return "ibeam";
        if (matches([](int x, int y) {
                return y == 5 || ((y == 4 || y == 6) && (x == 2 || x == 3)) ||
                       ((y == 3 || y == 7) && (x == 1 || x == 4));
            }))
            return "asterisk";
        return "other";
    }

    // The word cell's colour away from the text and the focus frame.
    QColor CellColour(const QImage& image, int row) const {
        const QRect cell = FGrid->WordRect(row);
        return image.pixelColor(cell.right() - 4, cell.top() + 4);
    }

    WordTable FTable;
    std::unique_ptr<QWidget> FHost;
    QLineEdit* FOther = nullptr;
    TWordGrid* FGrid = nullptr;
};

TEST_F(WordGridTest, NavigationKeysMoveTheCursorByRowsPagesAndEnds) {
    Fill(FTable, 500);
    Show(10);
    ASSERT_EQ(FGrid->VisibleRows(), 10);
    const Qt::KeyboardModifiers none, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int record;
    };
    const Step steps[] = {
        {Qt::Key_Up, none, 1},
        {Qt::Key_Down, none, 2},
        {Qt::Key_PageDown, none, 12},
        {Qt::Key_PageUp, none, 2},
        {Qt::Key_PageUp, none, 1},
        {Qt::Key_End, none, 500},
        {Qt::Key_Home, none, 1},
        {Qt::Key_End, ctrl, 500},
        {Qt::Key_Home, ctrl, 1},
        // After End the window holds 491-500; Ctrl goes to its top or bottom row.
        {Qt::Key_End, none, 500},
        {Qt::Key_Up, none, 499},
        {Qt::Key_Up, none, 498},
        {Qt::Key_Up, ctrl, 491},
        {Qt::Key_Down, ctrl, 500},
        {Qt::Key_Up, none, 499},
        {Qt::Key_PageUp, ctrl, 491},
        {Qt::Key_PageDown, ctrl, 500},
        {Qt::Key_Home, none, 1},
        // Keys without a move here; Shift changes nothing.
        {Qt::Key_Left, none, 1},
        {Qt::Key_Right, none, 1},
        {Qt::Key_Right, ctrl, 1},
        {Qt::Key_Escape, none, 1},
        {Qt::Key_Insert, none, 1},
        {Qt::Key_F2, none, 1},
        {Qt::Key_Delete, none, 1},
        {Qt::Key_Return, none, 1},
        {Qt::Key_Backspace, none, 1},
        {Qt::Key_Tab, ctrl, 1},
        {Qt::Key_Down, shift, 2},
        {Qt::Key_PageDown, shift, 12},
        // Down on the last word adds nothing.
        {Qt::Key_End, none, 500},
        {Qt::Key_Down, none, 500},
        {Qt::Key_PageDown, none, 500},
    };
    int index = 0;
    for (const Step& step : steps) {
        Key(step.key, step.modifiers);
        EXPECT_EQ(FTable.RecordNumber(), step.record) << "step " << index++;
    }
    EXPECT_EQ(FTable.CountRecords(), 500);
    EXPECT_EQ(FTable.State(), TableState::Browsing);
    EXPECT_EQ(FTable.WordText(), Word(499));
}

TEST_F(WordGridTest, PageFollowsTheHeightAndIsCutToTheRecordsHeld) {
    Fill(FTable, 500);
    Show(8);
    EXPECT_EQ(FGrid->VisibleRows(), 8);
    EXPECT_EQ(FTable.ViewWindowCount(), 8);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(FTable.RecordNumber(), 9);

    SetRows(15);
    EXPECT_EQ(FGrid->VisibleRows(), 15);
    EXPECT_EQ(FTable.ViewWindowCount(), 15);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(FTable.RecordNumber(), 24);
    EXPECT_EQ(FGrid->ScrollValues().Page, 15);

    // A row cut short at the bottom is not a row shown whole.
    FGrid->setFixedHeight(FGrid->height() + FGrid->RowPitch() - 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(FGrid->VisibleRows(), 15);

    // With fewer words than rows the page is the words held: PageDown ends on the last.
    FTable.CloseTable();
    Fill(FTable, 4);
    EXPECT_EQ(FGrid->RowCount(), 4);
    EXPECT_EQ(FGrid->VisibleRows(), 4);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(FTable.RecordNumber(), 4);
    Key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(FTable.RecordNumber(), 4);
}

TEST_F(WordGridTest, PressesAndTheWheelMoveTheCursor) {
    Fill(FTable, 500);
    Show(10);
    FOther->setFocus();
    Click(2, 5);  // the indicator column of the third row
    EXPECT_EQ(FTable.RecordNumber(), 3);
    EXPECT_TRUE(FGrid->hasFocus()) << "a press takes the focus";
    Click(4, FGrid->viewport()->width() - 2);  // right of the word column
    EXPECT_EQ(FTable.RecordNumber(), 5);
    QTest::mouseClick(FGrid->viewport(), Qt::RightButton, Qt::NoModifier,
                      FGrid->RowRect(0).center());
    EXPECT_EQ(FTable.RecordNumber(), 1);

    // One record per 120 units, toward the user forward; at either end the step moves
    // nothing and goes on to the window.
    EXPECT_FALSE(Wheel(120));
    EXPECT_TRUE(Wheel(-360));
    EXPECT_EQ(FTable.RecordNumber(), 4);
    EXPECT_FALSE(Wheel(60));
    EXPECT_TRUE(Wheel(60));
    EXPECT_EQ(FTable.RecordNumber(), 3);
    Key(Qt::Key_End);
    EXPECT_FALSE(Wheel(-120));
    EXPECT_EQ(FTable.RecordNumber(), 500);
    EXPECT_EQ(FTable.CountRecords(), 500);
    FOther->setFocus();
    EXPECT_FALSE(Wheel(120)) << "the wheel belongs to the focused control";
    EXPECT_EQ(FTable.RecordNumber(), 500);

    // Below the last row of a short list the cursor stays.
    FTable.CloseTable();
    Fill(FTable, 3);
    Click(2, 60);
    EXPECT_EQ(FTable.RecordNumber(), 3);
    Click(6, 60);
    EXPECT_EQ(FTable.RecordNumber(), 3);
}

TEST_F(WordGridTest, CtrlDeleteAsksAndRemovesOnYesOnly) {
    Fill(FTable, 500);
    Show(10);
    std::vector<int> releasedCounts;
    FGrid->OnKeyUp = [&](int key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Delete)
            releasedCounts.push_back(FTable.CountRecords());
    };
    Key(Qt::Key_Down);
    {
        DialogAnswer no(Qt::Key_Escape);
        Key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_TRUE(no.Shown);
        EXPECT_TRUE(no.Text.contains(QString::fromUtf8("Törli a rekordot?")))
            << no.Text.toStdString();
    }
    EXPECT_EQ(FTable.CountRecords(), 500);
    EXPECT_EQ(FTable.WordText(), Word(1));
    {
        DialogAnswer yes(Qt::Key_Return);
        Key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_TRUE(yes.Shown);
    }
    EXPECT_EQ(FTable.CountRecords(), 499);
    EXPECT_EQ(FTable.WordText(), Word(2)) << "the next word becomes current";
    // The window's key-up handler still sees the Delete key, after the deletion.
    EXPECT_EQ(releasedCounts, (std::vector<int>{500, 499}));

    // A plain Delete is the window's business alone.
    kormoszi::testing::ScriptedAnswers none;
    Key(Qt::Key_Delete);
    EXPECT_TRUE(none.Asked.empty());
    EXPECT_EQ(FTable.CountRecords(), 499);
}

TEST_F(WordGridTest, EmptyOpenTableShowsOneHighlightedRowWithTheArrowAndIgnoresMoves) {
    FTable.OpenTable();
    FTable.SortBy("szo");
    Show(10);
    EXPECT_EQ(FGrid->RowCount(), 1);
    const QImage image = Picture();
    EXPECT_EQ(GlyphAt(image, 0), "arrow");
    EXPECT_EQ(CellColour(image, 0), Colour(QPalette::Highlight));
    EXPECT_EQ(CellColour(image, 1), Colour(QPalette::Base));
    EXPECT_EQ(GlyphAt(image, 1), "none");

    kormoszi::testing::ScriptedAnswers none;
    for (Qt::Key key :
         {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End})
        Key(key);
    Key(Qt::Key_Down, Qt::ControlModifier);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_FALSE(Wheel(-120));
    EXPECT_FALSE(Wheel(120));
    Click(0, 60);
    EXPECT_TRUE(none.Asked.empty()) << "Ctrl+Delete asks nothing on an empty table";
    EXPECT_TRUE(FTable.TableEmpty());
    EXPECT_EQ(FTable.State(), TableState::Browsing);
    EXPECT_EQ(FGrid->RowCount(), 1);
    EXPECT_EQ(GlyphAt(Picture(), 0), "arrow");
}

TEST_F(WordGridTest, ClosedTableShowsOneEmptyRowWithoutGlyph) {
    Show(10);
    EXPECT_EQ(FGrid->RowCount(), 1);
    QImage image = Picture();
    EXPECT_EQ(GlyphAt(image, 0), "none");
    EXPECT_EQ(CellColour(image, 0), Colour(QPalette::Base));
    Key(Qt::Key_Down);
    Key(Qt::Key_End);
    Click(0, 60);
    EXPECT_FALSE(Wheel(-120));
    EXPECT_EQ(FTable.State(), TableState::Inactive);

    // Opening lays the grid out again; closing leaves the scroll bar as it was.
    Fill(FTable, 30);
    EXPECT_EQ(FGrid->RowCount(), 10);
    EXPECT_EQ(GlyphAt(Picture(), 0), "arrow");
    Key(Qt::Key_Down);
    const TWordGrid::ScrollInfo open = FGrid->ScrollValues();
    FTable.CloseTable();
    EXPECT_EQ(FGrid->RowCount(), 1);
    EXPECT_EQ(FGrid->ScrollValues(), open);
    image = Picture();
    EXPECT_EQ(GlyphAt(image, 0), "none");
    EXPECT_EQ(CellColour(image, 0), Colour(QPalette::Base));
}

TEST_F(WordGridTest, ScrollBarFollowsRecordNumbersThroughMovesInsertsAndDeletes) {
    Fill(FTable, 500);
    Show(10);
    QScrollBar* bar = FGrid->verticalScrollBar();
    using Info = TWordGrid::ScrollInfo;
    auto expectBar = [&](Info expected) {
        EXPECT_EQ(FGrid->ScrollValues(), expected);
        // Qt counts the bar's maximum as the thumb's last position.
        EXPECT_EQ(bar->minimum(), expected.Min);
        EXPECT_EQ(bar->maximum(), expected.Max - expected.Page + 1);
        EXPECT_EQ(bar->pageStep(), expected.Page);
        EXPECT_EQ(bar->value(), expected.Position);
    };
    expectBar({1, 509, 10, 1});
    Key(Qt::Key_PageDown);
    expectBar({1, 509, 10, 11});
    Key(Qt::Key_End);
    expectBar({1, 509, 10, 500});

    // The record being inserted is not counted, and the position stays.
    Key(Qt::Key_Home);
    Key(Qt::Key_Down);
    FTable.BeginInsert();
    expectBar({1, 509, 10, 2});
    FTable.SetWordText("zzzz");
    FTable.PostRecord();
    expectBar({1, 510, 10, 501});

    {
        DialogAnswer yes(Qt::Key_Return);
        Key(Qt::Key_Delete, Qt::ControlModifier);
    }
    expectBar({1, 509, 10, 500});
    Key(Qt::Key_Home);
    {
        DialogAnswer yes(Qt::Key_Return);
        Key(Qt::Key_Delete, Qt::ControlModifier);
    }
    expectBar({1, 508, 10, 1});
}

TEST_F(WordGridTest, ScrollBarActionsMoveTheCursor) {
    Fill(FTable, 500);
    Show(10);
    QScrollBar* bar = FGrid->verticalScrollBar();
    for (int i = 0; i < 3; ++i)
        Key(Qt::Key_Down);  // record 4, row 3 of records 1-10

    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(FTable.RecordNumber(), 11) << "just below the window";
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(FTable.RecordNumber(), 1) << "just above the top row, which held record 2";
    const int before = FTable.RecordNumber();
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(FTable.RecordNumber(), before + 10);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(FTable.RecordNumber(), before);
    EXPECT_EQ(bar->value(), before) << "the bar shows the record, not its own step";
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(FTable.RecordNumber(), 500);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(FTable.RecordNumber(), 1);

    auto dragTo = [&](int position) {
        bar->setSliderDown(true);
        bar->setSliderPosition(position);
        EXPECT_EQ(FTable.RecordNumber(), 1) << "nothing moves while the thumb is dragged";
        bar->setSliderDown(false);
    };
    dragTo(250);
    EXPECT_EQ(FTable.RecordNumber(), 250);
    EXPECT_EQ(bar->value(), 250);
    Key(Qt::Key_Home);
    dragTo(500);
    EXPECT_EQ(FTable.RecordNumber(), 500);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    bar->setValue(77);  // "scroll here" from the bar's own menu
    EXPECT_EQ(FTable.RecordNumber(), 77);
}

TEST_F(WordGridTest, GlyphsHighlightAndFocusFrameFollowTheTableAndTheFocus) {
    Fill(FTable, 500);
    Show(10);
    QImage image = Picture();
    EXPECT_EQ(GlyphAt(image, 0), "arrow");
    for (int row = 1; row < 10; ++row)
        EXPECT_EQ(GlyphAt(image, row), "none") << row;
    // The dotted focus frame along the current cell's top edge, only while focused; the
    // highlight stays.
    auto frameDots = [&](const QImage& picture) {
        const QRect cell = FGrid->WordRect(FGrid->CurrentRow());
        int dots = 0;
        for (int x = cell.left(); x <= cell.right(); ++x)
            dots += picture.pixelColor(x, cell.top()) == Colour(QPalette::HighlightedText);
        return dots;
    };
    EXPECT_GT(frameDots(image), 40);
    FOther->setFocus();
    image = Picture();
    EXPECT_EQ(frameDots(image), 0);
    EXPECT_EQ(CellColour(image, 0), Colour(QPalette::Highlight));

    // Inserting: the grid is disabled first; the new row follows the last word of the
    // window and carries the asterisk; every word is grey.
    FGrid->setEnabled(false);
    FTable.BeginInsert();
    ASSERT_EQ(FGrid->CurrentRow(), 9);
    EXPECT_EQ(FTable.ViewWindowWord(8), Word(499));
    image = Picture();
    EXPECT_EQ(GlyphAt(image, 9), "asterisk");
    EXPECT_EQ(GlyphAt(image, 0), "none");
    EXPECT_EQ(CellColour(image, 9), Colour(QPalette::Highlight));
    auto darkest = [&](int row) {
        const QRect cell = FGrid->WordRect(row).adjusted(1, 1, -1, -1);
        int value = 255;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                value = std::min(value, image.pixelColor(x, y).value());
        return value;
    };
    EXPECT_EQ(darkest(0), Colour(QPalette::Text, QPalette::Disabled).value());
    FTable.CancelRecord();
    FGrid->setEnabled(true);

    FGrid->setEnabled(false);
    FTable.BeginEdit();
    image = Picture();
    EXPECT_EQ(GlyphAt(image, FGrid->CurrentRow()), "ibeam");
    FTable.CancelRecord();
    FGrid->setEnabled(true);
    image = Picture();
    EXPECT_EQ(GlyphAt(image, FGrid->CurrentRow()), "arrow");
    EXPECT_EQ(darkest(0), Colour(QPalette::Text).value());
}

TEST_F(WordGridTest, ShiftedRowsLookLikeAFullRepaint) {
    Fill(FTable, 500);
    Show(10);
    QScreen* screen = FHost->screen();
    const QPoint origin = FGrid->viewport()->mapTo(FHost.get(), QPoint(0, 0));
    const QSize size = FGrid->viewport()->size();
    // What the window shows after painting only what each step invalidated, against the
    // grid painted whole.
    auto check = [&](const std::string& step) {
        const QImage shown =
            screen->grabWindow(FHost->winId(), origin.x(), origin.y(), size.width(), size.height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        const QImage fresh = Picture().convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(shown == fresh) << step;
    };
    auto step = [&](Qt::Key key, Qt::KeyboardModifiers modifiers, const std::string& name) {
        Key(key, modifiers);
        QCoreApplication::processEvents();
        check(name);
    };
    check("start");
    for (int i = 0; i < 12; ++i)
        step(Qt::Key_Down, Qt::NoModifier, "down " + std::to_string(i));
    step(Qt::Key_PageDown, Qt::NoModifier, "page down");
    step(Qt::Key_Down, Qt::ControlModifier, "to the bottom row");
    for (int i = 0; i < 12; ++i)
        step(Qt::Key_Up, Qt::NoModifier, "up " + std::to_string(i));
    step(Qt::Key_PageUp, Qt::NoModifier, "page up");
    EXPECT_TRUE(Wheel(-120));
    QCoreApplication::processEvents();
    check("wheel");
    // Two moves before the next paint.
    Key(Qt::Key_Down, Qt::ControlModifier);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    QCoreApplication::processEvents();
    check("two rows at once");
}

TEST_F(WordGridTest, KeysReachTheWindowHandlersAtTheirPlaces) {
    Fill(FTable, 50);
    Show(10);
    std::vector<std::string> calls;
    FGrid->OnKeyPress = [&](QChar& key) {
        calls.push_back("press " + QString(key).toStdString() + " at " +
                        std::to_string(FTable.RecordNumber()));
        if (key == QLatin1Char('x'))
            key = QChar(0);
    };
    FGrid->OnKeyUp = [&](int key, Qt::KeyboardModifiers modifiers) {
        calls.push_back("up " + std::to_string(key) +
                        (modifiers & Qt::ControlModifier ? " ctrl" : "") + " at " +
                        std::to_string(FTable.RecordNumber()));
    };
    Key(Qt::Key_Down);
    QTest::keyClick(FGrid, 'a');
    QTest::keyClick(FGrid, 'x');
    Key(Qt::Key_Down, Qt::ControlModifier);
    // Auto-repeat: two presses, the release between them does not count.
    QTest::sendKeyEvent(QTest::Press, FGrid, Qt::Key_Down, QString(), Qt::NoModifier);
    QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(FGrid, &repeatRelease);
    QKeyEvent repeatPress(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(FGrid, &repeatPress);
    QTest::sendKeyEvent(QTest::Release, FGrid, Qt::Key_Down, QString(), Qt::NoModifier);
    // An accented letter arrives as itself.
    QTest::sendKeyEvent(QTest::Click, FGrid, Qt::Key_unknown, QString::fromUtf8("ő"),
                        Qt::NoModifier);
    // A dead key types nothing; the letter composed with it, like one an input method
    // commits, comes as an input-method event, which the grid asks for.
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(FGrid, &query);
    EXPECT_TRUE(query.value(Qt::ImEnabled).toBool());
    QTest::sendKeyEvent(QTest::Click, FGrid, Qt::Key_Dead_Doubleacute, QString(), Qt::NoModifier);
    QInputMethodEvent composed;
    composed.setCommitString(QString::fromUtf8("ő"));
    QApplication::sendEvent(FGrid, &composed);

    const std::vector<std::string> expected = {
        "up " + std::to_string(Qt::Key_Down) + " at 2",
        "press a at 2",
        "up " + std::to_string(Qt::Key_A) + " at 2",
        "press x at 2",
        "up " + std::to_string(Qt::Key_X) + " at 2",
        "up " + std::to_string(Qt::Key_Down) + " ctrl at 10",
        "up " + std::to_string(Qt::Key_Control) + " at 10",
        "up " + std::to_string(Qt::Key_Down) + " at 12",
        "press ő at 12",
        "up " + std::to_string(Qt::Key_unknown) + " at 12",
        "up " + std::to_string(Qt::Key_Dead_Doubleacute) + " at 12",
        "press ő at 12",
    };
    EXPECT_EQ(calls, expected);
}

TEST_F(WordGridTest, LeavingTheGridDropsAnUntouchedNewRecord) {
    Fill(FTable, 20);
    Show(10);
    FTable.BeginInsert();
    FOther->setFocus();
    EXPECT_EQ(FTable.State(), TableState::Browsing);
    EXPECT_EQ(FTable.CountRecords(), 20);

    // A new record that was written to stays.
    FGrid->setFocus();
    FTable.BeginInsert();
    FTable.SetWordText("abcd");
    FOther->setFocus();
    EXPECT_EQ(FTable.State(), TableState::Inserting);
    FTable.CancelRecord();

    // Disabling the focused grid takes its focus while the table still browses.
    FGrid->setFocus();
    FGrid->setEnabled(false);
    EXPECT_FALSE(FGrid->hasFocus());
    EXPECT_EQ(FTable.State(), TableState::Browsing);
}

}  // namespace
