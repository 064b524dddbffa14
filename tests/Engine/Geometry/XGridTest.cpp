#include "Engine/Geometry/XGrid.h"

#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ByteData.h"
#include "tests/support/MathChecks.h"
#include "tests/support/ShapeChecks.h"

#include <gtest/gtest.h>

#include <vector>

TEST(XGridTest, LineCountsFollowTheCells)
{
    struct Case
    {
        unsigned widthSegs, heightSegs;
        uint32_t points, edges;
    };
    const Case cases[] = {{8, 8, 36, 18}, {40, 40, 164, 82}, {2, 2, 12, 6}, {128, 3, 266, 133}};
    for (const Case& c : cases)
    {
        XGrid grid;
        if (c.widthSegs != 8)
            grid.SetGridParams(c.widthSegs, c.heightSegs, 40, 40);
        grid.GetBoundingBox(0);
        grid.ShapeBuild();
        EXPECT_EQ(grid.GetPoints().GetCount(), c.points) << c.widthSegs;
        EXPECT_EQ(grid.GetEdges().GetCount(), c.edges) << c.widthSegs;
    }
}

TEST(XGridTest, LinesRunAcrossThenDownAndIgnoreTheSign)
{
    for (float width : {4.0f, -4.0f})
    {
        XGrid grid;
        grid.SetGridParams(2, 2, width, 2);
        grid.ShapeBuild();
        const std::vector<XVertex> expected = {{-2, 1, 0},  {2, 1, 0},  {-2, 0, 0}, {2, 0, 0},
                                               {-2, -1, 0}, {2, -1, 0}, {-2, 1, 0}, {-2, -1, 0},
                                               {0, 1, 0},   {0, -1, 0}, {2, 1, 0},  {2, -1, 0}};
        ASSERT_EQ(grid.GetPoints().GetCount(), expected.size());
        for (uint32_t i = 0; i < expected.size(); ++i)
            ExpectVertex(grid.GetPoints()[i], expected[i]);
        for (uint32_t i = 0; i < 6; ++i)
        {
            EXPECT_EQ(grid.GetEdges()[i].a, 2 * i);
            EXPECT_EQ(grid.GetEdges()[i].b, 2 * i + 1);
        }
        const XBoundingBox box = grid.GetBoundingBox(0);
        ExpectVertex(box.min, -2, -1, -0.001f);
        ExpectVertex(box.max, 2, 1, 0.001f);
    }
}

TEST(XGridTest, SettersClampAndInvalidate)
{
    XGrid grid;
    EXPECT_TRUE(grid.GetName() == u"Grid");
    std::vector<std::u16string> fields = kShapeFields;
    fields.insert(fields.end(), {u"Width:float", u"Height:float", u"WidthSegs:bitu32", u"HeightSegs:bitu32"});
    EXPECT_EQ(FieldList(grid), fields);

    grid.SetGridParams(0, 500, 5000, -5000);
    EXPECT_EQ(grid.GetWidthSegs(), 2u);
    EXPECT_EQ(grid.GetHeightSegs(), 128u);
    EXPECT_EQ(grid.GetWidth(), 1000.0f);
    EXPECT_EQ(grid.GetHeight(), -1000.0f);
    grid.SetWidthSegs(1);
    EXPECT_EQ(grid.GetWidthSegs(), 2u);
    grid.SetHeightSegs(129);
    EXPECT_EQ(grid.GetHeightSegs(), 128u);

    // Equal values leave the outline built; changes and SetGridParams do not.
    grid.ShapeBuild();
    grid.SetWidth(1000);
    grid.SetWidthSegs(2);
    EXPECT_TRUE(grid.IsShapeValid(0));
    grid.SetHeight(3);
    EXPECT_FALSE(grid.IsShapeValid(0));
    grid.ShapeBuild();
    grid.SetGridParams(2, 128, 1000, 3);
    EXPECT_FALSE(grid.IsShapeValid(0));
}

TEST(XGridTest, SweptLinesFollowTheirPoints)
{
    XGrid grid;
    grid.SetMeshEnabled(true);
    XMesh* mesh = grid.GetMesh(0, nullptr, nullptr);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetVertexCount(), 36u * 9);
    EXPECT_EQ(mesh->GetFaceCount(), 18u * 16);
    ExpectSweptMeshSound(*mesh);
    // The point normals are the points' directions, also after a resize that keeps the counts.
    grid.SetWidth(10);
    grid.GetMesh(0, nullptr, nullptr);
    const XVertex first = grid.GetPoints()[0];
    ExpectVertex(first, -5, 0.5f, 0);
    ExpectVertex(grid.GetPointNormals()[0], first / first.Length(), 1e-6f);
}

TEST(XGridTest, SavesItsParametersAfterTheShapeBlock)
{
    XGrid grid;
    grid.SetGridParams(40, 12, 40, -7.5f);
    grid.SetMeshEnabled(true);
    grid.SetMeshSides(5);
    const std::vector<uint8_t> bytes = ExpectRoundTrip(grid);
    // ... 0x99120000 (80 bytes), then 0x76450000 with four one-value chunks.
    ASSERT_GE(bytes.size(), 136u);
    const size_t at = bytes.size() - 56;
    EXPECT_EQ(ReadU32(&bytes[at - 80]), 0x99120000u);
    EXPECT_EQ(ReadU32(&bytes[at]), 0x76450000u);
    EXPECT_EQ(ReadU32(&bytes[at + 4]), 56u);
    EXPECT_EQ(ReadU32(&bytes[at + 32]), 0x76450003u);
    EXPECT_EQ(ReadU32(&bytes[at + 40]), 40u);

    // Loading over a built grid rebuilds it from the loaded values, defaults included.
    XGrid loaded;
    loaded.SetGridParams(3, 3, 9, 9);
    loaded.ShapeBuild();
    LoadObject(loaded, U32Bytes({0x76450000, 20, 0x76450003, 12, 4}));
    EXPECT_FALSE(loaded.IsShapeValid(0));
    EXPECT_EQ(loaded.GetWidth(), 1.0f);
    EXPECT_EQ(loaded.GetWidthSegs(), 4u);
    EXPECT_EQ(loaded.GetHeightSegs(), 8u);
}

TEST(XGridTest, DescriptorAndMouseCreation)
{
    XBaseObject* made = GridDesc.Create();
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->GetClassNameW() == u"XGrid");
    EXPECT_EQ(made->GetClassId(), 0x76450000u);
    EXPECT_TRUE(GridDesc.GetClassNameW() == u"XGrid");
    EXPECT_EQ(GridDesc.GetCategory(), 0x1100000u);
    made->Destroy();

    XGrid grid;
    XMeshNode node;
    ScriptedPlaneViewport viewport;
    viewport.SetPlaneAxis(XAXIS_XZ);
    EXPECT_TRUE(grid.AllowMouseCreate());
    grid.MouseCreateStart();
    EXPECT_EQ(grid.GetWidth(), 0.001f);
    EXPECT_FALSE(grid.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(1, 1), 0));
    EXPECT_FALSE(grid.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(4, 3), 0));
    // XZ: width from x, height from z.
    EXPECT_EQ(grid.GetWidth(), 3.0f);
    EXPECT_EQ(grid.GetHeight(), 23.0f);
    ExpectVertex(node.GetPosition(), 2.5f, 2, 22.5f);
    EXPECT_TRUE(grid.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(4, 3), 0));
}
