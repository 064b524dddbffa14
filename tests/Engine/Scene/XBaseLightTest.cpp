#include "Engine/Scene/XBaseLight.h"

#include "Components/XException.h"
#include "Components/XVariant.h"
#include "Engine/Scene/XClassIds.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MathChecks.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr float kHalfPi = 1.57079637f;

XMatrix Placement(float ax, float ay, float az, XVertex t)
{
    XMatrix m;
    m.SetRotation(ax, ay, az);
    m.m[3][0] = t.x;
    m.m[3][1] = t.y;
    m.m[3][2] = t.z;
    return m;
}

// One light chunk 0x45600000 holding the given sub-chunks.
std::vector<uint8_t> LightChunk(const D3DLIGHT9* record, const uint8_t* active)
{
    return SavedBytes(
        [&](XWriter& w)
        {
            w.BeginChunk(ClassId::BaseLight);
            if (record)
                w.WriteChunk(XBaseLight::RecordChunk, record, sizeof *record);
            if (active)
                w.WriteChunkU8(XBaseLight::PidActive, *active);
            w.EndChunk();
        });
}

void Load(XBaseLight& light, const std::vector<uint8_t>& bytes)
{
    LoadEachChunk(bytes, [&](XReader& r) { light.Load(nullptr, r); });
}

std::vector<uint8_t> RecordBytes(const D3DLIGHT9& light)
{
    std::vector<uint8_t> bytes(sizeof light);
    std::memcpy(bytes.data(), &light, sizeof light);
    return bytes;
}
} // namespace

TEST(XBaseLightTest, KindsStartFromTheDefaultRecord)
{
    struct Case
    {
        std::unique_ptr<XBaseLight> light;
        const XClassDesc& desc;
        D3DLIGHTTYPE type;
        uint32_t classId;
        const char16_t* className;
    };
    Case cases[] = {
        {std::make_unique<XPointLight>(), PointLightDesc, D3DLIGHT_POINT, 0x45610000, u"XPointLight"},
        {std::make_unique<XSpotLight>(), SpotLightDesc, D3DLIGHT_SPOT, 0x45620000, u"XSpotLight"},
        {std::make_unique<XDirectionalLight>(), DirectionalLightDesc, D3DLIGHT_DIRECTIONAL, 0x45630000,
         u"XDirectionalLight"},
    };
    for (Case& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.type));
        XBaseLight& light = *c.light;
        const D3DLIGHT9* r = light.GetLight(0);
        EXPECT_EQ(r->Type, c.type);
        EXPECT_EQ(r->Range, FLT_MAX);
        EXPECT_EQ(r->Range, 3.4028235e38f);
        EXPECT_EQ(r->Theta, 1.57f);
        EXPECT_EQ(r->Phi, 1.57f);
        EXPECT_EQ(r->Falloff, 1.0f);
        EXPECT_EQ(r->Attenuation0, 0.01f);
        EXPECT_EQ(r->Attenuation2, 0.01f);
        EXPECT_EQ(XColor(r->Diffuse).GetARGB(), 0xFFFFFFFFu);
        EXPECT_EQ(XColor(r->Ambient).GetARGB(), 0u);
        ExpectVertex(XVertex(r->Direction.x, r->Direction.y, r->Direction.z), -1, 0, 0);
        EXPECT_TRUE(light.GetActive());
        EXPECT_EQ(light.GetName(), u"Light");
        EXPECT_EQ(light.GetClassId(), c.classId);
        EXPECT_EQ(light.GetClassNameW(), c.className);

        EXPECT_EQ(c.desc.GetClassNameW(), c.className);
        EXPECT_EQ(c.desc.GetCategory(), 0x110u);
        std::unique_ptr<XBaseObject> made(c.desc.Create());
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->GetClassNameW(), c.className);

        EXPECT_EQ(light.GetPropertyCount(), 25u);
        EXPECT_EQ(std::u16string(light.GetPropertyDesc(0)->Name), u"Active");
        EXPECT_EQ(std::u16string(light.GetPropertyDesc(10)->Name), u"Phi");
        EXPECT_EQ(std::u16string(light.GetPropertyDesc(11)->Name), u"Material");
        EXPECT_EQ(light.GetPropertyDesc(25), nullptr);
    }
    EXPECT_EQ(BaseLightDesc.Create(), nullptr);
    EXPECT_EQ(BaseLightDesc.GetCategory(), 0x110u);
    EXPECT_EQ(XBaseLight().GetClassId(), 0x45600000u);
}

TEST(XBaseLightTest, PositionAndDirectionFollowTheNodeAtTheFrameAsked)
{
    XMeshNode parent;
    XSpotLight light;
    parent.SetMatrix(Placement(0, 0, kHalfPi, XVertex(1, 2, 3)));
    parent.AddChild(&light);
    light.SetMatrix(XMatrix(1.0f)); // placed exactly by the parent

    const D3DLIGHT9* r = light.GetLight(0);
    ExpectVertex(XVertex(r->Direction.x, r->Direction.y, r->Direction.z), 0, -1, 0, 1e-6f);
    ExpectVertex(XVertex(r->Position.x, r->Position.y, r->Position.z), 1, 2, 3, 1e-6f);

    // A scaled node still gives a unit direction.
    XMatrix scale;
    scale.SetScale(3, 3, 3);
    light.SetMatrix(scale);
    r = light.GetLight(0);
    ExpectVertex(XVertex(r->Direction.x, r->Direction.y, r->Direction.z), 0, -1, 0, 1e-6f);

    // The parent moves; someone else brings the light's matrix cache back to frame 0 first.
    parent.SetPosition(5, 0, 0);
    XMatrix world;
    light.GetMeshMatrix(0, world);
    r = light.GetLight(0);
    ExpectVertex(XVertex(r->Position.x, r->Position.y, r->Position.z), 5, 0, 0, 1e-6f);

    parent.RemoveChild(&light);

    // The mesh offset places the light too.
    XPointLight offset;
    offset.SetPosition(5, 0, 0);
    offset.GetLight(0);
    offset.Move(0, XMatrix(1.0f), XVertex(0, 0, 1), true, XTT_MESH);
    r = offset.GetLight(0);
    ExpectVertex(XVertex(r->Position.x, r->Position.y, r->Position.z), 5, 0, 1, 1e-5f);
}

TEST(XBaseLightTest, PropertiesReadAndWriteTheRecord)
{
    XPointLight light;
    struct Case
    {
        uint32_t id;
        float value;
        float D3DLIGHT9::*field;
    };
    const Case floats[] = {
        {XBaseLight::PidRange, 50.0f, &D3DLIGHT9::Range},
        {XBaseLight::PidFalloff, 2.0f, &D3DLIGHT9::Falloff},
        {XBaseLight::PidAttenuation0, 0.5f, &D3DLIGHT9::Attenuation0},
        {XBaseLight::PidAttenuation1, 0.25f, &D3DLIGHT9::Attenuation1},
        {XBaseLight::PidAttenuation2, 0.125f, &D3DLIGHT9::Attenuation2},
        {XBaseLight::PidTheta, 0.5f, &D3DLIGHT9::Theta},
        {XBaseLight::PidPhi, 1.0f, &D3DLIGHT9::Phi},
    };
    for (const Case& c : floats)
    {
        VarUtils::XVariant v;
        v = c.value;
        light.SetPropertyValue(c.id, v);
        EXPECT_EQ(light.GetLight(0)->*c.field, c.value) << c.id;
        VarUtils::XVariant out;
        light.GetPropertyValue(c.id, out);
        EXPECT_EQ(out.AsDouble(), c.value) << c.id;
    }

    VarUtils::XVariant color;
    color = 0x80FF0033u;
    light.SetPropertyValue(XBaseLight::PidDiffuseColor, color);
    const D3DLIGHT9* r = light.GetLight(0);
    EXPECT_FLOAT_EQ(r->Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(r->Diffuse.g, 0.0f);
    EXPECT_FLOAT_EQ(r->Diffuse.b, 0x33 / 255.0f);
    EXPECT_FLOAT_EQ(r->Diffuse.a, 0x80 / 255.0f);
    VarUtils::XVariant out;
    light.GetPropertyValue(XBaseLight::PidDiffuseColor, out);
    EXPECT_EQ(static_cast<unsigned>(out.AsInt()), 0x80FF0033u);

    VarUtils::XVariant off;
    off = false;
    light.SetPropertyValue(XBaseLight::PidActive, off);
    EXPECT_FALSE(light.GetActive());
    // Node ids still reach the node.
    VarUtils::XVariant material;
    material = 7u;
    light.SetPropertyValue(XMeshNode::PidMaterial, material);
    EXPECT_EQ(light.GetMaterial(), 7u);
}

TEST(XBaseLightTest, ChunksRoundTripAndLoadIntoTheirOwnType)
{
    XPointLight saved;
    saved.SetPosition(1, 2, 3);
    saved.SetActive(false);
    VarUtils::XVariant v;
    v = 9.0f;
    saved.SetPropertyValue(XBaseLight::PidRange, v);
    auto bytes = SavedBytes([&](XWriter& w) { saved.Save(nullptr, w); });

    XPointLight point;
    Load(point, bytes);
    EXPECT_FALSE(point.GetActive());
    EXPECT_EQ(RecordBytes(*point.GetLight(0)), RecordBytes(*saved.GetLight(0)));
    EXPECT_EQ(SavedBytes([&](XWriter& w) { point.Save(nullptr, w); }), bytes);

    // The class's type wins over the saved one.
    XDirectionalLight directional;
    Load(directional, bytes);
    EXPECT_EQ(directional.GetLight(0)->Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(directional.GetLight(0)->Range, 9.0f);

    // No Active sub-chunk: active; no record: the default record, whatever was there.
    D3DLIGHT9 record = XBaseLight::DefaultLight(D3DLIGHT_SPOT);
    record.Theta = 0.25f;
    XSpotLight spot;
    spot.SetActive(false);
    Load(spot, LightChunk(&record, nullptr));
    EXPECT_TRUE(spot.GetActive());
    EXPECT_EQ(spot.GetLight(0)->Theta, 0.25f);
    const uint8_t inactive = 0;
    Load(spot, LightChunk(nullptr, &inactive));
    EXPECT_FALSE(spot.GetActive());
    EXPECT_EQ(spot.GetLight(0)->Theta, 1.57f);
}

TEST(XBaseLightTest, DamagedChunksEndCleanly)
{
    D3DLIGHT9 record = XBaseLight::DefaultLight(D3DLIGHT_POINT);
    const uint8_t active = 1;
    const auto bytes = LightChunk(&record, &active);
    // A record chunk cut short is refused, not read past its end.
    auto shortRecord = SavedBytes(
        [&](XWriter& w)
        {
            w.BeginChunk(ClassId::BaseLight);
            w.WriteChunk(XBaseLight::RecordChunk, &record, 100);
            w.EndChunk();
        });
    XPointLight light;
    EXPECT_THROW(Load(light, shortRecord), FileUtils::XIOError);

    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        XPointLight target;
        try
        {
            Load(target, part);
        }
        catch (const XException&)
        {
        }
        EXPECT_EQ(target.GetLight(0)->Type, D3DLIGHT_POINT) << cut;
    }
}

TEST(XBaseLightTest, IconsDrawAsIndexedTrianglesInTheNodeColour)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ViewportDouble viewport;
    viewport.device = d3d.device;

    struct Case
    {
        std::unique_ptr<XBaseLight> light;
        unsigned vertices;
        unsigned triangles;
    };
    Case cases[] = {{std::make_unique<XPointLight>(), 6, 8},
                    {std::make_unique<XSpotLight>(), 13, 18},
                    {std::make_unique<XDirectionalLight>(), 13, 18}};
    for (Case& c : cases)
    {
        c.light->SetColor(0xFF336699u);
        c.light->SetPosition(1, 2, 3);
        d3d.Clear();
        d3d.device->BeginScene();
        c.light->Render(0, &viewport, 0);
        d3d.device->EndScene();
        std::vector<std::string> texts = d3d.Texts();
        ASSERT_EQ(texts.size(), 9u);
        EXPECT_EQ(texts[1].rfind("SetTransform(256, ", 0), 0u) << texts[1];
        EXPECT_NE(texts[1].find(" 1 2 3 1]"), std::string::npos) << texts[1];
        EXPECT_EQ(texts[2], "SetStreamSource(0, null, 0, 12)");
        EXPECT_EQ(texts[3], "SetFVF(2)");
        EXPECT_EQ(texts[4], "SetRenderState(145, 0)");
        EXPECT_EQ(texts[5], "SetRenderState(8, 3)");
        EXPECT_EQ(texts[6].rfind("SetMaterial([0.2 0.4 0.6 1 0 0 0 0 0 0 0 0 0 0 0 0 1])", 0), 0u)
            << texts[6];
        EXPECT_EQ(texts[7], "DrawIndexedPrimitiveUP(4, 0, " + std::to_string(c.vertices) + ", " +
                                std::to_string(c.triangles) + ", 102, 12)");
        const D3D9Call& draw = d3d.Log()[7];
        EXPECT_EQ(draw.vertices.size(), 12u * c.vertices);
        EXPECT_EQ(draw.indices.size(), 4u * 3 * c.triangles);
    }
    // The first point-light triangle is (0, 5, 2) over v0 (0, 1, 0).
    d3d.Clear();
    d3d.device->BeginScene();
    cases[0].light->Render(0, &viewport, 0);
    d3d.device->EndScene();
    const D3D9Call& draw = d3d.Log()[7];
    ASSERT_EQ(draw.indices.size(), 96u);
    uint32_t first[3];
    std::memcpy(first, draw.indices.data(), sizeof first);
    EXPECT_EQ(first[0], 0u);
    EXPECT_EQ(first[1], 5u);
    EXPECT_EQ(first[2], 2u);
    float v0[3];
    std::memcpy(v0, draw.vertices.data(), sizeof v0);
    EXPECT_EQ(v0[1], 1.0f);

    // Without a device nothing is drawn and nothing fails.
    viewport.device = nullptr;
    cases[0].light->Render(0, &viewport, 0);
}

TEST(XBaseLightTest, PickingHitsTheIconFromEverySide)
{
    ViewportDouble viewport;
    const XPoint centre(320, 240);
    // Cameras five units from the origin looking at it, from -z, +z, -x, +y and an oblique side.
    const XMatrix cameras[] = {
        Placement(0, 0, 0, XVertex(0, 0, -5)),       Placement(0, 3.14159265f, 0, XVertex(0, 0, 5)),
        Placement(0, kHalfPi, 0, XVertex(-5, 0, 0)), Placement(kHalfPi, 0, 0, XVertex(0, 5, 0)),
        Placement(0.4f, 0.7f, 0, XVertex(0, 0, 0)),
    };
    XPointLight point;
    XSpotLight spot;
    XDirectionalLight directional;
    XBaseLight* lights[] = {&point, &spot, &directional};
    for (size_t i = 0; i < std::size(cameras); ++i)
    {
        XMatrix camera = cameras[i];
        if (i == 4)
        {
            // Oblique: back away from the origin along the camera's own view axis.
            XVertex axis(camera.m[2][0], camera.m[2][1], camera.m[2][2]);
            camera.m[3][0] = -5 * axis.x;
            camera.m[3][1] = -5 * axis.y;
            camera.m[3][2] = -5 * axis.z;
        }
        viewport.SetCameraWorld(camera);
        for (XBaseLight* light : lights)
        {
            float distance = 0;
            EXPECT_TRUE(light->IntersectRay(0, &viewport, centre, distance, 0))
                << i << " " << light->GetClassId();
            EXPECT_GT(distance, 3.5f);
            EXPECT_LT(distance, 5.0f);
            EXPECT_TRUE(light->HitTest(0, &viewport, centre, 0));
        }
    }

    viewport.SetCameraWorld(cameras[0]);
    point.SetPosition(0.8f, 0, 0);
    float distance = 0;
    EXPECT_FALSE(point.IntersectRay(0, &viewport, centre, distance, 0));
    EXPECT_EQ(distance, FLT_MAX);
    EXPECT_FALSE(point.HitTest(0, &viewport, centre, 0));
    point.SetPosition(0.6f, 0, 0);
    EXPECT_TRUE(point.HitTest(0, &viewport, centre, 0));
    point.SetPosition(0, 0, -8); // behind the eye: never drawn, never picked
    EXPECT_FALSE(point.HitTest(0, &viewport, centre, 0));
    EXPECT_FALSE(point.IntersectRay(0, nullptr, centre, distance, 0));

    const XBoundingBox box = point.GetMeshBoundingBox(0);
    ExpectVertex(box.min, -0.7f, -1.0f, -0.7f);
    ExpectVertex(box.max, 0.7f, 1.0f, 0.7f);
    const XBoundingBox lamp = directional.GetMeshBoundingBox(0);
    ExpectVertex(lamp.min, -0.5f, -0.3f, -0.3f);
    ExpectVertex(lamp.max, 0.5f, 0.3f, 0.3f);
}
