// Fuzz target: a scene stream loaded whole, then as an object list and as one object, by a scene
// that knows every class. Every malformed stream must end in a message (recorded, not shown) or
// the stream's narrow texts, never a read outside the data, a hang or an unbounded allocation.
#include "tests/fuzz/FuzzInput.h"
#include "Components/XMemoryStream.h"
#include "Engine/Objects/XEngineClasses.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Win32/Windows.h"

#include <cstdint>

namespace
{
void Load(const uint8_t* data, size_t size, int form)
{
    XMemoryStream stream(0, 0);
    stream.Write(data, static_cast<unsigned>(size));
    stream.SetPosition(0);
    XScene scene(nullptr);
    AddEngineClasses(&scene);
    try
    {
        if (form == 0)
            scene.LoadFromStream(&stream);
        else if (form == 1)
            scene.LoadSelNodesFromStream(&stream);
        else
        {
            XBaseObject* object = nullptr;
            scene.LoadObjectFromStream(&stream, object);
        }
        // What was read must save again.
        XMemoryStream out(0, 0);
        scene.SaveToStream(&out);
    }
    catch (const char*)
    {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!QuietFuzzInput(size))
        return 0;
    Load(data + 1, size - 1, data[0] % 3);
    return 0;
}
