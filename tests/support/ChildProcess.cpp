#include "tests/support/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
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

void LoseConnections()
{
    // Each socket's number stays taken, by a descriptor that neither reads nor writes anything.
    const int dead = ::open("/dev/null", O_RDONLY);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error).string().rfind("socket:", 0) == 0)
            ::dup2(dead, std::stoi(entry.path().filename().string()));
    }
    ::close(dead);
}

int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::function<void()>& setup,
               std::chrono::milliseconds bound, std::string& errors)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return -2;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        ::dup2(fds[1], 2);
        setup();
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    bool closed = false;
    while (!closed)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd wait{fds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0)
            break;
        char chunk[512];
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n > 0)
            errors.append(chunk, static_cast<size_t>(n));
        closed = n == 0;
    }
    ::close(fds[0]);
    if (!closed)
        ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return closed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
