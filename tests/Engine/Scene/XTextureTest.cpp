// The texture object on the software device: its own bitmap reader, D3DX loading, the device life
// cycle, stored pixels, exports and hostile input.
#include "Engine/Scene/XTexture.h"

#include "Components/XMemoryStream.h"
#include "Components/XVariant.h"
#include "Engine/Scene/XObjectField.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/ImageFiles.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/TempDir.h"
#include "tests/support/Thrown.h"
#include "tests/support/ViewportDouble.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

uint32_t U32At(const Bytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The recorded calls whose text begins with the prefix, as "Name(args)".
std::vector<std::string> Calls(const SoftDevice& dev, const std::string& prefix = "")
{
    std::vector<std::string> out;
    for (const std::string& text : dev.Texts())
        if (text.compare(0, prefix.size(), prefix) == 0)
            out.push_back(text);
    return out;
}

// Resets the device with the parameters it was made with.
HRESULT ResetDevice(SoftDevice& dev)
{
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = 64;
    p.BackBufferHeight = 64;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    return dev.device->Reset(&p);
}

void PutU32At(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Level 0 of the texture, row after row.
Bytes LevelBytes(IDirect3DTexture9* texture)
{
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    D3DLOCKED_RECT rect{};
    if (texture->LockRect(0, &rect, nullptr, 0) != D3D_OK)
        return {};
    const uint8_t* bits = static_cast<const uint8_t*>(rect.pBits);
    Bytes out(bits, bits + static_cast<size_t>(rect.Pitch) * desc.Height);
    texture->UnlockRect(0);
    return out;
}

// The texels a bitmap's rows give in stream order (no row padding in these files): 24-bit
// groups become A8R8G8B8 with alpha 0xFF, 16- and 32-bit texels are taken as they stand.
Bytes ExpectedTexels(const Bytes& bmp, int bits, uint32_t width, uint32_t height)
{
    size_t at = U32At(bmp, 10);
    size_t count = static_cast<size_t>(width) * height;
    if (bits != 24)
        return Bytes(bmp.begin() + at, bmp.begin() + at + count * bits / 8);
    Bytes out;
    for (size_t i = 0; i < count; ++i)
    {
        const uint8_t* p = bmp.data() + at + 3 * i;
        out.insert(out.end(), {p[0], p[1], p[2], 0xFF});
    }
    return out;
}

Bytes TextureChunk(uint32_t width, uint32_t height, D3DFORMAT format, const Bytes& pixels, uint32_t count)
{
    return SavedBytes(
        [&](XWriter& w)
        {
            w.BeginChunk(0x00020000);
            w.WriteChunkU32(0x00020001, width);
            w.WriteChunkU32(0x00020002, height);
            w.WriteChunkU32(0x00020005, format);
            w.WriteChunkU32(0x00020008, XTexture::FromPixels);
            w.BeginChunk(0x00020009);
            w.WriteU32(count);
            w.Write(pixels.data(), static_cast<unsigned>(pixels.size()));
            w.EndChunk();
            w.EndChunk();
        });
}

void LoadChunks(XTexture& texture, const Bytes& bytes)
{
    LoadEachChunk(bytes, [&](XReader& r) { texture.Load(nullptr, r); });
}

Bytes Saved(XTexture& texture)
{
    return SavedBytes([&](XWriter& w) { texture.Save(nullptr, w); });
}

void LoadBytes(XTexture& texture, const Bytes& bytes, size_t at = 0)
{
    XMemoryStream stream(0, 4096);
    LoadStream(stream, bytes);
    stream.SetPosition(static_cast<int64_t>(at));
    texture.LoadFromStream(stream);
}

Bytes Exported(XTexture& texture, uint32_t kind)
{
    XMemoryStream stream(0, 4096);
    texture.ExportToStream(stream, kind);
    return StreamBytes(stream);
}

// Records what a texture tells the holders of references to it.
class Holder : public XRefManager
{
public:
    explicit Holder(XRefManager* target) : ref(this, target) {}
    void Notification(XRefManager*, unsigned message, uintptr_t param) override
    {
        heard.push_back({message, param});
    }
    XReference<XRefManager> ref;
    std::vector<std::pair<unsigned, uintptr_t>> heard;
};

class XTextureTest : public ::testing::Test
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

TEST_F(XTextureTest, BitmapReaderMakesTheSpecifiedFormats)
{
    const uint32_t w = 4, h = 3;
    std::vector<uint32_t> texels = ImageFiles::RandomTexels(w, h, 7, true);
    struct Case
    {
        int bits;
        D3DFORMAT format;
        std::u16string error;
    } cases[] = {{24, D3DFMT_A8R8G8B8, u""},
                 {32, D3DFMT_A8R8G8B8, u""},
                 {16, D3DFMT_A1R5G5B5, u""},
                 {8, D3DFMT_UNKNOWN, u"Unsupported image format."}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.bits);
        Bytes bmp = ImageFiles::Bmp(texels, w, h, c.bits);
        // Behind other bytes in the stream: the pixel offset counts from the bitmap's start.
        Bytes stream = {'x', 'y', 'z'};
        stream.insert(stream.end(), bmp.begin(), bmp.end());
        XTexture texture;
        texture.CreateDevice(dev.device);
        std::u16string thrown = ThrownMessage([&] { LoadBytes(texture, stream, 3); });
        if (!c.error.empty())
        {
            EXPECT_EQ(thrown, c.error);
            EXPECT_EQ(texture.GetD3DTexture(), nullptr);
            EXPECT_EQ(texture.GetWidth(), 0u); // nothing taken from a refused header
            continue;
        }
        ASSERT_EQ(thrown, u"(nothing thrown)");
        EXPECT_EQ(texture.GetFormat(), c.format);
        EXPECT_EQ(texture.GetWidth(), w);
        EXPECT_EQ(texture.GetHeight(), h);
        EXPECT_EQ(texture.GetLevels(), 0u);
        ASSERT_NE(texture.GetD3DTexture(), nullptr);
        EXPECT_EQ(LevelBytes(texture.GetD3DTexture()), ExpectedTexels(bmp, c.bits, w, h));
    }
}

TEST_F(XTextureTest, BitmapHeadersThatCannotBeMadeAreRefused)
{
    const Bytes good = ImageFiles::Bmp(ImageFiles::RandomTexels(4, 3, 1, false), 4, 3, 32);
    struct Case
    {
        size_t at;
        uint32_t value;
        bool word;
        std::u16string error;
    } cases[] = {{26, 2, false, u"More than one plain in bitmap."},
                 {30, 1, true, u"Compressed bitmap not supported."},
                 {18, 0, true, u"Unsupported image format."},
                 {18, static_cast<uint32_t>(-4), true, u"Unsupported image format."},
                 {22, static_cast<uint32_t>(-3), true, u"Unsupported image format."},
                 {18, 16385, true, u"Unsupported image format."},
                 {22, 16385, true, u"Unsupported image format."},
                 // Within the device's limit but far more pixels than the file holds: refused
                 // before any texture is made for them.
                 {18, 16384, true, kIOErrorText}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.at);
        Bytes bmp = good;
        if (c.word)
            PutU32At(bmp, c.at, c.value);
        else
            bmp[c.at] = static_cast<uint8_t>(c.value);
        XTexture texture;
        texture.CreateDevice(dev.device);
        dev.Clear();
        EXPECT_EQ(ThrownMessage([&] { LoadBytes(texture, bmp); }), c.error);
        EXPECT_TRUE(Calls(dev, "CreateTexture(").empty());
        EXPECT_EQ(texture.GetD3DTexture(), nullptr);
    }
}

TEST_F(XTextureTest, EveryCutOfABitmapEndsInAnError)
{
    for (int bits : {16, 24, 32})
    {
        const Bytes bmp = ImageFiles::Bmp(ImageFiles::RandomTexels(4, 3, 2, false), 4, 3, bits);
        XTexture texture;
        texture.CreateDevice(dev.device);
        for (size_t n = 0; n < bmp.size(); ++n)
        {
            SCOPED_TRACE(std::to_string(bits) + " bits cut at " + std::to_string(n));
            Bytes cut(bmp.begin(), bmp.begin() + n);
            std::u16string thrown = ThrownMessage([&] { LoadBytes(texture, cut); });
            EXPECT_NE(thrown, u"(nothing thrown)");
            EXPECT_EQ(texture.GetD3DTexture(), nullptr);
        }
        EXPECT_EQ(dev.soft->GetLiveResourceCount(), 0u) << "nothing made for a cut file stays";
    }
}

TEST_F(XTextureTest, FilesGoToTheReaderTheirExtensionNames)
{
    TempDir dir;
    const uint32_t w = 8, h = 4;
    std::vector<uint32_t> texels = ImageFiles::RandomTexels(w, h, 3, true);
    Bytes bmp = ImageFiles::Bmp(texels, w, h, 32);
    Bytes png = ImageFiles::Png(texels, w, h, true);
    Bytes jpeg = ImageFiles::Jpeg(texels, w, h, 90);
    Bytes dds = ImageFiles::DdsArgb(texels, w, h);
    struct Case
    {
        const char* name;
        const Bytes& bytes;
        uint32_t levels;  // 0 from the texture's own reader, the file's level count from D3DX
        bool exactTexels; // A8R8G8B8 texels equal to the source
    } cases[] = {{"upper.BMP", bmp, 0, false},  {"mixed.bMp", bmp, 0, false},
                 {"picture.png", png, 1, true}, {"photo.JPG", jpeg, 1, false},
                 {"surface.dds", dds, 1, true}, {"jpeg-inside.bmp", jpeg, 1, false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::u16string path = WidePath(WriteWholeFile(dir / c.name, c.bytes));
        XTexture texture;
        texture.CreateDevice(dev.device);
        texture.LoadFromFile(path.c_str());
        EXPECT_EQ(texture.GetFileName(), XString(path.c_str()));
        EXPECT_EQ(texture.GetLevels(), c.levels);
        EXPECT_EQ(texture.GetWidth(), w);
        EXPECT_EQ(texture.GetHeight(), h);
        ASSERT_NE(texture.GetD3DTexture(), nullptr);
        D3DSURFACE_DESC desc{};
        texture.GetD3DTexture()->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Width, w);
        EXPECT_EQ(desc.Format, texture.GetFormat());
        if (c.exactTexels)
        {
            Bytes expected(w * h * 4);
            std::memcpy(expected.data(), texels.data(), expected.size());
            EXPECT_EQ(LevelBytes(texture.GetD3DTexture()), expected);
        }
    }

    XTexture texture;
    EXPECT_EQ(ThrownMessage([&] { texture.LoadFromFile(WidePath(dir / "upper.BMP").c_str()); }),
              u"NULL device pointer.");
    texture.CreateDevice(dev.device);
    EXPECT_EQ(ThrownText([&] { texture.LoadFromFile(WidePath(dir / "missing.bmp").c_str()); }),
              "Failed opening file.");
    EXPECT_NE(ThrownMessage([&] { texture.LoadFromFile(WidePath(dir / "missing.png").c_str()); }),
              u"(nothing thrown)");
    EXPECT_EQ(texture.GetD3DTexture(), nullptr);
}

TEST_F(XTextureTest, ADeviceResetKeepsManagedTexturesAndRemakesTheOthers)
{
    for (D3DPOOL pool : {D3DPOOL_MANAGED, D3DPOOL_DEFAULT})
    {
        SCOPED_TRACE(pool);
        XTexture texture;
        texture.SetWidth(16);
        texture.SetHeight(8);
        texture.SetLevels(1);
        texture.SetPool(pool);
        texture.CreateDevice(dev.device);
        dev.Clear();
        texture.Apply(0, &viewport, nullptr, 2);
        texture.Unapply(0, &viewport, nullptr, 2); // as a material does after drawing
        IDirect3DTexture9* made = texture.GetD3DTexture();
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(Calls(dev, "CreateTexture("),
                  std::vector<std::string>{"CreateTexture(16, 8, 1, 0, 21, " + std::to_string(pool) + ")"});

        texture.InvalidateDevice(dev.device);
        bool managed = pool == D3DPOOL_MANAGED;
        EXPECT_EQ(texture.GetD3DTexture() != nullptr, managed);
        // A default-pool texture still alive would make the reset fail.
        ASSERT_EQ(ResetDevice(dev), D3D_OK);
        texture.RestoreDevice(dev.device);
        dev.Clear();
        texture.Apply(0, &viewport, nullptr, 2);
        ASSERT_NE(texture.GetD3DTexture(), nullptr);
        EXPECT_EQ(Calls(dev, "CreateTexture(").size(), managed ? 0u : 1u);
        if (managed)
        {
            EXPECT_EQ(texture.GetD3DTexture(), made);
        }
        char bound[32];
        std::snprintf(bound, sizeof bound, "%p", static_cast<void*>(texture.GetD3DTexture()));
        EXPECT_EQ(Calls(dev, "SetTexture("),
                  std::vector<std::string>{"SetTexture(2, " + std::string(bound) + ")"});
        texture.Unapply(0, &viewport, nullptr, 2);
        texture.ReleaseDevice(dev.device);
        EXPECT_EQ(texture.GetD3DTexture(), nullptr);
        EXPECT_EQ(dev.soft->GetLiveResourceCount(), 0u);
    }
}

TEST_F(XTextureTest, ApplyBindsOnlyAMadeTextureOfTheViewportsDevice)
{
    SoftDevice other;
    ASSERT_NE(other.device, nullptr);
    ViewportDouble otherView;
    otherView.device = other.device;

    XTexture empty; // no file and no size: nothing to make
    empty.CreateDevice(dev.device);
    dev.Clear();
    empty.Apply(0, &viewport, nullptr, 0);
    EXPECT_EQ(Calls(dev), std::vector<std::string>{"SetTexture(0, null)"});

    XTexture texture;
    texture.SetWidth(4);
    texture.SetHeight(4);
    texture.CreateDevice(dev.device);
    other.Clear();
    texture.Apply(0, &otherView, nullptr, 1);
    EXPECT_NE(texture.GetD3DTexture(), nullptr);
    EXPECT_EQ(Calls(other), std::vector<std::string>{"SetTexture(1, null)"});
    other.Clear();
    texture.Unapply(0, &otherView, nullptr, 1);
    EXPECT_EQ(Calls(other), std::vector<std::string>{"SetTexture(1, null)"});

    XTexture detached; // without a device nothing is ever made
    detached.SetWidth(4);
    detached.SetHeight(4);
    detached.Apply(0, &viewport, nullptr, 0);
    EXPECT_EQ(detached.GetD3DTexture(), nullptr);
}

TEST_F(XTextureTest, StoredPixelsRoundTripAndStayWithinTheirBuffers)
{
    const uint32_t w = 3, h = 2;
    Bytes pixels(w * h * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i * 37 + 5);
    Bytes chunk = TextureChunk(w, h, D3DFMT_A8R8G8B8, pixels, static_cast<uint32_t>(pixels.size()));

    XTexture texture;
    LoadChunks(texture, chunk);
    EXPECT_EQ(texture.GetPixels(), pixels);
    std::vector<uint32_t> ids;
    LoadEachChunk(Saved(texture),
                  [&](XReader& r)
                  {
                      ids.push_back(r.GetChunkId());
                      while (r.GetChunkId() == 0x00020000 && r.NextChunk())
                      {
                          ids.push_back(r.GetChunkId());
                          r.EndChunk();
                      }
                  });
    EXPECT_EQ(ids,
              (std::vector<uint32_t>{0x00010000, 0x00020000, 0x00020001, 0x00020002, 0x00020003, 0x00020004,
                                     0x00020005, 0x00020006, 0x0002000A, 0x00020008, 0x00020009}));
    // Saved again: the object chunk, then the same fields in the saved order.
    XTexture copy;
    LoadChunks(copy, Saved(texture));
    EXPECT_EQ(Saved(copy), Saved(texture));
    copy.CreateDevice(dev.device);
    copy.Apply(0, &viewport, nullptr, 0);
    ASSERT_NE(copy.GetD3DTexture(), nullptr);
    EXPECT_EQ(copy.GetWidth(), w);
    EXPECT_EQ(copy.GetFormat(), D3DFMT_A8R8G8B8);
    EXPECT_EQ(LevelBytes(copy.GetD3DTexture()), pixels);

    // Fewer bytes than the size needs: what there is, the rest of the level untouched.
    XTexture shortOne;
    Bytes five(pixels.begin(), pixels.begin() + 5);
    LoadChunks(shortOne, TextureChunk(w, h, D3DFMT_A8R8G8B8, five, 5));
    shortOne.CreateDevice(dev.device);
    shortOne.Apply(0, &viewport, nullptr, 0);
    ASSERT_NE(shortOne.GetD3DTexture(), nullptr);
    EXPECT_TRUE(std::equal(five.begin(), five.end(), LevelBytes(shortOne.GetD3DTexture()).begin()));

    // A count beyond the chunk: no stored pixels, so nothing is made.
    XTexture oversized;
    LoadChunks(oversized, TextureChunk(w, h, D3DFMT_A8R8G8B8, pixels, 0xFFFFFFF0u));
    EXPECT_TRUE(oversized.GetPixels().empty());
    oversized.CreateDevice(dev.device);
    oversized.Apply(0, &viewport, nullptr, 0);
    EXPECT_EQ(oversized.GetD3DTexture(), nullptr);

    // Leaving the stored pixels drops them with the size.
    texture.SetSourceKind(XTexture::FromFile);
    EXPECT_TRUE(texture.GetPixels().empty());
    EXPECT_EQ(texture.GetWidth(), 0u);
}

TEST_F(XTextureTest, ExportsWriteTheExactBitmapAndSourceText)
{
    struct Case
    {
        D3DFORMAT format;
        unsigned bits;
    } cases[] = {{D3DFMT_A8R8G8B8, 32}, {D3DFMT_A1R5G5B5, 16}};
    const uint32_t w = 3, h = 2;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.bits);
        Bytes pixels(w * h * c.bits / 8);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>(0xF0 - i * 11);
        XTexture texture;
        LoadChunks(texture, TextureChunk(w, h, c.format, pixels, static_cast<uint32_t>(pixels.size())));
        texture.CreateDevice(dev.device);
        texture.Apply(0, &viewport, nullptr, 0);

        Bytes bmp = Exported(texture, XTexture::ExportBmp);
        const uint32_t size = 58 + w * h * c.bits / 8;
        Bytes header = {'B',
                        'M',
                        0,
                        0,
                        0,
                        0,
                        0,
                        0,
                        0,
                        0,
                        58,
                        0,
                        0,
                        0,
                        40,
                        0,
                        0,
                        0,
                        w,
                        0,
                        0,
                        0,
                        h,
                        0,
                        0,
                        0,
                        1,
                        0,
                        static_cast<uint8_t>(c.bits),
                        0,
                        0,
                        0,
                        0,
                        0,
                        0,
                        0,
                        0,
                        0,
                        120,
                        0,
                        0,
                        0,
                        120,
                        0,
                        0,
                        0};
        header.resize(58);
        PutU32At(header, 2, size);
        ASSERT_EQ(bmp.size(), size);
        EXPECT_EQ(Bytes(bmp.begin(), bmp.begin() + 58), header);
        EXPECT_EQ(Bytes(bmp.begin() + 58, bmp.end()), pixels);

        // The exported file reads back through the texture's own reader to the same texels.
        XTexture back;
        back.CreateDevice(dev.device);
        LoadBytes(back, bmp);
        EXPECT_EQ(back.GetFormat(), c.format);
        EXPECT_EQ(LevelBytes(back.GetD3DTexture()), pixels);

        // A size changed after the texture was made does not widen what is read.
        texture.SetWidth(1000);
        EXPECT_EQ(Exported(texture, XTexture::ExportBmp).size(), size);
        EXPECT_TRUE(Exported(texture, 3).empty());
    }

    // Source text: 32-bit texels as signed numbers separated by commas, 16-bit ones by tabs only.
    Bytes argb = {0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
                  0x00, 0x00, 0x00, 0x80, 0x10, 0x00, 0x00, 0x00};
    XTexture wide;
    LoadChunks(wide, TextureChunk(2, 2, D3DFMT_A8R8G8B8, argb, 16));
    wide.CreateDevice(dev.device);
    wide.Apply(0, &viewport, nullptr, 0);
    Bytes text = Exported(wide, XTexture::ExportSource);
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "bitu32 Texture[2][2] = {\r\n\t{\t1,\t-1},\r\n\t{\t-2147483648,\t16},\r\n};\r\n");
    Bytes rgb16 = {0x01, 0x00, 0xFF, 0xFF, 0x34, 0x12};
    XTexture narrow;
    LoadChunks(narrow, TextureChunk(3, 1, D3DFMT_A1R5G5B5, rgb16, 6));
    narrow.CreateDevice(dev.device);
    narrow.Apply(0, &viewport, nullptr, 0);
    text = Exported(narrow, XTexture::ExportSource);
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "bitu16 *Texture[1][3] = {\r\n\t{\t1\t65535\t4660\t},\r\n};\r\n");

    XTexture unmade; // no device, no texture: nothing written
    unmade.SetWidth(2);
    unmade.SetHeight(2);
    EXPECT_TRUE(Exported(unmade, XTexture::ExportBmp).empty());
}

TEST_F(XTextureTest, SettersTellHoldersAndMarkTheTextureForRemaking)
{
    struct Case
    {
        const char* name;
        void (*set)(XTexture&);
        std::vector<std::pair<unsigned, uintptr_t>> heard;
    } cases[] = {
        {"Width", [](XTexture& t) { t.SetWidth(8); }, {}},
        {"Height", [](XTexture& t) { t.SetHeight(8); }, {}},
        {"Levels", [](XTexture& t) { t.SetLevels(2); }, {{XRM_TEXTURE_CHANGED, 1}}},
        {"Usage", [](XTexture& t) { t.SetUsage(D3DUSAGE_DYNAMIC); }, {{XRM_TEXTURE_CHANGED, 2}}},
        {"Pool", [](XTexture& t) { t.SetPool(D3DPOOL_SYSTEMMEM); }, {{XRM_TEXTURE_CHANGED, 0x10}}},
        {"Format", [](XTexture& t) { t.SetFormat(D3DFMT_A1R5G5B5); }, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        XTexture texture;
        texture.SetWidth(4);
        texture.SetHeight(4);
        texture.SetLevels(1);
        texture.CreateDevice(dev.device);
        texture.Apply(0, &viewport, nullptr, 0);
        Holder holder(&texture);
        dev.Clear();
        c.set(texture);
        c.set(texture); // unchanged: nothing more
        EXPECT_EQ(holder.heard, c.heard);
        texture.Apply(0, &viewport, nullptr, 0);
        std::vector<std::string> made = Calls(dev, "CreateTexture(");
        ASSERT_EQ(made.size(), 1u);
        std::string expected =
            "CreateTexture(" + std::to_string(texture.GetWidth()) + ", " +
            std::to_string(texture.GetHeight()) + ", " + std::to_string(texture.GetLevels()) + ", " +
            std::to_string(texture.GetUsage()) + ", " + std::to_string(texture.GetFormat()) + ", " +
            std::to_string(texture.GetPool()) + ")";
        EXPECT_EQ(made[0], expected);
    }

    // The file name notifies with 0x20; the fields reach the setters.
    XTexture texture;
    Holder holder(&texture);
    XPtrArray<XObjectField, 16> fields;
    texture.EnumerateFields(fields);
    ASSERT_EQ(fields.GetCount(), 7u);
    EXPECT_EQ(fields[6]->GetName(), XString(u"FileName"));
    EXPECT_TRUE(fields[6]->SetValue(&texture, VarUtils::XVariant(XString(u"a.png"))));
    EXPECT_EQ(fields[4]->GetTypeName(), XString(u"D3DFORMAT"));
    EXPECT_TRUE(fields[4]->SetValue(&texture, VarUtils::XVariant(static_cast<int>(D3DFMT_X8R8G8B8))));
    EXPECT_EQ(texture.GetFormat(), D3DFMT_X8R8G8B8);
    EXPECT_EQ(holder.heard, (std::vector<std::pair<unsigned, uintptr_t>>{{XRM_TEXTURE_CHANGED, 0x20}}));
}

TEST_F(XTextureTest, DeviceFailuresLeaveNoTexture)
{
    D3D9Faults* faults = GetD3D9Faults();
    ASSERT_NE(faults, nullptr);
    Bytes pixels(16, 0xAB);
    Bytes bmp = ImageFiles::Bmp(ImageFiles::RandomTexels(2, 2, 4, false), 2, 2, 32);
    struct Case
    {
        UINT D3D9Faults::*fault;
        std::u16string error;
    } cases[] = {{&D3D9Faults::failCreateTexture, u"Failed CreateTexture call."},
                 {&D3D9Faults::failLockRect, u"Failed LockRect call."}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.error.begin(), c.error.end()));
        XTexture stored;
        LoadChunks(stored, TextureChunk(2, 2, D3DFMT_A8R8G8B8, pixels, 16));
        stored.CreateDevice(dev.device);
        faults->*c.fault = 1;
        EXPECT_EQ(ThrownMessage([&] { stored.Apply(0, &viewport, nullptr, 0); }), c.error);
        EXPECT_EQ(stored.GetD3DTexture(), nullptr);

        XTexture read;
        read.CreateDevice(dev.device);
        faults->*c.fault = 1;
        EXPECT_EQ(ThrownMessage([&] { LoadBytes(read, bmp); }), c.error);
        EXPECT_EQ(read.GetD3DTexture(), nullptr);
        EXPECT_EQ(dev.soft->GetLiveResourceCount(), 0u);
    }
    *faults = D3D9Faults{};
}
} // namespace
