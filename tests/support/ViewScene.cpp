#include "tests/support/ViewScene.h"

#include "Engine/Editors/XAnimationEditor.h"
#include "Engine/Geometry/XBone.h"
#include "Engine/Geometry/XBoneMesh.h"
#include "Engine/Geometry/XSkinModifier.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Objects/XBox.h"
#include "Engine/Objects/XCone.h"
#include "Engine/Objects/XCylinder.h"
#include "Engine/Scene/XBaseLight.h"
#include "Engine/Scene/XMap.h"
#include "Engine/Scene/XMaterial.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Scene/XTexture.h"
#include "tests/support/ImageFiles.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace
{
constexpr float HalfPi = 1.57079637f;

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

// Adds the triangle (a, b, c) turned so that its normal (the cross product of its first two
// edges) points along `out`.
void AddFacing(XMesh* mesh, uint32_t a, uint32_t b, uint32_t c, const XVertex& out)
{
    const XVertex* p = mesh->GetVertices();
    if (DotProduct(CrossProduct(p[b] - p[a], p[c] - p[a]), out) < 0)
        std::swap(b, c);
    mesh->AddFace(XFace(a, b, c));
}

// A vertex with its texture coordinates.
uint32_t AddTextured(XMesh* mesh, const XVertex& position, float u, float v)
{
    mesh->AddVertex(position, XColor(0xFFFFFFFFu));
    const uint32_t index = mesh->GetVertexCount() - 1;
    mesh->GetTextureVertices()[index] = XTextureVertex{u, v};
    return index;
}

// The hill: a grid of HillSide x HillSide vertices over a square of `side`, raised in the middle
// by `height`, the whole checker spread over it once (u along x, v along z).
uint64_t BuildHill(XMesh* mesh, float side, float height)
{
    const uint32_t n = HillSide;
    for (uint32_t row = 0; row < n; ++row)
        for (uint32_t col = 0; col < n; ++col)
        {
            const float u = static_cast<float>(col) / static_cast<float>(n - 1);
            const float v = static_cast<float>(row) / static_cast<float>(n - 1);
            const float x = u - 0.5f, z = v - 0.5f;
            const float y = height * std::fmax(0.0f, 1.0f - 4.0f * (x * x + z * z));
            AddTextured(mesh, XVertex(side * x, y, side * z), u, v);
        }
    for (uint32_t row = 0; row + 1 < n; ++row)
        for (uint32_t col = 0; col + 1 < n; ++col)
        {
            const uint32_t v = row * n + col;
            AddFacing(mesh, v, v + n, v + 1, XVertex(0, 1, 0));
            AddFacing(mesh, v + 1, v + n, v + n + 1, XVertex(0, 1, 0));
        }
    return 2ull * (n - 1) * (n - 1);
}

// The arm: a square bar along +x from the origin, `length` long and 2 * `half` thick, cut into
// ArmStations - 1 pieces so that it bends; each side and end has its own corners, so the checker
// lies square on every side.
uint64_t BuildArm(XMesh* mesh, float length, float half)
{
    const uint32_t stations = ArmStations;
    // Each side: its outward normal and its two long edges across it (y, z).
    struct Side
    {
        XVertex out;
        float y0, z0, y1, z1;
    };
    const Side sides[4] = {{XVertex(0, 1, 0), half, -half, half, half},
                           {XVertex(0, 0, -1), -half, -half, half, -half},
                           {XVertex(0, -1, 0), -half, half, -half, -half},
                           {XVertex(0, 0, 1), half, half, -half, half}};
    // Two squares of the checker across a side, squares as long as they are wide along it.
    const float across = 2.0f * static_cast<float>(CheckerSquare) / 64.0f;
    const float along = across * length / (2.0f * half);
    uint64_t triangles = 0;
    for (const Side& side : sides)
    {
        const uint32_t first = mesh->GetVertexCount();
        for (uint32_t i = 0; i < stations; ++i)
        {
            const float t = static_cast<float>(i) / static_cast<float>(stations - 1);
            AddTextured(mesh, XVertex(length * t, side.y0, side.z0), along * t, 0.0f);
            AddTextured(mesh, XVertex(length * t, side.y1, side.z1), along * t, across);
        }
        for (uint32_t i = 0; i + 1 < stations; ++i)
        {
            const uint32_t v = first + 2 * i;
            AddFacing(mesh, v, v + 2, v + 1, side.out);
            AddFacing(mesh, v + 1, v + 2, v + 3, side.out);
            triangles += 2;
        }
    }
    for (int end = 0; end < 2; ++end)
    {
        const float x = end ? length : 0.0f;
        const uint32_t v = mesh->GetVertexCount();
        AddTextured(mesh, XVertex(x, -half, -half), 0.0f, 0.0f);
        AddTextured(mesh, XVertex(x, half, -half), 0.0f, across);
        AddTextured(mesh, XVertex(x, -half, half), across, 0.0f);
        AddTextured(mesh, XVertex(x, half, half), across, across);
        const XVertex out(end ? 1.0f : -1.0f, 0, 0);
        AddFacing(mesh, v, v + 1, v + 2, out);
        AddFacing(mesh, v + 1, v + 3, v + 2, out);
        triangles += 2;
    }
    return triangles;
}

// The hill, the arm with its two bones and skin, and the bones' animation, right of the last box
// (which stands at `right`).
uint64_t BuildEditables(XScene& scene, uint32_t materialIndex, float k, float right)
{
    scene.AddClass(&BoneDesc);
    scene.AddClass(&BoneMeshDesc);
    scene.AddClass(&SkinModifierDesc);

    auto* hill = static_cast<XTriMesh*>(scene.CreateObject(u"XTriMesh", nullptr, u"HillMesh"));
    uint64_t triangles = BuildHill(hill->GetMesh(), k * 14.0f, k * 4.0f);
    XMeshNode* node = scene.CreateNode(hill, nullptr, u"Hill");
    node->SetMaterial(materialIndex);
    node->SetMatrix(At(right + k * 22.0f, k * 6.0f, k * 13.0f));

    const float length = k * 14.0f, half = k * 1.5f;
    auto* arm = static_cast<XTriMesh*>(scene.CreateObject(u"XTriMesh", nullptr, u"ArmMesh"));
    triangles += BuildArm(arm->GetMesh(), length, half);
    XMeshNode* armNode = scene.CreateNode(arm, nullptr, u"Arm");
    armNode->SetMaterial(materialIndex);
    const XVertex shoulder(right + k * 13.0f, k * -12.0f, k * -14.0f);
    armNode->SetMatrix(At(shoulder.x, shoulder.y, shoulder.z));

    // Two bones along the arm, each half its length: a bone's capsule runs along its own z axis,
    // turned here onto the arm's x. The capsules cover the bar and overlap about the elbow.
    XBone* bones[2];
    const WCHAR* names[2] = {u"Shoulder", u"Elbow"};
    // A bone draws its capsule in its node's colour, which would otherwise be the next of a
    // sequence all nodes of the process share.
    const uint32_t colours[2] = {0xFFE04040u, 0xFF40C040u};
    for (int i = 0; i < 2; ++i)
    {
        XBone* bone = static_cast<XBone*>(scene.CreateObject(u"XBone", nullptr, names[i]));
        bone->SetColor(XColor(colours[i]));
        bone->SetHeight(length / 2);
        bone->SetInnerRadius1(half * 1.6f);
        bone->SetInnerRadius2(half * 1.6f);
        bone->SetOuterRadius1(half * 2.4f);
        bone->SetOuterRadius2(half * 2.4f);
        bones[i] = bone;
    }
    XMatrix along(1.0f);
    along.SetRotationY(HalfPi);
    // The bones hang under the arm, which so carries them when it is moved.
    armNode->AddChild(bones[0]);
    bones[0]->SetMatrix(along);
    bones[0]->AddChild(bones[1]);
    bones[1]->SetMatrix(At(0, 0, length / 2));
    bones[0]->SetupIndexes(1);

    auto* skin = static_cast<XSkinModifier*>(scene.CreateObject(u"XSkinModifier", nullptr, u"Skin"));
    arm->AddModifier(skin);
    skin->SetBone(bones[0]);
    skin->SetAutoUpdate(true);

    // "Bend", current on the arm and its bones: the elbow lifts the forearm and lowers it again
    // over the animation's 100 frames.
    XAnimationEditor::SelectAnimation(armNode, XString(ArmAnimation), true);
    XAnimation* bend = bones[1]->GetAnimation();
    bend->AddRotationKey(0, XVertex(0, 0, 0));
    bend->AddRotationKey(bend->GetLength(), XVertex(0, 0, 0));
    bend->AddRotationKey(bend->GetLength() / 2, XVertex(-ArmBend, 0, 0));
    return triangles;
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
    // A new map leaves its stage off until it is told what to do: the checker times the lit
    // colour, its alpha the material's.
    XMap* map = material->GetMap(0);
    map->SetStageState(D3DTSS_COLOROP, D3DTOP_MODULATE);
    map->SetStageState(D3DTSS_COLORARG1, D3DTA_TEXTURE);
    map->SetStageState(D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    map->SetStageState(D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    map->SetStageState(D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    // Some of the view's ambient light, so that faces turned from the sun are not black.
    D3DMATERIAL9 lit = material->GetD3DMaterial();
    lit.Ambient = {CheckerAmbient, CheckerAmbient, CheckerAmbient, 1.0f};
    material->SetD3DMaterial(lit);
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

    if (options.editables)
        triangles += BuildEditables(scene, materialIndex, k,
                                    k * 30.0f * static_cast<float>(std::max(options.boxes, 1u) - 1));

    auto* light = static_cast<XBaseLight*>(scene.CreateObject(u"XDirectionalLight", nullptr, u"Sun"));
    // A directional light shines along its node's negative X axis: that axis points from above
    // the scene's front left (-x, +y, -z) down into it, at the origin.
    const XVertex at(k * SunX, k * SunY, k * SunZ);
    XVertex back = at;
    back.Normalize();
    XVertex side = CrossProduct(back, XVertex(0, 1, 0));
    side.Normalize();
    const XVertex up = CrossProduct(side, back);
    XMatrix placement(1.0f);
    const XVertex rows[4] = {back, up, side, at};
    for (int r = 0; r < 4; ++r)
    {
        placement.m[r][0] = rows[r].x;
        placement.m[r][1] = rows[r].y;
        placement.m[r][2] = rows[r].z;
    }
    light->SetMatrix(placement);
    return triangles;
}
