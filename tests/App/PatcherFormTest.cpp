#include "App/PatcherUnit.h"

#include "App/AppConfig.h"
#include "App/AppLogger.h"
#include "Components/XVariant.h"
#include "Platform/Vcl/Dialogs.h"
#include "tests/support/DemoGame.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
std::string Utf8(const UnicodeString& text)
{
    return text.ToUtf8();
}

void Key(TCustomForm* form, WORD key)
{
    Vcl::RouteInput(form, WM_KEYDOWN, key, 0);
    Vcl::RouteInput(form, WM_KEYUP, key, 0);
}

void Type(TCustomForm* form, const std::u16string& text)
{
    for (char16_t c : text)
        Vcl::RouteInput(form, WM_CHAR, c, 0);
}

// A click in the middle of a control, as the presenter delivers it in form coordinates.
void Click(TControl* control)
{
    TCustomForm* form = GetParentForm(control);
    TPoint origin = control->Parent()->FormOrigin();
    LPARAM at = MAKELPARAM(origin.x + control->Left() + control->Width() / 2,
                           origin.y + control->Top() + control->Height() / 2);
    Vcl::RouteInput(form, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Vcl::RouteInput(form, WM_LBUTTONUP, 0, at);
}

class PatcherFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_game = MakeDemoGame(m_dir.Path(), 3);
        m_log = std::make_unique<AppLogger>(WidePath(m_dir / "Kelvane.log").c_str());
        m_log->SetTextHook([this](const XString& piece)
                           { m_entries.push_back(Platform::ToUtf8(piece.c_str()).substr(24)); });
        m_config = std::make_unique<AppConfig>(WidePath(m_dir / "Kelvane.xml").c_str());
        TheAppLogger = m_log.get();
        TheAppConfig = m_config.get();
        for (auto& entry : PwPatchEntries)
            entry = PwPatchEntry();
        // The instructions come from the program's own folder, which holds none here: the box says
        // so, and the test loads the game's instead.
        m_form = new TPatcherForm(nullptr);
        m_form->AfterConstruction();
        m_form->ProgramFolder = XString(WidePath(m_dir.Path()).c_str());
        LoadPatchEntries(WidePath(m_dir / "Data" / "PatchData.xml").c_str());
        m_form->Show();
    }

    void TearDown() override
    {
        FreeAndNil(m_form);
        for (auto& entry : PwPatchEntries)
            entry = PwPatchEntry();
        TheAppConfig = nullptr;
        TheAppLogger = nullptr;
    }

    BoxRecorder m_boxes;
    TempDir m_dir{"kelvane-form"};
    DemoGame m_game;
    std::unique_ptr<AppLogger> m_log;
    std::unique_ptr<AppConfig> m_config;
    std::vector<std::string> m_entries;
    TPatcherForm* m_form = nullptr;
};

// Watches the form's messages while a save runs.
struct ProgressWatch
{
    TPatcherForm* form;
    TWndMethod original;
    std::vector<std::string> seen;
    bool closeDuringSave = false;

    void WndProc(TMessage& message)
    {
        if (message.Msg != WM_PACKAGE_PROGRESS)
        {
            original(message);
            return;
        }
        int paints = form->PaintCount();
        original(message);
        TRect bar = form->ProgressBar->BarRect().Offset(form->ProgressBar->Left(), form->ProgressBar->Top());
        std::string state = std::to_string(form->ProgressBar->Position()) + "/" +
                            std::to_string(form->ProgressBar->Max()) +
                            (form->ProgressBar->Visible() ? "" : " hidden") +
                            (form->PaintCount() > paints ? "" : " unpainted");
        // The filled part is drawn in the highlight colour (pixels are RGB, colours BGR).
        COLORREF fill = ColorToRGB(clHighlight);
        uint32_t rgb = (fill & 0xFF) << 16 | (fill & 0xFF00) | (fill >> 16 & 0xFF);
        size_t middle = static_cast<size_t>(bar.top + bar.Height() / 2) * form->ClientWidth() + bar.left +
                        bar.Width() / 2;
        if (bar.Width() > 2 && form->Pixels()[middle] != rgb)
            state += " not filled";
        seen.push_back(state);
        if (closeDuringSave)
            form->Close();
    }
};
} // namespace

TEST_F(PatcherFormTest, LayoutAnchorsAndTabOrder)
{
    EXPECT_EQ(m_form->ClientWidth(), 632);
    EXPECT_EQ(m_form->ClientHeight(), 96);
    EXPECT_EQ(Utf8(m_form->Caption()), "Kelvane");
    EXPECT_EQ(m_form->BorderStyle(), bsDialog);
    EXPECT_EQ(m_form->Position(), poScreenCenter);
    EXPECT_EQ(m_form->Color(), clBtnFace);
    EXPECT_EQ(Utf8(m_form->Font()->Name()), "Tahoma");
    EXPECT_EQ(m_form->Font()->Height(), -11);
    EXPECT_FALSE(m_form->ProgressBar->Visible());
    EXPECT_TRUE(m_form->ProgressBar->Smooth());
    EXPECT_EQ(m_form->ProgressBar->Position(), 100);
    EXPECT_EQ(m_form->Bevel1->Shape(), bsBottomLine);
    EXPECT_EQ(m_form->OpenDlg->Options,
              (TOpenOptions{ofHideReadOnly, ofPathMustExist, ofFileMustExist, ofEnableSizing}));

    struct Row
    {
        TControl* control;
        const char* caption;
        TRect bounds;
        TRect grown; // after the client grows by 100 each way
    } rows[] = {
        {m_form->Label3, "Models.pck file:", {8, 11, 82, 24}, {8, 11, 82, 24}},
        {m_form->PackageFileEdit, "", {95, 8, 586, 29}, {95, 8, 686, 29}},
        {m_form->DestPathBrowseBtn, "...", {592, 5, 624, 30}, {692, 5, 724, 30}},
        {m_form->PatchBtn, "Patch", {14, 63, 89, 88}, {14, 163, 89, 188}},
        {m_form->RestoreBtn, "Restore", {95, 63, 170, 88}, {95, 163, 170, 188}},
        {m_form->ExitBtn, "Exit", {543, 63, 618, 88}, {643, 163, 718, 188}},
        {m_form->ProgressBar, "", {8, 36, 624, 47}, {8, 136, 724, 147}},
        {m_form->Bevel1, "", {8, 44, 624, 57}, {8, 144, 724, 157}},
    };
    // The label takes its caption's width at its place, short of the edit box.
    TRect label = m_form->Label3->BoundsRect();
    EXPECT_EQ(label.left, 8);
    EXPECT_EQ(label.top, 11);
    EXPECT_EQ(label.Height(), 13);
    EXPECT_GE(label.Width(), 74);
    EXPECT_LE(label.right, m_form->PackageFileEdit->Left());
    rows[0].bounds = rows[0].grown = label;
    for (const Row& row : rows)
    {
        EXPECT_EQ(row.control->BoundsRect(), row.bounds) << Utf8(row.control->Name());
        EXPECT_EQ(Utf8(row.control->Caption()), row.caption) << Utf8(row.control->Name());
    }
    m_form->SetClientWidth(732);
    m_form->SetClientHeight(196);
    for (const Row& row : rows)
        EXPECT_EQ(row.control->BoundsRect(), row.grown) << Utf8(row.control->Name());
    m_form->SetClientWidth(632);
    m_form->SetClientHeight(96);
    for (const Row& row : rows)
        EXPECT_EQ(row.control->BoundsRect(), row.bounds) << Utf8(row.control->Name());

    // Tab walks edit, browse, Patch, Restore, Exit and round again (the hidden bar is skipped);
    // Shift+Tab walks back from the browse button, round to Exit.
    m_form->SelectFirst();
    std::vector<std::string> order;
    for (int i = 0; i < 6; ++i)
    {
        order.push_back(Utf8(Screen->ActiveControl()->Name()));
        Key(m_form, VK_TAB);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"PackageFileEdit", "DestPathBrowseBtn", "PatchBtn",
                                               "RestoreBtn", "ExitBtn", "PackageFileEdit"}));
    EXPECT_EQ(m_form->ProgressBar->TabOrder(), 5);
    Platform::SetKeyDown(VK_SHIFT, true);
    Key(m_form, VK_TAB);
    Key(m_form, VK_TAB);
    Platform::SetKeyDown(VK_SHIFT, false);
    EXPECT_EQ(Utf8(Screen->ActiveControl()->Name()), "ExitBtn");
}

TEST_F(PatcherFormTest, TypedPathPatchesWithProgressAndRestores)
{
    ProgressWatch watch{m_form, m_form->WindowProc, {}};
    m_form->WindowProc = TWndMethod(&watch, &ProgressWatch::WndProc);
    watch.closeDuringSave = true;

    Click(m_form->PackageFileEdit);
    Type(m_form, Platform::FromUtf8(m_game.Archive.string()));
    EXPECT_EQ(Utf8(m_form->PackageFileEdit->Text()), m_game.Archive.string());
    Click(m_form->PatchBtn);

    EXPECT_EQ(CheckPatched(m_game, m_game.Archive), "");
    EXPECT_EQ(ReadWholeFileData(m_dir / "Game" / "Models.original.pck"), m_game.ArchiveBytes);
    ASSERT_FALSE(watch.seen.empty());
    // Every value the archive sent, in order, each shown at once on a visible bar.
    int last = -1;
    for (const std::string& state : watch.seen)
    {
        int value = std::stoi(state);
        EXPECT_GE(value, last);
        last = value;
        EXPECT_EQ(state, std::to_string(value) + "/100");
    }
    EXPECT_EQ(last, 100);
    EXPECT_FALSE(m_form->ProgressBar->Visible());
    // The close asked for during the save was refused: the form stands, no settings were written.
    EXPECT_TRUE(m_form->Visible());
    EXPECT_EQ(m_config->GetValues().GetCount(), 0u);
    ASSERT_EQ(m_boxes.boxes.size(), 2u); // the missing instructions at start, then the completion
    EXPECT_EQ(m_boxes.boxes[1].text, u"Patch installation complete!");

    // Keyboard: Restore by Space on the focused button.
    m_form->RestoreBtn->SetFocus();
    Key(m_form, VK_SPACE);
    ASSERT_EQ(m_boxes.boxes.size(), 3u);
    EXPECT_EQ(m_boxes.boxes[2].text, u"Original package file successfully restored!");
    EXPECT_EQ(ReadWholeFileData(m_game.Archive), m_game.ArchiveBytes);
    EXPECT_FALSE(fs::exists(m_dir / "Game" / "Models.original.pck"));
    m_form->WindowProc = watch.original;
}

TEST_F(PatcherFormTest, InstructionsThatFailToLoadAreLoggedWithTheBoxText)
{
    // The program's folder holds no instructions: the start-up box keeps the reader's text, the
    // log names the file as opened and says that it does not exist.
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(m_boxes.boxes[0].text, u"Xml syntax error.");
    const std::string file = Platform::ProgramFolder() + "Data/PatchData.xml";
    ASSERT_FALSE(fs::exists(file));
    const std::string entry = "Loading <" + file + "> failed: the file does not exist.";
    EXPECT_NE(std::find(m_entries.begin(), m_entries.end(), entry), m_entries.end())
        << testing::PrintToString(m_entries);
}

TEST_F(PatcherFormTest, SettingsAreReadAtCreationAndWrittenAtClose)
{
    // Written in order by the close.
    m_form->PackageFileEdit->SetText(u"/games/Модели/Models.pck");
    m_form->CompressionLevel = 7;
    m_form->PackageDescription = AnsiString(UnicodeString(u"Описание"));
    Click(m_form->ExitBtn);
    EXPECT_FALSE(m_form->Visible());
    const auto& values = m_config->GetValues();
    ASSERT_EQ(values.GetCount(), 3u);
    EXPECT_EQ(std::u16string(values[0]->GetName()), u"PackageFilePath");
    EXPECT_EQ(std::u16string(values[0]->GetValue()), u"/games/Модели/Models.pck");
    EXPECT_EQ(std::u16string(values[1]->GetName()), u"PackageTailer");
    EXPECT_EQ(std::u16string(values[1]->GetValue()), u"Описание");
    EXPECT_EQ(std::u16string(values[2]->GetName()), u"PackageCompression");
    EXPECT_EQ(std::u16string(values[2]->GetValue()), u"7");

    // A new form reads them back; absent keys keep the defaults.
    TPatcherForm* again = new TPatcherForm(nullptr);
    again->AfterConstruction();
    EXPECT_EQ(Utf8(again->PackageFileEdit->Text()), "/games/Модели/Models.pck");
    EXPECT_EQ(again->CompressionLevel, 7);
    EXPECT_EQ(again->PackageDescription, AnsiString(UnicodeString(u"Описание")));
    again->Free();
    m_config->Clear();
    again = new TPatcherForm(nullptr);
    again->AfterConstruction();
    EXPECT_EQ(Utf8(again->PackageFileEdit->Text()), "");
    EXPECT_EQ(again->CompressionLevel, 1);
    EXPECT_EQ(again->PackageDescription, AnsiString(PatcherDefaultDescription));
    again->Free();
}

TEST_F(PatcherFormTest, BrowseFillsTheDialogAndTakesTheChosenFile)
{
    // The box holds a path in another case: the dialog opens its folder, names the file and
    // filters on Models.pck without case.
    std::string typed = (m_dir / "GAME" / "models.PCK").string();
    m_form->PackageFileEdit->SetText(UnicodeString(Platform::FromUtf8(typed)));
    fs::copy_file(m_game.Archive, m_dir / "Game" / "Other.pck");
    fs::create_directories(m_dir / "Game" / "Mods");
    std::vector<std::string> shown;
    struct Driver
    {
        PatcherFormTest* test;
        TPatcherForm* form;
        std::vector<std::string>* shown;
        int round = 0;
        void Show(TObject*)
        {
            TOpenDialog* dialog = form->OpenDlg;
            TOpenDialogForm* box = dialog->Form();
            shown->push_back(Utf8(dialog->InitialDir) + "|" + Utf8(dialog->FileName) + "|" +
                             Utf8(dialog->DefaultExt) + "|" + Utf8(dialog->Filter));
            shown->push_back(Utf8(box->Browser.Folder()) + "|" + Utf8(box->FileNameEdit->Text()) + "|" +
                             Utf8(box->FilterLabel->Caption()));
            for (const auto& item : box->Browser.Items())
                shown->push_back(Utf8(item.Name));
            if (round++ == 0)
            {
                // Escape cancels.
                Key(box, VK_ESCAPE);
                return;
            }
            // A missing name is refused with a box; then the list: Down to the file, Enter.
            box->FileNameEdit->SetText(u"Missing");
            Key(box, VK_RETURN);
            box->List->SetFocus();
            Key(box, VK_HOME);
            Key(box, VK_DOWN);
            Key(box, VK_RETURN);
            if (box->ModalResult() == mrNone)
            {
                ADD_FAILURE() << "the dialog did not close";
                box->SetModalResult(mrCancel);
            }
        }
    } driver{this, m_form, &shown};
    m_form->OpenDlg->OnShow = TNotifyEvent(&driver, &Driver::Show);

    Click(m_form->DestPathBrowseBtn);
    EXPECT_EQ(Utf8(m_form->PackageFileEdit->Text()), typed); // cancelled: unchanged
    const std::string folder = (m_dir / "Game").string() + "/";
    const std::string given = (m_dir / "GAME").string() + "/";
    std::vector<std::string> expected{
        given + "|" + typed + "|pck|Game 'Models.pck' file (Models.pck)|Models.pck",
        folder + "|models.PCK|Game 'Models.pck' file (Models.pck)",
        "Mods",
        "Models.pck",
    };
    EXPECT_EQ(shown, expected);

    shown.clear();
    Click(m_form->DestPathBrowseBtn);
    EXPECT_EQ(Utf8(m_form->PackageFileEdit->Text()), m_game.Archive.string());
    ASSERT_GE(m_boxes.boxes.size(), 2u);
    EXPECT_EQ(m_boxes.boxes.back().text, u"Missing.pck\nFile not found.\nCheck the file name and try again.");
}
