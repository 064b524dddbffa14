#include "Engine/Objects/XFlatSurface.h"

#include "Components/XVariant.h"
#include "Engine/Objects/XBSSurface.h"
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

// The property list and its values go through the same setters (and their clamps) as the code.
TEST(XFlatSurfaceTest, PropertyValuesGoThroughTheSetters)
{
    XFlatSurface flat;
    XBSSurface spline;
    struct Case
    {
        XBaseObject* object;
        unsigned index;
        double in;
        double out;
    };
    const Case cases[] = {
        {&flat, 0, 5, 5},       {&flat, 1, 0, 1},        {&flat, 2, 2.5, 2.5}, {&flat, 3, -3.5, -3.5},
        {&spline, 0, 5, 5},     {&spline, 1, 1000, 256}, {&spline, 2, 2, 5},   {&spline, 3, 300, 256},
        {&spline, 4, 2.5, 2.5}, {&spline, 5, 1.5, 1.5},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.index);
        const unsigned id = c.object->GetPropertyDesc(c.index)->Id;
        VarUtils::XVariant value;
        // Counts travel as unsigned, sizes as float.
        if (c.object->GetPropertyDesc(c.index)->TypeName == std::u16string(u"bitu32"))
            value = static_cast<unsigned>(c.in);
        else
            value = static_cast<float>(c.in);
        c.object->SetPropertyValue(id, value);
        VarUtils::XVariant back;
        c.object->GetPropertyValue(id, back);
        EXPECT_EQ(back.AsDouble(), c.out);
    }
    EXPECT_EQ(flat.GetWidthSegs(), 5u);
    EXPECT_EQ(spline.GetUSteps(), 5u);

    // Other ids reach the base: the name.
    VarUtils::XVariant name;
    name = XString(u"Sheet");
    spline.SetPropertyValue(XPID_NAME, name);
    EXPECT_TRUE(spline.GetName() == u"Sheet");
}
