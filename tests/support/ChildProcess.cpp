#include "tests/support/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

bool InChildProcess(const std::function<bool()>& work)
{
    return InChildProcessesTogether({work}).front();
}

std::vector<bool> InChildProcessesTogether(const std::vector<std::function<bool()>>& works)
{
    std::vector<bool> results(works.size(), false);
    // The children wait on the gate until the parent closes its end, which it does once all exist.
    int gate[2];
    if (::pipe(gate) != 0)
        return results;
    std::vector<pid_t> children;
    for (const std::function<bool()>& work : works)
    {
        pid_t child = ::fork();
        if (child == 0)
        {
            ::close(gate[1]);
            char byte = 0;
            while (::read(gate[0], &byte, 1) < 0 && errno == EINTR)
            {
            }
            ::close(gate[0]);
            bool ok = false;
            try
            {
                ok = work();
            }
            catch (...)
            {
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (size_t i = 0; i < children.size(); ++i)
    {
        int status = 0;
        results[i] = children[i] > 0 && ::waitpid(children[i], &status, 0) == children[i] &&
                     WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return results;
}

bool BecomeUnprivileged()
{
    if (::geteuid() != 0)
        return true;
    return ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

void LimitFileSize(unsigned long long bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    // Only the soft limit, so that the room can come back without privileges.
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes < limit.rlim_max ? bytes : limit.rlim_max;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

void LimitOpenFiles(unsigned long long count)
{
    rlimit limit{count, count};
    ::setrlimit(RLIMIT_NOFILE, &limit);
}
