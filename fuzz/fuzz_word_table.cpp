// Table operations decoded from the bytes, run on the word table and on a plain model
// beside it: the records in insertion order and, once sorted, a vector kept in order by a
// collation of the same locale. After every step both must agree on the state, the count,
// the order the cursor walks, the cursor, the current word and the end flag; no notice may
// reach a view while notices are suspended; and nothing may come out but the documented
// errors: std::logic_error for a call in the wrong state (which then changes nothing), and
// "Invalid locale." only while the locale is taken away, leaving the table as it was
// before the call or after the settling that the call begins with.
//
// Words that compare equal may stand in any order among themselves, so after each step
// the model takes over the table's arrangement within each run of equal words once it
// has checked that the run holds the same words.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "words/word_collation.h"
#include "words/word_table.h"

using kormoszi::ETableError;
using kormoszi::TableLink;
using kormoszi::TableNotice;
using kormoszi::TableState;
using kormoszi::WordCollation;
using kormoszi::WordTable;
using kormoszi::fuzz::Input;
using kormoszi::fuzz::Show;

namespace {

constexpr long kMaxRecords = 400;
constexpr int kWholeOrder = 1 << 20;  // a view window that holds every record

struct Rec {
    std::string word;
    bool hasValue = false;
    bool operator==(const Rec&) const = default;
};

const WordCollation& ModelCollation() {
    static const WordCollation collation;
    return collation;
}

// No value before any value, then the word collation.
int CompareRecs(const Rec& a, const Rec& b) {
    if (!a.hasValue || !b.hasValue)
        return int{a.hasValue} - int{b.hasValue};
    return ModelCollation().Compare(a.word, b.word);
}

std::size_t LowerBound(const std::vector<Rec>& order, const Rec& key) {
    std::size_t i = 0;
    while (i < order.size() && CompareRecs(order[i], key) < 0)
        ++i;
    return i;
}

std::string Cut(std::string_view text) {
    text = text.substr(0, std::min(text.size(), WordTable::kFieldSize));
    return std::string(text.substr(0, text.find('\0')));
}

enum class Outcome { Ok, Misuse };
struct Expect {
    Outcome outcome = Outcome::Ok;
    long result = 0;
};
constexpr Expect kMisuse{Outcome::Misuse, 0};

struct Model {
    TableState state = TableState::Inactive;
    std::vector<Rec> rows;    // insertion order
    std::vector<Rec> sorted;  // sort order, while sortedOn
    bool sortedOn = false;
    // False once an edit or removal in sort order hit one of several identical records:
    // which of them the table changed shows in insertion order only.
    bool rowsKnown = true;
    long pos = 0;
    bool atEnd = true;
    Rec buffer;
    bool modified = false;
    int suspended = 0;
    int windowSize = 1;
    bool unavailable = false;

    // What the next check takes from the table instead of predicting it: the cursor may
    // stand on any of these positions, on a record whose word is cursorWord.
    std::vector<long> cursorChoices;
    std::optional<std::string> cursorWord;
    // A posted record must stand here, before the records equal to it.
    std::optional<std::pair<std::size_t, std::string>> placed;

    bool Open() const { return state != TableState::Inactive; }
    bool Editing() const { return state == TableState::Editing || state == TableState::Inserting; }
    std::vector<Rec>& Order() { return sortedOn ? sorted : rows; }
    const std::vector<Rec>& Order() const { return sortedOn ? sorted : rows; }
    long Count() const { return static_cast<long>(Order().size()); }
    bool HasCurrent() const {
        if (!Open())
            return false;
        return state == TableState::Inserting || (pos >= 0 && pos < Count());
    }
    std::string WordText() const {
        if (!HasCurrent())
            return {};
        return Editing() ? buffer.word : Order()[static_cast<std::size_t>(pos)].word;
    }
    void SetState(TableState s) {
        state = s;
        modified = false;
    }
    void Resync(long p) {
        long count = Count();
        pos = count == 0 ? 0 : std::clamp(p, 0L, count - 1);
    }
    void Settle() {
        if (!Editing())
            return;
        if (modified)
            Post();
        else
            Cancel();
    }

    // The row of insertion order that holds the same record as old; with several
    // identical ones the table may have meant another.
    std::size_t RowOf(const Rec& old) {
        std::size_t first = rows.size(), found = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i] == old) {
                if (found++ == 0)
                    first = i;
            }
        }
        FUZZ_CHECK(found > 0, "model: a sorted record is missing from insertion order");
        if (found > 1)
            rowsKnown = false;
        return first;
    }

    void OpenTable() {
        if (Open())
            return;
        rows.clear();
        sorted.clear();
        sortedOn = false;
        rowsKnown = true;
        pos = 0;
        atEnd = true;
        SetState(TableState::Browsing);
    }
    void CloseTable() {
        if (!Open())
            return;
        if (Editing())
            Cancel();
        SetState(TableState::Inactive);
        rows.clear();
        sorted.clear();
        sortedOn = false;
        rowsKnown = true;
        pos = 0;
        atEnd = true;
        buffer = {};
    }
    Expect BeginInsert(bool settleOnly) {
        if (!Open())
            return kMisuse;
        Settle();
        if (settleOnly)
            return {};
        pos = Count();
        buffer = {};
        SetState(TableState::Inserting);
        return {};
    }
    Expect BeginEdit() {
        if (!Open())
            return kMisuse;
        if (Editing())
            return {};
        if (!HasCurrent())
            return kMisuse;
        buffer = Order()[static_cast<std::size_t>(pos)];
        SetState(TableState::Editing);
        return {};
    }
    Expect SetWordText(const std::string& text) {
        if (!Editing())
            return kMisuse;
        buffer.word = Cut(text);
        buffer.hasValue = true;
        modified = true;
        return {};
    }
    Expect Post() {
        if (!Editing())
            return kMisuse;
        if (state == TableState::Inserting) {
            long before = Count();
            rows.push_back(buffer);
            if (sortedOn) {
                std::size_t at = LowerBound(sorted, buffer);
                sorted.insert(sorted.begin() + static_cast<std::ptrdiff_t>(at), buffer);
                placed = {at, buffer.word};
            }
            SetState(TableState::Browsing);
            Resync(before);
        } else {
            long place = pos;
            auto at = static_cast<std::size_t>(place);
            Rec old = Order()[at];
            if (sortedOn) {
                rows[RowOf(old)] = buffer;
                if (CompareRecs(old, buffer) == 0) {
                    sorted[at] = buffer;
                } else {
                    sorted.erase(sorted.begin() + static_cast<std::ptrdiff_t>(at));
                    at = LowerBound(sorted, buffer);
                    sorted.insert(sorted.begin() + static_cast<std::ptrdiff_t>(at), buffer);
                }
                placed = {at, buffer.word};
            } else {
                rows[at] = buffer;
            }
            SetState(TableState::Browsing);
            Resync(place);
        }
        buffer = {};
        return {};
    }
    Expect Cancel() {
        if (!Editing())
            return {};
        bool inserting = state == TableState::Inserting;
        buffer = {};
        SetState(TableState::Browsing);
        Resync(inserting ? Count() : pos);
        return {};
    }
    Expect Remove() {
        if (state == TableState::Inserting)
            return Cancel();
        if (!Open() || state == TableState::Editing || !HasCurrent())
            return kMisuse;
        long place = pos;
        auto at = static_cast<std::size_t>(place);
        if (sortedOn) {
            Rec old = sorted[at];
            sorted.erase(sorted.begin() + static_cast<std::ptrdiff_t>(at));
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(RowOf(old)));
        } else {
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(at));
        }
        Resync(place);
        return {};
    }
    Expect MoveFirst(bool settleOnly) {
        if (!Open()) {
            atEnd = true;
            return {};
        }
        Settle();
        if (settleOnly)
            return {};
        pos = 0;
        atEnd = Count() == 0;
        return {};
    }
    Expect MoveNext(bool settleOnly) {
        if (!Open()) {
            atEnd = true;
            return {};
        }
        Settle();
        if (settleOnly)
            return {};
        if (atEnd && pos + 1 >= Count())
            return {};
        if (pos + 1 < Count()) {
            ++pos;
            atEnd = false;
        } else {
            atEnd = true;
        }
        return {};
    }
    Expect MoveBy(long n, bool settleOnly) {
        if (!Open())
            return {};
        Settle();
        if (settleOnly || Count() == 0 || !HasCurrent())
            return {};
        long target = std::clamp(pos + n, 0L, Count() - 1);
        long moved = target - pos;
        pos = target;
        return {Outcome::Ok, moved};
    }
    Expect MoveLast(bool settleOnly) {
        if (!Open())
            return {};
        Settle();
        if (!settleOnly)
            pos = std::max(0L, Count() - 1);
        return {};
    }
    Expect GoToRecordNumber(long p, bool settleOnly) {
        if (!Open())
            return {};
        Settle();
        if (!settleOnly)
            Resync(p - 1);
        return {};
    }
    Expect SortBy(const std::string& field, bool settleOnly) {
        if (!Open())
            return {};
        Settle();
        if (settleOnly)
            return {};
        placed.reset();  // a settling post's place was in the order about to go
        bool has = Count() > 0;
        Rec current = has ? Order()[static_cast<std::size_t>(pos)] : Rec{};
        if (field.find_first_not_of(' ') == std::string::npos) {
            if (!sortedOn)
                return {};  // the current record keeps its place
            FUZZ_CHECK(rowsKnown, "model: insertion order shown while not known");
            sortedOn = false;
            sorted.clear();
            pos = 0;
            for (long i = 0; has && i < Count(); ++i) {
                if (rows[static_cast<std::size_t>(i)] == current)
                    cursorChoices.push_back(i);
            }
        } else {
            sorted = rows;
            std::stable_sort(sorted.begin(), sorted.end(),
                             [](const Rec& a, const Rec& b) { return CompareRecs(a, b) < 0; });
            sortedOn = true;
            pos = 0;
            for (long i = 0; has && i < Count(); ++i) {
                if (CompareRecs(sorted[static_cast<std::size_t>(i)], current) == 0)
                    cursorChoices.push_back(i);
            }
        }
        if (has)
            cursorWord = current.word;
        return {};
    }
    Expect SeekNearest(const std::string& search, bool settleOnly) {
        if (!Open())
            return {Outcome::Ok, 0};
        Settle();
        if (settleOnly)
            return {};
        std::string text = Cut(search);
        long count = Count();
        if (count == 0)
            return {Outcome::Ok, 0};
        if (!sortedOn) {
            // Where a search in insertion order lands is the table's own business.
            for (long i = 0; i < count; ++i)
                cursorChoices.push_back(i);
            return {Outcome::Ok, 1};
        }
        long found = count;
        if (count > 20) {
            found = static_cast<long>(LowerBound(sorted, Rec{text, true}));
        } else {
            for (long i = 0; i < count; ++i) {
                std::string word = sorted[static_cast<std::size_t>(i)].word;
                if (word.size() > text.size())
                    word.resize(text.size());
                if (ModelCollation().Compare(text, word) <= 0) {
                    found = i;
                    break;
                }
            }
        }
        // The promise: the first word in sort order that begins with the typed bytes.
        for (long i = 0; !text.empty() && i < count; ++i) {
            if (sorted[static_cast<std::size_t>(i)].word.starts_with(text)) {
                found = i;
                break;
            }
        }
        Resync(found);
        return {Outcome::Ok, 1};
    }
};

// What the table shows of itself, read without moving its cursor: the view window made
// large enough for every record, then set back.
struct Observed {
    TableState state = TableState::Inactive;
    bool atEnd = true, empty = true;
    int recordNumber = 0;
    std::string wordText;
    int count = 0;
    std::vector<std::string> rows;  // the current order, with the row under edit
};

Observed Observe(WordTable& table, int windowSize) {
    Observed o;
    o.state = table.State();
    o.atEnd = table.AtEnd();
    o.empty = table.TableEmpty();
    o.recordNumber = table.RecordNumber();
    o.wordText = table.WordText();
    if (o.state != TableState::Inactive) {
        o.count = table.CountRecords();
        table.SetViewWindowSize(kWholeOrder);
        for (int i = 0; i < table.ViewWindowCount(); ++i)
            o.rows.push_back(table.ViewWindowWord(i));
        table.SetViewWindowSize(windowSize);
    }
    return o;
}

// Empty when the table shows what the model holds; the model then takes over the table's
// arrangement of equal words and the cursor it was free to choose.
std::string Match(Model& m, const Observed& o) {
    if (o.state != m.state)
        return "state " + std::to_string(int(o.state)) + ", expected " +
               std::to_string(int(m.state));
    if (o.atEnd != m.atEnd)
        return "end flag " + std::to_string(o.atEnd);
    if (!m.Open())
        return o.empty && o.recordNumber == 0 && o.wordText.empty()
                   ? ""
                   : "a closed table shows a record";

    long count = m.Count();
    if (o.count != count)
        return "count " + std::to_string(o.count) + ", expected " + std::to_string(count);
    bool inserting = m.state == TableState::Inserting;
    if (o.rows.size() != static_cast<std::size_t>(count + (inserting ? 1 : 0)))
        return "view window of " + std::to_string(o.rows.size()) + " rows";
    std::vector<std::string> words(o.rows.begin(), o.rows.begin() + count);
    if (inserting && o.rows.back() != m.buffer.word)
        return "new row shows " + Show(o.rows.back());
    if (m.state == TableState::Editing) {
        auto at = static_cast<std::size_t>(m.pos);
        if (words[at] != m.buffer.word)
            return "row under edit shows " + Show(words[at]);
        words[at] = m.Order()[at].word;
    }
    if (m.placed && words[m.placed->first] != m.placed->second)
        return "posted " + Show(m.placed->second) + " not at " + std::to_string(m.placed->first);

    std::vector<Rec>& order = m.Order();
    if (!m.sortedOn) {
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (words[i] != order[i].word)
                return "insertion order: " + Show(words[i]) + " at " + std::to_string(i) +
                       ", expected " + Show(order[i].word);
        }
    } else {
        for (std::size_t s = 0; s < order.size();) {
            std::size_t e = s + 1;
            while (e < order.size() && CompareRecs(order[s], order[e]) == 0)
                ++e;
            std::vector<std::string> got(words.begin() + static_cast<std::ptrdiff_t>(s),
                                         words.begin() + static_cast<std::ptrdiff_t>(e));
            std::vector<std::string> want;
            for (std::size_t i = s; i < e; ++i)
                want.push_back(order[i].word);
            std::sort(got.begin(), got.end());
            std::sort(want.begin(), want.end());
            if (got != want)
                return "sort order from " + std::to_string(s) + ": " + Show(words[s]) +
                       ", expected " + Show(order[s].word);
            for (std::size_t i = s; i < e; ++i)
                order[i].word = words[i];
            s = e;
        }
    }

    if (!m.cursorChoices.empty()) {
        long at = o.recordNumber - 1;
        if (std::find(m.cursorChoices.begin(), m.cursorChoices.end(), at) == m.cursorChoices.end())
            return "cursor at " + std::to_string(at) + ", not where it may be";
        if (m.cursorWord && words[static_cast<std::size_t>(at)] != *m.cursorWord)
            return "cursor on " + Show(words[static_cast<std::size_t>(at)]) + ", expected " +
                   Show(*m.cursorWord);
        m.pos = at;
    }
    m.cursorChoices.clear();
    m.cursorWord.reset();
    m.placed.reset();

    int number = m.HasCurrent() ? static_cast<int>(m.pos) + 1 : 0;
    if (o.recordNumber != number)
        return "record number " + std::to_string(o.recordNumber) + ", expected " +
               std::to_string(number);
    if (o.empty == m.HasCurrent())
        return "TableEmpty " + std::to_string(o.empty);
    if (o.wordText != m.WordText())
        return "current word " + Show(o.wordText) + ", expected " + Show(m.WordText());
    return "";
}

// A view that may hear nothing but the changes of state while notices are suspended.
struct Link : TableLink {
    WordTable* table = nullptr;
    bool suspended = false;
    void Notify(TableNotice notice, int info) override {
        if (notice == TableNotice::SuspendedState) {
            FUZZ_CHECK(suspended, "a suspended-state notice while notices flow");
            FUZZ_CHECK(info == (table->State() != TableState::Inactive ? 1 : 0),
                       "a suspended-state notice tells the table's openness wrongly");
        } else {
            FUZZ_CHECK(!suspended, "notice " + std::to_string(int(notice)) +
                                       " reached a view while notices were suspended");
        }
    }
};

class Harness {
  public:
    Harness() {
        link_.table = &table_;
        table_.AddLink(&link_);
    }
    ~Harness() { table_.RemoveLink(&link_); }

    const Model& State() const { return model_; }

    // Runs one operation on both. modelOp(model, settleOnly) says what should happen, or
    // with settleOnly true only the settling that the operation begins with.
    template <class TableOp, class ModelOp>
    void Step(const std::string& what, TableOp tableOp, ModelOp modelOp) {
        const Model before = model_;
        Model expected = before;
        const Expect expect = modelOp(expected, false);
        link_.suspended = before.suspended > 0 && expected.suspended > 0;

        enum { kThrewNothing, kThrewMisuse, kThrewLocale } thrown = kThrewNothing;
        long result = 0;
        try {
            result = tableOp(table_);
        } catch (const ETableError& error) {
            FUZZ_CHECK(std::string(error.what()) == "Invalid locale.",
                       what + ": table error " + error.what());
            thrown = kThrewLocale;
        } catch (const std::logic_error&) {
            thrown = kThrewMisuse;
        }
        const Observed seen = Observe(table_, expected.windowSize);

        if (thrown == kThrewMisuse) {
            FUZZ_CHECK(expect.outcome == Outcome::Misuse, what + ": refused as misuse");
            model_ = before;
            std::string why = Match(model_, seen);
            FUZZ_CHECK(why.empty(), what + ": refused but changed the table: " + why);
            return;
        }
        FUZZ_CHECK(expect.outcome == Outcome::Ok, what + ": misuse not refused");
        if (thrown == kThrewLocale) {
            FUZZ_CHECK(before.unavailable, what + ": \"Invalid locale.\" with the locale there");
            Model unchanged = before;
            if (Match(unchanged, seen).empty()) {
                model_ = unchanged;
                return;
            }
            Model settled = before;
            modelOp(settled, true);
            std::string why = Match(settled, seen);
            FUZZ_CHECK(why.empty(), what + ": failed and left the table changed: " + why);
            model_ = settled;
            return;
        }
        FUZZ_CHECK(result == expect.result, what + ": returned " + std::to_string(result) +
                                                ", expected " + std::to_string(expect.result));
        std::string why = Match(expected, seen);
        FUZZ_CHECK(why.empty(), what + ": " + why);
        model_ = expected;
    }

    void SetUnavailable(bool unavailable) {
        table_.Collation().SetUnavailable(unavailable);
        model_.unavailable = unavailable;
    }

  private:
    WordTable table_;
    Model model_;
    Link link_;
};

// Mostly letters that make Hungarian double letters, accents and case, some that the
// collation ignores, a NUL; a byte from 0x80 up stands for itself.
std::string Text(Input& input) {
    static const char kLetters[] = "abcsyzdgnlteoACSZ\xE1\xE9\xF6\xF5\xFC\xC1\x01 -";
    std::string text;
    for (int n = input.Byte() % 10; n > 0; --n) {
        std::uint8_t b = input.Byte();
        text.push_back(b < 0x80 ? kLetters[b % sizeof kLetters] : static_cast<char>(b));
    }
    return text;
}

// A step of the table that gives nothing back, and one of the model that expects nothing.
template <class F>
auto GivesNothing(F f) {
    return [f](WordTable& t) {
        f(t);
        return 0L;
    };
}
template <class F>
auto ExpectsNothing(F f) {
    return [f](Model& m, bool) {
        f(m);
        return Expect{};
    };
}

void Post(Harness& h, const std::string& word) {
    h.Step("BeginInsert", GivesNothing([](WordTable& t) { t.BeginInsert(); }),
           [](Model& m, bool s) { return m.BeginInsert(s); });
    h.Step("SetWordText " + Show(word), GivesNothing([&](WordTable& t) { t.SetWordText(word); }),
           [&](Model& m, bool) { return m.SetWordText(word); });
    h.Step("PostRecord", GivesNothing([](WordTable& t) { t.PostRecord(); }),
           [](Model& m, bool) { return m.Post(); });
}

void Seek(Harness& h, const std::string& text) {
    h.Step(
        "SeekNearest " + Show(text), [&](WordTable& t) { return long{t.SeekNearest(text)}; },
        [&](Model& m, bool s) { return m.SeekNearest(text, s); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    Harness h;
    h.Step("OpenTable", GivesNothing([](WordTable& t) { t.OpenTable(); }),
           ExpectsNothing([](Model& m) { m.OpenTable(); }));

    for (int steps = 0; !input.Done() && steps < 1000; ++steps) {
        const bool roomy = h.State().Count() < kMaxRecords;
        switch (input.Byte() % 32) {
            case 0:
                h.Step("OpenTable", GivesNothing([](WordTable& t) { t.OpenTable(); }),
                       ExpectsNothing([](Model& m) { m.OpenTable(); }));
                break;
            case 1:
                h.Step("CloseTable", GivesNothing([](WordTable& t) { t.CloseTable(); }),
                       ExpectsNothing([](Model& m) { m.CloseTable(); }));
                break;
            case 2:
            case 3:
                h.Step("BeginInsert", GivesNothing([](WordTable& t) { t.BeginInsert(); }),
                       [](Model& m, bool s) { return m.BeginInsert(s); });
                break;
            case 4:
                h.Step("BeginEdit", GivesNothing([](WordTable& t) { t.BeginEdit(); }),
                       [](Model& m, bool) { return m.BeginEdit(); });
                break;
            case 5:
            case 6: {
                std::string text = Text(input);
                h.Step("SetWordText " + Show(text),
                       GivesNothing([&](WordTable& t) { t.SetWordText(text); }),
                       [&](Model& m, bool) { return m.SetWordText(text); });
                break;
            }
            case 7:
            case 8:
                if (roomy || h.State().state != TableState::Inserting)
                    h.Step("PostRecord", GivesNothing([](WordTable& t) { t.PostRecord(); }),
                           [](Model& m, bool) { return m.Post(); });
                break;
            case 9:
                h.Step("CancelRecord", GivesNothing([](WordTable& t) { t.CancelRecord(); }),
                       [](Model& m, bool) { return m.Cancel(); });
                break;
            case 10:
                h.Step("RemoveCurrent", GivesNothing([](WordTable& t) { t.RemoveCurrent(); }),
                       [](Model& m, bool) { return m.Remove(); });
                break;
            case 11:
                h.Step("MoveFirst", GivesNothing([](WordTable& t) { t.MoveFirst(); }),
                       [](Model& m, bool s) { return m.MoveFirst(s); });
                break;
            case 12:
                h.Step("MoveNext", GivesNothing([](WordTable& t) { t.MoveNext(); }),
                       [](Model& m, bool s) { return m.MoveNext(s); });
                break;
            case 13:
            case 31: {
                int n = input.Byte();
                n -= n > 127 ? 256 : 0;  // -128 to 127
                h.Step(
                    "MoveBy " + std::to_string(n), [&](WordTable& t) { return long{t.MoveBy(n)}; },
                    [&](Model& m, bool s) { return m.MoveBy(n, s); });
                break;
            }
            case 14:
                h.Step("MoveLast", GivesNothing([](WordTable& t) { t.MoveLast(); }),
                       [](Model& m, bool s) { return m.MoveLast(s); });
                break;
            case 15: {
                int p = int{input.Byte()} - 4;
                h.Step("GoToRecordNumber " + std::to_string(p),
                       GivesNothing([&](WordTable& t) { t.GoToRecordNumber(p); }),
                       [&](Model& m, bool s) { return m.GoToRecordNumber(p, s); });
                break;
            }
            case 16:
            case 17: {
                static const char* const kFields[] = {"szo", " ", "", "  szo "};
                std::string field = kFields[input.Byte() % 4];
                // Back to insertion order only while the model knows it (the settling post
                // of a change may hit one of several identical words).
                if (h.State().sortedOn &&
                    (!h.State().rowsKnown || h.State().state == TableState::Editing))
                    field = "szo";
                h.Step("SortBy \"" + field + "\"",
                       GivesNothing([&](WordTable& t) { t.SortBy(field); }),
                       [&](Model& m, bool s) { return m.SortBy(field, s); });
                break;
            }
            case 18:
            case 19:
            case 20:
                Seek(h, Text(input));
                break;
            case 21:
                h.Step("SuspendNotices", GivesNothing([](WordTable& t) { t.SuspendNotices(); }),
                       ExpectsNothing([](Model& m) { ++m.suspended; }));
                break;
            case 22:
                h.Step("ResumeNotices", GivesNothing([](WordTable& t) { t.ResumeNotices(); }),
                       [](Model& m, bool) {
                           m.suspended = std::max(0, m.suspended - 1);
                           return Expect{};
                       });
                break;
            case 23: {
                int rows = input.Byte() % 30;
                h.Step("SetViewWindowSize " + std::to_string(rows),
                       GivesNothing([&](WordTable& t) { t.SetViewWindowSize(rows); }),
                       ExpectsNothing([&](Model& m) { m.windowSize = std::max(1, rows); }));
                break;
            }
            case 24:
                h.SetUnavailable(!h.State().unavailable);
                break;
            case 25:
            case 26:  // a load: a run of words posted one after the other
                for (int k = 1 + input.Byte() % 32; k > 0 && h.State().Count() < kMaxRecords; --k)
                    Post(h, Text(input));
                break;
            case 27: {  // a save's walk
                h.Step("MoveFirst", GivesNothing([](WordTable& t) { t.MoveFirst(); }),
                       [](Model& m, bool s) { return m.MoveFirst(s); });
                for (long guard = h.State().Count() + 2; !h.State().atEnd && guard > 0; --guard)
                    h.Step("MoveNext", GivesNothing([](WordTable& t) { t.MoveNext(); }),
                           [](Model& m, bool s) { return m.MoveNext(s); });
                break;
            }
            case 28:
            case 29:  // the editor's insert: post, then search for the word
                if (roomy && h.State().state == TableState::Browsing) {
                    std::string word = Text(input);
                    Post(h, word);
                    Seek(h, word);
                }
                break;
            default: {  // the editor's change of the current word
                std::string word = Text(input);
                if (h.State().state == TableState::Browsing && h.State().HasCurrent()) {
                    h.Step("BeginEdit", GivesNothing([](WordTable& t) { t.BeginEdit(); }),
                           [](Model& m, bool) { return m.BeginEdit(); });
                    h.Step("SetWordText " + Show(word),
                           GivesNothing([&](WordTable& t) { t.SetWordText(word); }),
                           [&](Model& m, bool) { return m.SetWordText(word); });
                    h.Step("PostRecord", GivesNothing([](WordTable& t) { t.PostRecord(); }),
                           [](Model& m, bool) { return m.Post(); });
                    Seek(h, word);
                }
                break;
            }
        }
    }
    return 0;
}
