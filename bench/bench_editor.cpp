// The editor end to end, offscreen: the real window driven by real key events, each step
// timed from the key to the finished repaint, at 10k, 100k and 1M words of length 7.
//
//   bench_editor [benchmark flags]

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/code_page.h"
#include "app/fMain.h"
#include "platform/application.h"
#include "platform/error_report.h"
#include "random_words.h"
#include "settings/settings_store.h"

using kormoszi::TfrmMain;

namespace {

using kormoszi::bench::RandomWords;

using Clock = std::chrono::steady_clock;

// A game directory with n words of length 7 and a small len3.txt, remembered in a
// settings file of the benchmark's own.
struct Game {
    QTemporaryDir dir;
    std::vector<std::string> words;
    explicit Game(std::size_t n, std::size_t len3Words = 100) {
        words = RandomWords(n, 1);
        Write(7, words);
        std::vector<std::string> small;
        static const char* const kThree[] = {"h\xE1z", "k\xFAt", "nap", "t\xE9l", "sas"};
        for (std::size_t i = 0; i < len3Words; ++i)
            small.emplace_back(kThree[i % 5]);
        Write(3, small);
        kormoszi::SettingsStore().WriteSetting("Common", "Path", dir.path() + "/");
    }
    void Write(int n, const std::vector<std::string>& list) const {
        QFile f(dir.path() + QStringLiteral("/len%1.txt").arg(n));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        for (const auto& w : list)
            f.write(w.data(), static_cast<qint64>(w.size()));
    }
};

// Answers the next modal dialog with a key as soon as it is open.
void Answer(Qt::Key key) {
    QTimer::singleShot(0, qApp, [key] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            QTest::keyClick(dialog, key);
        else
            Answer(key);
    });
}

// Everything queued, painting included, is done.
void Finish() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

std::unique_ptr<TfrmMain> ShowOn(int length) {
    auto window = std::make_unique<TfrmMain>();
    window->show();
    Finish();
    if (length != 3) {
        Answer(Qt::Key_N);
        QRadioButton* item = window->rgSzam->Button(length - 3);
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(5, item->height() / 2));
        Finish();
    }
    return window;
}

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

void Report(benchmark::State& state, std::vector<double>& samples) {
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_ms"] = samples[samples.size() / 2] * 1e3;
    state.counters["p99_ms"] =
        samples[std::min(samples.size() - 1, samples.size() * 99 / 100)] * 1e3;
}

long ResidentMegabytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4096 / (1024L * 1024L);
}

// Start-up to the first painted list: len3.txt of a million repeated words.
void StartUp(benchmark::State& state) {
    Game game(1000, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto start = Clock::now();
        auto window = ShowOn(3);
        state.SetIterationTime(Seconds(start));
    }
}

// A length switch: the save question answered No, then load, sort and paint.
void LengthSwitch(benchmark::State& state) {
    Game game(static_cast<std::size_t>(state.range(0)));
    auto window = ShowOn(3);
    int target = 7;
    for (auto _ : state) {
        Answer(Qt::Key_N);
        QRadioButton* item = window->rgSzam->Button(target - 3);
        auto start = Clock::now();
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(5, item->height() / 2));
        Finish();
        state.SetIterationTime(Seconds(start));
        target = target == 7 ? 3 : 7;
    }
    state.counters["resident_MB"] = static_cast<double>(ResidentMegabytes());
}

// Type-to-search, per keystroke, over real prefixes of the list's words.
void TypeToSearch(benchmark::State& state) {
    Game game(static_cast<std::size_t>(state.range(0)));
    auto window = ShowOn(7);
    std::vector<double> samples;
    std::mt19937 rng(5);
    for (auto _ : state) {
        const std::string& word = game.words[rng() % game.words.size()];
        double total = 0;
        for (char c : word) {
            auto start = Clock::now();
            QTest::sendKeyEvent(QTest::Click, window->gSzo, Qt::Key_unknown,
                                kormoszi::WordToText(std::string(1, c)), Qt::NoModifier);
            Finish();
            const double s = Seconds(start);
            samples.push_back(s);
            total += s;
        }
        state.SetIterationTime(total / static_cast<double>(word.size()));
        QTest::keyClick(window->gSzo, Qt::Key_Backspace);
        Finish();
    }
    Report(state, samples);
}

// INSERT, a word, Enter: until the cursor stands on the new word, repainted. Then DELETE
// and Yes take it out again, timed apart.
void InsertAndDelete(benchmark::State& state) {
    Game game(static_cast<std::size_t>(state.range(0)));
    auto window = ShowOn(7);
    auto fresh = RandomWords(1000, 9);
    std::vector<double> inserts, deletes;
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& word = fresh[i++ % fresh.size()];
        auto start = Clock::now();
        QTest::keyClick(window->gSzo, Qt::Key_Insert);
        for (char c : word)
            QTest::sendKeyEvent(QTest::Click, window->eSzo, Qt::Key_unknown,
                                kormoszi::WordToText(std::string(1, c)), Qt::NoModifier);
        QTest::keyClick(window->eSzo, Qt::Key_Return);
        Finish();
        inserts.push_back(Seconds(start));
        if (window->mSzavak.WordText() != word)
            state.SkipWithError("the cursor is not on the new word");
        Answer(Qt::Key_I);
        start = Clock::now();
        QTest::keyClick(window->gSzo, Qt::Key_Delete);
        Finish();
        deletes.push_back(Seconds(start));
        state.SetIterationTime(inserts.back() + deletes.back());
    }
    Report(state, inserts);
    std::sort(deletes.begin(), deletes.end());
    state.counters["delete_median_ms"] = deletes[deletes.size() / 2] * 1e3;
}

void PageDownAndWheel(benchmark::State& state) {
    Game game(static_cast<std::size_t>(state.range(0)));
    auto window = ShowOn(7);
    std::vector<double> wheel;
    for (auto _ : state) {
        auto start = Clock::now();
        QTest::keyClick(window->gSzo, Qt::Key_PageDown);
        Finish();
        state.SetIterationTime(Seconds(start));
        if (window->mSzavak.RecordNumber() == window->mSzavak.CountRecords()) {
            QTest::keyClick(window->gSzo, Qt::Key_Home);
            Finish();
        }
        QWidget* viewport = window->gSzo->viewport();
        const QPointF at(20, 20);
        QWheelEvent turn(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        start = Clock::now();
        QApplication::sendEvent(viewport, &turn);
        Finish();
        wheel.push_back(Seconds(start));
    }
    std::sort(wheel.begin(), wheel.end());
    state.counters["wheel_median_ms"] = wheel[wheel.size() / 2] * 1e3;
}

// Saving on exit: the close question answered Yes.
void SaveOnExit(benchmark::State& state) {
    Game game(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto window = ShowOn(7);
        state.ResumeTiming();
        Answer(Qt::Key_I);
        auto start = Clock::now();
        window->close();
        Finish();
        state.SetIterationTime(Seconds(start));
    }
}

}  // namespace

#define SIZES \
    ->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->UseManualTime()->Unit(benchmark::kMillisecond)
BENCHMARK(StartUp)->Arg(1'000'000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(LengthSwitch) SIZES->Iterations(4);
BENCHMARK(TypeToSearch) SIZES->Iterations(150);
BENCHMARK(InsertAndDelete) SIZES->Iterations(200);
BENCHMARK(PageDownAndWheel) SIZES->Iterations(300);
BENCHMARK(SaveOnExit) SIZES->Iterations(3);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    // The offscreen platform says so for every window shown; it is no news here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        if (!message.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    kormoszi::Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
