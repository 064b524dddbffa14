#include "PW/Common/PwPackage.h"

#include "Components/XFileStream.h"
#include "PW/Common/PwError.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
// Messages name this unit and the line of the check, as the program's log has always shown them.
constexpr const char* kUnit = "..\\PW\\Common\\PwPackage.cpp";
constexpr int kLineMagic1 = 64;
constexpr int kLineMagic2 = 65;
constexpr int kLineFileSize = 66;
constexpr int kLineUnk09 = 73;
constexpr int kLineUnk10 = 74;
constexpr int kLineEntryCount = 75;
constexpr int kLineTailerMagic1 = 82;
constexpr int kLineTailerMagic2 = 83;
constexpr int kLineTableOffset = 84;
constexpr int kLineTableRecord = 100;
constexpr int kLineCompression = 156;
constexpr int kLineSaveOverSource = 166;
constexpr int kLineNothingToSave = 170;
constexpr int kLineTooLarge = 190;
constexpr int kLineNameTooLong = 207;
constexpr int kLineEntryCompression = 218;
constexpr int kLineDecompression = 275;
constexpr int kLineNotFound = 305;

constexpr unsigned kModeCreate = 1;
constexpr unsigned kModeReadOnly = 4;
constexpr uint32_t kMaxRecordLength = 512;
constexpr uint32_t kMaxNameChars = 520;
constexpr uint64_t kMaxArchiveSize = 0xFFFFFFFFull; // offsets and sizes are 32-bit fields
constexpr size_t kIoBufferSize = 1u << 20;
constexpr size_t kTableReadAhead = 64u * 1024;

[[noreturn]] void Fail(int line, const UnicodeString& text)
{
    throw UnitError(kUnit, line, text);
}

uint32_t GetU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// The most that deflate data of `stored` bytes can inflate to (its best ratio is about 1032:1).
uint64_t MaxInflated(uint32_t stored)
{
    return static_cast<uint64_t>(stored) * 1032u + 1024u;
}

// Sequential reads of one region of a stream through a read-ahead buffer; never past the region.
class RegionReader
{
public:
    RegionReader(XStream* stream, uint64_t begin, uint64_t end)
        : m_Stream(stream), m_Next(begin), m_End(end), m_Buffer(new uint8_t[kTableReadAhead])
    {
        m_Stream->SetPosition(static_cast<int64_t>(begin));
    }

    // False when fewer than `size` bytes remain in the region.
    bool Read(void* out, size_t size)
    {
        uint8_t* dst = static_cast<uint8_t*>(out);
        while (size > 0)
        {
            if (m_Used == m_Filled)
            {
                uint64_t left = m_End - m_Next;
                if (left == 0)
                    return false;
                m_Filled = static_cast<size_t>(std::min<uint64_t>(left, kTableReadAhead));
                m_Stream->ReadBuffer(m_Buffer.get(), static_cast<unsigned>(m_Filled));
                m_Next += m_Filled;
                m_Used = 0;
            }
            size_t n = std::min(size, m_Filled - m_Used);
            std::memcpy(dst, m_Buffer.get() + m_Used, n);
            m_Used += n;
            dst += n;
            size -= n;
        }
        return true;
    }

private:
    XStream* m_Stream;
    uint64_t m_Next;
    uint64_t m_End;
    std::unique_ptr<uint8_t[]> m_Buffer;
    size_t m_Used = 0;
    size_t m_Filled = 0;
};

// Buffered output that tracks the 64-bit position and refuses to grow past what the archive's
// 32-bit offsets can address.
class ArchiveWriter
{
public:
    explicit ArchiveWriter(XStream* stream) : m_Stream(stream), m_Buffer(new uint8_t[kIoBufferSize]) {}

    uint64_t Position() const { return m_Position; }

    void Write(const void* data, size_t size)
    {
        Reserve(size);
        const uint8_t* src = static_cast<const uint8_t*>(data);
        if (size >= kIoBufferSize)
        {
            Flush();
            m_Stream->WriteBuffer(src, static_cast<unsigned>(size));
            m_Position += size;
            return;
        }
        while (size > 0)
        {
            if (m_Used == kIoBufferSize)
                Flush();
            size_t n = std::min(size, kIoBufferSize - m_Used);
            std::memcpy(m_Buffer.get() + m_Used, src, n);
            m_Used += n;
            m_Position += n;
            src += n;
            size -= n;
        }
    }

    // Copies `size` bytes from the stream's current position straight into the output buffer.
    // A short read throws the stream's "Stream reading error.": a block is never cut silently.
    void CopyFrom(XStream* source, uint64_t size)
    {
        Reserve(size);
        while (size > 0)
        {
            if (m_Used == kIoBufferSize)
                Flush();
            uint32_t n = static_cast<uint32_t>(std::min<size_t>(size, kIoBufferSize - m_Used));
            source->ReadBuffer(m_Buffer.get() + m_Used, n);
            m_Used += n;
            m_Position += n;
            size -= n;
        }
    }

    void Flush()
    {
        if (m_Used)
            m_Stream->WriteBuffer(m_Buffer.get(), static_cast<unsigned>(m_Used));
        m_Used = 0;
    }

private:
    void Reserve(uint64_t size) const
    {
        if (m_Position + size > kMaxArchiveSize)
            Fail(kLineTooLarge, u"Package too large!");
    }

    XStream* m_Stream;
    std::unique_ptr<uint8_t[]> m_Buffer;
    size_t m_Used = 0;
    uint64_t m_Position = 0;
};

// Unchanged blocks that lie back to back in the archive are copied as one run, so that reads go
// in large pieces instead of one call per (often small) block. A run is bounded, so progress never
// gets far ahead of the bytes actually written.
class SourceRun
{
public:
    SourceRun(XStream* source, ArchiveWriter& out) : m_Source(source), m_Out(out) {}

    // Where the next block lands in the output.
    uint64_t Position() const { return m_Out.Position() + m_Length; }

    void Add(uint64_t offset, uint32_t size)
    {
        if (m_Length != 0 && offset != m_Start + m_Length)
            Flush();
        if (m_Length == 0)
            m_Start = offset;
        m_Length += size;
        if (m_Length >= kMaxRun)
            Flush();
    }

    void Flush()
    {
        if (m_Length == 0)
            return;
        if (m_SourcePosition != m_Start)
            m_Source->SetPosition(static_cast<int64_t>(m_Start));
        m_Out.CopyFrom(m_Source, m_Length);
        m_SourcePosition = m_Start + m_Length;
        m_Length = 0;
    }

private:
    static constexpr uint64_t kMaxRun = 8u << 20;

    XStream* m_Source;
    ArchiveWriter& m_Out;
    uint64_t m_Start = 0;
    uint64_t m_Length = 0;
    uint64_t m_SourcePosition = UINT64_MAX; // skips the seek when runs follow each other
};

// compress2 for many small inputs: the same bytes, but one deflate state serves every record
// instead of being set up and torn down per record (which costs more than the compression of a
// 276-byte record, and for 20,000 records most of a save's time).
class RecordCompressor
{
public:
    explicit RecordCompressor(int level) : m_Ready(level != 0 && deflateInit(&m_Stream, level) == Z_OK) {}
    ~RecordCompressor()
    {
        if (m_Ready)
            deflateEnd(&m_Stream);
    }
    RecordCompressor(const RecordCompressor&) = delete;
    RecordCompressor& operator=(const RecordCompressor&) = delete;

    // False when the level is not one zlib takes or the output does not fit.
    bool Compress(const uint8_t* data, uint32_t size, uint8_t* out, uLongf* outSize)
    {
        if (!m_Ready || deflateReset(&m_Stream) != Z_OK)
            return false;
        m_Stream.next_in = const_cast<Bytef*>(data);
        m_Stream.avail_in = size;
        m_Stream.next_out = out;
        m_Stream.avail_out = static_cast<uInt>(*outSize);
        if (deflate(&m_Stream, Z_FINISH) != Z_STREAM_END)
            return false;
        *outSize = m_Stream.total_out;
        return true;
    }

private:
    z_stream m_Stream{};
    bool m_Ready;
};

// One entry of the list that a save builds; the name stays owned by the package's entry.
struct SavedEntry
{
    const WCHAR* Name;
    uint32_t Offset;
    uint32_t OriginalSize;
    uint32_t StoredSize;
};

int Compare(const SavedEntry* a, const SavedEntry* b)
{
    return PwPackage::CompareNames(a->Name, b->Name);
}

template <class T> void InsertionSort(T** a, size_t n)
{
    for (size_t i = 1; i < n; ++i)
        for (size_t k = i; k > 0 && Compare(a[k], a[k - 1]) < 0; --k)
            std::swap(a[k], a[k - 1]);
}

template <class T> size_t Median3(T** a, size_t i, size_t j, size_t k)
{
    if (Compare(a[i], a[j]) < 0)
        return Compare(a[j], a[k]) < 0 ? j : (Compare(a[i], a[k]) < 0 ? k : i);
    return Compare(a[j], a[k]) > 0 ? j : (Compare(a[i], a[k]) < 0 ? i : k);
}

// Bentley-McIlroy quicksort with three-way partitioning. The pivot is a median of three, and the
// loop recurses into the smaller side only: a table that is already sorted (every re-save) costs
// n log n comparisons and a shallow stack instead of n^2 and a recursion per entry.
template <class T> void QuickSort3(T** a, size_t n)
{
    while (n > 7)
    {
        size_t m = Median3(a, 0, n / 2, n - 1);
        if (n > 40)
        {
            size_t s = n / 8;
            m = Median3(a, Median3(a, 0, s, 2 * s), Median3(a, n / 2 - s, n / 2, n / 2 + s),
                        Median3(a, n - 1 - 2 * s, n - 1 - s, n - 1));
        }
        std::swap(a[0], a[m]);
        T* pivot = a[0];
        size_t pa = 1, pb = 1, pc = n - 1, pd = n - 1;
        for (;;)
        {
            int r;
            while (pb <= pc && (r = Compare(a[pb], pivot)) <= 0)
            {
                if (r == 0)
                    std::swap(a[pa++], a[pb]);
                ++pb;
            }
            while (pb <= pc && (r = Compare(a[pc], pivot)) >= 0)
            {
                if (r == 0)
                    std::swap(a[pc], a[pd--]);
                --pc; // pc >= pb >= 1 here, so this never wraps
            }
            if (pb > pc)
                break;
            std::swap(a[pb++], a[pc--]);
        }
        // Move the equal runs from both ends into the middle.
        size_t s = std::min(pa, pb - pa);
        for (size_t k = 0; k < s; ++k)
            std::swap(a[k], a[pb - s + k]);
        s = std::min(pd - pc, n - 1 - pd);
        for (size_t k = 0; k < s; ++k)
            std::swap(a[pb + k], a[n - s + k]);

        size_t left = pb - pa;
        size_t right = pd - pc;
        T** rightStart = a + (n - right);
        if (left < right)
        {
            QuickSort3(a, left);
            a = rightStart;
            n = right;
        }
        else
        {
            QuickSort3(rightStart, right);
            n = left;
        }
    }
    InsertionSort(a, n);
}

// Writes one entry's data with the package's level: compressed (kept even when not smaller), or
// raw when the level is 0 or when compression happens to give exactly the input's size (such a
// block would read back as raw). Returns the stored size.
uint32_t WriteBlock(ArchiveWriter& out, const uint8_t* data, uint32_t size, int level)
{
    if (level == 0)
    {
        out.Write(data, size);
        return size;
    }
    uLongf capacity = std::max<uLongf>(static_cast<uLongf>(size) * 3 / 2 + 12, compressBound(size));
    std::unique_ptr<uint8_t[]> packed(new uint8_t[capacity]);
    if (compress2(packed.get(), &capacity, data, size, level) != Z_OK)
        Fail(kLineCompression, u"File compression failed!");
    if (capacity == size)
    {
        out.Write(data, size);
        return size;
    }
    out.Write(packed.get(), capacity);
    return static_cast<uint32_t>(capacity);
}

int32_t Percent(uint64_t i, uint64_t count, uint64_t scale)
{
    return static_cast<int32_t>(i * scale / count);
}
} // namespace

PwPackage::~PwPackage()
{
    Close();
}

int PwPackage::CompareNames(const WCHAR* a, const WCHAR* b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) - CSTR_EQUAL;
}

void PwPackage::SetProgress(int32_t value)
{
    if (value == Progress)
        return;
    Progress = value;
    if (NotifyWindow && NotifyMessage)
        SendMessageW(NotifyWindow, NotifyMessage, static_cast<WPARAM>(value), 100);
}

void PwPackage::Close()
{
    Entries.Clear();
    delete Source;
    Source = nullptr;
    m_SourcePath = XString();
}

void PwPackage::Open(const WCHAR* path)
{
    Close();
    // The archive is only read: a read-only backup must open.
    Source = new XFileStream(path, kModeReadOnly);
    m_SourcePath = path;
    try
    {
        SetProgress(0);
        const uint64_t realSize = static_cast<uint64_t>(Source->GetSize());

        uint8_t header[HeaderSize];
        Source->SetPosition(0);
        Source->ReadBuffer(header, sizeof header);
        if (GetU32(header) != Magic1)
            Fail(kLineMagic1, u"Wrong Magic1");
        if (GetU32(header + 8) != Magic2)
            Fail(kLineMagic2, u"Wrong Magic2");
        // The tailer is found from the recorded size, so bytes after it are tolerated; a recorded
        // size beyond the file, or too small to hold header and tailer, is not.
        const uint64_t fileSize = GetU32(header + 4);
        if (fileSize < HeaderSize + TailerSize || fileSize > realSize)
            Fail(kLineFileSize, u"Wrong FileSize");

        uint8_t tailer[TailerSize];
        Source->SetPosition(static_cast<int64_t>(fileSize - TailerSize));
        Source->ReadBuffer(tailer, sizeof tailer);
        if (GetU32(tailer + 268) != Unk09)
            Fail(kLineUnk09, u"Wrong Unk09");
        if (GetU32(tailer + 276) != Unk10)
            Fail(kLineUnk10, u"Wrong Unk10");
        if (GetU32(tailer) != TailerMagic1)
            Fail(kLineTailerMagic1, u"Wrong TailerMagic1");
        if (GetU32(tailer + 4) != TailerMagic2)
            Fail(kLineTailerMagic2, u"Wrong TailerMagic2");

        const uint64_t tableOffset = GetU32(tailer + 8) ^ KeyA;
        const uint64_t tableEnd = fileSize - TailerSize;
        if (tableOffset < HeaderSize || tableOffset > tableEnd)
            Fail(kLineTableOffset, u"Wrong TableOffset");
        const uint32_t count = GetU32(tailer + 272);
        // Every record takes at least its 8 bytes of length words.
        if (count > (tableEnd - tableOffset) / 8)
            Fail(kLineEntryCount, u"Wrong EntryCount");

        Entries.SetCapacity(count);
        RegionReader table(Source, tableOffset, tableEnd);
        uint8_t stored[kMaxRecordLength];
        uint8_t record[RecordSize];
        WCHAR name[kMaxNameChars + 1];
        for (uint32_t i = 0; i < count; ++i)
        {
            uint8_t lengths[8];
            if (!table.Read(lengths, sizeof lengths))
                Fail(kLineTableRecord, u"Wrong table record!");
            const uint32_t length = GetU32(lengths) ^ KeyA;
            if (length != (GetU32(lengths + 4) ^ KeyB) || length > kMaxRecordLength || !table.Read(stored, length))
                Fail(kLineTableRecord, u"Wrong table record!");
            if (length == RecordSize)
            {
                std::memcpy(record, stored, RecordSize);
            }
            else
            {
                uLongf produced = RecordSize;
                int z = uncompress(record, &produced, stored, length);
                if (z == Z_DATA_ERROR || z == Z_MEM_ERROR)
                    continue; // a record that does not inflate is skipped, without a progress step
                if (z != Z_OK || produced != RecordSize)
                    Fail(kLineTableRecord, u"Wrong table record!");
            }

            const uint8_t* words = record + NameSize;
            auto entry = std::make_unique<PwEntry>();
            entry->Reserved1 = GetU32(words);
            entry->Offset = GetU32(words + 4);
            entry->OriginalSize = GetU32(words + 8);
            entry->StoredSize = GetU32(words + 12);
            entry->Reserved2 = GetU32(words + 16);
            if (static_cast<uint64_t>(entry->Offset) + entry->StoredSize > fileSize ||
                (entry->StoredSize != entry->OriginalSize && entry->OriginalSize > MaxInflated(entry->StoredSize)))
                Fail(kLineTableRecord, u"Wrong table record!");

            const void* end = std::memchr(record, 0, NameSize);
            int nameBytes = end ? static_cast<int>(static_cast<const uint8_t*>(end) - record) : static_cast<int>(NameSize);
            int chars = nameBytes ? MultiByteToWideChar(CP_GBK, 0, reinterpret_cast<const char*>(record), nameBytes,
                                                        name, kMaxNameChars)
                                  : 0;
            name[chars > 0 ? chars : 0] = 0;
            entry->Name = name;
            Entries.Add(entry.release());
            SetProgress(Percent(i, count, 100));
        }
        SetProgress(100);
    }
    catch (...)
    {
        Close();
        throw;
    }
}

int PwPackage::FindIndex(const WCHAR* name) const
{
    for (uint32_t i = 0; i < Entries.GetCount(); ++i)
        if (CompareNames(name, Entries.GetData()[i]->Name.c_str()) == 0)
            return static_cast<int>(i);
    return -1;
}

PwEntry* PwPackage::Find(const WCHAR* name) const
{
    int i = FindIndex(name);
    return i < 0 ? nullptr : Entries.GetData()[i];
}

bool PwPackage::Rename(const WCHAR* oldName, const WCHAR* newName)
{
    PwEntry* entry = Find(oldName);
    if (!entry)
        return false;
    entry->Name = newName;
    return true;
}

bool PwPackage::Delete(const WCHAR* name)
{
    int i = FindIndex(name);
    return i >= 0 && Entries.Delete(static_cast<uint32_t>(i));
}

void PwPackage::AddFromDisk(const WCHAR* name, const WCHAR* filePath)
{
    auto entry = std::make_unique<PwEntry>();
    entry->Name = name;
    entry->DiskPath = filePath;
    Entries.Add(entry.release());
}

void PwPackage::AddFromMemory(const WCHAR* name, uint8_t* buffer, uint32_t size)
{
    auto entry = std::make_unique<PwEntry>();
    entry->Name = name;
    entry->Buffer = buffer;
    entry->BufferSize = size;
    Entries.Add(entry.release());
}

void PwPackage::Extract(const WCHAR* name, XStream* output)
{
    const PwEntry* entry = Find(name);
    if (!entry)
        Fail(kLineNotFound, UnicodeString(u"File <") + UnicodeString(name) + UnicodeString(u"> not found!"));
    Extract(entry, output);
}

void PwPackage::Extract(const PwEntry* entry, XStream* output)
{
    // An entry added since Open has no block in the archive yet: its bytes are its own.
    if (entry->Buffer)
    {
        output->WriteBuffer(entry->Buffer, entry->BufferSize);
        return;
    }
    if (!entry->DiskPath.IsEmpty())
    {
        XFileStream file(entry->DiskPath.c_str(), kModeReadOnly);
        CopyStream(output, &file, file.GetSize());
        return;
    }
    if (!Source)
        Fail(kLineNotFound, UnicodeString(u"File <") + UnicodeString(entry->Name.c_str()) +
                                UnicodeString(u"> not found!"));

    std::unique_ptr<uint8_t[]> stored(new uint8_t[entry->StoredSize ? entry->StoredSize : 1]);
    Source->SetPosition(entry->Offset);
    Source->ReadBuffer(stored.get(), entry->StoredSize);
    if (entry->OriginalSize == entry->StoredSize)
    {
        output->WriteBuffer(stored.get(), entry->StoredSize);
        return;
    }
    uLongf produced = entry->OriginalSize;
    std::unique_ptr<uint8_t[]> data(new uint8_t[produced ? produced : 1]);
    if (uncompress(data.get(), &produced, stored.get(), entry->StoredSize) != Z_OK)
        Fail(kLineDecompression, u"File decompression failed!");
    output->WriteBuffer(data.get(), static_cast<unsigned>(produced));
}

void PwPackage::Save(const WCHAR* path, int level, const char* description)
{
    if (Source && Platform::SameFile(path, m_SourcePath.c_str()))
        Fail(kLineSaveOverSource, u"Cannot save over the opened package!");
    XFileStream file(path, kModeCreate);
    const uint32_t count = Entries.GetCount();
    if (count == 0)
        Fail(kLineNothingToSave, u"Nothing to save!");
    SetProgress(0);

    ArchiveWriter out(&file);
    uint8_t header[HeaderSize];
    PutU32(header, Magic1);
    PutU32(header + 4, 0);
    PutU32(header + 8, Magic2);
    out.Write(header, sizeof header);

    std::vector<SavedEntry> saved(count);
    SourceRun run(Source, out);
    for (uint32_t i = 0; i < count; ++i)
    {
        const PwEntry* entry = Entries.GetData()[i];
        SavedEntry& s = saved[i];
        s = SavedEntry{entry->Name.c_str(), static_cast<uint32_t>(run.Position()), 0, 0};
        if (!entry->DiskPath.IsEmpty())
        {
            run.Flush();
            XFileStream disk(entry->DiskPath.c_str(), kModeReadOnly);
            int64_t size = disk.GetSize();
            if (size < 0 || static_cast<uint64_t>(size) > kMaxArchiveSize)
                Fail(kLineTooLarge, u"Package too large!");
            std::unique_ptr<uint8_t[]> data(new uint8_t[size ? size : 1]);
            disk.ReadBuffer(data.get(), static_cast<unsigned>(size));
            s.OriginalSize = static_cast<uint32_t>(size);
            s.StoredSize = WriteBlock(out, data.get(), s.OriginalSize, level);
        }
        else if (entry->Buffer)
        {
            run.Flush();
            s.OriginalSize = entry->BufferSize;
            s.StoredSize = WriteBlock(out, entry->Buffer, entry->BufferSize, level);
        }
        else if (Source)
        {
            // A block read from the archive is copied as it is, never recompressed.
            s.OriginalSize = entry->OriginalSize;
            s.StoredSize = entry->StoredSize;
            run.Add(entry->Offset, entry->StoredSize);
        }
        SetProgress(Percent(i, count, 50));
    }
    run.Flush();

    std::vector<SavedEntry*> order(count);
    for (uint32_t i = 0; i < count; ++i)
        order[i] = &saved[i];
    QuickSort3(order.data(), order.size());
    SetProgress(60);

    const uint64_t tableOffset = out.Position();
    RecordCompressor records(level);
    for (uint32_t i = 0; i < count; ++i)
    {
        const SavedEntry& s = *order[i];
        uint8_t record[RecordSize] = {};
        int nameLength = lstrlenW(s.Name);
        if (nameLength > 0)
        {
            int needed = WideCharToMultiByte(CP_GBK, 0, s.Name, nameLength, nullptr, 0, nullptr, nullptr);
            if (needed > static_cast<int>(NameSize))
                Fail(kLineNameTooLong, u"Entry name too long!");
            WideCharToMultiByte(CP_GBK, 0, s.Name, nameLength, reinterpret_cast<char*>(record), NameSize, nullptr,
                                nullptr);
        }
        PutU32(record + 260, s.Offset);
        PutU32(record + 264, s.OriginalSize);
        PutU32(record + 268, s.StoredSize);

        uint8_t packed[400];
        const uint8_t* bytes = record;
        uint32_t length = RecordSize;
        if (level != 0)
        {
            uLongf size = sizeof packed;
            if (!records.Compress(record, RecordSize, packed, &size))
                Fail(kLineEntryCompression, u"File entry compression failed!");
            // A record of exactly 276 stored bytes is always read as raw.
            if (size != RecordSize)
            {
                bytes = packed;
                length = static_cast<uint32_t>(size);
            }
        }
        uint8_t lengths[8];
        PutU32(lengths, length ^ KeyA);
        PutU32(lengths + 4, length ^ KeyB);
        out.Write(lengths, sizeof lengths);
        out.Write(bytes, length);
        SetProgress(60 + Percent(i, count, 40));
    }

    uint8_t tailer[TailerSize] = {};
    PutU32(tailer, TailerMagic1);
    PutU32(tailer + 4, TailerMagic2);
    PutU32(tailer + 8, static_cast<uint32_t>(tableOffset) ^ KeyA);
    // At most 255 bytes, so the field always ends with a zero.
    if (description)
        std::memcpy(tailer + 12, description, strnlen(description, NameSize - 1));
    PutU32(tailer + 268, Unk09);
    PutU32(tailer + 272, count);
    PutU32(tailer + 276, Unk10);
    out.Write(tailer, sizeof tailer);
    out.Flush();

    uint8_t size[4];
    PutU32(size, static_cast<uint32_t>(out.Position()));
    file.SetPosition(4);
    file.WriteBuffer(size, sizeof size);
    SetProgress(100);
}
