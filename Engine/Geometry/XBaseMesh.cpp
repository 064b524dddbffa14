#include "Engine/Geometry/XBaseMesh.h"

#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XSceneLink.h"
#include "Engine/Views/XScreenMapping.h"

#include <algorithm>
#include <cfloat>

namespace
{
constexpr uint32_t ModifierListChunk = ClassId::BaseMesh + 1;
constexpr uint32_t NotFound = 0xFFFFFFFF;

// The box as 12 triangles over its corners (XBoundingBox::GetCorners order), facing outwards; the
// two of a face share its diagonal, so a face seen alone (a view along an axis) is covered whole.
constexpr uint8_t kBoxTriangles[12][3] = {{0, 1, 2}, {2, 3, 0}, {0, 3, 6}, {6, 5, 0}, {2, 7, 6}, {6, 3, 2},
                                          {7, 4, 5}, {5, 6, 7}, {7, 2, 1}, {1, 4, 7}, {0, 5, 4}, {4, 1, 0}};
} // namespace

XPickRay::XPickRay(unsigned frame, XViewport* viewport, const XPoint& point, const XMatrix& world)
{
    viewport->GetPickRay(frame, point, origin, direction, world);
    XScreenMapping::DrawnSpan(viewport->GetProjectionMatrix(frame), nearest, farthest);
}

void XPickRay::Hit(const XVertex& a, const XVertex& b, const XVertex& c, float& distance) const
{
    float t, u, v;
    if (IntersectTriangle(origin, direction, a, b, c, t, u, v) && t >= nearest && t <= farthest &&
        t < distance)
        distance = t;
}

void IntersectBox(const XBoundingBox& box, const XPickRay& ray, float& distance)
{
    XVertex c[8];
    box.GetCorners(c);
    // Where the line enters the box (its faces seen from outside), or leaves it (seen from inside).
    const auto cross = [&](bool leaving)
    {
        float found = leaving ? -FLT_MAX : FLT_MAX, t, u, v;
        for (const auto& tri : kBoxTriangles)
            if (IntersectTriangle(ray.origin, ray.direction, c[tri[0]], c[tri[leaving ? 2 : 1]],
                                  c[tri[leaving ? 1 : 2]], t, u, v))
                found = leaving ? std::max(found, t) : std::min(found, t);
        return found;
    };
    float enter = cross(false);
    if (enter == FLT_MAX || enter > ray.farthest)
        return;
    // Entered before the drawn part begins: the box counts while the ray leaves it after.
    if (enter < ray.nearest)
    {
        if (cross(true) < ray.nearest)
            return;
        enter = ray.nearest;
    }
    distance = std::min(distance, enter);
}

XBaseMeshDesc BaseMeshDesc;

XBaseMesh::XBaseMesh()
{
    SetName(u"BaseMesh");
}

XBaseMesh::~XBaseMesh()
{
    // Destructors never throw.
    try
    {
        ClearModifiers();
        SetScene(nullptr);
    }
    catch (...)
    {
    }
}

void XBaseMesh::Notification(XRefManager* sender, unsigned message, uintptr_t)
{
    uint32_t index = NotFound;
    for (uint32_t i = 0; i < m_Modifiers.GetCount(); ++i)
        if (m_Modifiers.GetData()[i]->GetTarget() == sender)
        {
            index = i;
            break;
        }
    if (index == NotFound)
        return;
    if (message == XRM_DELETED || message == XRM_RELEASED)
        RemoveModifier(index);
    else if (message == XRM_MODIFIER_CHANGED)
        MeshInvalidate();
}

uint32_t XBaseMesh::GetClassId() const
{
    return ClassId::BaseMesh;
}

XString XBaseMesh::GetClassNameW() const
{
    return u"XBaseMesh";
}

void XBaseMesh::Save(XScene* scene, XWriter& writer)
{
    XBaseObject::Save(scene, writer);
    writer.BeginChunk(ClassId::BaseMesh);
    const uint32_t count = m_Modifiers.GetCount();
    if (count)
    {
        writer.BeginChunk(ModifierListChunk);
        writer.WriteU32(count);
        for (uint32_t i = 0; i < count; ++i)
            writer.Write(&GetModifier(i)->GetGuid(), sizeof(XGuid));
        writer.EndChunk();
    }
    writer.EndChunk();
}

void XBaseMesh::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::BaseMesh)
    {
        XBaseObject::Load(scene, reader);
        return;
    }
    ClearModifiers();
    while (reader.NextChunk())
    {
        if (reader.GetChunkId() == ModifierListChunk)
        {
            const uint32_t count = XArrayChunks::ReadCount(reader, sizeof(XGuid));
            for (uint32_t i = 0; i < count; ++i)
            {
                XGuid guid;
                if (reader.Read(&guid, sizeof guid) != sizeof guid)
                    throw FileUtils::XIOError();
                // The file's objects all exist before any payload is read; out of a scene the
                // GUIDs name nothing.
                if (!GetScene())
                    continue;
                XBaseObject* object = XSceneLink::Get()->FindObject(GetScene(), guid);
                if (auto* modifier = dynamic_cast<XBaseModifier*>(object))
                    AddModifier(modifier);
            }
        }
        reader.EndChunk();
    }
    MeshInvalidate();
}

void XBaseMesh::MeshValidate(unsigned frame, XViewport* viewport, XMeshNode* node, XMesh* mesh)
{
    if (mesh)
        for (uint32_t i = 0; i < m_Modifiers.GetCount(); ++i)
            GetModifier(i)->ApplyTo(frame, viewport, node, this, mesh);
    m_MeshValid = true;
}

void XBaseMesh::MeshInvalidate()
{
    m_MeshValid = false;
}

bool XBaseMesh::IsMeshValid(unsigned)
{
    return m_MeshValid;
}

void XBaseMesh::AddRef()
{
    ++m_RefCount;
}

void XBaseMesh::Release()
{
    if (--m_RefCount <= 0)
        Destroy();
}

bool XBaseMesh::IntersectRay(unsigned frame, XViewport* viewport, XMeshNode* node, const XPoint& point,
                             float& distance, unsigned flags)
{
    distance = FLT_MAX;
    if (!viewport)
        return false;
    const XMatrix world = node ? XSceneLink::Get()->GetMeshMatrix(node, frame) : XMatrix(1.0f);
    const XPickRay ray(frame, viewport, point, world);
    IntersectBox(GetBoundingBox(frame), ray, distance);

    if ((flags & XPICK_FACES) && distance < FLT_MAX)
    {
        if (XMesh* mesh = GetMesh(frame, viewport, node))
        {
            distance = FLT_MAX;
            const XVertex* p = mesh->GetVertices();
            const uint32_t n = mesh->GetVertexCount();
            for (uint32_t f = 0; f < mesh->GetFaceCount(); ++f)
            {
                const XFace& face = mesh->GetFaces()[f];
                if (face.v[0] < n && face.v[1] < n && face.v[2] < n)
                    ray.Hit(p[face.v[0]], p[face.v[1]], p[face.v[2]], distance);
            }
        }
    }
    return distance < FLT_MAX;
}

bool XBaseMesh::HitTest(unsigned frame, XViewport* viewport, XMeshNode* node, const XPoint& point,
                        unsigned flags)
{
    float distance;
    return IntersectRay(frame, viewport, node, point, distance, flags);
}

bool XBaseMesh::Renderable()
{
    return true;
}

void XBaseMesh::Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags)
{
    XMesh* mesh = GetMesh(frame, viewport, node);
    if (!mesh)
        return;
    for (uint32_t i = 0; i < m_Modifiers.GetCount(); ++i)
        GetModifier(i)->BeforeMeshRender(frame, viewport, node, this, mesh, flags);
    mesh->Render(frame, viewport, node, flags);
    for (uint32_t i = m_Modifiers.GetCount(); i-- > 0;)
        GetModifier(i)->AfterMeshRender(frame, viewport, node, this, mesh, flags);
}

bool XBaseMesh::Editable()
{
    return false;
}

void XBaseMesh::Edit(XScene*, XMeshNode*) {}

bool XBaseMesh::AllowMouseCreate()
{
    return false;
}

void XBaseMesh::MouseCreateStart() {}

bool XBaseMesh::MouseCreateProc(XViewport*, XMeshNode*, XMouseEvent, const XPoint&, XShiftState)
{
    return false;
}

void XBaseMesh::MouseCreateFinish() {}

bool XBaseMesh::CanConvertToType(const XString& type)
{
    return type == u"XTriMesh";
}

XBaseMesh* XBaseMesh::ConvertToType(unsigned frame, const XString& type)
{
    if (!(type == u"XTriMesh"))
        return nullptr;
    XMesh* mesh = GetMesh(frame, nullptr, nullptr);
    if (!mesh)
        return nullptr;
    XTriMesh* converted = new XTriMesh;
    *converted->GetMesh() = *mesh;
    converted->MeshInvalidate();
    // Neither object is in the scene under these yet: plain copies.
    converted->SetName(GetName());
    converted->SetGuid(GetGuid());
    // The nodes that show this object show the new one: it takes their count with them.
    converted->m_RefCount = m_RefCount;
    ReplaceReference(converted);
    XScene* scene = GetScene();
    SetScene(nullptr);
    converted->SetScene(scene);
    Destroy();
    return converted;
}

void XBaseMesh::AddModifier(XBaseModifier* modifier)
{
    if (!modifier || FindModifier(modifier) != NotFound)
        return;
    auto* reference = new XReference<XBaseModifier>(this, modifier);
    modifier->AddRef();
    m_Modifiers.Add(reference);
    MeshInvalidate();
}

void XBaseMesh::RemoveModifier(XBaseModifier* modifier)
{
    uint32_t index = FindModifier(modifier);
    if (index != NotFound)
        RemoveModifier(index);
}

void XBaseMesh::RemoveModifier(uint32_t index)
{
    if (index >= m_Modifiers.GetCount())
        return;
    XBaseModifier* modifier = GetModifier(index);
    m_Modifiers.Delete(index); // the reference leaves the modifier's list as it goes
    modifier->Release();
    MeshInvalidate();
}

void XBaseMesh::ClearModifiers()
{
    for (uint32_t i = m_Modifiers.GetCount(); i-- > 0;)
        RemoveModifier(i);
}

uint32_t XBaseMesh::FindModifier(XBaseModifier* modifier) const
{
    for (uint32_t i = 0; i < m_Modifiers.GetCount(); ++i)
        if (m_Modifiers.GetData()[i]->Get() == modifier)
            return i;
    return NotFound;
}

XBaseModifier* XBaseMesh::FindModifierClass(const XString& className) const
{
    for (uint32_t i = 0; i < m_Modifiers.GetCount(); ++i)
    {
        XBaseModifier* modifier = m_Modifiers.GetData()[i]->Get();
        if (modifier && modifier->GetClassNameW() == className)
            return modifier;
    }
    return nullptr;
}

XBaseObject* XBaseMeshDesc::Create() const
{
    return nullptr;
}

XString XBaseMeshDesc::GetClassNameW() const
{
    return u"XBaseMesh";
}

uint32_t XBaseMeshDesc::GetCategory() const
{
    return XCAT_MESH;
}
