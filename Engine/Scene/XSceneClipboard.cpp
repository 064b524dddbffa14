// Copy, cut and paste of scene objects through the clipboard: the data are an object list stream
// under the scene's registered format.
#include "Engine/Scene/XScene.h"

#include "Components/XException.h"
#include "Components/XMemoryStream.h"
#include "Engine/Scene/XBaseObject.h"
#include "Engine/Scene/XMeshNode.h"
#include "Platform/Vcl/SysUtils.h"
#include "Platform/Win32/Windows.h"

#include <vector>

bool XScene::PutOnClipboard(XStream* stream, UINT format)
{
    const int64_t size = stream->GetSize();
    if (size < 0 || size > UINT32_MAX)
        return false;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
    if (!block)
        return false;
    void* bytes = GlobalLock(block);
    if (!bytes)
    {
        GlobalFree(block);
        return false;
    }
    stream->SetPosition(0);
    const unsigned read = stream->Read(bytes, static_cast<unsigned>(size));
    GlobalUnlock(block);
    if (read != size || !OpenClipboard(nullptr))
    {
        GlobalFree(block);
        return false;
    }
    // Emptying first keeps the clipboard to one owner's data; the block is the clipboard's only
    // once SetClipboardData took it.
    if (!EmptyClipboard() || !SetClipboardData(format, block))
    {
        CloseClipboard();
        GlobalFree(block);
        return false;
    }
    CloseClipboard();
    return true;
}

bool XScene::ReadClipboard(UINT format, XStream* stream)
{
    if (!OpenClipboard(nullptr))
        return false;
    bool copied = false;
    try
    {
        if (HANDLE block = GetClipboardData(format))
        {
            const SIZE_T size = GlobalSize(block);
            if (const void* bytes = GlobalLock(block))
            {
                copied = size <= UINT32_MAX && stream->Write(bytes, static_cast<unsigned>(size)) == size;
                GlobalUnlock(block);
            }
        }
    }
    catch (...)
    {
        // The clipboard is the process's: it must not stay open whatever the stream does.
        CloseClipboard();
        throw;
    }
    CloseClipboard();
    return copied;
}

bool XScene::CopyListToClipboard(XPtrArray<XBaseObject, 8>& list)
{
    XMemoryStream stream(0, 0x2000);
    SaveToStream(&stream, list);
    return PutOnClipboard(&stream, m_SceneFormat);
}

void XScene::DestroyListed(XPtrArray<XBaseObject, 8>& list)
{
    // By GUID: destroying one object may take others of the list with it.
    std::vector<XGuid> guids;
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        guids.push_back(list.GetData()[i]->GetGuid());
    for (const XGuid& guid : guids)
        if (XBaseObject* object = FindObject(guid))
            object->Destroy();
}

void XScene::CopySelNodesToClipboard()
{
    try
    {
        XMemoryStream stream(0, 0x2000);
        SaveSelNodesToStream(&stream);
        PutOnClipboard(&stream, m_SceneFormat);
    }
    catch (const XException& e)
    {
        ShowMessage(e.Message());
    }
}

void XScene::CutSelNodesToClipboard()
{
    try
    {
        XMemoryStream stream(0, 0x2000);
        SaveSelNodesToStream(&stream);
        if (PutOnClipboard(&stream, m_SceneFormat))
            DeleteSelNodes();
    }
    catch (const XException& e)
    {
        ShowMessage(e.Message());
    }
}

namespace
{
// The object named by the key and every object it needs in another scene (its mesh, materials,
// textures, modifiers); false when the scene has no such object.
template <class Key> bool CollectWithAssociates(XScene& scene, const Key& key, XPtrArray<XBaseObject, 8>& list)
{
    XBaseObject* object = scene.FindObject(key);
    if (!object)
        return false;
    list.Add(object);
    scene.EnumAssociatedObjects(list);
    return true;
}
} // namespace

void XScene::CopyToClipboard(const XString& name)
{
    XPtrArray<XBaseObject, 8> list;
    if (CollectWithAssociates(*this, name, list))
        CopyToClipboard(list);
}

void XScene::CopyToClipboard(const XGuid& guid)
{
    XPtrArray<XBaseObject, 8> list;
    if (CollectWithAssociates(*this, guid, list))
        CopyToClipboard(list);
}

void XScene::CopyToClipboard(XPtrArray<XBaseObject, 8>& list)
{
    try
    {
        CopyListToClipboard(list);
    }
    catch (const XException& e)
    {
        ShowMessage(e.Message());
    }
}

void XScene::CutToClipboard(const XString& name)
{
    XPtrArray<XBaseObject, 8> list;
    if (CollectWithAssociates(*this, name, list))
        CutToClipboard(list);
}

void XScene::CutToClipboard(const XGuid& guid)
{
    XPtrArray<XBaseObject, 8> list;
    if (CollectWithAssociates(*this, guid, list))
        CutToClipboard(list);
}

void XScene::CutToClipboard(XPtrArray<XBaseObject, 8>& list)
{
    if (list.GetCount() == 0)
        return;
    try
    {
        // The objects go only once the clipboard holds them.
        if (CopyListToClipboard(list))
            DestroyListed(list);
    }
    catch (const XException& e)
    {
        ShowMessage(e.Message());
    }
}

void XScene::PasteFromClipboard()
{
    if (!IsClipboardFormatAvailable(m_SceneFormat))
        return;
    try
    {
        XMemoryStream stream(0, 0x2000);
        if (!ReadClipboard(m_SceneFormat, &stream))
            return;
        stream.SetPosition(0);
        XPtrArray<XBaseObject, 8> list;
        LoadFromStream(&stream, list);
    }
    catch (const XException& e)
    {
        ShowMessage(e.Message());
    }
    catch (const char* message)
    {
        // Clipboard data may come from anywhere: a block too short for its own contents is
        // reported like any other bad block, not passed on into the user's event handler.
        ShowMessage(UnicodeString(message));
    }
}
