// Fuzz target: what paste reads from the clipboard, whoever put it there. The first byte picks the
// reader: scene objects into a scene, a mesh block into the triangle-mesh editor, or the hex
// editor's byte block and plain text (with the second byte choosing its selection and mode).
// Each block must be pasted whole or refused with a message; the scene must save again, the mesh
// keep its faces on its vertices, the hex editor its selection inside its data.
#include "tests/fuzz/FuzzInput.h"
#include "Components/XMemoryStream.h"
#include "Controls/XHexEdit.h"
#include "Engine/Editors/XTriMeshEditor.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Objects/XEngineClasses.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Win32/Windows.h"
#include "tests/support/SceneModel.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
void PasteObjects(const uint8_t* data, size_t size)
{
    XScene scene(nullptr);
    AddEngineClasses(&scene);
    AddModelMesh(scene, u"Mesh", 20, 5);
    PutOnClipboard(scene.GetSceneClipboardFormat(), data, size);
    scene.PasteFromClipboard();
    try
    {
        XMemoryStream out(0, 0);
        scene.SaveToStream(&out);
    }
    catch (const Exception&)
    {
    }
}

void PasteMesh(const uint8_t* data, size_t size)
{
    XScene scene(nullptr);
    XMeshNode* node = AddModelMesh(scene, u"Mesh", 20, 5);
    auto* object = dynamic_cast<XTriMesh*>(node->GetMesh());
    object->Edit(&scene, node);
    auto* editor = dynamic_cast<XTriMeshEditor*>(scene.GetEditor());
    if (!editor)
        abort();
    PutOnClipboard(scene.GetTriClipboardFormat(), data, size);
    editor->PasteFromClipboard();
    const XMesh* mesh = object->GetMesh();
    for (uint32_t f = 0; f < mesh->GetFaceCount(); ++f)
        for (uint32_t corner : mesh->GetFaces()[f].v)
            if (corner >= mesh->GetVertexCount())
                abort();
}

void PasteBytes(const uint8_t* data, size_t size, bool text)
{
    if (size < 1)
        return;
    const uint8_t how = data[0];
    TForm form(nullptr);
    form.SetClientWidth(760);
    form.SetClientHeight(300);
    auto* edit = new XHexEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(0, 0, 740, 280);
    const uint8_t start[40] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    edit->InsertData(0, sizeof start, start);
    edit->InsertMode = how & 1;
    edit->CanGrow = (how & 2) == 0;
    edit->SetSelection((how >> 2) & 63, (how >> 5) & 7);
    if (text)
        PutOnClipboard(CF_TEXT, data + 1, size - 1);
    else
        PutOnClipboard(edit->ClipboardFormat(), data + 1, size - 1);
    if (text)
        edit->PasteTextFromClipboard();
    else
        edit->PasteFromClipboard();
    const int64_t length = edit->GetDataSize();
    if (length < 0 || edit->SelStart() < 0 || edit->SelLength() < 0 || edit->SelStart() + edit->SelLength() > length)
        abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!QuietFuzzInput(size))
        return 0;
    switch (data[0] % 4)
    {
    case 0: PasteObjects(data + 1, size - 1); break;
    case 1: PasteMesh(data + 1, size - 1); break;
    default: PasteBytes(data + 1, size - 1, data[0] % 4 == 3); break;
    }
    return 0;
}
