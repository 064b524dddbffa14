// The game's model archive (.pck): a 12-byte header, the entries' data blocks (raw, or one zlib
// stream each), a table of masked, usually compressed 276-byte entry records, and a 280-byte
// tailer that locates the table.
//
// PwPackage reads an archive, lets the caller rename, delete, extract and add entries, and writes
// a complete new archive. Names compare case-insensitively (CompareStringW, NORM_IGNORECASE).
#pragma once

#include "Components/StrUtils.h"
#include "Components/XPtrArray.h"
#include "Components/XStream.h"
#include "Platform/Win32/Windows.h"

#include <cstdint>

struct PwEntry
{
    XString Name;
    uint32_t Offset = 0;
    uint32_t StoredSize = 0;
    uint32_t OriginalSize = 0;
    uint32_t Reserved1 = 0; // copied from the record, never used
    uint32_t Reserved2 = 0;
    XString DiskPath;         // file to take the data from at save time; empty when none
    uint8_t* Buffer = nullptr; // bytes the entry owns (array new); null when none
    uint32_t BufferSize = 0;

    PwEntry() = default;
    PwEntry(const PwEntry&) = delete;
    PwEntry& operator=(const PwEntry&) = delete;
    ~PwEntry() { delete[] Buffer; }
};

using PwEntries = XPtrOwnArray<PwEntry, 256>;

class PwPackage
{
public:
    static constexpr uint32_t Magic1 = 0x4DCA23EF;
    static constexpr uint32_t Magic2 = 0x56A089B7;
    static constexpr uint32_t KeyA = 0x6E2D91B4;
    static constexpr uint32_t KeyB = 0x3A7CF05D;
    static constexpr uint32_t TailerMagic1 = 0xFDFDFEEE;
    static constexpr uint32_t TailerMagic2 = 0x00020002;
    static constexpr uint32_t Unk09 = 0xF00DBEEF;
    static constexpr uint32_t Unk10 = 0x00020002;
    static constexpr uint32_t RecordSize = 276;
    static constexpr uint32_t NameSize = 256;
    static constexpr uint32_t TailerSize = 280;
    static constexpr uint32_t HeaderSize = 12;

    PwEntries Entries;
    XStream* Source = nullptr; // the opened archive, owned
    int32_t Progress = 0;
    HWND NotifyWindow = nullptr;
    UINT NotifyMessage = 0;

    PwPackage() = default;
    PwPackage(const PwPackage&) = delete;
    PwPackage& operator=(const PwPackage&) = delete;
    ~PwPackage();

    // Closes the package, then reads header, tailer and entry table of the archive (opened
    // read-only; it must stay in place while the package lives). A format error throws XException
    // and leaves the package closed. A table record that does not inflate is skipped and counted.
    void Open(const WCHAR* path);
    // How many table records the last Open skipped because they did not inflate: their entries
    // are missing from the list, and a save leaves them out. 0 after Close.
    uint32_t GetSkippedRecordCount() const { return m_SkippedRecords; }
    // Destroys the source stream and every entry.
    void Close();

    // First entry in list order whose name compares equal, or null; the index form gives -1.
    PwEntry* Find(const WCHAR* name) const;
    int FindIndex(const WCHAR* name) const;
    bool Exists(const WCHAR* name) const { return Find(name) != nullptr; }
    // No check for an entry that already has the new name; the list is re-sorted only by Save.
    bool Rename(const WCHAR* oldName, const WCHAR* newName);
    bool Delete(const WCHAR* name);
    // The data is read from the file (read-only) at save time.
    void AddFromDisk(const WCHAR* name, const WCHAR* filePath);
    // Takes ownership of a buffer made with array new.
    void AddFromMemory(const WCHAR* name, uint8_t* buffer, uint32_t size);

    // Writes the entry's inflated bytes to the stream at its position.
    void Extract(const WCHAR* name, XStream* output);
    void Extract(const PwEntry* entry, XStream* output);

    // Writes a complete archive: data blocks in list order, the table sorted by name, the tailer.
    // The file the package was opened from is refused: creating it would destroy the blocks the
    // save copies. So is a name that does not fit the table, before the file is created. Blocks
    // read from the archive are copied unchanged; new entries are compressed at `level` (0 stores
    // raw). Worker threads read and compress the new entries and the table while this thread
    // copies; the bytes written are those of a save on one thread, and progress is reported from
    // this thread only.
    void Save(const WCHAR* path, int level, const char* description);

    // Stores a changed value and sends it to NotifyWindow (wParam = value, lParam = 100).
    void SetProgress(int32_t value);

    // The order of the saved table: CompareStringW with NORM_IGNORECASE; <0, 0 or >0.
    static int CompareNames(const WCHAR* a, const WCHAR* b);

private:
    XString m_SourcePath;
    uint32_t m_SkippedRecords = 0;
    // The stream Open made and its file handle, through which a save lets the kernel copy
    // unchanged blocks. The handle is used only while Source is still that stream; the stream is
    // only compared, never used through this pointer.
    const XStream* m_OpenedSource = nullptr;
    HANDLE m_SourceFile = nullptr;
};
