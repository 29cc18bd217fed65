#include "app/fMain.h"

#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include "platform/error_report.h"

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

QFrame* NewPanel(const char* name, int height, QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameShape(QFrame::NoFrame);
    panel->setFixedHeight(height);
    return panel;
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromUtf8("Kormoszi - Tormolag szótárazó"));
    setFont(SansSerif(11));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

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

    gSzo = new TWordGrid(mSzavak, this);
    gSzo->setObjectName(QStringLiteral("gSzo"));
    gSzo->setFont(SansSerif(19));
    gSzo->setToolTip(
        QString::fromUtf8("Gépelés: keresés\r\nINSERT : új elem\r\nDELETE : elem törlése\r\n"
                          "F2 : elem szerkesztése\r\n"));
    gSzo->OnKeyPress = [this](QChar& key) { gSzoKeyPress(key); };
    gSzo->OnKeyUp = [this](int key, Qt::KeyboardModifiers shift) { gSzoKeyUp(key, shift); };

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

    // The panels keep their heights; the grid takes the rest.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel2);
    layout->addWidget(gSzo, 1);
    layout->addWidget(Panel1);

    // Keyboard order: the grid, the bottom panel, the top panel.
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

    resize(kClientWidth, kClientHeight);
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
    const QScreen* desktop = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (desktop == nullptr)
        return;
    QRect outer = frameGeometry();
    outer.moveCenter(desktop->geometry().center());
    move(outer.topLeft());
}

void TfrmMain::FormShow() {}

void TfrmMain::gSzoKeyPress(QChar&) {}

void TfrmMain::gSzoKeyUp(int, Qt::KeyboardModifiers) {}

}  // namespace kormoszi
