#include "app/fMain.h"

#include <QAbstractScrollArea>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>

#include "app/code_page.h"
#include "platform/error_report.h"
#include "platform/file_access.h"
#include "platform/message_dialog.h"
#include "words/word_file.h"

namespace kormoszi {
namespace {

// The client area of the window's design: with an ordinary frame the window measures
// 179 x 537 pixels.
constexpr int kClientWidth = 171;
constexpr int kClientHeight = 503;

QFont SansSerif(int pixelSize) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The search box takes only what a word file can store: a character without a byte in
// the code page would otherwise come out of the file as something else.
class WordCharacterValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar c : input) {
            if (!IsWordCharacter(c))
                return Invalid;
        }
        return Acceptable;
    }
};

// The letters that type-to-search takes: the English alphabet and the Hungarian
// accented letters.
bool IsSearchLetter(QChar c) {
    static const QString accented = Text("ÁÉÍÓÖŐÚÜŰáéíóöőúüű");
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || accented.contains(c);
}

// The game directory as the program keeps it: in the system's own separators ("\" on
// Windows, where the game and its other tools read the stored value), with a trailing one.
QString WithSeparator(const QString& dir) {
    const QString native = QDir::toNativeSeparators(dir);
    return native.endsWith(QDir::separator()) ? native : native + QDir::separator();
}

// File names go to the file layer and come back from it in UTF-8 on every system.
std::string FileNameBytes(const QString& name) {
    return name.toStdString();
}
QString FileNameText(const std::string& name) {
    return QString::fromStdString(name);
}

int Ask(const QString& question, MessageButtons buttons) {
    return ShowMessageDialog(question, MessageType::Confirmation, buttons);
}

// Notices suspended for the length of a load or a save are resumed on every way out.
class SuspendedNotices {
  public:
    explicit SuspendedNotices(WordTable& table) : FTable(table) { FTable.SuspendNotices(); }
    ~SuspendedNotices() { FTable.ResumeNotices(); }
    SuspendedNotices(const SuspendedNotices&) = delete;
    SuspendedNotices& operator=(const SuspendedNotices&) = delete;

  private:
    WordTable& FTable;
};

// What the frame around the search box shows, and what the box is for meanwhile, as a
// screen reader tells them; either may be left alone (nullptr).
void DescribeEditMode(QWidget* frame, QWidget* searchBox, TableState state) {
    const auto describe = [](QWidget* control, const char* text) {
        if (control != nullptr)
            control->setAccessibleDescription(Text(text));
    };
    switch (state) {
        case TableState::Inactive:
        case TableState::Browsing:
            describe(frame, "Keresés");
            describe(searchBox, "Gépelésre a lista az így kezdődő első szóra ugrik");
            break;
        case TableState::Inserting:
            describe(frame, "Új szó beszúrása (piros keret)");
            describe(searchBox, "Az új szó: Enter felveszi a listába, Esc elveti");
            break;
        case TableState::Editing:
            describe(frame, "Szó módosítása (kék keret)");
            describe(searchBox, "A módosított szó: Enter elfogadja, Esc elveti a módosítást");
            break;
    }
}

// A panel without bevel. A plain widget, not a frame: a screen reader takes a frame for a
// window of its own and keeps quiet about the focus moving inside it.
QWidget* NewPanel(const char* name, int height, QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFixedHeight(height);
    // The controls stand at fixed places, laid out for the window's width.
    panel->setMinimumWidth(kClientWidth);
    return panel;
}

// The window as a screen reader sees it: a window, with its caption as its name (a plain
// widget would be reported as a filler inside nothing).
QAccessibleInterface* MainWindowAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(TfrmMain::staticMetaObject.className()) && object != nullptr &&
        object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent) {
    [[maybe_unused]] static const bool accessible = [] {
        QAccessible::installFactory(MainWindowAccessibleFactory);
        return true;
    }();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromUtf8("Kormoszi - Tormolag szótárazó"));
    setFont(SansSerif(11));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    BuildTopPanel();
    BuildGrid();
    BuildBottomPanel();
    dlgDir = new DirectoryPicker(this);
    dlgDir->setObjectName(QStringLiteral("dlgDir"));
    dlgDir->SetOptions(SelectDirOption::Prompt);
    dlgDir->SetTitle(Text("Tormolag fájljainak helye"));
    LayOut();
    WireEvents();
    DescribeForScreenReaders();
    SetKeyboardOrder();
    resize(kClientWidth, kClientHeight);
}

void TfrmMain::BuildTopPanel() {
    Panel2 = NewPanel("Panel2", 129, this);
    rgSzam = new TRadioGroup(QString::fromUtf8("Betűk száma"),
                             {QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
                              QStringLiteral("6"), QStringLiteral("7")},
                             2, Panel2);
    rgSzam->setObjectName(QStringLiteral("rgSzam"));
    rgSzam->setFixedHeight(81);
    rgSzam->SetItemIndex(0);
    auto* topLayout = new QVBoxLayout(Panel2);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    topLayout->addWidget(rgSzam);
    topLayout->addStretch(1);
    // The frame shape goes first so that it lies behind the search box.
    sMod = new TShape(Panel2);
    sMod->setObjectName(QStringLiteral("sMod"));
    sMod->setGeometry(4, 84, 161, 40);
    eSzo = new QLineEdit(Panel2);
    eSzo->setObjectName(QStringLiteral("eSzo"));
    eSzo->setFont(SansSerif(19));
    eSzo->setGeometry(8, 88, 153, 32);
    eSzo->setValidator(new WordCharacterValidator(eSzo));
}

void TfrmMain::BuildGrid() {
    gSzo = new TWordGrid(mSzavak, this);
    gSzo->setObjectName(QStringLiteral("gSzo"));
    gSzo->setFont(SansSerif(19));
    gSzo->setToolTip(
        QString::fromUtf8("Gépelés: keresés\r\nINSERT : új elem\r\nDELETE : elem törlése\r\n"
                          "F2 : elem szerkesztése\r\n"));
}

void TfrmMain::BuildBottomPanel() {
    Panel1 = NewPanel("Panel1", 47, this);
    lDarab = new QLabel(QString::fromUtf8("Szavak száma: 0"), Panel1);
    lDarab->setObjectName(QStringLiteral("lDarab"));
    lDarab->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lDarab->setFixedHeight(13);
    auto* bottomLayout = new QVBoxLayout(Panel1);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->setSpacing(0);
    bottomLayout->addWidget(lDarab);
    bottomLayout->addStretch(1);
    btPath = new QPushButton(QString::fromUtf8("Útvonal"), Panel1);
    btPath->setObjectName(QStringLiteral("btPath"));
    btPath->setGeometry(8, 16, 75, 25);
    btExit = new QPushButton(QString::fromUtf8("Kilépés"), Panel1);
    btExit->setObjectName(QStringLiteral("btExit"));
    btExit->setGeometry(88, 16, 75, 25);
}

// The panels keep their heights; the grid takes the rest.
void TfrmMain::LayOut() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel2);
    layout->addWidget(gSzo, 1);
    layout->addWidget(Panel1);
}

void TfrmMain::WireEvents() {
    // One hook per job: the wheel goes to the focused control from anywhere in the
    // window, Enter presses a focused button, the search box reports its key releases and
    // the loss of the keyboard.
    auto* wheel =
        AddHook([this](QObject* watched, QEvent* event) { return ForwardWheel(watched, event); });
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(wheel);
    auto* enter = AddHook([](QObject* watched, QEvent* event) {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        static_cast<QPushButton*>(watched)->click();
        return true;
    });
    btExit->installEventFilter(enter);
    btPath->installEventFilter(enter);
    eSzo->installEventFilter(AddHook([this](QObject*, QEvent* event) {
        WatchSearchBox(event);
        return false;
    }));
    connect(eSzo, &QLineEdit::textChanged, this, [this] { Guarded([&] { eSzoChange(); }); });
    connect(rgSzam, &TRadioGroup::Click, this, [this] { Guarded([&] { rgSzamClick(); }); });
    gSzo->OnKeyPress = [this](QChar& key) { gSzoKeyPress(key); };
    gSzo->OnKeyUp = [this](int key, Qt::KeyboardModifiers shift) { gSzoKeyUp(key, shift); };
    connect(btPath, &QPushButton::clicked, this, [this] { Guarded([&] { btPathClick(); }); });
    connect(btExit, &QPushButton::clicked, this, [this] { Guarded([&] { btExitClick(); }); });
    mSzavak.AfterInsert = [this](WordTable& t) { mSzavakAfterInsert(t); };
    mSzavak.AfterEdit = [this](WordTable& t) { mSzavakAfterEdit(t); };
    mSzavak.BeforePost = [this](WordTable& t) { mSzavakBeforePost(t); };
    mSzavak.AfterPost = [this](WordTable& t) { mSzavakAfterPost(t); };
    mSzavak.AfterCancel = [this](WordTable& t) { mSzavakAfterCancel(t); };
}

// What a screen reader says of each control. The count label speaks its own text, the
// grid describes its cursor itself.
void TfrmMain::DescribeForScreenReaders() {
    setAccessibleDescription(
        Text("A Tormolag szójáték szólistáinak szerkesztője. Gépelés: "
             "keresés, Insert: új szó, F2: módosítás, Delete: törlés, "
             "Enter: elfogadás, Esc: elvetés"));
    rgSzam->setAccessibleName(rgSzam->title());
    rgSzam->setAccessibleDescription(Text("Hány betűs szavak listája látszik"));
    for (int i = 0; i < rgSzam->Count(); ++i) {
        rgSzam->Button(i)->setAccessibleName(Text("%1 betűs szavak").arg(i + 3));
        rgSzam->Button(i)->setAccessibleDescription(Text("A len%1.txt fájl szavai").arg(i + 3));
    }
    sMod->setAccessibleName(Text("Szerkesztési mód"));
    eSzo->setAccessibleName(Text("Keresett szó"));
    DescribeEditMode(sMod, eSzo, TableState::Browsing);
    gSzo->setAccessibleName(Text("Szólista"));
    lDarab->setAccessibleDescription(Text("A betöltött lista szavainak száma"));
    btPath->setAccessibleDescription(Text("A Tormolag könyvtárának kiválasztása"));
    btExit->setAccessibleDescription(
        Text("Kilépés a programból; előbb megkérdezi, mentse-e a változtatásokat"));
}

// Keyboard order: the grid, the bottom panel, the top panel.
void TfrmMain::SetKeyboardOrder() {
    QWidget* order[] = {gSzo,
                        btExit,
                        btPath,
                        rgSzam->Button(0),
                        rgSzam->Button(1),
                        rgSzam->Button(2),
                        rgSzam->Button(3),
                        rgSzam->Button(4),
                        eSzo};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    gSzo->setFocus();
}

TfrmMain::~TfrmMain() {
    // The grid leaves the table while both still exist.
    delete gSzo;
    gSzo = nullptr;
}

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    CenterOnScreen();
    Guarded([&] { FormShow(); });
}

void TfrmMain::CenterOnScreen() {
    kormoszi::CentreOnScreen(this,
                             screen() != nullptr ? screen() : QGuiApplication::primaryScreen());
}

// ------------------------------------------------------------------ program flow

void TfrmMain::FormShow() {
    FLetterCount = 0;
    const QString defaultDir = WithSeparator(FileNameText(ExtractFileDir(ExecutablePath())));
    FGamePath = raIni.ReadSetting(QStringLiteral("Common"), QStringLiteral("Path"), defaultDir);
    rgSzamClick();
}

void TfrmMain::rgSzamClick() {
    // With nothing read from a file and nothing typed in, there is nothing to save; asking
    // would only offer to write an empty list over a word file.
    if (FLetterCount > 0 && HasWordsToSave() &&
        Ask(Text("Menti a változtatásokat?"), MessageButton::Yes | MessageButton::No) == mrYes) {
        try {
            SaveWords(FLetterCount);
        } catch (...) {
            // The switch stops; the selector shows again the length that is in the table.
            rgSzam->SetItemIndex(FLetterCount - 3);
            throw;
        }
    }
    FLetterCount = rgSzam->ItemIndex() + 3;
    try {
        LoadWords(FLetterCount);
    } catch (...) {
        // The table holds this length now, read or not: a word typed into it must fit.
        eSzo->setMaxLength(FLetterCount);
        throw;
    }
    eSzo->setMaxLength(FLetterCount);
    gSzo->setFocus();
}

std::string TfrmMain::WordFileName(const QString& directory, int n) const {
    // A directory stored by hand may lack its separator; the file still goes inside it.
    const QString dir = directory.isEmpty() ? directory : WithSeparator(directory);
    return FileNameBytes(dir + QStringLiteral("len%1.txt").arg(n));
}

void TfrmMain::LoadWords(int n) {
    mSzavak.CloseTable();
    mSzavak.OpenTable();
    SuspendedNotices suspended(mSzavak);
    const std::string fileName = WordFileName(FGamePath, n);
    if (!FileExists(fileName)) {
        FWords.LoadMissing(fileName, n);
        lDarab->setText(Text("Szavak száma: 0"));
        const QString question = Text("A fájl (") + FileNameText(fileName) +
                                 Text(") nem található.\rKiválasztja a Tormolag könyvtárát?");
        if (Ask(question, MessageButton::Yes | MessageButton::No) == mrYes)
            btPathClick();
        return;
    }
    FWords.Load(mSzavak, fileName, n);
    lDarab->setText(Text("Szavak száma: %1").arg(mSzavak.CountRecords()));
    mSzavak.SortBy("szo");
    mSzavak.MoveFirst();
}

// The words go back to the file they were read from, at the length they were read with,
// merged with what other programs wrote there meanwhile.
void TfrmMain::SaveWords(int) {
    SuspendedNotices suspended(mSzavak);
    FWords.Save(mSzavak);
    mSzavak.MoveFirst();
}

bool TfrmMain::HasWordsToSave() const {
    return FLetterCount > 0 && FWords.HasWordsToSave(mSzavak);
}

void TfrmMain::btPathClick() {
    if (Editing())
        return;  // a word under edit is left by Enter or Esc first
    dlgDir->SetInitialDir(FGamePath);
    if (!dlgDir->Execute())
        return;
    FGamePath = WithSeparator(dlgDir->Directory());
    raIni.WriteSetting(QStringLiteral("Common"), QStringLiteral("Path"), FGamePath);
    rgSzam->SetItemIndex(0);
    rgSzamClick();
}

void TfrmMain::btExitClick() {
    if (Editing())
        return;
    close();
}

void TfrmMain::FormCloseQuery(bool& canClose) {
    canClose = false;
    const int answer = Ask(Text("Menti a változtatásokat, mielőtt kilép?"),
                           MessageButton::Yes | MessageButton::No | MessageButton::Cancel);
    if (answer == mrYes) {
        if (HasWordsToSave())
            SaveWords(FLetterCount);
        canClose = true;
    } else if (answer == mrNo) {
        canClose = true;
    }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    bool canClose = false;
    Guarded([&] { FormCloseQuery(canClose); });
    if (canClose)
        event->accept();
    else
        event->ignore();
}

// ------------------------------------------------------------------ editing and search

bool TfrmMain::Editing() const {
    return mSzavak.State() == TableState::Editing || mSzavak.State() == TableState::Inserting;
}

void TfrmMain::gSzoKeyPress(QChar& key) {
    const QString text = eSzo->text();
    if (text.size() < FLetterCount && IsSearchLetter(key))
        eSzo->setText(text + key);
}

void TfrmMain::eSzoChange() {
    const QString text = eSzo->text();
    if (text.isEmpty() || Editing())
        return;
    const auto word = TextToWord(text);
    if (!word)
        return;
    // An empty list finds nothing: the box gives back its letters one by one.
    if (!mSzavak.SeekNearest(*word))
        eSzo->setText(text.chopped(1));
}

void TfrmMain::gSzoKeyUp(int key, Qt::KeyboardModifiers) {
    switch (key) {
        case Qt::Key_Backspace:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_End:
        case Qt::Key_Home:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
        case Qt::Key_Delete:
            eSzo->clear();
            break;
        default:
            break;
    }
    if (key == Qt::Key_Delete) {
        if (mSzavak.TableEmpty() || Editing())
            return;
        if (Ask(Text("Törli a rekordot?"), MessageButton::Yes | MessageButton::No) == mrYes)
            mSzavak.RemoveCurrent();
    } else if (key == Qt::Key_Insert) {
        if (Editing() || mSzavak.State() == TableState::Inactive)
            return;
        LeaveGridForSearchBox(TableState::Inserting, Qt::OtherFocusReason);
        mSzavak.BeginInsert();
        eSzo->clear();
    } else if (key == Qt::Key_F2) {
        if (mSzavak.TableEmpty() || Editing())
            return;
        LeaveGridForSearchBox(TableState::Editing, Qt::ShortcutFocusReason);
        mSzavak.BeginEdit();
        eSzo->setText(WordToText(mSzavak.WordText()));
        // As a focus taken from the keyboard does, the whole word is selected, so the
        // first letter typed replaces it.
        eSzo->selectAll();
    }
}

void TfrmMain::eSzoKeyUp(int key) {
    if (!Editing())
        return;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        const QString text = eSzo->text();
        if (text.size() != FLetterCount) {
            ShowMessageDialog(Text("A szó nem %1 betűs!").arg(FLetterCount), MessageType::Warning,
                              MessageButton::OK);
            return;
        }
        std::string word = TextToWord(text).value_or(std::string());
        // Only the English capitals become small letters; Á stays Á.
        for (char& c : word) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        mSzavak.SetWordText(word);
        mSzavak.PostRecord();
        mSzavak.SeekNearest(word);
        EndEditing();
    } else if (key == Qt::Key_Escape) {
        mSzavak.CancelRecord();
        EndEditing();
    }
}

// The search box takes the focus first, then the grid and the selector are disabled for
// the edit: a focused grid, disabled, would hand the focus to the next control,
// "Kilépés", which a screen reader would announce on the way. The box tells what it is
// for before it has the focus, so a screen reader says so with it.
void TfrmMain::LeaveGridForSearchBox(TableState editing, Qt::FocusReason reason) {
    DescribeEditMode(sMod, eSzo, editing);
    eSzo->setFocus(reason);
    gSzo->setEnabled(false);
    rgSzam->setEnabled(false);
}

void TfrmMain::EndEditing() {
    eSzo->clear();
    gSzo->setEnabled(true);
    rgSzam->setEnabled(true);
    gSzo->setFocus();
    DescribeEditMode(nullptr, eSzo, mSzavak.State());
}

void TfrmMain::eSzoExit() {
    // A word under edit keeps the keyboard until Enter or Esc ends the edit.
    if (Editing())
        QTimer::singleShot(0, eSzo, [this] {
            if (Editing() && QApplication::activeModalWidget() == nullptr)
                eSzo->setFocus();
        });
}

// The hooks are the window's, not its children: they go with the window's own part, before
// the controls they watch are taken down and send their last events.
EventHook* TfrmMain::AddHook(std::function<bool(QObject*, QEvent*)> handle) {
    FHooks.push_back(std::make_unique<EventHook>(nullptr, std::move(handle)));
    return FHooks.back().get();
}

bool TfrmMain::ForwardWheel(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || !watched->isWidgetType())
        return false;
    auto* under = static_cast<QWidget*>(watched);
    return under->window() == this && WheelElsewhere(under, static_cast<QWheelEvent*>(event));
}

void TfrmMain::WatchSearchBox(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        FSearchBoxKeys.Press(*static_cast<QKeyEvent*>(event));
    } else if (event->type() == QEvent::KeyRelease) {
        // The Enter that closed the wrong-length warning must not bring the warning back.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (FSearchBoxKeys.Release(*key))
            Guarded([&] { eSzoKeyUp(key->key()); });
    } else if (event->type() == QEvent::FocusOut) {
        Guarded([&] { eSzoExit(); });
        // An edit begins by giving the search box the keyboard and ends by taking it away;
        // a load, which inserts word by word, touches neither. (The box itself is described
        // when it has not the keyboard: a screen reader cannot speak a description that
        // changes while the box has the focus.)
        DescribeEditMode(sMod, nullptr, mSzavak.State());
    }
}

// The wheel belongs to the focused control wherever the pointer is over the window: a
// step over any other part of the window goes on to the focused control. A step over the
// focused control itself, or one it left alone on its way up to the window, stays as it is.
bool TfrmMain::WheelElsewhere(QWidget* under, QWheelEvent* event) {
    QWidget* focused = focusWidget();
    if (FForwardingWheel || focused == nullptr || under == focused ||
        focused->isAncestorOf(under) || under->isAncestorOf(focused))
        return false;
    // A scroll area takes the wheel on its viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(focused))
        focused = area->viewport();
    QScopedValueRollback<bool> forwarding(FForwardingWheel, true);
    const QPointF at = focused->mapFromGlobal(event->globalPosition());
    QWheelEvent step(at, event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                     event->buttons(), event->modifiers(), event->phase(), event->inverted(),
                     event->source());
    QApplication::sendEvent(focused, &step);
    return true;
}

// ------------------------------------------------------------------ table events

void TfrmMain::mSzavakAfterInsert(WordTable&) {
    sMod->SetBrushColor(QColor(255, 0, 0));
}

void TfrmMain::mSzavakAfterEdit(WordTable&) {
    sMod->SetBrushColor(QColor(0, 0, 255));
}

void TfrmMain::mSzavakBeforePost(WordTable&) {}

void TfrmMain::mSzavakAfterPost(WordTable&) {
    FWords.NoteTyped();
    ShowBrowsing();
}

// A cancelled word is no word typed: it must not make what a failed load left savable.
void TfrmMain::mSzavakAfterCancel(WordTable&) {
    ShowBrowsing();
}

// Called for every word of a load: both steps cost nothing when nothing changes.
void TfrmMain::ShowBrowsing() {
    sMod->SetBrushColor(palette().color(QPalette::Button));
    if (!eSzo->text().isEmpty())
        eSzo->clear();
}

}  // namespace kormoszi
