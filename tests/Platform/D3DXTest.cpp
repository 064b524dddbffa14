// The D3DX image library, loaded by its module name as the engine loads it, over the software
// device; the image files come from generators of their own.
#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/D3DX/D3DX9.h"

#include "tests/support/ImageFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace
{
struct Library
{
    D3DXGetImageInfoFromFileInMemoryProc infoInMemory;
    D3DXGetImageInfoFromFileWProc infoFromFile;
    D3DXCreateTextureFromFileInMemoryExProc fromMemoryEx;
    D3DXCreateTextureFromFileExWProc fromFileEx;
    D3DXCreateTextureFromFileWProc fromFile;
    D3DXCreateTextureProc createTexture;
    D3DXSaveTextureToFileWProc saveTexture;
    D3DXSaveSurfaceToFileWProc saveSurface;
    D3DXMatrixDecomposeProc decompose;
    D3DXCreateEffectFromFileWProc createEffect;
    D3DXCompileShaderFromFileWProc compileShader;
    D3DXGetVertexShaderProfileProc profile;
};

template <class Proc> void Bind(HMODULE module, const char* name, Proc& proc)
{
    proc = reinterpret_cast<Proc>(GetProcAddress(module, name));
    ASSERT_NE(proc, nullptr) << name;
}

class D3DXTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_d3d9 = LoadLibraryW(u"d3d9.dll");
        m_d3dx = LoadLibraryW(u"d3dx9_24.dll");
        ASSERT_NE(m_d3d9, nullptr);
        ASSERT_NE(m_d3dx, nullptr);
        Bind(m_d3dx, "D3DXGetImageInfoFromFileInMemory", x.infoInMemory);
        Bind(m_d3dx, "D3DXGetImageInfoFromFileW", x.infoFromFile);
        Bind(m_d3dx, "D3DXCreateTextureFromFileInMemoryEx", x.fromMemoryEx);
        Bind(m_d3dx, "D3DXCreateTextureFromFileExW", x.fromFileEx);
        Bind(m_d3dx, "D3DXCreateTextureFromFileW", x.fromFile);
        Bind(m_d3dx, "D3DXCreateTexture", x.createTexture);
        Bind(m_d3dx, "D3DXSaveTextureToFileW", x.saveTexture);
        Bind(m_d3dx, "D3DXSaveSurfaceToFileW", x.saveSurface);
        Bind(m_d3dx, "D3DXMatrixDecompose", x.decompose);
        Bind(m_d3dx, "D3DXCreateEffectFromFileW", x.createEffect);
        Bind(m_d3dx, "D3DXCompileShaderFromFileW", x.compileShader);
        Bind(m_d3dx, "D3DXGetVertexShaderProfile", x.profile);

        auto create = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(m_d3d9, "Direct3DCreate9"));
        m_d3d = create(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 16;
        p.BackBufferHeight = 16;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        ASSERT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p,
                                      &m_device),
                  D3D_OK);
    }

    void TearDown() override
    {
        if (m_device)
        {
            EXPECT_EQ(m_device->Release(), 0u) << "every texture was released";
        }
        if (m_d3d)
            m_d3d->Release();
        FreeLibrary(m_d3dx);
        FreeLibrary(m_d3d9);
    }

    IDirect3DTexture9* FromMemory(const std::vector<uint8_t>& file, D3DFORMAT format = D3DFMT_UNKNOWN,
                                  UINT levels = D3DX_DEFAULT, D3DCOLOR colorKey = 0,
                                  D3DXIMAGE_INFO* info = nullptr)
    {
        IDirect3DTexture9* texture = nullptr;
        HRESULT hr = x.fromMemoryEx(m_device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT,
                                    D3DX_DEFAULT, levels, 0, format, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                    D3DX_DEFAULT, colorKey, info, nullptr, &texture);
        EXPECT_EQ(hr, D3D_OK);
        return texture;
    }

    // The texels of a level, read back as A8R8G8B8 of a 32-bit format.
    static std::vector<uint32_t> Texels(IDirect3DTexture9* texture, UINT level = 0)
    {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<uint32_t> texels(static_cast<size_t>(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(texels.data() + static_cast<size_t>(y) * desc.Width,
                        static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                        desc.Width * 4u);
        texture->UnlockRect(level);
        return texels;
    }

    static std::vector<uint32_t> Opaque(std::vector<uint32_t> texels)
    {
        for (uint32_t& t : texels)
            t |= 0xFF000000u;
        return texels;
    }

    HMODULE m_d3d9 = nullptr;
    HMODULE m_d3dx = nullptr;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    Library x{};
};

// Texels of at most `colours` distinct colours, for the indexed bitmaps.
std::vector<uint32_t> FewColours(uint32_t width, uint32_t height, uint32_t colours)
{
    std::vector<uint32_t> texels = ImageFiles::RandomTexels(width, height, 7, false);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = 0xFF000000u | (0x10305070u * static_cast<uint32_t>(texels[i] % colours + 1) & 0xFFFFFF);
    return texels;
}

TEST_F(D3DXTest, ImageInfoReportsSizeFormatLevelsAndKind)
{
    std::vector<uint32_t> texels = ImageFiles::RandomTexels(4, 2, 1, false);
    struct Case
    {
        const char* what;
        std::vector<uint8_t> file;
        UINT width, height, levels;
        D3DFORMAT format;
        D3DXIMAGE_FILEFORMAT kind;
    };
    const Case cases[] = {
        {"24-bit BMP", ImageFiles::Bmp(texels, 4, 2, 24), 4, 2, 1, D3DFMT_R8G8B8, D3DXIFF_BMP},
        {"32-bit BMP", ImageFiles::Bmp(texels, 4, 2, 32), 4, 2, 1, D3DFMT_X8R8G8B8, D3DXIFF_BMP},
        {"16-bit BMP", ImageFiles::Bmp(texels, 4, 2, 16), 4, 2, 1, D3DFMT_X1R5G5B5, D3DXIFF_BMP},
        {"8-bit BMP", ImageFiles::Bmp(FewColours(5, 3, 200), 5, 3, 8), 5, 3, 1, D3DFMT_P8, D3DXIFF_BMP},
        {"1-bit BMP", ImageFiles::Bmp(FewColours(9, 2, 2), 9, 2, 1), 9, 2, 1, D3DFMT_P8, D3DXIFF_BMP},
        {"24-bit TGA", ImageFiles::Tga(texels, 4, 2, 24, false), 4, 2, 1, D3DFMT_R8G8B8, D3DXIFF_TGA},
        {"32-bit RLE TGA", ImageFiles::Tga(texels, 4, 2, 32, true), 4, 2, 1, D3DFMT_A8R8G8B8, D3DXIFF_TGA},
        {"PNG with alpha", ImageFiles::Png(texels, 4, 2, true), 4, 2, 1, D3DFMT_A8R8G8B8, D3DXIFF_PNG},
        {"PNG without alpha", ImageFiles::Png(texels, 4, 2, false), 4, 2, 1, D3DFMT_X8R8G8B8, D3DXIFF_PNG},
        {"JPEG", ImageFiles::Jpeg(ImageFiles::RandomTexels(33, 17, 2, false), 33, 17, 90), 33, 17, 1,
         D3DFMT_X8R8G8B8, D3DXIFF_JPG},
        {"DXT1 DDS", ImageFiles::DdsDxt("DXT1", 16, 8, 5, 3), 16, 8, 5, D3DFMT_DXT1, D3DXIFF_DDS},
        {"DXT5 DDS", ImageFiles::DdsDxt("DXT5", 8, 8, 1, 3), 8, 8, 1, D3DFMT_DXT5, D3DXIFF_DDS},
        {"A8R8G8B8 DDS", ImageFiles::DdsArgb(texels, 4, 2), 4, 2, 1, D3DFMT_A8R8G8B8, D3DXIFF_DDS},
    };
    for (const Case& c : cases)
    {
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(x.infoInMemory(c.file.data(), static_cast<UINT>(c.file.size()), &info), D3D_OK) << c.what;
        EXPECT_EQ(info.Width, c.width) << c.what;
        EXPECT_EQ(info.Height, c.height) << c.what;
        EXPECT_EQ(info.Depth, 1u) << c.what;
        EXPECT_EQ(info.MipLevels, c.levels) << c.what;
        EXPECT_EQ(info.Format, c.format) << c.what;
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE) << c.what;
        EXPECT_EQ(info.ImageFileFormat, c.kind) << c.what;
    }
}

TEST_F(D3DXTest, LosslessImagesBecomeTexturesWithTheirExactTexels)
{
    std::vector<uint32_t> texels = ImageFiles::RandomTexels(7, 5, 11, true);
    std::vector<uint32_t> few = FewColours(7, 5, 16);
    std::vector<uint32_t> two = FewColours(7, 5, 2);
    struct Case
    {
        const char* what;
        std::vector<uint8_t> file;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {"24-bit BMP", ImageFiles::Bmp(texels, 7, 5, 24), Opaque(texels)},
        {"32-bit BMP", ImageFiles::Bmp(texels, 7, 5, 32), Opaque(texels)},
        {"8-bit BMP", ImageFiles::Bmp(few, 7, 5, 8), few},
        {"4-bit BMP", ImageFiles::Bmp(few, 7, 5, 4), few},
        {"1-bit BMP", ImageFiles::Bmp(two, 7, 5, 1), two},
        {"24-bit TGA", ImageFiles::Tga(texels, 7, 5, 24, false), Opaque(texels)},
        {"32-bit TGA", ImageFiles::Tga(texels, 7, 5, 32, false), texels},
        {"32-bit RLE TGA", ImageFiles::Tga(few, 7, 5, 32, true), few},
        {"PNG with alpha", ImageFiles::Png(texels, 7, 5, true), texels},
        {"PNG without alpha", ImageFiles::Png(texels, 7, 5, false), Opaque(texels)},
        {"A8R8G8B8 DDS", ImageFiles::DdsArgb(texels, 7, 5), texels},
    };
    for (const Case& c : cases)
    {
        D3DXIMAGE_INFO info{};
        IDirect3DTexture9* texture = FromMemory(c.file, D3DFMT_UNKNOWN, 1, 0, &info);
        ASSERT_NE(texture, nullptr) << c.what;
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Width, 7u) << c.what;
        EXPECT_EQ(desc.Height, 5u) << c.what;
        EXPECT_EQ(info.Width, 7u) << c.what;
        ASSERT_TRUE(desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8) << c.what;
        EXPECT_EQ(Texels(texture), c.expected) << c.what;
        texture->Release();
    }
}

// The stored samples of every kind of PNG, with no gamma or colour conversion whatever the file
// says about its gamma: 16-bit samples by their high byte, low-depth grey widened by repeating its
// bits, palettes and transparency looked up.
TEST_F(D3DXTest, PngTexelsAreTheStoredSamples)
{
    using ImageFiles::PngSpec;
    std::mt19937 random(31);
    struct Case
    {
        std::string what;
        PngSpec spec;
        uint32_t width, height;
        std::vector<uint16_t> samples;
        std::vector<uint32_t> expected;
    };
    std::vector<Case> cases;
    auto add = [&](std::string what, PngSpec spec, uint32_t width, uint32_t height)
    {
        const int channels = spec.colourType == PngSpec::GreyAlpha ? 2
                             : spec.colourType == PngSpec::Rgb     ? 3
                             : spec.colourType == PngSpec::Rgba    ? 4
                                                                   : 1;
        Case c{what, spec, width, height, {}, {}};
        const uint32_t top = spec.colourType == PngSpec::Palette ? uint32_t(spec.palette.size())
                                                                 : (1u << spec.depth);
        for (size_t i = 0; i < size_t(width) * height * channels; ++i)
            c.samples.push_back(static_cast<uint16_t>(random() % top));
        // The 8 bits of a sample: the high byte of 16, the bits repeated for fewer than 8.
        auto eight = [&](uint32_t v) -> uint32_t
        {
            switch (spec.depth)
            {
            case 16: return v >> 8;
            case 8: return v;
            case 4: return v * 17;
            case 2: return v * 85;
            default: return v * 255;
            }
        };
        for (size_t p = 0; p < size_t(width) * height; ++p)
        {
            const uint16_t* s = c.samples.data() + p * channels;
            uint32_t r, g, b, a = 255;
            if (spec.colourType == PngSpec::Palette)
            {
                uint32_t colour = spec.palette[s[0]];
                r = colour >> 16 & 0xFF;
                g = colour >> 8 & 0xFF;
                b = colour & 0xFF;
                if (s[0] < spec.transparency.size())
                    a = spec.transparency[s[0]];
            }
            else if (channels <= 2)
            {
                r = g = b = eight(s[0]);
                if (channels == 2)
                    a = eight(s[1]);
                else if (!spec.transparency.empty() && s[0] == spec.transparency[0])
                    a = 0;
            }
            else
            {
                r = eight(s[0]);
                g = eight(s[1]);
                b = eight(s[2]);
                if (channels == 4)
                    a = eight(s[3]);
            }
            c.expected.push_back(a << 24 | r << 16 | g << 8 | b);
        }
        cases.push_back(std::move(c));
    };
    std::vector<uint32_t> palette;
    for (int i = 0; i < 200; ++i)
        palette.push_back(static_cast<uint32_t>(random()) & 0xFFFFFF);
    for (uint32_t gamma : {0u, 45455u, 100000u, 50000u})
    {
        const std::string g = " gAMA " + std::to_string(gamma);
        add("RGB 8" + g, {PngSpec::Rgb, 8, false, gamma, {}, {}}, 9, 7);
        add("RGB 16" + g, {PngSpec::Rgb, 16, false, gamma, {}, {}}, 9, 7);
        add("RGBA 8" + g, {PngSpec::Rgba, 8, false, gamma, {}, {}}, 9, 7);
        add("RGBA 16" + g, {PngSpec::Rgba, 16, false, gamma, {}, {}}, 9, 7);
        add("grey 8" + g, {PngSpec::Grey, 8, false, gamma, {}, {}}, 9, 7);
        add("grey 16" + g, {PngSpec::Grey, 16, false, gamma, {}, {}}, 9, 7);
        add("palette 8" + g, {PngSpec::Palette, 8, false, gamma, palette, {}}, 9, 7);
    }
    add("grey 4", {PngSpec::Grey, 4, false, 0, {}, {}}, 13, 5);
    add("grey 2", {PngSpec::Grey, 2, false, 0, {}, {}}, 13, 5);
    add("grey 1", {PngSpec::Grey, 1, false, 0, {}, {}}, 13, 5);
    add("grey and alpha 8", {PngSpec::GreyAlpha, 8, false, 0, {}, {}}, 9, 7);
    add("grey and alpha 16", {PngSpec::GreyAlpha, 16, false, 45455, {}, {}}, 9, 7);
    add("grey 8 with a transparent level", {PngSpec::Grey, 8, false, 0, {}, {0}}, 30, 30);
    add("palette 4 with transparency",
        {PngSpec::Palette, 4, false, 0, std::vector<uint32_t>(palette.begin(), palette.begin() + 16), {0, 128, 255, 7}},
        11, 6);
    add("palette 8 with transparency", {PngSpec::Palette, 8, false, 45455, palette, {10, 20, 30, 40, 50}}, 9, 7);
    add("interlaced RGB 8", {PngSpec::Rgb, 8, true, 0, {}, {}}, 17, 11);
    add("interlaced RGBA 16", {PngSpec::Rgba, 16, true, 100000, {}, {}}, 17, 11);
    add("interlaced palette 8", {PngSpec::Palette, 8, true, 0, palette, {}}, 17, 11);
    add("interlaced grey 2", {PngSpec::Grey, 2, true, 0, {}, {}}, 17, 11);
    // The samples the fault was found with.
    Case exact{"RGB 16 of 0x4000, 0x8000, 0xC000", {PngSpec::Rgb, 16, false, 0, {}, {}}, 1, 1,
               {0x4000, 0x8000, 0xC000}, {0xFF4080C0u}};
    cases.push_back(exact);

    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = ImageFiles::PngSamples(c.samples, c.width, c.height, c.spec);
        IDirect3DTexture9* texture = FromMemory(file, D3DFMT_A8R8G8B8, 1);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(Texels(texture), c.expected);
        texture->Release();
    }
}

// Run-length bitmaps against the indices they were written from: runs, literal stretches, moves and
// rows ended early (their pixels keep index 0's colour), at both depths and odd widths.
TEST_F(D3DXTest, RunLengthBitmapsGiveTheirIndicesColours)
{
    std::mt19937 random(77);
    for (int bits : {8, 4})
        for (uint32_t width : {1u, 2u, 3u, 37u, 300u})
        {
            SCOPED_TRACE(testing::Message() << bits << " bits, width " << width);
            const uint32_t height = 9, colours = bits == 8 ? 256 : 16;
            std::vector<uint32_t> palette;
            for (uint32_t i = 0; i < colours; ++i)
                palette.push_back(static_cast<uint32_t>(random()) & 0xFFFFFF);
            std::vector<uint8_t> indices;
            while (indices.size() < size_t(width) * height)
            {
                // Stretches of one index, of random ones and of zeros, of random lengths.
                const uint32_t length = 1 + random() % 20;
                const uint32_t kind = random() % 3;
                const uint8_t same = static_cast<uint8_t>(random() % colours);
                for (uint32_t i = 0; i < length && indices.size() < size_t(width) * height; ++i)
                    indices.push_back(kind == 0 ? same : kind == 1 ? uint8_t(random() % colours) : 0);
            }
            std::vector<uint32_t> expected;
            for (uint8_t index : indices)
                expected.push_back(0xFF000000u | palette[index]);
            std::vector<uint8_t> file = ImageFiles::BmpRle(indices, palette, width, height, bits);
            IDirect3DTexture9* texture = FromMemory(file, D3DFMT_A8R8G8B8, 1);
            ASSERT_NE(texture, nullptr);
            EXPECT_EQ(Texels(texture), expected);
            texture->Release();
        }
}

// Four-channel JPEGs (plain and YCCK) against the colour of their stored samples, inverted as the
// Adobe marker says: blocks of one colour, so that the lossy coding keeps them within a step or two.
TEST_F(D3DXTest, CmykJpegsBecomeTheirColours)
{
    const uint8_t inks[4][4] = {{255, 128, 0, 255}, {40, 200, 90, 230}, {255, 255, 255, 60}, {0, 0, 0, 0}};
    const uint32_t width = 32, height = 32;
    std::vector<uint8_t> cmyk;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint8_t* ink = inks[(y / 16) * 2 + x / 16];
            cmyk.insert(cmyk.end(), ink, ink + 4);
        }
    for (bool ycck : {false, true})
    {
        SCOPED_TRACE(ycck ? "YCCK" : "CMYK");
        std::vector<uint8_t> file = ImageFiles::JpegCmyk(cmyk, width, height, ycck);
        IDirect3DTexture9* texture = FromMemory(file, D3DFMT_A8R8G8B8, 1);
        ASSERT_NE(texture, nullptr);
        std::vector<uint32_t> texels = Texels(texture);
        texture->Release();
        // Colours meet at the blocks' edges, where subsampled channels blend: the insides count.
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
            {
                if (x % 16 < 2 || x % 16 > 13 || y % 16 < 2 || y % 16 > 13)
                    continue;
                const uint8_t* ink = inks[(y / 16) * 2 + x / 16];
                const uint32_t texel = texels[size_t(y) * width + x];
                EXPECT_EQ(texel >> 24, 0xFFu);
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(static_cast<int>(texel >> (16 - 8 * c) & 0xFF), ink[c] * ink[3] / 255, 4)
                        << x << "," << y << " channel " << c;
            }
    }
}

TEST_F(D3DXTest, JpegKeepsItsSizeAndColours)
{
    const uint32_t colour = 0xFF4080C0u;
    std::vector<uint32_t> flat(20 * 12, colour);
    std::vector<uint8_t> file = ImageFiles::Jpeg(flat, 20, 12, 95);
    IDirect3DTexture9* texture = FromMemory(file, D3DFMT_UNKNOWN, 1);
    ASSERT_NE(texture, nullptr);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 20u);
    EXPECT_EQ(desc.Height, 12u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    for (uint32_t texel : Texels(texture))
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(static_cast<int>((texel >> shift) & 0xFF), static_cast<int>((colour >> shift) & 0xFF),
                        3);
    texture->Release();
}

TEST_F(D3DXTest, DxtFilesKeepTheirFormatLevelsAndBlocks)
{
    for (const char* fourCC : {"DXT1", "DXT3", "DXT5"})
    {
        std::vector<uint8_t> file = ImageFiles::DdsDxt(fourCC, 16, 8, 3, 5);
        IDirect3DTexture9* texture = FromMemory(file, D3DFMT_UNKNOWN, D3DX_FROM_FILE);
        ASSERT_NE(texture, nullptr) << fourCC;
        ASSERT_EQ(texture->GetLevelCount(), 3u) << fourCC;
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Format, MakeFourCC(fourCC[0], fourCC[1], fourCC[2], fourCC[3]));
        // The blocks of all levels follow the 128-byte header in the file.
        size_t offset = 128;
        UINT blockBytes = fourCC[3] == '1' ? 8 : 16;
        for (UINT level = 0; level < 3; ++level)
        {
            UINT blocksWide = std::max(1u, (16u >> level) / 4), blocksHigh = std::max(1u, (8u >> level) / 4);
            D3DLOCKED_RECT locked{};
            ASSERT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
            for (UINT row = 0; row < blocksHigh; ++row)
            {
                EXPECT_EQ(std::memcmp(static_cast<uint8_t*>(locked.pBits) + row * locked.Pitch,
                                      file.data() + offset, blocksWide * blockBytes),
                          0)
                    << fourCC << " level " << level;
                offset += blocksWide * blockBytes;
            }
            texture->UnlockRect(level);
        }
        texture->Release();
    }
    // Asked for another format, the blocks are decoded.
    std::vector<uint8_t> file = ImageFiles::DdsDxt("DXT1", 8, 8, 1, 9);
    IDirect3DTexture9* texture = FromMemory(file, D3DFMT_A8R8G8B8, 1);
    ASSERT_NE(texture, nullptr);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    texture->Release();
}

TEST_F(D3DXTest, DefaultSizesAndLevelsFollowTheImage)
{
    // Sizes are the file's (the device takes any size); a full chain is made by averaging.
    std::vector<uint32_t> texels = {0xFF000000u, 0xFF040404u, 0xFF080808u, 0xFF0C0C0Cu, 0xFF101010u,
                                    0xFF000000u, 0xFF040404u, 0xFF080808u, 0xFF0C0C0Cu, 0xFF101010u,
                                    0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    IDirect3DTexture9* texture = FromMemory(ImageFiles::Png(texels, 5, 3, false));
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(1, &desc);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(desc.Height, 1u);
    EXPECT_EQ(Texels(texture, 1), (std::vector<uint32_t>{0xFF020202u, 0xFF0A0A0Au}));
    texture->Release();

    // A colour key clears the texels of its colour.
    std::vector<uint32_t> keyed = {0xFFFF00FFu, 0xFF123456u};
    texture = FromMemory(ImageFiles::Png(keyed, 2, 1, false), D3DFMT_A8R8G8B8, 1, 0xFFFF00FFu);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(Texels(texture), (std::vector<uint32_t>{0u, 0xFF123456u}));
    texture->Release();

    IDirect3DTexture9* created = nullptr;
    ASSERT_EQ(
        x.createTexture(m_device, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_R8G8B8, D3DPOOL_MANAGED, &created),
        D3D_OK);
    created->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8) << "the nearest format the device takes";
    created->Release();
}

TEST_F(D3DXTest, EveryCutOrDamagedImageFailsCleanly)
{
    std::vector<uint32_t> texels = ImageFiles::RandomTexels(6, 5, 4, true);
    struct Case
    {
        const char* what;
        std::vector<uint8_t> file;
    };
    const Case cases[] = {
        {"24-bit BMP", ImageFiles::Bmp(texels, 6, 5, 24)},
        {"4-bit BMP", ImageFiles::Bmp(FewColours(6, 5, 16), 6, 5, 4)},
        {"TGA", ImageFiles::Tga(texels, 6, 5, 32, false)},
        {"RLE TGA", ImageFiles::Tga(FewColours(6, 5, 3), 6, 5, 24, true)},
        {"PNG", ImageFiles::Png(texels, 6, 5, true)},
        {"interlaced 16-bit PNG",
         ImageFiles::PngSamples(std::vector<uint16_t>(6 * 5 * 4, 0x1234), 6, 5,
                                {ImageFiles::PngSpec::Rgba, 16, true, 45455, {}, {}})},
        {"palette PNG",
         ImageFiles::PngSamples(std::vector<uint16_t>(6 * 5, 1), 6, 5,
                                {ImageFiles::PngSpec::Palette, 2, false, 0, {0x102030, 0x405060}, {9}})},
        {"RLE8 BMP", ImageFiles::BmpRle({1, 1, 1, 1, 2, 3, 0, 0, 0, 0, 0, 7, 7, 9, 4, 5, 6, 7, 0, 0, 0, 0, 0, 0,
                                         1, 2, 3, 4, 5, 6},
                                        {0, 0x111111, 0x222222, 0x333333, 0x444444, 0x555555, 0x666666,
                                         0x777777, 0x888888, 0x999999},
                                        6, 5, 8)},
        {"RLE4 BMP", ImageFiles::BmpRle({1, 1, 1, 1, 2, 3, 0, 0, 0, 0, 0, 7, 7, 9, 4, 5, 6, 7, 0, 0, 0, 0, 0, 0,
                                         1, 2, 3, 4, 5, 6},
                                        {0, 0x111111, 0x222222, 0x333333, 0x444444, 0x555555, 0x666666,
                                         0x777777, 0x888888, 0x999999},
                                        6, 5, 4)},
        {"JPEG", ImageFiles::Jpeg(texels, 6, 5, 80)},
        {"CMYK JPEG", ImageFiles::JpegCmyk(std::vector<uint8_t>(6 * 5 * 4, 99), 6, 5, false)},
        {"YCCK JPEG", ImageFiles::JpegCmyk(std::vector<uint8_t>(6 * 5 * 4, 99), 6, 5, true)},
        {"DXT1 DDS", ImageFiles::DdsDxt("DXT1", 8, 8, 4, 1)},
        {"A8R8G8B8 DDS", ImageFiles::DdsArgb(texels, 6, 5)},
    };
    for (const Case& c : cases)
    {
        for (size_t length = 0; length < c.file.size(); ++length)
        {
            // Each cut in a buffer of its own size, so that the sanitizer sees any read past it.
            std::vector<uint8_t> cut(c.file.begin(), c.file.begin() + static_cast<ptrdiff_t>(length));
            IDirect3DTexture9* texture = nullptr;
            HRESULT hr =
                x.fromMemoryEx(m_device, cut.empty() ? nullptr : cut.data(), static_cast<UINT>(length),
                               D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                               D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
            EXPECT_TRUE(FAILED(hr)) << c.what << " cut to " << length;
            EXPECT_EQ(texture, nullptr) << c.what << " cut to " << length;
            if (texture)
                texture->Release();
        }
    }
    // Sizes beyond the limit and contradictory headers.
    std::vector<uint8_t> huge = ImageFiles::Tga(texels, 6, 5, 32, false);
    huge[12] = 0x01;
    huge[13] = 0x41; // width 16641
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(x.infoInMemory(huge.data(), static_cast<UINT>(huge.size()), &info), D3DXERR_INVALIDDATA);
    // Small files that promise huge images are refused before their texels are allocated.
    std::vector<uint8_t> rle = ImageFiles::Tga(FewColours(6, 5, 3), 6, 5, 24, true);
    rle[12] = rle[14] = 0x80;
    rle[13] = rle[15] = 0x3E; // 16000 x 16000
    EXPECT_EQ(x.infoInMemory(rle.data(), static_cast<UINT>(rle.size()), &info), D3DXERR_INVALIDDATA);
    std::vector<uint8_t> jpeg = ImageFiles::Jpeg(texels, 6, 5, 80);
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) // start of frame: height and width follow the precision
        {
            jpeg[i + 5] = jpeg[i + 7] = 0x3E;
            jpeg[i + 6] = jpeg[i + 8] = 0x80;
            break;
        }
    EXPECT_EQ(x.infoInMemory(jpeg.data(), static_cast<UINT>(jpeg.size()), &info), D3DXERR_INVALIDDATA);
    std::vector<uint8_t> bmp = ImageFiles::Bmp(texels, 6, 5, 24);
    bmp[10] = 0xF0; // pixels said to start past the end
    EXPECT_EQ(x.infoInMemory(bmp.data(), static_cast<UINT>(bmp.size()), &info), D3DXERR_INVALIDDATA);
    std::vector<uint8_t> dds = ImageFiles::DdsDxt("DXT1", 16, 16, 2, 1);
    dds[28] = 5; // more levels than the file holds
    EXPECT_EQ(x.infoInMemory(dds.data(), static_cast<UINT>(dds.size()), &info), D3DXERR_INVALIDDATA);
}

TEST_F(D3DXTest, TexturesAreSavedAsBmpAndPngAndReadBack)
{
    TempDir dir("d3dx");
    std::vector<uint32_t> texels = ImageFiles::RandomTexels(9, 4, 21, true);
    IDirect3DTexture9* texture = FromMemory(ImageFiles::Png(texels, 9, 4, true), D3DFMT_A8R8G8B8, 1);
    ASSERT_NE(texture, nullptr);
    struct Case
    {
        const char* name;
        D3DXIMAGE_FILEFORMAT kind;
    };
    for (Case c : {Case{"saved.bmp", D3DXIFF_BMP}, Case{"saved.png", D3DXIFF_PNG}})
    {
        std::u16string path = Platform::FromUtf8((dir / c.name).string());
        ASSERT_EQ(x.saveTexture(path.c_str(), c.kind, texture, nullptr), D3D_OK) << c.name;
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(x.infoFromFile(path.c_str(), &info), D3D_OK) << c.name;
        EXPECT_EQ(info.ImageFileFormat, c.kind);
        EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8) << c.name << " keeps the alpha";
        IDirect3DTexture9* loaded = nullptr;
        ASSERT_EQ(x.fromFileEx(m_device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
                               D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &loaded),
                  D3D_OK);
        EXPECT_EQ(Texels(loaded), texels) << c.name;
        loaded->Release();
    }
    // A part of a surface, written opaque from an X8R8G8B8 texture.
    IDirect3DTexture9* opaque = FromMemory(ImageFiles::Png(texels, 9, 4, false), D3DFMT_X8R8G8B8, 1);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(opaque->GetSurfaceLevel(0, &surface), D3D_OK);
    RECT part{2, 1, 5, 3};
    std::u16string path = Platform::FromUtf8((dir / "part.bmp").string());
    ASSERT_EQ(x.saveSurface(path.c_str(), D3DXIFF_BMP, surface, nullptr, &part), D3D_OK);
    IDirect3DTexture9* loaded = nullptr;
    ASSERT_EQ(x.fromFile(m_device, path.c_str(), &loaded), D3D_OK);
    std::vector<uint32_t> expected;
    for (int y = 1; y < 3; ++y)
        for (int xx = 2; xx < 5; ++xx)
            expected.push_back(texels[static_cast<size_t>(y) * 9 + xx] | 0xFF000000u);
    EXPECT_EQ(Texels(loaded), expected);
    loaded->Release();
    surface->Release();
    opaque->Release();
    texture->Release();

    EXPECT_EQ(x.saveTexture(path.c_str(), D3DXIFF_DDS, nullptr, nullptr), D3DERR_INVALIDCALL);
    std::u16string missing = Platform::FromUtf8((dir / "missing.png").string());
    D3DXIMAGE_INFO info{};
    EXPECT_TRUE(FAILED(x.infoFromFile(missing.c_str(), &info)));
}

TEST_F(D3DXTest, MatrixDecomposeRecoversScaleRotationAndTranslation)
{
    struct Case
    {
        float scale[3];
        float axis[3];
        float angle;
        float translation[3];
    };
    const Case cases[] = {
        {{2, 3, 4}, {0, 0, 1}, 0.7f, {5, -6, 7}},
        {{2, 3, 4}, {1, 2, 3}, 2.5f, {0.5f, 0.25f, -1}},
        {{0.5f, 0.5f, 0.5f}, {1, 0, 0}, 3.1f, {0, 0, 0}},
        {{1, 1, 1}, {0, 1, 0}, 0.0f, {1, 2, 3}},
    };
    for (const Case& c : cases)
    {
        float len = std::sqrt(c.axis[0] * c.axis[0] + c.axis[1] * c.axis[1] + c.axis[2] * c.axis[2]);
        float s = std::sin(c.angle / 2), w = std::cos(c.angle / 2);
        float qx = c.axis[0] / len * s, qy = c.axis[1] / len * s, qz = c.axis[2] / len * s;
        // The rotation matrix of the quaternion for row vectors, rows scaled, translation last.
        float r[3][3] = {{1 - 2 * (qy * qy + qz * qz), 2 * (qx * qy + qz * w), 2 * (qx * qz - qy * w)},
                         {2 * (qx * qy - qz * w), 1 - 2 * (qx * qx + qz * qz), 2 * (qy * qz + qx * w)},
                         {2 * (qx * qz + qy * w), 2 * (qy * qz - qx * w), 1 - 2 * (qx * qx + qy * qy)}};
        D3DXMATRIX m{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                m.m[i][j] = r[i][j] * c.scale[i];
        m._41 = c.translation[0];
        m._42 = c.translation[1];
        m._43 = c.translation[2];
        m._44 = 1;
        D3DXVECTOR3 scale{}, translation{};
        D3DXQUATERNION rotation{};
        ASSERT_EQ(x.decompose(&scale, &rotation, &translation, &m), D3D_OK);
        EXPECT_NEAR(scale.x, c.scale[0], 1e-5);
        EXPECT_NEAR(scale.y, c.scale[1], 1e-5);
        EXPECT_NEAR(scale.z, c.scale[2], 1e-5);
        float sign = rotation.w * w < 0 ? -1.0f : 1.0f; // q and -q are one rotation
        EXPECT_NEAR(sign * rotation.x, qx, 1e-5);
        EXPECT_NEAR(sign * rotation.y, qy, 1e-5);
        EXPECT_NEAR(sign * rotation.z, qz, 1e-5);
        EXPECT_NEAR(sign * rotation.w, w, 1e-5);
        EXPECT_NEAR(translation.x, c.translation[0], 1e-5);
        EXPECT_NEAR(translation.y, c.translation[1], 1e-5);
        EXPECT_NEAR(translation.z, c.translation[2], 1e-5);
    }
    D3DXMATRIX flat{};
    flat._11 = 1;
    flat._22 = 1;
    D3DXVECTOR3 scale{}, translation{};
    D3DXQUATERNION rotation{};
    EXPECT_EQ(x.decompose(&scale, &rotation, &translation, &flat), D3DERR_INVALIDCALL) << "a zero scale";
}

TEST_F(D3DXTest, EffectAndShaderEntryPointsReportThatNothingCompiles)
{
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
    ID3DXBuffer* errors = reinterpret_cast<ID3DXBuffer*>(1);
    EXPECT_EQ(x.createEffect(m_device, u"scene.fx", nullptr, nullptr, 0, nullptr, &effect, &errors),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(errors, nullptr);
    ID3DXBuffer* shader = reinterpret_cast<ID3DXBuffer*>(1);
    EXPECT_EQ(x.compileShader(u"skin.vsh", nullptr, nullptr, "main", "vs_2_0", 0, &shader, nullptr, nullptr),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(shader, nullptr);
    EXPECT_EQ(x.compileShader(u"skin.vsh", nullptr, nullptr, nullptr, "vs_2_0", 0, &shader, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(x.profile(m_device), nullptr);
}
} // namespace
