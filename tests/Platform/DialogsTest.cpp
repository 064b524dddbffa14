#include "Platform/Vcl/Dialogs.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
UnicodeString Wide(const fs::path& path)
{
    return UnicodeString(Platform::FromUtf8(path.string()));
}

std::string Utf8(const UnicodeString& text)
{
    return text.ToUtf8();
}

std::vector<std::string> Listing(const Vcl::FileBrowser& browser)
{
    std::vector<std::string> names;
    for (const auto& item : browser.Items())
        names.push_back((item.Folder ? "[" : "") + Utf8(item.Name) + (item.Folder ? "]" : ""));
    return names;
}

void Touch(const fs::path& path)
{
    std::ofstream(path) << "x";
}

const UnicodeString kPartFilter = u"Game 'Models.pck' file (Models.pck)|Models.pck";
} // namespace

TEST(DialogsTest, MasksMatchWithoutCase)
{
    struct Case
    {
        const char16_t* name;
        const char16_t* masks;
        bool matches;
    } cases[] = {
        {u"Models.pck", u"Models.pck", true},
        {u"MODELS.PCK", u"Models.pck", true},
        {u"models.Pck", u"Models.pck", true},
        {u"Models.pck.bak", u"Models.pck", false},
        {u"Models.original.pck", u"Models.pck", false},
        {u"xModels.pck", u"Models.pck", false},
        {u"Models.original.pck", u"*.pck", true},
        {u"Models.pck", u"*.dds; *.PCK", true},
        {u"README", u"*.*", true},
        {u"README", u"*", true},
        {u"a.b", u"?.?", true},
        {u"ab.b", u"?.?", false},
        {u"Модели.pck", u"МОДЕЛИ.*", true},
        {u"", u"Models.pck", false},
        {u"Models.pck", u"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Vcl::MatchesMask(c.name, c.masks), c.matches)
            << Utf8(c.name) << " against " << Utf8(c.masks);

    auto filters = Vcl::ParseFilter(kPartFilter + u"|All files|*.*|dangling");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].Description, u"Game 'Models.pck' file (Models.pck)");
    EXPECT_EQ(filters[0].Masks, u"Models.pck");
    EXPECT_EQ(filters[1].Masks, u"*.*");
}

TEST(DialogsTest, BrowserListsFoldersThenMatchingFilesAndNavigates)
{
    TempDir dir("kelvane-browse");
    fs::create_directories(dir / "Game" / "Data");
    fs::create_directories(dir / "b folder");
    fs::create_directories(dir / ".hidden");
    Touch(dir / "Game" / "MODELS.PCK");
    Touch(dir / "Game" / "Models.original.pck");
    Touch(dir / "Game" / "game.exe");
    Touch(dir / "models.pck");
    Touch(dir / "notes.txt");

    Vcl::FileBrowser browser;
    browser.SetMasks(Vcl::ParseFilter(kPartFilter)[0].Masks);
    ASSERT_TRUE(browser.Open(Wide(dir.Path())));
    EXPECT_EQ(Utf8(browser.Folder()), dir.Path().string() + "/");
    EXPECT_EQ(Listing(browser), (std::vector<std::string>{"[b folder]", "[Game]", "models.pck"}));

    // A failed open keeps the folder; so does a file.
    EXPECT_FALSE(browser.Open(Wide(dir / "missing")));
    EXPECT_FALSE(browser.Open(Wide(dir / "notes.txt")));
    EXPECT_EQ(Utf8(browser.Folder()), dir.Path().string() + "/");

    ASSERT_TRUE(browser.Open(Wide(dir / "game"))); // found without case
    EXPECT_EQ(Listing(browser), (std::vector<std::string>{"[Data]", "MODELS.PCK"}));
    EXPECT_EQ(browser.IndexOf(u"models.pck"), 1);
    EXPECT_EQ(browser.IndexOf(u"Data"), 0);
    EXPECT_EQ(browser.IndexOf(u"none"), -1);

    ASSERT_TRUE(browser.OpenParent());
    EXPECT_EQ(Utf8(browser.Folder()), dir.Path().string() + "/");
    ASSERT_TRUE(browser.Open(u"/"));
    EXPECT_FALSE(browser.OpenParent());
    EXPECT_EQ(browser.Folder(), u"/");
}

TEST(DialogsTest, AcceptFollowsTheTypedNameAndTheOptions)
{
    TempDir dir("kelvane-accept");
    fs::create_directories(dir / "Game");
    Touch(dir / "Game" / "Models.pck");
    Touch(dir / "Game" / "Other.pck");
    Touch(dir / "Game" / "plain");
    const std::string game = (dir / "Game").string();
    const TOpenOptions strict{ofHideReadOnly, ofPathMustExist, ofFileMustExist, ofEnableSizing};
    const TOpenOptions loose{ofHideReadOnly};
    using O = Vcl::FileBrowser::Outcome;

    struct Case
    {
        std::u16string typed;
        TOpenOptions options;
        O outcome;
        std::string fileName; // relative to the game folder; "" for none
        std::string folderAfter;
    } cases[] = {
        {u"", strict, O::None, "", game + "/"},
        {u"   ", strict, O::None, "", game + "/"},
        {u"Models.pck", strict, O::Accepted, "Models.pck", game + "/"},
        {u" models.PCK ", strict, O::Accepted, "Models.pck", game + "/"},
        {u"Models", strict, O::Accepted, "Models.pck", game + "/"},  // default extension
        {u"plain", strict, O::Accepted, "plain", game + "/"},        // exists as typed
        {u"Missing.pck", strict, O::FileMissing, "Missing.pck", game + "/"},
        {u"Missing", strict, O::FileMissing, "Missing.pck", game + "/"},
        {u"Missing.pck", loose, O::Accepted, "Missing.pck", game + "/"},
        {u"nowhere/Models.pck", strict, O::PathMissing, "nowhere/Models.pck", game + "/"},
        {u"nowhere\\Models.pck", loose, O::Accepted, "nowhere/Models.pck", game + "/"},
        {u"..", strict, O::OpenedFolder, "", dir.Path().string() + "/"},
        {u"../game\\", strict, O::OpenedFolder, "", game + "/"},
        {Platform::FromUtf8(game + "/Other.pck"), strict, O::Accepted, "Other.pck", game + "/"},
        {u"*.PCK", strict, O::Filtered, "", game + "/"},
    };
    for (const Case& c : cases)
    {
        Vcl::FileBrowser browser;
        ASSERT_TRUE(browser.Open(Wide(dir / "Game")));
        auto result = browser.Accept(c.typed, u"pck", c.options);
        SCOPED_TRACE(Utf8(c.typed));
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(Utf8(result.FileName), c.fileName.empty() ? "" : game + "/" + c.fileName);
        EXPECT_EQ(Utf8(browser.Folder()), c.folderAfter);
        if (c.outcome == O::Filtered)
        {
            EXPECT_EQ(Listing(browser), (std::vector<std::string>{"Models.pck", "Other.pck"}));
        }
    }
}
