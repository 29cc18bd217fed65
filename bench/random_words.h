#pragma once
// The benchmarks' words: random words of Windows-1250 letters weighted roughly as in
// Hungarian text, the same list for the same seed.

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace kormoszi::bench {

inline std::vector<std::string> RandomWords(std::size_t n, unsigned seed = 1,
                                            std::size_t length = 7) {
    static const std::string letters =
        "aaaaaeeeeekkkttttlllnnnnsssszzzrrrooommmgggbbdddvvhhjjiiuuyyccpf"
        "\xE1\xE1\xE9\xE9\xED\xF3\xF6\xF5\xFA\xFC\xFB";
    std::mt19937 rng(seed);
    std::vector<std::string> words(n, std::string(length, ' '));
    for (auto& word : words)
        for (auto& c : word)
            c = letters[rng() % letters.size()];
    return words;
}

}  // namespace kormoszi::bench
