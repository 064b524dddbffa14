// Rational B-spline surface tessellation: open uniform knot vectors, the Cox-de Boor basis of one
// parameter direction, and the evaluator that turns a grid of weighted control points into a
// regular grid of points.
//
// Orders, not degrees: order c is polynomial degree c - 1. Control point (i, j) of a countU x
// countV grid is at index countU * j + i, with its weight at the same index; output point (s, r)
// of a stepsU x stepsV grid is at index stepsU * r + s.
#pragma once

#include "Components/XVertex.h"

#include <cstdint>

// Fixed-size checked array for the evaluator's knots and basis values. Access at or past the
// count throws the plain text "Out of bounds.".
template <class T> class Array
{
public:
    Array(uint32_t count, const T& fill) : m_Data(count ? new T[count] : nullptr), m_Count(count)
    {
        for (uint32_t i = 0; i < count; ++i)
            m_Data[i] = fill;
    }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    ~Array() { delete[] m_Data; }

    T* GetData() { return m_Data; }
    const T* GetData() const { return m_Data; }
    uint32_t GetCount() const { return m_Count; }

    T& operator[](uint32_t i)
    {
        if (i >= m_Count)
            throw "Out of bounds.";
        return m_Data[i];
    }
    const T& operator[](uint32_t i) const
    {
        if (i >= m_Count)
            throw "Out of bounds.";
        return m_Data[i];
    }

private:
    T* m_Data;
    uint32_t m_Count;
};

// Fills x[0 .. n + c] for n control points of order c: c zeros, then 1, 2, ..., n - c + 1, and
// that last value repeated to the end, so the curve is clamped to its end points and its
// parameter runs from 0 to n - c + 1.
void KnotVector(unsigned n, unsigned c, float* x);
// The n basis values of order c at parameter t over the n + c + 1 knots x. At the last knot the
// last value is 1, so the end point interpolates.
void BasisFunctions(unsigned c, float t, unsigned n, const float* x, float* N);
// Writes stepsU x stepsV points, corners interpolating the corner control points. A point whose
// weighted basis sum is 0 (all weights 0, or an empty grid) is (0, 0, 0). A single step in a
// direction evaluates the parameter 0 only.
void EvaluateBSplineSurface(const XVertex* points, const float* weights, unsigned orderU, unsigned orderV,
                            unsigned countU, unsigned countV, unsigned stepsU, unsigned stepsV, XVertex* out);
