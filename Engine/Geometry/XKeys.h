// Key-frame tracks: keys sorted by frame number, one value per key, linear interpolation between
// them. A track owns its keys.
#pragma once

#include "Components/XMatrix.h"
#include "Components/XPtrArray.h"
#include "Components/XVertex.h"

#include <cstdint>

class XReader;
class XWriter;

struct XKey
{
    uint32_t time = 0; // frame number

    XKey() = default;
    explicit XKey(uint32_t t) : time(t) {}
    // Tracks delete their keys through this base.
    virtual ~XKey() = default;
};

struct XPositionKey : XKey
{
    XVertex value{0, 0, 0};

    XPositionKey() = default;
    XPositionKey(uint32_t t, const XVertex& v) : XKey(t), value(v) {}
};

// Euler angles in radians about x, y and z.
struct XRotationKey : XKey
{
    XVertex value{0, 0, 0};

    XRotationKey() = default;
    XRotationKey(uint32_t t, const XVertex& v) : XKey(t), value(v) {}
};

struct XScaleKey : XKey
{
    XVertex value{1, 1, 1};

    XScaleKey() = default;
    XScaleKey(uint32_t t, const XVertex& v) : XKey(t), value(v) {}
};

// Keys in ascending time, one per time, as long as the track is edited through these operations
// (a loaded track keeps the order of its file).
class XKeys : public XPtrOwnArray<XKey, 8>
{
public:
    XKeys() = default;
    virtual ~XKeys() = default;

    // Modes of FindIndex and FindKey.
    enum : unsigned
    {
        Exact = 0,      // the key at exactly this time
        AtOrBefore = 1, // the last key at or before it
        AtOrAfter = 2,  // the first key at or after it
    };

    // Index of the key the mode asks for, or -1 (also for an unknown mode). Below 10 keys a
    // linear scan, otherwise a binary search; both give the same answer on a sorted track.
    int FindIndex(uint32_t time, unsigned mode) const;
    XKey* FindKey(uint32_t time, unsigned mode) const;
    XKey* FindKey(uint32_t time) const { return FindKey(time, Exact); }

    // Takes ownership; inserts before the first key at or after the key's time. Returns its index.
    uint32_t AddKey(XKey* key);
    // Deletes the keys with from <= time <= to; returns how many went.
    uint32_t DeleteKeys(uint32_t from, uint32_t to);
    // Deletes count keys from index first, cut at the end; returns how many went.
    uint32_t DeleteRange(uint32_t first, uint32_t count);
    // Deletes every key after the last one before `length`; a track with no key before it is
    // left as it is.
    void Truncate(uint32_t length);

    XKey* GetKey(uint32_t index) const { return (*this)[index]; }

    // matrix := matrix x (this track's transform at the frame).
    virtual void ApplyToMatrix(uint32_t time, XMatrix& matrix) const = 0;
    // u32 count, then {u32 time; float x, y, z} per key.
    virtual void Save(XWriter& writer) const = 0;
    // Replaces the keys with the list at the reader's position, in file order. A count whose
    // keys do not fit in the open chunk: FileUtils::XIOError before any key is made.
    virtual void Load(XReader& reader) = 0;
};

class XPositionKeys : public XKeys
{
public:
    // (0, 0, 0) for an empty track.
    XVertex GetValue(uint32_t time) const;
    XPositionKey* GetKey(uint32_t index) const { return static_cast<XPositionKey*>(XKeys::GetKey(index)); }
    void ApplyToMatrix(uint32_t time, XMatrix& matrix) const override;
    void Save(XWriter& writer) const override;
    void Load(XReader& reader) override;

    static const XPositionKey DefaultKey;
};

class XRotationKeys : public XKeys
{
public:
    // (0, 0, 0) for an empty track; angles interpolate one by one.
    XVertex GetValue(uint32_t time) const;
    XRotationKey* GetKey(uint32_t index) const { return static_cast<XRotationKey*>(XKeys::GetKey(index)); }
    void ApplyToMatrix(uint32_t time, XMatrix& matrix) const override;
    void Save(XWriter& writer) const override;
    void Load(XReader& reader) override;

    static const XRotationKey DefaultKey;
};

class XScaleKeys : public XKeys
{
public:
    // (1, 1, 1) for an empty track.
    XVertex GetValue(uint32_t time) const;
    XScaleKey* GetKey(uint32_t index) const { return static_cast<XScaleKey*>(XKeys::GetKey(index)); }
    void ApplyToMatrix(uint32_t time, XMatrix& matrix) const override;
    void Save(XWriter& writer) const override;
    void Load(XReader& reader) override;

    static const XScaleKey DefaultKey;
};
