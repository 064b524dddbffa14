// One textured box lit only by a viewport's head light, turned about y so that its front face
// meets the light at an angle; and what that face must show, computed here from the light, the
// material and the texel rather than read from a device.
#pragma once

#include "Components/XMatrix.h"

#include <cstdint>
#include <filesystem>

class XScene;

namespace LitCube
{
// The texture's one colour (A8R8G8B8), the box's side, its turn about y and the depth of its centre
// (in front of the grid plane z = 0 for a camera at the origin looking along +z).
constexpr uint32_t Texel = 0xFFC08040u;
constexpr float Side = 2.0f;
constexpr float Turn = 0.5f;
constexpr float Depth = -10.0f;

// Adds the box, its material and its texture (written as "cube.bmp" into `folder`) to the scene,
// which gets no light of its own. The texture loads when the scene meets a device.
void Build(XScene& scene, const std::filesystem::path& folder);

// The box's placement: a turn about y, then the move to (0, 0, Depth), as row vectors.
XMatrix World();
// A point given in the box's own space carried into the world.
XVertex ToWorld(const XVertex& local);

// The front face under a directional white light along +z with the default material (diffuse 1, no
// ambient or emissive part): each channel of the texel times the cosine between the face's normal
// and the way to the light, 0x00RRGGBB.
uint32_t FrontFaceColour();

// Where a world point lands in pixels for an orthographic camera at the origin looking along +z
// with projection scales p00 and p11, drawn into the rectangle (left, top, width, height).
XPoint Project(const XVertex& world, float p00, float p11, float left, float top, float width, float height);
} // namespace LitCube
