#include "childrun.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
double now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
} // namespace

ChildRun::Result ChildRun::run(const std::vector<std::string> &argv,
                               const std::vector<std::string> &environment)
{
    Result result;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    // The standard error goes to an anonymous file, read once the child has ended.
    const int errorFd = memfd_create("rawbench-stderr", MFD_CLOEXEC);

    // Everything the child needs is prepared before fork: the child only calls
    // async-signal-safe functions.
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char **e = environ; *e; ++e)
        envStrings.emplace_back(*e);
    for (const std::string &e : environment)
        envStrings.push_back(e);
    // The moment of the fork, for children that time themselves from their start.
    const double start = now();
    envStrings.push_back("RAWBENCH_START=" + std::to_string(start));
    std::vector<char *> env;
    for (const std::string &e : envStrings)
        env.push_back(const_cast<char *>(e.c_str()));
    env.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (errorFd >= 0)
            close(errorFd);
        return result;
    }
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        if (errorFd >= 0)
            dup2(errorFd, STDERR_FILENO);
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0)
            dup2(devNull, STDIN_FILENO);
        execvpe(args[0], args.data(), env.data());
        _exit(127);
    }
    close(pipeFds[1]);
    char chunk[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], chunk, sizeof chunk)) != 0) {
        if (n > 0)
            result.output.append(chunk, size_t(n));
        else if (errno != EINTR)
            break;
    }
    close(pipeFds[0]);

    int status = 0;
    rusage usage;
    std::memset(&usage, 0, sizeof usage);
    pid_t waited;
    do {
        waited = wait4(pid, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    if (errorFd >= 0) {
        lseek(errorFd, 0, SEEK_SET);
        while ((n = read(errorFd, chunk, sizeof chunk)) > 0)
            result.errors.append(chunk, size_t(n));
        close(errorFd);
    }
    if (waited != pid)
        return result;
    result.wallSeconds = now() - start;
    result.maxRssKiB = usage.ru_maxrss;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

double ChildRun::value(const std::string &output, const std::string &name)
{
    const std::string key = name + "=";
    size_t pos = 0;
    while ((pos = output.find(key, pos)) != std::string::npos) {
        if (pos == 0 || output[pos - 1] == '\n')
            return std::strtod(output.c_str() + pos + key.size(), nullptr);
        pos += key.size();
    }
    return -1.0;
}
