#include "words/word_table.h"

#include <algorithm>
#include <utility>

namespace kormoszi {

WordTable::WordTable(std::string locale) : store_(std::move(locale)) {}

// ---------------------------------------------------------------- notices and events

void WordTable::Notify(TableNotice notice, int info) {
    if (suspended_ > 0)
        return;
    auto links = links_;  // a view may unlink itself while it is told
    for (TableLink* link : links)
        link->Notify(notice, info);
}

void WordTable::SetState(TableState state) {
    state_ = state;
    modified_ = false;
    if (suspended_ > 0) {
        auto links = links_;
        for (TableLink* link : links)
            link->Notify(TableNotice::SuspendedState, IsOpen() ? 1 : 0);
    } else {
        Notify(TableNotice::State);
    }
}

void WordTable::Fire(const std::function<void(WordTable&)>& event) {
    if (event)
        event(*this);
}

void WordTable::RequireOpen(const char* operation) const {
    if (!IsOpen())
        throw std::logic_error(std::string(operation) + " on a closed table");
}

void WordTable::AddLink(TableLink* link) {
    if (std::find(links_.begin(), links_.end(), link) == links_.end())
        links_.push_back(link);
}

void WordTable::RemoveLink(TableLink* link) {
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

// ---------------------------------------------------------------- what the cursor sees

int WordTable::EffectiveCount() const {
    return OrderCount() + (state_ == TableState::Inserting ? 1 : 0);
}

bool WordTable::HasCurrent() const {
    if (!IsOpen())
        return false;
    if (state_ == TableState::Inserting)
        return true;
    return position_ >= 0 && position_ < OrderCount();
}

bool WordTable::AtEnd() const {
    return atEnd_;
}

bool WordTable::TableEmpty() const {
    return !HasCurrent();
}

int WordTable::CountRecords() const {
    RequireOpen("CountRecords");
    return OrderCount();
}

std::string WordTable::WordText() const {
    if (!HasCurrent())
        return {};
    if (IsEditing())
        return std::string(buffer_.Text());
    return std::string(store_.WordAt(static_cast<std::size_t>(position_)));
}

int WordTable::RecordNumber() const {
    return HasCurrent() ? static_cast<int>(position_) + 1 : 0;
}

// ---------------------------------------------------------------- view window

int WordTable::PreferredSlot() const {
    long slot = position_ - windowTop_;
    return static_cast<int>(std::clamp<long>(slot, 0, windowSize_ - 1));
}

// Fills the window around the cursor, with the cursor at slot where the order allows.
void WordTable::FillWindow(int slot) {
    long total = EffectiveCount();
    if (!IsOpen() || total == 0) {
        windowTop_ = 0;
        windowCount_ = 0;
        return;
    }
    long count = std::min<long>(windowSize_, total);
    windowTop_ = std::clamp<long>(position_ - slot, 0, total - count);
    windowCount_ = static_cast<int>(count);
}

void WordTable::Resync(long position, int slot) {
    long count = OrderCount();
    position_ = count == 0 ? 0 : std::clamp<long>(position, 0, count - 1);
    FillWindow(slot);
    Notify(TableNotice::Content);
}

// Moves the window the least that brings the current record into it.
void WordTable::ShiftWindow() {
    long count = OrderCount();
    long size = std::min<long>(windowSize_, count);
    long top = std::clamp<long>(windowTop_, position_ - size + 1, position_);
    windowTop_ = std::clamp<long>(top, 0, count - size);
    windowCount_ = static_cast<int>(size);
}

void WordTable::AnnounceMove(long oldTop, int oldCount) {
    if (windowCount_ != oldCount) {
        Notify(TableNotice::Content);
    } else {
        Notify(TableNotice::Scroll, static_cast<int>(windowTop_ - oldTop));
    }
}

int WordTable::MoveCursorBy(long n) {
    long count = OrderCount();
    if (count == 0 || !HasCurrent())
        return 0;
    long target = std::clamp<long>(position_ + n, 0, count - 1);
    long moved = target - position_;
    if (moved == 0)
        return 0;
    position_ = target;
    long oldTop = windowTop_;
    int oldCount = windowCount_;
    ShiftWindow();
    AnnounceMove(oldTop, oldCount);
    return static_cast<int>(moved);
}

void WordTable::SetViewWindowSize(int rows) {
    int slot = PreferredSlot();
    windowSize_ = std::max(1, rows);
    FillWindow(std::min(slot, windowSize_ - 1));
}

int WordTable::ViewWindowSlot() const {
    return HasCurrent() ? static_cast<int>(position_ - windowTop_) : -1;
}

std::string WordTable::ViewWindowWord(int slot) const {
    if (slot < 0 || slot >= windowCount_)
        return {};
    long p = windowTop_ + slot;
    if (IsEditing() && p == position_)
        return std::string(buffer_.Text());
    if (p >= OrderCount())
        return {};
    return std::string(store_.WordAt(static_cast<std::size_t>(p)));
}

// ---------------------------------------------------------------- suspended notices

void WordTable::SuspendNotices() {
    if (suspended_ == 0)
        suspendedFrom_ = state_;
    ++suspended_;
}

void WordTable::ResumeNotices() {
    if (suspended_ == 0)
        return;
    if (--suspended_ > 0)
        return;
    if (state_ != suspendedFrom_)
        Notify(TableNotice::State);
    if (IsOpen() && suspendedFrom_ != TableState::Inactive) {
        FillWindow(PreferredSlot());
        Notify(TableNotice::Content);
    }
}

// ---------------------------------------------------------------- editing

void WordTable::SetWordText(std::string_view text) {
    if (!IsEditing())
        throw std::logic_error("SetWordText while not editing");
    buffer_.Set(text);
    modified_ = true;
    Notify(TableNotice::Field);
}

void WordTable::PostRecord() {
    if (!IsEditing())
        throw std::logic_error("PostRecord while not editing");
    Notify(TableNotice::Update);
    Notify(TableNotice::Settle);
    Fire(BeforePost);
    // Everything that can fail comes before the first change, so a failed post leaves
    // the table as it was, with the word still in the edit buffer.
    WordStore::SortKey key = store_.KeyFor(buffer_);
    int slot = PreferredSlot();
    long place = position_;
    if (state_ == TableState::Inserting) {
        place = OrderCount();
        store_.Append(buffer_, key);
    } else {
        store_.Replace(static_cast<std::size_t>(place), buffer_, key);
    }
    SetState(TableState::Browsing);
    Resync(place, slot);
    buffer_ = {};
    Fire(AfterPost);
}

void WordTable::CancelRecord() {
    if (!IsEditing())
        return;
    bool inserting = state_ == TableState::Inserting;
    Notify(TableNotice::Settle);
    int slot = PreferredSlot();
    buffer_ = {};
    SetState(TableState::Browsing);
    Resync(inserting ? OrderCount() : position_, slot);
    Fire(AfterCancel);
}

void WordTable::Settle() {
    Notify(TableNotice::Settle);
    if (!IsEditing())
        return;
    Notify(TableNotice::Update);
    if (modified_) {
        PostRecord();
    } else {
        CancelRecord();
    }
}

void WordTable::BeginInsert() {
    RequireOpen("BeginInsert");
    Settle();
    int slot = windowSize_ - 1;  // the new row goes under the last word, at the bottom
    position_ = OrderCount();
    buffer_ = {};
    SetState(TableState::Inserting);
    FillWindow(slot);
    Notify(TableNotice::Content);
    Fire(AfterInsert);
}

void WordTable::BeginEdit() {
    RequireOpen("BeginEdit");
    if (IsEditing())
        return;
    if (!HasCurrent())
        throw std::logic_error("BeginEdit without a current record");
    Notify(TableNotice::Settle);
    buffer_ = store_.ValueAt(static_cast<std::size_t>(position_));
    SetState(TableState::Editing);
    Notify(TableNotice::Record);
    Fire(AfterEdit);
}

void WordTable::RemoveCurrent() {
    if (state_ == TableState::Inserting) {
        CancelRecord();
        return;
    }
    RequireOpen("RemoveCurrent");
    if (state_ == TableState::Editing)
        throw std::logic_error("RemoveCurrent while editing");
    if (!HasCurrent())
        throw std::logic_error("RemoveCurrent without a current record");
    Notify(TableNotice::Settle);
    int slot = PreferredSlot();
    long place = position_;
    store_.Remove(static_cast<std::size_t>(place));
    Resync(place, slot);
}

// ---------------------------------------------------------------- open and close

void WordTable::OpenTable() {
    if (IsOpen())
        return;
    position_ = 0;
    atEnd_ = true;
    windowTop_ = 0;
    windowCount_ = 0;
    SetState(TableState::Browsing);
}

void WordTable::CloseTable() {
    if (!IsOpen())
        return;
    if (IsEditing())
        CancelRecord();
    SetState(TableState::Inactive);
    store_.Clear();
    position_ = 0;
    atEnd_ = true;
    buffer_ = {};
    windowTop_ = 0;
    windowCount_ = 0;
}

// ---------------------------------------------------------------- moving

void WordTable::MoveFirst() {
    if (!IsOpen()) {
        atEnd_ = true;
        return;
    }
    Settle();
    position_ = 0;
    atEnd_ = OrderCount() == 0;
    FillWindow(0);
    Notify(TableNotice::Content);
}

void WordTable::MoveNext() {
    if (!IsOpen()) {
        atEnd_ = true;
        return;
    }
    Settle();
    if (position_ + 1 < OrderCount()) {
        MoveCursorBy(1);
        atEnd_ = false;
        return;
    }
    if (atEnd_)
        return;
    // No further record: the cursor stays, and the views hear of the step all the same.
    atEnd_ = true;
    long oldTop = windowTop_;
    int oldCount = windowCount_;
    if (HasCurrent())
        ShiftWindow();
    AnnounceMove(oldTop, oldCount);
}

int WordTable::MoveBy(int n) {
    if (!IsOpen())
        return 0;
    Settle();
    return MoveCursorBy(n);
}

void WordTable::MoveLast() {
    if (!IsOpen())
        return;
    Settle();
    position_ = std::max(0, OrderCount() - 1);
    FillWindow(windowSize_ - 1);
    Notify(TableNotice::Content);
}

void WordTable::GoToRecordNumber(int p) {
    if (!IsOpen())
        return;
    Settle();
    int slot = PreferredSlot();
    Resync(static_cast<long>(p) - 1, slot);
}

// ---------------------------------------------------------------- sorting and searching

void WordTable::SortBy(std::string_view fieldName) {
    if (!IsOpen())
        return;
    Settle();
    std::size_t current = HasCurrent() ? static_cast<std::size_t>(position_) : WordStore::kNone;
    int slot = PreferredSlot();
    bool blank = fieldName.find_first_not_of(' ') == std::string_view::npos;
    position_ = static_cast<long>(blank ? store_.Unsort(current) : store_.Sort(current));
    FillWindow(slot);
    Notify(TableNotice::Content);
}

bool WordTable::SeekNearest(std::string_view text) {
    if (!IsOpen())
        return false;
    Settle();
    text = CutToField(text);
    if (OrderCount() == 0)
        return false;
    int slot = PreferredSlot();
    Resync(static_cast<long>(store_.Nearest(text)), slot);
    return true;
}

}  // namespace kormoszi
