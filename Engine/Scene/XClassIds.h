// Class ids of every engine class. A class id has its low 16 bits zero; it is also the id of the
// chunk in which that class level saves its own fields, whose sub-chunks count up from it. A class
// that adds no saved data keeps its base's id.
#pragma once

#include <cstdint>

namespace ClassId
{
constexpr uint32_t BaseObject = 0x00010000;
constexpr uint32_t Texture = 0x00020000;
constexpr uint32_t Font = 0x00030000;
constexpr uint32_t Camera = 0x12700000;
constexpr uint32_t Material = 0x25340000;
constexpr uint32_t Text = 0x34500000;
constexpr uint32_t MeshNode = 0x36540000;
constexpr uint32_t NodeGroup = 0x37550000;
constexpr uint32_t BaseMesh = 0x42710000;
constexpr uint32_t BaseMaterial = 0x44520000;
constexpr uint32_t BaseLight = 0x45600000;
constexpr uint32_t PointLight = 0x45610000;
constexpr uint32_t SpotLight = 0x45620000;
constexpr uint32_t DirectionalLight = 0x45630000;
constexpr uint32_t Box = 0x55430000;
constexpr uint32_t Cylinder = 0x5A930000;
constexpr uint32_t Tube = 0x5A970000;
constexpr uint32_t Cone = 0x5A980000;
constexpr uint32_t Grid = 0x76450000;
constexpr uint32_t Rectangle = 0x76490000;
constexpr uint32_t Ellipse = 0x77490000;
constexpr uint32_t GxControl = 0x77770000; // every in-viewport UI class
constexpr uint32_t TriMesh = 0x98230000;
constexpr uint32_t BaseShape = 0x99120000;
constexpr uint32_t Water = 0xA12F0000;
constexpr uint32_t UVModifier = 0xCC1F0000;
constexpr uint32_t SkinModifier = 0xCC2F0000;
constexpr uint32_t BoneMesh = 0xCC300000;
constexpr uint32_t Bone = 0xCC310000;
constexpr uint32_t SpriteModifier = 0xCC400000;
constexpr uint32_t FlatSurface = 0xF7610000;
constexpr uint32_t BSSurface = 0xF8720000;
constexpr uint32_t ParticleSystem = 0xF8990000;
constexpr uint32_t MeshTree = 0xFF010000; // the node tree

// Classes that keep their base's id.
constexpr uint32_t BaseTexture = BaseObject;
constexpr uint32_t BaseModifier = BaseObject;
constexpr uint32_t BaseCamera = MeshNode;
constexpr uint32_t BaseSurface = BaseMesh;

// Records that are not objects but are saved the same way.
constexpr uint32_t CameraPreset = 0x12800000;
constexpr uint32_t Animation = 0x36550000;
constexpr uint32_t AnimationSet = 0x36560000;
constexpr uint32_t Map = 0xA1230000;
} // namespace ClassId
