#include "Engine/Objects/XCylinder.h"

#include "Components/XVariant.h"
#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/PlaneViewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

TEST(XCylinderTest, PropertiesPrecedeTheBaseRows)
{
    XCylinder cylinder;
    XBaseObject plain;
    ASSERT_EQ(cylinder.GetPropertyCount(), plain.GetPropertyCount() + 7);
    const char16_t* names[] = {u"Radius", u"Height", u"TopStacks", u"Stacks",
                               u"Slices", u"TopCap", u"BottomCap"};
    for (unsigned i = 0; i < 7; ++i)
    {
        EXPECT_EQ(cylinder.GetPropertyDesc(i)->Id, 0x5A930001u + i);
        EXPECT_EQ(std::u16string(cylinder.GetPropertyDesc(i)->Name), names[i]);
    }
    EXPECT_EQ(cylinder.GetPropertyDesc(7), plain.GetPropertyDesc(0));
    EXPECT_EQ(cylinder.GetPropertyDesc(cylinder.GetPropertyCount()), nullptr);

    // Other ids reach the base: the name.
    VarUtils::XVariant value;
    value = XString(u"Pipe");
    cylinder.SetPropertyValue(XPID_NAME, value);
    EXPECT_TRUE(cylinder.GetName() == u"Pipe");
}

TEST(XCylinderTest, CapFlagsAreOneByteSubChunks)
{
    XCylinder cylinder;
    cylinder.SetBottomCap(false);
    const std::vector<uint8_t> bytes = SavedBytes([&](XWriter& w) { cylinder.Save(nullptr, w); });
    // The payload: 5 sub-chunks of 12 bytes, then two of 9.
    const size_t at = bytes.size() - (8 + 5 * 12 + 2 * 9);
    EXPECT_EQ(ReadU32(&bytes[at]), 0x5A930000u);
    EXPECT_EQ(ReadU32(&bytes[at + 8 + 5 * 12]), 0x5A930006u);
    EXPECT_EQ(ReadU32(&bytes[at + 8 + 5 * 12 + 4]), 9u);
    EXPECT_EQ(bytes[at + 8 + 5 * 12 + 8], 1);
    EXPECT_EQ(ReadU32(&bytes[at + 8 + 5 * 12 + 9 + 4]), 9u);
    EXPECT_EQ(bytes.back(), 0);
}

TEST(XCylinderTest, CapsComeAfterTheSideInOrder)
{
    XCylinder cylinder;
    cylinder.SetTopCap(false);
    XMesh* mesh = cylinder.GetMesh(0, nullptr, nullptr);
    // Only the bottom cap: its centre directly follows the side grid, facing down.
    ASSERT_EQ(mesh->GetVertexCount(), 39u);
    EXPECT_EQ(mesh->GetVertices()[26].y, -0.5f);
    EXPECT_EQ(mesh->GetVertices()[26].x, 0.0f);
    EXPECT_EQ(mesh->GetNormals()[38].y, -1.0f);
    const XFace& fan = mesh->GetFaces()[24];
    EXPECT_EQ(fan.v[1], 26u);
    // Side texture vertices: (i/S, 1 - j/N); the cap ring's lies on the circle of radius 0.5.
    EXPECT_FLOAT_EQ(mesh->GetTextureVertices()[13 + 3].u, 0.25f);
    EXPECT_FLOAT_EQ(mesh->GetTextureVertices()[13 + 3].v, 0.0f);
    const XTextureVertex t = mesh->GetTextureVertices()[27 + 3];
    EXPECT_NEAR(std::hypot(t.u - 0.5f, t.v - 0.5f), 0.5f, 1e-6f);

    cylinder.SetHeight(-5);
    EXPECT_EQ(cylinder.GetHeight(), -5.0f);
    EXPECT_FLOAT_EQ(cylinder.GetBoundingBox(0).max.y, 2.5f);
    EXPECT_FLOAT_EQ(cylinder.GetMesh(0, nullptr, nullptr)->GetVertices()[0].y, 2.5f);
}

TEST(XCylinderTest, MouseCreationStandsTheAxisOnThePlane)
{
    PlaneViewport viewport(XAXIS_XY);
    XMeshNode node;
    XCylinder cylinder;
    cylinder.MouseCreateStart();
    EXPECT_EQ(cylinder.GetRadius(), 0.001f);
    EXPECT_FALSE(cylinder.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(1, 1), 0));
    // The node turned a quarter about x: its local y axis now runs along world z.
    XMatrix m;
    node.GetLocalMatrix(m);
    EXPECT_NEAR(m.m[1][2], 1.0f, 1e-6f);
    EXPECT_FALSE(cylinder.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(4, 5), 0));
    EXPECT_FLOAT_EQ(cylinder.GetRadius(), 5.0f);
    EXPECT_FALSE(cylinder.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(4, 5), 0));
    EXPECT_FALSE(cylinder.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(0, -4), 0));
    EXPECT_FLOAT_EQ(cylinder.GetHeight(), -4.0f); // signed
    EXPECT_FLOAT_EQ(node.GetPosition().z, -2.0f);
    EXPECT_EQ(node.GetPosition().x, 1.0f);
    EXPECT_TRUE(cylinder.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(0, -4), 0));
}
