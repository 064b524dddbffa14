// What the parametric primitives share: clamping setters, the payload chunk of one-value
// sub-chunks, vertex colours, grids of quads, the field descriptors that go through a class's
// getter and setter, and the state of an interactive creation.
#pragma once

#include "Components/XVariant.h"
#include "Components/XVertex.h"
#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Scene/XObjectField.h"

#include <cstdint>
#include <type_traits>

class XMesh;
class XMeshNode;
class XViewport;
struct XFace;
struct XPropertyDesc;

namespace XPrimitive
{
// 2 pi as every primitive takes it for its ring angles.
constexpr double TwoPi = 6.283185307179586;

// Unsigned clamp: below lo becomes lo, then above hi becomes hi.
inline unsigned ClampCount(unsigned v, unsigned lo, unsigned hi)
{
    if (v < lo)
        v = lo;
    if (v > hi)
        v = hi;
    return v;
}

// Float clamp into [lo, hi], as the setters take their values.
inline float Clamped(float v, float lo, float hi)
{
    ClampValue(v, lo, hi);
    return v;
}

// Store-if-changed for the setters: true when the member took a new value.
inline bool Store(float& member, float value)
{
    if (value == member)
        return false;
    member = value;
    return true;
}
inline bool Store(unsigned& member, unsigned value)
{
    if (value == member)
        return false;
    member = value;
    return true;
}
inline bool Store(bool& member, bool value)
{
    if (value == member)
        return false;
    member = value;
    return true;
}

// The payload's values: each a sub-chunk whose value must lie inside it (a value cut short by
// its chunk's end is the reader's input-output error, never a read into the next chunk).
using XArrayChunks::ReadFloat;
using XArrayChunks::ReadU32;
// One byte, true when non-zero.
using XArrayChunks::ReadFlag;

// Each sub-chunk of the open container, its id handed to a reader of the value.
using XArrayChunks::ReadValues;

// The mesh's colour array, when its colours are enabled: every vertex the node's colour (as a
// device colour, alpha included) or opaque white without a node.
void FillColors(XMesh& mesh, XMeshNode* node);

// Two triangles per cell of a row-major grid of rows x cols cells whose vertex rows are stride
// apart, starting at vertex base: (i00, i01, i11), (i11, i10, i00), or with flip the mirrored
// pair (i01, i00, i10), (i10, i11, i01). Writes 2 * rows * cols faces from out on, returns the
// position after them.
XFace* GridFaces(XFace* out, uint32_t base, uint32_t stride, uint32_t rows, uint32_t cols, bool flip);

// The state of the creation in progress, one per class: presses counted, the construction plane
// and the points measured so far.
template <unsigned N> struct XCreateState
{
    unsigned presses = 0;
    unsigned plane = 0;
    XVertex points[N] = {};
};

// The surfaces' two-press rectangle: the first press takes the plane and the start point, a move
// after it puts the node at the middle of the drag and gives the drag's extents on the plane (XY:
// x, y; XZ: x, z; YZ: z, y) in width and height with sized set; the second press ends creation
// (true).
bool DragRectangle(XCreateState<1>& state, XViewport* viewport, XMeshNode* node, uint32_t event,
                   const XPoint& point, bool& sized, float& width, float& height);

// A surface's whole creation step on DragRectangle: each new size through its SetWidth and
// SetHeight; true once creation is complete.
template <class S>
bool DragSurface(S& surface, XCreateState<1>& state, XViewport* viewport, XMeshNode* node, uint32_t event,
                 const XPoint& point)
{
    bool sized;
    float width, height;
    if (DragRectangle(state, viewport, node, event, point, sized, width, height))
        return true;
    if (sized)
    {
        surface.SetWidth(width);
        surface.SetHeight(height);
    }
    return false;
}

// A field that reads and writes through the class's getter and setter, so clamping and
// invalidation apply.
template <class T, class V, V (T::*Get)() const, void (T::*Set)(V)>
using XField = XAccessorField<T, V, Get, Set>;
// A primitive's own property list: the descriptions, and in the same order the fields that read
// and write each value through the class's getter and setter. Get and Set are false when id is
// none of the list's, for the base class to answer.
bool GetProperty(const XPropertyDesc* descs, const XObjectField* const* fields, unsigned count,
                 XBaseObject* object, unsigned id, VarUtils::XVariant& value);
bool SetProperty(const XPropertyDesc* descs, const XObjectField* const* fields, unsigned count,
                 XBaseObject* object, unsigned id, const VarUtils::XVariant& value);
} // namespace XPrimitive
