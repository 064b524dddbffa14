// Everything the software device holds, in plain structures: the pipeline reads these directly
// when it turns a draw call into pixels.
#pragma once

#include "Platform/D3D9/D3D9.h"

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace Soft9
{
constexpr UINT RenderStateCount = 256;
constexpr UINT TextureStageCount = 8;
constexpr UINT StageStateCount = 33;
constexpr UINT SamplerCount = 16;
constexpr UINT SamplerStateCount = 14;
constexpr UINT TransformCount = 512; // 0-255 view, projection, texture; 256-511 world matrices
constexpr UINT ClipPlaneCount = 6;
constexpr UINT MaxTextureSize = 16384;

// The texels of one surface or texture level: rows `pitch` bytes apart (blocks for DXT).
struct PixelStore
{
    D3DFORMAT format = D3DFMT_UNKNOWN;
    UINT width = 0;
    UINT height = 0;
    UINT pitch = 0;
    UINT rows = 0;
    std::vector<uint8_t> bits;
    uint32_t version = 0; // changes whenever the texels may have changed (locks, drawing)

    void Allocate(D3DFORMAT f, UINT w, UINT h);
};

struct LightSlot
{
    D3DLIGHT9 light;
    bool enabled = false;
};

struct StreamSource
{
    IDirect3DVertexBuffer9* buffer = nullptr;
    UINT offset = 0;
    UINT stride = 0;
};

class SurfaceImpl;
class TextureImpl;

struct DeviceState
{
    std::array<DWORD, RenderStateCount> renderStates{};
    std::array<std::array<DWORD, StageStateCount>, TextureStageCount> stageStates{};
    std::array<std::array<DWORD, SamplerStateCount>, SamplerCount> samplerStates{};
    std::array<D3DMATRIX, TransformCount> transforms{};
    std::map<DWORD, LightSlot> lights; // set lights by index; indices need not be dense
    D3DMATERIAL9 material{};
    D3DVIEWPORT9 viewport{};
    std::array<std::array<float, 4>, ClipPlaneCount> clipPlanes{};
    DWORD fvf = 0;
    StreamSource stream0;
    IDirect3DIndexBuffer9* indices = nullptr;
    IDirect3DVertexShader9* vertexShader = nullptr;
    IDirect3DPixelShader9* pixelShader = nullptr;
    std::array<TextureImpl*, SamplerCount> textures{}; // each holds a reference
    SurfaceImpl* renderTarget = nullptr;
    SurfaceImpl* depthStencil = nullptr;
    bool inScene = false;

    // The state a device starts with and returns to after Reset; `autoDepth` sets ZENABLE.
    void SetDefaults(bool autoDepth, UINT backBufferWidth, UINT backBufferHeight);
};

// One validated draw, as the pipeline receives it: the vertices are read through `vertices`
// with `stride`, indices (if any) are already checked to lie inside the vertex range.
struct DrawCall
{
    D3DPRIMITIVETYPE type;
    UINT primitiveCount;
    UINT vertexCount; // vertices addressable from `vertices`
    const uint8_t* vertices;
    UINT stride;
    const void* indices; // null for a non-indexed draw
    D3DFORMAT indexFormat;
    UINT indexCount;
    UINT firstVertex = 0; // the lowest vertex an indexed draw may name
};

// Vertices a primitive type needs for `count` primitives.
UINT VerticesForPrimitives(D3DPRIMITIVETYPE type, UINT count);
} // namespace Soft9
