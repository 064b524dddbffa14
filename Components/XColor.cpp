#include "Components/XColor.h"

namespace
{
uint32_t ChannelToByte(float channel)
{
    // The product is taken in single precision, so 0.999 gives 254 and 1.0 gives 255.
    float v = channel * 255.0f;
    // Negative products and NaN would otherwise truncate to arbitrary low bytes.
    if (!(v >= 0.0f))
        return 0;
    if (v > 255.0f)
        return 255;
    return static_cast<uint32_t>(v) & 0xFF;
}

float ByteToChannel(uint32_t byte)
{
    // Extended precision, then rounded once to the float.
    return static_cast<float>(static_cast<long double>(byte) * (1.0L / 255.0L));
}
} // namespace

XColor::XColor(const D3DCOLORVALUE& value)
    : m_Argb(ChannelToByte(value.a) << 24 | ChannelToByte(value.r) << 16 | ChannelToByte(value.g) << 8 |
             ChannelToByte(value.b))
{
}

D3DCOLORVALUE XColor::ToColorValue() const
{
    D3DCOLORVALUE value;
    value.r = ByteToChannel(m_Argb >> 16 & 0xFF);
    value.g = ByteToChannel(m_Argb >> 8 & 0xFF);
    value.b = ByteToChannel(m_Argb & 0xFF);
    value.a = ByteToChannel(m_Argb >> 24);
    return value;
}
