#include "tests/support/ViewportDouble.h"

#include "tests/support/MathChecks.h"

#include <gtest/gtest.h>

#include <cmath>

// The double stands in for the viewport in the picking and mouse-creation tests of scene objects:
// its mappings are checked here against values worked out by hand.
TEST(ViewportDoubleTest, MappingsFollowTheCamera)
{
    ViewportDouble vp;
    vp.width = 200;
    vp.height = 100;
    EXPECT_EQ(vp.GetPlaneAxis(), 5u);
    XMatrix quarterX;
    quarterX.SetRotation(1.57079637f, 0, 0);
    EXPECT_LT(MaxDiff(vp.GetGridMatrix(), quarterX), 1e-7f);
    vp.SetPlaneAxis(5);
    vp.SetPlaneAxis(9); // refused
    EXPECT_EQ(vp.GetPlaneAxis(), 5u);

    // Orthographic camera looking down +z from z = -10, a 20 x 10 window.
    XMatrix world(1.0f);
    world.SetTranslation(0, 0, -10);
    vp.SetCameraWorld(world);
    vp.SetOrthographic(20, 10, 1, 100);

    // Screen (150, 25): x = (1.5 - 1) * 10 = 5, y = -(0.5 - 1) * 5 = 2.5.
    ExpectVertex(vp.ScreenToCamera(0, XPoint(150, 25)), 5, 2.5f, 1, 1e-5f);
    ExpectVertex(vp.ScreenToPlane(0, XPoint(150, 25), XAXIS_XY), 5, 2.5f, 0, 1e-4f);
    ExpectVertex(vp.ScreenToPlane(0, XPoint(150, 25), XAXIS_X), 5, 0, 0, 1e-4f);
    ExpectVertex(vp.ScreenToPlane(0, XPoint(150, 25), 0), 0, 0, 0);
    // The ray is parallel to y = 0 and x = 0: those planes leave the hit at 0.
    ExpectVertex(vp.ScreenToPlane(0, XPoint(150, 25), XAXIS_XZ), 0, 0, 0);
    ExpectVertex(vp.ScreenToPlane(0, XPoint(150, 25), XAXIS_XYZ), 5, 2.5f, 0, 1e-4f);
    XVertex origin, direction;
    vp.GetPickRay(0, XPoint(150, 25), origin, direction, XMatrix(1.0f));
    ExpectVertex(origin, 5, 2.5f, -9, 1e-4f);
    ExpectVertex(direction, 0, 0, 1, 1e-6f);
    XVertex out;
    ExpectVertex(vp.GetRayOrigin(0, XVertex(150, 25, 0), out), 5, 2.5f, -9, 1e-4f);
    // In the space of an object moved by (1, 0, 0), the hit moves the other way.
    XMatrix moved(1.0f);
    moved.SetTranslation(1, 0, 0);
    ExpectVertex(vp.ScreenToPlane(0, XPoint(150, 25), XAXIS_XY, moved), 4, 2.5f, 0, 1e-4f);

    // Perspective: the ray starts at the camera wherever the point is, and a hit beyond 10000
    // reads 0.
    vp.SetPerspective(1.0f, 2.0f, 1, 100);
    vp.GetRayOrigin(0, XVertex(3, 97, 0), out);
    ExpectVertex(out, 0, 0, -10);
    XMatrix up(1.0f); // camera at y = 1 looking almost along z: hits y = 0 far away
    up.SetRotationX(-0.00005f);
    up.m[3][1] = 1;
    vp.SetCameraWorld(up);
    XVertex far = vp.ScreenToPlane(0, XPoint(100, 50), XAXIS_XZ);
    EXPECT_EQ(far.z, 0.0f);
    EXPECT_EQ(far.x, 0.0f);
}
