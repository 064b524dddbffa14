// Class descriptors: the factories through which a scene creates objects by class name (scene
// files, interactive creation). Each class X has a descriptor class XDesc with one static
// instance; descriptors register nowhere by themselves, a scene adds the ones it knows.
#pragma once

#include "Components/StrUtils.h"

#include <cstdint>

class XBaseObject;

// Category bits (GetCategory); composite values keep the bits of their parent category.
constexpr uint32_t XCAT_TEXTURE = 0x3;        // XTexture, XFont
constexpr uint32_t XCAT_MATERIAL = 0x5;       // XMaterial
constexpr uint32_t XCAT_NODE = 0x10;          // nodes: the only classes the node creator makes
constexpr uint32_t XCAT_LIGHT = 0x110;        // lights (node bit set)
constexpr uint32_t XCAT_CAMERA = 0x1010;      // cameras (node bit set)
constexpr uint32_t XCAT_MESH = 0x100000;      // mesh objects
constexpr uint32_t XCAT_SHAPE = 0x1100000;    // parametric shapes (mesh bit set)
constexpr uint32_t XCAT_MODIFIER = 0x10000000; // modifiers

class XClassDesc
{
public:
    virtual ~XClassDesc() = default;
    // A new default-constructed object of the class, attached to no scene; null for an abstract
    // class.
    virtual XBaseObject* Create() const = 0;
    // Exactly as the object's own GetClassNameW gives it.
    virtual StrUtils::XBaseString<WCHAR> GetClassNameW() const = 0;
    virtual uint32_t GetCategory() const = 0;
};
