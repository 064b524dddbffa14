// Saving over a file through a temporary file beside it: what killed saves leave behind is removed
// by the next save of the same file, a live save's temporary file never is, and no number of
// leftovers makes a save fail.
#include "Platform/Win32/Windows.h"

#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace
{
std::set<std::string> FilesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A save writing `text` through the temporary path it is handed; notes that path.
Platform::ReplaceResult Save(const fs::path& target, const std::string& text, std::string* tempName = nullptr)
{
    return Platform::ReplaceFileSafely(WidePath(target).c_str(),
                                       [&](const std::u16string& temp)
                                       {
                                           fs::path path = Platform::ToUtf8(temp.c_str());
                                           if (tempName)
                                               *tempName = path.filename().string();
                                           WriteWholeFile(path, text);
                                       });
}

TEST(SafeReplaceTest, LeftoversOfKilledSavesGoAndNoNumberOfThemMakesASaveFail)
{
    TempDir dir("safereplace");
    const fs::path target = dir / "model.xscene";
    WriteWholeFile(target, "old");
    for (const char* leftover : {"model.xscene.~new", "model.xscene.~new1", "model.xscene.~new999"})
        WriteWholeFile(dir / leftover, std::string(5000, 'x'));
    // Names that only look alike are other files.
    const std::set<std::string> others = {"model.xscene.~newer", "model.xscene.~new0", "model.xscene.~new12a",
                                          "other.xscene.~new", "model.xscene~new1"};
    for (const std::string& name : others)
        WriteWholeFile(dir / name, "keep");

    std::string temp;
    ASSERT_EQ(Save(target, "new", &temp), Platform::ReplaceResult::Done);
    EXPECT_EQ(temp, "model.xscene.~new");
    EXPECT_EQ(ReadWholeFile(target), "new");
    std::set<std::string> expected = others;
    expected.insert("model.xscene");
    EXPECT_EQ(FilesIn(dir.Path()), expected);

    // Every name up to ~new999 taken by something no save can remove: the save takes the next.
    for (int n = 0; n < 1000; ++n)
        fs::create_directory(dir / ("model.xscene.~new" + (n ? std::to_string(n) : std::string())));
    ASSERT_EQ(Save(target, "newer", &temp), Platform::ReplaceResult::Done);
    EXPECT_EQ(temp, "model.xscene.~new1000");
    EXPECT_EQ(ReadWholeFile(target), "newer");
    EXPECT_FALSE(fs::exists(dir / "model.xscene.~new1000"));
    EXPECT_TRUE(fs::is_directory(dir / "model.xscene.~new999"));
}

TEST(SafeReplaceTest, ASaveInAnotherProcessKeepsItsTemporaryFile)
{
    TempDir dir("safereplace");
    const fs::path target = dir / "data.bin";
    WriteWholeFile(target, "old");
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        // Writes half its file, then waits inside the save until the parent has saved too.
        auto result = Platform::ReplaceFileSafely(WidePath(target).c_str(),
                                                  [&](const std::u16string& temp)
                                                  {
                                                      WriteWholeFile(Platform::ToUtf8(temp.c_str()), "from the child");
                                                      char c = 'w';
                                                      if (::write(ready[1], &c, 1) != 1 || ::read(go[0], &c, 1) != 1)
                                                          ::_exit(3);
                                                  });
        ::_exit(result == Platform::ReplaceResult::Done ? 0 : 1);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    std::string temp;
    EXPECT_EQ(Save(target, "from the parent", &temp), Platform::ReplaceResult::Done);
    EXPECT_EQ(temp, "data.bin.~new1");
    EXPECT_EQ(ReadWholeFile(target), "from the parent");
    EXPECT_EQ(ReadWholeFile(dir / "data.bin.~new"), "from the child");
    ASSERT_EQ(::write(go[1], &c, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadWholeFile(target), "from the child");
    EXPECT_EQ(FilesIn(dir.Path()), std::set<std::string>{"data.bin"});
    for (int fd : {ready[0], ready[1], go[0], go[1]})
        ::close(fd);
}

TEST(SafeReplaceTest, RemovedLeftoversAreNamedAsTheCallerNamesTheTargetUnlessALinkLedElsewhere)
{
    TempDir dir("safereplace");
    fs::create_directory(dir / "real");
    WriteWholeFile(dir / "real" / "Models.pck", "archive");
    fs::create_symlink("real/Models.pck", dir / "Link.pck");
    for (const char* leftover : {"Models.pck.~new", "Models.pck.~new2"})
        WriteWholeFile(dir / "real" / leftover, "left");
    const std::u16string real = WidePath(dir / "real" / "Models.pck");
    const std::u16string spelled = WidePath(dir.Path()) + u"\\real\\Models.pck";
    struct Case
    {
        std::u16string target;
        std::vector<std::u16string> named;
    } cases[] = {
        // Spelled the platform's way: the names keep that spelling.
        {spelled, {spelled + u".~new", spelled + u".~new2"}},
        // Through a link: the files are named where they were.
        {WidePath(dir / "Link.pck"), {real + u".~new", real + u".~new2"}},
    };
    for (const Case& c : cases)
    {
        std::vector<std::u16string> named;
        Platform::RemoveReplaceLeftovers(c.target.c_str(),
                                         [&](const std::u16string& name) { named.push_back(name); });
        EXPECT_EQ(named, c.named) << Platform::ToUtf8(c.target.c_str());
        EXPECT_EQ(FilesIn(dir / "real"), std::set<std::string>{"Models.pck"});
        for (const char* leftover : {"Models.pck.~new", "Models.pck.~new2"})
            WriteWholeFile(dir / "real" / leftover, "left");
    }
}

size_t OpenDescriptors()
{
    return static_cast<size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

TEST(SafeReplaceTest, SavesThatSucceedOrFailKeepNoDescriptorOpen)
{
    TempDir dir("safereplace");
    const fs::path target = dir / "settings.xml";
    WriteWholeFile(target, "old");
    bool failFlush = false;
    Platform::SetFlushFault([&](const std::string&) { return failFlush; });
    const size_t before = OpenDescriptors();
    for (int save = 0; save < 50; ++save)
    {
        failFlush = false;
        EXPECT_EQ(Save(target, "new"), Platform::ReplaceResult::Done) << save;
        failFlush = true;
        EXPECT_EQ(Save(target, "newer"), Platform::ReplaceResult::FlushFailed) << save;
    }
    Platform::SetFlushFault(nullptr);
    EXPECT_EQ(OpenDescriptors(), before);
}

// Whether the file under the name is held by a live save's lock (this process's or another's).
bool HeldBySave(const fs::path& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

// The cleaning of a target's leftovers in a child process, traced and held at its first flock,
// before the lock is taken: what happens to the leftover's name meanwhile is up to the test.
// Found by the system call rather than a hook, as the race lies between two system calls.
class CleanerHeldBeforeLock
{
public:
    explicit CleanerHeldBeforeLock(const fs::path& target)
    {
        m_Child = ::fork();
        if (m_Child == 0)
        {
            // Where tracing is forbidden the child says so and ends instead of stopping untraced.
            if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
                ::_exit(Untraceable);
            ::raise(SIGSTOP);
            Platform::RemoveReplaceLeftovers(WidePath(target).c_str());
            ::_exit(0);
        }
        int status = 0;
        if (m_Child < 0 || ::waitpid(m_Child, &status, 0) != m_Child)
            return;
        if (WIFEXITED(status) && WEXITSTATUS(status) == Untraceable)
        {
            m_Finished = true;
            m_Refused = true;
            return;
        }
        if (!WIFSTOPPED(status) ||
            ::ptrace(PTRACE_SETOPTIONS, m_Child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL) != 0)
            return;
        while (::ptrace(PTRACE_SYSCALL, m_Child, nullptr, nullptr) == 0 &&
               ::waitpid(m_Child, &status, 0) == m_Child && WIFSTOPPED(status) &&
               WSTOPSIG(status) == (SIGTRAP | 0x80))
        {
            __ptrace_syscall_info info{};
            if (::ptrace(PTRACE_GET_SYSCALL_INFO, m_Child, sizeof info, &info) <= 0)
            {
                m_Refused = errno == EIO || errno == EINVAL; // a kernel without the request
                return;
            }
            if (info.op == PTRACE_SYSCALL_INFO_ENTRY && info.entry.nr == SYS_flock)
            {
                m_Held = true;
                return;
            }
        }
    }
    ~CleanerHeldBeforeLock()
    {
        if (m_Child > 0 && !m_Finished)
        {
            ::kill(m_Child, SIGKILL);
            ::waitpid(m_Child, nullptr, 0);
        }
    }
    CleanerHeldBeforeLock(const CleanerHeldBeforeLock&) = delete;
    CleanerHeldBeforeLock& operator=(const CleanerHeldBeforeLock&) = delete;

    bool Held() const { return m_Held; }
    // The system does not let a process trace its child (or read its system calls).
    bool Refused() const { return m_Refused; }
    // Lets the cleaning run to its end; whether it ended well.
    bool Finish()
    {
        int status = 0;
        m_Finished = ::ptrace(PTRACE_DETACH, m_Child, nullptr, nullptr) == 0 &&
                     ::waitpid(m_Child, &status, 0) == m_Child;
        return m_Finished && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    static constexpr int Untraceable = 77;
    pid_t m_Child = -1;
    bool m_Held = false;
    bool m_Refused = false;
    bool m_Finished = false;
};

TEST(SafeReplaceTest, ACleanerNeverRemovesALiveSavesFileThatTookTheNameOfALeftover)
{
    TempDir dir("safereplace");
    const fs::path target = dir / "scene.xscene";
    WriteWholeFile(target, "old");
    WriteWholeFile(dir / "scene.xscene.~new", "left by a killed save");
    CleanerHeldBeforeLock cleaner(target);
    if (cleaner.Refused())
        GTEST_SKIP() << "this system lets no process trace its child";
    ASSERT_TRUE(cleaner.Held()) << "the cleaning could not be traced to its lock";
    // Meanwhile this save cleans the same leftover away and makes its own file under that name;
    // the held cleaner then locks the leftover it opened, which is no longer the one named.
    bool keptWhileCleaned = false;
    std::string temp;
    const auto result = Platform::ReplaceFileSafely(WidePath(target).c_str(),
                                                    [&](const std::u16string& path)
                                                    {
                                                        const fs::path file = Platform::ToUtf8(path.c_str());
                                                        temp = file.filename().string();
                                                        WriteWholeFile(file, "new");
                                                        EXPECT_TRUE(cleaner.Finish());
                                                        keptWhileCleaned = HeldBySave(file);
                                                    });
    EXPECT_EQ(result, Platform::ReplaceResult::Done);
    EXPECT_EQ(temp, "scene.xscene.~new");
    EXPECT_TRUE(keptWhileCleaned);
    EXPECT_EQ(ReadWholeFile(target), "new");
}

// Whether the system lists a process waiting for a lock of the file (a "->" line of /proc/locks
// naming its device and inode).
bool LockWaitedFor(const struct stat& file)
{
    char id[64];
    std::snprintf(id, sizeof id, "%02x:%02x:%llu", ::major(file.st_dev), ::minor(file.st_dev),
                  static_cast<unsigned long long>(file.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);)
        if (line.find(" -> ") != std::string::npos &&
            line.find(std::string(" ") + id + " ") != std::string::npos)
            return true;
    return false;
}

// A copy of the program that opened the big log before another copy rotated it and began a fresh
// one waits for the lock meanwhile; once it has the lock, it finds the name no longer names the
// file it opened and moves nothing: the fresh log and the rotated one stay as they are.
TEST(SafeReplaceTest, ARotationThatWaitedForTheLockLeavesTheLogBegunMeanwhile)
{
    if (!std::ifstream("/proc/locks"))
        GTEST_SKIP() << "this system does not list its locks";
    TempDir dir("rotate");
    const fs::path log = dir / "app.log";
    const fs::path rotated = dir / "app.~log";
    const std::string big(200, 'o');
    WriteWholeFile(log, big);
    int held = ::open(log.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    struct stat heldState;
    ASSERT_EQ(::fstat(held, &heldState), 0);

    bool moved = true;
    std::thread rotation(
        [&] { moved = Platform::MoveFileIfLarger(WidePath(log).c_str(), WidePath(rotated).c_str(), 100); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool waiting = false;
    while (!(waiting = LockWaitedFor(heldState)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (waiting)
    {
        // The other copy's rotation, under the lock, and its fresh log.
        EXPECT_EQ(::rename(log.c_str(), rotated.c_str()), 0);
        WriteWholeFile(log, "fresh");
    }
    ::close(held);
    rotation.join();
    ASSERT_TRUE(waiting) << "the rotation never waited for the lock";
    EXPECT_FALSE(moved);
    EXPECT_EQ(ReadWholeFile(log), "fresh");
    EXPECT_EQ(ReadWholeFile(rotated), big);

    // Unhindered, the same log is moved once it is larger than the limit, and only then.
    EXPECT_FALSE(Platform::MoveFileIfLarger(WidePath(log).c_str(), WidePath(rotated).c_str(), 5));
    WriteWholeFile(log, "fresh and more");
    EXPECT_TRUE(Platform::MoveFileIfLarger(WidePath(log).c_str(), WidePath(rotated).c_str(), 5));
    EXPECT_FALSE(fs::exists(log));
    EXPECT_EQ(ReadWholeFile(rotated), "fresh and more");
}
} // namespace
