// Fuzz target: the chunk readers of every scene object class (lights, cameras, materials, textures,
// fonts, nodes, groups, shapes, primitives, bones, skins, sprites, text, particles, water) over the
// input after its first byte, which picks the class. The object is created in a scene that knows
// every class, as a scene file would create it; what it loaded must save, and a mesh object must
// build its mesh. Every malformed payload must end in an XException or a narrow text, never a read
// outside the data, a hang or an unbounded allocation.
#include "tests/fuzz/FuzzInput.h"
#include "tests/fuzz/FuzzClasses.h"

#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Objects/XEngineClasses.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Win32/Windows.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!QuietFuzzInput(size))
        return 0;
    const auto& classes = FuzzClasses();
    XClassDesc* desc = classes[data[0] % classes.size()];
    XScene scene(nullptr);
    AddEngineClasses(&scene);
    try
    {
        XBaseObject* object = scene.CreateObject(desc->GetClassNameW(), nullptr, nullptr);
        XMemoryStream stream(0, 4096);
        stream.Write(data + 1, static_cast<unsigned>(size - 1));
        stream.SetPosition(0);
        {
            XReader reader(&stream);
            while (reader.NextChunk())
            {
                object->Load(&scene, reader);
                reader.EndChunk();
            }
        }
        XMemoryStream out(0, 4096);
        {
            XWriter writer(&out);
            object->Save(&scene, writer);
        }
        if (auto* mesh = dynamic_cast<XBaseMesh*>(object))
        {
            (void)mesh->GetMesh(0, nullptr, nullptr);
            (void)mesh->GetBoundingBox(0);
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
