#include "Platform/Vcl/Dialogs.h"

#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/HintWindow.h"
#include "tests/support/DrawnLines.h"
#include "tests/support/ManualClock.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ScreenSize.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
UnicodeString Wide(const fs::path& path)
{
    return UnicodeString(Platform::FromUtf8(path.string()));
}

std::string Utf8(const UnicodeString& text)
{
    return text.ToUtf8();
}

std::vector<std::string> Listing(const Vcl::FileBrowser& browser)
{
    std::vector<std::string> names;
    for (const auto& item : browser.Items())
        names.push_back((item.Folder ? "[" : "") + Utf8(item.Name) + (item.Folder ? "]" : ""));
    return names;
}

void Touch(const fs::path& path)
{
    std::ofstream(path) << "x";
}

const UnicodeString kPartFilter = u"Game 'Models.pck' file (Models.pck)|Models.pck";
} // namespace

TEST(DialogsTest, MasksMatchWithoutCase)
{
    struct Case
    {
        const char16_t* name;
        const char16_t* masks;
        bool matches;
    } cases[] = {
        {u"Models.pck", u"Models.pck", true},
        {u"MODELS.PCK", u"Models.pck", true},
        {u"models.Pck", u"Models.pck", true},
        {u"Models.pck.bak", u"Models.pck", false},
        {u"Models.original.pck", u"Models.pck", false},
        {u"xModels.pck", u"Models.pck", false},
        {u"Models.original.pck", u"*.pck", true},
        {u"Models.pck", u"*.dds; *.PCK", true},
        {u"README", u"*.*", true},
        {u"README", u"*", true},
        {u"a.b", u"?.?", true},
        {u"ab.b", u"?.?", false},
        {u"Модели.pck", u"МОДЕЛИ.*", true},
        {u"", u"Models.pck", false},
        {u"Models.pck", u"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Vcl::MatchesMask(c.name, c.masks), c.matches)
            << Utf8(c.name) << " against " << Utf8(c.masks);

    auto filters = Vcl::ParseFilter(kPartFilter + u"|All files|*.*|dangling");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].Description, u"Game 'Models.pck' file (Models.pck)");
    EXPECT_EQ(filters[0].Masks, u"Models.pck");
    EXPECT_EQ(filters[1].Masks, u"*.*");
}

TEST(DialogsTest, BrowserListsFoldersThenMatchingFilesAndNavigates)
{
    TempDir dir("kelvane-browse");
    fs::create_directories(dir / "Game" / "Data");
    fs::create_directories(dir / "b folder");
    fs::create_directories(dir / ".hidden");
    Touch(dir / "Game" / "MODELS.PCK");
    Touch(dir / "Game" / "Models.original.pck");
    Touch(dir / "Game" / "game.exe");
    Touch(dir / "models.pck");
    Touch(dir / "notes.txt");

    Vcl::FileBrowser browser;
    browser.SetMasks(Vcl::ParseFilter(kPartFilter)[0].Masks);
    ASSERT_TRUE(browser.Open(Wide(dir.Path())));
    EXPECT_EQ(Utf8(browser.Folder()), dir.Path().string() + "/");
    EXPECT_EQ(Listing(browser), (std::vector<std::string>{"[b folder]", "[Game]", "models.pck"}));

    // A failed open keeps the folder; so does a file.
    EXPECT_FALSE(browser.Open(Wide(dir / "missing")));
    EXPECT_FALSE(browser.Open(Wide(dir / "notes.txt")));
    EXPECT_EQ(Utf8(browser.Folder()), dir.Path().string() + "/");

    ASSERT_TRUE(browser.Open(Wide(dir / "game"))); // found without case
    EXPECT_EQ(Listing(browser), (std::vector<std::string>{"[Data]", "MODELS.PCK"}));
    EXPECT_EQ(browser.IndexOf(u"models.pck"), 1);
    EXPECT_EQ(browser.IndexOf(u"Data"), 0);
    EXPECT_EQ(browser.IndexOf(u"none"), -1);

    ASSERT_TRUE(browser.OpenParent());
    EXPECT_EQ(Utf8(browser.Folder()), dir.Path().string() + "/");
    ASSERT_TRUE(browser.Open(u"/"));
    EXPECT_FALSE(browser.OpenParent());
    EXPECT_EQ(browser.Folder(), u"/");
}

TEST(DialogsTest, AcceptFollowsTheTypedNameAndTheOptions)
{
    TempDir dir("kelvane-accept");
    fs::create_directories(dir / "Game");
    fs::create_directories(dir / "Mods" / "sub");
    Touch(dir / "Game" / "Models.pck");
    Touch(dir / "Game" / "Other.pck");
    Touch(dir / "Game" / "plain");
    Touch(dir / "Mods" / "a.ski");
    Touch(dir / "Mods" / "B.SKI");
    Touch(dir / "Mods" / "c.txt");
    const std::string game = (dir / "Game").string();
    const std::string mods = (dir / "Mods").string();
    // "~/" is the home folder of the moment.
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    setenv("HOME", dir.Path().c_str(), 1);
    struct RestoreHome
    {
        const std::string& home;
        ~RestoreHome() { setenv("HOME", home.c_str(), 1); }
    } restoreHome{savedHome};
    const TOpenOptions strict{ofHideReadOnly, ofPathMustExist, ofFileMustExist, ofEnableSizing};
    const TOpenOptions loose{ofHideReadOnly};
    using O = Vcl::FileBrowser::Outcome;

    struct Case
    {
        std::u16string typed;
        TOpenOptions options;
        O outcome;
        std::string fileName; // relative to the game folder; "" for none
        std::string folderAfter;
        std::vector<std::string> listing = {}; // what a filter leaves in the list
    } cases[] = {
        {u"", strict, O::None, "", game + "/"},
        {u"   ", strict, O::None, "", game + "/"},
        {u"Models.pck", strict, O::Accepted, "Models.pck", game + "/"},
        {u" models.PCK ", strict, O::Accepted, "Models.pck", game + "/"},
        {u"Models", strict, O::Accepted, "Models.pck", game + "/"}, // default extension
        {u"plain", strict, O::Accepted, "plain", game + "/"},       // exists as typed
        {u"Missing.pck", strict, O::FileMissing, "Missing.pck", game + "/"},
        {u"Missing", strict, O::FileMissing, "Missing.pck", game + "/"},
        {u"Missing.pck", loose, O::Accepted, "Missing.pck", game + "/"},
        {u"nowhere/Models.pck", strict, O::PathMissing, "nowhere/Models.pck", game + "/"},
        {u"nowhere\\Models.pck", loose, O::Accepted, "nowhere/Models.pck", game + "/"},
        {u"..", strict, O::OpenedFolder, "", dir.Path().string() + "/"},
        {u"../game\\", strict, O::OpenedFolder, "", game + "/"},
        {Platform::FromUtf8(game + "/Other.pck"), strict, O::Accepted, "Other.pck", game + "/"},
        // A pattern filters the folder its path names (the current one when it names none); a
        // folder that does not exist is refused and changes nothing.
        {u"*.PCK", strict, O::Filtered, "", game + "/", {"Models.pck", "Other.pck"}},
        {Platform::FromUtf8(mods + "/*"), strict, O::Filtered, "", mods + "/", {"[sub]", "a.ski", "B.SKI", "c.txt"}},
        {Platform::FromUtf8(dir.Path().string()) + u"\\mods\\*.ski", strict, O::Filtered, "", mods + "/",
         {"[sub]", "a.ski", "B.SKI"}},
        {u"~/Mods/?.ski", strict, O::Filtered, "", mods + "/", {"[sub]", "a.ski", "B.SKI"}},
        {u"../mods/*.t?t", strict, O::Filtered, "", mods + "/", {"[sub]", "c.txt"}},
        {u"../Mods/sub/*", strict, O::Filtered, "", mods + "/sub/", {}},
        {u"../nowhere/*.pck", strict, O::PathMissing, "../nowhere/*.pck", game + "/"},
        {u"plain/*", loose, O::PathMissing, "plain/*", game + "/"},
        {u"G*/Models.pck", strict, O::PathMissing, "G*/Models.pck", game + "/"},
    };
    for (const Case& c : cases)
    {
        Vcl::FileBrowser browser;
        ASSERT_TRUE(browser.Open(Wide(dir / "Game")));
        auto result = browser.Accept(c.typed, u"pck", c.options);
        SCOPED_TRACE(Utf8(c.typed));
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(Utf8(result.FileName), c.fileName.empty() ? "" : game + "/" + c.fileName);
        EXPECT_EQ(Utf8(browser.Folder()), c.folderAfter);
        if (c.outcome == O::Filtered)
            EXPECT_EQ(Listing(browser), c.listing);
        else
            EXPECT_EQ(Utf8(browser.Masks()), "*");
    }
    // The root is a folder like any other: a pattern after its one separator filters it, and the
    // list is what the root itself lists under that pattern.
    for (const char16_t* typed : {u"/*", u"/*.pck", u"\\*.PCK"})
    {
        SCOPED_TRACE(Utf8(typed));
        const std::u16string masks = std::u16string(typed).substr(1);
        Vcl::FileBrowser browser;
        ASSERT_TRUE(browser.Open(Wide(dir / "Game")));
        auto result = browser.Accept(typed, u"pck", strict);
        EXPECT_EQ(result.outcome, O::Filtered);
        EXPECT_EQ(Utf8(browser.Folder()), "/");
        EXPECT_EQ(browser.Masks(), masks);
        Vcl::FileBrowser root;
        root.SetMasks(masks);
        ASSERT_TRUE(root.Open(u"/"));
        EXPECT_EQ(Listing(browser), Listing(root));
        EXPECT_FALSE(Listing(root).empty());
    }
}

namespace
{
void Key(TCustomForm* form, WORD key)
{
    Vcl::RouteInput(form, WM_KEYDOWN, key, 0);
    Vcl::RouteInput(form, WM_KEYUP, key, 0);
}

// The list row of `index` in form coordinates.
LPARAM RowPoint(TOpenDialogForm* box, int index)
{
    int y = 0;
    while (box->List->ItemAt(y) != index && y < box->List->Height())
        ++y;
    return MAKELPARAM(box->List->Left() + 40, box->List->Top() + y + 3);
}

// Rests the pointer at `at` in the box for as long as a hint waits; the hint that shows then.
THintWindow* RestFor(TOpenDialogForm* box, const TPoint& at, ManualClock& clock)
{
    Vcl::RouteInput(box, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    clock.Advance(static_cast<DWORD>(Application->HintPause));
    Application->ProcessMessages();
    THintWindow* hint = Application->HintWindow();
    return hint && hint->Visible() ? hint : nullptr;
}

struct DialogScript
{
    std::function<void(TOpenDialogForm*)> steps;
    void Show(TObject* sender)
    {
        TOpenDialogForm* box = static_cast<TOpenDialog*>(sender)->Form();
        steps(box);
        if (box->ModalResult() == mrNone)
        {
            ADD_FAILURE() << "the dialog is still open";
            box->SetModalResult(mrCancel);
        }
    }
};
} // namespace

TEST(DialogsTest, DialogBrowsesByKeyboardAndMouseAndChecksTheName)
{
    BoxRecorder boxes;
    TempDir dir("kelvane-dialog");
    fs::create_directories(dir / "Game" / "Data");
    Touch(dir / "Game" / "MODELS.PCK");
    Touch(dir / "Game" / "readme.txt");
    Touch(dir / "top.pck");

    TOpenDialog dialog(nullptr);
    dialog.Filter = kPartFilter;
    dialog.DefaultExt = u"pck";
    dialog.Options = TOpenOptions{ofHideReadOnly, ofPathMustExist, ofFileMustExist, ofEnableSizing};
    dialog.InitialDir = Wide(dir.Path());
    std::vector<std::string> trail;
    DialogScript script;
    dialog.OnShow = TNotifyEvent(&script, &DialogScript::Show);
    auto where = [&](TOpenDialogForm* box)
    {
        trail.push_back(Utf8(box->Browser.Folder()).substr(dir.Path().string().size()) + ":" +
                        Utf8(box->FileNameEdit->Text()));
        EXPECT_EQ(box->FolderLabel->Caption(), box->Browser.Folder());
        EXPECT_EQ(Utf8(box->FolderLabel->Hint()), Utf8(box->Browser.Folder()));
    };

    script.steps = [&](TOpenDialogForm* box)
    {
        where(box);
        // The list has the focus after a click on a row; Enter opens the selected folder.
        LPARAM game = RowPoint(box, box->Browser.IndexOf(u"Game"));
        Vcl::RouteInput(box, WM_LBUTTONDOWN, MK_LBUTTON, game);
        Vcl::RouteInput(box, WM_LBUTTONUP, 0, game);
        EXPECT_TRUE(box->List->Focused());
        Key(box, VK_RETURN);
        where(box);
        // A double click on a folder opens it; Backspace goes back up.
        LPARAM data = RowPoint(box, box->Browser.IndexOf(u"Data"));
        Vcl::RouteInput(box, WM_LBUTTONDOWN, MK_LBUTTON, data);
        Vcl::RouteInput(box, WM_LBUTTONUP, 0, data);
        Vcl::RouteInput(box, WM_LBUTTONDBLCLK, MK_LBUTTON, data);
        Vcl::RouteInput(box, WM_LBUTTONUP, 0, data);
        where(box);
        Key(box, VK_BACK);
        where(box);
        // Typing a letter jumps to the name; selecting a file names it in the box.
        Vcl::RouteInput(box, WM_CHAR, u'm', 0);
        where(box);
        // A path that does not exist is refused; a folder typed into the box opens.
        box->FileNameEdit->SetFocus();
        box->FileNameEdit->SetText(u"nowhere/x.pck");
        Key(box, VK_RETURN);
        box->FileNameEdit->SetText(u"..");
        Key(box, VK_RETURN);
        where(box);
        // A pattern after a path opens that folder, filtered, with the pattern left in the box; a
        // pattern after a missing folder is refused.
        box->FileNameEdit->SetText(u"game/*.TXT");
        Key(box, VK_RETURN);
        where(box);
        EXPECT_EQ(Listing(box->Browser), (std::vector<std::string>{"[Data]", "readme.txt"}));
        EXPECT_EQ(box->List->Count(), 2);
        box->FileNameEdit->SetText(Wide(dir.Path()) + u"/*");
        Key(box, VK_RETURN);
        where(box);
        box->FileNameEdit->SetText(u"nowhere/*");
        Key(box, VK_RETURN);
        where(box);
        // The name without its extension, typed in another case, is the file on disk.
        box->FileNameEdit->SetText(u"game/models");
        Key(box, VK_RETURN);
    };
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(Utf8(dialog.FileName), (dir / "Game" / "MODELS.PCK").string());
    EXPECT_EQ(trail, (std::vector<std::string>{"/:", "/Game/:", "/Game/Data/:", "/Game/:", "/Game/:MODELS.PCK",
                                               "/:", "/Game/:*.TXT", "/:*", "/:nowhere/*"}));
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text,
              Platform::FromUtf8((dir / "Game").string()) +
                  u"/nowhere/x.pck\nThe folder does not exist.\nCheck the path and try again.");
    EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONWARNING);
    EXPECT_EQ(boxes.boxes[1].text,
              Platform::FromUtf8(dir.Path().string()) +
                  u"/nowhere/*\nThe folder does not exist.\nCheck the path and try again.");

    // The wheel scrolls a long list three rows a notch, and no further than its end.
    for (int i = 0; i < 40; ++i)
        fs::create_directories(dir / "Many" / ("folder" + std::to_string(100 + i)));
    dialog.InitialDir = Wide(dir / "Many");
    script.steps = [&](TOpenDialogForm* box)
    {
        LPARAM at = MAKELPARAM(box->List->Left() + 50, box->List->Top() + 50);
        auto wheel = [&](int notches)
        {
            Vcl::RouteInput(box, WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<WORD>(notches * 120)) << 16,
                            at);
            return box->List->TopIndex();
        };
        EXPECT_EQ(wheel(-1), 3);
        EXPECT_EQ(wheel(-1), 6);
        EXPECT_EQ(wheel(1), 3);
        EXPECT_GT(wheel(-100), 20);
        EXPECT_EQ(box->List->TopIndex() + box->List->VisibleRows(), 40); // the last row is in view
        EXPECT_EQ(wheel(100), 0);
        Key(box, VK_ESCAPE);
    };
    EXPECT_FALSE(dialog.Execute());
    dialog.InitialDir = Wide(dir.Path());

    // Escape and the Cancel button answer false and keep the name.
    for (bool escape : {true, false})
    {
        script.steps = [&](TOpenDialogForm* box)
        {
            if (escape)
                Key(box, VK_ESCAPE);
            else
            {
                LPARAM at = MAKELPARAM(box->CancelBtn->Left() + 5, box->CancelBtn->Top() + 5);
                Vcl::RouteInput(box, WM_LBUTTONDOWN, MK_LBUTTON, at);
                Vcl::RouteInput(box, WM_LBUTTONUP, 0, at);
            }
        };
        EXPECT_FALSE(dialog.Execute());
        EXPECT_EQ(Utf8(dialog.FileName), (dir / "Game" / "MODELS.PCK").string());
        EXPECT_EQ(dialog.Form(), nullptr);
    }

    // A file that becomes the list's selection, also as the only row of a folder opened by the
    // keys, is named in the box; Enter with the list on a file chooses it, whatever the box holds.
    fs::create_directories(dir / "Solo");
    Touch(dir / "Solo" / "Models.pck");
    dialog.FileName = UnicodeString();
    struct Pick
    {
        char16_t letter;
        WORD key; // pressed in the opened folder
        const char* file;
    } picks[] = {{u's', 0, "Solo/Models.pck"}, {u'g', VK_END, "Game/MODELS.PCK"}};
    for (const Pick& pick : picks)
    {
        SCOPED_TRACE(pick.file);
        script.steps = [&](TOpenDialogForm* box)
        {
            box->List->SetFocus();
            Vcl::RouteInput(box, WM_CHAR, pick.letter, 0);
            Key(box, VK_RETURN);
            if (pick.key)
                Key(box, pick.key);
            EXPECT_EQ(Utf8(box->FileNameEdit->Text()), fs::path(pick.file).filename().string());
            if (pick.key)
            {
                box->FileNameEdit->SetText(u"readme");
                box->List->SetFocus();
            }
            Key(box, VK_RETURN);
        };
        EXPECT_TRUE(dialog.Execute());
        EXPECT_EQ(Utf8(dialog.FileName), (dir / pick.file).string());
        EXPECT_EQ(boxes.boxes.size(), 2u); // nothing refused
    }
}

namespace
{
SCROLLINFO ListBar(TOpenDialogForm* box)
{
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    box->List->GetScrollInfo(SB_VERT, info);
    return info;
}

// Where the list's window scroll bar belongs: at its right, inside its sunken edge.
TRect ListBarRect(TOpenDialogForm* box)
{
    const int right = box->List->Width() - 2;
    return TRect(right - GetSystemMetrics(SM_CXVSCROLL), 2, right, box->List->Height() - 2);
}

void MakeFolders(const fs::path& where, int count)
{
    for (int i = 0; i < count; ++i)
        fs::create_directories(where / ("folder" + std::to_string(1000 + i).substr(1)));
}
} // namespace

TEST(DialogsTest, BrowseListShowsItsScrollBarOnlyWhenTheRowsDoNotFit)
{
    TempDir dir("kelvane-list-bar");
    MakeFolders(dir / "Twelve", 12);
    MakeFolders(dir / "Thirteen", 13);
    const uint32_t highlight = Platform::Gdi::ToPixel(ColorToRGB(clHighlight));
    struct Case
    {
        const char* folder;
        int rows; // the dialog resized until the list shows this many
        bool bar;
    } cases[] = {
        {"Twelve", 12, false}, {"Thirteen", 12, true}, {"Thirteen", 13, false}, {"Twelve", 11, true}};
    TOpenDialog dialog(nullptr);
    DialogScript script;
    dialog.OnShow = TNotifyEvent(&script, &DialogScript::Show);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.folder) + " in " + std::to_string(c.rows) + " rows");
        dialog.InitialDir = Wide(dir / c.folder);
        script.steps = [&](TOpenDialogForm* box)
        {
            TFileListView* list = box->List;
            ASSERT_EQ(list->VisibleRows(), 12); // the dialog as it opens
            while (list->VisibleRows() != c.rows)
                box->SetClientHeight(box->ClientHeight() + (c.rows > list->VisibleRows() ? 1 : -1));
            EXPECT_EQ(list->ScrollBarRect(SB_VERT), c.bar ? ListBarRect(box) : TRect());
            const SCROLLINFO bar = ListBar(box);
            if (c.bar)
            {
                EXPECT_EQ(std::tuple(bar.nMax, int(bar.nPage), bar.nPos),
                          std::tuple(list->Count() - 1, c.rows, 0));
            }
            // The selected row reaches the bar, or the edge, and no further.
            list->SetFocus();
            box->PaintDirty();
            const TPoint at = list->WindowOrigin();
            const uint32_t* row = box->Pixels() + (at.y + 7) * box->ClientWidth() + at.x;
            EXPECT_EQ(row[list->ClientWidth()] & 0xFFFFFF, highlight); // inside the focus rectangle
            for (int x = 2 + list->ClientWidth(); x < list->Width(); ++x)
                EXPECT_NE(row[x] & 0xFFFFFF, highlight) << "at " << x;
            box->SetModalResult(mrCancel);
        };
        EXPECT_FALSE(dialog.Execute());
    }
}

TEST(DialogsTest, BrowseListScrollsByItsBarAndKeepsTheSelectionInView)
{
    ManualClock clock;
    TempDir dir("kelvane-list-scroll");
    MakeFolders(dir / "Many", 300);
    TOpenDialog dialog(nullptr);
    dialog.InitialDir = Wide(dir / "Many");
    DialogScript script;
    dialog.OnShow = TNotifyEvent(&script, &DialogScript::Show);
    script.steps = [&](TOpenDialogForm* box)
    {
        TFileListView* list = box->List;
        const int rows = list->VisibleRows();
        const int last = list->Count() - rows; // the top row that shows the end
        // Points down the bar's middle from its top, or up from its bottom when negative.
        const TPoint origin = list->WindowOrigin();
        const TRect bar = ListBarRect(box);
        auto at = [&](int along)
        {
            const int y = (along < 0 ? bar.bottom : bar.top) + along;
            return MAKELPARAM(origin.x + bar.left + bar.Width() / 2, origin.y + y);
        };
        auto hold = [&](int along, DWORD ms)
        {
            Vcl::RouteInput(box, WM_LBUTTONDOWN, MK_LBUTTON, at(along));
            for (DWORD t = 0; t < ms; t += 5)
            {
                clock.Advance(5);
                Application->ProcessMessages();
            }
            Vcl::RouteInput(box, WM_LBUTTONUP, 0, at(along));
        };
        auto wheel = [&](int notches)
        { Vcl::RouteInput(box, WM_MOUSEWHEEL, WPARAM(WORD(notches * 120)) << 16, at(40)); };
        auto type = [&](const std::string& text)
        {
            for (char ch : text)
                Vcl::RouteInput(box, WM_CHAR, WPARAM(ch), 0);
        };
        // The thumb, at the track's start, dragged: the rows follow it; past the end they stop.
        auto dragThumb = [&]
        {
            Vcl::RouteInput(box, WM_LBUTTONDOWN, MK_LBUTTON, at(bar.Width() + 3));
            Vcl::RouteInput(box, WM_MOUSEMOVE, MK_LBUTTON, at(bar.Height() / 2));
            EXPECT_GT(list->TopIndex(), last / 3);
            EXPECT_LT(list->TopIndex(), last * 2 / 3);
            EXPECT_EQ(ListBar(box).nPos, list->TopIndex());
            Vcl::RouteInput(box, WM_MOUSEMOVE, MK_LBUTTON, at(bar.Height() + 40));
            Vcl::RouteInput(box, WM_LBUTTONUP, 0, at(bar.Height() + 40));
        };
        const int pagedUp = 299 - 2 * (rows - 1);
        struct Step
        {
            const char* what;
            std::function<void()> act;
            int top, selected;
        } steps[] = {
            {"the down arrow", [&] { hold(-5, 0); }, 1, 0},
            {"the down arrow held: the press and three repeats", [&] { hold(-5, 375); }, 5, 0},
            {"the up arrow", [&] { hold(5, 0); }, 4, 0},
            {"the track below the thumb", [&] { hold(-30, 0); }, 4 + rows, 0},
            {"Home on the selected row", [&] { Key(box, VK_HOME); }, 0, 0},
            {"the thumb dragged", dragThumb, last, 0},
            {"the track above the thumb", [&] { hold(bar.Width() + 3, 0); }, last - rows, 0},
            {"the wheel", [&] { wheel(-1); }, last - rows + 3, 0},
            {"End", [&] { Key(box, VK_END); }, last, 299},
            {"Page Up twice", [&] { Key(box, VK_PRIOR); Key(box, VK_PRIOR); }, pagedUp, pagedUp},
            {"a typed name", [&] { type("folder1"); }, 100, 100},
            {"the wheel to the top", [&] { wheel(100); }, 0, 100},
            {"Down", [&] { Key(box, VK_DOWN); }, 101 - rows + 1, 101},
            {"the folder left and opened again", [&] { Key(box, VK_BACK); Key(box, VK_RETURN); }, 0, 0},
            {"Down off the last row", [&] { for (int i = 0; i < rows; ++i) Key(box, VK_DOWN); }, 1, rows},
            // Going up selects the folder left, in view.
            {"a folder left by Backspace", [&] { type("folder183"); Key(box, VK_RETURN); Key(box, VK_BACK); },
             184 - rows, 183},
            {"a folder left by the Up button",
             [&]
             {
                 Key(box, VK_RETURN);
                 const LPARAM up = MAKELPARAM(box->UpBtn->Left() + 5, box->UpBtn->Top() + 5);
                 Vcl::RouteInput(box, WM_LBUTTONDOWN, MK_LBUTTON, up);
                 Vcl::RouteInput(box, WM_LBUTTONUP, 0, up);
             },
             184 - rows, 183},
        };
        list->SetFocus();
        for (const Step& step : steps)
        {
            SCOPED_TRACE(step.what);
            step.act();
            EXPECT_EQ(list->TopIndex(), step.top);
            EXPECT_EQ(list->ItemIndex(), step.selected);
            EXPECT_EQ(ListBar(box).nPos, list->TopIndex());
        }
        // A press anywhere on a row selects that row: the pixel pressed is highlighted after it
        // (or its neighbour, where the focus rectangle's dots fall).
        list->SetFocus();
        const TPoint client = list->FormOrigin();
        const int x = list->ClientWidth() - 10;
        const uint32_t highlight = Platform::Gdi::ToPixel(ColorToRGB(clHighlight));
        for (int y = 0; y < 40; ++y)
        {
            const LPARAM at = MAKELPARAM(client.x + x, client.y + y);
            Vcl::RouteInput(box, WM_LBUTTONDOWN, MK_LBUTTON, at);
            Vcl::RouteInput(box, WM_LBUTTONUP, 0, at);
            box->PaintDirty();
            const uint32_t* pixel = box->Pixels() + (client.y + y) * box->ClientWidth() + client.x + x;
            EXPECT_TRUE((pixel[0] & 0xFFFFFF) == highlight || (pixel[1] & 0xFFFFFF) == highlight)
                << "at " << y;
        }
        box->SetModalResult(mrCancel);
    };
    EXPECT_FALSE(dialog.Execute());
}

TEST(DialogsTest, LookInShowsTheEndOfALongFolderAfterDots)
{
    TempDir dir("kelvane-lookin");
    const fs::path deep = dir.Path() / "Program Files of a Rather Long Name" / "Publisher of Games and Other Things" /
                          "A Game With a Long Title, Collector's Edition" / "Installation Folder Chosen During Setup" /
                          "Game";
    fs::create_directories(deep);
    const fs::path wide = dir / std::string(240, 'w'); // one name wider than the dialog
    fs::create_directories(wide);

    // What a left-aligned label draws in the dialog's font, for the widths and the pixels.
    TForm reference(nullptr);
    reference.SetClientHeight(40);
    auto* sample = new TLabel(&reference);
    sample->SetParent(&reference);
    sample->SetShowAccelChar(false);
    sample->SetAutoSize(false);
    reference.Show();
    // A text fits when its ink, drawn where nothing clips it, ends inside the dialog's label.
    TLabel* label = nullptr;
    uint32_t face = 0;
    auto cover = [&](TOpenDialogForm* box)
    {
        label = box->FolderLabel;
        reference.SetClientWidth(box->ClientWidth());
        sample->SetBounds(label->Left(), label->Top(), reference.ClientWidth() - label->Left(), label->Height());
        sample->SetCaption(UnicodeString());
        reference.PaintDirty();
        face = reference.Pixels()[0] & 0xFFFFFF;
    };
    auto inkRight = [&](const TCustomForm& form)
    {
        int right = -1;
        for (int y = label->Top(); y < label->Top() + label->Height(); ++y)
            for (int x = label->Left(); x < form.ClientWidth(); ++x)
                if ((form.Pixels()[y * form.ClientWidth() + x] & 0xFFFFFF) != face)
                    right = std::max(right, x);
        return right;
    };
    auto fits = [&](const std::u16string& text)
    {
        sample->SetCaption(text);
        reference.PaintDirty();
        return inkRight(reference) < label->Left() + label->Width();
    };
    auto shownAs = [](const fs::path& folder)
    { return Platform::FromUtf8(folder == folder.root_path() ? folder.string() : folder.string() + "/"); };

    TOpenDialog dialog(nullptr);
    DialogScript script;
    dialog.OnShow = TNotifyEvent(&script, &DialogScript::Show);
    // The cases hold whatever the length of the temporary folder's path: the folder shown whole is
    // the deepest on the way down to `deep` whose path fits the label at the dialog's own width with
    // a letter to spare (with a long temporary folder, one of its parents), and the names below the
    // temporary folder are alone too wide for the label at every width tried.
    fs::path whole;
    dialog.InitialDir = Wide(dir.Path());
    script.steps = [&](TOpenDialogForm* box)
    {
        cover(box);
        for (fs::path folder = deep; whole.empty(); folder = folder.parent_path())
        {
            if (fits(shownAs(folder) + u"W") || folder == folder.parent_path())
                whole = folder;
        }
        EXPECT_TRUE(fits(shownAs(whole))) << whole.string();
        box->SetClientWidth(900);
        cover(box);
        for (const fs::path& below : {deep, wide})
            EXPECT_FALSE(fits(u"/" + Platform::FromUtf8(fs::relative(below, dir.Path()).string()) + u"/"))
                << below.filename().string() << " fits at 900 without the temporary folder";
        box->SetModalResult(mrCancel);
    };
    EXPECT_FALSE(dialog.Execute());

    struct Case
    {
        fs::path folder;
        int width; // of the dialog's client area; 480 is its own
        bool shortened;
    } cases[] = {{whole, 480, false}, {deep, 480, true}, {deep, 900, true}, {wide, 480, true}, {wide, 900, true}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.folder.string() + " at " + std::to_string(c.width));
        dialog.InitialDir = Wide(c.folder);
        script.steps = [&](TOpenDialogForm* box)
        {
            EXPECT_EQ(box->ClientWidth(), 480);
            box->SetClientWidth(c.width);
            box->PaintDirty();
            const std::u16string path = box->Browser.Folder().str();
            // The whole path stays in reach as the label's hint.
            EXPECT_EQ(Utf8(box->FolderLabel->Hint()), Utf8(path));
            EXPECT_TRUE(box->FolderLabel->ShowHint());

            // The whole path when it fits; else "..." and the longest end that fits: from a
            // separator when one leaves the last name whole, else from inside the last name.
            cover(box);
            std::vector<std::u16string> fromNames, fromLetters; // longest first
            const size_t lastName = path.find_last_of(u'/', path.size() - 2);
            for (size_t k = 1; k < path.size() - 1; ++k)
                if (k > lastName)
                    fromLetters.push_back(u"..." + path.substr(k));
                else if (path[k] == u'/')
                    fromNames.push_back(u"..." + path.substr(k));
            auto longestFitting = [&](const std::vector<std::u16string>& texts)
            {
                auto it = std::partition_point(texts.begin(), texts.end(), [&](const auto& t) { return !fits(t); });
                return it == texts.end() ? std::u16string() : *it;
            };
            std::u16string shown = fits(path) ? path : longestFitting(fromNames);
            if (shown.empty())
                shown = longestFitting(fromLetters);
            EXPECT_EQ(shown != path, c.shortened) << Utf8(shown);

            // The dialog's pixels from the label to the Up button are that text's and nothing else.
            sample->SetCaption(shown);
            reference.PaintDirty();
            int differing = 0;
            for (int y = label->Top(); y < label->Top() + label->Height(); ++y)
                for (int x = label->Left(); x < box->UpBtn->Left(); ++x)
                    differing += (box->Pixels()[y * box->ClientWidth() + x] & 0xFFFFFF) !=
                                 (reference.Pixels()[y * reference.ClientWidth() + x] & 0xFFFFFF);
            EXPECT_EQ(differing, 0) << "the label does not show \"" << Utf8(shown) << "\"";
            box->SetModalResult(mrCancel);
        };
        EXPECT_FALSE(dialog.Execute());
    }
}

TEST(DialogsTest, LookInsHintShowsTheWholeFolderOnTheScreen)
{
    ManualClock clock;
    ScreenSize screen(1280, 1024);
    TempDir dir("kelvane-lookin-hint");
    // 434 characters with the separator after it (more when the temporary folder's own path leaves
    // no room for them): names with spaces, and one long name with none.
    fs::path folder =
        dir.Path() / "Program Files of a Rather Long Name" /
        "A Game With a Very Long Title and Its Subtitle, the Collector's Edition With Every Expansion" /
        "Installation Folder Chosen During Setup";
    const size_t around = folder.string().size() + std::string("//Data/").size();
    const size_t pad = around < 434 ? std::min<size_t>(434 - around, 255) : 8;
    folder = folder / std::string(pad, 'm') / "Data";
    ASSERT_GE(folder.string().size() + 1, 434u);
    // A bar parts a hint's short text from its long one elsewhere; in a folder it is a character.
    const fs::path barred = dir / "Left|Right" / "|Data";

    for (const fs::path& shown : {folder, barred})
    {
        fs::create_directories(shown);
        TOpenDialog dialog(nullptr);
        dialog.InitialDir = Wide(shown);
        DialogScript script;
        dialog.OnShow = TNotifyEvent(&script, &DialogScript::Show);
        script.steps = [&](TOpenDialogForm* box)
        {
            const std::u16string path = box->Browser.Folder().str();
            ASSERT_EQ(Utf8(path), shown.string() + "/");
            TLabel* label = box->FolderLabel;
            // Resting on Look in where the dialog opens, then with the dialog in each corner of the
            // screen, at the label's end nearest that corner.
            const TPoint corners[] = {{-1, -1}, {0, 0}, {1, 0}, {0, 1}, {1, 1}};
            for (const TPoint& corner : corners)
            {
                if (corner.x >= 0)
                    box->SetBounds(corner.x * (Screen->Width - box->Width()),
                                   corner.y * (Screen->Height - box->Height()), box->Width(), box->Height());
                const TPoint rest(corner.x > 0 ? label->Left() + label->Width() - 3 : label->Left() + 3,
                                  label->Top() + label->Height() / 2);
                SCOPED_TRACE(Utf8(path) + " resting at " + std::to_string(box->ClientToScreen(rest).x) + "," +
                             std::to_string(box->ClientToScreen(rest).y));
                // From the Cancel button, which has no hint, onto the label.
                const TPoint away(box->CancelBtn->Left() + 5, box->CancelBtn->Top() + 5);
                Vcl::RouteInput(box, WM_MOUSEMOVE, 0, MAKELPARAM(away.x, away.y));
                ASSERT_FALSE(Application->HintWindow() && Application->HintWindow()->Visible());
                THintWindow* hint = RestFor(box, rest, clock);
                ASSERT_TRUE(hint);
                ASSERT_EQ(Application->HintControl(), label);
                EXPECT_EQ(Utf8(hint->Caption().str()), Utf8(path));
                EXPECT_TRUE(OnScreen(hint->BoundsRect()));
                const auto lines = DrawnLines::ReadHint(*hint, path);
                EXPECT_EQ(Utf8(DrawnLines::Joined(lines)), Utf8(path));
                // On lines of 400 pixels at most (the screen is wider than twice that), and on one
                // line when that holds it.
                const int oneLine = hint->Canvas()->TextWidth(UnicodeString(path));
                EXPECT_EQ(lines.size() > 1, oneLine > 400) << lines.size() << " lines, " << oneLine << " pixels";
            }
            Application->CancelHint();
            box->SetModalResult(mrCancel);
        };
        EXPECT_FALSE(dialog.Execute());
    }
}

TEST(DialogsTest, ColourDialogIsUsedByKeys)
{
    struct Case
    {
        int start; // the swatch whose colour the dialog opens with; -1 for a colour of none
        std::vector<WORD> arrows;
        WORD finish; // Enter or Space chooses, Escape cancels
        int chosen;  // the swatch chosen by the arrows
    } cases[] = {
        // Past swatch 10, whose colour swatch 3 repeats, to the one right of it.
        {0, {VK_DOWN, VK_RIGHT, VK_RIGHT, VK_RIGHT}, VK_RETURN, 11},
        // The first arrow chooses the first swatch; the arrows stop at the edges.
        {-1, {VK_LEFT, VK_UP, VK_RIGHT}, VK_SPACE, 1},
        {47, {VK_RIGHT, VK_DOWN, VK_UP}, VK_ESCAPE, 39},
        // Down on the bottom row leaves its swatch chosen.
        {40, {VK_DOWN}, VK_RETURN, 40},
    };
    const TColor none = 0x123456;
    const uint32_t black = Platform::Gdi::ToPixel(ColorToRGB(clBlack));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.start);
        TColorDialog dialog(nullptr);
        dialog.Color = c.start < 0 ? none : TColorDialogForm::BasicColor(c.start);
        std::function<void(TColorDialogForm*)> steps = [&](TColorDialogForm* form)
        {
            // The swatches have the focus and their place in the Tab order, ahead of OK and Cancel.
            TWinControl* grid = form->ActiveControl();
            for (TWinControl* next : std::vector<TWinControl*>{form->OkButton(), form->CancelButton(), grid})
            {
                Key(form, VK_TAB);
                EXPECT_EQ(form->ActiveControl(), next);
            }
            for (WORD arrow : c.arrows)
                Key(form, arrow);
            EXPECT_EQ(form->Chosen(), TColorDialogForm::BasicColor(c.chosen));
            // Only the chosen swatch is framed.
            form->PaintDirty();
            for (int i = 0; i < TColorDialogForm::Columns * TColorDialogForm::Rows; ++i)
            {
                const TRect r = TColorDialogForm::SwatchRect(i);
                const uint32_t frame =
                    form->Pixels()[(r.top + 5) * form->ClientWidth() + r.left - 2] & 0xFFFFFF;
                EXPECT_EQ(frame == black, i == c.chosen) << "swatch " << i;
            }
            Key(form, c.finish);
            if (form->ModalResult() == mrNone)
            {
                ADD_FAILURE() << "the dialog is still open";
                form->SetModalResult(mrCancel);
            }
        };
        struct Script
        {
            std::function<void(TColorDialogForm*)>& steps;
            void Show(TObject* sender) { steps(static_cast<TColorDialog*>(sender)->Form()); }
        } script{steps};
        dialog.OnShow = MakeClosure(&script, &Script::Show);
        EXPECT_EQ(dialog.Execute(), c.finish != VK_ESCAPE);
        EXPECT_EQ(dialog.Color, TColorDialogForm::BasicColor(c.finish != VK_ESCAPE ? c.chosen : c.start));
    }
}
