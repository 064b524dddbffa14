// The particle system on the software device with a hand-moved clock and scripted random numbers:
// brackets, emission, ageing and death, the point-sprite draw and its states, mouse creation and
// the scene-file chunk.
#include "Engine/Objects/XParticleSystem.h"

#include "Engine/Scene/XBaseMaterial.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ManualClock.h"
#include "tests/support/SceneLinkDouble.h"
#include "tests/support/ShapeChecks.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// A node showing a new particle system, drawn into a software device in a scene.
struct Rig
{
    SoftDevice d;
    ViewportDouble viewport;
    XMeshNode node;
    XParticleSystem* ps = new XParticleSystem;
    int next = 0;

    Rig()
    {
        viewport.device = d.device;
        node.SetMesh(ps);
        node.SetColor(0x80402010u);
        // 0, 1, 2, ... so every particle's draws are known.
        ps->SetRandomSource([this] { return next++; });
        d.device->BeginScene();
    }
    ~Rig() { d.device->EndScene(); }

    void Render()
    {
        d.Clear();
        ps->Render(0, &viewport, &node, 0);
    }
    std::vector<PSVertex> Points() const
    {
        for (const D3D9Call* c : d.Draws())
            if (c->args.rfind("1, ", 0) == 0)
                return CallVertices<PSVertex>(*c);
        return {};
    }
};

class RecordingMaterial : public XBaseMaterial
{
public:
    void BeforeRender(unsigned, XViewport*) override { calls.push_back("before"); }
    void AfterRender(unsigned, XViewport*) override { calls.push_back("after"); }
    std::vector<std::string> calls;
};

class MaterialLink : public SceneLinkDouble
{
public:
    XBaseMaterial* GetMaterial(XScene*, uint32_t index) override { return index == 3 ? material : nullptr; }
    XBaseMaterial* material = nullptr;
};
} // namespace

TEST(XParticleSystemTest, SmallSystemsDrawOnlyTheirBrackets)
{
    ManualClock clock;
    Rig r;
    ASSERT_NE(r.d.soft, nullptr);
    EXPECT_EQ(r.ps->GetName(), XString(u"ParticleSystem"));
    struct Row
    {
        float w, h, depth;
        bool particles;
    } rows[] = {
        {0.99f, 5, 5, false}, {5, 0.5f, 5, false}, {5, 5, -0.2f, false}, {1, 1, 1, true}, {-2, 1, -1, true}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.w);
        r.ps->SetWHD(row.w, row.h, row.depth);
        r.Render();
        auto draws = r.d.Calls("DrawPrimitiveUP");
        ASSERT_EQ(draws.size(), row.particles ? 2u : 1u);
        EXPECT_EQ(draws[0]->args, "2, 24, 16");
        // 24 segments, each 0.4 of the unit cube's edge from one of its corners.
        ASSERT_EQ(draws[0]->vertices.size(), 48u * 16);
        for (size_t s = 0; s < 24; ++s)
        {
            float a[4], b[4];
            std::memcpy(a, &draws[0]->vertices[32 * s], 16);
            std::memcpy(b, &draws[0]->vertices[32 * s + 16], 16);
            const float len = std::fabs(a[0] - b[0]) + std::fabs(a[1] - b[1]) + std::fabs(a[2] - b[2]);
            EXPECT_NEAR(len, 0.4f, 1e-6);
            for (int k = 0; k < 3; ++k)
                EXPECT_TRUE(a[k] == 0 || a[k] == 1);
        }
        EXPECT_EQ(r.d.Calls("SetFVF")[0]->args, "66");
        const XBoundingBox box = r.ps->GetBoundingBox(0);
        EXPECT_EQ(box.max.x, std::fabs(row.w) / 2);
        EXPECT_EQ(box.min.z, -std::fabs(row.depth) / 2);
        clock.Advance(200);
    }
}

TEST(XParticleSystemTest, ParticlesAreBornRiseAndDieWithTheClock)
{
    ManualClock clock(1000);
    Rig r;
    ASSERT_NE(r.d.soft, nullptr);
    r.ps->SetWHD(2, 4, 2);

    // First step: 1000 ms since tick 0 at 8 a second.
    r.Render();
    ASSERT_EQ(r.ps->GetParticleCount(), 8u);
    const PSParticle& first = r.ps->GetParticles()[0];
    // Random numbers 0, 1, 2, 3: lifetime, x, z, size.
    EXPECT_EQ(first.birth, 1000u);
    EXPECT_EQ(first.lifetime, 2000u);
    EXPECT_EQ(first.death, 3000u);
    EXPECT_FLOAT_EQ(first.x, 0.001f * 1 * 2 - 1);
    EXPECT_EQ(first.y, -2.0f);
    EXPECT_FLOAT_EQ(first.z, 0.001f * 2 * 2 - 1);
    EXPECT_FLOAT_EQ(first.size, 0.001f * 0.15f * 3 + 0.05f);
    std::vector<PSVertex> points = r.Points();
    ASSERT_EQ(points.size(), 8u);
    EXPECT_EQ(points[0].color, 0x80402010u);
    EXPECT_EQ(points[0].x, first.x);

    // No step within 100 ms: the same points again.
    clock.Advance(50);
    r.Render();
    EXPECT_EQ(r.Points().size(), 8u);
    EXPECT_EQ(std::memcmp(r.Points().data(), points.data(), 8 * sizeof(PSVertex)), 0);

    // Steps of 250, 125, 100 and 100 ms: 2, 1, 0 and 1 more, the fraction carried.
    struct Step
    {
        uint32_t dt, count;
        float carry;
    } steps[] = {{200, 10, 0.0f}, {125, 11, 0.0f}, {100, 11, 0.8f}, {100, 12, 0.6f}};
    for (const Step& s : steps)
    {
        SCOPED_TRACE(s.dt);
        clock.Advance(s.dt);
        r.Render();
        EXPECT_EQ(r.ps->GetParticleCount(), s.count);
        EXPECT_NEAR(r.ps->GetCarry(), s.carry, 1e-5);
        EXPECT_EQ(r.Points().size(), s.count);
    }
    // Now 1575: the first particle has risen (1575 - 1000) / 2000 of the height.
    EXPECT_FLOAT_EQ(r.ps->GetParticles()[0].y, -2 + 575.0f * 4 / 2000);

    // At 3300 the first eight (dying from 3000 to 3224) have gone in the step and their slots
    // were refilled.
    clock.Advance(3300 - clock.Now());
    r.Render();
    unsigned bornFirst = 0, survivors = 0;
    for (uint32_t i = 0; i < r.ps->GetParticleCount(); ++i)
    {
        const PSParticle& p = r.ps->GetParticles()[i];
        bornFirst += p.birth == 1000;
        survivors += p.birth > 1000 && p.birth < 3300;
        EXPECT_GT(p.death, 3300u);
    }
    EXPECT_EQ(bornFirst, 0u);
    EXPECT_EQ(survivors, 4u);

    // A long pause is one burst, bounded by the maximum count.
    clock.Advance(60000);
    r.Render();
    EXPECT_EQ(r.ps->GetParticleCount(), 128u);
}

TEST(XParticleSystemTest, EmissionStaysBetweenOneAndTheMaximum)
{
    ManualClock clock(1000);
    Rig r;
    ASSERT_NE(r.d.soft, nullptr);
    r.ps->SetWHD(1, 1, 1);
    r.ps->SetRandomSource(nullptr);
    for (int i = 0; i < 40; ++i)
    {
        r.Render();
        EXPECT_GE(r.ps->GetParticleCount(), 1u);
        EXPECT_LE(r.ps->GetParticleCount(), 128u);
        clock.Advance(static_cast<DWORD>(97 * (i % 7) + 13));
    }
}

TEST(XParticleSystemTest, PointSpriteStatesAndLightingAreRestored)
{
    ManualClock clock(5000);
    MaterialLink link;
    RecordingMaterial material;
    link.material = &material;
    int sceneStorage = 0;
    XScene* scene = reinterpret_cast<XScene*>(&sceneStorage);
    for (bool inScene : {false, true})
        for (bool lighting : {true, false})
        {
            SCOPED_TRACE(std::to_string(inScene) + " " + std::to_string(lighting));
            Rig r;
            ASSERT_NE(r.d.soft, nullptr);
            r.viewport.lighting = lighting;
            r.node.SetMaterial(3);
            if (inScene)
                r.node.SetScene(scene);
            material.calls.clear();
            r.Render();
            std::vector<std::string> states;
            for (const D3D9Call* c : r.d.Calls("SetRenderState"))
                states.push_back(c->args);
            const std::string source = inScene ? "145, 0" : "145, 1";
            const std::vector<std::string> expected = {"145, 0",
                                                       "156, 1",
                                                       "157, 1",
                                                       "154, 1034147594",
                                                       "155, 0",
                                                       "158, 1065353216",
                                                       "159, 1065353216",
                                                       "160, 1065353216",
                                                       source,
                                                       "137, 0",
                                                       "156, 0",
                                                       "157, 0",
                                                       lighting ? "137, 1" : "137, 0"};
            EXPECT_EQ(states, expected);
            const std::vector<std::string> around =
                inScene ? std::vector<std::string>{"before", "after"} : std::vector<std::string>{};
            EXPECT_EQ(material.calls, around);
            EXPECT_EQ(r.d.Calls("DrawPrimitiveUP")[1]->args,
                      "1, " + std::to_string(r.ps->GetParticleCount()) + ", 20");
            EXPECT_EQ(r.d.Calls("SetFVF")[1]->args, "98");
            r.node.SetScene(nullptr);
        }
}

TEST(XParticleSystemTest, MouseCreationSizesTheBaseThenTheDepth)
{
    ScriptedPlaneViewport viewport;
    viewport.planeAxis = XAXIS_XY;
    XMeshNode node;
    XParticleSystem* ps = new XParticleSystem;
    node.SetMesh(ps);
    ps->MouseCreateStart();
    EXPECT_EQ(ps->GetDepth(), 0.001f);
    EXPECT_FALSE(ps->MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(0, 0), 0));
    EXPECT_FALSE(ps->MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(4, 2), 0));
    EXPECT_EQ(ps->GetWidth(), 4.0f);
    EXPECT_EQ(ps->GetHeight(), 2.0f);
    EXPECT_EQ(ps->GetDepth(), 0.001f);
    EXPECT_EQ(node.GetPosition().x, 2.0f);
    EXPECT_EQ(node.GetPosition().z, 0.0f);
    EXPECT_FALSE(ps->MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(4, 2), 0));
    EXPECT_FALSE(ps->MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(4, 3), 0));
    EXPECT_EQ(ps->GetDepth(), 10.0f);
    EXPECT_EQ(node.GetPosition().z, 5.0f);
    EXPECT_TRUE(ps->MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(4, 3), 0));
}

TEST(XParticleSystemTest, ChunkRoundTripsWithoutResettingAndFieldsAreListed)
{
    XParticleSystem ps;
    ps.SetWHD(3, -4, 5);
    ExpectRoundTrip(ps);

    XParticleSystem loaded;
    loaded.SetWidth(7);
    const std::vector<uint8_t> heightOnly = SavedBytes(
        [](XWriter& w)
        {
            w.BeginChunk(ClassId::ParticleSystem);
            w.WriteChunkFloat(XParticleSystem::HeightChunk, 9);
            w.EndChunk();
        });
    LoadObject(loaded, heightOnly);
    EXPECT_EQ(loaded.GetWidth(), 7.0f);
    EXPECT_EQ(loaded.GetHeight(), 9.0f);

    const std::vector<std::u16string> fields = FieldList(ps);
    ASSERT_GE(fields.size(), 3u);
    EXPECT_EQ(std::vector<std::u16string>(fields.end() - 3, fields.end()),
              (std::vector<std::u16string>{u"Width:float", u"Height:float", u"Depth:float"}));
    EXPECT_EQ(ps.GetMesh(0, nullptr, nullptr), nullptr);
    EXPECT_EQ(ParticleSystemDesc.GetCategory(), 0x100000u);
}
