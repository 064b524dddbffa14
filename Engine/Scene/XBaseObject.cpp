#include "Engine/Scene/XBaseObject.h"

#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XSceneLink.h"

using StrUtils::XBaseString;
using VarUtils::XVariant;

namespace
{
const XPropertyDesc kProperties[] = {
    {XPID_TAG, u"bitu32", u"Tag"},
    {XPID_NAME, u"wstring", u"Name"},
    {XPID_GUID, u"wstring", u"Guid"},
    {XPID_CLASS_NAME, u"wstring", u"ClassName"},
};
constexpr unsigned kPropertyCount = sizeof kProperties / sizeof kProperties[0];

// Sub-chunk of the tag inside the class chunk.
constexpr uint32_t kTagChunk = 2;

// A scene with no indexes: the link's defaults, where the object keeps what it is given.
class BareLink final : public XSceneLink
{
};

BareLink g_bareLink;
XSceneLink* g_link = &g_bareLink;
} // namespace

// ---- XSceneLink --------------------------------------------------------------------------------

XSceneLink* XSceneLink::Get()
{
    return g_link;
}

XSceneLink* XSceneLink::Install(XSceneLink* link)
{
    XSceneLink* previous = g_link;
    g_link = link ? link : &g_bareLink;
    return previous;
}

void XSceneLink::StoreScene(XBaseObject* object, XScene* scene)
{
    object->m_Scene = scene;
}

void XSceneLink::StoreName(XBaseObject* object, const XBaseString<WCHAR>& name)
{
    object->StoreName(name);
}

void XSceneLink::StoreGuid(XBaseObject* object, const XGuid& guid)
{
    object->m_Guid = guid;
}

// ---- XBaseObject -------------------------------------------------------------------------------

XBaseObject::XBaseObject()
{
    // Virtual calls here see this class: the name is "BaseObject" until the subclass names itself.
    SetName(MakeName());
}

XBaseObject::~XBaseObject()
{
    // Destructors never throw: a scene that fails to forget the object must not end the program.
    try
    {
        SetScene(nullptr);
    }
    catch (...)
    {
        m_Scene = nullptr;
    }
}

void XBaseObject::Destroy()
{
    delete this;
}

uint32_t XBaseObject::GetClassId() const
{
    return ClassId::BaseObject;
}

XBaseString<WCHAR> XBaseObject::GetClassNameW() const
{
    return u"XBaseObject";
}

void XBaseObject::Save(XScene*, XWriter& writer)
{
    writer.BeginChunk(ClassId::BaseObject);
    writer.WriteChunkU32(kTagChunk, m_Tag);
    writer.EndChunk();
}

void XBaseObject::Load(XScene*, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::BaseObject)
        return;
    m_Tag = 0;
    m_EnumStamp = 0;
    while (reader.NextChunk())
    {
        if (reader.GetChunkId() == kTagChunk)
        {
            // A tag chunk too short for its value would read into whatever follows it.
            if (reader.GetBytesLeft() < 4)
                throw FileUtils::XIOError();
            uint32_t tag;
            reader.ReadU32(tag);
            m_Tag = tag;
        }
        reader.EndChunk();
    }
}

void XBaseObject::EnumerateFields(XPtrArray<XObjectField, 16>&)
{
}

unsigned XBaseObject::GetPropertyCount() const
{
    return kPropertyCount;
}

const XPropertyDesc* XBaseObject::GetPropertyDesc(unsigned index) const
{
    return index < kPropertyCount ? &kProperties[index] : nullptr;
}

void XBaseObject::GetPropertyValue(unsigned id, XVariant& value)
{
    switch (id)
    {
    case XPID_TAG: value = static_cast<unsigned>(m_Tag); break;
    case XPID_NAME: value = m_Name; break;
    case XPID_GUID: value = GuidToString(m_Guid); break;
    case XPID_CLASS_NAME: value = GetClassNameW(); break;
    default: break;
    }
}

void XBaseObject::SetPropertyValue(unsigned id, const XVariant& value)
{
    switch (id)
    {
    case XPID_TAG: SetTag(static_cast<uint32_t>(value.AsInt())); break;
    case XPID_NAME: SetName(value.AsString()); break;
    default: break; // the GUID and the class name are read-only
    }
}

void XBaseObject::CreateDevice(IDirect3DDevice9*)
{
}

void XBaseObject::ReleaseDevice(IDirect3DDevice9*)
{
}

void XBaseObject::InvalidateDevice(IDirect3DDevice9*)
{
}

void XBaseObject::RestoreDevice(IDirect3DDevice9*)
{
}

void XBaseObject::RenderStart(unsigned, XViewport*)
{
}

void XBaseObject::RenderFinish(unsigned, XViewport*)
{
}

void XBaseObject::SetGuid(const XGuid& guid)
{
    if (guid == m_Guid)
        return;
    if (m_Scene)
    {
        XGuid old = m_Guid;
        XSceneLink::Get()->RenameObject(m_Scene, this, old, guid);
        return;
    }
    m_Guid = guid;
}

void XBaseObject::SetScene(XScene* scene)
{
    if (scene == m_Scene)
        return;
    m_EnumStamp = 0;
    XSceneLink* link = XSceneLink::Get();
    if (m_Scene)
        link->DetachObject(m_Scene, this);
    if (scene)
        link->AttachObject(scene, this);
}

void XBaseObject::SetName(const XBaseString<WCHAR>& name)
{
    if (name == m_Name || name.Length() >= XMAX_OBJECT_NAME)
        return;
    if (m_Scene)
    {
        // The scene may store the new name over m_Name: pass it a copy of the old one.
        XBaseString<WCHAR> old = m_Name;
        XSceneLink::Get()->RenameObject(m_Scene, this, old, name);
        return;
    }
    StoreName(name);
}

XBaseString<WCHAR> XBaseObject::MakeName() const
{
    return GetClassNameW().SubString(1, 1024);
}

bool XBaseObject::operator==(const XBaseObject& other) const
{
    return m_Name == other.m_Name;
}

uint32_t XBaseObject::HashName(const WCHAR* name)
{
    uint32_t h = 0x87654321u;
    if (!name)
        return h;
    for (; *name; ++name)
        h = h * 2u + static_cast<uint32_t>(*name) * 17u;
    return h;
}

void XBaseObject::StoreName(const XBaseString<WCHAR>& name)
{
    m_Name = name;
    m_HashKey = HashName(m_Name.c_str());
}
