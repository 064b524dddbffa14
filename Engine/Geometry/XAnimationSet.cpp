#include "Engine/Geometry/XAnimationSet.h"

#include "Components/XReader.h"
#include "Components/XWriter.h"

namespace
{
constexpr uint32_t AnimationChunk = 0x36560001;
}

XAnimation* XAnimationSet::FindAnimation(const XString& name) const
{
    int i = IndexOfAnimation(name);
    return i < 0 ? nullptr : m_Animations.GetData()[i];
}

int XAnimationSet::IndexOfAnimation(const XString& name) const
{
    for (uint32_t i = 0; i < m_Animations.GetCount(); ++i)
        if (m_Animations.GetData()[i]->Name == name)
            return static_cast<int>(i);
    return -1;
}

void XAnimationSet::Save(XWriter& writer) const
{
    writer.BeginChunk(ChunkId);
    for (uint32_t i = 0; i < m_Animations.GetCount(); ++i)
    {
        writer.BeginChunk(AnimationChunk);
        m_Animations.GetData()[i]->Save(writer);
        writer.EndChunk();
    }
    writer.EndChunk();
}

void XAnimationSet::Load(XReader& reader)
{
    if (reader.GetChunkId() != ChunkId)
        return;
    m_Animations.Clear();
    while (reader.NextChunk())
    {
        if (reader.GetChunkId() == AnimationChunk)
        {
            XAnimation* animation = new XAnimation;
            m_Animations.Add(animation);
            while (reader.NextChunk())
            {
                animation->Load(reader);
                reader.EndChunk();
            }
        }
        reader.EndChunk();
    }
}
