// Programs whose forms are still alive when main returns: the application frees them in the exit
// handlers, after main, and nothing of that may reach a display connection that is already gone.
// Each host runs as a process of its own on a private virtual X server and is closed as a window
// manager closes it (WM_DELETE_WINDOW). Without a display a host says so and ends at once.
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/WholeFile.h"
#include "tests/support/WindowDriver.h"

#include "Platform/Win32/Windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace
{
struct Host
{
    const char* program;
    std::vector<std::string> args; // "{dir}" stands for a scratch folder
    const char* title;
};

TEST(HostExitWindowTest, HostsClosedByTheWindowManagerExitCleanly)
{
    VirtualDisplay server;
    ASSERT_TRUE(server.Running()) << server.Error();
    TempDir dir("kelvane-host-exit");
    WriteWholeFile(dir / "data.bin", std::string("0123456789abcdef0123456789abcdef"));
    WriteWholeFile(dir / "b.txt", std::string("b"));
    const Host hosts[] = {
        {"hexedit_host", {"{dir}/data.bin"}, "Hex editor"},
        {"filelist_host", {"{dir}", "Listing"}, "Listing"},
    };
    for (const Host& host : hosts)
    {
        SCOPED_TRACE(host.program);
        const fs::path program = fs::path(Platform::ProgramFolder()) / host.program;
        ASSERT_TRUE(fs::exists(program)) << "the hosts are built beside the tests";
        std::vector<std::string> args;
        for (std::string arg : host.args)
        {
            if (arg.rfind("{dir}", 0) == 0)
                arg = dir.Path().string() + arg.substr(5);
            args.push_back(arg);
        }
        const fs::path errors = dir / (std::string(host.program) + ".errors.txt");
        WindowDriver driver;
        ASSERT_TRUE(driver.Connected());
        ASSERT_TRUE(driver.Start(program.string(), args, errors.string()));
        const unsigned long window = driver.FindWindow(host.title, 30s);
        ASSERT_NE(window, 0u) << ReadWholeFile(errors);
        driver.Settle(300ms);
        driver.RequestClose(window);
        const int status = driver.Wait(30s);
        if (status == -1)
            driver.Kill();
        EXPECT_EQ(status, 0) << ReadWholeFile(errors);
        const std::string report = ReadWholeFile(errors);
        for (const char* mark : {"AddressSanitizer", "runtime error", "LeakSanitizer"})
            EXPECT_EQ(report.find(mark), std::string::npos) << report;
    }
}

TEST(HostExitWindowTest, HostsWithoutADisplaySaySoInOneLineAndEndWithStatusOne)
{
    TempDir dir("kelvane-host-nodisplay");
    WriteWholeFile(dir / "data.bin", std::string("0123"));
    struct Environment
    {
        const char* name;
        std::function<void()> setup;
        const char* reason;
    };
    const Environment environments[] = {
        {"DISPLAY unset", [] { unsetenv("DISPLAY"); unsetenv("KELVANE_HEADLESS"); }, "DISPLAY is not set"},
        {"no server there", [] { setenv("DISPLAY", ":4711", 1); unsetenv("KELVANE_HEADLESS"); }, "cannot be opened"},
        {"headless asked for", [] { setenv("KELVANE_HEADLESS", "1", 1); }, "KELVANE_HEADLESS is set"},
    };
    const std::pair<const char*, std::string> hosts[] = {
        {"hexedit_host", (dir / "data.bin").string()},
        {"filelist_host", dir.Path().string()},
    };
    for (const auto& [name, arg] : hosts)
        for (const Environment& environment : environments)
        {
            SCOPED_TRACE(std::string(name) + ", " + environment.name);
            const fs::path program = fs::path(Platform::ProgramFolder()) / name;
            std::string errors;
            // Far more than a refusal takes even on a loaded machine; a host that waits for a
            // window never ends by itself.
            EXPECT_EQ(RunProgram(program, {arg}, environment.setup, 60s, errors), 1) << errors;
            EXPECT_EQ(errors.rfind(std::string(name) + ": no display to open a window on (", 0), 0u) << errors;
            EXPECT_NE(errors.find(environment.reason), std::string::npos) << errors;
            EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
            EXPECT_TRUE(!errors.empty() && errors.back() == '\n');
        }
}

// What a host cannot use ends it with status 2 before it looks for a display: a size that is no
// number, or none a window can take, said in one line; a count of arguments its usage does not
// allow (a word too many is no slip to pass over, and a window's size goes whole) with its usage.
TEST(HostExitWindowTest, HostsRefuseArgumentsTheyCannotUseWithStatusTwo)
{
    TempDir dir("kelvane-host-arguments");
    WriteWholeFile(dir / "data.bin", std::string("0123"));
    const std::string file = (dir / "data.bin").string(), folder = dir.Path().string();
    const auto noDisplay = [] { unsetenv("DISPLAY"); unsetenv("KELVANE_HEADLESS"); };
    const char* const font = "DejaVu Sans Mono";
    for (const char* size : {"big", "12x", "0", "99999"})
    {
        SCOPED_TRACE(size);
        std::string errors;
        const fs::path program = fs::path(Platform::ProgramFolder()) / "hexedit_host";
        EXPECT_EQ(RunProgram(program, {file, font, "10", size, "400"}, noDisplay, 60s, errors), 2);
        EXPECT_EQ(errors, "hexedit_host: '" + std::string(size) + "' is not a number from 64 to 4096\n");
    }
    const std::string hexUsage = "usage: hexedit_host FILE [FONT [SIZE [WIDTH HEIGHT]]]\n";
    const std::string listUsage = "usage: filelist_host FOLDER [CAPTION]\n";
    const struct
    {
        const char* program;
        std::vector<std::string> args;
        std::string said; // with status 2; nothing said is a command line taken (no display: status 1)
    } cases[] = {
        {"hexedit_host", {}, hexUsage},
        {"hexedit_host", {file, font, "10", "760"}, hexUsage},
        {"hexedit_host", {file, font, "10", "760", "400", "extra"}, hexUsage},
        {"hexedit_host", {file, font, "10", "760", "400"}, ""},
        {"filelist_host", {}, listUsage},
        {"filelist_host", {folder, "Listing", "extra"}, listUsage},
        {"filelist_host", {folder, "Listing"}, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.program) + " with " + std::to_string(c.args.size()) + " arguments");
        std::string errors;
        const int status = RunProgram(fs::path(Platform::ProgramFolder()) / c.program, c.args, noDisplay, 60s, errors);
        if (c.said.empty())
        {
            EXPECT_EQ(status, 1) << errors;
            EXPECT_EQ(errors.rfind(std::string(c.program) + ": no display to open a window on (", 0), 0u) << errors;
            continue;
        }
        EXPECT_EQ(status, 2);
        EXPECT_EQ(errors, c.said);
    }
}
} // namespace
