#include "platform/safe_replace.h"

#include <algorithm>
#include <cctype>
#include <random>

namespace kormoszi {

namespace {

constexpr char kTemporaryPrefix[] = ".kormoszi-";
constexpr std::size_t kTemporaryLetters = 6;

}  // namespace

bool IsTemporaryName(const std::string& name) {
    const std::size_t prefix = sizeof kTemporaryPrefix - 1;
    return name.size() == prefix + kTemporaryLetters &&
           name.compare(0, prefix, kTemporaryPrefix) == 0 &&
           std::all_of(name.begin() + prefix, name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

std::string FreshTemporaryName() {
    static std::mt19937 random{std::random_device{}()};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = kTemporaryPrefix;
    for (std::size_t i = 0; i < kTemporaryLetters; ++i)
        name += kLetters[random() % (sizeof kLetters - 1)];
    return name;
}

}  // namespace kormoszi
