#include "Engine/Geometry/XSpriteModifier.h"

#include "Components/XMatrix.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Scene/XBaseMaterial.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XObjectField.h"
#include "Engine/Scene/XSceneLink.h"
#include "Engine/Views/XViewport.h"
#include "Platform/D3D9/D3D9.h"

#include <cmath>

using VarUtils::XVariant;

namespace
{
constexpr uint32_t SizeChunk = ClassId::SpriteModifier + 1;

// One corner of a sprite square as the device reads it.
struct SpriteVertex
{
    float x, y, z;
    float nx, ny, nz;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(SpriteVertex) == 36);
constexpr DWORD SpriteFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The texture rocking shared by every sprite modifier: one degree per step at most every 50 ms,
// turning at +-5 degrees.
struct Rocking
{
    DWORD lastTick = 0;
    float angle = 0;
    float step = 1;
};
Rocking g_Rocking;
} // namespace

class XXSpriteModifierSizeField : public XObjectField
{
public:
    XString GetName() const override { return u"Size"; }
    XString GetTypeName() const override { return u"float"; }
    bool GetValue(XBaseObject* object, XVariant& out) const override
    {
        out = static_cast<XSpriteModifier*>(object)->GetSize();
        return true;
    }
    bool SetValue(XBaseObject* object, const XVariant& value) const override
    {
        static_cast<XSpriteModifier*>(object)->SetSize(static_cast<float>(value.AsDouble()));
        return true;
    }
};

namespace
{
XXSpriteModifierSizeField g_SizeField;
} // namespace

XSpriteModifierDesc SpriteModifierDesc;

XSpriteModifier::XSpriteModifier()
{
    SetName(u"SpriteModifier");
}

uint32_t XSpriteModifier::GetClassId() const
{
    return ClassId::SpriteModifier;
}

XString XSpriteModifier::GetClassNameW() const
{
    return u"XSpriteModifier";
}

void XSpriteModifier::Save(XScene* scene, XWriter& writer)
{
    XBaseModifier::Save(scene, writer);
    writer.BeginChunk(ClassId::SpriteModifier);
    writer.WriteChunkFloat(SizeChunk, m_Size);
    writer.EndChunk();
}

void XSpriteModifier::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::SpriteModifier)
    {
        XBaseModifier::Load(scene, reader);
        return;
    }
    m_Size = DefaultSize;
    while (reader.NextChunk())
    {
        if (reader.GetChunkId() == SizeChunk)
        {
            float size;
            XArrayChunks::ReadFloat(reader, size);
            SetSize(size);
        }
        reader.EndChunk();
    }
}

void XSpriteModifier::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseModifier::EnumerateFields(fields);
    fields.Add(&g_SizeField);
}

void XSpriteModifier::SetSize(float size)
{
    // Not a number would escape the bounds: it takes the smallest size.
    if (std::isnan(size))
        size = MinSize;
    ClampValue(size, MinSize, MaxSize);
    m_Size = size;
}

void XSpriteModifier::ApplyTo(unsigned, XViewport*, XMeshNode*, XBaseMesh*, XMesh*) {}

void XSpriteModifier::AfterMeshRender(unsigned, XViewport*, XMeshNode*, XBaseMesh*, XMesh*, unsigned) {}

bool XSpriteModifier::Editable()
{
    return false;
}

void XSpriteModifier::Edit(XScene*, XMeshNode*, XBaseMesh*, XMesh*) {}

void XSpriteModifier::BeforeMeshRender(unsigned frame, XViewport* viewport, XMeshNode* node, XBaseMesh*,
                                       XMesh* mesh, unsigned)
{
    if (!viewport || !mesh)
        return;
    IDirect3DDevice9* device = viewport->GetDevice();
    const uint32_t count = mesh->GetVertexCount();
    if (!device || count == 0)
        return;
    XMatrix meshMatrix(1.0f);
    uint32_t color = 0xFFFFFFFF;
    XBaseMaterial* material = nullptr;
    if (node)
    {
        node->GetMeshMatrix(frame, meshMatrix);
        color = node->GetColor().GetARGB();
        if (node->GetScene())
            material = XSceneLink::Get()->GetMaterial(node->GetScene(), node->GetMaterial());
    }

    if (material)
    {
        device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
        material->BeforeRender(frame, viewport);
    }
    else
    {
        device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
        device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    }
    // Squares whatever fill mode the last mesh, icon or overlay was drawn in.
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetStreamSource(0, nullptr, 0, sizeof(SpriteVertex));
    device->SetFVF(SpriteFVF);

    // The transpose of the mesh-to-view rotation turns the square to face the camera.
    XMatrix rotation = meshMatrix * viewport->GetViewMatrix(frame);
    rotation.m[3][0] = rotation.m[3][1] = rotation.m[3][2] = 0;
    XMatrix billboard;
    rotation.Transpose(billboard);
    billboard = billboard * meshMatrix;

    const float h = m_Size * 0.5f;
    const SpriteVertex quad[6] = {
        {-h, h, 0, 0, 0, -1, color, 0, 0}, {h, h, 0, 0, 0, -1, color, 1, 0},
        {h, -h, 0, 0, 0, -1, color, 1, 1}, {h, -h, 0, 0, 0, -1, color, 1, 1},
        {-h, -h, 0, 0, 0, -1, color, 0, 1}, {-h, h, 0, 0, 0, -1, color, 0, 0},
    };

    const DWORD now = GetTickCount();
    if (static_cast<DWORD>(now - g_Rocking.lastTick) > 50)
    {
        g_Rocking.angle += g_Rocking.step;
        g_Rocking.lastTick = now;
        if (g_Rocking.angle >= 5.0f || g_Rocking.angle <= -5.0f)
            g_Rocking.step = -g_Rocking.step;
    }
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    XMatrix texture(1.0f);
    texture.Translate(0.5f, 0.5f, 0.5f);
    texture.Rotate(0, 0, g_Rocking.angle * 3.14f / 180);
    texture.Translate(-0.5f, -0.5f, -0.5f);
    device->SetTransform(D3DTS_TEXTURE0, reinterpret_cast<const D3DMATRIX*>(&texture));

    const XVertex* positions = mesh->GetVertices();
    for (uint32_t i = 0; i < count; ++i)
    {
        XMatrix world = billboard;
        world.m[3][0] += positions[i].x;
        world.m[3][1] += positions[i].y;
        world.m[3][2] += positions[i].z;
        device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&world));
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(SpriteVertex));
    }

    if (material)
        material->AfterRender(frame, viewport);
    device->SetRenderState(D3DRS_LIGHTING, viewport->GetLighting() ? TRUE : FALSE);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
}

XBaseObject* XSpriteModifierDesc::Create() const
{
    return new XSpriteModifier;
}

XString XSpriteModifierDesc::GetClassNameW() const
{
    return u"XSpriteModifier";
}

uint32_t XSpriteModifierDesc::GetCategory() const
{
    return XCAT_MODIFIER;
}
