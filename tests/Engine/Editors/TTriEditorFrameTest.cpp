// The triangle-mesh editor's panel on a real scene: each button's record and effect, undone
// exactly; weights, texture coordinates, the saved selections with their name question, the
// materials, the information page, mirror and the two tools, and a destroyed object.
#include "Engine/Editors/TTriEditorFrame.h"
#include "Engine/Editors/XTriMeshEditor.h"

#include "Components/XMemoryStream.h"
#include "Components/XWriter.h"
#include "Engine/Scene/XMaterial.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/MathChecks.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PlaneViewport.h"
#include "tests/support/StreamBytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
std::vector<uint8_t> MeshChunk(const XMesh& mesh)
{
    XMemoryStream stream(0, 0x2000);
    {
        XWriter writer(&stream);
        mesh.Save(nullptr, writer);
    }
    return StreamBytes(stream);
}

std::vector<uint32_t> Selected(const XBitArray& bits)
{
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < bits.GetCount(); ++i)
        if (bits.Get(i))
            out.push_back(i);
    return out;
}

std::vector<std::u16string> Lines(TMemo* memo)
{
    std::vector<std::u16string> out;
    for (int i = 0; i < memo->Lines()->Count(); ++i)
        out.push_back(memo->Lines()->Strings(i).str());
    return out;
}

// Answers the name questions from a list; runs out into Cancel.
struct Answers
{
    std::vector<std::u16string> names;
    std::vector<std::u16string> prompts;
    Vcl::InputQueryHandler previous;
    Answers()
    {
        previous = Vcl::SetInputQueryHandler(
            [this](const UnicodeString&, const UnicodeString& prompt, UnicodeString& value)
            {
                prompts.push_back(prompt.str());
                if (names.empty())
                    return false;
                value = names.front();
                names.erase(names.begin());
                return true;
            });
    }
    ~Answers() { Vcl::SetInputQueryHandler(previous); }
};

// A 3 x 2 grid of vertices in the z = 0 plane (x 0..2, y 0..1), four faces, normals along z, as
// the object of node "Mesh" under a parent node, opened in the mesh editor.
class TTriEditorFrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Platform::ResetKeyStates();
        parent = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Parent");
        node = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Mesh");
        parent->AddChild(node);
        object = dynamic_cast<XTriMesh*>(node->GetMesh());
        mesh = object->GetMesh();
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                mesh->AddVertex(XVertex(static_cast<float>(x), static_cast<float>(y), 0), 0xFFFFFFFF);
        for (XFace face : {XFace(0, 1, 4), XFace(0, 4, 3), XFace(1, 2, 5), XFace(1, 5, 4)})
            mesh->AddFace(face);
        mesh->ComputeNormals(false, false);
        object->Edit(&scene, node);
        editor = dynamic_cast<XTriMeshEditor*>(scene.GetEditor());
        ASSERT_NE(editor, nullptr);
        frame = dynamic_cast<TTriEditorFrame*>(editor->GetEditorFrame());
        ASSERT_NE(frame, nullptr);
        form = new TForm(nullptr);
        form->SetClientWidth(240);
        form->SetClientHeight(700);
        frame->SetParent(form);
        frame->SetBounds(0, 0, 230, 700);
        form->Show();
        frame->ActivateFrame();
    }
    void TearDown() override
    {
        frame->SetParent(nullptr);
        delete form;
        Platform::ResetKeyStates();
        Platform::DispatchPostedMessages();
    }
    void SelectVertices(std::initializer_list<uint32_t> indices)
    {
        mesh->GetVertexSelection().ClearAll();
        for (uint32_t i : indices)
            mesh->GetVertexSelection().SetBit(i, true);
    }
    void SelectFaces(std::initializer_list<uint32_t> indices)
    {
        mesh->GetFaceSelection().ClearAll();
        for (uint32_t i : indices)
            mesh->GetFaceSelection().SetBit(i, true);
    }
    std::u16string UndoName() { return editor->GetUndoName().c_str(); }

    XScene scene{nullptr};
    XMeshNode* parent = nullptr;
    XMeshNode* node = nullptr;
    XTriMesh* object = nullptr;
    XMesh* mesh = nullptr;
    XTriMeshEditor* editor = nullptr;
    TTriEditorFrame* frame = nullptr;
    TForm* form = nullptr;
};
} // namespace

TEST_F(TTriEditorFrameTest, EveryRecordingButtonRecordsItsNameOnceAndUndoesExactly)
{
    struct Case
    {
        TSpeedButton* button;
        const char16_t* name;
        std::function<void()> prepare;
    };
    auto faces = [&] { SelectFaces({0, 2}); };
    auto vertices = [&] { SelectVertices({0, 1}); };
    const Case cases[] = {
        {frame->NormalsComputeBtn, u"Просчет нормалей", faces},
        {frame->NormalsFlipBtn, u"Обращение нормалей", faces},
        {frame->NormalsNormalizeBtn, u"Нормирование нормалей", faces},
        {frame->FacesTessellateBtn, u"Разбиение граней", faces},
        {frame->FacesTesselate2Btn, u"Разбиение граней", faces},
        {frame->FacesReverseBtn, u"Обратить направление обхода вершин", faces},
        {frame->FaceExtrudeExecuteBtn, u"Выдавливание граней", [&] {
             faces();
             frame->FaceExtrudeDistanceEdit->SetValue(0.5f);
         }},
        {frame->VertexExtrudeExecuteBtn, u"Выдавливание вершин", [&] {
             vertices();
             frame->VertexExtrudeDistanceEdit->SetValue(0.5f);
         }},
        {frame->SpeedButton2, u"Объединение выделенных вершин", vertices},
        {frame->SpeedButton10, u"Слияние вершин", [&] {
             SelectVertices({0, 1, 2});
             frame->MergeRadiusEdit->SetValue(1.5f);
         }},
        {frame->SpeedButton7, u"Выделить соседние вершины", vertices},
        {frame->SpeedButton8, u"Выделить связанные вершины", vertices},
        {frame->SpeedButton11, u"Выделить соседние грани", faces},
        {frame->SpeedButton12, u"Выделить связанные грани", faces},
        {frame->SpeedButton9, u"Выделить вершины по граням", faces},
        {frame->FacesSelectByVerticesBtn, u"Выделить грани по вершинам", vertices},
        {frame->FacesSelectByVerticesInclusiveBtn, u"Выделить грани по вершинам", vertices},
        {frame->FacesSelectAllBtn, u"Выделить все грани", vertices},
        {frame->SpeedButton6, u"Выделить все вершины", vertices},
        {frame->SpeedButton1, u"Инверсия выделенния", vertices},
        {frame->SpeedButton3, u"Инверсия выделенния", faces},
        {frame->ApplyMaterialBtn, u"Назначение граням материала", faces},
    };
    // A scale typed short of its lowest value shows that value once "Выполнить" has read it.
    frame->ScaleXEdit->SelectAll();
    for (char16_t key : std::u16string(u"0.005"))
        frame->ScaleXEdit->Perform(WM_CHAR, key, 0);
    frame->ScaleBtn->Click();
    EXPECT_EQ(frame->ScaleXEdit->Text(), u"0.01000");
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.button->Caption().ToUtf8());
        c.prepare();
        std::vector<uint8_t> before = MeshChunk(*mesh);
        std::vector<uint32_t> vertexBits = Selected(mesh->GetVertexSelection());
        std::vector<uint32_t> faceBits = Selected(mesh->GetFaceSelection());
        // The undone record of the case before goes when this one comes.
        uint32_t records = editor->GetUndoCount() - editor->GetUndoPosition();
        c.button->Click();
        EXPECT_EQ(editor->GetUndoCount(), records + 1);
        EXPECT_EQ(UndoName(), c.name);
        editor->Undo();
        EXPECT_EQ(MeshChunk(*mesh), before);
        EXPECT_EQ(Selected(mesh->GetVertexSelection()), vertexBits);
        EXPECT_EQ(Selected(mesh->GetFaceSelection()), faceBits);
    }

    // "Вершину" records before the creator opens: Undo takes back the vertex a visit placed; a
    // visit that placed nothing leaves no step, so Undo then brings back the inverted selection.
    PlaneViewport viewport(XAXIS_XY);
    SelectVertices({0});
    frame->SpeedButton1->Click();
    for (bool place : {true, false})
    {
        frame->CreateVertexBtn->Click();
        if (place)
            scene.MouseEventHandler(&viewport, XME_LEFT_DOWN, 0, XPoint(5, 5));
        scene.MouseEventHandler(&viewport, XME_RIGHT_DOWN, 0, XPoint(5, 5));
        EXPECT_EQ(mesh->GetVertexCount(), place ? 7u : 6u);
        editor->Undo();
    }
    EXPECT_EQ(mesh->GetVertexCount(), 6u);
    EXPECT_EQ(Selected(mesh->GetVertexSelection()), std::vector<uint32_t>{0});
}

TEST_F(TTriEditorFrameTest, SelectionButtonsActOnTheRightSetAndLevel)
{
    // "Все" on the vertex page selects every vertex, whatever was selected.
    SelectVertices({1});
    frame->SpeedButton6->Click();
    EXPECT_EQ(Selected(mesh->GetVertexSelection()), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
    // "Инверсия" inverts the level's set: vertices in vertex mode, faces in face mode.
    SelectVertices({1, 4});
    SelectFaces({0});
    frame->SpeedButton1->Click();
    EXPECT_EQ(Selected(mesh->GetVertexSelection()), (std::vector<uint32_t>{0, 2, 3, 5}));
    EXPECT_EQ(Selected(mesh->GetFaceSelection()), (std::vector<uint32_t>{0}));
    editor->SetMode(1);
    frame->SpeedButton3->Click();
    EXPECT_EQ(Selected(mesh->GetFaceSelection()), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(Selected(mesh->GetVertexSelection()), (std::vector<uint32_t>{0, 2, 3, 5}));
    // By vertices: all corners (tag 0) or any corner (tag 1).
    SelectVertices({0, 1, 4});
    frame->FacesSelectByVerticesBtn->Click();
    EXPECT_EQ(Selected(mesh->GetFaceSelection()), (std::vector<uint32_t>{0}));
    frame->FacesSelectByVerticesInclusiveBtn->Click();
    EXPECT_EQ(Selected(mesh->GetFaceSelection()), (std::vector<uint32_t>{0, 1, 2, 3}));
}

TEST_F(TTriEditorFrameTest, WeightsAreSetOnTheSelectionAndReadFromOneVertex)
{
    ASSERT_FALSE(mesh->GetWeightsEnabled());
    // Nothing selected: nothing recorded.
    SelectVertices({});
    frame->VerticesSetWeightBtn->Click();
    EXPECT_EQ(editor->GetUndoCount(), 0u);

    SelectVertices({1, 3});
    frame->Bone1WeightEdit->SetValue(0.5f);
    frame->Bone2WeightEdit->SetValue(0.25f);
    frame->Bone3WeightEdit->SetValue(0.25f);
    frame->Bone4WeightEdit->SetValue(0.75f); // not stored: the fourth is what the others leave
    frame->Bone1IndexEdit->SetValue(3);
    frame->Bone2IndexEdit->SetValue(255);
    frame->Bone3IndexEdit->SetValue(0);
    frame->Bone4IndexEdit->SetValue(7);
    frame->VerticesSetWeightBtn->Click();
    EXPECT_EQ(UndoName(), u"Модификация весов вершин");
    ASSERT_TRUE(mesh->GetWeightsEnabled());
    ASSERT_EQ(mesh->GetWeightCount(), 6u);
    for (uint32_t i = 0; i < 6; ++i)
    {
        const XVertexWeight& w = mesh->GetWeights()[i];
        bool set = i == 1 || i == 3;
        EXPECT_EQ(w.weight[0], set ? 0.5f : 1.0f) << i;
        EXPECT_EQ(w.weight[1], set ? 0.25f : 0.0f) << i;
        EXPECT_EQ(w.weight[2], set ? 0.25f : 0.0f) << i;
        EXPECT_EQ(w.index[0], set ? 3 : 0) << i;
        EXPECT_EQ(w.index[1], set ? 255 : 0) << i;
        EXPECT_EQ(w.index[3], set ? 7 : 0) << i;
    }

    // Two selected: reading leaves the boxes as they are; one selected fills them.
    frame->Bone1WeightEdit->SetValue(0.1f);
    frame->VerticesGetWeightBtn->Click();
    EXPECT_EQ(frame->Bone1WeightEdit->Value(), 0.1f);
    SelectVertices({3});
    frame->VerticesGetWeightBtn->Click();
    EXPECT_EQ(frame->Bone1WeightEdit->Value(), 0.5f);
    EXPECT_NEAR(frame->Bone4WeightEdit->Value(), 0.0f, 1e-6f);
    EXPECT_EQ(frame->Bone2IndexEdit->Value(), 255);
    EXPECT_EQ(frame->Bone4IndexEdit->Value(), 7);

    // Undo takes the weights away again.
    editor->Undo();
    EXPECT_FALSE(mesh->GetWeightsEnabled());

    // Texture coordinates the same way.
    SelectVertices({2, 5});
    frame->TextureUEdit->SetValue(0.25f);
    frame->TextureVEdit->SetValue(0.75f);
    frame->VerticesSetTextureBtn->Click();
    EXPECT_EQ(UndoName(), u"Модификация текстурных координат");
    EXPECT_EQ(mesh->GetTextureVertices()[5].v, 0.75f);
    EXPECT_EQ(mesh->GetTextureVertices()[0].v, 0.0f);
    frame->TextureUEdit->SetValue(0);
    frame->VerticesGetTextureBtn->Click();
    EXPECT_EQ(frame->TextureUEdit->Value(), 0.0f);
    SelectVertices({2});
    frame->VerticesGetTextureBtn->Click();
    EXPECT_EQ(frame->TextureUEdit->Value(), 0.25f);

    // A loaded mesh with fewer texture vertices than vertices: reading past them changes nothing,
    // setting makes the missing ones first.
    mesh->SetTextureVertexCount(2);
    SelectVertices({5});
    frame->TextureUEdit->SetValue(0.5f);
    frame->VerticesGetTextureBtn->Click();
    EXPECT_EQ(frame->TextureUEdit->Value(), 0.5f);
    frame->VerticesSetTextureBtn->Click();
    ASSERT_EQ(mesh->GetTextureVertexCount(), 6u);
    EXPECT_EQ(mesh->GetTextureVertices()[5].u, 0.5f);
    EXPECT_EQ(mesh->GetTextureVertices()[4].u, 0.0f);
    editor->Undo();
    EXPECT_EQ(mesh->GetTextureVertexCount(), 2u);
}

TEST_F(TTriEditorFrameTest, InformationPageListsUpToNineSelectedVertices)
{
    XVertex* p = mesh->GetVertices();
    p[4] = XVertex(1, 2.5f, -3);
    mesh->SetWeightsEnabled(true);
    XVertexWeight& w = mesh->GetWeights()[4];
    w.weight[0] = 0.5f;
    w.weight[1] = 0.25f;
    w.weight[2] = 0.25f;
    w.index[0] = 2;
    w.index[1] = 9;
    SelectVertices({4});
    // Another page is shown: nothing is listed.
    frame->InfoMemo->Lines()->Add(u"stale");
    frame->InfoTimerTimer(nullptr);
    EXPECT_TRUE(Lines(frame->InfoMemo).empty());

    frame->PageControl->SetActivePage(frame->InfoTab);
    frame->InfoTimerTimer(nullptr);
    EXPECT_EQ(Lines(frame->InfoMemo),
              (std::vector<std::u16string>{u"Vertex index: 4", u"Position: ( 1, 2.5, -3",
                                           u"Weights: w1 = 0.5, w2 = 0.25, w3 = 0.25, w4 = 0",
                                           u"Indexes: b1 = 2, b2 = 9, b3 = 0, b4 = 0",
                                           std::u16string(31, u'=')}));
    // Without weights only the index and position; in ascending order.
    mesh->SetWeightsEnabled(false);
    SelectVertices({5, 0});
    frame->InfoTimerTimer(nullptr);
    EXPECT_EQ(Lines(frame->InfoMemo), (std::vector<std::u16string>{u"Vertex index: 0", u"Position: ( 0, 0, 0",
                                                                    u"Vertex index: 5", u"Position: ( 2, 1, 0"}));

    // Ten or more selected: nothing.
    for (int i = 0; i < 4; ++i)
        mesh->AddVertex(XVertex(0, 0, 1), 0);
    editor->GetSourceMesh();
    mesh->GetVertexSelection().SetAll();
    frame->InfoTimerTimer(nullptr);
    EXPECT_TRUE(Lines(frame->InfoMemo).empty());
    mesh->GetVertexSelection().SetBit(9, false);
    frame->InfoTimerTimer(nullptr);
    EXPECT_EQ(frame->InfoMemo->Lines()->Count(), 18);

    // The check box runs the timer, every 500 ms.
    EXPECT_FALSE(frame->InfoTimer->Enabled());
    EXPECT_EQ(frame->InfoTimer->Interval(), 500u);
    frame->InfoActiveCheck->SetChecked(true);
    EXPECT_TRUE(frame->InfoTimer->Enabled());
    frame->InfoActiveCheck->SetChecked(false);
    EXPECT_FALSE(frame->InfoTimer->Enabled());
}

TEST_F(TTriEditorFrameTest, SavedSelectionsRefuseAUsedNameAndAskAgain)
{
    BoxRecorder boxes;
    Answers answers;
    SelectVertices({1, 2});
    SelectFaces({3});
    answers.names = {u"A"};
    frame->SelectionSaveBtn->Click();
    ASSERT_EQ(frame->SelectionList->Count(), 1);
    EXPECT_EQ(answers.prompts.back(), u"Введите название для идентификации сохраняемого выделения");
    // "A" again: refused with the message, asked again, and "B" taken.
    answers.names = {u"A", u"B"};
    frame->SelectionSaveBtn->Click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"Выделение с именем \"A\" уже существует, введите другое название!");
    EXPECT_EQ(answers.prompts.size(), 3u);
    ASSERT_EQ(frame->SelectionList->Count(), 2);
    EXPECT_EQ(frame->SelectionList->Items()->Strings(1), u"B");
    // Cancel leaves the list as it is; nothing was recorded by saving.
    frame->SelectionSaveBtn->Click();
    EXPECT_EQ(frame->SelectionList->Count(), 2);
    EXPECT_EQ(editor->GetUndoCount(), 0u);

    // A double click on "A" brings its bits back, recorded.
    SelectVertices({});
    SelectFaces({});
    frame->SelectionList->SetItemIndex(0);
    frame->SelectionListDblClick(frame->SelectionList);
    EXPECT_EQ(UndoName(), u"Выбор сохраненного выделения");
    EXPECT_EQ(Selected(mesh->GetVertexSelection()), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(Selected(mesh->GetFaceSelection()), (std::vector<uint32_t>{3}));
    editor->Undo();
    EXPECT_TRUE(Selected(mesh->GetVertexSelection()).empty());

    // Deleting both leaves the list empty with nothing chosen.
    frame->SelectionDeleteBtn->Click();
    EXPECT_EQ(frame->SelectionList->Count(), 1);
    EXPECT_EQ(frame->SelectionList->ItemIndex(), 0);
    frame->SelectionDeleteBtn->Click();
    EXPECT_EQ(frame->SelectionList->Count(), 0);
    EXPECT_EQ(frame->SelectionList->ItemIndex(), -1);
    EXPECT_EQ(mesh->GetSelectionCount(), 0u);
}

TEST_F(TTriEditorFrameTest, MaterialsListByIndexAndNoneBeforeAChoice)
{
    SelectFaces({1, 3});
    mesh->GetFaces()[1].material = 4;
    frame->ApplyMaterialBtn->Click();
    EXPECT_EQ(mesh->GetFaces()[1].material, 0xFFFFFFFFu);
    EXPECT_TRUE(mesh->GetUseFaceSubsets());

    XMaterial* made[3];
    const char16_t* names[3] = {u"Red", u"Gone", u"Blue"};
    for (int i = 0; i < 3; ++i)
    {
        made[i] = new XMaterial();
        made[i]->SetName(names[i]);
        scene.AttachObject(made[i]);
    }
    scene.DeleteObject(made[1]);
    frame->MaterialComboDropDown(frame->MaterialCombo);
    ASSERT_EQ(frame->MaterialCombo->ItemCount(), 2);
    EXPECT_EQ(frame->MaterialCombo->Item(1), u"Blue");
    frame->MaterialCombo->PickItem(1);
    EXPECT_EQ(frame->GetSelectedMaterial(), made[2]->GetIndex());
    frame->ApplyMaterialBtn->Click();
    uint32_t materials[4];
    for (uint32_t i = 0; i < 4; ++i)
        materials[i] = mesh->GetFaces()[i].material;
    // The faces are grouped by material afterwards, the selection moving with them.
    std::vector<uint32_t> picked = Selected(mesh->GetFaceSelection());
    ASSERT_EQ(picked.size(), 2u);
    for (uint32_t i : picked)
        EXPECT_EQ(materials[i], made[2]->GetIndex());
}

TEST_F(TTriEditorFrameTest, MirrorTurnsTheSelectionAboutItsCentreInTheMeshsSpace)
{
    // The node stands away from the origin: the mirror keeps the selection's own centre.
    node->SetPosition(10, -4, 2);
    frame->VerticesMirrorBtn->Click();
    EXPECT_EQ(editor->GetUndoCount(), 0u);
    SelectVertices({0, 1, 3});
    frame->MirrorRadio->SetItemIndex(0);
    frame->VerticesMirrorBtn->Click();
    EXPECT_EQ(UndoName(), u"Отражение");
    // Centre x = 1/3: x -> 2/3 - x.
    ExpectVertex(mesh->GetVertices()[0], 2.0f / 3, 0, 0, 1e-6f);
    ExpectVertex(mesh->GetVertices()[1], -1.0f / 3, 0, 0, 1e-6f);
    ExpectVertex(mesh->GetVertices()[2], 2, 0, 0);
    ExpectVertex(mesh->GetNormals()[0], 0, 0, 1, 1e-6f);
    // Z flips the normals of the selected.
    frame->MirrorRadio->SetItemIndex(2);
    frame->VerticesMirrorBtn->Click();
    EXPECT_NEAR(mesh->GetNormals()[3].z, -1, 1e-6f);
    EXPECT_NEAR(mesh->GetNormals()[4].z, 1, 1e-6f);
}

TEST_F(TTriEditorFrameTest, ToolsKeepWorldPositions)
{
    XMatrix placing;
    placing.SetRotation(0.3f, -0.7f, 1.1f);
    XMatrix scale;
    scale.SetScale(2, 0.5f, 3);
    XMatrix move;
    move.SetTranslation(4, -1, 2);
    parent->SetMatrix(scale * placing * move);
    XMatrix local;
    local.SetRotation(0.2f, 0.4f, -0.1f);
    local.m[3][0] = 1;
    local.m[3][2] = -2;
    node->SetMatrix(local);
    XMatrix meshRotation;
    meshRotation.SetRotationZ(0.5f);
    node->SetMeshRotation(meshRotation);

    auto world = [](XMeshNode* n, XMesh* m) {
        XMatrix matrix;
        n->GetMeshMatrix(0, matrix);
        std::vector<XVertex> out(m->GetVertices(), m->GetVertices() + m->GetVertexCount());
        matrix.ApplyTo(out.data(), static_cast<unsigned>(out.size()));
        return out;
    };
    std::vector<XVertex> before = world(node, mesh);

    // The selected part as an object of its own, placed where it stood.
    SelectVertices({0, 1, 3, 4});
    unsigned nodes = scene.GetNodeCount();
    frame->SpeedButton4Click(nullptr);
    ASSERT_EQ(scene.GetNodeCount(), nodes + 1);
    XMeshNode* created = scene.GetNode(nodes);
    auto* copy = dynamic_cast<XTriMesh*>(created->GetMesh());
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetMesh()->GetVertexCount(), 4u);
    EXPECT_EQ(copy->GetMesh()->GetFaceCount(), 2u);
    std::vector<XVertex> copied = world(created, copy->GetMesh());
    for (size_t i = 0; i < 4; ++i)
        ExpectVertex(copied[i], before[std::vector<size_t>{0, 1, 3, 4}[i]], 1e-5f);
    EXPECT_EQ(editor->GetUndoCount(), 0u);

    // Picked as faces, the copy is the face and its corners, not what the vertex bits hold.
    editor->SetMode(1);
    SelectVertices({0});
    SelectFaces({2});
    frame->SpeedButton4Click(nullptr);
    ASSERT_EQ(scene.GetNodeCount(), nodes + 2);
    XMeshNode* faceNode = scene.GetNode(nodes + 1);
    XMesh* facePart = dynamic_cast<XTriMesh*>(faceNode->GetMesh())->GetMesh();
    ASSERT_EQ(facePart->GetFaceCount(), 1u);
    ASSERT_EQ(facePart->GetVertexCount(), 3u);
    std::vector<XVertex> corners = world(faceNode, facePart);
    // Face 2 is (1, 2, 5); the copy keeps the vertices' order.
    ExpectVertex(corners[0], before[1], 1e-5f);
    ExpectVertex(corners[1], before[2], 1e-5f);
    ExpectVertex(corners[2], before[5], 1e-5f);
    editor->SetMode(0);

    // The node's transforms go into the vertices; the world positions stay.
    frame->SpeedButton5Click(nullptr);
    std::vector<XVertex> after = world(node, mesh);
    for (size_t i = 0; i < before.size(); ++i)
        ExpectVertex(after[i], before[i], 1e-5f);
    XMatrix reset;
    node->GetLocalMatrix(reset);
    EXPECT_EQ(reset.m[3][0], 0.0f);
    EXPECT_EQ(reset.m[0][0], 1.0f);
    EXPECT_NEAR(mesh->GetNormals()[0].Length(), 1.0f, 1e-5f);
    EXPECT_EQ(editor->GetUndoCount(), 0u);
}

TEST_F(TTriEditorFrameTest, ADestroyedObjectOrNodeMakesEveryHandlerDoNothing)
{
    BoxRecorder boxes;
    Answers answers;
    answers.names = {u"A"};
    SelectVertices({0, 1});
    SelectFaces({0});
    scene.DeleteNode(node);
    std::vector<TSpeedButton*> buttons = {
        frame->NormalsComputeBtn, frame->NormalsFlipBtn, frame->NormalsNormalizeBtn, frame->FacesTessellateBtn,
        frame->FacesReverseBtn, frame->FaceExtrudeExecuteBtn, frame->VertexExtrudeExecuteBtn, frame->SpeedButton2,
        frame->SpeedButton10, frame->SpeedButton7, frame->SpeedButton8, frame->SpeedButton11, frame->SpeedButton12,
        frame->SpeedButton9, frame->FacesSelectByVerticesBtn, frame->FacesSelectAllBtn, frame->SpeedButton6,
        frame->SpeedButton1, frame->ApplyMaterialBtn, frame->VerticesSetWeightBtn, frame->VerticesGetWeightBtn,
        frame->VerticesSetTextureBtn, frame->VerticesGetTextureBtn, frame->VerticesMirrorBtn, frame->MoveBtn,
        frame->RotateBtn, frame->ScaleBtn, frame->SelectionSaveBtn, frame->SelectionDeleteBtn,
        frame->SelectionRefreshBtn, frame->SpeedButton4, frame->SpeedButton5, frame->SpeedButton13};
    unsigned nodes = scene.GetNodeCount();
    for (TSpeedButton* button : buttons)
        button->Click();
    frame->PageControl->SetActivePage(frame->InfoTab);
    frame->InfoTimerTimer(nullptr);
    frame->SelectionListDblClick(nullptr);
    EXPECT_EQ(editor->GetUndoCount(), 0u);
    EXPECT_EQ(scene.GetNodeCount(), nodes);
    EXPECT_EQ(frame->InfoMemo->Lines()->Count(), 0);
    EXPECT_EQ(frame->SelectionList->Count(), 0);
    EXPECT_TRUE(boxes.boxes.empty());
}
