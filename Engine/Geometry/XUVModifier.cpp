#include "Engine/Geometry/XUVModifier.h"

#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XObjectField.h"

using VarUtils::XVariant;

namespace
{
enum : uint32_t
{
    UOffsetChunk = ClassId::UVModifier + 1,
    VOffsetChunk = ClassId::UVModifier + 2,
    UScaleChunk = ClassId::UVModifier + 3,
    VScaleChunk = ClassId::UVModifier + 4,
};

// One float field of the modifier, read and written through its getter and setter.
template <float (XUVModifier::*Get)() const, void (XUVModifier::*Set)(float)>
class FloatField : public XObjectField
{
public:
    explicit FloatField(const WCHAR* name) : m_Name(name) {}
    XString GetName() const override { return m_Name; }
    XString GetTypeName() const override { return u"float"; }
    bool GetValue(XBaseObject* object, XVariant& out) const override
    {
        out = (static_cast<XUVModifier*>(object)->*Get)();
        return true;
    }
    bool SetValue(XBaseObject* object, const XVariant& value) const override
    {
        (static_cast<XUVModifier*>(object)->*Set)(static_cast<float>(value.AsDouble()));
        return true;
    }

private:
    const WCHAR* m_Name;
};
} // namespace

class XXUVModifierUOffsetField : public FloatField<&XUVModifier::GetUOffset, &XUVModifier::SetUOffset>
{
public:
    XXUVModifierUOffsetField() : FloatField(u"UOffset") {}
};
class XXUVModifierVOffsetField : public FloatField<&XUVModifier::GetVOffset, &XUVModifier::SetVOffset>
{
public:
    XXUVModifierVOffsetField() : FloatField(u"VOffset") {}
};
class XXUVModifierUScaleField : public FloatField<&XUVModifier::GetUScale, &XUVModifier::SetUScale>
{
public:
    XXUVModifierUScaleField() : FloatField(u"UScale") {}
};
class XXUVModifierVScaleField : public FloatField<&XUVModifier::GetVScale, &XUVModifier::SetVScale>
{
public:
    XXUVModifierVScaleField() : FloatField(u"VScale") {}
};

namespace
{
XXUVModifierUOffsetField g_UOffsetField;
XXUVModifierVOffsetField g_VOffsetField;
XXUVModifierUScaleField g_UScaleField;
XXUVModifierVScaleField g_VScaleField;
} // namespace

XUVModifierDesc UVModifierDesc;

XUVModifier::XUVModifier()
{
    SetName(u"UVModifier");
}

uint32_t XUVModifier::GetClassId() const
{
    return ClassId::UVModifier;
}

XString XUVModifier::GetClassNameW() const
{
    return u"XUVModifier";
}

void XUVModifier::Save(XScene* scene, XWriter& writer)
{
    XBaseModifier::Save(scene, writer);
    writer.BeginChunk(ClassId::UVModifier);
    writer.WriteChunkFloat(UOffsetChunk, m_UOffset);
    writer.WriteChunkFloat(VOffsetChunk, m_VOffset);
    writer.WriteChunkFloat(UScaleChunk, m_UScale);
    writer.WriteChunkFloat(VScaleChunk, m_VScale);
    writer.EndChunk();
}

void XUVModifier::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::UVModifier)
    {
        XBaseModifier::Load(scene, reader);
        return;
    }
    m_UOffset = 0;
    m_VOffset = 0;
    m_UScale = 1;
    m_VScale = 1;
    while (reader.NextChunk())
    {
        const uint32_t id = reader.GetChunkId();
        if (id >= UOffsetChunk && id <= VScaleChunk)
        {
            float value;
            XArrayChunks::ReadFloat(reader, value);
            switch (id)
            {
            case UOffsetChunk:
                SetUOffset(value);
                break;
            case VOffsetChunk:
                SetVOffset(value);
                break;
            case UScaleChunk:
                SetUScale(value);
                break;
            default:
                SetVScale(value);
                break;
            }
        }
        reader.EndChunk();
    }
}

void XUVModifier::EnumerateFields(XPtrArray<XObjectField, 16>& fields)
{
    XBaseModifier::EnumerateFields(fields);
    fields.Add(&g_UOffsetField);
    fields.Add(&g_VOffsetField);
    fields.Add(&g_UScaleField);
    fields.Add(&g_VScaleField);
}

void XUVModifier::ApplyTo(unsigned, XViewport*, XMeshNode*, XBaseMesh*, XMesh* mesh)
{
    if (!mesh)
        return;
    XTextureVertex* uv = mesh->GetTextureVertices();
    for (uint32_t i = 0; i < mesh->GetTextureVertexCount(); ++i)
    {
        uv[i].u = static_cast<float>(static_cast<long double>(uv[i].u) * m_UScale + m_UOffset);
        uv[i].v = static_cast<float>(static_cast<long double>(uv[i].v) * m_VScale + m_VOffset);
    }
}

void XUVModifier::Set(float& field, float value)
{
    if (field == value)
        return;
    field = value;
    Changed();
}

void XUVModifier::SetUOffset(float value)
{
    Set(m_UOffset, value);
}

void XUVModifier::SetVOffset(float value)
{
    Set(m_VOffset, value);
}

void XUVModifier::SetUScale(float value)
{
    Set(m_UScale, value);
}

void XUVModifier::SetVScale(float value)
{
    Set(m_VScale, value);
}

XBaseObject* XUVModifierDesc::Create() const
{
    return new XUVModifier;
}

XString XUVModifierDesc::GetClassNameW() const
{
    return u"XUVModifier";
}

uint32_t XUVModifierDesc::GetCategory() const
{
    return XCAT_MODIFIER;
}
