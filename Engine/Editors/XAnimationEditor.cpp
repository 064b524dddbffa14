#include "Engine/Editors/XAnimationEditor.h"

#include "Engine/Editors/TAnimationEditorFrame.h"
#include "Engine/Scene/XScene.h"
#include "Platform/D3D9/D3D9.h"

#include <vector>

using StrUtils::XBaseString;

namespace
{
XMatrix UniformScale(float s)
{
    XMatrix m;
    m.SetScale(s, s, s);
    return m;
}
} // namespace

XAnimationEditor::XAnimationEditor(XScene* scene) : XSceneEditor(scene), m_Node(this)
{
}

XAnimationEditor::~XAnimationEditor()
{
    delete m_Frame;
}

XMeshNode* XAnimationEditor::GetAnimatedNode()
{
    XScene* scene = GetScene();
    if (!scene || scene->GetSelNodeCount() != 1)
        return nullptr;
    return scene->GetSelNode(0);
}

XAnimation* XAnimationEditor::GetAnimation()
{
    XMeshNode* node = GetAnimatedNode();
    return node ? node->GetAnimation() : nullptr;
}

XMatrix XAnimationEditor::NodeMatrix(XMeshNode* node)
{
    XMatrix world;
    node->GetMatrix(m_CurrentFrame, world);
    return world;
}

bool XAnimationEditor::Activate()
{
    m_CurrentFrame = 0;
    XAnimation* animation = GetAnimation();
    if (!animation)
        return false;
    m_Length = animation->GetLength();
    m_AnimationName = animation->Name;
    // Frame 0 shows the scene's axis, whatever frame the editor was left at last time.
    GetScene()->SetShowAxis(true);
    return true;
}

bool XAnimationEditor::Deactivate()
{
    // The editor that follows works at frame 0: its axis must show.
    GetScene()->SetShowAxis(true);
    return true;
}

XBaseString<WCHAR> XAnimationEditor::GetName()
{
    return u"XAnimationEditor";
}

void XAnimationEditor::ObjectSelect(XBaseObject* object, bool selected)
{
    if (!selected)
        return;
    if (auto* node = dynamic_cast<XMeshNode*>(object))
        SelectAnimation(node, m_AnimationName, false);
}

void XAnimationEditor::SelectAnimation(XMeshNode* node, const XBaseString<WCHAR>& name, bool recursive)
{
    if (!node || name.IsEmpty())
        return;
    // Depth first, each node before its children, without recursion: trees may be deep.
    std::vector<XMeshNode*> pending{node};
    while (!pending.empty())
    {
        XMeshNode* n = pending.back();
        pending.pop_back();
        XAnimation* animation = n->FindAnimation(name);
        if (!animation)
        {
            animation = new XAnimation;
            animation->Name = name;
            n->AddAnimation(animation);
        }
        n->SetAnimation(animation);
        if (!recursive)
            break;
        for (uint32_t i = n->GetChildCount(); i-- > 0;)
            pending.push_back(n->GetChild(i));
    }
}

unsigned XAnimationEditor::GetModeCount()
{
    return 1;
}

XBaseString<WCHAR> XAnimationEditor::GetModeName(int)
{
    return u"Animation";
}

int XAnimationEditor::GetMode()
{
    return 0;
}

void XAnimationEditor::SetMode(int)
{
}

unsigned XAnimationEditor::GetFrame()
{
    return m_CurrentFrame;
}

void XAnimationEditor::SetFrame(unsigned frame)
{
    if (GetAnimationLength() < m_CurrentFrame)
        m_CurrentFrame = m_Length;
    if (frame == m_CurrentFrame)
        return;
    m_CurrentFrame = frame;
    XScene* scene = GetScene();
    scene->DoFrameChange(frame);
    scene->SetShowAxis(frame == 0);
    if (m_Frame)
        m_Frame->Refresh();
}

unsigned XAnimationEditor::GetAnimationLength()
{
    if (XAnimation* animation = GetAnimation())
        m_Length = animation->GetLength();
    return m_Length;
}

void XAnimationEditor::SetAnimationLength(unsigned length)
{
    XMeshNode* node = GetAnimatedNode();
    XAnimation* animation = node ? node->GetAnimation() : nullptr;
    if (!animation)
        return;
    animation->SetLength(length);
    node->InvalidateNodeMatrix();
}

TBaseEditorFrame* XAnimationEditor::GetEditorFrame()
{
    if (!m_Frame)
        m_Frame = new TAnimationEditorFrame(nullptr, GetScene(), this);
    return m_Frame;
}

void XAnimationEditor::UpdateTransformAxis(XViewport* viewport, const XPoint& point)
{
    XMeshNode* node = GetAnimatedNode();
    if (!node)
        return;
    if (m_CurrentFrame == 0)
    {
        XSceneEditor::UpdateTransformAxis(viewport, point);
        return;
    }
    XMatrix world = NodeMatrix(node);
    XScene* scene = GetScene();
    scene->SetTransformAxis(scene->FindTransformAxis(viewport, point, &world));
}

void XAnimationEditor::BeginTransform()
{
}

void XAnimationEditor::EndTransform()
{
}

void XAnimationEditor::CancelTransform()
{
}

void XAnimationEditor::Move(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint)
{
    if (m_CurrentFrame == 0)
    {
        XSceneEditor::Move(viewport, newPoint, previousPoint);
        return;
    }
    XMeshNode* node = GetAnimatedNode();
    if (!node || !viewport)
        return;
    unsigned axis = GetScene()->GetTransformAxis();
    XMatrix world = NodeMatrix(node);
    XVertex to = viewport->ScreenToPlane(m_CurrentFrame, newPoint, axis, world);
    XVertex from = viewport->ScreenToPlane(m_CurrentFrame, previousPoint, axis, world);
    MoveBy(viewport, to - from);
}

void XAnimationEditor::Rotate(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint)
{
    if (m_CurrentFrame != 0 && !GetAnimatedNode())
        return;
    XSceneEditor::Rotate(viewport, newPoint, previousPoint);
}

void XAnimationEditor::Scale(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint)
{
    if (m_CurrentFrame != 0 && !GetAnimatedNode())
        return;
    XSceneEditor::Scale(viewport, newPoint, previousPoint);
}

void XAnimationEditor::MoveBy(XViewport* viewport, const XVertex& delta)
{
    if (m_CurrentFrame == 0)
    {
        XSceneEditor::MoveBy(viewport, delta);
        return;
    }
    XMeshNode* node = GetAnimatedNode();
    XAnimation* animation = node ? node->GetAnimation() : nullptr;
    if (!animation)
        return;
    animation->AddPositionKey(m_CurrentFrame, delta);
    node->InvalidateNodeMatrix();
}

void XAnimationEditor::RotateBy(XViewport* viewport, const XVertex& angles)
{
    if (m_CurrentFrame == 0)
    {
        XSceneEditor::RotateBy(viewport, angles);
        return;
    }
    XMeshNode* node = GetAnimatedNode();
    XAnimation* animation = node ? node->GetAnimation() : nullptr;
    if (!animation)
        return;
    animation->AddRotationKey(m_CurrentFrame, angles);
    node->InvalidateNodeMatrix();
}

void XAnimationEditor::ScaleBy(XViewport* viewport, const XVertex& factors)
{
    if (m_CurrentFrame == 0)
    {
        XSceneEditor::ScaleBy(viewport, factors);
        return;
    }
    XMeshNode* node = GetAnimatedNode();
    XAnimation* animation = node ? node->GetAnimation() : nullptr;
    if (!animation)
        return;
    animation->AddScaleKey(m_CurrentFrame, factors);
    node->InvalidateNodeMatrix();
}

void XAnimationEditor::RenderOverlay(unsigned, XViewport* viewport, unsigned)
{
    if (m_CurrentFrame == 0 || !viewport)
        return;
    XMeshNode* node = GetAnimatedNode();
    IDirect3DDevice9* device = viewport->GetDevice();
    if (!node || !device)
        return;
    XMatrix world = NodeMatrix(node);
    XScene* scene = GetScene();
    float size = scene->GizmoSize(viewport, m_CurrentFrame, XVertex(world.m[3][0], world.m[3][1], world.m[3][2]));
    // A node at or behind the eye has no gizmo.
    if (!(size > 0))
        return;
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    scene->RenderAxis(viewport, UniformScale(size) * world);
}
