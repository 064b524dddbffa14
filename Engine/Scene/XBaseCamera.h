// The camera node: a view defined by a node's world matrix (the view matrix is its inverse) and a
// projection. XBaseCamera is the abstract interface the views use; XCamera is the one kind.
#pragma once

#include "Engine/Scene/XMeshNode.h"

class XBaseCamera : public XMeshNode
{
public:
    // Name "BaseCamera"; the class keeps the node's class id.
    XBaseCamera();
    ~XBaseCamera() override;

    XString GetClassNameW() const override;

    // The camera category (0x1010).
    virtual uint32_t GetCategory() const;
    // Matrices at a frame, each cached for the last frame asked.
    virtual const XMatrix& GetProjectionMatrix(unsigned frame) = 0;
    virtual const XMatrix& GetProjectionMatrixInverse(unsigned frame) = 0;
    virtual const XMatrix& GetViewMatrix(unsigned frame) = 0;
    // The camera's world matrix.
    virtual const XMatrix& GetViewMatrixInverse(unsigned frame) = 0;
    virtual XVertex GetPosition(unsigned frame) = 0;
    // Unit vector.
    virtual XVertex GetDirection(unsigned frame) = 0;
    // Lens values back to their defaults; the placement is kept.
    virtual void Reset() = 0;

    using XMeshNode::GetPosition;
};

class XBaseCameraDesc : public XClassDesc
{
public:
    // Null: abstract.
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XBaseCameraDesc BaseCameraDesc;
