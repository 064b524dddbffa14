#include "tests/support/ScratchFile.h"

#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

// The archive tools' scratch file: it never takes over, and never removes, a file it did not make,
// whatever name the tool's output or input has.
TEST(ScratchFileTest, NeverTouchesAFileItDidNotMake)
{
    TempDir dir("kelvane_scratch");
    const std::string out = (dir / "v.pck").string();
    // Files that an earlier tool wrote next to its output, and an input named like one of them.
    WriteWholeFile(dir / "v.pck.copy", std::string("input"));
    WriteWholeFile(dir / "v.pck.scratch-", std::string("other"));
    std::string path;
    {
        ScratchFile a(out), b(out);
        path = a.Path();
        EXPECT_NE(a.Path(), b.Path());
        for (const std::string& p : {a.Path(), b.Path()})
        {
            EXPECT_EQ(fs::path(p).parent_path(), dir.Path());
            EXPECT_TRUE(fs::exists(p));
            EXPECT_EQ(fs::file_size(p), 0u);
        }
        WriteWholeFile(a.Path(), std::string("scratch data"));
    }
    EXPECT_FALSE(fs::exists(path)); // its own file goes
    EXPECT_EQ(ReadWholeFile(dir / "v.pck.copy"), "input");
    EXPECT_EQ(ReadWholeFile(dir / "v.pck.scratch-"), "other");

    // A file that replaced the scratch file meanwhile stays.
    {
        std::optional<ScratchFile> c(std::in_place, out);
        path = c->Path();
        fs::remove(path);
        WriteWholeFile(path, std::string("someone else's"));
    }
    EXPECT_EQ(ReadWholeFile(path), "someone else's");

    EXPECT_THROW(ScratchFile((dir / "no-such-folder" / "v.pck").string()), std::runtime_error);
}
