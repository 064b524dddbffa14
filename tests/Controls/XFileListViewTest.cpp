// The file list: its items, sizes, sorting, drawing, refresh, and transfers that lose nothing.
#include "Controls/XFileListView.h"

#include "Platform/Vcl/Forms.h"

#include "tests/support/FileListRows.h"
#include "tests/support/ManualClock.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>

namespace fs = std::filesystem;

namespace
{
void WriteFile(const fs::path& path, size_t bytes, char fill = 'x')
{
    std::ofstream(path, std::ios::binary) << std::string(bytes, fill);
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The list with its protected requests open to the test.
class ProbeList : public XFileListView
{
public:
    using XFileListView::CustomDrawItem;
    using XFileListView::XFileListView;

    // Caption and sub-item texts of row `index`, joined by '|'.
    std::u16string Row(int index)
    {
        TListItem item(this, index);
        if (!OwnerDataFetch(&item, TItemRequest{irText}))
            return u"<none>";
        std::u16string row(item.Caption.c_str());
        for (const UnicodeString& sub : item.SubItems)
            row += u"|" + std::u16string(sub.c_str());
        return row;
    }
    std::vector<std::u16string> Names()
    {
        std::vector<std::u16string> names;
        for (int i = 0; i < RecordCount(); ++i)
            names.push_back(Record(i)->Name);
        return names;
    }
    // True: the view fetches every item and measures its caption, as it does for an owner that
    // does not know its widest text.
    bool measuresItems = false;
    int OwnerDataWidest(int Column) override
    {
        return measuresItems ? -1 : XFileListView::OwnerDataWidest(Column);
    }
    int IndexOf(const std::u16string& name)
    {
        for (int i = 0; i < RecordCount(); ++i)
            if (name == Record(i)->Name)
                return i;
        return -1;
    }
};

class FileListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Platform::ResetKeyStates();
        form = new TForm(nullptr);
        form->SetClientWidth(640);
        form->SetClientHeight(400);
        list = new ProbeList(form);
        list->SetParent(form);
        list->SetBounds(0, 0, 640, 400);
        list->SetViewStyle(vsReport);
        list->SetMultiSelect(true);
        form->Show();
    }
    void TearDown() override
    {
        delete form;
        OleSetClipboard(nullptr);
        Platform::ResetKeyStates();
        Platform::DispatchPostedMessages();
    }
    void Open(const fs::path& path) { list->SetPath(UnicodeString(Platform::WideName(path.string()).c_str())); }
    void Select(std::initializer_list<std::u16string> names)
    {
        list->SetSelected(nullptr);
        for (const auto& name : names)
        {
            int i = list->IndexOf(name);
            ASSERT_GE(i, 0) << std::string(name.begin(), name.end());
            list->Items()->Item(i)->SetSelected(true);
        }
    }
    // The form point of the middle of row `index`'s label.
    TPoint RowPoint(int index)
    {
        TRect r = list->Items()->Item(index)->DisplayRect(drLabel);
        TPoint o = list->FormOrigin();
        return TPoint(o.x + r.left + 4, o.y + (r.top + r.bottom) / 2);
    }
    void Mouse(UINT message, TPoint p, WPARAM keys)
    {
        Vcl::RouteInput(form, message, keys, MAKELPARAM(p.x, p.y));
    }
    uint32_t FormPixel(int x, int y) const { return form->Pixels()[y * form->ClientWidth() + x] & 0xFFFFFF; }

    TempDir dir{"filelist"};
    TForm* form = nullptr;
    ProbeList* list = nullptr;
    BoxRecorder boxes;
};
} // namespace

TEST_F(FileListTest, StartsAtComputerAndShowsSizesTypesAndTimes)
{
    EXPECT_EQ(list->GetPath(), u"Computer");
    EXPECT_EQ(list->Names().front(), u"/");
    EXPECT_EQ(list->RefreshInterval(), 500);
    list->SetRefreshInterval(50);
    EXPECT_EQ(list->RefreshInterval(), 100);

    WriteFile(dir / "one.bin", 1025);
    WriteFile(dir / "empty.txt", 0);
    WriteFile(dir / "big", 1234567);
    fs::create_directory(dir / "folder");
    timespec times[2] = {{1173085620, 0}, {1173085620, 0}}; // 5 March 2007 9:07 UTC
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "one.bin").c_str(), times, 0), 0);
    setenv("TZ", "UTC", 1);
    tzset();
    Open(dir.Path());
    unsetenv("TZ");
    tzset();
    EXPECT_EQ(list->GetPath(), Platform::WideName(dir.Path().string()));
    EXPECT_EQ(list->Items()->Count(), 4);
    EXPECT_EQ(list->Row(list->IndexOf(u"one.bin")), u"one.bin|2 KB|BIN File||05.03.2007  9:07");
    EXPECT_EQ(list->Row(list->IndexOf(u"empty.txt")).substr(0, 20), u"empty.txt|0 KB|TXT F");
    EXPECT_EQ(list->Row(list->IndexOf(u"big")).substr(0, 19), u"big|1 206 KB|File||");
    EXPECT_EQ(list->Row(list->IndexOf(u"folder")).substr(0, 21), u"folder||File folder||");
    EXPECT_EQ(XFileListView::SizeText(~uint64_t(0)), u"18 014 398 509 481 984 KB"); // all 64 bits of k
    EXPECT_EQ(list->GetSize(XFileListView::otAll), 1025u + 1234567u);
}

TEST_F(FileListTest, SortsFoldersFirstAndByHeaderClicks)
{
    WriteFile(dir / "a", 10);
    WriteFile(dir / "b", 10);
    WriteFile(dir / "c", 30);
    WriteFile(dir / "d", 20);
    fs::create_directory(dir / "zdir");
    Open(dir.Path());
    EXPECT_EQ(list->Names(), (std::vector<std::u16string>{u"zdir", u"a", u"b", u"c", u"d"}));
    list->SetFileSortType(fstSize);
    list->SetSortReverse(true);
    EXPECT_EQ(list->Names(), (std::vector<std::u16string>{u"zdir", u"c", u"d", u"b", u"a"}));

    // Header clicks: "Size" twice sorts by size, then reversed; "Name" then by name ascending.
    list->SetFileSortType(fstName);
    TPoint sizeHeader(list->Columns()->Items(0)->Width + 10, 5);
    TPoint nameHeader(10, 5);
    Mouse(WM_LBUTTONDOWN, sizeHeader, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, sizeHeader, 0);
    EXPECT_EQ(list->FileSortType(), fstSize);
    EXPECT_FALSE(list->SortReverse());
    EXPECT_EQ(list->Names(), (std::vector<std::u16string>{u"zdir", u"a", u"b", u"d", u"c"}));
    Mouse(WM_LBUTTONDOWN, sizeHeader, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, sizeHeader, 0);
    EXPECT_TRUE(list->SortReverse());
    Mouse(WM_LBUTTONDOWN, nameHeader, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, nameHeader, 0);
    EXPECT_EQ(list->FileSortType(), fstName);
    EXPECT_FALSE(list->SortReverse());
    EXPECT_EQ(list->Names(), (std::vector<std::u16string>{u"zdir", u"a", u"b", u"c", u"d"}));
}

// The order a sort must give between neighbours, from the records' own fields and CompareStringW.
int ExpectedOrder(const XFileItem* a, const XFileItem* b, XFileSortType type, bool reverse)
{
    bool da = a->FileAttributes & FILE_ATTRIBUTE_DIRECTORY, db = b->FileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (da != db)
        return da ? -1 : 1;
    if (reverse)
        std::swap(a, b);
    auto text = [](const WCHAR* t) { return t ? t : u""; };
    int r = 0;
    if (type == fstSize)
        r = a->Size < b->Size ? -1 : a->Size > b->Size;
    else if (type == fstTime)
        r = a->LastWriteTime < b->LastWriteTime ? -1 : a->LastWriteTime > b->LastWriteTime;
    else if (type == fstAttribute)
        r = static_cast<int>(a->FileAttributes & 0x927) - static_cast<int>(b->FileAttributes & 0x927);
    else if (type == fstType)
        r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text(a->TypeName), -1, text(b->TypeName), -1) - 2;
    return r ? r : CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a->Name, -1, b->Name, -1) - 2;
}

TEST_F(FileListTest, EverySortAgreesWithTheCaseBlindCompare)
{
    // Names that tie without case, differ only by hyphens, mix digits, Cyrillic and Latin-1, and
    // carry a byte that is not UTF-8.
    const char* const stems[] = {"file", "FILE", "File-", "отчёт", "ОТЧЁТ", "co-op", "coop", "Ärger", "ärger",
                                 "10", "9", "_x", "x'y", "a\\b\xFF" "raw"};
    const char* const extensions[] = {"", ".txt", ".TXT", ".ski", ".Отч", ".b-c"};
    size_t n = 0;
    for (const char* stem : stems)
        for (const char* extension : extensions)
        {
            std::string name = std::string(stem) + std::to_string(n % 7) + extension;
            WriteFile(dir / name, (n * 7919) % 50);
            if (n % 11 == 0)
                fs::create_directory(dir / (name + "-dir"));
            ++n;
        }
    Open(dir.Path());
    ASSERT_GT(list->RecordCount(), 80);
    auto checkOrder = [&](const char* what)
    {
        XFileSortType type = list->FileSortType();
        bool reverse = list->SortReverse();
        for (int i = 0; i + 1 < list->RecordCount(); ++i)
            ASSERT_LE(ExpectedOrder(list->Record(i), list->Record(i + 1), type, reverse), 0)
                << what << " type " << type << " reverse " << reverse << " at " << i;
    };
    checkOrder("opened");
    for (int round = 0; round < 2; ++round) // the second round sorts on kept keys
        for (XFileSortType type : {fstType, fstSize, fstTime, fstAttribute, fstName})
        {
            list->SetFileSortType(type);
            checkOrder("sorted");
            list->SetSortReverse(true);
            checkOrder("reversed");
        }

    // Renamed files take their new places: keys of the records read before must not stay.
    fs::rename(dir / "file0", dir / "zzz-last");
    fs::rename(dir / "coop2.txt", dir / "AAA-first");
    list->SetSortReverse(false); // by name, ascending
    list->Refresh();
    checkOrder("refreshed");
    EXPECT_EQ(list->IndexOf(u"file0"), -1);
    EXPECT_LT(list->IndexOf(u"AAA-first"), list->IndexOf(u"zzz-last"));
}

TEST_F(FileListTest, RenamesRefreshAfterOneTickAndSizeChangesOnlyReArm)
{
    ManualClock clock;
    WriteFile(dir / "first", 1);
    Open(dir.Path());
    ASSERT_EQ(list->Names(), (std::vector<std::u16string>{u"first"}));
    fs::rename(dir / "first", dir / "second");
    clock.Advance(500);
    Application->ProcessMessages();
    EXPECT_EQ(list->Names(), (std::vector<std::u16string>{u"second"}));

    WriteFile(dir / "second", 5000);
    for (int tick = 0; tick < 3; ++tick)
    {
        clock.Advance(500);
        Application->ProcessMessages();
    }
    EXPECT_EQ(list->Record(0)->Size, 1u); // no refresh for a size
    list->Refresh();
    EXPECT_EQ(list->Record(0)->Size, 5000u);
}

TEST_F(FileListTest, HiddenSystemAndReadOnlyItemsTakeTheirFonts)
{
    ASSERT_EQ(mkfifo((dir / ".pipe").c_str(), 0600), 0);
    WriteFile(dir / ".hidden", 1);
    WriteFile(dir / "plain", 1);
    Open(dir.Path());
    TFont* font = list->Canvas()->Font();
    auto drawn = [&](const std::u16string& name)
    {
        font->Assign(list->Font());
        list->CustomDrawItem(list->Items()->Item(list->IndexOf(name)), TCustomDrawState(), cdPrePaint);
        return std::make_pair(font->Color(), font->Style());
    };
    EXPECT_EQ(drawn(u".pipe"), std::make_pair(TColor(clHighlight), TFontStyles{fsUnderline}));
    EXPECT_EQ(drawn(u".hidden"), std::make_pair(TColor(0), TFontStyles{fsUnderline}));
    EXPECT_EQ(drawn(u"plain"), std::make_pair(list->Font()->Color(), list->Font()->Style()));
    list->SystemDrawOption()->SetFontStyle(TFontStyles{fsBold});
    EXPECT_EQ(drawn(u".pipe"), std::make_pair(TColor(clHighlight), TFontStyles{fsBold, fsUnderline}));
}

TEST_F(FileListTest, TypingFindsTheNextNameWithoutCase)
{
    for (const char* name : {"apple", "banana", "Berry", "cherry"})
        WriteFile(dir / name, 1);
    Open(dir.Path());
    list->SetFocus();
    Vcl::RouteInput(form, WM_CHAR, u'b', 1);
    EXPECT_EQ(std::u16string(list->GetSelectedFileItem()->Name), u"banana");
    Vcl::RouteInput(form, WM_CHAR, u'b', 1);
    EXPECT_EQ(std::u16string(list->GetSelectedFileItem()->Name), u"Berry");
    // On the last "b" with no later one, it stays.
    Vcl::RouteInput(form, WM_CHAR, u'b', 1);
    EXPECT_EQ(std::u16string(list->GetSelectedFileItem()->Name), u"Berry");
    EXPECT_EQ(list->SelCount(), 1);

    // Keys outside End..Down reach the handler with their shift state and not the view.
    struct Keys
    {
        WORD key = 0;
        TShiftState shift;
        void Down(TObject*, WORD& k, TShiftState s) { key = k, shift = s; }
    } keys;
    list->OnKeyDown = MakeClosure(&keys, &Keys::Down);
    Platform::SetKeyDown(VK_CONTROL, true);
    Vcl::RouteInput(form, WM_KEYDOWN, VK_PRIOR, 1);
    EXPECT_EQ(keys.key, VK_PRIOR);
    EXPECT_TRUE(keys.shift.Contains(ssCtrl));
    EXPECT_EQ(std::u16string(list->GetSelectedFileItem()->Name), u"Berry");
    Platform::SetKeyDown(VK_CONTROL, false);
    Vcl::RouteInput(form, WM_KEYDOWN, VK_HOME, 1);
    EXPECT_EQ(std::u16string(list->GetSelectedFileItem()->Name), u"apple");
}

TEST_F(FileListTest, NavigatesIntoFoldersAndBackUp)
{
    fs::create_directories(dir / "inner" / "deep");
    WriteFile(dir / "inner" / "file", 1);
    Open(dir.Path());
    int changes = 0;
    struct Counter
    {
        int* n;
        void Changed(TObject*) { ++*n; }
    } counter{&changes};
    list->OnFolderChange = MakeClosure(&counter, &Counter::Changed);
    TPoint p = RowPoint(list->IndexOf(u"inner"));
    Mouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, p, 0);
    Mouse(WM_LBUTTONDBLCLK, p, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, p, 0);
    EXPECT_EQ(list->GetPath(), Platform::WideName((dir / "inner").string()));
    EXPECT_EQ(changes, 1);
    list->UpLevel();
    EXPECT_EQ(list->GetPath(), Platform::WideName(dir.Path().string()));
    EXPECT_EQ(std::u16string(list->GetSelectedFileItem()->Name), u"inner");
    // A folder that cannot be listed is not entered.
    list->SetPath(u"/proc/1/fd/no-such");
    EXPECT_EQ(list->GetPath(), Platform::WideName(dir.Path().string()));
    // Up from the top: Computer, then the desktop; at the desktop nothing more happens.
    for (int i = 0; i < 64 && list->GetPath() != u"Desktop"; ++i)
        list->UpLevel();
    EXPECT_EQ(list->GetPath(), u"Desktop");
    int before = changes;
    list->UpLevel();
    EXPECT_EQ(changes, before);
    EXPECT_EQ(list->Names(), (std::vector<std::u16string>{u"Computer", u"Control Panel", u"Home", u"Network"}));
}

TEST_F(FileListTest, ClipboardCopiesAndCutsMove)
{
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "dst");
    WriteFile(dir / "src" / "f1", 3, 'a');
    WriteFile(dir / "src" / "f2", 3, 'b');
    Open(dir / "src");
    Select({u"f1"});
    list->CopyToClipboard();

    // The drop list on the clipboard, byte for byte.
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE block = GetClipboardData(CF_HDROP);
    ASSERT_NE(block, nullptr);
    std::u16string path = Platform::WideName((dir / "src" / "f1").string());
    std::vector<BYTE> expected = {0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    for (char16_t c : path)
        expected.insert(expected.end(), {static_cast<BYTE>(c & 0xFF), static_cast<BYTE>(c >> 8)});
    expected.insert(expected.end(), {0, 0, 0, 0});
    ASSERT_EQ(GlobalSize(block), expected.size());
    auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
    EXPECT_EQ(std::vector<BYTE>(bytes, bytes + expected.size()), expected);
    GlobalUnlock(block);
    CloseClipboard();
    EXPECT_TRUE(list->IsClipboardAvailable());

    Open(dir / "dst");
    list->PasteFromClipboard();
    EXPECT_EQ(ReadFile(dir / "dst" / "f1"), "aaa");
    EXPECT_TRUE(fs::exists(dir / "src" / "f1"));

    Open(dir / "src");
    Select({u"f2"});
    list->CutToClipboard();
    Open(dir / "dst");
    list->PasteFromClipboard();
    EXPECT_EQ(ReadFile(dir / "dst" / "f2"), "bbb");
    EXPECT_FALSE(fs::exists(dir / "src" / "f2"));
    IDataObject* current = nullptr;
    OleGetClipboard(&current);
    EXPECT_EQ(OleIsCurrentClipboard(current), S_FALSE); // flushed
    current->Release();
}

TEST_F(FileListTest, NarrowAndHostileDropListsFromOtherPrograms)
{
    fs::create_directories(dir / "dst");
    std::string native = "\xD0\xBF\xD1\x80\xD0\xB8"; // "при" in UTF-8
    WriteFile(dir / native, 2, 'n');
    Open(dir / "dst");

    auto place = [](const std::vector<BYTE>& bytes)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        if (!bytes.empty())
            std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        OpenClipboard(nullptr);
        EmptyClipboard();
        SetClipboardData(CF_HDROP, block);
        CloseClipboard();
    };
    auto header = [](DWORD offset, BOOL wide)
    {
        std::vector<BYTE> bytes(20, 0);
        std::memcpy(bytes.data(), &offset, 4);
        std::memcpy(bytes.data() + 16, &wide, 4);
        return bytes;
    };
    // A narrow list in the thread's code page (1251) converts before the copy.
    std::vector<BYTE> narrow = header(20, FALSE);
    std::string cp1251 = dir.Path().string() + "/\xEF\xF0\xE8";
    narrow.insert(narrow.end(), cp1251.begin(), cp1251.end());
    narrow.insert(narrow.end(), {0, 0});
    place(narrow);
    list->PasteFromClipboard();
    EXPECT_EQ(ReadFile(dir / "dst" / native), "nn");
    fs::remove(dir / "dst" / native);

    // Offsets before the header's end or past the block, and lists cut short, change nothing.
    std::vector<BYTE> cutShort = header(20, TRUE);
    std::u16string wide = Platform::WideName((dir / native).string());
    for (size_t i = 0; i + 1 < wide.size(); ++i)
        cutShort.insert(cutShort.end(), {static_cast<BYTE>(wide[i] & 0xFF), static_cast<BYTE>(wide[i] >> 8)});
    cutShort.push_back('x'); // an odd byte and no NULs at all
    std::vector<BYTE> wholeList = header(20, TRUE);
    for (char16_t c : wide)
        wholeList.insert(wholeList.end(), {static_cast<BYTE>(c & 0xFF), static_cast<BYTE>(c >> 8)});
    std::vector<BYTE> before = wholeList, past = wholeList;
    DWORD early = 8, beyond = static_cast<DWORD>(wholeList.size() + 2);
    std::memcpy(before.data(), &early, 4);
    std::memcpy(past.data(), &beyond, 4);
    for (const auto& hostile : {before, past, cutShort, std::vector<BYTE>(10, 0), std::vector<BYTE>()})
    {
        place(hostile);
        list->PasteFromClipboard();
        EXPECT_TRUE(fs::is_empty(dir / "dst"));
    }
    EXPECT_TRUE(fs::exists(dir / native));
}

TEST_F(FileListTest, BatchRenameTakesTheShorterList)
{
    for (const char* name : {"o1", "o2", "o3"})
        WriteFile(dir / name, 1);
    Open(dir.Path());
    XStringList oldNames, newNames;
    for (const char16_t* n : {u"o1", u"o2", u"o3"})
        oldNames.Add(n);
    for (const char16_t* n : {u"n1", u"n2"})
        newNames.Add(n);
    list->SBatchRename(oldNames, newNames);
    EXPECT_TRUE(fs::exists(dir / "n1"));
    EXPECT_TRUE(fs::exists(dir / "n2"));
    EXPECT_TRUE(fs::exists(dir / "o3"));
    EXPECT_FALSE(fs::exists(dir / "o1"));
}

TEST_F(FileListTest, RightClickDeleteTrashes)
{
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    boxes.answer = IDYES;
    WriteFile(dir / "victim", 4);
    Open(dir.Path());
    std::vector<std::u16string> shown;
    auto previous = Platform::SetMenuTracker(
        [&shown](HMENU menu, int, int, HWND) -> UINT
        {
            WCHAR text[32];
            for (int i = 0; i < GetMenuItemCount(menu); ++i)
            {
                GetMenuStringW(menu, static_cast<UINT>(i), text, 32, MF_BYPOSITION);
                shown.push_back(text);
            }
            return GetMenuItemID(menu, 3); // "Delete"
        });
    TPoint p = RowPoint(list->IndexOf(u"victim"));
    Mouse(WM_RBUTTONDOWN, p, MK_RBUTTON);
    Mouse(WM_RBUTTONUP, p, 0);
    Platform::SetMenuTracker(previous);
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"Open", u"Cut", u"Copy", u"Delete"}));
    EXPECT_FALSE(fs::exists(dir / "victim"));
    EXPECT_TRUE(fs::exists(dir / "data" / "Trash" / "files" / "victim"));
    EXPECT_TRUE(fs::exists(dir / "data" / "Trash" / "info" / "victim.trashinfo"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, u"Confirm File Delete");
}

namespace
{
// A drag of the list's selection: the button goes down on `from`, the pointer moves to `to` and the
// button comes up there, with `keys` held.
void DragWithin(FileListTest* test, TForm* form, ProbeList* list, TPoint from, TPoint to, WPARAM keys)
{
    (void)test;
    Platform::SetKeyDown(VK_CONTROL, keys & MK_CONTROL);
    Platform::SetKeyDown(VK_SHIFT, keys & MK_SHIFT);
    PostMessageW(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON | keys, MAKELPARAM(to.x, to.y + 1));
    PostMessageW(form->Handle(), WM_LBUTTONUP, keys, MAKELPARAM(to.x, to.y + 1));
    Vcl::RouteInput(form, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(from.x, from.y));
    // The move that begins the drag; its loop takes what was posted.
    Vcl::RouteInput(form, WM_MOUSEMOVE, MK_LBUTTON | keys, MAKELPARAM(to.x, to.y));
    Platform::SetKeyDown(VK_CONTROL, false);
    Platform::SetKeyDown(VK_SHIFT, false);
    Platform::DispatchPostedMessages();
    (void)list;
}
} // namespace

TEST_F(FileListTest, DragsWithinTheListFollowTheKeys)
{
    fs::create_directories(dir / "target");
    fs::create_directories(dir / "own");
    WriteFile(dir / "moved", 1);
    WriteFile(dir / "copied", 1);
    WriteFile(dir / "linked", 1);
    Open(dir.Path());
    auto drag = [&](const std::u16string& item, const std::u16string& onto, WPARAM keys)
    {
        Open(dir.Path());
        TPoint from = RowPoint(list->IndexOf(item));
        TPoint to = RowPoint(list->IndexOf(onto));
        DragWithin(this, form, list, from, to, keys);
    };
    drag(u"moved", u"target", 0);
    EXPECT_TRUE(fs::exists(dir / "target" / "moved"));
    EXPECT_FALSE(fs::exists(dir / "moved"));
    drag(u"copied", u"target", MK_CONTROL);
    EXPECT_TRUE(fs::exists(dir / "target" / "copied"));
    EXPECT_TRUE(fs::exists(dir / "copied"));
    drag(u"linked", u"target", MK_CONTROL | MK_SHIFT);
    EXPECT_FALSE(fs::exists(dir / "target" / "linked"));
    EXPECT_TRUE(fs::exists(dir / "linked"));
    // Onto one of its own selected folders: no effect, nothing moves.
    Open(dir.Path());
    Select({u"own", u"linked"});
    TPoint own = RowPoint(list->IndexOf(u"own"));
    PostMessageW(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(own.x, own.y + 1));
    PostMessageW(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(own.x, own.y + 1));
    list->DoDragDrop(TShiftState(), own.x, own.y);
    EXPECT_TRUE(fs::exists(dir / "linked"));
    EXPECT_TRUE(fs::is_empty(dir / "own"));
    EXPECT_TRUE(boxes.boxes.empty());
    // One of several selected rows, released after a tremor on its name or a move beside it that
    // began no drag, is selected alone.
    TPoint name = RowPoint(list->IndexOf(u"linked")), type(list->Columns()->Items(0)->Width + 100, name.y);
    for (auto [from, to] : {std::pair{name, TPoint(name.x + Vcl::DragThreshold - 1, name.y)},
                            std::pair{type, TPoint(type.x + 20, type.y)}})
    {
        Select({u"own", u"linked"});
        DragWithin(this, form, list, from, to, 0);
        EXPECT_TRUE(list->SelCount() == 1 && list->Items()->Item(list->IndexOf(u"linked"))->Selected());
    }
}

TEST_F(FileListTest, DropsFromElsewhereOnTheEmptyAreaCopy)
{
    fs::create_directories(dir / "shown");
    fs::create_directories(dir / "away");
    WriteFile(dir / "away" / "incoming", 7);
    Open(dir / "shown");
    // Another window's drag: its data object holds the file list.
    auto* data = FileListDataObject((dir / "away" / "incoming").string());
    auto* source = new ShellUtils::XDropSource(MK_LBUTTON, MK_RBUTTON);
    TPoint empty(300, 300); // below every row
    Platform::SetKeyDown(VK_LBUTTON, true);
    PostMessageW(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(empty.x, empty.y));
    PostMessageW(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL | MK_SHIFT, MAKELPARAM(empty.x, empty.y + 1));
    PostMessageW(form->Handle(), WM_LBUTTONUP, MK_CONTROL | MK_SHIFT, MAKELPARAM(empty.x, empty.y + 1));
    DWORD effect = 0;
    EXPECT_EQ(DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect), DRAGDROP_S_DROP);
    Platform::SetKeyDown(VK_LBUTTON, false);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_TRUE(fs::exists(dir / "shown" / "incoming"));
    EXPECT_TRUE(fs::exists(dir / "away" / "incoming"));

    // Data without a file list: no target for that drag, no effect.
    auto* plain = new ShellUtils::XDataObject;
    PostMessageW(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(empty.x, empty.y));
    PostMessageW(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(empty.x, empty.y));
    EXPECT_EQ(DoDragDrop(plain, source, DROPEFFECT_COPY, &effect), DRAGDROP_S_CANCEL);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    // Escape ends a drag as cancelled.
    auto* escaping = new ShellUtils::XDropSource(MK_LBUTTON, MK_RBUTTON);
    PostMessageW(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(empty.x, empty.y));
    PostMessageW(form->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(empty.x, empty.y));
    fs::remove(dir / "shown" / "incoming");
    EXPECT_EQ(DoDragDrop(data, escaping, DROPEFFECT_COPY, &effect), DRAGDROP_S_CANCEL);
    Platform::DispatchPostedMessages();
    EXPECT_FALSE(fs::exists(dir / "shown" / "incoming"));
    plain->Release();
    escaping->Release();
    source->Release();
    data->Release();
}

// Another window's drop onto a folder row tells its source the effect only of what was wholly
// done (told of a move, a source may delete its originals); a source that offers only a copy gets
// one there, where no key held would ask for a move, and so does one that offers a copy or a link.
TEST_F(FileListTest, ADropTellsItsSourceOnlyWhatWasWhollyDone)
{
    fs::create_directories(dir / "shown" / "docs");
    fs::create_directories(dir / "away");
    for (const char* name : {"offered", "first", "moved", "either"})
        WriteFile(dir / "away" / name, 3, name[0]);
    WriteFile(dir / "shown" / "docs" / "there", 3, 't');
    Open(dir / "shown");
    TPoint docs = RowPoint(list->IndexOf(u"docs"));
    auto dropOnDocs = [&](const std::string& names, DWORD allowed)
    {
        auto* data = FileListDataObject(names);
        auto* source = new ShellUtils::XDropSource(MK_LBUTTON, MK_RBUTTON);
        Platform::SetKeyDown(VK_LBUTTON, true);
        PostMessageW(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(docs.x, docs.y));
        PostMessageW(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(docs.x, docs.y + 1));
        PostMessageW(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(docs.x, docs.y + 1));
        DWORD effect = 0xFF; // overwritten by every drag
        DoDragDrop(data, source, allowed, &effect);
        Platform::SetKeyDown(VK_LBUTTON, false);
        source->Release();
        data->Release();
        return effect;
    };
    const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(dropOnDocs((dir / "away" / "offered").string(), DROPEFFECT_COPY), DROPEFFECT_COPY);
    EXPECT_EQ(ReadFile(dir / "shown" / "docs" / "offered"), "ooo");
    EXPECT_TRUE(fs::exists(dir / "away" / "offered"));
    EXPECT_EQ(dropOnDocs((dir / "away" / "moved").string(), both), DROPEFFECT_MOVE);
    EXPECT_EQ(ReadFile(dir / "shown" / "docs" / "moved"), "mmm");
    EXPECT_EQ(dropOnDocs((dir / "away" / "either").string(), DROPEFFECT_COPY | DROPEFFECT_LINK), DROPEFFECT_COPY);
    EXPECT_EQ(ReadFile(dir / "shown" / "docs" / "either"), "eee");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "shown" / "docs" / "either")));
    EXPECT_TRUE(fs::exists(dir / "away" / "either"));
    EXPECT_TRUE(boxes.boxes.empty());

    // A move onto where it already is, a missing file, a list whose second file is missing (its
    // first has moved): nothing, or not everything, was done.
    EXPECT_EQ(dropOnDocs((dir / "shown" / "docs" / "there").string(), both), DROPEFFECT_NONE);
    EXPECT_EQ(ReadFile(dir / "shown" / "docs" / "there"), "ttt");
    EXPECT_EQ(dropOnDocs((dir / "away" / "missing").string(), both), DROPEFFECT_NONE);
    EXPECT_EQ(dropOnDocs((dir / "away" / "first").string() + '\0' + (dir / "away" / "missing").string(), both),
              DROPEFFECT_NONE);
    EXPECT_EQ(ReadFile(dir / "shown" / "docs" / "first"), "fff");
    EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST_F(FileListTest, ALongOperationShowsProgressAndCancelsBetweenFiles)
{
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "dst");
    for (int i = 0; i < 6; ++i)
        WriteFile(dir / "src" / ("f" + std::to_string(i)), 1000, 'p');
    Open(dir / "src");
    list->SetSelected(nullptr);
    for (int i = 0; i < list->RecordCount(); ++i)
        list->Items()->Item(i)->SetSelected(true);
    // Every look at the clock is 300 ms later until the window shows; then the user clicks Cancel
    // (and time stands, so the window's own message loop ends).
    list->SetAutoRefresh(false);
    DWORD now = 0;
    bool shown = false;
    Platform::TickClock previous = Platform::SetTickClock(
        [&]
        {
            if (TButton* cancel = Vcl::FileOperationCancelButton(); cancel && !shown)
            {
                shown = true;
                cancel->Click();
            }
            return shown ? now : now += 300;
        });
    list->SCopyTo(UnicodeString(Platform::WideName((dir / "dst").string()).c_str()));
    Platform::SetTickClock(previous);
    EXPECT_TRUE(shown);
    EXPECT_EQ(Vcl::FileOperationProgressWindow(), nullptr); // gone with the operation
    size_t copied = 0;
    for (auto& entry : fs::directory_iterator(dir / "dst"))
    {
        EXPECT_EQ(fs::file_size(entry.path()), 1000u); // whole files only
        ++copied;
    }
    EXPECT_GT(copied, 0u);
    EXPECT_LT(copied, 6u);
}

namespace
{
// Widths of texts in the list's font, measured on a canvas of the test's own.
int TextWidthIn(TCustomListView* list, const UnicodeString& text)
{
    TBitmap bitmap;
    bitmap.SetSize(8, 8);
    bitmap.Canvas()->Font()->Assign(list->Font());
    return bitmap.Canvas()->TextWidth(text);
}
} // namespace

TEST_F(FileListTest, ColumnsFitTheirTextsAndFollowTheirDividers)
{
    const std::u16string longName = u"a name long enough to want more room than the others.txt";
    WriteFile(dir / "a.txt", 10);
    WriteFile(dir / "b.dat", 3000);
    WriteFile(dir / std::string(longName.begin(), longName.end()), 20);
    fs::create_directory(dir / "sub");
    Open(dir.Path());
    ASSERT_EQ(list->RecordCount(), 4);
    TListColumns* columns = list->Columns();
    const int widest = TextWidthIn(list, longName.c_str());

    // "Name" shows its widest name whole at any width of the list; what does not fit scrolls.
    int nameWidth = columns->Items(0)->Width;
    for (int width : {200, 640, 1400})
    {
        list->SetWidth(width);
        EXPECT_EQ(columns->Items(0)->Width, nameWidth) << width;
        TRect label = list->Items()->Item(list->IndexOf(longName))->DisplayRect(drLabel);
        EXPECT_GE(label.Width(), widest) << width;
        EXPECT_LE(label.Width(), widest + 24) << width;
        bool wider = nameWidth + 80 + 150 + 50 + 120 > list->ClientWidth();
        EXPECT_EQ((list->WindowStyle() & WS_HSCROLL) != 0, wider) << width;
    }
    list->SetWidth(640);
    EXPECT_TRUE(list->WindowStyle() & WS_HSCROLL);
    EXPECT_FALSE(list->WindowStyle() & WS_VSCROLL); // four rows fit

    // A divider dragged 40 pixels widens its column by 40; the press sorts nothing.
    TPoint origin = list->FormOrigin();
    int sizeWidth = columns->Items(1)->Width;
    TPoint divider(origin.x + nameWidth + sizeWidth, origin.y + 5);
    EXPECT_EQ(list->DividerAt(nameWidth + sizeWidth - 3), 1);
    EXPECT_EQ(list->DividerAt(nameWidth + sizeWidth + 20), -1);
    Mouse(WM_MOUSEMOVE, divider, 0);
    EXPECT_EQ(list->Cursor(), crHSplit);
    Mouse(WM_LBUTTONDOWN, divider, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, TPoint(divider.x + 15, divider.y), MK_LBUTTON);
    EXPECT_EQ(columns->Items(1)->Width, sizeWidth + 15); // the column follows the pointer
    Mouse(WM_MOUSEMOVE, TPoint(divider.x + 40, divider.y + 60), MK_LBUTTON);
    Mouse(WM_LBUTTONUP, TPoint(divider.x + 40, divider.y + 60), 0);
    EXPECT_EQ(columns->Items(1)->Width, sizeWidth + 40);
    EXPECT_EQ(list->FileSortType(), fstName);
    EXPECT_FALSE(list->SortReverse());
    Mouse(WM_MOUSEMOVE, TPoint(origin.x + 30, origin.y + 60), 0);
    EXPECT_EQ(list->Cursor(), crDefault);
    // A drag whose release never came ends at the first move without the button.
    Mouse(WM_LBUTTONDOWN, TPoint(divider.x + 40, divider.y), MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, TPoint(divider.x + 60, divider.y), 0);
    Mouse(WM_MOUSEMOVE, TPoint(divider.x + 90, divider.y), 0);
    EXPECT_EQ(columns->Items(1)->Width, sizeWidth + 40);

    // "Name" dragged narrower keeps the user's width through a refresh.
    TPoint nameDivider(origin.x + nameWidth, origin.y + 5);
    Mouse(WM_LBUTTONDOWN, nameDivider, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, TPoint(nameDivider.x - 30, nameDivider.y), MK_LBUTTON);
    Mouse(WM_LBUTTONUP, TPoint(nameDivider.x - 30, nameDivider.y), 0);
    EXPECT_EQ(columns->Items(0)->Width, nameWidth - 30);
    list->Refresh();
    EXPECT_EQ(columns->Items(0)->Width, nameWidth - 30);

    // A double click on a divider sizes its column to its widest text, header included, and is
    // no double click of the list: the selected folder is not entered.
    list->Items()->Item(list->IndexOf(u"sub"))->SetSelected(true);
    UnicodeString path = list->GetPath();
    int typeWidest = TextWidthIn(list, u"Type");
    for (int i = 0; i < list->RecordCount(); ++i)
        if (list->Record(i)->TypeName)
            typeWidest = std::max(typeWidest, TextWidthIn(list, list->Record(i)->TypeName));
    int left = columns->Items(0)->Width + columns->Items(1)->Width;
    TPoint typeDivider(origin.x + left + columns->Items(2)->Width, origin.y + 5);
    Mouse(WM_LBUTTONDOWN, typeDivider, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, typeDivider, 0);
    Mouse(WM_LBUTTONDBLCLK, typeDivider, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, typeDivider, 0);
    EXPECT_GE(columns->Items(2)->Width, typeWidest + 2);
    EXPECT_LE(columns->Items(2)->Width, typeWidest + 24);
    EXPECT_EQ(list->GetPath(), path);
}

TEST_F(FileListTest, TheWidestNameIsMeasuredAsEachItemWouldBe)
{
    // The widest name is of characters the face lacks, then of another alphabet; names of
    // surrogate pairs, private use and combining marks among them.
    std::string lacking;
    for (int i = 0; i < 40; ++i)
        lacking += "文";
    lacking += ".txt";
    const std::string cyrillic = "Отчёт за первый квартал года.doc";
    for (const std::string& name : {lacking, cyrillic, std::string("\xF0\x9F\x98\x80 smile.png"),
                                    std::string("\xEE\x80\x80 private use.bin"),
                                    std::string("e\xCC\x81" "clair \xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1.txt")})
        WriteFile(dir / name, 1);
    for (int i = 0; i < 40; ++i)
        WriteFile(dir / ("file " + std::to_string(i * 7919) + ".txt"), 1);
    auto* items = new ProbeList(form);
    items->SetParent(form);
    items->SetBounds(0, 0, 640, 400);
    items->SetViewStyle(vsReport);
    items->measuresItems = true;
    auto bothDo = [&](auto action)
    {
        action(list);
        action(items);
    };
    auto expectSame = [&](const char* what)
    {
        SCOPED_TRACE(what);
        ASSERT_EQ(list->RecordCount(), 45);
        ASSERT_EQ(items->RecordCount(), 45);
        EXPECT_EQ(list->Columns()->Items(0)->Width, items->Columns()->Items(0)->Width);
        // Icon styles: the rows are as wide as the widest caption.
        bothDo([](ProbeList* l) { l->SetViewStyle(vsSmallIcon), l->SetWidth(60); });
        EXPECT_EQ(list->Items()->Item(0)->DisplayRect(drBounds).Width(),
                  items->Items()->Item(0)->DisplayRect(drBounds).Width());
        bothDo([](ProbeList* l) { l->SetViewStyle(vsReport), l->SetWidth(640); });
    };
    auto utf16 = [](const std::string& s) { return UnicodeString(Platform::WideName(s).c_str()); };
    for (int size : {13, 9})
    {
        // A size no other test measured with; the list reads first, so it meets the glyphs itself.
        bothDo([&](ProbeList* l) { l->Font()->SetSize(size); });
        bothDo([&](ProbeList* l) { l->SetPath(utf16(dir.Path().string())); });
        expectSame("new glyphs");
        ASSERT_GT(TextWidthIn(list, utf16(lacking)), TextWidthIn(list, utf16(cyrillic)) + 20);
        bothDo([](ProbeList* l) { l->Refresh(); });
        expectSame("glyphs met");
    }
    fs::remove(dir / lacking);
    WriteFile(dir / "one more.txt", 1);
    bothDo([](ProbeList* l) { l->Refresh(); });
    expectSame("the widest name of another alphabet");
    // Another font measures the names again.
    bothDo([](ProbeList* l) { l->Font()->SetStyle(TFontStyles{fsBold}); });
    expectSame("bold");
}

TEST_F(FileListTest, ManyRowsScrollByTheBarsThumbAndCutNamesEndInDots)
{
    WriteFile(dir / "AHHHHHHHHHHHHHHHHHHHHHHHHHHHHH.txt", 1);
    for (int i = 0; i < 199; ++i)
        WriteFile(dir / ("file " + std::to_string(1000 + i) + ".txt"), 1);
    Open(dir.Path());
    ASSERT_EQ(list->RecordCount(), 200);
    ASSERT_TRUE(list->WindowStyle() & WS_VSCROLL);

    // The thumb dragged past the bar's end shows the last row, whole, at the bottom.
    TRect bar = list->ScrollBarRect(SB_VERT);
    TPoint window = list->WindowOrigin();
    TPoint thumb(window.x + bar.left + bar.Width() / 2, window.y + bar.top + bar.Width() + 2);
    Mouse(WM_LBUTTONDOWN, thumb, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, TPoint(thumb.x, thumb.y + bar.Height() / 2), MK_LBUTTON);
    EXPECT_GT(list->TopIndex(), 50); // the rows follow the thumb while it moves
    Mouse(WM_MOUSEMOVE, TPoint(thumb.x, window.y + bar.bottom + 50), MK_LBUTTON);
    Mouse(WM_LBUTTONUP, TPoint(thumb.x, window.y + bar.bottom + 50), 0);
    EXPECT_EQ(list->TopIndex() + list->VisibleRowCount(), 200);
    TRect lastRow = list->Items()->Item(199)->DisplayRect(drBounds);
    EXPECT_LE(lastRow.bottom, list->ClientHeight());
    EXPECT_GE(lastRow.top, list->HeaderHeight());

    // A name cut by its column ends in "...": the text's last pixels are the dots' low ink, where
    // the clipped capitals would stand full height.
    list->SetTopIndex(0);
    list->Columns()->Items(0)->Width = 120;
    list->Invalidate();
    form->PaintDirty();
    ASSERT_EQ(list->IndexOf(u"AHHHHHHHHHHHHHHHHHHHHHHHHHHHHH.txt"), 0);
    TRect label = list->Items()->Item(0)->DisplayRect(drLabel);
    ASSERT_GE(label.top, list->HeaderHeight());
    TPoint origin = list->FormOrigin();
    int textHeight = list->Canvas()->TextHeight(u"H");
    int textTop = (label.top + label.bottom - textHeight) / 2;
    uint32_t background = FormPixel(origin.x + label.right - 1, origin.y + label.top);
    auto ink = [&](int x, int y) { return FormPixel(origin.x + x, origin.y + y) != background; };
    int end = -1; // the last column with ink
    for (int x = label.left; x < label.right; ++x)
        for (int y = textTop; y < textTop + textHeight; ++y)
            if (ink(x, y))
                end = x;
    ASSERT_GT(end, label.right - 30);
    EXPECT_LT(end, label.right);
    int high = 0, low = 0;
    for (int x = end - TextWidthIn(list, u"...") + 4; x <= end; ++x)
        for (int y = textTop; y < textTop + textHeight; ++y)
            if (ink(x, y))
                (y < textTop + textHeight / 2 ? high : low) += 1;
    EXPECT_EQ(high, 0);
    EXPECT_GT(low, 0);
}

TEST_F(FileListTest, TheMenuKeyOpensTheMenuAtTheListsCorner)
{
    std::vector<TPoint> tracked;
    auto previous = Platform::SetMenuTracker(
        [&tracked](HMENU, int x, int y, HWND) -> UINT
        {
            tracked.push_back(TPoint(x, y));
            return 0;
        });
    WriteFile(dir / "one", 1);
    Open(dir.Path());
    form->SetBounds(120, 70, form->Width(), form->Height());
    list->SetFocus();
    Select({u"one"});
    Vcl::RouteInput(form, WM_KEYDOWN, VK_APPS, 1);
    Platform::SetMenuTracker(previous);
    const TPoint corner = list->ClientToScreen(TPoint(0, 0));
    ASSERT_EQ(tracked.size(), 1u);
    EXPECT_EQ(std::make_pair(tracked[0].x, tracked[0].y), std::make_pair(corner.x, corner.y));
}
