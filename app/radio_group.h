#pragma once
// A captioned group of radio buttons laid out in columns, with one selected index and a
// click event for the user's choice of another item.

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QRadioButton;

namespace kormoszi {

class TRadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    // Items fill the columns top to bottom; none is selected at first.
    TRadioGroup(const QString& caption, const QStringList& items, int columns,
                QWidget* parent = nullptr);

    // The selected item, -1 for none.
    int ItemIndex() const { return FItemIndex; }
    // Selects an item (-1: none) without a click event.
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(FButtons.size()); }
    QRadioButton* Button(int index) const { return FButtons.at(index); }

  signals:
    // The user selected another item, by mouse or arrow key; choosing the item that is
    // already selected is no click. Receivers run their handler guarded.
    void Click();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    class TItemButton;

    void ButtonClicked(int index);
    void ArrangeButtons();
    // Only the selected button is a tab stop, so Tab enters and leaves the group at once.
    void UpdateTabStops();

    QList<QRadioButton*> FButtons;
    int FColumns;
    int FItemIndex = -1;
    bool FHoldClick = false;  // an arrow key is moving the focus; its click comes after
};

}  // namespace kormoszi
