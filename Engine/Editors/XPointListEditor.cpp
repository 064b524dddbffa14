#include "Engine/Editors/XPointListEditor.h"

#include "Engine/Objects/IPointList.h"
#include "Engine/Scene/XSceneLink.h"
#include "Engine/Views/XScreenMapping.h"
#include "Platform/D3D9/D3D9.h"

#include <cmath>
#include <cstring>

using StrUtils::XBaseString;

namespace
{
IPointList* InterfaceOf(XBaseMesh* mesh)
{
    return mesh ? static_cast<IPointList*>(mesh->GetInterface(IPointListGuid)) : nullptr;
}

DWORD FloatBits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}
} // namespace

XPointListEditor::XPointListEditor(XScene* scene) : XSTEditor(scene)
{
}

XPointListEditor::~XPointListEditor() = default;

void XPointListEditor::SetMesh(XBaseMesh* mesh)
{
    XBaseMesh* next = InterfaceOf(mesh) ? mesh : nullptr;
    if (next == m_Mesh.Get())
        return;
    // Another object's points: what was selected and snapshotted was of the old one.
    m_Mesh.SetTarget(next);
    m_Points.Clear();
    m_Selection.Clear();
    m_CacheValid = false;
}

void XPointListEditor::SetNode(XMeshNode* node)
{
    m_Node.SetTarget(node);
}

IPointList* XPointListEditor::PointList() const
{
    if (!m_Active || !m_Node.Get())
        return nullptr;
    return InterfaceOf(m_Mesh.Get());
}

bool XPointListEditor::Activate()
{
    if (!m_Node.Get() || !InterfaceOf(m_Mesh.Get()))
    {
        m_Active = false;
        return false;
    }
    m_Active = true;
    m_Selection.Clear();
    m_CacheValid = false;
    return true;
}

bool XPointListEditor::Deactivate()
{
    m_Active = false;
    m_Points.Clear();
    m_Selection.Clear();
    m_CacheValid = false;
    return true;
}

XBaseString<WCHAR> XPointListEditor::GetName()
{
    return u"XPointListEditor";
}

void XPointListEditor::CopyToClipboard()
{
}

void XPointListEditor::CutToClipboard()
{
    CopyToClipboard();
    Delete();
}

void XPointListEditor::PasteFromClipboard()
{
}

void XPointListEditor::Delete()
{
}

unsigned XPointListEditor::GetSelectionCount()
{
    IPointList* points = PointList();
    if (!points)
        return 0;
    const unsigned count = points->GetPointCount();
    unsigned selected = 0;
    for (unsigned i = 0; i < count; ++i)
        selected += m_Selection.Get(i) ? 1 : 0;
    return selected;
}

XVertex XPointListEditor::GetSelectionCenter()
{
    unsigned count = 0;
    return GetWorldSelectionCenter(count);
}

XVertex XPointListEditor::GetLocalSelectionCenter(unsigned& count)
{
    count = 0;
    IPointList* points = PointList();
    if (!points)
        return XVertex(0, 0, 0);
    const unsigned total = points->GetPointCount();
    const XVertex* data = points->GetPointsPtr();
    XVertex sum(0, 0, 0);
    for (unsigned i = 0; data && i < total; ++i)
    {
        if (!m_Selection.Get(i))
            continue;
        sum += data[i];
        ++count;
    }
    return count ? sum * (1.0f / static_cast<float>(count)) : sum;
}

XVertex XPointListEditor::GetWorldSelectionCenter(unsigned& count)
{
    XVertex centre = GetLocalSelectionCenter(count);
    XMeshNode* node = m_Node.Get();
    if (!node)
        return XVertex(0, 0, 0);
    XMatrix m;
    node->GetMeshMatrix(GetFrame(), m);
    m.ApplyTo(&centre, 1);
    return centre;
}

unsigned XPointListEditor::GetModeCount()
{
    return 1;
}

XBaseString<WCHAR> XPointListEditor::GetModeName(int index)
{
    return index == 0 ? XBaseString<WCHAR>(u"Point") : XBaseString<WCHAR>();
}

int XPointListEditor::GetMode()
{
    return 0;
}

void XPointListEditor::SetMode(int)
{
}

void XPointListEditor::Pick(XViewport* viewport, const XPoint& min, const XPoint& max, XArray<unsigned>& picked)
{
    IPointList* list = PointList();
    if (!list || !viewport)
        return;
    XArray<XVertex, 32> points;
    list->GetPoints(points);
    XMatrix m;
    m_Node->GetMeshMatrix(0, m);
    (m * viewport->GetViewMatrix(0)).ApplyTo(points);
    PickVertices(viewport, points.GetData(), points.GetCount(), XRect(min.x, min.y, max.x, max.y), picked,
                 min == max ? XPT_CLICK : XPT_RECT);
    if (m_Selection.GetCount() != points.GetCount())
        m_Selection.SetCount(points.GetCount());
}

void XPointListEditor::SelectRectShift(XViewport* viewport, const XPoint& min, const XPoint& max)
{
    XArray<unsigned> picked;
    Pick(viewport, min, max, picked);
    for (unsigned i = 0; i < picked.GetCount(); ++i)
        m_Selection.SetBit(picked[i], true);
    if (picked.GetCount() > 0)
        m_CacheValid = false;
}

void XPointListEditor::SelectRect(XViewport* viewport, const XPoint& min, const XPoint& max)
{
    ClearSelection();
    SelectRectShift(viewport, min, max);
}

void XPointListEditor::SelectRectCtrl(XViewport* viewport, const XPoint& min, const XPoint& max)
{
    XArray<unsigned> picked;
    Pick(viewport, min, max, picked);
    for (unsigned i = 0; i < picked.GetCount(); ++i)
        m_Selection.SetBit(picked[i], !m_Selection.Get(picked[i]));
    if (picked.GetCount() > 0)
        m_CacheValid = false;
}

void XPointListEditor::ClearSelection()
{
    if (!PointList())
        return;
    m_Selection.ClearAll();
    m_CacheValid = false;
}

bool XPointListEditor::HitTestSelection(XViewport* viewport, const XPoint& point)
{
    return XSceneLink::Get()->FindTransformAxis(GetScene(), viewport, point, nullptr) != 0;
}

void XPointListEditor::BeginTransform()
{
    m_Points.Clear();
    if (IPointList* list = PointList())
        list->GetPoints(m_Points);
}

void XPointListEditor::EndTransform()
{
}

void XPointListEditor::CancelTransform()
{
    IPointList* list = PointList();
    if (!list)
        return;
    list->SetPoints(m_Points);
    m_CacheValid = false;
}

void XPointListEditor::TransformSelection(const XMatrix& change)
{
    unsigned count = 0;
    const XVertex centre = GetWorldSelectionCenter(count);
    IPointList* list = PointList();
    if (!list || count == 0)
        return;
    XMatrix world;
    m_Node->GetMeshMatrix(0, world);
    XMatrix inverse;
    world.Inverse(inverse);
    // A mesh matrix that cannot be inverted would scatter the points.
    if (!inverse.IsFinite())
        return;
    const XMatrix m =
        world * XMatrix::Translation(centre * -1.0f) * change * XMatrix::Translation(centre) * inverse;
    XArray<XVertex, 32> points;
    list->GetPoints(points);
    m.ApplyTo(points, m_Selection, true);
    list->SetPoints(points);
    m_CacheValid = false;
}

void XPointListEditor::Move(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint)
{
    if (!viewport || GetSelectionCount() == 0)
        return;
    const unsigned axis = XSceneLink::Get()->GetTransformAxis(GetScene());
    const XMatrix identity(1.0f);
    const XVertex delta = viewport->ScreenToPlane(0, newPoint, axis, identity) -
                          viewport->ScreenToPlane(0, previousPoint, axis, identity);
    TransformSelection(XMatrix::Translation(delta));
}

void XPointListEditor::Rotate(XViewport*, const XPoint& newPoint, const XPoint& previousPoint)
{
    if (GetSelectionCount() == 0)
        return;
    const float a = DegToRad((previousPoint.y - newPoint.y) * 0.5f);
    const XVertex angles = AxisVector(a, XSceneLink::Get()->GetTransformAxis(GetScene()));
    XMatrix rotation(1.0f);
    rotation.SetRotation(angles.x, angles.y, angles.z);
    TransformSelection(rotation);
}

void XPointListEditor::Scale(XViewport*, const XPoint& newPoint, const XPoint& previousPoint)
{
    if (GetSelectionCount() == 0)
        return;
    // A fast flick down would otherwise flatten the points for good (or turn them inside out).
    const float f = std::max(MinDragScale, (previousPoint.y - newPoint.y) * 0.01f + 1.0f);
    XMatrix scale(1.0f);
    scale.SetScale(f, f, f);
    TransformSelection(scale);
}

void XPointListEditor::RenderOverlay(unsigned frame, XViewport* viewport, unsigned pass)
{
    XSTEditor::RenderOverlay(frame, viewport, pass);
    IPointList* list = PointList();
    IDirect3DDevice9* device = viewport ? viewport->GetDevice() : nullptr;
    if (!list || !device)
        return;
    const unsigned count = list->GetPointCount();
    const XVertex* points = list->GetPointsPtr();
    if (count == 0 || !points)
        return;
    XMatrix m;
    m_Node->GetMeshMatrix(frame, m);
    // The object may have laid its points out anew since the cache was made.
    if (!m_CacheValid || m_PointCache.GetCount() != count)
    {
        m_PointCache.SetCount(count);
        XVertexD* cache = m_PointCache.GetData();
        for (unsigned i = 0; i < count; ++i)
            cache[i] = {points[i].x, points[i].y, points[i].z, m_Selection.Get(i) ? SelectedColor : PointColor};
        m_CacheValid = true;
    }
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&m));
    device->SetStreamSource(0, nullptr, 0, sizeof(XVertexD));
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetRenderState(D3DRS_POINTSIZE, FloatBits(viewport->GetPointSize()));
    device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_POINT);
    DWORD lighting = FALSE;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    if (lighting)
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->DrawPrimitiveUP(D3DPT_POINTLIST, count, m_PointCache.GetData(), sizeof(XVertexD));
    if (lighting)
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
}
