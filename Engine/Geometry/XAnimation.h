// A named key-frame animation: position, rotation and scale tracks over a length in frames.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XMatrix.h"
#include "Engine/Geometry/XKeys.h"

#include <cstdint>

class XReader;
class XWriter;

class XAnimation
{
public:
    static constexpr uint32_t ChunkId = 0x36550000;
    static constexpr uint32_t MinLength = 1;
    static constexpr uint32_t MaxLength = 10000;

    XAnimation() = default;
    XAnimation(const XAnimation&) = delete;
    XAnimation& operator=(const XAnimation&) = delete;
    virtual ~XAnimation() = default;

    // Clamped to [1, 10000]; a changed length truncates the tracks to it.
    void SetLength(uint32_t frames);
    uint32_t GetLength() const { return Length; }

    // Find or make the key at the frame (made at the track's value there, so nothing jumps), then
    // add the offset or angles, or multiply by the factors. Frames past the length are ignored.
    void AddPositionKey(uint32_t time, const XVertex& delta);
    void AddRotationKey(uint32_t time, const XVertex& delta);
    void AddScaleKey(uint32_t time, const XVertex& factors);

    // Translation x rotation x scale at the frame.
    void GetMatrix(uint32_t time, XMatrix& out) const;

    // Writes the whole chunk 0x36550000.
    virtual void Save(XWriter& writer) const;
    // The reader stands in a chunk; only 0x36550000 is read, others are left alone.
    virtual void Load(XReader& reader);

    XString Name;
    uint32_t Length = 100;
    XPositionKeys PositionKeys;
    XRotationKeys RotationKeys;
    XScaleKeys ScaleKeys;
};
