#include "Engine/Editors/XSceneEditor.h"

#include "Engine/Editors/TSceneEditorFrame.h"
#include "Engine/Geometry/XBaseShape.h"
#include "Engine/Geometry/XBone.h"
#include "Engine/Scene/XSceneLink.h"
#include "Platform/Win32/Windows.h"

#include <algorithm>
#include <cmath>

using StrUtils::XBaseString;

namespace
{
// What a transform changes, by mode.
const XTransformTarget kTargets[3] = {XTT_NODE, XTT_PIVOT, XTT_MESH};
const char16_t* const kModeNames[3] = {u"Hierarhy", u"Pivot", u"Mesh"};

// Read when the transform happens, not from the mouse event.
bool ControlKeyDown()
{
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

// Whether a mesh-space point, carried to clip space by m, lands inside the normalised rectangle.
// The perspective divide makes the test hold in perspective views too; points at or behind the
// eye are outside.
bool InsideRect(const XMatrix& m, const XVertex& p, float left, float top, float right, float bottom)
{
    float x = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
    float y = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
    float w = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
    if (!(w > 0))
        return false;
    x /= w;
    y /= w;
    return left <= x && x <= right && bottom <= y && y <= top;
}

// Shapes and bones' capsules are drawn as lines and picked by their box: where a surface shows
// through them, a click means the surface.
bool DrawnAsLines(XMeshNode* node)
{
    auto* bone = dynamic_cast<XBone*>(node);
    return dynamic_cast<XBaseShape*>(bone ? bone->GetShownMesh() : node->GetMesh()) != nullptr;
}

} // namespace

XSceneEditor::XSceneEditor(XScene* scene) : XSTEditor(scene)
{
}

XSceneEditor::~XSceneEditor()
{
    delete m_Frame;
}

bool XSceneEditor::Activate()
{
    if (m_Frame)
        m_Frame->UpdateAnimList();
    return true;
}

void XSceneEditor::ObjectSelect(XBaseObject*, bool)
{
    if (m_Frame)
        m_Frame->UpdateAnimList();
}

TBaseEditorFrame* XSceneEditor::GetEditorFrame()
{
    if (!m_Frame)
        m_Frame = new TSceneEditorFrame(nullptr, GetScene(), this);
    return m_Frame;
}

bool XSceneEditor::Deactivate()
{
    return true;
}

XBaseString<WCHAR> XSceneEditor::GetName()
{
    return u"XSceneEditor";
}

void XSceneEditor::CopyToClipboard()
{
    XSceneLink::Get()->CopySelNodesToClipboard(GetScene());
}

bool XSceneEditor::CanCopy()
{
    return GetSelectionCount() > 0;
}

void XSceneEditor::CutToClipboard()
{
    XSceneLink::Get()->CutSelNodesToClipboard(GetScene());
}

bool XSceneEditor::CanCut()
{
    return GetSelectionCount() > 0;
}

void XSceneEditor::PasteFromClipboard()
{
    XSceneLink::Get()->PasteFromClipboard(GetScene());
}

bool XSceneEditor::CanPaste()
{
    return true;
}

XSceneEditor::NodeList XSceneEditor::TakeSelection()
{
    XSceneLink* link = XSceneLink::Get();
    unsigned count = link->GetSelNodeCount(GetScene());
    NodeList list;
    list.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        list.push_back(std::make_unique<XReference<XMeshNode>>(this, link->GetSelNode(GetScene(), i)));
    return list;
}

void XSceneEditor::Delete()
{
    // Destroying one node may destroy others of the list; those read as null by then.
    for (auto& node : TakeSelection())
    {
        if (XMeshNode* n = node->Get())
            n->Destroy();
    }
}

bool XSceneEditor::CanDelete()
{
    return GetSelectionCount() > 0;
}

void XSceneEditor::Clone()
{
    XSceneLink* link = XSceneLink::Get();
    for (auto& node : TakeSelection())
    {
        XMeshNode* source = node->Get();
        if (!source)
            continue;
        XMeshNode* clone = link->CreateNode(GetScene(), source->GetMesh());
        if (!clone)
            continue;
        clone->Assign(source);
        source->SetSelected(false);
        clone->SetSelected(true);
    }
}

bool XSceneEditor::CanClone()
{
    return GetSelectionCount() > 0;
}

unsigned XSceneEditor::GetSelectionCount()
{
    return XSceneLink::Get()->GetSelNodeCount(GetScene());
}

XVertex XSceneEditor::GetSelectionCenter()
{
    XSceneLink* link = XSceneLink::Get();
    unsigned count = link->GetSelNodeCount(GetScene());
    XVertex sum(0, 0, 0);
    if (count == 0)
        return sum;
    unsigned frame = GetFrame();
    for (unsigned i = 0; i < count; ++i)
        sum += link->GetSelNode(GetScene(), i)->GetWorldPosition(frame);
    return sum * (1.0f / static_cast<float>(count));
}

unsigned XSceneEditor::GetModeCount()
{
    return 3;
}

XBaseString<WCHAR> XSceneEditor::GetModeName(int index)
{
    if (index < 0 || index > 2)
        return {};
    return kModeNames[index];
}

int XSceneEditor::GetMode()
{
    return m_Mode;
}

void XSceneEditor::SetMode(int index)
{
    // Negative modes would index past the target table.
    m_Mode = index > 2 ? 2 : (index < 0 ? 0 : index);
}

void XSceneEditor::SelectRectShift(XViewport* viewport, const XPoint& min, const XPoint& max)
{
    XSceneLink* link = XSceneLink::Get();
    XScene* scene = GetScene();
    unsigned count = link->GetNodeCount(scene);
    if (count == 0 || !viewport)
        return;
    unsigned frame = GetFrame();
    if (min == max)
    {
        XMeshNode* nearest = nullptr;
        float nearestDistance = 0;
        bool nearestLines = false;
        for (unsigned i = 0; i < count; ++i)
        {
            XMeshNode* node = link->GetNode(scene, i);
            float distance = 0;
            if (!node->GetVisible() || !node->IntersectRay(frame, viewport, min, distance, 2))
                continue;
            const bool lines = DrawnAsLines(node);
            if (!nearest || (lines == nearestLines ? distance < nearestDistance : nearestLines))
            {
                nearest = node;
                nearestDistance = distance;
                nearestLines = lines;
            }
        }
        if (nearest)
            nearest->SetSelected(true);
        return;
    }
    float width = static_cast<float>(viewport->GetClientWidth());
    float height = static_cast<float>(viewport->GetClientHeight());
    if (width <= 0 || height <= 0)
        return;
    float left = 2 * min.x / width - 1;
    float right = 2 * max.x / width - 1;
    float top = -(2 * min.y / height - 1);
    float bottom = -(2 * max.y / height - 1);
    XMatrix viewProjection = viewport->GetViewMatrix(frame) * viewport->GetProjectionMatrix(frame);
    for (unsigned i = 0; i < count; ++i)
    {
        XMeshNode* node = link->GetNode(scene, i);
        if (!node->GetVisible())
            continue;
        XMatrix m;
        node->GetMeshMatrix(frame, m);
        m = m * viewProjection;
        XBoundingBox box = node->GetMeshBoundingBox(frame);
        bool inside = true;
        for (unsigned c = 0; c < 8 && inside; ++c)
        {
            XVertex corner((c & 1) ? box.max.x : box.min.x, (c & 2) ? box.max.y : box.min.y,
                           (c & 4) ? box.max.z : box.min.z);
            inside = InsideRect(m, corner, left, top, right, bottom);
        }
        node->SetSelected(inside);
    }
}

void XSceneEditor::SelectRect(XViewport* viewport, const XPoint& min, const XPoint& max)
{
    ClearSelection();
    SelectRectShift(viewport, min, max);
}

void XSceneEditor::SelectRectCtrl(XViewport* viewport, const XPoint&, const XPoint& max)
{
    XSceneLink* link = XSceneLink::Get();
    XScene* scene = GetScene();
    unsigned frame = GetFrame();
    unsigned count = link->GetNodeCount(scene);
    for (unsigned i = 0; i < count; ++i)
    {
        XMeshNode* node = link->GetNode(scene, i);
        if (node->GetVisible() && node->HitTest(frame, viewport, max, 0))
            node->SetSelected(!node->IsSelected());
    }
}

void XSceneEditor::ClearSelection()
{
    for (auto& node : TakeSelection())
    {
        if (XMeshNode* n = node->Get())
            n->SetSelected(false);
    }
}

bool XSceneEditor::HitTestSelection(XViewport* viewport, const XPoint& point)
{
    XSceneLink* link = XSceneLink::Get();
    XScene* scene = GetScene();
    if (link->FindTransformAxis(scene, viewport, point, nullptr) != 0)
        return true;
    unsigned frame = GetFrame();
    unsigned count = link->GetSelNodeCount(scene);
    for (unsigned i = 0; i < count; ++i)
    {
        if (link->GetSelNode(scene, i)->HitTest(frame, viewport, point, 0))
            return true;
    }
    return false;
}

void XSceneEditor::BeginTransform()
{
    for (auto& node : TakeSelection())
    {
        if (XMeshNode* n = node->Get())
            n->BeginTransform();
    }
}

void XSceneEditor::EndTransform()
{
    for (auto& node : TakeSelection())
    {
        if (XMeshNode* n = node->Get())
            n->EndTransform();
    }
}

void XSceneEditor::CancelTransform()
{
    for (auto& node : TakeSelection())
    {
        if (XMeshNode* n = node->Get())
            n->CancelTransform();
    }
}

void XSceneEditor::Move(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint)
{
    if (!viewport)
        return;
    unsigned axis = XSceneLink::Get()->GetTransformAxis(GetScene());
    unsigned frame = GetFrame();
    XMatrix identity(1.0f);
    XVertex to = viewport->ScreenToPlane(frame, newPoint, axis, identity);
    XVertex from = viewport->ScreenToPlane(frame, previousPoint, axis, identity);
    MoveBy(viewport, to - from);
}

void XSceneEditor::Rotate(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint)
{
    float a = DegToRad((previousPoint.y - newPoint.y) * 0.5f);
    XVertex angles(0, 0, 0);
    switch (XSceneLink::Get()->GetTransformAxis(GetScene()))
    {
    case XAXIS_X: angles.x = a; break;
    case XAXIS_Y: angles.y = a; break;
    case XAXIS_Z: angles.z = a; break;
    case XAXIS_XYZ: angles = XVertex(a, a, a); break;
    default: break;
    }
    RotateBy(viewport, angles);
}

void XSceneEditor::Scale(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint)
{
    const float f = std::max(MinDragScale, (previousPoint.y - newPoint.y) * 0.01f + 1.0f);
    ScaleBy(viewport, XVertex(f, f, f));
}

void XSceneEditor::MoveBy(XViewport*, const XVertex& delta)
{
    if (GetSelectionCount() == 0)
        return;
    XMatrix pivot = XMatrix::Translation(GetSelectionCenter());
    bool withChildren = !ControlKeyDown();
    unsigned frame = GetFrame();
    for (auto& node : TakeSelection())
    {
        if (XMeshNode* n = node->Get())
            n->Move(frame, pivot, delta, withChildren, kTargets[m_Mode]);
    }
}

void XSceneEditor::RotateBy(XViewport*, const XVertex& angles)
{
    if (GetSelectionCount() == 0)
        return;
    XMatrix pivot = XMatrix::Translation(GetSelectionCenter());
    bool withChildren = !ControlKeyDown();
    unsigned frame = GetFrame();
    for (auto& node : TakeSelection())
    {
        if (XMeshNode* n = node->Get())
            n->Rotate(frame, pivot, angles, withChildren, kTargets[m_Mode]);
    }
}

void XSceneEditor::ScaleBy(XViewport*, const XVertex& factors)
{
    if (m_Mode == 1)
        return;
    XMeshTree* tree = XSceneLink::Get()->GetMeshTree(GetScene());
    if (!tree)
        return;
    XPtrArray<XMeshNode, 4> nodes;
    tree->EnumSelNodes(nodes);
    unsigned count = nodes.GetCount();
    if (count == 0)
        return;
    std::vector<XMatrix> worlds(count);
    for (unsigned i = 0; i < count; ++i)
        nodes[i]->GetMatrix(0, worlds[i]);
    XVertex centre = GetSelectionCenter();
    XMatrix scale;
    scale.SetScale(factors.x, factors.y, factors.z);
    XMatrix about = XMatrix::Translation(centre * -1.0f) * scale * XMatrix::Translation(centre);
    if (m_Mode == 0)
    {
        for (unsigned i = 0; i < count; ++i)
            nodes[i]->SetWorldMatrix(0, worlds[i] * about);
        return;
    }
    // The mesh matrix is Scale(mesh scale) x R x T(mesh offset) x W; R is chosen so that it
    // becomes G x about, G the mesh matrix before: the node stays, its mesh scales about the
    // centre, and neither the offset nor the mesh scale is applied twice.
    for (unsigned i = 0; i < count; ++i)
    {
        XMeshNode* node = nodes[i];
        XMatrix mesh;
        node->GetMeshMatrix(0, mesh);
        const XVertex& ms = node->GetMeshScale();
        const XVertex& offset = node->GetMeshPosition();
        XMatrix unscale, worldInverse;
        unscale.SetScale(1.0f / ms.x, 1.0f / ms.y, 1.0f / ms.z);
        worlds[i].Inverse(worldInverse);
        const XMatrix rotation = unscale * mesh * about * worldInverse * XMatrix::Translation(offset * -1.0f);
        if (!rotation.IsFinite())
            continue;
        node->SetMeshRotation(rotation);
    }
}
