#include "Engine/Geometry/XUVModifier.h"

#include "Components/XVariant.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Scene/XObjectField.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
// Holds a modifier and records the messages it receives from it.
class Holder : public XRefManager
{
public:
    explicit Holder(XBaseModifier* m) : reference(this, m) {}
    void Notification(XRefManager* sender, unsigned message, uintptr_t) override
    {
        EXPECT_EQ(sender, static_cast<XRefManager*>(reference.Get()));
        messages.push_back(message);
        if (message == XRM_DELETED)
            reference.SetTarget(nullptr);
    }
    XReference<XBaseModifier> reference;
    std::vector<unsigned> messages;
};

void SetField(XUVModifier& m, int which, float value)
{
    switch (which)
    {
    case 0:
        m.SetUOffset(value);
        break;
    case 1:
        m.SetVOffset(value);
        break;
    case 2:
        m.SetUScale(value);
        break;
    default:
        m.SetVScale(value);
        break;
    }
}
} // namespace

// Each setter tells every holder once per change, and never for an equal value.
TEST(XUVModifierTest, SettersTellHoldersOnlyOfChanges)
{
    const float defaults[] = {0, 0, 1, 1};
    for (int which = 0; which < 4; ++which)
    {
        XUVModifier m;
        Holder a(&m), b(&m);
        SetField(m, which, defaults[which]);
        EXPECT_TRUE(a.messages.empty()) << which;
        SetField(m, which, 3);
        SetField(m, which, 3);
        EXPECT_EQ(a.messages, std::vector<unsigned>{XRM_MODIFIER_CHANGED}) << which;
        EXPECT_EQ(b.messages, std::vector<unsigned>{XRM_MODIFIER_CHANGED}) << which;
        SetField(m, which, NAN);
        SetField(m, which, NAN); // NaN never equals: a change each time
        EXPECT_EQ(a.messages.size(), 3u) << which;
    }
}

TEST(XUVModifierTest, MapsTextureCoordinates)
{
    XMesh mesh;
    mesh.SetTextureVertexCount(2);
    mesh.GetTextureVertices()[0] = XTextureVertex(0.25f, 0.5f);
    mesh.GetTextureVertices()[1] = XTextureVertex(-1, 2);
    XUVModifier m;
    m.ApplyTo(0, nullptr, nullptr, nullptr, &mesh);
    EXPECT_EQ(mesh.GetTextureVertices()[0].u, 0.25f);
    EXPECT_EQ(mesh.GetTextureVertices()[0].v, 0.5f);
    m.SetUScale(2);
    m.SetUOffset(0.5f);
    m.SetVScale(-1);
    m.SetVOffset(1);
    m.ApplyTo(0, nullptr, nullptr, nullptr, &mesh);
    EXPECT_EQ(mesh.GetTextureVertices()[0].u, 1.0f);
    EXPECT_EQ(mesh.GetTextureVertices()[0].v, 0.5f);
    EXPECT_EQ(mesh.GetTextureVertices()[1].u, -1.5f);
    EXPECT_EQ(mesh.GetTextureVertices()[1].v, -1.0f);
}

TEST(XUVModifierTest, ChunksAndFields)
{
    XUVModifier m;
    m.SetUOffset(0.125f);
    m.SetVScale(4);
    m.SetTag(9);
    std::vector<uint8_t> bytes = SavedBytes([&](XWriter& w) { m.Save(nullptr, w); });
    // Tag chunk (20 bytes), then 0xCC1F0000 with four float chunks.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 20, bytes.end()),
              U32Bytes({0xCC1F0000, 56, 0xCC1F0001, 12, 0x3E000000, 0xCC1F0002, 12, 0, 0xCC1F0003, 12,
                        0x3F800000, 0xCC1F0004, 12, 0x40800000}));
    XUVModifier loaded;
    LoadEachChunk(bytes, [&](XReader& r) { loaded.Load(nullptr, r); });
    EXPECT_EQ(loaded.GetTag(), 9u);
    EXPECT_EQ(SavedBytes([&](XWriter& w) { loaded.Save(nullptr, w); }), bytes);

    // Only UScale in the chunk: the others return to their defaults, silently.
    Holder h(&loaded);
    LoadEachChunk(U32Bytes({0xCC1F0000, 20, 0xCC1F0003, 12, 0x40000000}),
                  [&](XReader& r) { loaded.Load(nullptr, r); });
    EXPECT_EQ(loaded.GetUOffset(), 0.0f);
    EXPECT_EQ(loaded.GetVScale(), 1.0f);
    EXPECT_EQ(loaded.GetUScale(), 2.0f);
    EXPECT_EQ(h.messages, std::vector<unsigned>{XRM_MODIFIER_CHANGED});
    EXPECT_EQ(ThrownIOError(
                  [&] {
                      LoadEachChunk(U32Bytes({0xCC1F0000, 16, 0xCC1F0002, 8}),
                                    [&](XReader& r) { loaded.Load(nullptr, r); });
                  }),
              kIOErrorText);

    XPtrArray<XObjectField, 16> fields;
    m.EnumerateFields(fields);
    ASSERT_EQ(fields.GetCount(), 4u);
    const char16_t* names[] = {u"UOffset", u"VOffset", u"UScale", u"VScale"};
    for (uint32_t i = 0; i < 4; ++i)
    {
        EXPECT_TRUE(fields[i]->GetName() == names[i]);
        EXPECT_TRUE(fields[i]->GetTypeName() == u"float");
    }
    VarUtils::XVariant v;
    v = 2.5f;
    EXPECT_TRUE(fields[1]->SetValue(&m, v));
    EXPECT_EQ(m.GetVOffset(), 2.5f);
    EXPECT_TRUE(fields[3]->GetValue(&m, v));
    EXPECT_EQ(v.AsDouble(), 4.0);

    XBaseObject* created = UVModifierDesc.Create();
    EXPECT_TRUE(created->GetName() == u"UVModifier");
    EXPECT_TRUE(UVModifierDesc.GetClassNameW() == created->GetClassNameW());
    EXPECT_EQ(UVModifierDesc.GetCategory(), 0x10000000u);
    created->Destroy();
}

// The last Release destroys the modifier; holders that still list it hear of it.
TEST(XUVModifierTest, LastReleaseDestroys)
{
    auto* m = new XUVModifier;
    Holder h(m);
    m->AddRef();
    m->AddRef();
    m->Release();
    EXPECT_TRUE(h.messages.empty());
    m->Release();
    EXPECT_EQ(h.messages, std::vector<unsigned>{XRM_DELETED});
    EXPECT_EQ(h.reference.Get(), nullptr);
}
