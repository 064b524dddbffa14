// Materials and their texture channels: the states they set while drawing, their chunks, the
// eight-map limit, and what they do when a texture of theirs goes.
#include "Engine/Scene/XMaterial.h"

#include "Components/XVariant.h"
#include "Engine/Scene/XTexture.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/SceneLinkDouble.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/Thrown.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;
using Heard = std::vector<std::pair<unsigned, uintptr_t>>;

// The recorded calls whose text begins with the prefix, as "Name(args)".
std::vector<std::string> Calls(const SoftDevice& dev, const std::string& prefix = "")
{
    std::vector<std::string> out;
    for (const std::string& text : dev.Texts())
        if (text.compare(0, prefix.size(), prefix) == 0)
            out.push_back(text);
    return out;
}

const std::u16string kTooManyMaps = u"Превышено максимальное число каналов для материала!";

XScene* TestScene()
{
    static int storage;
    return reinterpret_cast<XScene*>(&storage);
}

// Records what the material tells the holders of references to it.
class Holder : public XRefManager
{
public:
    explicit Holder(XRefManager* target) : ref(this, target) {}
    void Notification(XRefManager*, unsigned message, uintptr_t param) override
    {
        heard.push_back({message, param});
    }
    XReference<XRefManager> ref;
    Heard heard;
};

Bytes Saved(XMaterial& material)
{
    return SavedBytes([&](XWriter& w) { material.Save(nullptr, w); });
}

void Load(XMaterial& material, XScene* scene, const Bytes& bytes)
{
    LoadEachChunk(bytes, [&](XReader& r) { material.Load(scene, r); });
}

// Whether the 32-bit id stands in the bytes (chunk ids are written little-endian).
bool HoldsId(const Bytes& bytes, uint32_t id)
{
    uint8_t le[4] = {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id >> 16),
                     static_cast<uint8_t>(id >> 24)};
    return std::search(bytes.begin(), bytes.end(), le, le + 4) != bytes.end();
}

std::string PointerText(const void* p)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", p);
    return buffer;
}

class XMaterialTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(dev.device, nullptr) << "libd3d9.so beside the test program";
        viewport.device = dev.device;
    }

    SoftDevice dev;
    ViewportDouble viewport;
};

TEST_F(XMaterialTest, ANewMaterialDisablesStageZeroAndEndsTheCascade)
{
    XMaterial material;
    EXPECT_EQ(material.GetName(), XString(u"Material"));
    EXPECT_EQ(material.GetIndex(), XBaseMaterial::NoIndex);
    EXPECT_EQ(material.GetPropertyCount(), 10u);
    ASSERT_EQ(material.GetMapCount(), 1u);
    EXPECT_EQ(ThrownMessage([&] { material.GetMap(1); }), u"Out of range.");

    dev.Clear();
    material.BeforeRender(0, &viewport);
    EXPECT_EQ(Calls(dev), (std::vector<std::string>{
                              "SetMaterial([1 1 1 1 0 0 0 0 0 0 0 0 0 0 0 0 1])",
                              "SetTextureStageState(0, 1, 1)", // COLOROP D3DTOP_DISABLE
                              "SetTextureStageState(0, 4, 1)", // ALPHAOP
                              "SetTextureStageState(0, 11, 0)",
                              "SetTextureStageState(0, 24, 0)",
                              "SetTextureStageState(1, 1, 1)", // the stage after the last map
                              "SetTextureStageState(1, 4, 1)",
                          }));

    // Alpha test and blending on, all eight maps: the states switched on and off, no ninth stage.
    for (unsigned i = 1; i < XMaterial::MaxMaps; ++i)
        material.InsertMap(i);
    material.SetAlphaTest(true);
    material.SetAlphaRef(0x80);
    material.SetAlphaFunc(D3DCMP_GREATER);
    material.SetAlphaBlend(true);
    material.SetSrcBlend(D3DBLEND_SRCALPHA);
    material.SetDestBlend(D3DBLEND_INVSRCALPHA);
    dev.Clear();
    material.BeforeRender(0, &viewport);
    material.AfterRender(0, &viewport);
    std::vector<std::string> calls = Calls(dev);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetTextureStageState(8, 1, 1)"), 0);
    std::vector<std::string> states = Calls(dev, "SetRenderState(");
    EXPECT_EQ(states, (std::vector<std::string>{"SetRenderState(15, 1)", "SetRenderState(24, 128)",
                                                "SetRenderState(25, 5)", "SetRenderState(27, 1)",
                                                "SetRenderState(19, 5)", "SetRenderState(20, 6)",
                                                "SetRenderState(15, 0)", "SetRenderState(27, 0)"}));
    EXPECT_EQ(calls[calls.size() - 5], "SetMaterial([0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0])");
}

TEST_F(XMaterialTest, AMapWithATextureSetsItsSamplerAndBindsIt)
{
    XTexture texture;
    texture.SetWidth(4);
    texture.SetHeight(4);
    texture.CreateDevice(dev.device);
    XMaterial material;
    material.SetMapTexture(0, &texture);
    XMap* map = material.GetMap(0);
    map->SetStageState(D3DTSS_COLOROP, D3DTOP_BUMPENVMAP);
    map->SetStageState(D3DTSS_BUMPENVMAT00, 0x3F800000); // stored for the file only
    map->SetSamplerState(D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    dev.Clear();
    material.GetMap(0)->Apply(0, &viewport, 3);
    std::vector<std::string> calls = Calls(dev);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 10),
              (std::vector<std::string>{
                  "SetTextureStageState(3, 1, 22)", "SetTextureStageState(3, 26, 1)",
                  "SetTextureStageState(3, 2, 2)", "SetTextureStageState(3, 3, 1)",
                  "SetTextureStageState(3, 4, 1)", "SetTextureStageState(3, 7, 1056964608)",
                  "SetTextureStageState(3, 8, 0)", "SetTextureStageState(3, 9, 0)",
                  "SetTextureStageState(3, 10, 1056964608)", "SetTextureStageState(3, 22, 1082130432)"}));
    EXPECT_EQ(Calls(dev, "SetSamplerState("),
              (std::vector<std::string>{"SetSamplerState(3, 1, 1)", "SetSamplerState(3, 2, 1)",
                                        "SetSamplerState(3, 3, 1)", "SetSamplerState(3, 4, 0)",
                                        "SetSamplerState(3, 5, 2)", "SetSamplerState(3, 6, 1)",
                                        "SetSamplerState(3, 7, 0)"}));
    ASSERT_NE(texture.GetD3DTexture(), nullptr);
    EXPECT_EQ(calls.back(), "SetTexture(3, " + PointerText(texture.GetD3DTexture()) + ")");
    dev.Clear();
    material.GetMap(0)->Unapply(0, &viewport, 3);
    EXPECT_EQ(Calls(dev), std::vector<std::string>{"SetTexture(3, null)"});
}

TEST_F(XMaterialTest, MapsSaveTheirTransformOnlyWhenTheyUseIt)
{
    SceneLinkDouble link;
    XTexture texture;
    texture.SetScene(TestScene());
    XMatrix uv;
    uv.LoadIdentity();
    uv.m[2][0] = 0.25f;
    uv.m[2][1] = -0.5f;

    struct Case
    {
        DWORD flags;
        bool textured;
    } cases[] = {{0, false}, {2, true}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.flags);
        XMaterial material;
        XMap* map = material.GetMap(0);
        map->SetStageState(D3DTSS_TEXTURETRANSFORMFLAGS, c.flags);
        map->SetStageState(D3DTSS_ALPHAARG2, D3DTA_TFACTOR);
        map->SetUVMatrix(uv);
        material.InsertMap(1);
        if (c.textured)
            material.SetMapTexture(0, &texture);
        material.SetD3DMaterial(D3DMATERIAL9{{0.5f, 0.25f, 1, 1}, {}, {}, {0, 0, 0, 1}, 7.0f});
        material.SetAlphaBlend(true);
        Bytes bytes = Saved(material);
        EXPECT_EQ(HoldsId(bytes, 0xA1230002), c.flags != 0);
        EXPECT_EQ(HoldsId(bytes, 0xA1230023), c.textured);

        XMaterial back;
        Holder holder(&back);
        Load(back, TestScene(), bytes);
        ASSERT_EQ(back.GetMapCount(), 2u);
        XMap* loaded = back.GetMap(0);
        EXPECT_EQ(loaded->GetStageState(D3DTSS_TEXTURETRANSFORMFLAGS), c.flags);
        EXPECT_EQ(loaded->GetStageState(D3DTSS_ALPHAARG2), D3DTA_TFACTOR);
        XMatrix expected;
        expected.LoadIdentity();
        if (c.flags != 0)
            expected = uv;
        EXPECT_EQ(std::memcmp(&loaded->GetUVMatrix(), &expected, sizeof expected), 0);
        EXPECT_EQ(loaded->GetTexture(), c.textured ? &texture : nullptr);
        EXPECT_EQ(back.GetD3DMaterial().Power, 7.0f);
        EXPECT_TRUE(back.GetAlphaBlend());
        EXPECT_EQ(Saved(back), bytes);
        // Each map tells its load, then the material its whole load.
        EXPECT_EQ(holder.heard, (Heard{{XRM_MATERIAL_CHANGED, 0},
                                       {XRM_MATERIAL_CHANGED, 0},
                                       {XRM_MATERIAL_CHANGED, 0x25340000}}));
    }
    texture.SetScene(nullptr);
}

TEST_F(XMaterialTest, MapChunksFindTheirTexturesAndRefuseANinthMap)
{
    SceneLinkDouble link;
    XTexture texture;
    texture.SetName(u"Bricks");
    texture.SetScene(TestScene());
    auto material = [](unsigned maps, const XString* name)
    {
        return SavedBytes(
            [&](XWriter& w)
            {
                w.BeginChunk(0x25340000);
                for (unsigned i = 0; i < maps; ++i)
                {
                    w.BeginChunk(0x25340002);
                    w.BeginChunk(0xA1230000);
                    if (name)
                        w.WriteChunkString(0xA1230001, *name);
                    w.WriteChunkU32(0xA1230018, 77); // ids that are skipped
                    w.EndChunk();
                    w.EndChunk();
                }
                w.EndChunk();
            });
    };

    XString bricks = u"Bricks", missing = u"Stone";
    XMaterial byName;
    Load(byName, TestScene(), material(2, &bricks));
    ASSERT_EQ(byName.GetMapCount(), 2u);
    EXPECT_EQ(byName.GetMap(1)->GetTexture(), &texture);
    XMaterial withoutScene;
    Load(withoutScene, nullptr, material(1, &bricks));
    EXPECT_EQ(withoutScene.GetMap(0)->GetTexture(), nullptr);
    XMaterial unresolved;
    Load(unresolved, TestScene(), material(1, &missing));
    EXPECT_EQ(unresolved.GetMap(0)->GetTexture(), nullptr);
    XString overlong(std::u16string(1025, u'a').c_str());
    XMaterial longName;
    EXPECT_EQ(ThrownMessage([&] { Load(longName, TestScene(), material(1, &overlong)); }),
              u"String too long.");

    XMaterial empty; // a material chunk without maps: one default map
    Load(empty, TestScene(), material(0, nullptr));
    ASSERT_EQ(empty.GetMapCount(), 1u);
    EXPECT_EQ(empty.GetMap(0)->GetStageState(D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));

    XMaterial full;
    EXPECT_EQ(ThrownMessage([&] { Load(full, TestScene(), material(9, nullptr)); }), kTooManyMaps);
    EXPECT_EQ(full.GetMapCount(), 8u);
    EXPECT_EQ(ThrownMessage([&] { full.InsertMap(0); }), kTooManyMaps);
    XMap* spare = new XMap(&full);
    EXPECT_EQ(ThrownMessage([&] { full.AddMap(spare); }), kTooManyMaps);
    delete spare;
    EXPECT_EQ(full.GetMapCount(), 8u);
    texture.SetScene(nullptr);
}

TEST_F(XMaterialTest, ADeletedTextureLeavesEveryMapThatShowedIt)
{
    XTexture* texture = new XTexture();
    XTexture other;
    XMaterial material;
    material.InsertMap(1);
    material.InsertMap(2);
    material.SetMapTexture(0, texture);
    material.SetMapTexture(1, &other);
    material.SetMapTexture(2, texture);
    Holder holder(&material);
    material.SetMapTexture(2, texture); // already shown: nothing
    material.SetMapTexture(5, texture); // no such map: nothing
    EXPECT_TRUE(holder.heard.empty());

    // A texture change is not the material's business.
    texture->SetUsage(D3DUSAGE_DYNAMIC);
    EXPECT_TRUE(holder.heard.empty());

    texture->Destroy();
    EXPECT_EQ(material.GetMap(0)->GetTexture(), nullptr);
    EXPECT_EQ(material.GetMap(1)->GetTexture(), &other);
    EXPECT_EQ(material.GetMap(2)->GetTexture(), nullptr);
    EXPECT_EQ(holder.heard, (Heard{{XRM_MATERIAL_CHANGED, 0x10000000}, {XRM_MATERIAL_CHANGED, 0x10000000}}));

    // Maps that go let go of their textures.
    EXPECT_EQ(other.GetReferenceCount(), 1u);
    material.ClearMaps();
    EXPECT_EQ(other.GetReferenceCount(), 0u);
}

TEST_F(XMaterialTest, ColourPropertiesTravelPacked)
{
    XMaterial material;
    struct Case
    {
        unsigned id;
        unsigned argb;
    } cases[] = {{XMaterial::PidDiffuse, 0x80FF4000},
                 {XMaterial::PidAmbient, 0xFF000080},
                 {XMaterial::PidSpecular, 0x01020304},
                 {XMaterial::PidEmissive, 0xFFFFFFFF}};
    for (const Case& c : cases)
    {
        material.SetPropertyValue(c.id, VarUtils::XVariant(static_cast<int>(c.argb)));
        VarUtils::XVariant value;
        material.GetPropertyValue(c.id, value);
        EXPECT_EQ(static_cast<unsigned>(value.AsInt()), c.argb) << std::hex << c.id;
    }
    EXPECT_EQ(material.GetD3DMaterial().Diffuse.a, 128 / 255.0f);
    material.SetPropertyValue(XMaterial::PidPower, VarUtils::XVariant(XString(u"2.5")));
    EXPECT_EQ(material.GetD3DMaterial().Power, 2.5f);
    material.SetPropertyValue(XBaseMaterial::PidIndex, VarUtils::XVariant(3)); // read-only
    EXPECT_EQ(material.GetIndex(), XBaseMaterial::NoIndex);
    EXPECT_EQ(material.GetPropertyDesc(5)->Id, XBaseMaterial::PidIndex);
    EXPECT_EQ(material.GetPropertyDesc(6)->Id, XPID_TAG);
}
} // namespace
