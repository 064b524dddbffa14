// Typed property rows and the grid that edits them through its two callbacks.
#include "Controls/XPropertyEditor.h"

#include "tests/Controls/FormPixels.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using VarUtils::XVariant;

namespace
{
// The owner of the data: answers reads, records writes (and may refuse some).
struct Owner
{
    std::map<int, XVariant> values;
    std::vector<std::pair<int, uint32_t>> writes; // id, tag
    bool leaveEmpty = false;
    void Get(const XString&, int id, XVariant& value)
    {
        if (!leaveEmpty && values.count(id))
            value = values[id];
    }
    void Set(const XString&, int id, const XVariant& value)
    {
        writes.emplace_back(id, value.GetType());
        if (id != 99) // 99 refuses every write
            values[id] = value;
    }
};

std::u16string Str(const XString& s)
{
    return s.c_str();
}

// A row that paints its own value: a red swatch and its number in a large bold face.
class SwatchProperty : public XIntProperty
{
public:
    SwatchProperty(const XString& name, int id) : XIntProperty(name, id) { FCustomPaint = true; }
    void Paint(TCanvas* canvas, TRect& rect) override
    {
        canvas->Brush()->SetColor(clRed);
        canvas->FillRect(TRect(rect.left + 2, rect.top + 2, rect.left + 12, rect.bottom - 2));
        canvas->Font()->SetSize(14);
        canvas->Font()->SetStyle(TFontStyles{fsBold});
        canvas->Font()->SetColor(clBlue);
        canvas->Brush()->SetStyle(bsClear);
        canvas->TextOut(rect.left + 16, rect.top, GetValue().c_str());
    }
};

XProperty* CreateSwatchProperty(const XString& name, int id)
{
    return new SwatchProperty(name, id);
}

XPropertyEditor* MakeGrid(TWinControl* parent, Owner& owner)
{
    auto* grid = new XPropertyEditor(parent);
    grid->SetParent(parent);
    grid->OnGetFieldValue = MakeClosure(&owner, &Owner::Get);
    grid->OnSetFieldValue = MakeClosure(&owner, &Owner::Set);
    grid->RegisterProperty(u"int", CreateIntProperty);
    grid->RegisterProperty(u"float", CreateFloatProperty);
    grid->RegisterProperty(u"bool", CreateBooleanProperty);
    grid->RegisterProperty(u"wstring", CreateWStringProperty);
    grid->RegisterProperty(u"AnsiString", CreateAnsiStringProperty);
    grid->RegisterProperty(u"string", CreateStringProperty);
    return grid;
}
} // namespace

TEST(XPropertyTest, RowsConvertTextAndVariants)
{
    XIntProperty integer(u"Count", 1);
    EXPECT_EQ(integer.EditLength(), 11);
    integer.SetValue(u"0x1F");
    EXPECT_EQ(integer.Value(), 31);
    integer.SetValue(u"0xFFFFFFFF");
    EXPECT_EQ(integer.Value(), -1);
    for (const char16_t* refused : {u"2147483648", u"-2147483649", u"12a", u"", u"-", u"0x", u"0x123456789",
                                    u"nan", u" 5", u"\u0665"})
    {
        integer.SetValue(u"-42");
        integer.SetValue(refused);
        EXPECT_EQ(integer.Value(), -42) << UnicodeString(refused).ToUtf8();
        EXPECT_EQ(Str(integer.ValidateValue(refused)), u"-42");
    }
    EXPECT_EQ(Str(integer.ValidateValue(u"+7")), u"+7");
    // A 10,000-character paste: digits past 32 bits, a number past the float range; a string row
    // takes it whole.
    const std::u16string paste(10000, u'9');
    integer.SetValue(paste.c_str());
    EXPECT_EQ(integer.Value(), -42);
    XFloatProperty real(u"Scale", 2);
    real.SetValue(u"2.5");
    EXPECT_EQ(Str(real.GetValue()), u"2.500");
    real.SetValue(u"0.7");
    EXPECT_EQ(Str(real.GetValue()), u"0.700"); // rounded, never 0.699
    for (const char16_t* refused : {u"abc", u"1e99", u"-1e39", u"inf", u"nan", u"", u"-", u"\u0665", paste.c_str()})
    {
        real.SetValue(refused);
        EXPECT_EQ(real.Value(), 0.7f) << UnicodeString(refused).ToUtf8();
        EXPECT_EQ(Str(real.ValidateValue(refused)), u"0.700");
    }
    real.SetValue(u"1.5abc");
    EXPECT_EQ(real.Value(), 1.5f);
    XBooleanProperty flag(u"Visible", 3);
    EXPECT_TRUE(flag.HasList());
    EXPECT_TRUE(flag.ReadOnlyText());
    for (const char16_t* yes : {u"TRUE", u"yes", u"1", u""})
    {
        flag.SetValue(u"false");
        flag.SetValue(yes);
        EXPECT_TRUE(flag.Value());
    }
    flag.SetValue(u"FALSE");
    EXPECT_FALSE(flag.Value());
    EXPECT_EQ(flag.GetListSize(), 2);
    EXPECT_EQ(Str(flag.GetListItem(1)), u"false");
    EXPECT_EQ(Str(flag.GetListItem(2)), u"");
    EXPECT_EQ(Str(flag.GetListItem(-1)), u"");
    // Without a grid nothing is read or written, and nothing throws.
    integer.Apply();
    real.Cancel();
    flag.Enter();
    XStringProperty narrow(u"Name", 4);
    narrow.SetValue(u"Привет");
    EXPECT_EQ(Str(narrow.GetValue()), u"Привет");
    narrow.SetValue(paste.c_str());
    EXPECT_EQ(Str(narrow.GetValue()), paste);
}

TEST(XPropertyTest, RowsTalkToTheOwnerThroughTheGrid)
{
    Owner owner;
    owner.values[1] = XVariant(7);
    XPropertyEditor grid(nullptr);
    grid.OnGetFieldValue = MakeClosure(&owner, &Owner::Get);
    grid.OnSetFieldValue = MakeClosure(&owner, &Owner::Set);
    XProperty* rows[] = {CreateWStringProperty(u"a", 10), CreateStringProperty(u"b", 11),
                         CreateIntProperty(u"c", 12), CreateFloatProperty(u"d", 13),
                         CreateBooleanProperty(u"e", 14), CreateAnsiStringProperty(u"f", 15)};
    for (XProperty* row : rows)
    {
        row->SetEditor(&grid);
        row->setValue();
        delete row;
    }
    EXPECT_EQ(owner.writes, (std::vector<std::pair<int, uint32_t>>{{10, 0x1000000D}, {11, 0x1000000C},
                                                                    {12, 0x02000004}, {13, 0x04000006},
                                                                    {14, 0x02000001}, {15, 0x1000000D}}));
    // Attaching reads at once; the same grid again reads nothing; an empty answer keeps the value.
    XIntProperty row(u"c", 1);
    row.SetEditor(&grid);
    EXPECT_EQ(row.Value(), 7);
    owner.values[1] = XVariant(8);
    row.SetEditor(&grid);
    EXPECT_EQ(row.Value(), 7);
    owner.leaveEmpty = true;
    row.Cancel();
    EXPECT_EQ(row.Value(), 7);
    owner.leaveEmpty = false;
    // Apply writes before it reads back: a refused value shows at once.
    XIntProperty refused(u"r", 99);
    owner.values[99] = XVariant(5);
    refused.SetEditor(&grid);
    refused.SetValue(u"6");
    refused.Apply();
    EXPECT_EQ(refused.Value(), 5);
}

TEST(XPropertyEditorTest, RegistryRowsAndScrolling)
{
    FormPixels screen(400, 400);
    Owner owner;
    XPropertyEditor* grid = MakeGrid(&screen.form, owner);
    EXPECT_FALSE(grid->InplaceEditor()->Visible());
    EXPECT_FALSE(grid->ScrollBar()->Visible());
    grid->RegisterProperty(u"int", CreateBooleanProperty); // the first registration holds
    grid->AddProperty(u"int", u"first", 0);
    EXPECT_NE(dynamic_cast<XIntProperty*>(grid->Property(0)), nullptr);
    grid->AddProperty(u"nothing", u"x", 1);
    EXPECT_EQ(grid->GetCount(), 1);
    EXPECT_EQ(grid->SelectedIndex(), -1);
    grid->ClearPropertys();
    int row = grid->RowHeight() + 1;
    grid->SetBounds(0, 0, 200, row * 10 + row / 2); // 10 rows fit
    for (int i = 0; i < 20; ++i)
        grid->AddProperty(u"int", XString(UnicodeString(u"row" + std::u16string(1, char16_t(u'A' + i))).c_str()), i);
    EXPECT_EQ(grid->VisibleRows(), 10);
    EXPECT_EQ(grid->PageRows(), 9);
    EXPECT_TRUE(grid->ScrollBar()->Visible());
    grid->SetSelectedIndex(15);
    EXPECT_EQ(grid->StartVisible(), 15 - grid->PageRows());
    // Scrolled: a click picks the row under the pointer, counted from the first row shown.
    screen.Click(20, row * 3 + 3);
    EXPECT_EQ(grid->SelectedIndex(), 15 - grid->PageRows() + 3);
    EXPECT_EQ(grid->StartVisible(), 15 - grid->PageRows());
    grid->SetSelectedIndex(2);
    EXPECT_EQ(grid->StartVisible(), 2);
    grid->SetSelectedIndex(100);
    EXPECT_EQ(grid->SelectedIndex(), 19);
    grid->SetStartVisible(-5);
    EXPECT_EQ(grid->StartVisible(), 0);
    EXPECT_EQ(grid->SelectedIndex(), grid->PageRows()); // the selection follows into view
    grid->SetHeight(row * 25);
    EXPECT_EQ(grid->StartVisible(), 0);
    EXPECT_FALSE(grid->ScrollBar()->Visible());
    grid->SetBevelWidth(9);
    EXPECT_EQ(grid->BevelWidth(), 5);
    grid->SetNameIndent(-4);
    EXPECT_EQ(grid->NameIndent(), 0);
}

TEST(XPropertyEditorTest, KeysMouseAndCommitsReachTheCallbacks)
{
    FormPixels screen(400, 400);
    Owner owner;
    for (int i = 0; i < 8; ++i)
        owner.values[i] = XVariant(i * 10);
    XPropertyEditor* grid = MakeGrid(&screen.form, owner);
    grid->SetBounds(10, 10, 240, 300);
    for (int i = 0; i < 7; ++i)
        grid->AddProperty(u"int", u"n", i);
    grid->AddProperty(u"bool", u"flag", 7);
    int pitch = grid->RowHeight() + 1;
    // A click selects the row; typing and Return commit it.
    screen.Click(20, 10 + pitch * 2 + 3);
    EXPECT_EQ(grid->SelectedIndex(), 2);
    TCustomComboBox* editor = grid->InplaceEditor();
    EXPECT_EQ(editor->Text(), u"20");
    editor->SetFocus();
    editor->SelectAll();
    screen.Type(u"123");
    screen.Key(VK_RETURN);
    EXPECT_EQ(owner.writes.back(), (std::pair<int, uint32_t>{2, 0x02000004}));
    EXPECT_EQ(owner.values[2].AsInt(), 123);
    // Escape restores the text without writing.
    size_t writes = owner.writes.size();
    editor->SelectAll();
    screen.Type(u"55");
    screen.Key(VK_ESCAPE);
    EXPECT_EQ(editor->Text(), u"123");
    EXPECT_EQ(owner.writes.size(), writes);
    // Up and Down move the selection, committing the row left (bad text falls back).
    editor->SelectAll();
    screen.Type(u"zz");
    screen.Key(VK_DOWN);
    EXPECT_EQ(grid->SelectedIndex(), 3);
    EXPECT_EQ(owner.values[2].AsInt(), 123);
    screen.Key(VK_UP);
    screen.Key(VK_NEXT);
    EXPECT_EQ(grid->SelectedIndex(), std::min(7, 2 + grid->PageRows()));
    screen.Wheel(50, 50, 1);
    EXPECT_EQ(grid->SelectedIndex(), std::min(7, 2 + grid->PageRows()) - 1);
    // The boolean row picks from its list by keys and by mouse.
    grid->SetSelectedIndex(7);
    EXPECT_EQ(editor->Style(), csDropDown);
    EXPECT_TRUE(editor->ReadOnly());
    EXPECT_EQ(editor->Text(), u"true");
    editor->SetFocus();
    Vcl::RouteInput(&screen.form, WM_KEYDOWN, VK_F4, 0);
    ASSERT_TRUE(editor->DroppedDown());
    Vcl::RouteInput(&screen.form, WM_KEYDOWN, VK_DOWN, 0);
    Vcl::RouteInput(&screen.form, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(editor->DroppedDown());
    EXPECT_EQ(owner.writes.back(), (std::pair<int, uint32_t>{7, 0x02000001}));
    EXPECT_FALSE(owner.values[7].AsBool());
    editor->PickItem(0);
    EXPECT_TRUE(owner.values[7].AsBool());
    // Row 5 edited, then deleted: nothing is written.
    grid->SetSelectedIndex(5);
    editor->SetText(u"999");
    writes = owner.writes.size();
    grid->DeleteProperty(5);
    EXPECT_EQ(owner.writes.size(), writes);
    EXPECT_EQ(grid->SelectedIndex(), -1);
    EXPECT_EQ(grid->GetCount(), 7);
    grid->DeleteProperty(u"flag");
    EXPECT_EQ(grid->GetCount(), 6);
    grid->DeleteProperty(u"missing");
    grid->DeleteProperty(42);
    EXPECT_EQ(grid->GetCount(), 6);
}

TEST(XPropertyEditorTest, ColumnBoundaryDragsUnderTheSplitCursor)
{
    FormPixels screen(400, 400);
    Owner owner;
    XPropertyEditor* grid = MakeGrid(&screen.form, owner);
    grid->SetBounds(0, 0, 200, 300);
    grid->AddProperty(u"int", u"a", 0);
    int boundary = grid->NameColumnWidth();
    EXPECT_EQ(boundary, 100);
    screen.Move(boundary + 1, 5, 0);
    EXPECT_EQ(Screen->Cursor(), crHSplit);
    screen.Down(boundary + 1, 5);
    screen.Move(-50, 5);
    EXPECT_EQ(grid->NameColumnWidth(), 31);
    screen.Move(500, 5);
    EXPECT_EQ(grid->NameColumnWidth(), 200 - 30);
    screen.Up(500, 5);
    screen.Move(20, 100, 0);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    // The name and value are painted; a row that would cross the lower edge is left blank.
    EXPECT_EQ(screen.At(grid->NameColumnWidth(), 2), FormPixels::Of(clBlack));
}

TEST(XPropertyEditorTest, ARowPaintingItselfLeavesTheRowsBelowAsTheyWouldBe)
{
    // Two grids side by side, alike but for the first row, which paints itself in one of them.
    FormPixels screen(420, 200);
    Owner owner;
    owner.values = {{0, XVariant(int32_t(7))}, {1, XVariant(int32_t(12))}, {2, XVariant(int32_t(345))}};
    XPropertyEditor* grids[2];
    for (int g = 0; g < 2; ++g)
    {
        grids[g] = MakeGrid(&screen.form, owner);
        grids[g]->RegisterProperty(u"swatch", CreateSwatchProperty);
        grids[g]->SetBounds(g * 210, 0, 200, 150);
        grids[g]->AddProperty(g == 0 ? u"swatch" : u"int", u"colour", 0);
        grids[g]->AddProperty(u"int", u"width", 1);
        grids[g]->AddProperty(u"int", u"height", 2);
    }
    ASSERT_TRUE(grids[0]->Property(0)->CustomPaint());
    screen.At(0, 0); // paints
    const int pitch = grids[0]->RowHeight() + 1;
    for (int row = 1; row < 3; ++row)
    {
        size_t differ = 0;
        for (int y = row * pitch; y < (row + 1) * pitch; ++y)
            for (int x = 0; x < 200; ++x)
                differ += screen.Peek(x, y) != screen.Peek(210 + x, y);
        EXPECT_EQ(differ, 0u) << "row " << row;
    }
    // The row did paint itself.
    EXPECT_EQ(screen.Peek(grids[0]->NameColumnWidth() + 6, pitch / 2), FormPixels::Of(clRed));
}
