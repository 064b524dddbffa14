// The vertex-colour editor on a real scene and mesh, driven through the scene's mouse handler:
// what opening and leaving do to the object's level, painting vertices and faces, misses, meshes
// whose colour array does not match their vertices, and its panel's colour and buttons.
#include "Engine/Editors/XVertexColorEditor.h"

#include "Engine/Editors/TVertexColorEditorFrame.h"
#include "Engine/Scene/XScene.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// Two faces sharing an edge (0-1-2 and 2-1-3, both facing the camera) ten units in front of a
// perspective camera (640 x 480, pi/4) looking down +z.
class XVertexColorEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        node = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Mesh");
        object = static_cast<XTriMesh*>(node->GetMesh());
        mesh = object->GetMesh();
        for (const XVertex& v : {XVertex(-2, -2, 0), XVertex(-2, 2, 0), XVertex(2, -2, 0), XVertex(2, 2, 0)})
            mesh->AddVertex(v, XColor(0xFFFFFFFF));
        mesh->AddFace(XFace(0, 1, 2));
        mesh->AddFace(XFace(2, 1, 3));
        eye.LookFromTenBack();
        painter = new XVertexColorEditor(&scene);
        scene.AddEditor(painter);
        painter->SetMesh(object);
        painter->SetNode(node);
    }

    XPoint Pixel(const XVertex& world) { return eye.ScreenOf(world); }
    void Press(XMouseEvent event, XPoint at) { scene.MouseEventHandler(&eye, event, 0, at); }
    std::vector<uint32_t> Colors()
    {
        std::vector<uint32_t> out;
        for (uint32_t i = 0; i < mesh->GetColorCount(); ++i)
            out.push_back(mesh->GetColors()[i].GetARGB());
        return out;
    }
    // Builds the derived mesh, so that a later MeshInvalidate shows.
    void Settle() { object->GetMesh(0, nullptr, node); }

    XScene scene{nullptr};
    XMeshNode* node = nullptr;
    XTriMesh* object = nullptr;
    XMesh* mesh = nullptr;
    ViewportDouble eye;
    XVertexColorEditor* painter = nullptr;
};
} // namespace

TEST_F(XVertexColorEditorTest, OpeningShowsFacesWithColoursOnAndLeavingRestoresTheLevel)
{
    EXPECT_EQ(painter->GetName(), XString(u"XVertexColorEditor"));
    EXPECT_EQ(painter->GetModeName(1), XString(u"Face"));
    EXPECT_EQ(painter->GetModeName(2), XString());
    EXPECT_EQ(painter->GetPaintColor().GetARGB(), 0x00000000u);

    mesh->SetSelectionLevel(XMesh::VertexLevel);
    mesh->GetVertexSelection().SetBit(1, true);
    mesh->GetFaceSelection().SetBit(0, true);
    EXPECT_FALSE(mesh->GetColorsEnabled());
    painter->SetMode(XVertexColorEditor::FaceMode);
    scene.PushEditor(painter);
    ASSERT_EQ(scene.GetEditor(), painter);
    EXPECT_EQ(mesh->GetSelectionLevel(), XMesh::FaceLevel);
    EXPECT_EQ(mesh->GetVertexSelection().Count(true), 0u);
    EXPECT_EQ(mesh->GetFaceSelection().Count(true), 0u);
    EXPECT_TRUE(mesh->GetColorsEnabled());
    EXPECT_EQ(mesh->GetColorCount(), 4u);

    scene.PopEditor();
    EXPECT_EQ(mesh->GetSelectionLevel(), XMesh::VertexLevel);
    EXPECT_EQ(painter->GetMode(), XVertexColorEditor::VertexMode);
    EXPECT_TRUE(mesh->GetColorsEnabled());

    XVertexColorEditor lone(&scene);
    lone.SetMesh(object);
    EXPECT_FALSE(lone.Activate());
}

TEST_F(XVertexColorEditorTest, APressPaintsTheVertexOrTheFaceCornersUnderItOnce)
{
    scene.PushEditor(painter);
    painter->SetAllColors(XColor(0xFF000000));
    painter->SetPaintColor(XColor(0x80FF0000));
    Settle();
    Press(XME_LEFT_DOWN, XPoint(600, 30)); // nothing there
    EXPECT_TRUE(object->IsMeshValid(0));
    EXPECT_EQ(Colors(), (std::vector<uint32_t>{0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000}));

    Press(XME_LEFT_UP, Pixel(XVertex(2, 2, 0)));
    Press(XME_RIGHT_DOWN, Pixel(XVertex(2, 2, 0)));
    Press(XME_MOVE, Pixel(XVertex(2, 2, 0)));
    EXPECT_EQ(Colors()[3], 0xFF000000u);
    Press(XME_LEFT_DOWN, Pixel(XVertex(2, 2, 0)));
    EXPECT_FALSE(object->IsMeshValid(0));
    EXPECT_EQ(Colors(), (std::vector<uint32_t>{0xFF000000, 0xFF000000, 0xFF000000, 0x80FF0000}));

    // Face mode: the three corners of the face under the point, shared corners included.
    painter->SetMode(XVertexColorEditor::FaceMode);
    painter->SetPaintColor(XColor(0xFF00FF00));
    Press(XME_LEFT_DOWN, Pixel(XVertex(-1, -1, 0)));
    EXPECT_EQ(Colors(), (std::vector<uint32_t>{0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0x80FF0000}));
    EXPECT_EQ(mesh->GetFaceSelection().Count(true), 0u); // painting selects nothing
}

TEST_F(XVertexColorEditorTest, ALoadedMeshWithTooFewColoursIsSizedBeforePainting)
{
    scene.PushEditor(painter);
    // As a scene file may hold it: colours on, but fewer than the vertices.
    mesh->AddVertex(XVertex(0, 0, -1), XColor(0xFFFFFFFF));
    mesh->SetColorCount(2);
    ASSERT_TRUE(mesh->GetColorsEnabled());
    painter->SetPaintColor(XColor(0xFF0000FF));
    Press(XME_LEFT_DOWN, Pixel(XVertex(2, 2, 0)));
    ASSERT_EQ(mesh->GetColorCount(), 5u);
    EXPECT_EQ(Colors()[3], 0xFF0000FFu);

    mesh->SetColorCount(1);
    painter->SetAllColors(XColor(0xFF123456));
    EXPECT_EQ(Colors(), (std::vector<uint32_t>(5, 0xFF123456)));
}

TEST_F(XVertexColorEditorTest, ThePanelSetsThePaintColourAndFillsEveryVertex)
{
    auto* panel = dynamic_cast<TVertexColorEditorFrame*>(painter->GetEditorFrame());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(painter->GetEditorFrame(), panel);
    EXPECT_EQ(panel->ColorEdit->ColorTitle(0), u"R");
    EXPECT_EQ(panel->ColorEdit->ColorTitle(3), u"A");
    EXPECT_EQ(panel->ColorEdit->Height(), 80);
    scene.PushEditor(painter);

    panel->ColorEdit->SetXColor(XColor(0x40102030));
    EXPECT_EQ(painter->GetPaintColor().GetARGB(), 0x40102030u);
    panel->ColorEdit->Bar(0)->SetPosition(255);
    EXPECT_EQ(painter->GetPaintColor().GetARGB(), 0x40FF2030u);
    panel->SpeedButton4->Click();
    EXPECT_EQ(Colors(), (std::vector<uint32_t>(4, 0x40FF2030)));

    node->SetColor(XColor(0xFF0A0B0C));
    panel->SpeedButton1->Click();
    EXPECT_EQ(Colors(), (std::vector<uint32_t>(4, 0xFF0A0B0C)));

    // The node gone: its button does nothing; the mesh gone too: neither does the other.
    scene.PopEditor();
    node->Destroy();
    EXPECT_EQ(painter->GetNode(), nullptr);
    panel->SpeedButton1->Click();
    EXPECT_EQ(painter->GetMesh(), nullptr);
    panel->SpeedButton4->Click();
}
