#include "tests/support/LitCube.h"

#include "Engine/Objects/XBox.h"
#include "Engine/Scene/XMap.h"
#include "Engine/Scene/XMaterial.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Scene/XTexture.h"
#include "tests/support/ImageFiles.h"

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace LitCube
{
void Build(XScene& scene, const std::filesystem::path& folder)
{
    scene.AddClass(&BoxDesc);
    const uint32_t size = 16;
    std::vector<uint32_t> texels(size * size, Texel);
    const std::filesystem::path file = folder / "cube.bmp";
    {
        std::vector<uint8_t> bmp = ImageFiles::Bmp(texels, size, size, 32);
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    }
    const std::string path = file.string();
    auto* texture = new XTexture();
    texture->SetName(u"CubeTexture");
    scene.AttachObject(texture);
    texture->SetFileName(XString(std::u16string(path.begin(), path.end()).c_str()));
    auto* material = new XMaterial();
    material->SetName(u"CubeMaterial");
    scene.AttachObject(material);
    if (material->GetMapCount() == 0)
        material->InsertMap(0);
    material->SetMapTexture(0, texture);
    // The texel times the lit colour.
    material->GetMap(0)->SetStageState(D3DTSS_COLOROP, D3DTOP_MODULATE);

    auto* box = new XBox();
    box->SetParams(Side, Side, Side);
    XMeshNode* node = scene.CreateNode(box, nullptr, u"Cube");
    node->SetMaterial(material->GetIndex());
    node->SetMatrix(World());
}

XMatrix World()
{
    const float c = std::cos(Turn), s = std::sin(Turn);
    XMatrix m(1.0f);
    m.m[0][0] = c;
    m.m[0][2] = -s;
    m.m[2][0] = s;
    m.m[2][2] = c;
    m.m[3][2] = Depth;
    return m;
}

XVertex ToWorld(const XVertex& v)
{
    const XMatrix m = World();
    return XVertex(v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0],
                   v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1],
                   v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2]);
}

uint32_t FrontFaceColour()
{
    // The face's normal (0, 0, -1) turned by the placement, against the way to the light (0, 0, -1).
    const XVertex normal = ToWorld(XVertex(0, 0, -1));
    const XVertex centre = ToWorld(XVertex(0, 0, 0));
    const float lit = -(normal.z - centre.z);
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
    {
        const float channel = static_cast<float>((Texel >> shift) & 0xFF) * lit;
        out |= static_cast<uint32_t>(std::lround(channel)) << shift;
    }
    return out;
}

XPoint Project(const XVertex& world, float p00, float p11, float left, float top, float width, float height)
{
    return XPoint(left + (world.x * p00 + 1.0f) * width * 0.5f, top + (1.0f - world.y * p11) * height * 0.5f);
}
} // namespace LitCube
