// What a screen reader and a keyboard-only user get from the editor, and how the grid
// paints on a scaled screen.

#include <gtest/gtest.h>

#include "support/text.h"

#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
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

// What the platform's screen-reader bridge is told while an object lives, as if a screen
// reader listened: Qt's own hook, as Qt's own tests use it.
class Announcements {
  public:
    struct Said {
        QAccessible::Role Role;
        std::string Name;
        std::string Description;
        bool Focused;
    };

    Announcements() {
        Instance = this;
        Bridge()->setActive(true);
        QAccessible::installUpdateHandler(&Record);
    }
    ~Announcements() {
        QAccessible::installUpdateHandler(nullptr);
        Bridge()->setActive(false);
        Instance = nullptr;
    }
    // What got the focus since the last call, in order.
    std::vector<Said> TakeFocus() {
        std::vector<Said> focus;
        focus.swap(FFocus);
        return focus;
    }
    std::vector<std::string> TakeFocusNames() {
        std::vector<std::string> names;
        for (const Said& said : TakeFocus())
            names.push_back(said.Name);
        return names;
    }
    // Changes of the focused control's description: a screen reader speaks them.
    int DescriptionChanges = 0;

  private:
    static QPlatformAccessibility* Bridge() {
        return QGuiApplicationPrivate::platformIntegration()->accessibility();
    }
    static void Record(QAccessibleEvent* event) {
        QAccessibleInterface* face = event->accessibleInterface();
        if (Instance == nullptr || face == nullptr)
            return;
        Instance->DescriptionChanges +=
            event->type() == QAccessible::DescriptionChanged && face->state().focused;
        if (event->type() == QAccessible::Focus)
            Instance->FFocus.push_back({face->role(), face->text(QAccessible::Name).toStdString(),
                                        face->text(QAccessible::Description).toStdString(),
                                        face->state().focused != 0});
    }
    static inline Announcements* Instance = nullptr;
    std::vector<Said> FFocus;
};

QAccessible::Role Role(QObject* object) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face != nullptr ? face->role() : QAccessible::NoRole;
}

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
    OnNextDialog([&](QWidget* question) {
        EXPECT_EQ(question->parentWidget(), Window.get()) << "the question belongs to the window";
        QTest::keyClick(question, Qt::Key_I);
    });
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
        EXPECT_EQ(Description(label),
                  QDir::toNativeSeparators(QDir(dir.Path()).canonicalPath()).toStdString());
    }
    QDir::setCurrent(before);
}

// A screen reader follows the keyboard: each move in the list is the focus going to the
// word under the cursor, which tells its place; Tab, INSERT and F2 move the focus
// straight to their control, INSERT and F2 without passing "Kilépés" on the way.
TEST_F(ShownEditor, EveryMoveOfTheFocusIsAnnounced) {
    GameDir dir({{3, {"dob", "c\xE9l", "bab"}}});
    Show(dir);
    // The window is a window, its panels are no windows of their own.
    EXPECT_EQ(Role(Window.get()), QAccessible::Window);
    EXPECT_NE(Role(Window->Panel1), QAccessible::Border);
    EXPECT_NE(Role(Window->Panel2), QAccessible::Border);
    QWidget* grid = Window->gSzo;
    Announcements said;

    QTest::keyClick(grid, Qt::Key_Down);
    const std::vector<Announcements::Said> focus = said.TakeFocus();
    ASSERT_EQ(focus.size(), 1u);
    EXPECT_EQ(focus[0].Role, QAccessible::ListItem);
    EXPECT_EQ(focus[0].Name, "cél, 2. szó, összesen 3");
    EXPECT_TRUE(focus[0].Focused);
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down);  // at the end: nothing moves, nothing is said
    QTest::keyClick(grid, Qt::Key_Home);
    EXPECT_EQ(said.TakeFocusNames(),
              (std::vector<std::string>{"dob, 3. szó, összesen 3", "bab, 1. szó, összesen 3"}));

    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(said.TakeFocusNames(), std::vector<std::string>{"Kilépés"});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(said.TakeFocusNames(), std::vector<std::string>{"Szólista"});

    QTest::keyClick(grid, Qt::Key_Insert);
    std::vector<Announcements::Said> toSearchBox = said.TakeFocus();
    ASSERT_EQ(toSearchBox.size(), 1u);
    EXPECT_EQ(toSearchBox[0].Name, "Keresett szó");
    EXPECT_EQ(toSearchBox[0].Description, "Az új szó: Enter felveszi a listába, Esc elveti");
    QTest::keyClick(Window->eSzo, Qt::Key_Escape);
    EXPECT_EQ(said.TakeFocusNames(), std::vector<std::string>{"Szólista"});

    QTest::keyClick(grid, Qt::Key_F2);
    toSearchBox = said.TakeFocus();
    ASSERT_EQ(toSearchBox.size(), 1u);
    EXPECT_EQ(toSearchBox[0].Name, "Keresett szó");
    EXPECT_EQ(toSearchBox[0].Description,
              "A módosított szó: Enter elfogadja, Esc elveti a módosítást");
    // Qt 6.4 sends a changed description as a reference, which a screen reader cannot
    // speak: nothing that has the focus says anything that way.
    EXPECT_EQ(said.DescriptionChanges, 0);
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
        EXPECT_EQ(picker->parentWidget(), Window.get()) << "the picker belongs to the window";
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
    EXPECT_EQ(opened,
              QDir::toNativeSeparators(QDir(dir.Path() + QStringLiteral("uj")).canonicalPath()));
    EXPECT_EQ(Window->lDarab->text(), U("Szavak száma: 4"));
    EXPECT_EQ(Window->mSzavak.WordText(), "ala");
    QDir::setCurrent(before);
}

// The grid's lines are one device pixel thick at every scale, and each row is painted
// inside its own place: rows are painted one by one as the cursor moves, and a row that
// reached into the line above it would wipe that line out.
TEST(HighDpiTest, GridLinesAreOneDevicePixelAtEveryScale) {
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

    const QColor base = grid.palette().color(QPalette::Active, QPalette::Base);
    const QColor silver(192, 192, 192);
    const QColor line = base == silver ? QColor(128, 128, 128) : silver;
    const QColor black(Qt::black);
    const int wordLeft = TWordGrid::kIndicatorWidth + TWordGrid::kLineWidth;
    const int wordRight = wordLeft + TWordGrid::kWordColumnWidth;
    for (const qreal scale : {1.0, 1.25, 1.5, 2.0}) {
        QImage image((QSizeF(grid.viewport()->size()) * scale).toSize(), QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        grid.viewport()->render(&image);
        const auto device = [scale](int logical) { return qRound(logical * scale); };
        // Device rows (columns) wholly in one colour between two device positions.
        const auto fullRows = [&](int from, int to, int left, int right, const QColor& colour) {
            int rows = 0;
            for (int y = from; y < to; ++y) {
                bool whole = true;
                for (int x = left; x < right && whole; ++x)
                    whole = image.pixelColor(x, y) == colour;
                rows += whole;
            }
            return rows;
        };
        const auto fullColumns = [&](int from, int to, int top, int bottom, const QColor& colour) {
            int columns = 0;
            for (int x = from; x < to; ++x) {
                bool whole = true;
                for (int y = top; y < bottom && whole; ++y)
                    whole = image.pixelColor(x, y) == colour;
                columns += whole;
            }
            return columns;
        };
        for (int row = 0; row < grid.RowCount(); ++row) {
            const int top = grid.RowRect(row).top();
            const int lineY = top + grid.CellHeight();
            // Around the line: from inside the cell above to inside the cell below.
            const int from = device(lineY) - 2, to = device(lineY + 1) + 2;
            EXPECT_EQ(fullRows(from, to, device(wordLeft) + 1, device(wordRight) - 1, line), 1)
                << "scale " << scale << ", line under row " << row;
            EXPECT_EQ(fullRows(from, to, 0, device(TWordGrid::kIndicatorWidth), black), 1)
                << "scale " << scale << ", indicator line under row " << row;
            const int cellTop = device(top) + 1, cellBottom = device(lineY) - 1;
            EXPECT_EQ(fullColumns(device(wordRight) - 2, device(wordRight + 1) + 2, cellTop,
                                  cellBottom, line),
                      1)
                << "scale " << scale << ", right line of row " << row;
            EXPECT_EQ(fullColumns(device(TWordGrid::kIndicatorWidth) - 1, device(wordLeft) + 2,
                                  cellTop, cellBottom, black),
                      1)
                << "scale " << scale << ", indicator line of row " << row;
        }
    }
}

}  // namespace
}  // namespace kormoszi
