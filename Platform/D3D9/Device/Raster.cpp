// Primitive assembly, clipping, set-up, binning into tiles, and drawing the tiles.
#include "Platform/D3D9/Device/Device.h"
#include "Platform/D3D9/Device/Pipeline.h"
#include "Platform/D3D9/Device/PixelStage.h"
#include "Platform/D3D9/PixelFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Soft9
{
using namespace Pixels;

namespace
{

// ---- Set-up ----------------------------------------------------------------------------------------

struct Emitter
{
    const DrawSetup& s;
    PartBins& bins;
    size_t stride;
    int tileCols;
    uint32_t draw;

    Prim* New()
    {
        size_t at = bins.records.Append(stride);
        auto* p = reinterpret_cast<Prim*>(bins.records.data() + at);
        p->draw = draw;
        return p;
    }

    void Bin(const Prim* p)
    {
        size_t offset = reinterpret_cast<const uint8_t*>(p) - bins.records.data();
        int tx0 = p->minX / TileSize, ty0 = p->minY / TileSize, tx1 = p->maxX / TileSize,
            ty1 = p->maxY / TileSize;
        for (int ty = ty0; ty <= ty1; ++ty)
            for (int tx = tx0; tx <= tx1; ++tx)
                bins.tiles[static_cast<size_t>(ty) * tileCols + tx].push_back(static_cast<uint32_t>(offset));
    }

    void Flat(Prim* p, const ClipVertex& provoking)
    {
        p->flatDiffuse = Pack(Rgba{ToByte(provoking.diffuse[0]), ToByte(provoking.diffuse[1]),
                                   ToByte(provoking.diffuse[2]), ToByte(provoking.diffuse[3])});
        p->flatSpecular = Pack(Rgba{ToByte(provoking.specular[0]), ToByte(provoking.specular[1]),
                                    ToByte(provoking.specular[2]), 0});
    }

    void Triangle(const ScreenVertex* a, const ScreenVertex* b, const ScreenVertex* c,
                  const ClipVertex& provoking)
    {
        if (!Clockwise(a, b, c))
            return;
        int64_t minX = std::min({a->X, b->X, c->X}), maxX = std::max({a->X, b->X, c->X});
        int64_t minY = std::min({a->Y, b->Y, c->Y}), maxY = std::max({a->Y, b->Y, c->Y});
        // Pixel centres lie on integer coordinates.
        int px0 = static_cast<int>((minX + (1 << SubPixelBits) - 1) >> SubPixelBits);
        int py0 = static_cast<int>((minY + (1 << SubPixelBits) - 1) >> SubPixelBits);
        int px1 = static_cast<int>(maxX >> SubPixelBits), py1 = static_cast<int>(maxY >> SubPixelBits);
        px0 = std::max(px0, s.clipLeft);
        py0 = std::max(py0, s.clipTop);
        px1 = std::min(px1, s.clipRight);
        py1 = std::min(py1, s.clipBottom);
        if (px0 > px1 || py0 > py1)
            return;
        Prim* p = New();
        p->kind = PrimTriangle;
        p->minX = px0;
        p->minY = py0;
        p->maxX = px1;
        p->maxY = py1;
        const ScreenVertex* v[3] = {a, b, c};
        for (int e = 0; e < 3; ++e)
        {
            const ScreenVertex* from = v[e];
            const ScreenVertex* to = v[(e + 1) % 3];
            int64_t dx = to->X - from->X, dy = to->Y - from->Y;
            // Inside: dx * (y - from.y) - dy * (x - from.x) > 0, or = 0 on a top or left edge.
            bool topLeft = dy < 0 || (dy == 0 && dx > 0);
            p->tri.a[e] = -dy << SubPixelBits;
            p->tri.b[e] = dx << SubPixelBits;
            p->tri.c[e] = -dx * from->Y + dy * from->X - (topLeft ? 0 : 1);
        }
        Flat(p, provoking);
        TrianglePlanes(a, b, c, reinterpret_cast<float*>(p + 1));
        Bin(p);
    }

    // The triangle's vertices in the order Triangle takes them: clockwise on the screen. False
    // for a triangle of no area.
    static bool Clockwise(const ScreenVertex*& a, const ScreenVertex*& b, const ScreenVertex*& c)
    {
        int64_t area = (b->X - a->X) * (c->Y - a->Y) - (c->X - a->X) * (b->Y - a->Y);
        if (area < 0)
            std::swap(b, c);
        return area != 0;
    }

    // Every value's plane over the screen through the three vertices, as a, b, c come.
    void TrianglePlanes(const ScreenVertex* a, const ScreenVertex* b, const ScreenVertex* c, float* planes) const
    {
        for (unsigned k = 0; k < s.planeCount; ++k)
            PlaneThrough(a, b, c, k, planes + 3 * k);
    }

    // Value k's plane (x and y slopes, value at the origin) through the three vertices.
    static void PlaneThrough(const ScreenVertex* a, const ScreenVertex* b, const ScreenVertex* c, unsigned k,
                             float* plane)
    {
        float x0 = a->x, y0 = a->y;
        float dx1 = b->x - x0, dy1 = b->y - y0, dx2 = c->x - x0, dy2 = c->y - y0;
        float det = dx1 * dy2 - dx2 * dy1;
        float inv = 1.0f / det;
        float a0 = a->v[k], d1 = b->v[k] - a0, d2 = c->v[k] - a0;
        float ax = (d1 * dy2 - d2 * dy1) * inv;
        float ay = (d2 * dx1 - d1 * dx2) * inv;
        plane[0] = ax;
        plane[1] = ay;
        plane[2] = a0 - ax * x0 - ay * y0;
    }

    // A line; an edge of a wireframe triangle names the triangle (`face`, its three vertices),
    // whose values the line's pixels then take at their centres, as the filled triangle's pixels
    // do: its wires pass the depth test against its own faces along their whole length.
    void Line(const ScreenVertex* a, const ScreenVertex* b, const ClipVertex& provoking,
              const ScreenVertex* const* face = nullptr)
    {
        float dx = b->x - a->x, dy = b->y - a->y;
        bool xMajor = std::fabs(dx) >= std::fabs(dy);
        float sMaj = xMajor ? a->x : a->y, eMaj = xMajor ? b->x : b->y;
        if (std::fabs(eMaj - sMaj) < 1e-6f)
            return;
        int first = FloorInt(sMaj + 0.5f), last = FloorInt(eMaj + 0.5f);
        int begin, end;
        // The pixel at the end point belongs to the next line unless the last pixel is drawn.
        if (last >= first)
        {
            begin = first;
            end = s.lastPixel ? last : last - 1;
        }
        else
        {
            begin = s.lastPixel ? last : last + 1;
            end = first;
        }
        if (begin > end)
            return;
        Prim* p = New();
        p->kind = PrimLine;
        p->xMajor = xMajor;
        p->line = {a->x, a->y, b->x, b->y, begin, end, false, 0.0f, 0.0f};
        int mx0 = FloorInt(std::min(a->x, b->x)) - 1, mx1 = FloorInt(std::max(a->x, b->x)) + 1;
        int my0 = FloorInt(std::min(a->y, b->y)) - 1, my1 = FloorInt(std::max(a->y, b->y)) + 1;
        if (xMajor)
        {
            mx0 = begin;
            mx1 = end;
        }
        else
        {
            my0 = begin;
            my1 = end;
        }
        p->minX = std::max(mx0, s.clipLeft);
        p->minY = std::max(my0, s.clipTop);
        p->maxX = std::min(mx1, s.clipRight);
        p->maxY = std::min(my1, s.clipBottom);
        if (p->minX > p->maxX || p->minY > p->maxY)
        {
            bins.records.Shrink(stride);
            return;
        }
        Flat(p, provoking);
        float* planes = reinterpret_cast<float*>(p + 1);
        float span = eMaj - sMaj;
        for (unsigned k = 0; k < s.planeCount; ++k)
        {
            // Along the major axis only: the same value wherever the pixel lies across the line.
            float ax = (b->v[k] - a->v[k]) / span;
            planes[3 * k] = xMajor ? ax : 0.0f;
            planes[3 * k + 1] = xMajor ? 0.0f : ax;
            planes[3 * k + 2] = a->v[k] - ax * sMaj;
        }
        const ScreenVertex* fa = face ? face[0] : nullptr;
        const ScreenVertex* fb = face ? face[1] : nullptr;
        const ScreenVertex* fc = face ? face[2] : nullptr;
        p->line.onFace = face && Clockwise(fa, fb, fc);
        if (p->line.onFace)
        {
            // The depth is the face's at the pixel's centre, bits for bits what its fill wrote
            // there, kept within the face's own depths where a sliver would throw it far off.
            PlaneThrough(fa, fb, fc, 0, planes);
            p->line.zLo = std::min({fa->v[0], fb->v[0], fc->v[0]});
            p->line.zHi = std::max({fa->v[0], fb->v[0], fc->v[0]});
        }
        Bin(p);
    }

    void Point(const ScreenVertex* a, const ClipVertex& vertex)
    {
        float size = vertex.pointSize;
        float left = a->x - size * 0.5f, top = a->y - size * 0.5f;
        int x0 = FloorInt(left), y0 = FloorInt(top);
        if (static_cast<float>(x0) < left)
            ++x0;
        if (static_cast<float>(y0) < top)
            ++y0;
        int x1 = FloorInt(left + size), y1 = FloorInt(top + size);
        if (static_cast<float>(x1) >= left + size)
            --x1;
        if (static_cast<float>(y1) >= top + size)
            --y1;
        x0 = std::max(x0, s.clipLeft);
        y0 = std::max(y0, s.clipTop);
        x1 = std::min(x1, s.clipRight);
        y1 = std::min(y1, s.clipBottom);
        if (x0 > x1 || y0 > y1)
            return;
        Prim* p = New();
        p->kind = PrimPoint;
        p->minX = x0;
        p->minY = y0;
        p->maxX = x1;
        p->maxY = y1;
        p->point = {left, top, size};
        Flat(p, vertex);
        float* planes = reinterpret_cast<float*>(p + 1);
        for (unsigned k = 0; k < s.planeCount; ++k)
        {
            planes[3 * k] = 0.0f;
            planes[3 * k + 1] = 0.0f;
            planes[3 * k + 2] = a->v[k];
        }
        Bin(p);
    }
};

// ---- Clipping --------------------------------------------------------------------------------------

constexpr unsigned ClipPlaneTotal = 7; // near, far, w, guard-band left, right, top, bottom
constexpr unsigned MaxPoly = 3 + ClipPlaneTotal;

struct ClipContext
{
    float guardX, guardY;

    float Distance(unsigned plane, const ClipVertex& v) const
    {
        switch (plane)
        {
        case 0:
            return v.z;
        case 1:
            return v.w - v.z;
        case 2:
            return v.w - 1e-6f;
        case 3:
            return v.x + guardX * v.w;
        case 4:
            return guardX * v.w - v.x;
        case 5:
            return v.y + guardY * v.w;
        default:
            return guardY * v.w - v.y;
        }
    }

    unsigned Outside(const ClipVertex& v) const
    {
        unsigned code = 0;
        for (unsigned plane = 0; plane < ClipPlaneTotal; ++plane)
            if (!(Distance(plane, v) >= 0.0f))
                code |= 1u << plane;
        return code;
    }

    // Outside the view volume itself (not the guard band): the primitive cannot show. A position
    // that is not a number at all is everywhere outside.
    static unsigned OutsideView(const ClipVertex& v)
    {
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z) || !std::isfinite(v.w))
            return 0xFF;
        unsigned code = 0;
        if (v.x > v.w)
            code |= 1;
        if (v.x < -v.w)
            code |= 2;
        if (v.y > v.w)
            code |= 4;
        if (v.y < -v.w)
            code |= 8;
        if (v.z < 0.0f)
            code |= 16;
        if (v.z > v.w)
            code |= 32;
        if (!(v.w > 0.0f))
            code |= 64;
        return code;
    }
};

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, float t)
{
    ClipVertex r;
    const float* pa = &a.x;
    const float* pb = &b.x;
    float* pr = &r.x;
    for (size_t i = 0; i < sizeof(ClipVertex) / sizeof(float); ++i)
        pr[i] = pa[i] + (pb[i] - pa[i]) * t;
    return r;
}

// Clips a polygon against every plane in `planes`; returns the vertex count left.
unsigned ClipPolygon(const ClipContext& cc, unsigned planes, ClipVertex* poly, unsigned count,
                     ClipVertex* scratch)
{
    ClipVertex* in = poly;
    ClipVertex* out = scratch;
    for (unsigned plane = 0; plane < ClipPlaneTotal && count > 0; ++plane)
    {
        if (!(planes & (1u << plane)))
            continue;
        unsigned n = 0;
        for (unsigned i = 0; i < count; ++i)
        {
            const ClipVertex& a = in[i];
            const ClipVertex& b = in[(i + 1) % count];
            float da = cc.Distance(plane, a), db = cc.Distance(plane, b);
            if (da >= 0.0f && n < MaxPoly)
                out[n++] = a;
            if ((da >= 0.0f) != (db >= 0.0f) && n < MaxPoly)
                out[n++] = Lerp(a, b, da / (da - db));
        }
        count = n;
        std::swap(in, out);
    }
    if (in != poly)
        std::copy(in, in + count, poly);
    return count;
}

// ---- The draw --------------------------------------------------------------------------------------

struct Assembler
{
    const DrawSetup& s;
    const DrawCall& call;
    const ClipVertex* base; // holds the vertices from number `lo` on
    const ScreenVertex* screen;
    const uint16_t* codes;
    UINT lo;
    ClipContext cc;

    // Screen positions and clip codes of vertices [0, count) of `base`.
    void Prepare(UINT count, ScreenVertex* screenOut, uint16_t* codesOut) const
    {
        for (UINT i = 0; i < count; ++i)
        {
            unsigned code = cc.Outside(base[i]) | (ClipContext::OutsideView(base[i]) << 8);
            codesOut[i] = static_cast<uint16_t>(code);
            if ((code & 0xFF) == 0)
                ToScreen(base[i], screenOut[i]);
        }
    }

    struct Vertices
    {
        const Assembler& a;
        const ClipVertex& operator[](UINT n) const { return a.base[n - a.lo]; }
    };
    Vertices vertices{*this};

    UINT Index(UINT i) const
    {
        if (!call.indices)
            return i;
        return call.indexFormat == D3DFMT_INDEX16 ? static_cast<const uint16_t*>(call.indices)[i]
                                                  : static_cast<const uint32_t*>(call.indices)[i];
    }

    void ToScreen(const ClipVertex& c, ScreenVertex& out) const
    {
        float iw = 1.0f / c.w;
        out.x = s.vpX + (1.0f + c.x * iw) * s.vpHalfW;
        out.y = s.vpY + (1.0f - c.y * iw) * s.vpHalfH;
        out.X = std::llrint(static_cast<double>(out.x) * SubPixel);
        out.Y = std::llrint(static_cast<double>(out.y) * SubPixel);
        // Planes use the snapped position, so that they agree with the coverage.
        out.x = static_cast<float>(out.X) / SubPixel;
        out.y = static_cast<float>(out.Y) / SubPixel;
        out.v[0] = s.vpMinZ + c.z * iw * s.vpScaleZ;
        out.v[1] = iw;
        for (int k = 0; k < 4; ++k)
            out.v[2 + k] = c.diffuse[k] * iw;
        unsigned at = 6;
        if (s.specular)
        {
            for (int k = 0; k < 3; ++k)
                out.v[at + k] = c.specular[k] * iw;
            at += 3;
        }
        for (unsigned t = 0; t < s.textureCount; ++t)
        {
            out.v[at++] = c.tex[t][0] * iw;
            out.v[at++] = c.tex[t][1] * iw;
        }
    }

    void TriangleOut(Emitter& em, UINT ia, UINT ib, UINT ic) const
    {
        unsigned ca = codes[ia - lo], cb = codes[ib - lo], cc2 = codes[ic - lo];
        if (((ca & cb & cc2) >> 8) || (((ca | cb | cc2) >> 8) & 0x80))
            return;
        if (((ca | cb | cc2) & 0xFF) != 0)
        {
            ClipTriangle(em, vertices[ia], vertices[ib], vertices[ic]);
            return;
        }
        // Inside the guard band and in front: no clipping.
        const ScreenVertex* sa = &screen[ia - lo];
        const ScreenVertex* sb = &screen[ib - lo];
        const ScreenVertex* sc = &screen[ic - lo];
        int64_t area = (sb->X - sa->X) * (sc->Y - sa->Y) - (sc->X - sa->X) * (sb->Y - sa->Y);
        if (area == 0 || (s.cullMode == D3DCULL_CCW && area < 0) || (s.cullMode == D3DCULL_CW && area > 0))
            return;
        if (s.fillMode == D3DFILL_SOLID)
        {
            em.Triangle(sa, sb, sc, vertices[ia]);
            return;
        }
        ClipTriangle(em, vertices[ia], vertices[ib], vertices[ic]);
    }

    void ClipTriangle(Emitter& em, const ClipVertex& a, const ClipVertex& b, const ClipVertex& c) const
    {
        unsigned viewA = ClipContext::OutsideView(a), viewB = ClipContext::OutsideView(b),
                 viewC = ClipContext::OutsideView(c);
        if ((viewA & viewB & viewC) || ((viewA | viewB | viewC) & 0x80))
            return;
        ClipVertex poly[MaxPoly], scratch[MaxPoly];
        unsigned count = 3;
        poly[0] = a;
        poly[1] = b;
        poly[2] = c;
        unsigned codes = cc.Outside(a) | cc.Outside(b) | cc.Outside(c);
        if (codes)
            count = ClipPolygon(cc, codes, poly, count, scratch);
        if (count < 3)
            return;
        ScreenVertex sv[MaxPoly];
        for (unsigned i = 0; i < count; ++i)
            ToScreen(poly[i], sv[i]);
        // Facing from the whole polygon's signed area (screen y runs down: positive is clockwise).
        int64_t area = 0;
        for (unsigned i = 1; i + 1 < count; ++i)
            area +=
                (sv[i].X - sv[0].X) * (sv[i + 1].Y - sv[0].Y) - (sv[i + 1].X - sv[0].X) * (sv[i].Y - sv[0].Y);
        if (area == 0 || (s.cullMode == D3DCULL_CCW && area < 0) || (s.cullMode == D3DCULL_CW && area > 0))
            return;
        if (s.fillMode == D3DFILL_POINT)
        {
            for (unsigned i = 0; i < count; ++i)
                em.Point(&sv[i], poly[i]);
            return;
        }
        if (s.fillMode == D3DFILL_WIREFRAME)
        {
            // Each edge lies on the fan triangle (0, j, j + 1) that a solid fill would draw.
            for (unsigned i = 0; i < count; ++i)
            {
                const unsigned j = i == 0 ? 1 : i + 1 == count ? count - 2 : i;
                const ScreenVertex* face[3] = {&sv[0], &sv[j], &sv[j + 1]};
                em.Line(&sv[i], &sv[(i + 1) % count], a, face);
            }
            return;
        }
        for (unsigned i = 1; i + 1 < count; ++i)
            em.Triangle(&sv[0], &sv[i], &sv[i + 1], a);
    }

    void LineOut(Emitter& em, const ClipVertex& a, const ClipVertex& b) const
    {
        unsigned viewA = ClipContext::OutsideView(a), viewB = ClipContext::OutsideView(b);
        if ((viewA & viewB) || ((viewA | viewB) & 0x80))
            return;
        ClipVertex ends[2] = {a, b};
        unsigned codes = cc.Outside(a) | cc.Outside(b);
        for (unsigned plane = 0; plane < ClipPlaneTotal; ++plane)
        {
            if (!(codes & (1u << plane)))
                continue;
            float da = cc.Distance(plane, ends[0]), db = cc.Distance(plane, ends[1]);
            if (da < 0.0f && db < 0.0f)
                return;
            if (da < 0.0f)
                ends[0] = Lerp(ends[0], ends[1], da / (da - db));
            else if (db < 0.0f)
                ends[1] = Lerp(ends[0], ends[1], da / (da - db));
        }
        ScreenVertex sa, sb;
        ToScreen(ends[0], sa);
        ToScreen(ends[1], sb);
        em.Line(&sa, &sb, a);
    }

    void PointOut(Emitter& em, const ClipVertex& a) const
    {
        if (ClipContext::OutsideView(a) & (16 | 32 | 64))
            return;
        if (cc.Outside(a))
            return;
        ScreenVertex sa;
        ToScreen(a, sa);
        em.Point(&sa, a);
    }

    void Primitive(Emitter& em, UINT i) const
    {
        switch (call.type)
        {
        case D3DPT_POINTLIST:
            PointOut(em, vertices[Index(i)]);
            break;
        case D3DPT_LINELIST:
            LineOut(em, vertices[Index(2 * i)], vertices[Index(2 * i + 1)]);
            break;
        case D3DPT_LINESTRIP:
            LineOut(em, vertices[Index(i)], vertices[Index(i + 1)]);
            break;
        case D3DPT_TRIANGLELIST:
            TriangleOut(em, Index(3 * i), Index(3 * i + 1), Index(3 * i + 2));
            break;
        case D3DPT_TRIANGLESTRIP:
            // Every other triangle of a strip runs the other way round; swapping keeps the facing.
            if (i & 1)
                TriangleOut(em, Index(i + 1), Index(i), Index(i + 2));
            else
                TriangleOut(em, Index(i), Index(i + 1), Index(i + 2));
            break;
        case D3DPT_TRIANGLEFAN:
            TriangleOut(em, Index(i + 1), Index(i + 2), Index(0));
            break;
        default:
            break;
        }
    }
};
} // namespace

struct DrawJob
{
    Pipeline& pipeline;
    const DrawCall& call;
    const DrawSetup& s;
    uint32_t draw;
    unsigned parts;
    size_t stride;
    int tileCols;
    ClipContext cc;
    bool sharedVertices; // processed once for all parts (else each part processes its own)
    UINT first, end;

    static constexpr UINT VertexChunk = 1024;

    static void Vertices(void* context, unsigned index)
    {
        auto* job = static_cast<DrawJob*>(context);
        UINT from = job->first + index * VertexChunk;
        UINT to = std::min(job->end, from + VertexChunk);
        Pipeline& pl = job->pipeline;
        ProcessVertices(pl.m_program, job->call, from, to, pl.m_vertices.data() + (from - job->first));
        Assembler assembler{job->s, job->call, pl.m_vertices.data() + (from - job->first), nullptr, nullptr,
                            from,   job->cc};
        assembler.Prepare(to - from, pl.m_screen.data() + (from - job->first),
                          pl.m_codes.data() + (from - job->first));
    }

    // The vertices primitives [from, to) read.
    void Range(UINT from, UINT to, UINT& lo, UINT& hi) const
    {
        UINT a, b; // index positions
        switch (call.type)
        {
        case D3DPT_POINTLIST:
            a = from, b = to;
            break;
        case D3DPT_LINELIST:
            a = 2 * from, b = 2 * to;
            break;
        case D3DPT_LINESTRIP:
            a = from, b = to + 1;
            break;
        case D3DPT_TRIANGLELIST:
            a = 3 * from, b = 3 * to;
            break;
        case D3DPT_TRIANGLEFAN:
            a = 0, b = to + 2;
            break;
        default:
            a = from, b = to + 2;
            break;
        }
        if (!call.indices)
        {
            lo = a;
            hi = b;
            return;
        }
        lo = 0xFFFFFFFFu;
        hi = 0;
        for (UINT i = a; i < b; ++i)
        {
            UINT v = call.indexFormat == D3DFMT_INDEX16 ? static_cast<const uint16_t*>(call.indices)[i]
                                                        : static_cast<const uint32_t*>(call.indices)[i];
            lo = std::min(lo, v);
            hi = std::max(hi, v + 1);
        }
    }

    static void Setup(void* context, unsigned index)
    {
        auto* job = static_cast<DrawJob*>(context);
        PartBins& bins = job->pipeline.m_parts[index];
        UINT count = job->call.primitiveCount;
        UINT from = static_cast<UINT>(static_cast<uint64_t>(count) * index / job->parts);
        UINT to = static_cast<UINT>(static_cast<uint64_t>(count) * (index + 1) / job->parts);
        if (from >= to)
            return;
        Pipeline& pl = job->pipeline;
        Assembler assembler{job->s, job->call, nullptr, nullptr, nullptr, 0, job->cc};
        if (job->sharedVertices)
        {
            assembler.base = pl.m_vertices.data();
            assembler.screen = pl.m_screen.data();
            assembler.codes = pl.m_codes.data();
            assembler.lo = job->first;
        }
        else
        {
            UINT lo, hi;
            job->Range(from, to, lo, hi);
            if (bins.vertices.size() < hi - lo)
            {
                bins.vertices.resize(hi - lo);
                bins.screen.resize(hi - lo);
                bins.codes.resize(hi - lo);
            }
            ProcessVertices(pl.m_program, job->call, lo, hi, bins.vertices.data());
            assembler.base = bins.vertices.data();
            assembler.screen = bins.screen.data();
            assembler.codes = bins.codes.data();
            assembler.lo = lo;
            assembler.Prepare(hi - lo, bins.screen.data(), bins.codes.data());
        }
        Emitter em{job->s, bins, job->stride, job->tileCols, job->draw};
        for (UINT i = from; i < to; ++i)
            assembler.Primitive(em, i);
    }
};

struct FlushJob
{
    Pipeline& pipeline;
    unsigned slots;
    int tileCols, tileX0, tileY0, tileX1, tileY1;

    static void Tile(void* context, unsigned index)
    {
        auto* job = static_cast<FlushJob*>(context);
        int cols = job->tileX1 - job->tileX0 + 1;
        int tx = job->tileX0 + static_cast<int>(index) % cols;
        int ty = job->tileY0 + static_cast<int>(index) / cols;
        size_t tile = static_cast<size_t>(ty) * job->tileCols + tx;
        int left = tx * TileSize, top = ty * TileSize;
        int right = left + TileSize - 1, bottom = top + TileSize - 1;
        Pipeline& pl = job->pipeline;
        // Draws in the order they came; within a draw, its parts in order.
        size_t cursor[64] = {};
        unsigned slots = std::min(job->slots, 64u);
        for (;;)
        {
            uint32_t next = 0xFFFFFFFFu;
            for (unsigned p = 0; p < slots; ++p)
            {
                const PartBins& bins = pl.m_parts[p];
                if (cursor[p] < bins.tiles[tile].size())
                    next = std::min(
                        next, reinterpret_cast<const Prim*>(bins.records.data() + bins.tiles[tile][cursor[p]])
                                  ->draw);
            }
            if (next == 0xFFFFFFFFu)
                break;
            const DrawSetup& s = *pl.m_draws[next];
            for (unsigned p = 0; p < slots; ++p)
            {
                const PartBins& bins = pl.m_parts[p];
                const auto& list = bins.tiles[tile];
                for (; cursor[p] < list.size(); ++cursor[p])
                {
                    const auto* prim = reinterpret_cast<const Prim*>(bins.records.data() + list[cursor[p]]);
                    if (prim->draw != next)
                        break;
                    const auto* planes = reinterpret_cast<const float*>(prim + 1);
                    int x0 = std::max(prim->minX, left), y0 = std::max(prim->minY, top);
                    int x1 = std::min(prim->maxX, right), y1 = std::min(prim->maxY, bottom);
                    if (x0 > x1 || y0 > y1)
                        continue;
                    if (prim->kind == PrimTriangle)
                    {
                        switch (s.quickPath == 0 ? 0 : s.quickPath + (s.blend ? 3 : 0))
                        {
                        case 1:
                            RasterTriangleQuick<false, false, false>(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        case 2:
                            RasterTriangleQuick<true, false, false>(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        case 3:
                            RasterTriangleQuick<true, true, false>(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        case 4:
                            RasterTriangleQuick<false, false, true>(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        case 5:
                            RasterTriangleQuick<true, false, true>(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        case 6:
                            RasterTriangleQuick<true, true, true>(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        default:
                            RasterTriangle(s, *prim, planes, x0, y0, x1, y1);
                            break;
                        }
                    }
                    else if (prim->kind == PrimLine)
                        RasterLine(s, *prim, planes, x0, y0, x1, y1);
                    else
                        RasterPoint(s, *prim, planes, x0, y0, x1, y1);
                }
            }
        }
    }
};

Pipeline::~Pipeline()
{
    // The device flushes before its buffers go; what is left here only gives its textures back.
    for (uint32_t d = 0; d < m_drawCount; ++d)
        for (unsigned t = 0; t < m_draws[d]->textureCount; ++t)
            if (m_draws[d]->held[t])
                m_draws[d]->held[t]->Release();
}

void Pipeline::Draw(const DeviceState& state, const DrawCall& call, const DrawSetup& setup)
{
    const PixelStore& target = state.renderTarget->Store();
    int tileCols = static_cast<int>((target.width + TileSize - 1) / TileSize);
    int tileRows = static_cast<int>((target.height + TileSize - 1) / TileSize);
    if (tileCols != m_tileCols || tileRows != m_tileRows)
    {
        Flush();
        m_tileCols = tileCols;
        m_tileRows = tileRows;
        for (PartBins& part : m_parts)
            part.tiles.assign(static_cast<size_t>(tileCols) * tileRows, {});
    }
    if (m_drawCount == m_draws.size())
        m_draws.push_back(std::make_unique<DrawSetup>());
    DrawSetup& s = *m_draws[m_drawCount];
    s = setup;
    // The textures stay while the draw waits for its pixels.
    for (unsigned t = 0; t < s.textureCount; ++t)
        if (s.held[t])
            s.held[t]->AddRef();
    uint32_t draw = m_drawCount++;

    BuildVertexProgram(state, s, m_program, m_worldView, m_normalMatrix);
    unsigned threads = m_pool.Threads();
    // More parts than threads, so that a thread the system holds up delays only a small share.
    unsigned parts = threads == 1 || call.primitiveCount < 1024
                         ? 1
                         : std::min(64u, std::min(4 * threads, call.primitiveCount / 256));
    if (m_parts.size() < parts)
    {
        size_t old = m_parts.size();
        m_parts.resize(parts);
        for (size_t i = old; i < parts; ++i)
            m_parts[i].tiles.assign(static_cast<size_t>(tileCols) * tileRows, {});
    }
    m_slotsUsed = std::max(m_slotsUsed, parts);

    ClipContext cc;
    // The guard band keeps screen coordinates within reach of the fixed-point edge functions.
    cc.guardX = std::max(1.0f, 16384.0f / s.vpHalfW);
    cc.guardY = std::max(1.0f, 16384.0f / s.vpHalfH);
    UINT first = call.indices ? call.firstVertex : 0;
    DrawJob job{*this,
                call,
                s,
                draw,
                parts,
                (sizeof(Prim) + sizeof(float) * 3 * s.planeCount + 7) & ~size_t{7},
                tileCols,
                cc,
                false,
                first,
                call.vertexCount};
    // Each part transforms the vertices its primitives use, unless the parts' ranges overlap so
    // much that doing all of them once first is cheaper.
    if (parts > 1 && call.indices)
    {
        uint64_t total = 0;
        UINT count = call.primitiveCount;
        for (unsigned p = 0; p < parts; ++p)
        {
            UINT lo, hi;
            job.Range(static_cast<UINT>(uint64_t{count} * p / parts),
                      static_cast<UINT>(uint64_t{count} * (p + 1) / parts), lo, hi);
            total += hi > lo ? hi - lo : 0;
        }
        job.sharedVertices = total > 2 * uint64_t{call.vertexCount - first} + 1024;
    }
    if (job.sharedVertices)
    {
        if (m_vertices.size() < call.vertexCount - first)
        {
            m_vertices.resize(call.vertexCount - first);
            m_screen.resize(call.vertexCount - first);
            m_codes.resize(call.vertexCount - first);
        }
        m_pool.Run((call.vertexCount - first + DrawJob::VertexChunk - 1) / DrawJob::VertexChunk,
                   &DrawJob::Vertices, &job);
    }
    if (parts == 1)
        DrawJob::Setup(&job, 0);
    else
        m_pool.Run(parts, &DrawJob::Setup, &job);
    m_tileX0 = std::min(m_tileX0, s.clipLeft / TileSize);
    m_tileY0 = std::min(m_tileY0, s.clipTop / TileSize);
    m_tileX1 = std::max(m_tileX1, s.clipRight / TileSize);
    m_tileY1 = std::max(m_tileY1, s.clipBottom / TileSize);
    // Long batches are drawn as they go, so that their records stay within the caches' reach.
    size_t bytes = 0;
    for (unsigned p = 0; p < m_slotsUsed; ++p)
        bytes += m_parts[p].records.size();
    if (bytes > (64u << 20) || m_drawCount >= 4096)
        Flush();
}

void Pipeline::Flush()
{
    if (m_drawCount == 0)
        return;
    if (m_tileX0 <= m_tileX1 && m_tileY0 <= m_tileY1)
    {
        FlushJob job{*this, m_slotsUsed, m_tileCols, m_tileX0, m_tileY0, m_tileX1, m_tileY1};
        unsigned tiles = static_cast<unsigned>((m_tileX1 - m_tileX0 + 1) * (m_tileY1 - m_tileY0 + 1));
        m_pool.Run(tiles, &FlushJob::Tile, &job);
        for (unsigned p = 0; p < m_slotsUsed; ++p)
        {
            PartBins& bins = m_parts[p];
            bins.records.clear();
            for (int ty = m_tileY0; ty <= m_tileY1; ++ty)
                for (int tx = m_tileX0; tx <= m_tileX1; ++tx)
                    bins.tiles[static_cast<size_t>(ty) * m_tileCols + tx].clear();
        }
    }
    for (uint32_t d = 0; d < m_drawCount; ++d)
    {
        DrawSetup& s = *m_draws[d];
        for (unsigned t = 0; t < s.textureCount; ++t)
            if (s.held[t])
                s.held[t]->Release();
    }
    m_drawCount = 0;
    m_slotsUsed = 0;
    m_tileX0 = m_tileY0 = 0x7FFFFFFF;
    m_tileX1 = m_tileY1 = -1;
}

} // namespace Soft9
