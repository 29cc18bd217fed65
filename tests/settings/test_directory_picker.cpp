#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "support/child_process.h"
#endif
#include "support/dialogs.h"
#include "support/text.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/file_access.h"
#include "qstring_print.h"
#include "settings/directory_picker.h"
#include "settings/drive_list.h"
#include "settings/path_label.h"
#include "settings/picker_icons.h"
#include "settings/working_directory.h"

using kormoszi::DirectoryPicker;
using kormoszi::EInOutError;
using kormoszi::SelectDirOption;
using kormoszi::TPathLabel;

namespace {

using kormoszi::testing::U;

// Paths as the system writes them: "/a/b" here, "C:\a\b" on Windows.
QString N(const QString& path) {
    return QDir::toNativeSeparators(path);
}
const QString Sep = QDir::separator();

#ifdef _WIN32
// A process inherits the directory it was started in as its drive's directory; without
// it, Z: (the host's root under Wine) counts as a drive never visited.
void ForgetDriveZ() {
    ::SetEnvironmentVariableW(L"=Z:", nullptr);
}
#endif

// Runs action on the picker's dialog as soon as it is shown. Anything else that turns up
// modal instead fails the test and is closed, so that nothing waits for ever.
void WhenShown(const std::function<void(QDialog*)>& action) {
    kormoszi::testing::OnNextDialog([action](QWidget* modal) {
        if (modal->objectName() == QLatin1String("TSelectDirDlg")) {
            action(static_cast<QDialog*>(modal));
            return;
        }
        ADD_FAILURE() << "expected the directory dialog, got " << modal->metaObject()->className();
        while (QWidget* other = QApplication::activeModalWidget())
            other->close();
    });
}

template <class T>
T* Child(QDialog* dialog, const char* name) {
    T* child = dialog->findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

QListWidget* DirList(QDialog* dialog) {
    return Child<QListWidget>(dialog, "DirList");
}

QListWidgetItem* Entry(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    return found.size() == 1 ? found.first() : nullptr;
}

QPoint EntryPoint(QListWidget* list, QListWidgetItem* item) {
    list->scrollToItem(item);
    return list->visualItemRect(item).center();
}

// What a mouse sends for a double click: QTest::mouseDClick alone is only its second half.
void DoubleClick(QListWidget* list, QListWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    const QPoint point = EntryPoint(list, item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, point);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, point);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, point);
}

void DoubleClick(QListWidget* list, const QString& text) {
    DoubleClick(list, Entry(list, text));
}

QStringList EntryTexts(QListWidget* list, int from) {
    QStringList texts;
    for (int row = from; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

class DirectoryPickerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FSavedDirectory = QDir::currentPath();
        ASSERT_TRUE(FTemp.isValid());
        FRoot = N(QFileInfo(FTemp.path()).canonicalFilePath());
    }
    // Other tests in this process must find the current directory where they left it.
    void TearDown() override { QDir::setCurrent(FSavedDirectory); }

    QString MakeDir(const QString& relative) {
        QString path = N(FRoot + QLatin1Char('/') + relative);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }

    bool Run(DirectoryPicker& picker, const std::function<void(QDialog*)>& action) {
        WhenShown(action);
        return picker.Execute();
    }

    QString FSavedDirectory;
    QTemporaryDir FTemp;
    QString FRoot;
};

TEST_F(DirectoryPickerTest, DialogIsBuiltAsLaidOut) {
    DirectoryPicker picker;
    picker.SetInitialDir(MakeDir("games"));
    picker.SetOptions(SelectDirOption::Prompt);
    Run(picker, [](QDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), U("Könyvtár választása"));
        EXPECT_EQ(dialog->size(), QSize(424, 255));
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
        EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);

        QWidget* dirList = DirList(dialog);
        auto* fileList = Child<QListWidget>(dialog, "FileList");
        auto* driveList = Child<QComboBox>(dialog, "DriveList");
        auto* ok = Child<QPushButton>(dialog, "OKButton");
        auto* cancel = Child<QPushButton>(dialog, "CancelButton");
        auto* dirEdit = Child<QLineEdit>(dialog, "DirEdit");
        EXPECT_EQ(Child<TPathLabel>(dialog, "DirLabel")->geometry(), QRect(8, 24, 313, 20));
        EXPECT_FALSE(dirEdit->isVisible());
        // Whole rows only: the list may be a little lower than its 138 pixels.
        EXPECT_EQ(dirList->geometry().topLeft(), QPoint(8, 72));
        EXPECT_EQ(dirList->width(), 213);
        EXPECT_GT(dirList->height(), 138 - 17);
        EXPECT_LE(dirList->height(), 138);
        EXPECT_EQ(fileList->geometry(), QRect(232, 72, 185, 93));
        EXPECT_EQ(driveList->geometry(), QRect(232, 192, 185, 19));
        EXPECT_EQ(ok->geometry(), QRect(256, 224, 77, 27));
        EXPECT_EQ(ok->text(), "OK");
        EXPECT_TRUE(ok->isDefault());
        EXPECT_EQ(cancel->geometry(), QRect(340, 224, 77, 27));
        EXPECT_EQ(cancel->text(), U("Mégsem"));

        const std::pair<const char*, QWidget*> labels[] = {{"Könyvtár &neve:", dirEdit},
                                                           {"&Könyvtárak:", dirList},
                                                           {"&Fájlok: (*.*)", fileList},
                                                           {"M&eghajtók:", driveList}};
        for (const auto& [text, buddy] : labels) {
            QLabel* label = nullptr;
            for (QLabel* candidate : dialog->findChildren<QLabel*>())
                if (candidate->text() == U(text))
                    label = candidate;
            ASSERT_NE(label, nullptr) << text;
            EXPECT_EQ(label->buddy(), buddy) << text;
        }

        EXPECT_EQ(dialog->focusWidget(), dirList);
        for (QWidget* next :
             {static_cast<QWidget*>(driveList), static_cast<QWidget*>(ok),
              static_cast<QWidget*>(cancel), static_cast<QWidget*>(fileList), dirList}) {
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(dialog->focusWidget(), next) << next->objectName().toStdString();
        }
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
    });
}

TEST_F(DirectoryPickerTest, OkTakesTheOpenedDirectoryNeverTheHighlightedOne) {
    const QString games = MakeDir("games");
    MakeDir("games/alpha");
    MakeDir("games/beta");
    DirectoryPicker picker;
    picker.SetInitialDir(games + Sep);
    picker.SetOptions(SelectDirOption::Prompt);

    // Enter on the directory list presses OK; the trailing separator is gone from the result.
    EXPECT_TRUE(
        Run(picker, [](QDialog* dialog) { QTest::keyClick(DirList(dialog), Qt::Key_Return); }));
    EXPECT_EQ(picker.Directory(), games);
    EXPECT_EQ(N(QDir::currentPath()), games);

    // A click or an arrow key only moves the highlight.
    EXPECT_TRUE(Run(picker, [](QDialog* dialog) {
        QListWidget* list = DirList(dialog);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          EntryPoint(list, Entry(list, "beta")));
        EXPECT_EQ(list->currentItem()->text(), "beta");
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Return);
    }));
    EXPECT_EQ(picker.Directory(), games);

    // A double click opens; a relative initial directory counts from the current one.
    picker.SetInitialDir("alpha/..");
    EXPECT_TRUE(Run(picker, [&](QDialog* dialog) {
        DoubleClick(DirList(dialog), "beta");
        EXPECT_EQ(Child<TPathLabel>(dialog, "DirLabel")->Text(), games + Sep + "beta");
        EXPECT_EQ(Child<QListWidget>(dialog, "FileList")->count(), 0);
        Child<QPushButton>(dialog, "OKButton")->click();
    }));
    EXPECT_EQ(picker.Directory(), games + Sep + "beta");
    EXPECT_EQ(N(QDir::currentPath()), games + Sep + "beta");

    // The root entry opens the root ("/", "C:\"), which keeps its separator.
    picker.SetInitialDir(games);
    EXPECT_TRUE(Run(picker, [](QDialog* dialog) {
        QListWidget* list = DirList(dialog);
        DoubleClick(list, list->item(0));
        EXPECT_EQ(list->currentItem(), list->item(0));
        QTest::keyClick(list, Qt::Key_Return);
    }));
    EXPECT_EQ(picker.Directory(), N(QDir::rootPath()));
}

TEST_F(DirectoryPickerTest, CancelEscAndCloseKeepTheInitialDirectory) {
    const QString games = MakeDir("games");
    MakeDir("games/alpha");
    DirectoryPicker picker;
    picker.SetInitialDir(games + Sep);
    const std::function<void(QDialog*)> endings[] = {
        [](QDialog* dialog) {
            DoubleClick(DirList(dialog), "alpha");
            Child<QPushButton>(dialog, "CancelButton")->click();
        },
        [](QDialog* dialog) { QTest::keyClick(DirList(dialog), Qt::Key_Escape); },
        [](QDialog* dialog) { dialog->close(); },
    };
    for (const auto& ending : endings) {
        EXPECT_FALSE(Run(picker, ending));
        EXPECT_EQ(picker.Directory(), games + Sep);
    }
}

TEST_F(DirectoryPickerTest, MissingInitialDirectoryOpensSilentlyWhereTheVolumeIs) {
    const QString work = MakeDir("work");
    ASSERT_TRUE(QDir::setCurrent(work));
    DirectoryPicker picker;
    const auto pressOk = [](QDialog* dialog) { QTest::keyClick(DirList(dialog), Qt::Key_Return); };

    picker.SetInitialDir(MakeDir("gone"));
    ASSERT_TRUE(QDir(FRoot + Sep + "gone").removeRecursively());
    EXPECT_TRUE(Run(picker, pressOk));
    EXPECT_EQ(picker.Directory(), work);

    QFile(FRoot + Sep + "plain").open(QIODevice::WriteOnly);
    picker.SetInitialDir(FRoot + Sep + "plain" + Sep + "sub");
    EXPECT_TRUE(Run(picker, pressOk));
    EXPECT_EQ(picker.Directory(), work);

    picker.SetInitialDir("");
    EXPECT_TRUE(Run(picker, pressOk));
    EXPECT_EQ(picker.Directory(), work);

    // On another volume it opens at that volume's root, which the drive list then shows.
#ifdef _WIN32
    if (::GetDriveTypeW(L"Z:\\") <= DRIVE_NO_ROOT_DIR)
        GTEST_SKIP() << "no drive Z:";
    ForgetDriveZ();
    picker.SetInitialDir("Z:\\kormoszi-gone\\words\\");
    EXPECT_TRUE(Run(picker, [](QDialog* dialog) {
        EXPECT_TRUE(Child<QComboBox>(dialog, "DriveList")->currentText().startsWith("z:"));
        QTest::keyClick(DirList(dialog), Qt::Key_Return);
    }));
    EXPECT_EQ(picker.Directory(), "Z:\\");
#else
    if (QStorageInfo(QStringLiteral("/dev/shm")).rootPath() != QLatin1String("/dev/shm") ||
        QStorageInfo(work).rootPath() == QLatin1String("/dev/shm"))
        GTEST_SKIP() << "no separate volume at /dev/shm";
    QTemporaryDir other(QStringLiteral("/dev/shm/kormoszi-XXXXXX"));
    ASSERT_TRUE(other.isValid());
    picker.SetInitialDir(other.path() + "/gone");
    EXPECT_TRUE(Run(picker, [](QDialog* dialog) {
        EXPECT_TRUE(Child<QComboBox>(dialog, "DriveList")->currentText().startsWith("/dev/shm"));
        QTest::keyClick(DirList(dialog), Qt::Key_Return);
    }));
    EXPECT_EQ(picker.Directory(), "/dev/shm");
#endif
}

TEST_F(DirectoryPickerTest, ListsLeaveOutHiddenEntriesAndSortInTheUsersLocale) {
    const QString games = MakeDir("games");
    for (const char* dir : {".hidden", ".system", "Zeta", "alpha", "émile", "Visible"})
        MakeDir(U("games/") + U(dir));
    for (const char* file : {".secret", ".sysfile", "b.txt", "A.txt"})
        QFile(games + Sep + file).open(QIODevice::WriteOnly);
#ifdef _WIN32
    // A leading dot hides nothing there: the attributes do.
    for (const auto& [name, attribute] : {std::pair{".hidden", FILE_ATTRIBUTE_HIDDEN},
                                          {".system", FILE_ATTRIBUTE_SYSTEM},
                                          {".secret", FILE_ATTRIBUTE_HIDDEN},
                                          {".sysfile", FILE_ATTRIBUTE_SYSTEM}})
        ASSERT_TRUE(::SetFileAttributesW((games + Sep + name).toStdWString().c_str(), attribute));
#else
    ASSERT_EQ(::mkfifo(QFile::encodeName(games + "/pipe").constData(), 0600), 0);
#endif

    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
    DirectoryPicker picker;
    picker.SetInitialDir(games);
    Run(picker, [&](QDialog* dialog) {
        QListWidget* list = DirList(dialog);
        const int current = list->currentRow();
        EXPECT_EQ(list->item(current)->text(), "games");
        EXPECT_EQ(list->item(0)->text(), N(QDir::rootPath()));
        EXPECT_EQ(current, games.count(Sep));
        EXPECT_EQ(EntryTexts(list, current + 1),
                  QStringList({"alpha", U("émile"), "Visible", "Zeta"}));
        EXPECT_EQ(EntryTexts(Child<QListWidget>(dialog, "FileList"), 0),
                  QStringList({"A.txt", "b.txt"}));
        QTest::keyClick(list, Qt::Key_Escape);
    });
    QLocale::setDefault(saved);
}

TEST_F(DirectoryPickerTest, LongPathIsDrawnShortButReturnedWhole) {
    const QString deep = MakeDir(
        "a-directory-with-a-rather-long-name/another-directory-with-a-long-name/"
        "yet-another-level-of-directories/words & more");
    DirectoryPicker picker;
    picker.SetInitialDir(deep);
    EXPECT_TRUE(Run(picker, [&](QDialog* dialog) {
        auto* label = Child<TPathLabel>(dialog, "DirLabel");
        const QString shown = label->DisplayedText();
        EXPECT_EQ(label->Text(), deep);
        EXPECT_TRUE(shown.startsWith(N("/.../")) || shown.startsWith(N(".../")) ||
                    shown.startsWith(N("C:/.../")))
            << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(N("/words & more"))) << shown.toStdString();
        EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->width());
        QTest::keyClick(DirList(dialog), Qt::Key_Return);
    }));
    EXPECT_EQ(picker.Directory(), deep);
}

TEST(PathShortening, CutsLeadingDirectoriesOneAtATime) {
    const auto length = [](const QString& text) { return int(text.size()); };
    const auto shorten = [&](const QString& path, int width, QChar separator = u'/') {
        return kormoszi::ShortenPath(path, length, width, separator);
    };
    const QString path = "/games/words/data";
    EXPECT_EQ(shorten(path, 100), path);
    EXPECT_EQ(shorten(path, 16), "/.../words/data");
    EXPECT_EQ(shorten(path, 14), "/.../data");
    EXPECT_EQ(shorten(path, 8), ".../data");
    EXPECT_EQ(shorten(path, 7), "data");
    EXPECT_EQ(shorten(path, 1), "data");
    EXPECT_EQ(shorten("/data", 4), "data");
    EXPECT_EQ(shorten("/", 0), "/");
    // A directory that happens to be called "..." is cut like any other.
    EXPECT_EQ(shorten("/.../x/y/z", 9), "/.../y/z");

    // A drive goes with the last directory before it.
    const QString drive = "D:\\Games\\Words\\Data";
    const QStringList steps = {drive, "D:\\...\\Words\\Data", "D:\\...\\Data", "...\\Data", "Data"};
    for (const QString& step : steps)
        EXPECT_EQ(shorten(drive, int(step.size()), u'\\'), step);
    EXPECT_EQ(shorten("D:\\", 0, u'\\'), "D:\\");
    EXPECT_EQ(shorten("D:\\Data", 4, u'\\'), "Data");
}

TEST_F(DirectoryPickerTest, DirectoryThatCannotBeOpenedIsReportedAndTheDialogStays) {
    const QString games = MakeDir("games");
    MakeDir("games/alpha");
    DirectoryPicker picker;
    picker.SetInitialDir(games);
    EXPECT_FALSE(Run(picker, [&](QDialog* dialog) {
        ASSERT_TRUE(QDir(games + Sep + "alpha").removeRecursively());
        QString reported;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            reported = box->text();
            QTest::keyClick(box, Qt::Key_Return);
        });
        DoubleClick(DirList(dialog), "alpha");
        EXPECT_EQ(reported, "File not found.");
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(Child<TPathLabel>(dialog, "DirLabel")->Text(), games);
        QTest::keyClick(DirList(dialog), Qt::Key_Escape);
    }));
    EXPECT_EQ(N(QDir::currentPath()), games);
}

// A place behind a directory that may not be searched cannot even be told apart from a
// missing one: the file error leaves Execute and no dialog is shown. Root may search
// anything, so the picker runs in a child that gave up its privileges.
TEST_F(DirectoryPickerTest, UnreachableInitialDirectoryRaisesBeforeTheDialog) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine lets every user search every directory: access lists do not bind";
#else
    const QString locked = MakeDir("locked");
    MakeDir("locked/games");
    ASSERT_EQ(::chmod(QFile::encodeName(FRoot).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    const int result = kormoszi::test::RunInChild({.unprivileged = true}, [&] {
        if (::chdir("/") != 0)
            return 3;
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
            ::_exit(4);
        });
        DirectoryPicker picker;
        picker.SetInitialDir(locked + "/games");
        try {
            picker.Execute();
        } catch (const EInOutError& error) {
            return error.Code() == 5 ? 0 : 2;
        }
        return 1;
    });
    ::chmod(QFile::encodeName(locked).constData(), 0700);
    if (result == kormoszi::test::kChildNotSetUp)
        GTEST_SKIP() << "cannot drop to uid 65534 in a child";
    EXPECT_EQ(result, 0)
        << "1: no error, 2: another code, 3: could not drop root, 4: the dialog was shown";
#endif
}

// In a chroot or a container the mount table may list no volume for the directories in
// use: they lie under "/" and open as anywhere else. A listed volume that is not ready
// still refuses before the dialog is shown.
TEST_F(DirectoryPickerTest, DirectoryWithoutAListedVolumeOpensUnderTheRoot) {
    using kormoszi::VolumeEntry;
    struct Restore {
        kormoszi::VolumeLookup Saved;
        ~Restore() { kormoszi::SetVolumeLookup(Saved); }
    } restore{kormoszi::SetVolumeLookup(
        [](const QString&) -> std::optional<VolumeEntry> { return std::nullopt; })};
    const QString games = MakeDir("games");
    DirectoryPicker picker;
    picker.SetInitialDir(games + Sep);
    QString drive;
    EXPECT_TRUE(Run(picker, [&](QDialog* dialog) {
        drive = Child<QComboBox>(dialog, "DriveList")->currentData().toString();
        QTest::keyClick(DirList(dialog), Qt::Key_Return);
    }));
    EXPECT_EQ(picker.Directory(), games);
    EXPECT_EQ(drive, kormoszi::PathRoot(games));

    // A drive without its medium: "I/O error 21" on Windows, EIO elsewhere.
    kormoszi::SetVolumeLookup([](const QString& dir) -> std::optional<VolumeEntry> {
        return VolumeEntry{kormoszi::PathRoot(dir), false};
    });
    QTimer shown;  // closes a dialog that should not have come up
    QObject::connect(&shown, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    shown.start(50);
    int code = 0;
    try {
        picker.Execute();
    } catch (const EInOutError& error) {
        code = error.Code();
    }
#ifdef _WIN32
    EXPECT_EQ(code, 21);
#else
    EXPECT_EQ(code, 1005);
#endif
}

// What Windows tells of each drive, as the drive list shows it.
TEST(DriveList, DrivesAreShownByLetterKindLabelAndConnection) {
    using kormoszi::DriveKind;
    using kormoszi::PickerIcon;
    const struct {
        QChar Letter;
        DriveKind Kind;
        std::optional<QString> Label;
        QString Connection;
        const char* Text;  // nullptr: not listed
        PickerIcon Icon;
    } drives[] = {
        {u'A', DriveKind::Removable, std::nullopt, {}, "a:", PickerIcon::Floppy},
        {u'C', DriveKind::Fixed, "DATA", {}, "c: [data]", PickerIcon::Hard},
        {u'e', DriveKind::CdRom, std::nullopt, {}, "e:", PickerIcon::CdRom},  // no disc in it
        {u'R', DriveKind::RamDisk, "", {}, "r: []", PickerIcon::Ram},
        {u'Z', DriveKind::Remote, "Share", "\\\\Server\\Words", "z: \\\\server\\words",
         PickerIcon::Network},
        {u'Y', DriveKind::Remote, "Share", {}, "y: [share]", PickerIcon::Network},
        {u'Q', DriveKind::Unknown, "x", {}, nullptr, PickerIcon::Hard},
        {u'P', DriveKind::NoRootDirectory, "x", {}, nullptr, PickerIcon::Hard},
    };
    for (const auto& d : drives) {
        const auto shown = kormoszi::DescribeDrive(d.Letter, d.Kind, d.Label, d.Connection);
        ASSERT_EQ(shown.has_value(), d.Text != nullptr) << d.Letter.toLatin1();
        if (!shown)
            continue;
        EXPECT_EQ(shown->Text, d.Text);
        EXPECT_EQ(shown->Root, d.Letter.toUpper() + QStringLiteral(":\\"));
        EXPECT_EQ(shown->Icon, d.Icon) << d.Text;
    }
}

#ifdef _WIN32
// Each drive keeps the directory last opened on it. Wine has C: (its prefix) and Z: (the
// host's root).
TEST_F(DirectoryPickerTest, ChoosingADriveGoesBackToWhereItWasLeft) {
    const QString games = MakeDir("games");
    DirectoryPicker picker;
    picker.SetInitialDir(games);
    EXPECT_TRUE(Run(picker, [&](QDialog* dialog) {
        auto* drives = Child<QComboBox>(dialog, "DriveList");
        QString letters;
        for (int i = 0; i < drives->count(); ++i)
            letters += drives->itemText(i).left(2);
        EXPECT_TRUE(letters.contains("c:")) << letters.toStdString();
        EXPECT_EQ(drives->currentData().toString(), games.left(3).toUpper());
        const auto choose = [&](const QString& root) {
            const int index = drives->findData(root);
            ASSERT_GE(index, 0) << root.toStdString();
            drives->setCurrentIndex(index);
            emit drives->activated(index);
        };
        auto* label = Child<TPathLabel>(dialog, "DirLabel");
        choose("Z:\\");
        EXPECT_TRUE(label->Text().startsWith("Z:\\")) << label->Text().toStdString();
        EXPECT_EQ(DirList(dialog)->item(0)->text(), "Z:\\");
        choose(games.left(3).toUpper());
        EXPECT_EQ(label->Text(), games);
        QTest::keyClick(DirList(dialog), Qt::Key_Return);
    }));
    EXPECT_EQ(picker.Directory(), games);
}
#endif

// The folders and drives are drawn at the screen's device pixels, not scaled up from
// 16 x 16: at 2 the picture has edges finer than its logical pixels.
TEST(PickerIcons, DrawnAtTheDevicePixelRatio) {
    for (const qreal ratio : {1.25, 1.5, 2.0}) {
        const QPixmap& icon = kormoszi::PickerIconPixmap(kormoszi::PickerIcon::ClosedFolder, ratio);
        EXPECT_EQ(icon.deviceIndependentSize(), QSizeF(16, 16)) << ratio;
        EXPECT_EQ(icon.size(), (QSizeF(16, 16) * ratio).toSize()) << ratio;
    }
    const QImage image =
        kormoszi::PickerIconPixmap(kormoszi::PickerIcon::ClosedFolder, 2.0).toImage();
    int finer = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            finer += image.pixel(x, y) != image.pixel(x + 1, y) ||
                     image.pixel(x, y) != image.pixel(x, y + 1);
    EXPECT_GT(finer, 0);
    EXPECT_FALSE(
        kormoszi::PickerIconSet(kormoszi::PickerIcon::Hard).pixmap(QSize(16, 16), 2.0).isNull());
}

}  // namespace
