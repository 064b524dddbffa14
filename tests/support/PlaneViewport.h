// A viewport double whose plane projections are plain arithmetic, so that a mouse drag in a test
// reads as the world distances it stands for: the screen point (x, y) lies at (x, y, 0) on the XY
// plane, (x, 0, y) on XZ and (0, y, x) on YZ; with the mask 7 it is (x, y, y), so that a move
// "up the screen" also measures the same distance along z.
#pragma once

#include "tests/support/ViewportDouble.h"

class PlaneViewport : public ViewportDouble
{
public:
    explicit PlaneViewport(unsigned plane) { SetPlaneAxis(plane); }

    XVertex ScreenToPlane(unsigned, const XPoint& p, unsigned axis) override
    {
        switch (axis)
        {
        case XAXIS_XY:
            return XVertex(p.x, p.y, 0);
        case XAXIS_XZ:
            return XVertex(p.x, 0, p.y);
        case XAXIS_YZ:
            return XVertex(0, p.y, p.x);
        case XAXIS_XYZ:
            return XVertex(p.x, p.y, p.y);
        default:
            return XVertex(0, 0, 0);
        }
    }
    XVertex ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis, const XMatrix&) override
    {
        return ScreenToPlane(frame, p, axis);
    }
};
