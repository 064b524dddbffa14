#include "Engine/Geometry/XSkinModifier.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XObjectField.h"
#include "Engine/Scene/XSceneLink.h"
#include "Engine/Views/XViewport.h"
#include "Platform/D3D9/D3D9.h"

#include <cmath>

using VarUtils::XVariant;

namespace
{
// One bone's capsule in the skinned mesh's space.
struct Capsule
{
    XVertex c1, c2;
    float r1in, r1out, r2in, r2out;
};

Capsule CapsuleOf(XBone& bone, const XMatrix& toMesh)
{
    XVertex p[6] = {bone.GetC1(), bone.GetC1Min(), bone.GetC1Max(),
                    bone.GetC2(), bone.GetC2Min(), bone.GetC2Max()};
    toMesh.ApplyTo(p, 6);
    return {p[0],
            p[3],
            (p[1] - p[0]).Length(),
            (p[2] - p[0]).Length(),
            (p[4] - p[3]).Length(),
            (p[5] - p[3]).Length()};
}

// Full weight within the inner radius, falling linearly to none at the outer one.
bool EndWeight(float d, float rin, float rout, float& weight)
{
    if (!(d < rout))
        return false;
    weight = (d <= rin || rout - rin <= 0) ? 1.0f : (rout - d) / (rout - rin);
    return true;
}

// The capsule's weight of the point, or false when the capsule does not reach it. Along the
// middle the radii run linearly from end 1 to end 2.
bool CapsuleWeight(const Capsule& c, const XVertex& p, float& weight)
{
    const XVertex a = c.c2 - c.c1;
    const float s = DotProduct(p - c.c1, a);
    const float aa = DotProduct(a, a);
    if (s <= 0)
        return EndWeight((p - c.c1).Length(), c.r1in, c.r1out, weight);
    if (aa <= s)
        return EndWeight((p - c.c2).Length(), c.r2in, c.r2out, weight);
    const float t = s / aa;
    const float d = (p - (c.c1 + a * t)).Length();
    if (!(d < MaxFloat(c.r1out, c.r2out)))
        return false;
    const float rout = c.r1out + (c.r2out - c.r1out) * t;
    const float rin = c.r1in + (c.r2in - c.r1in) * t;
    return EndWeight(d, rin, rout, weight);
}

// A colour channel times the weight, truncated and kept within a byte.
uint32_t ScaledChannel(uint32_t channel, float weight)
{
    const float v = static_cast<float>(channel) * weight;
    if (!(v > 0))
        return 0;
    return v >= 255 ? 255 : static_cast<uint32_t>(v);
}

// Each channel the mean of the vertex's colour and the bone's colour scaled by the weight.
XColor Tinted(XColor old, XColor bone, float weight)
{
    uint32_t out = 0;
    for (unsigned shift = 0; shift < 32; shift += 8)
    {
        const uint32_t scaled = ScaledChannel(bone.GetARGB() >> shift & 0xFF, weight);
        out |= (((old.GetARGB() >> shift & 0xFF) + scaled) / 2) << shift;
    }
    return out;
}
} // namespace

class XXSkinModifierAutoUpdateField : public XObjectField
{
public:
    XString GetName() const override { return u"AutoUpdate"; }
    XString GetTypeName() const override { return u"bool"; }
    bool GetValue(XBaseObject* object, XVariant& out) const override
    {
        out = static_cast<XSkinModifier*>(object)->GetAutoUpdate();
        return true;
    }
    bool SetValue(XBaseObject* object, const XVariant& value) const override
    {
        static_cast<XSkinModifier*>(object)->SetAutoUpdate(value.AsBool());
        return true;
    }
};

class XXSkinModifierPaintMeshField : public XObjectField
{
public:
    XString GetName() const override { return u"PaintMesh"; }
    XString GetTypeName() const override { return u"bool"; }
    bool GetValue(XBaseObject* object, XVariant& out) const override
    {
        out = static_cast<XSkinModifier*>(object)->GetPaintMesh();
        return true;
    }
    bool SetValue(XBaseObject* object, const XVariant& value) const override
    {
        static_cast<XSkinModifier*>(object)->SetPaintMesh(value.AsBool());
        return true;
    }
};

namespace
{
XXSkinModifierAutoUpdateField g_AutoUpdateField;
XXSkinModifierPaintMeshField g_PaintMeshField;
} // namespace

XSkinModifierDesc SkinModifierDesc;

XSkinModifier::XSkinModifier() : m_Bone(this)
{
    SetName(u"SkinModifier");
}

XSkinModifier::~XSkinModifier()
{
    try
    {
        SetBone(nullptr);
    }
    catch (...)
    {
    }
}

void XSkinModifier::Notification(XRefManager* sender, unsigned message, uintptr_t param)
{
    XBaseModifier::Notification(sender, message, param);
    if (!sender || sender != m_Bone.GetTarget())
        return;
    if (message == XRM_DELETED)
        m_Bone.SetTarget(nullptr);
    else if (message == XRM_RELEASED)
        SetBone(nullptr);
}

uint32_t XSkinModifier::GetClassId() const
{
    return ClassId::SkinModifier;
}

XString XSkinModifier::GetClassNameW() const
{
    return u"XSkinModifier";
}

void XSkinModifier::Save(XScene* scene, XWriter& writer)
{
    XBaseModifier::Save(scene, writer);
    writer.BeginChunk(ClassId::SkinModifier);
    if (XBone* bone = GetBone())
        writer.WriteChunk(BoneChunk, &bone->GetGuid(), sizeof(XGuid));
    writer.WriteChunkU32(AutoUpdateChunk, m_AutoUpdate ? 1 : 0);
    writer.WriteChunkU32(PaintMeshChunk, m_PaintMesh ? 1 : 0);
    writer.EndChunk();
}

void XSkinModifier::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::SkinModifier)
    {
        XBaseModifier::Load(scene, reader);
        return;
    }
    SetBone(nullptr);
    SetAutoUpdate(false);
    SetPaintMesh(false);
    while (reader.NextChunk())
    {
        uint32_t u = 0;
        switch (reader.GetChunkId())
        {
        case BoneChunk:
        {
            XGuid guid;
            if (reader.GetBytesLeft() < sizeof guid || reader.Read(&guid, sizeof guid) != sizeof guid)
                throw FileUtils::XIOError();
            if (scene)
                SetBone(dynamic_cast<XBone*>(XSceneLink::Get()->FindObject(scene, guid)));
            break;
        }
        case AutoUpdateChunk:
            XArrayChunks::ReadU32(reader, u);
            SetAutoUpdate(u != 0);
            break;
        case PaintMeshChunk:
            XArrayChunks::ReadU32(reader, u);
            SetPaintMesh(u != 0);
            break;
        default:
            break;
        }
        reader.EndChunk();
    }
}

void XSkinModifier::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseModifier::EnumerateFields(fields);
    fields.Add(&g_AutoUpdateField);
    fields.Add(&g_PaintMeshField);
}

XBone* XSkinModifier::GetBone() const
{
    return m_Bone.Get();
}

void XSkinModifier::SetBone(XBone* bone)
{
    if (bone != m_Bone.Get())
        m_Bone.SetTarget(bone);
}

void XSkinModifier::SetAutoUpdate(bool enabled)
{
    if (enabled == m_AutoUpdate)
        return;
    m_AutoUpdate = enabled;
    if (enabled)
        Changed();
}

void XSkinModifier::SetPaintMesh(bool enabled)
{
    if (enabled == m_PaintMesh)
        return;
    m_PaintMesh = enabled;
    Changed();
}

// ---- weights -----------------------------------------------------------------------------------

void XSkinModifier::ApplyTo(unsigned, XViewport*, XMeshNode* node, XBaseMesh*, XMesh* mesh)
{
    XBone* root = GetBone();
    if (!root || !node || !mesh || !m_AutoUpdate)
        return;
    const uint32_t n = mesh->GetVertexCount();
    mesh->SetWeightsEnabled(true);
    mesh->SetWeightCount(n);
    XVertexWeight* weights = mesh->GetWeights();
    for (uint32_t i = 0; i < n; ++i)
        weights[i] = XVertexWeight{{0, 0, 0}, {0, 0, 0, 0}};
    XColor* colors = nullptr;
    if (m_PaintMesh)
    {
        mesh->SetColorsEnabled(true);
        mesh->SetColorCount(n);
        colors = mesh->GetColors();
        for (uint32_t i = 0; i < n; ++i)
            colors[i] = 0u;
    }

    XMatrix skinned, skinnedInverse;
    node->GetMeshMatrix(0, skinned);
    skinned.Inverse(skinnedInverse);

    XPtrArray<XMeshNode, 4> nodes;
    nodes.Add(root);
    root->EnumDescendants(nodes);
    const XVertex* positions = mesh->GetVertices();
    for (uint32_t b = 0; b < nodes.GetCount(); ++b)
    {
        auto* bone = dynamic_cast<XBone*>(nodes[b]);
        // A bone without a blend matrix would be drawn by another bone's.
        if (!bone || bone->GetIndex() > XBone::MaxIndex)
            continue;
        XMatrix bind;
        bone->GetMeshMatrix(0, bind);
        const Capsule capsule = CapsuleOf(*bone, bind * skinnedInverse);
        const auto index = static_cast<uint8_t>(bone->GetIndex());
        const XColor color = bone->GetColor();
        for (uint32_t v = 0; v < n; ++v)
        {
            float weight = 0;
            if (!CapsuleWeight(capsule, positions[v], weight))
                continue;
            XVertexWeight& w = weights[v];
            for (unsigned slot = 0; slot < 3; ++slot)
                if (w.index[slot] == 0)
                {
                    w.index[slot] = index;
                    w.weight[slot] = weight;
                    break;
                }
            if (colors)
                colors[v] = Tinted(colors[v], color, weight);
        }
    }

    for (uint32_t v = 0; v < n; ++v)
    {
        XVertexWeight& w = weights[v];
        const float sum = w.weight[0] + w.weight[1] + w.weight[2];
        if (sum > 0)
        {
            const float scale = 1 / sum;
            for (float& x : w.weight)
                x *= scale;
        }
        else
            w.weight[0] = 1;
    }
}

// ---- drawing -----------------------------------------------------------------------------------

void XSkinModifier::BeforeMeshRender(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh*,
                                     XMesh* mesh, unsigned)
{
    XBone* root = GetBone();
    // A mesh never weighed carries no blend weights in its stream: blending it would put every
    // vertex on a matrix of no bone's choosing, so it is drawn as it stands.
    if (!root || frame == 0 || !viewport || !mesh || !mesh->GetWeightsEnabled())
        return;
    IDirect3DDevice9* device = viewport->GetDevice();
    if (!device)
        return;
    device->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_3WEIGHTS);
    root->SetupMatrices(frame, device, node);
}

void XSkinModifier::AfterMeshRender(unsigned frame, XViewport* viewport, XMeshNode*, XBaseMesh*, XMesh* mesh,
                                    unsigned)
{
    if (!GetBone() || frame == 0 || !viewport || !mesh || !mesh->GetWeightsEnabled())
        return;
    IDirect3DDevice9* device = viewport->GetDevice();
    if (!device)
        return;
    device->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
}

// ---- editing -----------------------------------------------------------------------------------

bool XSkinModifier::Editable()
{
    return true;
}

void XSkinModifier::Edit(XScene* scene, XMeshNode* node, XBaseMesh* object, XMesh*)
{
    XSceneLink* link = XSceneLink::Get();
    XBaseEditor* editor = link->FindEditor(scene, u"XSkinEditor");
    if (editor && !link->IsSkinEditor(editor))
        editor = nullptr;
    if (!editor)
    {
        editor = link->CreateSkinEditor(scene);
        if (!editor)
            return;
        link->AddEditor(scene, editor);
    }
    link->BindSkinEditor(editor, dynamic_cast<XTriMesh*>(object), node, this);
    link->PushEditor(scene, editor);
}

XBaseObject* XSkinModifierDesc::Create() const
{
    return new XSkinModifier;
}

XString XSkinModifierDesc::GetClassNameW() const
{
    return u"XSkinModifier";
}

uint32_t XSkinModifierDesc::GetCategory() const
{
    return XCAT_MODIFIER;
}
