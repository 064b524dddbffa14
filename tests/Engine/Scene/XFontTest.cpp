// The font object: its settings as properties, rebuilding and notifying on every accepted change,
// the glyph table it hands the 3D text, and its scene-file chunk.
#include "Engine/Scene/XFont.h"

#include "Components/XVariant.h"
#include "Engine/Scene/XClassIds.h"
#include "tests/support/ShapeChecks.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{
// Counts what the font tells the holders of references to it.
class Holder : public XRefManager
{
public:
    explicit Holder(XRefManager* target) : ref(this, target) {}
    void Notification(XRefManager*, unsigned message, uintptr_t) override { heard.push_back(message); }
    XReference<XRefManager> ref;
    std::vector<unsigned> heard;
};

size_t CreateTextureCalls(const SoftDevice& d)
{
    size_t n = 0;
    for (const D3D9Call& c : d.Log())
        n += c.name == "CreateTexture";
    return n;
}
} // namespace

TEST(XFontTest, NewFontHasItsDefaultsAndNoGlyphsUntilBuilt)
{
    XFont font;
    EXPECT_EQ(font.GetName(), XString(u"Font"));
    EXPECT_EQ(font.GetClassId(), ClassId::Font);
    EXPECT_EQ(font.GetClassNameW(), XString(u"XFont"));
    EXPECT_EQ(FontDesc.GetCategory(), 3u);
    EXPECT_EQ(font.GetSize(), 14u);
    EXPECT_EQ(font.GetWeight(), 400u);
    EXPECT_FALSE(font.GetItalic() || font.GetUnderline() || font.GetStrikeOut());
    EXPECT_EQ(font.GetQuality(), 0u);
    EXPECT_EQ(font.GetFontName(), XString(u"Arial"));
    EXPECT_EQ(font.GetCharsCount(), 224u);
    EXPECT_EQ(font.GetChars(), nullptr);
    EXPECT_EQ(font.GetCharHeight(), 0u);

    const char16_t* names[] = {u"Size",    u"Weight",   u"Italic",    u"Underline", u"StrikeOut",
                               u"Quality", u"FontName", u"StartChar", u"EndChar"};
    ASSERT_EQ(font.GetPropertyCount(), 13u);
    for (unsigned i = 0; i < 9; ++i)
    {
        EXPECT_EQ(font.GetPropertyDesc(i)->Id, 2000 + i);
        EXPECT_EQ(std::u16string(font.GetPropertyDesc(i)->Name), names[i]);
    }
    EXPECT_EQ(font.GetPropertyDesc(9)->Id, XBaseObject().GetPropertyDesc(0)->Id);
}

TEST(XFontTest, EachAcceptedSetterRebuildsOnceAndNotifiesOnce)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    XFont font;
    font.CreateDevice(d.device);
    Holder holder(&font);
    using VarUtils::XVariant;
    struct Step
    {
        const char* what;
        std::function<void(XFont&)> set;
        bool accepted;
    } steps[] = {
        {"size", [](XFont& f) { f.SetSize(12); }, true},
        {"same size", [](XFont& f) { f.SetSize(12); }, false},
        {"weight", [](XFont& f) { f.SetWeight(700); }, true},
        {"italic", [](XFont& f) { f.SetItalic(true); }, true},
        {"underline", [](XFont& f) { f.SetUnderline(true); }, true},
        {"strike-out", [](XFont& f) { f.SetStrikeOut(true); }, true},
        {"quality", [](XFont& f) { f.SetQuality(3); }, true},
        {"face", [](XFont& f) { f.SetFontName(u"Tahoma"); }, true},
        {"same face", [](XFont& f) { f.SetFontName(u"Tahoma"); }, false},
        {"start", [](XFont& f) { f.SetStartChar(65); }, true},
        {"start above end", [](XFont& f) { f.SetStartChar(256); }, false},
        {"end", [](XFont& f) { f.SetEndChar(90); }, true},
        {"end past 255", [](XFont& f) { f.SetEndChar(256); }, false},
        {"end below start", [](XFont& f) { f.SetEndChar(64); }, false},
        {"size by property", [](XFont& f) { f.SetPropertyValue(XFont::PidSize, XVariant(16)); }, true},
        {"italic by property",
         [](XFont& f)
         {
             XVariant v;
             v = false;
             f.SetPropertyValue(XFont::PidItalic, v);
         },
         true},
        {"name by property",
         [](XFont& f) { f.SetPropertyValue(XFont::PidFontName, XVariant(XString(u"Arial"))); }, true},
        {"the empty text id", [](XFont& f) { f.SetPropertyValue(XFont::PidEmptyText, XVariant(5)); }, false},
    };
    for (const Step& s : steps)
    {
        SCOPED_TRACE(s.what);
        d.Clear();
        holder.heard.clear();
        s.set(font);
        EXPECT_EQ(CreateTextureCalls(d), s.accepted ? 1u : 0u);
        EXPECT_EQ(holder.heard,
                  s.accepted ? std::vector<unsigned>{XRM_TEXTURE_CHANGED} : std::vector<unsigned>{});
    }
    // The last build: characters 65 to 90 of a 16-point font.
    EXPECT_EQ(font.GetCharsCount(), 26u);
    ASSERT_NE(font.GetChars(), nullptr);
    EXPECT_GT(font.GetCharHeight(), 14u);
    EXPECT_EQ(font.GetWidth(), 128u);
    EXPECT_EQ(font.GetHeight(), 128u);
    EXPECT_NE(font.GetD3DTexture(), nullptr);
    EXPECT_GT(font.GetChars()['W' - 65].advance, 0u);
    VarUtils::XVariant v;
    font.GetPropertyValue(XFont::PidEmptyText, v);
    EXPECT_EQ(v.GetType(), VarUtils::XVT_ANSISTRING);
    EXPECT_EQ(v.AsAnsiString().Length(), 0u);
    font.GetPropertyValue(XFont::PidStrikeOut, v);
    EXPECT_EQ(v.GetType(), VarUtils::XVT_BOOL);
    font.ReleaseDevice(d.device);
    EXPECT_EQ(d.soft->GetLiveResourceCount(), 0u);

    // Without a device the setters only store and notify.
    holder.heard.clear();
    font.SetSize(20);
    EXPECT_EQ(font.GetSize(), 20u);
    EXPECT_EQ(holder.heard.size(), 1u);
}

TEST(XFontTest, GlyphTableRecordsAre20BytesInTextureCoordinates)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    XFont font;
    font.CreateDevice(d.device);
    font.Recreate();
    ASSERT_NE(font.GetChars(), nullptr);
    EXPECT_EQ(sizeof(*font.GetChars()), 20u);
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(font.GetChars());
    for (uint32_t i = 0; i < font.GetCharsCount(); ++i)
    {
        float rect[4];
        uint32_t width;
        std::memcpy(rect, raw + 20 * i, 16);
        std::memcpy(&width, raw + 20 * i + 16, 4);
        ASSERT_LT(rect[0], rect[2]);
        ASSERT_LT(rect[1], rect[3]);
        ASSERT_LE(rect[2], 1.0f);
        ASSERT_LE(rect[3], 1.0f);
        EXPECT_NEAR((rect[2] - rect[0]) * static_cast<float>(font.GetWidth() - 1), static_cast<float>(width),
                    1e-3);
    }
    const uint32_t side = font.GetWidth();
    EXPECT_TRUE(side == 128 || side == 256 || side == 512 || side == 1024);
    font.SetFormat(D3DFMT_A8);
    EXPECT_EQ(ThrownMessage([&] { font.Recreate(); }),
              u"Font texture build failed, unsupported texture format!");
    EXPECT_EQ(font.GetD3DTexture(), nullptr);
    font.ReleaseDevice(d.device);
}

TEST(XFontTest, ChunkKeepsTheSettingsButNotTheRange)
{
    XFont font;
    font.SetSize(20);
    font.SetWeight(700);
    font.SetItalic(true);
    font.SetStrikeOut(true);
    font.SetQuality(3);
    font.SetFontName(u"Tahoma");
    font.SetStartChar(40);
    font.SetEndChar(200);
    const std::vector<uint8_t> bytes = ExpectRoundTrip(font);

    XFont loaded;
    LoadObject(loaded, bytes);
    EXPECT_EQ(loaded.GetSize(), 20u);
    EXPECT_EQ(loaded.GetWeight(), 700u);
    EXPECT_TRUE(loaded.GetItalic());
    EXPECT_FALSE(loaded.GetUnderline());
    EXPECT_TRUE(loaded.GetStrikeOut());
    EXPECT_EQ(loaded.GetQuality(), 3u);
    EXPECT_EQ(loaded.GetFontName(), XString(u"Tahoma"));
    EXPECT_EQ(loaded.GetStartChar(), 32u);
    EXPECT_EQ(loaded.GetEndChar(), 255u);

    // A font chunk holding only the size: every other setting falls back, quality to 4.
    const std::vector<uint8_t> sizeOnly = SavedBytes(
        [](XWriter& w)
        {
            w.BeginChunk(ClassId::Font);
            w.WriteChunkU32(ClassId::Font + 1, 9);
            w.EndChunk();
        });
    LoadObject(loaded, sizeOnly);
    EXPECT_EQ(loaded.GetSize(), 9u);
    EXPECT_EQ(loaded.GetWeight(), 400u);
    EXPECT_FALSE(loaded.GetItalic() || loaded.GetStrikeOut());
    EXPECT_EQ(loaded.GetQuality(), 4u);
    EXPECT_EQ(loaded.GetFontName(), XString(u"Arial"));

    // A face name longer than any read allows is refused with the reader's error.
    const XString longName(std::u16string(1100, u'a').c_str());
    const std::vector<uint8_t> longBytes = SavedBytes(
        [&](XWriter& w)
        {
            w.BeginChunk(ClassId::Font);
            w.WriteChunkString(ClassId::Font + 8, longName);
            w.EndChunk();
        });
    EXPECT_EQ(ThrownMessage([&] { LoadObject(loaded, longBytes); }), u"String too long.");
}
