#pragma once
// A forked child for the tests that need what the test process must not change for
// itself: an unprivileged user (CI runs as root, for whom file modes do not bind), a
// resource limit, or settings paths that Qt takes once per process. It reports back
// through its exit code.

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace kormoszi::test {

// The unprivileged user the permission tests run as.
constexpr uid_t kNobody = 65534;

struct ChildOptions {
    bool unprivileged = false;  // as root: run as kNobody, for whom the file modes bind
    gid_t group = 0;            // unprivileged: a supplementary group besides kNobody's
    rlim_t fileSizeLimit = RLIM_INFINITY;
    rlim_t openFileLimit = RLIM_INFINITY;
};

constexpr int kChildNotSetUp = -3;

// Runs body in a forked child and returns its result (0..252): kChildNotSetUp when the
// child could not drop privileges or set its limits, -2 when it died or threw something
// else. The child reports through the exit code only.
inline int RunInChild(const ChildOptions& options, const std::function<int()>& body) {
    pid_t pid = ::fork();
    if (pid < 0)
        return -2;
    if (pid == 0) {
        if (options.unprivileged && ::geteuid() == 0 &&
            (::setgroups(options.group != 0 ? 1 : 0, &options.group) != 0 ||
             ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(254);
        if (options.fileSizeLimit != RLIM_INFINITY) {
            rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(254);
        }
        if (options.openFileLimit != RLIM_INFINITY) {
            rlimit limit{options.openFileLimit, options.openFileLimit};
            if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
                ::_exit(254);
        }
        int result = 253;
        try {
            result = body();
        } catch (...) {
        }
        ::_exit(result & 0xff);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -2;
    int code = WEXITSTATUS(status);
    if (code == 254)
        return kChildNotSetUp;
    return code == 253 ? -2 : code;
}

}  // namespace kormoszi::test
