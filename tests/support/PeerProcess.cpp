#include "tests/support/PeerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

using Clock = std::chrono::steady_clock;

PeerProcess::~PeerProcess()
{
    Kill();
}

bool PeerProcess::Start(const std::string& program, const std::vector<std::string>& args)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0)
    {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (pid == 0)
    {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        unsetenv("KELVANE_HEADLESS");
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    m_out = fds[0];
    m_pid = pid;
    m_status = -1;
    return true;
}

std::string PeerProcess::StartAndRead(const std::string& program, const std::vector<std::string>& args,
                                      std::chrono::milliseconds timeout, const Pump& pump)
{
    std::string line;
    if (!Start(program, args) || !ReadLine(line, timeout, pump))
        return "(no answer)";
    return line;
}

bool PeerProcess::ReadLine(std::string& line, std::chrono::milliseconds timeout, const Pump& pump)
{
    auto deadline = Clock::now() + timeout;
    for (;;)
    {
        size_t end = m_pending.find('\n');
        if (end != std::string::npos)
        {
            line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return true;
        }
        if (m_out < 0 || Clock::now() > deadline)
            return false;
        if (pump)
            pump();
        pollfd fd{m_out, POLLIN, 0};
        if (poll(&fd, 1, 10) > 0)
        {
            char buffer[256];
            ssize_t n = read(m_out, buffer, sizeof buffer);
            if (n > 0)
                m_pending.append(buffer, static_cast<size_t>(n));
            else if (n == 0)
            {
                close(m_out);
                m_out = -1;
            }
        }
    }
}

std::string PeerProcess::LinesAfter(const std::string& repeated, int count, std::chrono::milliseconds timeout,
                                    const Pump& pump)
{
    const auto deadline = Clock::now() + timeout;
    std::string lines;
    for (int taken = 0; taken < count; ++taken)
    {
        const char* between = taken ? " / " : "";
        std::string line;
        do
        {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() < 0 || !ReadLine(line, left, pump))
                return lines + between + "(no answer)";
        } while (taken == 0 && line.rfind(repeated, 0) == 0);
        lines += between + line;
    }
    return lines;
}

bool PeerProcess::Signal(int signal)
{
    return m_pid > 0 && kill(m_pid, signal) == 0;
}

int PeerProcess::Wait(std::chrono::milliseconds timeout, const Pump& pump)
{
    auto deadline = Clock::now() + timeout;
    while (m_pid > 0)
    {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
        {
            m_pid = -1;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() > deadline)
            return -1;
        if (pump)
            pump();
        usleep(5000);
    }
    return m_status;
}

void PeerProcess::Kill()
{
    if (m_pid > 0)
    {
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    if (m_out >= 0)
    {
        close(m_out);
        m_out = -1;
    }
}
