#include "Components/XBSpline.h"

void KnotVector(unsigned n, unsigned c, float* x)
{
    for (unsigned i = 0; i <= n + c; ++i)
    {
        if (i < c)
            x[i] = 0.0f;
        else if (i <= n)
            x[i] = (i ? x[i - 1] : 0.0f) + 1.0f;
        else
            x[i] = x[i - 1];
    }
}

void BasisFunctions(unsigned c, float t, unsigned n, const float* x, float* N)
{
    if (n == 0)
        return;
    const int m = static_cast<int>(n + c);
    Array<float> temp(static_cast<uint32_t>(m) + 1, 0.0f);

    // Order 1: the knot span holding t.
    for (int i = 0; i <= m - 2; ++i)
        temp[i] = (x[i] <= t && t < x[i + 1]) ? 1.0f : 0.0f;
    // The spans are half-open; the end of the parameter range belongs to the last point.
    if (t >= x[m - 1])
        temp[n - 1] = 1.0f;

    for (int k = 2; k <= static_cast<int>(c); ++k)
    {
        for (int i = 0; i <= m - k - 1; ++i)
        {
            float d = 0.0f;
            float dDen = x[i + k - 1] - x[i];
            if (temp[i] != 0.0f && dDen != 0.0f)
                d = (t - x[i]) * temp[i] / dDen;
            float e = 0.0f;
            float eDen = x[i + k] - x[i + 1];
            if (temp[i + 1] != 0.0f && eDen != 0.0f)
                e = (x[i + k] - t) * temp[i + 1] / eDen;
            temp[i] = d + e;
        }
    }
    if (t == x[m - 1])
        temp[n - 1] = 1.0f;

    for (unsigned i = 0; i < n; ++i)
        N[i] = temp[i];
}

void EvaluateBSplineSurface(const XVertex* points, const float* weights, unsigned orderU, unsigned orderV,
                            unsigned countU, unsigned countV, unsigned stepsU, unsigned stepsV, XVertex* out)
{
    if (countU == 0 || countV == 0)
    {
        // No control points: every weighted sum is empty.
        for (unsigned i = 0; i < stepsU * stepsV; ++i)
            out[i] = XVertex(0.0f, 0.0f, 0.0f);
        return;
    }
    Array<float> xu(countU + orderU + 1, 0.0f);
    Array<float> xv(countV + orderV + 1, 0.0f);
    KnotVector(countU, orderU, xu.GetData());
    KnotVector(countV, orderV, xv.GetData());
    const float lastU = xu[countU + orderU - 1];
    const float lastV = xv[countV + orderV - 1];
    const float stepU = stepsU > 1 ? lastU / static_cast<float>(stepsU - 1) : 0.0f;
    const float stepV = stepsV > 1 ? lastV / static_cast<float>(stepsV - 1) : 0.0f;

    Array<float> nu(countU, 0.0f);
    Array<float> nv(countV, 0.0f);
    float v = 0.0f;
    for (unsigned r = 0; r < stepsV; ++r, v += stepV)
    {
        BasisFunctions(orderV, v, countV, xv.GetData(), nv.GetData());
        float u = 0.0f;
        for (unsigned s = 0; s < stepsU; ++s, u += stepU)
        {
            BasisFunctions(orderU, u, countU, xu.GetData(), nu.GetData());
            float sum = 0.0f;
            for (unsigned j = 0; j < countV; ++j)
                for (unsigned i = 0; i < countU; ++i)
                    sum += nu[i] * weights[countU * j + i] * nv[j];
            XVertex p(0.0f, 0.0f, 0.0f);
            if (sum != 0.0f)
            {
                for (unsigned j = 0; j < countV; ++j)
                    for (unsigned i = 0; i < countU; ++i)
                    {
                        unsigned k = countU * j + i;
                        float f = nu[i] * weights[k];
                        p.x += f * points[k].x * nv[j] / sum;
                        p.y += f * points[k].y * nv[j] / sum;
                        p.z += f * points[k].z * nv[j] / sum;
                    }
            }
            out[stepsU * r + s] = p;
        }
    }
}
