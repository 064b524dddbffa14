#include "DirectX/D3dUtils.h"

#include "Components/XException.h"

namespace
{
struct ResultText
{
    uint32_t code;
    const char* text;
};

constexpr ResultText ResultTexts[] = {
    {0x80004005u, "An undetermined error occurred inside the Direct3D subsystem."},
    {0x8007000Eu, "Direct3D could not allocate sufficient memory to complete the call."},
    {0x80070057u, "An invalid parameter was passed to the returning function."},
    {0x8876017Cu, "Direct3D does not have enough display memory to perform the operation."},
    {0x88760818u, "The pixel format of the texture surface is not valid."},
    {0x88760819u, "The device does not support a specified texture-blending operation for color values."},
    {0x8876081Au, "The device does not support a specified texture-blending argument for color values."},
    {0x8876081Bu,
     "The device does not support a specified texture-blending operation for the alpha channel."},
    {0x8876081Cu, "The device does not support a specified texture-blending argument for the alpha channel."},
    {0x8876081Du,
     "The application is requesting more texture-filtering operations than the device supports."},
    {0x8876081Eu, "The current texture filters cannot be used together."},
    {0x8876081Fu, "The device does not support the specified texture factor value."},
    {0x88760821u, "The currently set render states cannot be used together."},
    {0x88760822u, "The device does not support the specified texture filter."},
    {0x88760826u,
     "The current textures cannot be used simultaneously. This generally occurs when a multitexture "
     "device requires that all palletized textures simultaneously enabled also share the same palette."},
    {0x88760827u, "Internal driver error."},
    {0x88760866u, "The requested item was not found."},
    {0x88760867u, "There is more data available than the specified buffer size can hold."},
    {0x88760868u,
     "The device is lost and cannot be restored at the current time, so rendering is not possible."},
    {0x88760869u, "The device cannot be reset."},
    {0x8876086Au, "This device does not support the queried technique."},
    {0x8876086Bu, "The requested device type is not valid."},
    {0x8876086Cu, "The method call is invalid. For example, a method's parameter may have an invalid value."},
};

constexpr D3DFormatDesc FormatTable[] = {
    {D3DFMT_A8, "D3DFMT_A8", 8, "8-bit alpha only."},
    {D3DFMT_R3G3B2, "D3DFMT_R3G3B2", 8,
     "8-bit RGB texture format using 3 bits for red, 3 bits for green, and 2 bits for blue."},
    {D3DFMT_A8P8, "D3DFMT_A8P8", 8, "8-bit color indexed with 8 bits of alpha."},
    {D3DFMT_P8, "D3DFMT_P8", 8, "8-bit color indexed."},
    {D3DFMT_L8, "D3DFMT_L8", 8, "8-bit luminance only."},
    {D3DFMT_A4L4, "D3DFMT_A4L4", 8, "8-bit using 4 bits each for alpha and luminance."},
    {D3DFMT_R5G6B5, "D3DFMT_R5G6B5", 16,
     "16-bit RGB pixel format with 5 bits for red, 6 bits for green, and 5 bits for blue."},
    {D3DFMT_X1R5G5B5, "D3DFMT_X1R5G5B5", 16, "16-bit pixel format where 5 bits are reserved for each color."},
    {D3DFMT_A1R5G5B5, "D3DFMT_A1R5G5B5", 16,
     "16-bit pixel format where 5 bits are reserved for each color and 1 bit is reserved for alpha."},
    {D3DFMT_A4R4G4B4, "D3DFMT_A4R4G4B4", 16, "16-bit ARGB pixel format with 4 bits for each channel."},
    {D3DFMT_A8R3G3B2, "D3DFMT_A8R3G3B2", 16,
     "16-bit ARGB texture format using 8 bits for alpha, 3 bits each for red and green, and 2 bits for "
     "blue."},
    {D3DFMT_X4R4G4B4, "D3DFMT_X4R4G4B4", 16, "16-bit RGB pixel format using 4 bits for each color."},
    {D3DFMT_A8L8, "D3DFMT_A8L8", 16, "16-bit using 8 bits each for alpha and luminance."},
    {D3DFMT_V8U8, "D3DFMT_V8U8", 16, "16-bit bump-map format using 8 bits each for u and v data."},
    {D3DFMT_L6V5U5, "D3DFMT_L6V5U5", 16,
     "16-bit bump-map format with luminance using 6 bits for luminance, and 5 bits each for v and u."},
    {D3DFMT_INDEX16, "D3DFMT_INDEX16", 16, "16-bit index buffer bit depth."},
    {D3DFMT_D16_LOCKABLE, "D3DFMT_D16_LOCKABLE", 16, "16-bit z-buffer bit depth."},
    {D3DFMT_D15S1, "D3DFMT_D15S1", 16,
     "16-bit z-buffer bit depth where 15 bits are reserved for the depth channel and 1 bit is reserved for "
     "the stencil channel."},
    {D3DFMT_D16, "D3DFMT_D16", 16, "16-bit z-buffer bit depth."},
    {D3DFMT_R8G8B8, "D3DFMT_R8G8B8", 24, "24-bit RGB pixel format with 8 bits per channel."},
    {D3DFMT_A8R8G8B8, "D3DFMT_A8R8G8B8", 32,
     "32-bit ARGB pixel format with alpha, using 8 bits per channel."},
    {D3DFMT_X8R8G8B8, "D3DFMT_X8R8G8B8", 32,
     "32-bit RGB pixel format, where 8 bits are reserved for each color."},
    {D3DFMT_A2B10G10R10, "D3DFMT_A2B10G10R10", 32,
     "32-bit pixel format using 10 bits for each color and 2 bits for alpha."},
    {D3DFMT_G16R16, "D3DFMT_G16R16", 32, "32-bit pixel format using 16 bits each for green and red."},
    {D3DFMT_Q8W8V8U8, "D3DFMT_Q8W8V8U8", 32, "32-bit bump-map format using 8 bits for each channel."},
    {D3DFMT_V16U16, "D3DFMT_V16U16", 32, "32-bit bump-map format using 16 bits for each channel."},
    {D3DFMT_X8L8V8U8, "D3DFMT_X8L8V8U8", 32,
     "32-bit bump-map format with luminance using 8 bits for each field."},
    {D3DFMT_A2W10V10U10, "D3DFMT_A2W10V10U10", 32,
     "32-bit bump-map format using 2 bits for alpha and 10 bits each for w, v, and u."},
    {D3DFMT_INDEX32, "D3DFMT_INDEX32", 32, "32-bit index buffer bit depth."},
    {D3DFMT_D32, "D3DFMT_D32", 32, "32-bit z-buffer bit depth."},
    {D3DFMT_D24S8, "D3DFMT_D24S8", 32,
     "32-bit z-buffer bit depth using 24 bits for the depth channel and 8 bits for the stencil channel."},
    {D3DFMT_D24X8, "D3DFMT_D24X8", 32, "32-bit z-buffer bit depth using 24 bits for the depth channel."},
    {D3DFMT_D24X4S4, "D3DFMT_D24X4S4", 32,
     "32-bit z-buffer bit depth using 24 bits for the depth channel and 4 bits for the stencil channel."},
    {D3DFMT_UYVY, "D3DFMT_UYVY", 0, "UYVY format (PC98 compliance)."},
    {D3DFMT_YUY2, "D3DFMT_YUY2", 0, "YUY2 format (PC98 compliance)."},
    {D3DFMT_DXT1, "D3DFMT_DXT1", 0, "DXT1 compression texture format."},
    {D3DFMT_DXT2, "D3DFMT_DXT2", 0, "DXT2 compression texture format."},
    {D3DFMT_DXT3, "D3DFMT_DXT3", 0, "DXT3 compression texture format."},
    {D3DFMT_DXT4, "D3DFMT_DXT4", 0, "DXT4 compression texture format."},
    {D3DFMT_DXT5, "D3DFMT_DXT5", 0, "DXT5 compression texture format."},
    {D3DFMT_VERTEXDATA, "D3DFMT_VERTEXDATA", 0, "Vertex buffer surface."},
};
static_assert(std::size(FormatTable) == 41);
} // namespace

const char* GetD3DResultText(HRESULT result)
{
    for (const ResultText& row : ResultTexts)
        if (row.code == static_cast<uint32_t>(result))
            return row.text;
    return "D3D call failed";
}

void CheckD3D(HRESULT result)
{
    if (result == 0)
        return;
    throw XException(GetD3DResultText(result));
}

unsigned GetFormatBits(D3DFORMAT format)
{
    for (const D3DFormatDesc& row : FormatTable)
        if (row.format == format)
            return row.bits;
    return 0;
}

std::span<const D3DFormatDesc> GetFormatTable()
{
    return FormatTable;
}
