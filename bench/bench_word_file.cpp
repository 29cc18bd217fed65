// Word files of 1M seven-letter words: loading against posting the same words from memory,
// and the atomic save against a plain write + fsync + rename of the same bytes. Prints the
// two ratios of the run at the end.
//
//   bench_word_file [benchmark flags]        (files go to $TMPDIR, default /tmp)
//   e.g. --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true on a busy box

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "random_words.h"
#include "words/word_file.h"
#include "words/word_table.h"

namespace {

constexpr int kWordCount = 1'000'000;
constexpr int kLength = 7;

const std::vector<std::string>& Words() {
    static const std::vector<std::string> words =
        kormoszi::bench::RandomWords(kWordCount, 7, kLength);
    return words;
}

const std::string& Bytes() {
    static const std::string bytes = [] {
        std::string all;
        all.reserve(std::size_t{kWordCount} * kLength);
        for (const auto& word : Words())
            all += word;
        return all;
    }();
    return bytes;
}

const std::string& Dir() {
    static const std::string dir = [] {
        std::string pattern = std::filesystem::temp_directory_path() / "bench-word-file-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        return pattern;
    }();
    return dir;
}

// The editor fills and walks the table with its notices suspended; so do these.
struct QuietTable : kormoszi::WordTable {
    QuietTable() { SuspendNotices(); }
};

void Post(kormoszi::WordTable& table) {
    for (const auto& word : Words()) {
        table.BeginInsert();
        table.SetWordText(word);
        table.PostRecord();
    }
}

void BM_PostFromMemory(benchmark::State& state) {
    QuietTable table;
    for (auto _ : state) {
        table.CloseTable();
        table.OpenTable();
        Post(table);
    }
}

void BM_ReadWordFile(benchmark::State& state) {
    const std::string name = Dir() + "/len7.txt";
    {
        QuietTable table;
        table.OpenTable();
        Post(table);
        kormoszi::WriteWordFile(table, name, kLength);
    }
    QuietTable table;
    for (auto _ : state) {
        table.CloseTable();
        table.OpenTable();
        kormoszi::ReadWordFile(table, name, kLength);
    }
    if (table.CountRecords() != kWordCount)
        state.SkipWithError("wrong word count");
}

// The table as the editor saves it: loaded and sorted.
void LoadSorted(kormoszi::WordTable& table) {
    table.OpenTable();
    Post(table);
    table.SortBy("szo");
}

void BM_WriteWordFile(benchmark::State& state) {
    const std::string name = Dir() + "/len7.txt";
    QuietTable table;
    LoadSorted(table);
    for (auto _ : state)
        kormoszi::WriteWordFile(table, name, kLength);
}

// The cursor walk that the save makes through the table, without a file: the table's share.
void BM_WalkTable(benchmark::State& state) {
    QuietTable table;
    LoadSorted(table);
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (table.MoveFirst(); !table.AtEnd(); table.MoveNext())
            bytes += table.WordText().size();
    }
    benchmark::DoNotOptimize(bytes);
}

// The least a durable save can do: one write of all bytes, fsync, rename.
void BM_PlainWriteFsyncRename(benchmark::State& state) {
    const std::string name = Dir() + "/plain.txt", temp = Dir() + "/plain.tmp";
    const std::string& bytes = Bytes();
    for (auto _ : state) {
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 ||
            ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
            ::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temp.c_str(), name.c_str()) != 0) {
            state.SkipWithError("plain save failed");
            break;
        }
    }
}

BENCHMARK(BM_PostFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadWordFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteWordFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WalkTable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWriteFsyncRename)->Unit(benchmark::kMillisecond)->UseRealTime();

// A run that stopped early has no time worth a ratio. Google Benchmark 1.8 replaced the
// flag error_occurred by the reason skipped; both releases are still in use.
template <class R>
bool Failed(const R& run) {
    if constexpr (requires { run.skipped; })
        return run.skipped != decltype(run.skipped){};
    else
        return run.error_occurred;
}

// Keeps the time per iteration of every benchmark, for the ratios: the median where the
// run was repeated, else the one run.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (Failed(run))
                continue;
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[name] = run.GetAdjustedRealTime();
            else if (run.run_type == Run::RT_Iteration)
                times[name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Time(const std::string& name) const {
        auto median = medians.find(name);
        if (median != medians.end())
            return median->second;
        auto time = times.find(name);
        return time == times.end() ? 0 : time->second;
    }

  private:
    std::map<std::string, double> times, medians;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* what, const char* base, double limit) {
        double a = reporter.Time(what), b = reporter.Time(base);
        if (a > 0 && b > 0)
            std::printf("%-16s / %-24s = %.2fx (at most %.1fx)\n", what + 3, base + 3, a / b,
                        limit);
    };
    ratio("BM_ReadWordFile", "BM_PostFromMemory", 1.3);
    ratio("BM_WriteWordFile", "BM_PlainWriteFsyncRename", 2.0);
    std::filesystem::remove_all(Dir());
    benchmark::Shutdown();
}
