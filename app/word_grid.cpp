#include "app/word_grid.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "app/code_page.h"
#include "platform/error_report.h"
#include "platform/message_dialog.h"

namespace kormoszi {
namespace {

// The indicator marks, one string per pixel row, '#' for a black pixel.
constexpr const char* kArrowPixels[TWordGrid::kGlyphHeight] = {
    "#.....", "##....", "###...", "####..", "#####.", "######",
    "#####.", "####..", "###...", "##....", "#.....",
};
constexpr const char* kEditPixels[TWordGrid::kGlyphHeight] = {
    "##..##", "..##..", "..##..", "..##..", "..##..", "..##..",
    "..##..", "..##..", "..##..", "..##..", "##..##",
};
constexpr const char* kInsertPixels[TWordGrid::kGlyphHeight] = {
    "......", "......", "......", ".#..#.", "..##..", "######",
    "..##..", ".#..#.", "......", "......", "......",
};

const char* const* PixelRows(TWordGrid::IndicatorGlyph glyph) {
    switch (glyph) {
        case TWordGrid::IndicatorGlyph::DBEDIT:
            return kEditPixels;
        case TWordGrid::IndicatorGlyph::DBINSERT:
            return kInsertPixels;
        case TWordGrid::IndicatorGlyph::DBGARROW:
            break;
    }
    return kArrowPixels;
}

// Lines of one device pixel, whatever the screen's scale: a logical pixel is one and a half
// device pixels at 1.5, so a line one logical pixel thick comes out one or two device
// pixels thick, row after row. Such a line takes the device row (or column) just after a
// logical edge, or the one just before it. Rectangles are filled with their device edges
// rounded, so the line meets the cells beside it without a gap.
enum class DeviceSide { After, Before };

qreal DeviceEdge(qreal logical, qreal scale, qreal offset, DeviceSide side) {
    const qreal device = std::floor(logical * scale + offset + 0.5);
    return side == DeviceSide::After ? device : device - 1;
}

void FillDeviceRow(QPainter& painter, int left, int right, int y, const QColor& colour,
                   DeviceSide side = DeviceSide::After) {
    const QTransform& t = painter.deviceTransform();
    const qreal top = (DeviceEdge(y, t.m22(), t.dy(), side) - t.dy()) / t.m22();
    painter.fillRect(QRectF(left, top, right - left, 1 / t.m22()), colour);
}

void FillDeviceColumn(QPainter& painter, int x, int top, int bottom, const QColor& colour,
                      DeviceSide side = DeviceSide::After) {
    const QTransform& t = painter.deviceTransform();
    const qreal left = (DeviceEdge(x, t.m11(), t.dx(), side) - t.dx()) / t.m11();
    painter.fillRect(QRectF(left, top, 1 / t.m11(), bottom - top), colour);
}

constexpr int kWheelDelta = 120;
constexpr int kTextOffset = 2;
constexpr int kWordLeft = TWordGrid::kIndicatorWidth + TWordGrid::kLineWidth;
constexpr int kColumnsRight = kWordLeft + TWordGrid::kWordColumnWidth + TWordGrid::kLineWidth;

// One word of the list as a screen reader sees it: the word at a 1-based place of the
// current order. Its name is what is said of it: the word, its place and the count.
class TWordItemAccessible : public QAccessibleInterface {
  public:
    TWordItemAccessible(TWordGrid* grid, int record) : FGrid(grid), FRecord(record) {}

    int Record() const { return FRecord; }

    bool isValid() const override { return !FGrid.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return FGrid ? FGrid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return FGrid ? QAccessible::queryAccessibleInterface(FGrid.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text kind) const override {
        return FGrid && kind == QAccessible::Name ? FGrid->RecordDescription(FRecord) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const int row = FGrid ? FGrid->RowOfRecord(FRecord) : -1;
        if (row < 0)
            return {};
        const QRect cell = FGrid->RowRect(row);
        return QRect(FGrid->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.focusable = true;
        state.selectable = true;
        if (!FGrid || FGrid->RowOfRecord(FRecord) < 0) {
            state.invisible = true;
            state.offscreen = true;
            return state;
        }
        if (FGrid->RowOfRecord(FRecord) == FGrid->CurrentRow()) {
            state.selected = true;
            state.focused = FGrid->hasFocus();
        }
        state.disabled = !FGrid->isEnabled();
        return state;
    }

  private:
    QPointer<TWordGrid> FGrid;
    int FRecord;
};

// The grid as a screen reader sees it: a list of the words, whose description is the
// cursor's word and place, made only when asked. The words are made on demand, so that
// a list of a million words costs nothing until a screen reader asks for some.
class TWordGridAccessible : public QAccessibleWidget {
  public:
    explicit TWordGridAccessible(TWordGrid* grid) : QAccessibleWidget(grid, QAccessible::List) {}
    ~TWordGridAccessible() override { Forget(); }

    TWordGrid* Grid() const { return static_cast<TWordGrid*>(widget()); }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Description)
            return Grid()->CursorDescription();
        return QAccessibleWidget::text(kind);
    }
    int childCount() const override { return Grid()->AccessibleWordCount(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        const int record = index + 1;
        if (const auto found = FWords.constFind(record); found != FWords.constEnd())
            return QAccessible::accessibleInterface(*found);
        // The words asked for are those around the cursor; a long walk keeps only the
        // last few.
        if (FWords.size() >= kKeptWords)
            Forget();
        auto* word = new TWordItemAccessible(Grid(), record);
        FWords.insert(record, QAccessible::registerAccessibleInterface(word));
        return word;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr || child->role() != QAccessible::ListItem)
            return QAccessibleWidget::indexOfChild(child);
        const int record = static_cast<const TWordItemAccessible*>(child)->Record();
        return FWords.value(record) ==
                       QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child))
                   ? record - 1
                   : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint at = Grid()->viewport()->mapFromGlobal(QPoint(x, y));
        const int record = Grid()->RecordOfRow(Grid()->RowAt(at.y()));
        return record > 0 ? child(record - 1) : nullptr;
    }

    // The places of the words change with every change of the list.
    void Forget() const {
        for (QAccessible::Id id : std::as_const(FWords))
            QAccessible::deleteAccessibleInterface(id);
        FWords.clear();
    }

  private:
    static constexpr int kKeptWords = 64;
    mutable QHash<int, QAccessible::Id> FWords;  // place -> the word's interface
};

QAccessibleInterface* WordGridAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(TWordGrid::staticMetaObject.className()) && object != nullptr &&
        object->isWidgetType())
        return new TWordGridAccessible(static_cast<TWordGrid*>(object));
    return nullptr;
}

}  // namespace

TWordGrid::TWordGrid(WordTable& table, QWidget* parent)
    : QAbstractScrollArea(parent), FTable(table) {
    [[maybe_unused]] static const bool accessible = [] {
        QAccessible::installFactory(WordGridAccessibleFactory);
        return true;
    }();
    setFocusPolicy(Qt::StrongFocus);
    // A letter composed with a dead key, or one that an input method commits, comes as an
    // input-method event, not as a key.
    setAttribute(Qt::WA_InputMethodEnabled);
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Every paint fills its whole rectangle; this also lets Qt shift rows by blitting.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);

    QScrollBar* bar = verticalScrollBar();
    bar->installEventFilter(this);
    connect(bar, &QScrollBar::actionTriggered, this,
            [this](int action) { Guarded([&] { ScrollBarAction(action); }); });
    connect(bar, &QScrollBar::sliderReleased, this,
            [this] { Guarded([&] { ThumbReleased(verticalScrollBar()->sliderPosition()); }); });
    // A position set from outside the thumb (the bar's own context menu) counts as a
    // thumb released there.
    connect(bar, &QScrollBar::valueChanged, this, [this](int value) {
        if (FWritingBar || verticalScrollBar()->isSliderDown() || value == BarPosition())
            return;
        Guarded([&] { ThumbReleased(value); });
    });

    FOpen = TableOpen();
    FTable.AddLink(this);
    LayoutChanged();
    WriteScrollBar();
}

TWordGrid::~TWordGrid() {
    FTable.RemoveLink(this);
}

int TWordGrid::RowAt(int y) const {
    return y < 0 ? -1 : y / RowPitch();
}

QRect TWordGrid::RowRect(int row) const {
    return QRect(0, row * RowPitch(), viewport()->width(), RowPitch());
}

QRect TWordGrid::IndicatorRect(int row) const {
    return QRect(0, row * RowPitch(), kIndicatorWidth, FCellHeight);
}

QRect TWordGrid::WordRect(int row) const {
    return QRect(kWordLeft, row * RowPitch(), kWordColumnWidth, FCellHeight);
}

int TWordGrid::VisibleRows() const {
    return std::min(FFitRows, FRowCount);
}

int TWordGrid::CurrentSlot() const {
    if (!TableOpen())
        return 0;
    return std::max(0, FTable.ViewWindowSlot());
}

bool TWordGrid::GlyphPixel(IndicatorGlyph glyph, int x, int y) {
    if (x < 0 || x >= kGlyphWidth || y < 0 || y >= kGlyphHeight)
        return false;
    return PixelRows(glyph)[y][x] == '#';
}

const QImage& TWordGrid::GlyphImage(IndicatorGlyph glyph) {
    auto make = [](IndicatorGlyph g) {
        QImage image(kGlyphWidth, kGlyphHeight, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        for (int y = 0; y < kGlyphHeight; ++y)
            for (int x = 0; x < kGlyphWidth; ++x)
                if (GlyphPixel(g, x, y))
                    image.setPixel(x, y, qRgb(0, 0, 0));
        return image;
    };
    static const QImage arrow = make(IndicatorGlyph::DBGARROW);
    static const QImage edit = make(IndicatorGlyph::DBEDIT);
    static const QImage insert = make(IndicatorGlyph::DBINSERT);
    switch (glyph) {
        case IndicatorGlyph::DBEDIT:
            return edit;
        case IndicatorGlyph::DBINSERT:
            return insert;
        case IndicatorGlyph::DBGARROW:
            break;
    }
    return arrow;
}

// --- following the table ---------------------------------------------------------------

void TWordGrid::Notify(TableNotice notice, int info) {
    switch (notice) {
        case TableNotice::State:
            FModified = false;
            if (TableOpen() != FOpen) {
                FOpen = TableOpen();
                ForgetAccessibleWords();
                LayoutChanged();
            } else {
                viewport()->update(IndicatorRect(FCurrentRow));
            }
            break;
        case TableNotice::SuspendedState:
            FModified = false;
            break;
        case TableNotice::Content:
            ForgetAccessibleWords();
            UpdateRowCount();
            UpdateScrollBar();
            UpdateActive();
            viewport()->update();
            break;
        case TableNotice::Scroll: {
            const int oldRow = FCurrentRow;
            const int oldRowCount = FRowCount;
            if (CurrentSlot() >= FRowCount)
                UpdateRowCount();
            UpdateScrollBar();
            UpdateActive();
            if (info == 0) {
                viewport()->update(RowRect(oldRow));
                viewport()->update(RowRect(FCurrentRow));
            } else if (std::abs(info) > VisibleRows() || FRowCount != oldRowCount) {
                viewport()->update();
            } else {
                ScrollRows(oldRow, info);
            }
            break;
        }
        case TableNotice::Record:
            viewport()->update();
            break;
        case TableNotice::Field:
            FModified = true;
            viewport()->update(QRect(kWordLeft, 0, kWordColumnWidth, viewport()->height()));
            break;
        case TableNotice::Update:
        case TableNotice::Settle:
            break;
    }
    if (notice == TableNotice::State || notice == TableNotice::Content ||
        notice == TableNotice::Scroll)
        AnnounceCursor();
}

int TWordGrid::AccessibleWordCount() const {
    return TableOpen() ? FTable.CountRecords() : 0;
}

int TWordGrid::RecordOfRow(int row) const {
    if (!FOpen || row < 0 || row >= FTable.ViewWindowCount() || FTable.RecordNumber() == 0)
        return 0;
    return FTable.RecordNumber() - CurrentSlot() + row;
}

int TWordGrid::RowOfRecord(int record) const {
    const int top = RecordOfRow(0);
    if (top == 0 || record < top || record - top >= FTable.ViewWindowCount())
        return -1;
    return record - top;
}

QString TWordGrid::RecordDescription(int record) const {
    if (FTable.State() == TableState::Inserting)
        return {};
    if (record == FTable.RecordNumber() && record > 0)
        return CursorDescription();
    const int row = RowOfRecord(record);
    if (row < 0)
        return {};
    return QString::fromUtf8("%1, %2. szó, összesen %3")
        .arg(WordToText(FTable.ViewWindowWord(row)), QString::number(record),
             QString::number(FTable.CountRecords()));
}

QString TWordGrid::CursorDescription() const {
    if (!TableOpen())
        return QString::fromUtf8("Nincs betöltött szólista");
    if (FTable.State() == TableState::Inserting)
        return QString::fromUtf8("Új szó beszúrása");
    const int number = FTable.RecordNumber();
    if (number == 0)
        return QString::fromUtf8("A lista üres");
    return QString::fromUtf8("%1, %2. szó, összesen %3")
        .arg(WordToText(FTable.WordText()), QString::number(number),
             QString::number(FTable.CountRecords()));
}

// A screen reader follows the cursor as the focus moving from word to word, as in any
// list; it hears of it only when what it would say has changed. (A change of the grid's
// description would do, but Qt 6.4 sends a reference to the grid with it instead of its
// text, which a screen reader cannot speak.)
void TWordGrid::AnnounceCursor() {
    if (!QAccessible::isActive() || !hasFocus() || !TableOpen() ||
        FTable.State() != TableState::Browsing || FTable.RecordNumber() == 0)
        return;
    QString description = CursorDescription();
    if (description == FAnnounced)
        return;
    FAnnounced = std::move(description);
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(FTable.RecordNumber() - 1);
    QAccessible::updateAccessibility(&event);
}

// After a change of the list the places name other words.
void TWordGrid::ForgetAccessibleWords() {
    if (auto* face =
            dynamic_cast<TWordGridAccessible*>(QAccessible::queryAccessibleInterface(this)))
        face->Forget();
}

void TWordGrid::LayoutChanged() {
    FCellHeight = fontMetrics().height() + 3 + kLineWidth;
    updateGeometry();
    FWindowSize = 0;
    UpdateRowCount();
    UpdateActive();
    if (FOpen)
        UpdateScrollBar();
    viewport()->update();
}

void TWordGrid::UpdateRowCount() {
    FFitRows = std::max(1, (viewport()->height() + kLineWidth) / RowPitch());
    if (!FOpen) {
        FRowCount = 1;
        return;
    }
    if (FWindowSize != FFitRows) {
        FWindowSize = FFitRows;
        FTable.SetViewWindowSize(FFitRows);
    }
    FRowCount = std::max(1, FTable.ViewWindowCount());
}

void TWordGrid::UpdateActive() {
    FCurrentRow = FOpen ? std::clamp(CurrentSlot(), 0, FRowCount - 1) : 0;
}

void TWordGrid::UpdateScrollBar() {
    if (!TableOpen())
        return;  // a closed table leaves the bar as it was
    ScrollInfo next = FScroll;
    next.Min = 1;
    next.Page = VisibleRows();
    next.Max = FTable.CountRecords() + next.Page - 1;
    if (FTable.State() != TableState::Inserting)
        next.Position = FTable.RecordNumber();
    if (next == FScroll)
        return;
    FScroll = next;
    WriteScrollBar();
}

int TWordGrid::BarPosition() const {
    const int top = std::max(FScroll.Min, FScroll.Max - FScroll.Page + 1);
    return std::clamp(FScroll.Position, FScroll.Min, top);
}

void TWordGrid::WriteScrollBar() {
    QScopedValueRollback<bool> writing(FWritingBar, true);
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(FScroll.Min, std::max(FScroll.Min, FScroll.Max - FScroll.Page + 1));
    bar->setPageStep(FScroll.Page);
    bar->setSingleStep(1);
    bar->setValue(BarPosition());
}

// The view window moved by distance rows: what is drawn already moves with it, and only
// the rows that came into view, the old current row and the new one are painted again.
void TWordGrid::ScrollRows(int oldRow, int distance) {
    const int pitch = RowPitch();
    viewport()->scroll(0, -distance * pitch, QRect(0, 0, viewport()->width(), FRowCount * pitch));
    auto repaint = [this](int row) {
        if (row >= 0 && row < FRowCount)
            viewport()->update(RowRect(row));
    };
    repaint(oldRow - distance);
    if (distance > 0) {
        for (int row = FRowCount - distance; row < FRowCount; ++row)
            repaint(row);
    } else {
        for (int row = 0; row < -distance; ++row)
            repaint(row);
    }
    repaint(FCurrentRow);
}

// --- keyboard ---------------------------------------------------------------------------

void TWordGrid::keyPressEvent(QKeyEvent* event) {
    event->accept();
    FPressedKeys.Press(*event);
    Guarded([&] { KeyDown(*event); });
    // Delete produces a character in Qt but none on the keyboard the handlers expect.
    const QString text = event->text();
    if (text.isEmpty() || event->key() == Qt::Key_Delete)
        return;
    Guarded([&] { TypeCharacter(text.at(0)); });
}

void TWordGrid::TypeCharacter(QChar character) {
    if (OnKeyPress)
        OnKeyPress(character);
    // The grid has no cell editor, so it has nothing to do with a character itself.
}

// What an input method commits is typed, letter by letter; what it is still composing is
// not shown: the search box shows the letters once they are there.
void TWordGrid::inputMethodEvent(QInputMethodEvent* event) {
    event->accept();
    const QString committed = event->commitString();
    Guarded([&] {
        for (QChar character : committed)
            TypeCharacter(character);
    });
}

QVariant TWordGrid::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImCursorRectangle:  // the input method's window stands by the current word
            return QRect(viewport()->mapTo(this, WordRect(FCurrentRow).topLeft()),
                         WordRect(FCurrentRow).size());
        case Qt::ImHints:
            return static_cast<int>(Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

QSize TWordGrid::minimumSizeHint() const {
    const QSize base = QAbstractScrollArea::minimumSizeHint();
    return {base.width(), std::max(base.height(), 2 * frameWidth() + FCellHeight)};
}

void TWordGrid::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    if (!FPressedKeys.Release(*event))
        return;
    Guarded([&] {
        if (OnKeyUp)
            OnKeyUp(event->key(), event->modifiers());
    });
}

void TWordGrid::KeyDown(const QKeyEvent& event) {
    if (!TableOpen())
        return;
    const bool ctrl = event.modifiers().testFlag(Qt::ControlModifier);
    switch (event.key()) {
        case Qt::Key_Up:
            FTable.MoveBy(ctrl ? -CurrentSlot() : -1);
            break;
        case Qt::Key_Down:
            FTable.MoveBy(ctrl ? FWindowSize - CurrentSlot() - 1 : 1);
            break;
        case Qt::Key_PageUp:
            FTable.MoveBy(ctrl ? -CurrentSlot() : -VisibleRows());
            break;
        case Qt::Key_PageDown:
            FTable.MoveBy(ctrl ? FWindowSize - CurrentSlot() - 1 : VisibleRows());
            break;
        case Qt::Key_Home:
            FTable.MoveFirst();
            break;
        case Qt::Key_End:
            FTable.MoveLast();
            break;
        case Qt::Key_Escape:
            FTable.CancelRecord();
            break;
        case Qt::Key_Delete:
            if (ctrl)
                DeleteWithQuestion();
            break;
        default:
            break;
    }
}

void TWordGrid::DeleteWithQuestion() {
    if (!FTable.CanModify() || !TableOpen() || FTable.TableEmpty())
        return;
    const int answer =
        ShowMessageDialog(QString::fromUtf8("Törli a rekordot?"), MessageType::Confirmation,
                          MessageButton::Yes | MessageButton::No);
    if (answer == mrYes)
        FTable.RemoveCurrent();
}

// --- mouse, wheel and scroll bar --------------------------------------------------------

// A press or a scroll-bar action first takes the focus; when someone takes it back at
// once, the press is not acted on.
bool TWordGrid::AcquireFocus() {
    setFocus(Qt::MouseFocusReason);
    return window()->focusWidget() == this;
}

void TWordGrid::mousePressEvent(QMouseEvent* event) {
    event->accept();
    Guarded([&] {
        if (!AcquireFocus() || !TableOpen())
            return;
        const int row = RowAt(qRound(event->position().y()));
        if (row < 0 || row >= FRowCount || row >= FTable.ViewWindowCount())
            return;
        FTable.MoveBy(row - FCurrentRow);
    });
}

void TWordGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a left double click does nothing; other buttons press again.
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    event->accept();
    Guarded([&] { AcquireFocus(); });
}

void TWordGrid::wheelEvent(QWheelEvent* event) {
    event->ignore();
    Guarded([&] {
        if (WheelTurned(event->angleDelta().y()))
            event->accept();
    });
}

// Whole steps of 120 move one record each, toward the user forward. A step that moves
// nothing (at either end) is left to the window.
bool TWordGrid::WheelTurned(int delta) {
    if (!TableOpen() || window()->focusWidget() != this)
        return false;
    FWheelAccumulator += delta;
    bool moved = false;
    while (std::abs(FWheelAccumulator) >= kWheelDelta) {
        const bool towardUser = FWheelAccumulator < 0;
        FWheelAccumulator += towardUser ? kWheelDelta : -kWheelDelta;
        moved = FTable.MoveBy(towardUser ? 1 : -1) != 0;
    }
    return moved;
}

bool TWordGrid::eventFilter(QObject* watched, QEvent* event) {
    // The wheel over the scroll bar turns the grid like the wheel over the rows.
    if (watched == verticalScrollBar() && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void TWordGrid::ScrollBarAction(int action) {
    if (AcquireFocus() && TableOpen()) {
        const int slot = CurrentSlot();
        switch (action) {
            case QAbstractSlider::SliderSingleStepSub:
                FTable.MoveBy(-(slot + 1));
                break;
            case QAbstractSlider::SliderSingleStepAdd:
                FTable.MoveBy(FTable.ViewWindowCount() - slot);
                break;
            case QAbstractSlider::SliderPageStepSub:
                FTable.MoveBy(-VisibleRows());
                break;
            case QAbstractSlider::SliderPageStepAdd:
                FTable.MoveBy(VisibleRows());
                break;
            case QAbstractSlider::SliderToMinimum:
                FTable.MoveFirst();
                break;
            case QAbstractSlider::SliderToMaximum:
                FTable.MoveLast();
                break;
            default:  // the thumb being dragged: nothing until it is released
                return;
        }
    }
    // The slider has already stepped by itself; it shows the record number instead.
    QScopedValueRollback<bool> writing(FWritingBar, true);
    verticalScrollBar()->setSliderPosition(BarPosition());
}

void TWordGrid::ThumbReleased(int position) {
    if (AcquireFocus() && TableOpen()) {
        if (position <= 1) {
            FTable.MoveFirst();
        } else if (position >= FTable.CountRecords()) {
            FTable.MoveLast();
        } else {
            FTable.GoToRecordNumber(position);
        }
    }
    WriteScrollBar();
}

void TWordGrid::scrollContentsBy(int, int) {
    // The rows follow the table's notices, not the bar's value.
}

// --- focus, size, font ------------------------------------------------------------------

void TWordGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    // Taking the focus, the list is announced with its description, the cursor's word.
    FAnnounced = CursorDescription();
    Guarded([&] { viewport()->update(WordRect(FCurrentRow)); });
}

void TWordGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update(WordRect(FCurrentRow));
    Guarded([&] {
        // A new record left untouched is dropped when the grid is left.
        if (FTable.State() != TableState::Inserting || FModified)
            return;
        try {
            FTable.CancelRecord();
        } catch (...) {
            setFocus();
            throw;
        }
    });
}

void TWordGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    Guarded([&] {
        UpdateRowCount();
        UpdateActive();
        if (FOpen)
            UpdateScrollBar();
        viewport()->update();
    });
}

void TWordGrid::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        Guarded([&] { LayoutChanged(); });
}

// --- painting ---------------------------------------------------------------------------

void TWordGrid::paintEvent(QPaintEvent* event) {
    Guarded([&] {
        QPainter painter(viewport());
        painter.setFont(font());
        const QRect area = event->rect();
        const int first = std::max(0, RowAt(area.top()));
        const int last = std::min(FRowCount - 1, RowAt(area.bottom()));
        for (int row = first; row <= last; ++row)
            PaintRow(painter, row);
        const int rowsBottom = FRowCount * RowPitch();
        if (area.bottom() >= rowsBottom) {
            painter.fillRect(
                QRect(0, rowsBottom, viewport()->width(), viewport()->height() - rowsBottom) & area,
                palette().color(QPalette::Active, QPalette::Base));
        }
    });
}

void TWordGrid::PaintRow(QPainter& painter, int row) const {
    const bool current = FOpen && row == FCurrentRow;
    const QColor cellColour = palette().color(QPalette::Active, QPalette::Base);
    const int top = row * RowPitch();
    // The lines take one device pixel of the pixel between the cells; the rest of it, on a
    // scaled screen, is the cells' colour.
    painter.fillRect(QRect(0, top + FCellHeight, kColumnsRight, kLineWidth), cellColour);
    painter.fillRect(QRect(kIndicatorWidth, top, kLineWidth, RowPitch()), cellColour);
    painter.fillRect(QRect(kWordLeft + kWordColumnWidth, top, kLineWidth, RowPitch()), cellColour);
    PaintIndicatorCell(painter, row, current);
    PaintWordCell(painter, row, current);
    PaintLines(painter, row);
    if (viewport()->width() > kColumnsRight)
        painter.fillRect(QRect(kColumnsRight, top, viewport()->width() - kColumnsRight, RowPitch()),
                         cellColour);
}

// Black lines around the indicator cell, silver ones around the word cell.
void TWordGrid::PaintLines(QPainter& painter, int row) const {
    const QColor cellColour = palette().color(QPalette::Active, QPalette::Base);
    const QColor silver(192, 192, 192);
    const QColor lines = cellColour == silver ? QColor(128, 128, 128) : silver;
    const int top = row * RowPitch();
    const int bottom = top + RowPitch();
    const int lineY = top + FCellHeight;
    const int rightLineX = kWordLeft + kWordColumnWidth;
    FillDeviceRow(painter, 0, kIndicatorWidth + kLineWidth, lineY, Qt::black);
    FillDeviceColumn(painter, kIndicatorWidth, top, bottom, Qt::black);
    FillDeviceRow(painter, kWordLeft, rightLineX, lineY, lines);
    FillDeviceColumn(painter, rightLineX, top, bottom, lines);
}

// A raised button face, the glyph of the table's state on the current row.
void TWordGrid::PaintIndicatorCell(QPainter& painter, int row, bool current) const {
    const QPalette& colours = palette();
    const QRect indicator = IndicatorRect(row);
    painter.fillRect(indicator, colours.color(QPalette::Active, QPalette::Button));
    if (current) {
        IndicatorGlyph glyph = IndicatorGlyph::DBGARROW;
        if (FTable.State() == TableState::Editing)
            glyph = IndicatorGlyph::DBEDIT;
        if (FTable.State() == TableState::Inserting)
            glyph = IndicatorGlyph::DBINSERT;
        const QRect inner = indicator.adjusted(1, 1, -1, -1);
        const int x = inner.left() + inner.width() - 1 - kGlyphWidth;
        const int y = (2 * inner.top() + inner.height() - kGlyphHeight) / 2;
        painter.drawImage(x, y, GlyphImage(glyph));
    }
    // The bevel hugs the cell's edges: light on the first device pixel inside the top and
    // left edges, dark on the last one inside the bottom and right edges.
    const QColor light = colours.color(QPalette::Active, QPalette::Light);
    const QColor dark = colours.color(QPalette::Active, QPalette::Dark);
    const int left = indicator.left();
    const int right = left + indicator.width();
    const int top = indicator.top();
    const int bottom = top + indicator.height();
    FillDeviceRow(painter, left, right, top, light);
    FillDeviceColumn(painter, left, top, bottom, light);
    FillDeviceRow(painter, left, right, bottom, dark, DeviceSide::Before);
    FillDeviceColumn(painter, right, top, bottom, dark, DeviceSide::Before);
}

// Highlighted on the current row whether or not the grid has the focus; grey text while
// the grid is disabled.
void TWordGrid::PaintWordCell(QPainter& painter, int row, bool current) const {
    const QPalette& colours = palette();
    const QRect cell = WordRect(row);
    QColor text = colours.color(QPalette::Active, QPalette::Text);
    QColor background = colours.color(QPalette::Active, QPalette::Base);
    if (current) {
        background = colours.color(QPalette::Active, QPalette::Highlight);
        text = colours.color(QPalette::Active, QPalette::HighlightedText);
    }
    if (!isEnabled())
        text = colours.color(QPalette::Disabled, QPalette::Text);
    painter.fillRect(cell, background);
    if (FOpen && row < FTable.ViewWindowCount()) {
        painter.save();
        painter.setClipRect(cell);
        painter.setPen(text);
        painter.drawText(cell.left() + kTextOffset,
                         cell.top() + kTextOffset + painter.fontMetrics().ascent(),
                         WordToText(FTable.ViewWindowWord(row)));
        painter.restore();
    }
    if (current && isEnabled() && window()->focusWidget() == this)
        PaintFocusRect(painter, cell);
}

// A dotted frame along the cell's edge, every other pixel.
void TWordGrid::PaintFocusRect(QPainter& painter, const QRect& cell) const {
    QList<QRect> dots;
    const auto dot = [&dots](int x, int y) { dots.append(QRect(x, y, 1, 1)); };
    for (int x = cell.left(); x <= cell.right(); ++x) {
        if ((x + cell.top()) % 2 == 0)
            dot(x, cell.top());
        if ((x + cell.bottom()) % 2 == 0)
            dot(x, cell.bottom());
    }
    for (int y = cell.top() + 1; y < cell.bottom(); ++y) {
        if ((cell.left() + y) % 2 == 0)
            dot(cell.left(), y);
        if ((cell.right() + y) % 2 == 0)
            dot(cell.right(), y);
    }
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Active, QPalette::HighlightedText));
    painter.drawRects(dots);
    painter.restore();
}

}  // namespace kormoszi
