// Fuzz target: view state read into a live view. The first byte picks the input's form: a whole
// scene stream loaded by a scene that a view shows (so the view block and each viewport's options
// and camera are read into the view), or a view block read straight into the view. Whatever was
// read must save again; every malformed stream must end in a message or the stream's narrow
// texts, never a read outside the data, a hang or an unbounded allocation.
#include "tests/fuzz/FuzzInput.h"
#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Engine/Objects/XEngineClasses.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Engine/Views/XViewLayout.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Win32/Windows.h"

#include <cstdint>
#include <cstdlib>

namespace
{
// A 300 x 200 view on a form, showing a scene that knows every class.
struct ShownScene
{
    TForm form{nullptr};
    XScene scene{nullptr};
    XView* view = nullptr;
    ShownScene()
    {
        AddEngineClasses(&scene);
        form.SetBounds(0, 0, 340, 240);
        view = new XView(&form);
        view->SetParent(&form);
        view->SetBounds(0, 0, 300, 200);
        view->SetPrimary(true);
        view->SetScene(&scene);
    }
    ~ShownScene()
    {
        view->SetScene(nullptr);
        delete view;
    }
};

void Load(const uint8_t* data, size_t size, int form)
{
    XMemoryStream stream(0, 0);
    stream.Write(data, static_cast<unsigned>(size));
    stream.SetPosition(0);
    ShownScene shown;
    try
    {
        if (form == 0)
            shown.scene.LoadFromStream(&stream);
        else
        {
            XReader reader(&stream);
            if (reader.NextChunk())
                shown.view->Load(&shown.scene, reader);
        }
    }
    catch (const char*)
    {
    }
    catch (const Exception&)
    {
    }
    int layout = shown.view->GetViewportLayout();
    if (layout < 0 || layout > XViewLayout::Grid)
        abort();
    try
    {
        XMemoryStream out(0, 0);
        shown.scene.SaveToStream(&out);
    }
    catch (const Exception&)
    {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!QuietFuzzInput(size))
        return 0;
    Load(data + 1, size - 1, data[0] % 2);
    return 0;
}
