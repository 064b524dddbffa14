// The triangle-mesh editor on a real scene: binding through the object's Edit, the history kept
// by GUID, long random edit runs undone step by step against saved mesh chunks, the clipboard
// with hostile blocks, selection gestures and the drag and typed transforms.
#include "Engine/Editors/XTriMeshEditor.h"

#include "Engine/Editors/XVertexColorEditor.h"
#include "Engine/Editors/XVertexCreator.h"

#include "Components/XMemoryStream.h"
#include "Components/XWriter.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Win32/Windows.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PlaneViewport.h"
#include "tests/support/RawClipboard.h"
#include "tests/support/SceneModel.h"
#include "tests/support/StreamBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
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

// The chunk of a copy: everything but the named selections.
std::vector<uint8_t> GeometryChunk(const XMesh& mesh)
{
    XMesh copy;
    copy = mesh;
    return MeshChunk(copy);
}

std::vector<bool> Bits(const XBitArray& bits)
{
    std::vector<bool> out(bits.GetCount());
    for (uint32_t i = 0; i < bits.GetCount(); ++i)
        out[i] = bits.Get(i);
    return out;
}

struct Snapshot
{
    std::vector<uint8_t> chunk;
    std::vector<bool> vertices;
    std::vector<bool> faces;
};

// Little-endian chunk bytes built by hand, independent of the writer.
void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> Chunk(uint32_t id, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> out;
    PutU32(out, id);
    PutU32(out, static_cast<uint32_t>(payload.size() + 8));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A block of three vertices and the faces given.
std::vector<uint8_t> Block(const std::vector<std::vector<uint32_t>>& faces, uint32_t positionCount = 3)
{
    std::vector<uint8_t> positions;
    PutU32(positions, positionCount);
    for (int i = 0; i < 9; ++i)
    {
        float f = static_cast<float>(i);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        PutU32(positions, bits);
    }
    std::vector<uint8_t> faceBytes;
    PutU32(faceBytes, static_cast<uint32_t>(faces.size()));
    for (const auto& face : faces)
        for (uint32_t v : face)
            PutU32(faceBytes, v);
    return Chunk(XMesh::SelectionChunkId, Chunk(0x01200001, positions) + Chunk(0x01200002, faceBytes));
}

std::vector<uint8_t> ClipboardBytes(UINT format)
{
    XMemoryStream stream(0, 0x2000);
    if (!XScene::ReadClipboard(format, &stream))
        return {};
    return StreamBytes(stream);
}

class XTriMeshEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EmptyTheClipboard();
        node = AddModelMesh(scene, u"Mesh", 300, 7);
        object = dynamic_cast<XTriMesh*>(node->GetMesh());
        mesh = object->GetMesh();
        // Orthographic, looking down +z from z = -50: x in [-20, 20] spans the 640 pixels.
        viewport.perspective = false;
        viewport.SetOrthographic(40, 30, 1, 100);
        XMatrix camera(1.0f);
        camera.SetTranslation(0, 0, -50);
        viewport.SetCameraWorld(camera);
    }

    XTriMeshEditor* Open(XTriMesh* target, XMeshNode* at)
    {
        target->Edit(&scene, at);
        return dynamic_cast<XTriMeshEditor*>(scene.GetEditor());
    }

    Snapshot Take() const
    {
        return {MeshChunk(*mesh), Bits(mesh->GetVertexSelection()), Bits(mesh->GetFaceSelection())};
    }

    void SelectRandom(std::mt19937& random, unsigned percent)
    {
        XBitArray& v = mesh->GetVertexSelection();
        XBitArray& f = mesh->GetFaceSelection();
        v.SetCount(mesh->GetVertexCount());
        f.SetCount(mesh->GetFaceCount());
        for (uint32_t i = 0; i < v.GetCount(); ++i)
            v.SetBit(i, random() % 100 < percent);
        for (uint32_t i = 0; i < f.GetCount(); ++i)
            f.SetBit(i, random() % 100 < percent);
    }

    // One edit of a random kind that records (when it has something to work on).
    void RandomEdit(XTriMeshEditor* editor, std::mt19937& random)
    {
        auto coin = [&](int n) { return static_cast<int>(random() % n); };
        const uint32_t count = mesh->GetVertexCount();
        int kind = coin(9);
        // Keep the mesh between about 100 and 600 vertices.
        if (count > 600 && (kind == 1 || kind == 2))
            kind = 0;
        if (count < 100 && (kind == 0 || kind == 3))
            kind = 1;
        switch (kind)
        {
        case 0: editor->Delete(); break;
        case 1: editor->Clone(); break;
        case 2:
            editor->CopyToClipboard();
            editor->PasteFromClipboard();
            break;
        case 3: editor->CutToClipboard(); break;
        case 4:
        {
            XPoint a(coin(640), coin(480)), b(coin(640), coin(480));
            XPoint lo(std::min(a.x, b.x), std::min(a.y, b.y)), hi(std::max(a.x, b.x), std::max(a.y, b.y));
            editor->SelectRect(&viewport, lo, hi);
            break;
        }
        case 5:
        {
            scene.SetTransformAxis(1u << coin(3));
            editor->BeginTransform();
            XPoint p(coin(640), coin(480));
            for (int step = coin(4) + 1; step-- > 0;)
            {
                XPoint q(p.x + coin(21) - 10, p.y + coin(21) - 10);
                switch (coin(3))
                {
                case 0: editor->Move(&viewport, q, p); break;
                case 1: editor->Rotate(&viewport, q, p); break;
                default: editor->Scale(&viewport, q, p); break;
                }
                p = q;
            }
            if (coin(2))
                editor->CancelTransform();
            else
                editor->EndTransform();
            break;
        }
        case 6: editor->MoveSelection(&viewport, XVertex(coin(5) - 2.0f, 1.5f, -0.5f)); break;
        case 7: editor->RotateSelection(&viewport, XVertex(0.1f * coin(5), 0.2f, -0.3f)); break;
        default: editor->ScaleSelection(&viewport, XVertex(1.1f, 0.9f, 1.0f + 0.1f * coin(3))); break;
        }
    }

    XScene scene{nullptr};
    XMeshNode* node = nullptr;
    XTriMesh* object = nullptr;
    XMesh* mesh = nullptr;
    PlaneViewport viewport{XAXIS_XY};
};
} // namespace

TEST_F(XTriMeshEditorTest, EditBindsOneEditorWhoseHistoryAndModeBelongToTheObject)
{
    XTriMeshEditor* editor = Open(object, node);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(object->GetSelectionLevel(), XMesh::VertexLevel);
    EXPECT_EQ(editor->GetModeCount(), 2u);
    EXPECT_EQ(editor->GetModeName(0), XString(u"Vertex"));
    EXPECT_EQ(editor->GetModeName(1), XString(u"Face"));
    EXPECT_EQ(editor->GetModeName(2), XString());
    EXPECT_EQ(editor->GetUndoName(), XString());

    editor->SetMode(1);
    EXPECT_EQ(object->GetSelectionLevel(), XMesh::FaceLevel);
    mesh->GetFaceSelection().SetBit(4, true);
    editor->Delete();
    EXPECT_EQ(editor->GetUndoName(), XString(u"Удаление граней"));
    scene.PopEditor();
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    EXPECT_EQ(object->GetSelectionLevel(), XMesh::ObjectLevel);

    // The same object again: the same editor, its mode and history.
    EXPECT_EQ(Open(object, node), editor);
    EXPECT_EQ(editor->GetMode(), 1);
    EXPECT_EQ(object->GetSelectionLevel(), XMesh::FaceLevel);
    EXPECT_EQ(editor->GetUndoCount(), 1u);
    scene.PopEditor();

    // Another object: vertex mode, no history, no selection.
    XMeshNode* otherNode = AddModelMesh(scene, u"Other", 30, 8);
    auto* other = dynamic_cast<XTriMesh*>(otherNode->GetMesh());
    other->GetMesh()->GetVertexSelection().SetCount(30);
    other->GetMesh()->GetVertexSelection().SetBit(3, true);
    EXPECT_EQ(Open(other, otherNode), editor);
    EXPECT_EQ(editor->GetMode(), 0);
    EXPECT_EQ(editor->GetUndoCount(), 0u);
    EXPECT_EQ(editor->GetSelectionCount(), 0u);
    EXPECT_EQ(scene.FindEditor(XString(u"XTriMeshEditor")), editor);
    scene.PopEditor();

    // An object destroyed while bound: the editor refuses and every handler does nothing.
    EXPECT_EQ(Open(object, node), editor);
    mesh->GetVertexSelection().SetBit(0, true);
    editor->MoveSelection(nullptr, XVertex(1, 0, 0));
    const uint32_t records = editor->GetUndoCount();
    ASSERT_EQ(records, 1u);
    object->Destroy();
    editor->Delete();
    editor->Clone();
    editor->MoveSelection(nullptr, XVertex(1, 0, 0));
    editor->BeginTransform();
    editor->CancelTransform();
    editor->PasteFromClipboard();
    EXPECT_EQ(editor->GetUndoCount(), records);
    EXPECT_EQ(editor->GetSelectionCount(), 0u);
    // Its records find nothing to put back; the position still advances.
    ASSERT_TRUE(editor->CanUndo());
    editor->Undo();
    EXPECT_EQ(editor->GetUndoPosition(), 1u);
    scene.PopEditor();
    EXPECT_FALSE(editor->Activate());
}

TEST_F(XTriMeshEditorTest, TwoThousandRandomEditsUndoToTheSavedChunkOneByOne)
{
    XTriMeshEditor* editor = Open(object, node);
    ASSERT_NE(editor, nullptr);
    std::mt19937 random(2024);
    std::vector<Snapshot> before;
    for (int edit = 0; edit < 2000; ++edit)
    {
        if (random() % 4 == 0)
            editor->SetMode(static_cast<int>(random() % 2));
        SelectRandom(random, 1 + random() % 20);
        Snapshot snapshot = Take();
        const uint32_t records = editor->GetUndoCount();
        RandomEdit(editor, random);
        ASSERT_LE(editor->GetUndoCount(), records + 1);
        if (editor->GetUndoCount() == records + 1)
            before.push_back(std::move(snapshot));
    }
    ASSERT_EQ(editor->GetUndoCount(), before.size());
    ASSERT_GT(before.size(), 1500u);

    // Undo everything but the first ten, checking each step.
    for (size_t i = before.size(); i-- > 10;)
    {
        if (random() % 5 == 0)
            editor->SetMode(static_cast<int>(random() % 2));
        ASSERT_TRUE(editor->CanUndo());
        editor->Undo();
        const Snapshot now = Take();
        ASSERT_EQ(now.chunk, before[i].chunk) << "undo of edit " << i;
        ASSERT_EQ(now.vertices, before[i].vertices) << "undo of edit " << i;
        ASSERT_EQ(now.faces, before[i].faces) << "undo of edit " << i;
        ASSERT_EQ(object->GetSelectionLevel(), editor->GetMode() == 0 ? 1u : 2u);
    }

    // A new edit drops the undone records; the next undo reverts it, then the edit before.
    editor->SetMode(0);
    mesh->GetVertexSelection().SetAll();
    const Snapshot beforeNew = Take();
    editor->ScaleSelection(nullptr, XVertex(2, 2, 2));
    EXPECT_EQ(editor->GetUndoCount(), 11u);
    EXPECT_EQ(editor->GetUndoName(), XString(u"Масштабирование"));
    editor->Undo();
    EXPECT_EQ(MeshChunk(*mesh), beforeNew.chunk);
    editor->Undo();
    EXPECT_EQ(MeshChunk(*mesh), before[9].chunk);
}

TEST_F(XTriMeshEditorTest, NamedSelectionsSurviveUndoAndTheBoundDropsTheOldestFirst)
{
    XTriMeshEditor* editor = Open(object, node);
    ASSERT_NE(editor, nullptr);
    std::mt19937 random(99);
    std::vector<Snapshot> before;
    uint32_t named = 0;
    for (int edit = 0; edit < 300; ++edit)
    {
        SelectRandom(random, 1 + random() % 20);
        if (random() % 3 == 0 && mesh->CreateSelection(XString((u"S" + std::u16string(1, u'a' + named % 26)).c_str())) >= 0)
            ++named;
        Snapshot snapshot{GeometryChunk(*mesh), Bits(mesh->GetVertexSelection()), Bits(mesh->GetFaceSelection())};
        const uint32_t records = editor->GetUndoCount();
        RandomEdit(editor, random);
        if (editor->GetUndoCount() == records + 1)
            before.push_back(std::move(snapshot));
    }
    ASSERT_GT(named, 50u);
    while (editor->CanUndo())
    {
        editor->Undo();
        const size_t i = before.size() - editor->GetUndoPosition();
        ASSERT_EQ(GeometryChunk(*mesh), before[i].chunk);
        ASSERT_EQ(mesh->GetSelectionCount(), named);
    }
    EXPECT_EQ(editor->GetUndoName(), XString());

    // A bound of a few mesh copies: the newest records stay, the oldest went.
    editor->SetMode(0);
    const size_t copy = XMeshChangeUndo::MeshBytes(*mesh);
    editor->SetUndoLimit(copy * 5 + copy / 2);
    std::vector<std::vector<uint8_t>> chunks;
    for (int i = 0; i < 12; ++i)
    {
        mesh->GetVertexSelection().SetAll();
        chunks.push_back(MeshChunk(*mesh));
        editor->MoveSelection(nullptr, XVertex(1, 0, 0));
        EXPECT_LE(editor->GetUndoBytes(), editor->GetUndoLimit());
    }
    ASSERT_EQ(editor->GetUndoCount(), 5u);
    for (int i = 11; i >= 7; --i)
    {
        editor->Undo();
        EXPECT_EQ(MeshChunk(*mesh), chunks[i]);
    }
    EXPECT_FALSE(editor->CanUndo());
    // A bound below one copy keeps the newest alone.
    editor->SetUndoLimit(1);
    editor->MoveSelection(nullptr, XVertex(1, 0, 0));
    editor->MoveSelection(nullptr, XVertex(1, 0, 0));
    EXPECT_EQ(editor->GetUndoCount(), 1u);
    EXPECT_EQ(editor->GetUndoName(), XString(u"Перемещение"));
}

TEST_F(XTriMeshEditorTest, PasteRefusesBadBlocksAndSelectsExactlyWhatItPasted)
{
    XTriMeshEditor* editor = Open(object, node);
    ASSERT_NE(editor, nullptr);
    const UINT format = scene.GetTriClipboardFormat();
    EXPECT_FALSE(editor->CanPaste());

    // Copy keeps the selection, and cut deletes only what the clipboard took.
    editor->SetMode(1);
    mesh->GetFaceSelection().SetRange(10, 5, true);
    const Snapshot selected = Take();
    editor->CopyToClipboard();
    EXPECT_EQ(Take().vertices, selected.vertices);
    EXPECT_TRUE(editor->CanPaste());
    const std::vector<uint8_t> good = ClipboardBytes(format);
    ASSERT_GT(good.size(), 16u);
    {
        HWND other = reinterpret_cast<HWND>(0x5150);
        ASSERT_TRUE(OpenClipboard(other));
        editor->CutToClipboard();
        CloseClipboard();
        EXPECT_EQ(Take().chunk, selected.chunk);
        EXPECT_EQ(editor->GetUndoCount(), 0u);
    }

    // Refused blocks: nothing changes, nothing is recorded, the reason is shown.
    struct Case
    {
        std::string what;
        std::vector<uint8_t> bytes;
        std::u16string text;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, u""});
    for (size_t cut = 1; cut < good.size(); ++cut)
        cases.push_back({"cut at " + std::to_string(cut), std::vector<uint8_t>(good.begin(), good.begin() + cut),
                         u"Stream reading error."});
    cases.push_back({"whole mesh chunk", MeshChunk(*mesh), u"Invalid stream format."});
    cases.push_back({"face past the block", Block({{0, 1, 3, 0}}), u"Invalid stream format."});
    cases.push_back({"face naming 0xFFFFFFFF", Block({{0, 0xFFFFFFFFu, 2, 0}}), u"Invalid stream format."});
    cases.push_back({"count past the block", Block({{0, 1, 2, 0}}, 1000), u"Stream reading error."});
    const Snapshot start = Take();
    for (const Case& c : cases)
    {
        PutBytes(format, c.bytes);
        BoxRecorder boxes;
        editor->PasteFromClipboard();
        EXPECT_EQ(Take().chunk, start.chunk) << c.what;
        EXPECT_EQ(Take().faces, start.faces) << c.what;
        EXPECT_EQ(editor->GetUndoCount(), 0u) << c.what;
        std::vector<std::u16string> expected;
        if (!c.text.empty())
            expected.push_back(c.text);
        std::vector<std::u16string> shown;
        for (const RecordedBox& box : boxes.boxes)
            shown.push_back(box.text);
        EXPECT_EQ(shown, expected) << c.what;
    }

    // A good block: exactly the pasted vertices and faces selected, one record.
    PutBytes(format, good);
    const uint32_t v0 = mesh->GetVertexCount(), f0 = mesh->GetFaceCount();
    editor->PasteFromClipboard();
    EXPECT_EQ(editor->GetUndoName(), XString(u"Вставка из буфера"));
    ASSERT_EQ(mesh->GetFaceCount(), f0 + 5);
    ASSERT_EQ(mesh->GetVertexCount(), v0 + 7); // faces 10..14 of a strip use vertices 10..16
    std::vector<bool> faces(f0 + 5, false), vertices(v0 + 7, false);
    for (uint32_t i = f0; i < f0 + 5; ++i)
        faces[i] = true;
    for (uint32_t i = v0; i < v0 + 7; ++i)
        vertices[i] = true;
    EXPECT_EQ(Bits(mesh->GetFaceSelection()), faces);
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), vertices);
    for (uint32_t k = 0; k < 7; ++k)
        EXPECT_EQ(mesh->GetColors()[v0 + k].GetARGB(), mesh->GetColors()[10 + k].GetARGB());
    editor->Undo();
    EXPECT_EQ(Take().chunk, start.chunk);

    // A cut that the clipboard took deletes the faces.
    editor->CutToClipboard();
    EXPECT_EQ(editor->GetUndoName(), XString(u"Удаление граней"));
    EXPECT_EQ(mesh->GetFaceCount(), f0 - 5);
}

TEST_F(XTriMeshEditorTest, SelectionGesturesRecordOnlyWhenAPlainRectangleReplacesASelection)
{
    XTriMeshEditor* editor = Open(object, node);
    ASSERT_NE(editor, nullptr);
    // A fresh mesh of four vertices: two pairs, one behind the other, and one face.
    mesh->SetFaceCount(0);
    mesh->SetVertexCount(0);
    mesh->AddVertex(XVertex(0, 0, 0), 0);
    mesh->AddVertex(XVertex(0, 0, 10), 0);
    mesh->AddVertex(XVertex(5, 0, 0), 0);
    mesh->AddVertex(XVertex(0, 5, 0), 0);
    mesh->AddFace(XFace(0, 3, 2));
    object->MeshInvalidate();
    mesh->GetVertexSelection().SetCount(4);
    mesh->GetFaceSelection().SetCount(1);
    const XPoint origin(320, 240); // (0, 0, *)

    editor->SelectRect(&viewport, origin, origin);
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(editor->GetUndoCount(), 0u);
    editor->SelectRectCtrl(&viewport, XPoint(321, 241), XPoint(321, 241));
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<bool>{false, false, false, false}));
    // Ctrl turns over each vertex it covers: unselected ones become selected, and back.
    editor->SelectRectCtrl(&viewport, origin, origin);
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<bool>{true, true, false, false}));
    editor->SelectRectCtrl(&viewport, XPoint(300, 100), XPoint(410, 245));
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<bool>{false, false, true, true}));
    editor->SelectRectShift(&viewport, XPoint(300, 100), XPoint(410, 245));
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<bool>{true, true, true, true}));
    EXPECT_EQ(editor->GetUndoCount(), 0u);
    editor->SelectRect(&viewport, XPoint(395, 235), XPoint(405, 245));
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<bool>{false, false, true, false}));
    EXPECT_EQ(editor->GetUndoName(), XString(u"Сброс выделения"));
    editor->Undo();
    EXPECT_EQ(Bits(mesh->GetVertexSelection()), (std::vector<bool>{true, true, true, true}));
    editor->ClearSelection();
    const uint32_t records = editor->GetUndoCount();
    editor->ClearSelection();
    EXPECT_EQ(editor->GetUndoCount(), records);

    // Face mode: a click picks the face under it, front or back.
    editor->SetMode(1);
    editor->SelectRect(&viewport, XPoint(330, 230), XPoint(330, 230));
    EXPECT_EQ(Bits(mesh->GetFaceSelection()), (std::vector<bool>{true}));
    EXPECT_EQ(editor->GetSelectionCount(), 1u);
    editor->SelectRectCtrl(&viewport, XPoint(330, 230), XPoint(330, 230));
    EXPECT_EQ(Bits(mesh->GetFaceSelection()), (std::vector<bool>{false}));
    editor->SelectRectCtrl(&viewport, XPoint(330, 230), XPoint(330, 230));
    EXPECT_EQ(Bits(mesh->GetFaceSelection()), (std::vector<bool>{true}));
    unsigned count = 0;
    XVertex centre = editor->GetLocalSelectionCenter(count);
    EXPECT_EQ(count, 1u);
    EXPECT_NEAR(centre.x, 5.0f / 3, 1e-5);
    EXPECT_NEAR(centre.y, 5.0f / 3, 1e-5);

    // Two selected faces: their shared corners count once per face.
    mesh->AddFace(XFace(3, 1, 2));
    mesh->GetFaceSelection().SetCount(2);
    mesh->GetFaceSelection().SetAll();
    centre = editor->GetLocalSelectionCenter(count);
    EXPECT_EQ(count, 2u);
    EXPECT_NEAR(centre.x, 10.0f / 6, 1e-5);
    EXPECT_NEAR(centre.y, 10.0f / 6, 1e-5);
    EXPECT_NEAR(centre.z, 10.0f / 6, 1e-5);
    mesh->SetFaceCount(1);

    // Vertex-mode delete also clears the face selection of the renumbered faces.
    editor->SetMode(0);
    mesh->GetVertexSelection().ClearAll();
    mesh->GetVertexSelection().SetBit(1, true);
    editor->Delete();
    EXPECT_EQ(mesh->GetVertexCount(), 3u);
    EXPECT_EQ(Bits(mesh->GetFaceSelection()), (std::vector<bool>{false}));
}

TEST_F(XTriMeshEditorTest, DragStepsTurnAndScaleAboutTheCentreAndACancelRestoresExactly)
{
    XTriMeshEditor* editor = Open(object, node);
    ASSERT_NE(editor, nullptr);
    XMatrix place(1.0f);
    place.SetTranslation(3, -2, 1);
    node->SetMatrix(place);
    mesh->GetVertexSelection().SetBit(5, true);
    mesh->GetVertexSelection().SetBit(40, true);
    const XVertex a0 = mesh->GetVertices()[5], b0 = mesh->GetVertices()[40];
    const XVertex mid = (a0 + b0) * 0.5f;
    const std::vector<uint8_t> start = MeshChunk(*mesh);

    // 10 px up in rotate mode about Z: DegToRad(5) with pi taken as 3.14.
    scene.SetTransformAxis(XAXIS_Z);
    editor->BeginTransform();
    editor->Rotate(&viewport, XPoint(100, 90), XPoint(100, 100));
    XVertex da = a0 - mid, na = mesh->GetVertices()[5] - mid;
    const float turned = std::atan2(da.x * na.y - da.y * na.x, da.x * na.x + da.y * na.y);
    EXPECT_NEAR(std::fabs(turned), 0.0872222f, 1e-5);
    EXPECT_NEAR(na.z, da.z, 1e-4);
    EXPECT_NEAR(std::hypot(na.x, na.y), std::hypot(da.x, da.y), 1e-4);
    // Scale 1.1 up, 0.9 down, about the centre whatever the axis.
    const XVertex a1 = mesh->GetVertices()[5];
    editor->Scale(&viewport, XPoint(100, 80), XPoint(100, 90));
    XVertex s = mesh->GetVertices()[5] - mid, r = a1 - mid;
    EXPECT_NEAR(s.x, r.x * 1.1f, 1e-4);
    EXPECT_NEAR(s.z, r.z * 1.1f, 1e-4);
    const XVertex a2 = mesh->GetVertices()[5];
    editor->Scale(&viewport, XPoint(100, 90), XPoint(100, 80));
    s = mesh->GetVertices()[5] - mid;
    r = a2 - mid;
    EXPECT_NEAR(s.y, r.y * 0.9f, 1e-4);
    // Move along the plane by the projected step.
    scene.SetTransformAxis(XAXIS_XY);
    const XVertex a3 = mesh->GetVertices()[5];
    editor->Move(&viewport, XPoint(107, 93), XPoint(100, 90));
    EXPECT_NEAR(mesh->GetVertices()[5].x, a3.x + 7, 1e-4);
    EXPECT_NEAR(mesh->GetVertices()[5].y, a3.y + 3, 1e-4);
    editor->CancelTransform();
    EXPECT_EQ(MeshChunk(*mesh), start);
    EXPECT_EQ(editor->GetUndoName(), XString(u"Трансформация вершин"));

    // The world centre goes through the node; typed scale (1, 1, 1) still records.
    unsigned count = 0;
    XVertex world = editor->GetWorldSelectionCenter(count);
    EXPECT_EQ(count, 2u);
    EXPECT_NEAR(world.x, mid.x + 3, 1e-4);
    EXPECT_NEAR(world.y, mid.y - 2, 1e-4);
    editor->ScaleSelection(nullptr, XVertex(1, 1, 1));
    EXPECT_EQ(editor->GetUndoName(), XString(u"Масштабирование"));
    EXPECT_EQ(editor->GetUndoCount(), 1u) << "the cancelled drag changed nothing: its step went";
    mesh->GetVertexSelection().ClearAll();
    editor->RotateSelection(nullptr, XVertex(1, 0, 0));
    EXPECT_EQ(editor->GetUndoCount(), 1u);

    // Positions saved for another vertex count belong to another mesh: a cancel after a delete or
    // a clone in the middle of a drag, or with no drag begun, leaves the vertices as they are.
    mesh->GetVertexSelection().SetBit(7, true);
    editor->BeginTransform();
    editor->Delete();
    const std::vector<uint8_t> fewer = MeshChunk(*mesh);
    editor->CancelTransform();
    EXPECT_EQ(MeshChunk(*mesh), fewer);
    mesh->GetVertexSelection().SetBit(3, true);
    editor->BeginTransform();
    editor->Clone();
    const std::vector<uint8_t> more = MeshChunk(*mesh);
    editor->CancelTransform();
    EXPECT_EQ(MeshChunk(*mesh), more);
    scene.PopEditor();
    ASSERT_EQ(Open(object, node), editor);
    const std::vector<uint8_t> unmoved = MeshChunk(*mesh);
    editor->MoveSelection(nullptr, XVertex(0, 0, 2));
    const std::vector<uint8_t> moved = MeshChunk(*mesh);
    editor->CancelTransform();
    EXPECT_EQ(MeshChunk(*mesh), moved);
    // A click on the gizmo (a press and a release, no move) leaves no step: Undo takes back the move.
    editor->BeginTransform();
    editor->EndTransform();
    editor->Undo();
    EXPECT_EQ(MeshChunk(*mesh), unmoved);
}

TEST_F(XTriMeshEditorTest, ToolEditorsAreRegisteredOnceBoundAndPushedOverTheEditor)
{
    XTriMeshEditor* editor = Open(object, node);
    ASSERT_NE(editor, nullptr);
    mesh->GetVertexSelection().SetBit(2, true);
    editor->MoveSelection(nullptr, XVertex(0, 1, 0));

    editor->CreateVertices(nullptr);
    auto* creator = dynamic_cast<XVertexCreator*>(scene.GetEditor());
    ASSERT_NE(creator, nullptr);
    EXPECT_EQ(creator->GetMode(), 0);
    EXPECT_EQ(creator->GetMesh(), object);
    EXPECT_EQ(creator->GetNode(), node);
    scene.PopEditor();
    EXPECT_EQ(scene.GetEditor(), editor);
    EXPECT_EQ(editor->GetUndoCount(), 1u); // back on the same object: the history stays
    const unsigned editors = scene.GetEditorCount();
    editor->CreateFaces(nullptr);
    EXPECT_EQ(scene.GetEditor(), creator);
    EXPECT_EQ(creator->GetMode(), 1);
    scene.PopEditor();
    editor->OpenVertexCreator(2);
    EXPECT_EQ(creator->GetMode(), 2);
    EXPECT_EQ(scene.GetEditorCount(), editors);
    scene.PopEditor();

    // The colour editor paints what the mode selects.
    editor->SetMode(1);
    editor->EditVertexColors();
    auto* colours = dynamic_cast<XVertexColorEditor*>(scene.GetEditor());
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(colours->GetMode(), 1);
    scene.PopEditor();
    EXPECT_EQ(scene.GetEditor(), editor);
    EXPECT_EQ(editor->GetMode(), 1);
}

TEST_F(XTriMeshEditorTest, CountsOutOfStepWithTheMeshAreSizedBeforeUse)
{
    // As a loaded scene may hold them: short selections, colours and weights, and a face naming a
    // vertex that is not there.
    mesh->GetVertexSelection().SetCount(5);
    mesh->GetVertexSelection().SetAll();
    mesh->GetFaceSelection().SetCount(400);
    mesh->GetFaceSelection().SetAll();
    mesh->SetColorCount(10);
    mesh->SetWeightCount(3);
    mesh->GetFaces()[7] = XFace(0, 1, 5000);
    XTriMeshEditor* editor = Open(object, node);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(mesh->GetVertexSelection().GetCount(), 300u);
    EXPECT_EQ(mesh->GetFaceSelection().GetCount(), 298u);
    EXPECT_EQ(mesh->GetColorCount(), 300u);
    EXPECT_EQ(mesh->GetWeightCount(), 300u);

    editor->SetMode(1);
    mesh->GetFaceSelection().SetAll();
    unsigned count = 0;
    editor->GetLocalSelectionCenter(count);
    EXPECT_EQ(count, 297u); // the face past the vertices has no place
    mesh->GetFaceSelection().SetCount(3);
    editor->Clone();
    editor->CopyToClipboard();
    editor->PasteFromClipboard();
    mesh->SetWeightCount(1);
    editor->SetMode(0);
    mesh->GetVertexSelection().SetCount(2);
    mesh->GetVertexSelection().SetAll();
    editor->Clone();
    editor->Delete();
    EXPECT_EQ(mesh->GetWeightCount(), mesh->GetVertexCount());
    while (editor->CanUndo())
        editor->Undo();
    EXPECT_EQ(mesh->GetVertexCount(), 300u);
}
