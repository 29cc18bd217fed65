// The word grid on a large list: one PageDown or one wheel step, from the event to the
// finished repaint, offscreen. The grid draws only the view window, so a step should cost
// the same at 10k and at 1M words.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "app/word_grid.h"
#include "random_words.h"
#include "words/word_table.h"

namespace {

using kormoszi::TWordGrid;
using kormoszi::WordTable;

// Counts the grid's paint events, so that every step is known to have painted.
class PaintCounter : public QObject {
  public:
    long Count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

// A shown window with a grid of the design's height over a sorted table.
struct GridWindow {
    WordTable table;
    QWidget window;
    TWordGrid* grid = nullptr;
    PaintCounter paints;

    explicit GridWindow(int words) {
        table.OpenTable();
        table.SuspendNotices();
        for (const std::string& word : kormoszi::bench::RandomWords(static_cast<std::size_t>(words),
                                                                    static_cast<unsigned>(words))) {
            table.BeginInsert();
            table.SetWordText(word);
            table.PostRecord();
        }
        table.SortBy("szo");
        table.MoveFirst();
        table.ResumeNotices();

        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        grid = new TWordGrid(table, &window);
        QFont font(QStringLiteral("Sans Serif"));
        font.setPixelSize(19);
        grid->setFont(font);
        layout->addWidget(grid);
        window.resize(171, 327);
        window.show();
        window.activateWindow();
        grid->setFocus();
        grid->viewport()->installEventFilter(&paints);
        QCoreApplication::processEvents();
    }

    void Settle() {
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
    }
};

// Built once per size; emptied before the application object goes.
std::map<int, std::unique_ptr<GridWindow>> gWindows;

GridWindow& Window(int words) {
    auto& window = gWindows[words];
    if (!window)
        window = std::make_unique<GridWindow>(words);
    return *window;
}

void PageDown(benchmark::State& state) {
    GridWindow& w = Window(static_cast<int>(state.range(0)));
    w.table.MoveFirst();
    w.Settle();
    const long paintsBefore = w.paints.Count;
    const int page = w.grid->VisibleRows();
    for (auto _ : state) {
        if (w.table.RecordNumber() + page > w.table.CountRecords()) {
            state.PauseTiming();
            w.table.MoveFirst();
            w.Settle();
            state.ResumeTiming();
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(w.grid, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(w.grid, &release);
        QCoreApplication::processEvents();
    }
    state.counters["paints/step"] = static_cast<double>(w.paints.Count - paintsBefore) /
                                    static_cast<double>(state.iterations());
}

void Wheel(benchmark::State& state) {
    GridWindow& w = Window(static_cast<int>(state.range(0)));
    w.table.MoveFirst();
    w.Settle();
    const long paintsBefore = w.paints.Count;
    const QPointF at(40, 40);
    for (auto _ : state) {
        if (w.table.RecordNumber() >= w.table.CountRecords()) {
            state.PauseTiming();
            w.table.MoveFirst();
            w.Settle();
            state.ResumeTiming();
        }
        QWheelEvent wheel(at, w.grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.grid->viewport(), &wheel);
        QCoreApplication::processEvents();
    }
    state.counters["paints/step"] = static_cast<double>(w.paints.Count - paintsBefore) /
                                    static_cast<double>(state.iterations());
}

// For scale: painting every row again.
void FullRepaint(benchmark::State& state) {
    GridWindow& w = Window(static_cast<int>(state.range(0)));
    w.Settle();
    for (auto _ : state)
        w.grid->viewport()->repaint();
}

BENCHMARK(PageDown)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Wheel)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(FullRepaint)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gWindows.clear();
    return 0;
}
