// The root of everything a scene holds: identity (GUID and name), membership in at most one scene,
// the chunked save/load protocol, table-driven properties over XVariant, field descriptors, and
// empty hooks for the Direct3D device life cycle and for rendering.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XGuid.h"
#include "Components/XPtrArray.h"
#include "Engine/Scene/XRefManager.h"

#include <cstddef>
#include <cstdint>

class XScene;
class XViewport;
class XObjectField;
class XReader;
class XWriter;
struct IDirect3DDevice9;

namespace VarUtils
{
class XVariant;
}

// One row of a class's static property table. A class lists its own rows first, then its base's.
struct XPropertyDesc
{
    uint32_t Id;
    const WCHAR* TypeName; // one of the reflection type names: "bitu32", "bool", "float", "int",
                           // "wstring", "AnsiString", "XColor", "XVertex", "XMatrix", "D3DPOOL",
                           // "D3DFORMAT"
    const WCHAR* Name;
};

// Property ids of XBaseObject (the only class whose ids are not sub-chunk ids of its class id).
constexpr uint32_t XPID_TAG = 2;
constexpr uint32_t XPID_NAME = 3;
constexpr uint32_t XPID_GUID = 4;       // read-only
constexpr uint32_t XPID_CLASS_NAME = 5; // read-only

// Names are shorter than this; longer ones are refused.
constexpr unsigned XMAX_OBJECT_NAME = 256;

class XBaseObject : public XRefManager
{
public:
    XBaseObject();
    // Leaves the scene, then the reference part tells every holder that the object is gone.
    ~XBaseObject() override;

    // Deletes the object; the engine disposes of objects this way.
    virtual void Destroy();
    virtual uint32_t GetClassId() const;
    virtual StrUtils::XBaseString<WCHAR> GetClassNameW() const;
    // A class writes its base's chunks first, then its own chunk (id = its class id) holding its
    // fields as sub-chunks.
    virtual void Save(XScene* scene, XWriter& writer);
    // Called with the reader inside one class-level chunk (header read). A class handles its own
    // class id and passes every other id to its base; ids no level knows are left to the caller.
    virtual void Load(XScene* scene, XReader& reader);
    // Base class's fields first, then the class's own, in declaration order.
    virtual void EnumerateFields(XPtrArray<XObjectField, 16>& fields);
    virtual unsigned GetPropertyCount() const;
    // Null past the end.
    virtual const XPropertyDesc* GetPropertyDesc(unsigned index) const;
    // Unknown ids go to the base class and end here, ignored. "XVertex" and "XMatrix" properties
    // travel as the address of caller-owned storage in the variant (XVariant::SetPointer), which
    // GetPropertyValue fills.
    virtual void GetPropertyValue(unsigned id, VarUtils::XVariant& value);
    // Read-only ids are ignored.
    virtual void SetPropertyValue(unsigned id, const VarUtils::XVariant& value);
    virtual void CreateDevice(IDirect3DDevice9* device);
    virtual void ReleaseDevice(IDirect3DDevice9* device);
    virtual void InvalidateDevice(IDirect3DDevice9* device);
    virtual void RestoreDevice(IDirect3DDevice9* device);
    virtual void RenderStart(unsigned frame, XViewport* viewport);
    virtual void RenderFinish(unsigned frame, XViewport* viewport);

    const XGuid& GetGuid() const { return m_Guid; }
    // Nothing when equal; in a scene the scene renames it (keeping its GUID index in step).
    void SetGuid(const XGuid& guid);
    XScene* GetScene() const { return m_Scene; }
    // Nothing when unchanged; otherwise the enumeration stamp is reset, the old scene detaches the
    // object and the new one attaches it (the scenes store or clear the pointer).
    void SetScene(XScene* scene);
    StrUtils::XBaseString<WCHAR> GetName() const { return m_Name; }
    // Ignored when equal (case-sensitive) or 256 characters or longer. In a scene the scene
    // renames it (keeping its name index in step).
    void SetName(const StrUtils::XBaseString<WCHAR>& name);
    // The class name without its leading X, at most 1024 characters: the default name.
    StrUtils::XBaseString<WCHAR> MakeName() const;
    uint32_t GetHashKey() const { return m_HashKey; }
    uint32_t GetTag() const { return m_Tag; }
    void SetTag(uint32_t tag) { m_Tag = tag; }
    // Compared by the scene with its enumeration counter; zeroed on scene change and on load.
    uint32_t GetEnumStamp() const { return m_EnumStamp; }
    void SetEnumStamp(uint32_t stamp) { m_EnumStamp = stamp; }

    // Equal names.
    bool operator==(const XBaseObject& other) const;

    // Name hash of the object and of the scene's name index: h = h * 2 + c * 17 over the UTF-16
    // units, from 0x87654321, wrapping.
    static uint32_t HashName(const WCHAR* name);

    // Scene objects are never allocated as arrays.
    static void* operator new[](size_t) = delete;
    static void operator delete[](void*) = delete;

private:
    friend class XScene;     // files the object: scene pointer, name, GUID
    friend class XSceneLink; // the same for the scene's stand-ins

    void StoreName(const StrUtils::XBaseString<WCHAR>& name);

    XGuid m_Guid;
    XScene* m_Scene = nullptr;
    StrUtils::XBaseString<WCHAR> m_Name;
    uint32_t m_HashKey = 0;
    uint32_t m_Tag = 0;
    uint32_t m_EnumStamp = 0;
};
