// The animation editor's side panel: the edited node and animation, the frame number, buttons that
// step between keys and create or delete the keys at the frame, the values of those keys (typed or
// nudged with up-downs) and the animation's length. A 150 ms timer refreshes it while the editor is
// active; the frame itself changes only through the scene.
#pragma once

#include "Controls/XFloatEdit.h"
#include "Controls/XIntEdit.h"
#include "Controls/XScroll.h"
#include "Engine/Editors/TBaseEditorFrame.h"
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/StdCtrls.h"

class XAnimation;
class XAnimationEditor;
class XMeshNode;

class TAnimationEditorFrame : public TBaseEditorFrame
{
public:
    TAnimationEditorFrame(TComponent* owner, XScene* scene, XAnimationEditor* editor);

    // Starts and stops the refresh timer.
    void ActivateFrame() override;
    void DeactivateFrame() override;
    // Shows the frame, the node and its animation, and the keys at the frame: the value boxes of
    // a track are enabled when it has a key exactly there, and a create button exactly when it has
    // none. The box the form holds the focus for keeps what is being typed, also while the window
    // is away.
    void Refresh();

    // Handlers, as the controls call them.
    void TimerTimer(TObject* Sender);
    // Tags 0 previous / 1 next over all tracks; 2-7 previous / next on one track.
    void PrevKeyBtnClick(TObject* Sender);
    // Tags 0-2: position, rotation, scale.
    void CreatePosKeyBtnClick(TObject* Sender);
    void DeletePosKeyBtnClick(TObject* Sender);
    void PosXUpDownChangingEx(TObject* Sender, bool& AllowChange, int NewValue, TUpDownDirection Direction);
    void RotXUpDownChangingEx(TObject* Sender, bool& AllowChange, int NewValue, TUpDownDirection Direction);
    void ScaleXUpDownChangingEx(TObject* Sender, bool& AllowChange, int NewValue, TUpDownDirection Direction);
    // Tags 0-8: position, rotation (degrees), scale x, y, z of the key at the frame.
    void PosXEditExit(TObject* Sender);
    void PosXEditKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    void AnimationLengthEditExit(TObject* Sender);
    void AnimationLengthEditKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);

    TPanel* Panel1;
    TLabel* NodeNameLabel;
    TLabel* StartPosLabel;
    TLabel* CurrentPosLabel;
    TLabel* DeltaPosLabel;
    XScroll* XScroll2;
    XIntEdit* FrameEdit;
    TSpeedButton* PrevKeyBtn;
    TSpeedButton* NextKeyBtn;
    TSpeedButton* PrevPosKeyBtn;
    TSpeedButton* NextPosKeyBtn;
    TSpeedButton* PrevRotKeyBtn;
    TSpeedButton* NextRotKeyBtn;
    TSpeedButton* PrevScaleKeyBtn;
    TSpeedButton* NextScaleKeyBtn;
    TGroupBox* CreateKeyGroup;
    TSpeedButton* CreatePosKeyBtn;
    TSpeedButton* CreateRotKeyBtn;
    TSpeedButton* CreateScaleKeyBtn;
    TGroupBox* DeleteKeyGroup;
    TSpeedButton* DeletePosKeyBtn;
    TSpeedButton* DeleteRotKeyBtn;
    TSpeedButton* DeleteScaleKeyBtn;
    XScroll* XScroll1;
    TGroupBox* PositionGroup;
    XFloatEdit* PosXEdit;
    XFloatEdit* PosYEdit;
    XFloatEdit* PosZEdit;
    TUpDown* PosXUpDown;
    TUpDown* PosYUpDown;
    TUpDown* PosZUpDown;
    TGroupBox* RotationGroup;
    XFloatEdit* RotXEdit;
    XFloatEdit* RotYEdit;
    XFloatEdit* RotZEdit;
    TUpDown* RotXUpDown;
    TUpDown* RotYUpDown;
    TUpDown* RotZUpDown;
    TGroupBox* ScaleGroup;
    XFloatEdit* ScaleXEdit;
    XFloatEdit* ScaleYEdit;
    XFloatEdit* ScaleZEdit;
    TUpDown* ScaleXUpDown;
    TUpDown* ScaleYUpDown;
    TUpDown* ScaleZUpDown;
    TCheckBox* UniformScaleCheck;
    XScroll* XScroll3;
    TLabel* Label1;
    TLabel* Label2;
    XIntEdit* AnimationLengthEdit;
    TCheckBox* ChildAffectCheck;
    TTimer* Timer;

private:
    // The one selected node with a current animation, else false (and both null).
    bool Target(XMeshNode*& node, XAnimation*& animation) const;
    // Writes the value box into the key at the frame, the timer held meanwhile.
    void CommitEdit(XFloatEdit* edit);
    // Asks, then gives the node (and, ticked, its subtree) the length typed, at least 1; the box
    // then shows the length that holds, unless the user kept the old one by answering No.
    void CommitLength();
    // Adds (or for scale multiplies) one step on a component of the key at the frame.
    void Nudge(unsigned track, TObject* updown, TUpDownDirection direction);

    XAnimationEditor* m_AnimationEditor;
};
