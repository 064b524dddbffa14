// The flat outline shapes sized by a width and a height in the local XY plane, centred on the
// origin (grid, rectangle, ellipse): the two sizes with their clamps and fields, the box, and
// creation by dragging. Negative sizes are kept as set; the outlines use their absolute values.
#pragma once

#include "Engine/Geometry/XBaseShape.h"

#include <functional>

class XPlanarShape : public XBaseShape
{
public:
    static constexpr float DefaultSize = 1.0f;
    static constexpr float MaxSize = 1000.0f;

    // The shape's fields, then Width, Height.
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    // +-|size| / 2 in x and y, +-0.001 in z.
    XBoundingBox GetBoundingBox(unsigned frame) override;
    bool AllowMouseCreate() override;
    // Size 0.001 x 0.001 until the drag gives one.
    void MouseCreateStart() override;
    // First left press: plane and start; moves: the node at the middle of the drag and the signed
    // drag size; second press: done (true).
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;

    float GetWidth() const { return m_Width; }
    float GetHeight() const { return m_Height; }
    // Clamped to [-1000, 1000]; a change invalidates the outline.
    void SetWidth(float width);
    void SetHeight(float height);

protected:
    static float ClampSize(float size);

    // The grid and the rectangle keep one chunk under their class id: Width, Height, WidthSegs,
    // HeightSegs as sub-chunks id + 1 to id + 4.
    void SaveSegmented(XWriter& writer, uint32_t classId, uint32_t widthSegs, uint32_t heightSegs);
    // Reads that chunk (the reader standing in it): the sizes start at their defaults and go
    // through the setters, each segment count through `setSegs` (false: width, true: height);
    // the caller resets its counts first. The outline is invalidated at the end, as the defaults
    // went in without the setters.
    void LoadSegmented(XReader& reader, uint32_t classId, const std::function<void(bool height, uint32_t)>& setSegs);

    float m_Width = DefaultSize;
    float m_Height = DefaultSize;
};
