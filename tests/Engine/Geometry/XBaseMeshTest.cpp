#include "Engine/Geometry/XBaseMesh.h"

#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Geometry/XUVModifier.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Scene/XSceneLink.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MeshSceneLinkDouble.h"
#include "tests/support/Thrown.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <vector>

namespace
{
// A generated mesh object, as a primitive is: one triangle facing the camera at z = 10 (its
// corner (1, 1) left open) and a vertex at z = 12 that only widens the box.
class Generated : public XBaseMesh
{
public:
    Generated()
    {
        mesh.AddVertex(XVertex(-1, -1, 10), 0);
        mesh.AddVertex(XVertex(1, -1, 10), 0);
        mesh.AddVertex(XVertex(-1, 1, 10), 0);
        mesh.AddVertex(XVertex(1, 1, 12), 0);
        mesh.AddFace(XFace(0, 2, 1));
    }
    XBoundingBox GetBoundingBox(unsigned) override { return mesh.GetBoundingBox(); }
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override
    {
        ++builds;
        if (!IsMeshValid(frame))
            MeshValidate(frame, viewport, node, &mesh);
        return empty ? nullptr : &mesh;
    }
    XMesh mesh;
    int builds = 0;
    bool empty = false;
};

// A node-like holder of a mesh object: counts itself on it and follows replacement.
class NodeLike : public XRefManager
{
public:
    explicit NodeLike(XBaseMesh* m) : reference(this, m) { m->AddRef(); }
    ~NodeLike() override { LetGo(); }
    void LetGo()
    {
        if (XBaseMesh* m = reference.Get())
        {
            reference.SetTarget(nullptr);
            m->Release();
        }
    }
    void Notification(XRefManager*, unsigned message, uintptr_t param) override
    {
        messages.push_back(message);
        if (message == XRM_DELETED)
            reference.SetTarget(nullptr);
        if (message == XRM_REPLACED)
            replacedBy = reinterpret_cast<XRefManager*>(param);
    }
    XReference<XBaseMesh> reference;
    std::vector<unsigned> messages;
    XRefManager* replacedBy = nullptr;
};

XGuid Guid(uint32_t n)
{
    return XGuid(n, 1, 2, 3, 4);
}

// The screen point whose pick ray from the double's camera passes (x, y) at depth 1.
XPoint ScreenPoint(const ViewportDouble& vp, float x, float y)
{
    return XPoint((x * vp.projection.m[0][0] + 1) * vp.width / 2,
                  (1 - y * vp.projection.m[1][1]) * vp.height / 2);
}
} // namespace

TEST(XBaseMeshTest, ModifierStackHoldsEachModifierOnce)
{
    Generated object;
    auto* a = new XUVModifier;
    auto* b = new XUVModifier;
    object.AddModifier(a);
    object.AddModifier(a);
    object.AddModifier(b);
    EXPECT_EQ(object.GetModifierCount(), 2u);
    EXPECT_EQ(a->GetRefCount(), 1);
    EXPECT_EQ(a->GetReferenceCount(), 1u);
    EXPECT_EQ(object.FindModifier(b), 1u);
    EXPECT_EQ(object.FindModifierClass(u"XUVModifier"), a);
    EXPECT_EQ(object.FindModifierClass(u"xuvmodifier"), nullptr);
    EXPECT_EQ(ThrownMessage([&] { object.GetModifier(2); }), u"Out of range.");

    // A change in a modifier invalidates the mesh; destroying one takes it off every stack.
    Generated other;
    other.AddModifier(b);
    object.GetMesh(0, nullptr, nullptr);
    other.GetMesh(0, nullptr, nullptr);
    a->SetUScale(3);
    EXPECT_FALSE(object.IsMeshValid(0));
    EXPECT_TRUE(other.IsMeshValid(0));
    object.GetMesh(0, nullptr, nullptr);
    b->Destroy();
    EXPECT_EQ(object.GetModifierCount(), 1u);
    EXPECT_EQ(other.GetModifierCount(), 0u);
    EXPECT_FALSE(object.IsMeshValid(0));
    EXPECT_FALSE(other.IsMeshValid(0));

    // Removing the last holder's entry releases the modifier, which destroys itself.
    XRefManager watcher;
    XReference<XBaseModifier> watch(&watcher, a);
    object.RemoveModifier(a);
    object.RemoveModifier(a);
    EXPECT_EQ(object.GetModifierCount(), 0u);
    EXPECT_EQ(watch.Get(), nullptr);
}

TEST(XBaseMeshTest, StackSavesGuidsAndLoadsThemThroughTheScene)
{
    MeshSceneLinkDouble link;
    Generated object;
    XUVModifier* a = new XUVModifier;
    XUVModifier* b = new XUVModifier;
    a->SetGuid(Guid(1));
    b->SetGuid(Guid(2));
    object.AddModifier(a);
    object.AddModifier(b);
    std::vector<uint8_t> bytes = SavedBytes([&](XWriter& w) { object.Save(nullptr, w); });
    ASSERT_EQ(bytes.size(), 20u + 8 + 44);
    EXPECT_EQ(ReadU32(&bytes[20]), 0x42710000u);
    EXPECT_EQ(ReadU32(&bytes[28]), 0x42710001u);
    EXPECT_EQ(ReadU32(&bytes[32]), 44u);
    EXPECT_EQ(ReadU32(&bytes[36]), 2u);
    EXPECT_EQ(ReadU32(&bytes[40]), 1u);

    // In a scene the GUIDs are resolved; only modifiers are taken.
    Generated loaded;
    loaded.SetScene(FakeScene());
    Generated notAModifier;
    link.objects = {{Guid(1), &notAModifier}, {Guid(2), b}};
    LoadEachChunk(bytes, [&](XReader& r) { loaded.Load(nullptr, r); });
    ASSERT_EQ(loaded.GetModifierCount(), 1u);
    EXPECT_EQ(loaded.GetModifier(0), b);
    // Out of a scene they are read and dropped; an empty stack saves an empty chunk.
    Generated outside;
    outside.AddModifier(a);
    LoadEachChunk(bytes, [&](XReader& r) { outside.Load(nullptr, r); });
    EXPECT_EQ(outside.GetModifierCount(), 0u);
    EXPECT_EQ(SavedBytes([&](XWriter& w) { outside.Save(nullptr, w); }).size(), 28u);
    EXPECT_EQ(ThrownIOError(
                  [&]
                  {
                      LoadEachChunk(U32Bytes({0x42710000, 32, 0x42710001, 24, 0x10000000, 1, 2, 3, 4}),
                                    [&](XReader& r) { outside.Load(nullptr, r); });
                  }),
              kIOErrorText);
    loaded.SetScene(nullptr);
    object.ClearModifiers(); // the last count on a: destroyed; b goes with `loaded`
}

// Without face precision the box decides; with it only a face does, and the distance is the
// nearest face's.
TEST(XBaseMeshTest, PickingByBoxAndByFace)
{
    MeshSceneLinkDouble link;
    ViewportDouble vp;
    Generated object;
    float distance = 0;
    struct Row
    {
        float x, y;
        unsigned flags;
        bool hit;
        float distance;
    } rows[] = {
        {0, 0, 0, true, 10},          {0, 0, XPICK_FACES, true, 10},
        {0.08f, 0.08f, 0, true, 10},  {0.08f, 0.08f, XPICK_FACES, false, FLT_MAX},
        {0.5f, 0, 0, false, FLT_MAX},
    };
    for (const Row& row : rows)
    {
        EXPECT_EQ(object.IntersectRay(0, &vp, nullptr, ScreenPoint(vp, row.x, row.y), distance, row.flags),
                  row.hit)
            << row.x << " " << row.flags;
        EXPECT_NEAR(distance, row.distance, 1e-3f);
        EXPECT_EQ(object.HitTest(0, &vp, nullptr, ScreenPoint(vp, row.x, row.y), row.flags), row.hit);
    }
    // The node's mesh matrix moves the object: 5 nearer.
    XMeshNode* node = reinterpret_cast<XMeshNode*>(&object);
    XMatrix m(1.0f);
    m.SetTranslation(0, 0, -5);
    link.meshMatrices[node] = m;
    EXPECT_TRUE(object.IntersectRay(0, &vp, node, ScreenPoint(vp, 0, 0), distance, XPICK_FACES));
    EXPECT_NEAR(distance, 5, 1e-3f);
    // Turned so that the camera looks along the mesh's X (a side view): the face x = min, at depth
    // 9, picks over the quarter between its edge at mesh z = min (world x = 1) and its middle too.
    m.SetRotation(0, -1.5707964f, 0); // mesh x along the world's z, mesh z against its x
    m.m[3][0] = 11;
    m.m[3][2] = 10;
    link.meshMatrices[node] = m;
    EXPECT_TRUE(object.IntersectRay(0, &vp, node, ScreenPoint(vp, 0.6f / 9, 0.1f / 9), distance, 0));
    EXPECT_NEAR(distance, 9, 1e-3f);
    EXPECT_FALSE(object.IntersectRay(0, nullptr, nullptr, XPoint(0, 0), distance, 0));
    // Only what the view draws: from inside the box a perspective eye meets it at its near plane (1),
    // and not the face behind it.
    XMatrix eye(1.0f);
    eye.SetTranslation(0, 0, 10.5f);
    vp.SetCameraWorld(eye);
    EXPECT_TRUE(object.IntersectRay(0, &vp, nullptr, ScreenPoint(vp, 0, 0), distance, 0));
    EXPECT_NEAR(distance, 1, 1e-3f);
    EXPECT_FALSE(object.HitTest(0, &vp, nullptr, ScreenPoint(vp, 0, 0), XPICK_FACES));
}

// A real node places the object by its own mesh matrix: with no scene behind the link, and through
// the link a scene installs.
TEST(XBaseMeshTest, PickingThroughANodeUsesTheNodesMeshMatrix)
{
    XSceneLink* previous = XSceneLink::Install(nullptr);
    ViewportDouble vp;
    Generated object;
    XMeshNode node;
    float distance = 0;
    node.SetPosition(0, 0, -5);
    EXPECT_TRUE(object.IntersectRay(0, &vp, &node, ScreenPoint(vp, 0, 0), distance, XPICK_FACES));
    EXPECT_NEAR(distance, 5, 1e-3f);
    {
        XScene scene(nullptr);
        node.SetPosition(0, 0, -2);
        EXPECT_TRUE(object.IntersectRay(0, &vp, &node, ScreenPoint(vp, 0, 0), distance, XPICK_FACES));
        EXPECT_NEAR(distance, 8, 1e-3f);
        node.SetPosition(-0.5f, 0, 0); // moved aside: the ray through the centre passes the open corner
        EXPECT_FALSE(object.HitTest(0, &vp, &node, ScreenPoint(vp, 0, 0), XPICK_FACES));
    }
    XSceneLink::Install(previous);
}

TEST(XBaseMeshTest, ConversionHandsEverythingToTheNewMesh)
{
    auto* object = new Generated;
    object->SetName(u"Cone01");
    object->SetGuid(Guid(7));
    object->SetScene(FakeScene(1));
    auto* uv = new XUVModifier;
    uv->SetUOffset(1);
    object->AddModifier(uv);
    object->mesh.GetTextureVertices()[0] = XTextureVertex(0.5f, 0);
    EXPECT_TRUE(object->CanConvertToType(u"XTriMesh"));
    EXPECT_FALSE(object->CanConvertToType(u"XBox"));
    EXPECT_EQ(object->ConvertToType(0, u"XBox"), nullptr);
    object->empty = true;
    EXPECT_EQ(object->ConvertToType(0, u"XTriMesh"), nullptr);
    object->empty = false;

    NodeLike first(object), second(object);
    XBaseMesh* converted = object->ConvertToType(0, u"XTriMesh");
    ASSERT_NE(converted, nullptr);
    EXPECT_TRUE(converted->GetClassNameW() == u"XTriMesh");
    EXPECT_TRUE(converted->GetName() == u"Cone01");
    EXPECT_EQ(converted->GetGuid(), Guid(7));
    EXPECT_EQ(converted->GetScene(), FakeScene(1));
    EXPECT_EQ(first.replacedBy, converted);
    EXPECT_EQ(second.reference.Get(), converted);
    // The mesh as modified, baked into the new source.
    XMesh* source = static_cast<XTriMesh*>(converted)->GetMesh();
    EXPECT_EQ(source->GetVertexCount(), 4u);
    EXPECT_EQ(source->GetTextureVertices()[0].u, 1.5f);

    EXPECT_EQ(converted->GetRefCount(), 2);
    first.LetGo();
    EXPECT_EQ(second.reference.Get(), converted); // still alive for the second node
    second.LetGo();
    // Destroyed with the last node (the modifier went with the old object); the sanitizer checks
    // that nothing leaks.
}

TEST(XBaseMeshTest, ReleaseAtZeroDestroys)
{
    auto* object = new Generated;
    NodeLike watcher(object); // count 1
    object->Release();        // 0: destroyed, the watcher hears of it
    EXPECT_EQ(watcher.messages, std::vector<unsigned>{XRM_DELETED});
    EXPECT_EQ(watcher.reference.Get(), nullptr);
    auto* fresh = new Generated;
    fresh->Release(); // never counted: destroyed all the same
    EXPECT_EQ(BaseMeshDesc.Create(), nullptr);
    EXPECT_EQ(BaseMeshDesc.GetCategory(), 0x100000u);
}
