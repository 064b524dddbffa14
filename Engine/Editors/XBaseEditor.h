// The interface of every interactive editor a scene holds. The scene keeps the registered
// editors, one current editor and a stack of interrupted ones; it forwards viewport mouse events,
// keys, frame requests, overlay drawing and its object notifications to the current editor, and
// asks it for undo, clipboard and selection services. Editors are reference managers, so holders
// can watch them.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XVertex.h"
#include "Engine/Scene/XRefManager.h"
#include "Engine/Views/XViewport.h"
#include "Gx/UI/GxShiftState.h"

class XScene;
class XBaseObject;
class TBaseEditorFrame;

class XBaseEditor : public XRefManager
{
public:
    // The owning scene, fixed for the editor's life.
    explicit XBaseEditor(XScene* scene) : m_Scene(scene) {}
    // The scene deletes the editors registered with it.
    ~XBaseEditor() override = default;

    // False refuses the activation: the scene falls back to its default editor.
    virtual bool Activate() = 0;
    // False keeps the scene on this editor.
    virtual bool Deactivate() = 0;
    // The registry name the scene finds the editor by ("XTriMeshEditor").
    virtual StrUtils::XBaseString<WCHAR> GetName() = 0;
    virtual void MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                            XShiftState shift) = 0;
    // Whether a right press is the editor's own (a tool's step back or its end): the viewport then
    // opens no menu on its release. False here.
    virtual bool TakesRightPress();
    // The editor may change the key.
    virtual void KeyDown(unsigned& key, Gx::Ui::GxShiftState shift);
    virtual void KeyPress(WCHAR& key);
    virtual void KeyUp(unsigned& key, Gx::Ui::GxShiftState shift);
    virtual bool CanUndo();
    virtual void Undo();
    virtual StrUtils::XBaseString<WCHAR> GetUndoName();
    // Pass 0 right after the nodes, pass 1 last (after the selection boxes and the gizmo).
    virtual void RenderOverlay(unsigned frame, XViewport* viewport, unsigned pass);
    virtual void ObjectAttach(XBaseObject* object);
    virtual void ObjectDetach(XBaseObject* object);
    virtual void ObjectSelect(XBaseObject* object, bool selected);
    virtual void SceneChange();
    virtual void FrameChange(unsigned frame);
    virtual void CopyToClipboard() = 0;
    virtual bool CanCopy();
    virtual void CutToClipboard() = 0;
    virtual bool CanCut();
    virtual void PasteFromClipboard() = 0;
    virtual bool CanPaste();
    virtual void Delete() = 0;
    virtual bool CanDelete();
    virtual void Clone();
    virtual bool CanClone();
    // What the editor has selected (nodes, vertices, faces, points): the scene places and
    // hit-tests its transform gizmo with these.
    virtual unsigned GetSelectionCount();
    virtual XVertex GetSelectionCenter();
    // Named sub-object levels ("Vertex", "Face").
    virtual unsigned GetModeCount();
    virtual StrUtils::XBaseString<WCHAR> GetModeName(int index);
    virtual int GetMode();
    virtual void SetMode(int index);
    // Animation frame services; only the animation editor gives them a meaning.
    virtual unsigned GetFrame();
    virtual void SetFrame(unsigned frame);
    virtual unsigned GetAnimationLength();
    virtual void SetAnimationLength(unsigned length);
    // The editor's side panel, created on first request by editors that have one; null here.
    virtual TBaseEditorFrame* GetEditorFrame();

    XScene* GetScene() const { return m_Scene; }

private:
    XScene* const m_Scene;
};
