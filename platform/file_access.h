#pragma once
// The file layer under the word files: the file error with its fixed codes and texts,
// record files over the system's files (POSIX descriptors, Windows handles), and small
// path helpers.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct stat;

namespace kormoszi {

class Replacement;

// The file layer's own codes, each with a fixed text; every other code is "I/O error %d".
namespace FileCode {
constexpr int kFileNotFound = 2;      // "File not found"
constexpr int kInvalidFileName = 3;   // "Invalid filename" (also a missing directory)
constexpr int kTooManyOpenFiles = 4;  // "Too many open files"
constexpr int kAccessDenied = 5;      // "File access denied"
constexpr int kReadBeyondEnd = 100;   // "Read beyond end of file"
constexpr int kDiskFull = 101;        // "Disk full"
constexpr int kNotAssigned = 102;     // "I/O error 102": a record never bound to a name
constexpr int kNotOpen = 103;         // "I/O error 103": the file is not open for that
constexpr int kInvalidNumeric = 106;  // "Invalid numeric input"
// A system error equal to one of the codes above is reported as this plus the error.
constexpr int kErrnoOffset = 1000;
}  // namespace FileCode

// A failed file operation: a code (FileCode, or an errno for the rest)
// and the fixed English message for that code ("File not found", "I/O error 28", ...).
class EInOutError : public std::runtime_error {
  public:
    explicit EInOutError(int code);
    int Code() const { return code_; }

  private:
    int code_;
};

// Longest file name the layer accepts, in bytes; a longer one fails with 3 before any
// system call.
constexpr std::size_t kMaxFileName = 259;

// The file error's code for an error of a failed call on fileName, as the system numbers
// it (errno; GetLastError on Windows). POSIX: ENOENT -> 2, or 3 when the directory of
// fileName is missing; ENOTDIR, ENAMETOOLONG -> 3; EMFILE, ENFILE -> 4; EACCES, EPERM,
// EROFS -> 5; ENOSPC, EDQUOT, EFBIG -> 101. Windows: a missing file -> 2 (3 without its
// directory); a missing path or a bad name -> 3; no handle left -> 4; access denied or
// write-protected -> 5; a full disk or a file too large -> 101; a sharing violation stays
// 32. Any other error stays itself, except that one equal to a code with its own text (EIO
// is 5) becomes 1000 + the error, so an I/O error never reads as "File access denied".
// May look at the directory.
int FileErrorCode(int errnum, const std::string& fileName);

// What tells one state of a file from another without reading it: which file, how long,
// when it was last written. Two stamps are equal while nobody wrote the file. On Windows
// the volume's serial number stands for the device and the file index for the inode.
struct FileStamp {
    bool Exists = false;
    std::uint64_t Device = 0, Inode = 0, Size = 0;
    std::int64_t ModifiedSeconds = 0, ModifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file that fileName names, links followed; Exists is false when there
// is none. Throws EInOutError when the name cannot be looked at (5 for a denied directory).
FileStamp StampOf(const std::string& fileName);
// The same without throwing: 0 or the system's error of the failed look.
int StampAt(const std::string& fileName, FileStamp& stamp);
// The stamp of a POSIX stat.
FileStamp StampFrom(const struct stat& st);

// Throws the file error for a system error of a failed call on fileName (see FileErrorCode).
[[noreturn]] void RaiseFileError(int errnum, const std::string& fileName);

// True exactly for an existing regular file (links followed).
bool FileExists(const std::string& fileName);
// The directory part of a path: "/games/prog" -> "/games", "/prog" -> "/", "prog" -> "";
// on Windows also "C:\Games\prog" -> "C:\Games", "C:\prog" -> "C:\", "C:prog" -> "C:".
std::string ExtractFileDir(const std::string& path);
// dir and name with one separator between them ("/a" + "b" and "/a/" + "b" give "/a/b");
// name alone when dir is empty.
std::string JoinPath(const std::string& dir, const std::string& name);
// The full path of the running program.
std::string ExecutablePath();

// A file of fixed-size records (the program uses records of 1 byte). Each operation checks
// its own outcome and throws EInOutError on failure; after a failure the file is closed
// and no descriptor stays open.
//
// Reading goes through a buffer (a few large reads per file). Writing replaces the file
// as a whole: Create starts a new file beside it, Close syncs it and renames it over the
// old one, so until Close has succeeded the old file stays byte for byte as it was.
class RecordFile {
  public:
    RecordFile();
    explicit RecordFile(std::string fileName);
    // Closes quietly; an unfinished Create is abandoned and the old file kept.
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Binds the record to a file name; never fails. Call it only on a closed record.
    void Assign(std::string fileName) {
        name_ = std::move(fileName);
        bound_ = true;
    }
    const std::string& Name() const { return name_; }
    bool IsOpen() const { return mode_ != Mode::Closed; }

    // Opens the existing file for reading and writing, positioned at its start: a missing
    // file fails with 2 (3 without its directory), a read-only one with 5, a file that is
    // not a regular file with 5; 102 when never bound. An open record is closed first.
    // A rewrite of the file that a killed save left unfinished is rolled back first.
    void Open(std::size_t recordSize = 1);
    // The stamp of the file as Open found it; 103 unless opened by Open.
    FileStamp Stamp() const;
    // Starts replacing the file's content (the file need not exist). Fails at once when
    // the directory is missing (3), the file is read-only or not a regular file (5), no
    // file can be made (5), or the name is a symbolic link that another user planted in a
    // shared sticky directory (5). Other symbolic links are followed to the file they
    // name. A file with several hard links, in a directory that takes no new file or lets
    // none be removed, or whose owner and group a new file could not keep, is rewritten in
    // place behind a rollback journal and put back as it was should the save fail. Rolls
    // back an interrupted rewrite of the file and clears away the temporary files that
    // killed saves of this user left in the directory first. An open record is closed
    // first.
    void Create(std::size_t recordSize = 1);

    // Reads count records into buffer: 100 when the file ends first (the records before
    // the missing one are in the buffer), 103 unless opened by Open. O(count) amortised.
    void Read(void* buffer, std::size_t count = 1) {
        std::size_t size = count * recordSize_;
        if (mode_ == Mode::Reading && bufferEnd_ - bufferPos_ >= size) {
            std::memcpy(buffer, buffer_.data() + bufferPos_, size);
            bufferPos_ += size;
        } else {
            ReadSlow(buffer, size);
        }
    }
    // Appends count records; 5 unless opened by Create. A full disk (101) or another
    // write failure shows here or at Close, and abandons the save.
    void Write(const void* data, std::size_t count = 1) {
        std::size_t size = count * recordSize_;
        if (mode_ == Mode::Writing && buffer_.size() - bufferEnd_ > size) {
            std::memcpy(buffer_.data() + bufferEnd_, data, size);
            bufferEnd_ += size;
        } else {
            WriteSlow(data, size);
        }
    }
    // The file's size in whole records; 103 unless opened by Open.
    std::uint64_t Size();
    // True when the position is at the end of the file; 103 unless opened by Open.
    bool Eof() { return !(mode_ == Mode::Reading && bufferPos_ < bufferEnd_) && EofSlow(); }
    // Closes the file; after Create it syncs the new content, puts it in place of the old
    // file and syncs the directory. 103 when not open.
    void Close();
    // Closes a file begun by Create like Close, but puts the new content in place only
    // while the file still has the stamp expected; otherwise abandons it, leaves the file
    // as it is and returns false. written, when given, gets the stamp of what was put in
    // place.
    bool CloseIfUnchanged(const FileStamp& expected, FileStamp* written = nullptr);

  private:
    enum class Mode { Closed, Reading, Writing };

    void CheckName() const;
    void ReadSlow(void* buffer, std::size_t wanted);
    void WriteSlow(const void* data, std::size_t size);
    bool EofSlow();
    bool Fill();
    void Flush();
    bool FinishWriting(const FileStamp* expected, FileStamp* written);
    // Both take a file error code (FileErrorCode of an errno, or a FileCode).
    [[noreturn]] void FailReading(int code);
    [[noreturn]] void FailWriting(int code);

    std::string name_;
    bool bound_ = false;
    Mode mode_ = Mode::Closed;
    std::size_t recordSize_ = 1;
    std::intptr_t file_ = -1;  // the system's file while reading (a NativeFile)
    std::vector<char> buffer_;
    std::size_t bufferPos_ = 0, bufferEnd_ = 0;
    FileStamp stamp_;                           // while reading
    std::unique_ptr<Replacement> replacement_;  // while writing
};

}  // namespace kormoszi
