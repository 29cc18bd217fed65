// Bad word files as the editor meets them at start: the error or the question is shown,
// the program goes on, and nothing is written over what is on disk.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "app/app_test_support.h"
#include "app/fMain.h"

namespace kormoszi {
namespace {

using testing::GameDir;
using testing::OnNextDialog;

class BadWordFileInWindow : public ::testing::Test {
  protected:
    // Shows the window on dir; the first dialog that start brings is answered with key
    // and its text kept.
    void Show(const GameDir& dir, Qt::Key key) {
        dir.Remember();
        OnNextDialog([this, key](QWidget* box) {
            if (auto* message = qobject_cast<QMessageBox*>(box))
                Shown = message->text();
            else if (auto* text = box->findChild<QWidget*>(QStringLiteral("Message")))
                Shown = text->property("text").toString();
            QTest::keyClick(box, key);
        });
        Window = std::make_unique<TfrmMain>();
        Window->show();
    }
    // Switches to length n; a save question would be answered No, and noted.
    void SwitchTo(int n) {
        testing::ScriptedAnswers no({mrNo});
        QTest::mouseClick(Window->rgSzam->Button(n - 3), Qt::LeftButton, Qt::NoModifier,
                          QPoint(5, 5));
        Asked = !no.Asked.empty();
    }
    void TearDown() override { Window.reset(); }

    std::unique_ptr<TfrmMain> Window;
    QString Shown;
    bool Asked = false;
};

// A word file of 1 GiB is refused with its error before anything is read; a switch to
// another length, answered No, leaves it as it was.
TEST_F(BadWordFileInWindow, OneGigabyteWordFile) {
    GameDir dir({{3, {}}, {4, {"alma"}}});
    ASSERT_EQ(::truncate(dir.File(3).c_str(), off_t{1} << 30), 0);
    Show(dir, Qt::Key_Return);
    EXPECT_EQ(Shown, QStringLiteral("I/O error 27."));
    EXPECT_EQ(Window->mSzavak.CountRecords(), 0);
    EXPECT_EQ(Window->lDarab->text(), QString::fromUtf8("Szavak száma: 0"));

    SwitchTo(4);
    EXPECT_EQ(Window->mSzavak.WordText(), "alma");
    struct stat st {};
    ASSERT_EQ(::stat(dir.File(3).c_str(), &st), 0);
    EXPECT_EQ(st.st_size, off_t{1} << 30);
}

// len3.txt is a link to itself, or the game directory is a file: no word file there, so
// the missing-file question names it; after No nothing is offered for saving, and nothing
// is written even when the user asks for it on closing.
TEST_F(BadWordFileInWindow, SymbolicLinkLoopAndGameDirectoryThatIsAFile) {
    GameDir dir({{4, {"alma"}}});
    ASSERT_EQ(::symlink("len3.txt", dir.File(3).c_str()), 0);
    Show(dir, Qt::Key_N);
    EXPECT_TRUE(Shown.contains(QString::fromStdString(dir.File(3)))) << Shown.toStdString();
    EXPECT_TRUE(Window->mSzavak.TableEmpty());
    SwitchTo(4);
    EXPECT_FALSE(Asked) << "an empty list was offered for saving over the link";
    EXPECT_EQ(Window->mSzavak.WordText(), "alma");
    char target[16] = {};
    EXPECT_GT(::readlink(dir.File(3).c_str(), target, sizeof target - 1), 0);
    Window.reset();

    GameDir parent;
    const QString file = parent.Path() + QStringLiteral("game");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("words");
    }
    parent.Remember();  // and given back when parent goes
    SettingsStore().WriteSetting("Common", "Path", file + QLatin1Char('/'));
    OnNextDialog([this](QWidget* box) {
        if (auto* text = box->findChild<QWidget*>(QStringLiteral("Message")))
            Shown = text->property("text").toString();
        QTest::keyClick(box, Qt::Key_N);
    });
    Window = std::make_unique<TfrmMain>();
    Window->show();
    EXPECT_TRUE(Shown.contains(file + QStringLiteral("/len3.txt"))) << Shown.toStdString();
    // Even a Yes to the question on closing writes nothing.
    testing::AnswerNextDialog(Qt::Key_I);
    EXPECT_TRUE(Window->close());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "words");
}

}  // namespace
}  // namespace kormoszi
