#include "Engine/Views/XViewText.h"

#include "Engine/Scene/XFont.h"
#include "tests/support/SoftDevice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
// The log with texture pointers shown as "tex".
std::vector<std::string> Calls(const SoftDevice& d)
{
    std::vector<std::string> calls;
    for (const D3D9Call& call : d.Log())
        calls.push_back(call.name == "SetTexture" && call.args != "0, null" ? "SetTexture(0, tex)" : call.Text());
    return calls;
}
} // namespace

TEST(XViewTextTest, GlyphsAreLaidOutAlongLinesAndBytesWithoutGlyphsTakeNoRoom)
{
    const XGlyph glyphs[] = {{0.0f, 0.0f, 0.25f, 0.5f, 7}, {0.25f, 0.0f, 0.5f, 0.5f, 9}};
    XTextVertices v;
    const char text[] = "A\nB\x01ZBA";
    uint32_t drawn = XViewText::BuildVertices(v, 10.0f, 20.0f, 0xFF00FF00u, text, 7, glyphs, 'A', 'B', 12.0f);
    ASSERT_EQ(drawn, 4u);
    ASSERT_EQ(v.GetCount(), 24u);
    struct Corner
    {
        float x, y, u, vv;
    };
    // A at the start; B one line down at the start; then B and A side by side after it.
    const Corner expected[] = {
        {10, 20, 0, 0},       {17, 20, 0.25f, 0},    {17, 32, 0.25f, 0.5f}, {17, 32, 0.25f, 0.5f},
        {10, 32, 0, 0.5f},    {10, 20, 0, 0},        {10, 32, 0.25f, 0},    {19, 32, 0.5f, 0},
        {19, 44, 0.5f, 0.5f}, {19, 44, 0.5f, 0.5f},  {10, 44, 0.25f, 0.5f}, {10, 32, 0.25f, 0},
    };
    for (uint32_t i = 0; i < 12; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(v[i].x, expected[i].x);
        EXPECT_FLOAT_EQ(v[i].y, expected[i].y);
        EXPECT_FLOAT_EQ(v[i].u, expected[i].u);
        EXPECT_FLOAT_EQ(v[i].v, expected[i].vv);
        EXPECT_FLOAT_EQ(v[i].z, 0.9f);
        EXPECT_FLOAT_EQ(v[i].rhw, 1.0f);
        EXPECT_EQ(v[i].color, 0xFF00FF00u);
    }
    EXPECT_FLOAT_EQ(v[12].x, 19.0f); // the second B follows the first: \x01 and Z took no room
    EXPECT_FLOAT_EQ(v[18].x, 28.0f);
    EXPECT_FLOAT_EQ(v[18].y, 32.0f);
    XTextVertices none;
    EXPECT_EQ(XViewText::BuildVertices(none, 0, 0, 0, "xyz", 3, glyphs, 'A', 'B', 12.0f), 0u);
    EXPECT_EQ(XViewText::BuildVertices(none, 0, 0, 0, "A", 1, nullptr, 'A', 'B', 12.0f), 0u);
    EXPECT_EQ(none.GetCount(), 0u);
}

TEST(XViewTextTest, RenderSetsItsStatesAndDrawsTwoTrianglesAGlyphWithTheFontTexture)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    XFont font;
    // Without a built font nothing happens, device or not.
    XViewText::Render(d.device, 0, 0, 0xFFFFFFFFu, "AB", &font);
    XViewText::Render(d.device, 0, 0, 0xFFFFFFFFu, "AB", nullptr);
    font.CreateDevice(d.device);
    font.Recreate();
    ASSERT_NE(font.GetChars(), nullptr);
    XViewText::Render(nullptr, 0, 0, 0xFFFFFFFFu, "AB", &font);
    d.Clear();
    XViewText::Render(d.device, 0, 0, 0xFFFFFFFFu, "\x01\x02", &font); // no glyph in range
    EXPECT_TRUE(d.Log().empty());

    d.device->BeginScene();
    d.Clear();
    XViewText::Render(d.device, 5.0f, 6.0f, 0xFF102030u, "A\x01" "B", &font);
    d.device->EndScene();
    const std::vector<std::string> expected = {
        "SetVertexShader(null)", "SetFVF(324)", "SetPixelShader(null)", "SetStreamSource(0, null, 0, 28)",
        // z off, blend source alpha over inverse source alpha, alpha test >= 8, solid, cull CCW,
        // no stencil, clipping on, no clip planes, no vertex blending, no fog
        "SetRenderState(7, 0)", "SetRenderState(27, 1)", "SetRenderState(19, 5)", "SetRenderState(20, 6)",
        "SetRenderState(15, 1)", "SetRenderState(24, 8)", "SetRenderState(25, 7)", "SetRenderState(8, 3)",
        "SetRenderState(22, 3)", "SetRenderState(52, 0)", "SetRenderState(136, 1)", "SetRenderState(152, 0)",
        "SetRenderState(151, 0)", "SetRenderState(167, 0)", "SetRenderState(28, 0)",
        // texture times diffuse for colour and alpha, point sampling, no mips, coordinates 0
        "SetTextureStageState(0, 1, 4)", "SetTextureStageState(0, 2, 2)", "SetTextureStageState(0, 3, 0)",
        "SetTextureStageState(0, 4, 4)", "SetTextureStageState(0, 5, 2)", "SetTextureStageState(0, 6, 0)",
        "SetSamplerState(0, 6, 1)", "SetSamplerState(0, 5, 1)", "SetSamplerState(0, 7, 0)",
        "SetTextureStageState(0, 11, 0)", "SetTextureStageState(0, 24, 0)", "SetTextureStageState(1, 1, 1)",
        "SetTextureStageState(1, 4, 1)", "SetTexture(0, tex)", "DrawPrimitiveUP(4, 4, 28)", "SetTexture(0, null)"};
    std::vector<std::string> calls = Calls(d);
    ASSERT_EQ(calls.size(), expected.size() + 1);
    calls.pop_back(); // EndScene
    EXPECT_EQ(calls, expected);
    // The draw reads two glyphs' vertices; the first corner is the text's origin.
    const D3D9Call& draw = d.Log()[expected.size() - 2];
    ASSERT_EQ(draw.vertices.size(), 12u * 28u);
    XText2DVertex first;
    std::memcpy(&first, draw.vertices.data(), sizeof(first));
    EXPECT_FLOAT_EQ(first.x, 5.0f);
    EXPECT_FLOAT_EQ(first.y, 6.0f);
    EXPECT_EQ(first.color, 0xFF102030u);
    // The set texture is the font's own.
    EXPECT_NE(d.Log()[expected.size() - 3].args.find("0x"), std::string::npos);
}
