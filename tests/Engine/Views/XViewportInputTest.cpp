#include "Engine/Views/XViewportInput.h"

#include "tests/support/MathChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(XViewportInputTest, ButtonsAndShiftStatesConvertByTheirTables)
{
    EXPECT_EQ(XMouseEventFromButton(mbLeft, true), 0x01u);
    EXPECT_EQ(XMouseEventFromButton(mbLeft, false), 0x02u);
    EXPECT_EQ(XMouseEventFromButton(mbMiddle, true), 0x04u);
    EXPECT_EQ(XMouseEventFromButton(mbMiddle, false), 0x08u);
    EXPECT_EQ(XMouseEventFromButton(mbRight, true), 0x10u);
    EXPECT_EQ(XMouseEventFromButton(mbRight, false), 0x20u);
    EXPECT_EQ(XMouseEventFromButton(static_cast<TMouseButton>(7), true), 0u);
    struct Row
    {
        TShiftStateItem item;
        int x;
        int gx;
    };
    const Row rows[] = {{ssCtrl, 0x01, 0x10}, {ssShift, 0x02, 0x08}, {ssAlt, 0x04, 0x20},
                        {ssLeft, 0x08, 0x01}, {ssRight, 0x10, 0x04}, {ssMiddle, 0x20, 0x02},
                        {ssDouble, 0, 0}};
    TShiftState all;
    for (const Row& r : rows)
    {
        SCOPED_TRACE(r.item);
        EXPECT_EQ(ToXShiftState(TShiftState{r.item}), r.x);
        EXPECT_EQ(ToGxShiftState(TShiftState{r.item}), r.gx);
        all << r.item;
    }
    EXPECT_EQ(ToXShiftState(all), 0x3F);
    EXPECT_EQ(ToGxShiftState(all), 0x3F);
    EXPECT_EQ(ToGxShiftState(TShiftState{ssShift, ssCtrl}), 0x18);
}

TEST(XViewportInputTest, PanTurnRollOrbitAndZoomMoveTheCameraAsComputed)
{
    using namespace XNavigation;
    // A camera turned a quarter about Y and standing at (5, 2, -7).
    XMatrix world;
    world.SetRotation(0.0f, 1.5707964f, 0.0f);
    world.m[3][0] = 5.0f;
    world.m[3][1] = 2.0f;
    world.m[3][2] = -7.0f;
    XMatrix view;
    world.Inverse(view);
    const XVertex position(5.0f, 2.0f, -7.0f);
    const XVertex ownX(world.m[0][0], world.m[0][1], world.m[0][2]);

    // Pan: one pixel right in a 200-wide orthographic view with P[0][0] = 0.01 is 2 / (200 * 0.01)
    // units; the camera moves that far against its own x.
    const float p00 = 0.01f;
    XVertex b(0.0f, 0.0f, 1.0f);
    XVertex a(2.0f / (200.0f * p00), 0.0f, 1.0f);
    XMatrix panned = Pan(world, a, b);
    ExpectVertex(Apply(panned, XVertex(0, 0, 0)), position - ownX * 1.0f, 1e-5f);

    // Turn: 10 pixels to the right from the centre inside the trackball: 5 degrees (pi 3.14)
    // about the camera's own Y, in place.
    XMatrix r = TurnRotation(true, XPoint(110, 50), XPoint(100, 50), a, b);
    XMatrix expected;
    expected.SetRotation(0.0f, 5.0f * 3.14f / 180.0f, 0.0f);
    EXPECT_LT(MaxDiff(r, expected), 1e-6f);
    XMatrix turned = Turn(world, view, r);
    ExpectVertex(Apply(turned, XVertex(0, 0, 0)), position, 1e-4f);
    XMatrix direct = r * world;
    EXPECT_LT(MaxDiff(turned, direct), 1e-5f);

    // Roll outside the trackball: about Z only, by the change of angle from the last point to this
    // one, without a jump across the vertical through the centre.
    XMatrix roll = TurnRotation(false, XPoint(0, 0), XPoint(0, 0), XVertex(-0.01f, 1.0f, 1.0f),
                                XVertex(0.01f, 1.0f, 1.0f));
    float rz = std::atan2(roll.m[0][1], roll.m[0][0]);
    EXPECT_NEAR(rz, -0.02f, 1e-4f);
    EXPECT_FLOAT_EQ(roll.m[2][2], 1.0f); // nothing about X or Y
    XMatrix still = TurnRotation(false, XPoint(0, 0), XPoint(9, 9), XVertex(0, 0, 1), XVertex(1, 1, 1));
    EXPECT_LT(MaxDiff(still, XMatrix(1.0f)), 1e-7f);
    XMatrix half = TurnRotation(false, XPoint(0, 0), XPoint(0, 0), XVertex(-1, 0, 1), XVertex(1, 0, 1));
    EXPECT_NEAR(std::fabs(std::atan2(half.m[0][1], half.m[0][0])), 3.14159f, 1e-4f);

    // Orbit about k keeps the camera's distance to k.
    XVertex k(1.0f, 0.0f, 3.0f);
    XMatrix orbited = Orbit(world, expected, k);
    XVertex moved = Apply(orbited, XVertex(0, 0, 0));
    auto distance = [](XVertex p, XVertex q)
    { return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z)); };
    EXPECT_NEAR(distance(moved, k), distance(position, k), 1e-4f);
    EXPECT_GT(distance(moved, position), 0.1f);

    // Trackball and zoom.
    XMatrix projection(1.0f);
    projection.m[0][0] = 2.0f;
    EXPECT_FLOAT_EQ(TrackballRadius(200, 100, projection), 100.0f * 1.01f / 400.0f);
    projection.m[0][0] = -2.0f;
    EXPECT_FLOAT_EQ(TrackballRadius(200, 100, projection), 100.0f * 1.01f / 400.0f);
    EXPECT_TRUE(InsideTrackball(XVertex(0.1f, 0.2f, 1.0f), 0.25f));
    EXPECT_FALSE(InsideTrackball(XVertex(0.2f, 0.2f, 1.0f), 0.25f));
    float f = 0.0f;
    ASSERT_TRUE(ZoomFactor(XVertex(0, 0.3f, 1), XVertex(0, 0.1f, 1), 0.5f, f));
    EXPECT_FLOAT_EQ(f, 0.2f / 0.5f + 1.0f);
    f = 7.0f;
    EXPECT_FALSE(ZoomFactor(XVertex(0, 1, 1), XVertex(0, 0, 1), 0.0f, f));
    EXPECT_FALSE(ZoomFactor(XVertex(0, 1, 1), XVertex(0, 0, 1), std::numeric_limits<float>::quiet_NaN(), f));
    EXPECT_FALSE(ZoomFactor(XVertex(0, 1, 1), XVertex(0, 0, 1), std::numeric_limits<float>::infinity(), f));
    EXPECT_FLOAT_EQ(f, 7.0f);
}
