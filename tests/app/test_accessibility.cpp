// What a screen reader and a keyboard-only user get from the editor, and how the grid
// paints on a scaled screen.

#include <gtest/gtest.h>

#include "support/text.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "app/app_test_support.h"
#include "app/fMain.h"
#include "platform/message_dialog.h"
#include "settings/directory_list.h"
#include "settings/select_dir_dialog.h"

namespace kormoszi {
namespace {

using testing::AnswerNextDialog;
using testing::GameDir;
using testing::OnNextDialog;

using kormoszi::testing::U;

// What a screen reader is told, in UTF-8.
std::string Said(QObject* object, QAccessible::Text what) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face != nullptr ? face->text(what).toStdString() : std::string();
}

std::string Name(QObject* object) {
    return Said(object, QAccessible::Name);
}

std::string Description(QObject* object) {
    return Said(object, QAccessible::Description);
}

// Every control a person can reach with Tab or the arrows says what it is.
void ExpectNamedFocusStops(QWidget* window) {
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->focusPolicy() == Qt::NoFocus || !child->isVisibleTo(window))
            continue;
        EXPECT_FALSE(Name(child).empty())
            << child->metaObject()->className() << " " << child->objectName().toStdString();
    }
}

using testing::ShownEditor;

TEST(AccessibilityTest, EveryControlOfTheWindowHasAHungarianNameAndDescription) {
    TfrmMain w;
    QWidget* controls[] = {&w, w.rgSzam, w.sMod, w.eSzo, w.gSzo, w.lDarab, w.btPath, w.btExit};
    for (QWidget* control : controls) {
        EXPECT_FALSE(Name(control).empty()) << control->objectName().toStdString();
        EXPECT_FALSE(Description(control).empty()) << control->objectName().toStdString();
    }
    for (int i = 0; i < w.rgSzam->Count(); ++i) {
        EXPECT_EQ(Name(w.rgSzam->Button(i)), std::to_string(i + 3) + " betűs szavak");
        EXPECT_FALSE(Description(w.rgSzam->Button(i)).empty());
    }
    EXPECT_EQ(Name(w.gSzo), "Szólista");
    EXPECT_EQ(Name(w.eSzo), "Keresett szó");
    EXPECT_EQ(Name(w.sMod), "Szerkesztési mód");
    EXPECT_EQ(Name(w.btPath), "Útvonal");
    // The count label is read as it shows.
    w.lDarab->setText(U("Szavak száma: 12"));
    EXPECT_EQ(Name(w.lDarab), "Szavak száma: 12");
    EXPECT_EQ(Description(w.gSzo), "Nincs betöltött szólista");
    ExpectNamedFocusStops(&w);
}

TEST_F(ShownEditor, GridAndFrameTellTheCursorAndWhetherAWordIsInsertedOrChanged) {
    GameDir dir({{3, {"dob", "c\xE9l", "bab"}}});
    Show(dir);
    QWidget* grid = Window->gSzo;
    EXPECT_EQ(Description(grid), "bab, 1. szó, összesen 3");
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(Description(grid), "cél, 2. szó, összesen 3");
    EXPECT_EQ(Description(Window->sMod), "Keresés");

    QTest::keyClick(grid, Qt::Key_Insert);
    ASSERT_TRUE(Window->eSzo->hasFocus());
    EXPECT_EQ(Description(grid), "Új szó beszúrása");
    EXPECT_EQ(Description(Window->sMod), "Új szó beszúrása (piros keret)");
    EXPECT_NE(Description(Window->eSzo).find("Enter"), std::string::npos);
    QTest::keyClick(Window->eSzo, Qt::Key_Escape);  // the cursor goes to the last word
    EXPECT_EQ(Description(Window->sMod), "Keresés");
    EXPECT_EQ(Description(grid), "dob, 3. szó, összesen 3");

    QTest::keyClick(grid, Qt::Key_F2);
    EXPECT_EQ(Description(Window->sMod), "Szó módosítása (kék keret)");
    QTest::keyClicks(Window->eSzo, "cod");
    QTest::keyClick(Window->eSzo, Qt::Key_Return);
    EXPECT_EQ(Description(Window->sMod), "Keresés");
    EXPECT_EQ(Description(grid), "cod, 3. szó, összesen 3");

    QTest::keyClick(grid, Qt::Key_Home);
    AnswerNextDialog(Qt::Key_I);
    QTest::keyClick(grid, Qt::Key_Delete);
    EXPECT_EQ(Description(grid), "cél, 1. szó, összesen 2");
}

TEST(AccessibilityTest, DialogsNameTheirControlsAndTellTheQuestion) {
    std::string description, image;
    OnNextDialog([&](QWidget* dialog) {
        description = Description(dialog);
        if (auto* icon = dialog->findChild<QWidget*>(QStringLiteral("Image")))
            image = Name(icon);
        ExpectNamedFocusStops(dialog);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    ShowMessageDialog(U("Menti a változtatásokat?"), MessageType::Confirmation,
                      MessageButton::Yes | MessageButton::No);
    EXPECT_EQ(description, "Menti a változtatásokat?");
    EXPECT_EQ(image, "Kérdés");

    const QString before = QDir::currentPath();
    GameDir dir;
    {
        TSelectDirDlg picker;
        picker.ApplyInitialDir(dir.Path());
        ExpectNamedFocusStops(&picker);
        auto* label = picker.findChild<QWidget*>(QStringLiteral("DirLabel"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(Name(label), "Kiválasztott könyvtár");
        EXPECT_EQ(Description(label), QDir(dir.Path()).canonicalPath().toStdString());
    }
    QDir::setCurrent(before);
}

// Tab to "Útvonal", Space, the arrows and Space in the directory list, Enter: a new game
// directory without touching the mouse.
TEST_F(ShownEditor, TheGameDirectoryIsChosenFromTheKeyboardAlone) {
    const QString before = QDir::currentPath();
    GameDir dir({{3, {"bab", "dob"}}});
    ASSERT_TRUE(QDir(dir.Path()).mkdir(QStringLiteral("uj")));
    {
        QFile words(dir.Path() + QStringLiteral("uj/len3.txt"));
        ASSERT_TRUE(words.open(QIODevice::WriteOnly));
        words.write("alaegyfelhaz");
    }
    Show(dir);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Window->btPath);

    QString opened;
    OnNextDialog([&](QWidget* picker) {
        auto* list = picker->findChild<TDirectoryListBox*>();
        // The dialog takes the keyboard once it is active, which a slow run sees later.
        const bool ready = list != nullptr && QTest::qWaitForWindowActive(picker) &&
                           QTest::qWaitFor([list] { return list->hasFocus(); });
        if (!ready) {
            ADD_FAILURE() << "the directory list never got the keyboard";
            QTest::keyClick(picker, Qt::Key_Escape);
            return;
        }
        QTest::keyClick(list, Qt::Key_Down);  // from the opened directory to "uj"
        QTest::keyClick(list, Qt::Key_Space);
        opened = list->Directory();
        AnswerNextDialog(Qt::Key_N);  // the words of the old directory stay unsaved
        QTest::keyClick(list, Qt::Key_Return);
    });
    QTest::keyClick(Window->btPath, Qt::Key_Space);
    EXPECT_EQ(opened, QDir(dir.Path() + QStringLiteral("uj")).canonicalPath());
    EXPECT_EQ(Window->lDarab->text(), U("Szavak száma: 4"));
    EXPECT_EQ(Window->mSzavak.WordText(), "ala");
    QDir::setCurrent(before);
}

// Rows are painted one by one as the cursor moves: on a screen scaled by two, nothing of
// a row may reach into the line above it, which is not painted again.
TEST(HighDpiTest, AScaledGridPaintsEveryRowInsideItsOwnPlace) {
    WordTable table;
    testing::FillNumbered(table, 7);  // a000 ... a006
    TWordGrid grid(table);
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(19);
    grid.setFont(font);
    grid.resize(171, 8 * grid.RowPitch());
    testing::ShowActive(grid);
    grid.setFocus();
    table.MoveBy(3);

    constexpr int kScale = 2;
    QImage image(grid.viewport()->size() * kScale, QImage::Format_RGB32);
    image.setDevicePixelRatio(kScale);
    grid.viewport()->render(&image);

    const QColor base = grid.palette().color(QPalette::Active, QPalette::Base);
    const QColor silver(192, 192, 192);
    const QColor line = base == silver ? QColor(128, 128, 128) : silver;
    const int wordLeft = TWordGrid::kIndicatorWidth + TWordGrid::kLineWidth;
    for (int row = 0; row < grid.RowCount(); ++row) {
        const int lineY = grid.RowRect(row).top() + grid.CellHeight();
        for (int y = lineY * kScale; y < (lineY + 1) * kScale; ++y) {
            int wrong = 0;
            for (int x = 0; x < TWordGrid::kIndicatorWidth * kScale; ++x)
                wrong += image.pixelColor(x, y) != QColor(Qt::black);
            for (int x = wordLeft * kScale; x < (wordLeft + TWordGrid::kWordColumnWidth) * kScale;
                 ++x)
                wrong += image.pixelColor(x, y) != line;
            EXPECT_EQ(wrong, 0) << "line under row " << row << ", device row " << y;
        }
    }
}

}  // namespace
}  // namespace kormoszi
