// The COM and OLE layer: IUnknown and interface ids, the task allocator, storage media, data
// objects on the process's clipboard, and drag and drop between windows of this process (and,
// through the presenter's bridge, with other programs).
#pragma once

#include "Platform/Gdi/Gdi.h"
#include "Platform/Win32/Unknwn.h"
#include "Platform/Win32/Windows.h"

#include <atomic>
#include <cstring>
#include <functional>

// ---- Results ---------------------------------------------------------------------------------

constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003u);
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT DV_E_DVTARGETDEVICE = static_cast<HRESULT>(0x80040065u);
constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069u);
constexpr HRESULT CLIPBRD_E_CANT_OPEN = static_cast<HRESULT>(0x800401D0u);
constexpr HRESULT DATA_S_SAMEFORMATETC = 0x00040130;
constexpr HRESULT DRAGDROP_S_DROP = 0x00040100;
constexpr HRESULT DRAGDROP_S_CANCEL = 0x00040101;
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;
constexpr HRESULT DRAGDROP_E_NOTREGISTERED = static_cast<HRESULT>(0x80040100u);
constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = static_cast<HRESULT>(0x80040101u);
constexpr HRESULT DRAGDROP_E_INVALIDHWND = static_cast<HRESULT>(0x80040102u);

// A Win32 error code as a result.
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error)
{
    return error == 0 ? S_OK : static_cast<HRESULT>((error & 0xFFFF) | 0x80070000u);
}

// ---- Interfaces ------------------------------------------------------------------------------

using CLSID = GUID;

inline bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}
inline bool IsEqualIID(REFIID a, REFIID b)
{
    return a == b;
}

extern const IID IID_IMalloc;
extern const IID IID_IDataObject;
extern const IID IID_IEnumFORMATETC;
extern const IID IID_IDropSource;
extern const IID IID_IDropTarget;
extern const IID IID_IShellFolder;
extern const IID IID_IEnumIDList;
extern const IID IID_IContextMenu;

// Reference counting and identity of an object that offers one interface: it starts with one
// reference and ends with its last Release.
template <class Interface, const IID& Id> class ComObject : public Interface
{
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == Id)
        {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_count; }
    ULONG Release() override
    {
        ULONG left = --m_count;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~ComObject() = default;

private:
    std::atomic<ULONG> m_count{1};
};

// The task allocator: blocks that cross component boundaries (id lists, target devices).
struct IMalloc : IUnknown
{
    virtual void* Alloc(SIZE_T size) = 0;
    virtual void* Realloc(void* block, SIZE_T size) = 0;
    virtual void Free(void* block) = 0;
    virtual SIZE_T GetSize(void* block) = 0;
    virtual int DidAlloc(void* block) = 0;
    virtual void HeapMinimize() = 0;
};

void* CoTaskMemAlloc(SIZE_T size);
void* CoTaskMemRealloc(void* block, SIZE_T size);
void CoTaskMemFree(void* block);
HRESULT CoGetMalloc(DWORD context, IMalloc** malloc);

// OLE needs nothing set up here; the calls keep their count so that the pairs match.
HRESULT OleInitialize(void* reserved);
void OleUninitialize();
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// ---- Data transfer ---------------------------------------------------------------------------

using CLIPFORMAT = WORD;
constexpr CLIPFORMAT CF_HDROP = 15;
// The registered format beside a file list that says whether it was cut (a DWORD effect).
constexpr const WCHAR* CFSTR_PREFERREDDROPEFFECT = u"Preferred DropEffect";

constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD TYMED_NULL = 0;
constexpr DWORD TYMED_HGLOBAL = 1;
constexpr DWORD TYMED_FILE = 2;
constexpr DWORD TYMED_ISTREAM = 4;
constexpr DWORD TYMED_ISTORAGE = 8;
constexpr DWORD DATADIR_GET = 1;
constexpr DWORD DATADIR_SET = 2;

struct DVTARGETDEVICE
{
    DWORD tdSize;
};

struct FORMATETC
{
    CLIPFORMAT cfFormat;
    DVTARGETDEVICE* ptd;
    DWORD dwAspect;
    LONG lindex;
    DWORD tymed;
};

struct STGMEDIUM
{
    DWORD tymed;
    union {
        HGLOBAL hGlobal;
        LPWSTR lpszFileName;
        IUnknown* pstm; // a stream or a storage: released like any interface
    };
    IUnknown* pUnkForRelease;
};

// Frees what the medium holds: through its releasing unknown when there is one (which is then
// released instead), else by its kind (GlobalFree, the file name with CoTaskMemFree, Release).
// The medium is cleared.
void ReleaseStgMedium(STGMEDIUM* medium);

struct IEnumFORMATETC : IUnknown
{
    virtual HRESULT Next(ULONG count, FORMATETC* formats, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFORMATETC** clone) = 0;
};

struct IAdviseSink;
struct IEnumSTATDATA;

struct IDataObject : IUnknown
{
    virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(FORMATETC* format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) = 0;
    virtual HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
    virtual HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) = 0;
    virtual HRESULT DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) = 0;
    virtual HRESULT DUnadvise(DWORD connection) = 0;
    virtual HRESULT EnumDAdvise(IEnumSTATDATA** enumerator) = 0;
};

// The file list of CF_HDROP: this header, then the names, each NUL-ended, and one more NUL.
struct DROPFILES
{
    DWORD pFiles; // offset of the list from the start of the block
    POINT pt;
    BOOL fNC;
    BOOL fWide;
};
static_assert(sizeof(DROPFILES) == 20);

// The OLE clipboard lies on the process's one clipboard store. OleSetClipboard renders every
// global-memory format of the object onto it at once (so a later flush loses nothing) and keeps the
// object until it is replaced or flushed; null empties the clipboard. OleGetClipboard gives a data
// object that reads the store: each GetData hands out a copy the caller releases.
HRESULT OleSetClipboard(IDataObject* data);
HRESULT OleGetClipboard(IDataObject** data);
HRESULT OleFlushClipboard();
HRESULT OleIsCurrentClipboard(IDataObject* data);

// ---- Drag and drop ---------------------------------------------------------------------------

using DROPEFFECT = DWORD;
constexpr DROPEFFECT DROPEFFECT_NONE = 0;
constexpr DROPEFFECT DROPEFFECT_COPY = 1;
constexpr DROPEFFECT DROPEFFECT_MOVE = 2;
constexpr DROPEFFECT DROPEFFECT_LINK = 4;

struct POINTL
{
    LONG x;
    LONG y;
};

struct IDropSource : IUnknown
{
    virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
    virtual HRESULT GiveFeedback(DWORD effect) = 0;
};

struct IDropTarget : IUnknown
{
    virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;
    virtual HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;
};

// A window accepts drops through its target (AddRef'd until revoked). A drag over the window
// when it is revoked, ours or another program's, leaves it first (its target hears DragLeave) and
// calls nothing of it afterwards.
HRESULT RegisterDragDrop(HWND window, IDropTarget* target);
HRESULT RevokeDragDrop(HWND window);

// Runs the drag in a loop of its own until the source ends it: every mouse and key message of the
// process goes to the drag (the pointer is the drag's) and none to the windows. The target under
// the pointer hears DragEnter / DragOver / DragLeave / Drop; a target whose DragEnter answers
// DRAGDROP_S_CANCEL is no target for this drag. Returns DRAGDROP_S_DROP or DRAGDROP_S_CANCEL and
// the effect of the drop.
HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect);

namespace Platform
{
// What the drag loop needs of the windows: the screen point of a mouse message for a window, the
// deepest window under a screen point, a window's parent, and the paint pass that the
// application's loop runs whenever its queue runs dry (the drag's loop runs it too, so that what
// a target marks for painting, its drop highlight, shows while the pointer rests). The class
// library installs them; without them a mouse message's point is taken as a screen point over its
// own window.
struct DragDropWindows
{
    std::function<POINT(HWND window, POINT client)> ClientToScreen;
    std::function<HWND(POINT screen)> WindowAt;
    std::function<HWND(HWND window)> ParentOf;
    std::function<void()> Paint;
};
DragDropWindows SetDragDropWindows(DragDropWindows windows);

// A drag that leaves the process's windows: the presenter offers it to other programs (as a file
// list) and answers with the effect the peer took. Returns false when no other program takes part.
struct ExternalDrag
{
    // The drag begins, with its data and the effects it allows, and ends (after its drop or
    // cancel): the presenter holds the pointer for the drag meanwhile.
    std::function<void(IDataObject* data, DWORD okEffects)> Begin;
    std::function<void()> End;
    // Called with the drag's data when the pointer is over no window of ours (point in screen
    // coordinates); answers the effect the peer would take (DROPEFFECT_NONE when there is none).
    std::function<DWORD(IDataObject* data, POINT screen, DWORD keyState, DWORD okEffects)> Over;
    // The button went up over the peer; the effect it took.
    std::function<DWORD(IDataObject* data, DWORD effect)> Drop;
    std::function<void()> Leave;
};
ExternalDrag SetExternalDrag(ExternalDrag drag);

// Whether a drag loop is running (the presenter routes its input there).
bool DragLoopRunning();

// Another program's drag over our windows, as the presenter hears it: the drop target under the
// screen point hears DragEnter, DragOver, DragLeave and Drop as in a drag of ours, with the effects
// the peer allows. Each answers the effect the target takes (DROPEFFECT_NONE: none). The drag ends
// with the leave or the drop. While a drag of ours runs, another program's is refused, and the
// target it was over hears it leave.
DWORD ForeignDragOver(IDataObject* data, POINT screen, DWORD keyState, DWORD okEffects);
void ForeignDragLeave();
DWORD ForeignDrop(IDataObject* data, POINT screen, DWORD keyState, DWORD okEffects);
} // namespace Platform
