#include "tests/support/VirtualDisplay.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

VirtualDisplay::VirtualDisplay(int width, int height)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
    {
        error_ = "pipe failed";
        return;
    }
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    pid_t pid = fork();
    if (pid < 0)
    {
        error_ = "fork failed";
        close(fds[0]);
        close(fds[1]);
        return;
    }
    if (pid == 0)
    {
        // The server writes the display number it chose to the inherited descriptor.
        int fd = dup(fds[1]);
        std::string fdText = std::to_string(fd);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0)
        {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-nolisten", "unix", "-listen", "local", "+extension", "XTEST",
               static_cast<char*>(nullptr));
        execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    for (;;)
    {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0)
            break;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty())
    {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        error_ = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "Xvfb is not installed"
                                                                  : "Xvfb did not start";
        return;
    }
    pid_ = pid;
    name_ = ":" + number;
    if (const char* d = std::getenv("DISPLAY"))
    {
        hadDisplay_ = true;
        oldDisplay_ = d;
    }
    if (const char* h = std::getenv("KELVANE_HEADLESS"))
    {
        hadHeadless_ = true;
        oldHeadless_ = h;
    }
    setenv("DISPLAY", name_.c_str(), 1);
    unsetenv("KELVANE_HEADLESS");
}

void VirtualDisplay::Stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0; // stopped, not failed: the environment is put back by the destructor
}

VirtualDisplay::~VirtualDisplay()
{
    if (pid_ < 0)
        return;
    Stop();
    if (hadDisplay_)
        setenv("DISPLAY", oldDisplay_.c_str(), 1);
    else
        unsetenv("DISPLAY");
    if (hadHeadless_)
        setenv("KELVANE_HEADLESS", oldHeadless_.c_str(), 1);
}
