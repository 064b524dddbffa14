#include "App/SKITools.h"

#include "App/AppLogger.h"
#include "Components/XException.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XScene.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>

// Vertex records are copied from memory as the file stores them.
static_assert(std::endian::native == std::endian::little, "the .ski layout is little-endian");

namespace
{
// The unit as its messages name it.
constexpr const char* kUnit = "SKITools.cpp";

constexpr uint32_t kNameLimit = 4096;
// Faces are written as 16-bit indices.
constexpr uint32_t kMaxVertices = 65536;
constexpr uint32_t kVertexSize = 48;
constexpr uint32_t kTexVertexSize = 8;
constexpr uint32_t kWeightSize = 16;
constexpr uint32_t kFaceSize = 16;
// Copies and the replaced mesh go through one buffer of whole vertices and whole faces, small
// enough to stay in the cache and off the page-mapping path of big allocations.
constexpr uint32_t kWorkVertices = 1365;
constexpr uint32_t kWorkSize = kWorkVertices * kVertexSize;
constexpr uint32_t kWorkFaces = kWorkSize / 6;
const char kMagic[8] = {'M', 'O', 'X', 'B', 'I', 'K', 'S', 'A'};
// "MATERIAL: " and its terminating zero.
const char kMaterialTag[11] = "MATERIAL: ";
// A material: its tag, 68 bytes and a flag.
constexpr uint64_t kMaterialSize = 11 + 68 + 1;

[[noreturn]] void ThrowShortRead()
{
    throw "Stream reading error.";
}

// A doubtful value: say so and go on with it.
void Doubt(int line, const WCHAR* text)
{
    XDebug::AssertFailed(kUnit, line, text);
}

// Refuses, before any byte moves, a mesh whose arrays the copy would run past or whose indices
// would not survive the cut to 16 bits.
void CheckSource(const SkiSourceMesh& mesh)
{
    if (!mesh.NormalsEnabled)
        throw Exception(u"Экспорт невозможен, не найдены нормали!");
    if (!mesh.WeightsEnabled)
        throw Exception(u"Экспорт невозможен, не найдены веса!");
    const uint32_t count = mesh.VertexCount;
    if (count > kMaxVertices)
        throw Exception(u"Экспорт невозможен, в объекте более 65536 вершин!");

    const auto* faces = static_cast<const uint8_t*>(mesh.Faces);
    if (mesh.FaceCount > 0 && !faces)
        throw Exception(u"Экспорт невозможен, грань ссылается на несуществующую вершину!");
    for (uint32_t f = 0; f < mesh.FaceCount; ++f)
    {
        uint32_t corner[3];
        std::memcpy(corner, faces + uint64_t(f) * kFaceSize, sizeof(corner));
        if (corner[0] >= count || corner[1] >= count || corner[2] >= count)
            throw Exception(u"Экспорт невозможен, грань ссылается на несуществующую вершину!");
    }

    auto held = [](uint32_t n, const void* data) { return data ? n : 0u; };
    if (count > 0 && (!mesh.Positions || held(mesh.NormalCount, mesh.Normals) < count ||
                      held(mesh.TextureVertexCount, mesh.TextureVertices) < count ||
                      held(mesh.WeightCount, mesh.Weights) < count))
        throw Exception(u"Экспорт невозможен, нормалей, текстурных координат или весов меньше, чем вершин!");
}

class SkiCopy
{
public:
    SkiCopy(XStream* input, XStream* output) : m_In(input), m_Out(output), m_Work(new uint8_t[kWorkSize]) {}

    void Read(void* buffer, unsigned count) { m_In->ReadBuffer(buffer, count); }
    void Write(const void* buffer, unsigned count) { m_Out->WriteBuffer(buffer, count); }

    uint32_t ReadU32()
    {
        uint8_t b[4];
        Read(b, 4);
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    void WriteU32(uint32_t value)
    {
        uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        Write(b, 4);
    }

    // A {u32 length; bytes} name.
    void CopyName(const WCHAR* tooLong)
    {
        const uint32_t length = ReadU32();
        if (length >= kNameLimit)
            throw Exception(tooLong);
        Read(m_Name, length);
        WriteU32(length);
        Write(m_Name, length);
    }

    int64_t Remaining() const
    {
        const int64_t left = m_In->GetSize() - m_In->GetPosition();
        return left > 0 ? left : 0;
    }

    // A block must be there in full: a model cut short is an error, not a shorter model.
    void Copy(uint64_t count)
    {
        if (count > uint64_t(Remaining()))
            ThrowShortRead();
        while (count > 0)
        {
            const unsigned piece = unsigned(count < kWorkSize ? count : kWorkSize);
            Read(m_Work.get(), piece);
            Write(m_Work.get(), piece);
            count -= piece;
        }
    }
    void Skip(uint64_t count)
    {
        if (count > uint64_t(Remaining()))
            ThrowShortRead();
        m_In->SetPosition(m_In->GetPosition() + int64_t(count));
    }

    uint8_t* Work() { return m_Work.get(); }

private:
    XStream* m_In;
    XStream* m_Out;
    std::unique_ptr<uint8_t[]> m_Work;
    char m_Name[kNameLimit];
};

// The replaced skin mesh: counts, 48-byte vertices, then three 16-bit indices per face.
void WriteMesh(SkiCopy& copy, const SkiSourceMesh& mesh, const uint8_t* boneMap)
{
    const uint32_t count = mesh.VertexCount;
    copy.WriteU32(count);
    copy.WriteU32(uint32_t(uint64_t(mesh.FaceCount) * 3));

    const auto* texture = static_cast<const uint8_t*>(mesh.TextureVertices);
    const auto* weights = static_cast<const uint8_t*>(mesh.Weights);
    for (uint64_t first = 0; first < count; first += kWorkVertices)
    {
        const uint64_t last = std::min<uint64_t>(count, first + kWorkVertices);
        uint8_t* out = copy.Work();
        for (uint64_t v = first; v < last; ++v, out += kVertexSize)
        {
            std::memcpy(out, &mesh.Positions[v], 12);
            std::memcpy(out + 12, weights + v * kWeightSize, kWeightSize);
            if (boneMap)
                for (int b = 24; b < 28; ++b)
                    out[b] = boneMap[out[b]];
            std::memcpy(out + 28, &mesh.Normals[v], 12);
            std::memcpy(out + 40, texture + v * kTexVertexSize, kTexVertexSize);
        }
        copy.Write(copy.Work(), unsigned(last - first) * kVertexSize);
    }

    const auto* faces = static_cast<const uint8_t*>(mesh.Faces);
    for (uint64_t first = 0; first < mesh.FaceCount; first += kWorkFaces)
    {
        const uint64_t last = std::min<uint64_t>(mesh.FaceCount, first + kWorkFaces);
        uint8_t* out = copy.Work();
        for (uint64_t f = first; f < last; ++f)
        {
            uint32_t corner[3];
            std::memcpy(corner, faces + f * kFaceSize, sizeof(corner));
            for (uint32_t index : corner)
            {
                *out++ = uint8_t(index);
                *out++ = uint8_t(index >> 8);
            }
        }
        copy.Write(copy.Work(), unsigned(last - first) * 6);
    }
}

void Rewrite(SkiCopy& copy, const SkiSourceMesh& mesh, const uint8_t* boneMap, int32_t meshIndex)
{
    char magic[8];
    copy.Read(magic, 8);
    if (std::memcmp(magic, kMagic, 8) != 0)
        throw Exception(u"Wrong Magic!");
    copy.Write(magic, 8);

    const uint32_t version = copy.ReadU32();
    if (version != 8 && version != 9)
        throw Exception(u"Wrong unk00!");
    copy.WriteU32(version);

    const uint32_t meshCount = copy.ReadU32();
    copy.WriteU32(meshCount);

    const uint32_t unk02 = copy.ReadU32();
    if (unk02 != 0)
        throw Exception(u"Wrong unk02!");
    copy.WriteU32(unk02);

    const uint32_t unk03 = copy.ReadU32();
    if (unk03 != 0)
        throw Exception(u"Wrong unk03!");
    copy.WriteU32(unk03);

    const uint32_t unk04 = copy.ReadU32();
    if (unk04 != 0)
        Doubt(386, u"Wrong unk04!");
    copy.WriteU32(unk04);

    const uint32_t textureCount = copy.ReadU32();
    copy.WriteU32(textureCount);

    const uint32_t materialCount = copy.ReadU32();
    // Each texture name takes four bytes at least and each material 80: a count the rest of the
    // file cannot hold is damage, refused before a doubtful material could raise a box per entry.
    if (uint64_t(materialCount) * kMaterialSize + uint64_t(textureCount) * 4 > uint64_t(copy.Remaining()))
        ThrowShortRead();
    copy.WriteU32(materialCount);

    const uint32_t boneNameCount = copy.ReadU32();
    if (boneNameCount > 255)
        throw Exception(u"Wrong NumBoneNames!");
    copy.WriteU32(boneNameCount);

    const uint32_t unk07 = copy.ReadU32();
    if (unk07 != 0)
        throw Exception(u"Wrong unk07!");
    copy.WriteU32(unk07);

    const uint32_t unk08 = copy.ReadU32();
    if (unk08 != 0x23 && unk08 != 0x29 && unk08 != 0x2B)
        Doubt(421, u"Wrong unk08!");
    copy.WriteU32(unk08);

    uint8_t zero[60];
    copy.Read(zero, sizeof(zero));
    for (unsigned i = 0; i < sizeof(zero); ++i)
        if (zero[i] != 0)
            throw Exception(UnicodeString(u"Wrong unk_zero[") + UnicodeString(std::to_string(i).c_str()) +
                            UnicodeString(u"]"));
    copy.Write(zero, sizeof(zero));

    // Version 8 counts its bones but does not name them.
    if (version == 9)
        for (uint32_t i = 0; i < boneNameCount; ++i)
            copy.CopyName(u"BoneName too long!");

    for (uint32_t i = 0; i < textureCount; ++i)
        copy.CopyName(u"TextureFileName too long!");

    for (uint32_t i = 0; i < materialCount; ++i)
    {
        uint8_t tag[11];
        copy.Read(tag, sizeof(tag));
        if (std::memcmp(tag, kMaterialTag, sizeof(tag)) != 0)
            Doubt(470, u"Wrong MATERIAL!");
        copy.Write(tag, sizeof(tag));
        uint8_t body[68];
        copy.Read(body, sizeof(body));
        copy.Write(body, sizeof(body));
        uint8_t flag;
        copy.Read(&flag, 1);
        if (flag > 1)
            Doubt(483, u"Wrong unk10!");
        copy.Write(&flag, 1);
    }

    for (uint32_t i = 0; i < meshCount; ++i)
    {
        if (TheAppLogger)
            *TheAppLogger << LogCtl::NewEntry << "Loading mesh " << int(i) << "...";
        copy.CopyName(u"MeshNameSize too long!");
        uint8_t words[8];
        copy.Read(words, sizeof(words));
        copy.Write(words, sizeof(words));

        const uint32_t vertexCount = copy.ReadU32();
        const uint32_t indexCount = copy.ReadU32();
        const uint64_t bodySize = uint64_t(vertexCount) * kVertexSize + uint64_t(indexCount) * 2;
        if (int64_t(i) != meshIndex)
        {
            copy.WriteU32(vertexCount);
            copy.WriteU32(indexCount);
            copy.Copy(bodySize);
            continue;
        }
        copy.Skip(bodySize);
        WriteMesh(copy, mesh, boneMap);
    }

    const int64_t tailer = copy.Remaining();
    if (tailer > 0)
    {
        copy.Copy(uint64_t(tailer));
        Doubt(612, u"Unexpected data in file tailer!");
    }
}
} // namespace

static_assert(sizeof(XTextureVertex) == kTexVertexSize && std::is_trivially_copyable_v<XTextureVertex>);
static_assert(sizeof(XVertexWeight) == kWeightSize && offsetof(XVertexWeight, index) == 12);
static_assert(sizeof(XFace) == kFaceSize && offsetof(XFace, v) == 0);

SkiSourceMesh SkiSourceOf(const XMesh& mesh)
{
    SkiSourceMesh source;
    source.VertexCount = mesh.GetVertexCount();
    source.Positions = mesh.GetVertices();
    source.NormalsEnabled = mesh.GetNormalsEnabled();
    source.NormalCount = mesh.GetNormalCount();
    source.Normals = mesh.GetNormals();
    source.TextureVertexCount = mesh.GetTextureVertexCount();
    source.TextureVertices = mesh.GetTextureVertices();
    source.WeightsEnabled = mesh.GetWeightsEnabled();
    source.WeightCount = mesh.GetWeightCount();
    source.Weights = mesh.GetWeights();
    source.FaceCount = mesh.GetFaceCount();
    source.Faces = mesh.GetFaces();
    return source;
}

bool SkiReplaceMesh(const XMesh& mesh, XStream* input, XStream* output, const uint8_t* boneMap,
                    int32_t meshIndex)
{
    return SkiReplaceMesh(SkiSourceOf(mesh), input, output, boneMap, meshIndex);
}

bool SkiReplaceMesh(const SkiSourceMesh& mesh, XStream* input, XStream* output, const uint8_t* boneMap,
                    int32_t meshIndex)
{
    CheckSource(mesh);
    SkiCopy copy(input, output);
    try
    {
        Rewrite(copy, mesh, boneMap, meshIndex);
    }
    catch (const Exception& e)
    {
        ShowMessage(e.Message());
        return false;
    }
    return true;
}

bool SkiReplaceMesh(XScene* scene, XStream* input, XStream* output, const uint8_t* boneMap, int32_t meshIndex)
{
    if (scene->GetMeshCount() != 1)
        throw Exception(u"Экспорт невозможен, в сцене более 1 объекта!");
    auto* triMesh = dynamic_cast<XTriMesh*>(scene->GetMesh(0));
    if (!triMesh)
        throw Exception(u"Экспорт невозможен, в сцене не найден объект класса XTriMesh!");
    return SkiReplaceMesh(*triMesh->GetMesh(), input, output, boneMap, meshIndex);
}
