#include "Engine/Geometry/XKeys.h"

#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XArrayChunks.h"

const XPositionKey XPositionKeys::DefaultKey;
const XRotationKey XRotationKeys::DefaultKey;
const XScaleKey XScaleKeys::DefaultKey;

int XKeys::FindIndex(uint32_t time, unsigned mode) const
{
    if (mode > AtOrAfter)
        return -1;
    const int count = static_cast<int>(m_Count);
    if (count < 10)
    {
        if (mode == Exact)
        {
            for (int i = 0; i < count; ++i)
                if (m_Data[i]->time == time)
                    return i;
            return -1;
        }
        if (mode == AtOrBefore)
        {
            for (int i = count - 1; i >= 0; --i)
                if (m_Data[i]->time <= time)
                    return i;
            return -1;
        }
        for (int i = 0; i < count; ++i)
            if (m_Data[i]->time >= time)
                return i;
        return -1;
    }
    int lo = 0;
    int hi = count - 1;
    while (lo <= hi)
    {
        int mid = (lo + hi) / 2;
        uint32_t t = m_Data[mid]->time;
        if (t == time)
            return mid;
        if (t < time)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    // Now hi is the nearest key below and lo the nearest above (either may be out of range).
    if (mode == Exact)
        return -1;
    if (mode == AtOrBefore)
        return hi;
    return lo < count ? lo : -1;
}

XKey* XKeys::FindKey(uint32_t time, unsigned mode) const
{
    int i = FindIndex(time, mode);
    return i < 0 ? nullptr : m_Data[i];
}

uint32_t XKeys::AddKey(XKey* key)
{
    uint32_t i = 0;
    while (i < m_Count && m_Data[i]->time < key->time)
        ++i;
    return Insert(i, key);
}

uint32_t XKeys::DeleteKeys(uint32_t from, uint32_t to)
{
    int first = FindIndex(from, AtOrAfter);
    if (first < 0)
        return 0;
    uint32_t count = 0;
    while (first + count < m_Count && m_Data[first + count]->time <= to)
        ++count;
    return count ? DeleteRange(static_cast<uint32_t>(first), count) : 0;
}

uint32_t XKeys::DeleteRange(uint32_t first, uint32_t count)
{
    if (first >= m_Count)
        return 0;
    if (count > m_Count - first)
        count = m_Count - first;
    for (uint32_t k = 0; k < count; ++k)
        Delete(first);
    return count;
}

void XKeys::Truncate(uint32_t length)
{
    for (int i = static_cast<int>(m_Count) - 1; i >= 0; --i)
    {
        if (m_Data[i]->time < length)
        {
            SetCount(static_cast<uint32_t>(i) + 1);
            return;
        }
    }
}

namespace
{
// The value of a track at a frame: the key at the frame, or the line between the keys around it.
// Before the first key the line starts at the kind's default key (frame 0).
template <class K> XVertex Interpolate(const XKeys& keys, uint32_t time, const K& defaultKey)
{
    if (keys.GetCount() == 0)
        return defaultKey.value;
    int i = keys.FindIndex(time, XKeys::AtOrAfter);
    if (i < 0)
        return static_cast<const K*>(keys.GetData()[keys.GetCount() - 1])->value;
    const K& key = *static_cast<const K*>(keys.GetData()[i]);
    if (key.time == time)
    {
        // Two keys at one frame (a damaged file): the later one holds, as it does after the frame.
        while (uint32_t(i) + 1 < keys.GetCount() && keys.GetData()[i + 1]->time == time)
            ++i;
        return static_cast<const K*>(keys.GetData()[i])->value;
    }
    // The search leaves prev before the frame and key after it, so the span is never 0.
    const K& prev = i > 0 ? *static_cast<const K*>(keys.GetData()[i - 1]) : defaultKey;
    const uint32_t span = key.time - prev.time;
    const float f = static_cast<float>(static_cast<long double>(time - prev.time) / span);
    return prev.value + (key.value - prev.value) * f;
}

template <class K> void SaveKeys(const XKeys& keys, XWriter& writer)
{
    writer.WriteU32(keys.GetCount());
    for (uint32_t i = 0; i < keys.GetCount(); ++i)
    {
        const K& key = *static_cast<const K*>(keys.GetData()[i]);
        writer.WriteU32(key.time);
        writer.WriteFloat(key.value.x);
        writer.WriteFloat(key.value.y);
        writer.WriteFloat(key.value.z);
    }
}

template <class K> void LoadKeys(XKeys& keys, XReader& reader)
{
    keys.Clear();
    const uint32_t count = XArrayChunks::ReadCount(reader, 16);
    keys.SetCapacity(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        uint32_t time;
        XVertex value;
        reader.ReadU32(time);
        reader.ReadFloat(value.x);
        reader.ReadFloat(value.y);
        reader.ReadFloat(value.z);
        keys.Add(new K(time, value));
    }
}
} // namespace

XVertex XPositionKeys::GetValue(uint32_t time) const
{
    return Interpolate(*this, time, DefaultKey);
}

void XPositionKeys::ApplyToMatrix(uint32_t time, XMatrix& matrix) const
{
    XVertex v = GetValue(time);
    XMatrix t;
    t.SetTranslation(v.x, v.y, v.z);
    matrix *= t;
}

void XPositionKeys::Save(XWriter& writer) const
{
    SaveKeys<XPositionKey>(*this, writer);
}

void XPositionKeys::Load(XReader& reader)
{
    LoadKeys<XPositionKey>(*this, reader);
}

XVertex XRotationKeys::GetValue(uint32_t time) const
{
    return Interpolate(*this, time, DefaultKey);
}

void XRotationKeys::ApplyToMatrix(uint32_t time, XMatrix& matrix) const
{
    XVertex v = GetValue(time);
    XMatrix r;
    r.SetRotation(v.x, v.y, v.z);
    matrix *= r;
}

void XRotationKeys::Save(XWriter& writer) const
{
    SaveKeys<XRotationKey>(*this, writer);
}

void XRotationKeys::Load(XReader& reader)
{
    LoadKeys<XRotationKey>(*this, reader);
}

XVertex XScaleKeys::GetValue(uint32_t time) const
{
    return Interpolate(*this, time, DefaultKey);
}

void XScaleKeys::ApplyToMatrix(uint32_t time, XMatrix& matrix) const
{
    XVertex v = GetValue(time);
    matrix.Scale(v.x, v.y, v.z);
}

void XScaleKeys::Save(XWriter& writer) const
{
    SaveKeys<XScaleKey>(*this, writer);
}

void XScaleKeys::Load(XReader& reader)
{
    LoadKeys<XScaleKey>(*this, reader);
}
