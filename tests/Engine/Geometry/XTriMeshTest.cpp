#include "Engine/Geometry/XTriMesh.h"

#include "Components/XVariant.h"
#include "Engine/Geometry/XUVModifier.h"
#include "Engine/Scene/XObjectField.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MeshSceneLinkDouble.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes Saved(XBaseObject& object)
{
    return SavedBytes([&](XWriter& w) { object.Save(nullptr, w); });
}

Bytes SavedMesh(const XMesh& mesh)
{
    return SavedBytes([&](XWriter& w) { mesh.Save(nullptr, w); });
}

void Fill(XMesh& mesh)
{
    mesh.AddVertex(XVertex(0, 0, 0), 0);
    mesh.AddVertex(XVertex(1, 0, 0), 0);
    mesh.AddVertex(XVertex(0, 2, 0), 0);
    mesh.AddVertex(XVertex(1, 2, 3), 0);
    mesh.AddFace(XFace(0, 1, 2, 0));
    mesh.AddFace(XFace(1, 2, 3, 4));
    for (uint32_t i = 0; i < 4; ++i)
        mesh.GetTextureVertices()[i] = XTextureVertex(0.25f, 0.5f * float(i));
}

XObjectField* Field(XTriMesh& mesh, const char16_t* name)
{
    XPtrArray<XObjectField, 16> fields;
    mesh.EnumerateFields(fields);
    for (uint32_t i = 0; i < fields.GetCount(); ++i)
        if (fields[i]->GetName() == name)
            return fields[i];
    return nullptr;
}
} // namespace

TEST(XTriMeshTest, SavesItsSourceMeshAndLoadsItBack)
{
    XTriMesh empty;
    EXPECT_TRUE(empty.GetName() == u"TriMesh");
    Bytes bytes = Saved(empty);
    // Tag chunk (20), empty stack chunk (8), then 0x98230000 { 0x98230001 { the 68-byte mesh } }.
    ASSERT_EQ(bytes.size(), 20u + 8 + 8 + 8 + 68);
    EXPECT_EQ(std::vector<uint32_t>({ReadU32(&bytes[20]), ReadU32(&bytes[24]), ReadU32(&bytes[28]),
                                     ReadU32(&bytes[32]), ReadU32(&bytes[36]), ReadU32(&bytes[40])}),
              (std::vector<uint32_t>{0x42710000, 8, 0x98230000, 84, 0x98230001, 76}));
    EXPECT_EQ(Bytes(bytes.begin() + 44, bytes.end()), SavedMesh(*empty.GetMesh()));

    XTriMesh full;
    Fill(*full.GetMesh());
    full.GetMesh()->SetWeightsEnabled(true);
    bytes = Saved(full);
    XTriMesh loaded;
    loaded.GetMesh(0, nullptr, nullptr);
    LoadEachChunk(bytes, [&](XReader& r) { loaded.Load(nullptr, r); });
    EXPECT_EQ(SavedMesh(*loaded.GetMesh()), SavedMesh(*full.GetMesh()));
    EXPECT_FALSE(loaded.IsMeshValid(0));
    EXPECT_EQ(loaded.GetMesh(0, nullptr, nullptr)->GetVertexCount(), 4u);

    // A tri-mesh chunk without its mesh leaves the source as it was.
    LoadEachChunk(U32Bytes({0x98230000, 16, 0x98230001, 8}), [&](XReader& r) { loaded.Load(nullptr, r); });
    EXPECT_EQ(loaded.GetVertexCount(), 4u);
}

TEST(XTriMeshTest, DerivedMeshRunsTheModifierStack)
{
    XTriMesh object;
    Fill(*object.GetMesh());
    auto* uv = new XUVModifier;
    uv->SetUScale(2);
    uv->SetUOffset(0.5f);
    object.AddModifier(uv);
    XMesh* derived = object.GetMesh(0, nullptr, nullptr);
    EXPECT_NE(derived, object.GetMesh());
    EXPECT_EQ(derived->GetTextureVertices()[0].u, 1.0f);
    EXPECT_EQ(object.GetMesh()->GetTextureVertices()[0].u, 0.25f);
    EXPECT_EQ(object.GetMesh(0, nullptr, nullptr)->GetTextureVertices()[0].u, 1.0f); // not applied twice

    uv->SetUOffset(0);
    EXPECT_EQ(object.GetMesh(0, nullptr, nullptr)->GetTextureVertices()[0].u, 0.5f);
    XBoundingBox box = object.GetBoundingBox(0);
    EXPECT_EQ(box.max.z, 3.0f);
    object.ClearModifiers();
    EXPECT_EQ(object.GetMesh(0, nullptr, nullptr)->GetTextureVertices()[0].u, 0.25f);
}

TEST(XTriMeshTest, Fields)
{
    XTriMesh object;
    Fill(*object.GetMesh());
    VarUtils::XVariant value;
    value = 7u;
    for (const char16_t* name : {u"FaceCount", u"VertexCount"})
    {
        XObjectField* field = Field(object, name);
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(field->GetTypeName() == u"bitu32");
        EXPECT_FALSE(field->SetValue(&object, value));
    }
    EXPECT_EQ(object.GetFaceCount(), 2u);
    EXPECT_TRUE(Field(object, u"FaceCount")->GetValue(&object, value));
    EXPECT_EQ(value.AsInt(), 2);
    EXPECT_TRUE(Field(object, u"VertexCount")->GetValue(&object, value));
    EXPECT_EQ(value.AsInt(), 4);

    // Face subsets on: the source's groups are rebuilt (highest material first) and the object is
    // invalidated.
    object.GetMesh(0, nullptr, nullptr);
    value = true;
    EXPECT_TRUE(Field(object, u"UseFaceSubsets")->SetValue(&object, value));
    EXPECT_TRUE(object.GetUseFaceSubsets());
    EXPECT_FALSE(object.IsMeshValid(0));
    EXPECT_EQ(object.GetMesh()->GetFaces()[0].material, 4u);
    EXPECT_EQ(object.GetMesh()->GetFaceGroups().GetCount(), 2u);

    XBaseObject* created = TriMeshDesc.Create();
    EXPECT_TRUE(created->GetClassNameW() == TriMeshDesc.GetClassNameW());
    EXPECT_EQ(TriMeshDesc.GetCategory(), 0x100000u);
    EXPECT_EQ(created->GetClassId(), 0x98230000u);
    created->Destroy();
}

TEST(XTriMeshTest, EditFindsOrMakesTheTriMeshEditor)
{
    XTriMesh object;
    EXPECT_TRUE(object.Editable());
    object.Edit(FakeScene(), nullptr); // no scene behind the link: nothing happens

    MeshSceneLinkDouble link;
    RecordingEditor impostor(FakeScene(), u"XTriMeshEditor");
    link.editors[u"XTriMeshEditor"] = &impostor; // the name without the class: not taken
    XMeshNode* node = reinterpret_cast<XMeshNode*>(&impostor);
    object.Edit(FakeScene(), node);
    object.Edit(FakeScene(), nullptr);
    ASSERT_EQ(link.made.size(), 1u);
    XBaseEditor* editor = link.made[0].get();
    EXPECT_EQ(link.calls, (std::vector<std::string>{"Add", "Bind", "Push", "Bind", "Push"}));
    EXPECT_EQ(link.arguments, (std::vector<const void*>{editor, editor, &object, node, editor, editor,
                                                        &object, nullptr, editor}));
}
