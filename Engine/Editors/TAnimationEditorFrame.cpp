#include "Engine/Editors/TAnimationEditorFrame.h"

#include "Engine/Editors/EditorFramePlacing.h"
#include "Engine/Editors/XAnimationEditor.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Vcl/Forms.h"

#include <climits>
#include <cmath>
#include <vector>

using namespace EditorFramePlacing;

namespace
{
const int Margin = 10;
// The rotation boxes show degrees with pi taken as 3.14, the same pi DegToRad takes back.
const float DegreesPerRadian = (1.0f / 3.14f) * 180.0f;
const float PositionStep = 0.1f;
const float RotationStep = 0.017453292519943295f;

// A crafted scene may hold keys that are not numbers: they show as 0.
float Shown(float value)
{
    return std::isfinite(value) ? value : 0.0f;
}

float& Component(XVertex& v, unsigned axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

XKeys& Track(XAnimation* animation, unsigned track)
{
    if (track == 0)
        return animation->PositionKeys;
    if (track == 1)
        return animation->RotationKeys;
    return animation->ScaleKeys;
}

// The value held by a track's key (all three kinds keep an XVertex after the time).
XVertex& KeyValue(XKey* key, unsigned track)
{
    if (track == 0)
        return static_cast<XPositionKey*>(key)->value;
    if (track == 1)
        return static_cast<XRotationKey*>(key)->value;
    return static_cast<XScaleKey*>(key)->value;
}

// Holds the refresh timer stopped while a handler works, then puts back what it was.
class TimerHold
{
public:
    explicit TimerHold(TTimer* timer) : m_timer(timer), m_enabled(timer->Enabled()) { timer->SetEnabled(false); }
    ~TimerHold() { m_timer->SetEnabled(m_enabled); }
    TimerHold(const TimerHold&) = delete;
    TimerHold& operator=(const TimerHold&) = delete;

private:
    TTimer* m_timer;
    bool m_enabled;
};
} // namespace

TAnimationEditorFrame::TAnimationEditorFrame(TComponent* owner, XScene* scene, XAnimationEditor* editor)
    : TBaseEditorFrame(owner, scene, editor), m_AnimationEditor(editor)
{
    Panel1 = new TPanel(this);
    Panel1->SetParent(this);
    Panel1->SetAlign(alTop);
    Panel1->SetHeight(34);
    NodeNameLabel = new TLabel(this);
    NodeNameLabel->SetParent(Panel1);
    NodeNameLabel->SetAutoSize(false);
    NodeNameLabel->SetAlignment(taCenter);
    NodeNameLabel->SetLayout(tlCenter);
    NodeNameLabel->SetShowAccelChar(false);
    NodeNameLabel->SetAlign(alClient);
    NodeNameLabel->SetCaption(u"Node");
    StartPosLabel = PlaceLabel(this, Panel1, 4, 2, u"1");
    CurrentPosLabel = PlaceLabel(this, Panel1, 24, 2, u"2");
    DeltaPosLabel = PlaceLabel(this, Panel1, 44, 2, u"3");
    for (TLabel* label : {StartPosLabel, CurrentPosLabel, DeltaPosLabel})
        label->SetVisible(false);

    XScroll2 = PlacePanel(this, this, u"Ключи", 170);
    PrevKeyBtn = PlaceButton(this, XScroll2, Margin, 24, 36, u"<<", 0);
    FrameEdit = Place<XIntEdit>(this, XScroll2, Margin + 40, 24, 120, 21);
    FrameEdit->SetReadOnly(true);
    FrameEdit->SetColor(clBtnFace);
    NextKeyBtn = PlaceButton(this, XScroll2, Margin + 164, 24, 36, u">>", 1);
    CreateKeyGroup = Place<TGroupBox>(this, XScroll2, Margin, 50, 98, 92);
    CreateKeyGroup->SetCaption(u"Создать");
    CreatePosKeyBtn = PlaceButton(this, CreateKeyGroup, 6, 16, 86, u"Позиция", 0);
    CreateRotKeyBtn = PlaceButton(this, CreateKeyGroup, 6, 40, 86, u"Поворот", 1);
    CreateScaleKeyBtn = PlaceButton(this, CreateKeyGroup, 6, 64, 86, u"Масштаб", 2);
    DeleteKeyGroup = Place<TGroupBox>(this, XScroll2, Margin + 102, 50, 98, 92);
    DeleteKeyGroup->SetCaption(u"Удалить");
    DeletePosKeyBtn = PlaceButton(this, DeleteKeyGroup, 6, 16, 86, u"Позиция", 0);
    DeleteRotKeyBtn = PlaceButton(this, DeleteKeyGroup, 6, 40, 86, u"Поворот", 1);
    DeleteScaleKeyBtn = PlaceButton(this, DeleteKeyGroup, 6, 64, 86, u"Масштаб", 2);
    // One previous / next pair per track, under the groups: position, rotation, scale.
    PrevPosKeyBtn = PlaceButton(this, XScroll2, Margin, 145, 32, u"<<", 2);
    NextPosKeyBtn = PlaceButton(this, XScroll2, Margin + 34, 145, 32, u">>", 3);
    PrevRotKeyBtn = PlaceButton(this, XScroll2, Margin + 68, 145, 32, u"<<", 4);
    NextRotKeyBtn = PlaceButton(this, XScroll2, Margin + 102, 145, 32, u">>", 5);
    PrevScaleKeyBtn = PlaceButton(this, XScroll2, Margin + 136, 145, 32, u"<<", 6);
    NextScaleKeyBtn = PlaceButton(this, XScroll2, Margin + 170, 145, 32, u">>", 7);
    for (TSpeedButton* button : {PrevKeyBtn, NextKeyBtn, PrevPosKeyBtn, NextPosKeyBtn, PrevRotKeyBtn,
                                 NextRotKeyBtn, PrevScaleKeyBtn, NextScaleKeyBtn})
        button->OnClick = MakeClosure(this, &TAnimationEditorFrame::PrevKeyBtnClick);
    for (TSpeedButton* button : {CreatePosKeyBtn, CreateRotKeyBtn, CreateScaleKeyBtn})
        button->OnClick = MakeClosure(this, &TAnimationEditorFrame::CreatePosKeyBtnClick);
    for (TSpeedButton* button : {DeletePosKeyBtn, DeleteRotKeyBtn, DeleteScaleKeyBtn})
        button->OnClick = MakeClosure(this, &TAnimationEditorFrame::DeletePosKeyBtnClick);

    XScroll1 = PlacePanel(this, this, u"Параметры ключей", 200);
    const char16_t* groupCaptions[3] = {u"Позиция", u"Вращение", u"Масштаб"};
    TGroupBox* groups[3];
    XFloatEdit* edits[9];
    TUpDown* updowns[9];
    for (int g = 0; g < 3; ++g)
    {
        groups[g] = Place<TGroupBox>(this, XScroll1, Margin, 24 + 50 * g, 202, 48);
        groups[g]->SetCaption(groupCaptions[g]);
        for (int c = 0; c < 3; ++c)
        {
            XFloatEdit* edit = Place<XFloatEdit>(this, groups[g], 6 + 65 * c, 18, 46, 21);
            edit->SetTabStop(true);
            edit->SetFractionalPartLength(2);
            edit->SetUseBounds(true);
            edit->SetMinValue(g == 2 ? 0.001f : -10000.0f);
            edit->SetMaxValue(10000.0f);
            edit->SetChangeValue(g == 0 ? 0.1f : g == 1 ? 1.0f : 0.0f);
            edit->Tag = 3 * g + c;
            edit->OnExit = MakeClosure(this, &TAnimationEditorFrame::PosXEditExit);
            edit->OnKeyDown = MakeClosure(this, &TAnimationEditorFrame::PosXEditKeyDown);
            edits[3 * g + c] = edit;
            TUpDown* updown = Place<TUpDown>(this, groups[g], 6 + 65 * c + 46, 18, 15, 21);
            updown->Tag = c;
            updowns[3 * g + c] = updown;
        }
    }
    PositionGroup = groups[0];
    RotationGroup = groups[1];
    ScaleGroup = groups[2];
    PosXEdit = edits[0], PosYEdit = edits[1], PosZEdit = edits[2];
    RotXEdit = edits[3], RotYEdit = edits[4], RotZEdit = edits[5];
    ScaleXEdit = edits[6], ScaleYEdit = edits[7], ScaleZEdit = edits[8];
    PosXUpDown = updowns[0], PosYUpDown = updowns[1], PosZUpDown = updowns[2];
    RotXUpDown = updowns[3], RotYUpDown = updowns[4], RotZUpDown = updowns[5];
    ScaleXUpDown = updowns[6], ScaleYUpDown = updowns[7], ScaleZUpDown = updowns[8];
    for (TUpDown* updown : {PosXUpDown, PosYUpDown, PosZUpDown})
        updown->OnChangingEx = MakeClosure(this, &TAnimationEditorFrame::PosXUpDownChangingEx);
    for (TUpDown* updown : {RotXUpDown, RotYUpDown, RotZUpDown})
        updown->OnChangingEx = MakeClosure(this, &TAnimationEditorFrame::RotXUpDownChangingEx);
    for (TUpDown* updown : {ScaleXUpDown, ScaleYUpDown, ScaleZUpDown})
        updown->OnChangingEx = MakeClosure(this, &TAnimationEditorFrame::ScaleXUpDownChangingEx);
    UniformScaleCheck = Place<TCheckBox>(this, XScroll1, Margin, 176, 190, 17);
    UniformScaleCheck->SetCaption(u"Однородный масштаб");
    UniformScaleCheck->SetChecked(true);

    XScroll3 = PlacePanel(this, this, u"Параметры анимации", 120);
    Label1 = PlaceLabel(this, XScroll3, Margin, 26, u"Продолжительность");
    AnimationLengthEdit = Place<XIntEdit>(this, XScroll3, Margin, 44, 60, 21);
    AnimationLengthEdit->SetTabStop(true);
    AnimationLengthEdit->SetMinValue(1);
    AnimationLengthEdit->SetMaxValue(10000);
    AnimationLengthEdit->SetUseBounds(true);
    AnimationLengthEdit->SetValue(1);
    AnimationLengthEdit->OnExit = MakeClosure(this, &TAnimationEditorFrame::AnimationLengthEditExit);
    AnimationLengthEdit->OnKeyDown = MakeClosure(this, &TAnimationEditorFrame::AnimationLengthEditKeyDown);
    Label2 = PlaceLabel(this, XScroll3, Margin + 66, 47, u"кадров");
    ChildAffectCheck = Place<TCheckBox>(this, XScroll3, Margin, 74, 190, 17);
    ChildAffectCheck->SetCaption(u"Включая дочерние узлы");
    ChildAffectCheck->SetChecked(true);

    Timer = new TTimer(this);
    Timer->SetEnabled(false);
    Timer->SetInterval(150);
    Timer->OnTimer = MakeClosure(this, &TAnimationEditorFrame::TimerTimer);
}

bool TAnimationEditorFrame::Target(XMeshNode*& node, XAnimation*& animation) const
{
    node = m_AnimationEditor ? m_AnimationEditor->GetAnimatedNode() : nullptr;
    animation = node ? node->GetAnimation() : nullptr;
    if (!animation)
        node = nullptr;
    return animation != nullptr;
}

void TAnimationEditorFrame::ActivateFrame()
{
    Timer->SetEnabled(true);
}

void TAnimationEditorFrame::DeactivateFrame()
{
    Timer->SetEnabled(false);
}

void TAnimationEditorFrame::TimerTimer(TObject*)
{
    Refresh();
}

void TAnimationEditorFrame::Refresh()
{
    unsigned f = m_AnimationEditor->GetFrame();
    FrameEdit->SetValue(f > INT_MAX ? INT_MAX : static_cast<int>(f));
    XMeshNode* node = m_AnimationEditor->GetAnimatedNode();
    XAnimation* animation = node ? node->GetAnimation() : nullptr;
    if (!node)
    {
        NodeNameLabel->SetCaption(u"Выберите 1 узел!");
        for (TLabel* label : {StartPosLabel, CurrentPosLabel, DeltaPosLabel})
            label->SetCaption(u"");
    }
    else
    {
        UnicodeString name(node->GetName().c_str());
        NodeNameLabel->SetCaption(name);
        if (animation)
        {
            unsigned length = animation->GetLength();
            if (!AnimationLengthEdit->HoldsFocus())
                AnimationLengthEdit->SetValue(static_cast<int>(length));
            NodeNameLabel->SetCaption(name + u"->" + UnicodeString(animation->Name.c_str()) + u" (" +
                                      IntToStr(length) + u" кадров)");
        }
    }
    if (animation && f != 0)
    {
        XVertex values[3] = {animation->PositionKeys.GetValue(f), animation->RotationKeys.GetValue(f),
                             animation->ScaleKeys.GetValue(f)};
        XFloatEdit* edits[9] = {PosXEdit, PosYEdit, PosZEdit, RotXEdit, RotYEdit,
                                RotZEdit, ScaleXEdit, ScaleYEdit, ScaleZEdit};
        for (unsigned i = 0; i < 9; ++i)
        {
            if (edits[i]->HoldsFocus())
                continue;
            float value = Component(values[i / 3], i % 3);
            if (i / 3 == 1)
                value *= DegreesPerRadian;
            edits[i]->SetValue(Shown(value));
        }
        bool has[3] = {animation->PositionKeys.FindKey(f) != nullptr, animation->RotationKeys.FindKey(f) != nullptr,
                       animation->ScaleKeys.FindKey(f) != nullptr};
        PositionGroup->SetEnabled(has[0]);
        RotationGroup->SetEnabled(has[1]);
        ScaleGroup->SetEnabled(has[2]);
        CreateKeyGroup->SetEnabled(true);
        DeleteKeyGroup->SetEnabled(true);
        TSpeedButton* creates[3] = {CreatePosKeyBtn, CreateRotKeyBtn, CreateScaleKeyBtn};
        TSpeedButton* deletes[3] = {DeletePosKeyBtn, DeleteRotKeyBtn, DeleteScaleKeyBtn};
        for (int t = 0; t < 3; ++t)
        {
            creates[t]->SetEnabled(!has[t]);
            deletes[t]->SetEnabled(has[t]);
        }
        AnimationLengthEdit->SetEnabled(true);
        return;
    }
    for (TWinControl* group : {static_cast<TWinControl*>(PositionGroup), static_cast<TWinControl*>(RotationGroup),
                               static_cast<TWinControl*>(ScaleGroup), static_cast<TWinControl*>(CreateKeyGroup),
                               static_cast<TWinControl*>(DeleteKeyGroup)})
        group->SetEnabled(false);
    for (TSpeedButton* button : {CreatePosKeyBtn, CreateRotKeyBtn, CreateScaleKeyBtn, DeletePosKeyBtn,
                                 DeleteRotKeyBtn, DeleteScaleKeyBtn})
        button->SetEnabled(false);
    for (XFloatEdit* edit : {PosXEdit, PosYEdit, PosZEdit, RotXEdit, RotYEdit, RotZEdit})
        edit->SetValue(0);
    for (XFloatEdit* edit : {ScaleXEdit, ScaleYEdit, ScaleZEdit})
        edit->SetValue(1);
    // Without an animation the box reads 1; with one it keeps the length shown above, so that
    // leaving it does not ask to cut the animation to one frame.
    if (!animation)
        AnimationLengthEdit->SetValue(1);
    AnimationLengthEdit->SetEnabled(animation != nullptr);
}

void TAnimationEditorFrame::PrevKeyBtnClick(TObject* Sender)
{
    XMeshNode* node;
    XAnimation* animation;
    auto* button = dynamic_cast<TSpeedButton*>(Sender);
    if (!button || !Target(node, animation))
        return;
    unsigned f = m_AnimationEditor->GetFrame();
    int tag = static_cast<int>(button->Tag);
    bool previous = tag % 2 == 0;
    // Nothing lies before frame 0 or after the last frame number.
    if ((previous && f == 0) || (!previous && f == UINT_MAX))
        return;
    unsigned from = previous ? f - 1 : f + 1;
    unsigned mode = previous ? XKeys::AtOrBefore : XKeys::AtOrAfter;
    bool found = false;
    unsigned best = 0;
    if (tag <= 1)
    {
        for (unsigned t = 0; t < 3; ++t)
        {
            XKey* key = Track(animation, t).FindKey(from, mode);
            if (!key)
                continue;
            if (previous)
            {
                // Keys at frame 0 never win going back; a later track needs a strictly later key.
                if (key->time != 0 && key->time > best)
                {
                    best = key->time;
                    found = true;
                }
            }
            else if (!found || key->time < best)
            {
                best = key->time;
                found = true;
            }
        }
    }
    else
    {
        XKey* key = Track(animation, static_cast<unsigned>(tag - 2) / 2).FindKey(from, mode);
        if (key)
        {
            best = key->time;
            found = true;
        }
    }
    if (found)
        m_Scene->SetFrame(best);
}

void TAnimationEditorFrame::CreatePosKeyBtnClick(TObject* Sender)
{
    XMeshNode* node;
    XAnimation* animation;
    auto* button = dynamic_cast<TSpeedButton*>(Sender);
    if (!button || !Target(node, animation))
        return;
    unsigned f = m_AnimationEditor->GetFrame();
    switch (button->Tag)
    {
    case 0: animation->AddPositionKey(f, XVertex(0, 0, 0)); break;
    case 1: animation->AddRotationKey(f, XVertex(0, 0, 0)); break;
    case 2: animation->AddScaleKey(f, XVertex(1, 1, 1)); break;
    default: return;
    }
    node->InvalidateNodeMatrix();
    Refresh();
}

void TAnimationEditorFrame::DeletePosKeyBtnClick(TObject* Sender)
{
    XMeshNode* node;
    XAnimation* animation;
    auto* button = dynamic_cast<TSpeedButton*>(Sender);
    if (!button || !Target(node, animation) || button->Tag < 0 || button->Tag > 2)
        return;
    unsigned f = m_AnimationEditor->GetFrame();
    Track(animation, static_cast<unsigned>(button->Tag)).DeleteKeys(f, f);
    node->InvalidateNodeMatrix();
    Refresh();
}

void TAnimationEditorFrame::Nudge(unsigned track, TObject* updown, TUpDownDirection direction)
{
    XMeshNode* node;
    XAnimation* animation;
    auto* control = dynamic_cast<TUpDown*>(updown);
    if (!control || !Target(node, animation) || direction == updNone)
        return;
    XKey* key = Track(animation, track).FindKey(m_AnimationEditor->GetFrame());
    if (!key)
        return;
    XVertex& value = KeyValue(key, track);
    unsigned axis = static_cast<unsigned>(control->Tag) % 3;
    bool up = direction == updUp;
    if (track == 2)
    {
        float factor = up ? 1.1f : 0.9f;
        if (UniformScaleCheck->Checked())
        {
            value.x *= factor;
            value.y *= factor;
            value.z *= factor;
        }
        else
            Component(value, axis) *= factor;
    }
    else
        Component(value, axis) += (track == 0 ? PositionStep : RotationStep) * (up ? 1.0f : -1.0f);
    node->InvalidateNodeMatrix();
    Refresh();
}

void TAnimationEditorFrame::PosXUpDownChangingEx(TObject* Sender, bool&, int, TUpDownDirection Direction)
{
    Nudge(0, Sender, Direction);
}

void TAnimationEditorFrame::RotXUpDownChangingEx(TObject* Sender, bool&, int, TUpDownDirection Direction)
{
    Nudge(1, Sender, Direction);
}

void TAnimationEditorFrame::ScaleXUpDownChangingEx(TObject* Sender, bool&, int, TUpDownDirection Direction)
{
    Nudge(2, Sender, Direction);
}

void TAnimationEditorFrame::CommitEdit(XFloatEdit* edit)
{
    XMeshNode* node;
    XAnimation* animation;
    if (!edit || edit->Tag < 0 || edit->Tag > 8 || !Target(node, animation))
        return;
    TimerHold hold(Timer);
    unsigned track = static_cast<unsigned>(edit->Tag) / 3;
    XKey* key = Track(animation, track).FindKey(m_AnimationEditor->GetFrame());
    if (!key)
        return;
    float value = edit->Value();
    if (track == 1)
        value = DegToRad(value);
    Component(KeyValue(key, track), static_cast<unsigned>(edit->Tag) % 3) = value;
    node->InvalidateNodeMatrix();
}

void TAnimationEditorFrame::PosXEditExit(TObject* Sender)
{
    CommitEdit(dynamic_cast<XFloatEdit*>(Sender));
}

void TAnimationEditorFrame::PosXEditKeyDown(TObject* Sender, WORD& Key, TShiftState)
{
    if (Key == VK_RETURN)
        CommitEdit(dynamic_cast<XFloatEdit*>(Sender));
}

void TAnimationEditorFrame::CommitLength()
{
    XMeshNode* node;
    XAnimation* animation;
    if (!Target(node, animation))
        return;
    int typed = AnimationLengthEdit->Value();
    unsigned length = typed < 1 ? 1u : static_cast<unsigned>(typed);
    unsigned old = animation->GetLength();
    if (length == old)
    {
        // "0" or "-0" typed over a length of 1: the box shows the 1 that holds.
        AnimationLengthEdit->SetValue(static_cast<int>(length));
        return;
    }
    TimerHold hold(Timer);
    UnicodeString text = UnicodeString(u"Изменить продолжительность анимации с ") + IntToStr(old) + u" до " +
                         IntToStr(length) + u" кадров?";
    if (MessageBoxW(Handle(), text.c_str(), Application->Title().c_str(), MB_YESNO) != IDYES)
        return;
    if (ChildAffectCheck->Checked())
    {
        XString name = animation->Name;
        for (XMeshNode* n : Subtree(node))
        {
            if (XAnimation* same = n->FindAnimation(name))
                same->SetLength(length);
        }
    }
    else
        animation->SetLength(length);
    AnimationLengthEdit->SetValue(static_cast<int>(length));
    node->InvalidateNodeMatrix();
}

void TAnimationEditorFrame::AnimationLengthEditExit(TObject*)
{
    CommitLength();
}

void TAnimationEditorFrame::AnimationLengthEditKeyDown(TObject*, WORD& Key, TShiftState)
{
    if (Key == VK_RETURN)
        CommitLength();
}
