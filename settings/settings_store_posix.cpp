#include "settings/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

namespace kormoszi {

namespace {

// No application name: the file is Pelvador.ini itself, not a folder named after us.
QString StorePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Pelvador.ini");
}

QString Key(const QString& section, const QString& name) {
    return section + QLatin1Char('/') + name;
}

// The store's file as it is on disk now.
struct StoreFile {
    enum { Missing, Read, NotAFile, Unreadable } Outcome = Missing;
    QByteArray Text;
    struct stat Stat {};
};

// Opened without blocking: a FIFO would hold the first read for ever, and it, a directory
// or a device is no store either.
StoreFile ReadStoreFile(const QString& path) {
    StoreFile file;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        file.Outcome = errno == ENOENT || errno == ENOTDIR ? StoreFile::Missing
                       : errno == ENXIO                    ? StoreFile::NotAFile
                                                           : StoreFile::Unreadable;
        return file;
    }
    file.Outcome = StoreFile::Read;
    if (::fstat(fd, &file.Stat) != 0)
        file.Outcome = StoreFile::Unreadable;
    else if (!S_ISREG(file.Stat.st_mode))
        file.Outcome = StoreFile::NotAFile;
    char buffer[4096];
    while (file.Outcome == StoreFile::Read) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            file.Text.append(buffer, got);
        else if (got == 0)
            break;
        else if (errno != EINTR)
            file.Outcome = StoreFile::Unreadable;
    }
    ::close(fd);
    return file;
}

// QSettings over a copy of text under a name of its own. QSettings keeps what it read of a
// file for the next object of the same name and trusts it while size and time stamp stay,
// so two writes of the same length within a millisecond would read back the older one.
// Where no copy can be made (no writable temporary directory), it reads original, the
// file text came from, instead.
class IniCopy {
  public:
    explicit IniCopy(const QByteArray& text, const QString& original = QString()) {
        QFile file(FDir.filePath(QStringLiteral("copy.ini")));
        const bool copied =
            FDir.isValid() && file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
        file.close();
        FOk = copied || !original.isEmpty();
        FSettings.emplace(copied ? file.fileName() : original, QSettings::IniFormat);
    }
    // Whether the copy could be made and QSettings found its sections.
    bool Ok() const { return FOk && FSettings->status() == QSettings::NoError; }
    QSettings& operator*() { return *FSettings; }
    QSettings* operator->() { return &*FSettings; }

  private:
    QTemporaryDir FDir;
    bool FOk = false;
    std::optional<QSettings> FSettings;
};

// One logical line of an INI text the way QSettings divides it: quotes span line breaks,
// a backslash takes the next character with it, a ';' outside quotes starts a comment.
struct IniLine {
    qsizetype Start;
    qsizetype End;
    qsizetype Equals;  // -1: none
};

bool IsIniSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsLineBreak(char c) {
    return c == '\n' || c == '\r';
}

std::vector<IniLine> IniLines(const QByteArray& text) {
    std::vector<IniLine> lines;
    const qsizetype n = text.size();
    qsizetype pos = text.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (pos < n) {
        while (pos < n && IsIniSpace(text[pos]))
            ++pos;
        if (pos == n)
            break;
        if (text[pos] == ';') {
            while (pos < n && !IsLineBreak(text[pos]))
                ++pos;
            continue;
        }
        IniLine line{pos, n, -1};
        bool quoted = false;
        for (qsizetype i = pos; i < n; ++i) {
            const char c = text[i];
            if (c == '=' && !quoted && line.Equals < 0) {
                line.Equals = i;
            } else if ((IsLineBreak(c) || c == ';') && !quoted) {
                line.End = i;
                break;
            } else if (c == '"') {
                quoted = !quoted;
            } else if (c == '\\' && i + 1 < n) {
                // An escaped "\r\n" or "\n\r" continues the line as one break.
                const char next = text[++i];
                if (i + 1 < n && IsLineBreak(next) && IsLineBreak(text[i + 1]) &&
                    text[i + 1] != next)
                    ++i;
            }
        }
        lines.push_back(line);
        pos = line.End;
    }
    return lines;
}

bool IsSection(const QByteArray& text, const IniLine& line) {
    return text[line.Start] == '[';
}

QByteArray SectionName(const QByteArray& text, const IniLine& line) {
    qsizetype close = text.indexOf(']', line.Start);
    if (close < 0 || close >= line.End)
        close = line.End;
    return text.mid(line.Start + 1, close - line.Start - 1).trimmed();
}

QByteArray KeyName(const QByteArray& text, const IniLine& line) {
    return text.mid(line.Start, line.Equals - line.Start).trimmed();
}

// The section header and the entry's line as QSettings itself writes them, escapes and
// quotes included; false when it could not.
bool FormatEntry(const QString& section, const QString& name, const QString& value,
                 QByteArray& header, QByteArray& entry) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("entry.ini"));
    {
        QSettings scratch(path, QSettings::IniFormat);
        scratch.setValue(Key(section, name), value);
        scratch.sync();
        if (!dir.isValid() || scratch.status() != QSettings::NoError)
            return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    const std::vector<IniLine> lines = IniLines(text);
    if (lines.size() != 2 || !IsSection(text, lines[0]) || lines[1].Equals < 0)
        return false;
    header = text.mid(lines[0].Start, lines[0].End - lines[0].Start);
    entry = text.mid(lines[1].Start, lines[1].End - lines[1].Start);
    return true;
}

// text with entry in the section of header: over the entry's last line there (the one
// QSettings reads), else right below the section's first header, else in a new section at
// the end. Every other byte of the file stays as it was.
QByteArray Splice(const QByteArray& text, const QByteArray& header, const QByteArray& entry) {
    const QByteArray section = SectionName(header, IniLines(header).front());
    const QByteArray key = KeyName(entry, IniLines(entry).front());
    const char* eol = text.contains("\r\n") ? "\r\n" : "\n";
    qsizetype headerEnd = -1;
    const IniLine* last = nullptr;
    bool inSection = false;
    const std::vector<IniLine> lines = IniLines(text);
    for (const IniLine& line : lines) {
        if (IsSection(text, line)) {
            inSection = SectionName(text, line) == section;
            if (inSection && headerEnd < 0)
                headerEnd = line.End;
        } else if (inSection && line.Equals >= 0 && KeyName(text, line) == key) {
            last = &line;
        }
    }
    if (last != nullptr) {
        qsizetype end = last->End;  // spaces before a comment stay
        while (end > last->Start && IsIniSpace(text[end - 1]))
            --end;
        return text.left(last->Start) + entry + text.mid(end);
    }
    if (headerEnd >= 0) {
        qsizetype at = headerEnd;
        while (at < text.size() && !IsLineBreak(text[at]))
            ++at;
        if (at == text.size())
            return text + eol + entry + eol;
        at += text.mid(at, 2) == "\r\n" ? 2 : 1;
        return text.left(at) + entry + eol + text.mid(at);
    }
    QByteArray result = text;
    if (!result.isEmpty() && !result.endsWith('\n') && !result.endsWith('\r'))
        result += eol;
    if (!result.trimmed().isEmpty())
        result += eol;
    return result + header + eol + entry + eol;
}

// Whether after holds value under key and everything else exactly as before did.
bool OnlyEntryChanged(IniCopy& before, IniCopy& after, const QString& key, const QString& value) {
    if (!after.Ok() || after->value(key) != QVariant(value))
        return false;
    QStringList keys = before->allKeys();
    keys.removeAll(key);
    for (const QString& other : keys) {
        if (!after->contains(other) || after->value(other) != before->value(other))
            return false;
    }
    return after->allKeys().size() == keys.size() + 1;
}

bool WriteAll(int fd, const QByteArray& text) {
    for (qsizetype done = 0; done < text.size();) {
        const ssize_t put = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (put < 0 && errno != EINTR)
            return false;
        if (put > 0)
            done += put;
    }
    return true;
}

// Puts text in the place of the file at path (of its target, where path is a symbolic
// link) at once: a new file beside it, flushed, renamed over it, the directory flushed.
// The old file's mode, owner and group go over to the new one; where they cannot (a user
// may not give a file away), the file stays as it was rather than change hands.
bool ReplaceFile(const QString& path, const QByteArray& text, const StoreFile& old) {
    QByteArray target = QFile::encodeName(path);
    if (old.Outcome == StoreFile::Read) {
        char* real = ::realpath(target.constData(), nullptr);
        if (real == nullptr)
            return false;
        target = real;
        std::free(real);
    }
    int fd = -1;
    QByteArray temporary;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, text);
    if (ok && old.Outcome == StoreFile::Read) {
        struct stat made {};
        ok = ::fstat(fd, &made) == 0 &&
             ((made.st_uid == old.Stat.st_uid && made.st_gid == old.Stat.st_gid) ||
              ::fchown(fd, old.Stat.st_uid, old.Stat.st_gid) == 0) &&
             ::fchmod(fd, old.Stat.st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
        return false;
    }
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray dir = slash > 0 ? target.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return false;
    ok = ::fsync(dirFd) == 0;
    ::close(dirFd);
    return ok;
}

}  // namespace

QString SettingsStore::ReadSetting(const QString& section, const QString& name,
                                   const QString& defaultValue) {
    const QString path = StorePath();
    const StoreFile file = ReadStoreFile(path);
    if (file.Outcome == StoreFile::Missing)
        return defaultValue;
    if (file.Outcome != StoreFile::Read)
        throw ESettingsError(QStringLiteral("Failed to get data for '%1'").arg(name));
    IniCopy store(file.Text, path);
    if (!store.Ok())
        throw ESettingsError(QStringLiteral("Failed to get data for '%1'").arg(name));
    const QString key = Key(section, name);
    if (!store->contains(key))
        return defaultValue;
    const QVariant value = store->value(key);
    // The INI reader turns "a, b" into a list and @Variant(...) into numbers and the
    // like; only a plain text is a setting of ours.
    if (value.typeId() != QMetaType::QString)
        throw ESettingsError(QStringLiteral("Invalid data type for '%1'").arg(name));
    // A text ends at its first zero character, as it always did in the registry.
    QString text = value.toString();
    if (const qsizetype zero = text.indexOf(QChar(0)); zero >= 0)
        text.truncate(zero);
    return text;
}

// The file is shared with every program of the organisation and may have been written by
// hand, so only the entry's line changes: comments, lines QSettings does not understand, a
// byte order mark and the order of everything stay. QSettings writes the line, and reads
// the result back before it replaces the file.
void SettingsStore::WriteSetting(const QString& section, const QString& name,
                                 const QString& value) {
    const QString path = StorePath();
    const QString setDataFailed = QStringLiteral("Failed to set data for '%1'").arg(name);
    const QString createKeyFailed = QStringLiteral("Failed to create key %1").arg(section);
    if (!QDir().mkpath(QFileInfo(path).path()))
        throw ESettingsError(setDataFailed);
    // The lock QSettings takes for its own writes: another program's write cannot slip in
    // between this read and this replace.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(5000))
        throw ESettingsError(setDataFailed);
    const StoreFile old = ReadStoreFile(path);
    if (old.Outcome == StoreFile::NotAFile)
        throw ESettingsError(setDataFailed);
    if (old.Outcome == StoreFile::Unreadable)
        throw ESettingsError(createKeyFailed);
    IniCopy before(old.Text, path);
    QByteArray header, entry;
    if (!before.Ok() || !FormatEntry(section, name, value, header, entry))
        throw ESettingsError(createKeyFailed);
    const QByteArray text = Splice(old.Text, header, entry);
    IniCopy after(text);
    if (!OnlyEntryChanged(before, after, Key(section, name), value))
        throw ESettingsError(createKeyFailed);
    // A read-only file stays as it is, though its directory would let it be replaced.
    if (old.Outcome == StoreFile::Read && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
        throw ESettingsError(setDataFailed);
    if (!ReplaceFile(path, text, old))
        throw ESettingsError(setDataFailed);
}

}  // namespace kormoszi
