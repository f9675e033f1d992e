#pragma once
// Runs a piece of a test as an unprivileged user. Root writes any file
// whatever its permissions say, and the tests run as root in CI, so the cases
// about write-protected files run their code in a child process that has
// dropped to the user "nobody".
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

/// The user the child runs as: nobody's ids when the tests run as root,
/// otherwise the current user's, who is unprivileged already.
struct TUnprivileged {
    uid_t Uid;
    gid_t Gid;
};

inline TUnprivileged UnprivilegedUser()
{
    if (::geteuid() != 0) return {::geteuid(), ::getegid()};
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) return {65534, 65534};
    return {nobody->pw_uid, nobody->pw_gid};
}

/// Runs body in a child process once drop has taken away what the child must
/// not have, and returns what body returned: an empty string for success,
/// otherwise what went wrong. A drop that fails (it returns what went wrong),
/// or a child that dies, is reported as a failure.
inline std::string RunInChild(const std::function<std::string()>& drop, const std::function<std::string()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child < 0) return "fork failed";
    if (child == 0) {
        ::close(fds[0]);
        std::string result = drop();
        if (result.empty()) {
            try {
                result = body();
            } catch (const std::exception& e) {
                result = std::string("exception: ") + e.what();
            }
        }
        [[maybe_unused]] const auto written = ::write(fds[1], result.data(), result.size());
        ::close(fds[1]);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;) result.append(buffer, static_cast<std::size_t>(got));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child died: " + result;
    return result;
}

/// Runs body in a child process as UnprivilegedUser() and returns what it
/// returned: an empty string for success, otherwise what went wrong. A child
/// that cannot drop its privileges, or that dies, is reported as a failure.
inline std::string RunUnprivileged(const std::function<std::string()>& body)
{
    return RunInChild(
        [] {
            const TUnprivileged user = UnprivilegedUser();
            if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(user.Gid, user.Gid, user.Gid) != 0 ||
                                     ::setresuid(user.Uid, user.Uid, user.Uid) != 0))
                return std::string("cannot drop to an unprivileged user");
            if (::geteuid() == 0) return std::string("still root");
            return std::string();
        },
        body);
}

/// Gives path to the unprivileged user (a no-op unless the tests run as root).
inline void GiveToUnprivileged(const std::string& path)
{
    const TUnprivileged user = UnprivilegedUser();
    [[maybe_unused]] const int changed = ::chown(path.c_str(), user.Uid, user.Gid);
}
