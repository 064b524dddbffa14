// Rewrites a skin model in memory with an 8,000-vertex mesh in place of one of its meshes, and
// compares the time with a plain memcpy of the same number of bytes in the same run, and with a
// copy through fresh memory streams (the cost of any pass through the streams the patch uses).
//   ski_bench [--repeat R]
// The best of R rounds (200 by default) of each is compared.
#include "App/SKITools.h"
#include "Components/XMemoryStream.h"
#include "Engine/Geometry/XMesh.h"
#include "tests/support/SkiGenerator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    int repeat = 200;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::string(argv[i]) == "--repeat")
            repeat = std::max(1, std::atoi(argv[i + 1]));

    // A game model of four meshes; mesh 1 is replaced.
    SkiGen::Options options;
    options.Seed = 2026;
    options.MinMeshes = options.MaxMeshes = 4;
    options.MinVertices = 1500;
    options.MaxVertices = 2500;
    SkiGen::Image image = SkiGen::Write(SkiGen::MakeModel(options));

    SkiGen::Mesh generated = SkiGen::MakeMesh(7, 8000);
    XMesh engine;
    const uint32_t count = uint32_t(generated.Vertices.size());
    engine.SetVertexCount(count);
    engine.SetNormalCount(count);
    engine.SetTextureVertexCount(count);
    engine.SetWeightsEnabled(true);
    for (uint32_t i = 0; i < count; ++i)
    {
        const SkiGen::Vertex& v = generated.Vertices[i];
        engine.GetVertices()[i] = XVertex(v.Position[0], v.Position[1], v.Position[2]);
        engine.GetNormals()[i] = XVertex(v.Normal[0], v.Normal[1], v.Normal[2]);
        engine.GetTextureVertices()[i] = XTextureVertex(v.U, v.V);
        std::copy_n(v.Weight, 3, engine.GetWeights()[i].weight);
        std::copy_n(v.Bone, 4, engine.GetWeights()[i].index);
    }
    engine.SetFaceCount(uint32_t(generated.Indices.size() / 3));
    for (uint32_t f = 0; f < engine.GetFaceCount(); ++f)
        engine.GetFaces()[f] =
            XFace(generated.Indices[3 * f], generated.Indices[3 * f + 1], generated.Indices[3 * f + 2]);

    static const uint8_t identity[256] = {};
    XMemoryStream input(0, 8192);
    input.Write(image.Bytes.data(), unsigned(image.Bytes.size()));

    double bestRewrite = 1e30, bestCopy = 1e30, bestStream = 1e30;
    int64_t outputSize = 0;
    std::vector<uint8_t> source, target;
    for (int round = 0; round < repeat; ++round)
    {
        input.SetPosition(0);
        XMemoryStream output(0, 8192);
        auto start = Clock::now();
        if (!SkiReplaceMesh(engine, &input, &output, identity, 1))
        {
            std::fprintf(stderr, "rewrite failed\n");
            return 1;
        }
        bestRewrite = std::min(bestRewrite, Since(start));
        outputSize = output.GetSize();

        // What any pass through fresh memory streams costs: the same number of bytes copied.
        input.SetPosition(0);
        XMemoryStream copy(0, 8192);
        start = Clock::now();
        CopyStream(&copy, &input, outputSize);
        bestStream = std::min(bestStream, Since(start));

        // The physical limit: moving the same number of bytes once through memory.
        source.assign(size_t(outputSize), uint8_t(round));
        target.resize(size_t(outputSize));
        start = Clock::now();
        std::memcpy(target.data(), source.data(), source.size());
        bestCopy = std::min(bestCopy, Since(start));
        if (target[size_t(round) % target.size()] != uint8_t(round))
            return 1;
    }

    std::printf(
        "skin model rewrite: %u vertices, %u faces into a %zu-byte model of %zu meshes; output %lld bytes\n",
        engine.GetVertexCount(), engine.GetFaceCount(), image.Bytes.size(), image.MeshOffsets.size(),
        static_cast<long long>(outputSize));
    std::printf("rewrite   %9.1f us  %8.1f MB/s\n", bestRewrite * 1e6,
                double(outputSize) / bestRewrite / 1e6);
    std::printf("memcpy    %9.1f us  %8.1f MB/s\n", bestCopy * 1e6, double(outputSize) / bestCopy / 1e6);
    std::printf(
        "stream copy %7.1f us  %8.1f MB/s (input to a fresh memory stream, as many bytes as it holds)\n",
        bestStream * 1e6, double(std::min<int64_t>(outputSize, input.GetSize())) / bestStream / 1e6);
    std::printf("ratio     %9.2f (rewrite / memcpy)\n", bestRewrite / bestCopy);
    std::printf("ratio     %9.2f (rewrite / stream copy, per byte)\n",
                (bestRewrite / double(outputSize)) /
                    (bestStream / double(std::min<int64_t>(outputSize, input.GetSize()))));
    return 0;
}
