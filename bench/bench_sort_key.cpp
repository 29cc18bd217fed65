// Our own sort keys against the collator's: the time to make them for 10k, 100k and 1M
// random 7-letter Hungarian words, and the table's sort with either kind; and, on request,
// the full proof that both give one order.
//
//   bench_sort_key [benchmark flags]   the timings
//   bench_sort_key --prove             every string of up to 2 bytes, every 3-letter string
//                                      of the search letters, every 4- and 5-letter string
//                                      of the double-letter letters, a million random words;
//                                      exit status 1 on any disagreement

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <unicode/ucol.h>

#include "random_words.h"
#include "words/fast_sort_key.h"
#include "words/windows_1250.h"
#include "words/word_collation.h"
#include "words/word_table.h"

using kormoszi::WordCollation;
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

// Keys the way the table makes them: all appended to one growing store.
void Keys(benchmark::State& state, bool own) {
    const auto& words = Words(static_cast<std::size_t>(state.range(0)));
    WordCollation::AllowOwnSortKeys(own);
    WordCollation collation;
    WordCollation::AllowOwnSortKeys(true);
    if (collation.UsesOwnSortKey() != own) {
        state.SkipWithError("own keys refused at start-up");
        return;
    }
    std::vector<std::uint8_t> store;
    std::size_t bytes = 0;
    for (auto _ : state) {
        store.clear();
        for (const auto& w : words)
            collation.AppendSortKey(w, store);
        bytes = store.size();
        benchmark::DoNotOptimize(store.data());
    }
    state.counters["key bytes/word"] =
        static_cast<double>(bytes) / static_cast<double>(words.size());
}
void IcuKeys(benchmark::State& state) {
    Keys(state, false);
}
void OwnKeys(benchmark::State& state) {
    Keys(state, true);
}

// The table's SortBy on freshly loaded words: keys on two threads, then the sort.
void SortBy(benchmark::State& state, bool own) {
    const auto& words = Words(static_cast<std::size_t>(state.range(0)));
    WordCollation::AllowOwnSortKeys(own);
    for (auto _ : state) {
        state.PauseTiming();
        auto table = std::make_unique<WordTable>();
        table->OpenTable();
        for (const auto& w : words) {
            table->BeginInsert();
            table->SetWordText(w);
            table->PostRecord();
        }
        table->Collation().Check();
        state.ResumeTiming();
        table->SortBy("szo");
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    WordCollation::AllowOwnSortKeys(true);
}
void SortByIcuKeys(benchmark::State& state) {
    SortBy(state, false);
}
void SortByOwnKeys(benchmark::State& state) {
    SortBy(state, true);
}

// ------------------------------------------------------------------ the proof

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

// Every string of exactly n letters of the alphabet.
std::vector<std::string> AllOf(const std::string& alphabet, int n) {
    std::vector<std::string> words{""};
    for (int i = 0; i < n; ++i) {
        std::vector<std::string> longer;
        longer.reserve(words.size() * alphabet.size());
        for (const auto& w : words)
            for (char c : alphabet)
                longer.push_back(w + c);
        words = std::move(longer);
    }
    return words;
}

// Dense ranks of the words under an order of their keys: equal keys, equal rank.
std::vector<std::uint32_t> Ranks(const std::vector<std::string>& keys) {
    std::vector<std::uint32_t> order(keys.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
    std::vector<std::uint32_t> rank(keys.size());
    std::uint32_t r = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i]] != keys[order[i - 1]])
            ++r;
        rank[order[i]] = r;
    }
    return rank;
}

// Two checks of one word set: our key order against the collator's comparison of every
// pair of neighbours, and the ranks of all words under our keys against their ranks under
// the collator's own keys. Returns the number of disagreements.
std::size_t Prove(const char* name, const std::vector<std::string>& words, const WordCollation& own,
                  const kormoszi::FastSortKey& tables) {
    auto start = std::chrono::steady_clock::now();
    auto disagreements = tables.Disagreements(
        words, [&](std::string_view a, std::string_view b) { return own.Compare(a, b); }, 10);
    std::vector<std::string> ourKeys(words.size()), icuKeys(words.size());
    std::vector<std::uint8_t> key;
    for (std::size_t i = 0; i < words.size(); ++i) {
        key.clear();
        own.AppendSortKey(words[i], key);
        ourKeys[i].assign(key.begin(), key.end());
        key.clear();
        own.AppendIcuSortKey(words[i], key);
        icuKeys[i].assign(key.begin(), key.end());
    }
    auto ours = Ranks(ourKeys), icus = Ranks(icuKeys);
    std::size_t rankMismatches = 0;
    for (std::size_t i = 0; i < words.size(); ++i)
        if (ours[i] != icus[i])
            ++rankMismatches;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double pairs = static_cast<double>(words.size()) * static_cast<double>(words.size() - 1) / 2;
    std::printf("| %-44s | %9zu | %9zu | %.3g | %zu | %zu | %.1f s |\n", name, words.size(),
                words.size() - 1, pairs, disagreements.size(), rankMismatches, seconds);
    for (const auto& [a, b] : disagreements)
        std::printf("    disagree: \"%s\" / \"%s\"\n", a.c_str(), b.c_str());
    return disagreements.size() + rankMismatches;
}

int ProveAll() {
    WordCollation::AllowOwnSortKeys(true);
    WordCollation own;
    if (!own.UsesOwnSortKey()) {
        std::printf("own keys refused at start-up: the collator's keys are in use\n");
        return 1;
    }
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("hu", &status);
    ucol_setStrength(collator, UCOL_TERTIARY);
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_OFF, &status);
    auto tables = kormoszi::FastSortKey::Derive(collator, kormoszi::Windows1250::Table().Units());
    ucol_close(collator);
    if (!tables) {
        std::printf("tables refused\n");
        return 1;
    }

    std::printf(
        "| word set | words | neighbour pairs asked | pairs decided | neighbour "
        "disagreements | rank mismatches vs collator keys | time |\n");
    std::printf("| --- | --- | --- | --- | --- | --- | --- |\n");
    std::size_t bad = 0;

    std::vector<std::string> upTo2{""};
    for (int a = 0; a < 256; ++a)
        upTo2.push_back(Bytes({a}));
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b)
            upTo2.push_back(Bytes({a, b}));
    bad += Prove("every string of 0, 1 and 2 bytes", upTo2, own, *tables);

    const std::string search =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
        "\xC1\xC9\xCD\xD3\xD6\xD5\xDA\xDC\xDB\xE1\xE9\xED\xF3\xF6\xF5\xFA\xFC\xFB";
    bad += Prove("every 3-letter string of the 70 search letters", AllOf(search, 3), own, *tables);

    const std::string doubles = "cdglnstyzCDGLNSTYZ";
    // With the letters that join a double letter in the collator's closure: accented s, z,
    // y (cś, dź, gý...), the middle dot of l·, and a vowel.
    const std::string joined =
        doubles + "\x9A\x9E\x9C\x9F\xBA\xBF\xFD\xB7" + "\x8A\x8E\x8C\x8F\xAA\xAF\xDD" + "a";
    bad +=
        Prove("every 4-letter string of 34 double-letter letters", AllOf(joined, 4), own, *tables);
    bad += Prove("every 5-letter string of cdglnstyz CDGLNSTYZ", AllOf(doubles, 5), own, *tables);

    // Every 3-byte string of the letters of the contractions and the bytes most likely to
    // disturb them: ignorable ones (control, soft hyphen, an undefined byte), expansions
    // (ß, the ellipsis, the trade mark sign), punctuation and accented capitals.
    std::string disturbing = joined + "\x01\xAD\x81\xDF\x85\x99 -'\xE1\xC1\xF5\xD5";
    bad += Prove("every 3-byte string of 47 contraction and odd bytes", AllOf(disturbing, 3), own,
                 *tables);
    bad += Prove("1M random 7-letter words (the benchmark's)", RandomWords(1'000'000, 7), own,
                 *tables);

    std::mt19937 rng(2024);
    std::vector<std::string> random(1'000'000);
    for (auto& w : random) {
        w.resize(rng() % 8);
        for (auto& c : w)
            c = static_cast<char>(rng() % 256);
    }
    bad += Prove("1M random strings of any bytes, length 0-7", random, own, *tables);
    std::printf("%s\n", bad == 0 ? "no disagreement" : "DISAGREEMENTS FOUND");
    return bad == 0 ? 0 : 1;
}

}  // namespace

BENCHMARK(IcuKeys)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(OwnKeys)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(SortByIcuKeys)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(SortByOwnKeys)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--prove") == 0)
        return ProveAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
