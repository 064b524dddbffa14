// The 3D text: its strip of quads with and without a built font, the font held by reference, the
// font looked up by name in the scene, and the scene-file chunk.
#include "Engine/Objects/XText.h"

#include "Components/XVariant.h"
#include "Engine/Scene/XClassIds.h"
#include "tests/support/SceneLinkDouble.h"
#include "tests/support/ShapeChecks.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
struct Quad
{
    float xl, xr;
    float u0, v0, u1, v1;
};

// Each quad's x range and its top-left and bottom-right texture coordinates, checking that the
// quad has the strip's shape.
std::vector<Quad> Quads(const XMesh& mesh, float halfHeight)
{
    std::vector<Quad> out;
    EXPECT_EQ(mesh.GetVertexCount() % 4, 0u);
    EXPECT_EQ(mesh.GetFaceCount() * 2, mesh.GetVertexCount());
    EXPECT_EQ(mesh.GetTextureVertexCount(), mesh.GetVertexCount());
    for (uint32_t k = 0; 4 * k + 3 < mesh.GetVertexCount(); ++k)
    {
        const XVertex* v = mesh.GetVertices() + 4 * k;
        const XTextureVertex* t = mesh.GetTextureVertices() + 4 * k;
        EXPECT_EQ(v[0].y, halfHeight);
        EXPECT_EQ(v[2].y, -halfHeight);
        EXPECT_EQ(v[0].x, v[3].x);
        EXPECT_EQ(v[1].x, v[2].x);
        const XFace& f0 = mesh.GetFaces()[2 * k];
        const XFace& f1 = mesh.GetFaces()[2 * k + 1];
        EXPECT_EQ(f0.v[0], 4 * k);
        EXPECT_EQ(f0.v[2], 4 * k + 2);
        EXPECT_EQ(f1.v[0], 4 * k + 2);
        EXPECT_EQ(f1.v[2], 4 * k);
        EXPECT_EQ(f0.material, XFace::NoMaterial);
        out.push_back({v[0].x, v[1].x, t[0].u, t[0].v, t[2].u, t[2].v});
    }
    return out;
}

XMesh& MeshOf(XText& text)
{
    return *text.GetMesh(0, nullptr, nullptr);
}
} // namespace

TEST(XTextTest, WithoutABuiltFontEveryCharacterGetsAnEqualCell)
{
    XText text;
    EXPECT_EQ(text.GetName(), XString(u"Text"));
    EXPECT_EQ(text.GetText(), XString(u"Text"));
    text.SetText(u"AB");
    std::vector<Quad> q = Quads(MeshOf(text), 0.375f);
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].xl, -1.0f);
    EXPECT_EQ(q[0].xr, 0.0f);
    EXPECT_EQ(q[1].xl, 0.0f);
    EXPECT_EQ(q[1].xr, 1.0f);
    EXPECT_EQ(q[0].u0, 0.0f);
    EXPECT_EQ(q[0].u1, 0.5f);
    EXPECT_EQ(q[1].u0, 0.5f);
    EXPECT_EQ(q[1].u1, 1.0f);
    EXPECT_EQ(q[0].v0, 0.0f);
    EXPECT_EQ(q[0].v1, 1.0f);
    for (uint32_t i = 0; i < MeshOf(text).GetNormalCount(); ++i)
        EXPECT_EQ(MeshOf(text).GetNormals()[i].z, -1.0f);

    // Negative sizes give the mesh of their absolute values; an empty text gives nothing.
    text.SetWidth(-2);
    text.SetHeight(-0.75f);
    EXPECT_EQ(Quads(MeshOf(text), 0.375f).size(), 2u);
    EXPECT_EQ(MeshOf(text).GetVertices()[0].x, -1.0f);
    text.SetWidth(5000);
    EXPECT_EQ(text.GetWidth(), 1000.0f);
    text.SetText(u"");
    EXPECT_EQ(MeshOf(text).GetVertexCount(), 0u);
    EXPECT_EQ(MeshOf(text).GetFaceCount(), 0u);
    const XBoundingBox box = text.GetBoundingBox(0);
    EXPECT_EQ(box.max.x, 500.0f);
    EXPECT_EQ(box.min.y, -0.375f);
    EXPECT_EQ(box.max.z, 0.0f);

    // A font that has not built its glyphs lays out as no font.
    XFont font;
    text.SetFont(&font);
    text.SetText(u"AB");
    text.SetWidth(2);
    EXPECT_EQ(Quads(MeshOf(text), 0.375f)[1].xl, 0.0f);
}

TEST(XTextTest, WithABuiltFontWidthsFollowTheGlyphTable)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    XFont font;
    font.CreateDevice(d.device);
    font.Recreate();
    ASSERT_NE(font.GetChars(), nullptr);
    const XGlyph* g = font.GetChars();
    auto glyph = [&](uint8_t c) { return g[c - font.GetStartChar()]; };

    XText text;
    text.SetFont(&font);
    text.SetWidth(4);
    text.SetText(u"W\u0001i"); // the control character has no glyph
    std::vector<Quad> q = Quads(MeshOf(text), 0.375f);
    ASSERT_EQ(q.size(), 2u);
    const double total = glyph('W').advance + glyph('i').advance;
    EXPECT_FLOAT_EQ(q[0].xl, -2.0f);
    EXPECT_FLOAT_EQ(q[0].xr, static_cast<float>(-2 + 4 * glyph('W').advance / total));
    EXPECT_EQ(q[1].xl, q[0].xr);
    EXPECT_FLOAT_EQ(q[1].xr, 2.0f);
    EXPECT_EQ(q[0].u0, glyph('W').left);
    EXPECT_EQ(q[0].v1, glyph('W').bottom);
    EXPECT_EQ(q[1].u1, glyph('i').right);

    // Cyrillic goes through code page 1251 to its glyph.
    text.SetText(u"\u0416");
    q = Quads(MeshOf(text), 0.375f);
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].u0, glyph(0xC6).left);

    // A rebuild of the font marks the text stale; a range that covers nothing gives nothing.
    ASSERT_TRUE(text.IsMeshValid(0));
    font.SetStartChar(0x41);
    font.SetEndChar(0x5A);
    EXPECT_FALSE(text.IsMeshValid(0));
    text.SetText(u"abc");
    EXPECT_EQ(MeshOf(text).GetVertexCount(), 0u);

    // Deleting the font drops it from the text, which goes back to equal cells.
    XFont* doomed = new XFont;
    text.SetFont(doomed);
    doomed->Destroy();
    EXPECT_EQ(text.GetFont(), nullptr);
    EXPECT_EQ(Quads(MeshOf(text), 0.375f).size(), 3u);
    font.ReleaseDevice(d.device);
}

TEST(XTextTest, FontIsFoundByNameOnlyInsideAScene)
{
    SceneLinkDouble link;
    int sceneStorage = 0;
    XScene* scene = reinterpret_cast<XScene*>(&sceneStorage);
    XFont font;
    font.SetName(u"Glyphs");
    XText other;
    other.SetName(u"NotAFont");
    XText text;

    text.SetFontTextureName(u"Glyphs");
    EXPECT_EQ(text.GetFont(), nullptr) << "outside a scene";
    // Outside a scene a name changes nothing, not even a font already set.
    XFont own;
    own.SetName(u"Own");
    text.SetFont(&own);
    for (const char16_t* name : {u"Glyphs", u""})
    {
        text.SetFontTextureName(name);
        EXPECT_EQ(text.GetFont(), &own) << "outside a scene";
        EXPECT_EQ(text.GetFontTextureName(), XString(u"Own"));
    }
    text.SetFont(nullptr);

    font.SetScene(scene);
    other.SetScene(scene);
    text.SetScene(scene);
    text.SetPropertyValue(XText::PidFontTextureName, VarUtils::XVariant(XString(u"Glyphs")));
    EXPECT_EQ(text.GetFont(), &font);
    EXPECT_EQ(text.GetFontTextureName(), XString(u"Glyphs"));
    text.SetFontTextureName(u"NotAFont");
    EXPECT_EQ(text.GetFont(), nullptr);

    // The chunk names the font; loading finds it in the scene it is loaded into.
    text.SetFont(&font);
    text.SetText(u"Привет");
    text.SetHeight(3);
    const std::vector<uint8_t> bytes = SavedObject(text);
    XText loaded;
    LoadEachChunk(bytes, [&](XReader& r) { loaded.Load(scene, r); });
    EXPECT_EQ(loaded.GetFont(), &font);
    EXPECT_EQ(loaded.GetText(), XString(u"Привет"));
    EXPECT_EQ(loaded.GetHeight(), 3.0f);
    EXPECT_EQ(loaded.GetWidth(), 2.0f);
    XText outside;
    LoadObject(outside, bytes);
    EXPECT_EQ(outside.GetFont(), nullptr);

    text.SetScene(nullptr);
    other.SetScene(nullptr);
    font.SetScene(nullptr);
}

TEST(XTextTest, ChunkRoundTripsAndBoundsItsTexts)
{
    XText text;
    text.SetText(u"Round trip");
    text.SetWidth(7.5f);
    ExpectRoundTrip(text);

    ASSERT_EQ(text.GetPropertyCount(), 8u);
    EXPECT_EQ(text.GetPropertyDesc(3)->Id, 0x34500005u);
    EXPECT_EQ(std::u16string(text.GetPropertyDesc(2)->TypeName), u"wstring");
    EXPECT_EQ(text.GetPropertyDesc(4)->Id, XBaseObject().GetPropertyDesc(0)->Id);
    VarUtils::XVariant v;
    text.GetPropertyValue(XText::PidWidth, v);
    EXPECT_EQ(v.AsDouble(), 7.5);

    const XString tooLong(std::u16string(1025, u'x').c_str());
    for (uint32_t id : {XText::TextChunk, XText::FontChunk})
    {
        const std::vector<uint8_t> bytes = SavedBytes(
            [&](XWriter& w)
            {
                w.BeginChunk(ClassId::Text);
                w.WriteChunkString(id, tooLong);
                w.EndChunk();
            });
        XText target;
        EXPECT_EQ(ThrownMessage([&] { LoadObject(target, bytes); }), u"String too long.");
        EXPECT_EQ(target.GetText(), XString(u"Text"));
    }
}
