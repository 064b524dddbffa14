#include "tests/support/SkiGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace SkiGen
{
namespace
{
// SplitMix64: the same numbers on every machine.
class Random
{
public:
    explicit Random(uint64_t seed) : m_State(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    uint64_t Next()
    {
        uint64_t z = (m_State += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [lo, hi].
    uint32_t Range(uint32_t lo, uint32_t hi)
    {
        return hi <= lo ? lo : lo + uint32_t(Next() % (uint64_t(hi) - lo + 1));
    }
    // In [0, 1).
    float Unit() { return float(Next() >> 40) / float(1u << 24); }

private:
    uint64_t m_State;
};

class Writer
{
public:
    explicit Writer(Image& image) : m_Image(image) {}

    void Bytes(const std::string& name, const void* data, size_t size)
    {
        m_Image.Fields.push_back({m_Image.Bytes.size(), size, name});
        const uint8_t* p = static_cast<const uint8_t*>(data);
        m_Image.Bytes.insert(m_Image.Bytes.end(), p, p + size);
    }
    void U32(const std::string& name, uint32_t value)
    {
        uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        Bytes(name, b, 4);
    }
    void Name(const std::string& name, const std::string& text)
    {
        U32(name + ".length", uint32_t(text.size()));
        Bytes(name + ".bytes", text.data(), text.size());
    }

private:
    Image& m_Image;
};

void PutU32(uint8_t* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(value >> (8 * i));
}

void PutFloat(uint8_t* p, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutU32(p, bits);
}

const char* const kBoneNames[] = {
    "Bip01",           "Bip01 Pelvis",  "Bip01 Spine",      "Bip01 Spine1",
    "Bip01 Neck",      "Bip01 Head",    "Bip01 L Clavicle", "Bip01 L UpperArm",
    "Bip01 L Forearm", "Bip01 L Hand",  "Bip01 R Clavicle", "Bip01 R UpperArm",
    "Bip01 R Forearm", "Bip01 R Hand",  "Bip01 L Thigh",    "Bip01 L Calf",
    "Bip01 L Foot",    "Bip01 R Thigh", "Bip01 R Calf",     "Bip01 R Foot",
};
const char* const kParts[] = {"body", "head", "hair", "hand", "leg", "cloak", "belt", "boot"};

std::string TextureName(Random& random, uint32_t i)
{
    std::string name = "Models\\Players\\Textures\\";
    name += kParts[random.Range(0, 7)];
    name += '_';
    name += std::to_string(i);
    name += random.Range(0, 3) == 0 ? ".tga" : ".dds";
    return name;
}

Material MakeMaterial(Random& random)
{
    Material material;
    std::memcpy(material.Tag.data(), "MATERIAL: ", 10);
    material.Tag[10] = 0;
    // Diffuse, ambient, specular, emissive colours and a power, as floats.
    for (size_t i = 0; i + 4 <= material.Body.size(); i += 4)
        PutFloat(material.Body.data() + i, i / 4 == 16 ? 10.0f + 40.0f * random.Unit() : random.Unit());
    material.Flag = uint8_t(random.Range(0, 1));
    return material;
}
} // namespace

Mesh MakeMesh(uint64_t seed, uint32_t vertexCount, uint32_t maxBones, const std::string& name)
{
    Random random(seed);
    Mesh mesh;
    mesh.Name = name;
    mesh.Word1 = random.Range(0, 5);
    mesh.Word2 = random.Range(0, 5);

    // A tube of columns closed around; the last row may be partial, so that the count is exact.
    const uint32_t total = std::max<uint32_t>(vertexCount, 6);
    const uint32_t columns = std::max<uint32_t>(3, uint32_t(std::sqrt(double(total))));
    const uint32_t rows = (total + columns - 1) / columns;
    const float kTwoPi = 6.28318530718f;
    const float radius = 0.2f + random.Unit();
    const float height = 0.5f + 2.0f * random.Unit();
    maxBones = std::max<uint32_t>(1, std::min<uint32_t>(maxBones, 256));

    for (uint32_t i = 0; i < total; ++i)
    {
        const uint32_t r = i / columns, c = i % columns;
        Vertex v;
        float angle = kTwoPi * float(c) / float(columns);
        float nx = std::cos(angle) + 0.1f * (random.Unit() - 0.5f);
        float ny = 0.3f * (random.Unit() - 0.5f);
        float nz = std::sin(angle) + 0.1f * (random.Unit() - 0.5f);
        float length = std::sqrt(nx * nx + ny * ny + nz * nz);
        v.Normal[0] = nx / length;
        v.Normal[1] = ny / length;
        v.Normal[2] = nz / length;
        v.Position[0] = radius * std::cos(angle);
        v.Position[1] = height * float(r) / float(rows - 1);
        v.Position[2] = radius * std::sin(angle);
        v.U = float(c) / float(columns - 1);
        v.V = float(r) / float(rows - 1);

        // 1 to 4 bones; weights sum to 1, the fourth is implied.
        uint32_t bones = random.Range(1, 4);
        float w[4] = {};
        float sum = 0;
        for (uint32_t b = 0; b < bones; ++b)
            sum += (w[b] = 0.05f + random.Unit());
        for (uint32_t b = 0; b < bones; ++b)
        {
            w[b] /= sum;
            v.Bone[b] = uint8_t(random.Range(0, maxBones - 1));
        }
        std::copy(w, w + 3, v.Weight);
        mesh.Vertices.push_back(v);
    }

    for (uint32_t r = 0; r + 1 < rows; ++r)
        for (uint32_t c = 0; c < columns; ++c)
        {
            uint32_t a = r * columns + c;
            uint32_t b = r * columns + (c + 1) % columns;
            uint32_t d = (r + 1) * columns + c;
            uint32_t e = (r + 1) * columns + (c + 1) % columns;
            if (d >= total || e >= total)
                continue;
            for (uint32_t index : {a, d, b, b, d, e})
                mesh.Indices.push_back(uint16_t(index));
        }
    return mesh;
}

Model MakeModel(const Options& options)
{
    Random random(options.Seed);
    Model model;
    model.Version = options.Version;
    model.Unk08 = std::array<uint32_t, 3>{0x23, 0x29, 0x2B}[random.Range(0, 2)];

    uint32_t bones = random.Range(1, std::min<uint32_t>(options.MaxBones, 255));
    for (uint32_t i = 0; i < bones; ++i)
    {
        std::string name = kBoneNames[i % (sizeof(kBoneNames) / sizeof(kBoneNames[0]))];
        if (i >= sizeof(kBoneNames) / sizeof(kBoneNames[0]))
        {
            name += ' ';
            name += std::to_string(i);
        }
        model.BoneNames.push_back(name);
    }
    model.NumBoneNames = bones;
    // A version 8 file counts its bones but does not name them.
    if (model.Version == 8)
        model.BoneNames.clear();

    uint32_t textures = random.Range(0, options.MaxTextures);
    for (uint32_t i = 0; i < textures; ++i)
        model.TextureNames.push_back(TextureName(random, i));
    model.NumTextures = textures;

    uint32_t materials = random.Range(1, std::max<uint32_t>(1, options.MaxMaterials));
    for (uint32_t i = 0; i < materials; ++i)
        model.Materials.push_back(MakeMaterial(random));
    model.NumMaterials = materials;

    uint32_t meshes = random.Range(options.MinMeshes, options.MaxMeshes);
    for (uint32_t i = 0; i < meshes; ++i)
    {
        std::string name = std::string(kParts[random.Range(0, 7)]) + std::to_string(i);
        uint32_t vertices = random.Range(options.MinVertices, options.MaxVertices);
        model.Meshes.push_back(MakeMesh(random.Next(), vertices, bones, name));
    }
    model.NumSkinMeshes = meshes;
    return model;
}

std::vector<uint8_t> MeshBody(const Mesh& mesh)
{
    std::vector<uint8_t> bytes(mesh.Vertices.size() * kVertexSize + mesh.Indices.size() * 2);
    uint8_t* p = bytes.data();
    for (const Vertex& v : mesh.Vertices)
    {
        for (int i = 0; i < 3; ++i)
            PutFloat(p + 4 * i, v.Position[i]);
        for (int i = 0; i < 3; ++i)
            PutFloat(p + 12 + 4 * i, v.Weight[i]);
        std::memcpy(p + 24, v.Bone, 4);
        for (int i = 0; i < 3; ++i)
            PutFloat(p + 28 + 4 * i, v.Normal[i]);
        PutFloat(p + 40, v.U);
        PutFloat(p + 44, v.V);
        p += kVertexSize;
    }
    for (uint16_t index : mesh.Indices)
    {
        p[0] = uint8_t(index);
        p[1] = uint8_t(index >> 8);
        p += 2;
    }
    return bytes;
}

std::vector<uint8_t> WithMeshReplaced(Model model, size_t index, Mesh source, const uint8_t* boneMap)
{
    if (boneMap)
        for (Vertex& v : source.Vertices)
            for (uint8_t& bone : v.Bone)
                bone = boneMap[bone];
    model.Meshes.at(index).Vertices = std::move(source.Vertices);
    model.Meshes.at(index).Indices = std::move(source.Indices);
    return Write(model).Bytes;
}

Image Write(const Model& model)
{
    Image image;
    Writer out(image);
    out.Bytes("header.magic", model.Magic.data(), 8);
    out.U32("header.unk00", model.Version);
    out.U32("header.NumSkinMeshes", model.NumSkinMeshes);
    out.U32("header.unk02", model.Unk02);
    out.U32("header.unk03", model.Unk03);
    out.U32("header.unk04", model.Unk04);
    out.U32("header.NumTextures", model.NumTextures);
    out.U32("header.NumMaterials", model.NumMaterials);
    out.U32("header.NumBoneNames", model.NumBoneNames);
    out.U32("header.unk07", model.Unk07);
    out.U32("header.unk08", model.Unk08);
    out.Bytes("header.unk_zero", model.UnkZero.data(), model.UnkZero.size());

    if (model.Version == 9)
        for (size_t i = 0; i < model.BoneNames.size(); ++i)
            out.Name("bone[" + std::to_string(i) + "]", model.BoneNames[i]);
    for (size_t i = 0; i < model.TextureNames.size(); ++i)
        out.Name("texture[" + std::to_string(i) + "]", model.TextureNames[i]);
    for (size_t i = 0; i < model.Materials.size(); ++i)
    {
        const Material& m = model.Materials[i];
        std::string name = "material[" + std::to_string(i) + "]";
        out.Bytes(name + ".tag", m.Tag.data(), m.Tag.size());
        out.Bytes(name + ".body", m.Body.data(), m.Body.size());
        out.Bytes(name + ".flag", &m.Flag, 1);
    }
    for (size_t i = 0; i < model.Meshes.size(); ++i)
    {
        const Mesh& mesh = model.Meshes[i];
        std::string name = "mesh[" + std::to_string(i) + "]";
        image.MeshOffsets.push_back(image.Bytes.size());
        out.Name(name + ".name", mesh.Name);
        out.U32(name + ".word1", mesh.Word1);
        out.U32(name + ".word2", mesh.Word2);
        out.U32(name + ".NumVertices", uint32_t(mesh.Vertices.size()));
        out.U32(name + ".NumIndices", uint32_t(mesh.Indices.size()));
        std::vector<uint8_t> body = MeshBody(mesh);
        size_t vertexBytes = mesh.Vertices.size() * kVertexSize;
        out.Bytes(name + ".vertices", body.data(), vertexBytes);
        out.Bytes(name + ".indices", body.data() + vertexBytes, body.size() - vertexBytes);
    }
    if (!model.Tailer.empty())
        out.Bytes("tailer", model.Tailer.data(), model.Tailer.size());
    return image;
}

uint32_t Inject(Model& model, Fault fault, uint64_t seed)
{
    Random random(seed);
    auto pick = [&random](size_t count) { return count ? random.Range(0, uint32_t(count - 1)) : 0u; };
    switch (fault)
    {
    case Fault::Magic:
        model.Magic[random.Range(0, 7)] ^= 0x20;
        return 0;
    case Fault::Version:
        model.Version = random.Range(0, 1) ? 7 : 10;
        return 0;
    case Fault::Unk02:
        model.Unk02 = random.Range(1, 0xFFFFFFFFu);
        return 0;
    case Fault::Unk03:
        model.Unk03 = random.Range(1, 0xFFFFFFFFu);
        return 0;
    case Fault::NumBoneNames:
        model.NumBoneNames = 256;
        return 0;
    case Fault::Unk07:
        model.Unk07 = random.Range(1, 0xFFFFFFFFu);
        return 0;
    case Fault::UnkZero:
    {
        uint32_t at = random.Range(0, 59);
        model.UnkZero[at] = uint8_t(random.Range(1, 255));
        // Later bytes may be set too: only the first one counts.
        if (at < 59)
            model.UnkZero[random.Range(at + 1, 59)] = 0xFF;
        return at;
    }
    case Fault::BoneNameLength:
    {
        uint32_t at = pick(model.BoneNames.size());
        model.BoneNames.at(at).assign(kNameLimit, 'b');
        return at;
    }
    case Fault::TextureNameLength:
    {
        if (model.TextureNames.empty())
        {
            model.TextureNames.push_back("t.dds");
            model.NumTextures = 1;
        }
        uint32_t at = pick(model.TextureNames.size());
        model.TextureNames[at].assign(kNameLimit, 't');
        return at;
    }
    case Fault::MeshNameLength:
    {
        uint32_t at = pick(model.Meshes.size());
        model.Meshes.at(at).Name.assign(kNameLimit, 'm');
        return at;
    }
    case Fault::Unk04:
        model.Unk04 = random.Range(1, 0xFFFFFFFFu);
        return 0;
    case Fault::Unk08:
        model.Unk08 = 0x24;
        return 0;
    case Fault::MaterialTag:
    {
        uint32_t at = pick(model.Materials.size());
        model.Materials.at(at).Tag[8] = ';';
        return at;
    }
    case Fault::MaterialFlag:
    {
        uint32_t at = pick(model.Materials.size());
        model.Materials.at(at).Flag = 2;
        return at;
    }
    case Fault::Tailer:
        model.Tailer.resize(random.Range(1, 64));
        for (uint8_t& b : model.Tailer)
            b = uint8_t(random.Next());
        return 0;
    }
    return 0;
}
} // namespace SkiGen
