#include "Engine/Geometry/XBone.h"

#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Scene/XClassIds.h"
#include "Platform/D3D9/D3D9.h"

#include <cmath>

namespace
{
// Whether the bone under creation has had its first press; one creation at a time.
bool g_Started = false;
} // namespace

using XXBoneInnerRadius1Field = XShapeFloatField<XBone, &XBone::GetInnerRadius1, &XBone::SetInnerRadius1>;
using XXBoneInnerRadius2Field = XShapeFloatField<XBone, &XBone::GetInnerRadius2, &XBone::SetInnerRadius2>;
using XXBoneOuterRadius1Field = XShapeFloatField<XBone, &XBone::GetOuterRadius1, &XBone::SetOuterRadius1>;
using XXBoneOuterRadius2Field = XShapeFloatField<XBone, &XBone::GetOuterRadius2, &XBone::SetOuterRadius2>;
using XXBoneHeightField = XShapeFloatField<XBone, &XBone::GetHeight, &XBone::SetHeight>;
using XXBoneIndexField = XShapeU32Field<XBone, &XBone::GetIndex, &XBone::SetIndex>;
namespace
{
XXBoneInnerRadius1Field g_InnerRadius1Field(u"InnerRadius1");
XXBoneInnerRadius2Field g_InnerRadius2Field(u"InnerRadius2");
XXBoneOuterRadius1Field g_OuterRadius1Field(u"OuterRadius1");
XXBoneOuterRadius2Field g_OuterRadius2Field(u"OuterRadius2");
XXBoneHeightField g_HeightField(u"Height");
XXBoneIndexField g_IndexField(u"Index");
} // namespace

XBoneDesc BoneDesc;

XBone::XBone()
    : m_BoneMesh(new XBoneMesh(DefaultInnerRadius, DefaultInnerRadius, DefaultOuterRadius, DefaultOuterRadius,
                               DefaultHeight))
{
    SetName(u"Bone");
}

XBone::~XBone()
{
    m_BoneMesh->Destroy();
}

uint32_t XBone::GetClassId() const
{
    return ClassId::Bone;
}

XString XBone::GetClassNameW() const
{
    return u"XBone";
}

void XBone::Save(XScene* scene, XWriter& writer)
{
    XMeshNode::Save(scene, writer);
    writer.BeginChunk(ClassId::Bone);
    XCapsuleChunks::Write(writer, InnerRadius1Chunk, *this);
    writer.WriteChunkU32(IndexChunk, m_Index);
    writer.EndChunk();
}

void XBone::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::Bone)
    {
        XMeshNode::Load(scene, reader);
        return;
    }
    m_InnerRadius1 = DefaultInnerRadius;
    m_InnerRadius2 = DefaultInnerRadius;
    m_OuterRadius1 = DefaultOuterRadius;
    m_OuterRadius2 = DefaultOuterRadius;
    m_Height = DefaultHeight;
    m_Index = NoIndex;
    // Whatever the chunk holds or misses, the capsule ends with the bone's values: a value equal
    // to its default passes no setter, and a cut chunk stops half way.
    struct Sync
    {
        XBone* bone;
        ~Sync()
        {
            XBoneMesh* mesh = bone->m_BoneMesh;
            mesh->SetInnerRadius1(bone->m_InnerRadius1);
            mesh->SetInnerRadius2(bone->m_InnerRadius2);
            mesh->SetOuterRadius1(bone->m_OuterRadius1);
            mesh->SetOuterRadius2(bone->m_OuterRadius2);
            mesh->SetHeight(bone->m_Height);
        }
    } sync{this};
    XArrayChunks::ReadValues(reader,
                             [&](uint32_t id)
                             {
                                 if (id == IndexChunk)
                                     SetIndex(XArrayChunks::ReadU32(reader));
                                 else
                                     XCapsuleChunks::Read(*this, reader, InnerRadius1Chunk, id);
                             });
}

void XBone::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XMeshNode::EnumerateFields(fields);
    fields.Add(&g_InnerRadius1Field);
    fields.Add(&g_InnerRadius2Field);
    fields.Add(&g_OuterRadius1Field);
    fields.Add(&g_OuterRadius2Field);
    fields.Add(&g_HeightField);
    fields.Add(&g_IndexField);
}

// ---- values ------------------------------------------------------------------------------------

bool XBone::Store(float& field, float value)
{
    if (std::isnan(value))
        return false;
    ClampValue(value, -XBoneMesh::MaxValue, XBoneMesh::MaxValue);
    if (value == field)
        return false;
    field = value;
    return true;
}

void XBone::SetInnerRadius1(float value)
{
    if (Store(m_InnerRadius1, value))
        m_BoneMesh->SetInnerRadius1(m_InnerRadius1);
}

void XBone::SetInnerRadius2(float value)
{
    if (Store(m_InnerRadius2, value))
        m_BoneMesh->SetInnerRadius2(m_InnerRadius2);
}

void XBone::SetOuterRadius1(float value)
{
    if (Store(m_OuterRadius1, value))
        m_BoneMesh->SetOuterRadius1(m_OuterRadius1);
}

void XBone::SetOuterRadius2(float value)
{
    if (Store(m_OuterRadius2, value))
        m_BoneMesh->SetOuterRadius2(m_OuterRadius2);
}

void XBone::SetHeight(float value)
{
    if (Store(m_Height, value))
        m_BoneMesh->SetHeight(m_Height);
}

// ---- skeleton ----------------------------------------------------------------------------------

unsigned XBone::SetupIndexes(unsigned first)
{
    m_Index = first;
    unsigned next = first + 1;
    for (uint32_t i = 0; i < GetChildCount(); ++i)
        if (auto* bone = dynamic_cast<XBone*>(GetChild(i)))
            next = bone->SetupIndexes(next);
    return next;
}

void XBone::SetupMatrices(unsigned frame, IDirect3DDevice9* device, XMeshNode* node)
{
    if (!device)
        return;
    if (m_Index <= MaxIndex)
    {
        XMatrix bind, pose, skinned(1.0f);
        GetMeshMatrix(0, bind);
        GetMeshMatrix(frame, pose);
        if (node)
            node->GetMeshMatrix(0, skinned);
        XMatrix bindInverse;
        bind.Inverse(bindInverse);
        const XMatrix blend = skinned * bindInverse * pose;
        device->SetTransform(D3DTS_WORLDMATRIX(m_Index), reinterpret_cast<const D3DMATRIX*>(&blend));
    }
    for (uint32_t i = 0; i < GetChildCount(); ++i)
        if (auto* bone = dynamic_cast<XBone*>(GetChild(i)))
            bone->SetupMatrices(frame, device, node);
}

// ---- drawing and picking -----------------------------------------------------------------------

XBaseMesh* XBone::GetShownMesh() const
{
    XBaseMesh* mesh = GetMesh();
    return mesh ? mesh : m_BoneMesh;
}

bool XBone::IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                         unsigned flags)
{
    return GetShownMesh()->IntersectRay(frame, viewport, this, point, distance, flags);
}

bool XBone::HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned flags)
{
    return GetShownMesh()->HitTest(frame, viewport, this, point, flags);
}

void XBone::Render(unsigned frame, XViewport* viewport, unsigned flags)
{
    XBaseMesh* mesh = GetMesh();
    if (mesh && mesh->Renderable())
        mesh->Render(frame, viewport, this, flags);
    else
        m_BoneMesh->Render(frame, viewport, this, flags);
}

XBoundingBox XBone::GetMeshBoundingBox(unsigned frame)
{
    return GetShownMesh()->GetBoundingBox(frame);
}

// ---- mouse creation ----------------------------------------------------------------------------

bool XBone::AllowMouseCreate()
{
    return true;
}

void XBone::MouseCreateStart()
{
    g_Started = false;
    m_BoneMesh->MouseCreateStart();
    TakeMeshHeight();
}

bool XBone::MouseCreateProc(XViewport* viewport, XMouseEvent event, const XPoint& point, XShiftState shift)
{
    if (!g_Started)
    {
        if (event == XME_MOVE && viewport)
        {
            SetMatrix(viewport->GetGridMatrix());
            SetPosition(viewport->ScreenToPlane(0, point, viewport->GetPlaneAxis()));
            return false;
        }
        if (event != XME_LEFT_DOWN)
            return false;
        g_Started = true;
    }
    const bool done = m_BoneMesh->MouseCreateProc(viewport, this, event, point, shift);
    TakeMeshHeight();
    return done;
}

void XBone::MouseCreateFinish()
{
    m_BoneMesh->MouseCreateFinish();
}

XBaseObject* XBoneDesc::Create() const
{
    return new XBone;
}

XString XBoneDesc::GetClassNameW() const
{
    return u"XBone";
}

uint32_t XBoneDesc::GetCategory() const
{
    return XCAT_NODE;
}
