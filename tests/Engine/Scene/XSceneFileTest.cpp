#include "Engine/Scene/XScene.h"

#include "Components/XFileStream.h"
#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Geometry/XUVModifier.h"
#include "Engine/Scene/XCamera.h"
#include "Engine/Scene/XClassDesc.h"
#include "Engine/Scene/XMaterial.h"
#include "Engine/Scene/XMap.h"
#include "Engine/Scene/XTexture.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XNodeGroup.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ByteData.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/SceneModel.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/Thrown.h"
#include "tests/support/ViewDouble.h"
#include "tests/support/ViewportDouble.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes Saved(XScene& scene)
{
    XMemoryStream stream(0, 0x2000);
    scene.SaveToStream(&stream);
    return StreamBytes(stream);
}

void Load(XScene& scene, const Bytes& bytes)
{
    XMemoryStream stream(0, 0x2000);
    LoadStream(stream, bytes);
    scene.LoadFromStream(&stream);
}

std::vector<std::u16string> Texts(const BoxRecorder& boxes)
{
    std::vector<std::u16string> texts;
    for (const RecordedBox& box : boxes.boxes)
        texts.push_back(box.text);
    return texts;
}

uint32_t U32(const Bytes& bytes, size_t at)
{
    uint32_t v;
    std::memcpy(&v, &bytes[at], 4);
    return v;
}

// Chunk bytes: id, size, payload.
Bytes Chunk(uint32_t id, const Bytes& payload)
{
    Bytes out(8);
    uint32_t size = static_cast<uint32_t>(payload.size() + 8);
    std::memcpy(&out[0], &id, 4);
    std::memcpy(&out[4], &size, 4);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes StringPayload(const std::u16string& text)
{
    Bytes out(4 + text.size() * 2);
    uint32_t n = static_cast<uint32_t>(text.size());
    std::memcpy(&out[0], &n, 4);
    std::memcpy(&out[4], text.data(), text.size() * 2);
    return out;
}

Bytes U32Payload(uint32_t v)
{
    Bytes out(4);
    std::memcpy(out.data(), &v, 4);
    return out;
}

Bytes GuidPayload(uint32_t n)
{
    XGuid g(n, 0x1111, 0x2222, 0x33333333, 0x44444444);
    Bytes out(16);
    std::memcpy(out.data(), &g, 16);
    return out;
}

// A headerless scene whose contents table lists these classes and names.
Bytes Table(std::initializer_list<std::pair<const char16_t*, const char16_t*>> entries)
{
    Bytes table = Chunk(XScene::ChunkCount, U32Payload(static_cast<uint32_t>(entries.size())));
    uint32_t n = 1;
    for (auto& [cls, name] : entries)
        table = Cat({table, Chunk(XScene::ChunkGuid, GuidPayload(n++)),
                     Chunk(XScene::ChunkClassName, StringPayload(cls)),
                     Chunk(XScene::ChunkName, StringPayload(name))});
    return Chunk(XScene::ChunkRoot, Chunk(XScene::ChunkContents, table));
}

// The model scene: a hierarchy of nodes, a group, a mesh with every channel and a modifier.
void BuildModel(XScene& scene, uint32_t vertices = 40)
{
    scene.AddClass(&UVModifierDesc);
    XMeshNode* body = AddModelMesh(scene, u"Body", vertices, 11);
    XMeshNode* arm = AddModelMesh(scene, u"Arm", vertices < 9 ? vertices : 9, 12);
    XMeshNode* hand = scene.CreateNode(arm->GetMesh(), nullptr, u"Hand");
    body->SetPosition(1, 2, 3);
    arm->SetPosition(0, 5, 0);
    hand->SetPosition(0, 0, 2);
    body->AddChild(arm);
    arm->AddChild(hand);
    auto* modifier = static_cast<XUVModifier*>(scene.CreateObject(u"XUVModifier", nullptr, nullptr));
    body->GetMesh()->AddModifier(modifier);
    auto* group = static_cast<XNodeGroup*>(scene.CreateObject(u"XNodeGroup", nullptr, u"Group"));
    group->AddNode(AddModelMesh(scene, u"Crate", 5, 13));
    for (const char16_t* light : {u"XPointLight", u"XSpotLight", u"XDirectionalLight"})
        static_cast<XMeshNode*>(scene.CreateObject(light, nullptr, u"Light"))->SetPosition(4, 5, 6);
    auto* camera = static_cast<XCamera*>(scene.CreateObject(u"XCamera", nullptr, nullptr));
    camera->SetFOV(1.0f);
    body->AddChild(camera);
    // Three materials, the middle one gone again: ids 0 and 2 are used, slot 1 is empty.
    auto* texture = static_cast<XTexture*>(scene.CreateObject(u"XTexture", nullptr, u"Skin"));
    auto* red = static_cast<XMaterial*>(scene.CreateObject(u"XMaterial", nullptr, u"Red"));
    scene.CreateObject(u"XMaterial", nullptr, u"Gone");
    auto* blue = static_cast<XMaterial*>(scene.CreateObject(u"XMaterial", nullptr, u"Blue"));
    scene.DeleteObject(XString(u"Gone"));
    red->SetMapTexture(0, texture);
    body->SetMaterial(blue->GetIndex());
}

void ExpectSameScene(XScene& a, XScene& b)
{
    ASSERT_EQ(a.GetObjectCount(), b.GetObjectCount());
    for (unsigned i = 0; i < a.GetObjectCount(); ++i)
    {
        XBaseObject* x = a.GetObjectW(i);
        XBaseObject* y = b.FindObject(x->GetGuid());
        ASSERT_NE(y, nullptr);
        EXPECT_TRUE(x->GetName() == y->GetName());
        EXPECT_TRUE(x->GetClassNameW() == y->GetClassNameW());
        if (auto* nx = dynamic_cast<XMeshNode*>(x))
        {
            auto* ny = static_cast<XMeshNode*>(y);
            EXPECT_TRUE(nx->GetParent()->GetGuid() == ny->GetParent()->GetGuid());
            EXPECT_EQ(nx->IsGroupped(), ny->IsGroupped());
            XMatrix mx, my;
            nx->GetMatrix(0, mx);
            ny->GetMatrix(0, my);
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c)
                    EXPECT_NEAR(mx.m[r][c], my.m[r][c], 1e-5f);
            EXPECT_EQ(nx->GetMesh() ? nx->GetMesh()->GetGuid().Hash() : 0u,
                      ny->GetMesh() ? ny->GetMesh()->GetGuid().Hash() : 0u);
        }
        if (auto* mx = dynamic_cast<XMaterial*>(x))
        {
            auto* my = static_cast<XMaterial*>(y);
            EXPECT_EQ(mx->GetIndex(), my->GetIndex());
            EXPECT_EQ(b.GetMaterial(my->GetIndex()), my);
            ASSERT_EQ(mx->GetMapCount(), my->GetMapCount());
            for (unsigned m = 0; m < mx->GetMapCount(); ++m)
                EXPECT_EQ(mx->GetMap(m)->GetTexture() ? mx->GetMap(m)->GetTexture()->GetGuid().Hash() : 0u,
                          my->GetMap(m)->GetTexture() ? my->GetMap(m)->GetTexture()->GetGuid().Hash() : 0u);
        }
        if (auto* nx = dynamic_cast<XMeshNode*>(x))
        {
            EXPECT_EQ(nx->GetMaterial(), static_cast<XMeshNode*>(y)->GetMaterial());
        }
        if (auto* mx = dynamic_cast<XTriMesh*>(x))
        {
            const XMesh& p = *mx->GetMesh();
            const XMesh& q = *static_cast<XTriMesh*>(y)->GetMesh();
            ASSERT_EQ(p.GetVertexCount(), q.GetVertexCount());
            ASSERT_EQ(p.GetFaceCount(), q.GetFaceCount());
            ASSERT_EQ(p.GetWeightCount(), q.GetWeightCount());
            EXPECT_EQ(std::memcmp(p.GetVertices(), q.GetVertices(), p.GetVertexCount() * sizeof(XVertex)), 0);
            EXPECT_EQ(std::memcmp(p.GetNormals(), q.GetNormals(), p.GetNormalCount() * sizeof(XVertex)), 0);
            EXPECT_EQ(std::memcmp(p.GetTextureVertices(), q.GetTextureVertices(),
                                  p.GetTextureVertexCount() * sizeof(XTextureVertex)),
                      0);
            EXPECT_EQ(std::memcmp(p.GetWeights(), q.GetWeights(), p.GetWeightCount() * sizeof(XVertexWeight)),
                      0);
            EXPECT_EQ(std::memcmp(p.GetFaces(), q.GetFaces(), p.GetFaceCount() * sizeof(XFace)), 0);
            EXPECT_EQ(mx->GetModifierCount(), static_cast<XTriMesh*>(y)->GetModifierCount());
        }
    }
}

// Whether [begin, end) of the bytes is a list of chunks that fills it exactly.
bool IsChunkList(const Bytes& bytes, size_t begin, size_t end)
{
    if (begin == end)
        return false;
    while (begin < end)
    {
        if (end - begin < 8)
            return false;
        uint32_t size = U32(bytes, begin + 4);
        if (size < 8 || size > end - begin)
            return false;
        begin += size;
    }
    return true;
}

// The chunks of the list [begin, end) that contain the cut end at it, and so do theirs: what a
// writer stopped at `cut` would leave with consistent sizes.
void EndChunksAt(Bytes& bytes, size_t begin, size_t end, size_t cut)
{
    while (begin < end)
    {
        uint32_t size = U32(bytes, begin + 4);
        size_t chunkEnd = begin + size;
        if (begin < cut && cut < chunkEnd)
        {
            uint32_t shortened = static_cast<uint32_t>(cut - begin < 8 ? 8 : cut - begin);
            if (IsChunkList(bytes, begin + 8, chunkEnd))
                EndChunksAt(bytes, begin + 8, chunkEnd, cut);
            std::memcpy(&bytes[begin + 4], &shortened, 4);
            return;
        }
        begin = chunkEnd;
    }
}

// Where the object chunk of the object with this GUID starts.
size_t ObjectChunkAt(const Bytes& bytes, const XGuid& guid)
{
    for (size_t at = 0; at + 32 <= bytes.size(); ++at)
        if (U32(bytes, at) == XScene::ChunkObject && U32(bytes, at + 8) == XScene::ChunkGuid &&
            std::memcmp(&bytes[at + 16], &guid, 16) == 0)
            return at;
    ADD_FAILURE() << "no object chunk";
    return 0;
}

XTriMesh* AddTriMesh(XScene& scene, const char16_t* name, uint32_t vertices)
{
    auto* mesh = static_cast<XTriMesh*>(scene.CreateObject(u"XTriMesh", nullptr, name));
    for (uint32_t i = 0; i < vertices; ++i)
        mesh->GetMesh()->AddVertex(XVertex(float(i), 1, 2), 0);
    return mesh;
}

uint32_t VerticesOf(XScene& scene, const char16_t* name)
{
    auto* mesh = dynamic_cast<XTriMesh*>(scene.FindObject(XString(name)));
    EXPECT_NE(mesh, nullptr) << "no " << std::string(name, name + std::char_traits<char16_t>::length(name));
    return mesh ? mesh->GetMesh()->GetVertexCount() : 0xFFFFFFFFu;
}

struct ChangeCounter
{
    int changes = 0;
    int attaches = 0;
    void Change(TObject*) { ++changes; }
    void Attach(TObject*, XBaseObject*) { ++attaches; }
};
} // namespace

TEST(XSceneFileTest, EmptySceneSavesToOneHundredBytes)
{
    XScene scene(nullptr);
    Bytes bytes = Saved(scene);
    ASSERT_EQ(bytes.size(), 100u);
    const Bytes guid = {0x12, 0xA7, 0x84, 0x16, 0xB4, 0xDC, 0x1F, 0x48,
                        0xB2, 0x9B, 0x27, 0x45, 0xF6, 0xD8, 0xE0, 0x0D};
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 16), guid);
    EXPECT_EQ(U32(bytes, 16), 0u);
    uint16_t year, month;
    std::memcpy(&year, &bytes[20], 2);
    std::memcpy(&month, &bytes[22], 2);
    EXPECT_GE(year, 2024);
    EXPECT_TRUE(month >= 1 && month <= 12);
    // Root, version, contents table with count 0, empty objects, node tree with an empty tree root.
    const uint32_t expected[] = {0x4E435358, 64,         0x4E43535E, 12, 0,          0x4E435361,
                                 20,         0x4E435362, 12,         0,  0x4E43535A, 8,
                                 0x4E43535C, 16,         0xFF010000, 8};
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(U32(bytes, 36 + 4 * i), expected[i]) << i;
}

TEST(XSceneFileTest, ModelSceneRoundTripsThroughFileAndStreams)
{
    TempDir dir("xscene");
    XCamera viewCamera;
    viewCamera.SetFOV(0.5f);
    ViewportDouble viewport;
    viewport.camera = &viewCamera;
    ViewDouble view;
    view.activeViewport = &viewport;
    XScene scene(nullptr);
    BuildModel(scene);
    EXPECT_EQ(scene.CreateCameraPreset(u"Front"), 0u); // no view yet
    EXPECT_EQ(scene.GetCameraPresetCount(), 0u);
    scene.SetView(&view);
    EXPECT_EQ(scene.CreateCameraPreset(u"Front"), 0u);
    scene.SetView(nullptr);
    EXPECT_EQ(scene.GetLightCount(), 3u);
    EXPECT_EQ(scene.GetCameraCount(), 1u);
    std::u16string path = WidePath(dir / "model.xscene");
    scene.SaveToFile(path.c_str());
    EXPECT_TRUE(scene.GetFileName() == path.c_str());
    EXPECT_FALSE(std::filesystem::exists(dir / "model.xscene.~new"));

    XScene loaded(nullptr);
    loaded.AddClass(&UVModifierDesc);
    ChangeCounter counter;
    loaded.OnSceneChange = MakeClosure(&counter, &ChangeCounter::Change);
    loaded.OnObjectAttach = MakeClosure(&counter, &ChangeCounter::Attach);
    std::filesystem::permissions(dir / "model.xscene", std::filesystem::perms::owner_read);
    {
        BoxRecorder boxes;
        loaded.LoadFromFile(path.c_str());
        EXPECT_TRUE(boxes.boxes.empty());
    }
    EXPECT_EQ(counter.changes, 2);
    EXPECT_EQ(counter.attaches, 0);
    EXPECT_EQ(loaded.GetState(), XScene::StateNormal);
    ExpectSameScene(scene, loaded);
    EXPECT_GE(loaded.GetMaterialCount(), 128u);
    EXPECT_EQ(loaded.GetMaterial(1), nullptr);
    ASSERT_NE(loaded.GetMaterial(2), nullptr);
    EXPECT_TRUE(loaded.GetMaterial(2)->GetName() == u"Blue");
    EXPECT_EQ(loaded.GetLightCount(), 3u);
    ASSERT_EQ(loaded.GetCameraCount(), 1u);
    EXPECT_FLOAT_EQ(static_cast<XCamera*>(loaded.GetCamera(0))->GetFOV(), 1.0f);
    ASSERT_EQ(loaded.GetCameraPresetCount(), 1u);
    EXPECT_TRUE(loaded.GetCameraPreset(u"Front")->Name == u"Front");
    EXPECT_FLOAT_EQ(loaded.GetCameraPreset(0u)->FOV, 0.5f);
    EXPECT_EQ(loaded.GetCameraPresetIndex(u"Back"), 0xFFFFFFFFu);

    // Saving again gives the same bytes but for the time stamp.
    Bytes first = ReadWholeFileData(dir / "model.xscene");
    Bytes second = Saved(loaded);
    ASSERT_EQ(first.size(), second.size());
    std::fill(first.begin() + 20, first.begin() + 36, 0);
    std::fill(second.begin() + 20, second.begin() + 36, 0);
    EXPECT_EQ(first, second);

    // A stream without header loads the same.
    XScene bare(nullptr);
    bare.AddClass(&UVModifierDesc);
    Load(bare, Bytes(second.begin() + 36, second.end()));
    ExpectSameScene(scene, bare);

    // A single object through a file.
    std::u16string objectPath = WidePath(dir / "body.xobj");
    XBaseObject* body =
        scene.FindObject(XString(u"Body"))->GetScene()->FindMeshNode(XString(u"Body"))->GetMesh();
    scene.SaveObjectToFile(objectPath.c_str(), body);
    XScene single(nullptr);
    XBaseObject* object = nullptr;
    single.LoadObjectFromFile(objectPath.c_str(), object);
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(object->GetGuid() == body->GetGuid());
    EXPECT_TRUE(object->GetName() == body->GetName());
    EXPECT_EQ(static_cast<XTriMesh*>(object)->GetVertexCount(), 40u);
    // Read again with the object present: it is filled in place.
    XBaseObject* again = nullptr;
    single.LoadObjectFromFile(objectPath.c_str(), again);
    EXPECT_EQ(again, object);
    EXPECT_EQ(single.GetObjectCount(), 1u);
}

TEST(XSceneFileTest, ReportsFormatErrorsAndPassesFileErrorsOn)
{
    TempDir dir("xscene");
    XScene scene(nullptr);
    scene.AddClass(&UVModifierDesc);
    BoxRecorder boxes;

    // A missing file: the narrow error, no message, an emptied scene in its normal state.
    scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Old");
    EXPECT_EQ(ThrownText([&] { scene.LoadFromFile(WidePath(dir / "missing.xscene").c_str()); }),
              "Failed opening file.");
    EXPECT_EQ(scene.GetObjectCount(), 0u);
    EXPECT_EQ(scene.GetState(), XScene::StateNormal);

    // Shorter than its header: the stream's narrow error, the state normal again.
    XMemoryStream shortStream(0, 0x2000);
    LoadStream(shortStream, Bytes(10, 0));
    EXPECT_EQ(ThrownText([&] { scene.LoadFromStream(&shortStream); }), "Stream reading error.");
    EXPECT_EQ(scene.GetState(), XScene::StateNormal);
    EXPECT_TRUE(boxes.boxes.empty());

    struct Case
    {
        const char* what;
        Bytes bytes;
        std::u16string message;
        std::vector<std::u16string> names;
    };
    const Case cases[] = {
        {"wrong root", Chunk(0x12345678, Bytes(16, 0)), u"Invalid stream format.", {}},
        {"unregistered class keeps what came before",
         Table({{u"XTriMesh", u"Mesh"}, {u"XBone", u"Bone"}, {u"XTriMesh", u"Late"}}),
         u"Bad file contents table.",
         {u"Mesh"}},
        {"name of 300 units: not applied",
         Table({{u"XTriMesh", std::u16string(300, u'n').c_str()}}),
         u"",
         {u"TriMesh"}},
        {"name past 1,024 units",
         Table({{u"XTriMesh", std::u16string(1025, u'n').c_str()}}),
         u"Bad file contents table.",
         {}},
        {"count beyond its entries",
         Chunk(XScene::ChunkRoot,
               Chunk(XScene::ChunkContents, Chunk(XScene::ChunkCount, U32Payload(0xFFFFFFFF)))),
         u"Bad file contents table.",
         {}},
        {"guid under another chunk id",
         Chunk(XScene::ChunkRoot,
               Chunk(XScene::ChunkContents,
                     Cat({Chunk(XScene::ChunkCount, U32Payload(1)), Chunk(XScene::ChunkName, GuidPayload(1)),
                          Chunk(XScene::ChunkClassName, StringPayload(u"XTriMesh")),
                          Chunk(XScene::ChunkName, StringPayload(u"Mesh"))}))),
         u"Bad file contents table.",
         {}},
        {"damaged node tree",
         Cat({Table({{u"XMeshNode", u"N"}}), Chunk(XScene::ChunkNodeTree, Bytes{1, 2, 3})}),
         u"",
         {u"N"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        boxes.boxes.clear();
        scene.ClearScene();
        Load(scene, c.bytes);
        if (c.message.empty())
            EXPECT_TRUE(boxes.boxes.empty());
        else
            EXPECT_EQ(Texts(boxes), std::vector<std::u16string>{c.message});
        std::vector<std::u16string> names;
        for (unsigned i = 0; i < scene.GetObjectCount(); ++i)
            names.push_back(scene.GetObjectW(i)->GetName().c_str());
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(scene.GetState(), XScene::StateNormal);
    }

    // The version: the header's, then the version chunk's, written back by the next save.
    Bytes header(16);
    std::memcpy(header.data(), &XScene::FormatGuid, 16);
    Bytes versioned = Cat({header, U32Payload(7), Bytes(16, 0),
                           Chunk(XScene::ChunkRoot, Chunk(XScene::ChunkVersion, U32Payload(9)))});
    scene.ClearScene();
    Load(scene, Bytes(versioned.begin(), versioned.end() - 12)); // the root without its version chunk
    EXPECT_EQ(scene.GetVersion(), 7u);
    Load(scene, versioned);
    EXPECT_EQ(scene.GetVersion(), 9u);
    EXPECT_EQ(U32(Saved(scene), 16), 9u);

    // A single-object stream must start with an object chunk.
    boxes.boxes.clear();
    XBaseObject* none = nullptr;
    XMemoryStream notAnObject(0, 0);
    LoadStream(notAnObject, Chunk(XScene::ChunkRoot, {}));
    scene.LoadObjectFromStream(&notAnObject, none);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(Texts(boxes), std::vector<std::u16string>{u"Invalid stream format."});

    // Merging a file twice: the second time its first GUID is taken.
    XScene source(nullptr);
    BuildModel(source);
    std::u16string path = WidePath(dir / "twice.xscene");
    source.SaveToFile(path.c_str());
    scene.ClearScene();
    boxes.boxes.clear();
    scene.MergeFromFile(path.c_str());
    unsigned count = scene.GetObjectCount();
    scene.MergeFromFile(path.c_str());
    EXPECT_EQ(Texts(boxes), std::vector<std::u16string>{u"Bad file contents table."});
    EXPECT_EQ(scene.GetObjectCount(), count);
}

TEST(XSceneFileTest, EveryCutOfASavedSceneEndsCleanly)
{
    ViewDouble view;
    XScene source(nullptr);
    BuildModel(source, 3);
    source.SetView(&view);
    Bytes bytes = Saved(source);
    BoxRecorder boxes;
    XScene scene(nullptr);
    scene.AddClass(&UVModifierDesc);
    // Plain cuts: every one ends at the root chunk, which reaches past the data.
    for (size_t cut = 0; cut < bytes.size(); cut += cut < 64 ? 1 : 13)
    {
        scene.ClearScene();
        boxes.boxes.clear();
        XMemoryStream stream(0, 0x2000);
        LoadStream(stream, Bytes(bytes.begin(), bytes.begin() + cut));
        try
        {
            scene.LoadFromStream(&stream);
            EXPECT_EQ(Texts(boxes), std::vector<std::u16string>{u"Invalid stream format."}) << cut;
        }
        catch (const char* text)
        {
            EXPECT_STREQ(text, "Stream reading error.");
            EXPECT_LT(cut, 36u);
        }
        EXPECT_EQ(scene.GetState(), XScene::StateNormal);
    }
    bool loadedSome = false;
    // Cut inside with the sizes of every chunk around the cut made to end there: each reader
    // meets the end of its data at every possible place.
    for (size_t cut = 44; cut < bytes.size(); ++cut)
    {
        Bytes cutBytes = bytes;
        EndChunksAt(cutBytes, 36, cutBytes.size(), cut);
        cutBytes.resize(std::max<size_t>(cut, 44));
        scene.ClearScene();
        Load(scene, cutBytes);
        EXPECT_EQ(scene.GetState(), XScene::StateNormal);
        loadedSome = loadedSome || scene.GetObjectCount() > 0;
    }
    EXPECT_TRUE(loadedSome);
    // Flipped bytes end cleanly too.
    for (size_t at = 36; at < bytes.size(); at += 5)
    {
        Bytes damaged = bytes;
        damaged[at] ^= 0xA5;
        scene.ClearScene();
        Load(scene, damaged);
        EXPECT_EQ(scene.GetState(), XScene::StateNormal);
    }
}

namespace
{
// A mesh object whose loader reads its values without asking how much of its chunk is left, as
// a careless class might: what each read gave, or which error it met.
std::vector<std::string> g_rawReads;

class RawValues : public XBaseMesh
{
public:
    static constexpr uint32_t U32Chunk = 0x7A7A0001;
    static constexpr uint32_t StringChunk = 0x7A7A0002;
    RawValues() { SetName(u"Raw"); }
    StrUtils::XBaseString<WCHAR> GetClassNameW() const override { return u"XRawValues"; }
    XBoundingBox GetBoundingBox(unsigned) override { return XBoundingBox(-1, -1, -1, 1, 1, 1); }
    XMesh* GetMesh(unsigned, XViewport*, XMeshNode*) override { return nullptr; }
    void Load(XScene* scene, XReader& reader) override
    {
        if (reader.GetChunkId() != U32Chunk && reader.GetChunkId() != StringChunk)
        {
            XBaseMesh::Load(scene, reader);
            return;
        }
        try
        {
            if (reader.GetChunkId() == U32Chunk)
            {
                uint32_t value = 0;
                reader.ReadU32(value);
                g_rawReads.push_back(std::to_string(value));
            }
            else
            {
                XString text;
                reader.ReadString(text, 0xFFFF);
                g_rawReads.push_back("text of " + std::to_string(text.Length()));
            }
        }
        catch (const FileUtils::XIOError&)
        {
            g_rawReads.push_back("read error");
            throw;
        }
        catch (const XException&)
        {
            g_rawReads.push_back("other error");
            throw;
        }
    }
};

struct RawValuesDesc : XClassDesc
{
    XBaseObject* Create() const override { return new RawValues; }
    StrUtils::XBaseString<WCHAR> GetClassNameW() const override { return u"XRawValues"; }
    uint32_t GetCategory() const override { return XCAT_MESH; }
} g_rawValuesDesc;
} // namespace

TEST(XSceneFileTest, EachObjectChunkIsReadOnItsOwn)
{
    XScene source(nullptr);
    XTriMesh* a = AddTriMesh(source, u"A", 3);
    AddTriMesh(source, u"B", 5);
    const Bytes bytes = Saved(source);
    const size_t objectA = ObjectChunkAt(bytes, a->GetGuid());
    XScene scene(nullptr);
    BoxRecorder boxes;

    // A damaged object chunk (its GUID cut short) is dropped; the object after it loads.
    Bytes damaged = bytes;
    damaged[objectA + 12] = 8 + 15;
    Load(scene, damaged);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(VerticesOf(scene, u"A"), 0u);
    EXPECT_EQ(VerticesOf(scene, u"B"), 5u);

    // An object chunk that ends inside its mesh: the mesh reader meets the end of the object's
    // chunk and never reads the vertex chunks that follow it in the list of objects.
    size_t cut = objectA;
    while (!(U32(bytes, cut) == 0x01200000 && U32(bytes, cut + 8) == 0x01200001))
        ASSERT_LT(++cut, bytes.size() - 12);
    cut += 8;
    Bytes shortened = bytes;
    const uint32_t size = static_cast<uint32_t>(cut - objectA);
    std::memcpy(&shortened[objectA + 4], &size, 4);
    scene.ClearScene();
    Load(scene, shortened);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(VerticesOf(scene, u"A"), 0u);
    EXPECT_EQ(VerticesOf(scene, u"B"), 5u);

    // An object that comes without a contents table is made by its class chunk: a name chunk
    // read before it names it, one after it does not (the class's default name stays).
    for (bool nameFirst : {true, false})
    {
        Bytes guid = Chunk(XScene::ChunkGuid, GuidPayload(9));
        Bytes name = Chunk(XScene::ChunkName, StringPayload(u"Given"));
        Bytes cls = Chunk(XScene::ChunkClassName, StringPayload(u"XTriMesh"));
        scene.ClearScene();
        Load(scene, Chunk(XScene::ChunkRoot,
                          Chunk(XScene::ChunkObjects,
                                Chunk(XScene::ChunkObject, nameFirst ? Cat({guid, name, cls}) : Cat({guid, cls, name})))));
        ASSERT_EQ(scene.GetObjectCount(), 1u);
        EXPECT_EQ(std::u16string(scene.GetObjectW(0)->GetName().c_str()), nameFirst ? u"Given" : u"TriMesh");
    }
    EXPECT_TRUE(boxes.boxes.empty());

    // An object's last value running past the end of its chunk, a u32 or a string's length,
    // meets the read error there and never takes the bytes of the object after it.
    scene.AddClass(&g_rawValuesDesc);
    for (uint32_t id : {RawValues::U32Chunk, RawValues::StringChunk})
    {
        auto object = [&](uint32_t n, const Bytes& last)
        {
            const Bytes guid = Chunk(XScene::ChunkGuid, GuidPayload(n));
            const Bytes cls = Chunk(XScene::ChunkClassName, StringPayload(u"XRawValues"));
            return Chunk(XScene::ChunkObject, Cat({guid, cls, Chunk(id, last)}));
        };
        g_rawReads.clear();
        scene.ClearScene();
        const Bytes objects = Cat({object(20, {0, 0}), object(21, {0, 0, 0, 0})});
        Load(scene, Chunk(XScene::ChunkRoot, Chunk(XScene::ChunkObjects, objects)));
        const std::string next = id == RawValues::U32Chunk ? "0" : "text of 0";
        EXPECT_EQ(g_rawReads, (std::vector<std::string>{"read error", next}));
        EXPECT_EQ(scene.GetObjectCount(), 2u);
    }
    scene.ClearScene();
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(XSceneFileTest, MergingKeepsTheMaterialsAlreadyInTheirSlots)
{
    TempDir dir("xscene");
    XScene source(nullptr);
    source.CreateObject(u"XMaterial", nullptr, u"Theirs");
    std::u16string path = WidePath(dir / "materials.xscene");
    source.SaveToFile(path.c_str());

    XScene scene(nullptr);
    auto* mine = static_cast<XMaterial*>(scene.CreateObject(u"XMaterial", nullptr, u"Mine"));
    scene.MergeFromFile(path.c_str());
    EXPECT_EQ(scene.GetMaterial(0), mine);
    EXPECT_EQ(mine->GetIndex(), 0u);
    auto* theirs = static_cast<XMaterial*>(scene.FindObject(XString(u"Theirs")));
    ASSERT_NE(theirs, nullptr);
    EXPECT_EQ(theirs->GetIndex(), 1u);
    EXPECT_EQ(scene.GetMaterial(1), theirs);
    EXPECT_EQ(scene.GetMaterialCount(), 128u);
}

TEST(XSceneFileTest, ManyEqualNamesLoadAsNumberedNames)
{
    // A file written by hand or damaged may repeat a name many times; each copy takes the next
    // free number, also around names already numbered.
    const uint32_t count = 5000;
    Bytes table = Chunk(XScene::ChunkCount, U32Payload(count + 1));
    table = Cat({table, Chunk(XScene::ChunkGuid, GuidPayload(1)),
                 Chunk(XScene::ChunkClassName, StringPayload(u"XMeshNode")),
                 Chunk(XScene::ChunkName, StringPayload(u"Box5"))});
    for (uint32_t i = 0; i < count; ++i)
    {
        Bytes entry = Cat({Chunk(XScene::ChunkGuid, GuidPayload(i + 2)),
                           Chunk(XScene::ChunkClassName, StringPayload(u"XMeshNode")),
                           Chunk(XScene::ChunkName, StringPayload(u"Box"))});
        table.insert(table.end(), entry.begin(), entry.end());
    }
    XScene scene(nullptr);
    Load(scene, Chunk(XScene::ChunkRoot, Chunk(XScene::ChunkContents, table)));
    ASSERT_EQ(scene.GetNodeCount(), count + 1);
    EXPECT_TRUE(scene.GetNode(1)->GetName() == u"Box");
    EXPECT_TRUE(scene.GetNode(2)->GetName() == u"Box2");
    EXPECT_TRUE(scene.GetNode(5)->GetName() == u"Box6"); // Box5 was taken first
    EXPECT_TRUE(scene.GetNode(count)->GetName() == u"Box5001");
    // A name that leaves makes its number free again.
    scene.DeleteObject(XString(u"Box3"));
    XMeshNode* node = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Box");
    EXPECT_TRUE(node->GetName() == u"Box3");
}

TEST(XSceneFileTest, ObjectsAttachedWithoutGuidSaveWithFreshOnes)
{
    XScene scene(nullptr);
    auto* mesh = new XTriMesh();
    scene.AttachObject(mesh);
    auto* parent = new XMeshNode();
    scene.AttachObject(parent);
    XMeshNode* child = scene.CreateNode(mesh, nullptr, u"Child");
    parent->AddChild(child);
    auto* node = new XMeshNode();
    node->SetMesh(mesh);
    scene.AttachObject(node);
    EXPECT_TRUE(mesh->GetGuid().IsNull());

    XScene loaded(nullptr);
    Load(loaded, Saved(scene));
    EXPECT_FALSE(mesh->GetGuid().IsNull());
    EXPECT_EQ(loaded.GetObjectCount(), 4u);
    EXPECT_EQ(loaded.GetMeshCount(), 1u);
    XMeshNode* loadedChild = loaded.FindMeshNode(child->GetGuid());
    ASSERT_NE(loadedChild, nullptr);
    EXPECT_TRUE(loadedChild->GetParent()->GetGuid() == parent->GetGuid());
    EXPECT_EQ(loadedChild->GetMesh(), loaded.GetMesh(0));
}

TEST(XSceneFileTest, ViewStateIsWrittenAndReadOnlyWithAView)
{
    ViewDouble view;
    XScene scene(nullptr);
    view.state = 77;
    scene.SetView(&view);
    Bytes bytes = Saved(scene);
    EXPECT_EQ(bytes.size(), 100u + 8 + 12);
    EXPECT_EQ(U32(bytes, 100), XScene::ChunkViewState);

    XScene headless(nullptr);
    Load(headless, bytes);
    ViewDouble other;
    XScene shown(nullptr);
    shown.SetView(&other);
    other.calls.clear();
    Load(shown, bytes);
    EXPECT_EQ(other.state, 77u);
    EXPECT_EQ(other.calls, (std::vector<std::string>{"Load 00770001"}));
}

TEST(XSceneFileTest, ListStreamsPasteWithFreshGuidsAndUniqueNames)
{
    XScene scene(nullptr);
    scene.AddClass(&UVModifierDesc);
    XMeshNode* box = AddModelMesh(scene, u"Box", 6, 3);
    auto* modifier = static_cast<XUVModifier*>(scene.CreateObject(u"XUVModifier", nullptr, nullptr));
    box->GetMesh()->AddModifier(modifier);
    box->SetSelected(true);

    XMemoryStream stream(0, 0x2000);
    scene.SaveSelNodesToStream(&stream);
    stream.SetPosition(0);
    XPtrArray<XBaseObject, 8> pasted;
    scene.LoadFromStream(&stream, pasted);
    ASSERT_EQ(pasted.GetCount(), 3u);
    EXPECT_EQ(scene.GetObjectCount(), 6u);
    XMeshNode* copy = scene.FindMeshNode(XString(u"Box2"));
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(copy->GetGuid() == box->GetGuid());
    ASSERT_NE(copy->GetMesh(), nullptr);
    EXPECT_NE(copy->GetMesh(), box->GetMesh());
    EXPECT_EQ(copy->GetMesh()->GetScene(), &scene);
    EXPECT_EQ(copy->GetMesh()->GetModifierCount(), 1u);
    EXPECT_NE(copy->GetMesh()->GetModifier(0), modifier);
    EXPECT_EQ(copy->GetParent(), scene.GetMeshTree());
    EXPECT_EQ(pasted[2], copy); // last of the file first: the list is reversed

    // Into another scene the GUIDs stay.
    XScene other(nullptr);
    other.AddClass(&UVModifierDesc);
    stream.SetPosition(0);
    other.LoadSelNodesFromStream(&stream);
    XMeshNode* same = other.FindMeshNode(box->GetGuid());
    ASSERT_NE(same, nullptr);
    EXPECT_TRUE(same->GetName() == u"Box");

    scene.ClearNodeSelection();
    EXPECT_EQ(ThrownMessage([&] { scene.SaveSelNodesToStream(&stream); }), u"Не выделено ни одного объекта.");
}

TEST(XSceneFileTest, FailedSavesLeaveThePreviousFile)
{
    TempDir dir("xscene");
    XScene scene(nullptr);
    BuildModel(scene);
    std::u16string path = WidePath(dir / "keep.xscene");
    scene.SaveToFile(path.c_str());
    const Bytes before = ReadWholeFileData(dir / "keep.xscene");
    ASSERT_FALSE(before.empty());
    scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Added");

    // The temporary file cannot be made (no file can be opened any more).
    EXPECT_TRUE(InChildProcess(
        [&]
        {
            int free = ::dup(0);
            ::close(free);
            LimitOpenFiles(static_cast<unsigned long long>(free));
            return ThrownText([&] { scene.SaveToFile(path.c_str()); }) == "Failed opening file." &&
                   scene.GetState() == XScene::StateNormal;
        }));
    EXPECT_EQ(ReadWholeFileData(dir / "keep.xscene"), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    // A full disk while writing a stream: the state is normal again.
    for (unsigned limit : {0u, 20u, 40u, 300u})
    {
        SCOPED_TRACE(limit);
        LimitedStream full(limit);
        BoxRecorder boxes;
        try
        {
            scene.SaveToStream(&full);
            EXPECT_EQ(Texts(boxes), std::vector<std::u16string>{u"Stream input-output operation failed."});
        }
        catch (const char* text)
        {
            EXPECT_STREQ(text, "Stream writing error.");
            EXPECT_LT(limit, 36u);
        }
        EXPECT_EQ(scene.GetState(), XScene::StateNormal);
    }
    EXPECT_EQ(ReadWholeFileData(dir / "keep.xscene"), before);

    // A disk that fills while the file is written: the file's narrow error, the old file as it was
    // and no temporary file left. No file may grow past the limit in a child process, as on a full
    // disk.
    for (rlim_t limit : {rlim_t(0), rlim_t(100), rlim_t(before.size() / 2)})
    {
        SCOPED_TRACE(limit);
        pid_t child = ::fork();
        if (child == 0)
        {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit fileSize{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
            std::string text = ThrownText([&] { scene.SaveToFile(path.c_str()); });
            ::_exit(text == "Stream writing error." ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(ReadWholeFileData(dir / "keep.xscene"), before);
        std::vector<std::string> files;
        for (const auto& item : std::filesystem::directory_iterator(dir.Path()))
            files.push_back(item.path().filename().string());
        EXPECT_EQ(files, std::vector<std::string>{"keep.xscene"});
    }
}

TEST(XSceneFileTest, FindsFilesInTheSceneFolderFirst)
{
    TempDir root("xroot"), elsewhere("xelse");
    std::filesystem::create_directory(root / "Scenes");
    XScene source(nullptr);
    source.CreateNode(XString(u"XTriMesh"), nullptr, u"FromScenes");
    source.SaveToFile(WidePath(root / "Scenes" / "m.xscene").c_str());
    XScene other(nullptr);
    other.CreateNode(XString(u"XTriMesh"), nullptr, u"FromElsewhere");
    other.SaveToFile(WidePath(elsewhere / "m.xscene").c_str());

    XScene scene(nullptr);
    scene.SetRootDir(WidePath(root.Path()).c_str());
    scene.LoadFromFile(WidePath(elsewhere / "m.xscene").c_str());
    EXPECT_NE(scene.FindObject(XString(u"FromScenes")), nullptr);
    EXPECT_TRUE(scene.GetFileName() == (WidePath(root.Path()) + u"\\Scenes\\m.xscene").c_str());

    XString name = WidePath(elsewhere / "other.xscene").c_str();
    scene.FindFile(XFT_SCENE, name);
    EXPECT_TRUE(name == WidePath(elsewhere / "other.xscene").c_str());
}
