#include "Engine/Objects/XBSSurface.h"

#include "Components/XBSpline.h"
#include "Components/XException.h"
#include "Engine/Editors/XPointListEditor.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MeshSceneLinkDouble.h"
#include "tests/support/PlaneViewport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
XArray<XVertex, 32> Points(const std::vector<XVertex>& points)
{
    XArray<XVertex, 32> array;
    for (const XVertex& p : points)
        array.Add(p);
    return array;
}

bool Same(const XVertex& a, const XVertex& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
} // namespace

TEST(XBSSurfaceTest, PointListInterface)
{
    XBSSurface surface;
    const uint8_t guidBytes[16] = {0xB7, 0xCA, 0x4E, 0x20, 0x2B, 0x03, 0x7B, 0x40,
                                   0x7A, 0xBC, 0x86, 0xD4, 0xE0, 0x2E, 0x4F, 0xB2};
    EXPECT_EQ(std::memcmp(&IPointListGuid, guidBytes, 16), 0);
    auto* list = static_cast<IPointList*>(surface.GetInterface(IPointListGuid));
    ASSERT_EQ(list, static_cast<IPointList*>(&surface));
    EXPECT_EQ(surface.GetInterface(XGuid(0x204ECAB7, 0x032B, 0x407B, 0xD486BC7A, 0xB24F2EE1)), nullptr);

    // The default points: a flat 5 x 5 grid, row by row from the top.
    ASSERT_EQ(list->GetPointCount(), 25u);
    EXPECT_TRUE(Same(list->GetPoint(3), XVertex(0.25f, 0.5f, 0)));
    EXPECT_TRUE(Same(list->GetPointsPtr()[24], XVertex(0.5f, -0.5f, 0)));
    list->SetPointCount(3); // the grid decides the count
    EXPECT_EQ(list->GetPointCount(), 25u);

    surface.GetMesh(0, nullptr, nullptr);
    try
    {
        list->SetPoint(25, XVertex(9, 9, 9));
        ADD_FAILURE() << "no throw";
    }
    catch (const char* text)
    {
        EXPECT_STREQ(text, "Out of range.");
    }
    EXPECT_TRUE(surface.IsMeshValid(0));
    EXPECT_THROW(list->GetPoint(25), const char*);

    list->SetPoint(12, XVertex(0, 0, 1));
    EXPECT_FALSE(surface.IsMeshValid(0));
    XArray<XVertex, 32> copy;
    list->GetPoints(copy);
    ASSERT_EQ(copy.GetCount(), 25u);
    EXPECT_EQ(copy[12].z, 1.0f);
    EXPECT_FLOAT_EQ(surface.GetBoundingBox(0).max.z, 1.0f);

    // SetPoints copies what both hold: fewer points change only the first ones, more are cut.
    surface.GetMesh(0, nullptr, nullptr);
    list->SetPoints(Points({XVertex(7, 7, 7), XVertex(8, 8, 8)}));
    EXPECT_FALSE(surface.IsMeshValid(0));
    EXPECT_TRUE(Same(list->GetPoint(1), XVertex(8, 8, 8)));
    EXPECT_EQ(list->GetPoint(12).z, 1.0f);
    list->SetPoints(Points(std::vector<XVertex>(30, XVertex(1, 2, 3))));
    EXPECT_EQ(list->GetPointCount(), 25u);
    EXPECT_TRUE(Same(list->GetPoint(24), XVertex(1, 2, 3)));

    // New segment counts lay the grid out again.
    surface.SetWidthSegs(5);
    EXPECT_EQ(list->GetPointCount(), 30u);
    EXPECT_TRUE(Same(list->GetPoint(0), XVertex(-0.5f, 0.5f, 0)));
}

TEST(XBSSurfaceTest, ControlPointsShapeTheSurfaceLocally)
{
    XBSSurface surface;
    const XMesh* mesh = surface.GetMesh(0, nullptr, nullptr);
    for (uint32_t i = 0; i < 100; ++i)
        ASSERT_EQ(mesh->GetVertices()[i].z, 0.0f);
    EXPECT_EQ(mesh->GetNormals()[55].z, -1.0f);
    const std::vector<XVertex> flat(mesh->GetVertices(), mesh->GetVertices() + 100);

    // Corner point 0 bends only the samples whose u and v are both below the first interior knot
    // (a third of the way, sample 3 of 9).
    surface.SetPoint(0, XVertex(-0.5f, 0.5f, 2));
    mesh = surface.GetMesh(0, nullptr, nullptr);
    EXPECT_EQ(mesh->GetVertices()[0].z, 2.0f); // the corner interpolates
    EXPECT_GT(mesh->GetVertices()[10 + 1].z, 0.0f);
    for (uint32_t r = 0; r <= 9; ++r)
        for (uint32_t s = 0; s <= 9; ++s)
        {
            if (r >= 3 || s >= 3)
            {
                ASSERT_TRUE(Same(mesh->GetVertices()[r * 10 + s], flat[r * 10 + s])) << r << " " << s;
            }
        }

    // The patch is the order-3 evaluation of the points with unit weights, sample for sample.
    std::mt19937 random(22);
    std::uniform_real_distribution<float> coordinate(-5, 5);
    surface.SetWidthSegs(6);
    surface.SetHeightSegs(4);
    surface.SetUSteps(13);
    surface.SetVSteps(7);
    std::vector<XVertex> points(35);
    for (XVertex& p : points)
        p = XVertex(coordinate(random), coordinate(random), coordinate(random));
    surface.SetPoints(Points(points));
    mesh = surface.GetMesh(0, nullptr, nullptr);
    std::vector<XVertex> expected(14 * 8);
    const std::vector<float> weights(35, 1.0f);
    EvaluateBSplineSurface(points.data(), weights.data(), 3, 3, 7, 5, 14, 8, expected.data());
    ASSERT_EQ(mesh->GetVertexCount(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_TRUE(Same(mesh->GetVertices()[i], expected[i])) << i;
}

TEST(XBSSurfaceTest, PointsChunkOverwritesTheFirstPoints)
{
    XBSSurface surface;
    surface.SetPoint(24, XVertex(0, 0, 5));
    const float one = 1.0f;
    uint32_t oneBits;
    std::memcpy(&oneBits, &one, 4);
    // Two points: only they change, the rest stay.
    std::vector<uint8_t> bytes = U32Bytes(
        {0xF8720000, 8 + 12 + 36, 0xF8720001, 12, 4, 0xF8720007, 36, 2, oneBits, oneBits, oneBits, 0, 0, 0});
    LoadEachChunk(bytes, [&](XReader& r) { surface.Load(nullptr, r); });
    EXPECT_EQ(surface.GetPointCount(), 25u);
    EXPECT_TRUE(Same(surface.GetPoint(0), XVertex(1, 1, 1)));
    EXPECT_TRUE(Same(surface.GetPoint(1), XVertex(0, 0, 0)));
    EXPECT_EQ(surface.GetPoint(24).z, 5.0f);

    // A count beyond the chunk's bytes is refused before anything is read.
    bytes = U32Bytes({0xF8720000, 8 + 24, 0xF8720007, 24, 1000, oneBits, oneBits, oneBits});
    EXPECT_THROW(LoadEachChunk(bytes, [&](XReader& r) { surface.Load(nullptr, r); }), FileUtils::XIOError);
    EXPECT_EQ(surface.GetPointCount(), 25u);
    EXPECT_TRUE(Same(surface.GetPoint(0), XVertex(1, 1, 1)));
}

TEST(XBSSurfaceTest, EditPushesTheScenesPointListEditorBoundToTheSurfaceAndNode)
{
    XScene scene(nullptr);
    scene.AddClass(&BSSurfaceDesc);
    XMeshNode* node = scene.CreateNode(XString(u"XBSSurface"), nullptr, u"Surface");
    auto* surface = static_cast<XBSSurface*>(node->GetMesh());
    EXPECT_TRUE(surface->Editable());
    surface->Edit(&scene, node);
    auto* editor = dynamic_cast<XPointListEditor*>(scene.GetEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetMesh(), surface);
    EXPECT_EQ(editor->GetNode(), node);
    EXPECT_EQ(scene.FindEditor(XString(u"XPointListEditor")), editor);
}

TEST(XBSSurfaceTest, MouseCreationLaysThePointsOut)
{
    PlaneViewport viewport(XAXIS_XY);
    XMeshNode node;
    XBSSurface surface;
    surface.MouseCreateStart();
    EXPECT_FLOAT_EQ(surface.GetPoint(24).x, 0.0005f);
    EXPECT_FALSE(surface.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(1, 1), 0));
    EXPECT_FALSE(surface.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(3, -2), 0));
    EXPECT_EQ(surface.GetWidth(), 2.0f);
    EXPECT_EQ(surface.GetHeight(), -3.0f);
    EXPECT_TRUE(Same(surface.GetPoint(24), XVertex(1, -1.5f, 0)));
    EXPECT_TRUE(Same(node.GetPosition(), XVertex(2, -0.5f, 0)));
    EXPECT_TRUE(surface.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(3, -2), 0));
}
