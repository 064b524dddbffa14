#include "Engine/Scene/XBaseMaterial.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Scene/XClassIds.h"

using VarUtils::XVariant;

namespace
{
const XPropertyDesc kProperties[] = {
    {XBaseMaterial::PidIndex, u"bitu32", u"Index"},
};
constexpr unsigned kPropertyCount = sizeof kProperties / sizeof kProperties[0];
} // namespace

XBaseMaterial::XBaseMaterial()
{
    SetName(MakeName());
}

XBaseMaterial::~XBaseMaterial()
{
    try
    {
        SetScene(nullptr);
    }
    catch (...)
    {
    }
}

uint32_t XBaseMaterial::GetClassId() const
{
    return ClassId::BaseMaterial;
}

XString XBaseMaterial::GetClassNameW() const
{
    return u"XBaseMaterial";
}

void XBaseMaterial::Save(XScene* scene, XWriter& writer)
{
    XBaseObject::Save(scene, writer);
    writer.BeginChunk(ClassId::BaseMaterial);
    writer.WriteChunkU32(PidIndex, m_Index);
    writer.EndChunk();
}

void XBaseMaterial::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::BaseMaterial)
    {
        XBaseObject::Load(scene, reader);
        return;
    }
    m_Index = NoIndex;
    while (reader.NextChunk())
    {
        if (reader.GetChunkId() == PidIndex)
        {
            // A chunk too short for its value would read into whatever follows it.
            uint32_t index = 0;
            if (reader.GetBytesLeft() < 4 || reader.Read(&index, 4) != 4)
                throw FileUtils::XIOError();
            m_Index = index;
        }
        reader.EndChunk();
    }
}

unsigned XBaseMaterial::GetPropertyCount() const
{
    return kPropertyCount + XBaseObject::GetPropertyCount();
}

const XPropertyDesc* XBaseMaterial::GetPropertyDesc(unsigned index) const
{
    if (index < kPropertyCount)
        return &kProperties[index];
    return XBaseObject::GetPropertyDesc(index - kPropertyCount);
}

void XBaseMaterial::GetPropertyValue(unsigned id, XVariant& value)
{
    if (id == PidIndex)
    {
        value = static_cast<unsigned>(m_Index);
        return;
    }
    XBaseObject::GetPropertyValue(id, value);
}

void XBaseMaterial::SetPropertyValue(unsigned id, const XVariant& value)
{
    if (id == PidIndex)
        return;
    XBaseObject::SetPropertyValue(id, value);
}
