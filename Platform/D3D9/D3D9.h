// The Direct3D 9 layer: types, constants and interfaces of the device that the engine draws with.
// The device itself is the shared library `d3d9` beside the program: open it with
// LoadLibraryW(u"d3d9.dll") and enter it through its "Direct3DCreate9" export.
#pragma once

#include "Platform/D3D9/ComBase.h"
#include "Platform/D3D9/D3D9Types.h"
#include "Platform/Gdi/Gdi.h" // RECT
#include "Platform/Win32/Windows.h"

#include <cstddef>
#include <cstdint>

// ---- Results ---------------------------------------------------------------------------------

constexpr HRESULT MakeD3DResult(uint32_t code)
{
    return static_cast<HRESULT>(0x88760000u | code);
}

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DOK_NOAUTOGEN = 0x0876086F;
constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = MakeD3DResult(2072);
constexpr HRESULT D3DERR_UNSUPPORTEDCOLOROPERATION = MakeD3DResult(2073);
constexpr HRESULT D3DERR_UNSUPPORTEDCOLORARG = MakeD3DResult(2074);
constexpr HRESULT D3DERR_UNSUPPORTEDALPHAOPERATION = MakeD3DResult(2075);
constexpr HRESULT D3DERR_UNSUPPORTEDALPHAARG = MakeD3DResult(2076);
constexpr HRESULT D3DERR_TOOMANYOPERATIONS = MakeD3DResult(2077);
constexpr HRESULT D3DERR_CONFLICTINGTEXTUREFILTER = MakeD3DResult(2078);
constexpr HRESULT D3DERR_UNSUPPORTEDFACTORVALUE = MakeD3DResult(2079);
constexpr HRESULT D3DERR_CONFLICTINGRENDERSTATE = MakeD3DResult(2081);
constexpr HRESULT D3DERR_UNSUPPORTEDTEXTUREFILTER = MakeD3DResult(2082);
constexpr HRESULT D3DERR_CONFLICTINGTEXTUREPALETTE = MakeD3DResult(2086);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = MakeD3DResult(2087);
constexpr HRESULT D3DERR_NOTFOUND = MakeD3DResult(2150);
constexpr HRESULT D3DERR_MOREDATA = MakeD3DResult(2151);
constexpr HRESULT D3DERR_DEVICELOST = MakeD3DResult(2152);
constexpr HRESULT D3DERR_DEVICENOTRESET = MakeD3DResult(2153);
constexpr HRESULT D3DERR_NOTAVAILABLE = MakeD3DResult(2154);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = MakeD3DResult(380);
constexpr HRESULT D3DERR_INVALIDDEVICE = MakeD3DResult(2155);
constexpr HRESULT D3DERR_INVALIDCALL = MakeD3DResult(2156);
constexpr HRESULT D3DERR_DRIVERINVALIDCALL = MakeD3DResult(2157);
constexpr HRESULT D3DERR_WASSTILLDRAWING = MakeD3DResult(540);

// ---- Enumerations ----------------------------------------------------------------------------

constexpr UINT D3D_SDK_VERSION = 32;
constexpr UINT D3DADAPTER_DEFAULT = 0;

constexpr uint32_t MakeFourCC(char a, char b, char c, char d)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

enum D3DFORMAT : uint32_t
{
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_A4R4G4B4 = 26,
    D3DFMT_R3G3B2 = 27,
    D3DFMT_A8 = 28,
    D3DFMT_A8R3G3B2 = 29,
    D3DFMT_X4R4G4B4 = 30,
    D3DFMT_A2B10G10R10 = 31,
    D3DFMT_A8B8G8R8 = 32,
    D3DFMT_X8B8G8R8 = 33,
    D3DFMT_G16R16 = 34,
    D3DFMT_A2R10G10B10 = 35,
    D3DFMT_A16B16G16R16 = 36,
    D3DFMT_A8P8 = 40,
    D3DFMT_P8 = 41,
    D3DFMT_L8 = 50,
    D3DFMT_A8L8 = 51,
    D3DFMT_A4L4 = 52,
    D3DFMT_V8U8 = 60,
    D3DFMT_L6V5U5 = 61,
    D3DFMT_X8L8V8U8 = 62,
    D3DFMT_Q8W8V8U8 = 63,
    D3DFMT_V16U16 = 64,
    D3DFMT_A2W10V10U10 = 67,
    D3DFMT_UYVY = MakeFourCC('U', 'Y', 'V', 'Y'),
    D3DFMT_R8G8_B8G8 = MakeFourCC('R', 'G', 'B', 'G'),
    D3DFMT_YUY2 = MakeFourCC('Y', 'U', 'Y', '2'),
    D3DFMT_G8R8_G8B8 = MakeFourCC('G', 'R', 'G', 'B'),
    D3DFMT_DXT1 = MakeFourCC('D', 'X', 'T', '1'),
    D3DFMT_DXT2 = MakeFourCC('D', 'X', 'T', '2'),
    D3DFMT_DXT3 = MakeFourCC('D', 'X', 'T', '3'),
    D3DFMT_DXT4 = MakeFourCC('D', 'X', 'T', '4'),
    D3DFMT_DXT5 = MakeFourCC('D', 'X', 'T', '5'),
    D3DFMT_D16_LOCKABLE = 70,
    D3DFMT_D32 = 71,
    D3DFMT_D15S1 = 73,
    D3DFMT_D24S8 = 75,
    D3DFMT_D24X8 = 77,
    D3DFMT_D24X4S4 = 79,
    D3DFMT_D16 = 80,
    D3DFMT_L16 = 81,
    D3DFMT_D32F_LOCKABLE = 82,
    D3DFMT_D24FS8 = 83,
    D3DFMT_VERTEXDATA = 100,
    D3DFMT_INDEX16 = 101,
    D3DFMT_INDEX32 = 102,
    D3DFMT_Q16W16V16U16 = 110,
    D3DFMT_R16F = 111,
    D3DFMT_G16R16F = 112,
    D3DFMT_A16B16G16R16F = 113,
    D3DFMT_R32F = 114,
    D3DFMT_G32R32F = 115,
    D3DFMT_A32B32G32R32F = 116,
    D3DFMT_FORCE_DWORD = 0x7FFFFFFF,
};

enum D3DPOOL : uint32_t
{
    D3DPOOL_DEFAULT = 0,
    D3DPOOL_MANAGED = 1,
    D3DPOOL_SYSTEMMEM = 2,
    D3DPOOL_SCRATCH = 3,
};

enum D3DRESOURCETYPE : uint32_t
{
    D3DRTYPE_SURFACE = 1,
    D3DRTYPE_VOLUME = 2,
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VOLUMETEXTURE = 4,
    D3DRTYPE_CUBETEXTURE = 5,
    D3DRTYPE_VERTEXBUFFER = 6,
    D3DRTYPE_INDEXBUFFER = 7,
};

enum D3DDEVTYPE : uint32_t
{
    D3DDEVTYPE_HAL = 1,
    D3DDEVTYPE_REF = 2,
    D3DDEVTYPE_SW = 3,
    D3DDEVTYPE_NULLREF = 4,
};

enum D3DMULTISAMPLE_TYPE : uint32_t
{
    D3DMULTISAMPLE_NONE = 0,
    D3DMULTISAMPLE_NONMASKABLE = 1,
};

enum D3DSWAPEFFECT : uint32_t
{
    D3DSWAPEFFECT_DISCARD = 1,
    D3DSWAPEFFECT_FLIP = 2,
    D3DSWAPEFFECT_COPY = 3,
};

enum D3DBACKBUFFER_TYPE : uint32_t
{
    D3DBACKBUFFER_TYPE_MONO = 0,
    D3DBACKBUFFER_TYPE_LEFT = 1,
    D3DBACKBUFFER_TYPE_RIGHT = 2,
};

enum D3DPRIMITIVETYPE : uint32_t
{
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

enum D3DTRANSFORMSTATETYPE : uint32_t
{
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_TEXTURE0 = 16,
    D3DTS_TEXTURE1 = 17,
    D3DTS_TEXTURE2 = 18,
    D3DTS_TEXTURE3 = 19,
    D3DTS_TEXTURE4 = 20,
    D3DTS_TEXTURE5 = 21,
    D3DTS_TEXTURE6 = 22,
    D3DTS_TEXTURE7 = 23,
};
constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLDMATRIX(uint32_t index)
{
    return static_cast<D3DTRANSFORMSTATETYPE>(256 + index);
}
constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLD = D3DTS_WORLDMATRIX(0);
constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLD1 = D3DTS_WORLDMATRIX(1);
constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLD2 = D3DTS_WORLDMATRIX(2);
constexpr D3DTRANSFORMSTATETYPE D3DTS_WORLD3 = D3DTS_WORLDMATRIX(3);

enum D3DRENDERSTATETYPE : uint32_t
{
    D3DRS_ZENABLE = 7,
    D3DRS_FILLMODE = 8,
    D3DRS_SHADEMODE = 9,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15,
    D3DRS_LASTPIXEL = 16,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ZFUNC = 23,
    D3DRS_ALPHAREF = 24,
    D3DRS_ALPHAFUNC = 25,
    D3DRS_DITHERENABLE = 26,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_FOGENABLE = 28,
    D3DRS_SPECULARENABLE = 29,
    D3DRS_FOGCOLOR = 34,
    D3DRS_FOGTABLEMODE = 35,
    D3DRS_FOGSTART = 36,
    D3DRS_FOGEND = 37,
    D3DRS_FOGDENSITY = 38,
    D3DRS_RANGEFOGENABLE = 48,
    D3DRS_STENCILENABLE = 52,
    D3DRS_STENCILFAIL = 53,
    D3DRS_STENCILZFAIL = 54,
    D3DRS_STENCILPASS = 55,
    D3DRS_STENCILFUNC = 56,
    D3DRS_STENCILREF = 57,
    D3DRS_STENCILMASK = 58,
    D3DRS_STENCILWRITEMASK = 59,
    D3DRS_TEXTUREFACTOR = 60,
    D3DRS_WRAP0 = 128,
    D3DRS_WRAP1 = 129,
    D3DRS_WRAP2 = 130,
    D3DRS_WRAP3 = 131,
    D3DRS_WRAP4 = 132,
    D3DRS_WRAP5 = 133,
    D3DRS_WRAP6 = 134,
    D3DRS_WRAP7 = 135,
    D3DRS_CLIPPING = 136,
    D3DRS_LIGHTING = 137,
    D3DRS_AMBIENT = 139,
    D3DRS_FOGVERTEXMODE = 140,
    D3DRS_COLORVERTEX = 141,
    D3DRS_LOCALVIEWER = 142,
    D3DRS_NORMALIZENORMALS = 143,
    D3DRS_DIFFUSEMATERIALSOURCE = 145,
    D3DRS_SPECULARMATERIALSOURCE = 146,
    D3DRS_AMBIENTMATERIALSOURCE = 147,
    D3DRS_EMISSIVEMATERIALSOURCE = 148,
    D3DRS_VERTEXBLEND = 151,
    D3DRS_CLIPPLANEENABLE = 152,
    D3DRS_POINTSIZE = 154,
    D3DRS_POINTSIZE_MIN = 155,
    D3DRS_POINTSPRITEENABLE = 156,
    D3DRS_POINTSCALEENABLE = 157,
    D3DRS_POINTSCALE_A = 158,
    D3DRS_POINTSCALE_B = 159,
    D3DRS_POINTSCALE_C = 160,
    D3DRS_MULTISAMPLEANTIALIAS = 161,
    D3DRS_MULTISAMPLEMASK = 162,
    D3DRS_PATCHEDGESTYLE = 163,
    D3DRS_DEBUGMONITORTOKEN = 165,
    D3DRS_POINTSIZE_MAX = 166,
    D3DRS_INDEXEDVERTEXBLENDENABLE = 167,
    D3DRS_COLORWRITEENABLE = 168,
    D3DRS_TWEENFACTOR = 170,
    D3DRS_BLENDOP = 171,
    D3DRS_POSITIONDEGREE = 172,
    D3DRS_NORMALDEGREE = 173,
    D3DRS_SCISSORTESTENABLE = 174,
    D3DRS_SLOPESCALEDEPTHBIAS = 175,
    D3DRS_ANTIALIASEDLINEENABLE = 176,
    D3DRS_MINTESSELLATIONLEVEL = 178,
    D3DRS_MAXTESSELLATIONLEVEL = 179,
    D3DRS_ADAPTIVETESS_X = 180,
    D3DRS_ADAPTIVETESS_Y = 181,
    D3DRS_ADAPTIVETESS_Z = 182,
    D3DRS_ADAPTIVETESS_W = 183,
    D3DRS_ENABLEADAPTIVETESSELLATION = 184,
    D3DRS_TWOSIDEDSTENCILMODE = 185,
    D3DRS_CCW_STENCILFAIL = 186,
    D3DRS_CCW_STENCILZFAIL = 187,
    D3DRS_CCW_STENCILPASS = 188,
    D3DRS_CCW_STENCILFUNC = 189,
    D3DRS_COLORWRITEENABLE1 = 190,
    D3DRS_COLORWRITEENABLE2 = 191,
    D3DRS_COLORWRITEENABLE3 = 192,
    D3DRS_BLENDFACTOR = 193,
    D3DRS_SRGBWRITEENABLE = 194,
    D3DRS_DEPTHBIAS = 195,
    D3DRS_WRAP8 = 198,
    D3DRS_WRAP9 = 199,
    D3DRS_WRAP10 = 200,
    D3DRS_WRAP11 = 201,
    D3DRS_WRAP12 = 202,
    D3DRS_WRAP13 = 203,
    D3DRS_WRAP14 = 204,
    D3DRS_WRAP15 = 205,
    D3DRS_SEPARATEALPHABLENDENABLE = 206,
    D3DRS_SRCBLENDALPHA = 207,
    D3DRS_DESTBLENDALPHA = 208,
    D3DRS_BLENDOPALPHA = 209,
};

enum D3DTEXTURESTAGESTATETYPE : uint32_t
{
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_BUMPENVMAT00 = 7,
    D3DTSS_BUMPENVMAT01 = 8,
    D3DTSS_BUMPENVMAT10 = 9,
    D3DTSS_BUMPENVMAT11 = 10,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_BUMPENVLSCALE = 22,
    D3DTSS_BUMPENVLOFFSET = 23,
    D3DTSS_TEXTURETRANSFORMFLAGS = 24,
    D3DTSS_COLORARG0 = 26,
    D3DTSS_ALPHAARG0 = 27,
    D3DTSS_RESULTARG = 28,
    D3DTSS_CONSTANT = 32,
};

enum D3DSAMPLERSTATETYPE : uint32_t
{
    D3DSAMP_ADDRESSU = 1,
    D3DSAMP_ADDRESSV = 2,
    D3DSAMP_ADDRESSW = 3,
    D3DSAMP_BORDERCOLOR = 4,
    D3DSAMP_MAGFILTER = 5,
    D3DSAMP_MINFILTER = 6,
    D3DSAMP_MIPFILTER = 7,
    D3DSAMP_MIPMAPLODBIAS = 8,
    D3DSAMP_MAXMIPLEVEL = 9,
    D3DSAMP_MAXANISOTROPY = 10,
    D3DSAMP_SRGBTEXTURE = 11,
    D3DSAMP_ELEMENTINDEX = 12,
    D3DSAMP_DMAPOFFSET = 13,
};

// Texture-stage operations.
enum D3DTEXTUREOP : uint32_t
{
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5,
    D3DTOP_MODULATE4X = 6,
    D3DTOP_ADD = 7,
    D3DTOP_ADDSIGNED = 8,
    D3DTOP_ADDSIGNED2X = 9,
    D3DTOP_SUBTRACT = 10,
    D3DTOP_ADDSMOOTH = 11,
    D3DTOP_BLENDDIFFUSEALPHA = 12,
    D3DTOP_BLENDTEXTUREALPHA = 13,
    D3DTOP_BLENDFACTORALPHA = 14,
    D3DTOP_BLENDTEXTUREALPHAPM = 15,
    D3DTOP_BLENDCURRENTALPHA = 16,
    D3DTOP_PREMODULATE = 17,
    D3DTOP_MODULATEALPHA_ADDCOLOR = 18,
    D3DTOP_MODULATECOLOR_ADDALPHA = 19,
    D3DTOP_MODULATEINVALPHA_ADDCOLOR = 20,
    D3DTOP_MODULATEINVCOLOR_ADDALPHA = 21,
    D3DTOP_BUMPENVMAP = 22,
    D3DTOP_BUMPENVMAPLUMINANCE = 23,
    D3DTOP_DOTPRODUCT3 = 24,
    D3DTOP_MULTIPLYADD = 25,
    D3DTOP_LERP = 26,
};

// Texture-stage arguments.
constexpr DWORD D3DTA_SELECTMASK = 0x0000000F;
constexpr DWORD D3DTA_DIFFUSE = 0x00000000;
constexpr DWORD D3DTA_CURRENT = 0x00000001;
constexpr DWORD D3DTA_TEXTURE = 0x00000002;
constexpr DWORD D3DTA_TFACTOR = 0x00000003;
constexpr DWORD D3DTA_SPECULAR = 0x00000004;
constexpr DWORD D3DTA_TEMP = 0x00000005;
constexpr DWORD D3DTA_CONSTANT = 0x00000006;
constexpr DWORD D3DTA_COMPLEMENT = 0x00000010;
constexpr DWORD D3DTA_ALPHAREPLICATE = 0x00000020;

enum D3DTEXTUREADDRESS : uint32_t
{
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
    D3DTADDRESS_MIRRORONCE = 5,
};

enum D3DTEXTUREFILTERTYPE : uint32_t
{
    D3DTEXF_NONE = 0,
    D3DTEXF_POINT = 1,
    D3DTEXF_LINEAR = 2,
    D3DTEXF_ANISOTROPIC = 3,
    D3DTEXF_PYRAMIDALQUAD = 6,
    D3DTEXF_GAUSSIANQUAD = 7,
};

enum D3DTEXTURETRANSFORMFLAGS : uint32_t
{
    D3DTTFF_DISABLE = 0,
    D3DTTFF_COUNT1 = 1,
    D3DTTFF_COUNT2 = 2,
    D3DTTFF_COUNT3 = 3,
    D3DTTFF_COUNT4 = 4,
    D3DTTFF_PROJECTED = 256,
};

// Texture-coordinate index flags (combined with the index in D3DTSS_TEXCOORDINDEX).
constexpr DWORD D3DTSS_TCI_PASSTHRU = 0x00000000;
constexpr DWORD D3DTSS_TCI_CAMERASPACENORMAL = 0x00010000;
constexpr DWORD D3DTSS_TCI_CAMERASPACEPOSITION = 0x00020000;
constexpr DWORD D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR = 0x00030000;
constexpr DWORD D3DTSS_TCI_SPHEREMAP = 0x00040000;

enum D3DBLEND : uint32_t
{
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11,
    D3DBLEND_BOTHSRCALPHA = 12,
    D3DBLEND_BOTHINVSRCALPHA = 13,
    D3DBLEND_BLENDFACTOR = 14,
    D3DBLEND_INVBLENDFACTOR = 15,
};

enum D3DBLENDOP : uint32_t
{
    D3DBLENDOP_ADD = 1,
    D3DBLENDOP_SUBTRACT = 2,
    D3DBLENDOP_REVSUBTRACT = 3,
    D3DBLENDOP_MIN = 4,
    D3DBLENDOP_MAX = 5,
};

enum D3DCMPFUNC : uint32_t
{
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};

enum D3DSTENCILOP : uint32_t
{
    D3DSTENCILOP_KEEP = 1,
    D3DSTENCILOP_ZERO = 2,
    D3DSTENCILOP_REPLACE = 3,
    D3DSTENCILOP_INCRSAT = 4,
    D3DSTENCILOP_DECRSAT = 5,
    D3DSTENCILOP_INVERT = 6,
    D3DSTENCILOP_INCR = 7,
    D3DSTENCILOP_DECR = 8,
};

enum D3DCULL : uint32_t
{
    D3DCULL_NONE = 1,
    D3DCULL_CW = 2,
    D3DCULL_CCW = 3,
};

enum D3DFILLMODE : uint32_t
{
    D3DFILL_POINT = 1,
    D3DFILL_WIREFRAME = 2,
    D3DFILL_SOLID = 3,
};

enum D3DSHADEMODE : uint32_t
{
    D3DSHADE_FLAT = 1,
    D3DSHADE_GOURAUD = 2,
    D3DSHADE_PHONG = 3,
};

enum D3DZBUFFERTYPE : uint32_t
{
    D3DZB_FALSE = 0,
    D3DZB_TRUE = 1,
    D3DZB_USEW = 2,
};

enum D3DFOGMODE : uint32_t
{
    D3DFOG_NONE = 0,
    D3DFOG_EXP = 1,
    D3DFOG_EXP2 = 2,
    D3DFOG_LINEAR = 3,
};

enum D3DLIGHTTYPE : uint32_t
{
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
};

enum D3DMATERIALCOLORSOURCE : uint32_t
{
    D3DMCS_MATERIAL = 0,
    D3DMCS_COLOR1 = 1,
    D3DMCS_COLOR2 = 2,
};

enum D3DVERTEXBLENDFLAGS : uint32_t
{
    D3DVBF_DISABLE = 0,
    D3DVBF_1WEIGHTS = 1,
    D3DVBF_2WEIGHTS = 2,
    D3DVBF_3WEIGHTS = 3,
    D3DVBF_TWEENING = 255,
    D3DVBF_0WEIGHTS = 256,
};

// Flexible vertex format bits.
constexpr DWORD D3DFVF_RESERVED0 = 0x001;
constexpr DWORD D3DFVF_POSITION_MASK = 0x400E;
constexpr DWORD D3DFVF_XYZ = 0x002;
constexpr DWORD D3DFVF_XYZRHW = 0x004;
constexpr DWORD D3DFVF_XYZB1 = 0x006;
constexpr DWORD D3DFVF_XYZB2 = 0x008;
constexpr DWORD D3DFVF_XYZB3 = 0x00A;
constexpr DWORD D3DFVF_XYZB4 = 0x00C;
constexpr DWORD D3DFVF_XYZB5 = 0x00E;
constexpr DWORD D3DFVF_XYZW = 0x4002;
constexpr DWORD D3DFVF_NORMAL = 0x010;
constexpr DWORD D3DFVF_PSIZE = 0x020;
constexpr DWORD D3DFVF_DIFFUSE = 0x040;
constexpr DWORD D3DFVF_SPECULAR = 0x080;
constexpr DWORD D3DFVF_TEXCOUNT_MASK = 0xF00;
constexpr DWORD D3DFVF_TEXCOUNT_SHIFT = 8;
constexpr DWORD D3DFVF_TEX0 = 0x000;
constexpr DWORD D3DFVF_TEX1 = 0x100;
constexpr DWORD D3DFVF_TEX2 = 0x200;
constexpr DWORD D3DFVF_TEX3 = 0x300;
constexpr DWORD D3DFVF_TEX4 = 0x400;
constexpr DWORD D3DFVF_TEX5 = 0x500;
constexpr DWORD D3DFVF_TEX6 = 0x600;
constexpr DWORD D3DFVF_TEX7 = 0x700;
constexpr DWORD D3DFVF_TEX8 = 0x800;
constexpr DWORD D3DFVF_LASTBETA_UBYTE4 = 0x1000;
constexpr DWORD D3DFVF_LASTBETA_D3DCOLOR = 0x8000;
constexpr DWORD D3DFVF_RESERVED2 = 0x6000;
// Sizes of texture-coordinate set `index` other than the default two floats.
constexpr DWORD D3DFVF_TEXCOORDSIZE1(DWORD index)
{
    return 3u << (index * 2 + 16);
}
constexpr DWORD D3DFVF_TEXCOORDSIZE2(DWORD)
{
    return 0;
}
constexpr DWORD D3DFVF_TEXCOORDSIZE3(DWORD index)
{
    return 1u << (index * 2 + 16);
}
constexpr DWORD D3DFVF_TEXCOORDSIZE4(DWORD index)
{
    return 2u << (index * 2 + 16);
}

constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
constexpr DWORD D3DCLEAR_STENCIL = 0x4;

constexpr DWORD D3DUSAGE_RENDERTARGET = 0x00000001;
constexpr DWORD D3DUSAGE_DEPTHSTENCIL = 0x00000002;
constexpr DWORD D3DUSAGE_WRITEONLY = 0x00000008;
constexpr DWORD D3DUSAGE_SOFTWAREPROCESSING = 0x00000010;
constexpr DWORD D3DUSAGE_DONOTCLIP = 0x00000020;
constexpr DWORD D3DUSAGE_POINTS = 0x00000040;
constexpr DWORD D3DUSAGE_DYNAMIC = 0x00000200;
constexpr DWORD D3DUSAGE_AUTOGENMIPMAP = 0x00000400;

constexpr DWORD D3DLOCK_READONLY = 0x00000010;
constexpr DWORD D3DLOCK_NOSYSLOCK = 0x00000800;
constexpr DWORD D3DLOCK_NOOVERWRITE = 0x00001000;
constexpr DWORD D3DLOCK_DISCARD = 0x00002000;
constexpr DWORD D3DLOCK_DONOTWAIT = 0x00004000;
constexpr DWORD D3DLOCK_NO_DIRTY_UPDATE = 0x00008000;

constexpr DWORD D3DCREATE_FPU_PRESERVE = 0x00000002;
constexpr DWORD D3DCREATE_MULTITHREADED = 0x00000004;
constexpr DWORD D3DCREATE_PUREDEVICE = 0x00000010;
constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x00000020;
constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x00000040;
constexpr DWORD D3DCREATE_MIXED_VERTEXPROCESSING = 0x00000080;

constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0x00000000;
constexpr UINT D3DPRESENT_INTERVAL_ONE = 0x00000001;
constexpr UINT D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;

constexpr DWORD D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 0x00000001;
constexpr DWORD D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL = 0x00000002;

// Colour-write mask bits of D3DRS_COLORWRITEENABLE.
constexpr DWORD D3DCOLORWRITEENABLE_RED = 1u << 0;
constexpr DWORD D3DCOLORWRITEENABLE_GREEN = 1u << 1;
constexpr DWORD D3DCOLORWRITEENABLE_BLUE = 1u << 2;
constexpr DWORD D3DCOLORWRITEENABLE_ALPHA = 1u << 3;

// Capability bits the device reports and its users test.
constexpr DWORD D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x00010000;
constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x00000004;
constexpr DWORD D3DPTEXTURECAPS_MIPMAP = 0x00004000;
constexpr DWORD D3DPMISCCAPS_CULLNONE = 0x00000010;
constexpr DWORD D3DPMISCCAPS_CULLCW = 0x00000020;
constexpr DWORD D3DPMISCCAPS_CULLCCW = 0x00000040;
constexpr DWORD D3DVTXPCAPS_DIRECTIONALLIGHTS = 0x00000008;
constexpr DWORD D3DVTXPCAPS_LOCALVIEWER = 0x00000010;
constexpr DWORD D3DVTXPCAPS_TEXGEN = 0x00000001;
constexpr DWORD D3DFVFCAPS_PSIZE = 0x00100000;

constexpr D3DCOLOR D3DCOLOR_ARGB(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}
constexpr D3DCOLOR D3DCOLOR_XRGB(uint32_t r, uint32_t g, uint32_t b)
{
    return D3DCOLOR_ARGB(0xFF, r, g, b);
}

// ---- Structures ------------------------------------------------------------------------------

struct D3DVECTOR
{
    float x;
    float y;
    float z;
};

// Row-major 4 x 4 matrix; rows multiply row vectors (v' = v M).
struct D3DMATRIX
{
    union
    {
        struct
        {
            float _11, _12, _13, _14;
            float _21, _22, _23, _24;
            float _31, _32, _33, _34;
            float _41, _42, _43, _44;
        };
        float m[4][4];
    };
};

struct D3DRECT
{
    LONG x1;
    LONG y1;
    LONG x2;
    LONG y2;
};

struct PALETTEENTRY
{
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

struct RGNDATA;

struct D3DVIEWPORT9
{
    DWORD X;
    DWORD Y;
    DWORD Width;
    DWORD Height;
    float MinZ;
    float MaxZ;
};

struct D3DLIGHT9
{
    D3DLIGHTTYPE Type;
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Ambient;
    D3DVECTOR Position;
    D3DVECTOR Direction;
    float Range;
    float Falloff;
    float Attenuation0;
    float Attenuation1;
    float Attenuation2;
    float Theta;
    float Phi;
};

struct D3DMATERIAL9
{
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};

struct D3DDISPLAYMODE
{
    UINT Width;
    UINT Height;
    UINT RefreshRate;
    D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS
{
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT PresentationInterval;
};

struct D3DDEVICE_CREATION_PARAMETERS
{
    UINT AdapterOrdinal;
    D3DDEVTYPE DeviceType;
    HWND hFocusWindow;
    DWORD BehaviorFlags;
};

struct D3DSURFACE_DESC
{
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    UINT Width;
    UINT Height;
};

struct D3DLOCKED_RECT
{
    INT Pitch;
    void* pBits;
};

struct D3DVSHADERCAPS2_0
{
    DWORD Caps;
    INT DynamicFlowControlDepth;
    INT NumTemps;
    INT StaticFlowControlDepth;
};

struct D3DPSHADERCAPS2_0
{
    DWORD Caps;
    INT DynamicFlowControlDepth;
    INT NumTemps;
    INT StaticFlowControlDepth;
    INT NumInstructionSlots;
};

struct D3DCAPS9
{
    D3DDEVTYPE DeviceType;
    UINT AdapterOrdinal;
    DWORD Caps;
    DWORD Caps2;
    DWORD Caps3;
    DWORD PresentationIntervals;
    DWORD CursorCaps;
    DWORD DevCaps;
    DWORD PrimitiveMiscCaps;
    DWORD RasterCaps;
    DWORD ZCmpCaps;
    DWORD SrcBlendCaps;
    DWORD DestBlendCaps;
    DWORD AlphaCmpCaps;
    DWORD ShadeCaps;
    DWORD TextureCaps;
    DWORD TextureFilterCaps;
    DWORD CubeTextureFilterCaps;
    DWORD VolumeTextureFilterCaps;
    DWORD TextureAddressCaps;
    DWORD VolumeTextureAddressCaps;
    DWORD LineCaps;
    DWORD MaxTextureWidth;
    DWORD MaxTextureHeight;
    DWORD MaxVolumeExtent;
    DWORD MaxTextureRepeat;
    DWORD MaxTextureAspectRatio;
    DWORD MaxAnisotropy;
    float MaxVertexW;
    float GuardBandLeft;
    float GuardBandTop;
    float GuardBandRight;
    float GuardBandBottom;
    float ExtentsAdjust;
    DWORD StencilCaps;
    DWORD FVFCaps;
    DWORD TextureOpCaps;
    DWORD MaxTextureBlendStages;
    DWORD MaxSimultaneousTextures;
    DWORD VertexProcessingCaps;
    DWORD MaxActiveLights;
    DWORD MaxUserClipPlanes;
    DWORD MaxVertexBlendMatrices;
    DWORD MaxVertexBlendMatrixIndex;
    float MaxPointSize;
    DWORD MaxPrimitiveCount;
    DWORD MaxVertexIndex;
    DWORD MaxStreams;
    DWORD MaxStreamStride;
    DWORD VertexShaderVersion;
    DWORD MaxVertexShaderConst;
    DWORD PixelShaderVersion;
    float PixelShader1xMaxValue;
    DWORD DevCaps2;
    float MaxNpatchTessellationLevel;
    DWORD Reserved5;
    UINT MasterAdapterOrdinal;
    UINT AdapterOrdinalInGroup;
    UINT NumberOfAdaptersInGroup;
    DWORD DeclTypes;
    DWORD NumSimultaneousRTs;
    DWORD StretchRectFilterCaps;
    D3DVSHADERCAPS2_0 VS20Caps;
    D3DPSHADERCAPS2_0 PS20Caps;
    DWORD VertexTextureFilterCaps;
    DWORD MaxVShaderInstructionsExecuted;
    DWORD MaxPShaderInstructionsExecuted;
    DWORD MaxVertexShader30InstructionSlots;
    DWORD MaxPixelShader30InstructionSlots;
};

// The layouts the engine relies on (lights and materials are copied as records).
static_assert(sizeof(D3DVECTOR) == 12);
static_assert(sizeof(D3DMATRIX) == 64);
static_assert(sizeof(D3DLIGHT9) == 104);
static_assert(offsetof(D3DLIGHT9, Range) == 76);
static_assert(sizeof(D3DMATERIAL9) == 68);
static_assert(sizeof(D3DVIEWPORT9) == 24);
static_assert(sizeof(D3DSURFACE_DESC) == 32);
static_assert(sizeof(D3DDISPLAYMODE) == 16);
static_assert(sizeof(D3DCAPS9) == 304);
static_assert(offsetof(D3DPRESENT_PARAMETERS, hDeviceWindow) == 32); // pointer-sized handle on 64-bit
static_assert(sizeof(D3DFORMAT) == 4 && sizeof(D3DPOOL) == 4 && sizeof(D3DRENDERSTATETYPE) == 4);

// ---- Interfaces ------------------------------------------------------------------------------

struct IDirect3D9;
struct IDirect3DDevice9;
struct IDirect3DSurface9;
struct IDirect3DBaseTexture9;
struct IDirect3DTexture9;
struct IDirect3DVertexBuffer9;
struct IDirect3DIndexBuffer9;
struct IDirect3DVertexShader9;
struct IDirect3DPixelShader9;

inline constexpr IID IID_IDirect3D9 = {
    0x81BDCBCA, 0x64D4, 0x426D, {0xAE, 0x8D, 0xAD, 0x01, 0x47, 0xF4, 0x27, 0x5C}};
inline constexpr IID IID_IDirect3DDevice9 = {
    0xD0223B96, 0xBF7A, 0x43FD, {0x92, 0xBD, 0xA4, 0x3B, 0x0D, 0x82, 0xB9, 0xEB}};
inline constexpr IID IID_IDirect3DResource9 = {
    0x05EEC05D, 0x8F7D, 0x4362, {0xB9, 0x99, 0xD1, 0xBA, 0xF3, 0x57, 0xC7, 0x04}};
inline constexpr IID IID_IDirect3DBaseTexture9 = {
    0x580CA87E, 0x1D3C, 0x4D54, {0x99, 0x1D, 0xB7, 0xD3, 0xE3, 0xC2, 0x98, 0xCE}};
inline constexpr IID IID_IDirect3DTexture9 = {
    0x85C31227, 0x3DE5, 0x4F00, {0x9B, 0x3A, 0xF1, 0x1A, 0xC3, 0x8C, 0x18, 0xB5}};
inline constexpr IID IID_IDirect3DSurface9 = {
    0x0CFBAF3A, 0x9FF6, 0x429A, {0x99, 0xB3, 0xA2, 0x79, 0x6A, 0xF8, 0xB8, 0x9B}};

struct IDirect3D9 : IUnknown
{
    virtual UINT GetAdapterCount() = 0;
    virtual UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                     D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                    D3DFORMAT backBufferFormat, BOOL windowed) = 0;
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                      DWORD usage, D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
    virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                           D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) = 0;
    // `focusWindow` and the parameters' hDeviceWindow are window handles of the class-library
    // layer, or null for a device that presents nowhere.
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* presentationParameters,
                                 IDirect3DDevice9** returnedDevice) = 0;
};

struct IDirect3DResource9 : IUnknown
{
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual DWORD SetPriority(DWORD priority) = 0;
    virtual DWORD GetPriority() = 0;
    virtual void PreLoad() = 0;
    virtual D3DRESOURCETYPE GetType() = 0;
};

struct IDirect3DSurface9 : IDirect3DResource9
{
    // The texture a level belongs to, or the device for standalone surfaces.
    virtual HRESULT GetContainer(REFIID riid, void** container) = 0;
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

struct IDirect3DBaseTexture9 : IDirect3DResource9
{
    virtual DWORD SetLOD(DWORD lodNew) = 0;
    virtual DWORD GetLOD() = 0;
    virtual DWORD GetLevelCount() = 0;
    virtual HRESULT SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filterType) = 0;
    virtual D3DTEXTUREFILTERTYPE GetAutoGenFilterType() = 0;
    virtual void GenerateMipSubLevels() = 0;
};

struct IDirect3DTexture9 : IDirect3DBaseTexture9
{
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surfaceLevel) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
    virtual HRESULT AddDirtyRect(const RECT* dirtyRect) = 0;
};

// Vertex and index buffers and shaders are only ever unbound (set to null) by the engine; the
// device keeps whatever pointer it is given and creates none of them.
struct IDirect3DVertexBuffer9 : IDirect3DResource9
{
};
struct IDirect3DIndexBuffer9 : IDirect3DResource9
{
};
struct IDirect3DVertexShader9 : IUnknown
{
};
struct IDirect3DPixelShader9 : IUnknown
{
};

struct IDirect3DDevice9 : IUnknown
{
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual UINT GetAvailableTextureMem() = 0;
    virtual HRESULT GetDirect3D(IDirect3D9** d3d) = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
    virtual HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* presentationParameters) = 0;
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                            const RGNDATA* dirtyRegion) = 0;
    virtual HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                                  IDirect3DSurface9** surface) = 0;

    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                       D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                       BOOL lockable, IDirect3DSurface9** surface, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                              BOOL discard, IDirect3DSurface9** surface,
                                              HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DSurface9** surface, HANDLE* sharedHandle) = 0;
    virtual HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface) = 0;
    virtual HRESULT SetRenderTarget(DWORD renderTargetIndex, IDirect3DSurface9* renderTarget) = 0;
    virtual HRESULT GetRenderTarget(DWORD renderTargetIndex, IDirect3DSurface9** renderTarget) = 0;
    virtual HRESULT SetDepthStencilSurface(IDirect3DSurface9* newZStencil) = 0;
    virtual HRESULT GetDepthStencilSurface(IDirect3DSurface9** zStencilSurface) = 0;

    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;

    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL9* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
    virtual HRESULT GetLight(DWORD index, D3DLIGHT9* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
    virtual HRESULT SetClipPlane(DWORD index, const float* plane) = 0;
    virtual HRESULT GetClipPlane(DWORD index, float* plane) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT ValidateDevice(DWORD* numPasses) = 0;

    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                                    const void* vertexStreamZeroData, UINT vertexStreamZeroStride) = 0;
    virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex,
                                           UINT numVertices, UINT primitiveCount, const void* indexData,
                                           D3DFORMAT indexDataFormat, const void* vertexStreamZeroData,
                                           UINT vertexStreamZeroStride) = 0;

    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT GetFVF(DWORD* fvf) = 0;
    virtual HRESULT SetVertexShader(IDirect3DVertexShader9* shader) = 0;
    virtual HRESULT GetVertexShader(IDirect3DVertexShader9** shader) = 0;
    virtual HRESULT SetPixelShader(IDirect3DPixelShader9* shader) = 0;
    virtual HRESULT GetPixelShader(IDirect3DPixelShader9** shader) = 0;
    virtual HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData, UINT offsetInBytes,
                                    UINT stride) = 0;
    virtual HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9** streamData,
                                    UINT* offsetInBytes, UINT* stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer9* indexData) = 0;
    virtual HRESULT GetIndices(IDirect3DIndexBuffer9** indexData) = 0;
};

// The library's entry point, as GetProcAddress(module, "Direct3DCreate9") returns it.
using Direct3DCreate9Proc = IDirect3D9* (*)(UINT sdkVersion);
