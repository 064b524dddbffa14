// The skin editor's side panel: the modifier's root bone chosen from the scene's bones, the bones
// of its hierarchy numbered from a start index, and the weights recomputed. Every handler does
// nothing while the editor has no modifier.
#pragma once

#include "Controls/XIntEdit.h"
#include "Engine/Editors/TBaseEditorFrame.h"
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/StdCtrls.h"

class XSkinEditor;
class XSkinModifier;

class TSkinEditorFrame : public TBaseEditorFrame
{
public:
    static constexpr int FrameHeight = 547;

    TSkinEditorFrame(TComponent* owner, XScene* scene, XSkinEditor* editor);

    // The bone box holds the modifier's root bone alone, selected (empty without one).
    void ActivateFrame() override;

    // Handlers, as the controls call them.
    // The scene's bones, in scene order.
    void BoneNameComboDropDown(TObject* Sender);
    void BoneNameComboSelect(TObject* Sender);
    // The root bone := the object the box names when it is a bone, else none.
    void SetBoneBtnClick(TObject* Sender);
    // Numbers the root bone's hierarchy from the start index; nothing without a root bone.
    void SetupIndexesBtnClick(TObject* Sender);
    // Tells the modifier's holders it changed, so the weights are computed again.
    void SpeedButton1Click(TObject* Sender);

    TGroupBox* GroupBox1 = nullptr;
    TLabel* Label1 = nullptr;
    TComboBox* BoneNameCombo = nullptr;
    TSpeedButton* SetBoneBtn = nullptr;
    TGroupBox* GroupBox2 = nullptr;
    TLabel* Label2 = nullptr;
    XIntEdit* BoneStartIndexEdit = nullptr;
    TSpeedButton* SetupIndexesBtn = nullptr;
    TSpeedButton* SpeedButton1 = nullptr;

private:
    XSkinModifier* Modifier() const;

    XSkinEditor* const m_SkinEditor;
};
