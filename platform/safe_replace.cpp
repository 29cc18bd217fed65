#include "platform/safe_replace.h"

#include <algorithm>
#include <cctype>
#include <random>

#include "platform/descriptor_io.h"
#include "platform/rollback_journal.h"

namespace kormoszi {

namespace {

constexpr char kTemporaryPrefix[] = ".kormoszi-";
constexpr std::size_t kTemporaryLetters = 6;

void CloseQuietly(NativeFile& file) {
    if (file != kNoFile)
        (void)CloseFile(file);
    file = kNoFile;
}

// The file itself rewritten: the new content waits in memory until Commit, which first
// journals the old content, synced, so that a save killed half-way is rolled back by the
// next load; a save that fails half-way puts the old bytes back itself.
class InPlaceRewrite final : public Replacement {
  public:
    explicit InPlaceRewrite(std::unique_ptr<ReplaceTarget> target)
        : Replacement(std::move(target)) {
        // Opened as a loaded file is: another writer meanwhile shows in the stamp at Commit.
        FileStamp opened;
        if (const int error = OpenForLoading(target_->Path(), file_, opened))
            target_->Fail(error);
    }
    ~InPlaceRewrite() override {
        // Should this fail too, the journal stays for the next load to roll back from.
        if (touched_ && RewriteAll(file_, old_) == 0)
            journal_.Remove();
        CloseQuietly(file_);
    }
    InPlaceRewrite(const InPlaceRewrite&) = delete;
    InPlaceRewrite& operator=(const InPlaceRewrite&) = delete;

    int Write(const char* data, std::size_t size) override {
        content_.append(data, size);
        return 0;
    }
    int Commit(const FileStamp* expected, FileStamp* written) override;

  private:
    NativeFile file_ = kNoFile;
    bool touched_ = false;  // the old bytes were overwritten and are not back yet
    std::string old_, content_;
    RollbackJournal journal_;
};

int InPlaceRewrite::Commit(const FileStamp* expected, FileStamp* written) {
    FileStamp now;
    if (const int error = StampOfOpen(file_, now))
        return error;
    if (expected != nullptr && now != *expected)
        return kChanged;
    if (const int error = SeekToStart(file_))
        return error;
    if (const int error = ReadAll(file_, old_))
        return error;
    if (const int error = journal_.Write(target_->Path(), now.Inode, old_))
        return error;
    touched_ = true;
    if (const int error = RewriteAll(file_, content_))
        return error;
    if (const int error = StampOfOpen(file_, now))
        return error;
    touched_ = false;
    if (written != nullptr)
        *written = now;
    CloseQuietly(file_);  // the content is synced: a failing close loses nothing
    journal_.Remove();
    return 0;
}

}  // namespace

std::unique_ptr<Replacement> RewriteInPlace(std::unique_ptr<ReplaceTarget> target) {
    return std::make_unique<InPlaceRewrite>(std::move(target));
}

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
