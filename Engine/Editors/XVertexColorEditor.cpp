#include "Engine/Editors/XVertexColorEditor.h"

#include "Engine/Editors/TVertexColorEditorFrame.h"

using StrUtils::XBaseString;

XVertexColorEditor::XVertexColorEditor(XScene* scene) : XBaseEditor(scene)
{
}

XVertexColorEditor::~XVertexColorEditor()
{
    delete m_Frame;
}

bool XVertexColorEditor::Activate()
{
    XTriMesh* object = m_Mesh.Get();
    if (!object || !m_Node.Get())
        return false;
    XMesh* mesh = object->GetMesh();
    mesh->GetVertexSelection().ClearAll();
    mesh->GetFaceSelection().ClearAll();
    m_SavedSelectionLevel = object->GetSelectionLevel();
    object->SetSelectionLevel(XMesh::FaceLevel);
    mesh->SetColorsEnabled(true);
    object->MeshInvalidate();
    return true;
}

bool XVertexColorEditor::Deactivate()
{
    if (XTriMesh* object = m_Mesh.Get())
        object->SetSelectionLevel(m_SavedSelectionLevel);
    m_Mode = VertexMode;
    return true;
}

XBaseString<WCHAR> XVertexColorEditor::GetName()
{
    return u"XVertexColorEditor";
}

XColor* XVertexColorEditor::FitColors(XMesh* mesh)
{
    if (mesh->GetColorCount() != mesh->GetVertexCount())
        mesh->SetColorCount(mesh->GetVertexCount());
    return mesh->GetColors();
}

void XVertexColorEditor::SetAllColors(XColor color)
{
    XTriMesh* object = m_Mesh.Get();
    if (!object)
        return;
    XMesh* mesh = object->GetMesh();
    XColor* colors = FitColors(mesh);
    for (uint32_t i = 0; i < mesh->GetColorCount(); ++i)
        colors[i] = color.GetARGB();
    object->MeshInvalidate();
}

void XVertexColorEditor::MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                                    XShiftState)
{
    XTriMesh* object = m_Mesh.Get();
    if (event != XME_LEFT_DOWN || !object || !viewport)
        return;
    XMesh* mesh = object->GetMesh();
    const XRect rect(point, point);
    XArray<unsigned int, 32> hits;
    if (m_Mode == VertexMode)
        mesh->SelectInRect(GetFrame(), viewport, m_Node.Get(), rect, hits, false);
    else
        mesh->PickFaces(GetFrame(), viewport, m_Node.Get(), rect, hits, false);
    if (hits.GetCount() == 0)
        return;
    XColor* colors = FitColors(mesh);
    const uint32_t vertices = mesh->GetVertexCount();
    for (uint32_t i = 0; i < hits.GetCount(); ++i)
    {
        if (m_Mode == VertexMode)
        {
            if (hits[i] < vertices)
                colors[hits[i]] = m_PaintColor;
            continue;
        }
        if (hits[i] >= mesh->GetFaceCount())
            continue;
        for (uint32_t corner : mesh->GetFaces()[hits[i]].v)
            if (corner < vertices)
                colors[corner] = m_PaintColor;
    }
    object->MeshInvalidate();
}

void XVertexColorEditor::RenderOverlay(unsigned, XViewport*, unsigned)
{
}

void XVertexColorEditor::CopyToClipboard()
{
}

void XVertexColorEditor::CutToClipboard()
{
}

void XVertexColorEditor::PasteFromClipboard()
{
}

void XVertexColorEditor::Delete()
{
}

unsigned XVertexColorEditor::GetModeCount()
{
    return 2;
}

XBaseString<WCHAR> XVertexColorEditor::GetModeName(int index)
{
    if (index == VertexMode)
        return u"Vertex";
    if (index == FaceMode)
        return u"Face";
    return XBaseString<WCHAR>();
}

int XVertexColorEditor::GetMode()
{
    return m_Mode;
}

void XVertexColorEditor::SetMode(int index)
{
    m_Mode = index;
}

TBaseEditorFrame* XVertexColorEditor::GetEditorFrame()
{
    if (!m_Frame)
        m_Frame = new TVertexColorEditorFrame(nullptr, GetScene(), this);
    return m_Frame;
}
