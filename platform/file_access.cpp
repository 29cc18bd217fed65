#include "platform/file_access.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/descriptor_io.h"
#include "platform/rollback_journal.h"
#include "platform/safe_replace.h"

namespace kormoszi {

namespace {

// Large enough that a word file of a million words takes a handful of calls.
constexpr std::size_t kBufferSize = std::size_t{256} * 1024;

std::string MessageFor(int code) {
    switch (code) {
        case FileCode::kFileNotFound:
            return "File not found";
        case FileCode::kInvalidFileName:
            return "Invalid filename";
        case FileCode::kTooManyOpenFiles:
            return "Too many open files";
        case FileCode::kAccessDenied:
            return "File access denied";
        case FileCode::kReadBeyondEnd:
            return "Read beyond end of file";
        case FileCode::kDiskFull:
            return "Disk full";
        case FileCode::kInvalidNumeric:
            return "Invalid numeric input";
        default:
            return "I/O error " + std::to_string(code);
    }
}

}  // namespace

bool IsOwnFileCode(int code) {
    using namespace FileCode;
    for (int own : {kFileNotFound, kInvalidFileName, kTooManyOpenFiles, kAccessDenied,
                    kReadBeyondEnd, kDiskFull, kNotAssigned, kNotOpen, kInvalidNumeric})
        if (code == own)
            return true;
    return false;
}

void RaiseFileError(int errnum, const std::string& fileName) {
    throw EInOutError(FileErrorCode(errnum, fileName));
}

FileStamp StampOf(const std::string& fileName) {
    FileStamp stamp;
    if (const int error = StampAt(fileName, stamp))
        RaiseFileError(error, fileName);
    return stamp;
}

EInOutError::EInOutError(int code) : std::runtime_error(MessageFor(code)), code_(code) {}

std::string ExtractFileDir(const std::string& path) {
    std::size_t at = path.size();
    while (at > 0 && !IsPathDelimiter(path[at - 1]))
        --at;
    if (at == 0)
        return {};
    --at;
    // The root keeps its separator, and so do a run of separators and a drive's "C:\".
    if (at > 0 && path[at] != ':' && !IsPathDelimiter(path[at - 1]))
        return path.substr(0, at);
    return path.substr(0, at + 1);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    return IsPathDelimiter(dir.back()) ? dir + name : dir + kPathSeparator + name;
}

RecordFile::RecordFile() = default;

RecordFile::RecordFile(std::string fileName) : name_(std::move(fileName)), bound_(true) {}

RecordFile::~RecordFile() {
    if (file_ != kNoFile)
        (void)CloseFile(file_);
}

void RecordFile::CheckName() const {
    if (!bound_)
        throw EInOutError(FileCode::kNotAssigned);
    if (name_.size() > kMaxFileName)
        throw EInOutError(FileCode::kInvalidFileName);
}

void RecordFile::Open(std::size_t recordSize) {
    if (IsOpen())
        Close();
    CheckName();
    RollBackInterruptedRewrites(name_);
    if (const int error = OpenForLoading(name_, file_, stamp_))
        RaiseFileError(error, name_);
    recordSize_ = recordSize;
    buffer_.resize(kBufferSize);
    bufferPos_ = bufferEnd_ = 0;
    mode_ = Mode::Reading;
}

void RecordFile::Create(std::size_t recordSize) {
    if (IsOpen())
        Close();
    CheckName();
    RollBackInterruptedRewrites(name_);
    auto target = std::make_unique<ReplaceTarget>(name_);
    ClearLeftovers(*target);
    replacement_ = StartReplacement(std::move(target));
    recordSize_ = recordSize;
    buffer_.resize(kBufferSize);
    bufferPos_ = bufferEnd_ = 0;
    mode_ = Mode::Writing;
}

void RecordFile::FailReading(int code) {
    (void)CloseFile(file_);
    file_ = kNoFile;
    mode_ = Mode::Closed;
    throw EInOutError(code);
}

void RecordFile::FailWriting(int code) {
    replacement_.reset();
    mode_ = Mode::Closed;
    throw EInOutError(code);
}

bool RecordFile::Fill() {
    std::size_t done = 0;
    if (const int error = ReadSome(file_, buffer_.data(), buffer_.size(), done))
        FailReading(FileErrorCode(error, name_));
    bufferPos_ = 0;
    bufferEnd_ = done;
    return done > 0;
}

void RecordFile::ReadSlow(void* buffer, std::size_t wanted) {
    if (mode_ != Mode::Reading)
        throw EInOutError(FileCode::kNotOpen);
    char* out = static_cast<char*>(buffer);
    while (wanted > 0) {
        if (bufferPos_ == bufferEnd_ && !Fill())
            FailReading(FileCode::kReadBeyondEnd);
        std::size_t take = std::min(wanted, bufferEnd_ - bufferPos_);
        std::memcpy(out, buffer_.data() + bufferPos_, take);
        bufferPos_ += take;
        out += take;
        wanted -= take;
    }
}

FileStamp RecordFile::Stamp() const {
    if (mode_ != Mode::Reading)
        throw EInOutError(FileCode::kNotOpen);
    return stamp_;
}

std::uint64_t RecordFile::Size() {
    if (mode_ != Mode::Reading)
        throw EInOutError(FileCode::kNotOpen);
    std::uint64_t bytes = 0;
    if (const int error = SizeOf(file_, bytes))
        FailReading(FileErrorCode(error, name_));
    return bytes / recordSize_;
}

bool RecordFile::EofSlow() {
    if (mode_ != Mode::Reading)
        throw EInOutError(FileCode::kNotOpen);
    return bufferPos_ == bufferEnd_ && !Fill();
}

void RecordFile::Flush() {
    if (bufferEnd_ == 0)
        return;
    int error = replacement_->Write(buffer_.data(), bufferEnd_);
    bufferEnd_ = 0;
    if (error != 0)
        FailWriting(FileErrorCode(error, replacement_->Target()));
}

void RecordFile::WriteSlow(const void* data, std::size_t size) {
    if (mode_ != Mode::Writing)
        throw EInOutError(FileCode::kAccessDenied);
    const char* in = static_cast<const char*>(data);
    while (size > 0) {
        std::size_t take = std::min(size, buffer_.size() - bufferEnd_);
        std::memcpy(buffer_.data() + bufferEnd_, in, take);
        bufferEnd_ += take;
        in += take;
        size -= take;
        if (bufferEnd_ == buffer_.size())
            Flush();
    }
}

void RecordFile::Close() {
    switch (mode_) {
        case Mode::Closed:
            throw EInOutError(FileCode::kNotOpen);
        case Mode::Reading: {
            const int error = CloseFile(file_);
            file_ = kNoFile;
            mode_ = Mode::Closed;
            if (error != 0)
                RaiseFileError(error, name_);
            return;
        }
        case Mode::Writing:
            FinishWriting(nullptr, nullptr);
            return;
    }
}

bool RecordFile::CloseIfUnchanged(const FileStamp& expected, FileStamp* written) {
    if (mode_ != Mode::Writing)
        throw EInOutError(FileCode::kNotOpen);
    return FinishWriting(&expected, written);
}

bool RecordFile::FinishWriting(const FileStamp* expected, FileStamp* written) {
    Flush();
    const std::string target = replacement_->Target();
    const int result = replacement_->Commit(expected, written);
    replacement_.reset();
    mode_ = Mode::Closed;
    if (result == Replacement::kChanged)
        return false;
    if (result != 0)
        RaiseFileError(result, target);
    return true;
}

}  // namespace kormoszi
