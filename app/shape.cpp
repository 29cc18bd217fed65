#include "app/shape.h"

#include <QPainter>

#include "platform/error_report.h"

namespace kormoszi {

TShape::TShape(QWidget* parent) : QWidget(parent) {
    FBrushColor = palette().color(QPalette::Active, QPalette::Button);
    FPenColor = FBrushColor;
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TShape::SetBrushColor(const QColor& colour) {
    if (colour == FBrushColor)
        return;
    FBrushColor = colour;
    update();
}

void TShape::SetPenColor(const QColor& colour) {
    if (colour == FPenColor)
        return;
    FPenColor = colour;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    Guarded([&] {
        QPainter painter(this);
        painter.fillRect(rect(), FBrushColor);
        painter.setPen(FPenColor);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    });
}

}  // namespace kormoszi
