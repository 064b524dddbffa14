#include "tests/support/ChildProcess.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

bool InChildProcess(const std::function<bool()>& work)
{
    pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0)
    {
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
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
    rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

void LimitOpenFiles(unsigned long long count)
{
    rlimit limit{count, count};
    ::setrlimit(RLIMIT_NOFILE, &limit);
}
