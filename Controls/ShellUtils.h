// What the shell file list and the folder tree share: the OLE objects that carry file lists
// through the clipboard and through drag and drop, id-list helpers, the system image lists, an
// item's display name and the text of a file time.
#pragma once

#include "Platform/Shell/ShlObj.h"
#include "Platform/Vcl/Closure.h"

#include <atomic>

namespace ShellUtils
{
// A data object holding media by format. It owns every medium stored in it; GetData lends the
// stored medium with the object itself as the releasing unknown.
class XDataObject : public IDataObject
{
public:
    XDataObject() = default;
    XDataObject(const XDataObject&) = delete;
    XDataObject& operator=(const XDataObject&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT QueryGetData(FORMATETC* format) override;
    HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    // Only release = TRUE: the object takes the medium over.
    HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) override;
    HRESULT DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
    HRESULT DUnadvise(DWORD connection) override;
    HRESULT EnumDAdvise(IEnumSTATDATA** enumerator) override;

    ULONG FormatCount() const { return m_count; }
    const FORMATETC& Format(ULONG index) const { return m_entries[index].format; }

protected:
    virtual ~XDataObject();

private:
    struct Entry
    {
        FORMATETC format;
        STGMEDIUM medium;
    };
    // The entry for a format (added when `add`), or null with the error in `result`.
    Entry* Lookup(const FORMATETC* format, bool add, HRESULT& result);

    std::atomic<ULONG> m_refs{1};
    Entry* m_entries = nullptr; // from the task allocator
    ULONG m_count = 0;
};

// The formats of a data object. It holds a reference on the object, so it may outlive every other
// holder of it.
class XEnumFORMATETC : public IEnumFORMATETC
{
public:
    XEnumFORMATETC(XDataObject* data, ULONG position);
    XEnumFORMATETC(const XEnumFORMATETC&) = delete;
    XEnumFORMATETC& operator=(const XEnumFORMATETC&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Next(ULONG count, FORMATETC* formats, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumFORMATETC** clone) override;

protected:
    virtual ~XEnumFORMATETC();

private:
    std::atomic<ULONG> m_refs{1};
    ULONG m_position;
    XDataObject* m_data;
};

// Ends a drag when a cancel key is pressed or the keys that keep it going are released.
class XDropSource : public IDropSource
{
public:
    XDropSource(DWORD continueMask, DWORD cancelMask);
    XDropSource(const XDropSource&) = delete;
    XDropSource& operator=(const XDropSource&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT GiveFeedback(DWORD effect) override;

protected:
    virtual ~XDropSource() = default;

private:
    std::atomic<ULONG> m_refs{1};
    bool m_dropAllowed = true;
    DWORD m_continueMask;
    DWORD m_cancelMask;
};

using TDragEnterEvent = TClosure<void(IDataObject* Data, DWORD KeyState, POINTL Point, DWORD* Effect, HRESULT& Result)>;
using TDragOverEvent = TClosure<void(DWORD KeyState, POINTL Point, DWORD* Effect, HRESULT& Result)>;
using TDragLeaveEvent = TClosure<void(HRESULT& Result)>;
using TDropEvent = TClosure<void(IDataObject* Data, DWORD KeyState, POINTL Point, DWORD* Effect, HRESULT& Result)>;

// A drop target that hands each call to its event.
class XDropTarget : public IDropTarget
{
public:
    XDropTarget() = default;
    XDropTarget(const XDropTarget&) = delete;
    XDropTarget& operator=(const XDropTarget&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT DragLeave() override;
    HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

    TDragEnterEvent OnDragEnter;
    TDragOverEvent OnDragOver;
    TDragLeaveEvent OnDragLeave;
    TDropEvent OnDrop;

protected:
    virtual ~XDropTarget() = default;

private:
    std::atomic<ULONG> m_refs{1};
};

// Sum of the item sizes without the terminator; 0 for null.
UINT GetIdListSize(LPCITEMIDLIST idList);
// A copy from the allocator; null for null.
LPITEMIDLIST CopyIdList(IMalloc* malloc, LPCITEMIDLIST idList);
// The items of `first` (null: none) then those of `second`, with the terminator.
LPITEMIDLIST ConcatIdLists(IMalloc* malloc, LPCITEMIDLIST first, LPCITEMIDLIST second);

HIMAGELIST GetSmallImageList();
HIMAGELIST GetLargeImageList();

// The display name of a child in a buffer of MAX_PATH units (cut to fit); returns the buffer.
WCHAR* GetDisplayName(IShellFolder* folder, LPCITEMIDLIST idList, WCHAR* buffer, UINT flags);
// "dd.mm.yyyy hh:mm" in local time, the hour padded with a blank; empty for a zero time. The
// buffer holds at least 17 units.
WCHAR* FormatFileTime(const FILETIME& time, WCHAR* buffer);

// The shell module and its path parser, looked up once; there is no such module here, so both
// stay null and the views parse paths through the desktop folder.
extern HMODULE Shell32LibraryHandle;
using SHParseDisplayNameProc = HRESULT (*)(LPCWSTR name, IBindCtx* bind, LPITEMIDLIST* idList, ULONG in, ULONG* out);
extern SHParseDisplayNameProc SHParseDisplayName;
} // namespace ShellUtils
