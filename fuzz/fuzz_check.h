#pragma once
// What the fuzz targets share: a failed property stops the run with a message (libFuzzer,
// or the replay driver, then keeps the input that did it), and a cursor over the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kormoszi::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what.c_str());
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition, message)                             \
    do {                                                           \
        if (!(condition))                                          \
            ::kormoszi::fuzz::Fail(__FILE__, __LINE__, (message)); \
    } while (false)

// Reads the input a byte at a time; past its end every byte is 0.
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Done() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string Bytes(std::size_t n) {
        std::string out;
        while (n-- > 0 && !Done())
            out.push_back(static_cast<char>(Byte()));
        return out;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// The entry point libFuzzer calls, and the replayer beside ./test.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Printable for a message: bytes outside ASCII as \xHH.
inline std::string Show(const std::string& bytes) {
    std::string out = "\"";
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out + "\"";
}

}  // namespace kormoszi::fuzz
