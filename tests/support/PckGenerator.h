// Seeded generator of game archives for tests and benchmarks. It has its own writer on zlib and
// shares no code with the archive reader it is used to test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace PckGen
{
constexpr uint32_t kMagic1 = 0x4DCA23EF;
constexpr uint32_t kMagic2 = 0x56A089B7;
constexpr uint32_t kKeyA = 0x6E2D91B4;
constexpr uint32_t kKeyB = 0x3A7CF05D;
constexpr uint32_t kTailerMagic1 = 0xFDFDFEEE;
constexpr uint32_t kTailerMagic2 = 0x00020002;
constexpr uint32_t kUnk09 = 0xF00DBEEF;
constexpr uint32_t kUnk10 = 0x00020002;
constexpr uint32_t kRecordSize = 276;
constexpr uint32_t kTailerSize = 280;

struct Entry
{
    std::string Name936;     // the name's bytes in code page 936 (at most 256)
    std::u16string NameWide; // the same name as UTF-16
    uint32_t Size = 0;       // bytes when inflated
    uint64_t DataSeed = 0;   // the content is derived from this seed
    bool CompressBlock = true;
    bool CompressRecord = true;
    uint32_t Reserved1 = 0;
    uint32_t Reserved2 = 0;
    std::vector<uint8_t> Content; // when not empty, the content itself (Size must be its size)
};

// The entry's content: its Content when it has one, else part pattern, part noise, so that it
// compresses like real model data.
std::vector<uint8_t> EntryData(const Entry& entry);

struct EntryOptions
{
    uint64_t Seed = 1;
    uint32_t Count = 100;
    uint32_t MinSize = 0;
    uint32_t MaxSize = 4096;
    bool ChineseNames = true;    // some names carry Chinese characters
    bool CaseTwins = true;       // some names differ from another only in case
    bool RawBlocks = true;       // some blocks are stored raw
    bool RawRecords = true;      // some table records are stored raw
    bool ReservedWords = false;  // set the two reserved words of some records
};

// Realistic names: models\npc\...\x.ski, textures, other extensions.
std::vector<Entry> MakeEntries(const EntryOptions& options);

struct ArchiveOptions
{
    int Level = 1;                       // zlib level for compressed blocks and records
    bool GapsBetweenBlocks = false;      // junk bytes between blocks
    uint32_t TrailingBytes = 0;          // bytes after the recorded file size
    bool ShuffleBlocks = false;          // blocks in another order than the table
    std::string Description = "Kelvane test archive";
    uint64_t Seed = 7;                   // for gaps, trailing bytes and shuffling
};

// Where each entry landed.
struct Placement
{
    uint64_t Offset = 0;
    uint32_t StoredSize = 0;
};

struct Layout
{
    uint64_t FileSize = 0; // as recorded in the header
    uint64_t TableOffset = 0;
    std::vector<Placement> Blocks; // parallel to the entries
    std::vector<uint64_t> RecordOffsets;
};

// Byte sink: appends, and patches a u32 at an earlier offset.
class Sink
{
public:
    virtual ~Sink() = default;
    virtual void Write(const void* data, size_t size) = 0;
    virtual void PatchU32(uint64_t offset, uint32_t value) = 0;
    virtual uint64_t Position() const = 0;
};

class MemorySink : public Sink
{
public:
    std::vector<uint8_t> Bytes;
    void Write(const void* data, size_t size) override;
    void PatchU32(uint64_t offset, uint32_t value) override;
    uint64_t Position() const override { return Bytes.size(); }
};

class FileSink : public Sink
{
public:
    explicit FileSink(const std::string& path); // throws std::runtime_error when it cannot open
    ~FileSink() override;
    void Write(const void* data, size_t size) override;
    void PatchU32(uint64_t offset, uint32_t value) override;
    uint64_t Position() const override { return m_Position; }

private:
    FILE* m_File = nullptr;
    uint64_t m_Position = 0;
};

// Writes the archive with the table in the given order of entries.
Layout WriteArchive(const std::vector<Entry>& entries, const ArchiveOptions& options, Sink& sink);

struct Archive
{
    std::vector<Entry> Entries; // in table order
    std::vector<uint8_t> Bytes;
    Layout Where;
};

Archive MakeArchive(const EntryOptions& entryOptions, const ArchiveOptions& archiveOptions);

// Sorts entries by a caller-given "less" on their wide names (the order the archive writer uses).
void SortEntries(std::vector<Entry>& entries,
                 const std::function<bool(const std::u16string&, const std::u16string&)>& less);

enum class Hostile
{
    WrongMagic1,
    WrongMagic2,
    WrongUnk09,
    WrongUnk10,
    WrongTailerMagic1,
    WrongTailerMagic2,
    LengthWordsDiffer,    // first record's two length words disagree
    RecordLongerThan512,  // first record claims a length above 512
    RecordInflatesShort,  // first record inflates to fewer than 276 bytes
    RecordInflatesLong,   // first record inflates to more than 276 bytes
    CorruptRecord,        // first record's compressed bytes do not inflate at all
    EntryCountBeyondFile, // the tailer's entry count is far beyond what the file holds
    TablePastEnd,         // the table offset points past the end of the file
    TableInsideHeader,    // the table offset points one byte into the header
    EntryCountAtBound,    // as many entries as 8-byte records fit in the table (more than it holds)
    EntryCountOnePast,    // one entry more than 8-byte records fit in the table
    BlockPastEnd,         // the first entry's block lies past the end of the file
    CorruptBlock,         // the first compressed block's bytes are damaged
    HugeOriginalSize,     // the first compressed entry claims an enormous original size
    FileSizeBeyondFile,   // the header's file size is larger than the file
    FileSizeTooSmall,     // the header's file size is smaller than header plus tailer
    Truncated,            // the file is cut in the middle of the table
};
std::vector<Hostile> AllHostile();
const char* HostileName(Hostile kind);

// A damaged copy of a well-formed archive made by MakeArchive.
std::vector<uint8_t> MakeHostile(const Archive& archive, Hostile kind);
} // namespace PckGen
