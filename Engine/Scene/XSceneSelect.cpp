// The interactive side of the scene: what is done with the selected nodes, grouping, the
// forwarding of user requests to the current editor, and the drawing of the scene into a viewport
// with its selection boxes and transform gizmo.
#include "Engine/Scene/XScene.h"

#include "Components/XException.h"
#include "Components/XMemoryStream.h"
#include "Engine/Editors/XBaseEditor.h"
#include "Engine/Scene/XBaseLight.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XNodeGroup.h"
#include "Engine/Views/XScreenMapping.h"
#include "Platform/D3D9/D3D9.h"
#include "Platform/Vcl/SysUtils.h"

#include <cmath>
#include <cstring>

namespace
{
struct AxisVertex
{
    float x, y, z;
    uint32_t color;
};
static_assert(sizeof(AxisVertex) == 16);

constexpr uint32_t Red = 0xFFFF0000;
constexpr uint32_t Green = 0xFF00FF00;
constexpr uint32_t Blue = 0xFF0000FF;
constexpr uint32_t Yellow = 0xFFFFFF00;

// The gizmo: nine segments, the three axes and two strokes for each plane corner.
constexpr float GizmoPoints[18][3] = {
    {0.2f, 0, 0}, {0.8f, 0, 0}, {0, 0.2f, 0}, {0, 0.8f, 0}, {0, 0, 0.2f}, {0, 0, 0.8f},
    {0.8f, 1, 0}, {1, 1, 0},    {1, 1, 0},    {1, 0.8f, 0}, {1, 0, 1},    {0.8f, 0, 1},
    {1, 0, 0.8f}, {1, 0, 1},    {0, 1, 1},    {0, 0.8f, 1}, {0, 1, 0.8f}, {0, 1, 1},
};
// The axis mask each segment stands for, and the axis whose colour it has.
constexpr unsigned SegmentCodes[9] = {XAXIS_X,  XAXIS_Y,  XAXIS_Z,  XAXIS_XY, XAXIS_XY,
                                      XAXIS_XZ, XAXIS_XZ, XAXIS_YZ, XAXIS_YZ};
constexpr unsigned SegmentColorAxes[9] = {XAXIS_X, XAXIS_Y, XAXIS_Z, XAXIS_X, XAXIS_Y,
                                          XAXIS_X, XAXIS_Z, XAXIS_Y, XAXIS_Z};

uint32_t AxisColor(unsigned axis)
{
    return axis == XAXIS_X ? Red : axis == XAXIS_Y ? Green : Blue;
}

// A segment is highlighted when the mask holds all of its axes; masks above 7 highlight nothing.
bool Highlighted(unsigned segment, uint32_t mask)
{
    if (mask > XAXIS_XYZ)
        return false;
    const unsigned code = SegmentCodes[segment];
    return (mask & code) == code;
}

// The point as the matrix projects it, divided by w in front of the camera.
XPoint Project(const XMatrix& m, const float* p)
{
    float x = p[0] * m.m[0][0] + p[1] * m.m[1][0] + p[2] * m.m[2][0] + m.m[3][0];
    float y = p[0] * m.m[0][1] + p[1] * m.m[1][1] + p[2] * m.m[2][1] + m.m[3][1];
    const float w = p[0] * m.m[0][3] + p[1] * m.m[1][3] + p[2] * m.m[2][3] + m.m[3][3];
    if (w > 0)
    {
        x /= w;
        y /= w;
    }
    return XPoint(x, y);
}

XMatrix ScaleMatrix(float size)
{
    XMatrix m(1.0f);
    m.SetScale(size, size, size);
    return m;
}
} // namespace

// ---- selection ---------------------------------------------------------------------------------

void XScene::DeleteSelNodes()
{
    XPtrArray<XMeshNode, 4> selected = m_SelNodes;
    for (uint32_t i = 0; i < selected.GetCount(); ++i)
    {
        XMeshNode* node = selected.GetData()[i];
        // A node's destructor may take others with it; only nodes still here are destroyed.
        if (m_Nodes.IndexOf(node) >= 0)
            node->Destroy();
    }
}

void XScene::CloneSelNodes(bool)
{
    if (m_SelNodes.GetCount() == 0)
        return;
    try
    {
        XMemoryStream stream(0, 0x2000);
        SaveSelNodesToStream(&stream);
        ClearSelNodes();
        stream.SetPosition(0);
        LoadSelNodesFromStream(&stream);
    }
    catch (const XException& e)
    {
        ShowMessage(e.Message());
    }
}

unsigned XScene::GetSelectedCount()
{
    return m_Editor ? m_Editor->GetSelectionCount() : 0;
}

XVertex XScene::GetSelectedCentre()
{
    return m_Editor ? m_Editor->GetSelectionCenter() : XVertex(0, 0, 0);
}

// ---- groups ------------------------------------------------------------------------------------

XNodeGroup* XScene::GroupNodes(XPtrArray<XMeshNode, 4>& nodes, const XString& name)
{
    if (nodes.GetCount() < 2)
        return nullptr;
    auto* group = static_cast<XNodeGroup*>(
        CreateObject(XString(u"XNodeGroup"), nullptr, name.IsEmpty() ? nullptr : name.c_str()));
    group->AddNodes(nodes);
    DoSceneChange();
    return group;
}

void XScene::UngroupNodes(XNodeGroup* group, XPtrArray<XMeshNode, 4>& nodes)
{
    if (!group)
        return;
    group->RemoveNodes(nodes);
    group->Destroy();
    DoSceneChange();
}

XNodeGroup* XScene::GroupSelNodes(const XString& name)
{
    if (m_SelNodes.GetCount() < 2)
        return nullptr;
    XPtrArray<XMeshNode, 4> nodes = m_SelNodes;
    ClearSelNodes();
    XNodeGroup* group = GroupNodes(nodes, name);
    SelectNode(group, true);
    return group;
}

void XScene::UngroupSelNodes()
{
    if (m_SelNodes.GetCount() == 0)
        return;
    XPtrArray<XMeshNode, 4> selected = m_SelNodes;
    ClearSelNodes();
    XPtrArray<XMeshNode, 4> released;
    for (uint32_t i = 0; i < selected.GetCount(); ++i)
        if (auto* group = dynamic_cast<XNodeGroup*>(selected.GetData()[i]))
            UngroupNodes(group, released);
    for (uint32_t i = 0; i < released.GetCount(); ++i)
        SelectNode(released.GetData()[i], true);
}

// ---- forwarding to the current editor ----------------------------------------------------------

void XScene::MouseEventHandler(XViewport* viewport, XMouseEvent event, XShiftState shift, const XPoint& point)
{
    if (m_Editor)
        m_Editor->MouseEvent(viewport, event, point, shift);
}

unsigned XScene::GetFrame()
{
    return m_Editor ? m_Editor->GetFrame() : 0;
}

void XScene::SetFrame(unsigned frame)
{
    if (m_Editor)
        m_Editor->SetFrame(frame);
}

unsigned XScene::GetMaxFrame()
{
    return m_Editor ? m_Editor->GetAnimationLength() : 0;
}

void XScene::SetMaxFrame(unsigned frame)
{
    if (m_Editor)
        m_Editor->SetAnimationLength(frame);
}

bool XScene::EditorCanCopyToClipboard()
{
    return m_Editor && m_Editor->CanCopy();
}

void XScene::EditorCopyToClipboard()
{
    if (m_Editor)
        m_Editor->CopyToClipboard();
}

bool XScene::EditorCanCutToClipboard()
{
    return m_Editor && m_Editor->CanCut();
}

void XScene::EditorCutToClipboard()
{
    if (m_Editor)
        m_Editor->CutToClipboard();
}

bool XScene::EditorCanPasteFromClipboard()
{
    return m_Editor && m_Editor->CanPaste();
}

void XScene::EditorPasteFromClipboard()
{
    if (m_Editor)
        m_Editor->PasteFromClipboard();
}

bool XScene::EditorCanDelete()
{
    return m_Editor && m_Editor->CanDelete();
}

void XScene::EditorDelete()
{
    if (m_Editor)
        m_Editor->Delete();
}

bool XScene::EditorCanClone()
{
    return m_Editor && m_Editor->CanClone();
}

void XScene::EditorClone()
{
    if (m_Editor)
        m_Editor->Clone();
}

// ---- drawing -----------------------------------------------------------------------------------

void XScene::Render(XViewport* viewport)
{
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!device)
        return;
    XPtrArray<XMeshNode, 4> nodes;
    if (m_Root)
        m_Root->EnumNodes(nodes);
    const unsigned frame = GetFrame();

    if (viewport->GetLighting())
    {
        const unsigned count = m_Lights.GetCount();
        for (unsigned i = 0; i < count; ++i)
        {
            XBaseLight* light = m_Lights.GetData()[i];
            device->SetLight(i, light->GetLight(frame));
            device->LightEnable(i, light->GetActive() ? TRUE : FALSE);
        }
        // The scene's lights take the device's lights from index 0 and so replace the viewport's
        // head light; a scene without lights keeps the head light on index 0, lit.
        if (count > 0)
            device->LightEnable(count, FALSE);
        // Lights removed since the last frame would otherwise stay on in the device.
        for (unsigned i = count + 1; i < m_LitCount; ++i)
            device->LightEnable(i, FALSE);
        m_LitCount = count;
    }

    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    for (uint32_t i = 0; i < nodes.GetCount(); ++i)
    {
        XMeshNode* node = nodes.GetData()[i];
        if (node->GetVisible())
            node->Render(frame, viewport, viewport->GetFillMode());
    }
    if (m_Editor)
        m_Editor->RenderOverlay(frame, viewport, 0);

    if (m_ShowBoxes && m_SelNodes.GetCount() > 0)
    {
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        for (uint32_t i = 0; i < m_SelNodes.GetCount(); ++i)
            RenderBoundingBox(viewport, m_SelNodes.GetData()[i]);
    }
    if (m_SelNodes.GetCount() > 0 && m_ShowAxis && GetSelectedCount() != 0)
    {
        const XVertex centre = GetSelectedCentre();
        const float size = GizmoSize(viewport, frame, centre);
        if (size > 0)
        {
            device->SetRenderState(D3DRS_ZENABLE, FALSE);
            device->SetRenderState(D3DRS_LIGHTING, FALSE);
            RenderAxis(viewport, ScaleMatrix(size) * XMatrix::Translation(centre));
        }
    }
    if (m_Editor)
        m_Editor->RenderOverlay(frame, viewport, 1);
}

void XScene::RenderBoundingBox(XViewport* viewport, XMeshNode* node)
{
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!device || !node)
        return;
    const unsigned frame = GetFrame();
    const XBoundingBox box = node->GetMeshBoundingBox(frame);
    XMatrix unit(1.0f);
    unit.SetScale(box.max.x - box.min.x, box.max.y - box.min.y, box.max.z - box.min.z);
    unit.Translate(box.min.x, box.min.y, box.min.z);
    // The box is in mesh space, so it follows the mesh offset as well as the node.
    XMatrix mesh(1.0f);
    node->GetMeshMatrix(frame, mesh);
    const XMatrix world = unit * mesh;

    // The twelve edges of the unit box: corner i is (i & 1, i >> 1 & 1, i >> 2 & 1).
    static constexpr uint8_t Edges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                             {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    AxisVertex lines[24];
    for (int e = 0; e < 12; ++e)
        for (int end = 0; end < 2; ++end)
        {
            const unsigned c = Edges[e][end];
            lines[2 * e + end] = {float(c & 1), float(c >> 1 & 1), float(c >> 2 & 1), 0xFFFFFFFF};
        }
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&world));
    device->SetStreamSource(0, nullptr, 0, sizeof(AxisVertex));
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    device->DrawPrimitiveUP(D3DPT_LINELIST, 12, lines, sizeof(AxisVertex));
}

void XScene::RenderAxis(XViewport* viewport, const XMatrix& matrix)
{
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!device)
        return;
    AxisVertex vertices[18];
    for (unsigned i = 0; i < 18; ++i)
    {
        const unsigned segment = i / 2;
        const uint32_t color =
            Highlighted(segment, m_TransformAxis) ? Yellow : AxisColor(SegmentColorAxes[segment]);
        vertices[i] = {GizmoPoints[i][0], GizmoPoints[i][1], GizmoPoints[i][2], color};
    }
    device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&matrix));
    device->SetStreamSource(0, nullptr, 0, sizeof(AxisVertex));
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    device->DrawPrimitiveUP(D3DPT_LINELIST, 9, vertices, sizeof(AxisVertex));
}

float XScene::GizmoSize(XViewport* viewport, unsigned frame, const XVertex& position)
{
    if (!viewport)
        return 0;
    const XPoint corner(float(viewport->GetClientWidth()), float(viewport->GetClientHeight()));
    if (!XScreenMapping::IsPerspective(viewport->GetProjectionMatrix(frame)))
    {
        XVertex a, b;
        viewport->GetRayOrigin(frame, XVertex(0, 0, 0), a);
        viewport->GetRayOrigin(frame, XVertex(corner.x, corner.y, 0), b);
        return (b - a).Length() / 12;
    }
    // The rays of a perspective camera all start at the eye: measure them where the gizmo stands.
    const XMatrix view = viewport->GetViewMatrix(frame);
    const float depth =
        position.x * view.m[0][2] + position.y * view.m[1][2] + position.z * view.m[2][2] + view.m[3][2];
    if (!(depth > 0))
        return 0;
    const XVertex span = viewport->ScreenToCamera(frame, corner) - viewport->ScreenToCamera(frame, XPoint(0, 0));
    return depth * span.Length() / 12;
}

unsigned XScene::FindTransformAxis(XViewport* viewport, const XPoint& point, const XMatrix* matrix)
{
    if (!viewport || GetSelectedCount() == 0)
        return 0;
    const int width = viewport->GetClientWidth();
    const int height = viewport->GetClientHeight();
    if (width <= 0 || height <= 0)
        return 0;
    const unsigned frame = GetFrame();
    const XMatrix placement = matrix ? *matrix : XMatrix::Translation(GetSelectedCentre());
    const float size = GizmoSize(viewport, frame, XVertex(placement.m[3][0], placement.m[3][1], placement.m[3][2]));
    if (size <= 0)
        return 0;
    XMatrix m = ScaleMatrix(size) * placement;
    m = m * viewport->GetViewMatrix(frame) * viewport->GetProjectionMatrix(frame);

    const float halfW = float(width) / 2;
    const float halfH = float(height) / 2;
    const XPoint p((point.x - halfW) / halfW, -(point.y - halfH) / halfH);
    const float tolerance = 3 / halfW;
    int best = -1;
    float bestDistance = 0;
    for (int s = 0; s < 9; ++s)
    {
        const XPoint a = Project(m, GizmoPoints[2 * s]);
        const XPoint b = Project(m, GizmoPoints[2 * s + 1]);
        const XPoint ab = b - a;
        const float c1 = DotProduct(p - a, ab);
        const float c2 = DotProduct(ab, ab);
        // Only where the perpendicular falls inside the segment.
        if (!(0 < c1 && c1 < c2))
            continue;
        const float distance = (p - (a + ab * (c1 / c2))).Length();
        if (best < 0 || distance < bestDistance)
        {
            best = s;
            bestDistance = distance;
        }
    }
    if (best < 0 || bestDistance > tolerance)
        return 0;
    return SegmentCodes[best];
}
