#include "Controls/ShellUtils.h"

#include "Platform/Vcl/SysUtils.h"

namespace ShellUtils
{
HMODULE Shell32LibraryHandle = nullptr;
SHParseDisplayNameProc SHParseDisplayName = nullptr;

namespace
{
// Unit start: the module and its parser are looked up once.
struct UnitStart
{
    UnitStart()
    {
        Shell32LibraryHandle = LoadLibraryW(u"shell32.dll");
        if (Shell32LibraryHandle)
            SHParseDisplayName =
                reinterpret_cast<SHParseDisplayNameProc>(GetProcAddress(Shell32LibraryHandle, "SHParseDisplayName"));
    }
} g_unitStart;

// QueryInterface of the four objects: IUnknown and their own interface.
template <typename Interface> HRESULT Answer(Interface* self, REFIID asked, REFIID own, void** object)
{
    if (!object)
        return E_POINTER;
    if (asked == IID_IUnknown || asked == own)
    {
        *object = self;
        self->AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}
} // namespace

// ---- XDataObject -----------------------------------------------------------------------------

XDataObject::~XDataObject()
{
    for (ULONG i = 0; i < m_count; ++i)
    {
        CoTaskMemFree(m_entries[i].format.ptd);
        ReleaseStgMedium(&m_entries[i].medium);
    }
    CoTaskMemFree(m_entries);
}

HRESULT XDataObject::QueryInterface(REFIID riid, void** object)
{
    return Answer<IDataObject>(this, riid, IID_IDataObject, object);
}

ULONG XDataObject::AddRef()
{
    return ++m_refs;
}

ULONG XDataObject::Release()
{
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

XDataObject::Entry* XDataObject::Lookup(const FORMATETC* format, bool add, HRESULT& result)
{
    if (!format)
    {
        result = E_INVALIDARG;
        return nullptr;
    }
    if (format->ptd)
    {
        result = DV_E_DVTARGETDEVICE;
        return nullptr;
    }
    for (ULONG i = 0; i < m_count; ++i)
    {
        Entry& entry = m_entries[i];
        if (entry.format.cfFormat != format->cfFormat || entry.format.dwAspect != format->dwAspect ||
            entry.format.lindex != format->lindex)
            continue;
        if (add || (entry.format.tymed & format->tymed))
        {
            result = S_OK;
            return &entry;
        }
        result = DV_E_TYMED;
        return nullptr;
    }
    if (!add)
    {
        result = DV_E_FORMATETC;
        return nullptr;
    }
    auto* grown = static_cast<Entry*>(CoTaskMemRealloc(m_entries, sizeof(Entry) * (m_count + 1)));
    if (!grown)
    {
        result = E_OUTOFMEMORY;
        return nullptr;
    }
    m_entries = grown;
    Entry& entry = m_entries[m_count++];
    entry.format = *format;
    entry.medium = STGMEDIUM{};
    result = S_OK;
    return &entry;
}

HRESULT XDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!medium)
        return E_INVALIDARG;
    HRESULT result;
    Entry* entry = Lookup(format, false, result);
    if (!entry)
        return result;
    *medium = entry->medium;
    if (medium->tymed == TYMED_ISTREAM || medium->tymed == TYMED_ISTORAGE)
    {
        if (medium->pstm)
            medium->pstm->AddRef();
        if (medium->pUnkForRelease)
            medium->pUnkForRelease->AddRef();
        return S_OK;
    }
    if (medium->pUnkForRelease)
    {
        medium->pUnkForRelease->AddRef();
        return S_OK;
    }
    // Lent, not copied: the receiver's ReleaseStgMedium lets go of this object, not of the data.
    AddRef();
    medium->pUnkForRelease = static_cast<IDataObject*>(this);
    return S_OK;
}

HRESULT XDataObject::GetDataHere(FORMATETC*, STGMEDIUM*)
{
    return E_NOTIMPL;
}

HRESULT XDataObject::QueryGetData(FORMATETC* format)
{
    HRESULT result;
    Lookup(format, false, result);
    return result;
}

HRESULT XDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC*)
{
    return DATA_S_SAMEFORMATETC;
}

HRESULT XDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release)
{
    if (!release)
        return E_NOTIMPL;
    if (!medium)
        return E_INVALIDARG;
    HRESULT result;
    Entry* entry = Lookup(format, true, result);
    if (!entry)
        return result;
    if (entry->medium.tymed != TYMED_NULL)
    {
        ReleaseStgMedium(&entry->medium);
        entry->medium = STGMEDIUM{};
    }
    entry->medium = *medium;
    entry->format.tymed = medium->tymed;
    // A medium released through this very object must not keep it alive.
    if (IUnknown* releaser = entry->medium.pUnkForRelease)
    {
        IUnknown* canonical = nullptr;
        if (SUCCEEDED(releaser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&canonical))) && canonical)
        {
            canonical->Release();
            IUnknown* self = nullptr;
            QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&self));
            Release();
            if (canonical == self)
            {
                entry->medium.pUnkForRelease = nullptr;
                releaser->Release();
            }
        }
    }
    return S_OK;
}

HRESULT XDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator)
{
    if (!enumerator)
        return E_POINTER;
    *enumerator = nullptr;
    if (direction != DATADIR_GET)
    {
        ShowMessage(u"Wrong enumeration direction");
        return E_NOTIMPL;
    }
    *enumerator = new XEnumFORMATETC(this, 0);
    return S_OK;
}

HRESULT XDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD* connection)
{
    if (connection)
        *connection = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT XDataObject::DUnadvise(DWORD)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT XDataObject::EnumDAdvise(IEnumSTATDATA** enumerator)
{
    if (enumerator)
        *enumerator = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

// ---- XEnumFORMATETC --------------------------------------------------------------------------

XEnumFORMATETC::XEnumFORMATETC(XDataObject* data, ULONG position) : m_position(position), m_data(data)
{
    m_data->AddRef();
}

XEnumFORMATETC::~XEnumFORMATETC()
{
    m_data->Release();
}

HRESULT XEnumFORMATETC::QueryInterface(REFIID riid, void** object)
{
    return Answer<IEnumFORMATETC>(this, riid, IID_IEnumFORMATETC, object);
}

ULONG XEnumFORMATETC::AddRef()
{
    return ++m_refs;
}

ULONG XEnumFORMATETC::Release()
{
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT XEnumFORMATETC::Next(ULONG count, FORMATETC* formats, ULONG* fetched)
{
    ULONG total = m_data->FormatCount();
    if (m_position >= total)
    {
        if (fetched)
            *fetched = 0;
        return S_FALSE;
    }
    if (!formats)
        return E_POINTER;
    ULONG n = std::min(count, total - m_position);
    for (ULONG i = 0; i < n; ++i)
        formats[i] = m_data->Format(m_position + i);
    m_position += n;
    if (fetched)
        *fetched = n;
    return S_OK;
}

HRESULT XEnumFORMATETC::Skip(ULONG count)
{
    m_position += count;
    return S_OK;
}

HRESULT XEnumFORMATETC::Reset()
{
    m_position = 0;
    return S_OK;
}

HRESULT XEnumFORMATETC::Clone(IEnumFORMATETC** clone)
{
    if (!clone)
        return E_POINTER;
    *clone = new XEnumFORMATETC(m_data, m_position);
    return S_OK;
}

// ---- XDropSource -----------------------------------------------------------------------------

XDropSource::XDropSource(DWORD continueMask, DWORD cancelMask) : m_continueMask(continueMask), m_cancelMask(cancelMask)
{
}

HRESULT XDropSource::QueryInterface(REFIID riid, void** object)
{
    return Answer<IDropSource>(this, riid, IID_IDropSource, object);
}

ULONG XDropSource::AddRef()
{
    return ++m_refs;
}

ULONG XDropSource::Release()
{
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT XDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    if (escapePressed || (keyState & m_cancelMask))
    {
        m_dropAllowed = false;
        return DRAGDROP_S_CANCEL;
    }
    if (keyState & m_continueMask)
        return S_OK;
    return m_dropAllowed ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
}

HRESULT XDropSource::GiveFeedback(DWORD)
{
    return m_dropAllowed ? DRAGDROP_S_USEDEFAULTCURSORS : S_OK;
}

// ---- XDropTarget -----------------------------------------------------------------------------

HRESULT XDropTarget::QueryInterface(REFIID riid, void** object)
{
    return Answer<IDropTarget>(this, riid, IID_IDropTarget, object);
}

ULONG XDropTarget::AddRef()
{
    return ++m_refs;
}

ULONG XDropTarget::Release()
{
    ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT XDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    HRESULT result = S_OK;
    if (OnDragEnter)
        OnDragEnter(data, keyState, point, effect, result);
    return result;
}

HRESULT XDropTarget::DragOver(DWORD keyState, POINTL point, DWORD* effect)
{
    HRESULT result = S_OK;
    if (OnDragOver)
        OnDragOver(keyState, point, effect, result);
    return result;
}

HRESULT XDropTarget::DragLeave()
{
    HRESULT result = S_OK;
    if (OnDragLeave)
        OnDragLeave(result);
    return result;
}

HRESULT XDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect)
{
    HRESULT result = S_OK;
    if (OnDrop)
        OnDrop(data, keyState, point, effect, result);
    return result;
}

// ---- Id lists and the rest -------------------------------------------------------------------

UINT GetIdListSize(LPCITEMIDLIST idList)
{
    if (!idList)
        return 0;
    auto* p = reinterpret_cast<const BYTE*>(idList);
    UINT total = 0;
    for (;;)
    {
        WORD cb;
        std::memcpy(&cb, p + total, sizeof cb);
        if (cb == 0)
            return total;
        total += cb;
    }
}

LPITEMIDLIST CopyIdList(IMalloc* malloc, LPCITEMIDLIST idList)
{
    if (!idList)
        return nullptr;
    UINT size = GetIdListSize(idList) + 2;
    auto* copy = static_cast<BYTE*>(malloc->Alloc(size));
    if (copy)
        std::memcpy(copy, idList, size);
    return reinterpret_cast<LPITEMIDLIST>(copy);
}

LPITEMIDLIST ConcatIdLists(IMalloc* malloc, LPCITEMIDLIST first, LPCITEMIDLIST second)
{
    UINT a = GetIdListSize(first), b = GetIdListSize(second);
    auto* list = static_cast<BYTE*>(malloc->Alloc(a + b + 2));
    if (!list)
        return nullptr;
    if (a)
        std::memcpy(list, first, a);
    if (b)
        std::memcpy(list + a, second, b);
    list[a + b] = list[a + b + 1] = 0;
    return reinterpret_cast<LPITEMIDLIST>(list);
}

HIMAGELIST GetSmallImageList()
{
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(u"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

HIMAGELIST GetLargeImageList()
{
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(u"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX));
}

WCHAR* GetDisplayName(IShellFolder* folder, LPCITEMIDLIST idList, WCHAR* buffer, UINT flags)
{
    buffer[0] = 0;
    STRRET name{};
    if (!folder || FAILED(folder->GetDisplayNameOf(idList, flags, &name)))
        return buffer;
    const size_t capacity = MAX_PATH;
    switch (name.uType)
    {
    case STRRET_WSTR:
        if (name.pOleStr)
        {
            size_t n = std::min(std::char_traits<char16_t>::length(name.pOleStr), capacity - 1);
            std::copy_n(name.pOleStr, n, buffer);
            buffer[n] = 0;
            CoTaskMemFree(name.pOleStr);
        }
        break;
    case STRRET_OFFSET:
    {
        // The narrow text lies inside the first item of the child's id list; never read past it.
        UINT size = GetIdListSize(idList);
        if (name.uOffset >= size)
            break;
        auto* text = reinterpret_cast<const char*>(idList) + name.uOffset;
        int length = static_cast<int>(strnlen(text, size - name.uOffset));
        int n = MultiByteToWideChar(CP_ACP, 0, text, length, buffer, static_cast<int>(capacity - 1));
        buffer[n > 0 ? n : 0] = 0;
        break;
    }
    case STRRET_CSTR:
    {
        int length = static_cast<int>(strnlen(name.cStr, sizeof name.cStr));
        int n = MultiByteToWideChar(CP_ACP, 0, name.cStr, length, buffer, static_cast<int>(capacity - 1));
        buffer[n > 0 ? n : 0] = 0;
        break;
    }
    default:
        break;
    }
    return buffer;
}

WCHAR* FormatFileTime(const FILETIME& time, WCHAR* buffer)
{
    buffer[0] = 0;
    if (time.dwLowDateTime == 0 && time.dwHighDateTime == 0)
        return buffer;
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &st))
        return buffer;
    // "dd.mm.yyyy hh:mm", the hour padded with a space; written by hand, as a list formats one
    // of these for every file it shows.
    WCHAR* out = buffer;
    auto number = [&out](unsigned value, int digits, WCHAR pad)
    {
        WCHAR text[8];
        int n = 0;
        do
        {
            text[n++] = static_cast<WCHAR>(u'0' + value % 10);
            value /= 10;
        } while (value);
        for (; n < digits; --digits)
            *out++ = pad;
        while (n)
            *out++ = text[--n];
    };
    number(st.wDay, 2, u'0');
    *out++ = u'.';
    number(st.wMonth, 2, u'0');
    *out++ = u'.';
    number(st.wYear, 4, u'0');
    *out++ = u' ';
    number(st.wHour, 2, u' ');
    *out++ = u':';
    number(st.wMinute, 2, u'0');
    *out = 0;
    return buffer;
}
} // namespace ShellUtils
