// The named animations of a scene node. Names need not be unique: look-ups take the first match.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XPtrArray.h"
#include "Engine/Geometry/XAnimation.h"

#include <cstdint>

class XReader;
class XWriter;

class XAnimationSet
{
public:
    static constexpr uint32_t ChunkId = 0x36560000;

    XAnimationSet() = default;
    XAnimationSet(const XAnimationSet&) = delete;
    XAnimationSet& operator=(const XAnimationSet&) = delete;
    virtual ~XAnimationSet() = default;

    uint32_t GetAnimationCount() const { return m_Animations.GetCount(); }
    // An index at or past the count: XException "Out of range.".
    XAnimation* GetAnimation(uint32_t index) const { return m_Animations[index]; }
    XAnimation* FindAnimation(const XString& name) const;
    int IndexOfAnimation(const XString& name) const;
    // The set owns the animation from now on; returns its index.
    uint32_t AddAnimation(XAnimation* animation) { return m_Animations.Add(animation); }
    // Deletes every animation.
    void ClearAnimations() { m_Animations.Clear(); }
    // Deletes the animation at the index; false (and nothing deleted) past the count. A node
    // playing it must let go of it first.
    bool DeleteAnimation(uint32_t index) { return m_Animations.Delete(index); }

    // Writes the whole chunk 0x36560000, also when the set is empty.
    virtual void Save(XWriter& writer) const;
    // The reader stands in a chunk; only 0x36560000 is read, others are left alone.
    virtual void Load(XReader& reader);

protected:
    XPtrOwnArray<XAnimation, 4> m_Animations;
};
