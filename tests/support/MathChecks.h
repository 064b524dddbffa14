// Checks and small independent computations for vectors and matrices.
#pragma once

#include "Components/XMatrix.h"

#include <gtest/gtest.h>

#include <cmath>

// Each coordinate within eps of the expected one (exactly equal by default).
inline void ExpectVertex(const XVertex& v, float x, float y, float z, float eps = 0.0f)
{
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

inline void ExpectVertex(const XVertex& v, const XVertex& expected, float eps = 0.0f)
{
    ExpectVertex(v, expected.x, expected.y, expected.z, eps);
}

// The point transformed by the matrix.
inline XVertex Apply(const XMatrix& m, XVertex v)
{
    m.ApplyTo(&v, 1);
    return v;
}

// Largest absolute element difference.
inline float MaxDiff(const XMatrix& a, const XMatrix& b)
{
    float d = 0;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            d = std::fmax(d, std::fabs(a.m[r][c] - b.m[r][c]));
    return d;
}
