#include "tests/support/PckGenerator.h"

#include "tests/support/ByteData.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace PckGen
{
namespace
{
// splitmix64: small, seeded, identical on every machine.
struct Rng
{
    uint64_t State;
    explicit Rng(uint64_t seed) : State(seed) {}
    uint64_t Next()
    {
        uint64_t z = (State += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
};

struct NamePart
{
    const char* Bytes; // code page 936
    const char16_t* Wide;
};

// Chinese words with their code page 936 bytes.
const NamePart kChinese[] = {
    {"\xC4\xE3\xBA\xC3", u"\u4F60\u597D"}, {"\xC4\xA3\xD0\xCD", u"\u6A21\u578B"},
    {"\xC8\xCB\xCE\xEF", u"\u4EBA\u7269"}, {"\xBD\xC7\xC9\xAB", u"\u89D2\u8272"},
    {"\xCE\xE4\xC6\xF7", u"\u6B66\u5668"}, {"\xB9\xD6\xCE\xEF", u"\u602A\u7269"},
    {"\xCD\xB7\xB7\xA2", u"\u5934\u53D1"}, {"\xC9\xED\xCC\xE5", u"\u8EAB\u4F53"},
};
const char* const kFolders[] = {"models\\npc\\", "models\\players\\", "models\\monsters\\", "models\\weapons\\",
                                "textures\\", "models\\npc\\female\\", "models\\mounts\\"};
const char* const kWords[] = {"body", "head", "hair", "armor", "sword", "wolf", "tiger", "horse",
                              "glove", "boots", "cape", "shield", "bow", "staff", "ring", "skin"};
const char* const kExtensions[] = {".ski", ".ski", ".ski", ".dds", ".dds", ".bon", ".ecm", ".smd", ".gfx", ".sps"};

void AppendAscii(Entry& e, const std::string& text)
{
    e.Name936 += text;
    for (char c : text)
        e.NameWide += static_cast<char16_t>(static_cast<unsigned char>(c));
}

std::vector<uint8_t> Compress(const uint8_t* data, size_t size, int level)
{
    uLongf bound = compressBound(static_cast<uLong>(size));
    std::vector<uint8_t> out(bound);
    if (compress2(out.data(), &bound, data, static_cast<uLong>(size), level) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(bound);
    return out;
}

// The stored table record with its two masked length words.
std::vector<uint8_t> RecordBytes(const Entry& e, const Placement& where, uint32_t originalSize, int level)
{
    uint8_t record[kRecordSize] = {};
    std::memcpy(record, e.Name936.data(), std::min<size_t>(e.Name936.size(), 256));
    WriteU32(record + 256, e.Reserved1);
    WriteU32(record + 260, static_cast<uint32_t>(where.Offset));
    WriteU32(record + 264, originalSize);
    WriteU32(record + 268, where.StoredSize);
    WriteU32(record + 272, e.Reserved2);
    std::vector<uint8_t> payload(record, record + kRecordSize);
    if (e.CompressRecord && level != 0)
    {
        std::vector<uint8_t> packed = Compress(record, kRecordSize, level);
        if (packed.size() != kRecordSize) // a record of exactly 276 bytes is always read raw
            payload = std::move(packed);
    }
    std::vector<uint8_t> out(8 + payload.size());
    uint32_t length = static_cast<uint32_t>(payload.size());
    WriteU32(out.data(), length ^ kKeyA);
    WriteU32(out.data() + 4, length ^ kKeyB);
    std::memcpy(out.data() + 8, payload.data(), payload.size());
    return out;
}

void WriteTailer(Sink& sink, uint64_t tableOffset, const std::string& description, uint32_t count)
{
    uint8_t tailer[kTailerSize] = {};
    WriteU32(tailer, kTailerMagic1);
    WriteU32(tailer + 4, kTailerMagic2);
    WriteU32(tailer + 8, static_cast<uint32_t>(tableOffset) ^ kKeyA);
    std::memcpy(tailer + 12, description.data(), std::min<size_t>(description.size(), 255));
    WriteU32(tailer + 268, kUnk09);
    WriteU32(tailer + 272, count);
    WriteU32(tailer + 276, kUnk10);
    sink.Write(tailer, sizeof tailer);
}

// Rewrites the table (records changed by `edit`) after the untouched blocks of a generated archive.
std::vector<uint8_t> RebuildTable(const Archive& a, const std::function<void(size_t, std::vector<uint8_t>&)>& edit)
{
    MemorySink sink;
    sink.Write(a.Bytes.data(), a.Where.TableOffset);
    for (size_t i = 0; i < a.Entries.size(); ++i)
    {
        std::vector<uint8_t> record = RecordBytes(a.Entries[i], a.Where.Blocks[i], a.Entries[i].Size, 1);
        edit(i, record);
        sink.Write(record.data(), record.size());
    }
    WriteTailer(sink, a.Where.TableOffset, "hostile", static_cast<uint32_t>(a.Entries.size()));
    sink.PatchU32(4, static_cast<uint32_t>(sink.Position()));
    return sink.Bytes;
}

// A record whose fields are rewritten, stored compressed.
std::vector<uint8_t> RecordWith(const Entry& e, uint64_t offset, uint32_t originalSize, uint32_t storedSize)
{
    Entry copy = e;
    copy.CompressRecord = true;
    return RecordBytes(copy, Placement{offset, storedSize}, originalSize, 1);
}

// A stored table record (length words and deflate stream) whose record inflates to `size` bytes.
std::vector<uint8_t> PackedRecord(size_t size)
{
    std::vector<uint8_t> record(size, 0);
    std::memcpy(record.data(), "odd", 3);
    std::vector<uint8_t> packed = Compress(record.data(), record.size(), 9);
    std::vector<uint8_t> r(8 + packed.size());
    WriteU32(r.data(), static_cast<uint32_t>(packed.size()) ^ kKeyA);
    WriteU32(r.data() + 4, static_cast<uint32_t>(packed.size()) ^ kKeyB);
    std::copy(packed.begin(), packed.end(), r.begin() + 8);
    return r;
}

size_t FirstCompressed(const Archive& a)
{
    for (size_t i = 0; i < a.Entries.size(); ++i)
        if (a.Where.Blocks[i].StoredSize != a.Entries[i].Size)
            return i;
    throw std::runtime_error("archive has no compressed block");
}
} // namespace

std::vector<uint8_t> EntryData(const Entry& entry)
{
    if (!entry.Content.empty())
        return entry.Content;
    std::vector<uint8_t> data(entry.Size);
    Rng rng(entry.DataSeed);
    // Runs of structured records (vertex-like floats) with noisy runs between them.
    size_t i = 0;
    while (i < data.size())
    {
        size_t run = 16 + rng.Below(512);
        bool noise = rng.Chance(30);
        uint64_t pattern = rng.Next();
        for (size_t k = 0; k < run && i < data.size(); ++k, ++i)
        {
            if (noise)
            {
                if ((k & 7) == 0)
                    pattern = rng.Next();
                data[i] = static_cast<uint8_t>(pattern >> ((k & 7) * 8));
            }
            else
            {
                data[i] = static_cast<uint8_t>((pattern >> ((k % 12) * 5)) + k / 12);
            }
        }
    }
    return data;
}

std::vector<Entry> MakeEntries(const EntryOptions& options)
{
    Rng rng(options.Seed);
    std::vector<Entry> entries;
    entries.reserve(options.Count);
    for (uint32_t i = 0; i < options.Count; ++i)
    {
        Entry e;
        if (options.CaseTwins && i > 0 && rng.Chance(3))
        {
            // The same name as an earlier entry with its ASCII letters in upper case.
            const Entry& twin = entries[rng.Below(i)];
            e.Name936 = twin.Name936;
            e.NameWide = twin.NameWide;
            for (char& c : e.Name936)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 32);
            for (char16_t& c : e.NameWide)
                if (c >= u'a' && c <= u'z')
                    c = static_cast<char16_t>(c - 32);
        }
        else
        {
            AppendAscii(e, kFolders[rng.Below(std::size(kFolders))]);
            if (options.ChineseNames && rng.Chance(15))
            {
                const NamePart& part = kChinese[rng.Below(std::size(kChinese))];
                e.Name936 += part.Bytes;
                e.NameWide += part.Wide;
                AppendAscii(e, "\\");
            }
            AppendAscii(e, kWords[rng.Below(std::size(kWords))]);
            AppendAscii(e, std::to_string(i));
            if (rng.Chance(20))
            {
                AppendAscii(e, "_");
                AppendAscii(e, kWords[rng.Below(std::size(kWords))]);
            }
            AppendAscii(e, kExtensions[rng.Below(std::size(kExtensions))]);
        }
        uint32_t span = options.MaxSize - options.MinSize;
        e.Size = options.MinSize + (span ? rng.Below(span + 1) : 0);
        e.DataSeed = rng.Next();
        e.CompressBlock = !(options.RawBlocks && rng.Chance(20));
        e.CompressRecord = !(options.RawRecords && rng.Chance(20));
        if (options.ReservedWords && rng.Chance(30))
        {
            e.Reserved1 = static_cast<uint32_t>(rng.Next());
            e.Reserved2 = static_cast<uint32_t>(rng.Next());
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

void MemorySink::Write(const void* data, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    Bytes.insert(Bytes.end(), p, p + size);
}

void MemorySink::PatchU32(uint64_t offset, uint32_t value)
{
    WriteU32(Bytes.data() + offset, value);
}

FileSink::FileSink(const std::string& path) : m_File(std::fopen(path.c_str(), "wb"))
{
    if (!m_File)
        throw std::runtime_error("cannot create " + path);
}

FileSink::~FileSink()
{
    if (m_File)
        std::fclose(m_File);
}

void FileSink::Write(const void* data, size_t size)
{
    if (size && std::fwrite(data, 1, size, m_File) != size)
        throw std::runtime_error("write failed");
    m_Position += size;
}

void FileSink::PatchU32(uint64_t offset, uint32_t value)
{
    uint8_t bytes[4];
    WriteU32(bytes, value);
    if (std::fseek(m_File, static_cast<long>(offset), SEEK_SET) != 0 || std::fwrite(bytes, 1, 4, m_File) != 4 ||
        std::fseek(m_File, 0, SEEK_END) != 0)
        throw std::runtime_error("patch failed");
}

Layout WriteArchive(const std::vector<Entry>& entries, const ArchiveOptions& options, Sink& sink)
{
    Rng rng(options.Seed);
    Layout layout;
    layout.Blocks.resize(entries.size());

    uint8_t header[12];
    WriteU32(header, kMagic1);
    WriteU32(header + 4, 0);
    WriteU32(header + 8, kMagic2);
    sink.Write(header, sizeof header);

    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (options.ShuffleBlocks)
        for (size_t i = order.size(); i > 1; --i)
            std::swap(order[i - 1], order[rng.Below(static_cast<uint32_t>(i))]);

    for (size_t index : order)
    {
        const Entry& e = entries[index];
        if (options.GapsBetweenBlocks && rng.Chance(30))
        {
            std::vector<uint8_t> gap(1 + rng.Below(64));
            for (uint8_t& b : gap)
                b = static_cast<uint8_t>(rng.Next());
            sink.Write(gap.data(), gap.size());
        }
        std::vector<uint8_t> data = EntryData(e);
        layout.Blocks[index].Offset = sink.Position();
        if (e.CompressBlock && options.Level != 0 && !data.empty())
        {
            std::vector<uint8_t> packed = Compress(data.data(), data.size(), options.Level);
            if (packed.size() != data.size()) // equal sizes would read back as raw
            {
                sink.Write(packed.data(), packed.size());
                layout.Blocks[index].StoredSize = static_cast<uint32_t>(packed.size());
                continue;
            }
        }
        sink.Write(data.data(), data.size());
        layout.Blocks[index].StoredSize = static_cast<uint32_t>(data.size());
    }

    layout.TableOffset = sink.Position();
    for (size_t i = 0; i < entries.size(); ++i)
    {
        layout.RecordOffsets.push_back(sink.Position());
        std::vector<uint8_t> record = RecordBytes(entries[i], layout.Blocks[i], entries[i].Size, options.Level);
        sink.Write(record.data(), record.size());
    }
    WriteTailer(sink, layout.TableOffset, options.Description, static_cast<uint32_t>(entries.size()));
    layout.FileSize = sink.Position();
    sink.PatchU32(4, static_cast<uint32_t>(layout.FileSize));

    if (options.TrailingBytes)
    {
        std::vector<uint8_t> tail(options.TrailingBytes);
        for (uint8_t& b : tail)
            b = static_cast<uint8_t>(rng.Next());
        sink.Write(tail.data(), tail.size());
    }
    return layout;
}

Archive MakeArchive(const EntryOptions& entryOptions, const ArchiveOptions& archiveOptions)
{
    Archive archive;
    archive.Entries = MakeEntries(entryOptions);
    MemorySink sink;
    archive.Where = WriteArchive(archive.Entries, archiveOptions, sink);
    archive.Bytes = std::move(sink.Bytes);
    return archive;
}

void SortEntries(std::vector<Entry>& entries,
                 const std::function<bool(const std::u16string&, const std::u16string&)>& less)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const Entry& a, const Entry& b) { return less(a.NameWide, b.NameWide); });
}

std::vector<Hostile> AllHostile()
{
    return {Hostile::WrongMagic1,          Hostile::WrongMagic2,          Hostile::WrongUnk09,
            Hostile::WrongUnk10,           Hostile::WrongTailerMagic1,    Hostile::WrongTailerMagic2,
            Hostile::LengthWordsDiffer,    Hostile::RecordLongerThan512,  Hostile::RecordInflatesShort,
            Hostile::RecordInflatesLong,   Hostile::CorruptRecord,
            Hostile::EntryCountBeyondFile, Hostile::TablePastEnd,         Hostile::BlockPastEnd,
            Hostile::CorruptBlock,         Hostile::HugeOriginalSize,     Hostile::FileSizeBeyondFile,
            Hostile::FileSizeTooSmall,     Hostile::Truncated,            Hostile::TableInsideHeader,
            Hostile::EntryCountAtBound,    Hostile::EntryCountOnePast};
}

const char* HostileName(Hostile kind)
{
    switch (kind)
    {
    case Hostile::WrongMagic1: return "WrongMagic1";
    case Hostile::WrongMagic2: return "WrongMagic2";
    case Hostile::WrongUnk09: return "WrongUnk09";
    case Hostile::WrongUnk10: return "WrongUnk10";
    case Hostile::WrongTailerMagic1: return "WrongTailerMagic1";
    case Hostile::WrongTailerMagic2: return "WrongTailerMagic2";
    case Hostile::LengthWordsDiffer: return "LengthWordsDiffer";
    case Hostile::RecordLongerThan512: return "RecordLongerThan512";
    case Hostile::RecordInflatesShort: return "RecordInflatesShort";
    case Hostile::RecordInflatesLong: return "RecordInflatesLong";
    case Hostile::CorruptRecord: return "CorruptRecord";
    case Hostile::EntryCountBeyondFile: return "EntryCountBeyondFile";
    case Hostile::TablePastEnd: return "TablePastEnd";
    case Hostile::TableInsideHeader: return "TableInsideHeader";
    case Hostile::EntryCountAtBound: return "EntryCountAtBound";
    case Hostile::EntryCountOnePast: return "EntryCountOnePast";
    case Hostile::BlockPastEnd: return "BlockPastEnd";
    case Hostile::CorruptBlock: return "CorruptBlock";
    case Hostile::HugeOriginalSize: return "HugeOriginalSize";
    case Hostile::FileSizeBeyondFile: return "FileSizeBeyondFile";
    case Hostile::FileSizeTooSmall: return "FileSizeTooSmall";
    case Hostile::Truncated: return "Truncated";
    }
    return "?";
}

std::vector<uint8_t> MakeHostile(const Archive& a, Hostile kind)
{
    std::vector<uint8_t> b = a.Bytes;
    const uint64_t size = a.Where.FileSize;
    auto flip = [&](uint64_t at) { b[at] ^= 0x01; };
    switch (kind)
    {
    case Hostile::WrongMagic1: flip(0); break;
    case Hostile::WrongMagic2: flip(8); break;
    case Hostile::WrongUnk09: flip(size - 12); break;
    case Hostile::WrongUnk10: flip(size - 4); break;
    case Hostile::WrongTailerMagic1: flip(size - 280); break;
    case Hostile::WrongTailerMagic2: flip(size - 276); break;
    case Hostile::LengthWordsDiffer: flip(a.Where.TableOffset + 4); break;
    case Hostile::RecordLongerThan512:
        return RebuildTable(a, [](size_t i, std::vector<uint8_t>& r) {
            if (i != 0)
                return;
            r.resize(8 + 600, 0xAB);
            WriteU32(r.data(), 600 ^ kKeyA);
            WriteU32(r.data() + 4, 600 ^ kKeyB);
        });
    case Hostile::RecordInflatesShort:
        return RebuildTable(a, [](size_t i, std::vector<uint8_t>& r) {
            if (i == 0)
                r = PackedRecord(100);
        });
    case Hostile::RecordInflatesLong:
        return RebuildTable(a, [](size_t i, std::vector<uint8_t>& r) {
            if (i == 0)
                r = PackedRecord(300);
        });
    case Hostile::CorruptRecord:
        return RebuildTable(a, [](size_t i, std::vector<uint8_t>& r) {
            if (i != 0)
                return;
            // Same length, bytes that are no deflate stream: the record does not inflate.
            for (size_t k = 8; k < r.size(); ++k)
                r[k] = 0xFF;
        });
    case Hostile::EntryCountBeyondFile:
        WriteU32(&b[size - 8], 0x7FFFFFFF);
        break;
    case Hostile::TablePastEnd:
        WriteU32(&b[size - 272], static_cast<uint32_t>(b.size() + 1000) ^ kKeyA);
        break;
    case Hostile::TableInsideHeader:
        WriteU32(&b[size - 272], 11 ^ kKeyA);
        break;
    case Hostile::EntryCountAtBound:
    case Hostile::EntryCountOnePast:
    {
        const uint64_t fit = (size - 280 - a.Where.TableOffset) / 8;
        WriteU32(&b[size - 8], static_cast<uint32_t>(fit + (kind == Hostile::EntryCountOnePast ? 1 : 0)));
        break;
    }
    case Hostile::BlockPastEnd:
        return RebuildTable(a, [&](size_t i, std::vector<uint8_t>& r) {
            if (i == 0)
                r = RecordWith(a.Entries[0], a.Bytes.size() + 4096, a.Entries[0].Size, a.Where.Blocks[0].StoredSize);
        });
    case Hostile::CorruptBlock:
    {
        const Placement& p = a.Where.Blocks[FirstCompressed(a)];
        for (uint32_t k = 2; k < p.StoredSize && k < 10; ++k)
            b[p.Offset + k] = 0xFF;
        b[p.Offset + p.StoredSize - 1] ^= 0x5A; // the checksum too
        break;
    }
    case Hostile::HugeOriginalSize:
    {
        size_t index = FirstCompressed(a);
        return RebuildTable(a, [&](size_t i, std::vector<uint8_t>& r) {
            if (i == index)
                r = RecordWith(a.Entries[i], a.Where.Blocks[i].Offset, 0xFFFFFFF0u, a.Where.Blocks[i].StoredSize);
        });
    }
    case Hostile::FileSizeBeyondFile:
        WriteU32(&b[4], static_cast<uint32_t>(b.size() + 1000));
        break;
    case Hostile::FileSizeTooSmall:
        WriteU32(&b[4], 100);
        break;
    case Hostile::Truncated: b.resize(a.Where.TableOffset + (size - 280 - a.Where.TableOffset) / 2); break;
    }
    return b;
}
} // namespace PckGen
