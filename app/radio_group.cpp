#include "app/radio_group.h"

#include <QKeyEvent>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <algorithm>

namespace kormoszi {
// The whole of an item's place answers the mouse, not only its circle and caption.
class TRadioGroup::TItemButton : public QRadioButton {
  public:
    TItemButton(const QString& text, TRadioGroup* group)
        : QRadioButton(text, group), FGroup(group) {}

  protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

    // An arrow key selects the neighbouring item before it moves the focus there. The
    // click waits until the focus has arrived, so that a receiver of the click may put
    // the focus elsewhere (the length switch gives it to the grid).
    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_Left &&
            key != Qt::Key_Right) {
            QRadioButton::keyPressEvent(event);
            return;
        }
        const int before = FGroup->FItemIndex;
        {
            QScopedValueRollback<bool> held(FGroup->FHoldClick, true);
            QRadioButton::keyPressEvent(event);
        }
        if (FGroup->FItemIndex != before)
            emit FGroup->Click();
    }

  private:
    TRadioGroup* FGroup;
};

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent), FColumns(std::max(1, columns)) {
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new TItemButton(items.at(i), this);
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
    if (!FHoldClick)
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
