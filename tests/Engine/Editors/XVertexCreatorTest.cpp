// The vertex creator on a real scene and mesh, driven through the scene's mouse handler as a
// viewport would: faces from picked vertices, stepping back with the right button, vertices
// placed on the construction plane under a moved and scaled node, and splitting a face.
#include "Engine/Editors/XVertexCreator.h"

#include "Engine/Scene/XScene.h"
#include "tests/support/MathChecks.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// A mesh of four vertices, two of them at the same place, ten units in front of a perspective
// camera (640 x 480, pi/4) looking down +z; the creator is pushed over the scene editor.
class XVertexCreatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        node = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Mesh");
        object = static_cast<XTriMesh*>(node->GetMesh());
        mesh = object->GetMesh();
        for (const XVertex& v : {XVertex(-2, -2, 0), XVertex(2, -2, 0), XVertex(0, 2, 0), XVertex(3, 3, 0),
                                 XVertex(3, 3, 0)})
            mesh->AddVertex(v, XColor(0xFFFFFFFF));
        eye.LookFromTenBack();
        eye.SetPlaneAxis(XAXIS_XY);
        creator = new XVertexCreator(&scene);
        scene.AddEditor(creator);
        creator->SetMesh(object);
        creator->SetNode(node);
    }

    void Open(int mode)
    {
        creator->SetMode(mode);
        scene.PushEditor(creator);
        ASSERT_EQ(scene.GetEditor(), creator);
    }

    XPoint Pixel(const XVertex& world) { return eye.ScreenOf(world); }
    XPoint VertexPixel(unsigned index)
    {
        XMatrix m;
        node->GetMeshMatrix(0, m);
        return Pixel(Apply(m, mesh->GetVertices()[index]));
    }
    void Press(XMouseEvent event, XPoint at)
    {
        scene.MouseEventHandler(&eye, event, 0, at);
    }
    void Click(unsigned vertex)
    {
        Press(XME_LEFT_DOWN, VertexPixel(vertex));
        Press(XME_LEFT_UP, VertexPixel(vertex));
    }
    std::vector<unsigned> Collected()
    {
        const auto& list = creator->GetFaceVertices();
        return std::vector<unsigned>(list.GetData(), list.GetData() + list.GetCount());
    }
    std::vector<unsigned> Bits(const XBitArray& bits)
    {
        std::vector<unsigned> out;
        for (unsigned i = 0; i < bits.GetCount(); ++i)
            if (bits.Get(i))
                out.push_back(i);
        return out;
    }

    XScene scene{nullptr};
    XMeshNode* node = nullptr;
    XTriMesh* object = nullptr;
    XMesh* mesh = nullptr;
    ViewportDouble eye;
    XVertexCreator* creator = nullptr;
};
} // namespace

TEST_F(XVertexCreatorTest, ThreePickedVerticesMakeOneFaceInClickOrderAndOnlyItSelected)
{
    mesh->AddFace(XFace(0, 1, 2));
    mesh->SetSelectionLevel(XMesh::FaceLevel);
    mesh->GetFaceSelection().SetBit(0, true);
    mesh->GetVertexSelection().SetBit(3, true);
    Open(XVertexCreator::CreateFaceMode);
    EXPECT_EQ(mesh->GetSelectionLevel(), XMesh::FaceLevel);
    EXPECT_TRUE(Bits(mesh->GetVertexSelection()).empty());

    Click(2);
    Click(2); // the same vertex again is collected once
    EXPECT_EQ(Collected(), (std::vector<unsigned>{2}));
    Click(3); // 3 and 4 overlap: nothing
    EXPECT_EQ(Collected(), (std::vector<unsigned>{2}));
    Click(0);
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<unsigned>{0, 2}));
    Click(1);

    ASSERT_EQ(mesh->GetFaceCount(), 2u);
    const XFace made = mesh->GetFaces()[1];
    EXPECT_EQ(made.v[0], 2u);
    EXPECT_EQ(made.v[1], 0u);
    EXPECT_EQ(made.v[2], 1u);
    EXPECT_EQ(made.material, XFace::NoMaterial);
    EXPECT_EQ(Bits(mesh->GetFaceSelection()), (std::vector<unsigned>{1}));
    EXPECT_TRUE(Bits(mesh->GetVertexSelection()).empty());
    EXPECT_TRUE(Collected().empty());
    EXPECT_EQ(mesh->GetVertexCount(), 5u);
}

TEST_F(XVertexCreatorTest, RightPressesStepBackOnePickEachThenLeaveTheTool)
{
    Open(XVertexCreator::CreateFaceMode);
    Click(0);
    Click(1);
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<unsigned>{0, 1}));

    Press(XME_RIGHT_DOWN, XPoint(5, 5));
    EXPECT_EQ(Collected(), (std::vector<unsigned>{0}));
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<unsigned>{0}));
    Press(XME_RIGHT_DOWN, XPoint(5, 5));
    EXPECT_TRUE(Collected().empty());
    EXPECT_TRUE(Bits(mesh->GetVertexSelection()).empty());
    EXPECT_EQ(scene.GetEditor(), creator);
    Press(XME_RIGHT_DOWN, XPoint(5, 5));
    EXPECT_NE(scene.GetEditor(), creator);
    EXPECT_EQ(mesh->GetFaceCount(), 0u);

    // Picks survive a change of mode and go at the next opening.
    Open(XVertexCreator::CreateFaceMode);
    Click(0);
    creator->SetMode(XVertexCreator::CreateVertexMode);
    EXPECT_EQ(mesh->GetSelectionLevel(), XMesh::VertexLevel);
    creator->SetMode(XVertexCreator::CreateFaceMode);
    EXPECT_EQ(Collected(), (std::vector<unsigned>{0}));
    EXPECT_TRUE(Bits(mesh->GetVertexSelection()).empty());
    scene.PopEditor();
    scene.PushEditor(creator);
    EXPECT_TRUE(Collected().empty());

    // Outside the face mode the right button leaves at once.
    creator->SetMode(XVertexCreator::TessellateMode);
    Press(XME_RIGHT_DOWN, XPoint(5, 5));
    EXPECT_NE(scene.GetEditor(), creator);
}

TEST_F(XVertexCreatorTest, ANewVertexOnAMovedScaledNodeLandsUnderTheCursor)
{
    XMatrix scale;
    scale.SetScale(2, 0.5f, 3);
    XMatrix move;
    move.SetTranslation(1.5f, -2, 4);
    node->SetMatrix(scale * move);
    node->SetColor(XColor(0xFF102030));
    Open(XVertexCreator::CreateVertexMode);
    EXPECT_EQ(mesh->GetSelectionLevel(), XMesh::VertexLevel);

    const XPoint at(412, 198);
    Press(XME_LEFT_DOWN, at);
    Press(XME_LEFT_UP, at);
    Press(XME_MOVE, XPoint(100, 100));
    ASSERT_EQ(mesh->GetVertexCount(), 6u);
    XMatrix m;
    node->GetMeshMatrix(0, m);
    const XVertex world = Apply(m, mesh->GetVertices()[5]);
    EXPECT_NEAR(world.z, 0, 1e-4f); // on the XY plane
    const XPoint shown = Pixel(world);
    EXPECT_NEAR(shown.x, at.x, 1e-2f);
    EXPECT_NEAR(shown.y, at.y, 1e-2f);
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<unsigned>{5}));

    // A node scaled flat has no mesh space to place a vertex in: nothing is added.
    XMatrix flat;
    flat.SetScale(1, 1, 0);
    node->SetMatrix(flat);
    Press(XME_LEFT_DOWN, at);
    EXPECT_EQ(mesh->GetVertexCount(), 6u);
}

TEST_F(XVertexCreatorTest, TessellateSplitsTheFaceUnderThePress)
{
    mesh->AddFace(XFace(0, 2, 1)); // clockwise as the camera sees it: a front face
    Open(XVertexCreator::TessellateMode);
    Press(XME_LEFT_DOWN, Pixel(XVertex(0, -1, 0)));
    EXPECT_EQ(mesh->GetVertexCount(), 6u);
    EXPECT_EQ(mesh->GetFaceCount(), 3u);
    ExpectVertex(mesh->GetVertices()[5], 0, -1, 0, 1e-4f);
}

TEST_F(XVertexCreatorTest, WithoutObjectOrNodeItRefusesAndIgnoresTheMouse)
{
    EXPECT_EQ(creator->GetName(), XString(u"XVertexCreator"));
    EXPECT_EQ(creator->GetModeCount(), 3u);
    EXPECT_EQ(creator->GetModeName(2), XString(u"Tessellate"));
    EXPECT_EQ(creator->GetModeName(5), XString());

    XVertexCreator lone(&scene);
    lone.SetMesh(object);
    EXPECT_FALSE(lone.Activate());
    lone.MouseEvent(&eye, XME_LEFT_DOWN, XPoint(320, 240), 0);
    EXPECT_EQ(mesh->GetVertexCount(), 5u);

    // The node destroyed under an open creator: the press does nothing.
    Open(XVertexCreator::CreateVertexMode);
    node->Destroy();
    EXPECT_EQ(creator->GetNode(), nullptr);
    creator->MouseEvent(&eye, XME_LEFT_DOWN, XPoint(320, 240), 0);
    creator->MouseEvent(&eye, XME_RIGHT_DOWN, XPoint(320, 240), 0);
}
