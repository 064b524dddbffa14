// Rewrites a skin model in memory with an 8,000-vertex mesh in place of one of its meshes, and
// compares the time with a plain memcpy of the same number of bytes in the same run, and with a
// copy through fresh memory streams (the cost of any pass through the streams the patch uses).
//   ski_bench [--repeat R]
// The best of R rounds (200 by default) of each is compared.
#include "App/SKITools.h"
#include "Components/XMemoryStream.h"
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

struct TexVertex
{
    float u, v;
};
struct Weight
{
    float weight[3];
    uint8_t bone[4];
};
struct Face
{
    uint32_t index[3];
    uint32_t material;
};
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
    std::vector<XVertex> positions, normals;
    std::vector<TexVertex> texture;
    std::vector<Weight> weights;
    std::vector<Face> faces;
    for (const SkiGen::Vertex& v : generated.Vertices)
    {
        positions.push_back({v.Position[0], v.Position[1], v.Position[2]});
        normals.push_back({v.Normal[0], v.Normal[1], v.Normal[2]});
        texture.push_back({v.U, v.V});
        weights.push_back({{v.Weight[0], v.Weight[1], v.Weight[2]}, {v.Bone[0], v.Bone[1], v.Bone[2], v.Bone[3]}});
    }
    for (size_t i = 0; i + 2 < generated.Indices.size(); i += 3)
        faces.push_back({{generated.Indices[i], generated.Indices[i + 1], generated.Indices[i + 2]}, 0});

    SkiSourceMesh mesh;
    mesh.VertexCount = uint32_t(positions.size());
    mesh.Positions = positions.data();
    mesh.NormalsEnabled = mesh.WeightsEnabled = true;
    mesh.NormalCount = uint32_t(normals.size());
    mesh.Normals = normals.data();
    mesh.TextureVertexCount = uint32_t(texture.size());
    mesh.TextureVertices = texture.data();
    mesh.WeightCount = uint32_t(weights.size());
    mesh.Weights = weights.data();
    mesh.FaceCount = uint32_t(faces.size());
    mesh.Faces = faces.data();

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
        if (!SkiReplaceMesh(mesh, &input, &output, identity, 1))
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

    std::printf("skin model rewrite: %u vertices, %u faces into a %zu-byte model of %zu meshes; output %lld bytes\n",
                mesh.VertexCount, mesh.FaceCount, image.Bytes.size(), image.MeshOffsets.size(),
                static_cast<long long>(outputSize));
    std::printf("rewrite   %9.1f us  %8.1f MB/s\n", bestRewrite * 1e6, double(outputSize) / bestRewrite / 1e6);
    std::printf("memcpy    %9.1f us  %8.1f MB/s\n", bestCopy * 1e6, double(outputSize) / bestCopy / 1e6);
    std::printf("stream copy %7.1f us  %8.1f MB/s (input to a fresh memory stream, as many bytes as it holds)\n",
                bestStream * 1e6, double(std::min<int64_t>(outputSize, input.GetSize())) / bestStream / 1e6);
    std::printf("ratio     %9.2f (rewrite / memcpy)\n", bestRewrite / bestCopy);
    std::printf("ratio     %9.2f (rewrite / stream copy, per byte)\n",
                (bestRewrite / double(outputSize)) / (bestStream / double(std::min<int64_t>(outputSize, input.GetSize()))));
    return 0;
}
