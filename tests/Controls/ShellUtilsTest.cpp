// The OLE transfer objects and the shared helpers of the shell views.
#include "Controls/ShellUtils.h"

#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace ShellUtils;

namespace
{
// An unknown that counts its references, standing in for a medium's releasing object.
class CountingUnknown final : public IUnknown
{
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown)
        {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }
    ULONG count = 1;
};

FORMATETC Format(CLIPFORMAT format, DWORD tymed = TYMED_HGLOBAL)
{
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, tymed};
}

STGMEDIUM Global(DWORD value)
{
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, sizeof value);
    std::memcpy(GlobalLock(medium.hGlobal), &value, sizeof value);
    GlobalUnlock(medium.hGlobal);
    return medium;
}

class ScopedTz
{
public:
    explicit ScopedTz(const char* tz)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old, m_had = true;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz()
    {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string m_old;
    bool m_had = false;
};
} // namespace

TEST(ShellUtilsTest, DataObjectLooksFormatsUpAndOwnsItsMedia)
{
    auto* data = new XDataObject;
    FORMATETC text = Format(CF_UNICODETEXT);
    STGMEDIUM first = Global(1);
    CountingUnknown releaser;
    first.pUnkForRelease = &releaser; // the first medium is released through it
    releaser.AddRef();
    ASSERT_EQ(data->SetData(&text, &first, TRUE), S_OK);
    STGMEDIUM second = Global(2);
    ASSERT_EQ(data->SetData(&text, &second, TRUE), S_OK);
    EXPECT_EQ(releaser.count, 1u); // the replaced medium went
    EXPECT_EQ(data->SetData(&text, &second, FALSE), E_NOTIMPL);

    FORMATETC asked = Format(CF_UNICODETEXT);
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&asked, &medium), S_OK);
    EXPECT_EQ(medium.hGlobal, second.hGlobal); // lent, not copied
    EXPECT_EQ(medium.pUnkForRelease, static_cast<IUnknown*>(data));
    ReleaseStgMedium(&medium); // lets go of the object, not of the block
    EXPECT_NE(GlobalSize(second.hGlobal), 0u);

    FORMATETC otherKind = Format(CF_UNICODETEXT, TYMED_ISTREAM);
    EXPECT_EQ(data->GetData(&otherKind, &medium), DV_E_TYMED);
    FORMATETC unknown = Format(CF_HDROP);
    EXPECT_EQ(data->QueryGetData(&unknown), DV_E_FORMATETC);
    DVTARGETDEVICE device{4};
    FORMATETC withDevice = Format(CF_UNICODETEXT);
    withDevice.ptd = &device;
    EXPECT_EQ(data->GetData(&withDevice, &medium), DV_E_DVTARGETDEVICE);
    EXPECT_EQ(data->GetDataHere(&asked, &medium), E_NOTIMPL);
    EXPECT_EQ(data->GetCanonicalFormatEtc(&asked, &asked), DATA_S_SAMEFORMATETC);
    DWORD connection = 7;
    EXPECT_EQ(data->DAdvise(&asked, 0, nullptr, &connection), OLE_E_ADVISENOTSUPPORTED);

    // A medium whose releaser is the object itself does not keep the object alive.
    FORMATETC self = Format(CF_TEXT);
    STGMEDIUM own = Global(3);
    data->AddRef();
    own.pUnkForRelease = static_cast<IDataObject*>(data);
    ASSERT_EQ(data->SetData(&self, &own, TRUE), S_OK);
    EXPECT_EQ(data->Release(), 0u); // gone with both blocks (the sanitizer sees any leak)
}

TEST(ShellUtilsTest, EnumeratorListsEachFormatOnceAndOutlivesItsObject)
{
    auto* data = new XDataObject;
    FORMATETC a = Format(CF_UNICODETEXT), b = Format(CF_HDROP);
    STGMEDIUM m1 = Global(1), m2 = Global(2), m3 = Global(3);
    data->SetData(&a, &m1, TRUE);
    data->SetData(&b, &m2, TRUE);
    data->SetData(&a, &m3, TRUE); // set twice: still one entry
    IEnumFORMATETC* e = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &e), S_OK);
    EXPECT_EQ(data->Release(), 1u); // the enumerator holds the last reference
    FORMATETC got[5];
    ULONG fetched = 99;
    EXPECT_EQ(e->Next(5, got, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(got[0].cfFormat, CF_UNICODETEXT);
    EXPECT_EQ(got[1].cfFormat, CF_HDROP);
    EXPECT_EQ(e->Next(5, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    IEnumFORMATETC* clone = nullptr;
    e->Reset();
    e->Skip(1);
    ASSERT_EQ(e->Clone(&clone), S_OK);
    EXPECT_EQ(e->Release(), 0u);
    EXPECT_EQ(clone->Next(1, got, &fetched), S_OK);
    EXPECT_EQ(got[0].cfFormat, CF_HDROP);
    EXPECT_EQ(clone->Release(), 0u);

    BoxRecorder boxes;
    auto* other = new XDataObject;
    EXPECT_EQ(other->EnumFormatEtc(DATADIR_SET, &e), E_NOTIMPL);
    EXPECT_EQ(e, nullptr);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"Wrong enumeration direction");
    other->Release();
}

TEST(ShellUtilsTest, DropSourceAndTargetFollowKeysAndEvents)
{
    auto* source = new XDropSource(MK_LBUTTON, MK_RBUTTON);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON | MK_RBUTTON), DRAGDROP_S_CANCEL);
    // Once cancelled, a release no longer drops.
    EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_CANCEL);
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_COPY), S_OK);
    void* asked = nullptr;
    EXPECT_EQ(source->QueryInterface(IID_IDropTarget, &asked), E_NOINTERFACE);
    EXPECT_EQ(asked, nullptr);
    EXPECT_EQ(source->Release(), 0u);

    struct Listener
    {
        DWORD lastKeys = 0;
        void Enter(IDataObject*, DWORD keys, POINTL, DWORD* effect, HRESULT& result)
        {
            lastKeys = keys;
            *effect = DROPEFFECT_NONE;
            result = DRAGDROP_S_CANCEL;
        }
    } listener;
    auto* target = new XDropTarget;
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->DragEnter(nullptr, MK_CONTROL, POINTL{1, 2}, &effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_COPY); // no handler: untouched
    target->OnDragEnter = MakeClosure(&listener, &Listener::Enter);
    EXPECT_EQ(target->DragEnter(nullptr, MK_CONTROL, POINTL{1, 2}, &effect), DRAGDROP_S_CANCEL);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(listener.lastKeys, MK_CONTROL);
    EXPECT_EQ(target->Release(), 0u);
}

TEST(ShellUtilsTest, IdListsAndDisplayNames)
{
    IMalloc* malloc = nullptr;
    ASSERT_EQ(SHGetMalloc(&malloc), S_OK);
    LPITEMIDLIST drives = nullptr, home = nullptr;
    SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives);
    SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, &home);
    EXPECT_EQ(GetIdListSize(nullptr), 0u);
    EXPECT_EQ(GetIdListSize(drives), 4u);
    EXPECT_EQ(CopyIdList(malloc, nullptr), nullptr);
    LPITEMIDLIST both = ConcatIdLists(malloc, drives, home);
    EXPECT_EQ(GetIdListSize(both), 8u);
    LPITEMIDLIST alone = ConcatIdLists(malloc, nullptr, home);
    EXPECT_EQ(std::memcmp(alone, home, 6), 0);

    IShellFolder* desktop = nullptr;
    SHGetDesktopFolder(&desktop);
    WCHAR buffer[MAX_PATH];
    EXPECT_EQ(std::u16string(GetDisplayName(desktop, drives, buffer, SHGDN_NORMAL)), u"Computer");
    EXPECT_EQ(std::u16string(GetDisplayName(desktop, nullptr, buffer, SHGDN_NORMAL)), u"Desktop");
    EXPECT_EQ(std::u16string(GetDisplayName(nullptr, drives, buffer, SHGDN_NORMAL)), u"");
    for (LPITEMIDLIST list : {drives, home, both, alone})
        malloc->Free(list);
    desktop->Release();

    EXPECT_NE(GetSmallImageList(), nullptr);
    EXPECT_NE(GetSmallImageList(), GetLargeImageList());
    int w = 0, h = 0;
    ImageList_GetIconSize(GetSmallImageList(), &w, &h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(Shell32LibraryHandle, nullptr);
    EXPECT_EQ(SHParseDisplayName, nullptr);
}

TEST(ShellUtilsTest, FileTimesReadAsDayMonthYearWithABlankPaddedHour)
{
    ScopedTz utc("UTC");
    SYSTEMTIME st{2007, 3, 0, 5, 9, 7, 30, 0};
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    WCHAR buffer[20];
    EXPECT_EQ(std::u16string(FormatFileTime(ft, buffer)), u"05.03.2007  9:07");
    st.wHour = 23;
    SystemTimeToFileTime(&st, &ft);
    EXPECT_EQ(std::u16string(FormatFileTime(ft, buffer)), u"05.03.2007 23:07");
    EXPECT_EQ(std::u16string(FormatFileTime(FILETIME{0, 0}, buffer)), u"");
    // Local time follows the zone.
    ScopedTz east("UTC-3");
    EXPECT_EQ(std::u16string(FormatFileTime(ft, buffer)), u"06.03.2007  2:07");
}
