// The scene editor's side panel. Its first page moves, rotates and scales the selected nodes by
// typed values, resets their transformations and hides or shows nodes; its second page lists the
// animations of the one selected node, creates and deletes them in the node and all its
// descendants, and opens the animation editor.
#pragma once

#include "Controls/XFloatEdit.h"
#include "Controls/XScroll.h"
#include "Engine/Editors/TBaseEditorFrame.h"
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/StdCtrls.h"

class XMeshNode;
class XSceneEditor;
class XViewport;

class TSceneEditorFrame : public TBaseEditorFrame
{
public:
    TSceneEditorFrame(TComponent* owner, XScene* scene, XSceneEditor* editor);

    // Refreshes the animation list; the move and rotation boxes read 0, the scale boxes 1.
    void ActivateFrame() override;
    void DeactivateFrame() override;
    // The animations of the one selected node (none for any other count), the selected entry kept
    // by its name; create and delete only with one node.
    void UpdateAnimList();

    // Handlers, as the controls call them.
    void MoveBtnClick(TObject* Sender);
    void RotateBtnClick(TObject* Sender);
    void ScaleBtnClick(TObject* Sender);
    void ScaleXEditChange(TObject* Sender);
    void ScaleXEditExit(TObject* Sender);
    // Tags 0-3: mesh offset, mesh transform, node position, node matrix; asks first.
    void SpeedButton1Click(TObject* Sender);
    // Tags 0 hide, 1 show (the selection), 2 show every node.
    void ShowNodesBtnClick(TObject* Sender);
    void AnimListClick(TObject* Sender);
    void AnimListDblClick(TObject* Sender);
    void AnimCreateBtnClick(TObject* Sender);
    void AnimDeleteBtnClick(TObject* Sender);
    void AnimRefreshBtnClick(TObject* Sender);

    TPageControl* Pages;
    TTabSheet* TransformTab;
    XScroll* XScroll1;
    TLabel* Label1;
    XFloatEdit* MoveXEdit;
    XFloatEdit* MoveYEdit;
    XFloatEdit* MoveZEdit;
    TSpeedButton* MoveBtn;
    TLabel* Label2;
    XFloatEdit* RotationXEdit;
    XFloatEdit* RotationYEdit;
    XFloatEdit* RotationZEdit;
    TSpeedButton* RotateBtn;
    TLabel* Label3;
    XFloatEdit* ScaleXEdit;
    XFloatEdit* ScaleYEdit;
    XFloatEdit* ScaleZEdit;
    TSpeedButton* ScaleBtn;
    TCheckBox* UniformScaleCheck;
    XScroll* XScroll2;
    TLabel* Label4;
    TLabel* Label5;
    TSpeedButton* SpeedButton1;
    TSpeedButton* SpeedButton2;
    TSpeedButton* SpeedButton4;
    TSpeedButton* SpeedButton3;
    XScroll* XScroll3;
    TSpeedButton* HideNodes;
    TSpeedButton* ShowNodesBtn;
    TSpeedButton* ShowAllBtn;
    TCheckBox* ShowHideChildAffectCheck;
    TTabSheet* AnimationTab;
    TListBox* AnimList;
    TSpeedButton* AnimCreateBtn;
    TSpeedButton* AnimDeleteBtn;
    TSpeedButton* AnimRefreshBtn;

private:
    XMeshNode* SelectedNode() const;
    XViewport* ActiveViewport() const;
    // The selected list entry's name made current in the node and its descendants; false (and
    // nothing done) without one node or without an entry.
    bool SelectListedAnimation();
    bool Ask(const UnicodeString& question) const;
    void ResetEdits();

    XSceneEditor* m_SceneEditor;
};
