#include "app/radio_group.h"

#include <QRadioButton>
#include <QResizeEvent>
#include <algorithm>

namespace kormoszi {
namespace {

// The whole of an item's place answers the mouse, not only its circle and caption.
class TGroupButton : public QRadioButton {
  public:
    using QRadioButton::QRadioButton;

  protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent), FColumns(std::max(1, columns)) {
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new TGroupButton(items.at(i), this);
        connect(button, &QRadioButton::clicked, this, [this, i] { ButtonClicked(i); });
        FButtons.append(button);
    }
    UpdateTabStops();
    ArrangeButtons();
}

void TRadioGroup::SetItemIndex(int index) {
    if (index < -1 || index >= Count())
        index = -1;
    FItemIndex = index;
    for (int i = 0; i < Count(); ++i) {
        QRadioButton* button = FButtons.at(i);
        // An exclusive button cannot be switched off directly.
        button->setAutoExclusive(false);
        button->setChecked(i == index);
        button->setAutoExclusive(true);
    }
    UpdateTabStops();
}

void TRadioGroup::ButtonClicked(int index) {
    if (index == FItemIndex)
        return;
    FItemIndex = index;
    UpdateTabStops();
    emit Click();
}

void TRadioGroup::UpdateTabStops() {
    const int stop = FItemIndex >= 0 ? FItemIndex : 0;
    for (int i = 0; i < Count(); ++i)
        FButtons.at(i)->setFocusPolicy(i == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

// The rows share the height below the caption; what does not divide evenly goes half
// above the first row.
void TRadioGroup::ArrangeButtons() {
    if (FButtons.isEmpty())
        return;
    const int perColumn = (Count() + FColumns - 1) / FColumns;
    const int textHeight = fontMetrics().height();
    const int columnWidth = std::max(0, (width() - 10) / FColumns);
    const int rest = std::max(0, height() - textHeight - 5);
    const int rowHeight = rest / perColumn;
    const int topMargin = textHeight + 1 + (rest % perColumn) / 2;
    for (int i = 0; i < Count(); ++i) {
        FButtons.at(i)->setGeometry((i / perColumn) * columnWidth + 8,
                                    (i % perColumn) * rowHeight + topMargin, columnWidth,
                                    rowHeight);
    }
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    ArrangeButtons();
}

void TRadioGroup::changeEvent(QEvent* event) {
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        ArrangeButtons();
}

}  // namespace kormoszi
