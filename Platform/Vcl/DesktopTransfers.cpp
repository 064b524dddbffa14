#include "Platform/Vcl/DesktopTransfers.h"

#include "Platform/Shell/ShlObj.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/X11/DesktopTransfer.h"
#include "Platform/X11/X11Presenter.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace
{
// How long the owner of the desktop's clipboard may take for each first answer: as long as desktop
// toolkits wait, since a program under load often needs more than a moment.
constexpr int FirstAnswerMs = 5000;

const char* const UriListTarget = "text/uri-list";
// The text forms we take, best first; STRING is Latin-1.
const char* const TextTargets[] = {"UTF8_STRING", "text/plain;charset=utf-8", "STRING"};

bool Listed(const std::vector<std::string>& targets, const std::string& name)
{
    return std::find(targets.begin(), targets.end(), name) != targets.end();
}

// The one target a carried format other than text goes by between programs: text/uri-list for a
// file list, its name for a format registered by name. What a file list's effect names stays inside
// the process, so that a list from another program pastes as a copy. False for a format not carried.
bool TargetOf(UINT format, std::string& target)
{
    if (format == CF_HDROP)
    {
        target = UriListTarget;
        return true;
    }
    constexpr int Longest = 255; // a name cut to this is not told whole
    WCHAR name[Longest + 1];
    const int length = GetClipboardFormatNameW(format, name, Longest + 1);
    static const UINT preferredEffect = RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT);
    if (length <= 0 || length >= Longest || format == preferredEffect)
        return false;
    target = Platform::ToUtf8(name, static_cast<size_t>(length));
    return true;
}

// Another program's clipboard, or the file list on it, larger than we take.
void TooLargeNotice(const char16_t* what, size_t limit)
{
    std::u16string text = std::u16string(u"The ") + what + u" of the other program holds more than " +
                          Platform::WideName(std::to_string(limit >> 20)) + u" MiB; it was not taken.";
    MessageBoxW(nullptr, text.c_str(), u"Clipboard", MB_OK | MB_ICONWARNING);
}

// A refused line as a box shows it: its first 200 characters, control characters and bytes that
// are not UTF-8 as U+FFFD.
std::u16string ShownLine(const std::string& line)
{
    constexpr size_t Longest = 200;
    std::u16string shown = Platform::WideName(line);
    auto high = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    for (size_t i = 0; i < shown.size(); ++i)
    {
        char16_t c = shown[i];
        // A byte that is not UTF-8 comes as U+DC80..U+DCFF, a lone low half of a pair.
        bool stray = c >= 0xDC00 && c <= 0xDFFF && (i == 0 || !high(shown[i - 1]));
        if (c < 0x20 || c == 0x7F || stray)
            shown[i] = 0xFFFD;
    }
    if (shown.size() > Longest)
    {
        size_t cut = std::min(shown.size(), Longest);
        if (cut > 0 && high(shown[cut - 1]))
            --cut; // not half a character
        shown = shown.substr(0, cut) + u"...";
    }
    return shown;
}

// A file list of another program with a line we cannot take is refused whole, as a list with one
// item that cannot be moved or copied is: one box names that line, and nothing is done.
void RefusedListNotice(HWND owner, const Platform::UriListRefusal& refusal, DWORD effect)
{
    const char16_t* verb = effect == DROPEFFECT_MOVE ? u"move" : effect == DROPEFFECT_LINK ? u"link" : u"copy";
    const char16_t* done = effect == DROPEFFECT_MOVE ? u"moved" : effect == DROPEFFECT_LINK ? u"linked" : u"copied";
    const char16_t* caption = effect == DROPEFFECT_MOVE   ? u"Error Moving File or Folder"
                              : effect == DROPEFFECT_LINK ? u"Error Linking File or Folder"
                                                          : u"Error Copying File or Folder";
    std::u16string text = std::u16string(u"Cannot ") + verb + u" \"" + ShownLine(refusal.text) + u"\": line " +
                          Platform::WideName(std::to_string(refusal.line)) +
                          u" of the other program's list is no file of this computer. Nothing was " + done + u".";
    MessageBoxW(owner, text.c_str(), caption, MB_OK | MB_ICONERROR);
}

// Reading another program's clipboard can take a while (a large transfer in many steps, an owner
// slow to answer): meanwhile the pointer over our windows shows the wait shape, as other long work
// here does, and it comes back whatever the read ends in.
class WaitPointer
{
public:
    WaitPointer() : m_before(Screen->Cursor())
    {
        Screen->SetCursor(crHourGlass);
        X11::Flush();
    }
    ~WaitPointer()
    {
        Screen->SetCursor(m_before);
        X11::Flush();
    }
    WaitPointer(const WaitPointer&) = delete;
    WaitPointer& operator=(const WaitPointer&) = delete;

private:
    TCursor m_before;
};

// ---- The clipboard ----------------------------------------------------------------------------

void ExportBlocks(std::vector<std::pair<UINT, std::string>> blocks)
{
    std::vector<X11::Offer> offers;
    for (auto& [format, bytes] : blocks)
    {
        std::string target;
        if (format == CF_UNICODETEXT)
        {
            std::u16string text(bytes.size() / sizeof(WCHAR), u'\0');
            std::memcpy(text.data(), bytes.data(), text.size() * sizeof(WCHAR));
            text.resize(std::find(text.begin(), text.end(), u'\0') - text.begin());
            auto utf8 = std::make_shared<const std::string>(Platform::ToUtf8(text.c_str(), text.size()));
            std::string latin;
            latin.reserve(text.size());
            for (char16_t ch : text)
                latin += ch < 0x100 ? static_cast<char>(ch) : '?';
            offers.push_back({"UTF8_STRING", utf8});
            offers.push_back({"text/plain;charset=utf-8", utf8});
            offers.push_back({"STRING", std::make_shared<const std::string>(std::move(latin))});
        }
        else if (format == CF_HDROP)
        {
            std::u16string list;
            if (!Platform::ReadDropFilesBlock(bytes.data(), bytes.size(), list))
                continue;
            std::string uris = Platform::MakeUriList(list.c_str());
            if (!uris.empty())
                offers.push_back({UriListTarget, std::make_shared<const std::string>(std::move(uris))});
        }
        else if (TargetOf(format, target) &&
                 std::none_of(offers.begin(), offers.end(), [&](const X11::Offer& o) { return o.target == target; }))
            offers.push_back({target, std::make_shared<const std::string>(std::move(bytes))});
    }
    // Also with nothing to offer: the clipboard is ours now, and other programs see it empty.
    X11::OfferClipboard(std::move(offers));
}

bool OffersFormat(UINT format)
{
    std::string target;
    if (format != CF_UNICODETEXT && !TargetOf(format, target))
        return false;
    std::vector<std::string> targets;
    std::optional<WaitPointer> wait;
    bool listed = X11::ClipboardTargets(targets, FirstAnswerMs, [&] { wait.emplace(); });
    if (format != CF_UNICODETEXT)
        return listed && Listed(targets, target);
    if (!listed) // an owner that names no forms may still answer with text; no owner does not
        return X11::ClipboardOwnerNow() == X11::ClipboardOwner::Other;
    return std::any_of(std::begin(TextTargets), std::end(TextTargets),
                       [&](const char* t) { return Listed(targets, t); });
}

// The bytes of a CF_UNICODETEXT block (up to the first NUL, then a terminator) made from another
// program's text, which is given up as soon as it is read: a large paste holds the answer and the
// text made from it, never a third copy on the way.
std::string TextBlock(std::string raw, bool latin1)
{
    std::u16string text;
    if (latin1)
    {
        const size_t length = std::find(raw.begin(), raw.end(), '\0') - raw.begin();
        text.resize(length);
        std::copy_n(reinterpret_cast<const unsigned char*>(raw.data()), length, text.begin());
    }
    else
        text = Platform::FromUtf8(raw);
    std::string().swap(raw);
    text.resize(std::find(text.begin(), text.end(), u'\0') - text.begin());
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(WCHAR));
}

bool ImportFormat(UINT format, std::string& bytes)
{
    bytes.clear();
    std::string target;
    if (format != CF_UNICODETEXT && !TargetOf(format, target))
        return false;
    WaitPointer wait;
    std::vector<std::string> targets;
    bool listed = X11::ClipboardTargets(targets, FirstAnswerMs);
    std::string raw;
    if (format != CF_UNICODETEXT)
    {
        if (!listed || !Listed(targets, target))
            return false;
        // A file list is read no further than the list may be.
        const bool fileList = format == CF_HDROP;
        const size_t limit = fileList ? Platform::LargestUriList : X11::LargestImport;
        X11::FetchResult r = X11::FetchClipboard(target, raw, FirstAnswerMs, limit);
        if (r == X11::FetchResult::TooLarge)
            TooLargeNotice(fileList ? u"file list" : u"clipboard", limit);
        if (r != X11::FetchResult::Done)
            return false;
        if (!fileList)
        {
            // The reader of the format takes it as it takes a copy made inside the process.
            bytes = std::move(raw);
            return true;
        }
        std::u16string list;
        Platform::UriListRefusal refusal;
        if (!Platform::ParseUriList(raw, list, &refusal))
        {
            // A paste from another program is a copy.
            if (refusal.line)
                RefusedListNotice(nullptr, refusal, DROPEFFECT_COPY);
            return false;
        }
        bytes = Platform::MakeDropFilesBlock(list);
        return true;
    }
    for (const char* text : TextTargets)
    {
        if (listed && !Listed(targets, text))
            continue;
        X11::FetchResult r = X11::FetchClipboard(text, raw, FirstAnswerMs);
        if (r == X11::FetchResult::TooLarge)
        {
            TooLargeNotice(u"clipboard", X11::LargestImport);
            return false;
        }
        if (r == X11::FetchResult::Refused)
            continue;
        if (r != X11::FetchResult::Done)
            return false;
        bytes = TextBlock(std::move(raw), std::strcmp(text, "STRING") == 0);
        return true;
    }
    return false;
}

// ---- Drags of ours over other programs ------------------------------------------------------

// The file list a data object carries, as text/uri-list; empty when it carries none.
std::string UriListOf(IDataObject* data)
{
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (!data || data->GetData(&format, &medium) != S_OK)
        return std::string();
    std::string uris;
    if (medium.tymed == TYMED_HGLOBAL)
    {
        SIZE_T size = GlobalSize(medium.hGlobal);
        if (const void* block = GlobalLock(medium.hGlobal))
        {
            std::u16string list;
            if (Platform::ReadDropFilesBlock(block, size, list))
                uris = Platform::MakeUriList(list.c_str());
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    return uris;
}

// The effect the keys ask for, as in a drag between our own windows.
DWORD ProposedEffect(DWORD keyState)
{
    if ((keyState & MK_CONTROL) && (keyState & MK_SHIFT))
        return DROPEFFECT_LINK;
    if (keyState & MK_CONTROL)
        return DROPEFFECT_COPY;
    return DROPEFFECT_MOVE;
}

Platform::ExternalDrag OutgoingDrag()
{
    Platform::ExternalDrag drag;
    drag.Begin = [](IDataObject* data, DWORD)
    {
        std::vector<X11::Offer> offers;
        std::string uris = UriListOf(data);
        if (!uris.empty())
            offers.push_back({UriListTarget, std::make_shared<const std::string>(std::move(uris))});
        X11::BeginDrag(std::move(offers));
    };
    drag.Over = [](IDataObject*, POINT, DWORD keyState, DWORD okEffects) -> DWORD
    { return X11::DragOver(ProposedEffect(keyState), okEffects); };
    drag.Leave = [] { X11::DragLeave(); };
    drag.Drop = [](IDataObject*, DWORD) -> DWORD { return X11::DragDrop(); };
    drag.End = [] { X11::EndDrag(); };
    return drag;
}

// ---- Other programs' drags over ours --------------------------------------------------------

// The data of another program's drag: its file list, fetched once, when first asked for (inside
// the drag's Over or Drop). A list with a line we cannot take gives no file list at all.
class ForeignData final : public ComObject<IDataObject, IID_IDataObject>
{
public:
    // Whether the list holds a line we cannot take, and which.
    bool Refused(Platform::UriListRefusal& refusal)
    {
        Fetch();
        refusal = m_refusal;
        return m_refusal.line != 0;
    }
    // Whether a drop has anything to say: files to take, or a line to refuse them by. A list that
    // cannot be read or names no file is refused while it is dragged, as the user sees at once.
    bool Droppable()
    {
        Fetch();
        return !m_block.empty() || m_refusal.line != 0;
    }

    HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!medium)
            return E_INVALIDARG;
        HRESULT hr = QueryGetData(format);
        if (hr != S_OK)
            return hr;
        Fetch();
        if (m_block.empty())
            return DV_E_FORMATETC; // nothing of it is a file here
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, m_block.size());
        if (!copy)
            return E_OUTOFMEMORY;
        std::memcpy(GlobalLock(copy), m_block.data(), m_block.size());
        GlobalUnlock(copy);
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
        if (format->cfFormat != CF_HDROP || format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        return format->tymed & TYMED_HGLOBAL ? S_OK : DV_E_TYMED;
    }
    HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        if (out)
            out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD, IEnumFORMATETC** enumerator) override
    {
        if (enumerator)
            *enumerator = nullptr;
        return E_NOTIMPL;
    }
    HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    void Fetch()
    {
        if (m_fetched)
            return;
        m_fetched = true;
        std::string raw;
        std::u16string list;
        if (X11::FetchDragData(UriListTarget, raw, Platform::LargestUriList) == X11::FetchResult::Done &&
            Platform::ParseUriList(raw, list, &m_refusal))
            m_block = Platform::MakeDropFilesBlock(list);
    }

    bool m_fetched = false;
    std::string m_block;
    Platform::UriListRefusal m_refusal;
};

ForeignData* g_incoming = nullptr;
// The effect our target last answered the drag with: what its drop would do.
DWORD g_incomingEffect = DROPEFFECT_NONE;

void DropIncoming()
{
    if (g_incoming)
        g_incoming->Release();
    g_incoming = nullptr;
    g_incomingEffect = DROPEFFECT_NONE;
}

// The program asks its user something or shows a long operation's progress: another program's
// drop now would run inside that loop, behind the question (and change what it asks about).
bool ProgramBusy()
{
    if (Vcl::FileOperationProgressWindow())
        return true;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (Screen->Forms(i)->Modal())
            return true;
    return false;
}

TCustomForm* FormOfWindow(unsigned long window)
{
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (Vcl::NativeWindowOf(Screen->Forms(i)) == window)
            return Screen->Forms(i);
    return nullptr;
}

DWORD KeyStateOf(unsigned keys)
{
    DWORD state = 0;
    if (keys & X11::ModControl)
        state |= MK_CONTROL;
    if (keys & X11::ModShift)
        state |= MK_SHIFT;
    if (keys & X11::ModLeftButton)
        state |= MK_LBUTTON;
    return state;
}

// A copy is what every peer allows besides what it asks for.
DWORD AllowedOf(unsigned proposed)
{
    return (proposed & (DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK)) | DROPEFFECT_COPY;
}

X11::IncomingDrag IncomingDrag()
{
    X11::IncomingDrag drag;
    drag.Busy = ProgramBusy;
    drag.Over = [](unsigned long window, int x, int y, unsigned proposed, unsigned keys,
                   const std::vector<std::string>& types) -> unsigned
    {
        TCustomForm* form = FormOfWindow(window);
        if (!form || !Listed(types, UriListTarget))
        {
            // Only file lists cross between programs.
            Platform::ForeignDragLeave();
            DropIncoming();
            return X11::ActionNone;
        }
        if (!g_incoming)
            g_incoming = new ForeignData();
        if (!g_incoming->Droppable())
        {
            Platform::ForeignDragLeave();
            g_incomingEffect = DROPEFFECT_NONE;
            return X11::ActionNone;
        }
        TPoint screen = form->ClientToScreen(TPoint(x, y));
        g_incomingEffect = Platform::ForeignDragOver(g_incoming, POINT{screen.x, screen.y},
                                                     KeyStateOf(keys) | MK_LBUTTON, AllowedOf(proposed));
        return g_incomingEffect;
    };
    drag.Leave = []
    {
        Platform::ForeignDragLeave();
        DropIncoming();
    };
    drag.Drop = [](unsigned long window, int x, int y, unsigned proposed, unsigned keys) -> unsigned
    {
        TCustomForm* form = FormOfWindow(window);
        DWORD effect = DROPEFFECT_NONE;
        Platform::UriListRefusal refusal;
        if (form && g_incoming && g_incoming->Refused(refusal))
        {
            // No target hears of the drop; the list's source hears that nothing was done before the
            // box, which the user may leave open longer than a source waits.
            Platform::ForeignDragLeave();
            X11::FinishDrop(X11::ActionNone);
            RefusedListNotice(form->Handle(), refusal, g_incomingEffect);
        }
        else if (form && g_incoming)
        {
            TPoint screen = form->ClientToScreen(TPoint(x, y));
            effect = Platform::ForeignDrop(g_incoming, POINT{screen.x, screen.y}, KeyStateOf(keys) & ~MK_LBUTTON,
                                           AllowedOf(proposed));
        }
        else
            Platform::ForeignDragLeave();
        DropIncoming();
        return effect;
    };
    return drag;
}

struct Previous
{
    bool installed = false;
    Platform::ClipboardBridge bridge;
    Platform::ExternalDrag drag;
    X11::IncomingDrag incoming;
};

Previous& ThePrevious()
{
    static Previous previous;
    return previous;
}
} // namespace

namespace Vcl
{
void InstallDesktopTransfers()
{
    Previous& previous = ThePrevious();
    if (previous.installed)
        return;
    previous.installed = true;
    // Drops from other programs find their window as drops of ours do.
    InstallShellBridges();
    Platform::ClipboardBridge bridge;
    bridge.Carried = {CF_UNICODETEXT, CF_HDROP};
    bridge.Registered = true;
    bridge.Export = ExportBlocks;
    // Another program's copy empties the clipboard of what this process put there, and that stays
    // so after the program went: a clipboard with no owner is empty. A display lost leaves the
    // process its own.
    bridge.Foreign = []
    {
        const X11::ClipboardOwner owner = X11::ClipboardOwnerNow();
        return owner == X11::ClipboardOwner::Other ||
               (owner == X11::ClipboardOwner::Nobody && !X11::DisplayLost());
    };
    bridge.Offers = OffersFormat;
    bridge.Import = ImportFormat;
    previous.bridge = Platform::SetClipboardBridge(std::move(bridge));
    previous.drag = Platform::SetExternalDrag(OutgoingDrag());
    previous.incoming = X11::SetIncomingDrag(IncomingDrag());
}

void RemoveDesktopTransfers()
{
    Previous& previous = ThePrevious();
    if (!previous.installed)
        return;
    Platform::SetClipboardBridge(std::move(previous.bridge));
    Platform::SetExternalDrag(std::move(previous.drag));
    X11::SetIncomingDrag(std::move(previous.incoming));
    Platform::ForeignDragLeave();
    DropIncoming();
    previous = Previous();
}
} // namespace Vcl
