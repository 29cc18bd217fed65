#pragma once
// The word grid: one column of words drawn straight from the word table's view window.
// It moves the table's cursor from keys, clicks, the wheel and its scroll bar, follows
// every notice of the table, and hands characters and key releases to its owner.
//
//   table notice -> rows, current row, scroll bar -> invalidated rows -> paint pulls words

#include <QAbstractScrollArea>
#include <QImage>
#include <QSet>
#include <functional>

#include "app/event_hooks.h"
#include "words/word_table.h"

namespace kormoszi {

class TWordGrid : public QAbstractScrollArea, public TableLink {
    Q_OBJECT
  public:
    // The vertical scroll bar counted in records. Max is the record count plus Page less
    // one, so the thumb covers Page records and its top runs from record 1 to the last.
    struct ScrollInfo {
        int Min = 1;
        int Max = 0;
        int Page = 1;
        int Position = 0;
        bool operator==(const ScrollInfo&) const = default;
    };

    // The marks of the indicator column, 6 x 11 pixels each.
    enum class IndicatorGlyph { DBGARROW, DBEDIT, DBINSERT };

    static constexpr int kIndicatorWidth = 11;
    static constexpr int kWordColumnWidth = 136;
    static constexpr int kLineWidth = 1;
    static constexpr int kGlyphWidth = 6;
    static constexpr int kGlyphHeight = 11;

    // The grid registers itself with the table and leaves it when destroyed; the table
    // must outlive the grid.
    explicit TWordGrid(WordTable& table, QWidget* parent = nullptr);
    ~TWordGrid() override;

    // Called with each character a key press produces, after the grid's own key-down
    // handling; a character set to 0 is kept from the grid's own character handling.
    std::function<void(QChar& key)> OnKeyPress;
    // Called on the release of a key that was pressed while the grid had the focus (the
    // releases Qt adds between auto-repeated presses excluded).
    std::function<void(int key, Qt::KeyboardModifiers modifiers)> OnKeyUp;

    // Geometry, shared by painting, hit-testing and scrolling. Rows count from the top of
    // the viewport; a row is its cell plus the line below it.
    int CellHeight() const { return FCellHeight; }
    int RowPitch() const { return FCellHeight + kLineWidth; }
    int RowAt(int y) const;
    QRect RowRect(int row) const;
    QRect IndicatorRect(int row) const;
    QRect WordRect(int row) const;

    // Rows drawn (records in the view window, at least 1), the row of the current record,
    // and the rows shown whole: the page that the page keys and the scroll bar move by.
    int RowCount() const { return FRowCount; }
    int CurrentRow() const { return FCurrentRow; }
    int VisibleRows() const;
    ScrollInfo ScrollValues() const { return FScroll; }

    // What a screen reader hears of the cursor: the current word, its place and the count
    // ("alma, 12. szó, összesen 345"), or the state when there is no word to tell.
    QString CursorDescription() const;
    // The same for the word at a 1-based place of the current order, while the grid shows
    // it; empty for a word out of view.
    QString RecordDescription(int record) const;
    // The viewport row that shows the word at a 1-based place; -1 when it is out of view.
    int RowOfRecord(int record) const;
    // The 1-based place of the word a row shows; 0 for a row without a word.
    int RecordOfRow(int row) const;
    // The words a screen reader may ask for: those of an open table.
    int AccessibleWordCount() const;

    // One row at least under the panels of the window.
    QSize minimumSizeHint() const override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // Black pixels of a glyph, as the pixel tables give them.
    static bool GlyphPixel(IndicatorGlyph glyph, int x, int y);

    void Notify(TableNotice notice, int info) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool TableOpen() const { return FTable.State() != TableState::Inactive; }
    // The current row's record slot, 0 when there is no current record.
    int CurrentSlot() const;

    void LayoutChanged();
    void UpdateRowCount();
    void UpdateActive();
    void UpdateScrollBar();
    void WriteScrollBar();
    int BarPosition() const;
    void ScrollRows(int oldRow, int distance);
    void AnnounceCursor();
    void ForgetAccessibleWords();
    void TypeCharacter(QChar character);

    void KeyDown(const QKeyEvent& event);
    void DeleteWithQuestion();
    bool AcquireFocus();
    bool WheelTurned(int delta);
    void ScrollBarAction(int action);
    void ThumbReleased(int position);

    void PaintRow(QPainter& painter, int row) const;
    void PaintIndicatorCell(QPainter& painter, int row, bool current) const;
    void PaintWordCell(QPainter& painter, int row, bool current) const;
    void PaintLines(QPainter& painter, int row) const;
    void PaintFocusRect(QPainter& painter, const QRect& cell) const;
    static const QImage& GlyphImage(IndicatorGlyph glyph);

    WordTable& FTable;
    int FCellHeight = 0;
    int FFitRows = 1;     // rows whose cells fit whole into the viewport
    int FWindowSize = 0;  // the view window size last asked of the table
    int FRowCount = 1;
    int FCurrentRow = 0;
    bool FOpen = false;  // the open state as last announced by the table
    bool FModified = false;
    int FWheelAccumulator = 0;
    ScrollInfo FScroll;
    bool FWritingBar = false;
    PressedKeys FPressedKeys;  // pressed while the grid had the focus
    QString FAnnounced;        // the cursor description a screen reader was last told of
};

}  // namespace kormoszi
