// The exports of the D3DX library: image information, textures from image files and memory,
// saving textures and surfaces, matrix decomposition, and the effect and shader entry points
// (which fail: there is no shader compiler here).
#include "Platform/D3D9/PixelFormat.h"
#include "Platform/D3DX/D3DX9.h"
#include "Platform/D3DX/ImageCodecs.h"
#include "Platform/Win32/Windows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#define D3DX_EXPORT extern "C" __attribute__((visibility("default")))

namespace
{
using D3DXImage::Image;

constexpr size_t MaxFileBytes = size_t{1} << 30;

HRESULT ReadWholeFile(LPCWSTR name, std::vector<uint8_t>& bytes)
{
    if (!name)
        return D3DERR_INVALIDCALL;
    std::string path = Platform::ResolvePath(name);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return D3DERR_NOTFOUND;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    if (std::fseek(file, 0, SEEK_END) != 0)
        return D3DERR_INVALIDCALL;
    long size = std::ftell(file);
    if (size < 0 || static_cast<size_t>(size) > MaxFileBytes || std::fseek(file, 0, SEEK_SET) != 0)
        return D3DXERR_INVALIDDATA;
    bytes.resize(static_cast<size_t>(size));
    if (size > 0 && std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
        return D3DXERR_INVALIDDATA;
    return D3D_OK;
}

HRESULT WriteWholeFile(LPCWSTR name, const std::vector<uint8_t>& bytes)
{
    if (!name)
        return D3DERR_INVALIDCALL;
    std::string path = Platform::ResolvePath(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return D3DERR_INVALIDCALL;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = std::fclose(file) == 0 && written;
    return written ? D3D_OK : D3DERR_INVALIDCALL;
}

bool IsDefault(UINT v)
{
    return v == 0 || v == D3DX_DEFAULT || v == D3DX_DEFAULT_NONPOW2 || v == D3DX_FROM_FILE;
}

// The format a texture of this device gets for a wished one.
D3DFORMAT Supported(D3DFORMAT format)
{
    if (Soft9::IsTextureFormat(format))
        return format;
    switch (format)
    {
    case D3DFMT_R8G8B8:
        return D3DFMT_X8R8G8B8;
    default:
        return D3DFMT_A8R8G8B8;
    }
}

// Halves an image (rounding sizes down, never below 1) by averaging each 2 x 2 block.
std::vector<uint32_t> HalfSize(const std::vector<uint32_t>& src, UINT w, UINT h, UINT& nw, UINT& nh)
{
    nw = std::max(1u, w / 2);
    nh = std::max(1u, h / 2);
    std::vector<uint32_t> out(static_cast<size_t>(nw) * nh);
    for (UINT y = 0; y < nh; ++y)
        for (UINT x = 0; x < nw; ++x)
        {
            UINT x0 = std::min(2 * x, w - 1), x1 = std::min(2 * x + 1, w - 1);
            UINT y0 = std::min(2 * y, h - 1), y1 = std::min(2 * y + 1, h - 1);
            uint32_t t[4] = {src[static_cast<size_t>(y0) * w + x0], src[static_cast<size_t>(y0) * w + x1],
                             src[static_cast<size_t>(y1) * w + x0], src[static_cast<size_t>(y1) * w + x1]};
            uint32_t v = 0;
            for (int s = 0; s < 32; s += 8)
            {
                uint32_t sum = 0;
                for (uint32_t c : t)
                    sum += (c >> s) & 0xFF;
                v |= ((sum + 2) / 4) << s;
            }
            out[static_cast<size_t>(y) * nw + x] = v;
        }
    return out;
}

// Scales by picking the nearest texel: the sizes asked for are rarely other than the file's.
std::vector<uint32_t> Resize(const std::vector<uint32_t>& src, UINT w, UINT h, UINT nw, UINT nh)
{
    std::vector<uint32_t> out(static_cast<size_t>(nw) * nh);
    for (UINT y = 0; y < nh; ++y)
        for (UINT x = 0; x < nw; ++x)
        {
            UINT sx = static_cast<UINT>((static_cast<uint64_t>(x) * w + w / 2) / nw);
            UINT sy = static_cast<UINT>((static_cast<uint64_t>(y) * h + h / 2) / nh);
            out[static_cast<size_t>(y) * nw + x] =
                src[static_cast<size_t>(std::min(sy, h - 1)) * w + std::min(sx, w - 1)];
        }
    return out;
}

HRESULT FillLevelArgb(IDirect3DTexture9* texture, UINT level, const std::vector<uint32_t>& argb, UINT w,
                      UINT h)
{
    D3DSURFACE_DESC desc;
    HRESULT hr = texture->GetLevelDesc(level, &desc);
    if (FAILED(hr))
        return hr;
    if (desc.Width != w || desc.Height != h)
        return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked;
    hr = texture->LockRect(level, &locked, nullptr, 0);
    if (FAILED(hr))
        return hr;
    bool ok = Soft9::ArgbToLevel(argb.data(), w, h, desc.Format, static_cast<uint8_t*>(locked.pBits),
                                 static_cast<size_t>(locked.Pitch));
    texture->UnlockRect(level);
    return ok ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT FillLevelRaw(IDirect3DTexture9* texture, UINT level, const std::vector<uint8_t>& bytes)
{
    D3DSURFACE_DESC desc;
    HRESULT hr = texture->GetLevelDesc(level, &desc);
    if (FAILED(hr))
        return hr;
    UINT rowBytes = Soft9::RowPitch(desc.Format, desc.Width);
    UINT rows = Soft9::RowCount(desc.Format, desc.Height);
    if (static_cast<size_t>(rowBytes) * rows != bytes.size())
        return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked;
    hr = texture->LockRect(level, &locked, nullptr, 0);
    if (FAILED(hr))
        return hr;
    for (UINT r = 0; r < rows; ++r)
        std::copy_n(bytes.data() + static_cast<size_t>(r) * rowBytes, rowBytes,
                    static_cast<uint8_t*>(locked.pBits) +
                        static_cast<size_t>(r) * static_cast<size_t>(locked.Pitch));
    texture->UnlockRect(level);
    return D3D_OK;
}

// The texture for a decoded image, with the sizes, levels and format asked for.
HRESULT CreateFromImage(IDirect3DDevice9* device, Image& image, UINT width, UINT height, UINT mipLevels,
                        DWORD usage, D3DFORMAT format, D3DPOOL pool, D3DCOLOR colorKey,
                        IDirect3DTexture9** texture)
{
    const D3DXIMAGE_INFO& info = image.info;
    UINT w = IsDefault(width) ? info.Width : width;
    UINT h = IsDefault(height) ? info.Height : height;
    if (w > D3DXImage::MaxSide || h > D3DXImage::MaxSide)
        return D3DERR_INVALIDCALL;
    D3DFORMAT wanted = format == D3DFMT_UNKNOWN || format == D3DFMT_FROM_FILE ? info.Format : format;
    D3DFORMAT target = Supported(wanted);
    UINT full = Soft9::FullMipCount(w, h);
    UINT levels = mipLevels == D3DX_FROM_FILE                   ? info.MipLevels
                  : mipLevels == 0 || mipLevels == D3DX_DEFAULT ? full
                                                                : std::min(mipLevels, full);
    levels = std::max(1u, std::min(levels, full));
    bool raw = !image.levels.empty() && target == info.Format && w == info.Width && h == info.Height &&
               colorKey == 0;
    if (Soft9::IsCompressed(target) && !raw)
        target = D3DFMT_A8R8G8B8; // there is no block encoder: other sizes or sources stay uncompressed
    if (raw && Soft9::IsCompressed(target))
        levels = std::min<UINT>(levels, static_cast<UINT>(image.levels.size()));

    IDirect3DTexture9* created = nullptr;
    HRESULT hr = device->CreateTexture(w, h, levels, usage, target, pool, &created, nullptr);
    if (FAILED(hr))
        return hr;
    levels = created->GetLevelCount();

    std::vector<uint32_t> argb;
    UINT lw = w, lh = h;
    UINT level = 0;
    if (raw)
    {
        UINT copied = std::min<UINT>(levels, static_cast<UINT>(image.levels.size()));
        for (; level < copied && SUCCEEDED(hr); ++level)
            hr = FillLevelRaw(created, level, image.levels[level]);
        if (SUCCEEDED(hr) && level < levels)
        {
            // Levels the file lacks are made from its last one.
            lw = std::max(1u, w >> (level - 1));
            lh = std::max(1u, h >> (level - 1));
            if (!Soft9::LevelToArgb(info.Format, image.levels[level - 1].data(),
                                    Soft9::RowPitch(info.Format, lw), lw, lh, argb))
                hr = D3DXERR_INVALIDDATA;
            else
                argb = HalfSize(argb, lw, lh, lw, lh);
        }
    }
    else
    {
        if (image.argb.empty())
        {
            if (image.levels.empty() ||
                !Soft9::LevelToArgb(info.Format, image.levels[0].data(),
                                    Soft9::RowPitch(info.Format, info.Width), info.Width, info.Height, argb))
                hr = D3DXERR_INVALIDDATA;
        }
        else
            argb = image.argb;
        if (SUCCEEDED(hr) && (w != info.Width || h != info.Height))
            argb = Resize(argb, info.Width, info.Height, w, h);
        if (colorKey)
            for (uint32_t& t : argb)
                if (t == colorKey)
                    t = 0;
    }
    for (; level < levels && SUCCEEDED(hr); ++level)
    {
        hr = FillLevelArgb(created, level, argb, lw, lh);
        if (level + 1 < levels)
            argb = HalfSize(argb, lw, lh, lw, lh);
    }
    if (FAILED(hr))
    {
        created->Release();
        return hr;
    }
    *texture = created;
    return D3D_OK;
}

HRESULT CreateFromMemory(IDirect3DDevice9* device, const void* data, size_t size, UINT width, UINT height,
                         UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, D3DCOLOR colorKey,
                         D3DXIMAGE_INFO* srcInfo, IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device || !data || size == 0)
        return D3DERR_INVALIDCALL;
    Image image;
    HRESULT hr = D3DXImage::Decode(static_cast<const uint8_t*>(data), size, false, image);
    if (FAILED(hr))
        return hr;
    if (srcInfo)
        *srcInfo = image.info;
    return CreateFromImage(device, image, width, height, mipLevels, usage, format, pool, colorKey, texture);
}

HRESULT SaveSurface(LPCWSTR destFile, D3DXIMAGE_FILEFORMAT destFormat, IDirect3DSurface9* surface,
                    const RECT* rect)
{
    if (!destFile || !surface)
        return D3DERR_INVALIDCALL;
    if (destFormat != D3DXIFF_BMP && destFormat != D3DXIFF_PNG && destFormat != D3DXIFF_DIB)
        return D3DERR_INVALIDCALL; // only BMP and PNG are written
    D3DSURFACE_DESC desc;
    HRESULT hr = surface->GetDesc(&desc);
    if (FAILED(hr))
        return hr;
    RECT whole{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    RECT r = rect ? *rect : whole;
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > whole.right ||
        r.bottom > whole.bottom)
        return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked;
    hr = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr))
        return hr;
    std::vector<uint32_t> all;
    bool ok = Soft9::LevelToArgb(desc.Format, static_cast<const uint8_t*>(locked.pBits),
                                 static_cast<size_t>(locked.Pitch), desc.Width, desc.Height, all);
    surface->UnlockRect();
    if (!ok)
        return D3DERR_INVALIDCALL;
    UINT w = static_cast<UINT>(r.right - r.left), h = static_cast<UINT>(r.bottom - r.top);
    std::vector<uint32_t> argb(static_cast<size_t>(w) * h);
    for (UINT y = 0; y < h; ++y)
        std::copy_n(all.data() + static_cast<size_t>(r.top + static_cast<LONG>(y)) * desc.Width + r.left, w,
                    argb.data() + static_cast<size_t>(y) * w);
    // Formats with alpha keep it; the others are written opaque.
    bool alpha = false;
    for (D3DFORMAT f : {D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_A8, D3DFMT_A8R3G3B2,
                        D3DFMT_A2B10G10R10, D3DFMT_A8B8G8R8, D3DFMT_A2R10G10B10, D3DFMT_A16B16G16R16,
                        D3DFMT_A8L8, D3DFMT_A4L4, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5})
        alpha = alpha || desc.Format == f;
    std::vector<uint8_t> file;
    if (destFormat == D3DXIFF_PNG)
    {
        if (!D3DXImage::EncodePng(argb, w, h, alpha, file))
            return E_FAIL;
    }
    else
        file = D3DXImage::EncodeBmp(argb, w, h, alpha);
    return WriteWholeFile(destFile, file);
}

// The rotation of an orthonormal matrix (row vectors) as a unit quaternion.
D3DXQUATERNION QuaternionFromRotation(const float m[3][3])
{
    D3DXQUATERNION q;
    float trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0.0f)
    {
        float s = std::sqrt(trace + 1.0f) * 2.0f;
        q.w = 0.25f * s;
        q.x = (m[1][2] - m[2][1]) / s;
        q.y = (m[2][0] - m[0][2]) / s;
        q.z = (m[0][1] - m[1][0]) / s;
    }
    else if (m[0][0] > m[1][1] && m[0][0] > m[2][2])
    {
        float s = std::sqrt(1.0f + m[0][0] - m[1][1] - m[2][2]) * 2.0f;
        q.w = (m[1][2] - m[2][1]) / s;
        q.x = 0.25f * s;
        q.y = (m[1][0] + m[0][1]) / s;
        q.z = (m[2][0] + m[0][2]) / s;
    }
    else if (m[1][1] > m[2][2])
    {
        float s = std::sqrt(1.0f + m[1][1] - m[0][0] - m[2][2]) * 2.0f;
        q.w = (m[2][0] - m[0][2]) / s;
        q.x = (m[1][0] + m[0][1]) / s;
        q.y = 0.25f * s;
        q.z = (m[2][1] + m[1][2]) / s;
    }
    else
    {
        float s = std::sqrt(1.0f + m[2][2] - m[0][0] - m[1][1]) * 2.0f;
        q.w = (m[0][1] - m[1][0]) / s;
        q.x = (m[2][0] + m[0][2]) / s;
        q.y = (m[2][1] + m[1][2]) / s;
        q.z = 0.25f * s;
    }
    return q;
}
} // namespace

D3DX_EXPORT HRESULT D3DXCreateEffectFromFileW(IDirect3DDevice9* device, LPCWSTR srcFile, const D3DXMACRO*,
                                              ID3DXInclude*, DWORD, ID3DXEffectPool*, ID3DXEffect** effect,
                                              ID3DXBuffer** compilationErrors)
{
    if (compilationErrors)
        *compilationErrors = nullptr;
    if (!effect || !device || !srcFile)
        return D3DERR_INVALIDCALL;
    *effect = nullptr;
    return D3DXERR_INVALIDDATA; // no effect compiler
}

D3DX_EXPORT HRESULT D3DXCompileShaderFromFileW(LPCWSTR srcFile, const D3DXMACRO*, ID3DXInclude*,
                                               LPCSTR functionName, LPCSTR profile, DWORD,
                                               ID3DXBuffer** shader, ID3DXBuffer** errorMsgs,
                                               ID3DXConstantTable** constantTable)
{
    if (shader)
        *shader = nullptr;
    if (errorMsgs)
        *errorMsgs = nullptr;
    if (constantTable)
        *constantTable = nullptr;
    if (!srcFile || !functionName || !profile || !shader)
        return D3DERR_INVALIDCALL;
    return D3DXERR_INVALIDDATA; // no shader compiler
}

// The device runs no vertex shaders: no profile.
D3DX_EXPORT LPCSTR D3DXGetVertexShaderProfile(IDirect3DDevice9*)
{
    return nullptr;
}

D3DX_EXPORT HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels,
                                      DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device)
        return D3DERR_INVALIDCALL;
    // Sizes left to the library: 256, or the other side when only one is given.
    UINT w = IsDefault(width) ? (IsDefault(height) ? 256 : height) : width;
    UINT h = IsDefault(height) ? w : height;
    w = std::min(w, D3DXImage::MaxSide);
    h = std::min(h, D3DXImage::MaxSide);
    UINT full = Soft9::FullMipCount(w, h);
    UINT levels = mipLevels == 0 || mipLevels == D3DX_DEFAULT ? full : std::min(mipLevels, full);
    D3DFORMAT f = format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : Supported(format);
    return device->CreateTexture(w, h, levels, usage, f, pool, texture, nullptr);
}

D3DX_EXPORT HRESULT D3DXGetImageInfoFromFileInMemory(LPCVOID srcData, UINT srcDataSize,
                                                     D3DXIMAGE_INFO* srcInfo)
{
    if (!srcData || srcDataSize == 0)
        return D3DERR_INVALIDCALL;
    Image image;
    HRESULT hr = D3DXImage::Decode(static_cast<const uint8_t*>(srcData), srcDataSize, true, image);
    if (SUCCEEDED(hr) && srcInfo)
        *srcInfo = image.info;
    return hr;
}

D3DX_EXPORT HRESULT D3DXGetImageInfoFromFileW(LPCWSTR srcFile, D3DXIMAGE_INFO* srcInfo)
{
    std::vector<uint8_t> bytes;
    HRESULT hr = ReadWholeFile(srcFile, bytes);
    if (FAILED(hr))
        return hr;
    if (bytes.empty())
        return D3DXERR_INVALIDDATA;
    Image image;
    hr = D3DXImage::Decode(bytes.data(), bytes.size(), true, image);
    if (SUCCEEDED(hr) && srcInfo)
        *srcInfo = image.info;
    return hr;
}

D3DX_EXPORT HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, LPCVOID srcData,
                                                        UINT srcDataSize, UINT width, UINT height,
                                                        UINT mipLevels, DWORD usage, D3DFORMAT format,
                                                        D3DPOOL pool, DWORD, DWORD, D3DCOLOR colorKey,
                                                        D3DXIMAGE_INFO* srcInfo, PALETTEENTRY*,
                                                        IDirect3DTexture9** texture)
{
    return CreateFromMemory(device, srcData, srcDataSize, width, height, mipLevels, usage, format, pool,
                            colorKey, srcInfo, texture);
}

D3DX_EXPORT HRESULT D3DXCreateTextureFromFileExW(IDirect3DDevice9* device, LPCWSTR srcFile, UINT width,
                                                 UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                                 D3DPOOL pool, DWORD, DWORD, D3DCOLOR colorKey,
                                                 D3DXIMAGE_INFO* srcInfo, PALETTEENTRY*,
                                                 IDirect3DTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device)
        return D3DERR_INVALIDCALL;
    std::vector<uint8_t> bytes;
    HRESULT hr = ReadWholeFile(srcFile, bytes);
    if (FAILED(hr))
        return hr;
    if (bytes.empty())
        return D3DXERR_INVALIDDATA;
    return CreateFromMemory(device, bytes.data(), bytes.size(), width, height, mipLevels, usage, format, pool,
                            colorKey, srcInfo, texture);
}

D3DX_EXPORT HRESULT D3DXCreateTextureFromFileW(IDirect3DDevice9* device, LPCWSTR srcFile,
                                               IDirect3DTexture9** texture)
{
    return D3DXCreateTextureFromFileExW(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        nullptr, nullptr, texture);
}

D3DX_EXPORT HRESULT D3DXSaveSurfaceToFileW(LPCWSTR destFile, D3DXIMAGE_FILEFORMAT destFormat,
                                           IDirect3DSurface9* srcSurface, const PALETTEENTRY*,
                                           const RECT* srcRect)
{
    return SaveSurface(destFile, destFormat, srcSurface, srcRect);
}

D3DX_EXPORT HRESULT D3DXSaveTextureToFileW(LPCWSTR destFile, D3DXIMAGE_FILEFORMAT destFormat,
                                           IDirect3DBaseTexture9* srcTexture, const PALETTEENTRY*)
{
    if (!srcTexture || srcTexture->GetType() != D3DRTYPE_TEXTURE)
        return D3DERR_INVALIDCALL;
    IDirect3DSurface9* top = nullptr;
    HRESULT hr = static_cast<IDirect3DTexture9*>(srcTexture)->GetSurfaceLevel(0, &top);
    if (FAILED(hr))
        return hr;
    hr = SaveSurface(destFile, destFormat, top, nullptr);
    top->Release();
    return hr;
}

D3DX_EXPORT HRESULT D3DXMatrixDecompose(D3DXVECTOR3* outScale, D3DXQUATERNION* outRotation,
                                        D3DXVECTOR3* outTranslation, const D3DXMATRIX* m)
{
    if (!outScale || !outRotation || !outTranslation || !m)
        return D3DERR_INVALIDCALL;
    outTranslation->x = m->_41;
    outTranslation->y = m->_42;
    outTranslation->z = m->_43;
    float rows[3][3];
    float scale[3];
    for (int i = 0; i < 3; ++i)
    {
        scale[i] = std::sqrt(m->m[i][0] * m->m[i][0] + m->m[i][1] * m->m[i][1] + m->m[i][2] * m->m[i][2]);
        if (scale[i] == 0.0f)
            return D3DERR_INVALIDCALL;
    }
    float det = m->_11 * (m->_22 * m->_33 - m->_23 * m->_32) - m->_12 * (m->_21 * m->_33 - m->_23 * m->_31) +
                m->_13 * (m->_21 * m->_32 - m->_22 * m->_31);
    // A mirroring matrix keeps a proper rotation: the mirror goes into the x scale.
    if (det < 0.0f)
        scale[0] = -scale[0];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            rows[i][j] = m->m[i][j] / scale[i];
    outScale->x = scale[0];
    outScale->y = scale[1];
    outScale->z = scale[2];
    *outRotation = QuaternionFromRotation(rows);
    return D3D_OK;
}
