// Fuzz target: the chunk readers of the geometry (mesh, mesh selection paste, triangle-mesh object,
// UV modifier, animation set, animation, key list) over the input after its first byte, which picks
// the reader. A mesh that loads is then put through the operations that follow its face indices,
// and saved, loaded and saved again, which must give the same bytes. Every malformed input must
// end in an XException or a narrow text, never a read outside the data or an unbounded allocation.
#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XAnimationSet.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Geometry/XUVModifier.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
std::vector<uint8_t> Bytes(XMemoryStream& stream)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(stream.GetSize()));
    stream.SetPosition(0);
    if (!bytes.empty())
        stream.Read(bytes.data(), static_cast<unsigned>(bytes.size()));
    return bytes;
}

std::vector<uint8_t> SaveMesh(const XMesh& mesh)
{
    XMemoryStream stream(0, 4096);
    {
        XWriter writer(&stream);
        mesh.Save(nullptr, writer);
    }
    return Bytes(stream);
}

void LoadMesh(XMesh& mesh, const std::vector<uint8_t>& bytes)
{
    XMemoryStream stream(0, 4096);
    stream.Write(bytes.data(), static_cast<unsigned>(bytes.size()));
    stream.SetPosition(0);
    XReader reader(&stream);
    while (reader.NextChunk())
    {
        mesh.Load(nullptr, reader);
        reader.EndChunk();
    }
}

// What a loaded mesh must survive, with its faces pointing anywhere and its arrays of any length.
void Exercise(XMesh& mesh, uint8_t op)
{
    const std::vector<uint8_t> saved = SaveMesh(mesh);
    XMesh again;
    LoadMesh(again, saved);
    if (SaveMesh(again) != saved)
        std::abort();

    (void)mesh.GetBoundingBox();
    mesh.SetSelectionLevel(XMesh::FaceLevel);
    mesh.GetFaceSelection().SetAll();
    if (op & 1)
        mesh.GetVertexSelection().SetRange(0, mesh.GetVertexCount() / 2, true);
    XMesh copy;
    mesh.CopySelectionTo(copy);
    XMemoryStream clip(0, 4096);
    {
        XWriter writer(&clip);
        mesh.SaveSelected(nullptr, writer);
    }
    clip.SetPosition(0);
    {
        XReader reader(&clip);
        while (reader.NextChunk())
        {
            copy.LoadAppend(nullptr, reader);
            reader.EndChunk();
        }
    }
    if (mesh.GetVertexCount() <= 4096 && mesh.GetFaceCount() <= 4096)
        mesh.CloneFaces((op & 2) != 0);
    mesh.BuildFaceGroups();
    if (op & 4)
    {
        XBitArray bits;
        bits.SetCount(mesh.GetVertexCount());
        bits.SetRange(0, mesh.GetVertexCount() / 3, true);
        mesh.DeleteVertices(bits);
    }
    mesh.Cleanup();
    copy = mesh;
}

template <class F> void EachChunk(const uint8_t* data, size_t size, F&& load)
{
    XMemoryStream stream(0, 4096);
    if (size)
        stream.Write(data, static_cast<unsigned>(size));
    stream.SetPosition(0);
    XReader reader(&stream);
    while (reader.NextChunk())
    {
        load(reader);
        reader.EndChunk();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    const uint8_t op = data[0];
    ++data;
    --size;
    try
    {
        switch (op % 7)
        {
        case 0:
        {
            XMesh mesh;
            EachChunk(data, size, [&](XReader& r) { mesh.Load(nullptr, r); });
            Exercise(mesh, op >> 3);
            break;
        }
        case 1:
        {
            XMesh mesh;
            mesh.SetColorsEnabled(true);
            mesh.SetWeightsEnabled(true);
            EachChunk(data, size, [&](XReader& r) { mesh.LoadAppend(nullptr, r); });
            Exercise(mesh, op >> 3);
            break;
        }
        case 2:
        {
            XTriMesh object;
            EachChunk(data, size, [&](XReader& r) { object.Load(nullptr, r); });
            XMesh* derived = object.GetMesh(0, nullptr, nullptr);
            Exercise(*derived, op >> 3);
            break;
        }
        case 3:
        {
            XUVModifier modifier;
            EachChunk(data, size, [&](XReader& r) { modifier.Load(nullptr, r); });
            break;
        }
        case 4:
        {
            XAnimationSet set;
            EachChunk(data, size, [&](XReader& r) { set.Load(r); });
            XMatrix m;
            for (uint32_t i = 0; i < set.GetAnimationCount(); ++i)
                for (uint32_t t : {0u, 1u, 50u, 0xFFFFFFFFu})
                    set.GetAnimation(i)->GetMatrix(t, m);
            break;
        }
        case 5:
        {
            XAnimation animation;
            EachChunk(data, size, [&](XReader& r) { animation.Load(r); });
            animation.AddPositionKey(7, XVertex(1, 1, 1));
            animation.SetLength(op);
            break;
        }
        default:
        {
            XRotationKeys keys;
            EachChunk(data, size, [&](XReader& r) { keys.Load(r); });
            for (uint32_t t = 0; t < 40; t += 3)
                (void)keys.GetValue(t);
            keys.DeleteKeys(op, op + 10u);
            break;
        }
        }
    }
    catch (const XException&)
    {
    }
    catch (const char*)
    {
    }
    return 0;
}
