// The scratch folder of the benchmarks that write files.
#include "bench/BenchFolder.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(BenchFolderTest, AFolderIsMadeUnderTheOneNamedOrOneLineSaysWhyNot)
{
    TempDir dir("benchfolder");
    const std::optional<std::string> made = MakeBenchFolder(dir.Path().string(), "bench");
    ASSERT_TRUE(made);
    EXPECT_TRUE(std::filesystem::is_directory(*made));
    EXPECT_EQ(std::filesystem::path(*made).parent_path(), dir.Path());
    EXPECT_EQ(std::filesystem::path(*made).filename().string().rfind("bench-", 0), 0u);
    const std::string missing = (dir / "missing").string();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(MakeBenchFolder(missing, "bench"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "cannot make a folder under " + missing + "\n");
}
