// The D3DX layer: types, constants and the signatures of the entry points of the shared library
// `d3dx9_24` beside the program. The engine does not link against it: it loads the library at
// start and reaches the entry points through pointers (Gx::D3DXLoader).
#pragma once

#include "Platform/D3D9/D3D9.h"

// Sizes, levels and filters left to the library.
constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;
constexpr UINT D3DX_DEFAULT_NONPOW2 = 0xFFFFFFFEu;
constexpr UINT D3DX_FROM_FILE = 0xFFFFFFFDu;
constexpr D3DFORMAT D3DFMT_FROM_FILE = static_cast<D3DFORMAT>(0xFFFFFFFDu);

constexpr DWORD D3DX_FILTER_NONE = 1;
constexpr DWORD D3DX_FILTER_POINT = 2;
constexpr DWORD D3DX_FILTER_LINEAR = 3;
constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
constexpr DWORD D3DX_FILTER_BOX = 5;
constexpr DWORD D3DX_FILTER_DITHER = 0x00080000;

constexpr HRESULT D3DXERR_CANNOTMODIFYINDEXBUFFER = MakeD3DResult(2900);
constexpr HRESULT D3DXERR_INVALIDMESH = MakeD3DResult(2901);
constexpr HRESULT D3DXERR_INVALIDDATA = MakeD3DResult(2905);

enum D3DXIMAGE_FILEFORMAT : uint32_t
{
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_HDR = 7,
    D3DXIFF_PFM = 8,
};

// What an image file holds, as the info entry points report it.
struct D3DXIMAGE_INFO
{
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};
static_assert(sizeof(D3DXIMAGE_INFO) == 28);

struct D3DXVECTOR3 : D3DVECTOR
{
};

struct D3DXQUATERNION
{
    float x;
    float y;
    float z;
    float w;
};

struct D3DXMATRIX : D3DMATRIX
{
};

struct D3DXMACRO
{
    LPCSTR Name;
    LPCSTR Definition;
};

// Effect and shader objects: this layer has no shader compiler and never creates them.
struct ID3DXInclude;
struct ID3DXEffectPool;
struct ID3DXEffect;
struct ID3DXBuffer;
struct ID3DXConstantTable;

// ---- Entry points, as GetProcAddress returns them ------------------------------------------------

using D3DXCreateEffectFromFileWProc = HRESULT (*)(IDirect3DDevice9* device, LPCWSTR srcFile,
                                                  const D3DXMACRO* defines, ID3DXInclude* include,
                                                  DWORD flags, ID3DXEffectPool* pool, ID3DXEffect** effect,
                                                  ID3DXBuffer** compilationErrors);
using D3DXCompileShaderFromFileWProc = HRESULT (*)(LPCWSTR srcFile, const D3DXMACRO* defines,
                                                   ID3DXInclude* include, LPCSTR functionName, LPCSTR profile,
                                                   DWORD flags, ID3DXBuffer** shader, ID3DXBuffer** errorMsgs,
                                                   ID3DXConstantTable** constantTable);
using D3DXGetVertexShaderProfileProc = LPCSTR (*)(IDirect3DDevice9* device);
using D3DXCreateTextureProc = HRESULT (*)(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels,
                                          DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                          IDirect3DTexture9** texture);
using D3DXCreateTextureFromFileWProc = HRESULT (*)(IDirect3DDevice9* device, LPCWSTR srcFile,
                                                   IDirect3DTexture9** texture);
using D3DXGetImageInfoFromFileWProc = HRESULT (*)(LPCWSTR srcFile, D3DXIMAGE_INFO* srcInfo);
using D3DXGetImageInfoFromFileInMemoryProc = HRESULT (*)(LPCVOID srcData, UINT srcDataSize,
                                                         D3DXIMAGE_INFO* srcInfo);
using D3DXCreateTextureFromFileExWProc = HRESULT (*)(IDirect3DDevice9* device, LPCWSTR srcFile, UINT width,
                                                     UINT height, UINT mipLevels, DWORD usage,
                                                     D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                                     DWORD mipFilter, D3DCOLOR colorKey,
                                                     D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                                     IDirect3DTexture9** texture);
using D3DXCreateTextureFromFileInMemoryExProc = HRESULT (*)(
    IDirect3DDevice9* device, LPCVOID srcData, UINT srcDataSize, UINT width, UINT height, UINT mipLevels,
    DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
    D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette, IDirect3DTexture9** texture);
using D3DXSaveTextureToFileWProc = HRESULT (*)(LPCWSTR destFile, D3DXIMAGE_FILEFORMAT destFormat,
                                               IDirect3DBaseTexture9* srcTexture,
                                               const PALETTEENTRY* srcPalette);
using D3DXSaveSurfaceToFileWProc = HRESULT (*)(LPCWSTR destFile, D3DXIMAGE_FILEFORMAT destFormat,
                                               IDirect3DSurface9* srcSurface, const PALETTEENTRY* srcPalette,
                                               const RECT* srcRect);
using D3DXMatrixDecomposeProc = HRESULT (*)(D3DXVECTOR3* outScale, D3DXQUATERNION* outRotation,
                                            D3DXVECTOR3* outTranslation, const D3DXMATRIX* m);
