#include "App/SKITools.h"

#include "App/AppLogger.h"
#include "App/PwPatchEntry.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Objects/XBox.h"
#include "Engine/Scene/XScene.h"
#include "tests/support/ByteData.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/SceneModel.h"
#include "tests/support/SkiGenerator.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/Utf16Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <memory>
#include <regex>
#include <set>

namespace
{
struct Outcome
{
    bool result = false;
    std::string thrown;     // a plain narrow throw
    std::u16string refused; // the class library's exception
    std::vector<RecordedBox> boxes;
    std::vector<uint8_t> output;
    int64_t inputPosition = 0;
};

Outcome Rewrite(const std::vector<uint8_t>& file, const SkiSourceMesh& mesh, const uint8_t* boneMap,
                int32_t index)
{
    XMemoryStream input(0, 8192), output(0, 8192);
    LoadStream(input, file);
    Outcome outcome;
    BoxRecorder recorder;
    try
    {
        outcome.result = SkiReplaceMesh(mesh, &input, &output, boneMap, index);
    }
    catch (const char* text)
    {
        outcome.thrown = text;
    }
    catch (const Exception& e)
    {
        outcome.refused = e.Message().str();
    }
    outcome.boxes = recorder.boxes;
    outcome.output = StreamBytes(output);
    outcome.inputPosition = input.GetPosition();
    return outcome;
}

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, uint64_t size)
{
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + int64_t(size));
}

const SkiGen::Field& FieldNamed(const SkiGen::Image& image, const std::string& name)
{
    for (const SkiGen::Field& field : image.Fields)
        if (field.Name == name)
            return field;
    throw std::runtime_error("no field " + name);
}

std::u16string SoftBox(int line, const std::u16string& text)
{
    return u"File: SKITools.cpp; Line: " + Widen(std::to_string(line)) + u"; \n" + text;
}

const SkiGen::Mesh& SmallMesh()
{
    static const SkiGen::Mesh mesh = SkiGen::MakeMesh(99, 40, 35, "Src");
    return mesh;
}

SkiSourceMesh SmallSource()
{
    static const std::unique_ptr<XMesh> mesh = EngineMesh(SmallMesh());
    return SkiSourceOf(*mesh);
}

TEST(SKIToolsTest, CopiesTheFileUnchangedWhenNoMeshMatchesAndLogsEachMesh)
{
    TempDir dir("kelvane_ski");
    std::u16string logName = Widen((dir / "Kelvane.log").string());
    AppLogger logger(logName.c_str());
    std::u16string logged;
    logger.SetTextHook([&logged](const XString& text) { logged += std::u16string(text.c_str()) + u"|"; });
    TheAppLogger = &logger;

    for (uint32_t version : {8u, 9u})
        for (uint64_t seed : {1u, 2u, 3u})
        {
            SkiGen::Options options;
            options.Seed = seed;
            options.Version = version;
            SkiGen::Image image = SkiGen::Write(SkiGen::MakeModel(options));
            int32_t meshes = int32_t(image.MeshOffsets.size());
            for (int32_t index : {-1, INT32_MIN, meshes, meshes + 7, INT32_MAX})
            {
                logged.clear();
                Outcome outcome = Rewrite(image.Bytes, SmallSource(), PwBoneMap, index);
                logger << LogCtl::Flush;
                SCOPED_TRACE(testing::Message()
                             << "version " << version << " seed " << seed << " index " << index);
                EXPECT_TRUE(outcome.result);
                EXPECT_EQ(outcome.thrown, "");
                EXPECT_TRUE(outcome.boxes.empty());
                EXPECT_TRUE(outcome.output == image.Bytes);

                std::string text = Platform::ToUtf8(logged.c_str(), logged.size());
                std::regex entry("Loading mesh ([0-9]+)\\.\\.\\.");
                int expected = 0;
                for (auto it = std::sregex_iterator(text.begin(), text.end(), entry);
                     it != std::sregex_iterator(); ++it)
                    EXPECT_EQ((*it)[1].str(), std::to_string(expected++));
                EXPECT_EQ(expected, meshes);
            }
        }
    TheAppLogger = nullptr;
}

TEST(SKIToolsTest, ReplacedMeshHoldsTheSourceArrays)
{
    struct Case
    {
        uint64_t seed;
        uint32_t version;
        uint32_t sourceVertices;
        bool boneMap;
    };
    const Case cases[] = {
        {11, 9, 40, false}, {12, 9, 900, true}, {13, 8, 3000, true}, {14, 8, 7, false}, {15, 9, 2, true},
    };
    for (const Case& c : cases)
    {
        SkiGen::Options options;
        options.Seed = c.seed;
        options.Version = c.version;
        options.MinMeshes = 2;
        SkiGen::Model model = SkiGen::MakeModel(options);
        SkiGen::Image image = SkiGen::Write(model);
        SkiGen::Mesh source = SkiGen::MakeMesh(c.seed * 31, c.sourceVertices, 35, "Src");
        // Bones past the game's range too, so that the map has something to change.
        for (size_t i = 0; i < source.Vertices.size(); ++i)
            source.Vertices[i].Bone[i % 4] = uint8_t((i * 7) % 40);
        std::unique_ptr<XMesh> engine = EngineMesh(source);

        for (int32_t index = 0; index < int32_t(model.Meshes.size()); ++index)
        {
            SCOPED_TRACE(testing::Message() << "seed " << c.seed << " index " << index);
            const uint8_t* boneMap = c.boneMap ? PwBoneMap : nullptr;
            Outcome outcome = Rewrite(image.Bytes, SkiSourceOf(*engine), boneMap, index);
            ASSERT_TRUE(outcome.result);
            EXPECT_EQ(outcome.thrown, "");
            EXPECT_TRUE(outcome.boxes.empty());
            EXPECT_TRUE(outcome.output == SkiGen::WithMeshReplaced(model, size_t(index), source, boneMap));
        }
    }
}

TEST(SKIToolsTest, BoneMapTranslatesTheGameBones)
{
    SkiGen::Options options;
    options.MaxMeshes = 1;
    SkiGen::Image image = SkiGen::Write(SkiGen::MakeModel(options));
    SkiGen::Mesh source = SmallMesh();
    std::copy_n(std::array<uint8_t, 4>{0, 9, 10, 34}.data(), 4, source.Vertices[0].Bone);
    std::unique_ptr<XMesh> engine = EngineMesh(source);

    // Vertex 0 starts after the name, the two words and the two counts.
    const uint64_t vertex0 = FieldNamed(image, "mesh[0].vertices").Offset;
    struct Case
    {
        const uint8_t* map;
        std::vector<uint8_t> bones;
    };
    for (const Case& c : {Case{PwBoneMap, {0, 0, 7, 31}}, Case{nullptr, {0, 9, 10, 34}}})
    {
        Outcome outcome = Rewrite(image.Bytes, SkiSourceOf(*engine), c.map, 0);
        ASSERT_TRUE(outcome.result);
        ASSERT_GT(outcome.output.size(), vertex0 + 28);
        EXPECT_EQ(std::vector<uint8_t>(outcome.output.begin() + int64_t(vertex0) + 24,
                                       outcome.output.begin() + int64_t(vertex0) + 28),
                  c.bones);
    }
}

// A fatal check leaves the output at the start of the failing field and reports false; a soft one
// shows its box and the file is copied whole.
TEST(SKIToolsTest, FormatChecksUseTheirChannels)
{
    using SkiGen::Fault;
    struct Case
    {
        Fault fault;
        uint32_t version;
        std::u16string text;
        std::string field; // fatal: where the output ends ("#" becomes the injected index)
        int line;          // soft
    };
    const Case cases[] = {
        {Fault::Magic, 9, u"Wrong Magic!", "header.magic", 0},
        {Fault::Version, 9, u"Wrong unk00!", "header.unk00", 0},
        {Fault::Unk02, 8, u"Wrong unk02!", "header.unk02", 0},
        {Fault::Unk03, 9, u"Wrong unk03!", "header.unk03", 0},
        {Fault::NumBoneNames, 9, u"Wrong NumBoneNames!", "header.NumBoneNames", 0},
        {Fault::NumBoneNames, 8, u"Wrong NumBoneNames!", "header.NumBoneNames", 0},
        {Fault::Unk07, 9, u"Wrong unk07!", "header.unk07", 0},
        {Fault::UnkZero, 8, u"Wrong unk_zero[#]", "header.unk_zero", 0},
        {Fault::BoneNameLength, 9, u"BoneName too long!", "bone[#].length", 0},
        {Fault::TextureNameLength, 8, u"TextureFileName too long!", "texture[#].length", 0},
        {Fault::TextureNameLength, 9, u"TextureFileName too long!", "texture[#].length", 0},
        {Fault::MeshNameLength, 9, u"MeshNameSize too long!", "mesh[#].name.length", 0},
        {Fault::Unk04, 9, u"Wrong unk04!", "", 386},
        {Fault::Unk08, 8, u"Wrong unk08!", "", 421},
        {Fault::MaterialTag, 9, u"Wrong MATERIAL!", "", 470},
        {Fault::MaterialFlag, 8, u"Wrong unk10!", "", 483},
        {Fault::Tailer, 9, u"Unexpected data in file tailer!", "", 612},
    };
    for (const Case& c : cases)
        for (uint64_t seed : {5u, 6u})
        {
            SkiGen::Options options;
            options.Seed = seed;
            options.Version = c.version;
            SkiGen::Model model = SkiGen::MakeModel(options);
            uint32_t at = SkiGen::Inject(model, c.fault, seed);
            SkiGen::Image image = SkiGen::Write(model);
            auto withIndex = [at](std::string text)
            {
                size_t hash = text.find('#');
                return hash == std::string::npos ? text : text.replace(hash, 1, std::to_string(at));
            };
            std::u16string text = Widen(withIndex(Platform::ToUtf8(c.text.c_str(), c.text.size())));
            SCOPED_TRACE(testing::Message() << Platform::ToUtf8(text.c_str(), text.size()) << " v"
                                            << c.version << " seed " << seed);

            Outcome outcome = Rewrite(image.Bytes, SmallSource(), nullptr, -1);
            EXPECT_EQ(outcome.thrown, "");
            ASSERT_EQ(outcome.boxes.size(), 1u);
            const RecordedBox& box = outcome.boxes[0];
            if (c.line == 0)
            {
                EXPECT_FALSE(outcome.result);
                EXPECT_EQ(box.text, text);
                EXPECT_EQ(box.caption, Vcl::ApplicationTitle().str());
                EXPECT_TRUE(outcome.output ==
                            Prefix(image.Bytes, FieldNamed(image, withIndex(c.field)).Offset));
                continue;
            }
            EXPECT_TRUE(outcome.result);
            EXPECT_EQ(box.text, SoftBox(c.line, text));
            EXPECT_EQ(box.caption, u"Error");
            EXPECT_EQ(box.owner, nullptr);
            EXPECT_EQ(box.type, MB_OK);
            EXPECT_TRUE(outcome.output == image.Bytes);
        }
}

TEST(SKIToolsTest, HeaderLimits)
{
    struct Case
    {
        const char* name;
        std::function<void(SkiGen::Model&)> edit;
        std::u16string fatal; // empty: passes without a box
        std::u16string soft;
    };
    auto names = [](uint32_t count)
    {
        return [count](SkiGen::Model& m)
        {
            m.NumBoneNames = count;
            m.BoneNames.assign(m.Version == 9 ? count : 0, "Bip01 Spine");
        };
    };
    const Case cases[] = {
        {"255 bone names", names(255), u"", u""},
        {"version 8 counts bones without names",
         [](SkiGen::Model& m)
         {
             m.Version = 8;
             m.NumBoneNames = 200;
             m.BoneNames.clear();
         },
         u"", u""},
        {"version 8, 256 bones",
         [](SkiGen::Model& m)
         {
             m.Version = 8;
             m.NumBoneNames = 256;
             m.BoneNames.clear();
         },
         u"Wrong NumBoneNames!", u""},
        {"bone name of 4,095", [](SkiGen::Model& m) { m.BoneNames.back().assign(4095, 'b'); }, u"", u""},
        {"bone name of 4,096", [](SkiGen::Model& m) { m.BoneNames.back().assign(4096, 'b'); },
         u"BoneName too long!", u""},
        {"texture name of 4,095",
         [](SkiGen::Model& m)
         {
             m.TextureNames = {std::string(4095, 't')};
             m.NumTextures = 1;
         },
         u"", u""},
        {"mesh name of 4,095", [](SkiGen::Model& m) { m.Meshes[0].Name.assign(4095, 'm'); }, u"", u""},
        {"empty names",
         [](SkiGen::Model& m)
         {
             m.BoneNames[0].clear();
             m.Meshes[0].Name.clear();
         },
         u"", u""},
        {"unk08 0x23", [](SkiGen::Model& m) { m.Unk08 = 0x23; }, u"", u""},
        {"unk08 0x29", [](SkiGen::Model& m) { m.Unk08 = 0x29; }, u"", u""},
        {"unk08 0x2B", [](SkiGen::Model& m) { m.Unk08 = 0x2B; }, u"", u""},
        {"unk08 0x24", [](SkiGen::Model& m) { m.Unk08 = 0x24; }, u"", SoftBox(421, u"Wrong unk08!")},
        {"material flag 1", [](SkiGen::Model& m) { m.Materials[0].Flag = 1; }, u"", u""},
        {"unk_zero[7]",
         [](SkiGen::Model& m)
         {
             m.UnkZero[7] = 1;
             m.UnkZero[30] = 1;
         },
         u"Wrong unk_zero[7]", u""},
        {"unk_zero[59]", [](SkiGen::Model& m) { m.UnkZero[59] = 0x80; }, u"Wrong unk_zero[59]", u""},
        {"no meshes",
         [](SkiGen::Model& m)
         {
             m.Meshes.clear();
             m.NumSkinMeshes = 0;
         },
         u"", u""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        SkiGen::Model model = SkiGen::MakeModel({});
        c.edit(model);
        SkiGen::Image image = SkiGen::Write(model);
        Outcome outcome = Rewrite(image.Bytes, SmallSource(), nullptr, -1);
        EXPECT_EQ(outcome.thrown, "");
        EXPECT_EQ(outcome.result, c.fatal.empty());
        if (!c.fatal.empty())
        {
            ASSERT_EQ(outcome.boxes.size(), 1u);
            EXPECT_EQ(outcome.boxes[0].text, c.fatal);
            EXPECT_LT(outcome.output.size(), image.Bytes.size());
            EXPECT_TRUE(outcome.output == Prefix(image.Bytes, outcome.output.size()));
            continue;
        }
        EXPECT_TRUE(outcome.output == image.Bytes);
        ASSERT_EQ(outcome.boxes.size(), c.soft.empty() ? 0u : 1u);
        if (!c.soft.empty())
        {
            EXPECT_EQ(outcome.boxes[0].text, c.soft);
        }
    }

    // unk_zero[7] ends the output right after unk08.
    SkiGen::Model model = SkiGen::MakeModel({});
    model.UnkZero[7] = 3;
    EXPECT_EQ(Rewrite(SkiGen::Write(model).Bytes, SmallSource(), nullptr, 0).output.size(), 48u);
}

// A source the rewrite cannot write faithfully is refused before the file is touched.
TEST(SKIToolsTest, SourcePreconditions)
{
    const std::u16string noNormals = u"Экспорт невозможен, не найдены нормали!";
    const std::u16string noWeights = u"Экспорт невозможен, не найдены веса!";
    const std::u16string tooMany = u"Экспорт невозможен, в объекте более 65536 вершин!";
    const std::u16string badFace = u"Экспорт невозможен, грань ссылается на несуществующую вершину!";
    const std::u16string fewer =
        u"Экспорт невозможен, нормалей, текстурных координат или весов меньше, чем вершин!";
    auto grow = [](XMesh& m, uint32_t count)
    {
        m.SetVertexCount(count);
        m.SetNormalCount(count);
        m.SetTextureVertexCount(count);
        m.SetWeightCount(count);
    };
    struct Case
    {
        const char* name;
        std::function<void(XMesh&)> edit;
        bool normalsOff;
        std::u16string text; // empty: accepted
    };
    const Case cases[] = {
        {"normals off", [](XMesh&) {}, true, noNormals},
        {"normals and weights off", [](XMesh& m) { m.SetWeightsEnabled(false); }, true, noNormals},
        {"weights off", [](XMesh& m) { m.SetWeightsEnabled(false); }, false, noWeights},
        {"65,537 vertices", [grow](XMesh& m) { grow(m, 65537); }, false, tooMany},
        {"65,536 vertices",
         [grow](XMesh& m)
         {
             grow(m, 65536);
             m.GetFaces()[0] = XFace(65535, 0, 65534);
         },
         false, u""},
        {"corner at the count",
         [](XMesh& m) { m.GetFaces()[m.GetFaceCount() - 1].v[2] = m.GetVertexCount(); }, false, badFace},
        {"corner far out", [](XMesh& m) { m.GetFaces()[0].v[0] = 0xFFFFFFFF; }, false, badFace},
        {"a normal short", [](XMesh& m) { m.SetNormalCount(m.GetVertexCount() - 1); }, false, fewer},
        {"a texture vertex short", [](XMesh& m) { m.SetTextureVertexCount(m.GetVertexCount() - 1); }, false,
         fewer},
        {"a weight short", [](XMesh& m) { m.SetWeightCount(m.GetVertexCount() - 1); }, false, fewer},
        // Weights are sized when switched on; a vertex added later has none.
        {"a vertex added after the weights", [](XMesh& m) { m.AddVertex(XVertex(1, 2, 3), XColor(0u)); },
         false, fewer},
        {"more normals than vertices", [](XMesh& m) { m.SetNormalCount(m.GetVertexCount() + 1); }, false,
         u""},
        {"no faces", [](XMesh& m) { m.SetFaceCount(0); }, false, u""},
        {"empty mesh",
         [](XMesh& m)
         {
             m.SetFaceCount(0);
             m.SetVertexCount(0);
         },
         false, u""},
    };
    SkiGen::Options options;
    options.MaxMeshes = 2;
    SkiGen::Image image = SkiGen::Write(SkiGen::MakeModel(options));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::unique_ptr<XMesh> mesh = EngineMesh(SmallMesh());
        c.edit(*mesh);
        SkiSourceMesh source = SkiSourceOf(*mesh);
        source.NormalsEnabled = !c.normalsOff;
        Outcome outcome = Rewrite(image.Bytes, source, nullptr, 0);
        EXPECT_EQ(outcome.refused, c.text);
        EXPECT_TRUE(outcome.boxes.empty());
        if (!c.text.empty())
        {
            EXPECT_EQ(outcome.inputPosition, 0);
            EXPECT_TRUE(outcome.output.empty());
            continue;
        }
        EXPECT_TRUE(outcome.result);
        // The replaced mesh's counts follow its name and two words.
        const uint64_t counts = FieldNamed(image, "mesh[0].NumVertices").Offset;
        ASSERT_GE(outcome.output.size(), counts + 8);
        EXPECT_EQ(ReadU32(outcome.output.data() + counts), mesh->GetVertexCount());
        EXPECT_EQ(ReadU32(outcome.output.data() + counts + 4), 3 * mesh->GetFaceCount());
    }

    // A fresh engine mesh has no weights.
    XMesh fresh;
    EXPECT_EQ(Rewrite(image.Bytes, SkiSourceOf(fresh), nullptr, 0).refused, noWeights);
}

// The patch hands over a loaded scene: its one mesh object must be a triangle mesh.
TEST(SKIToolsTest, SceneGivesItsOneTriangleMesh)
{
    const std::u16string notOne = u"Экспорт невозможен, в сцене более 1 объекта!";
    const std::u16string notTri = u"Экспорт невозможен, в сцене не найден объект класса XTriMesh!";
    struct Case
    {
        const char* name;
        std::vector<const char16_t*> classes; // mesh objects, in order
        bool node;                            // the triangle mesh placed by a node
        std::u16string text;                  // empty: accepted
    };
    const Case cases[] = {
        {"one triangle mesh", {u"XTriMesh"}, false, u""},
        {"one triangle mesh and its node", {u"XTriMesh"}, true, u""},
        {"no mesh object", {}, false, notOne},
        {"two triangle meshes", {u"XTriMesh", u"XTriMesh"}, false, notOne},
        {"a triangle mesh and a box", {u"XTriMesh", u"XBox"}, true, notOne},
        {"a box", {u"XBox"}, false, notTri},
    };
    SkiGen::Options options;
    options.MinMeshes = 2;
    SkiGen::Model model = SkiGen::MakeModel(options);
    SkiGen::Image image = SkiGen::Write(model);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        XScene scene(nullptr);
        scene.AddClass(&BoxDesc);
        for (const char16_t* className : c.classes)
        {
            XBaseObject* object = scene.CreateObject(XString(className), nullptr, nullptr);
            if (auto* triMesh = dynamic_cast<XTriMesh*>(object))
            {
                *triMesh->GetMesh() = *EngineMesh(SmallMesh());
                if (c.node)
                    scene.CreateNode(triMesh, nullptr, u"Body");
            }
        }

        XMemoryStream input(0, 8192), output(0, 8192);
        LoadStream(input, image.Bytes);
        BoxRecorder recorder;
        std::u16string refused;
        bool result = false;
        try
        {
            result = SkiReplaceMesh(&scene, &input, &output, PwBoneMap, 1);
        }
        catch (const Exception& e)
        {
            refused = e.Message().str();
        }
        EXPECT_EQ(refused, c.text);
        EXPECT_TRUE(recorder.boxes.empty());
        if (!c.text.empty())
        {
            EXPECT_EQ(input.GetPosition(), 0);
            EXPECT_EQ(output.GetSize(), 0);
            continue;
        }
        EXPECT_TRUE(result);
        EXPECT_TRUE(StreamBytes(output) == SkiGen::WithMeshReplaced(model, 1, SmallMesh(), PwBoneMap));
    }
}

// Cut anywhere, a file ends in "Stream reading error." with the output at a field boundary, never
// in a shorter model.
TEST(SKIToolsTest, EveryCutIsAReadingError)
{
    auto check = [](const SkiGen::Image& image, const std::vector<uint64_t>& cuts)
    {
        std::set<uint64_t> boundaries;
        for (const SkiGen::Field& field : image.Fields)
            boundaries.insert(field.Offset);
        for (uint64_t cut : cuts)
            for (int32_t index : {-1, 0, 1})
            {
                Outcome outcome = Rewrite(Prefix(image.Bytes, cut), SmallSource(), PwBoneMap, index);
                SCOPED_TRACE(testing::Message() << "cut " << cut << " index " << index);
                ASSERT_EQ(outcome.thrown, "Stream reading error.");
                ASSERT_TRUE(outcome.boxes.empty());
                if (index != -1)
                    continue;
                ASSERT_TRUE(outcome.output == Prefix(image.Bytes, outcome.output.size()));
                ASSERT_TRUE(boundaries.count(outcome.output.size())) << outcome.output.size();
            }
    };

    // Small models: every length.
    for (uint32_t version : {8u, 9u})
    {
        SkiGen::Options options;
        options.Seed = 40 + version;
        options.Version = version;
        options.MinMeshes = options.MaxMeshes = 2;
        options.MinVertices = options.MaxVertices = 6;
        options.MaxTextures = 2;
        options.MaxMaterials = 2;
        options.MaxBones = 3;
        SkiGen::Image image = SkiGen::Write(SkiGen::MakeModel(options));
        std::vector<uint64_t> cuts;
        for (uint64_t cut = 0; cut < image.Bytes.size(); ++cut)
            cuts.push_back(cut);
        check(image, cuts);
    }

    // Realistic models: at, just after and in the middle of every field.
    for (uint64_t seed : {50u, 51u})
    {
        SkiGen::Options options;
        options.Seed = seed;
        options.Version = seed % 2 ? 8 : 9;
        SkiGen::Image image = SkiGen::Write(SkiGen::MakeModel(options));
        std::vector<uint64_t> cuts;
        for (const SkiGen::Field& field : image.Fields)
            for (uint64_t cut : {field.Offset, field.Offset + 1, field.Offset + field.Size / 2})
                if (cut < image.Bytes.size())
                    cuts.push_back(cut);
        check(image, cuts);
    }

    // Counts whose 32-bit byte size would wrap around to the real size.
    SkiGen::Options options;
    options.MaxMeshes = 1;
    SkiGen::Image image = SkiGen::Write(SkiGen::MakeModel(options));
    uint8_t* vertices = image.Bytes.data() + FieldNamed(image, "mesh[0].NumVertices").Offset;
    WriteU32(vertices, ReadU32(vertices) + (1u << 28));
    for (int32_t index : {-1, 0})
        EXPECT_EQ(Rewrite(image.Bytes, SmallSource(), nullptr, index).thrown, "Stream reading error.");

    // A material count the rest of the file cannot hold is the reading error before any material
    // is read, so that no doubtful material raises its box (one a material, thousands in all).
    for (uint32_t count : {0xFFFFFFFFu, 1u << 20})
    {
        SkiGen::Image damaged = SkiGen::Write(SkiGen::MakeModel({}));
        const SkiGen::Field& field = FieldNamed(damaged, "header.NumMaterials");
        ASSERT_EQ(field.Offset, 32u);
        WriteU32(damaged.Bytes.data() + field.Offset, count);
        Outcome outcome = Rewrite(damaged.Bytes, SmallSource(), nullptr, 0);
        EXPECT_EQ(outcome.thrown, "Stream reading error.");
        EXPECT_TRUE(outcome.boxes.empty());
        EXPECT_TRUE(outcome.output == Prefix(damaged.Bytes, 32));
    }
}
} // namespace
