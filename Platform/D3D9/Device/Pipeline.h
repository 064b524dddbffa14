// The fixed-function pipeline of the software device: vertices are transformed and lit, primitives
// clipped, set up and sorted into screen tiles, and the tiles drawn in parallel by the device's
// thread pool. Internal to the device library.
#pragma once

#include "Platform/D3D9/Device/DeviceState.h"
#include "Platform/D3D9/Device/ThreadPool.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace Soft9
{
constexpr unsigned MaxTexStages = 4; // stages that can sample a texture in one draw
constexpr int TileSize = 64;
constexpr int SubPixelBits = 8;

// A vertex after transformation and lighting, in clip space.
struct ClipVertex
{
    float x, y, z, w;
    float diffuse[4]; // 0..255
    float specular[3];
    float tex[MaxTexStages][2]; // per sampling stage
    float pointSize;
    float pad[2];
};

constexpr unsigned MaxPlanes = 2 + 4 + 3 + 2 * MaxTexStages;

// A vertex in screen space with its planes' values (z, 1/w, attributes divided by w).
struct ScreenVertex
{
    float x, y;
    int64_t X, Y; // fixed point
    float v[MaxPlanes];
};

// One sampled texture as the pixel stage reads it: A8R8G8B8 texels of each level.
struct TextureView
{
    const uint32_t* texels[16]{};
    int width[16]{};
    int height[16]{};
    int levels = 0;
    int firstLevel = 0;
    DWORD addressU, addressV;
    uint32_t border;
    DWORD magFilter, minFilter, mipFilter;
    float lodBias;
    bool needsLod; // the level or the filter depends on the footprint
    bool wrapPow2; // wrapped in both directions with power-of-two sizes
};

struct StageSetup
{
    DWORD colorOp, colorArg0, colorArg1, colorArg2;
    DWORD alphaOp, alphaArg0, alphaArg1, alphaArg2;
    DWORD resultArg;
    uint32_t constant;
    int texSlot; // index into DrawSetup::textures, -1 without a texture
    // A part of a stage that reads the texture of a stage without one passes the current value on.
    bool skipColour, skipAlpha;
};

// Everything a draw's pixels depend on, taken from the device state when the draw starts.
struct DrawSetup
{
    // Target.
    uint8_t* colour = nullptr;
    size_t colourPitch = 0;
    D3DFORMAT colourFormat = D3DFMT_UNKNOWN;
    uint8_t* depth = nullptr;
    size_t depthPitch = 0;
    int depthKind = 0; // 0 none, 1 16-bit, 2 24 bits over stencil, 3 32-bit
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0; // inclusive pixel range
    float vpX = 0, vpY = 0, vpHalfW = 1, vpHalfH = 1, vpMinZ = 0, vpScaleZ = 1;

    // Pixel states.
    bool zTest = false, zWrite = false;
    DWORD zFunc = D3DCMP_LESSEQUAL;
    bool alphaTest = false;
    DWORD alphaFunc = D3DCMP_ALWAYS;
    int alphaRef = 0;
    bool blend = false, separateAlpha = false;
    DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO, blendOp = D3DBLENDOP_ADD;
    DWORD srcBlendAlpha = D3DBLEND_ONE, destBlendAlpha = D3DBLEND_ZERO, blendOpAlpha = D3DBLENDOP_ADD;
    uint32_t blendFactor = 0xFFFFFFFFu;
    uint32_t writeMask = 0xFFFFFFFFu;
    bool flat = false;
    bool specular = false;
    uint32_t textureFactor = 0xFFFFFFFFu;
    unsigned stageCount = 0;
    StageSetup stages[TextureStageCount];
    // The usual one-stage set-ups, done without the general stage machine: colour 1 diffuse,
    // 2 texture x diffuse, 3 texture; alpha 0 diffuse, 1 texture, 2 texture x diffuse; 0 = general.
    int quickColour = 0, quickAlpha = 0;
    int quickPath = 0; // triangles without the general pixel stage: 1 untextured, 2 point, 3 linear
    // The quick path blends: the source's alpha over the target, added, one blend for all channels.
    bool quickBlend = false;
    unsigned textureCount = 0;
    TextureView textures[MaxTexStages];
    bool pointSprite = false;
    bool lastPixel = true;
    DWORD fillMode = D3DFILL_SOLID;
    DWORD cullMode = D3DCULL_CCW;

    // Interpolated planes of a primitive: z, 1/w, diffuse rgba, [specular rgb], texture uv pairs.
    unsigned planeCount = 0;
    unsigned specularPlane = 0;
    unsigned texPlane = 0;

    // The textures sampled, held by the batch until its pixels are drawn.
    IUnknown* held[MaxTexStages]{};
};

// A primitive ready for the tiles. Planes follow the record (planeCount x 3 floats).
struct Prim
{
    uint8_t kind; // PrimTriangle, PrimLine, PrimPoint
    uint8_t xMajor;
    uint8_t lastPixel;
    uint8_t pad;
    uint32_t draw;                  // the draw it belongs to, in the order of the batch
    int32_t minX, minY, maxX, maxY; // pixels it may touch, inside the clip rectangle
    union
    {
        struct
        {
            int64_t a[3], b[3], c[3]; // edge functions a*x + b*y + c >= 0 inside
        } tri;
        struct
        {
            float x0, y0, x1, y1; // end points; major coordinates step from begin to end
            int32_t begin, end;
            // A wireframe triangle's edge: its depth plane is the triangle's, held within the
            // triangle's depths zLo..zHi.
            bool onFace;
            float zLo, zHi;
        } line;
        struct
        {
            float left, top, size;
        } point;
    };
    uint32_t flatDiffuse;
    uint32_t flatSpecular;
};
enum : uint8_t
{
    PrimTriangle,
    PrimLine,
    PrimPoint
};

// The scratch memory of one part of a draw (a range of its primitives), kept between draws.
// Grows without clearing what it adds: records are written whole as they are made.
class RecordArena
{
public:
    uint8_t* data() { return m_data.get(); }
    const uint8_t* data() const { return m_data.get(); }
    size_t size() const { return m_size; }
    void clear() { m_size = 0; }
    // Room for `bytes` more at the end; returns its offset.
    size_t Append(size_t bytes)
    {
        if (m_size + bytes > m_capacity)
        {
            size_t capacity = std::max<size_t>(m_capacity * 2, std::max<size_t>(m_size + bytes, 1u << 16));
            std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
            if (m_size)
                std::memcpy(grown.get(), m_data.get(), m_size);
            m_data = std::move(grown);
            m_capacity = capacity;
        }
        size_t at = m_size;
        m_size += bytes;
        return at;
    }
    void Shrink(size_t bytes) { m_size -= bytes; }

private:
    std::unique_ptr<uint8_t[]> m_data;
    size_t m_size = 0, m_capacity = 0;
};

struct PartBins
{
    std::vector<ClipVertex> vertices;
    std::vector<ScreenVertex> screen; // of vertices that need no clipping
    std::vector<uint16_t> codes;      // clip codes: guard band and planes low, view volume high
    RecordArena records;
    std::vector<std::vector<uint32_t>> tiles; // offsets of records per tile
};

// Fills the pixel part of `setup` from the state; false when there is nothing to draw into.
// The textures of the stages are decoded first (on the calling thread).
bool PrepareSetup(const DeviceState& state, DrawSetup& setup);

struct LightSetup
{
    DWORD type;
    float diffuse[3], specular[3], ambient[3];
    float position[3];  // camera space
    float direction[3]; // camera space, towards the light, unit length
    float range, att0, att1, att2, falloff, cosTheta, cosPhi;
};

// How a draw turns its vertices into clip space, taken from the state once per draw.
struct VertexProgram
{
    // Layout of the vertex.
    bool rhw = false;
    unsigned weights = 0;     // blend weights stored in the vertex
    bool byteIndices = false; // the last beta holds four matrix indices
    int indexOffset = -1;
    int normalOffset = -1, psizeOffset = -1, diffuseOffset = -1, specularOffset = -1;
    unsigned texSets = 0;
    int texOffset[8]{};
    unsigned texDim[8]{};

    // Transforms (row vectors): world-view of each blend matrix, its normal matrix, projection.
    unsigned blendMatrices = 1; // 1..4
    bool indexed = false;
    const float (*worldView)[16] = nullptr;
    const float (*normalMatrix)[9] = nullptr;
    float projection[16];

    // Lighting.
    bool lighting = false;
    bool normalize = false, localViewer = true, specular = false;
    unsigned lightCount = 0;
    LightSetup lights[8];
    float globalAmbient[3];
    float matDiffuse[4], matAmbient[4], matSpecular[4], matEmissive[4], power;
    int diffuseSource = 0, ambientSource = 0, specularSource = 0,
        emissiveSource = 0; // 0 material, 1 colour 1, 2 colour 2

    // Texture coordinates of each sampling stage: the set it reads and its transform.
    unsigned texOutputs = 0;
    unsigned texSource[MaxTexStages]{};
    bool texTransform[MaxTexStages]{};
    float texMatrix[MaxTexStages][16];

    // Points.
    float pointSize = 1, pointMin = 1, pointMax = 64, pointA = 1, pointB = 0, pointC = 0;
    bool pointScale = false;
    float viewportHeight = 1;
    // Pre-transformed vertices come back from the viewport into clip space.
    float vpX = 0, vpY = 0, vpHalfW = 1, vpHalfH = 1, vpMinZ = 0, vpScaleZ = 1;
};

// Builds the program of a draw. `matrices` holds room for 256 world-view and normal matrices.
void BuildVertexProgram(const DeviceState& state, const DrawSetup& setup, VertexProgram& program,
                        float (*worldView)[16], float (*normalMatrix)[9]);
// Transforms and lights vertices [first, end) of `call` into out[0 ...].
void ProcessVertices(const VertexProgram& program, const DrawCall& call, UINT first, UINT end,
                     ClipVertex* out);
// Draws are set up as they come and their primitives sorted into tiles; the tiles are drawn when
// the batch is flushed (before anything reads or changes what the batch draws into or reads).
class Pipeline
{
public:
    explicit Pipeline(ThreadPool& pool) : m_pool(pool) {}
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    // Sets up a validated call with the state as it stands; `setup` from PrepareSetup.
    void Draw(const DeviceState& state, const DrawCall& call, const DrawSetup& setup);
    // Draws the pixels of everything set up so far.
    void Flush();

private:
    friend struct DrawJob;
    friend struct FlushJob;
    ThreadPool& m_pool;
    std::vector<ClipVertex> m_vertices;
    std::vector<ScreenVertex> m_screen;
    std::vector<uint16_t> m_codes;
    std::vector<PartBins> m_parts;
    std::vector<std::unique_ptr<DrawSetup>> m_draws;
    uint32_t m_drawCount = 0;
    unsigned m_slotsUsed = 0;
    int m_tileCols = 0, m_tileRows = 0;
    int m_tileX0 = 0x7FFFFFFF, m_tileY0 = 0x7FFFFFFF, m_tileX1 = -1, m_tileY1 = -1;
    VertexProgram m_program;
    float m_worldView[256][16];
    float m_normalMatrix[256][9];
};
} // namespace Soft9
