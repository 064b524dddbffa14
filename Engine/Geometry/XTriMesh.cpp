#include "Engine/Geometry/XTriMesh.h"

#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XObjectField.h"
#include "Engine/Scene/XSceneLink.h"

using VarUtils::XVariant;

namespace
{
constexpr uint32_t SourceChunk = ClassId::TriMesh + 1;
} // namespace

class XXTriMeshUseFaceSubsetsField : public XObjectField
{
public:
    XString GetName() const override { return u"UseFaceSubsets"; }
    XString GetTypeName() const override { return u"bool"; }
    bool GetValue(XBaseObject* object, XVariant& out) const override
    {
        out = static_cast<XTriMesh*>(object)->GetUseFaceSubsets();
        return true;
    }
    bool SetValue(XBaseObject* object, const XVariant& value) const override
    {
        static_cast<XTriMesh*>(object)->SetUseFaceSubsets(value.AsBool());
        return true;
    }
};

// The counts are shown, never set.
class XXTriMeshCountField : public XObjectField
{
public:
    XString GetTypeName() const override { return u"bitu32"; }
    bool SetValue(XBaseObject*, const XVariant&) const override { return false; }
};

class XXTriMeshFaceCountField : public XXTriMeshCountField
{
public:
    XString GetName() const override { return u"FaceCount"; }
    bool GetValue(XBaseObject* object, XVariant& out) const override
    {
        out = static_cast<unsigned>(static_cast<XTriMesh*>(object)->GetFaceCount());
        return true;
    }
};

class XXTriMeshVertexCountField : public XXTriMeshCountField
{
public:
    XString GetName() const override { return u"VertexCount"; }
    bool GetValue(XBaseObject* object, XVariant& out) const override
    {
        out = static_cast<unsigned>(static_cast<XTriMesh*>(object)->GetVertexCount());
        return true;
    }
};

namespace
{
XXTriMeshUseFaceSubsetsField g_UseFaceSubsetsField;
XXTriMeshFaceCountField g_FaceCountField;
XXTriMeshVertexCountField g_VertexCountField;
} // namespace

XTriMeshDesc TriMeshDesc;

XTriMesh::XTriMesh()
{
    SetName(u"TriMesh");
}

XTriMesh::~XTriMesh() = default;

uint32_t XTriMesh::GetClassId() const
{
    return ClassId::TriMesh;
}

XString XTriMesh::GetClassNameW() const
{
    return u"XTriMesh";
}

void XTriMesh::Save(XScene* scene, XWriter& writer)
{
    XBaseMesh::Save(scene, writer);
    writer.BeginChunk(ClassId::TriMesh);
    writer.BeginChunk(SourceChunk);
    m_Source.Save(scene, writer);
    writer.EndChunk();
    writer.EndChunk();
}

void XTriMesh::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::TriMesh)
    {
        XBaseMesh::Load(scene, reader);
        return;
    }
    while (reader.NextChunk())
    {
        if (reader.GetChunkId() == SourceChunk)
        {
            while (reader.NextChunk())
            {
                m_Source.Load(scene, reader);
                reader.EndChunk();
            }
        }
        reader.EndChunk();
    }
    MeshInvalidate();
}

void XTriMesh::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseMesh::EnumerateFields(fields);
    fields.Add(&g_UseFaceSubsetsField);
    fields.Add(&g_FaceCountField);
    fields.Add(&g_VertexCountField);
}

void XTriMesh::MeshInvalidate()
{
    XBaseMesh::MeshInvalidate();
    m_Source.Invalidate();
    m_Derived.Invalidate();
}

void XTriMesh::Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags)
{
    XBaseMesh::Render(frame, viewport, node, flags);
}

bool XTriMesh::Editable()
{
    return true;
}

void XTriMesh::Edit(XScene* scene, XMeshNode* node)
{
    XSceneLink* link = XSceneLink::Get();
    XBaseEditor* editor = link->FindEditor(scene, u"XTriMeshEditor");
    if (editor && !link->IsTriMeshEditor(editor))
        editor = nullptr;
    if (!editor)
    {
        editor = link->CreateTriMeshEditor(scene);
        if (!editor)
            return;
        link->AddEditor(scene, editor);
    }
    link->BindTriMeshEditor(editor, this, node);
    link->PushEditor(scene, editor);
}

XBoundingBox XTriMesh::GetBoundingBox(unsigned)
{
    return m_Source.GetBoundingBox();
}

XMesh* XTriMesh::GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node)
{
    if (IsMeshValid(frame))
        return &m_Derived;
    m_Derived = m_Source;
    MeshValidate(frame, viewport, node, &m_Derived);
    return &m_Derived;
}

void XTriMesh::SetUseFaceSubsets(bool enabled)
{
    m_Source.SetUseFaceSubsets(enabled);
    if (!enabled)
        return;
    m_Source.BuildFaceGroups();
    MeshInvalidate();
}

XBaseObject* XTriMeshDesc::Create() const
{
    return new XTriMesh;
}

XString XTriMeshDesc::GetClassNameW() const
{
    return u"XTriMesh";
}

uint32_t XTriMeshDesc::GetCategory() const
{
    return XCAT_MESH;
}
