#include "tests/support/ViewScene.h"

#include "Engine/Objects/XBox.h"
#include "Engine/Objects/XCone.h"
#include "Engine/Objects/XCylinder.h"
#include "Engine/Scene/XBaseLight.h"
#include "Engine/Scene/XMaterial.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Scene/XTexture.h"
#include "tests/support/ImageFiles.h"

#include <fstream>
#include <string>
#include <vector>

namespace
{
XString Wide(const std::string& utf8)
{
    return XString(std::u16string(utf8.begin(), utf8.end()).c_str());
}

XMatrix At(float x, float y, float z)
{
    XMatrix m(1.0f);
    m.SetTranslation(x, y, z);
    return m;
}
} // namespace

uint64_t BuildViewScene(XScene& scene, const std::filesystem::path& folder, const ViewSceneOptions& options)
{
    scene.AddClass(&BoxDesc);
    scene.AddClass(&CylinderDesc);
    scene.AddClass(&ConeDesc);

    // The checker texture, as a file the texture loads with every device it meets.
    const uint32_t size = 64;
    std::vector<uint32_t> texels(size * size);
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
            texels[y * size + x] = ((x / CheckerSquare + y / CheckerSquare) & 1) ? CheckerDark : CheckerLight;
    std::filesystem::path file = folder / "checker.bmp";
    {
        std::vector<uint8_t> bmp = ImageFiles::Bmp(texels, size, size, 32);
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    }
    auto* texture = new XTexture();
    texture->SetName(u"Checker");
    scene.AttachObject(texture);
    texture->SetFileName(Wide(file.string()));
    auto* material = new XMaterial();
    material->SetName(u"Checkered");
    scene.AttachObject(material);
    material->SetMapTexture(0, texture);
    const uint32_t materialIndex = material->GetIndex();

    uint64_t triangles = 0;
    const float k = options.size / 20.0f;
    const unsigned segs = options.segments < 1 ? 1 : options.segments > 64 ? 64 : options.segments;
    for (uint32_t i = 0; i < options.boxes; ++i)
    {
        auto* box = new XBox();
        box->SetParams(options.size, options.size, options.size);
        box->SetWidthSegs(segs);
        box->SetHeightSegs(segs);
        box->SetDepthSegs(segs);
        std::u16string name = u"Box" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
        XMeshNode* node = scene.CreateNode(box, nullptr, name.c_str());
        node->SetMaterial(materialIndex);
        node->SetMatrix(At(k * 30.0f * static_cast<float>(i), k * 10.0f, 0.0f));
        triangles += 12ull * segs * segs;
    }
    if (options.extras)
    {
        auto* cylinder = new XCylinder();
        cylinder->SetRadius(k * 8.0f);
        cylinder->SetHeight(k * 25.0f);
        cylinder->SetSlices(24);
        XMeshNode* node = scene.CreateNode(cylinder, nullptr, u"Cylinder");
        node->SetMaterial(materialIndex);
        node->SetMatrix(At(k * -30.0f, 0.0f, 0.0f));
        auto* cone = new XCone();
        cone->SetRadius1(k * 10.0f);
        cone->SetRadius2(0.0f);
        cone->SetHeight(k * 20.0f);
        cone->SetSides(24);
        node = scene.CreateNode(cone, nullptr, u"Cone");
        node->SetMaterial(materialIndex);
        node->SetMatrix(At(0.0f, 0.0f, k * -30.0f));
    }

    auto* light = static_cast<XBaseLight*>(scene.CreateObject(u"XDirectionalLight", nullptr, u"Sun"));
    // The light's axis points down and into the scene, from above its front left.
    XMatrix placement(1.0f);
    placement.SetRotation(0.6f, 0.8f, 0.0f);
    placement.m[3][0] = k * -50.0f;
    placement.m[3][1] = k * 80.0f;
    placement.m[3][2] = k * -50.0f;
    light->SetMatrix(placement);
    return triangles;
}
