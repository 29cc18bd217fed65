#include "settings/picker_icons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <map>

namespace kormoszi {

namespace {

constexpr int Size = 16;
const QColor Outline(90, 70, 20);
const QColor FolderBack(222, 178, 60);
const QColor FolderFront(250, 214, 100);

void DrawClosedFolder(QPainter& p) {
    p.setPen(Outline);
    p.setBrush(FolderBack);
    p.drawRect(QRectF(1.5, 3.5, 5, 2));  // tab
    p.setBrush(FolderFront);
    p.drawRect(QRectF(1.5, 4.5, 13, 9));
}

// An open folder: the back wall, and the front flap tilted towards the viewer.
void DrawOpenFolder(QPainter& p, const QColor& front) {
    p.setPen(Outline);
    p.setBrush(FolderBack);
    p.drawRect(QRectF(1.5, 3.5, 5, 2));
    p.drawRect(QRectF(1.5, 4.5, 12, 9));
    QPainterPath flap;
    flap.moveTo(1.5, 13.5);
    flap.lineTo(4.5, 7.5);
    flap.lineTo(15.0, 7.5);
    flap.lineTo(12.5, 13.5);
    flap.closeSubpath();
    p.setBrush(front);
    p.drawPath(flap);
}

void DrawCurrentFolder(QPainter& p) {
    DrawOpenFolder(p, QColor(255, 236, 150));
    // A mark on the flap tells the opened directory from the ones above it.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 90, 200));
    p.drawEllipse(QRectF(7, 8.5, 4, 4));
}

void DrawHard(QPainter& p) {
    p.setPen(QColor(60, 60, 60));
    p.setBrush(QColor(200, 200, 200));
    p.drawRoundedRect(QRectF(0.5, 5.5, 15, 6), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 170, 40));
    p.drawRect(QRectF(11.5, 8, 2.5, 1.5));
}

void DrawFloppy(QPainter& p) {
    p.setPen(QColor(20, 20, 60));
    p.setBrush(QColor(40, 60, 140));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(4.5, 1.5, 7, 4));  // shutter
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 8.5, 9, 6));  // label
}

void DrawNetwork(QPainter& p) {
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(170, 200, 230));
    p.drawRect(QRectF(3.5, 1.5, 9, 7));  // screen
    p.drawLine(QPointF(8, 8.5), QPointF(8, 14));
    p.drawLine(QPointF(1, 14), QPointF(15, 14));  // the wire
}

void DrawCdRom(QPainter& p) {
    p.setPen(QColor(90, 90, 110));
    p.setBrush(QColor(215, 215, 235));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(6, 6, 4, 4));
}

void DrawRam(QPainter& p) {
    p.setPen(QColor(20, 70, 30));
    p.setBrush(QColor(40, 140, 60));
    p.drawRect(QRectF(1.5, 4.5, 13, 7));
    p.setPen(QColor(200, 170, 60));
    for (int x = 3; x <= 13; x += 2) {
        p.drawLine(QPointF(x, 2), QPointF(x, 4));
        p.drawLine(QPointF(x, 12), QPointF(x, 14));
    }
}

// Drawn at the device pixels of the screen: a picture drawn at 16 x 16 and scaled up
// would be soft at 1.5 and 2.
QPixmap Draw(PickerIcon kind, qreal devicePixelRatio) {
    QPixmap pixmap(QSize(Size, Size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
        case PickerIcon::OpenFolder:
            DrawOpenFolder(p, FolderFront);
            break;
        case PickerIcon::CurrentFolder:
            DrawCurrentFolder(p);
            break;
        case PickerIcon::ClosedFolder:
            DrawClosedFolder(p);
            break;
        case PickerIcon::Floppy:
            DrawFloppy(p);
            break;
        case PickerIcon::Hard:
            DrawHard(p);
            break;
        case PickerIcon::Network:
            DrawNetwork(p);
            break;
        case PickerIcon::CdRom:
            DrawCdRom(p);
            break;
        case PickerIcon::Ram:
            DrawRam(p);
            break;
    }
    return pixmap;
}

}  // namespace

const QPixmap& PickerIconPixmap(PickerIcon kind, qreal devicePixelRatio) {
    // Never destroyed: a pixmap must not outlive the application object, and statics do.
    static auto* cache = new std::map<std::pair<PickerIcon, qreal>, QPixmap>;
    const auto key = std::make_pair(kind, devicePixelRatio);
    auto found = cache->find(key);
    if (found == cache->end())
        found = cache->emplace(key, Draw(kind, devicePixelRatio)).first;
    return found->second;
}

QIcon PickerIconSet(PickerIcon kind) {
    QIcon icon;
    for (const qreal ratio : {1.0, 1.25, 1.5, 2.0, 3.0})
        icon.addPixmap(PickerIconPixmap(kind, ratio));
    const qreal screen = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
    icon.addPixmap(PickerIconPixmap(kind, screen));
    return icon;
}

}  // namespace kormoszi
