#include "Engine/Scene/XBaseObject.h"

#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Scene/XClassDesc.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XObjectField.h"
#include "Engine/Scene/XSceneLink.h"
#include "tests/support/ByteData.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using StrUtils::XBaseString;
using VarUtils::XVariant;

namespace
{
std::u16string Str(const XBaseString<WCHAR>& s)
{
    return s.c_str();
}

// Records what objects ask of their scene and does what a scene would.
class RecordingLink : public XSceneLink
{
public:
    RecordingLink() : m_Previous(Install(this)) {}
    ~RecordingLink() { Install(m_Previous); }

    void AttachObject(XScene* scene, XBaseObject* object) override
    {
        calls.push_back(u"attach " + Str(object->GetName()));
        StoreScene(object, scene);
    }
    void DetachObject(XScene*, XBaseObject* object) override
    {
        calls.push_back(u"detach " + Str(object->GetName()));
        StoreScene(object, nullptr);
    }
    void RenameObject(XScene*, XBaseObject* object, const XBaseString<WCHAR>& oldName,
                      const XBaseString<WCHAR>& newName) override
    {
        calls.push_back(u"rename " + Str(oldName) + u"->" + Str(newName));
        StoreName(object, newName);
    }
    void RenameObject(XScene*, XBaseObject* object, const XGuid&, const XGuid& newGuid) override
    {
        calls.push_back(u"reguid");
        StoreGuid(object, newGuid);
    }

    std::vector<std::u16string> calls;

private:
    XSceneLink* m_Previous;
};

// Stands in for scenes: objects only pass the pointer on.
XScene* FakeScene(int& storage)
{
    return reinterpret_cast<XScene*>(&storage);
}

// A derived class in the engine's pattern: own rows first, unknown ids to the base.
class Derived : public XBaseObject
{
public:
    Derived() { SetName(u"Derived"); }
    uint32_t GetClassId() const override { return 0x11110000; }
    XBaseString<WCHAR> GetClassNameW() const override { return u"XDerived"; }
    unsigned GetPropertyCount() const override { return 2 + XBaseObject::GetPropertyCount(); }
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override
    {
        static const XPropertyDesc rows[] = {{0x11110001, u"float", u"Width"},
                                             {0x11110002, u"bool", u"Solid"}};
        return index < 2 ? &rows[index] : XBaseObject::GetPropertyDesc(index - 2);
    }
};

std::vector<uint8_t> Saved(XBaseObject& object)
{
    XMemoryStream stream(0, 256);
    {
        XWriter writer(&stream);
        object.Save(nullptr, writer);
    }
    return StreamBytes(stream);
}

// Loads bytes that hold one class-level chunk, as the scene's object loop does.
void LoadInto(XBaseObject& object, const std::vector<uint8_t>& bytes)
{
    XMemoryStream stream(0, 256);
    LoadStream(stream, bytes);
    XReader reader(&stream);
    ASSERT_TRUE(reader.NextChunk());
    object.Load(nullptr, reader);
    reader.EndChunk();
}

std::vector<uint8_t> Chunk(uint32_t id, std::vector<uint8_t> payload)
{
    std::vector<uint8_t> out;
    AppendU32(out, id);
    AppendU32(out, static_cast<uint32_t>(payload.size() + 8));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<uint8_t> U32(uint32_t v)
{
    std::vector<uint8_t> out;
    AppendU32(out, v);
    return out;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
} // namespace

TEST(XBaseObjectTest, NewObjectIdentityAndNameRules)
{
    XBaseObject object;
    EXPECT_EQ(Str(object.GetName()), u"BaseObject");
    EXPECT_TRUE(object.GetGuid().IsNull());
    EXPECT_EQ(object.GetTag(), 0u);
    EXPECT_EQ(object.GetScene(), nullptr);
    EXPECT_EQ(object.GetClassId(), ClassId::BaseObject);
    EXPECT_EQ(Str(object.GetClassNameW()), u"XBaseObject");
    EXPECT_EQ(object.GetPropertyCount(), 4u);
    EXPECT_EQ(object.GetHashKey(), XBaseObject::HashName(u"BaseObject"));

    EXPECT_EQ(XBaseObject::HashName(u""), 0x87654321u);
    EXPECT_EQ(XBaseObject::HashName(u"abc"), 0x3B2A4663u);

    struct
    {
        unsigned length;
        bool taken;
    } const names[] = {{1, true}, {255, true}, {256, false}, {1000, false}, {0, true}};
    for (const auto& c : names)
    {
        SCOPED_TRACE(c.length);
        XBaseObject o;
        std::u16string name(c.length, u'n');
        o.SetName(name.c_str());
        EXPECT_EQ(Str(o.GetName()), c.taken ? name : u"BaseObject");
        EXPECT_EQ(o.GetHashKey(), XBaseObject::HashName(o.GetName().c_str()));
    }

    // Names compare case-sensitively, for equality of objects too.
    XBaseObject a, b;
    EXPECT_TRUE(a == b);
    b.SetName(u"baseobject");
    EXPECT_EQ(Str(b.GetName()), u"baseobject");
    EXPECT_FALSE(a == b);
}

TEST(XBaseObjectTest, SavesTagChunkByteForByteAndLoadsIt)
{
    XBaseObject object;
    object.SetTag(7);
    const std::vector<uint8_t> expected = {0x00, 0x00, 0x01, 0x00, 0x14, 0x00, 0x00, 0x00, 0x02, 0x00,
                                           0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00};
    EXPECT_EQ(Saved(object), expected);

    struct
    {
        const char* what;
        std::vector<uint8_t> bytes;
        uint32_t tag; // the tag before loading is 99
    } const cases[] = {
        {"saved bytes", expected, 7},
        {"no sub-chunks resets the tag", Chunk(ClassId::BaseObject, {}), 0},
        {"unknown sub-chunks are skipped",
         Chunk(ClassId::BaseObject, Cat({Chunk(9, U32(5)), Chunk(2, U32(3)), Chunk(10, {})})), 3},
        {"another class's chunk is left alone", Chunk(0x11110000, Chunk(2, U32(3))), 99},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        XBaseObject o;
        o.SetTag(99);
        o.SetEnumStamp(5);
        LoadInto(o, c.bytes);
        EXPECT_EQ(o.GetTag(), c.tag);
        EXPECT_EQ(o.GetEnumStamp(), c.tag == 99 ? 5u : 0u);
    }

    // A tag chunk too short for its value must not read the bytes after it.
    XBaseObject o;
    auto shortTag = Cat({Chunk(ClassId::BaseObject, Chunk(2, {7, 0})), U32(0xAAAAAAAA)});
    EXPECT_EQ(ThrownIOError([&] { LoadInto(o, shortTag); }), kIOErrorText);
    EXPECT_EQ(o.GetTag(), 0u);
}

TEST(XBaseObjectTest, PropertiesRoundTripByIdAndByName)
{
    XBaseObject object;
    object.SetTag(3000000000u);
    const XGuid guid(0x204ECAB7, 0x032B, 0x407B, 0xD486BC7A, 0xB24F2EE0);
    object.SetGuid(guid);

    struct
    {
        uint32_t id;
        const char16_t* type;
        const char16_t* name;
        std::u16string value;
        const char16_t* write; // null: read-only
    } const rows[] = {
        {2, u"bitu32", u"Tag", u"3000000000", u"12"},
        {3, u"wstring", u"Name", u"BaseObject", u"Renamed"},
        {4, u"wstring", u"Guid", u"{204ECAB7-032B-407B-7ABC-86D4E02E4FB2}", nullptr},
        {5, u"wstring", u"ClassName", u"XBaseObject", nullptr},
    };
    ASSERT_EQ(object.GetPropertyCount(), 4u);
    EXPECT_EQ(object.GetPropertyDesc(4), nullptr);
    for (unsigned i = 0; i < 4; ++i)
    {
        const auto& row = rows[i];
        SCOPED_TRACE(std::u16string(row.name).size());
        const XPropertyDesc* desc = object.GetPropertyDesc(i);
        ASSERT_NE(desc, nullptr);
        EXPECT_EQ(desc->Id, row.id);
        EXPECT_EQ(std::u16string(desc->TypeName), row.type);
        EXPECT_EQ(std::u16string(desc->Name), row.name);

        // By name: find the row, then go by its id, as a property consumer does.
        unsigned id = 0;
        for (unsigned k = 0; k < object.GetPropertyCount(); ++k)
            if (std::u16string(object.GetPropertyDesc(k)->Name) == row.name)
                id = object.GetPropertyDesc(k)->Id;
        ASSERT_EQ(id, row.id);

        XVariant value;
        object.GetPropertyValue(id, value);
        if (row.id == 2) // an unsigned value: compare as a number, the text form is signed
            EXPECT_EQ(value.AsDouble(), 3000000000.0);
        else
            EXPECT_EQ(Str(value.AsString()), row.value);

        XVariant written(XBaseString<WCHAR>(row.write ? row.write : u"changed"));
        if (row.id == 2)
            written = 12u;
        object.SetPropertyValue(id, written);
        XVariant after;
        object.GetPropertyValue(id, after);
        EXPECT_EQ(Str(after.AsString()), row.write ? row.write : row.value);
    }
    EXPECT_EQ(object.GetTag(), 12u);
    EXPECT_EQ(Str(object.GetName()), u"Renamed");
    EXPECT_TRUE(object.GetGuid() == guid);

    // Unknown ids are ignored both ways.
    XVariant untouched(7);
    object.GetPropertyValue(99, untouched);
    object.SetPropertyValue(99, untouched);
    EXPECT_EQ(untouched.AsInt(), 7);

    // A derived class lists its own rows first, then the base's.
    Derived derived;
    EXPECT_EQ(Str(derived.GetName()), u"Derived");
    EXPECT_EQ(Str(derived.MakeName()), u"Derived");
    ASSERT_EQ(derived.GetPropertyCount(), 6u);
    EXPECT_EQ(std::u16string(derived.GetPropertyDesc(0)->Name), u"Width");
    EXPECT_EQ(std::u16string(derived.GetPropertyDesc(2)->Name), u"Tag");
    EXPECT_EQ(std::u16string(derived.GetPropertyDesc(5)->Name), u"ClassName");
    EXPECT_EQ(derived.GetPropertyDesc(6), nullptr);
    XVariant className;
    derived.GetPropertyValue(XPID_CLASS_NAME, className);
    EXPECT_EQ(Str(className.AsString()), u"XDerived");
}

TEST(XBaseObjectTest, SceneMembershipGoesThroughTheScene)
{
    RecordingLink link;
    int s1, s2;
    auto* object = new XBaseObject;
    XRefManager watcherTarget;
    struct Watcher : XRefManager
    {
        Watcher(XBaseObject* o, RecordingLink& l) : ref(this, o), link(l) {}
        void Notification(XRefManager*, unsigned message, uintptr_t) override
        {
            link.calls.push_back(u"message " + std::u16string(1, u'0' + message));
        }
        XReference<XBaseObject> ref;
        RecordingLink& link;
    } watcher(object, link);

    object->SetEnumStamp(3);
    object->SetScene(FakeScene(s1));
    EXPECT_EQ(object->GetEnumStamp(), 0u);
    object->SetScene(FakeScene(s1)); // unchanged: nothing
    object->SetName(u"Box01");
    object->SetName(u"Box01");
    object->SetGuid(XGuid(1, 2, 3, 4, 5));
    object->SetGuid(XGuid(1, 2, 3, 4, 5));
    object->SetScene(FakeScene(s2));
    EXPECT_EQ(object->GetScene(), FakeScene(s2));
    EXPECT_EQ(Str(object->GetName()), u"Box01");
    EXPECT_EQ(object->GetHashKey(), XBaseObject::HashName(u"Box01"));
    EXPECT_TRUE(object->GetGuid() == XGuid(1, 2, 3, 4, 5));
    object->Destroy();
    EXPECT_EQ(watcher.ref.Get(), nullptr);

    // The object leaves its scene before its holders hear that it is gone.
    EXPECT_EQ(link.calls, (std::vector<std::u16string>{
                              u"attach BaseObject", u"rename BaseObject->Box01", u"reguid",
                              u"detach Box01", u"attach Box01", u"detach Box01", u"message 1"}));
}

TEST(XBaseObjectTest, DescriptorsCreateDetachedObjects)
{
    struct DerivedDesc : XClassDesc
    {
        XBaseObject* Create() const override { return new Derived; }
        XBaseString<WCHAR> GetClassNameW() const override { return u"XDerived"; }
        uint32_t GetCategory() const override { return XCAT_SHAPE; }
    } desc;
    XBaseObject* object = desc.Create();
    EXPECT_EQ(object->GetScene(), nullptr);
    EXPECT_EQ(Str(object->GetClassNameW()), Str(desc.GetClassNameW()));
    EXPECT_NE(desc.GetCategory() & XCAT_MESH, 0u);
    EXPECT_EQ(desc.GetCategory() & XCAT_NODE, 0u);
    XPtrArray<XObjectField, 16> fields;
    object->EnumerateFields(fields);
    EXPECT_EQ(fields.GetCount(), 0u);
    object->Destroy();
}

// Arrays of scene objects do not compile (a throwing array delete would end the program).
template <class T> concept ArrayNewable = requires { new T[2]; };
static_assert(!ArrayNewable<XBaseObject>);
static_assert(!ArrayNewable<Derived>);
static_assert(ArrayNewable<XRefManager>);
