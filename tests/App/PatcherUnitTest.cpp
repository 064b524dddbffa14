#include "App/PatcherUnit.h"

#include "App/AppLogger.h"
#include "App/SessionEnd.h"
#include "Components/Cx/CxXml.h"
#include "Components/XMemoryStream.h"
#include "PW/Common/PwPackage.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PckGenerator.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/Utf16Text.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace
{
using Bytes = std::vector<uint8_t>;
using Files = std::set<std::string>;
// Entries by exact name with their inflated bytes, as a digest so that a failure lists names.
using Contents = std::map<std::string, std::string>;

std::string Utf8(const XString& text)
{
    return Platform::ToUtf8(text.c_str());
}

std::string Digest(const Bytes& bytes)
{
    return std::to_string(bytes.size()) + ":" +
           std::to_string(std::hash<std::string_view>()(
               std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

Contents ReadArchive(const fs::path& path)
{
    PwPackage package;
    package.Open(WidePath(path).c_str());
    Contents entries;
    for (uint32_t i = 0; i < package.Entries.GetCount(); ++i)
    {
        const PwEntry* entry = package.Entries.GetData()[i];
        XMemoryStream bytes(0, 8192);
        package.Extract(entry, &bytes);
        EXPECT_TRUE(entries.emplace(Utf8(entry->Name), Digest(StreamBytes(bytes))).second)
            << Utf8(entry->Name);
    }
    return entries;
}

Files FilesIn(const fs::path& folder)
{
    Files names;
    for (const auto& item : fs::directory_iterator(folder))
        names.insert(item.path().filename().string());
    return names;
}

// The game's entries that the instructions name, among a thousand generated ones.
const std::string kBody = "models\\hero\\Body.SKI";
const std::string kTexture = "textures\\hero\\hero.dds";
const std::string kHead = "models\\hero\\head.ski";
const std::string kHair = "models\\hero\\hair.ski";
const std::string kGone = "textures\\hero\\gone.dds";
const std::string kBones = "models\\hero\\hero.bon";
const std::string kTwice = "textures\\hero\\twice.dds";
const std::string kTwiceKept = "textures\\hero\\twice.original.dds";
const std::string kCape = "Models\\Case\\Cape.DDS"; // first of two in list order
const std::string kCapeTwin = "models\\case\\cape.dds";

struct Instruction
{
    const char* MeshIndex;
    const char* UseBoneMap;
    std::string FileName;
    const char* ModelName;
};

// "missing.dds" is not in the data folder; both scene instructions name one model.
const std::vector<Instruction> kInstructions = {
    {"0", "false", kBody, "hero_body.ski"}, {"0", "false", kTexture, "hero.dds"},
    {"2", "true", kHead, "hero.xscene"},    {"0", "false", kGone, "missing.dds"},
    {"0", "false", kHair, "hero.xscene"},   {"0", "false", kBones, "hero.bon"},
    {"0", "false", kTwice, "twice.dds"},    {"0", "false", "MODELS\\CASE\\CAPE.DDS", "cape.dds"},
};

// What the stand-in for the scene rebuild writes: recognisable, and made from the entry it is given.
Bytes Rebuilt(int meshIndex, Bytes original)
{
    std::string tag = "rebuilt mesh " + std::to_string(meshIndex) + "|";
    original.insert(original.begin(), tag.begin(), tag.end());
    return original;
}

class PatcherUnitTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        fs::create_directories(m_Dir / "Data");
        fs::create_directories(m_Dir / "Game");
        std::vector<PckGen::Entry> entries =
            PckGen::MakeEntries({.Seed = 16, .Count = 1000, .CaseTwins = false});
        uint32_t seed = 0;
        for (const std::string& name :
             {kBody, kTexture, kHead, kHair, kGone, kBones, kTwice, kTwiceKept, kCape, kCapeTwin})
        {
            PckGen::Entry entry;
            entry.Name936 = name;
            entry.NameWide = Widen(name);
            entry.Size = 700 + 300 * ++seed;
            entry.DataSeed = seed;
            entries.insert(entries.begin() + 500 + seed, entry);
        }
        PckGen::MemorySink sink;
        m_Game.Where = PckGen::WriteArchive(entries, {}, sink);
        m_Game.Entries = std::move(entries);
        m_Game.Bytes = std::move(sink.Bytes);
        WriteWholeFile(m_Archive, m_Game.Bytes);
        for (const PckGen::Entry& entry : m_Game.Entries)
            m_Original[Platform::ToUtf8(entry.NameWide.c_str(), entry.NameWide.size())] =
                PckGen::EntryData(entry);
        for (const char* model :
             {"hero_body.ski", "hero.dds", "hero.xscene", "hero.bon", "twice.dds", "cape.dds"})
        {
            m_Models[model] =
                PatternBytes(2000 + 100 * std::strlen(model), static_cast<uint32_t>(m_Models.size()));
            WriteWholeFile(m_Dir / "Data" / model, m_Models[model]);
        }
        WriteInstructions(kInstructions);

        m_Log = std::make_unique<AppLogger>(WidePath(m_Dir / "Kelvane.log").c_str());
        // Entries without their time stamp ("yyyy.mm.dd hh:mm:ss:mmm ").
        m_Log->SetTextHook([this](const XString& piece) { m_Entries.push_back(Utf8(piece).substr(24)); });
        m_Window = Platform::RegisterWindowReceiver(
            [this](UINT message, WPARAM value, LPARAM maximum)
            {
                m_Events.push_back(message == 0xD13 && maximum == 100 ? std::to_string(value) : "?");
                return LRESULT(0);
            });
        Patcher::SetSkiRebuildFunction(
            [this](const XString& scene, int32_t mesh, const uint8_t* map, XStream& original, XStream& output)
            {
                m_Calls.push_back(Utf8(scene) + "|" + std::to_string(mesh) +
                                  (map == PwBoneMap ? "|map" : ""));
                Bytes bytes =
                    m_RebuildFails ? Bytes{'p', 'a', 'r', 't'} : Rebuilt(mesh, StreamBytes(original));
                output.WriteBuffer(bytes.data(), static_cast<unsigned>(bytes.size()));
                return !m_RebuildFails;
            });
    }

    void TearDown() override
    {
        Patcher::SetSkiRebuildFunction(nullptr);
        Platform::SetFlushFault(nullptr);
        Platform::UnregisterWindowReceiver(m_Window);
    }

    // Data\PatchData.xml, read into the table as the dialog reads it at start.
    void WriteInstructions(const std::vector<Instruction>& instructions)
    {
        CxXml::XmlDocument document;
        document.SetName(u"PatchData");
        for (const Instruction& i : instructions)
        {
            CxXml::XmlNode* node = document.AddNode(u"Entry");
            node->AddAttribute(u"MeshIndex", XString(Widen(i.MeshIndex).c_str()));
            node->AddAttribute(u"UseBoneMap", XString(Widen(i.UseBoneMap).c_str()));
            node->AddAttribute(u"FileName", XString(Widen(i.FileName).c_str()));
            node->AddAttribute(u"ModelName", XString(Widen(i.ModelName).c_str()));
        }
        std::u16string file = WidePath(m_Dir / "Data" / "PatchData.xml");
        document.SaveToFile(file.c_str());
        m_Table.assign(PwPatchEntryCount, PwPatchEntry());
        LoadPatchEntries(file.c_str(), m_Table.data());
    }

    Patcher::PatchJob Job()
    {
        Patcher::PatchJob job;
        job.PackageFile = XString(WidePath(m_Archive).c_str());
        job.ProgramFolder = XString((WidePath(m_Dir.Path()) + u"/").c_str());
        job.Entries = m_Table.data();
        job.ProgressWindow = m_Window;
        job.ShowProgress = [this](bool visible)
        {
            m_Events.push_back(visible ? "show" : "hide");
            if (visible && m_OnShow)
                m_OnShow();
        };
        return job;
    }

    bool Patch()
    {
        m_Entries.clear();
        m_Events.clear();
        m_Calls.clear();
        m_Boxes.boxes.clear();
        return Patcher::PatchPackage(*m_Log, Job());
    }

    bool Restore()
    {
        m_Entries.clear();
        m_Boxes.boxes.clear();
        return Patcher::RestorePackage(*m_Log, XString(WidePath(m_Archive).c_str()));
    }

    std::vector<std::u16string> BoxTexts() const
    {
        std::vector<std::u16string> texts;
        for (const RecordedBox& box : m_Boxes.boxes)
            texts.push_back(box.text);
        return texts;
    }

    std::string Data(const std::string& name) const { return m_Dir.Path().string() + "/Data\\" + name; }

    // The archive that kInstructions make of the game's, entry by entry.
    Contents ExpectedPatch() const
    {
        Contents expected;
        for (const auto& [name, bytes] : m_Original)
            expected[name] = Digest(bytes);
        for (const std::string& name : {kBones, kCape})
            expected.erase(name);
        auto original = [this](const std::string& name) { return Digest(m_Original.at(name)); };
        expected["models\\hero\\Body.original.ski"] = original(kBody);
        expected[kBody] = Digest(m_Models.at("hero_body.ski"));
        expected["textures\\hero\\hero.original.dds"] = original(kTexture);
        expected[kTexture] = Digest(m_Models.at("hero.dds"));
        expected["models\\hero\\head.original.ski"] = original(kHead);
        expected[kHead] = Digest(Rebuilt(2, m_Original.at(kHead)));
        expected["models\\hero\\hair.original.ski"] = original(kHair);
        expected[kHair] = Digest(Rebuilt(0, m_Original.at(kHair)));
        expected["models\\hero\\hero.original.bon"] = original(kBones); // renamed, nothing added
        expected[kTwice] = Digest(m_Models.at("twice.dds"));            // the kept name existed: deleted
        expected["MODELS\\CASE\\CAPE.original.dds"] = original(kCape);
        expected["MODELS\\CASE\\CAPE.DDS"] = Digest(m_Models.at("cape.dds"));
        return expected; // kGone (no model) and kCapeTwin stay as they were
    }

    TempDir m_Dir{"kelvane_patcher"};
    fs::path m_Archive = m_Dir / "Game" / "Models.pck";
    fs::path m_Backup = m_Dir / "Game" / "Models.original.pck";
    PckGen::Archive m_Game;
    std::map<std::string, Bytes> m_Original, m_Models;
    std::vector<PwPatchEntry> m_Table;
    std::unique_ptr<AppLogger> m_Log;
    std::vector<std::string> m_Entries;
    std::vector<std::string> m_Events; // "show", progress values, "hide"
    std::vector<std::string> m_Calls;  // rebuilds: scene path, mesh index, "map" with the bone map
    bool m_RebuildFails = false;
    std::function<void()> m_OnShow;
    HWND m_Window = nullptr;
    BoxRecorder m_Boxes;
};

TEST_F(PatcherUnitTest, PatchKeepsTheBackupOnceRebuildsTheArchiveFromItAndLosesNothing)
{
    const std::string backup = m_Backup.string();
    std::vector<std::string> steps = {
        "Start patching...",
        "Package file: " + m_Archive.string(),
        "Checking package backup...",
        "Loading package backup file <" + backup + ">",
        "Patching package",
        "Loading model file <" + Data("hero.xscene") + ">", // once for both instructions
        "Model file <" + Data("missing.dds") + "> does not exist - patch failed!",
    };
    const Files files = {"Models.pck", "Models.original.pck"};

    ASSERT_TRUE(Patch());
    EXPECT_EQ(m_Entries, steps);
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"Patch installation complete!"});
    EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
    EXPECT_EQ(FilesIn(m_Dir / "Game"), files);
    const Contents expected = ExpectedPatch();
    EXPECT_EQ(ReadArchive(m_Archive), expected);
    EXPECT_EQ(m_Calls,
              (std::vector<std::string>{Data("hero.xscene") + "|2|map", Data("hero.xscene") + "|0"}));
    const Bytes first = ReadWholeFileData(m_Archive);
    EXPECT_STREQ(reinterpret_cast<const char*>(&first[first.size() - 268]), "Kelvane model package");

    // The bar is shown around the save and the archive's progress reaches the window in between:
    // 0, the data blocks up to 50, 60 once sorted, the table up to 100, each value once.
    std::vector<std::string> progress = {"show"};
    auto step = [&](size_t value)
    {
        if (progress.back() != std::to_string(value))
            progress.push_back(std::to_string(value));
    };
    step(0);
    for (size_t i = 0; i < expected.size(); ++i)
        step(i * 50 / expected.size());
    step(60);
    for (size_t i = 0; i < expected.size(); ++i)
        step(60 + i * 40 / expected.size());
    step(100);
    progress.push_back("hide");
    EXPECT_EQ(m_Events, progress);

    // A second patch starts again from the untouched backup: the same archive, nothing accumulated.
    // A file of the save's temporary name is what a killed save left: it goes, with a log entry.
    WriteWholeFile(m_Dir / "Game" / "Models.pck.~new", std::string("left by a killed save"));
    ASSERT_TRUE(Patch());
    steps.insert(steps.begin() + 3, "Package backup file <" + backup + "> already exist.");
    steps.push_back("Leftover temporary file <" + m_Archive.string() + ".~new> removed.");
    EXPECT_EQ(m_Entries, steps);
    steps.pop_back();
    EXPECT_EQ(ReadWholeFileData(m_Archive), first);
    EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
    EXPECT_EQ(FilesIn(m_Dir / "Game"), files);

    // A skin model whose rewrite fails keeps its game content; the rest of the patch completes.
    m_RebuildFails = true;
    ASSERT_TRUE(Patch());
    Contents kept = expected;
    kept[kHead] = Digest(m_Original.at(kHead));
    kept[kHair] = Digest(m_Original.at(kHair));
    EXPECT_EQ(ReadArchive(m_Archive), kept);
    ASSERT_EQ(m_Entries.size(), 10u);
    EXPECT_EQ(m_Entries[7], "Mesh replace in <" + kHead + "> failed - original entry kept.");
    EXPECT_EQ(m_Entries[9], "Mesh replace in <" + kHair + "> failed - original entry kept.");
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"Patch installation complete!"});
}

// Each failure ends the patch with one log entry, shows nothing and loses nothing: the archive path
// keeps what it held, the backup its bytes, and no temporary file is left.
struct FaultCase
{
    const char* Name;
    bool PatchedBefore; // the archive already holds a first patch
    std::function<void(PatcherUnitTest&)> Arrange;
    std::string LastEntry;   // the failure entry ends with this
    std::string RenameEntry; // a failed rename logged before it, if any
    bool Unreadable = false; // an archive stands there but does not open: the log says why
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.Name;
}

class PatcherFaultTest : public PatcherUnitTest, public ::testing::WithParamInterface<FaultCase>
{
};

const std::string kTooLong = "textures\\" + std::string(300, 'n') + ".dds";

const FaultCase kFaults[] = {
    {"ArchiveMissingNoBackup", false, [](PatcherUnitTest& t) { fs::remove(t.m_Archive); },
     "[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!", ""},
    // A folder typed as the archive is not moved aside as if it were one.
    {"ArchivePathIsAFolder", false,
     [](PatcherUnitTest& t)
     {
         fs::remove(t.m_Archive);
         fs::create_directories(t.m_Archive / "game files");
     },
     "[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!", ""},
    // What another run may leave at the backup's name while this one makes it, but no archive: the
    // name stays taken and the backup is not made.
    {"BackupNameTakenByAFolder", false, [](PatcherUnitTest& t) { fs::create_directories(t.m_Backup / "x"); },
     "[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!", ""},
    {"BackupNameIsALinkToNothing", false,
     [](PatcherUnitTest& t) { fs::create_symlink("nothing.pck", t.m_Backup); },
     "[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!", ""},
    // An archive that does not open is no pristine copy: it is neither linked nor moved aside.
    {"ArchiveEmptyNoBackup", false, [](PatcherUnitTest& t) { WriteWholeFile(t.m_Archive, Bytes()); },
     "[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!", "", true},
    {"ArchiveTruncatedNoBackup", false,
     [](PatcherUnitTest& t)
     { WriteWholeFile(t.m_Archive, PckGen::MakeHostile(t.m_Game, PckGen::Hostile::Truncated)); },
     "[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!", "", true},
    {"CorruptBackup", true,
     [](PatcherUnitTest& t)
     { WriteWholeFile(t.m_Backup, PckGen::MakeHostile(t.m_Game, PckGen::Hostile::WrongTailerMagic2)); },
     "[ERROR] ..\\PW\\Common\\PwPackage.cpp( 83 ): Wrong TailerMagic2", ""},
    {"SceneFailsThePreconditions", true,
     [](PatcherUnitTest&)
     {
         Patcher::SetSkiRebuildFunction(
             [](const XString&, int32_t, const uint8_t*, XStream&, XStream&) -> bool
             { throw Exception(u"Экспорт невозможен, не найдены веса!"); });
     },
     "[ERROR] PatcherUnit.cpp( 247 ): Экспорт невозможен, не найдены веса!", ""},
    {"SceneModelForAnEntryTheArchiveLacks", true,
     [](PatcherUnitTest& t) {
         t.WriteInstructions({{"0", "false", "models\\hero\\absent.ski", "hero.xscene"}});
     },
     "[ERROR] ..\\PW\\Common\\PwPackage.cpp( 305 ): File <models\\hero\\absent.original.ski> not found!",
     "Rename <models\\hero\\absent.ski> to <models\\hero\\absent.original.ski> failed."},
    {"SaveFailsOnANameTooLongForTheTable", true,
     [](PatcherUnitTest& t) {
         t.WriteInstructions({{"0", "false", kTooLong, "hero.dds"}});
     },
     "Entry name too long!",
     "Rename <" + kTooLong + "> to <" + kTooLong.substr(0, kTooLong.size() - 4) + ".original.dds> failed."},
    // The new archive cannot be written back to the disk: it never replaces the old one.
    {"FlushOfTheNewArchiveFails", true,
     [](PatcherUnitTest&)
     { Platform::SetFlushFault([](const std::string& path) { return path.ends_with("Models.pck.~new"); }); },
     "Models.pck.~new> failed!", ""},
    {"ModelGoneWhenTheSaveReadsIt", true,
     [](PatcherUnitTest& t) { t.m_OnShow = [&t] { fs::remove(t.m_Dir / "Data" / "hero.dds"); }; },
     "ERROR: Unknown error. Failed opening file.", ""},
};

TEST_P(PatcherFaultTest, EndsThePatchWithoutTouchingTheArchiveOrTheBackup)
{
    const FaultCase& c = GetParam();
    if (c.PatchedBefore)
    {
        ASSERT_TRUE(Patch());
    }
    c.Arrange(*this);
    // What stands at a path: a file's bytes; a folder is told by its kind.
    auto contents = [](const fs::path& path)
    { return fs::is_regular_file(path) ? ReadWholeFileData(path) : Bytes(); };
    const bool hadArchive = fs::exists(m_Archive);
    const bool wasFolder = fs::is_directory(m_Archive);
    const Bytes before = contents(m_Archive);
    const Bytes backup = contents(m_Backup);
    const bool backupFolder = fs::is_directory(m_Backup);
    const Files files = FilesIn(m_Dir / "Game");

    EXPECT_FALSE(Patch());
    ASSERT_FALSE(m_Entries.empty());
    EXPECT_TRUE(m_Entries.back().ends_with(c.LastEntry)) << m_Entries.back();
    EXPECT_TRUE(c.RenameEntry.empty() ||
                std::find(m_Entries.begin(), m_Entries.end(), c.RenameEntry) != m_Entries.end());
    EXPECT_EQ(std::count_if(m_Entries.begin(), m_Entries.end(),
                            [](const std::string& e)
                            { return e.find("> cannot be read: ") != std::string::npos; }),
              c.Unreadable ? 1 : 0);
    EXPECT_TRUE(m_Boxes.boxes.empty());
    EXPECT_TRUE(m_Events.empty() || m_Events.back() == "hide");
    ASSERT_EQ(fs::exists(m_Archive), hadArchive);
    EXPECT_EQ(fs::is_directory(m_Archive), wasFolder);
    EXPECT_EQ(contents(m_Archive), before);
    EXPECT_EQ(contents(m_Backup), backup);
    EXPECT_EQ(fs::is_directory(m_Backup), backupFolder);
    EXPECT_EQ(FilesIn(m_Dir / "Game"), files);
}

INSTANTIATE_TEST_SUITE_P(Faults, PatcherFaultTest, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<FaultCase>& info)
                         { return std::string(info.param.Name); });

TEST_F(PatcherUnitTest, SceneModelsAreKnownInAnyCaseAndAFolderIsNoModel)
{
    fs::create_directories(m_Dir / "Data" / "folder.dds");
    WriteInstructions({{"1", "false", kHead, "HERO.XSCENE"},
                       {"0", "false", kTexture, "folder.dds"},
                       {"0", "false", kBody, "hero_body.ski"}});
    ASSERT_TRUE(Patch());
    EXPECT_EQ(m_Calls, std::vector<std::string>{Data("HERO.XSCENE") + "|1"});
    const std::string missing = "Model file <" + Data("folder.dds") + "> does not exist - patch failed!";
    EXPECT_NE(std::find(m_Entries.begin(), m_Entries.end(), missing), m_Entries.end());
    Contents archive = ReadArchive(m_Archive);
    EXPECT_EQ(archive[kHead], Digest(Rebuilt(1, m_Original.at(kHead))));
    EXPECT_EQ(archive[kTexture], Digest(m_Original.at(kTexture)));
    EXPECT_EQ(archive.count("textures\\hero\\hero.original.dds"), 0u);
    EXPECT_EQ(archive[kBody], Digest(m_Models.at("hero_body.ski")));
}

// A first patch of an archive that does not open fails before a backup is made, and says which
// archive and why. Once the game puts a good archive in its place (a new file), the patch keeps
// that one as the backup and a restore brings it back; nothing broken is left to restore.
TEST_F(PatcherUnitTest, UnreadableArchiveIsNotKeptAsTheBackupAndAGoodOneLaterIs)
{
    const std::string archive = m_Archive.string();
    const std::vector<std::pair<Bytes, std::string>> broken = {
        {Bytes(), "Stream reading error."},
        {PckGen::MakeHostile(m_Game, PckGen::Hostile::Truncated),
         "[ERROR] ..\\PW\\Common\\PwPackage.cpp( 66 ): Wrong FileSize"},
        {PckGen::MakeHostile(m_Game, PckGen::Hostile::WrongMagic1),
         "[ERROR] ..\\PW\\Common\\PwPackage.cpp( 64 ): Wrong Magic1"},
    };
    for (const auto& [bytes, reason] : broken)
    {
        SCOPED_TRACE(reason);
        fs::remove(m_Archive);
        WriteWholeFile(m_Archive, bytes);
        for (int attempt = 0; attempt < 2; ++attempt)
        {
            EXPECT_FALSE(Patch());
            EXPECT_EQ(m_Entries, (std::vector<std::string>{
                                     "Start patching...",
                                     "Package file: " + archive,
                                     "Checking package backup...",
                                     "Package file <" + archive + "> cannot be read: " + reason,
                                     "[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!",
                                 }));
            EXPECT_TRUE(m_Boxes.boxes.empty());
            EXPECT_EQ(FilesIn(m_Dir / "Game"), Files{"Models.pck"});
            EXPECT_EQ(ReadWholeFileData(m_Archive), bytes);
        }

        // The game's repair writes a new archive in its place.
        fs::remove(m_Archive);
        WriteWholeFile(m_Archive, m_Game.Bytes);
        EXPECT_TRUE(Patch());
        EXPECT_EQ(ReadArchive(m_Archive), ExpectedPatch());
        EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
        EXPECT_TRUE(Patch()); // from the backup the first patch kept
        EXPECT_EQ(ReadArchive(m_Archive), ExpectedPatch());
        EXPECT_TRUE(Restore());
        EXPECT_EQ(FilesIn(m_Dir / "Game"), Files{"Models.pck"});
        EXPECT_EQ(ReadWholeFileData(m_Archive), m_Game.Bytes);
    }
}

TEST_F(PatcherUnitTest, TableRecordsThatCannotBeReadAreReportedInTheLog)
{
    WriteWholeFile(m_Archive, PckGen::MakeHostile(m_Game, PckGen::Hostile::CorruptRecord));
    Patch();
    const std::string line = "1 package table records could not be read and were left out.";
    auto at = std::find(m_Entries.begin(), m_Entries.end(), line);
    ASSERT_NE(at, m_Entries.end());
    ASSERT_NE(at + 1, m_Entries.end());
    EXPECT_EQ(*(at + 1), "Patching package");
}

// Runs `work` in a child process, killed after the delay when one is given; returns its status.
int InChild(const std::function<void()>& work, int killAfterMicroseconds = -1)
{
    pid_t child = ::fork();
    if (child == 0)
    {
        work();
        ::_exit(0);
    }
    if (killAfterMicroseconds >= 0)
    {
        ::usleep(static_cast<useconds_t>(killAfterMicroseconds));
        ::kill(child, SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

TEST_F(PatcherUnitTest, SaveThatRunsOutOfRoomLeavesTheArchiveAndTheBackupAsTheyWere)
{
    ASSERT_TRUE(Patch());
    const Bytes before = ReadWholeFileData(m_Archive);
    for (uint64_t limit : {uint64_t(0), uint64_t(4096), before.size() / 2, before.size() - 300})
    {
        SCOPED_TRACE(limit);
        int status = InChild(
            [&]
            {
                std::vector<std::string> entries;
                AppLogger log(WidePath(m_Dir / "child.log").c_str());
                log.SetTextHook([&](const XString& piece) { entries.push_back(Utf8(piece).substr(24)); });
                // No file may grow past the limit: the save's writes fail part-way, as on a full disk.
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit fileSize{limit, limit};
                ::setrlimit(RLIMIT_FSIZE, &fileSize);
                bool completed = Patcher::PatchPackage(log, Job());
                ::_exit(!completed && !entries.empty() &&
                                entries.back() == "ERROR: Unknown error. Stream writing error."
                            ? 0
                            : 1);
            });
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(ReadWholeFileData(m_Archive), before);
        EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
        EXPECT_EQ(FilesIn(m_Dir / "Game"), (Files{"Models.pck", "Models.original.pck"}));
    }
}

TEST_F(PatcherUnitTest, KillDuringTheSaveLeavesTheOldOrTheCompleteNewArchive)
{
    ASSERT_TRUE(Patch());
    const Bytes patched = ReadWholeFileData(m_Archive);
    // Kills at a progress value, after the new archive is in place ("hide"), or after a delay
    // (either outcome).
    const std::vector<std::pair<std::string, int>> kills = {
        {"0", -1},    {"25", -1}, {"49", -1}, {"60", -1},  {"80", -1},  {"100", -1},
        {"hide", -1}, {"", 1000}, {"", 5000}, {"", 20000}, {"", 60000}, {"", 150000},
    };
    for (const auto& [at, delay] : kills)
    {
        SCOPED_TRACE(at + " " + std::to_string(delay));
        // The archive path holds another archive than the patch writes, so both outcomes show.
        WriteWholeFile(m_Archive, m_Game.Bytes);
        const Files files = FilesIn(m_Dir / "Game");
        int status = InChild(
            [&]
            {
                AppLogger log(WidePath(m_Dir / "child.log").c_str());
                Patcher::PatchJob job = Job();
                job.ProgressWindow = Platform::RegisterWindowReceiver(
                    [&](UINT, WPARAM value, LPARAM)
                    {
                        if (std::to_string(value) == at)
                            ::raise(SIGKILL);
                        return LRESULT(0);
                    });
                job.ShowProgress = [&](bool visible)
                {
                    if (!visible && at == "hide")
                        ::raise(SIGKILL);
                };
                Patcher::PatchPackage(log, job);
                if (delay >= 0)
                    ::pause(); // until the timed kill
            },
            delay);
        ASSERT_TRUE(WIFSIGNALED(status));
        const Bytes now = ReadWholeFileData(m_Archive);
        if (delay < 0)
        {
            EXPECT_EQ(now, at == "hide" ? patched : m_Game.Bytes);
        }
        else
        {
            EXPECT_TRUE(now == m_Game.Bytes || now == patched) << now.size();
        }
        EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
        // A killed save may leave its temporary file behind; nothing else appears.
        for (const std::string& name : FilesIn(m_Dir / "Game"))
            if (!files.count(name))
            {
                EXPECT_TRUE(name.starts_with("Models.pck.~new")) << name;
                fs::remove(m_Dir / "Game" / name);
            }
    }

    // A termination signal the program takes abandons the save at its next step instead: the
    // archive stays as it was and the temporary file goes.
    WriteWholeFile(m_Archive, m_Game.Bytes);
    const Files files = FilesIn(m_Dir / "Game");
    const int status = InChild(
        [&]
        {
            SessionEnd::InstallSignalHandlers();
            AppLogger log(WidePath(m_Dir / "child.log").c_str());
            Patcher::PatchJob job = Job();
            job.ProgressWindow = Platform::RegisterWindowReceiver(
                [](UINT, WPARAM value, LPARAM)
                {
                    if (value == 25)
                        ::raise(SIGTERM);
                    return LRESULT(0);
                });
            ::_exit(Patcher::PatchPackage(log, job) ? 1 : 0);
        });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadWholeFileData(m_Archive), m_Game.Bytes);
    EXPECT_EQ(FilesIn(m_Dir / "Game"), files);
}

TEST_F(PatcherUnitTest, KillAtAnyPointOfAFirstPatchLeavesTheGameAReadableArchive)
{
    // The finished first patch, for the outcome of kills past the replacing rename.
    ASSERT_TRUE(Patch());
    const Bytes patched = ReadWholeFileData(m_Archive);
    ASSERT_TRUE(Restore());

    // Kills after each logged step (the backup among them), at progress values, once the new
    // archive is in place, and after delays.
    struct Kill
    {
        int entry = -1;       // after the n-th log entry reached the file
        std::string progress; // at this progress value, or "hide"
        int delay = -1;       // microseconds
    };
    std::vector<Kill> kills;
    for (int entry = 1; entry <= 7; ++entry)
        kills.push_back({entry, "", -1});
    for (const char* at : {"0", "10", "25", "49", "80", "100", "hide"})
        kills.push_back({-1, at, -1});
    for (int delay : {0, 2000, 10000, 40000, 100000, 250000})
        kills.push_back({-1, "", delay});
    ASSERT_EQ(kills.size(), 20u);
    for (const Kill& kill : kills)
    {
        SCOPED_TRACE(testing::Message() << kill.entry << " " << kill.progress << " " << kill.delay);
        ASSERT_EQ(FilesIn(m_Dir / "Game"), Files{"Models.pck"});
        int status = InChild(
            [&]
            {
                int entries = 0;
                AppLogger log(WidePath(m_Dir / "child.log").c_str());
                log.SetTextHook(
                    [&](const XString&)
                    {
                        if (++entries == kill.entry)
                            ::raise(SIGKILL);
                    });
                Patcher::PatchJob job = Job();
                job.ProgressWindow = Platform::RegisterWindowReceiver(
                    [&](UINT, WPARAM value, LPARAM)
                    {
                        if (std::to_string(value) == kill.progress)
                            ::raise(SIGKILL);
                        return LRESULT(0);
                    });
                job.ShowProgress = [&](bool visible)
                {
                    if (!visible && kill.progress == "hide")
                        ::raise(SIGKILL);
                };
                Patcher::PatchPackage(log, job);
                if (kill.delay < 0)
                    ::_exit(3); // the kill point never came
                ::pause();      // until the timed kill
            },
            kill.delay);
        ASSERT_TRUE(WIFSIGNALED(status));
        // The game can start: its archive is the old one or the complete new one, and it opens.
        const Bytes now = ReadWholeFileData(m_Archive);
        EXPECT_TRUE(now == m_Game.Bytes || now == patched) << now.size();
        if (kill.progress == "hide")
        {
            EXPECT_EQ(now, patched);
        }
        EXPECT_NO_THROW(ReadArchive(m_Archive));
        // The backup, when there is one yet, is the untouched archive; a new patch starts from it
        // and removes what the killed one left, then a restore brings the game back.
        if (fs::exists(m_Backup))
        {
            EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
        }
        ASSERT_TRUE(Patch());
        EXPECT_EQ(ReadWholeFileData(m_Archive), patched);
        EXPECT_EQ(FilesIn(m_Dir / "Game"), (Files{"Models.pck", "Models.original.pck"}));
        ASSERT_TRUE(Restore());
        EXPECT_EQ(ReadWholeFileData(m_Archive), m_Game.Bytes);
    }
}

// Two copies of the program patch the same game at once, the first patch of both: one makes the
// backup while the other finds none yet and then finds the name taken. Both patches complete from
// the untouched archive, and the game keeps a whole, patched archive.
TEST_F(PatcherUnitTest, FirstPatchesStartedTogetherBothComplete)
{
    const fs::path sharedLog = m_Dir / "copies.log";
    const Contents expected = ExpectedPatch();
    std::vector<std::string> failed;
    for (int round = 0; round < 20; ++round)
    {
        SCOPED_TRACE(round);
        fs::remove(m_Backup);
        fs::remove(sharedLog);
        WriteWholeFile(m_Archive, m_Game.Bytes);
        auto copy = [&]
        {
            AppLogger log(WidePath(sharedLog).c_str());
            return Patcher::PatchPackage(log, Job());
        };
        if (InChildProcessesTogether({copy, copy}) != std::vector<bool>(2, true))
        {
            // What the copies said, from the log both wrote.
            std::string said = "round " + std::to_string(round) + ":";
            const std::u16string log = FromUtf16Le(ReadWholeFile(sharedLog));
            for (size_t at = log.find(u"ERROR"); at != std::u16string::npos; at = log.find(u"ERROR", at + 1))
            {
                const size_t line = log.rfind(u'\n', at) + 1;
                said += " " + Platform::ToUtf8(log.substr(line, log.find(u'\r', at) - line).c_str());
            }
            failed.push_back(said);
        }
        EXPECT_EQ(ReadArchive(m_Archive), expected);
        EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
        EXPECT_EQ(FilesIn(m_Dir / "Game"), (Files{"Models.pck", "Models.original.pck"}));
    }
    EXPECT_TRUE(failed.empty()) << failed.size() << " of 20 rounds failed:\n"
                                << testing::PrintToString(failed);
}

TEST_F(PatcherUnitTest, LeftoversOfKilledSavesAreRemovedByTheNextPatch)
{
    const std::vector<std::string> leftovers = {"Models.pck.~new", "Models.pck.~new1", "Models.pck.~new7"};
    for (const std::string& name : leftovers)
        WriteWholeFile(m_Dir / "Game" / name, PatternBytes(5000, 3));
    // Names of other files stay.
    WriteWholeFile(m_Dir / "Game" / "Models.pck.~newer", PatternBytes(10, 1));
    WriteWholeFile(m_Dir / "Game" / "Other.pck.~new", PatternBytes(10, 2));

    ASSERT_TRUE(Patch());
    EXPECT_EQ(FilesIn(m_Dir / "Game"),
              (Files{"Models.pck", "Models.original.pck", "Models.pck.~newer", "Other.pck.~new"}));
    EXPECT_EQ(ReadArchive(m_Archive), ExpectedPatch());
    std::vector<std::string> removed;
    for (const std::string& entry : m_Entries)
        if (entry.starts_with("Leftover"))
            removed.push_back(entry);
    std::vector<std::string> expected;
    for (const std::string& name : leftovers)
        expected.push_back("Leftover temporary file <" + (m_Dir / "Game" / name).string() + "> removed.");
    EXPECT_EQ(removed, expected);

    // With every name taken, the save still finds one once the leftovers are gone.
    for (int n = 0; n < 1000; ++n)
        WriteWholeFile(m_Dir / "Game" / ("Models.pck.~new" + (n ? std::to_string(n) : "")), Bytes{1});
    ASSERT_TRUE(Patch());
    EXPECT_EQ(FilesIn(m_Dir / "Game"),
              (Files{"Models.pck", "Models.original.pck", "Models.pck.~newer", "Other.pck.~new"}));
}

TEST_F(PatcherUnitTest, RestorePutsTheBackupBackInPlaceOfTheArchive)
{
    struct Case
    {
        bool Patch; // first (makes the backup)
        std::function<void()> Arrange;
        std::string LastEntry; // empty: restored
    };
    const std::vector<Case> cases = {
        {true, [] {}, ""},
        {true, [&] { fs::remove(m_Archive); }, ""},
        {false, [] {},
         "[ERROR] PatcherUnit.cpp( 266 ): Package backup file <" + m_Backup.string() + "> does not exist!"},
        {true,
         [&]
         {
             fs::remove(m_Archive);
             fs::create_directories(m_Archive / "in use");
         },
         "[ERROR] PatcherUnit.cpp( 261 ): Delete <models.pck> failed!"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.LastEntry);
        fs::remove_all(m_Archive);
        fs::remove(m_Backup);
        WriteWholeFile(m_Archive, m_Game.Bytes);
        if (c.Patch)
        {
            ASSERT_TRUE(Patch());
        }
        c.Arrange();
        const Files files = FilesIn(m_Dir / "Game");
        const Bytes backup = ReadWholeFileData(m_Backup);

        EXPECT_EQ(Restore(), c.LastEntry.empty());
        ASSERT_FALSE(m_Entries.empty());
        EXPECT_EQ(m_Entries.front(), "Restoring original package file...");
        if (c.LastEntry.empty())
        {
            EXPECT_EQ(m_Entries.size(), 1u);
            EXPECT_EQ(BoxTexts(),
                      std::vector<std::u16string>{u"Original package file successfully restored!"});
            EXPECT_EQ(FilesIn(m_Dir / "Game"), Files{"Models.pck"});
            EXPECT_EQ(ReadWholeFileData(m_Archive), m_Game.Bytes);
            continue;
        }
        EXPECT_EQ(m_Entries.back(), c.LastEntry);
        EXPECT_TRUE(m_Boxes.boxes.empty());
        EXPECT_EQ(FilesIn(m_Dir / "Game"), files);
        EXPECT_EQ(ReadWholeFileData(m_Backup), backup);
    }
}

TEST_F(PatcherUnitTest, WrapperLogsEachKindOfFailureAndShowsNothing)
{
    const std::vector<std::tuple<int, std::function<void()>, std::string>> cases = {
        {247, [] { throw XException(u"[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!"); },
         "[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!"},
        {121, [] { throw Exception(u"Variant?"); }, "[ERROR] PatcherUnit.cpp( 121 ): Variant?"},
        {163, [] { throw EConvertError(u"bad"); }, "[ERROR] PatcherUnit.cpp( 163 ): bad"},
        {268, [] { throw "Failed opening file."; }, "ERROR: Unknown error. Failed opening file."},
        {268, [] { throw static_cast<const WCHAR*>(u"Out of range."); },
         "ERROR: Unknown error. Out of range."},
        {247, [] { throw 42; }, "ERROR: Unknown error."},
        {247, [] {}, ""},
    };
    for (const auto& [line, work, entry] : cases)
    {
        m_Entries.clear();
        EXPECT_EQ(Patcher::RunLogged(*m_Log, line, work), entry.empty());
        EXPECT_EQ(m_Entries, entry.empty() ? std::vector<std::string>{} : std::vector<std::string>{entry});
    }
    EXPECT_TRUE(m_Boxes.boxes.empty());

    m_Entries.clear();
    Patcher::LogSkippedRecords(*m_Log, 0);
    Patcher::LogSkippedRecords(*m_Log, 3);
    *m_Log << LogCtl::Flush;
    EXPECT_EQ(m_Entries,
              std::vector<std::string>{"3 package table records could not be read and were left out."});
}
} // namespace
