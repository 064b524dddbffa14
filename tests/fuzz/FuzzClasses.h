// Every class a scene file may name: the ten a scene knows from its construction and those
// AddEngineClasses adds. The object-chunk target picks one by its input's first byte.
#pragma once

#include "Engine/Geometry/XBone.h"
#include "Engine/Geometry/XBoneMesh.h"
#include "Engine/Geometry/XEllipse.h"
#include "Engine/Geometry/XGrid.h"
#include "Engine/Geometry/XRectangle.h"
#include "Engine/Geometry/XSkinModifier.h"
#include "Engine/Geometry/XSpriteModifier.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Geometry/XUVModifier.h"
#include "Engine/Objects/XBSSurface.h"
#include "Engine/Objects/XBox.h"
#include "Engine/Objects/XCone.h"
#include "Engine/Objects/XCylinder.h"
#include "Engine/Objects/XFlatSurface.h"
#include "Engine/Objects/XParticleSystem.h"
#include "Engine/Objects/XText.h"
#include "Engine/Objects/XTube.h"
#include "Engine/Objects/XWater.h"
#include "Engine/Scene/XBaseLight.h"
#include "Engine/Scene/XCamera.h"
#include "Engine/Scene/XFont.h"
#include "Engine/Scene/XMaterial.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XNodeGroup.h"
#include "Engine/Scene/XTexture.h"

#include <vector>

// The order is the seeds' first byte: append only.
inline const std::vector<XClassDesc*>& FuzzClasses()
{
    static const std::vector<XClassDesc*> classes = {
        &PointLightDesc, &SpotLightDesc,     &DirectionalLightDesc, &CameraDesc,       &MaterialDesc,
        &TextureDesc,    &FontDesc,          &MeshNodeDesc,         &NodeGroupDesc,    &GridDesc,
        &EllipseDesc,    &RectangleDesc,     &TriMeshDesc,          &UVModifierDesc,   &SkinModifierDesc,
        &SpriteModifierDesc, &BoneDesc,      &BoneMeshDesc,         &BoxDesc,          &ConeDesc,
        &CylinderDesc,   &TubeDesc,          &BSSurfaceDesc,        &FlatSurfaceDesc,  &WaterDesc,
        &TextDesc,       &ParticleSystemDesc,
    };
    return classes;
}
