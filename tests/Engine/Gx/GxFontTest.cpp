// The UI font on the bitmap font: the glyph texture built on first use for its device, measured
// and drawn through it, and built again after a changed setting.
#include "Gx/UI/GxFont.h"

#include "tests/support/SoftDevice.h"

#include <gtest/gtest.h>

using Gx::Ui::GxFont;

TEST(GxFontTest, TextOperationsBuildTheTextureOnFirstUse)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    const unsigned idle = d.soft->GetLiveResourceCount();
    {
        GxFont font;
        EXPECT_EQ(font.GetSize(), 10u);
        EXPECT_EQ(font.GetWeight(), 400u);
        EXPECT_EQ(font.GetFace(), XString(u"Arial"));
        // Without a device nothing is built and nothing measures.
        EXPECT_EQ(font.GetTextWidth(XString(u"Text")), 0.0f);
        EXPECT_EQ(font.GetTexture(), nullptr);

        font.CreateDevice(d.device);
        d.Clear();
        const float width = font.GetTextWidth(XString(u"Text"));
        EXPECT_GT(width, 10.0f);
        ASSERT_NE(font.GetTexture(), nullptr);
        EXPECT_TRUE(font.GetTextureWidth() == 128 || font.GetTextureWidth() == 256);
        ASSERT_EQ(d.Texts().size(), 1u);
        EXPECT_EQ(d.Texts()[0], "CreateTexture(" + std::to_string(font.GetTextureWidth()) + ", " +
                                    std::to_string(font.GetTextureHeight()) + ", 0, 0, 21, 1)");

        // Drawing reuses the texture; a bigger size builds a new one with wider glyphs.
        d.device->BeginScene();
        d.Clear();
        const float bottom = font.DrawTextClipped(2, 3, XRect(0, 0, 64, 64), 0xFFFFFFFFu, XString(u"Te"));
        EXPECT_EQ(bottom, 3.0f + static_cast<float>(font.GetGlyphHeight()));
        size_t creates = 0, draws = 0;
        for (const std::string& t : d.Texts())
        {
            creates += t.rfind("CreateTexture", 0) == 0;
            draws += t.rfind("DrawPrimitiveUP(4, 4, 28)", 0) == 0;
        }
        EXPECT_EQ(creates, 0u);
        EXPECT_EQ(draws, 1u);
        d.device->EndScene();
        font.SetSize(20);
        EXPECT_EQ(font.GetTexture(), nullptr);
        EXPECT_GT(font.GetTextWidth(XString(u"Text")), width * 1.5f);
        EXPECT_NE(font.GetTexture(), nullptr);
    }
    EXPECT_EQ(d.soft->GetLiveResourceCount(), idle);
}
