// The point-list interface: how an editor reads and writes an object's list of points (the
// control points of a B-spline surface). Objects hand it out from GetInterface for
// IPointListGuid.
#pragma once

#include "Components/XArray.h"
#include "Components/XGuid.h"
#include "Components/XVertex.h"

// {204ECAB7-032B-407B-7ABC-86D4E02E4FB2}; the editor asks with the same value.
extern const XGuid IPointListGuid;

class IPointList
{
public:
    virtual unsigned GetPointCount() const = 0;
    // Implementations may keep their count fixed and ignore this.
    virtual void SetPointCount(unsigned count) = 0;
    // An index at or past the count: XException "Out of range.".
    virtual XVertex GetPoint(unsigned index) const = 0;
    virtual void SetPoint(unsigned index, const XVertex& point) = 0;
    virtual void GetPoints(XArray<XVertex, 32>& out) const = 0;
    virtual void SetPoints(const XArray<XVertex, 32>& points) = 0;
    // The first point; null when there are none.
    virtual const XVertex* GetPointsPtr() const = 0;

protected:
    ~IPointList() = default;
};
