// The triangle-mesh editor's side panel: buttons that run the mesh operations on the edited
// object's source mesh, grouped in collapsible sections on four pages (vertices, faces, tools,
// information), with value boxes for weights, texture coordinates, radii, distances and
// transforms, the mesh's saved selections, and a page that lists the selected vertices twice a
// second while it is switched on.
//
// Every operation that changes the mesh or its selection records one undo entry in the editor
// first, so the editor's Undo puts it back; the tools page's two operations are the exception and
// record nothing. Every handler does nothing when the editor has no object and node, or either
// was destroyed; a condition that fails (nothing selected, no weights) does nothing and records
// nothing.
#pragma once

#include "Controls/XFloatEdit.h"
#include "Controls/XIntEdit.h"
#include "Controls/XScroll.h"
#include "Engine/Editors/TBaseEditorFrame.h"
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/Classes.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/StdCtrls.h"

class XMesh;
class XTriMeshEditor;

class TTriEditorFrame : public TBaseEditorFrame
{
public:
    static constexpr int DesignHeight = 994;

    TTriEditorFrame(TComponent* owner, XScene* scene, XTriMeshEditor* editor);
    ~TTriEditorFrame() override;

    // Refreshes the list of saved selections.
    void ActivateFrame() override;
    // The material chosen in the box, -1 (no material) until one is.
    uint32_t GetSelectedMaterial() const { return static_cast<uint32_t>(m_SelectedMaterial); }

    // Handlers, as the controls call them.
    void CreateVertexBtnClick(TObject* Sender);
    void CreateFaceBtnClick(TObject* Sender);
    void SpeedButton13Click(TObject* Sender);
    void VertexColorBtnClick(TObject* Sender);
    void NormalsComputeBtnClick(TObject* Sender);
    void NormalsFlipBtnClick(TObject* Sender);
    void NormalsNormalizeBtnClick(TObject* Sender);
    // Tag 0 plain, 1 with spherical correction.
    void FacesTessellateBtnClick(TObject* Sender);
    void FacesReverseBtnClick(TObject* Sender);
    void FaceExtrudeExecuteBtnClick(TObject* Sender);
    void VertexExtrudeExecuteBtnClick(TObject* Sender);
    void SpeedButton3Click(TObject* Sender);
    void SpeedButton10Click(TObject* Sender);
    void SpeedButton1Click(TObject* Sender);
    void SpeedButton2Click(TObject* Sender);
    void SpeedButton11Click(TObject* Sender);
    void SpeedButton12Click(TObject* Sender);
    // Inverts the selection of the object's level.
    void VerticesSelectAllBtnClick(TObject* Sender);
    // "Все" on the vertex page: every vertex.
    void VerticesSelectAllVerticesBtnClick(TObject* Sender);
    void FacesSelectAllBtnClick(TObject* Sender);
    void VerticesSelectByFacesBtnClick(TObject* Sender);
    // Tag 0: faces with all corners selected; 1: with any.
    void FacesSelectByVerticesBtnClick(TObject* Sender);
    void MaterialComboDropDown(TObject* Sender);
    void MaterialComboSelect(TObject* Sender);
    void ApplyMaterialBtnClick(TObject* Sender);
    void VerticesGetWeightBtnClick(TObject* Sender);
    void VerticesSetWeightBtnClick(TObject* Sender);
    void Bone1WeightEditExit(TObject* Sender);
    void VerticesGetTextureBtnClick(TObject* Sender);
    void VerticesSetTextureBtnClick(TObject* Sender);
    void VerticesMirrorBtnClick(TObject* Sender);
    void MoveBtnClick(TObject* Sender);
    void RotateBtnClick(TObject* Sender);
    void ScaleBtnClick(TObject* Sender);
    void ScaleEditChange(TObject* Sender);
    void ScaleEditExit(TObject* Sender);
    void SelectionRefreshBtnClick(TObject* Sender);
    // Asks for a name until an unused one is given or the question is cancelled.
    void SelectionSaveBtnClick(TObject* Sender);
    void SelectionDeleteBtnClick(TObject* Sender);
    void SelectionListDblClick(TObject* Sender);
    // The selected part of the object as a new object under a node of its own, where it stood.
    void SpeedButton4Click(TObject* Sender);
    // Bakes the node's local and mesh transforms into the vertices (world positions kept) and
    // resets them; not undoable.
    void SpeedButton5Click(TObject* Sender);
    void InfoActiveCheckClick(TObject* Sender);
    void InfoTimerTimer(TObject* Sender);

    TGroupBox* GroupBox1;
    TSpeedButton* CreateVertexBtn;
    TSpeedButton* CreateFaceBtn;
    TGroupBox* GroupBox2;
    TSpeedButton* NormalsComputeBtn;
    TSpeedButton* NormalsFlipBtn;
    TSpeedButton* NormalsNormalizeBtn;
    TCheckBox* NormalsSelOnlyCheck;
    TCheckBox* FlatShadingCheck;
    TPageControl* PageControl;
    TTabSheet* VerticesTab;
    TTabSheet* FacesTab;
    TTabSheet* ToolsTab;
    TTabSheet* InfoTab;

    XScroll* XScroll2;
    TLabel* Label2;
    TLabel* Label3;
    TLabel* Label4;
    TLabel* Label5;
    XFloatEdit* Bone1WeightEdit;
    XFloatEdit* Bone2WeightEdit;
    XFloatEdit* Bone3WeightEdit;
    XFloatEdit* Bone4WeightEdit;
    XIntEdit* Bone1IndexEdit;
    XIntEdit* Bone2IndexEdit;
    XIntEdit* Bone3IndexEdit;
    XIntEdit* Bone4IndexEdit;
    TSpeedButton* VerticesSetWeightBtn;
    TSpeedButton* VerticesGetWeightBtn;
    XScroll* XScroll4;
    TSpeedButton* SpeedButton6;
    TSpeedButton* SpeedButton7;
    TSpeedButton* SpeedButton8;
    TSpeedButton* SpeedButton9;
    TSpeedButton* SpeedButton1;
    XScroll* XScroll5;
    TSpeedButton* VerticesMirrorBtn;
    TRadioGroup* MirrorRadio;
    XScroll* XScroll6;
    TLabel* Label6;
    TLabel* Label8;
    XFloatEdit* TextureUEdit;
    XFloatEdit* TextureVEdit;
    TSpeedButton* VerticesSetTextureBtn;
    TSpeedButton* VerticesGetTextureBtn;
    XScroll* XScroll7;
    TSpeedButton* SpeedButton2;
    TLabel* Label11;
    XFloatEdit* MergeRadiusEdit;
    TCheckBox* MergeOnlySelectedCheck;
    TSpeedButton* SpeedButton10;
    XScroll* XScroll8;
    TLabel* Label7;
    XFloatEdit* MoveXEdit;
    XFloatEdit* MoveYEdit;
    XFloatEdit* MoveZEdit;
    TSpeedButton* MoveBtn;
    TLabel* Label9;
    XFloatEdit* RotationXEdit;
    XFloatEdit* RotationYEdit;
    XFloatEdit* RotationZEdit;
    TSpeedButton* RotateBtn;
    TLabel* Label10;
    XFloatEdit* ScaleXEdit;
    XFloatEdit* ScaleYEdit;
    XFloatEdit* ScaleZEdit;
    TCheckBox* UniformScaleCheck;
    TSpeedButton* ScaleBtn;
    XScroll* XScroll10;
    TLabel* Label12;
    XFloatEdit* VertexExtrudeDistanceEdit;
    TSpeedButton* VertexExtrudeExecuteBtn;

    TGroupBox* GroupBox3;
    TSpeedButton* FacesTessellateBtn;
    TSpeedButton* FacesTesselate2Btn;
    TSpeedButton* FacesReverseBtn;
    TSpeedButton* SpeedButton13;
    TCheckBox* FacesSelOnlyCheck;
    TGroupBox* GroupBox4;
    TComboBox* MaterialCombo;
    TSpeedButton* ApplyMaterialBtn;
    XScroll* XScroll1;
    TLabel* Label1;
    XFloatEdit* FaceExtrudeDistanceEdit;
    TSpeedButton* FaceExtrudeExecuteBtn;
    XScroll* XScroll3;
    TSpeedButton* FacesSelectByVerticesBtn;
    TSpeedButton* FacesSelectByVerticesInclusiveBtn;
    TSpeedButton* FacesSelectAllBtn;
    TSpeedButton* SpeedButton3;
    TSpeedButton* SpeedButton11;
    TSpeedButton* SpeedButton12;
    XScroll* XScroll9;
    TListBox* SelectionList;
    TSpeedButton* SelectionSaveBtn;
    TSpeedButton* SelectionDeleteBtn;
    TSpeedButton* SelectionRefreshBtn;

    TSpeedButton* SpeedButton4;
    TSpeedButton* VertexColorBtn;
    TSpeedButton* SpeedButton5;

    TMemo* InfoMemo;
    TCheckBox* InfoActiveCheck;
    TTimer* InfoTimer;

protected:
    void Resize() override;

private:
    // The edited source mesh, or null (nothing bound, or the object or node gone).
    XMesh* Mesh() const;
    // Records the whole mesh (or its selections) under the name, runs the operation, invalidates.
    template <class Operation> void MeshChange(const char16_t* name, Operation operation);
    template <class Operation> void SelectionChange(const char16_t* name, Operation operation);
    void RefreshSelections();
    void BuildVertexPage();
    void BuildFacesPage();
    void BuildToolsAndInfoPages();
    // The pages take the height of the one shown (at least down to the frame's bottom), so the
    // frame scrolls only when what is shown does not fit; asked again on a page change, a section
    // opening or closing and a resize.
    void FitPages();
    void PagesChanged(TObject* Sender);

    XTriMeshEditor* m_TriEditor;
    TStringList* m_Materials;
    int m_SelectedMaterial = -1;
    bool m_PagesBuilt = false; // a resize comes before the pages exist
    bool m_FittingPages = false;
};
