#pragma once
// A filled rectangle with a 1-pixel outline. The window lays it behind the search box,
// a little larger, so that its brush shows as a coloured frame around the box.

#include <QColor>
#include <QWidget>

namespace kormoszi {

class TShape : public QWidget {
    Q_OBJECT
  public:
    // Brush and pen start in the button-face colour.
    explicit TShape(QWidget* parent = nullptr);

    QColor BrushColor() const { return FBrushColor; }
    // Schedules a repaint only when the colour really changes: a load sets it once per
    // word.
    void SetBrushColor(const QColor& colour);
    QColor PenColor() const { return FPenColor; }
    void SetPenColor(const QColor& colour);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor FBrushColor;
    QColor FPenColor;
};

}  // namespace kormoszi
