// The abstract texture of the scene's texture list and of the material channels: something that
// binds itself to a texture stage while a material draws.
#pragma once

#include "Engine/Scene/XBaseObject.h"

class XBaseMaterial;

class XBaseTexture : public XBaseObject
{
public:
    // Binds the texture to `stage` of the viewport's device for the material being drawn.
    virtual void Apply(unsigned frame, XViewport* viewport, XBaseMaterial* material, unsigned stage) = 0;
    // Unbinds the stage again.
    virtual void Unapply(unsigned frame, XViewport* viewport, XBaseMaterial* material, unsigned stage) = 0;
};
