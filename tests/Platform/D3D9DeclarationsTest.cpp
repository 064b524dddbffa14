// The values and layouts the engine's drawing code relies on; a wrong one fails the build.
#include "Platform/D3D9/D3D9.h"
#include "Platform/D3DX/D3DX9.h"

#include <gtest/gtest.h>

static_assert(D3DRS_ZENABLE == 7 && D3DRS_FILLMODE == 8 && D3DRS_ALPHABLENDENABLE == 27 &&
              D3DRS_LIGHTING == 137);
static_assert(D3DRS_AMBIENT == 139 && D3DRS_COLORVERTEX == 141 && D3DRS_DIFFUSEMATERIALSOURCE == 145);
static_assert(D3DRS_VERTEXBLEND == 151 && D3DRS_CLIPPLANEENABLE == 152 && D3DRS_POINTSIZE == 154);
static_assert(D3DRS_POINTSCALEENABLE == 157 && D3DRS_INDEXEDVERTEXBLENDENABLE == 167 &&
              D3DRS_BLENDOPALPHA == 209);
static_assert(D3DTSS_COLOROP == 1 && D3DTSS_TEXCOORDINDEX == 11 && D3DTSS_TEXTURETRANSFORMFLAGS == 24 &&
              D3DTSS_CONSTANT == 32);
static_assert(D3DSAMP_ADDRESSU == 1 && D3DSAMP_MIPFILTER == 7 && D3DSAMP_DMAPOFFSET == 13);
static_assert(D3DTS_VIEW == 2 && D3DTS_PROJECTION == 3 && D3DTS_TEXTURE0 == 16 && D3DTS_WORLD == 256 &&
              D3DTS_WORLDMATRIX(255) == 511);
static_assert((D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1) == 0x144 &&
              (D3DFVF_XYZ | D3DFVF_DIFFUSE) == 0x42);
static_assert(D3DFVF_XYZB4 == 0xC && D3DFVF_LASTBETA_UBYTE4 == 0x1000 && D3DFVF_PSIZE == 0x20 &&
              D3DFVF_NORMAL == 0x10);
static_assert(D3DFMT_R8G8B8 == 20 && D3DFMT_A8R8G8B8 == 21 && D3DFMT_A1R5G5B5 == 25 &&
              D3DFMT_A16B16G16R16 == 36);
static_assert(D3DFMT_D16 == 80 && D3DFMT_INDEX32 == 102 && D3DFMT_DXT1 == 0x31545844 &&
              D3DFMT_DXT5 == 0x35545844);
static_assert(D3DPOOL_MANAGED == 1 && D3DPOOL_SYSTEMMEM == 2 && D3DPT_LINELIST == 2 &&
              D3DPT_TRIANGLELIST == 4);
static_assert(D3DBLEND_SRCALPHA == 5 && D3DBLEND_INVSRCALPHA == 6 && D3DCMP_GREATEREQUAL == 7 &&
              D3DCULL_CCW == 3);
static_assert(D3DFILL_POINT == 1 && D3DFILL_SOLID == 3 && D3DLIGHT_DIRECTIONAL == 3 && D3DMCS_COLOR1 == 1);
static_assert(D3DVBF_3WEIGHTS == 3 && D3DTTFF_COUNT2 == 2 && D3DTOP_DISABLE == 1 && D3DTOP_MODULATE == 4);
static_assert(D3DTA_DIFFUSE == 0 && D3DTA_CURRENT == 1 && D3DTA_TEXTURE == 2 && D3DTADDRESS_WRAP == 1);
static_assert(D3DCLEAR_TARGET == 1 && D3DCLEAR_ZBUFFER == 2 && D3DDEVTYPE_REF == 2 && D3D_SDK_VERSION == 32);
static_assert(static_cast<uint32_t>(D3DERR_DEVICELOST) == 0x88760868u &&
              static_cast<uint32_t>(D3DERR_DEVICENOTRESET) == 0x88760869u &&
              static_cast<uint32_t>(D3DERR_INVALIDCALL) == 0x8876086Cu &&
              static_cast<uint32_t>(D3DERR_DRIVERINTERNALERROR) == 0x88760827u &&
              static_cast<uint32_t>(D3DERR_OUTOFVIDEOMEMORY) == 0x8876017Cu);
static_assert(D3DX_DEFAULT == 0xFFFFFFFFu && static_cast<uint32_t>(D3DXERR_INVALIDDATA) == 0x88760B59u);
static_assert(sizeof(D3DLIGHT9) == 104 && sizeof(D3DMATERIAL9) == 68 && sizeof(D3DCAPS9) == 304);
static_assert(sizeof(D3DVIEWPORT9) == 24 && sizeof(D3DSURFACE_DESC) == 32 && sizeof(D3DXIMAGE_INFO) == 28);

TEST(D3D9DeclarationsTest, LockedRectanglesCarryPointerSizedBits)
{
    // Pitch first, then the texel pointer at its natural alignment.
    EXPECT_EQ(offsetof(D3DLOCKED_RECT, pBits), alignof(void*));
    EXPECT_EQ(sizeof(D3DPRESENT_PARAMETERS), 64u);
}
