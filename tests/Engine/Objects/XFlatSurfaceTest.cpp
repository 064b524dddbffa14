#include "Engine/Objects/XFlatSurface.h"

#include "Engine/Scene/XMeshNode.h"
#include "tests/support/PlaneViewport.h"

#include <gtest/gtest.h>

#include <string>

TEST(XFlatSurfaceTest, SheetFacesDownTheZAxis)
{
    XFlatSurface surface;
    surface.SetWH(-2, 4);
    const XMesh* mesh = surface.GetMesh(0, nullptr, nullptr);
    ASSERT_EQ(mesh->GetVertexCount(), 25u);
    for (uint32_t i = 0; i < 25; ++i)
        ASSERT_EQ(mesh->GetNormals()[i].z, -1.0f);
    EXPECT_EQ(mesh->GetVertices()[0].x, -1.0f);
    EXPECT_EQ(mesh->GetVertices()[0].y, 2.0f);
    EXPECT_EQ(mesh->GetVertices()[24].x, 1.0f);
    EXPECT_EQ(mesh->GetVertices()[24].y, -2.0f);
    EXPECT_EQ(mesh->GetTextureVertices()[7].u, 0.5f);
    EXPECT_EQ(mesh->GetTextureVertices()[7].v, 0.25f);
    const XBoundingBox b = surface.GetBoundingBox(0);
    EXPECT_EQ(b.min.x, -1.0f);
    EXPECT_EQ(b.max.z, 0.001f);

    // Own rows first, then the base's.
    const char16_t* names[] = {u"WidthSegs", u"HeightSegs", u"Width", u"Height"};
    XBaseObject plain;
    for (unsigned i = 0; i < 4; ++i)
        EXPECT_EQ(std::u16string(surface.GetPropertyDesc(i)->Name), names[i]);
    EXPECT_EQ(surface.GetPropertyDesc(4), plain.GetPropertyDesc(0));
}

TEST(XFlatSurfaceTest, MouseCreationOnTheYZPlane)
{
    PlaneViewport viewport(XAXIS_YZ);
    XMeshNode node;
    XFlatSurface surface;
    surface.MouseCreateStart();
    EXPECT_EQ(surface.GetWidth(), 0.001f);
    EXPECT_FALSE(surface.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(5, 5), 0)); // no press yet
    EXPECT_EQ(surface.GetWidth(), 0.001f);
    EXPECT_FALSE(surface.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(1, 1), 0));
    EXPECT_FALSE(surface.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(4, 3), 0));
    EXPECT_EQ(surface.GetWidth(), 3.0f); // along z
    EXPECT_EQ(surface.GetHeight(), 2.0f);
    EXPECT_EQ(node.GetPosition().z, 2.5f);
    EXPECT_EQ(node.GetPosition().y, 2.0f);
    EXPECT_TRUE(surface.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(4, 3), 0));
}
