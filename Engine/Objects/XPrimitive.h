// What the parametric primitives share: clamping setters, the payload chunk of one-value
// sub-chunks, vertex colours, grids of quads, the field descriptors that go through a class's
// getter and setter, and the state of an interactive creation.
#pragma once

#include "Components/XVariant.h"
#include "Components/XVertex.h"
#include "Engine/Scene/XObjectField.h"

#include <cstdint>
#include <type_traits>

class XMesh;
class XMeshNode;
class XReader;
class XViewport;
class XWriter;
struct XFace;

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
float ReadFloat(XReader& reader);
uint32_t ReadU32(XReader& reader);
// One byte, true when non-zero.
bool ReadFlag(XReader& reader);

// Opens each sub-chunk of the open container in turn and hands its id to read, which reads the
// value or ignores the id; the sub-chunk is then closed.
template <class F> void ReadValues(XReader& reader, F&& read);

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

// A field that reads and writes through the class's getter and setter, so clamping and
// invalidation apply. Values travel as float, unsigned or bool.
template <class T, class V, V (T::*Get)() const, void (T::*Set)(V)> class XField : public XObjectField
{
public:
    constexpr XField(const WCHAR* name, const WCHAR* typeName) : m_Name(name), m_TypeName(typeName) {}

    StrUtils::XBaseString<WCHAR> GetName() const override { return m_Name; }
    StrUtils::XBaseString<WCHAR> GetTypeName() const override { return m_TypeName; }
    bool GetValue(XBaseObject* object, VarUtils::XVariant& out) const override
    {
        out = (static_cast<T*>(object)->*Get)();
        return true;
    }
    bool SetValue(XBaseObject* object, const VarUtils::XVariant& value) const override
    {
        (static_cast<T*>(object)->*Set)(FromVariant(value));
        return true;
    }

private:
    static V FromVariant(const VarUtils::XVariant& value)
    {
        if constexpr (std::is_same_v<V, float>)
            return static_cast<float>(value.AsDouble());
        else if constexpr (std::is_same_v<V, bool>)
            return value.AsBool();
        else
            return static_cast<unsigned>(value.AsInt());
    }

    const WCHAR* m_Name;
    const WCHAR* m_TypeName;
};
} // namespace XPrimitive

#include "Components/XReader.h"

template <class F> void XPrimitive::ReadValues(XReader& reader, F&& read)
{
    while (reader.NextChunk())
    {
        read(reader.GetChunkId());
        reader.EndChunk();
    }
}
