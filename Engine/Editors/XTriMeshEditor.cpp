#include "Engine/Editors/XTriMeshEditor.h"

#include "Components/XException.h"
#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Editors/TBaseEditorFrame.h"
#include "Engine/Editors/TTriEditorFrame.h"
#include "Engine/Editors/XVertexColorEditor.h"
#include "Engine/Editors/XVertexCreator.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Scene/XSceneLink.h"
#include "Engine/Views/XScreenMapping.h"
#include "Platform/Vcl/SysUtils.h"
#include "Platform/Win32/Windows.h"

#include <algorithm>
#include <cstring>

using StrUtils::XBaseString;

namespace
{
const char16_t* const kModeNames[2] = {u"Vertex", u"Face"};

template <class T, unsigned N> size_t ArrayBytes(const XArray<T, N>& array)
{
    return size_t(array.GetCount()) * sizeof(T);
}

// Sized to `count` bits with only those from `first` on set: what an edit appended is the selection.
void SelectFrom(XBitArray& bits, uint32_t first, uint32_t count)
{
    bits.SetCount(count);
    bits.ClearAll();
    bits.SetRange(first, count - first, true);
}

size_t BitBytes(const XBitArray& bits)
{
    return (size_t(bits.GetCount()) + 31) / 32 * 4;
}

template <class T> bool SameData(const T* a, uint32_t countA, const T* b, uint32_t countB)
{
    return countA == countB && (countA == 0 || std::memcmp(a, b, size_t(countA) * sizeof(T)) == 0);
}

// Equal in all that a mesh copy puts back but the selection level, which the editor's mode keeps.
bool SameMesh(const XMesh& a, const XMesh& b)
{
    return SameData(a.GetVertices(), a.GetVertexCount(), b.GetVertices(), b.GetVertexCount()) &&
           SameData(a.GetFaces(), a.GetFaceCount(), b.GetFaces(), b.GetFaceCount()) &&
           SameData(a.GetTextureVertices(), a.GetTextureVertexCount(), b.GetTextureVertices(),
                    b.GetTextureVertexCount()) &&
           SameData(a.GetNormals(), a.GetNormalCount(), b.GetNormals(), b.GetNormalCount()) &&
           SameData(a.GetColors(), a.GetColorCount(), b.GetColors(), b.GetColorCount()) &&
           SameData(a.GetWeights(), a.GetWeightCount(), b.GetWeights(), b.GetWeightCount()) &&
           SameData(a.GetFaceGroups().GetData(), a.GetFaceGroups().GetCount(), b.GetFaceGroups().GetData(),
                    b.GetFaceGroups().GetCount()) &&
           a.GetNormalsEnabled() == b.GetNormalsEnabled() && a.GetColorsEnabled() == b.GetColorsEnabled() &&
           a.GetWeightsEnabled() == b.GetWeightsEnabled() && a.GetUseFaceSubsets() == b.GetUseFaceSubsets() &&
           a.GetSortFacesByMaterial() == b.GetSortFacesByMaterial() &&
           a.GetVertexSelection() == b.GetVertexSelection() && a.GetFaceSelection() == b.GetFaceSelection();
}

// Paste refuses a block with these texts; nothing has changed when they are thrown.
struct PasteRefused
{
    const char16_t* text;
};
} // namespace

// ---- records ---------------------------------------------------------------------------------

XTriMesh* XUndoItem::FindMesh(XScene* scene) const
{
    return dynamic_cast<XTriMesh*>(XSceneLink::Get()->FindObject(scene, m_Guid));
}

XMeshChangeUndo::XMeshChangeUndo(const XGuid& guid, const XMesh& mesh, const XBaseString<WCHAR>& name)
    : XUndoItem(guid, MeshBytes(mesh)), m_Name(name)
{
    m_Mesh = mesh;
}

size_t XMeshChangeUndo::MeshBytes(const XMesh& mesh)
{
    return size_t(mesh.GetVertexCount()) * sizeof(XVertex) + size_t(mesh.GetFaceCount()) * sizeof(XFace) +
           size_t(mesh.GetTextureVertexCount()) * sizeof(XTextureVertex) +
           size_t(mesh.GetNormalCount()) * sizeof(XVertex) + size_t(mesh.GetColorCount()) * sizeof(XColor) +
           size_t(mesh.GetWeightCount()) * sizeof(XVertexWeight) + ArrayBytes(mesh.GetFaceGroups()) +
           BitBytes(mesh.GetVertexSelection()) + BitBytes(mesh.GetFaceSelection()) + sizeof(XMesh);
}

void XMeshChangeUndo::Undo(XScene* scene)
{
    XTriMesh* object = FindMesh(scene);
    if (!object)
        return;
    *object->GetMesh() = m_Mesh;
    object->MeshInvalidate();
}

XBaseString<WCHAR> XMeshChangeUndo::GetName()
{
    return m_Name;
}

bool XMeshChangeUndo::WouldChange(const XMesh& mesh) const
{
    return !SameMesh(m_Mesh, mesh);
}

XMeshSelectionChangeUndo::XMeshSelectionChangeUndo(const XGuid& guid, const XMesh& mesh,
                                                   const XBaseString<WCHAR>& name)
    : XUndoItem(guid, BitBytes(mesh.GetVertexSelection()) + BitBytes(mesh.GetFaceSelection())),
      m_VertexSelection(mesh.GetVertexSelection()), m_FaceSelection(mesh.GetFaceSelection()), m_Name(name)
{
}

void XMeshSelectionChangeUndo::Undo(XScene* scene)
{
    XTriMesh* object = FindMesh(scene);
    if (!object)
        return;
    XMesh* mesh = object->GetMesh();
    mesh->GetVertexSelection() = m_VertexSelection;
    mesh->GetFaceSelection() = m_FaceSelection;
    object->MeshInvalidate();
}

XBaseString<WCHAR> XMeshSelectionChangeUndo::GetName()
{
    return m_Name;
}

bool XMeshSelectionChangeUndo::WouldChange(const XMesh& mesh) const
{
    return !(m_VertexSelection == mesh.GetVertexSelection()) || !(m_FaceSelection == mesh.GetFaceSelection());
}

// ---- the editor ------------------------------------------------------------------------------

XTriMeshEditor::XTriMeshEditor(XScene* scene) : XSTEditor(scene), m_Mesh(this), m_Node(this)
{
}

XTriMeshEditor::~XTriMeshEditor()
{
    delete m_Frame;
}

XMesh* XTriMeshEditor::GetSourceMesh()
{
    XTriMesh* object = m_Mesh.Get();
    if (!object || !m_Node.Get())
        return nullptr;
    XMesh* mesh = object->GetMesh();
    const uint32_t vertices = mesh->GetVertexCount();
    if (mesh->GetVertexSelection().GetCount() != vertices)
        mesh->GetVertexSelection().SetCount(vertices);
    if (mesh->GetFaceSelection().GetCount() != mesh->GetFaceCount())
        mesh->GetFaceSelection().SetCount(mesh->GetFaceCount());
    if (mesh->GetColorsEnabled() && mesh->GetColorCount() != vertices)
        mesh->SetColorCount(vertices);
    if (mesh->GetWeightsEnabled() && mesh->GetWeightCount() != vertices)
        mesh->SetWeightCount(vertices);
    return mesh;
}

bool XTriMeshEditor::RecordMeshChange(const XBaseString<WCHAR>& name)
{
    XMesh* mesh = GetSourceMesh();
    if (!mesh)
        return false;
    AddUndo(new XMeshChangeUndo(m_Mesh->GetGuid(), *mesh, name));
    return true;
}

bool XTriMeshEditor::RecordSelectionChange(const XBaseString<WCHAR>& name)
{
    XMesh* mesh = GetSourceMesh();
    if (!mesh)
        return false;
    AddUndo(new XMeshSelectionChangeUndo(m_Mesh->GetGuid(), *mesh, name));
    return true;
}

bool XTriMeshEditor::Activate()
{
    XMesh* mesh = GetSourceMesh();
    if (!mesh)
        return false;
    XTriMesh* object = m_Mesh.Get();
    if (!(object->GetGuid() == m_MeshGuid))
    {
        mesh->GetVertexSelection().ClearAll();
        mesh->GetFaceSelection().ClearAll();
        m_Mode = 0;
        ClearUndo();
    }
    m_MeshGuid = object->GetGuid();
    object->SetSelectionLevel(LevelOf(m_Mode));
    object->MeshInvalidate();
    return true;
}

bool XTriMeshEditor::Deactivate()
{
    if (XTriMesh* object = m_Mesh.Get())
    {
        object->SetSelectionLevel(XMesh::ObjectLevel);
        object->MeshInvalidate();
    }
    m_SavedPositions.Clear();
    return true;
}

XBaseString<WCHAR> XTriMeshEditor::GetName()
{
    return u"XTriMeshEditor";
}

// ---- history ---------------------------------------------------------------------------------

void XTriMeshEditor::ClearUndo()
{
    m_UndoItems.Clear();
    m_UndoPosition = 0;
    m_UndoBytes = 0;
    m_StepOpen = false;
}

void XTriMeshEditor::DropUnchangedStep()
{
    // A drag under way may still move something.
    if (!m_StepOpen || m_Transforming)
        return;
    m_StepOpen = false;
    XMesh* mesh = GetSourceMesh();
    if (m_UndoPosition != 0 || m_UndoItems.GetCount() == 0 || !mesh)
        return;
    XUndoItem* newest = m_UndoItems[0];
    if (!(newest->GetGuid() == m_Mesh->GetGuid()) || newest->WouldChange(*mesh))
        return;
    m_UndoBytes -= newest->GetBytes();
    m_UndoItems.Delete(0);
}

void XTriMeshEditor::AddUndo(XUndoItem* item)
{
    if (!item)
        return;
    DropUnchangedStep();
    // There is no redo: the undone records go for good.
    while (m_UndoPosition > 0 && m_UndoItems.GetCount() > 0)
    {
        m_UndoBytes -= m_UndoItems[0]->GetBytes();
        m_UndoItems.Delete(0);
        --m_UndoPosition;
    }
    m_UndoPosition = 0;
    m_UndoItems.Insert(0, item);
    m_UndoBytes += item->GetBytes();
    m_StepOpen = true;
    TrimUndo();
}

void XTriMeshEditor::TrimUndo()
{
    while (m_UndoBytes > m_UndoLimit && m_UndoItems.GetCount() > 1)
    {
        const uint32_t last = m_UndoItems.GetCount() - 1;
        m_UndoBytes -= m_UndoItems[last]->GetBytes();
        m_UndoItems.Delete(last);
        if (m_UndoPosition > m_UndoItems.GetCount())
            m_UndoPosition = m_UndoItems.GetCount();
    }
}

void XTriMeshEditor::SetUndoLimit(size_t bytes)
{
    m_UndoLimit = bytes;
    TrimUndo();
}

bool XTriMeshEditor::CanUndo()
{
    return m_UndoPosition < m_UndoItems.GetCount();
}

void XTriMeshEditor::Undo()
{
    DropUnchangedStep();
    if (!CanUndo())
        return;
    XUndoItem* item = m_UndoItems[m_UndoPosition];
    ++m_UndoPosition;
    XTriMesh* object = m_Mesh.Get();
    const uint32_t level = object ? object->GetSelectionLevel() : XMesh::ObjectLevel;
    item->Undo(GetScene());
    // A mesh copy brings the level it was taken at; the editor's mode decides what is shown.
    if (object && object->GetSelectionLevel() != level)
    {
        object->SetSelectionLevel(level);
        object->MeshInvalidate();
    }
}

XBaseString<WCHAR> XTriMeshEditor::GetUndoName()
{
    if (!CanUndo())
        return XBaseString<WCHAR>();
    return m_UndoItems[m_UndoPosition]->GetName();
}

// ---- selection -------------------------------------------------------------------------------

unsigned XTriMeshEditor::GetSelectionCount()
{
    XMesh* mesh = GetSourceMesh();
    if (!mesh)
        return 0;
    switch (mesh->GetSelectionLevel())
    {
    case XMesh::VertexLevel: return mesh->GetVertexSelection().Count(true);
    case XMesh::FaceLevel: return mesh->GetFaceSelection().Count(true);
    default: return 0;
    }
}

XVertex XTriMeshEditor::GetSelectionCenter()
{
    unsigned count = 0;
    return GetWorldSelectionCenter(count);
}

XVertex XTriMeshEditor::GetLocalSelectionCenter(unsigned& count)
{
    count = 0;
    XVertex sum(0, 0, 0);
    XMesh* mesh = GetSourceMesh();
    if (!mesh)
        return sum;
    const uint32_t n = mesh->GetVertexCount();
    const XVertex* positions = mesh->GetVertices();
    switch (mesh->GetSelectionLevel())
    {
    case XMesh::VertexLevel:
    {
        const XBitArray& bits = mesh->GetVertexSelection();
        for (uint32_t i = 0; i < n; ++i)
        {
            if (!bits.Get(i))
                continue;
            sum = sum + positions[i];
            ++count;
        }
        if (count > 1)
            sum = sum * (1.0f / static_cast<float>(count));
        return sum;
    }
    case XMesh::FaceLevel:
    {
        const XBitArray& bits = mesh->GetFaceSelection();
        const XFace* faces = mesh->GetFaces();
        for (uint32_t f = 0; f < mesh->GetFaceCount(); ++f)
        {
            const XFace& face = faces[f];
            // A face naming vertices that are not there has no place.
            if (!bits.Get(f) || face.v[0] >= n || face.v[1] >= n || face.v[2] >= n)
                continue;
            sum = sum + positions[face.v[0]] + positions[face.v[1]] + positions[face.v[2]];
            ++count;
        }
        if (count > 0)
            sum = sum * (1.0f / (3.0f * static_cast<float>(count)));
        return sum;
    }
    default: return sum;
    }
}

XVertex XTriMeshEditor::GetWorldSelectionCenter(unsigned& count)
{
    count = 0;
    XMeshNode* node = m_Node.Get();
    if (!node)
        return XVertex(0, 0, 0);
    XVertex centre = GetLocalSelectionCenter(count);
    XSceneLink::Get()->GetMeshMatrix(node, GetFrame()).ApplyTo(&centre, 1);
    return centre;
}

void XTriMeshEditor::PickInRect(XViewport* viewport, const XPoint& min, const XPoint& max, int how)
{
    XMesh* mesh = GetSourceMesh();
    if (!mesh || !viewport)
        return;
    const bool wholeRect = !(min == max);
    XRect rect(min, max);
    XArray<unsigned int, 32> hits;
    XBitArray* bits = nullptr;
    // Room for every hit at once: the list would otherwise grow one element at a time.
    switch (mesh->GetSelectionLevel())
    {
    case XMesh::VertexLevel:
        hits.SetCapacity(mesh->GetVertexCount());
        mesh->SelectInRect(GetFrame(), viewport, m_Node.Get(), rect, hits, wholeRect);
        bits = &mesh->GetVertexSelection();
        break;
    case XMesh::FaceLevel:
        hits.SetCapacity(mesh->GetFaceCount());
        mesh->PickFaces(GetFrame(), viewport, m_Node.Get(), rect, hits, wholeRect);
        bits = &mesh->GetFaceSelection();
        break;
    default: return;
    }
    for (uint32_t i = 0; i < hits.GetCount(); ++i)
    {
        const unsigned index = hits[i];
        bits->SetBit(index, how == 0 ? true : !bits->Get(index));
    }
    if (hits.GetCount() > 0)
        m_Mesh->MeshInvalidate();
}

void XTriMeshEditor::SelectRectShift(XViewport* viewport, const XPoint& min, const XPoint& max)
{
    PickInRect(viewport, min, max, 0);
}

void XTriMeshEditor::SelectRect(XViewport* viewport, const XPoint& min, const XPoint& max)
{
    ClearSelection();
    SelectRectShift(viewport, min, max);
}

void XTriMeshEditor::SelectRectCtrl(XViewport* viewport, const XPoint& min, const XPoint& max)
{
    PickInRect(viewport, min, max, 1);
}

void XTriMeshEditor::ClearSelection()
{
    XMesh* mesh = GetSourceMesh();
    if (!mesh)
        return;
    if (mesh->GetVertexSelection().Count(true) == 0 && mesh->GetFaceSelection().Count(true) == 0)
        return;
    RecordSelectionChange(u"Сброс выделения");
    mesh->GetVertexSelection().ClearAll();
    mesh->GetFaceSelection().ClearAll();
    m_Mesh->MeshInvalidate();
}

// ---- delete and clone ------------------------------------------------------------------------

bool XTriMeshEditor::CanCopy()
{
    return GetSelectionCount() != 0;
}

bool XTriMeshEditor::CanCut()
{
    return GetSelectionCount() != 0;
}

bool XTriMeshEditor::CanDelete()
{
    return GetSelectionCount() != 0;
}

bool XTriMeshEditor::CanClone()
{
    return GetSelectionCount() != 0;
}

void XTriMeshEditor::Delete()
{
    XMesh* mesh = GetSourceMesh();
    if (!mesh)
        return;
    if (m_Mode == 0)
    {
        RecordMeshChange(u"Удаление вершин");
        const XBitArray bits = mesh->GetVertexSelection();
        mesh->DeleteVertices(bits);
        mesh->GetVertexSelection().SetCount(mesh->GetVertexCount());
        mesh->GetVertexSelection().ClearAll();
        // The faces left were renumbered: bits of the old face order would mark other faces.
        mesh->GetFaceSelection().SetCount(mesh->GetFaceCount());
        mesh->GetFaceSelection().ClearAll();
    }
    else
    {
        RecordMeshChange(u"Удаление граней");
        const XBitArray bits = mesh->GetFaceSelection();
        mesh->DeleteFaces(bits);
        mesh->GetFaceSelection().SetCount(mesh->GetFaceCount());
        mesh->GetFaceSelection().ClearAll();
    }
    m_Mesh->MeshInvalidate();
}

void XTriMeshEditor::Clone()
{
    XMesh* mesh = GetSourceMesh();
    if (!mesh)
        return;
    const uint32_t v0 = mesh->GetVertexCount();
    const uint32_t f0 = mesh->GetFaceCount();
    if (m_Mode == 0)
    {
        RecordMeshChange(u"Клонирование вершин");
        mesh->CloneVertices(true);
        if (mesh->GetVertexCount() != v0)
            SelectFrom(mesh->GetVertexSelection(), v0, mesh->GetVertexCount());
    }
    else
    {
        RecordMeshChange(u"Клонирование граней");
        mesh->CloneFaces(true);
        if (mesh->GetFaceCount() != f0)
        {
            SelectFrom(mesh->GetVertexSelection(), v0, mesh->GetVertexCount());
            SelectFrom(mesh->GetFaceSelection(), f0, mesh->GetFaceCount());
        }
    }
    m_Mesh->MeshInvalidate();
}

// ---- clipboard -------------------------------------------------------------------------------

bool XTriMeshEditor::CopySelected()
{
    XMesh* mesh = GetSourceMesh();
    XScene* scene = GetScene();
    if (!mesh || !scene)
        return false;
    XMemoryStream stream(0, 0x2000);
    {
        // Writing the selected faces adds their corners to the vertex selection; what the user
        // selected stays as it was.
        const XBitArray vertices = mesh->GetVertexSelection();
        XWriter writer(&stream);
        try
        {
            mesh->SaveSelected(scene, writer);
        }
        catch (...)
        {
            mesh->GetVertexSelection() = vertices;
            throw;
        }
        mesh->GetVertexSelection() = vertices;
    }
    return XScene::PutOnClipboard(&stream, scene->GetTriClipboardFormat());
}

bool XTriMeshEditor::CopyShowingFailure()
{
    try
    {
        return CopySelected();
    }
    catch (const Exception& e)
    {
        ShowMessage(e.Message());
    }
    catch (const char* message)
    {
        ShowMessage(UnicodeString(message));
    }
    return false;
}

void XTriMeshEditor::CopyToClipboard()
{
    CopyShowingFailure();
}

void XTriMeshEditor::CutToClipboard()
{
    if (CopyShowingFailure())
        Delete();
}

bool XTriMeshEditor::CanPaste()
{
    XScene* scene = GetScene();
    return scene && IsClipboardFormatAvailable(scene->GetTriClipboardFormat());
}

namespace
{
// Reads the block's mesh chunk into a mesh of its own. False for an empty block; a block cut short
// or not a mesh block throws PasteRefused.
bool CheckBlock(XScene* scene, XMemoryStream& stream)
{
    if (stream.GetSize() == 0)
        return false;
    XMesh block;
    try
    {
        stream.SetPosition(0);
        XReader reader(&stream);
        // A header that does not fit in the stream is a block cut short.
        if (!reader.NextChunk())
            throw PasteRefused{u"Stream reading error."};
        if (reader.GetChunkId() != XMesh::SelectionChunkId)
            throw PasteRefused{u"Invalid stream format."};
        block.LoadAppend(scene, reader);
        reader.EndChunk();
    }
    catch (const PasteRefused&)
    {
        throw;
    }
    catch (const char*)
    {
        throw PasteRefused{u"Stream reading error."};
    }
    catch (const Exception&)
    {
        // Counts that promise more than the block holds.
        throw PasteRefused{u"Stream reading error."};
    }
    const uint32_t n = block.GetVertexCount();
    const XFace* faces = block.GetFaces();
    for (uint32_t f = 0; f < block.GetFaceCount(); ++f)
    {
        if (faces[f].v[0] >= n || faces[f].v[1] >= n || faces[f].v[2] >= n)
            throw PasteRefused{u"Invalid stream format."};
    }
    return n > 0 || block.GetFaceCount() > 0;
}
} // namespace

void XTriMeshEditor::PasteFromClipboard()
{
    XScene* scene = GetScene();
    if (!scene || !GetSourceMesh() || !CanPaste())
        return;
    try
    {
        XMemoryStream stream(0, 0x2000);
        if (!XScene::ReadClipboard(scene->GetTriClipboardFormat(), &stream))
            return;
        if (!CheckBlock(scene, stream))
            return;
        RecordMeshChange(u"Вставка из буфера");
        XMesh* mesh = GetSourceMesh();
        const uint32_t f0 = mesh->GetFaceCount();
        const uint32_t v0 = mesh->GetVertexCount();
        mesh->GetFaceSelection().ClearAll();
        mesh->GetVertexSelection().ClearAll();
        stream.SetPosition(0);
        XReader reader(&stream);
        if (reader.NextChunk())
        {
            mesh->LoadAppend(scene, reader);
            reader.EndChunk();
        }
        if (mesh->GetFaceCount() != f0)
            SelectFrom(mesh->GetFaceSelection(), f0, mesh->GetFaceCount());
        if (mesh->GetVertexCount() != v0)
            SelectFrom(mesh->GetVertexSelection(), v0, mesh->GetVertexCount());
        m_Mesh->MeshInvalidate();
    }
    catch (const PasteRefused& refused)
    {
        ShowMessage(UnicodeString(refused.text));
    }
    catch (const Exception& e)
    {
        ShowMessage(e.Message());
    }
    catch (const char* message)
    {
        ShowMessage(UnicodeString(message));
    }
}

// ---- modes and frame -------------------------------------------------------------------------

unsigned XTriMeshEditor::GetModeCount()
{
    return 2;
}

XBaseString<WCHAR> XTriMeshEditor::GetModeName(int index)
{
    if (index < 0 || index > 1)
        return XBaseString<WCHAR>();
    return kModeNames[index];
}

int XTriMeshEditor::GetMode()
{
    return static_cast<int>(m_Mode);
}

void XTriMeshEditor::SetMode(int index)
{
    if (XTriMesh* object = m_Mesh.Get())
    {
        object->SetSelectionLevel(index != 0 ? XMesh::FaceLevel : XMesh::VertexLevel);
        object->MeshInvalidate();
    }
    m_Mode = index != 0 ? 1 : 0;
}

TBaseEditorFrame* XTriMeshEditor::GetEditorFrame()
{
    if (!m_Frame)
        m_Frame = new TTriEditorFrame(nullptr, GetScene(), this);
    return m_Frame;
}

// ---- transforms ------------------------------------------------------------------------------

bool XTriMeshEditor::HitTestSelection(XViewport* viewport, const XPoint& point)
{
    return XSceneLink::Get()->FindTransformAxis(GetScene(), viewport, point, nullptr) != 0;
}

void XTriMeshEditor::BeginTransform()
{
    XMesh* mesh = GetSourceMesh();
    if (!mesh)
        return;
    RecordMeshChange(u"Трансформация вершин");
    const uint32_t n = mesh->GetVertexCount();
    m_SavedPositions.SetCount(n);
    if (n > 0)
        std::memcpy(m_SavedPositions.GetData(), mesh->GetVertices(), size_t(n) * sizeof(XVertex));
}

void XTriMeshEditor::EndTransform()
{
}

void XTriMeshEditor::CancelTransform()
{
    XMesh* mesh = GetSourceMesh();
    if (!mesh)
        return;
    // Positions of another vertex count belong to another mesh state: nothing to put back.
    const uint32_t n = mesh->GetVertexCount();
    if (m_SavedPositions.GetCount() != n)
        return;
    if (n > 0)
        std::memcpy(mesh->GetVertices(), m_SavedPositions.GetData(), size_t(n) * sizeof(XVertex));
    m_Mesh->MeshInvalidate();
}

void XTriMeshEditor::ApplyTransform(const XMatrix& transform, const char16_t* record)
{
    unsigned count = 0;
    XVertex centre = GetWorldSelectionCenter(count);
    XMesh* mesh = GetSourceMesh();
    if (count == 0 || !mesh || (record && !RecordMeshChange(record)))
        return;
    mesh->TransformSelection(GetFrame(), m_Node.Get(), XMatrix::Translation(centre), transform);
    m_Mesh->MeshInvalidate();
}

void XTriMeshEditor::Move(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint)
{
    if (!viewport)
        return;
    const unsigned axis = XSceneLink::Get()->GetTransformAxis(GetScene());
    const unsigned frame = GetFrame();
    XVertex delta = viewport->ScreenToPlane(frame, newPoint, axis) - viewport->ScreenToPlane(frame, previousPoint, axis);
    ApplyTransform(XMatrix::Translation(delta));
}

void XTriMeshEditor::Rotate(XViewport*, const XPoint& newPoint, const XPoint& previousPoint)
{
    const float angle = DegToRad((previousPoint.y - newPoint.y) * 0.5f);
    XVertex angles = AxisVector(angle, XSceneLink::Get()->GetTransformAxis(GetScene()));
    XMatrix rotation(1.0f);
    rotation.SetRotation(angles.x, angles.y, angles.z);
    ApplyTransform(rotation);
}

void XTriMeshEditor::Scale(XViewport*, const XPoint& newPoint, const XPoint& previousPoint)
{
    const float factor = std::max(MinDragScale, (previousPoint.y - newPoint.y) * 0.01f + 1.0f);
    XMatrix scale(1.0f);
    scale.SetScale(factor, factor, factor);
    ApplyTransform(scale);
}

void XTriMeshEditor::MoveSelection(XViewport*, const XVertex& offset)
{
    ApplyTransform(XMatrix::Translation(offset), u"Перемещение");
}

void XTriMeshEditor::RotateSelection(XViewport*, const XVertex& angles)
{
    XMatrix rotation(1.0f);
    rotation.SetRotation(angles.x, angles.y, angles.z);
    ApplyTransform(rotation, u"Вращение");
}

void XTriMeshEditor::ScaleSelection(XViewport*, const XVertex& factors)
{
    XMatrix scale(1.0f);
    scale.SetScale(factors.x, factors.y, factors.z);
    ApplyTransform(scale, u"Масштабирование");
}

// ---- tool editors ----------------------------------------------------------------------------

void XTriMeshEditor::CreateVertices(XViewport*)
{
    OpenVertexCreator(0);
}

void XTriMeshEditor::CreateFaces(XViewport*)
{
    OpenVertexCreator(1);
}

namespace
{
// The scene's registered tool editor of that name and class, made and registered when missing.
template <class Editor> Editor* FindOrAddEditor(XScene* scene, const char16_t* name)
{
    XSceneLink* link = XSceneLink::Get();
    if (auto* editor = dynamic_cast<Editor*>(link->FindEditor(scene, name)))
        return editor;
    auto* editor = new Editor(scene);
    link->AddEditor(scene, editor);
    return editor;
}

// Binds the tool to the object and node, sets its mode and interrupts this editor with it.
template <class Editor> void OpenTool(XScene* scene, const char16_t* name, XTriMesh* mesh, XMeshNode* node, int mode)
{
    Editor* editor = FindOrAddEditor<Editor>(scene, name);
    editor->SetMesh(mesh);
    editor->SetNode(node);
    editor->SetMode(mode);
    XSceneLink::Get()->PushEditor(scene, editor);
}
} // namespace

void XTriMeshEditor::OpenVertexCreator(int mode)
{
    if (!GetSourceMesh() || !GetScene())
        return;
    OpenTool<XVertexCreator>(GetScene(), u"XVertexCreator", m_Mesh.Get(), m_Node.Get(), mode);
}

void XTriMeshEditor::EditVertexColors()
{
    if (!GetSourceMesh() || !GetScene())
        return;
    OpenTool<XVertexColorEditor>(GetScene(), u"XVertexColorEditor", m_Mesh.Get(), m_Node.Get(),
                                 static_cast<int>(m_Mode));
}
