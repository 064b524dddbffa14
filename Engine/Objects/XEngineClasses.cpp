#include "Engine/Objects/XEngineClasses.h"

#include "Engine/Geometry/XBone.h"
#include "Engine/Geometry/XBoneMesh.h"
#include "Engine/Geometry/XEllipse.h"
#include "Engine/Geometry/XRectangle.h"
#include "Engine/Geometry/XSkinModifier.h"
#include "Engine/Geometry/XSpriteModifier.h"
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
#include "Engine/Scene/XFont.h"
#include "Engine/Scene/XScene.h"

void AddEngineClasses(XScene* scene)
{
    if (!scene)
        return;
    XClassDesc* const classes[] = {
        &UVModifierDesc, &SpriteModifierDesc, &BoneDesc,     &BoneMeshDesc,       &SkinModifierDesc,
        &EllipseDesc,    &RectangleDesc,      &BoxDesc,      &FlatSurfaceDesc,    &BSSurfaceDesc,
        &ConeDesc,       &CylinderDesc,       &TubeDesc,     &WaterDesc,          &TextDesc,
        &ParticleSystemDesc, &FontDesc,
    };
    for (XClassDesc* desc : classes)
        scene->AddClass(desc);
}
