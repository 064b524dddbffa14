#include "PW/Common/PwPackage.h"

#include "Components/XFileStream.h"
#include "PW/Common/PwError.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
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
// 32-bit offsets can address. It writes through the stream; when it also has the stream's file
// handle, the kernel can copy unchanged blocks from the archive page by page (as cp does) instead
// of through this process's memory.
class ArchiveWriter
{
public:
    ArchiveWriter(XStream* stream, HANDLE file)
        : m_Stream(stream), m_File(file), m_Buffer(new uint8_t[kIoBufferSize])
    {
    }

    uint64_t Position() const { return m_Position; }
    // Bytes that have reached the file.
    uint64_t Written() const { return m_Position - m_Used; }
    bool Native() const { return m_File != nullptr; }

    void Write(const void* data, size_t size)
    {
        Reserve(size);
        const uint8_t* src = static_cast<const uint8_t*>(data);
        if (size >= kIoBufferSize)
        {
            Flush();
            Put(src, size);
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

    // The same from a file handle at `offset` (its position stays), copied by the kernel. Where
    // the kernel cannot (another file system, an old kernel, an error), the bytes go through the
    // buffer, where a short or failed read throws "Stream reading error." as above.
    void CopyFrom(HANDLE source, uint64_t offset, uint64_t size)
    {
        Reserve(size);
        Flush();
        while (size > 0 && m_KernelCopy)
        {
            int64_t n = Platform::CopyFileRange(source, offset, m_File, size);
            if (n <= 0)
            {
                // 0 is the end of the archive: the buffered read below says so with the usual error.
                if (n < 0)
                    m_KernelCopy = false;
                break;
            }
            offset += static_cast<uint64_t>(n);
            size -= static_cast<uint64_t>(n);
            m_Position += static_cast<uint64_t>(n);
        }
        while (size > 0)
        {
            if (m_Used == kIoBufferSize)
                Flush();
            size_t n = static_cast<size_t>(std::min<uint64_t>(size, kIoBufferSize - m_Used));
            int64_t got = Platform::ReadFileAt(source, m_Buffer.get() + m_Used, n, offset);
            if (got <= 0)
                throw "Stream reading error.";
            m_Used += static_cast<size_t>(got);
            m_Position += static_cast<uint64_t>(got);
            offset += static_cast<uint64_t>(got);
            size -= static_cast<uint64_t>(got);
        }
    }

    void Flush()
    {
        if (m_Used)
            Put(m_Buffer.get(), m_Used);
        m_Used = 0;
    }

    // Writes a 32-bit field at an earlier place of the file (after Flush).
    void Patch(uint64_t offset, const uint8_t (&bytes)[4])
    {
        m_Stream->SetPosition(static_cast<int64_t>(offset));
        m_Stream->WriteBuffer(bytes, sizeof bytes);
    }

private:
    void Reserve(uint64_t size) const
    {
        if (m_Position + size > kMaxArchiveSize)
            Fail(kLineTooLarge, u"Package too large!");
    }

    // Writes bytes at the file's position; the size of `data` never exceeds an entry's 32 bits.
    void Put(const uint8_t* data, size_t size) { m_Stream->WriteBuffer(data, static_cast<unsigned>(size)); }

    XStream* m_Stream;
    HANDLE m_File; // the stream's file, when the kernel may copy into it
    bool m_KernelCopy = true;
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
    // `sourceFile` is the handle of the source stream's file, or null.
    SourceRun(XStream* source, HANDLE sourceFile, ArchiveWriter& out)
        : m_Source(source), m_SourceFile(out.Native() ? sourceFile : nullptr), m_Out(out)
    {
    }

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
            FlushAligned();
    }

    void Flush()
    {
        if (m_Length == 0)
            return;
        if (m_SourceFile)
        {
            m_Out.CopyFrom(m_SourceFile, m_Start, m_Length);
            m_Length = 0;
            return;
        }
        if (m_SourcePosition != m_Start)
            m_Source->SetPosition(static_cast<int64_t>(m_Start));
        m_Out.CopyFrom(m_Source, m_Length);
        m_SourcePosition = m_Start + m_Length;
        m_Length = 0;
    }

private:
    static constexpr uint64_t kMaxRun = 64u << 20;
    static constexpr uint64_t kRunAlignment = 1u << 20;

    // Copies the run up to the last aligned offset of the archive and keeps the rest as the start
    // of the next run: the kernel copies whole pages markedly faster when a copy starts and ends
    // on page boundaries instead of at the edges of entries.
    void FlushAligned()
    {
        const uint64_t end = m_Start + m_Length;
        const uint64_t cut = end & ~(kRunAlignment - 1);
        if (!m_SourceFile || cut <= m_Start)
        {
            Flush();
            return;
        }
        m_Out.CopyFrom(m_SourceFile, m_Start, cut - m_Start);
        m_Start = cut;
        m_Length = end - cut;
    }

    XStream* m_Source;
    HANDLE m_SourceFile;
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

// uncompress for many small records, with the same results: one inflate state serves every
// record instead of being set up and torn down per record.
class RecordInflater
{
public:
    RecordInflater() : m_Ready(inflateInit(&m_Stream) == Z_OK) {}
    ~RecordInflater()
    {
        if (m_Ready)
            inflateEnd(&m_Stream);
    }
    RecordInflater(const RecordInflater&) = delete;
    RecordInflater& operator=(const RecordInflater&) = delete;

    int Uncompress(uint8_t* out, uLongf* outSize, const uint8_t* data, uint32_t size)
    {
        if (!m_Ready || inflateReset(&m_Stream) != Z_OK)
            return uncompress(out, outSize, data, size);
        m_Stream.next_in = const_cast<Bytef*>(data);
        m_Stream.avail_in = size;
        m_Stream.next_out = out;
        m_Stream.avail_out = static_cast<uInt>(*outSize);
        int z = inflate(&m_Stream, Z_FINISH);
        *outSize = m_Stream.total_out;
        if (z == Z_STREAM_END)
            return Z_OK;
        // As uncompress reports them: a dictionary, or input that ends with room left, is bad data.
        if (z == Z_NEED_DICT || (z == Z_BUF_ERROR && m_Stream.avail_out > 0))
            return Z_DATA_ERROR;
        return z == Z_OK ? Z_BUF_ERROR : z;
    }

private:
    z_stream m_Stream{};
    bool m_Ready;
};

// One entry's stored bytes at the package's level: compressed (kept even when not smaller), or
// raw when the level is 0 or when compression happens to give exactly the input's size (such a
// block would read back as raw). `data` must outlive the result when it is returned raw.
struct PackedBlock
{
    std::unique_ptr<uint8_t[]> Owned;
    const uint8_t* Bytes = nullptr;
    uint32_t StoredSize = 0;
};

PackedBlock PackBlock(const uint8_t* data, uint32_t size, int level)
{
    PackedBlock block;
    block.Bytes = data;
    block.StoredSize = size;
    if (level == 0)
        return block;
    uLongf capacity = std::max<uLongf>(static_cast<uLongf>(size) * 3 / 2 + 12, compressBound(size));
    std::unique_ptr<uint8_t[]> packed(new uint8_t[capacity]);
    if (compress2(packed.get(), &capacity, data, size, level) != Z_OK)
        Fail(kLineCompression, u"File compression failed!");
    if (capacity == size)
        return block;
    block.Owned = std::move(packed);
    block.Bytes = block.Owned.get();
    block.StoredSize = static_cast<uint32_t>(capacity);
    return block;
}

// Names in code page 936 as the table stores them, checked before anything is written.
class TableNames
{
public:
    void Add(const WCHAR* name)
    {
        int length = lstrlenW(name);
        const size_t start = m_Bytes.size();
        // Code page 936 keeps ASCII as it is, and most names are ASCII.
        bool ascii = true;
        for (int i = 0; i < length && ascii; ++i)
            ascii = name[i] < 0x80;
        if (ascii)
        {
            if (length > static_cast<int>(PwPackage::NameSize))
                Fail(kLineNameTooLong, u"Entry name too long!");
            m_Bytes.insert(m_Bytes.end(), name, name + length);
        }
        else
        {
            int needed = WideCharToMultiByte(CP_GBK, 0, name, length, nullptr, 0, nullptr, nullptr);
            if (needed > static_cast<int>(PwPackage::NameSize))
                Fail(kLineNameTooLong, u"Entry name too long!");
            if (needed > 0)
            {
                m_Bytes.resize(start + static_cast<size_t>(needed));
                int made = WideCharToMultiByte(CP_GBK, 0, name, length, m_Bytes.data() + start, needed, nullptr,
                                               nullptr);
                m_Bytes.resize(start + static_cast<size_t>(std::max(made, 0)));
            }
        }
        m_Starts.push_back(static_cast<uint32_t>(start));
    }

    // Copies name i into a zeroed record (at most 256 bytes, so with or without a terminator). An
    // empty name copies nothing: when every name is empty there are no bytes to point at at all.
    void CopyTo(uint32_t i, uint8_t* record) const
    {
        const uint32_t end = i + 1 < m_Starts.size() ? m_Starts[i + 1] : static_cast<uint32_t>(m_Bytes.size());
        if (end > m_Starts[i])
            std::memcpy(record, m_Bytes.data() + m_Starts[i], end - m_Starts[i]);
    }

private:
    std::vector<char> m_Bytes;
    std::vector<uint32_t> m_Starts;
};

// One entry of the list that a save builds; the name stays owned by the package's entry.
struct SavedEntry
{
    const WCHAR* Name;
    uint32_t Index; // in the package's list, for the table name
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

// The part of a save that does not depend on the bytes already written: reading and compressing
// the added entries, then laying out the table and compressing its records. Worker threads do it
// while the saving thread copies the unchanged blocks; the saving thread takes the results in file
// order and writes them itself, so the file is byte for byte what one thread would write, and an
// error reaches the caller where one thread would have met it. A thread that waits for a result
// takes on pending work itself, so the save also completes when no worker could be started.
class SaveWork
{
public:
    struct Block
    {
        PackedBlock Packed;
        std::unique_ptr<uint8_t[]> Data; // an entry's bytes read from its disk file
        uint64_t Held = 0;
        std::exception_ptr Error;
        bool Done = false;
    };

    struct Chunk
    {
        std::vector<uint8_t> Bytes; // length words and stored records, in table order
        std::vector<uint32_t> Ends; // where each record ends in Bytes
        std::exception_ptr Error;
        bool Done = false;
    };

    SaveWork(const PwEntries& entries, std::vector<SavedEntry>& saved, const TableNames& names, int level)
        : m_Entries(entries), m_Saved(saved), m_Names(names), m_Level(level)
    {
        for (uint32_t i = 0; i < saved.size(); ++i)
            if (IsAdded(entries.GetData()[i]))
                m_Added.push_back(i);
        m_Blocks.resize(m_Added.size());
        m_Order.resize(saved.size());
        m_Chunks.resize((saved.size() + kChunkRecords - 1) / kChunkRecords);
        const unsigned cores = std::thread::hardware_concurrency();
        const size_t tasks = m_Added.size() + m_Chunks.size() + 1;
        const size_t workers = std::min<size_t>({cores > 2 ? cores - 1 : 1, kMaxWorkers, tasks});
        try
        {
            for (size_t i = 0; i < workers; ++i)
                m_Threads.emplace_back([this] { Run(); });
        }
        catch (const std::system_error&)
        {
            // Fewer workers, or none: the saving thread does the rest when it waits.
        }
    }

    ~SaveWork()
    {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Stop = true;
        }
        m_Wake.notify_all();
        for (std::thread& t : m_Threads)
            t.join();
    }

    SaveWork(const SaveWork&) = delete;
    SaveWork& operator=(const SaveWork&) = delete;

    static bool IsAdded(const PwEntry* entry) { return !entry->DiskPath.IsEmpty() || entry->Buffer; }

    // The next added entry's stored bytes, in list order; rethrows what reading or compressing it
    // threw. Valid until NextBlockWritten.
    const PackedBlock& NextBlock()
    {
        Block& block = m_Blocks[m_Taken];
        WaitFor([&] { return block.Done; });
        if (block.Error)
            std::rethrow_exception(block.Error);
        return block.Packed;
    }

    void NextBlockWritten()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        Block& block = m_Blocks[m_Taken++];
        m_Held -= block.Held;
        block.Packed = PackedBlock();
        block.Data.reset();
        m_Wake.notify_all();
    }

    // Waits until every entry has its offset and the table order is known.
    void WaitForLayout()
    {
        WaitFor([&] { return m_LayoutDone; });
    }

    size_t ChunkCount() const { return m_Chunks.size(); }

    // Chunk c of the table records; rethrows what compressing them threw.
    const Chunk& TakeChunk(size_t c)
    {
        Chunk& chunk = m_Chunks[c];
        WaitFor([&] { return chunk.Done; });
        if (chunk.Error)
            std::rethrow_exception(chunk.Error);
        return chunk;
    }

private:
    static constexpr size_t kMaxWorkers = 4;
    static constexpr uint32_t kChunkRecords = 2048;
    // Added entries are read and compressed ahead of the writer only while the finished ones
    // waiting to be written hold less than this.
    static constexpr uint64_t kHeldBudget = 64u << 20;

    enum class Kind
    {
        None,
        Block,
        Layout,
        Chunk
    };
    struct Task
    {
        Kind What = Kind::None;
        size_t Index = 0;
    };

    // Called with the lock held.
    Task Claim()
    {
        if (m_Stop)
            return {};
        if (m_NextBlock < m_Blocks.size() && !m_Failed && (m_NextBlock == m_Taken || m_Held < kHeldBudget))
            return {Kind::Block, m_NextBlock++};
        if (!m_LayoutClaimed && m_BlocksDone == m_Blocks.size() && !m_Failed)
        {
            m_LayoutClaimed = true;
            return {Kind::Layout, 0};
        }
        if (m_LayoutDone && m_NextChunk < m_Chunks.size())
            return {Kind::Chunk, m_NextChunk++};
        return {};
    }

    template <class Ready> void WaitFor(Ready ready)
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        while (!ready())
        {
            Task task = Claim();
            if (task.What == Kind::None)
            {
                m_Wake.wait(lock);
                continue;
            }
            lock.unlock();
            Do(task, m_OwnCompressor);
            lock.lock();
        }
    }

    void Run()
    {
        std::unique_ptr<RecordCompressor> compressor;
        std::unique_lock<std::mutex> lock(m_Mutex);
        while (!m_Stop)
        {
            Task task = Claim();
            if (task.What == Kind::None)
            {
                m_Wake.wait(lock);
                continue;
            }
            lock.unlock();
            Do(task, compressor);
            lock.lock();
        }
    }

    void Do(const Task& task, std::unique_ptr<RecordCompressor>& compressor)
    {
        switch (task.What)
        {
        case Kind::Block:
            DoBlock(task.Index);
            break;
        case Kind::Layout:
            DoLayout();
            break;
        case Kind::Chunk:
            DoChunk(task.Index, compressor);
            break;
        case Kind::None:
            break;
        }
    }

    void DoBlock(size_t k)
    {
        Block& block = m_Blocks[k];
        const PwEntry* entry = m_Entries.GetData()[m_Added[k]];
        SavedEntry& saved = m_Saved[m_Added[k]];
        try
        {
            if (!entry->DiskPath.IsEmpty())
            {
                XFileStream disk(entry->DiskPath.c_str(), kModeReadOnly);
                int64_t size = disk.GetSize();
                if (size < 0 || static_cast<uint64_t>(size) > kMaxArchiveSize)
                    Fail(kLineTooLarge, u"Package too large!");
                block.Data.reset(new uint8_t[size ? size : 1]);
                disk.ReadBuffer(block.Data.get(), static_cast<unsigned>(size));
                saved.OriginalSize = static_cast<uint32_t>(size);
                block.Packed = PackBlock(block.Data.get(), saved.OriginalSize, m_Level);
                if (block.Packed.Owned)
                    block.Data.reset();
            }
            else
            {
                saved.OriginalSize = entry->BufferSize;
                block.Packed = PackBlock(entry->Buffer, entry->BufferSize, m_Level);
            }
            saved.StoredSize = block.Packed.StoredSize;
            block.Held = block.Packed.Owned || block.Data ? block.Packed.StoredSize : 0;
        }
        catch (...)
        {
            block.Error = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(m_Mutex);
        block.Done = true;
        ++m_BlocksDone;
        m_Held += block.Held;
        m_Failed = m_Failed || block.Error;
        m_Wake.notify_all();
    }

    // Offsets follow from the sizes: the blocks lie back to back in list order after the header.
    void DoLayout()
    {
        uint64_t position = PwPackage::HeaderSize;
        for (size_t i = 0; i < m_Saved.size(); ++i)
        {
            m_Saved[i].Offset = static_cast<uint32_t>(position); // past 4 GiB the writer refuses first
            position += m_Saved[i].StoredSize;
            m_Order[i] = &m_Saved[i];
        }
        QuickSort3(m_Order.data(), m_Order.size());
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_LayoutDone = true;
        m_Wake.notify_all();
    }

    void DoChunk(size_t c, std::unique_ptr<RecordCompressor>& compressor)
    {
        Chunk& chunk = m_Chunks[c];
        const size_t begin = c * kChunkRecords;
        const size_t end = std::min(m_Order.size(), begin + kChunkRecords);
        try
        {
            if (m_Level != 0 && !compressor)
                compressor = std::make_unique<RecordCompressor>(m_Level);
            chunk.Bytes.reserve((end - begin) * (8 + PwPackage::RecordSize));
            chunk.Ends.reserve(end - begin);
            for (size_t i = begin; i < end; ++i)
            {
                const SavedEntry& s = *m_Order[i];
                uint8_t record[PwPackage::RecordSize] = {};
                m_Names.CopyTo(s.Index, record);
                PutU32(record + 260, s.Offset);
                PutU32(record + 264, s.OriginalSize);
                PutU32(record + 268, s.StoredSize);

                uint8_t packed[400];
                const uint8_t* bytes = record;
                uint32_t length = PwPackage::RecordSize;
                if (m_Level != 0)
                {
                    uLongf size = sizeof packed;
                    if (!compressor->Compress(record, PwPackage::RecordSize, packed, &size))
                        Fail(kLineEntryCompression, u"File entry compression failed!");
                    // A record of exactly 276 stored bytes is always read as raw.
                    if (size != PwPackage::RecordSize)
                    {
                        bytes = packed;
                        length = static_cast<uint32_t>(size);
                    }
                }
                uint8_t lengths[8];
                PutU32(lengths, length ^ PwPackage::KeyA);
                PutU32(lengths + 4, length ^ PwPackage::KeyB);
                chunk.Bytes.insert(chunk.Bytes.end(), lengths, lengths + sizeof lengths);
                chunk.Bytes.insert(chunk.Bytes.end(), bytes, bytes + length);
                chunk.Ends.push_back(static_cast<uint32_t>(chunk.Bytes.size()));
            }
        }
        catch (...)
        {
            chunk.Error = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(m_Mutex);
        chunk.Done = true;
        m_Wake.notify_all();
    }

    const PwEntries& m_Entries;
    std::vector<SavedEntry>& m_Saved;
    const TableNames& m_Names;
    const int m_Level;
    std::vector<uint32_t> m_Added; // list indexes of the entries whose blocks are made here
    std::vector<Block> m_Blocks;   // parallel to m_Added
    std::vector<SavedEntry*> m_Order;
    std::vector<Chunk> m_Chunks;
    std::unique_ptr<RecordCompressor> m_OwnCompressor; // the saving thread's, when it helps

    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    size_t m_NextBlock = 0;  // next block to claim
    size_t m_BlocksDone = 0;
    size_t m_Taken = 0;      // next block the writer takes
    uint64_t m_Held = 0;     // bytes of finished blocks not yet written
    bool m_Failed = false;   // a block failed: the save stops there, the table is not needed
    bool m_LayoutClaimed = false;
    bool m_LayoutDone = false;
    size_t m_NextChunk = 0;
    bool m_Stop = false;
    std::vector<std::thread> m_Threads; // last: started once everything above exists
};

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
    m_SkippedRecords = 0;
    m_OpenedSource = nullptr;
    m_SourceFile = nullptr;
}

void PwPackage::Open(const WCHAR* path)
{
    Close();
    // The archive is only read: a read-only backup must open.
    XFileStream* stream = new XFileStream(path, kModeReadOnly);
    Source = stream;
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
        RecordInflater inflater;
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
                int z = inflater.Uncompress(record, &produced, stored, length);
                if (z == Z_DATA_ERROR || z == Z_MEM_ERROR)
                {
                    // Skipped without an entry and without a progress step; counted, so that the
                    // caller can say that a save leaves it out.
                    ++m_SkippedRecords;
                    continue;
                }
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
            int chars = 0;
            while (chars < nameBytes && record[chars] < 0x80) // code page 936 keeps ASCII as it is
            {
                name[chars] = record[chars];
                ++chars;
            }
            if (chars < nameBytes)
                chars = MultiByteToWideChar(CP_GBK, 0, reinterpret_cast<const char*>(record), nameBytes, name,
                                            kMaxNameChars);
            name[chars > 0 ? chars : 0] = 0;
            entry->Name = name;
            Entries.Add(entry.release());
            SetProgress(Percent(i, count, 100));
        }
        m_OpenedSource = stream;
        m_SourceFile = stream->GetHandle();
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
    const uint32_t count = Entries.GetCount();
    // Every name is checked before the file is created: one that does not fit the table fails the
    // save before a gigabyte of blocks is written, and an existing file stays as it was.
    TableNames names;
    for (uint32_t i = 0; i < count; ++i)
        names.Add(Entries.GetData()[i]->Name.c_str());
    XFileStream file(path, kModeCreate);
    if (count == 0)
        Fail(kLineNothingToSave, u"Nothing to save!");
    SetProgress(0);

    // Sizes of the copied blocks are known now, those of added entries once they are compressed.
    std::vector<SavedEntry> saved(count);
    uint64_t knownEnd = HeaderSize; // where the first added entry's block begins
    bool added = false;
    for (uint32_t i = 0; i < count; ++i)
    {
        const PwEntry* entry = Entries.GetData()[i];
        saved[i] = SavedEntry{entry->Name.c_str(), i, 0, 0, 0};
        if (SaveWork::IsAdded(entry))
        {
            added = true;
        }
        else if (Source)
        {
            saved[i].OriginalSize = entry->OriginalSize;
            saved[i].StoredSize = entry->StoredSize;
            if (!added)
                knownEnd += entry->StoredSize;
        }
    }

    ArchiveWriter out(&file, file.GetHandle());
    // The handle Open made, while Source is still its stream: the kernel copies from it.
    HANDLE sourceFile = Source && Source == m_OpenedSource ? m_SourceFile : nullptr;
    if (sourceFile)
        Platform::AdviseSequentialRead(sourceFile);
    // The file system lays out the known part of the file in one go instead of page by page.
    const bool reserved = knownEnd <= kMaxArchiveSize && Platform::ReserveFileSpace(file.GetHandle(), knownEnd);
    try
    {
        SaveWork work(Entries, saved, names, level);
        uint8_t header[HeaderSize];
        PutU32(header, Magic1);
        PutU32(header + 4, 0);
        PutU32(header + 8, Magic2);
        out.Write(header, sizeof header);

        SourceRun run(Source, sourceFile, out);
        for (uint32_t i = 0; i < count; ++i)
        {
            const PwEntry* entry = Entries.GetData()[i];
            if (SaveWork::IsAdded(entry))
            {
                run.Flush();
                const PackedBlock& block = work.NextBlock();
                out.Write(block.Bytes, block.StoredSize);
                work.NextBlockWritten();
            }
            else if (Source)
            {
                // A block read from the archive is copied as it is, never recompressed.
                run.Add(entry->Offset, entry->StoredSize);
            }
            SetProgress(Percent(i, count, 50));
        }
        run.Flush();

        work.WaitForLayout();
        SetProgress(60);

        const uint64_t tableOffset = out.Position();
        uint32_t i = 0;
        for (size_t c = 0; c < work.ChunkCount(); ++c)
        {
            const SaveWork::Chunk& chunk = work.TakeChunk(c);
            uint32_t from = 0;
            for (uint32_t end : chunk.Ends)
            {
                out.Write(chunk.Bytes.data() + from, end - from);
                from = end;
                SetProgress(60 + Percent(i++, count, 40));
            }
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
        out.Patch(4, size);
    }
    catch (...)
    {
        // After a failure the file ends where the written bytes end, not where the reservation did.
        if (reserved)
            file.SetSize(static_cast<int64_t>(out.Written()));
        throw;
    }
    SetProgress(100);
}
