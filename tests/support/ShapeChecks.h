// Helpers for tests of the outline shapes: saving and loading an object through the chunk writer
// and reader, the names of its fields, and checks that a swept mesh stays within its vertices.
#pragma once

#include "Engine/Geometry/XBaseShape.h"
#include "Engine/Geometry/XMesh.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline std::vector<uint8_t> SavedObject(XBaseObject& object)
{
    return SavedBytes([&](XWriter& w) { object.Save(nullptr, w); });
}

// Hands every top-level chunk of the bytes to the object's Load.
inline void LoadObject(XBaseObject& object, const std::vector<uint8_t>& bytes)
{
    LoadEachChunk(bytes, [&](XReader& r) { object.Load(nullptr, r); });
}

// "Name:type" of every field, in order.
inline std::vector<std::u16string> FieldList(XBaseObject& object)
{
    XPtrArray<XObjectField, 16> fields;
    object.EnumerateFields(fields);
    std::vector<std::u16string> out;
    for (uint32_t i = 0; i < fields.GetCount(); ++i)
        out.push_back(std::u16string(fields[i]->GetName().c_str()) + u":" + fields[i]->GetTypeName().c_str());
    return out;
}

inline const std::vector<std::u16string> kShapeFields = {u"MeshEnabled:bool", u"MeshType:bitu32",
                                                         u"MeshWidth:float",  u"MeshHeight:float",
                                                         u"MeshAngle:float",  u"MeshSides:bitu32"};

// Every face names three vertices of the mesh, and every per-vertex array matches the positions.
inline void ExpectSweptMeshSound(const XMesh& mesh)
{
    const uint32_t n = mesh.GetVertexCount();
    EXPECT_EQ(mesh.GetNormalCount(), n);
    EXPECT_EQ(mesh.GetTextureVertexCount(), n);
    for (uint32_t f = 0; f < mesh.GetFaceCount(); ++f)
        for (uint32_t k = 0; k < 3; ++k)
            ASSERT_LT(mesh.GetFaces()[f].v[k], n) << "face " << f;
}

// What `saved` writes loads into `fresh` (a default object of the same class) and saves again
// byte for byte; the same bytes cut at every length load into another default object with a
// clean error or none. Returns the bytes.
template <class T> std::vector<uint8_t> ExpectRoundTrip(T& saved)
{
    const std::vector<uint8_t> bytes = SavedObject(saved);
    T fresh;
    LoadObject(fresh, bytes);
    EXPECT_EQ(SavedObject(fresh), bytes);
    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        T target;
        try
        {
            LoadObject(target,
                       std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
        }
        catch (const XException&)
        {
        }
    }
    return bytes;
}

// A viewport whose construction-plane points are scripted: the screen point (x, y) lies at
// (x, y, x + 10 y) on every plane, so each plane's choice of components shows.
class ScriptedPlaneViewport : public ViewportDouble
{
public:
    XVertex ScreenToPlane(unsigned, const XPoint& p, unsigned axis) override
    {
        axes.push_back(axis);
        return XVertex(p.x, p.y, p.x + 10 * p.y);
    }
    using ViewportDouble::ScreenToPlane;
    std::vector<unsigned> axes;
};
