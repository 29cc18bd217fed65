// The power-cut recorder: preloaded into a save (LD_PRELOAD), it writes one line for every
// successful call that changes a file or a directory under one scratch root, so that
// power_cut.py can replay the save and cut the power after each call. Calls that fail are
// not logged: they change nothing.
//
//   POWERCUT_ROOT         canonical path of the scratch root; nothing is logged without it
//   POWERCUT_LOG_FD       descriptor (inherited, already open) that takes the log
//   POWERCUT_NO_TMPFILE   when set, O_TMPFILE under the root fails with EOPNOTSUPP, as on a
//                         file system that lacks it
//
// Files and directories are named by inode number (all under the root live on one device);
// names are logged as the inode of their directory plus the name, in hex. The lines:
//   C dir name ino mode uid gid     a regular file created under name
//   O dir ino mode uid gid          an unnamed file (O_TMPFILE) made in dir
//   M dir name ino mode uid gid     a directory made
//   L dir name ino                  a new name for ino (link, linkat incl. /proc/self/fd)
//   U dir name ino                  name of ino removed (unlink)
//   R dir name ino                  directory ino removed (rmdir)
//   N dir name dir2 name2 ino       ino renamed from dir/name to dir2/name2
//   W ino offset bytes              bytes written at offset
//   T ino size                      size set (ftruncate, truncate, O_TRUNC)
//   S ino                           fsync or fdatasync of a file or directory
//   Y                               sync or syncfs: everything persisted
//   A ino mode uid gid              permission bits or owner changed
//   P ino                           an existing file or directory opened (no change)
//   X call                          a call whose effect the model does not know
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#define REAL(name) ((__typeof__(&name))Real(#name))

static char root[PATH_MAX];
static size_t rootLength;
static dev_t rootDevice;
static int logFd = -1;
static int noTmpfile;
static int ready;

// The inodes seen under the root: calls on descriptors are logged only for these.
static ino_t known[4096];
static size_t knownCount;

static void* Real(const char* name) {
    void* symbol = dlsym(RTLD_NEXT, name);
    if (symbol == NULL) {
        fprintf(stderr, "power-cut recorder: no %s to wrap\n", name);
        abort();
    }
    return symbol;
}

static int Active(void) {
    if (!ready) {
        ready = 1;
        const char* path = getenv("POWERCUT_ROOT");
        const char* fd = getenv("POWERCUT_LOG_FD");
        struct stat st;
        if (path != NULL && fd != NULL && strlen(path) < sizeof root && stat(path, &st) == 0) {
            strcpy(root, path);
            rootLength = strlen(root);
            rootDevice = st.st_dev;
            logFd = atoi(fd);
            noTmpfile = getenv("POWERCUT_NO_TMPFILE") != NULL;
        }
    }
    return logFd >= 0;
}

static void Remember(ino_t ino) {
    for (size_t i = 0; i < knownCount; ++i)
        if (known[i] == ino)
            return;
    if (knownCount < sizeof known / sizeof known[0])
        known[knownCount++] = ino;
}

// The inode behind fd when it is one of ours, else 0.
static ino_t KnownInode(int fd) {
    struct stat st;
    if (!Active() || fstat(fd, &st) != 0 || st.st_dev != rootDevice)
        return 0;
    for (size_t i = 0; i < knownCount; ++i)
        if (known[i] == st.st_ino)
            return st.st_ino;
    return 0;
}

// One log line: %s a text, %u an unsigned long long, %o an unsigned in octal, %H a pointer
// and a length whose bytes go out in hex.
static void Log(const char* format, ...) {
    static char stack[4096];
    size_t capacity = sizeof stack, length = 0;
    char* line = stack;
    va_list args;
    va_start(args, format);
    for (const char* at = format; *at != '\0'; ++at) {
        char piece[64];
        const char* text = piece;
        size_t hexLength = 0;
        const unsigned char* hex = NULL;
        if (*at != '%') {
            piece[0] = *at;
            piece[1] = '\0';
        } else if (*++at == 'H') {
            hex = va_arg(args, const unsigned char*);
            hexLength = va_arg(args, size_t);
            piece[0] = '\0';
        } else if (*at == 'u') {
            snprintf(piece, sizeof piece, "%llu", va_arg(args, unsigned long long));
        } else if (*at == 'o') {
            snprintf(piece, sizeof piece, "%o", va_arg(args, unsigned));
        } else if (*at == 's') {
            text = va_arg(args, const char*);
        } else {
            abort();
        }
        size_t need = length + strlen(text) + 2 * hexLength + 2;
        if (need > capacity) {
            capacity = need * 2;
            char* grown = malloc(capacity);
            if (grown == NULL)
                abort();
            memcpy(grown, line, length);
            if (line != stack)
                free(line);
            line = grown;
        }
        length += (size_t)sprintf(line + length, "%s", text);
        for (size_t i = 0; i < hexLength; ++i)
            length += (size_t)sprintf(line + length, "%02x", hex[i]);
    }
    va_end(args);
    line[length++] = '\n';
    ssize_t (*put)(int, const void*, size_t) = REAL(write);
    for (size_t done = 0; done < length;) {
        ssize_t n = put(logFd, line + done, length - done);
        if (n <= 0)
            abort();  // a log with a hole would model another save
        done += (size_t)n;
    }
    if (line != stack)
        free(line);
}

// A name in a directory: the directory's canonical path and inode, and the last component.
typedef struct {
    char dir[PATH_MAX];
    const char* base;
    char whole[PATH_MAX];
    ino_t dirIno;
} Name;

// Splits dirfd + path into a directory under the root and a last component; false for a
// name outside the root or one that cannot be resolved.
static int Resolve(int dirfd, const char* path, Name* name) {
    if (!Active() || path == NULL)
        return 0;
    char joined[PATH_MAX];
    if (path[0] == '/') {
        snprintf(joined, sizeof joined, "%s", path);
    } else {
        char base[PATH_MAX];
        if (dirfd == AT_FDCWD) {
            if (getcwd(base, sizeof base) == NULL)
                return 0;
        } else {
            char link[64];
            snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
            ssize_t n = readlink(link, base, sizeof base - 1);
            if (n < 0)
                return 0;
            base[n] = '\0';
        }
        if (snprintf(joined, sizeof joined, "%s/%s", base, path) >= (int)sizeof joined)
            return 0;
    }
    size_t length = strlen(joined);
    while (length > 1 && joined[length - 1] == '/')
        joined[--length] = '\0';
    char* slash = strrchr(joined, '/');
    const char* last = slash + 1;
    char dir[PATH_MAX];
    snprintf(dir, sizeof dir, "%.*s", (int)(slash == joined ? 1 : slash - joined), joined);
    if (realpath(dir, name->dir) == NULL)
        return 0;
    if (strncmp(name->dir, root, rootLength) != 0 ||
        (name->dir[rootLength] != '\0' && name->dir[rootLength] != '/'))
        return 0;
    struct stat st;
    if (stat(name->dir, &st) != 0 || st.st_dev != rootDevice)
        return 0;
    name->dirIno = st.st_ino;
    if (snprintf(name->whole, sizeof name->whole, "%s/%s", name->dir, last) >=
        (int)sizeof name->whole)
        return 0;
    name->base = strrchr(name->whole, '/') + 1;
    return 1;
}

static int Exists(const Name* name, struct stat* st) {
    return lstat(name->whole, st) == 0;
}

static void LogNew(char kind, const Name* name, const struct stat* st) {
    Remember(st->st_ino);
    char tag[2] = {kind, '\0'};
    Log("%s %u %H %u %o %u %u", tag, (unsigned long long)name->dirIno, name->base,
        strlen(name->base), (unsigned long long)st->st_ino, (unsigned)(st->st_mode & 07777),
        (unsigned long long)st->st_uid, (unsigned long long)st->st_gid);
}

static void LogName(char kind, const Name* name, ino_t ino) {
    char tag[2] = {kind, '\0'};
    Log("%s %u %H %u", tag, (unsigned long long)name->dirIno, name->base, strlen(name->base),
        (unsigned long long)ino);
}

static void LogAttributes(ino_t ino, const struct stat* st) {
    Log("A %u %o %u %u", (unsigned long long)ino, (unsigned)(st->st_mode & 07777),
        (unsigned long long)st->st_uid, (unsigned long long)st->st_gid);
}

// ---- opening and creating -------------------------------------------------------------

// Before an open: whether the name existed. After: what the open changed.
static int OpenFollowUp(int flags, int fd, const Name* name, int existed) {
    if (fd < 0)
        return fd;
    int savedErrno = errno;
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_dev == rootDevice) {
        if ((flags & O_TMPFILE) == O_TMPFILE) {
            Remember(st.st_ino);
            Log("O %u %u %o %u %u", (unsigned long long)name->dirIno, (unsigned long long)st.st_ino,
                (unsigned)(st.st_mode & 07777), (unsigned long long)st.st_uid,
                (unsigned long long)st.st_gid);
        } else if ((flags & O_CREAT) && !existed) {
            LogNew('C', name, &st);
        } else {
            Remember(st.st_ino);
            Log("P %u", (unsigned long long)st.st_ino);
            if ((flags & O_TRUNC) && (flags & O_ACCMODE) != O_RDONLY && S_ISREG(st.st_mode))
                Log("T %u 0", (unsigned long long)st.st_ino);
        }
    }
    errno = savedErrno;
    return fd;
}

// For O_TMPFILE the path names the directory itself, not an entry in it.
static int ResolveOpen(int dirfd, const char* path, int flags, Name* name, int* existed) {
    struct stat st;
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        char joined[PATH_MAX];
        snprintf(joined, sizeof joined, "%s/.", path);
        if (!Resolve(dirfd, joined, name))
            return 0;
        name->dirIno = stat(name->whole, &st) == 0 ? st.st_ino : name->dirIno;
        *existed = 0;
        return 1;
    }
    if (!Resolve(dirfd, path, name))
        return 0;
    *existed = Exists(name, &st);
    return 1;
}

static int OpenAt(const char* wrapped, int dirfd, const char* path, int flags, mode_t mode) {
    Name name;
    int existed = 0;
    int ours = ResolveOpen(dirfd, path, flags, &name, &existed);
    if (ours && noTmpfile && (flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    int fd;
    if (strcmp(wrapped, "open") == 0)
        fd = REAL(open)(path, flags, mode);
    else if (strcmp(wrapped, "open64") == 0)
        fd = ((int (*)(const char*, int, ...))Real("open64"))(path, flags, mode);
    else if (strcmp(wrapped, "openat64") == 0)
        fd = ((int (*)(int, const char*, int, ...))Real("openat64"))(dirfd, path, flags, mode);
    else
        fd = REAL(openat)(dirfd, path, flags, mode);
    return ours ? OpenFollowUp(flags, fd, &name, existed) : fd;
}

static mode_t ModeArgument(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return OpenAt("open", AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return OpenAt("open64", AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return OpenAt("openat", dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return OpenAt("openat64", dirfd, path, flags, mode);
}

// The fortified forms, which never create.
int __open_2(const char* path, int flags) {
    return OpenAt("open", AT_FDCWD, path, flags, 0);
}
int __open64_2(const char* path, int flags) {
    return OpenAt("open", AT_FDCWD, path, flags, 0);
}
int __openat_2(int dirfd, const char* path, int flags) {
    return OpenAt("openat", dirfd, path, flags, 0);
}
int __openat64_2(int dirfd, const char* path, int flags) {
    return OpenAt("openat", dirfd, path, flags, 0);
}

int creat(const char* path, mode_t mode) {
    return OpenAt("open", AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode);
}
int creat64(const char* path, mode_t mode) {
    return OpenAt("open", AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode);
}

// mkstemp and its kin open inside the C library, out of our reach: the name they made is
// looked at afterwards.
static int TemporaryMade(int fd, const char* path) {
    Name name;
    if (fd >= 0 && Resolve(AT_FDCWD, path, &name)) {
        int savedErrno = errno;
        struct stat st;
        if (fstat(fd, &st) == 0)
            LogNew('C', &name, &st);
        errno = savedErrno;
    }
    return fd;
}

int mkstemp(char* path) {
    return TemporaryMade(REAL(mkstemp)(path), path);
}
int mkostemp(char* path, int flags) {
    return TemporaryMade(REAL(mkostemp)(path, flags), path);
}
int mkstemps(char* path, int suffix) {
    return TemporaryMade(REAL(mkstemps)(path, suffix), path);
}
int mkostemps(char* path, int suffix, int flags) {
    return TemporaryMade(REAL(mkostemps)(path, suffix, flags), path);
}

// ---- content ----------------------------------------------------------------------------

static void LogWritten(int fd, const void* data, ssize_t done, off_t at) {
    ino_t ino;
    if (done <= 0 || (ino = KnownInode(fd)) == 0)
        return;
    int savedErrno = errno;
    if (at < 0)  // a plain write: where it went is where the offset stands now, less it
        at = lseek(fd, 0, SEEK_CUR) - done;
    Log("W %u %u %H", (unsigned long long)ino, (unsigned long long)at, data, (size_t)done);
    errno = savedErrno;
}

ssize_t write(int fd, const void* data, size_t size) {
    ssize_t done = REAL(write)(fd, data, size);
    LogWritten(fd, data, done, -1);
    return done;
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t at) {
    ssize_t done = REAL(pwrite)(fd, data, size, at);
    LogWritten(fd, data, done, at);
    return done;
}

ssize_t pwrite64(int fd, const void* data, size_t size, off_t at) {
    ssize_t done = REAL(pwrite64)(fd, data, size, at);
    LogWritten(fd, data, done, at);
    return done;
}

static ssize_t Gathered(int fd, const struct iovec* iov, int count, ssize_t done, off_t at) {
    if (done <= 0 || KnownInode(fd) == 0)
        return done;
    char* joined = malloc((size_t)done);
    if (joined == NULL)
        abort();
    size_t filled = 0;
    for (int i = 0; i < count && filled < (size_t)done; ++i) {
        size_t take =
            iov[i].iov_len < (size_t)done - filled ? iov[i].iov_len : (size_t)done - filled;
        memcpy(joined + filled, iov[i].iov_base, take);
        filled += take;
    }
    LogWritten(fd, joined, done, at);
    free(joined);
    return done;
}

ssize_t writev(int fd, const struct iovec* iov, int count) {
    return Gathered(fd, iov, count, REAL(writev)(fd, iov, count), -1);
}

ssize_t pwritev(int fd, const struct iovec* iov, int count, off_t at) {
    return Gathered(fd, iov, count, REAL(pwritev)(fd, iov, count, at), at);
}

static void LogSize(int fd, off_t size) {
    ino_t ino = KnownInode(fd);
    if (ino != 0)
        Log("T %u %u", (unsigned long long)ino, (unsigned long long)size);
}

int ftruncate(int fd, off_t size) {
    int result = REAL(ftruncate)(fd, size);
    if (result == 0)
        LogSize(fd, size);
    return result;
}

int ftruncate64(int fd, off_t size) {
    int result = REAL(ftruncate64)(fd, size);
    if (result == 0)
        LogSize(fd, size);
    return result;
}

int truncate(const char* path, off_t size) {
    int result = REAL(truncate)(path, size);
    Name name;
    struct stat st;
    if (result == 0 && Resolve(AT_FDCWD, path, &name) && stat(name.whole, &st) == 0)
        Log("T %u %u", (unsigned long long)st.st_ino, (unsigned long long)size);
    return result;
}

static void LogSync(int fd) {
    ino_t ino = KnownInode(fd);
    if (ino != 0)
        Log("S %u", (unsigned long long)ino);
}

int fsync(int fd) {
    int result = REAL(fsync)(fd);
    if (result == 0)
        LogSync(fd);
    return result;
}

int fdatasync(int fd) {
    int result = REAL(fdatasync)(fd);
    if (result == 0)
        LogSync(fd);
    return result;
}

void sync(void) {
    REAL(sync)();
    if (Active())
        Log("Y");
}

int syncfs(int fd) {
    int result = REAL(syncfs)(fd);
    if (result == 0 && Active())
        Log("Y");
    return result;
}

// Changes of content the model does not replay: a save that uses them is reported, not
// checked wrongly.
static void Unmodelled(int fd, const char* call) {
    if (KnownInode(fd) != 0)
        Log("X %s", call);
}

int fallocate(int fd, int mode, off_t at, off_t size) {
    int result = REAL(fallocate)(fd, mode, at, size);
    if (result == 0)
        Unmodelled(fd, "fallocate");
    return result;
}

int posix_fallocate(int fd, off_t at, off_t size) {
    int result = REAL(posix_fallocate)(fd, at, size);
    if (result == 0)
        Unmodelled(fd, "posix_fallocate");
    return result;
}

ssize_t copy_file_range(int in, off_t* inAt, int out, off_t* outAt, size_t size, unsigned flags) {
    ssize_t done = REAL(copy_file_range)(in, inAt, out, outAt, size, flags);
    if (done > 0)
        Unmodelled(out, "copy_file_range");
    return done;
}

ssize_t sendfile(int out, int in, off_t* at, size_t size) {
    ssize_t done = REAL(sendfile)(out, in, at, size);
    if (done > 0)
        Unmodelled(out, "sendfile");
    return done;
}

int sync_file_range(int fd, off_t at, off_t size, unsigned flags) {
    int result = REAL(sync_file_range)(fd, at, size, flags);
    if (result == 0)
        Unmodelled(fd, "sync_file_range");
    return result;
}

void* mmap(void* address, size_t size, int protection, int flags, int fd, off_t at) {
    void* mapped = REAL(mmap)(address, size, protection, flags, fd, at);
    if (mapped != MAP_FAILED && fd >= 0 && (protection & PROT_WRITE) && (flags & MAP_SHARED))
        Unmodelled(fd, "mmap");
    return mapped;
}

// ---- attributes -------------------------------------------------------------------------

static void FdAttributes(int fd) {
    ino_t ino = KnownInode(fd);
    struct stat st;
    if (ino != 0 && fstat(fd, &st) == 0)
        LogAttributes(ino, &st);
}

int fchmod(int fd, mode_t mode) {
    int result = REAL(fchmod)(fd, mode);
    if (result == 0)
        FdAttributes(fd);
    return result;
}

int fchown(int fd, uid_t uid, gid_t gid) {
    int result = REAL(fchown)(fd, uid, gid);
    if (result == 0)
        FdAttributes(fd);
    return result;
}

static void PathAttributes(int dirfd, const char* path) {
    Name name;
    struct stat st;
    if (Resolve(dirfd, path, &name) && stat(name.whole, &st) == 0)
        LogAttributes(st.st_ino, &st);
}

int chmod(const char* path, mode_t mode) {
    int result = REAL(chmod)(path, mode);
    if (result == 0)
        PathAttributes(AT_FDCWD, path);
    return result;
}

int fchmodat(int dirfd, const char* path, mode_t mode, int flags) {
    int result = REAL(fchmodat)(dirfd, path, mode, flags);
    if (result == 0)
        PathAttributes(dirfd, path);
    return result;
}

int chown(const char* path, uid_t uid, gid_t gid) {
    int result = REAL(chown)(path, uid, gid);
    if (result == 0)
        PathAttributes(AT_FDCWD, path);
    return result;
}

int fchownat(int dirfd, const char* path, uid_t uid, gid_t gid, int flags) {
    int result = REAL(fchownat)(dirfd, path, uid, gid, flags);
    if (result == 0)
        PathAttributes(dirfd, path);
    return result;
}

// A symbolic link made under the root is not replayed.
int symlinkat(const char* target, int dirfd, const char* path) {
    int result = REAL(symlinkat)(target, dirfd, path);
    Name name;
    if (result == 0 && Resolve(dirfd, path, &name))
        Log("X symlink");
    return result;
}

int symlink(const char* target, const char* path) {
    return symlinkat(target, AT_FDCWD, path);
}

// ---- names ------------------------------------------------------------------------------

int mkdirat(int dirfd, const char* path, mode_t mode) {
    Name name;
    int ours = Resolve(dirfd, path, &name);
    int result = REAL(mkdirat)(dirfd, path, mode);
    struct stat st;
    if (result == 0 && ours && Exists(&name, &st)) {
        int savedErrno = errno;
        LogNew('M', &name, &st);
        errno = savedErrno;
    }
    return result;
}

int mkdir(const char* path, mode_t mode) {
    Name name;
    int ours = Resolve(AT_FDCWD, path, &name);
    int result = REAL(mkdir)(path, mode);
    struct stat st;
    if (result == 0 && ours && Exists(&name, &st)) {
        int savedErrno = errno;
        LogNew('M', &name, &st);
        errno = savedErrno;
    }
    return result;
}

// unlink, rmdir and unlinkat: the inode is looked up before it goes.
static int Remove(int dirfd, const char* path, int flags, int (*call)(int, const char*, int)) {
    Name name;
    struct stat st;
    int ours = Resolve(dirfd, path, &name) && Exists(&name, &st);
    int result = call(dirfd, path, flags);
    if (result == 0 && ours) {
        int savedErrno = errno;
        LogName(S_ISDIR(st.st_mode) ? 'R' : 'U', &name, st.st_ino);
        errno = savedErrno;
    }
    return result;
}

static int CallUnlinkat(int dirfd, const char* path, int flags) {
    return REAL(unlinkat)(dirfd, path, flags);
}
static int CallUnlink(int dirfd, const char* path, int flags) {
    (void)dirfd;
    (void)flags;
    return REAL(unlink)(path);
}
static int CallRmdir(int dirfd, const char* path, int flags) {
    (void)dirfd;
    (void)flags;
    return REAL(rmdir)(path);
}
static int CallRemove(int dirfd, const char* path, int flags) {
    (void)dirfd;
    (void)flags;
    return REAL(remove)(path);
}

int unlinkat(int dirfd, const char* path, int flags) {
    return Remove(dirfd, path, flags, CallUnlinkat);
}
int unlink(const char* path) {
    return Remove(AT_FDCWD, path, 0, CallUnlink);
}
int rmdir(const char* path) {
    return Remove(AT_FDCWD, path, 0, CallRmdir);
}
int remove(const char* path) {
    return Remove(AT_FDCWD, path, 0, CallRemove);
}

static int Rename(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    Name source, target;
    struct stat st;
    int ours =
        Resolve(fromDir, from, &source) && Resolve(toDir, to, &target) && Exists(&source, &st);
    int result = REAL(renameat2)(fromDir, from, toDir, to, flags);
    if (result == 0 && ours) {
        int savedErrno = errno;
        if (flags & RENAME_EXCHANGE)
            Log("X renameat2 RENAME_EXCHANGE");
        else
            Log("N %u %H %u %H %u", (unsigned long long)source.dirIno, source.base,
                strlen(source.base), (unsigned long long)target.dirIno, target.base,
                strlen(target.base), (unsigned long long)st.st_ino);
        errno = savedErrno;
    }
    return result;
}

int rename(const char* from, const char* to) {
    return Rename(AT_FDCWD, from, AT_FDCWD, to, 0);
}
int renameat(int fromDir, const char* from, int toDir, const char* to) {
    return Rename(fromDir, from, toDir, to, 0);
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    return Rename(fromDir, from, toDir, to, flags);
}

// link, and linkat by name, by /proc/self/fd (AT_SYMLINK_FOLLOW) or by descriptor
// (AT_EMPTY_PATH): the new name is looked at afterwards.
static int Linked(int result, int toDir, const char* to) {
    Name name;
    struct stat st;
    if (result == 0 && Resolve(toDir, to, &name) && Exists(&name, &st)) {
        int savedErrno = errno;
        Remember(st.st_ino);
        LogName('L', &name, st.st_ino);
        errno = savedErrno;
    }
    return result;
}

int link(const char* from, const char* to) {
    return Linked(REAL(link)(from, to), AT_FDCWD, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    return Linked(REAL(linkat)(fromDir, from, toDir, to, flags), toDir, to);
}
