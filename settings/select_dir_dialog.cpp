#include "settings/select_dir_dialog.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <algorithm>

#include "platform/error_report.h"
#include "platform/window_placement.h"
#include "settings/directory_list.h"
#include "settings/drive_list.h"
#include "settings/path_label.h"
#include "settings/working_directory.h"

namespace kormoszi {

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

double ScreenScale() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() / 96.0 : 1.0;
}

}  // namespace

// The sizes are those of a 96 dpi screen, scaled to the screen's logical resolution.
TSelectDirDlg::TSelectDirDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FScale(ScreenScale()) {
    setObjectName(QStringLiteral("TSelectDirDlg"));
    setWindowTitle(Text("Könyvtár választása"));
    setFixedSize(Scaled(0, 0, 424, 255).size());
    BuildControls();
    SetTabOrder();
    Wire();
    FormCreate();
    CentreOnScreen(this, QGuiApplication::primaryScreen());
}

void TSelectDirDlg::BuildControls() {
    FDirEdit = new QLineEdit(this);
    FDirEdit->setObjectName(QStringLiteral("DirEdit"));
    FDirEdit->setGeometry(Scaled(8, 24, 313, 20));
    FDirEdit->hide();
    AddLabel(Text("Könyvtár &neve:"), 8, 8, FDirEdit);

    FDriveList = new TDriveComboBox(this);
    FDriveList->setObjectName(QStringLiteral("DriveList"));
    FDriveList->setGeometry(Scaled(232, 192, 185, 19));
    AddLabel(Text("M&eghajtók:"), 232, 176, FDriveList);

    FDirLabel = new TPathLabel(this);
    FDirLabel->setObjectName(QStringLiteral("DirLabel"));
    FDirLabel->setAccessibleName(Text("Kiválasztott könyvtár"));

    FDirList = new TDirectoryListBox(this);
    FDirList->setObjectName(QStringLiteral("DirList"));
    const int rowHeight = std::max(Scaled(0, 0, 0, 17).height(), fontMetrics().height());
    FDirList->SetItemHeight(rowHeight);
    // Whole rows only: the list loses the part of its height that would show half a row.
    const QRect dirListRect = Scaled(8, 72, 213, 138);
    const int frame = 2 * FDirList->frameWidth();
    const int rows = std::max(1, (dirListRect.height() - frame) / rowHeight);
    FDirList->setGeometry(
        dirListRect.adjusted(0, 0, 0, rows * rowHeight + frame - dirListRect.height()));
    AddLabel(Text("&Könyvtárak:"), 8, 56, FDirList);

    FFileList = new TFileListBox(this);
    FFileList->setObjectName(QStringLiteral("FileList"));
    FFileList->SetItemHeight(std::max(Scaled(0, 0, 0, 13).height(), fontMetrics().height()));
    FFileList->setGeometry(Scaled(232, 72, 185, 93));
    AddLabel(Text("&Fájlok: (*.*)"), 232, 56, FFileList);

    FOKButton = new QPushButton(QStringLiteral("OK"), this);
    FOKButton->setObjectName(QStringLiteral("OKButton"));
    FOKButton->setGeometry(Scaled(256, 224, 77, 27));
    FOKButton->setDefault(true);
    FCancelButton = new QPushButton(Text("Mégsem"), this);
    FCancelButton->setObjectName(QStringLiteral("CancelButton"));
    FCancelButton->setGeometry(Scaled(340, 224, 77, 27));
}

void TSelectDirDlg::SetTabOrder() {
    setTabOrder(FDirList, FDirEdit);
    setTabOrder(FDirEdit, FDriveList);
    setTabOrder(FDriveList, FOKButton);
    setTabOrder(FOKButton, FCancelButton);
    setTabOrder(FCancelButton, FFileList);
}

void TSelectDirDlg::Wire() {
    connect(FOKButton, &QPushButton::clicked, this, [this] { Guarded([&] { OKClick(); }); });
    connect(FCancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(FDriveList, &QComboBox::activated, this,
            [this] { Guarded([&] { DriveListChange(); }); });
    connect(FDirList, &TDirectoryListBox::Changed, this,
            [this] { Guarded([&] { DirListChange(); }); });
    // Enter presses OK also in the directory list, so without a mouse Space opens the
    // highlighted directory, as a double click does.
    auto* openHighlighted = new QShortcut(QKeySequence(Qt::Key_Space), FDirList);
    openHighlighted->setContext(Qt::WidgetShortcut);
    connect(openHighlighted, &QShortcut::activated, this, [this] {
        Guarded([&] {
            const QString path = TDirectoryListBox::EntryPath(FDirList->currentItem());
            if (!path.isEmpty())
                FDirList->OpenDirectory(path);
        });
    });
}

void TSelectDirDlg::FormCreate() {
    FDirLabel->setGeometry(FDirEdit->geometry());
    const QString start = CurrentDirectory();
    FDirList->OpenDirectory(start.isEmpty() ? PathRoot(start) : start);
    FDirList->setFocus();
}

QRect TSelectDirDlg::Scaled(int left, int top, int width, int height) const {
    return QRect(qRound(left * FScale), qRound(top * FScale), qRound(width * FScale),
                 qRound(height * FScale));
}

// Labels size themselves to their text, in whatever font the toolkit gives them.
QLabel* TSelectDirDlg::AddLabel(const QString& text, int left, int top, QWidget* buddy) {
    auto* label = new QLabel(text, this);
    label->setBuddy(buddy);
    // A list is not named after its label by the toolkit, as other controls are.
    buddy->setAccessibleName(QString(text).remove(u'&'));
    label->move(Scaled(left, top, 0, 0).topLeft());
    label->adjustSize();
    return label;
}

void TSelectDirDlg::ApplyInitialDir(const QString& dir) {
    if (dir.isEmpty())
        return;
    const QString full = FullPath(dir);
    // Choosing the volume comes first, as with a drive chosen in the list; it is what fails
    // when the place cannot be reached.
    const QString root = VolumeRootOf(NearestExistingDirectory(full));
    FDirList->OpenDirectory(VolumeCurrentDirectory(root));
    // A directory that is gone or locked leaves the dialog where choosing the volume put it.
    FDirList->TryOpenDirectory(full);
}

void TSelectDirDlg::ApplyOptions(SelectDirOptions options) {
    FAllowCreate = options.testFlag(SelectDirOption::AllowCreate);
    FDirEdit->setVisible(FAllowCreate);
    FDirLabel->setVisible(!FAllowCreate);
}

QString TSelectDirDlg::Directory() const {
    if (FAllowCreate && !FDirEdit->text().isEmpty())
        return FullPath(FDirEdit->text());
    return FDirLabel->Text();
}

void TSelectDirDlg::DirListChange() {
    FDirLabel->SetText(FDirList->Directory());
    FDirLabel->setAccessibleDescription(FDirList->Directory());
    FFileList->ShowDirectory(FDirList->Directory());
    FDirEdit->setText(FDirLabel->Text());
    FDriveList->SelectVolumeOf(FDirList->Directory());
}

void TSelectDirDlg::DriveListChange() {
    const QString root = FDriveList->SelectedRoot();
    VolumeRootOf(root);
    FDirList->OpenDirectory(VolumeCurrentDirectory(root));
}

// Nothing to check: the opened directory exists, and nothing is created.
void TSelectDirDlg::OKClick() {
    accept();
}

}  // namespace kormoszi
