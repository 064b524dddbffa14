// The folder tree: its top, paths set and read, expansion on demand.
#include "Controls/XFileTreeView.h"

#include "Platform/Vcl/Forms.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace fs = std::filesystem;

namespace
{
class FileTreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = new TForm(nullptr);
        form->SetClientWidth(300);
        form->SetClientHeight(400);
        tree = new XFileTreeView(form);
        tree->SetParent(form);
        tree->SetBounds(0, 0, 300, 400);
        tree->OnChange = MakeClosure(this, &FileTreeTest::Changed);
    }
    void TearDown() override
    {
        delete form;
        Platform::DispatchPostedMessages();
    }
    void Changed(TObject*, TTreeNode*) { ++changes; }
    std::vector<std::u16string> Texts(TTreeNode* node)
    {
        std::vector<std::u16string> texts;
        for (int i = 0; i < node->Count(); ++i)
            texts.push_back(node->Item(i)->Text.c_str());
        return texts;
    }
    TTreeNode* Child(TTreeNode* node, const std::u16string& text)
    {
        for (int i = 0; i < node->Count(); ++i)
            if (text == node->Item(i)->Text.c_str())
                return node->Item(i);
        return nullptr;
    }

    TForm* form = nullptr;
    XFileTreeView* tree = nullptr;
    int changes = 0;
};
} // namespace

TEST_F(FileTreeTest, TheDesktopHoldsFourFoldersInOrder)
{
    TTreeNode* root = tree->Items()->GetFirstNode();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Text, u"Desktop");
    EXPECT_EQ(Texts(root), (std::vector<std::u16string>{u"Computer", u"Control Panel", u"Home", u"Network"}));
    // Root and control panel have no path; the control panel and the network have no button.
    tree->SetSelected(root);
    EXPECT_EQ(tree->GetPath(), u"");
    tree->SetSelected(Child(root, u"Control Panel"));
    EXPECT_EQ(tree->GetPath(), u"");
    EXPECT_FALSE(Child(root, u"Control Panel")->HasChildren());
    EXPECT_FALSE(Child(root, u"Network")->HasChildren());
    EXPECT_TRUE(Child(root, u"Computer")->HasChildren());
    EXPECT_EQ(tree->OnlyFolders(), false);
}

TEST_F(FileTreeTest, SetPathOpensTheChainAndReadsBack)
{
    TempDir dir("filetree");
    fs::create_directories(dir / "a" / "b");
    fs::create_directories(dir / "a" / ".hidden");
    std::ofstream(dir / "a" / "file.txt") << "x";
    std::u16string path = Platform::WideName((dir / "a" / "b").string());
    tree->SetPath(UnicodeString(path.c_str()));
    EXPECT_EQ(std::u16string(tree->GetPath().c_str()), path);
    TTreeNode* selected = tree->Selected();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->Text, u"b");
    // Folders only, hidden ones included, and the parents opened.
    std::vector<std::u16string> siblings = Texts(selected->Parent());
    std::sort(siblings.begin(), siblings.end());
    EXPECT_EQ(siblings, (std::vector<std::u16string>{u".hidden", u"b"}));
    EXPECT_TRUE(selected->Parent()->Expanded());
    // A leaf has no button once it was looked into.
    EXPECT_FALSE(selected->HasChildren());
    int before = changes;
    tree->SetPath(UnicodeString(path.c_str()));
    EXPECT_EQ(changes, before);
    // A path that does not parse leaves the selection.
    tree->SetPath(u"not/absolute");
    EXPECT_EQ(tree->Selected(), selected);
    // Sorted, folders come first and names without case.
    tree->FileTreeSort(true);
    EXPECT_EQ(Texts(tree->Items()->GetFirstNode()),
              (std::vector<std::u16string>{u"Computer", u"Control Panel", u"Home", u"Network"}));
}

TEST_F(FileTreeTest, HomeOpensOnItsFolders)
{
    TempDir home("treehome");
    fs::create_directories(home / "Documents");
    fs::create_directories(home / "Music");
    std::ofstream(home / "notes.txt") << "x";
    std::string old = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.Path().c_str(), 1);
    TTreeNode* homeNode = Child(tree->Items()->GetFirstNode(), u"Home");
    homeNode->Expand(false);
    std::vector<std::u16string> texts = Texts(homeNode);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::u16string>{u"Documents", u"Music"}));
    tree->SetSelected(Child(homeNode, u"Music"));
    EXPECT_EQ(std::u16string(tree->GetPath().c_str()), Platform::WideName((home / "Music").string()));
    setenv("HOME", old.c_str(), 1);
}
