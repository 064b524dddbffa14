// The base of the parametric surfaces (flat sheet, B-spline patch): mesh objects whose
// parameters are indexed properties rather than fields.
#pragma once

#include "Engine/Geometry/XBaseMesh.h"

class XBaseSurface : public XBaseMesh
{
public:
    XBoundingBox GetBoundingBox(unsigned frame) override = 0;
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override = 0;
};

// Abstract: answers as the mesh base's descriptor does.
class XBaseSurfaceDesc : public XBaseMeshDesc
{
};
