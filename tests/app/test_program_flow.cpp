// The editor end to end: the real window, real key and mouse events, the real dialogs
// answered as a person would, and word files on disk.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/test_file_helpers.h"
#include "support/text.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <filesystem>

#include "app/app_test_support.h"
#include "app/fMain.h"
#include "settings/directory_list.h"
#include "support/words_in_order.h"

namespace kormoszi {
namespace {

using testing::AnswerNextDialog;
using testing::GameDir;
using testing::OnNextDialog;
using Words = std::vector<std::string>;

using kormoszi::testing::U;

// Windows-1250 bytes of a UTF-8 literal.
std::string W(const char* utf8) {
    std::string out;
    for (QChar c : U(utf8)) {
        const char16_t u = c.unicode();
        static const QString accents = U("áéíóöőúüűÁÉÍÓÖŐÚÜŰ");
        static const char bytes[] =
            "\xE1\xE9\xED\xF3\xF6\xF5\xFA\xFC\xFB\xC1\xC9\xCD\xD3\xD6\xD5\xDA\xDC\xDB";
        const auto i = accents.indexOf(c);
        out.push_back(i >= 0 ? bytes[i] : static_cast<char>(u));
    }
    return out;
}

std::string Join(const Words& words) {
    std::string all;
    for (const auto& w : words)
        all += w;
    return all;
}

// Types text into a widget key by key; accented letters as the keyboard sends them.
void Type(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 128 && c.isLetterOrNumber())
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Answers the next question with a key, then reads and closes the error box it leads to.
void AnswerThenReadErrorBox(Qt::Key answer, QString* error) {
    OnNextDialog([answer, error](QWidget* question) {
        OnNextDialog([error](QWidget* box) {
            if (auto* message = qobject_cast<QMessageBox*>(box))
                *error = message->text();
            QTest::keyClick(box, Qt::Key_Return);
        });
        QTest::keyClick(question, answer);
    });
}

// The window shown on a game directory, with the answers to the questions that showing
// it asks queued beforehand.
class Editor : public testing::ShownEditor {
  protected:
    std::string Current() { return Window->mSzavak.WordText(); }
    Words Listed() { return testing::WordsInOrder(Window->mSzavak); }
    // INSERT, the word typed into the search box, Enter: as a person adds a word.
    void InsertWord(const QString& word) {
        QTest::keyClick(Window->gSzo, Qt::Key_Insert);
        Type(Window->eSzo, word);
        QTest::keyClick(Window->eSzo, Qt::Key_Return);
    }
    void SwitchTo(int n, Qt::Key answer, QString* question = nullptr) {
        AnswerNextDialog(answer, question);
        QRadioButton* item = Window->rgSzam->Button(n - 3);
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(5, item->height() / 2));
        WaitActive();
    }
    // After a dialog the window gets the keyboard back a moment later.
    void WaitActive() { ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get())); }
    QColor Frame() const { return Window->sMod->BrushColor(); }
    QColor ButtonFace() const { return Window->palette().color(QPalette::Button); }
};

TEST_F(Editor, TheTypicalEditFromSearchToSavingOnALengthSwitch) {
    GameDir dir({{3, {"aaa"}},
                 {5, {W("kérés"), "almaf", W("kések"), W("kéreg"), "zebra", "kalap"}},
                 {6, {W("kenyér"), "asztal"}}});
    Show(dir);
    SwitchTo(5, Qt::Key_N);
    EXPECT_EQ(Window->lDarab->text(), U("Szavak száma: 6"));
    ASSERT_TRUE(Window->gSzo->hasFocus());

    Type(Window->gSzo, U("k"));
    EXPECT_EQ(Current(), "kalap");
    Type(Window->gSzo, U("é"));
    EXPECT_EQ(Window->eSzo->text(), U("ké"));
    EXPECT_EQ(Current(), W("kéreg"));

    QTest::keyClick(Window->gSzo, Qt::Key_Insert);
    EXPECT_FALSE(Window->gSzo->isEnabled());
    EXPECT_FALSE(Window->rgSzam->isEnabled());
    EXPECT_EQ(Frame(), QColor(255, 0, 0));
    EXPECT_TRUE(Window->eSzo->hasFocus());
    EXPECT_EQ(Window->eSzo->text(), QString());
    Type(Window->eSzo, U("kérem"));
    QTest::keyClick(Window->eSzo, Qt::Key_Return);
    EXPECT_EQ(Current(), W("kérem"));
    EXPECT_EQ(Frame(), ButtonFace());
    EXPECT_TRUE(Window->gSzo->isEnabled());
    EXPECT_TRUE(Window->gSzo->hasFocus());
    EXPECT_EQ(Window->eSzo->text(), QString());

    QString question;
    SwitchTo(6, Qt::Key_I, &question);
    EXPECT_EQ(question, U("Menti a változtatásokat?"));
    EXPECT_EQ(dir.Read(5),
              Join({"almaf", "kalap", W("kéreg"), W("kérem"), W("kérés"), W("kések"), "zebra"}));
    EXPECT_EQ(Listed(), (Words{"asztal", W("kenyér")}));
    EXPECT_EQ(Window->eSzo->maxLength(), 6);
}

TEST_F(Editor, TypeToSearchNarrowsFromTheStartAndEmptiesOnAnEmptyList) {
    GameDir dir({{3, {"bcd", "abd", "aaa", "abc"}}, {4, {}}});
    Show(dir);
    Type(Window->gSzo, U("a"));
    EXPECT_EQ(Current(), "aaa");
    Type(Window->gSzo, U("b"));
    EXPECT_EQ(Current(), "abc");
    Type(Window->gSzo, U("x"));
    EXPECT_EQ(Current(), "bcd");
    EXPECT_EQ(Window->eSzo->text(), U("abx"));
    Type(Window->gSzo, U("a"));  // the box already holds N letters
    EXPECT_EQ(Window->eSzo->text(), U("abx"));

    QTest::keyClick(Window->gSzo, Qt::Key_Backspace);
    EXPECT_EQ(Window->eSzo->text(), QString());
    EXPECT_EQ(Current(), "bcd");
    Type(Window->gSzo, U("7 "));
    EXPECT_EQ(Window->eSzo->text(), QString());

    SwitchTo(4, Qt::Key_N);
    EXPECT_EQ(Window->lDarab->text(), U("Szavak száma: 0"));
    Type(Window->gSzo, U("ab"));
    EXPECT_EQ(Window->eSzo->text(), QString());
    QTest::keyClick(Window->gSzo, Qt::Key_Delete);  // nothing to delete, nothing asked
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Editor, InsertLowersOnlyEnglishCapitalsAndChecksTheLength) {
    GameDir dir({{3, {"abc"}}, {4, {"kert", "alma"}}});
    Show(dir);
    SwitchTo(4, Qt::Key_N);

    InsertWord(U("ÁRok"));
    EXPECT_EQ(Current(), W("Árok"));
    EXPECT_EQ(Listed(), (Words{"alma", W("Árok"), "kert"}));  // Á sorts with A

    // A word of the wrong length keeps the edit, the red frame and the text. The Enter
    // that closes the warning is released in the search box and must not bring the
    // warning back.
    QTest::keyClick(Window->gSzo, Qt::Key_Insert);
    Type(Window->eSzo, U("ab"));
    QString warning;
    OnNextDialog([&](QWidget* dialog) {
        warning =
            dialog->findChild<QWidget*>(QStringLiteral("Message"))->property("text").toString();
        QTest::sendKeyEvent(QTest::Press, dialog, Qt::Key_Return, QStringLiteral("\r"),
                            Qt::NoModifier);
    });
    QTest::keyClick(Window->eSzo, Qt::Key_Return);
    EXPECT_EQ(warning, U("A szó nem 4 betűs!"));
    QTest::sendKeyEvent(QTest::Release, Window->eSzo, Qt::Key_Return, QStringLiteral("\r"),
                        Qt::NoModifier);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(Window->mSzavak.State(), TableState::Inserting);
    EXPECT_EQ(Frame(), QColor(255, 0, 0));
    EXPECT_EQ(Window->eSzo->text(), U("ab"));

    // Esc on the warning does not throw the word away either.
    OnNextDialog([&](QWidget* dialog) {
        QTest::sendKeyEvent(QTest::Press, dialog, Qt::Key_Escape, QString(), Qt::NoModifier);
    });
    QTest::keyClick(Window->eSzo, Qt::Key_Return);
    QTest::sendKeyEvent(QTest::Release, Window->eSzo, Qt::Key_Escape, QString(), Qt::NoModifier);
    EXPECT_EQ(Window->mSzavak.State(), TableState::Inserting);
    EXPECT_EQ(Window->eSzo->text(), U("ab"));

    // Only characters a word file can hold get into the box.
    Type(Window->eSzo, U("жñ"));
    EXPECT_EQ(Window->eSzo->text(), U("ab"));

    QTest::keyClick(Window->eSzo, Qt::Key_Escape);
    WaitActive();
    EXPECT_EQ(Window->mSzavak.State(), TableState::Browsing);
    EXPECT_EQ(Frame(), ButtonFace());
    EXPECT_TRUE(Window->gSzo->hasFocus());
    EXPECT_EQ(Window->mSzavak.CountRecords(), 3);
    EXPECT_EQ(Current(), "kert");  // the last word
}

TEST_F(Editor, F2ChangesTheWordAndDeleteAsksFirst) {
    GameDir dir({{3, {"abc"}}, {4, {"kert", "alma", "zaba"}}});
    Show(dir);
    SwitchTo(4, Qt::Key_N);
    Type(Window->gSzo, U("ke"));
    ASSERT_EQ(Current(), "kert");

    QTest::keyClick(Window->gSzo, Qt::Key_F2);
    EXPECT_EQ(Frame(), QColor(0, 0, 255));
    EXPECT_EQ(Window->eSzo->text(), U("kert"));
    EXPECT_EQ(Window->eSzo->selectedText(), U("kert"));
    Type(Window->eSzo, U("kész"));
    QTest::keyClick(Window->eSzo, Qt::Key_Return);
    EXPECT_EQ(Current(), W("kész"));
    EXPECT_EQ(Listed(), (Words{"alma", W("kész"), "zaba"}));

    Type(Window->gSzo, U("z"));
    QString question;
    AnswerNextDialog(Qt::Key_N, &question);
    QTest::keyClick(Window->gSzo, Qt::Key_Delete);
    EXPECT_EQ(question, U("Törli a rekordot?"));
    EXPECT_EQ(Window->mSzavak.CountRecords(), 3);
    AnswerNextDialog(Qt::Key_I);
    QTest::keyClick(Window->gSzo, Qt::Key_Delete);
    EXPECT_EQ(Listed(), (Words{"alma", W("kész")}));
}

TEST_F(Editor, MissingWordFileAsksWithItsFullPath) {
    GameDir dir;
    QString question;
    AnswerNextDialog(Qt::Key_N, &question);
    Show(dir);
    EXPECT_EQ(question, U("A fájl (") + dir.Path() +
                            U("len3.txt) nem található.\rKiválasztja a "
                              "Tormolag könyvtárát?"));
    EXPECT_TRUE(Window->mSzavak.TableEmpty());
    EXPECT_EQ(Window->lDarab->text(), U("Szavak száma: 0"));

    // Another length loads and shows that length, without offering to save the empty list.
    dir.Write(4, {"alma"});
    QTest::mouseClick(Window->rgSzam->Button(1), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(Current(), "alma");
    EXPECT_EQ(Window->lDarab->text(), U("Szavak száma: 1"));
}

TEST_F(Editor, ChoosingADirectoryAfterTheQuestionNeverWritesAnEmptyListOverAFile) {
    GameDir empty, words({{3, {"bbb", "aaa"}}});
    const std::string before = words.Read(3);
    // The picker leaves the process in the directory it opened, which goes away with the
    // test.
    struct RestoreDirectory {
        QString saved = QDir::currentPath();
        ~RestoreDirectory() { QDir::setCurrent(saved); }
    } restore;
    // Yes to the question, then the picker: open the other directory and press OK.
    OnNextDialog([&](QWidget* question) {
        OnNextDialog([&](QWidget* picker) {
            picker->findChild<TDirectoryListBox*>(QStringLiteral("DirList"))
                ->OpenDirectory(words.Path().chopped(1));
            QTest::keyClick(picker, Qt::Key_Return);
        });
        QTest::keyClick(question, Qt::Key_I);
    });
    Show(empty);
    EXPECT_EQ(Listed(), (Words{"aaa", "bbb"}));
    EXPECT_EQ(words.Read(3), before);
    EXPECT_EQ(SettingsStore().ReadSetting("Common", "Path", QString()), words.Path());
    EXPECT_EQ(Window->rgSzam->ItemIndex(), 0);
}

// The save question of a directory change writes the words back where they came from,
// never over the new directory's file of the same length.
TEST_F(Editor, DirectoryChangeSavesTheWordsWhereTheyCameFrom) {
    GameDir oldDir({{3, {"aaa"}}}), newDir({{3, {"bbb"}}});
    struct RestoreDirectory {
        QString saved = QDir::currentPath();
        ~RestoreDirectory() { QDir::setCurrent(saved); }
    } restore;
    Show(oldDir);
    InsertWord(U("ccc"));
    WaitActive();

    OnNextDialog([&](QWidget* picker) {
        AnswerNextDialog(Qt::Key_I);
        picker->findChild<TDirectoryListBox*>(QStringLiteral("DirList"))
            ->OpenDirectory(newDir.Path().chopped(1));
        QTest::keyClick(picker, Qt::Key_Return);
    });
    QTest::mouseClick(Window->btPath, Qt::LeftButton);
    EXPECT_EQ(oldDir.Read(3), "aaaccc");
    EXPECT_EQ(newDir.Read(3), "bbb");
    EXPECT_EQ(Listed(), (Words{"bbb"}));
}

// What a failed read left in the table is only part of the file: the next switch does
// not offer to save it over the whole dictionary. Words typed into it are never dropped
// silently: a Yes fails as a failed save does, with the error that stopped the load.
TEST_F(Editor, APartlyReadListIsNeverSavedOverItsFile) {
    GameDir dir({{3, {"abc"}}});
    // More words than the editor takes: refused before anything is read.
    dir.WriteBytes(4, std::string());
    const qint64 size = 4 * (qint64{8} << 20) + 64;
    std::filesystem::resize_file(dir.File(4), static_cast<std::uintmax_t>(size));
    Show(dir);
    QString error;
    AnswerThenReadErrorBox(Qt::Key_N, &error);
    QTest::mouseClick(Window->rgSzam->Button(1), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(error, U("I/O error 27."));
    // A word begun and cancelled is no word typed.
    QTest::keyClick(Window->gSzo, Qt::Key_Insert);
    QTest::keyClick(Window->eSzo, Qt::Key_Escape);
    ASSERT_EQ(Window->mSzavak.State(), TableState::Browsing);

    {
        testing::ScriptedAnswers none;
        QTest::mouseClick(Window->rgSzam->Button(0), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_TRUE(none.Asked.empty());
    }
    EXPECT_EQ(QFile(QString::fromStdString(dir.File(4))).size(), size);
    EXPECT_EQ(Current(), "abc");

    // Once more, and a word typed into the empty list: now the switch asks, and its Yes
    // fails with the error of the load and stops the switch.
    AnswerThenReadErrorBox(Qt::Key_I, &error);
    QTest::mouseClick(Window->rgSzam->Button(1), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(error, U("I/O error 27."));
    InsertWord(U("alma"));
    error.clear();
    AnswerThenReadErrorBox(Qt::Key_I, &error);
    QTest::mouseClick(Window->rgSzam->Button(0), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(error, U("I/O error 27."));
    EXPECT_EQ(Window->rgSzam->ItemIndex(), 1) << "the selector goes back";
    EXPECT_EQ(Window->eSzo->maxLength(), 4);
    EXPECT_EQ(Listed(), (Words{"alma"}));

    // Yes on exit fails the same way and keeps the window; No still closes.
    error.clear();
    AnswerThenReadErrorBox(Qt::Key_I, &error);
    QTest::mouseClick(Window->btExit, Qt::LeftButton);
    EXPECT_EQ(error, U("I/O error 27."));
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(Listed(), (Words{"alma"}));
    AnswerNextDialog(Qt::Key_N);
    QTest::mouseClick(Window->btExit, Qt::LeftButton);
    EXPECT_FALSE(Window->isVisible());
    EXPECT_EQ(QFile(QString::fromStdString(dir.File(4))).size(), size);
}

// An arrow key in the selector chooses the length as a click does, and the keys after it
// work the grid: End goes to the last word, a further arrow moves the cursor.
TEST_F(Editor, ALengthChosenWithTheArrowKeysHandsTheGridTheFocus) {
    GameDir dir({{3, {"abc"}}, {4, {"alma", "kert", "zaba"}}});
    Show(dir);
    Window->rgSzam->Button(0)->setFocus();
    AnswerNextDialog(Qt::Key_N);
    QTest::keyClick(Window->rgSzam->Button(0), Qt::Key_Down);
    WaitActive();
    EXPECT_EQ(Window->rgSzam->ItemIndex(), 1);
    ASSERT_EQ(QApplication::focusWidget(), Window->gSzo);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    EXPECT_EQ(Current(), "zaba");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(Current(), "kert");
    EXPECT_EQ(Window->rgSzam->ItemIndex(), 1);
}

TEST_F(Editor, StoredDirectoryWithoutSeparatorStillNamesFilesInside) {
    GameDir dir({{3, {"abc"}}});
    dir.Remember();  // and given back when dir goes
    SettingsStore().WriteSetting("Common", "Path", dir.Path().chopped(1));
    Window = std::make_unique<TfrmMain>();
    Window->show();
    EXPECT_EQ(Current(), "abc");
}

TEST_F(Editor, FailedSaveOnASwitchKeepsTheLengthThatIsInTheTable) {
    auto dir = std::make_unique<GameDir>(std::map<int, Words>{{3, {"abc"}}, {4, {"alma"}}});
    Show(*dir);
    const QString path = dir->Path();
    dir.reset();  // the game directory goes away under the editor
    QString error;
    AnswerThenReadErrorBox(Qt::Key_I, &error);
    QTest::mouseClick(Window->rgSzam->Button(1), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(error, U("Invalid filename."));
    EXPECT_EQ(Window->rgSzam->ItemIndex(), 0);
    EXPECT_EQ(Window->eSzo->maxLength(), 3);
    EXPECT_EQ(Current(), "abc");
}

TEST_F(Editor, ClosingAsksAndSavesSortedByteForByte) {
    GameDir dir({{3, {"\xF5sz", "osz", "\xF3sz", "\xF6sz", "Osz", "ab\xFB"}}});
    Show(dir);
    AnswerNextDialog(Qt::Key_Escape);  // Cancel keeps the window and the words
    InsertWord(U("zzz"));
    EXPECT_FALSE(Window->close());
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(Window->mSzavak.CountRecords(), 7);

    AnswerNextDialog(Qt::Key_I);
    QTest::mouseClick(Window->btExit, Qt::LeftButton);
    EXPECT_FALSE(Window->isVisible());
    EXPECT_EQ(dir.Read(3), Join({"ab\xFB", "osz", "Osz", "\xF3sz", "\xF6sz", "\xF5sz", "zzz"}));
}

// A file the user may not write cannot be loaded either; the error is reported and the
// program goes on. Root may write anything, so this runs as an unprivileged user.
TEST_F(Editor, ReadOnlyWordFileIsReportedAndTheProgramGoesOn) {
#ifdef _WIN32
    if (test::RunWhereModesBind([] { return 0; }) == test::kChildNotSetUp)
        GTEST_SKIP() << "the read-only attribute does not bind here (Wine run as root)";
#else
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("KORMOSZI_UNPRIVILEGED")) {
        // A window needs a fresh process: the child starts this test again as that user.
        const int code = test::RunInChild({.unprivileged = true}, [] {
            setenv("KORMOSZI_UNPRIVILEGED", "1", 1);
            if (chdir("/") != 0)
                return 126;
            execl("/proc/self/exe", "test_app",
                  "--gtest_filter=Editor.ReadOnlyWordFileIsReportedAndTheProgramGoesOn",
                  static_cast<char*>(nullptr));
            return 127;
        });
        if (code == test::kChildNotSetUp || code >= 126)
            GTEST_SKIP() << "could not run the test as an unprivileged user";
        EXPECT_EQ(code, 0) << "the unprivileged run failed";
        return;
    }
#endif
    GameDir dir({{3, {"abc"}}, {4, {"alma"}}});
    test::MakeReadOnly(dir.File(3));
    QString error;
    OnNextDialog([&](QWidget* box) {
        if (auto* message = qobject_cast<QMessageBox*>(box)) {
            error = message->text();
            EXPECT_EQ(message->windowTitle(), U("Tormolag - szótármódosító"));
        }
        QTest::keyClick(box, Qt::Key_Return);
    });
    Show(dir);
    EXPECT_EQ(error, U("File access denied."));
    // A word typed into the empty list is not dropped by a Yes on exit: it fails as the
    // load did, and the window stays.
    InsertWord(U("xyz"));
    error.clear();
    AnswerThenReadErrorBox(Qt::Key_I, &error);
    QTest::mouseClick(Window->btExit, Qt::LeftButton);
    EXPECT_EQ(error, U("File access denied."));
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(dir.Read(3), "abc");
    SwitchTo(4, Qt::Key_N);
    EXPECT_EQ(Current(), "alma");
}

}  // namespace
}  // namespace kormoszi
