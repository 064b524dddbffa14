// Fuzz target: the .ski rewrite over an arbitrary file. The first byte picks the skin mesh to
// replace (none, the first, second or third) and whether bones are mapped; a small mesh of ours
// goes in its place. A bad file must end in its message or the stream's narrow texts, never a
// read outside the data, a hang or an unbounded allocation. A file the rewrite accepted must be
// accepted again and copied unchanged when nothing is replaced.
#include "tests/fuzz/FuzzInput.h"
#include "App/PwPatchEntry.h"
#include "App/SKITools.h"
#include "Components/XMemoryStream.h"
#include "Platform/Win32/Windows.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
struct Weight
{
    float weight[3];
    uint8_t bone[4];
};

struct Face
{
    uint32_t v[3];
    uint32_t material;
};

// A square of two triangles with every channel the rewrite needs.
SkiSourceMesh Square()
{
    static const XVertex positions[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    static const XVertex normals[4] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    static const float uv[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    static const Weight weights[4] = {{{1, 0, 0}, {0, 1, 2, 3}},
                                      {{0.5f, 0.5f, 0}, {4, 11, 0, 0}},
                                      {{0.2f, 0.3f, 0.4f}, {12, 34, 200, 255}},
                                      {{0, 0, 0}, {7, 8, 9, 10}}};
    static const Face faces[2] = {{{0, 1, 2}, 0}, {{0, 2, 3}, 0}};
    SkiSourceMesh mesh;
    mesh.VertexCount = 4;
    mesh.Positions = positions;
    mesh.NormalsEnabled = true;
    mesh.NormalCount = 4;
    mesh.Normals = normals;
    mesh.TextureVertexCount = 4;
    mesh.TextureVertices = uv;
    mesh.WeightsEnabled = true;
    mesh.WeightCount = 4;
    mesh.Weights = weights;
    mesh.FaceCount = 2;
    mesh.Faces = faces;
    return mesh;
}

std::vector<uint8_t> Bytes(XMemoryStream& stream)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(stream.GetSize()));
    stream.SetPosition(0);
    if (!bytes.empty())
        stream.Read(bytes.data(), static_cast<unsigned>(bytes.size()));
    return bytes;
}

// The rewrite's result, or false when it refused the file.
bool Rewrite(const std::vector<uint8_t>& file, const uint8_t* boneMap, int32_t meshIndex, std::vector<uint8_t>& out)
{
    XMemoryStream input(0, 0);
    if (!file.empty())
        input.Write(file.data(), static_cast<unsigned>(file.size()));
    input.SetPosition(0);
    XMemoryStream output(0, 0);
    bool done = false;
    try
    {
        done = SkiReplaceMesh(Square(), &input, &output, boneMap, meshIndex);
    }
    catch (const char*)
    {
        done = false;
    }
    out = Bytes(output);
    return done;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!QuietFuzzInput(size))
        return 0;
    const int32_t meshIndex = static_cast<int32_t>(data[0] & 3) - 1;
    const uint8_t* boneMap = data[0] & 4 ? PwBoneMap : nullptr;
    std::vector<uint8_t> file(data + 1, data + size), rebuilt;
    if (!Rewrite(file, boneMap, meshIndex, rebuilt))
        return 0;
    std::vector<uint8_t> copied;
    if (!Rewrite(rebuilt, nullptr, -1, copied) || copied != rebuilt)
        abort();
    return 0;
}
