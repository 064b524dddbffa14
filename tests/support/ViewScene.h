// The scene the view host, the view's tests and its benchmark show: primitives of classes the
// scene registers (boxes, a cylinder, a cone) as meshes of nodes, each with a material holding a
// checker texture, under a directional light.
#pragma once

#include <cstdint>
#include <filesystem>

class XScene;

struct ViewSceneOptions
{
    // Boxes of `segments` segments along each edge (12 segments^2 triangles each), in a row.
    uint32_t boxes = 1;
    uint32_t segments = 4;
    // A cylinder and a cone beside the boxes.
    bool extras = true;
    // A box's edge; the spacing, the cylinder, the cone and the light's place scale with it. The
    // viewports' default cameras see about 6 units across: 2 fits the scene into them.
    float size = 20.0f;
    // Right of the last box, what the editors work on: the textured triangle mesh "Hill"; the
    // triangle mesh "Arm", skinned (modifier "Skin") to the bones "Shoulder" (its child) and
    // "Elbow" (the shoulder's) that lie along it; and the animation "Bend", current on the arm and
    // its bones, in which the elbow bends the arm.
    bool editables = false;
};

// Fills the scene (registering the classes it uses); the checker texture is written as
// "checker.bmp" into `folder` (which must exist) and the scene's material loads it when a device
// comes. Returns the triangles placed.
uint64_t BuildViewScene(XScene& scene, const std::filesystem::path& folder, const ViewSceneOptions& options = {});

// The checker's two colours (A8R8G8B8) and its square size in texels; 64 x 64 texels in all.
constexpr uint32_t CheckerLight = 0xFFE0E0E0u;
constexpr uint32_t CheckerDark = 0xFF4060A0u;
constexpr uint32_t CheckerSquare = 8;
// The material's ambient reflectance (of the view's ambient light, 0x80 grey by default).
constexpr float CheckerAmbient = 0.25f;
// Where the sun shines from, scaled as ViewSceneOptions::size / 20: its light falls along minus
// this direction.
constexpr float SunX = -40.0f, SunY = 80.0f, SunZ = -60.0f;
// The hill's vertices along each side; the arm's rings of vertices along it.
constexpr uint32_t HillSide = 5;
constexpr uint32_t ArmStations = 9;
// The bones' animation, and the angle (radians) the elbow turns at its middle frame.
inline constexpr const char16_t* ArmAnimation = u"Bend";
constexpr float ArmBend = 0.9f;
