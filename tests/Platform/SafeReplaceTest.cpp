// Saving over a file through a temporary file beside it: what killed saves leave behind is removed
// by the next save of the same file, a live save's temporary file never is, and no number of
// leftovers makes a save fail.
#include "Platform/Win32/Windows.h"

#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

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
} // namespace
