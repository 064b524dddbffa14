// The patch rebuilding skin models from real scene files: the scene engine loads the model, the
// rewrite swaps the mesh, and the archive holds the result.
#include "App/PatcherUnit.h"

#include "App/AppLogger.h"
#include "App/PwPatchEntry.h"
#include "Components/Cx/CxXml.h"
#include "Components/XMemoryStream.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XScene.h"
#include "PW/Common/PwPackage.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PckGenerator.h"
#include "tests/support/SceneModel.h"
#include "tests/support/SkiGenerator.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
using Bytes = std::vector<uint8_t>;

const char16_t kHead[] = u"models\\hero\\head.ski";
const char16_t kHair[] = u"models\\hero\\hair.ski";
const char16_t kBroken[] = u"models\\hero\\broken.ski";

std::string Utf8(const XString& text) { return Platform::ToUtf8(text.c_str()); }

void PutU32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutBytes(Bytes& out, const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
}

// The game's layout of a skin mesh made from the scene's arrays: the two counts, 48-byte vertices
// {position, three weights, four bone indices, normal, u, v}, then three 16-bit indices a face.
Bytes ExpectedMesh(const XMesh& mesh, const uint8_t* boneMap)
{
    Bytes out;
    PutU32(out, mesh.GetVertexCount());
    PutU32(out, mesh.GetFaceCount() * 3);
    for (uint32_t v = 0; v < mesh.GetVertexCount(); ++v)
    {
        const XVertexWeight& w = mesh.GetWeights()[v];
        PutBytes(out, &mesh.GetVertices()[v], 12);
        PutBytes(out, w.weight, 12);
        for (uint8_t index : w.index)
            out.push_back(boneMap ? boneMap[index] : index);
        PutBytes(out, &mesh.GetNormals()[v], 12);
        PutBytes(out, &mesh.GetTextureVertices()[v], 8);
    }
    for (uint32_t f = 0; f < mesh.GetFaceCount(); ++f)
        for (uint32_t corner : mesh.GetFaces()[f].v)
        {
            out.push_back(static_cast<uint8_t>(corner));
            out.push_back(static_cast<uint8_t>(corner >> 8));
        }
    return out;
}

// The file with mesh `index` replaced by `body` (its counts and vertices and indices): the name
// and the two words before it stay, as does everything after it.
Bytes WithMesh(const SkiGen::Image& image, const SkiGen::Model& model, size_t index, const Bytes& body)
{
    uint64_t start = image.MeshOffsets[index] + 4 + model.Meshes[index].Name.size() + 8;
    uint64_t oldSize = 8 + SkiGen::MeshBody(model.Meshes[index]).size();
    Bytes out(image.Bytes.begin(), image.Bytes.begin() + static_cast<ptrdiff_t>(start));
    out.insert(out.end(), body.begin(), body.end());
    out.insert(out.end(), image.Bytes.begin() + static_cast<ptrdiff_t>(start + oldSize), image.Bytes.end());
    return out;
}

class PatcherSceneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(m_Dir / "Data");
        fs::create_directories(m_Dir / "Game");
        for (uint64_t seed : {1, 2, 3})
        {
            SkiGen::Options options;
            options.Seed = seed;
            options.MinMeshes = 3;
            options.MaxMeshes = 4;
            options.MaxVertices = 400;
            m_Models.push_back(SkiGen::MakeModel(options));
            m_Images.push_back(SkiGen::Write(m_Models.back()));
        }
        // The third model is damaged past repair: the rewrite must not let it through half done.
        m_Images[2].Bytes[0] = 'X';

        // The game: generated entries plus the three skin models.
        PckGen::Archive game = PckGen::MakeArchive({.Seed = 5, .Count = 60}, PckGen::ArchiveOptions{});
        WriteWholeFile(m_Dir / "Game" / "seed.pck", game.Bytes);
        PwPackage package;
        package.Open(WidePath(m_Dir / "Game" / "seed.pck").c_str());
        const char16_t* names[] = {kHead, kHair, kBroken};
        for (size_t i = 0; i < 3; ++i)
        {
            auto* copy = new uint8_t[m_Images[i].Bytes.size()];
            std::memcpy(copy, m_Images[i].Bytes.data(), m_Images[i].Bytes.size());
            package.AddFromMemory(names[i], copy, static_cast<uint32_t>(m_Images[i].Bytes.size()));
        }
        package.Save(WidePath(m_Archive).c_str(), 1, "game");
        package.Close();
        fs::remove(m_Dir / "Game" / "seed.pck");

        // The model: one triangle mesh with every channel; bone indices up to 63.
        XScene scene(nullptr);
        AddModelMesh(scene, u"Hero", 300, 7);
        scene.SaveToFile(XString(WidePath(m_Dir / "Data" / "hero.xscene").c_str()));
        XScene twoMeshes(nullptr);
        AddModelMesh(twoMeshes, u"A", 30, 8);
        AddModelMesh(twoMeshes, u"B", 30, 9);
        twoMeshes.SaveToFile(XString(WidePath(m_Dir / "Data" / "two.xscene").c_str()));

        m_Log = std::make_unique<AppLogger>(WidePath(m_Dir / "Kelvane.log").c_str());
        m_Log->SetTextHook([this](const XString& piece) { m_Entries.push_back(Utf8(piece).substr(24)); });
    }

    void Instruct(const std::vector<std::array<std::u16string, 4>>& rows)
    {
        CxXml::XmlDocument document;
        document.SetName(u"PatchData");
        for (const auto& row : rows)
        {
            CxXml::XmlNode* node = document.AddNode(u"Entry");
            node->AddAttribute(u"MeshIndex", XString(row[0].c_str()));
            node->AddAttribute(u"UseBoneMap", XString(row[1].c_str()));
            node->AddAttribute(u"FileName", XString(row[2].c_str()));
            node->AddAttribute(u"ModelName", XString(row[3].c_str()));
        }
        std::u16string file = WidePath(m_Dir / "Data" / "PatchData.xml");
        document.SaveToFile(file.c_str());
        m_Table.assign(PwPatchEntryCount, PwPatchEntry());
        LoadPatchEntries(file.c_str(), m_Table.data());
    }

    bool Patch()
    {
        Patcher::PatchJob job;
        job.PackageFile = XString(WidePath(m_Archive).c_str());
        job.ProgramFolder = XString((WidePath(m_Dir.Path()) + u"/").c_str());
        job.Entries = m_Table.data();
        m_Entries.clear();
        return Patcher::PatchPackage(*m_Log, job);
    }

    Bytes Entry(const char16_t* name)
    {
        PwPackage package;
        package.Open(WidePath(m_Archive).c_str());
        XMemoryStream bytes(0, 8192);
        package.Extract(name, &bytes);
        return StreamBytes(bytes);
    }

    TempDir m_Dir{"kelvane_patchscene"};
    fs::path m_Archive = m_Dir / "Game" / "Models.pck";
    std::vector<SkiGen::Model> m_Models;
    std::vector<SkiGen::Image> m_Images;
    std::vector<PwPatchEntry> m_Table;
    std::unique_ptr<AppLogger> m_Log;
    std::vector<std::string> m_Entries;
    BoxRecorder m_Boxes;
};

TEST_F(PatcherSceneTest, SkinModelsAreRebuiltFromTheSceneAndADamagedOneKeepsItsGameContent)
{
    Instruct({{u"1", u"true", kHead, u"hero.xscene"},
              {u"0", u"false", kHair, u"hero.xscene"},
              {u"0", u"false", kBroken, u"hero.xscene"}});
    ASSERT_TRUE(Patch()) << (m_Entries.empty() ? "" : m_Entries.back());

    XScene loaded(nullptr);
    loaded.LoadFromFile(XString(WidePath(m_Dir / "Data" / "hero.xscene").c_str()));
    ASSERT_EQ(loaded.GetMeshCount(), 1u);
    const XMesh& mesh = *static_cast<XTriMesh*>(loaded.GetMesh(0))->GetMesh();

    EXPECT_EQ(Entry(kHead), WithMesh(m_Images[0], m_Models[0], 1, ExpectedMesh(mesh, PwBoneMap)));
    EXPECT_EQ(Entry(kHair), WithMesh(m_Images[1], m_Models[1], 0, ExpectedMesh(mesh, nullptr)));
    EXPECT_EQ(Entry(u"models\\hero\\head.original.ski"), m_Images[0].Bytes);
    EXPECT_EQ(Entry(u"models\\hero\\hair.original.ski"), m_Images[1].Bytes);
    // The damaged model: its message is shown, and the game keeps its own bytes under both names.
    EXPECT_EQ(Entry(kBroken), m_Images[2].Bytes);
    EXPECT_EQ(Entry(u"models\\hero\\broken.original.ski"), m_Images[2].Bytes);
    ASSERT_FALSE(m_Boxes.boxes.empty());
    EXPECT_EQ(m_Boxes.boxes.front().text, u"Wrong Magic!");

    // The scene is loaded once for all three, and each rewrite logs the meshes it copies.
    const std::string loading = "Loading model file <" + (m_Dir / "Data").string() + "\\hero.xscene>";
    EXPECT_EQ(std::count(m_Entries.begin(), m_Entries.end(), loading), 1);
    EXPECT_NE(std::find(m_Entries.begin(), m_Entries.end(), "Loading mesh 0..."), m_Entries.end());
    EXPECT_NE(std::find(m_Entries.begin(), m_Entries.end(),
                        "Mesh replace in <models\\hero\\broken.ski> failed - original entry kept."),
              m_Entries.end());
}

TEST_F(PatcherSceneTest, SceneThatFailsThePreconditionsEndsThePatchWithoutSaving)
{
    Instruct({{u"0", u"false", kHead, u"two.xscene"}});
    const Bytes before = ReadWholeFileData(m_Archive);
    EXPECT_FALSE(Patch());
    // The backup was made and no new archive was written: the archive is still the game's.
    EXPECT_EQ(ReadWholeFileData(m_Archive), before);
    EXPECT_EQ(ReadWholeFileData(m_Dir / "Game" / "Models.original.pck"), before);
    ASSERT_FALSE(m_Entries.empty());
    EXPECT_EQ(m_Entries.back().rfind("[ERROR] PatcherUnit.cpp( 247 ): ", 0), 0u) << m_Entries.back();
    EXPECT_TRUE(Patcher::RestorePackage(*m_Log, XString(WidePath(m_Archive).c_str())));
    EXPECT_EQ(ReadWholeFileData(m_Archive), before);
}
} // namespace
