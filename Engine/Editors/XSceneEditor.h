// The scene's default editor, current whenever no other editor is pushed: it selects nodes by
// click, rectangle and Ctrl-click, drags the selection (move, rotate, scale) along the scene's
// transform axis, transforms it by typed values, and offers the scene's node clipboard, delete and
// clone. Its mode says what a transform changes: the node with its hierarchy, its pivot, or only
// its mesh.
//
// Its side panel, made on the first request for it, is refreshed when the editor is activated and
// when a node's selection changes.
#pragma once

#include "Engine/Editors/XSTEditor.h"
#include "Engine/Scene/XMeshNode.h"

#include <memory>
#include <vector>

class TSceneEditorFrame;

class XSceneEditor : public XSTEditor
{
public:
    // Mode 0, "Hierarhy".
    explicit XSceneEditor(XScene* scene);
    ~XSceneEditor() override;

    // Refreshes the panel when there is one.
    bool Activate() override;
    bool Deactivate() override;
    // Refreshes the panel when there is one.
    void ObjectSelect(XBaseObject* object, bool selected) override;
    // Made on the first call, kept and freed with the editor.
    TBaseEditorFrame* GetEditorFrame() override;
    // "XSceneEditor".
    StrUtils::XBaseString<WCHAR> GetName() override;
    void CopyToClipboard() override;
    bool CanCopy() override;
    // Copy, then delete the selected nodes.
    void CutToClipboard() override;
    bool CanCut() override;
    void PasteFromClipboard() override;
    // Always: pasting an empty clipboard does nothing.
    bool CanPaste() override;
    // Destroys every selected node.
    void Delete() override;
    bool CanDelete() override;
    // A new node for each selected one, sharing its mesh object and taking over its state; the
    // clones become the selection.
    void Clone() override;
    bool CanClone() override;
    unsigned GetSelectionCount() override;
    // The mean world position of the selected nodes; (0, 0, 0) with none.
    XVertex GetSelectionCenter() override;
    // "Hierarhy", "Pivot", "Mesh".
    unsigned GetModeCount() override;
    StrUtils::XBaseString<WCHAR> GetModeName(int index) override;
    int GetMode() override;
    // Values above 2 become 2.
    void SetMode(int index) override;

    // Adds the node a click meets nearest the viewer (the least pick distance), or sets each
    // visible node's selection by whether its box lies wholly inside the rectangle.
    void SelectRectShift(XViewport* viewport, const XPoint& min, const XPoint& max) override;
    void SelectRect(XViewport* viewport, const XPoint& min, const XPoint& max) override;
    // Toggles every visible node under max.
    void SelectRectCtrl(XViewport* viewport, const XPoint& min, const XPoint& max) override;
    void ClearSelection() override;
    // On the gizmo, or on a selected node.
    bool HitTestSelection(XViewport* viewport, const XPoint& point) override;
    void BeginTransform() override;
    void EndTransform() override;
    // Nothing is undone: a cancelled drag keeps what it did.
    void CancelTransform() override;
    // The step between the two points carried onto the transform axis's plane.
    void Move(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;
    // Half a degree per pixel upward, about the axes of the transform axis.
    void Rotate(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;
    // 1 % per pixel upward, on all axes, never below 1 % of the size.
    void Scale(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;

    // Typed transforms of the selection about its centre. Children follow their node unless Ctrl
    // is held.
    virtual void MoveBy(XViewport* viewport, const XVertex& delta);
    // Radians per axis.
    virtual void RotateBy(XViewport* viewport, const XVertex& angles);
    // Hierarchy mode scales the nodes' world placement about the selection's centre; mesh mode
    // changes only each node's mesh rotation so that its mesh matrix is scaled so (a node whose
    // mesh matrix cannot be undone keeps its mesh); pivot mode changes nothing.
    virtual void ScaleBy(XViewport* viewport, const XVertex& factors);

protected:
    // The selected nodes as they stand now, each watched, so that a node destroyed while the list
    // is worked through reads as null.
    using NodeList = std::vector<std::unique_ptr<XReference<XMeshNode>>>;
    NodeList TakeSelection();

    int m_Mode = 0;

private:
    TSceneEditorFrame* m_Frame = nullptr;
};
