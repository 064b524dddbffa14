#include "Platform/Shell/Ole.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <vector>

// Interface ids of this layer. Only their identity matters inside the process.
#define KELVANE_IID(name, n) const IID name = {0x4B454C00u + (n), 0x5348, 0x454C, {0x4C, 0, 0, 0, 0, 0, 0, (n)}}
KELVANE_IID(IID_IMalloc, 2);
KELVANE_IID(IID_IDataObject, 3);
KELVANE_IID(IID_IEnumFORMATETC, 4);
KELVANE_IID(IID_IDropSource, 5);
KELVANE_IID(IID_IDropTarget, 6);
KELVANE_IID(IID_IShellFolder, 7);
KELVANE_IID(IID_IEnumIDList, 8);
KELVANE_IID(IID_IContextMenu, 9);
#undef KELVANE_IID

// ---- Task allocator --------------------------------------------------------------------------

void* CoTaskMemAlloc(SIZE_T size)
{
    return std::malloc(size ? size : 1);
}

void* CoTaskMemRealloc(void* block, SIZE_T size)
{
    return std::realloc(block, size ? size : 1);
}

void CoTaskMemFree(void* block)
{
    std::free(block);
}

namespace
{
class TaskAllocator final : public IMalloc
{
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IMalloc)
        {
            *object = static_cast<IMalloc*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // One allocator for the process: it never goes away.
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    void* Alloc(SIZE_T size) override { return CoTaskMemAlloc(size); }
    void* Realloc(void* block, SIZE_T size) override { return CoTaskMemRealloc(block, size); }
    void Free(void* block) override { CoTaskMemFree(block); }
    SIZE_T GetSize(void* block) override { return block ? malloc_usable_size(block) : static_cast<SIZE_T>(-1); }
    int DidAlloc(void* block) override { return block ? -1 : 0; }
    void HeapMinimize() override {}
};

TaskAllocator g_taskAllocator;
std::atomic<int> g_oleCount{0};
} // namespace

HRESULT CoGetMalloc(DWORD, IMalloc** malloc)
{
    if (!malloc)
        return E_POINTER;
    *malloc = &g_taskAllocator;
    return S_OK;
}

HRESULT OleInitialize(void*)
{
    return g_oleCount++ == 0 ? S_OK : S_FALSE;
}

void OleUninitialize()
{
    if (g_oleCount > 0 && --g_oleCount == 0)
        OleFlushClipboard();
}

HRESULT CoInitialize(void* reserved)
{
    return OleInitialize(reserved);
}

void CoUninitialize()
{
    OleUninitialize();
}

void ReleaseStgMedium(STGMEDIUM* medium)
{
    if (!medium)
        return;
    if (medium->pUnkForRelease)
    {
        // The owner frees the data; the receiver only lets go of the owner.
        medium->pUnkForRelease->Release();
    }
    else
    {
        switch (medium->tymed)
        {
        case TYMED_HGLOBAL:
            if (medium->hGlobal)
                GlobalFree(medium->hGlobal);
            break;
        case TYMED_FILE:
            CoTaskMemFree(medium->lpszFileName);
            break;
        case TYMED_ISTREAM:
        case TYMED_ISTORAGE:
            if (medium->pstm)
                medium->pstm->Release();
            break;
        default:
            break;
        }
    }
    medium->tymed = TYMED_NULL;
    medium->hGlobal = nullptr;
    medium->pUnkForRelease = nullptr;
}

// ---- The OLE clipboard -----------------------------------------------------------------------

namespace
{
// Copies a global block (the clipboard keeps its own, so the data object may go).
HGLOBAL CopyBlock(HGLOBAL source)
{
    SIZE_T size = GlobalSize(source);
    const void* from = GlobalLock(source);
    if (!from)
        return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (copy)
    {
        if (size)
            std::memcpy(GlobalLock(copy), from, size);
        GlobalUnlock(copy);
    }
    GlobalUnlock(source);
    return copy;
}

IDataObject* g_clipboardObject = nullptr;

// The data object OleGetClipboard gives: every format on the clipboard store, as copies.
class ClipboardReader final : public IDataObject, public IEnumFORMATETC
{
public:
    ClipboardReader()
    {
        // A snapshot of the formats; the data itself is read when asked.
        static const UINT known[] = {CF_TEXT, CF_UNICODETEXT, CF_HDROP};
        for (UINT f : known)
            if (IsClipboardFormatAvailable(f))
                m_formats.push_back(static_cast<CLIPFORMAT>(f));
        for (UINT f = 0xC000; f <= 0xC0FF; ++f)
            if (IsClipboardFormatAvailable(f))
                m_formats.push_back(static_cast<CLIPFORMAT>(f));
    }
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDataObject)
            *object = static_cast<IDataObject*>(this);
        else
        {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_count; }
    ULONG Release() override
    {
        ULONG left = --m_count;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!format || !medium)
            return E_INVALIDARG;
        HRESULT hr = QueryGetData(format);
        if (hr != S_OK)
            return hr;
        if (!OpenClipboard(nullptr))
            return CLIPBRD_E_CANT_OPEN;
        HGLOBAL copy = nullptr;
        if (HANDLE block = GetClipboardData(format->cfFormat))
            copy = CopyBlock(block);
        CloseClipboard();
        if (!copy)
            return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(FORMATETC* format) override
    {
        if (!format)
            return E_INVALIDARG;
        if (format->ptd)
            return DV_E_DVTARGETDEVICE;
        if (!IsClipboardFormatAvailable(format->cfFormat))
            return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL))
            return DV_E_TYMED;
        return S_OK;
    }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return DATA_S_SAMEFORMATETC; }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) override
    {
        if (!enumerator)
            return E_POINTER;
        *enumerator = nullptr;
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        auto* copy = new ClipboardReader(*this);
        copy->m_position = 0;
        *enumerator = copy;
        return S_OK;
    }
    HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(IEnumSTATDATA** enumerator) override
    {
        if (enumerator)
            *enumerator = nullptr;
        return OLE_E_ADVISENOTSUPPORTED;
    }
    // The enumerator side (a copy of the reader serves as its own format enumerator).
    HRESULT Next(ULONG count, FORMATETC* formats, ULONG* fetched) override
    {
        ULONG n = 0;
        while (n < count && m_position < m_formats.size())
            formats[n++] = FORMATETC{m_formats[m_position++], nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        m_position += count;
        return S_OK;
    }
    HRESULT Reset() override
    {
        m_position = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumFORMATETC** clone) override
    {
        if (!clone)
            return E_POINTER;
        *clone = new ClipboardReader(*this);
        return S_OK;
    }

private:
    ClipboardReader(const ClipboardReader& other) : m_formats(other.m_formats), m_position(other.m_position) {}
    ~ClipboardReader() = default;
    std::atomic<ULONG> m_count{1};
    std::vector<CLIPFORMAT> m_formats;
    size_t m_position = 0;
};
} // namespace

HRESULT OleSetClipboard(IDataObject* data)
{
    if (!OpenClipboard(nullptr))
        return CLIPBRD_E_CANT_OPEN;
    EmptyClipboard();
    HRESULT result = S_OK;
    if (data)
    {
        IEnumFORMATETC* formats = nullptr;
        if (SUCCEEDED(data->EnumFormatEtc(DATADIR_GET, &formats)) && formats)
        {
            FORMATETC format;
            ULONG fetched = 0;
            while (formats->Next(1, &format, &fetched) == S_OK && fetched == 1)
            {
                if (!(format.tymed & TYMED_HGLOBAL))
                    continue;
                FORMATETC asked = format;
                asked.tymed = TYMED_HGLOBAL;
                STGMEDIUM medium{};
                if (data->GetData(&asked, &medium) != S_OK)
                    continue;
                if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal)
                {
                    HGLOBAL copy = CopyBlock(medium.hGlobal);
                    if (!copy || !SetClipboardData(format.cfFormat, copy))
                    {
                        if (copy)
                            GlobalFree(copy);
                        result = E_OUTOFMEMORY;
                    }
                }
                ReleaseStgMedium(&medium);
            }
            formats->Release();
        }
    }
    CloseClipboard();
    if (g_clipboardObject)
        g_clipboardObject->Release();
    g_clipboardObject = data;
    if (data)
        data->AddRef();
    return result;
}

HRESULT OleGetClipboard(IDataObject** data)
{
    if (!data)
        return E_INVALIDARG;
    *data = new ClipboardReader();
    return S_OK;
}

HRESULT OleFlushClipboard()
{
    // The formats are already on the store; only the object goes.
    if (g_clipboardObject)
    {
        IDataObject* object = g_clipboardObject;
        g_clipboardObject = nullptr;
        object->Release();
    }
    return S_OK;
}

HRESULT OleIsCurrentClipboard(IDataObject* data)
{
    return data && data == g_clipboardObject ? S_OK : S_FALSE;
}
