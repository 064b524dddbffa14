// The primitive pattern across every parametric primitive: mesh counts at defaults and at the
// parameter limits, clamping and invalidation, the payload chunk round trip and hostile payloads.
#include "Engine/Objects/XPrimitive.h"

#include "Components/XException.h"
#include "Engine/Objects/XBSSurface.h"
#include "Engine/Objects/XBox.h"
#include "Engine/Objects/XCone.h"
#include "Engine/Objects/XCylinder.h"
#include "Engine/Objects/XFlatSurface.h"
#include "Engine/Objects/XTube.h"
#include "Engine/Objects/XWater.h"
#include "Engine/Scene/XClassIds.h"
#include "tests/Engine/Objects/PrimitiveAccess.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;
using Params = std::vector<std::pair<std::u16string, double>>;

const XClassDesc* const Descs[] = {&BoxDesc,         &ConeDesc,      &CylinderDesc, &TubeDesc,
                                   &FlatSurfaceDesc, &BSSurfaceDesc, &WaterDesc};

std::unique_ptr<XBaseMesh> Make(const char16_t* className, const Params& params = {})
{
    for (const XClassDesc* desc : Descs)
        if (desc->GetClassNameW() == className)
        {
            std::unique_ptr<XBaseMesh> object(static_cast<XBaseMesh*>(desc->Create()));
            for (const auto& [name, value] : params)
                EXPECT_TRUE(PrimitiveAccess::Set(*object, name, value))
                    << std::string(name.begin(), name.end());
            return object;
        }
    ADD_FAILURE() << "no class";
    return nullptr;
}

Bytes Saved(XBaseObject& object)
{
    return SavedBytes([&](XWriter& w) { object.Save(nullptr, w); });
}

void Load(XBaseObject& object, const Bytes& bytes)
{
    LoadEachChunk(bytes, [&](XReader& r) { object.Load(nullptr, r); });
}

// Every face index inside the vertices; per-vertex arrays as long as the vertices (the water's
// normals and texture vertices excepted).
void ExpectWellFormed(const XMesh& mesh, bool water)
{
    const uint32_t n = mesh.GetVertexCount();
    for (uint32_t i = 0; i < mesh.GetFaceCount(); ++i)
        for (uint32_t k = 0; k < 3; ++k)
            ASSERT_LT(mesh.GetFaces()[i].v[k], n) << "face " << i;
    EXPECT_EQ(mesh.GetTextureVertexCount(), water ? 4u : n);
    EXPECT_EQ(mesh.GetNormalCount(), water ? 36u : n);
}

struct CountCase
{
    const char16_t* className;
    Params params;
    uint32_t vertices, faces;
};

const CountCase CountCases[] = {
    {u"XBox", {}, 24, 12},
    {u"XBox", {{u"WidthSegs", 2}, {u"HeightSegs", 3}, {u"DepthSegs", 4}}, 94, 104},
    {u"XBox", {{u"WidthSegs", 64}, {u"HeightSegs", 64}, {u"DepthSegs", 64}}, 25350, 49152},
    {u"XBox", {{u"Width", -1000}, {u"Height", 0}, {u"Depth", 1000}}, 24, 12},
    {u"XCone", {}, 126, 192},
    {u"XCone", {{u"Sides", 3}, {u"HeightSegs", 1}, {u"TopSegs", 1}}, 16, 12},
    {u"XCone", {{u"Sides", 64}, {u"HeightSegs", 64}, {u"TopSegs", 64}}, 12419, 24448},
    {u"XCone", {{u"Radius2", 0}, {u"Height", 1000}}, 126, 192},
    {u"XCylinder", {}, 52, 48},
    {u"XCylinder", {{u"TopCap", 0}, {u"BottomCap", 0}}, 26, 24},
    {u"XCylinder", {{u"TopCap", 0}}, 39, 36},
    {u"XCylinder", {{u"Slices", 3}, {u"Stacks", 1}, {u"TopStacks", 1}}, 16, 12},
    {u"XCylinder", {{u"Slices", 64}, {u"Stacks", 64}, {u"TopStacks", 64}, {u"Height", -3}}, 12419, 24448},
    {u"XTube", {}, 200, 288},
    {u"XTube", {{u"TopCap", 0}, {u"BottomCap", 0}}, 104, 144},
    {u"XTube", {{u"Slices", 3}, {u"Stacks", 1}, {u"TopStacks", 1}, {u"BottomStacks", 1}}, 28, 24},
    {u"XTube", {{u"Slices", 64}, {u"Stacks", 64}, {u"TopStacks", 64}, {u"BottomStacks", 64}}, 16770, 32768},
    {u"XFlatSurface", {}, 25, 32},
    {u"XFlatSurface", {{u"WidthSegs", 1}, {u"HeightSegs", 1}}, 4, 2},
    {u"XFlatSurface", {{u"WidthSegs", 256}, {u"HeightSegs", 256}}, 66049, 131072},
    {u"XBSSurface", {}, 100, 162},
    {u"XBSSurface", {{u"WidthSegs", 3}, {u"HeightSegs", 3}, {u"USteps", 3}, {u"VSteps", 3}}, 16, 18},
    {u"XBSSurface",
     {{u"WidthSegs", 256}, {u"HeightSegs", 256}, {u"USteps", 256}, {u"VSteps", 256}},
     66049,
     131072},
    {u"XWater", {}, 8, 12},
};
} // namespace

TEST(XPrimitiveTest, MeshCountsShapeAndLaziness)
{
    for (const CountCase& c : CountCases)
    {
        SCOPED_TRACE(std::string(c.className, c.className + std::char_traits<char16_t>::length(c.className)) +
                     " " + std::to_string(c.params.size()));
        auto object = Make(c.className, c.params);
        ASSERT_TRUE(object);
        EXPECT_FALSE(object->IsMeshValid(0));
        XMesh* mesh = object->GetMesh(0, nullptr, nullptr);
        ASSERT_TRUE(mesh);
        EXPECT_EQ(mesh->GetVertexCount(), c.vertices);
        EXPECT_EQ(mesh->GetFaceCount(), c.faces);
        const bool water = std::u16string(c.className) == u"XWater";
        ExpectWellFormed(*mesh, water);
        EXPECT_EQ(mesh->GetColorCount(), 0u);

        // Valid now: the same mesh comes back untouched.
        EXPECT_TRUE(object->IsMeshValid(0));
        mesh->GetVertices()[0].x += 7;
        EXPECT_EQ(object->GetMesh(0, nullptr, nullptr), mesh);
        object->MeshInvalidate();
        mesh = object->GetMesh(0, nullptr, nullptr);

        // The parametric box holds the mesh.
        const XBoundingBox box = object->GetBoundingBox(0);
        const float eps = 1e-3f;
        for (uint32_t i = 0; i < mesh->GetVertexCount(); ++i)
        {
            const XVertex& p = mesh->GetVertices()[i];
            ASSERT_TRUE(p.x >= box.min.x - eps && p.x <= box.max.x + eps && p.y >= box.min.y - eps &&
                        p.y <= box.max.y + eps && p.z >= box.min.z - eps && p.z <= box.max.z + eps)
                << "vertex " << i;
        }

        // Every face is wound the way its normals point (the water's are one per corner).
        const XVertex* n = mesh->GetNormals();
        for (uint32_t i = 0; i < mesh->GetFaceCount(); ++i)
        {
            const XFace& f = mesh->GetFaces()[i];
            const XVertex* p = mesh->GetVertices();
            const XVertex cross = CrossProduct(p[f.v[1]] - p[f.v[0]], p[f.v[2]] - p[f.v[0]]);
            if (cross.Length() < 1e-9f)
                continue; // apex and seam slivers
            const XVertex normal = water ? n[3 * i] : n[f.v[0]] + n[f.v[1]] + n[f.v[2]];
            ASSERT_GT(DotProduct(cross, normal), 0.0f) << "face " << i;
        }
    }
}

TEST(XPrimitiveTest, SettersClampAndInvalidateOnlyOnChange)
{
    struct Case
    {
        const char16_t* className;
        const char16_t* name;
        double value, stored;
    };
    const Case cases[] = {
        {u"XBox", u"Width", 2000, 1000},
        {u"XBox", u"Height", -5, -5},
        {u"XBox", u"Depth", -1001, -1000},
        {u"XBox", u"WidthSegs", 0, 1},
        {u"XBox", u"HeightSegs", 100, 64},
        {u"XBox", u"DepthSegs", 0xFFFFFFFF, 64},
        {u"XCone", u"Radius1", -1, 0},
        {u"XCone", u"Radius2", 2000, 1000},
        {u"XCone", u"Height", 0, 0.001},
        {u"XCone", u"TopSegs", 0, 1},
        {u"XCone", u"HeightSegs", 65, 64},
        {u"XCone", u"Sides", 2, 3},
        {u"XCone", u"Sides", 100, 64},
        {u"XCylinder", u"Radius", -1, 0},
        {u"XCylinder", u"Radius", 1001, 1000},
        {u"XCylinder", u"Height", -2000, -1000},
        {u"XCylinder", u"TopStacks", 0, 1},
        {u"XCylinder", u"Stacks", 100, 64},
        {u"XCylinder", u"Slices", 1, 3},
        {u"XCylinder", u"BottomCap", 0, 0},
        {u"XTube", u"TopInnerRadius", 5, 1},
        {u"XTube", u"TopOuterRadius", 0.25, 0.5},
        {u"XTube", u"BottomInnerRadius", -1, 0},
        {u"XTube", u"BottomOuterRadius", 2000, 1000},
        {u"XTube", u"Height", -2000, -1000},
        {u"XTube", u"Stacks", 0, 1},
        {u"XTube", u"Slices", 2, 3},
        {u"XTube", u"TopStacks", 65, 64},
        {u"XTube", u"BottomStacks", 0, 1},
        {u"XTube", u"TopCap", 0, 0},
        {u"XFlatSurface", u"WidthSegs", 0, 1},
        {u"XFlatSurface", u"HeightSegs", 300, 256},
        {u"XFlatSurface", u"Width", -7, -7},
        {u"XFlatSurface", u"Height", 5000, 5000},
        {u"XBSSurface", u"WidthSegs", 2, 3},
        {u"XBSSurface", u"HeightSegs", 300, 256},
        {u"XBSSurface", u"USteps", 2, 4},
        {u"XBSSurface", u"VSteps", 300, 256},
        {u"XBSSurface", u"Width", -3, -3},
        {u"XWater", u"Width", 2000, 1000},
        {u"XWater", u"Height", -2000, -1000},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)) + " " +
                     std::to_string(c.value));
        auto object = Make(c.className);
        const double before = PrimitiveAccess::Get(*object, c.name);
        object->GetMesh(0, nullptr, nullptr);
        ASSERT_TRUE(PrimitiveAccess::Set(*object, c.name, c.value));
        EXPECT_FLOAT_EQ(static_cast<float>(PrimitiveAccess::Get(*object, c.name)),
                        static_cast<float>(c.stored));
        EXPECT_EQ(object->IsMeshValid(0), before == c.stored);

        // The stored value again changes nothing.
        object->GetMesh(0, nullptr, nullptr);
        PrimitiveAccess::Set(*object, c.name, c.stored);
        EXPECT_TRUE(object->IsMeshValid(0));
    }
}

namespace
{
const std::pair<const char16_t*, Params> Edited[] = {
    {u"XBox",
     {{u"Width", 2.5},
      {u"Height", -3},
      {u"Depth", 4},
      {u"WidthSegs", 2},
      {u"HeightSegs", 3},
      {u"DepthSegs", 5}}},
    {u"XCone",
     {{u"Radius1", 0.25},
      {u"Radius2", 2},
      {u"Height", 3},
      {u"TopSegs", 2},
      {u"HeightSegs", 4},
      {u"Sides", 7}}},
    {u"XCylinder",
     {{u"Radius", 1.5},
      {u"Height", -2},
      {u"TopStacks", 2},
      {u"Stacks", 3},
      {u"Slices", 5},
      {u"TopCap", 0},
      {u"BottomCap", 1}}},
    {u"XTube",
     {{u"TopOuterRadius", 3},
      {u"TopInnerRadius", 2},
      {u"TopStacks", 2},
      {u"TopCap", 0},
      {u"BottomOuterRadius", 4},
      {u"BottomInnerRadius", 0.75},
      {u"BottomStacks", 5},
      {u"BottomCap", 1},
      {u"Height", -6},
      {u"Stacks", 7},
      {u"Slices", 9}}},
    {u"XFlatSurface", {{u"WidthSegs", 3}, {u"HeightSegs", 6}, {u"Width", 2}, {u"Height", -4}}},
    {u"XBSSurface",
     {{u"WidthSegs", 5}, {u"HeightSegs", 3}, {u"USteps", 11}, {u"VSteps", 6}, {u"Width", 2}, {u"Height", 3}}},
    {u"XWater", {{u"Width", 12}, {u"Height", -8}}},
};

// Offset of the last top-level chunk: the class's own payload.
size_t LastChunk(const Bytes& bytes)
{
    size_t at = 0, last = 0;
    while (at + 8 <= bytes.size())
    {
        last = at;
        at += ReadU32(&bytes[at + 4]);
    }
    return last;
}
} // namespace

TEST(XPrimitiveTest, PayloadRoundTripsByteForByte)
{
    for (const auto& [className, params] : Edited)
    {
        SCOPED_TRACE(std::string(className, className + std::char_traits<char16_t>::length(className)));
        auto object = Make(className, params);
        const Bytes bytes = Saved(*object);
        const size_t at = LastChunk(bytes);
        EXPECT_EQ(ReadU32(&bytes[at]), object->GetClassId());
        EXPECT_EQ(at + ReadU32(&bytes[at + 4]), bytes.size());

        auto loaded = Make(className);
        loaded->GetMesh(0, nullptr, nullptr);
        Load(*loaded, bytes);
        EXPECT_FALSE(loaded->IsMeshValid(0));
        EXPECT_EQ(Saved(*loaded), bytes);
        for (const auto& [name, value] : params)
            EXPECT_EQ(PrimitiveAccess::Get(*loaded, name), PrimitiveAccess::Get(*object, name));
        EXPECT_EQ(loaded->GetMesh(0, nullptr, nullptr)->GetVertexCount(),
                  object->GetMesh(0, nullptr, nullptr)->GetVertexCount());

        // An empty payload gives the defaults back (the B-spline surface keeps its sizes and points).
        if (std::u16string(className) == u"XBSSurface")
            continue;
        Load(*loaded, U32Bytes({object->GetClassId(), 8}));
        EXPECT_EQ(Saved(*loaded), Saved(*Make(className)));
    }
}

TEST(XPrimitiveTest, HostilePayloadsEndCleanly)
{
    BoxRecorder boxes; // a cone loaded with both radii 0 shows its assertion
    for (const auto& [className, params] : Edited)
    {
        SCOPED_TRACE(std::string(className, className + std::char_traits<char16_t>::length(className)));
        const Bytes bytes = Saved(*Make(className, params));
        const size_t at = LastChunk(bytes);
        const Bytes head(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        const Bytes payload(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());

        auto attempt = [&](Bytes chunk)
        {
            Bytes input = head;
            input.insert(input.end(), chunk.begin(), chunk.end());
            auto object = Make(className);
            try
            {
                Load(*object, input);
            }
            catch (const XException&)
            {
            }
            ExpectWellFormed(*object->GetMesh(0, nullptr, nullptr), std::u16string(className) == u"XWater");
        };
        // Every cut of the payload, its size word telling the truth about the cut.
        for (size_t cut = 8; cut < payload.size(); ++cut)
        {
            Bytes chunk(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(cut));
            WriteU32(&chunk[4], static_cast<uint32_t>(cut));
            attempt(chunk);
        }
        // Every word of the payload turned into 0, into 0xFFFFFFFF and into a sub-chunk size of 9.
        for (size_t word = 8; word + 4 <= payload.size(); word += 4)
            for (uint32_t value : {0u, 0xFFFFFFFFu, 9u})
            {
                Bytes chunk = payload;
                WriteU32(&chunk[word], value);
                attempt(chunk);
            }
    }
}

TEST(XPrimitiveTest, DescriptorsAndNames)
{
    const std::pair<const char16_t*, uint32_t> expected[] = {
        {u"Box", ClassId::Box},
        {u"Cone", ClassId::Cone},
        {u"Cylinder", ClassId::Cylinder},
        {u"Tube", ClassId::Tube},
        {u"FlatSurface", ClassId::FlatSurface},
        {u"BSSurface", ClassId::BSSurface},
        {u"Water", ClassId::Water},
    };
    for (size_t i = 0; i < std::size(Descs); ++i)
    {
        std::unique_ptr<XBaseMesh> object(static_cast<XBaseMesh*>(Descs[i]->Create()));
        EXPECT_EQ(Descs[i]->GetCategory(), XCAT_MESH);
        EXPECT_TRUE(object->GetClassNameW() == Descs[i]->GetClassNameW());
        EXPECT_TRUE(object->GetName() == expected[i].first);
        EXPECT_EQ(object->GetClassId(), expected[i].second);
        EXPECT_TRUE(object->AllowMouseCreate());
    }
    XBaseSurfaceDesc surfaceBase;
    EXPECT_EQ(surfaceBase.Create(), nullptr);
    EXPECT_TRUE(surfaceBase.GetClassNameW() == u"XBaseMesh");
}

TEST(XPrimitiveTest, FieldsFollowTheBaseFieldsInOrder)
{
    const std::pair<const char16_t*, std::vector<std::u16string>> expected[] = {
        {u"XBox",
         {u"Width float", u"Height float", u"Depth float", u"WidthSegs bitu32", u"HeightSegs bitu32",
          u"DepthSegs bitu32"}},
        {u"XCone",
         {u"Radius1 float", u"Radius2 float", u"Height float", u"TopSegs bitu32", u"HeightSegs bitu32",
          u"Sides bitu32"}},
        {u"XTube",
         {u"TopInnerRadius float", u"TopOuterRadius float", u"TopStacks bitu32", u"TopCap bool",
          u"BottomInnerRadius float", u"BottomOuterRadius float", u"BottomStacks bitu32", u"BottomCap bool",
          u"Height float", u"Stacks bitu32", u"Slices bitu32"}},
        {u"XCylinder", {}},
        {u"XWater", {}},
    };
    XPtrArray<XObjectField, 16> base;
    XBaseObject plain;
    plain.EnumerateFields(base);
    for (const auto& [className, fields] : expected)
    {
        XPtrArray<XObjectField, 16> all;
        Make(className)->EnumerateFields(all);
        ASSERT_EQ(all.GetCount(), base.GetCount() + fields.size());
        for (size_t i = 0; i < fields.size(); ++i)
        {
            const XObjectField* f = all[static_cast<uint32_t>(base.GetCount() + i)];
            EXPECT_EQ(std::u16string(f->GetName().c_str()) + u" " + f->GetTypeName().c_str(), fields[i]);
        }
    }
}
