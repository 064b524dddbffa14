#include "Engine/Editors/XVertexCreator.h"

#include "Engine/Scene/XScene.h"
#include "Engine/Scene/XSceneLink.h"

#include <cmath>

using StrUtils::XBaseString;

XVertexCreator::XVertexCreator(XScene* scene) : XBaseEditor(scene)
{
}

XVertexCreator::~XVertexCreator() = default;

bool XVertexCreator::Activate()
{
    if (!m_Mesh.Get() || !m_Node.Get())
        return false;
    m_FaceVertices.Clear();
    ApplyModeLevel();
    Refresh();
    return true;
}

bool XVertexCreator::Deactivate()
{
    Refresh();
    return true;
}

XBaseString<WCHAR> XVertexCreator::GetName()
{
    return u"XVertexCreator";
}

void XVertexCreator::ApplyModeLevel()
{
    XMesh* mesh = m_Mesh->GetMesh();
    if (m_Mode == CreateVertexMode)
    {
        mesh->SetSelectionLevel(XMesh::VertexLevel);
        return;
    }
    mesh->GetVertexSelection().ClearAll();
    mesh->SetSelectionLevel(XMesh::FaceLevel);
}

void XVertexCreator::Refresh()
{
    if (XTriMesh* object = m_Mesh.Get())
        object->MeshInvalidate();
}

void XVertexCreator::MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                                XShiftState)
{
    if (!m_Mesh.Get() || !m_Node.Get())
        return;
    if (event == XME_RIGHT_DOWN)
    {
        if (m_Mode == CreateFaceMode && DropFaceVertex())
        {
            Refresh();
            return;
        }
        if (XScene* scene = GetScene())
            scene->PopEditor();
        return;
    }
    if (event != XME_LEFT_DOWN || !viewport)
        return;
    switch (m_Mode)
    {
    case CreateVertexMode:
        AddVertexAt(viewport, point);
        break;
    case CreateFaceMode:
        PickFaceVertex(viewport, point);
        break;
    case TessellateMode:
        m_Mesh->GetMesh()->SplitFaceAtPoint(GetFrame(), viewport, m_Node.Get(), point);
        break;
    default:
        return;
    }
    Refresh();
}

bool XVertexCreator::TakesRightPress()
{
    return m_Mesh.Get() && m_Node.Get();
}

void XVertexCreator::AddVertexAt(XViewport* viewport, const XPoint& point)
{
    const unsigned frame = GetFrame();
    XMeshNode* node = m_Node.Get();
    XVertex p = viewport->ScreenToPlane(frame, point, viewport->GetPlaneAxis(), XMatrix(1.0f));
    const XMatrix meshToWorld = XSceneLink::Get()->GetMeshMatrix(node, frame);
    XMatrix worldToMesh;
    meshToWorld.Inverse(worldToMesh);
    // A node scaled to nothing has no mesh space to carry the point into: a vertex there would
    // hold no number, so none is added.
    if (!worldToMesh.IsFinite())
        return;
    worldToMesh.ApplyTo(&p, 1);
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
        return;
    XMesh* mesh = m_Mesh->GetMesh();
    mesh->AddVertex(p, node->GetColor());
    XBitArray& selection = mesh->GetVertexSelection();
    selection.SetCount(mesh->GetVertexCount());
    selection.SetBit(mesh->GetVertexCount() - 1, true);
}

void XVertexCreator::PickFaceVertex(XViewport* viewport, const XPoint& point)
{
    XMesh* mesh = m_Mesh->GetMesh();
    m_PickedVertices.Clear();
    mesh->SelectInRect(GetFrame(), viewport, m_Node.Get(), XRect(point, point), m_PickedVertices, false);
    if (m_PickedVertices.GetCount() != 1)
        return;
    const unsigned v = m_PickedVertices[0];
    for (unsigned i = 0; i < m_FaceVertices.GetCount(); ++i)
        if (m_FaceVertices[i] == v)
            return;
    m_FaceVertices.Add(v);
    XBitArray& vertices = mesh->GetVertexSelection();
    vertices.SetCount(mesh->GetVertexCount());
    if (m_FaceVertices.GetCount() < 3)
    {
        vertices.SetBit(v, true);
        return;
    }
    const uint32_t faces = mesh->GetFaceCount();
    mesh->AddFace(XFace(m_FaceVertices[0], m_FaceVertices[1], m_FaceVertices[2]));
    m_FaceVertices.Clear();
    vertices.ClearAll();
    // The new face alone is selected, so that what the tool made is what the user sees marked.
    XBitArray& selected = mesh->GetFaceSelection();
    selected.SetCount(mesh->GetFaceCount());
    selected.ClearAll();
    if (mesh->GetFaceCount() > faces)
        selected.SetBit(mesh->GetFaceCount() - 1, true);
}

bool XVertexCreator::DropFaceVertex()
{
    const unsigned count = m_FaceVertices.GetCount();
    if (count == 0)
        return false;
    const unsigned v = m_FaceVertices[count - 1];
    m_FaceVertices.Delete(count - 1);
    XBitArray& selection = m_Mesh->GetMesh()->GetVertexSelection();
    selection.SetBit(v, !selection.Get(v));
    return true;
}

void XVertexCreator::CopyToClipboard()
{
}

void XVertexCreator::CutToClipboard()
{
}

void XVertexCreator::PasteFromClipboard()
{
}

void XVertexCreator::Delete()
{
}

unsigned XVertexCreator::GetModeCount()
{
    return 3;
}

XBaseString<WCHAR> XVertexCreator::GetModeName(int index)
{
    switch (index)
    {
    case CreateVertexMode:
        return u"Create Vertex";
    case CreateFaceMode:
        return u"Create Face";
    case TessellateMode:
        return u"Tessellate";
    default:
        return XBaseString<WCHAR>();
    }
}

int XVertexCreator::GetMode()
{
    return m_Mode;
}

void XVertexCreator::SetMode(int index)
{
    if (index == m_Mode)
        return;
    m_Mode = index;
    if (m_Mesh.Get())
        ApplyModeLevel();
}
