#include "App/PwPatchEntry.h"

#include "App/AppPaths.h"
#include "Components/Cx/CxXml.h"
#include "tests/support/TempDir.h"
#include "tests/support/Thrown.h"
#include "tests/support/Utf16Text.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// One instruction element; an absent attribute is left out of the file.
struct Element
{
    std::optional<std::u16string> MeshIndex;
    std::optional<std::u16string> UseBoneMap;
    std::optional<std::u16string> FileName;
    std::optional<std::u16string> ModelName;
};

std::u16string Number(int value)
{
    return Widen(std::to_string(value));
}

std::u16string Text(const XString& text)
{
    return text.c_str();
}

class PwPatchEntryTest : public ::testing::Test
{
protected:
    // Saved through the document model, so the file is in the program's own dialect; element
    // names vary, since any child of the root is an instruction.
    static void Write(const std::vector<Element>& elements, const std::u16string& file)
    {
        CxXml::XmlDocument document;
        document.SetName(u"PatchData");
        document.AddValue(u"Comment", XString(u"values of the root are no instructions"));
        for (size_t i = 0; i < elements.size(); ++i)
        {
            const Element& e = elements[i];
            CxXml::XmlNode* node = document.AddNode(i % 2 ? u"Patch" : u"Entry");
            // Attribute order in the file does not matter.
            if (e.ModelName)
                node->AddAttribute(u"ModelName", XString(e.ModelName->c_str()));
            if (e.FileName)
                node->AddAttribute(u"FileName", XString(e.FileName->c_str()));
            if (e.UseBoneMap)
                node->AddAttribute(u"UseBoneMap", XString(e.UseBoneMap->c_str()));
            if (e.MeshIndex)
                node->AddAttribute(u"MeshIndex", XString(e.MeshIndex->c_str()));
        }
        document.SaveToFile(file.c_str());
    }
    void Write(const std::vector<Element>& elements) const { Write(elements, m_File); }

    void Load() { LoadPatchEntries(m_File.c_str(), m_Table.data()); }

    static bool IsEmpty(const PwPatchEntry& entry)
    {
        return entry.MeshIndex == 0 && !entry.BoneMap && entry.ModelName.IsEmpty() &&
               entry.FileName.IsEmpty();
    }

    TempDir m_Dir{"kelvane_patch"};
    std::u16string m_File = WidePath(m_Dir / "PatchData.xml");
    std::vector<PwPatchEntry> m_Table = std::vector<PwPatchEntry>(PwPatchEntryCount);
};

TEST_F(PwPatchEntryTest, LoadsAtMost256InstructionsInDocumentOrder)
{
    std::vector<Element> elements;
    for (int i = 0; i < 300; ++i)
        elements.push_back({Number(i - 5), i % 3 ? u"false" : u"True",
                            u"models\\npc\\n" + Number(i) + u".ski", u"Hero" + Number(i) + u".xscene"});
    Write(elements);
    Load();
    EXPECT_EQ(GetPatchEntryCount(m_Table.data()), 256u);
    for (int i = 0; i < 256; ++i)
    {
        EXPECT_EQ(m_Table[i].MeshIndex, i - 5) << i;
        EXPECT_EQ(m_Table[i].BoneMap, i % 3 ? nullptr : PwBoneMap) << i;
        EXPECT_EQ(Text(m_Table[i].FileName), *elements[i].FileName);
        EXPECT_EQ(Text(m_Table[i].ModelName), *elements[i].ModelName);
    }

    // Fewer elements than records: the rest of the table is left as it was (never cleared).
    m_Table[5].FileName = u"earlier";
    m_Table[5].MeshIndex = 77;
    Write({elements[10], elements[11]});
    Load();
    EXPECT_EQ(Text(m_Table[0].FileName), *elements[10].FileName);
    EXPECT_EQ(Text(m_Table[1].FileName), *elements[11].FileName);
    EXPECT_EQ(Text(m_Table[5].FileName), u"earlier");
    EXPECT_EQ(m_Table[5].MeshIndex, 77);
}

TEST_F(PwPatchEntryTest, EmptyFileNameEndsTheList)
{
    Write({{u"1", u"true", u"a.ski", u"a.xscene"},
           {u"2", u"false", u"b.dds", u"b.dds"},
           {u"3", u"false", u"", u"c.dds"},
           {u"4", u"false", u"d.dds", u"d.dds"}});
    Load();
    EXPECT_EQ(GetPatchEntryCount(m_Table.data()), 2u);
    // Loaded all the same, only never reached.
    EXPECT_EQ(m_Table[2].MeshIndex, 3);
    EXPECT_EQ(Text(m_Table[2].ModelName), u"c.dds");
    EXPECT_EQ(Text(m_Table[3].FileName), u"d.dds");

    std::vector<PwPatchEntry> empty(PwPatchEntryCount);
    EXPECT_EQ(GetPatchEntryCount(empty.data()), 0u);
    for (PwPatchEntry& entry : empty)
        entry.FileName = u"x";
    EXPECT_EQ(GetPatchEntryCount(empty.data()), PwPatchEntryCount);
}

TEST_F(PwPatchEntryTest, FailuresKeepWhatWasReadBefore)
{
    // "FileName" is missing from the third element: MeshIndex and BoneMap of that record are
    // already stored, FileName and ModelName keep what the record held.
    m_Table[2].ModelName = u"old model";
    Write({{u"10", u"true", u"a.ski", u"a.xscene"},
           {u"11", u"false", u"b.dds", u"b.dds"},
           {u"12", u"true", std::nullopt, u"c.xscene"},
           {u"13", u"true", u"d.ski", u"d.xscene"}});
    EXPECT_EQ(ThrownMessage([&] { Load(); }), u"Xml attribute not found.");
    EXPECT_THROW(Load(), XException);
    EXPECT_EQ(m_Table[0].MeshIndex, 10);
    EXPECT_EQ(Text(m_Table[0].FileName), u"a.ski");
    EXPECT_EQ(Text(m_Table[1].ModelName), u"b.dds");
    EXPECT_EQ(m_Table[2].MeshIndex, 12);
    EXPECT_EQ(m_Table[2].BoneMap, PwBoneMap);
    EXPECT_TRUE(m_Table[2].FileName.IsEmpty());
    EXPECT_EQ(Text(m_Table[2].ModelName), u"old model");
    EXPECT_TRUE(IsEmpty(m_Table[3]));

    // Names are exact: a differently cased attribute is missing. The first attribute fails here.
    std::vector<PwPatchEntry> table(PwPatchEntryCount);
    CxXml::XmlDocument document;
    document.SetName(u"PatchData");
    CxXml::XmlNode* node = document.AddNode(u"Patch");
    node->AddAttribute(u"meshindex", XString(u"1"));
    node->AddAttribute(u"UseBoneMap", XString(u"true"));
    node->AddAttribute(u"FileName", XString(u"a.ski"));
    node->AddAttribute(u"ModelName", XString(u"a.xscene"));
    document.SaveToFile(m_File.c_str());
    EXPECT_EQ(ThrownMessage([&] { LoadPatchEntries(m_File.c_str(), table.data()); }),
              u"Xml attribute not found.");
    EXPECT_TRUE(IsEmpty(table[0]));

    // A MeshIndex without digits does not convert; the record keeps nothing.
    Write({{u"", u"true", u"a.ski", u"a.xscene"}});
    EXPECT_EQ(ThrownMessage([&] { LoadPatchEntries(m_File.c_str(), table.data()); }),
              u"Variant type conversion error.");
    EXPECT_THROW(LoadPatchEntries(m_File.c_str(), table.data()), VarUtils::XVariantCastError);
    EXPECT_TRUE(IsEmpty(table[0]));
}

TEST_F(PwPatchEntryTest, MissingOrBrokenFileThrowsAndLeavesTheTable)
{
    std::u16string missing = WidePath(m_Dir / "none.xml");
    EXPECT_EQ(ThrownMessage([&] { LoadPatchEntries(missing.c_str(), m_Table.data()); }),
              u"Xml syntax error.");
    for (const PwPatchEntry& entry : m_Table)
        EXPECT_TRUE(IsEmpty(entry));

    Write({{u"1", u"true", u"a.ski", u"a.xscene"}});
    // Cut inside the root's end tag: the instruction element itself is whole, but the document
    // fails before any record is filled.
    fs::resize_file(m_Dir / "PatchData.xml", fs::file_size(m_Dir / "PatchData.xml") - 10);
    EXPECT_THROW(Load(), CxXml::XmlSyntaxError);
    EXPECT_TRUE(IsEmpty(m_Table[0]));

    // The program's own table starts empty.
    for (const PwPatchEntry& entry : PwPatchEntries)
        EXPECT_TRUE(IsEmpty(entry));
}

TEST_F(PwPatchEntryTest, DataFileIsFoundBesideTheProgramInWindowsForm)
{
    XString program = AppPaths::ProgramFile();
    EXPECT_EQ(GetPatchDataFileName(), AppPaths::ExtractFilePath(program) + u"Data\\PatchData.xml");

    // The same form under another folder, stored in other case on disk.
    fs::create_directories(m_Dir / "data");
    Write({{u"7", u"true", u"Models\\Hero.SKI", u"Hero.xscene"}}, WidePath(m_Dir / "data" / "patchdata.xml"));
    std::u16string windowsForm = WidePath(m_Dir.Path()) + u"/Data\\PatchData.xml";
    LoadPatchEntries(windowsForm.c_str(), m_Table.data());
    EXPECT_EQ(m_Table[0].MeshIndex, 7);
    EXPECT_EQ(Text(m_Table[0].FileName), u"Models\\Hero.SKI");
}

TEST_F(PwPatchEntryTest, AFailedLoadIsLoggedWithThePathAsOpenedAndWhy)
{
    auto line = [](const std::u16string& file, const char16_t* message)
    { return Platform::ToUtf8(PatchDataLoadFailure(XString(file.c_str()), XString(message)).c_str()); };
    const std::string dir = m_Dir.Path().string();
    // Missing: the Windows form of the name is shown as opened, '/' throughout.
    std::u16string missing = WidePath(m_Dir.Path()) + u"/Data\\PatchData.xml";
    EXPECT_EQ(line(missing, u"Xml syntax error."),
              "Loading <" + dir + "/Data/PatchData.xml> failed: the file does not exist.");
    // A folder in its place cannot be read.
    fs::create_directories(m_Dir / "Data" / "PatchData.xml");
    EXPECT_EQ(line(missing, u"Xml syntax error."),
              "Loading <" + dir + "/Data/PatchData.xml> failed: the file cannot be read.");
    fs::remove_all(m_Dir / "Data");
    // A file that opens but does not load keeps the load's own message; found in other case, it
    // is named as it stands on disk.
    fs::create_directories(m_Dir / "data");
    WriteWholeFile(m_Dir / "data" / "patchdata.xml", std::string("<PatchData><Entry"));
    EXPECT_THROW(LoadPatchEntries(missing.c_str(), m_Table.data()), CxXml::XmlSyntaxError);
    EXPECT_EQ(line(missing, u"Xml syntax error."),
              "Loading <" + dir + "/data/patchdata.xml> failed: Xml syntax error.");
}

TEST(PwBoneMapTest, MapsSourceBonesToGameBones)
{
    EXPECT_EQ(PwBoneMap[12], 9);
    EXPECT_EQ(PwBoneMap[8], 0);
    EXPECT_EQ(PwBoneMap[34], 31);
    EXPECT_EQ(PwBoneMap[40], 0);
    for (int i = 0; i < 256; ++i)
    {
        int expected = i <= 6 ? i : i <= 9 ? 0 : i <= 34 ? i - 3 : 0;
        EXPECT_EQ(PwBoneMap[i], expected) << i;
    }
}
} // namespace
