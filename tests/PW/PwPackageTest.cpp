#include "PW/Common/PwPackage.h"

#include "Components/XFileStream.h"
#include "Components/XMemoryStream.h"
#include "tests/support/ByteData.h"
#include "tests/support/PckGenerator.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/Thrown.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace
{
class PwPackageTest : public ::testing::Test
{
protected:
    std::u16string PathW(const std::string& name) const { return WidePath(m_Dir / name); }
    std::u16string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        return WidePath(WriteWholeFile(m_Dir / name, bytes));
    }
    std::vector<uint8_t> ReadFile(const std::string& name) const { return ReadWholeFileData(m_Dir / name); }

    TempDir m_Dir{"kelvane_pck"};
};

std::vector<uint8_t> Extract(PwPackage& package, const PwEntry* entry)
{
    XMemoryStream out(0, 8192);
    package.Extract(entry, &out);
    return StreamBytes(out);
}

// The message of the archive's own errors: the unit, the line of the check and the text.
std::u16string PackageError(int line, const std::u16string& text)
{
    return u"[ERROR] ..\\PW\\Common\\PwPackage.cpp( " + Platform::FromUtf8(std::to_string(line)) + u" ): " +
           text;
}

bool NameLess(const std::u16string& a, const std::u16string& b)
{
    return PwPackage::CompareNames(a.c_str(), b.c_str()) < 0;
}

uint8_t* Copy(const std::vector<uint8_t>& bytes)
{
    uint8_t* buffer = new uint8_t[bytes.size() ? bytes.size() : 1];
    std::copy(bytes.begin(), bytes.end(), buffer);
    return buffer;
}

// Collects the progress values that reach a window.
struct ProgressWindow
{
    std::vector<int> Values;
    HWND Window;
    ProgressWindow()
    {
        Window = Platform::RegisterWindowReceiver(
            [this](UINT message, WPARAM w, LPARAM l) -> LRESULT
            {
                EXPECT_EQ(message, 0xD13u);
                EXPECT_EQ(l, 100);
                Values.push_back(static_cast<int>(w));
                return 0;
            });
    }
    ~ProgressWindow() { Platform::UnregisterWindowReceiver(Window); }
};

// Table records in file order: name bytes, offset, sizes and the two reserved words.
struct Record
{
    std::string Name;
    uint32_t Offset, OriginalSize, StoredSize, Reserved1, Reserved2;
    uint32_t Length;
};

std::vector<Record> ReadTable(const std::vector<uint8_t>& file)
{
    uint32_t size = ReadU32(&file[4]);
    const uint8_t* tailer = &file[size - 280];
    uint32_t offset = ReadU32(tailer + 8) ^ PckGen::kKeyA;
    uint32_t count = ReadU32(tailer + 272);
    std::vector<Record> records;
    for (uint32_t i = 0; i < count; ++i)
    {
        uint32_t length = ReadU32(&file[offset]) ^ PckGen::kKeyA;
        uint8_t record[276];
        if (length == 276)
        {
            std::memcpy(record, &file[offset + 8], 276);
        }
        else
        {
            uLongf produced = 276;
            EXPECT_EQ(uncompress(record, &produced, &file[offset + 8], length), Z_OK);
        }
        offset += 8 + length;
        records.push_back(Record{std::string(reinterpret_cast<const char*>(record),
                                             strnlen(reinterpret_cast<const char*>(record), 256)),
                                 ReadU32(record + 260), ReadU32(record + 264), ReadU32(record + 268),
                                 ReadU32(record + 256), ReadU32(record + 272), length});
    }
    return records;
}
} // namespace

TEST_F(PwPackageTest, OpensAGeneratedArchiveAndExtractsEveryEntry)
{
    PckGen::EntryOptions entries;
    entries.Seed = 42;
    entries.Count = 1000;
    entries.MaxSize = 3000;
    entries.ReservedWords = true;
    PckGen::ArchiveOptions options;
    options.GapsBetweenBlocks = true;
    options.ShuffleBlocks = true;
    options.TrailingBytes = 333; // after the recorded size: tolerated
    PckGen::Archive archive = PckGen::MakeArchive(entries, options);
    std::u16string path = WriteFile("big.pck", archive.Bytes);

    PwPackage package;
    package.Open(path.c_str());
    ASSERT_EQ(package.Entries.GetCount(), 1000u);
    for (uint32_t i = 0; i < 1000; ++i)
    {
        const PckGen::Entry& expected = archive.Entries[i];
        const PwEntry* entry = package.Entries[i];
        ASSERT_EQ(std::u16string(entry->Name.c_str()), expected.NameWide) << i;
        EXPECT_EQ(entry->Offset, archive.Where.Blocks[i].Offset);
        EXPECT_EQ(entry->StoredSize, archive.Where.Blocks[i].StoredSize);
        EXPECT_EQ(entry->OriginalSize, expected.Size);
        EXPECT_EQ(entry->Reserved1, expected.Reserved1);
        EXPECT_EQ(entry->Reserved2, expected.Reserved2);
        ASSERT_EQ(Extract(package, entry), PckGen::EntryData(expected)) << i;
    }

    // Find ignores case and returns the first entry in list order.
    size_t twin = 0;
    for (size_t i = 1; i < archive.Entries.size() && !twin; ++i)
        for (size_t k = 0; k < i; ++k)
            if (NameLess(archive.Entries[i].NameWide, archive.Entries[k].NameWide) == false &&
                NameLess(archive.Entries[k].NameWide, archive.Entries[i].NameWide) == false)
            {
                twin = i;
                EXPECT_EQ(package.FindIndex(archive.Entries[i].NameWide.c_str()), static_cast<int>(k));
                break;
            }
    ASSERT_NE(twin, 0u) << "the generator made no names that differ only in case";
    std::u16string upper = archive.Entries[5].NameWide;
    for (char16_t& c : upper)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - 32);
    EXPECT_NE(package.Find(upper.c_str()), nullptr);
    EXPECT_TRUE(package.Exists(archive.Entries[7].NameWide.c_str()));
    EXPECT_FALSE(package.Exists(u"models\\no\\such.ski"));

    // A name with Chinese characters converts from code page 936.
    bool chinese = false;
    for (uint32_t i = 0; i < package.Entries.GetCount() && !chinese; ++i)
        for (const WCHAR* p = package.Entries[i]->Name.c_str(); *p; ++p)
            chinese = chinese || *p >= 0x4E00;
    EXPECT_TRUE(chinese);

    EXPECT_EQ(ThrownMessage(
                  [&]
                  {
                      XMemoryStream out(0, 8192);
                      package.Extract(u"models\\missing.ski", &out);
                  }),
              PackageError(305, u"File <models\\missing.ski> not found!"));
}

TEST_F(PwPackageTest, FormatErrorsNameTheirCheckAndLeaveThePackageClosed)
{
    PckGen::EntryOptions entries;
    entries.Count = 12;
    PckGen::Archive archive = PckGen::MakeArchive(entries, PckGen::ArchiveOptions{});
    struct Expected
    {
        PckGen::Hostile Kind;
        int Line;
        const char16_t* Text;
    };
    const Expected texts[] = {
        {PckGen::Hostile::WrongMagic1, 64, u"Wrong Magic1"},
        {PckGen::Hostile::WrongMagic2, 65, u"Wrong Magic2"},
        {PckGen::Hostile::WrongUnk09, 73, u"Wrong Unk09"},
        {PckGen::Hostile::WrongUnk10, 74, u"Wrong Unk10"},
        {PckGen::Hostile::WrongTailerMagic1, 82, u"Wrong TailerMagic1"},
        {PckGen::Hostile::WrongTailerMagic2, 83, u"Wrong TailerMagic2"},
        {PckGen::Hostile::LengthWordsDiffer, 100, u"Wrong table record!"},
        {PckGen::Hostile::RecordLongerThan512, 100, u"Wrong table record!"},
        {PckGen::Hostile::RecordInflatesShort, 100, u"Wrong table record!"},
        {PckGen::Hostile::RecordInflatesLong, 100, u"Wrong table record!"},
        {PckGen::Hostile::BlockPastEnd, 100, u"Wrong table record!"},
        {PckGen::Hostile::HugeOriginalSize, 100, u"Wrong table record!"},
        {PckGen::Hostile::EntryCountBeyondFile, 75, u"Wrong EntryCount"},
        {PckGen::Hostile::TablePastEnd, 84, u"Wrong TableOffset"},
        {PckGen::Hostile::TableInsideHeader, 84, u"Wrong TableOffset"},
        {PckGen::Hostile::EntryCountAtBound, 100, u"Wrong table record!"},
        {PckGen::Hostile::EntryCountOnePast, 75, u"Wrong EntryCount"},
        {PckGen::Hostile::FileSizeBeyondFile, 66, u"Wrong FileSize"},
        {PckGen::Hostile::FileSizeTooSmall, 66, u"Wrong FileSize"},
        {PckGen::Hostile::Truncated, 66, u"Wrong FileSize"},
    };
    PwPackage package;
    for (const auto& [kind, line, text] : texts)
    {
        package.Open(WriteFile("good.pck", archive.Bytes).c_str());
        ASSERT_EQ(package.Entries.GetCount(), 12u);
        std::u16string path = WriteFile("bad.pck", PckGen::MakeHostile(archive, kind));
        EXPECT_EQ(ThrownMessage([&] { package.Open(path.c_str()); }), PackageError(line, text))
            << PckGen::HostileName(kind);
        EXPECT_EQ(package.Entries.GetCount(), 0u) << PckGen::HostileName(kind);
        EXPECT_EQ(package.Source, nullptr) << PckGen::HostileName(kind);
    }

    // A record that does not inflate at all is skipped, without an entry and without a progress step.
    {
        ProgressWindow window;
        package.NotifyWindow = window.Window;
        package.NotifyMessage = 0xD13;
        package.Open(
            WriteFile("record.pck", PckGen::MakeHostile(archive, PckGen::Hostile::CorruptRecord)).c_str());
        package.NotifyWindow = nullptr;
        ASSERT_EQ(package.Entries.GetCount(), 11u);
        for (uint32_t i = 0; i < 11; ++i)
            EXPECT_EQ(std::u16string(package.Entries[i]->Name.c_str()), archive.Entries[i + 1].NameWide);
        std::vector<int> expected;
        for (int i = 1; i < 12; ++i)
            expected.push_back(i * 100 / 12);
        expected.push_back(100);
        EXPECT_EQ(window.Values, expected);
    }

    // A corrupt block opens but fails to extract.
    PckGen::Archive corrupt = archive;
    corrupt.Bytes = PckGen::MakeHostile(archive, PckGen::Hostile::CorruptBlock);
    package.Open(WriteFile("corrupt.pck", corrupt.Bytes).c_str());
    int failures = 0;
    for (uint32_t i = 0; i < package.Entries.GetCount(); ++i)
    {
        try
        {
            EXPECT_EQ(Extract(package, package.Entries[i]), PckGen::EntryData(archive.Entries[i]));
        }
        catch (const XException& e)
        {
            EXPECT_EQ(e.Message().str(), PackageError(275, u"File decompression failed!"));
            ++failures;
        }
    }
    EXPECT_EQ(failures, 1);

    EXPECT_EQ(ThrownText([&] { package.Open(PathW("missing.pck").c_str()); }), "Failed opening file.");
}

TEST_F(PwPackageTest, EveryPrefixAndEveryByteFlipFailsCleanly)
{
    PckGen::EntryOptions entries;
    entries.Count = 6;
    entries.MaxSize = 200;
    PckGen::Archive archive = PckGen::MakeArchive(entries, PckGen::ArchiveOptions{});
    PwPackage package;
    std::u16string path = PathW("prefix.pck");
    for (size_t cut = 0; cut < archive.Bytes.size(); ++cut)
    {
        WriteFile("prefix.pck", std::vector<uint8_t>(archive.Bytes.begin(), archive.Bytes.begin() + cut));
        EXPECT_ANY_THROW(package.Open(path.c_str())) << cut;
        EXPECT_EQ(package.Source, nullptr);
    }
    // One damaged byte anywhere: the check that guards it fails with its own message, or the
    // archive opens and every entry that the damage does not reach reads back whole.
    const PckGen::Layout& where = archive.Where;
    const size_t n = archive.Entries.size();
    const uint64_t tailer = where.FileSize - 280;
    std::vector<std::vector<uint8_t>> data;
    for (const PckGen::Entry& entry : archive.Entries)
        data.push_back(PckGen::EntryData(entry));
    struct Outcome
    {
        std::u16string Error; // empty when the archive opened
        std::vector<std::u16string> Names;
        std::vector<std::vector<uint8_t>> Data; // empty and Failed set when extraction failed
        std::vector<bool> Failed;
    };
    auto open = [&](const std::vector<uint8_t>& bytes)
    {
        Outcome o;
        WriteFile("flip.pck", bytes);
        try
        {
            package.Open(PathW("flip.pck").c_str());
        }
        catch (const XException& e)
        {
            o.Error = e.Message().str();
            EXPECT_FALSE(o.Error.empty());
            EXPECT_EQ(package.Source, nullptr);
            return o;
        }
        for (uint32_t i = 0; i < package.Entries.GetCount(); ++i)
        {
            o.Names.push_back(package.Entries[i]->Name.c_str());
            try
            {
                o.Data.push_back(Extract(package, package.Entries[i]));
                o.Failed.push_back(false);
            }
            catch (const XException&)
            {
                o.Data.emplace_back();
                o.Failed.push_back(true);
            }
        }
        return o;
    };
    // Opened, with the entries of the archive but `skipped` (n for none); every one but `damaged`
    // (n for none) intact.
    auto expectEntries = [&](const Outcome& o, size_t skipped, size_t damaged)
    {
        ASSERT_TRUE(o.Error.empty()) << Platform::ToUtf8(o.Error.c_str());
        ASSERT_EQ(o.Names.size(), n - (skipped < n ? 1 : 0));
        for (size_t i = 0, k = 0; i < n; ++i)
        {
            if (i == skipped)
                continue;
            if (i != damaged)
            {
                EXPECT_EQ(o.Names[k], archive.Entries[i].NameWide) << i;
                EXPECT_FALSE(o.Failed[k]) << i;
                EXPECT_EQ(o.Data[k], data[i]) << i;
            }
            ++k;
        }
    };
    int rawBlocks = 0, compressedBlocks = 0, records = 0;
    std::mt19937 rng(3);
    for (uint64_t at = 0; at < archive.Bytes.size(); ++at)
    {
        SCOPED_TRACE(at);
        std::vector<uint8_t> bytes = archive.Bytes;
        const uint8_t mask = static_cast<uint8_t>(1 + rng() % 255);
        bytes[at] ^= mask;
        const Outcome o = open(bytes);
        auto fails = [&](int line, const char16_t* text) { EXPECT_EQ(o.Error, PackageError(line, text)); };
        size_t block = n, record = n;
        for (size_t i = 0; i < n; ++i)
        {
            const PckGen::Placement& b = where.Blocks[i];
            if (at >= b.Offset && at < b.Offset + b.StoredSize)
                block = i;
            uint64_t recordEnd = i + 1 < n ? where.RecordOffsets[i + 1] : tailer;
            if (at >= where.RecordOffsets[i] && at < recordEnd)
                record = i;
        }
        if (at < 4)
            fails(64, u"Wrong Magic1");
        else if (at < 8)
            EXPECT_FALSE(o.Error.empty()); // the recorded file size
        else if (at < 12)
            fails(65, u"Wrong Magic2");
        else if (block < n)
        {
            expectEntries(o, n, block);
            if (where.Blocks[block].StoredSize == archive.Entries[block].Size)
            {
                ++rawBlocks;
                std::vector<uint8_t> expected = data[block];
                expected[at - where.Blocks[block].Offset] ^= mask;
                EXPECT_EQ(o.Data[block], expected);
            }
            else
            {
                ++compressedBlocks;
                EXPECT_TRUE(o.Failed[block]); // the block's checksum no longer holds
            }
        }
        else if (record < n)
        {
            ++records;
            if (!o.Error.empty())
                fails(100, u"Wrong table record!");
            else
                expectEntries(o, o.Names.size() < n ? record : n, record);
        }
        else if (at < tailer)
            ADD_FAILURE() << "a byte outside every part of the archive";
        else if (at < tailer + 4)
            fails(82, u"Wrong TailerMagic1");
        else if (at < tailer + 8)
            fails(83, u"Wrong TailerMagic2");
        else if (at < tailer + 12)
            EXPECT_FALSE(o.Error.empty()); // the table offset
        else if (at < tailer + 268)
            expectEntries(o, n, n); // the description
        else if (at < tailer + 272)
            fails(73, u"Wrong Unk09");
        else if (at < tailer + 276)
        {
            // The entry count: fewer entries open as the first ones, more cannot be read.
            const uint32_t count = ReadU32(&bytes[tailer + 272]);
            if (count >= n)
            {
                EXPECT_FALSE(o.Error.empty());
                continue;
            }
            ASSERT_TRUE(o.Error.empty());
            ASSERT_EQ(o.Names.size(), count);
            for (uint32_t i = 0; i < count; ++i)
                EXPECT_EQ(o.Data[i], data[i]);
        }
        else
            fails(74, u"Wrong Unk10");
    }
    // The archive has blocks and records of both kinds, so each rule above was exercised.
    EXPECT_GT(rawBlocks, 0);
    EXPECT_GT(compressedBlocks, 0);
    EXPECT_GT(records, 0);
}

TEST_F(PwPackageTest, ResavingASortedLevel0ArchiveReproducesItByteForByte)
{
    PckGen::EntryOptions entryOptions;
    entryOptions.Seed = 9;
    entryOptions.Count = 300;
    entryOptions.CaseTwins = false; // equal names have no defined order
    std::vector<PckGen::Entry> entries = PckGen::MakeEntries(entryOptions);
    entries.push_back(PckGen::Entry{"empty.dat", u"empty.dat", 0, 1, false, false, 0, 0, {}});
    PckGen::SortEntries(entries, NameLess);
    PckGen::ArchiveOptions options;
    options.Level = 0;
    options.Description = "level zero";
    PckGen::MemorySink sink;
    PckGen::WriteArchive(entries, options, sink);
    std::u16string in = WriteFile("in.pck", sink.Bytes);

    PwPackage package;
    package.Open(in.c_str());
    package.Save(PathW("out.pck").c_str(), 0, "level zero");
    EXPECT_EQ(ReadFile("out.pck"), sink.Bytes);
    for (const Record& r : ReadTable(ReadFile("out.pck")))
    {
        EXPECT_EQ(r.Length, 276u);
        EXPECT_EQ(r.OriginalSize, r.StoredSize);
    }
}

// An empty name is a name the table can hold (256 zero bytes): entries named so are saved like any
// other and read back with their names empty and their bytes unchanged, however many there are.
TEST_F(PwPackageTest, EntriesWithEmptyNamesSaveAndReadBackUnchanged)
{
    using Contents = std::vector<std::pair<std::u16string, std::vector<uint8_t>>>;
    auto contents = [](PwPackage& package)
    {
        Contents all;
        for (uint32_t i = 0; i < package.Entries.GetCount(); ++i)
            all.emplace_back(package.Entries[i]->Name.c_str(), Extract(package, package.Entries[i]));
        std::sort(all.begin(), all.end()); // equal names have no defined order in the table
        return all;
    };
    auto generated = [](const std::vector<PckGen::Entry>& entries)
    {
        Contents all;
        for (const PckGen::Entry& e : entries)
            all.emplace_back(e.NameWide, PckGen::EntryData(e));
        std::sort(all.begin(), all.end());
        return all;
    };

    // One entry of one raw byte with a raw record: the whole table holds no name byte at all.
    const std::vector<PckGen::Entry> single = {PckGen::Entry{"", u"", 1, 1, false, false, 0, 0, {}}};
    PckGen::ArchiveOptions raw;
    raw.Level = 0;
    raw.Description = "seed";
    PckGen::MemorySink sink;
    PckGen::WriteArchive(single, raw, sink);
    ASSERT_EQ(sink.Bytes.size(), 577u);
    PwPackage package;
    package.Open(WriteFile("single.pck", sink.Bytes).c_str());
    package.Save(PathW("single-out.pck").c_str(), 0, "seed");
    EXPECT_EQ(ReadFile("single-out.pck"), sink.Bytes);
    package.Save(PathW("single-packed.pck").c_str(), 1, "seed");
    PwPackage reopened;
    reopened.Open(PathW("single-packed.pck").c_str());
    EXPECT_EQ(contents(reopened), generated(single));

    // Every name empty, more entries than a short range sorts by insertion; and one empty name
    // among others.
    PckGen::EntryOptions entryOptions;
    entryOptions.Seed = 31;
    entryOptions.Count = 40;
    std::vector<PckGen::Entry> unnamed = PckGen::MakeEntries(entryOptions);
    for (PckGen::Entry& e : unnamed)
    {
        e.Name936.clear();
        e.NameWide.clear();
    }
    std::vector<PckGen::Entry> mixed = PckGen::MakeEntries(entryOptions);
    mixed[17].Name936.clear();
    mixed[17].NameWide.clear();
    for (const auto* entries : {&unnamed, &mixed})
        for (int level : {0, 1})
        {
            SCOPED_TRACE(testing::Message()
                         << (entries == &unnamed ? "unnamed" : "mixed") << " level " << level);
            PckGen::MemorySink archive;
            PckGen::WriteArchive(*entries, PckGen::ArchiveOptions{}, archive);
            package.Open(WriteFile("in.pck", archive.Bytes).c_str());
            package.Save(PathW("out.pck").c_str(), level, "x");
            reopened.Open(PathW("out.pck").c_str());
            EXPECT_EQ(contents(reopened), generated(*entries));
        }

    // An entry added under an empty name to a package that opened nothing.
    PwPackage fresh;
    fresh.AddFromMemory(u"", Copy({7, 8, 9}), 3);
    for (int level : {0, 1})
    {
        fresh.Save(PathW("fresh.pck").c_str(), level, "x");
        reopened.Open(PathW("fresh.pck").c_str());
        EXPECT_EQ(contents(reopened), (Contents{{u"", {7, 8, 9}}})) << level;
    }
}

TEST_F(PwPackageTest, EditedArchiveReopensSortedWithUntouchedBlocksCopied)
{
    PckGen::EntryOptions entryOptions;
    entryOptions.Seed = 77;
    entryOptions.Count = 200;
    entryOptions.ReservedWords = true;
    PckGen::ArchiveOptions options;
    options.GapsBetweenBlocks = true;
    PckGen::Archive archive = PckGen::MakeArchive(entryOptions, options);
    std::u16string in = WriteFile("in.pck", archive.Bytes);

    PwPackage package;
    package.Open(in.c_str());
    // An entry whose name no other entry shares, so that the name finds it alone.
    size_t target = 3;
    auto shared = [&](size_t i)
    {
        for (size_t k = 0; k < archive.Entries.size(); ++k)
            if (k != i && PwPackage::CompareNames(archive.Entries[k].NameWide.c_str(),
                                                  archive.Entries[i].NameWide.c_str()) == 0)
                return true;
        return false;
    };
    while (shared(target) || target == 10)
        ++target;
    std::u16string renamed = archive.Entries[target].NameWide;
    std::u16string kept = u"models\\kept.original.ski";
    ASSERT_TRUE(package.Rename(renamed.c_str(), kept.c_str()));
    ASSERT_TRUE(package.Delete(archive.Entries[10].NameWide.c_str()));
    EXPECT_FALSE(package.Delete(u"no such entry"));
    EXPECT_FALSE(package.Rename(u"no such entry", u"x"));

    std::vector<uint8_t> fromMemory(5000);
    for (size_t i = 0; i < fromMemory.size(); ++i)
        fromMemory[i] = static_cast<uint8_t>(i * 7 / 13);
    std::vector<uint8_t> fromDisk(12345, 0x5A);
    std::u16string diskPath = WriteFile("model.dds", fromDisk);
    fs::permissions(m_Dir / "model.dds", fs::perms::owner_read); // read-only files are fine
    package.AddFromMemory(renamed.c_str(), Copy(fromMemory), static_cast<uint32_t>(fromMemory.size()));
    package.AddFromDisk(u"textures\\\u4F60\u597D.dds", diskPath.c_str());
    package.AddFromMemory(u"empty.bin", Copy({}), 0);
    package.Save(PathW("out.pck").c_str(), 1, "edited");
    EXPECT_EQ(package.Entries.GetCount(), 202u); // the package's own list is unchanged by a save

    PwPackage reopened;
    reopened.Open(PathW("out.pck").c_str());
    ASSERT_EQ(reopened.Entries.GetCount(), 202u);
    for (uint32_t i = 1; i < reopened.Entries.GetCount(); ++i)
        EXPECT_LE(
            PwPackage::CompareNames(reopened.Entries[i - 1]->Name.c_str(), reopened.Entries[i]->Name.c_str()),
            0);

    std::vector<uint8_t> out = ReadFile("out.pck");
    for (size_t i = 0; i < archive.Entries.size(); ++i)
    {
        if (i == 10)
            continue;
        const std::u16string& name = i == target ? kept : archive.Entries[i].NameWide;
        // Twins share a name; look the entry up by its block's bytes instead of its name.
        const PckGen::Placement& source = archive.Where.Blocks[i];
        bool found = false;
        for (uint32_t k = 0; k < reopened.Entries.GetCount() && !found; ++k)
        {
            const PwEntry* e = reopened.Entries[k];
            if (PwPackage::CompareNames(e->Name.c_str(), name.c_str()) != 0 ||
                e->StoredSize != source.StoredSize)
                continue;
            found = std::equal(archive.Bytes.begin() + source.Offset,
                               archive.Bytes.begin() + source.Offset + source.StoredSize,
                               out.begin() + e->Offset);
            EXPECT_EQ(e->Reserved1, 0u); // reserved words are written as zero
        }
        EXPECT_TRUE(found) << i;
    }
    EXPECT_EQ(Extract(reopened, reopened.Find(renamed.c_str())), fromMemory);
    EXPECT_EQ(Extract(reopened, reopened.Find(u"TEXTURES\\\u4F60\u597D.DDS")), fromDisk);
    EXPECT_TRUE(Extract(reopened, reopened.Find(u"empty.bin")).empty());
    std::vector<uint8_t> tailer(out.end() - 280 + 12, out.end() - 280 + 12 + 7);
    EXPECT_EQ(std::string(tailer.begin(), tailer.end()), std::string("edited\0", 7));
}

TEST_F(PwPackageTest, SaveReportsProgressAndRefusesWhatItCannotWrite)
{
    PckGen::EntryOptions entryOptions;
    entryOptions.Count = 4;
    PckGen::Archive archive = PckGen::MakeArchive(entryOptions, PckGen::ArchiveOptions{});
    PwPackage package;
    {
        ProgressWindow window;
        package.NotifyWindow = window.Window;
        package.NotifyMessage = 0xD13;
        package.Open(WriteFile("four.pck", archive.Bytes).c_str());
        EXPECT_EQ(window.Values, (std::vector<int>{25, 50, 75, 100}));
        window.Values.clear();
        package.Save(PathW("four_out.pck").c_str(), 1, "four");
        EXPECT_EQ(window.Values, (std::vector<int>{0, 12, 25, 37, 60, 70, 80, 90, 100}));
        package.NotifyWindow = nullptr;
    }

    // Saving over the archive being read would destroy the blocks it copies.
    std::vector<uint8_t> before = ReadFile("four.pck");
    EXPECT_EQ(ThrownMessage([&] { package.Save(PathW("FOUR.PCK").c_str(), 1, "x"); }),
              PackageError(166, u"Cannot save over the opened package!"));
    EXPECT_EQ(ReadFile("four.pck"), before);

    PwPackage empty;
    EXPECT_EQ(ThrownMessage([&] { empty.Save(PathW("empty.pck").c_str(), 1, "x"); }),
              PackageError(170, u"Nothing to save!"));
    EXPECT_TRUE(fs::exists(m_Dir / "empty.pck"));
    EXPECT_EQ(fs::file_size(m_Dir / "empty.pck"), 0u);

    PwPackage named;
    named.AddFromMemory(std::u16string(129, u'\u4F60').c_str(), Copy({1, 2, 3}), 3); // 258 bytes in 936
    EXPECT_EQ(ThrownMessage([&] { named.Save(PathW("long.pck").c_str(), 1, "x"); }),
              PackageError(207, u"Entry name too long!"));
    PwPackage fits;
    fits.AddFromMemory(std::u16string(128, u'\u4F60').c_str(), Copy({1, 2, 3}), 3); // exactly 256 bytes
    fits.Save(PathW("fits.pck").c_str(), 1, std::string(400, 'd').c_str());
    std::vector<uint8_t> bytes = ReadFile("fits.pck");
    EXPECT_EQ(ReadTable(bytes).at(0).Name.size(), 256u);
    EXPECT_EQ(bytes[bytes.size() - 280 + 12 + 254], 'd');
    EXPECT_EQ(bytes[bytes.size() - 280 + 12 + 255], 0); // the description is cut to 255 bytes

    PwPackage badLevel;
    badLevel.AddFromMemory(u"a", Copy({1, 2, 3}), 3);
    EXPECT_EQ(ThrownMessage([&] { badLevel.Save(PathW("level.pck").c_str(), 42, "x"); }),
              PackageError(156, u"File compression failed!"));
}

TEST_F(PwPackageTest, BlockThatCompressesToItsOwnSizeIsStoredRaw)
{
    // Find data whose level-1 stream is exactly as long as the data itself.
    std::mt19937 rng(11);
    std::vector<uint8_t> data;
    for (int attempt = 0; attempt < 20000 && data.empty(); ++attempt)
    {
        std::vector<uint8_t> candidate(64 + rng() % 300);
        size_t zeros = rng() % 60;
        for (size_t i = zeros; i < candidate.size(); ++i)
            candidate[i] = static_cast<uint8_t>(rng());
        uLongf size = compressBound(static_cast<uLong>(candidate.size()));
        std::vector<uint8_t> packed(size);
        compress2(packed.data(), &size, candidate.data(), static_cast<uLong>(candidate.size()), 1);
        if (size == candidate.size())
            data = candidate;
    }
    ASSERT_FALSE(data.empty());

    PwPackage package;
    package.AddFromMemory(u"same.bin", Copy(data), static_cast<uint32_t>(data.size()));
    package.Save(PathW("same.pck").c_str(), 1, "x");
    std::vector<uint8_t> file = ReadFile("same.pck");
    ASSERT_EQ(ReadTable(file).at(0).StoredSize, data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), file.begin() + 12)); // raw bytes
    PwPackage reopened;
    reopened.Open(PathW("same.pck").c_str());
    EXPECT_EQ(Extract(reopened, reopened.Find(u"same.bin")), data);
}

TEST_F(PwPackageTest, SortedAndReverseSortedTablesOfManyEntriesSaveQuickly)
{
    // A re-save meets an already sorted list; equal names and long equal runs must not degrade
    // the sort into quadratic time or deep recursion.
    PwPackage package;
    for (int i = 0; i < 20000; ++i)
    {
        char16_t name[32];
        std::u16string text =
            Platform::FromUtf8("m\\" + std::to_string(100000 + (i < 10000 ? i : 29999 - i)));
        std::copy(text.begin(), text.end(), name);
        name[text.size()] = 0;
        package.AddFromMemory(i % 1000 == 0 ? u"same" : name, Copy({}), 0);
    }
    package.Save(PathW("many.pck").c_str(), 0, "x");
    std::vector<Record> table = ReadTable(ReadFile("many.pck"));
    ASSERT_EQ(table.size(), 20000u);
    for (size_t i = 1; i < table.size(); ++i)
    {
        std::u16string a = Platform::FromUtf8(table[i - 1].Name), b = Platform::FromUtf8(table[i].Name);
        ASSERT_LE(PwPackage::CompareNames(a.c_str(), b.c_str()), 0) << i;
    }
}

TEST_F(PwPackageTest, SafeguardsOfOpenAndSave)
{
    PckGen::EntryOptions entryOptions;
    entryOptions.Count = 20;
    entryOptions.MinSize = 100;
    PckGen::Archive archive = PckGen::MakeArchive(entryOptions, PckGen::ArchiveOptions{});
    std::u16string in = WriteFile("in.pck", archive.Bytes);

    // The archive is only read: a read-only backup opens.
    fs::permissions(m_Dir / "in.pck", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    PwPackage package;
    package.Open(in.c_str());
    ASSERT_EQ(package.Entries.GetCount(), 20u);

    // Blocks are copied, not compressed, so a bad level first fails on the table records.
    EXPECT_EQ(ThrownMessage([&] { package.Save(PathW("level.pck").c_str(), 42, "x"); }),
              PackageError(218, u"File entry compression failed!"));

    // An archive that shrinks under the package: the copy of a block comes up short, and the save
    // says so instead of writing a cut block.
    fs::permissions(m_Dir / "in.pck", fs::perms::owner_read | fs::perms::owner_write);
    fs::resize_file(m_Dir / "in.pck", archive.Where.Blocks[10].Offset + 1);
    EXPECT_EQ(ThrownText([&] { package.Save(PathW("short.pck").c_str(), 1, "x"); }), "Stream reading error.");

    // An entry that would carry the archive past what its 32-bit offsets address is refused.
    WriteFile("huge.bin", {});
    fs::resize_file(m_Dir / "huge.bin", (uint64_t(1) << 32) + 1); // sparse: no disk space used
    PwPackage huge;
    huge.AddFromDisk(u"huge.bin", PathW("huge.bin").c_str());
    EXPECT_EQ(ThrownMessage([&] { huge.Save(PathW("huge.pck").c_str(), 0, "x"); }),
              PackageError(190, u"Package too large!"));
}

TEST_F(PwPackageTest, TableRecordThatCompressesTo276BytesIsStoredRaw)
{
    // A 276-byte stored record always reads as raw, so one that compresses to exactly 276 bytes
    // must be written raw. Search seeded names of Chinese characters for such a record.
    const std::vector<uint8_t> data = {1, 2, 3};
    uLongf storedSize = compressBound(3);
    std::vector<uint8_t> packedData(storedSize);
    ASSERT_EQ(compress2(packedData.data(), &storedSize, data.data(), 3, 1), Z_OK);

    std::mt19937 rng(5);
    std::u16string name;
    for (int attempt = 0; attempt < 20000 && name.empty(); ++attempt)
    {
        std::u16string candidate(100 + rng() % 29, u' ');
        for (char16_t& c : candidate)
            c = static_cast<char16_t>(0x4E00 + rng() % (0x9FA5 - 0x4E00));
        uint8_t record[276] = {};
        int bytes = WideCharToMultiByte(936, 0, candidate.c_str(), static_cast<int>(candidate.size()),
                                        reinterpret_cast<char*>(record), 256, nullptr, nullptr);
        if (bytes <= 0)
            continue;
        WriteU32(record + 260, 12);
        WriteU32(record + 264, 3);
        WriteU32(record + 268, static_cast<uint32_t>(storedSize));
        uint8_t packed[400];
        uLongf size = sizeof packed;
        ASSERT_EQ(compress2(packed, &size, record, 276, 1), Z_OK);
        if (size == 276)
            name = candidate;
    }
    ASSERT_FALSE(name.empty());

    PwPackage package;
    package.AddFromMemory(name.c_str(), Copy(data), 3);
    package.Save(PathW("raw.pck").c_str(), 1, "x");
    std::vector<Record> table = ReadTable(ReadFile("raw.pck"));
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].Length, 276u);
    EXPECT_EQ(table[0].StoredSize, storedSize);
    PwPackage reopened;
    reopened.Open(PathW("raw.pck").c_str());
    ASSERT_EQ(reopened.Entries.GetCount(), 1u);
    EXPECT_EQ(std::u16string(reopened.Entries[0]->Name.c_str()), name);
    EXPECT_EQ(Extract(reopened, reopened.Entries[0]), data);
}

TEST_F(PwPackageTest, SaveOnWorkerThreadsWritesTheBytesOfAnIndependentWriter)
{
    // Many added entries (some from disk) and a table of several compressed pieces: the save
    // spreads them over worker threads, and the file must still be exactly what a plain
    // one-after-the-other writer on the same zlib makes. Then a re-save, which copies every block,
    // must reproduce the file again.
    PckGen::EntryOptions entryOptions;
    entryOptions.Seed = 123;
    entryOptions.Count = 2100; // two pieces of the table
    entryOptions.MinSize = 1; // the writers store an empty entry differently
    entryOptions.MaxSize = 3000;
    entryOptions.CaseTwins = false; // equal names have no defined order
    entryOptions.RawBlocks = false;
    entryOptions.RawRecords = false;
    std::vector<PckGen::Entry> entries = PckGen::MakeEntries(entryOptions);
    PckGen::SortEntries(entries, NameLess);
    for (int level : {1, 0})
    {
        PckGen::ArchiveOptions options;
        options.Level = level;
        options.Description = "threads";
        PckGen::MemorySink expected;
        PckGen::WriteArchive(entries, options, expected);

        PwPackage package;
        for (size_t i = 0; i < entries.size(); ++i)
        {
            std::vector<uint8_t> data = PckGen::EntryData(entries[i]);
            if (i % 7 == 3)
                package.AddFromDisk(entries[i].NameWide.c_str(),
                                    WriteFile("disk" + std::to_string(i) + ".bin", data).c_str());
            else
                package.AddFromMemory(entries[i].NameWide.c_str(), Copy(data), static_cast<uint32_t>(data.size()));
        }
        package.Save(PathW("added.pck").c_str(), level, "threads");
        ASSERT_EQ(ReadFile("added.pck"), expected.Bytes) << "level " << level;

        PwPackage reopened;
        reopened.Open(PathW("added.pck").c_str());
        reopened.Save(PathW("copied.pck").c_str(), level, "threads");
        EXPECT_EQ(ReadFile("copied.pck"), expected.Bytes) << "level " << level;
    }
}

TEST_F(PwPackageTest, NameThatDoesNotFitIsRefusedBeforeAnythingIsWritten)
{
    PckGen::EntryOptions entryOptions;
    entryOptions.Count = 30;
    PckGen::Archive archive = PckGen::MakeArchive(entryOptions, PckGen::ArchiveOptions{});
    PwPackage package;
    package.Open(WriteFile("in.pck", archive.Bytes).c_str());
    package.AddFromMemory(u"models\\fits.ski", Copy({1, 2, 3}), 3);
    package.AddFromMemory(std::u16string(129, u'\u4F60').c_str(), Copy({4, 5}), 2); // 258 bytes in 936
    const std::vector<uint8_t> before = {'k', 'e', 'e', 'p'};
    struct Case
    {
        const char* Name;
        bool Exists;
    };
    for (const Case& c : {Case{"existing.pck", true}, Case{"new.pck", false}})
    {
        if (c.Exists)
            WriteFile(c.Name, before);
        EXPECT_EQ(ThrownMessage([&] { package.Save(PathW(c.Name).c_str(), 1, "x"); }),
                  PackageError(207, u"Entry name too long!"));
        EXPECT_EQ(fs::exists(m_Dir / c.Name), c.Exists) << c.Name;
        if (c.Exists)
        {
            EXPECT_EQ(ReadFile(c.Name), before); // neither emptied nor written
        }
    }
    // An ASCII name longer than the field is found the same way.
    PwPackage ascii;
    ascii.AddFromMemory(std::u16string(257, u'a').c_str(), Copy({1}), 1);
    EXPECT_EQ(ThrownMessage([&] { ascii.Save(PathW("ascii.pck").c_str(), 1, "x"); }),
              PackageError(207, u"Entry name too long!"));
    EXPECT_FALSE(fs::exists(m_Dir / "ascii.pck"));
}

TEST_F(PwPackageTest, SkippedTableRecordsAreCounted)
{
    PckGen::EntryOptions entryOptions;
    entryOptions.Count = 12;
    PckGen::Archive archive = PckGen::MakeArchive(entryOptions, PckGen::ArchiveOptions{});
    PwPackage package;
    package.Open(WriteFile("good.pck", archive.Bytes).c_str());
    EXPECT_EQ(package.GetSkippedRecordCount(), 0u);

    package.Open(WriteFile("bad.pck", PckGen::MakeHostile(archive, PckGen::Hostile::CorruptRecord)).c_str());
    EXPECT_EQ(package.Entries.GetCount(), 11u);
    EXPECT_EQ(package.GetSkippedRecordCount(), 1u);
    // A save leaves the entry out: the count is what the caller can report.
    package.Save(PathW("resaved.pck").c_str(), 1, "x");
    PwPackage resaved;
    resaved.Open(PathW("resaved.pck").c_str());
    EXPECT_EQ(resaved.Entries.GetCount(), 11u);
    EXPECT_EQ(resaved.GetSkippedRecordCount(), 0u);

    // Each Open counts afresh; a failed Open and Close leave 0.
    package.Open(PathW("bad.pck").c_str());
    EXPECT_EQ(package.GetSkippedRecordCount(), 1u);
    EXPECT_ANY_THROW(package.Open(
        WriteFile("worse.pck", PckGen::MakeHostile(archive, PckGen::Hostile::WrongMagic1)).c_str()));
    EXPECT_EQ(package.GetSkippedRecordCount(), 0u);
    package.Open(PathW("bad.pck").c_str());
    package.Close();
    EXPECT_EQ(package.GetSkippedRecordCount(), 0u);
}

TEST_F(PwPackageTest, FailedSaveStopsWhereItFailed)
{
    // Workers read added entries ahead of the writer; the error still comes at the entry. And a
    // save that fails while copying leaves a file that ends where its written bytes end, not at
    // the size it had reserved for the blocks.
    PckGen::EntryOptions entryOptions;
    entryOptions.Count = 40;
    entryOptions.MinSize = 1000;
    PckGen::Archive archive = PckGen::MakeArchive(entryOptions, PckGen::ArchiveOptions{});
    PwPackage package;
    package.Open(WriteFile("in.pck", archive.Bytes).c_str());
    std::vector<uint8_t> data(70000, 0x11);
    package.AddFromMemory(u"first.bin", Copy(data), static_cast<uint32_t>(data.size()));
    package.AddFromDisk(u"missing.bin", PathW("no-such-file.bin").c_str());
    for (int i = 0; i < 20; ++i)
        package.AddFromMemory(Platform::FromUtf8("after" + std::to_string(i)).c_str(), Copy(data), 70000);
    EXPECT_EQ(ThrownText([&] { package.Save(PathW("out.pck").c_str(), 0, "x"); }), "Failed opening file.");
    package.Delete(u"missing.bin");
    EXPECT_EQ(ThrownMessage([&] { package.Save(PathW("out.pck").c_str(), 42, "x"); }),
              PackageError(156, u"File compression failed!"));

    const uint64_t cut = archive.Where.Blocks[10].Offset + 1;
    fs::resize_file(m_Dir / "in.pck", cut);
    EXPECT_EQ(ThrownText([&] { package.Save(PathW("out.pck").c_str(), 1, "x"); }), "Stream reading error.");
    EXPECT_EQ(fs::file_size(m_Dir / "out.pck"), cut);
}
