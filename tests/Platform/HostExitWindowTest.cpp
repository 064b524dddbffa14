// Programs whose forms are still alive when main returns: the application frees them in the exit
// handlers, after main, and nothing of that may reach a display connection that is already gone.
// Each host runs as a process of its own on a private virtual X server and is closed as a window
// manager closes it (WM_DELETE_WINDOW).
#include "tests/support/TempDir.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/WholeFile.h"
#include "tests/support/WindowDriver.h"

#include "Platform/Win32/Windows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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
} // namespace
