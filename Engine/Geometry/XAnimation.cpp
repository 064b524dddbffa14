#include "Engine/Geometry/XAnimation.h"

#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"

namespace
{
enum : uint32_t
{
    NameChunk = 0x36550001,
    PositionChunk = 0x36550003,
    RotationChunk = 0x36550004,
    ScaleChunk = 0x36550006,
    LengthChunk = 0x36550007,
};

template <class Keys, class Key> Key* KeyAt(Keys& keys, uint32_t time)
{
    if (XKey* key = keys.FindKey(time))
        return static_cast<Key*>(key);
    Key* key = new Key(time, keys.GetValue(time));
    keys.AddKey(key);
    return key;
}
} // namespace

void XAnimation::SetLength(uint32_t frames)
{
    if (frames < MinLength)
        frames = MinLength;
    if (frames > MaxLength)
        frames = MaxLength;
    if (frames == Length)
        return;
    Length = frames;
    PositionKeys.Truncate(Length);
    RotationKeys.Truncate(Length);
    ScaleKeys.Truncate(Length);
}

void XAnimation::AddPositionKey(uint32_t time, const XVertex& delta)
{
    if (time > Length)
        return;
    KeyAt<XPositionKeys, XPositionKey>(PositionKeys, time)->value += delta;
}

void XAnimation::AddRotationKey(uint32_t time, const XVertex& delta)
{
    if (time > Length)
        return;
    KeyAt<XRotationKeys, XRotationKey>(RotationKeys, time)->value += delta;
}

void XAnimation::AddScaleKey(uint32_t time, const XVertex& factors)
{
    if (time > Length)
        return;
    XVertex& v = KeyAt<XScaleKeys, XScaleKey>(ScaleKeys, time)->value;
    v.x *= factors.x;
    v.y *= factors.y;
    v.z *= factors.z;
}

void XAnimation::GetMatrix(uint32_t time, XMatrix& out) const
{
    XVertex p = PositionKeys.GetValue(time);
    XVertex r = RotationKeys.GetValue(time);
    XVertex s = ScaleKeys.GetValue(time);
    XMatrix t;
    t.SetTranslation(p.x, p.y, p.z);
    XMatrix rot;
    rot.SetRotation(r.x, r.y, r.z);
    XMatrix scale;
    scale.SetScale(s.x, s.y, s.z);
    out = (t * rot) * scale;
}

void XAnimation::Save(XWriter& writer) const
{
    writer.BeginChunk(ChunkId);
    writer.WriteChunkString(NameChunk, Name);
    writer.BeginChunk(PositionChunk);
    PositionKeys.Save(writer);
    writer.EndChunk();
    writer.BeginChunk(RotationChunk);
    RotationKeys.Save(writer);
    writer.EndChunk();
    writer.BeginChunk(ScaleChunk);
    ScaleKeys.Save(writer);
    writer.EndChunk();
    writer.WriteChunkU32(LengthChunk, Length);
    writer.EndChunk();
}

void XAnimation::Load(XReader& reader)
{
    if (reader.GetChunkId() != ChunkId)
        return;
    Name = XString();
    Length = 100;
    PositionKeys.Clear();
    RotationKeys.Clear();
    ScaleKeys.Clear();
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case NameChunk:
            // Bounded by what the chunk holds, not by a length of its own.
            reader.ReadString(Name, 0xFFFFFFFFu);
            break;
        case PositionChunk:
            PositionKeys.Load(reader);
            break;
        case RotationChunk:
            RotationKeys.Load(reader);
            break;
        case ScaleChunk:
            ScaleKeys.Load(reader);
            break;
        case LengthChunk:
        {
            uint32_t frames;
            XArrayChunks::ReadU32(reader, frames);
            SetLength(frames);
            break;
        }
        default:
            break;
        }
        reader.EndChunk();
    }
}
