// The word table at 10k, 100k and 1M random 7-letter Hungarian words: loading, sorting,
// searching, posting, deleting, against a bare ICU sort-key reference.
//
//   bench_word_table [benchmark flags]      the timings
//   bench_word_table --memory N             resident bytes per word for N words loaded from
//                                           a file, with the snapshot a save merges against
//   bench_word_table --words N FILE         writes the words as UTF-8 lines (for sort(1))

#include <benchmark/benchmark.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "random_words.h"
#include "words/word_collation.h"
#include "words/word_table.h"
#include "words/words_origin.h"

using kormoszi::WordTable;

namespace {

using kormoszi::bench::RandomWords;

const std::vector<std::string>& Words(std::size_t n) {
    static std::vector<std::string> cache[3];
    std::size_t k = n == 10'000 ? 0 : n == 100'000 ? 1 : 2;
    if (cache[k].size() != n)
        cache[k] = RandomWords(n);
    return cache[k];
}

void Fill(WordTable& t, const std::vector<std::string>& words) {
    t.CloseTable();
    t.OpenTable();
    for (const auto& w : words) {
        t.BeginInsert();
        t.SetWordText(w);
        t.PostRecord();
    }
}

void Load(benchmark::State& state) {
    const auto& words = Words(static_cast<std::size_t>(state.range(0)));
    WordTable t;
    for (auto _ : state)
        Fill(t, words);
}

void LoadAndSort(benchmark::State& state) {
    const auto& words = Words(static_cast<std::size_t>(state.range(0)));
    WordTable t;
    for (auto _ : state) {
        Fill(t, words);
        t.SortBy("szo");
    }
}

void SortOnly(benchmark::State& state) {
    const auto& words = Words(static_cast<std::size_t>(state.range(0)));
    WordTable t;
    for (auto _ : state) {
        state.PauseTiming();
        Fill(t, words);
        state.ResumeTiming();
        t.SortBy("szo");
    }
}

// The bare reference: ICU sort keys, then std::sort by memcmp.
void ReferenceIcuSort(benchmark::State& state) {
    const auto& words = Words(static_cast<std::size_t>(state.range(0)));
    UErrorCode status = U_ZERO_ERROR;
    UCollator* coll = ucol_open("hu", &status);
    kormoszi::WordCollation conv;
    for (auto _ : state) {
        std::vector<std::string> keys(words.size());
        uint8_t buf[128];
        for (std::size_t i = 0; i < words.size(); ++i) {
            std::u16string u = conv.ToUnicode(words[i]);
            int32_t n = ucol_getSortKey(coll, reinterpret_cast<const UChar*>(u.data()),
                                        static_cast<int32_t>(u.size()), buf, sizeof buf);
            keys[i].assign(reinterpret_cast<char*>(buf), static_cast<std::size_t>(n));
        }
        std::vector<uint32_t> order(words.size());
        for (uint32_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return std::strcmp(keys[a].c_str(), keys[b].c_str()) < 0;
        });
        benchmark::DoNotOptimize(order.data());
    }
    ucol_close(coll);
}

struct Sorted {
    WordTable table;
    explicit Sorted(std::size_t n) {
        Fill(table, Words(n));
        table.SortBy("szo");
        table.MoveFirst();
    }
};

Sorted& SortedTable(std::size_t n) {
    static std::unique_ptr<Sorted> cache;
    static std::size_t cachedN = 0;
    if (!cache || cachedN != n) {
        cache.reset();
        cache = std::make_unique<Sorted>(n);
        cachedN = n;
    }
    return *cache;
}

void SeekNearest(benchmark::State& state) {
    auto n = static_cast<std::size_t>(state.range(0));
    WordTable& t = SortedTable(n).table;
    auto probes = RandomWords(1000, 99);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& p = probes[i++ % probes.size()];
        benchmark::DoNotOptimize(t.SeekNearest(std::string_view(p).substr(0, 1 + i % 6)));
    }
}

void PostAndDelete(benchmark::State& state) {
    auto n = static_cast<std::size_t>(state.range(0));
    WordTable& t = SortedTable(n).table;
    auto fresh = RandomWords(1000, 77);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& w = fresh[i++ % fresh.size()];
        t.BeginInsert();
        t.SetWordText(w);
        t.PostRecord();
        t.SeekNearest(w);
        t.RemoveCurrent();
    }
    state.SetLabel("post + seek + delete");
}

void CountRecords(benchmark::State& state) {
    WordTable& t = SortedTable(static_cast<std::size_t>(state.range(0))).table;
    for (auto _ : state)
        benchmark::DoNotOptimize(t.CountRecords());
}

long ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4096;
}

}  // namespace

BENCHMARK(Load)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(SortOnly)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadAndSort)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReferenceIcuSort)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SeekNearest)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PostAndDelete)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);
BENCHMARK(CountRecords)->Arg(1'000'000);

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--memory") == 0) {
        auto n = static_cast<std::size_t>(std::atol(argv[2]));
        char path[] = "/tmp/kormoszi-memory-XXXXXX";
        const int fd = ::mkstemp(path);
        if (fd < 0)
            return 1;
        // The words are made in a child, so that none of their memory counts here.
        if (const pid_t child = ::fork(); child == 0) {
            std::string bytes;
            for (const auto& w : RandomWords(n))
                bytes += w;
            ::_exit(::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())
                        ? 0
                        : 1);
        } else if (int status = 1;
                   child < 0 || ::waitpid(child, &status, 0) != child || status != 0) {
            return 1;
        }
        ::close(fd);
        long before = ResidentBytes();
        WordTable t;
        t.OpenTable();
        kormoszi::WordsOrigin origin;
        origin.Load(t, path, 7);
        ::unlink(path);
        t.SortBy("szo");
        t.SeekNearest("kass");
        long after = ResidentBytes();
        std::printf("%.1f\n", static_cast<double>(after - before) / static_cast<double>(n));
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--words") == 0) {
        auto words = RandomWords(static_cast<std::size_t>(std::atol(argv[2])));
        kormoszi::WordCollation conv;
        std::ofstream out(argv[3], std::ios::binary);
        for (const auto& w : words) {
            for (char16_t u : conv.ToUnicode(w)) {  // every unit here is below U+0800
                if (u < 0x80) {
                    out.put(static_cast<char>(u));
                } else {
                    out.put(static_cast<char>(0xC0 | (u >> 6)));
                    out.put(static_cast<char>(0x80 | (u & 0x3F)));
                }
            }
            out.put('\n');
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
