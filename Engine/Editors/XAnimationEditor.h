// The editor of a node's key-frame animation, pushed by the node's Edit. It keeps a current frame:
// at frame 0 it is the scene editor and changes the nodes themselves; at any other frame a drag or
// a typed transform of the one selected node writes a position, rotation or scale key into the
// node's current animation at that frame. Its side panel shows and edits the keys of the frame.
#pragma once

#include "Engine/Editors/XSceneEditor.h"

class TAnimationEditorFrame;

class XAnimationEditor : public XSceneEditor
{
public:
    // Frame 0, length 100, no animation name.
    explicit XAnimationEditor(XScene* scene);
    ~XAnimationEditor() override;

    // Back to frame 0; refuses unless exactly one node with a current animation is selected, whose
    // length and name it then takes.
    bool Activate() override;
    bool Deactivate() override;
    // "XAnimationEditor".
    StrUtils::XBaseString<WCHAR> GetName() override;
    // The node's axis at the current frame, in both passes; nothing at frame 0 or without exactly
    // one selected node.
    void RenderOverlay(unsigned frame, XViewport* viewport, unsigned pass) override;
    // A node becoming selected gets the edited animation made current (made empty where missing).
    void ObjectSelect(XBaseObject* object, bool selected) override;
    // One mode, "Animation", that nothing changes.
    unsigned GetModeCount() override;
    StrUtils::XBaseString<WCHAR> GetModeName(int index) override;
    int GetMode() override;
    void SetMode(int index) override;
    unsigned GetFrame() override;
    // A new frame is told to the scene (its frame event and editor), shows the scene's axis only at
    // frame 0 and refreshes the panel; the same frame does nothing. A frame past a shortened
    // animation is first pulled back to its length.
    void SetFrame(unsigned frame) override;
    // The animated node's length (remembered), or the last one remembered.
    unsigned GetAnimationLength() override;
    // Clamped to 1 .. 10000; a shorter animation loses its keys past the end.
    void SetAnimationLength(unsigned length) override;
    TBaseEditorFrame* GetEditorFrame() override;

    // At frame 0 as the scene editor; at other frames the gizmo stands where the node is at that
    // frame.
    void UpdateTransformAxis(XViewport* viewport, const XPoint& point) override;
    void BeginTransform() override;
    void EndTransform() override;
    void CancelTransform() override;
    void Move(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;
    void Rotate(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;
    void Scale(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;
    // At frame 0 the scene editor's; else keys at the frame for the one selected animated node.
    void MoveBy(XViewport* viewport, const XVertex& delta) override;
    void RotateBy(XViewport* viewport, const XVertex& angles) override;
    void ScaleBy(XViewport* viewport, const XVertex& factors) override;

    // Makes the node's animation of that name current, appending an empty one (length 100) where
    // it has none; with `recursive` every descendant too, depth first. Nothing for an empty name
    // or no node.
    static void SelectAnimation(XMeshNode* node, const StrUtils::XBaseString<WCHAR>& name, bool recursive);
    // The scene's one selected node, null for any other count.
    XMeshNode* GetAnimatedNode();
    // That node's current animation, or null.
    XAnimation* GetAnimation();
    const StrUtils::XBaseString<WCHAR>& GetAnimationName() const { return m_AnimationName; }

private:
    // The node's world matrix at the current frame.
    XMatrix NodeMatrix(XMeshNode* node);

    unsigned m_CurrentFrame = 0;
    unsigned m_Length = 100;
    StrUtils::XBaseString<WCHAR> m_AnimationName;
    TAnimationEditorFrame* m_Frame = nullptr;
    // Set by nothing: the edited node is always the selected one.
    XReference<XMeshNode> m_Node;
};
