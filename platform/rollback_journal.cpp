#include "platform/rollback_journal.h"

namespace kormoszi {

namespace {

constexpr char kMagic[] = "kormoszi rollback journal 2\n";
constexpr char kSuffix[] = ".journal";
constexpr std::size_t kNumberSize = 8;

std::uint64_t Checksum(const char* data, std::size_t size) {
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= 1099511628211ULL;
    }
    return hash;
}

void PutNumber(std::string& out, std::uint64_t value) {
    for (std::size_t i = 0; i < kNumberSize; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// Reads a number at at, never past end; false when it does not fit.
bool GetNumber(const std::string& in, std::size_t end, std::size_t& at, std::uint64_t& value) {
    if (at > end || end - at < kNumberSize)
        return false;
    value = 0;
    for (std::size_t i = 0; i < kNumberSize; ++i)
        value |= std::uint64_t{static_cast<unsigned char>(in[at + i])} << (8 * i);
    at += kNumberSize;
    return true;
}

// Reads a text of the length that precedes it, never past end.
bool GetText(const std::string& in, std::size_t end, std::size_t& at, std::string& text) {
    std::uint64_t length = 0;
    if (!GetNumber(in, end, at, length) || length > end - at)
        return false;
    text.assign(in, at, static_cast<std::size_t>(length));
    at += static_cast<std::size_t>(length);
    return true;
}

}  // namespace

std::string EncodeJournal(const JournalEntry& entry) {
    std::string body = kMagic;
    PutNumber(body, entry.Inode);
    PutNumber(body, entry.Path.size());
    body += entry.Path;
    PutNumber(body, entry.Content.size());
    body += entry.Content;
    PutNumber(body, Checksum(body.data(), body.size()));
    return body;
}

bool DecodeJournal(const std::string& body, JournalEntry& entry) {
    const std::size_t magic = sizeof kMagic - 1;
    if (body.size() < magic + kNumberSize || body.compare(0, magic, kMagic) != 0)
        return false;
    const std::size_t end = body.size() - kNumberSize;  // the checksum follows the rest
    std::size_t at = end;
    std::uint64_t sum = 0;
    if (!GetNumber(body, body.size(), at, sum) || sum != Checksum(body.data(), end))
        return false;
    at = magic;
    return GetNumber(body, end, at, entry.Inode) && GetText(body, end, at, entry.Path) &&
           GetText(body, end, at, entry.Content) && at == end;
}

std::string JournalName(const std::string& path) {
    static const char kHex[] = "0123456789abcdef";
    std::uint64_t hash = Checksum(path.data(), path.size());
    std::string name;
    for (int i = 0; i < 16; ++i, hash >>= 4)
        name.push_back(kHex[hash & 0xf]);
    return name + kSuffix;
}

bool IsJournalName(const std::string& name) {
    const std::string tail = kSuffix;
    return name.size() > tail.size() &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace kormoszi
