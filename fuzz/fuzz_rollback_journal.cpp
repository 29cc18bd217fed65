// Any bytes as a journal: decoding never reads outside them, and whatever decodes encodes
// back to exactly the same bytes. Every input also runs with its last eight bytes made the
// right checksum, so that the lengths inside, not only the checksum, are put to the test.

#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/rollback_journal.h"

namespace {

void Check(const std::string& body) {
    kormoszi::JournalEntry entry;
    if (kormoszi::DecodeJournal(body, entry))
        FUZZ_CHECK(kormoszi::EncodeJournal(entry) == body,
                   "a journal that decodes re-encodes as itself");
}

// body with its last eight bytes replaced by the checksum of the rest, as a journal has.
std::string WithChecksum(std::string body) {
    if (body.size() < 8)
        return body;
    const std::size_t end = body.size() - 8;
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a, as the journal's
    for (std::size_t i = 0; i < end; ++i)
        hash = (hash ^ static_cast<unsigned char>(body[i])) * 1099511628211ULL;
    for (std::size_t i = 0; i < 8; ++i)
        body[end + i] = static_cast<char>((hash >> (8 * i)) & 0xff);
    return body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string magic = "kormoszi rollback journal 2\n";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    Check(WithChecksum(bytes));
    Check(WithChecksum(magic + bytes));
    return 0;
}
