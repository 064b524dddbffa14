#include "App/PatcherUnit.h"

#include "App/AppLogger.h"
#include "App/AppPaths.h"
#include "Components/Cx/CxXml.h"
#include "Components/XMemoryStream.h"
#include "PW/Common/PwPackage.h"
#include "tests/support/ByteData.h"
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
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
using Bytes = std::vector<uint8_t>;
using Contents = std::map<std::string, Bytes>;

std::string Utf8(const XString& text)
{
    return Platform::ToUtf8(text.c_str());
}

Bytes AsBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// The archive's entries by exact name, with their inflated bytes; every name must be unique.
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
        bool unique = entries.emplace(Utf8(entry->Name), StreamBytes(bytes)).second;
        EXPECT_TRUE(unique) << Utf8(entry->Name);
    }
    return entries;
}

// The names whose presence or bytes differ; empty when the archives hold the same entries.
std::vector<std::string> Differences(const Contents& actual, const Contents& expected)
{
    std::vector<std::string> names;
    for (const auto& [name, bytes] : actual)
    {
        auto it = expected.find(name);
        if (it == expected.end())
            names.push_back("unexpected " + name);
        else if (it->second != bytes)
            names.push_back("other bytes " + name);
    }
    for (const auto& [name, bytes] : expected)
        if (!actual.count(name))
            names.push_back("missing " + name);
    return names;
}

std::set<std::string> FilesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(folder))
        names.insert(item.path().filename().string());
    return names;
}

PckGen::Entry Named(const std::string& name, uint32_t size, uint64_t seed)
{
    PckGen::Entry entry;
    entry.Name936 = name;
    entry.NameWide = Widen(name);
    entry.Size = size;
    entry.DataSeed = seed;
    return entry;
}

// The game's entries that the instructions below name, among about a thousand generated ones.
const std::string kBody = "models\\hero\\Body.SKI";
const std::string kTexture = "textures\\hero\\hero.dds";
const std::string kHead = "models\\hero\\head.ski";
const std::string kHair = "models\\hero\\hair.ski";
const std::string kGone = "textures\\hero\\gone.dds";
const std::string kBones = "models\\hero\\hero.bon";
const std::string kTwice = "textures\\hero\\twice.dds";
const std::string kTwiceKept = "textures\\hero\\twice.original.dds";
const std::string kCape = "Models\\Case\\Cape.DDS"; // first in list order
const std::string kCapeTwin = "models\\case\\cape.dds";

struct Instruction
{
    const char* MeshIndex;
    const char* UseBoneMap;
    std::string FileName;
    const char* ModelName;
};

// In list order; "missing.dds" is not in the data folder, both scene instructions name one model.
const std::vector<Instruction> kInstructions = {
    {"0", "false", kBody, "hero_body.ski"}, {"0", "false", kTexture, "hero.dds"},
    {"2", "true", kHead, "hero.xscene"},    {"0", "false", kGone, "missing.dds"},
    {"0", "false", kHair, "hero.xscene"},   {"0", "false", kBones, "hero.bon"},
    {"0", "false", kTwice, "twice.dds"},    {"0", "false", "MODELS\\CASE\\CAPE.DDS", "cape.dds"},
};

// What the stand-in rebuild writes: recognisable, and made of the entry it was given.
Bytes Rebuilt(int meshIndex, const Bytes& original)
{
    Bytes bytes = AsBytes("rebuilt mesh " + std::to_string(meshIndex) + "|");
    bytes.insert(bytes.end(), original.begin(), original.end());
    return bytes;
}

struct RebuildCall
{
    std::string ScenePath;
    int32_t MeshIndex;
    const uint8_t* BoneMap;
};

class PatcherUnitTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        fs::create_directories(m_Dir / "Data");
        fs::create_directories(m_Dir / "Game");

        std::vector<PckGen::Entry> entries =
            PckGen::MakeEntries({.Seed = 16, .Count = 1000, .CaseTwins = false});
        std::vector<PckGen::Entry> named = {Named(kBody, 3000, 1),  Named(kTexture, 2500, 2),
                                            Named(kHead, 4000, 3),  Named(kHair, 3500, 4),
                                            Named(kGone, 900, 5),   Named(kBones, 700, 6),
                                            Named(kTwice, 1200, 7), Named(kTwiceKept, 1100, 8),
                                            Named(kCape, 1300, 9),  Named(kCapeTwin, 1400, 10)};
        entries.insert(entries.begin() + 500, named.begin(), named.end());
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
            m_Models[model] = WriteModel(model);
        WriteInstructions(kInstructions);

        m_Log = std::make_unique<AppLogger>(WidePath(m_Dir / "Kelvane.log").c_str());
        // Entries without their time stamp ("yyyy.mm.dd hh:mm:ss:mmm ").
        m_Log->SetTextHook([this](const XString& piece) { m_Entries.push_back(Utf8(piece).substr(24)); });
        m_Window = Platform::RegisterWindowReceiver(
            [this](UINT message, WPARAM value, LPARAM maximum)
            {
                EXPECT_EQ(message, 0xD13u);
                EXPECT_EQ(maximum, 100);
                m_Events.push_back(std::to_string(value));
                return LRESULT(0);
            });
        Patcher::SetSkiRebuildFunction(
            [this](const XString& scene, int32_t meshIndex, const uint8_t* boneMap, XStream& original,
                   XStream& output)
            {
                m_Calls.push_back({Utf8(scene), meshIndex, boneMap});
                if (m_RebuildFails)
                {
                    output.WriteBuffer("partial", 7);
                    return false;
                }
                Bytes bytes = Rebuilt(meshIndex, StreamBytes(original));
                output.WriteBuffer(bytes.data(), static_cast<unsigned>(bytes.size()));
                return true;
            });
    }

    void TearDown() override
    {
        Patcher::SetSkiRebuildFunction(nullptr);
        Platform::UnregisterWindowReceiver(m_Window);
    }

    Bytes WriteModel(const std::string& name)
    {
        Bytes bytes = PatternBytes(2000 + 100 * name.size(), static_cast<uint32_t>(name.size()));
        WriteWholeFile(m_Dir / "Data" / name, bytes);
        return bytes;
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
        m_Table = std::vector<PwPatchEntry>(PwPatchEntryCount);
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

    // The archive a patch with kInstructions must produce, entry by entry.
    Contents ExpectedPatch() const
    {
        Contents expected = m_Original;
        for (const std::string& name : {kBody, kTexture, kHead, kHair, kBones, kTwice, kCape})
            expected.erase(name);
        auto original = [this](const std::string& name) { return m_Original.at(name); };
        expected["models\\hero\\Body.original.ski"] = original(kBody);
        expected[kBody] = m_Models.at("hero_body.ski");
        expected["textures\\hero\\hero.original.dds"] = original(kTexture);
        expected[kTexture] = m_Models.at("hero.dds");
        expected["models\\hero\\head.original.ski"] = original(kHead);
        expected[kHead] = Rebuilt(2, original(kHead));
        expected["models\\hero\\hair.original.ski"] = original(kHair);
        expected[kHair] = Rebuilt(0, original(kHair));
        expected["models\\hero\\hero.original.bon"] = original(kBones); // renamed, nothing added
        expected[kTwice] = m_Models.at("twice.dds");                    // kept name existed: deleted
        expected["MODELS\\CASE\\CAPE.original.dds"] = original(kCape);
        expected["MODELS\\CASE\\CAPE.DDS"] = m_Models.at("cape.dds");
        return expected; // kGone and kCapeTwin stay as they were
    }

    TempDir m_Dir{"kelvane_patcher"};
    fs::path m_Archive = m_Dir / "Game" / "Models.pck";
    fs::path m_Backup = m_Dir / "Game" / "Models.original.pck";
    PckGen::Archive m_Game;
    Contents m_Original;
    std::map<std::string, Bytes> m_Models;
    std::vector<PwPatchEntry> m_Table;
    std::unique_ptr<AppLogger> m_Log;
    std::vector<std::string> m_Entries;
    std::vector<std::string> m_Events; // "show", progress values, "hide"
    std::vector<RebuildCall> m_Calls;
    bool m_RebuildFails = false;
    std::function<void()> m_OnShow;
    HWND m_Window = nullptr;
    BoxRecorder m_Boxes;
};

TEST_F(PatcherUnitTest, PatchKeepsTheBackupOnceAndRebuildsTheArchiveFromItEveryTime)
{
    const std::string archive = m_Archive.string(), backup = m_Backup.string();
    const std::vector<std::string> steps = {
        "Start patching...",
        "Package file: " + archive,
        "Checking package backup...",
        "Loading package backup file <" + backup + ">",
        "Patching package",
        "Loading model file <" + Data("hero.xscene") + ">", // once for both instructions
        "Model file <" + Data("missing.dds") + "> does not exist - patch failed!",
    };

    ASSERT_TRUE(Patch());
    EXPECT_EQ(m_Entries, steps);
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"Patch installation complete!"});
    EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
    EXPECT_EQ(FilesIn(m_Dir / "Game"), (std::set<std::string>{"Models.pck", "Models.original.pck"}));
    EXPECT_EQ(Differences(ReadArchive(m_Archive), ExpectedPatch()), std::vector<std::string>{});
    ASSERT_EQ(m_Calls.size(), 2u);
    EXPECT_EQ(m_Calls[0].ScenePath, Data("hero.xscene"));
    EXPECT_EQ(m_Calls[0].MeshIndex, 2);
    EXPECT_EQ(m_Calls[0].BoneMap, PwBoneMap);
    EXPECT_EQ(m_Calls[1].MeshIndex, 0);
    EXPECT_EQ(m_Calls[1].BoneMap, nullptr);

    // The bar is shown around the save, and the archive's progress reaches the window in between:
    // 0, the data blocks up to 50, 60 once sorted, the table up to 100, each value once.
    const uint32_t count = static_cast<uint32_t>(ExpectedPatch().size());
    std::vector<std::string> progress = {"show"};
    auto step = [&](uint32_t value)
    {
        if (progress.back() != std::to_string(value))
            progress.push_back(std::to_string(value));
    };
    step(0);
    for (uint32_t i = 0; i < count; ++i)
        step(i * 50 / count);
    step(60);
    for (uint32_t i = 0; i < count; ++i)
        step(60 + i * 40 / count);
    step(100);
    progress.push_back("hide");
    EXPECT_EQ(m_Events, progress);

    // A second patch starts again from the untouched backup: the same archive, nothing accumulated.
    const Bytes first = ReadWholeFileData(m_Archive);
    ASSERT_TRUE(Patch());
    std::vector<std::string> again = steps;
    again.insert(again.begin() + 3, "Package backup file <" + backup + "> already exist.");
    EXPECT_EQ(m_Entries, again);
    EXPECT_EQ(ReadWholeFileData(m_Archive), first);
    EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
    EXPECT_EQ(FilesIn(m_Dir / "Game"), (std::set<std::string>{"Models.pck", "Models.original.pck"}));
}

TEST_F(PatcherUnitTest, FailedMeshReplaceKeepsTheOriginalEntryAndTheRestCompletes)
{
    m_RebuildFails = true;
    ASSERT_TRUE(Patch());
    Contents expected = ExpectedPatch();
    expected[kHead] = m_Original.at(kHead);
    expected[kHair] = m_Original.at(kHair);
    EXPECT_EQ(Differences(ReadArchive(m_Archive), expected), std::vector<std::string>{});
    ASSERT_GE(m_Entries.size(), 9u);
    EXPECT_EQ(m_Entries[6], "Mesh replace in <" + kHead + "> failed - original entry kept.");
    EXPECT_EQ(m_Entries[7], "Model file <" + Data("missing.dds") + "> does not exist - patch failed!");
    EXPECT_EQ(m_Entries[8], "Mesh replace in <" + kHair + "> failed - original entry kept.");
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"Patch installation complete!"});
}

TEST_F(PatcherUnitTest, WithoutInstructionsThePatchRewritesTheArchiveUnchanged)
{
    WriteInstructions({});
    ASSERT_TRUE(Patch());
    EXPECT_EQ(Differences(ReadArchive(m_Archive), m_Original), std::vector<std::string>{});
    EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
}

// Each failure ends the patch with one log entry, shows nothing and loses nothing: the archive path
// keeps what it held before the run, the backup its bytes, and no temporary file is left.
struct FaultCase
{
    const char* Name;
    bool PatchedBefore; // the archive already holds a first patch
    std::function<void(PatcherUnitTest&)> Arrange;
    std::string LastEntry;   // the failure entry ends with this
    std::string RenameEntry; // a failed rename logged before it
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.Name;
}

class PatcherFaultTest : public PatcherUnitTest, public ::testing::WithParamInterface<FaultCase>
{
};

const std::string kAbsent = "models\\hero\\absent.ski";
const std::string kTooLong = "textures\\" + std::string(300, 'n') + ".dds";

const FaultCase kFaults[] = {
    {"ArchiveMissingNoBackup", false, [](PatcherUnitTest& t) { fs::remove(t.m_Archive); },
     "[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!", ""},
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
         t.WriteInstructions({{"0", "false", kAbsent, "hero.xscene"}});
     },
     "[ERROR] ..\\PW\\Common\\PwPackage.cpp( 305 ): File <models\\hero\\absent.original.ski> not found!",
     "Rename <models\\hero\\absent.ski> to <models\\hero\\absent.original.ski> failed."},
    {"SaveFailsOnANameTooLongForTheTable", true,
     [](PatcherUnitTest& t) {
         t.WriteInstructions({{"0", "false", kTooLong, "hero.dds"}});
     },
     "Entry name too long!",
     "Rename <" + kTooLong + "> to <" + kTooLong.substr(0, kTooLong.size() - 4) + ".original.dds> failed."},
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
    const bool hadArchive = fs::exists(m_Archive);
    const Bytes before = hadArchive ? ReadWholeFileData(m_Archive) : Bytes();
    const Bytes backup = fs::exists(m_Backup) ? ReadWholeFileData(m_Backup) : Bytes();
    const std::set<std::string> files = FilesIn(m_Dir / "Game");

    EXPECT_FALSE(Patch());
    ASSERT_FALSE(m_Entries.empty());
    const std::string& last = m_Entries.back();
    EXPECT_TRUE(last.size() >= c.LastEntry.size() &&
                last.compare(last.size() - c.LastEntry.size(), c.LastEntry.size(), c.LastEntry) == 0)
        << last;
    if (!c.RenameEntry.empty())
    {
        EXPECT_NE(std::find(m_Entries.begin(), m_Entries.end(), c.RenameEntry), m_Entries.end());
    }
    EXPECT_TRUE(m_Boxes.boxes.empty());
    if (!m_Events.empty())
    {
        EXPECT_EQ(m_Events.back(), "hide");
    }
    ASSERT_EQ(fs::exists(m_Archive), hadArchive);
    if (hadArchive)
    {
        EXPECT_EQ(ReadWholeFileData(m_Archive), before);
    }
    EXPECT_EQ(FilesIn(m_Dir / "Game"), files);
    if (!backup.empty())
    {
        EXPECT_EQ(ReadWholeFileData(m_Backup), backup);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, PatcherFaultTest, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<FaultCase>& info)
                         { return std::string(info.param.Name); });

TEST_F(PatcherUnitTest, CorruptArchiveIsKeptAsTheBackupAndRestoreBringsItBack)
{
    const Bytes corrupt = PckGen::MakeHostile(m_Game, PckGen::Hostile::WrongMagic1);
    WriteWholeFile(m_Archive, corrupt);
    EXPECT_FALSE(Patch());
    EXPECT_EQ(m_Entries.back(), "[ERROR] ..\\PW\\Common\\PwPackage.cpp( 64 ): Wrong Magic1");
    EXPECT_FALSE(fs::exists(m_Archive));
    EXPECT_EQ(ReadWholeFileData(m_Backup), corrupt);
    EXPECT_EQ(FilesIn(m_Dir / "Game"), std::set<std::string>{"Models.original.pck"});

    ASSERT_TRUE(Restore());
    EXPECT_EQ(ReadWholeFileData(m_Archive), corrupt);
    EXPECT_EQ(FilesIn(m_Dir / "Game"), std::set<std::string>{"Models.pck"});
}

// Runs `work` in a child process and returns its wait status.
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
    // The archive is now the first patch; a second one that cannot be written must not damage it.
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
                Patcher::PatchJob job = Job();
                job.ProgressWindow = nullptr;
                job.ShowProgress = nullptr;
                bool completed = Patcher::PatchPackage(log, job);
                bool logged =
                    !entries.empty() && entries.back() == "ERROR: Unknown error. Stream writing error.";
                ::_exit(completed ? 1 : logged ? 0 : 2);
            });
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(ReadWholeFileData(m_Archive), before);
        EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
        EXPECT_EQ(FilesIn(m_Dir / "Game"), (std::set<std::string>{"Models.pck", "Models.original.pck"}));
    }
}

TEST_F(PatcherUnitTest, KillDuringTheSaveLeavesTheOldOrTheCompleteNewArchive)
{
    ASSERT_TRUE(Patch());
    const Bytes patched = ReadWholeFileData(m_Archive);
    // The archive path holds something else than the patch will write, so both outcomes show.
    struct Case
    {
        const char* Name;
        std::string KillAt; // a progress value, "hide" (after the new archive is in place) or ""
        int KillAfterMicroseconds;
        bool OldArchive; // the only outcome allowed, unless the kill is timed
    };
    const std::vector<Case> cases = {
        {"save starts", "0", -1, true},
        {"data blocks", "25", -1, true},
        {"last block", "49", -1, true},
        {"table sorted", "60", -1, true},
        {"table", "80", -1, true},
        {"tailer written", "100", -1, true},
        {"archive replaced", "hide", -1, false},
        {"timed 1 ms", "", 1000, true},
        {"timed 5 ms", "", 5000, true},
        {"timed 20 ms", "", 20000, true},
        {"timed 60 ms", "", 60000, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Name);
        WriteWholeFile(m_Archive, m_Game.Bytes);
        std::set<std::string> files = FilesIn(m_Dir / "Game");
        int status = InChild(
            [&]
            {
                AppLogger log(WidePath(m_Dir / "child.log").c_str());
                Patcher::PatchJob job = Job();
                job.ProgressWindow = Platform::RegisterWindowReceiver(
                    [&](UINT, WPARAM value, LPARAM)
                    {
                        if (std::to_string(value) == c.KillAt)
                            ::raise(SIGKILL);
                        return LRESULT(0);
                    });
                job.ShowProgress = [&](bool visible)
                {
                    if (!visible && c.KillAt == "hide")
                        ::raise(SIGKILL);
                };
                Patcher::PatchPackage(log, job);
                if (c.KillAfterMicroseconds >= 0)
                    ::pause(); // the timed kill ends the child either way
            },
            c.KillAfterMicroseconds);
        ASSERT_TRUE(WIFSIGNALED(status));
        const Bytes now = ReadWholeFileData(m_Archive);
        if (c.KillAfterMicroseconds < 0)
        {
            EXPECT_EQ(now, c.OldArchive ? m_Game.Bytes : patched);
        }
        else
            EXPECT_TRUE(now == m_Game.Bytes || now == patched) << now.size();
        EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
        // A killed save may leave its temporary file; nothing else appears.
        for (const std::string& name : FilesIn(m_Dir / "Game"))
            if (!files.count(name))
            {
                EXPECT_EQ(name.rfind("Models.pck.~new", 0), 0u) << name;
                fs::remove(m_Dir / "Game" / name);
            }
    }
}

TEST_F(PatcherUnitTest, RestorePutsTheBackupBackInPlaceOfTheArchive)
{
    struct Case
    {
        const char* Name;
        bool Patch; // patch first (makes the backup)
        std::function<void(PatcherUnitTest&)> Arrange;
        bool Restored;
        std::string LastEntry;
    };
    const std::string backup = m_Backup.string();
    const std::vector<Case> cases = {
        {"backup and patched archive", true, nullptr, true, "Restoring original package file..."},
        {"archive missing", true, [](PatcherUnitTest& t) { fs::remove(t.m_Archive); }, true,
         "Restoring original package file..."},
        {"no backup", false, nullptr, false,
         "[ERROR] PatcherUnit.cpp( 266 ): Package backup file <" + backup + "> does not exist!"},
        {"archive cannot be deleted", true,
         [](PatcherUnitTest& t)
         {
             fs::remove(t.m_Archive);
             fs::create_directories(t.m_Archive / "in use");
         },
         false, "[ERROR] PatcherUnit.cpp( 261 ): Delete <models.pck> failed!"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Name);
        fs::remove_all(m_Archive);
        fs::remove(m_Backup);
        WriteWholeFile(m_Archive, m_Game.Bytes);
        if (c.Patch)
        {
            ASSERT_TRUE(Patch());
        }
        if (c.Arrange)
            c.Arrange(*this);
        const std::set<std::string> files = FilesIn(m_Dir / "Game");

        EXPECT_EQ(Restore(), c.Restored);
        ASSERT_FALSE(m_Entries.empty());
        EXPECT_EQ(m_Entries.front(), "Restoring original package file...");
        EXPECT_EQ(m_Entries.back(), c.LastEntry);
        if (c.Restored)
        {
            EXPECT_EQ(BoxTexts(),
                      std::vector<std::u16string>{u"Original package file successfully restored!"});
            EXPECT_EQ(ReadWholeFileData(m_Archive), m_Game.Bytes);
            EXPECT_EQ(FilesIn(m_Dir / "Game"), std::set<std::string>{"Models.pck"});
        }
        else
        {
            EXPECT_TRUE(m_Boxes.boxes.empty());
            EXPECT_EQ(FilesIn(m_Dir / "Game"), files);
            if (fs::exists(m_Backup))
            {
                EXPECT_EQ(ReadWholeFileData(m_Backup), m_Game.Bytes);
            }
        }
    }
}

TEST_F(PatcherUnitTest, WrapperLogsEachKindOfFailureAndShowsNothing)
{
    struct Case
    {
        int Line;
        std::function<void()> Throw;
        std::string Entry;
    };
    const std::vector<Case> cases = {
        {247, [] { throw XException(u"[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!"); },
         "[ERROR] PatcherUnit.cpp( 183 ): Creating package backup failed!"},
        {121, [] { throw Exception(u"Variant type conversion error?"); },
         "[ERROR] PatcherUnit.cpp( 121 ): Variant type conversion error?"},
        {163, [] { throw EConvertError(u"bad"); }, "[ERROR] PatcherUnit.cpp( 163 ): bad"},
        {268, [] { throw "Failed opening file."; }, "ERROR: Unknown error. Failed opening file."},
        {268, [] { throw static_cast<const WCHAR*>(u"Out of range."); },
         "ERROR: Unknown error. Out of range."},
        {247, [] { throw 42; }, "ERROR: Unknown error."},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Entry);
        m_Entries.clear();
        EXPECT_FALSE(Patcher::RunLogged(*m_Log, c.Line, c.Throw));
        EXPECT_EQ(m_Entries, std::vector<std::string>{c.Entry});
    }
    m_Entries.clear();
    EXPECT_TRUE(Patcher::RunLogged(*m_Log, 247, [] {}));
    EXPECT_TRUE(m_Entries.empty());
    EXPECT_TRUE(m_Boxes.boxes.empty());

    for (uint32_t count : {0u, 1u, 3u})
    {
        m_Entries.clear();
        Patcher::LogSkippedRecords(*m_Log, count);
        *m_Log << LogCtl::Flush;
        EXPECT_EQ(m_Entries,
                  count ? std::vector<std::string>{std::to_string(count) +
                                                   " package table records could not be read and were "
                                                   "left out."}
                        : std::vector<std::string>{});
    }
}

TEST(PatcherPathsTest, BackupAndDataFolderFollowTheArchiveAndTheProgram)
{
    EXPECT_EQ(Patcher::GetBackupFileName(XString(u"C:\\Game\\Models.pck")), u"C:\\Game\\Models.original.pck");
    EXPECT_EQ(Patcher::GetBackupFileName(XString(u"/g/Models")), u"/g/Models.original.pck");
    EXPECT_EQ(Patcher::GetBackupFileName(XString()), u".original.pck");
    EXPECT_EQ(Patcher::GetDataFolder(XString(u"/opt/k/")), u"/opt/k/Data\\");
    EXPECT_EQ(Patcher::GetDataFolder(XString(u"/opt/k")), u"/opt/k\\Data\\");
    EXPECT_EQ(Patcher::GetDataFolder(), AppPaths::ExtractFilePath(AppPaths::ProgramFile()) + u"Data\\");
    EXPECT_STREQ(PatcherDefaultDescription, "Kelvane model package");
}
} // namespace
