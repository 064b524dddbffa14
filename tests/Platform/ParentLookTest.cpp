// Colour and the three-dimensional look handed from parent to child: ParentColor and ParentCtl3D.
#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

#include <gtest/gtest.h>

namespace
{
// A label that frees another control when its parent's colour reaches it.
class Freeing : public TLabel
{
public:
    explicit Freeing(TComponent* owner) : TLabel(owner)
    {
        m_old = WindowProc;
        WindowProc = MakeClosure(this, &Freeing::Spy);
    }
    TControl* victim = nullptr;

private:
    void Spy(TMessage& message)
    {
        if (message.Msg == CM_PARENTCOLORCHANGED && victim)
        {
            TControl* gone = victim;
            victim = nullptr;
            delete gone;
        }
        m_old(message);
    }
    TWndMethod m_old;
};
} // namespace

TEST(ParentLookTest, ColourFollowsTheParentUntilSetAndThroughEveryLevel)
{
    TForm form(nullptr);
    form.SetColor(clTeal);
    EXPECT_FALSE(form.ParentColor());
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    // A panel keeps its own face; the controls that set their own colour start without ParentColor.
    EXPECT_FALSE(panel->ParentColor());
    EXPECT_EQ(panel->Color(), clBtnFace);
    auto* group = new TGroupBox(&form);
    group->SetParent(panel);
    auto* label = new TLabel(&form);
    label->SetParent(group);
    auto* check = new TCheckBox(&form);
    check->SetParent(group);
    auto* edit = new TEdit(&form);
    edit->SetParent(group);
    auto* list = new TListBox(&form);
    list->SetParent(group);
    auto* memo = new TMemo(&form);
    memo->SetParent(group);
    auto* combo = new TComboBox(&form);
    combo->SetParent(group);
    for (TControl* c : {static_cast<TControl*>(group), static_cast<TControl*>(label), static_cast<TControl*>(check)})
    {
        EXPECT_TRUE(c->ParentColor());
        EXPECT_EQ(c->Color(), clBtnFace);
    }
    for (TControl* c : {static_cast<TControl*>(edit), static_cast<TControl*>(list), static_cast<TControl*>(memo),
                        static_cast<TControl*>(combo)})
        EXPECT_FALSE(c->ParentColor());

    // A change goes down every level that follows, and no further.
    panel->SetColor(clYellow);
    EXPECT_EQ(group->Color(), clYellow);
    EXPECT_EQ(label->Color(), clYellow);
    EXPECT_EQ(check->Color(), clYellow);
    EXPECT_TRUE(label->ParentColor());
    for (TControl* c : {static_cast<TControl*>(edit), static_cast<TControl*>(list), static_cast<TControl*>(memo),
                        static_cast<TControl*>(combo)})
        EXPECT_EQ(c->Color(), clWindow);

    // Setting a colour of its own stops the group following, and its children follow it instead.
    group->SetColor(clAqua);
    EXPECT_FALSE(group->ParentColor());
    EXPECT_EQ(label->Color(), clAqua);
    panel->SetColor(clLime);
    EXPECT_EQ(group->Color(), clAqua);
    EXPECT_EQ(label->Color(), clAqua);
    // Setting ParentColor again takes the parent's colour at once, down to the children.
    group->SetParentColor(true);
    EXPECT_EQ(group->Color(), clLime);
    EXPECT_EQ(label->Color(), clLime);
    panel->SetParentColor(true);
    EXPECT_EQ(panel->Color(), clTeal);
    EXPECT_EQ(label->Color(), clTeal);

    // A control that joins another parent takes its colour; one that does not follow keeps its own.
    auto* other = new TPanel(&form);
    other->SetParent(&form);
    other->SetColor(clFuchsia);
    label->SetParent(other);
    EXPECT_EQ(label->Color(), clFuchsia);
    edit->SetParent(other);
    EXPECT_EQ(edit->Color(), clWindow);
    // Without a parent the colour stays as it was, and the flag is kept for the next parent.
    label->SetParent(nullptr);
    label->SetColor(clRed);
    label->SetParentColor(true);
    EXPECT_EQ(label->Color(), clRed);
    label->SetParent(group);
    EXPECT_EQ(label->Color(), clTeal);
    delete label;
}

TEST(ParentLookTest, FreeingAChildWhileTheColourIsHandedOnSkipsIt)
{
    TForm form(nullptr);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    auto* first = new Freeing(&form);
    first->SetParent(panel);
    auto* second = new TLabel(&form);
    second->SetParent(panel);
    auto* third = new TLabel(&form);
    third->SetParent(panel);
    first->victim = second;
    panel->SetColor(clNavy);
    EXPECT_EQ(panel->ControlCount(), 2);
    EXPECT_EQ(first->Color(), clNavy);
    EXPECT_EQ(third->Color(), clNavy);
}

TEST(ParentLookTest, Ctl3DFollowsTheParentAndNarrowsTheSunkenEdge)
{
    TForm form(nullptr);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    auto* edit = new TEdit(&form);
    edit->SetParent(panel);
    auto* list = new TListBox(&form);
    list->SetParent(panel);
    list->SetBounds(0, 0, 100, 80);
    auto* memo = new TMemo(&form);
    memo->SetParent(panel);
    memo->SetBounds(0, 0, 100, 80);
    EXPECT_TRUE(edit->Ctl3D());
    EXPECT_TRUE(edit->ParentCtl3D());
    EXPECT_EQ(list->ClientRect(), TRect(0, 0, 100 - 4, 80 - 4));

    form.SetCtl3D(false);
    EXPECT_FALSE(form.ParentCtl3D());
    EXPECT_FALSE(panel->Ctl3D());
    EXPECT_TRUE(panel->ParentCtl3D());
    EXPECT_FALSE(edit->Ctl3D());
    // One pixel of border instead of two at each side.
    EXPECT_EQ(list->ClientRect(), TRect(0, 0, 100 - 2, 80 - 2));
    EXPECT_EQ(memo->ClientRect(), TRect(0, 0, 100 - 2, 80 - 2));
    EXPECT_TRUE(list->WindowStyle() & WS_BORDER);
    EXPECT_FALSE(list->WindowExStyle() & WS_EX_CLIENTEDGE);

    // A control set by itself keeps its look; setting ParentCtl3D again follows at once.
    list->SetCtl3D(true);
    EXPECT_FALSE(list->ParentCtl3D());
    form.SetCtl3D(true);
    form.SetCtl3D(false);
    EXPECT_TRUE(list->Ctl3D());
    EXPECT_EQ(list->ClientRect(), TRect(0, 0, 100 - 4, 80 - 4));
    EXPECT_FALSE(list->WindowStyle() & WS_BORDER);
    list->SetParentCtl3D(true);
    EXPECT_FALSE(list->Ctl3D());

    // A combo box keeps the height its font gives it without the 3D look: its field, inside a
    // one-pixel line instead of the two-pixel edge, gains a pixel at each side.
    auto* combo = new TComboBox(&form);
    combo->SetParent(&form);
    EXPECT_FALSE(combo->Ctl3D());
    EXPECT_EQ(combo->Height(), 21);
    EXPECT_EQ(combo->EditBox()->BoundsRect().top, 1);
    EXPECT_EQ(combo->EditBox()->Height(), 21 - 2);
    combo->SetCtl3D(true);
    EXPECT_EQ(combo->Height(), 21);
    EXPECT_EQ(combo->EditBox()->BoundsRect().top, 2);
    EXPECT_EQ(combo->EditBox()->Height(), 21 - 4);

    // Joining a parent takes its look.
    TForm other(nullptr);
    memo->SetParent(&other);
    EXPECT_TRUE(memo->Ctl3D());
    EXPECT_EQ(memo->ClientRect(), TRect(0, 0, 100 - 4, 80 - 4));
}
