// Runs a fuzz target without libFuzzer, for compilers that have none: every input file
// named (a directory stands for the files in it) once, then -runs=N inputs made from them
// by small mutations, the same ones on every run (-seed=S picks others). The tests run it
// over the committed seed corpus. A run that dies leaves its input in ./crash-replay-<pid>.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// The input being run is written to a file first, so that it outlives a run that dies
// (a sanitizer report, an abort); the file goes when every run has passed. It is closed
// while the input runs, as a target may count the process's open files.
class InputKeeper {
  public:
    InputKeeper() : name_("crash-replay-" + std::to_string(::getpid())) {}
    ~InputKeeper() {
        std::error_code ignored;
        std::filesystem::remove(name_, ignored);
    }
    void Keep(const std::string& input) {
        if (!keeping_)
            return;
        std::ofstream out(name_, std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "cannot keep the inputs in ./%s\n", name_.c_str());
            keeping_ = false;
        }
    }

  private:
    std::string name_;
    bool keeping_ = true;
};

std::string Mutate(const std::vector<std::string>& inputs, std::mt19937& random) {
    auto pick = [&](std::size_t n) { return n == 0 ? 0 : random() % n; };
    std::string s = inputs.empty() ? std::string() : inputs[pick(inputs.size())];
    for (int steps = 1 + static_cast<int>(pick(4)); steps > 0; --steps) {
        auto byte = static_cast<char>(random());
        switch (pick(6)) {
            case 0:
                if (!s.empty()) {
                    const unsigned bit = 1u << pick(8);  // drawn first, as before
                    char& c = s[pick(s.size())];
                    c = static_cast<char>(static_cast<unsigned char>(c) ^ bit);
                }
                break;
            case 1:
                if (!s.empty())
                    s[pick(s.size())] = byte;
                break;
            case 2:
                s.insert(s.begin() + static_cast<std::ptrdiff_t>(pick(s.size() + 1)), byte);
                break;
            case 3:
                if (!s.empty())
                    s.erase(pick(s.size()), 1 + pick(8));
                break;
            case 4: {  // a piece of the input again, elsewhere
                std::size_t from = pick(s.size() + 1);
                std::string piece = s.substr(from, 1 + pick(16));
                s.insert(pick(s.size() + 1), piece);
                break;
            }
            default: {  // a piece of another input
                if (inputs.empty())
                    break;
                const std::string& other = inputs[pick(inputs.size())];
                std::string piece = other.substr(pick(other.size() + 1), 1 + pick(32));
                s.insert(pick(s.size() + 1), piece);
                break;
            }
        }
    }
    if (s.size() > 4096)
        s.resize(4096);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    long runs = 0;
    unsigned seed = 1;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("-runs=", 0) == 0) {
            runs = std::stol(arg.substr(6));
        } else if (arg.rfind("-seed=", 0) == 0) {
            seed = static_cast<unsigned>(std::stoul(arg.substr(6)));
        } else if (arg.rfind('-', 0) == 0) {
            continue;  // a libFuzzer option, meaningless here
        } else if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file())
                    files.push_back(entry.path().string());
        } else {
            files.push_back(arg);
        }
    }
    std::sort(files.begin(), files.end());

    std::vector<std::string> inputs;
    for (const auto& name : files) {
        std::ifstream in(name, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", name.c_str());
            return 2;
        }
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Only after every file is closed: a target may watch the process's descriptors.
    InputKeeper keeper;
    auto run = [&](const std::string& input) {
        keeper.Keep(input);
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    };
    for (const auto& input : inputs)
        run(input);
    std::mt19937 random(seed);
    for (long i = 0; i < runs; ++i)
        run(Mutate(inputs, random));
    std::printf("%zu inputs replayed, %ld mutated inputs run\n", inputs.size(), runs);
    return 0;
}
