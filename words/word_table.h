#pragma once
// The in-memory table of one length's words: a cursor, a view window, an edit buffer and
// a small state machine in front of the word store (records, orders, nearest search); five
// events for the window and change notices for the grid.
//
//   file -> BeginInsert/SetWordText/PostRecord -> SortBy -> cursor, search, edits
//                                                      \-> notices -> grid pulls the view window

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "words/word_collation.h"
#include "words/word_record.h"
#include "words/word_store.h"

namespace kormoszi {

enum class TableState { Inactive, Browsing, Editing, Inserting };
enum class TableNotice { State, SuspendedState, Content, Scroll, Record, Field, Update, Settle };

// A view of the table. info: SuspendedState -> 1 when the table is open, else 0;
// Scroll -> rows the view window shifted toward the end (negative toward the start);
// others 0.
struct TableLink {
    virtual ~TableLink() = default;
    virtual void Notify(TableNotice notice, int info) = 0;
};

class WordTable {
  public:
    // Longest word the field holds, in bytes.
    static constexpr std::size_t kFieldSize = kWordFieldSize;

    explicit WordTable(std::string locale = "hu");
    WordTable(const WordTable&) = delete;
    WordTable& operator=(const WordTable&) = delete;

    // Opens an empty table (insertion order current); nothing on an open table.
    void OpenTable();
    // Cancels a pending insert or change, discards every record; nothing when closed.
    void CloseTable();
    // Room for count more words; only a hint, for a load that knows how many will come.
    void Reserve(std::size_t count) { store_.Reserve(count); }
    // Nesting counter; while above 0 the views get only SuspendedState notices.
    void SuspendNotices();
    void ResumeNotices();

    // Settles, then starts a new record after the last one. std::logic_error when closed.
    void BeginInsert();
    // Starts changing the current record; nothing while editing. std::logic_error
    // without a current record.
    void BeginEdit();
    // The first 7 bytes of text, cut at its first NUL. std::logic_error unless editing.
    void SetWordText(std::string_view text);
    // The current record's word (the edit buffer's while editing); "" without one.
    std::string WordText() const;

    // Stores the edited record and keeps the orders. Throws ETableError (the table is
    // then as before the call) or std::logic_error unless editing.
    void PostRecord();
    // Drops the edit buffer; nothing while browsing.
    void CancelRecord();
    // Removes the current record (cancels while inserting). std::logic_error without one.
    void RemoveCurrent();

    void MoveFirst();
    void MoveNext();
    bool AtEnd() const;
    // True when there is no current record.
    bool TableEmpty() const;
    // Stored records in the current order. std::logic_error when closed.
    int CountRecords() const;

    // Builds the sort order on "szo" and makes it current; a blank name drops it.
    // O(n log n); throws ETableError.
    void SortBy(std::string_view fieldName);
    // Puts the cursor on the first word that begins with text, else the nearest after it,
    // else the last; false only when the current order is empty. O(log n); ETableError.
    bool SeekNearest(std::string_view text);
    TableState State() const { return state_; }

    // Grid operations.
    int MoveBy(int n);
    void MoveLast();
    // 1-based position of the current record; 0 without one.
    int RecordNumber() const;
    void GoToRecordNumber(int p);
    bool CanModify() const { return true; }

    void AddLink(TableLink* link);
    void RemoveLink(TableLink* link);

    // The view window: a run of consecutive records around the current one.
    void SetViewWindowSize(int rows);
    int ViewWindowCount() const { return windowCount_; }
    // Slot of the current record in the window; -1 without one.
    int ViewWindowSlot() const;
    std::string ViewWindowWord(int slot) const;

    // Calls f(word) for at most count stored words of the current order from the current
    // record on, without moving the cursor or telling the views, and returns how many it
    // visited (0 without a current record or while editing). A walk that reads many words
    // per step: O(count).
    template <class F>
    int ForEachWordFromCurrent(int count, F f) const {
        if (!HasCurrent() || IsEditing() || count <= 0)
            return 0;
        return static_cast<int>(store_.ForEachWord(static_cast<std::size_t>(position_),
                                                   static_cast<std::size_t>(count), f));
    }

    WordCollation& Collation() { return store_.Collation(); }

    std::function<void(WordTable&)> AfterInsert, AfterEdit, BeforePost, AfterPost, AfterCancel;

  private:
    bool IsOpen() const { return state_ != TableState::Inactive; }
    bool IsEditing() const {
        return state_ == TableState::Editing || state_ == TableState::Inserting;
    }
    int OrderCount() const { return static_cast<int>(store_.Count()); }
    int EffectiveCount() const;  // with the row being inserted
    bool HasCurrent() const;
    void RequireOpen(const char* operation) const;

    // Notices and events.
    void Notify(TableNotice notice, int info = 0);
    void SetState(TableState state);
    void Fire(const std::function<void(WordTable&)>& event);
    void Settle();

    // Cursor and view window.
    int PreferredSlot() const;
    void FillWindow(int slot);
    void Resync(long position, int slot);
    void ShiftWindow();
    void AnnounceMove(long oldTop, int oldCount);
    int MoveCursorBy(long n);

    WordStore store_;
    TableState state_ = TableState::Inactive;

    long position_ = 0;  // cursor in the current order (== count while inserting)
    bool atEnd_ = true;
    WordValue buffer_;  // the edit buffer
    bool modified_ = false;

    std::vector<TableLink*> links_;
    int suspended_ = 0;
    TableState suspendedFrom_ = TableState::Inactive;

    int windowSize_ = 1;
    long windowTop_ = 0;
    int windowCount_ = 0;
};

}  // namespace kormoszi
