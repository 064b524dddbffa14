#include "Engine/Scene/XScene.h"

#include "Components/XMemoryStream.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Geometry/XUVModifier.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XMaterial.h"
#include "Engine/Scene/XNodeGroup.h"
#include "Engine/Scene/XTexture.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "tests/support/MathChecks.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/Thrown.h"
#include "tests/support/ViewDouble.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Records the scene's events as lines of text.
struct EventLog
{
    explicit EventLog(XScene& scene)
    {
        scene.OnObjectAttach = MakeClosure(this, &EventLog::Attach);
        scene.OnObjectDetach = MakeClosure(this, &EventLog::Detach);
        scene.OnSceneChange = MakeClosure(this, &EventLog::Change);
        scene.OnObjectSelect = MakeClosure(this, &EventLog::Select);
        scene.OnEditorChange = MakeClosure(this, &EventLog::Editor);
        scene.OnFrameChange = MakeClosure(this, &EventLog::Frame);
    }
    void Attach(TObject*, XBaseObject* o) { lines.push_back("attach " + Name(o)); }
    void Detach(TObject*, XBaseObject* o) { lines.push_back("detach " + Name(o)); }
    void Change(TObject*) { lines.push_back("change"); }
    void Select(TObject*, XBaseObject* o, bool s)
    {
        lines.push_back((s ? "select " : "deselect ") + Name(o));
    }
    void Editor(TObject*, XBaseEditor*) { lines.push_back("editor"); }
    void Frame(TObject*, unsigned f) { lines.push_back("frame " + std::to_string(f)); }
    static std::string Name(XBaseObject* o)
    {
        std::string text;
        XString name = o->GetName();
        for (const WCHAR* p = name.c_str(); *p; ++p)
            text += static_cast<char>(*p);
        return text;
    }
    std::vector<std::string> lines;
};

std::u16string Name(XBaseObject* object)
{
    return object->GetName().c_str();
}

XGuid Guid(uint32_t n)
{
    return XGuid(n, 1, 2, 3, 4);
}
} // namespace

TEST(XSceneTest, ConstructsHeadlessWithItsClassesFoldersAndTimer)
{
    XScene scene(nullptr);
    EXPECT_EQ(scene.GetState(), XScene::StateNormal);
    std::vector<std::u16string> classes;
    for (unsigned i = 0; i < scene.GetClassCount(); ++i)
        classes.push_back(scene.GetClass(i)->GetClassNameW().c_str());
    EXPECT_EQ(classes, (std::vector<std::u16string>{u"XMeshNode", u"XNodeGroup", u"XPointLight",
                                                    u"XSpotLight", u"XDirectionalLight", u"XCamera",
                                                    u"XMaterial", u"XTexture", u"XGrid", u"XTriMesh"}));
    EXPECT_TRUE(scene.GetSceneDir() == u"Scenes");
    EXPECT_TRUE(scene.GetMeshDir() == u"Meshes");
    EXPECT_FALSE(scene.GetRootDir().IsEmpty());
    EXPECT_NE(scene.GetRootDir().c_str()[scene.GetRootDir().Length() - 1], u'/');
    ASSERT_NE(scene.GetTimer(), nullptr);
    EXPECT_FALSE(scene.GetTimer()->Enabled());
    EXPECT_EQ(scene.GetTimer()->Interval(), 50u);
    EXPECT_EQ(scene.GetTimer()->Owner(), &scene);
    EXPECT_NE(scene.GetSceneClipboardFormat(), 0u);
    EXPECT_EQ(scene.GetTriClipboardFormat(), scene.GetSceneClipboardFormat() + 1);
    EXPECT_EQ(scene.GetMaterialCount(), 0u);
    EXPECT_EQ(scene.GetMaterial(0), nullptr);
    EXPECT_EQ(ThrownMessage([&] { scene.GetNode(0); }), u"Out of range.");
    // The scene editor is current, registered first, then the node creator; desktop and tile
    // manager stand.
    ASSERT_NE(scene.GetSceneEditor(), nullptr);
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    EXPECT_EQ(scene.GetEditorCount(), 2u);
    EXPECT_TRUE(scene.GetSceneEditor()->GetName() == u"XSceneEditor");
    EXPECT_EQ(scene.FindEditor(XString(u"XNodeCreator")), scene.GetNodeCreator());
    EXPECT_NE(scene.GetDesktop(), nullptr);
    EXPECT_NE(scene.GetTileManager(), nullptr);
    scene.MouseCreateNodeStart(u"XMeshNode", u"XTriMesh");
    EXPECT_EQ(scene.GetEditor(), scene.GetNodeCreator());
    scene.MouseCreateNodeFinish();
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    EXPECT_EQ(scene.GetEditorStackCount(), 0u);
    EXPECT_EQ(scene.GetObjectCount(), 0u); // the pending node went with the creator

    // An owner frees the scene with itself.
    TComponent owner(nullptr);
    auto* owned = new XScene(&owner);
    EXPECT_EQ(owned->Owner(), &owner);
}

TEST(XSceneTest, CreatesObjectsByRegisteredClassAndRefusesWhatItCannotCreate)
{
    XScene scene(nullptr);
    XGuid guid = Guid(7);
    XBaseObject* mesh = scene.CreateObject(u"XTriMesh", &guid, u"Body");
    ASSERT_NE(dynamic_cast<XTriMesh*>(mesh), nullptr);
    EXPECT_TRUE(mesh->GetGuid() == guid);
    EXPECT_EQ(Name(mesh), u"Body");
    EXPECT_EQ(mesh->GetScene(), &scene);
    EXPECT_EQ(scene.FindObject(guid), mesh);
    EXPECT_EQ(scene.FindObject(XString(u"Body")), mesh);
    EXPECT_EQ(scene.GetMeshCount(), 1u);

    XGuid null;
    XBaseObject* fresh = scene.CreateObject(u"XTriMesh", &null, nullptr);
    EXPECT_FALSE(fresh->GetGuid().IsNull());
    EXPECT_EQ(Name(fresh), u"TriMesh");

    struct Case
    {
        const char16_t* className;
        bool node;
        std::u16string message;
    };
    const Case cases[] = {
        {u"XTriMesh", false, u"Объект с заданным GUID уже присутствует в сцене"},
        {u"XBox", false, u"Невозможно создать объект, класс не зарегистрирован: XBox"},
        {u"XBone", false, u"Невозможно создать объект, класс не зарегистрирован: XBone"},
        {u"XMaterial", true, u"Класс XMaterial не является потомком XBaseMesh"},
        {u"XMeshNode", true, u"Класс XMeshNode не является потомком XBaseMesh"},
        {u"XTriMesh", true, u"Объект с заданным GUID уже присутствует в сцене"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.className, c.className + std::char_traits<char16_t>::length(c.className)));
        unsigned before = scene.GetObjectCount();
        XGuid* given = c.message.find(u"GUID") != std::u16string::npos ? &guid : nullptr;
        if (c.node)
            EXPECT_EQ(ThrownMessage([&] { scene.CreateNode(XString(c.className), given, nullptr); }),
                      c.message);
        else
            EXPECT_EQ(ThrownMessage([&] { scene.CreateObject(XString(c.className), given, nullptr); }),
                      c.message);
        EXPECT_EQ(scene.GetObjectCount(), before);
    }
    EXPECT_EQ(ThrownMessage([&] { scene.CreateNode(static_cast<XBaseMesh*>(nullptr), nullptr, nullptr); }),
              u"При создании узла нельзя использовать нулевой указатель на объект");

    // The node takes the GUID and name; the mesh object keeps its own.
    XGuid nodeGuid = Guid(8);
    XMeshNode* node = scene.CreateNode(XString(u"XTriMesh"), &nodeGuid, u"Crate");
    EXPECT_TRUE(node->GetGuid() == nodeGuid);
    EXPECT_EQ(Name(node), u"Crate");
    ASSERT_NE(node->GetMesh(), nullptr);
    EXPECT_EQ(Name(node->GetMesh()), u"TriMesh2");
    EXPECT_EQ(node->GetParent(), scene.GetMeshTree());
    EXPECT_EQ(scene.FindMeshNode(nodeGuid), node);
    EXPECT_EQ(scene.FindMeshNode(XString(u"TriMesh2")), nullptr);
}

TEST(XSceneTest, KeepsNamesUnique)
{
    XScene scene(nullptr);
    XTriMesh* mesh = new XTriMesh();
    scene.AttachObject(mesh);
    std::vector<std::u16string> names;
    for (int i = 0; i < 3; ++i)
        names.push_back(Name(scene.CreateObject(u"XPointLight", nullptr, nullptr)));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Light", u"Light2", u"Light3"}));
    XBaseObject* third = scene.FindObject(XString(u"Light3"));
    scene.RenameObject(XString(u"Light3"), XString(u"Light"));
    EXPECT_EQ(Name(third), u"Light3");
    third->SetName(u"Light2"); // through the object: refused the same way
    EXPECT_EQ(Name(third), u"Light3");
    third->SetName(u"Lamp");
    EXPECT_EQ(Name(third), u"Lamp");
    EXPECT_EQ(scene.FindObject(XString(u"Lamp")), third);
    EXPECT_EQ(scene.FindObject(XString(u"Light3")), nullptr);

    struct Case
    {
        const char16_t* name;
        const char16_t* unique;
    };
    const Case cases[] = {
        {u"Box", u"Box2"}, {u"Box7", u"Box8"}, {u"Box007", u"Box8"},        {u"Door-3", u"Door-4"},
        {u"", u"2"},       {u"9", u"10"},      {u"Box4294967295", u"Box0"}, // the number is a 32-bit value
                                                                            // and wraps
    };
    for (const Case& c : cases)
    {
        XScene names(nullptr);
        names.CreateNode(XString(u"XTriMesh"), nullptr, c.name);
        XMeshNode* clash = new XMeshNode();
        clash->SetName(c.name);
        names.AttachObject(clash);
        EXPECT_EQ(Name(clash), std::u16string(c.unique));
    }
    // A name at the length limit gives room to its number.
    std::u16string longName(255, u'a');
    scene.CreateNode(mesh, nullptr, longName.c_str());
    XMeshNode* second = scene.CreateNode(mesh, nullptr, longName.c_str());
    EXPECT_EQ(Name(second), std::u16string(254, u'a') + u"2");

    // GUID renames keep the index in step; a taken GUID is refused.
    XGuid a = Guid(100), b = Guid(101);
    XBaseObject* first = scene.FindObject(XString(u"Light"));
    first->SetGuid(a);
    EXPECT_EQ(scene.FindObject(a), first);
    second->SetGuid(b);
    second->SetGuid(a);
    EXPECT_TRUE(second->GetGuid() == b);
    first->SetGuid(XGuid());
    EXPECT_EQ(scene.FindObject(a), nullptr);
    EXPECT_EQ(scene.FindObject(XGuid()), nullptr);
}

TEST(XSceneTest, AttachesDetachesAndMovesObjectsBetweenScenes)
{
    XScene scene(nullptr), other(nullptr);
    EventLog log(scene), otherLog(other);
    XTriMesh* mesh = new XTriMesh();
    scene.AttachObject(mesh);
    scene.AttachObject(mesh); // already here: nothing
    XMeshNode* node = scene.CreateNode(mesh, nullptr, u"Node");
    XUVModifier* modifier = new XUVModifier();
    scene.AttachObject(modifier);
    EXPECT_EQ(scene.GetObjectCount(), 3u);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"attach TriMesh", "attach Node", "attach UVModifier"}));

    XBaseObject* stranger = new XMeshTree(); // a root is a node: filed like one
    EXPECT_NO_THROW(scene.AttachObject(stranger));
    scene.DeleteObject(stranger);

    other.AttachObject(node);
    EXPECT_EQ(node->GetScene(), &other);
    EXPECT_EQ(scene.GetNodeCount(), 0u);
    EXPECT_EQ(other.GetNodeCount(), 1u);
    EXPECT_EQ(node->GetParent(), other.GetMeshTree());
    EXPECT_EQ(scene.FindObject(XString(u"Node")), nullptr);
    EXPECT_EQ(ThrownMessage([&] { scene.DetachObject(node); }), u"Object has other owner");
    EXPECT_EQ(ThrownMessage([&] { scene.DetachObject(static_cast<XBaseObject*>(nullptr)); }),
              u"NULL object pointer");

    log.lines.clear();
    scene.DeleteObject(XString(u"UVModifier"));
    scene.DeleteObject(XString(u"nothing"));
    scene.DeleteObject(Guid(12345));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"detach UVModifier"}));

    // A node destroyed elsewhere leaves its scene on its own.
    node->Destroy();
    EXPECT_EQ(other.GetNodeCount(), 0u);
    EXPECT_EQ(other.GetObjectCount(), 0u);
    EXPECT_EQ(scene.GetMeshCount(), 0u); // its only holder released the mesh object
}

TEST(XSceneTest, PlacesMaterialsInSlotsNamedByTheirIds)
{
    XScene scene(nullptr);
    auto make = [&](uint32_t id)
    {
        auto* material = new XMaterial();
        material->SetIndex(id);
        scene.AttachObject(material);
        return material;
    };
    XMaterial* first = make(XBaseMaterial::NoIndex);
    XMaterial* second = make(XBaseMaterial::NoIndex);
    EXPECT_EQ(first->GetIndex(), 0u);
    EXPECT_EQ(second->GetIndex(), 1u);
    XMaterial* five = make(5); // past the slots: the next free one
    EXPECT_EQ(five->GetIndex(), 2u);

    XScene empty(nullptr);
    {
        XScene blank(nullptr);
        XMemoryStream stream(0, 0);
        blank.SaveToStream(&stream);
        stream.SetPosition(0);
        empty.LoadFromStream(&stream); // a load leaves 128 empty slots
    }
    ASSERT_EQ(empty.GetMaterialCount(), 128u);
    auto* kept = new XMaterial();
    kept->SetIndex(5);
    empty.AttachObject(kept);
    EXPECT_EQ(kept->GetIndex(), 5u);
    EXPECT_EQ(empty.GetMaterial(5), kept);

    // Detaching leaves the slot empty; the later material keeps its slot and id.
    scene.DeleteObject(second);
    EXPECT_EQ(scene.GetMaterialCount(), 3u);
    EXPECT_EQ(scene.GetMaterial(1), nullptr);
    EXPECT_EQ(scene.GetMaterial(2), five);
    EXPECT_EQ(make(XBaseMaterial::NoIndex)->GetIndex(), 1u);

    // Selected nodes take a material by name.
    XMeshNode* node = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"N");
    node->SetSelected(true);
    five->SetName(u"Red");
    scene.ApplyMaterial(u"Red");
    EXPECT_EQ(node->GetMaterial(), 2u);
    scene.ApplyMaterial(u"N"); // not a material: nothing
    EXPECT_EQ(node->GetMaterial(), 2u);
}

TEST(XSceneTest, SelectsNodesAndWalksAssociatedObjects)
{
    XScene scene(nullptr);
    EventLog log(scene);
    XMeshNode* a = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"A");
    XMeshNode* b = scene.CreateNode(a->GetMesh(), nullptr, u"B");
    XUVModifier* modifier = new XUVModifier();
    scene.AttachObject(modifier);
    a->GetMesh()->AddModifier(modifier);
    log.lines.clear();

    a->SetSelected(true);
    b->SetSelectable(false);
    scene.SelectNode(b, true);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"select A", "select B"}));
    EXPECT_EQ(scene.GetSelNodeCount(), 1u);
    EXPECT_TRUE(a->IsSelected());
    EXPECT_FALSE(b->IsSelected());

    XPtrArray<XBaseObject, 8> list;
    list.Add(a);
    list.Add(b);
    scene.EnumAssociatedObjects(list);
    ASSERT_EQ(list.GetCount(), 4u);
    EXPECT_EQ(list[2], a->GetMesh());
    EXPECT_EQ(list[3], modifier);

    scene.ClearNodeSelection();
    EXPECT_EQ(scene.GetSelNodeCount(), 0u);
    EXPECT_FALSE(a->IsSelected());
    a->SetSelected(true);
    scene.DeleteNode(a);
    EXPECT_EQ(scene.GetSelNodeCount(), 0u);
}

TEST(XSceneTest, FiresEventsOnlyWhenNormalAndNotInsideAnUpdate)
{
    XScene scene(nullptr);
    EventLog log(scene);
    auto* editor = new RecordingEditor(&scene, u"Recorder");
    scene.AddEditor(editor);
    scene.SetEditor(editor);
    EXPECT_EQ(scene.GetEditor(), editor);
    editor->calls.clear();
    log.lines.clear();

    scene.BeginUpdate();
    scene.DoSceneChange();
    scene.EndUpdate();
    scene.EndUpdate(); // below zero: still fires
    scene.DoSceneChange();
    scene.BeginUpdate();
    scene.DoSceneChange();
    scene.EndUpdate();
    scene.DoFrameChange(3);
    EXPECT_EQ(log.lines,
              (std::vector<std::string>{"change", "change", "change", "change", "change", "frame 3"}));
    EXPECT_EQ(editor->calls.size(), 6u);

    // Unassigned events keep the editor silent too.
    scene.OnSceneChange = nullptr;
    editor->calls.clear();
    scene.DoSceneChange();
    EXPECT_TRUE(editor->calls.empty());
}

TEST(XSceneTest, SwitchesPushesAndPopsEditors)
{
    XScene scene(nullptr);
    EventLog log(scene);
    auto* first = new RecordingEditor(&scene, u"First");
    auto* second = new RecordingEditor(&scene, u"Second");
    scene.AddEditor(first);
    scene.AddEditor(first);
    scene.AddEditor(second);
    unsigned registered = scene.GetEditorCount();
    EXPECT_EQ(scene.FindEditor(XString(u"Second")), second);

    scene.PushEditor(first);
    scene.PushEditor(first); // already current: nothing pushed
    scene.PushEditor(XString(u"Second"));
    EXPECT_EQ(scene.GetEditor(), second);
    EXPECT_EQ(scene.GetEditorStackCount(), 2u);
    scene.PopEditor();
    EXPECT_EQ(scene.GetEditor(), first);

    // A current editor that refuses to go keeps its place.
    first->deactivateResult = false;
    scene.SetEditor(second);
    EXPECT_EQ(scene.GetEditor(), first);
    first->deactivateResult = true;

    // One that refuses to come empties the stack and gives way to the scene editor.
    second->activateResult = false;
    scene.PushEditor(first);
    scene.SetEditor(second);
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    EXPECT_EQ(scene.GetEditorStackCount(), 0u);
    scene.PopEditor(); // an empty stack: the scene editor
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"editor", "editor", "editor", "editor"}));

    scene.DeleteEditor(first);
    EXPECT_EQ(scene.GetEditorCount(), registered - 1);
    delete first; // no longer the scene's
}

TEST(XSceneTest, ClearsAndDestroysSilentlyAndLeavesItsView)
{
    ViewDouble view;
    int changes = 0;
    struct Counter
    {
        int* count;
        void Change(TObject*) { ++*count; }
        void Detach(TObject*, XBaseObject*) { ++*count; }
    } counter{&changes};
    {
        XScene scene(nullptr);
        scene.SetView(&view);
        EXPECT_EQ(view.scenes.size(), 1u);
        XMeshNode* parent = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Parent");
        XMeshNode* child = scene.CreateNode(parent->GetMesh(), nullptr, u"Child");
        parent->AddChild(child);
        auto* group = static_cast<XNodeGroup*>(scene.CreateObject(u"XNodeGroup", nullptr, nullptr));
        group->AddNode(scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Member"));
        scene.AttachObject(new XUVModifier());
        scene.OnSceneChange = MakeClosure(&counter, &Counter::Change);
        scene.OnObjectDetach = MakeClosure(&counter, &Counter::Detach);

        scene.ClearScene();
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(scene.GetObjectCount(), 0u);
        EXPECT_EQ(scene.GetNodeCount(), 0u);
        EXPECT_EQ(scene.GetMeshTree()->GetChildCount(), 0u);
        EXPECT_EQ(scene.GetState(), XScene::StateNormal);
        EXPECT_EQ(view.calls, (std::vector<std::string>{"AddScene", "ResetViewports"}));

        scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Again");
        changes = 0;
    }
    EXPECT_EQ(changes, 0); // nothing after the destructor started
    EXPECT_TRUE(view.scenes.empty());
}

TEST(XSceneTest, LeavesOnlyItsOwnViewAndReleasesEachDeviceOnce)
{
    // Views that list their scenes as the view does, so that a scene taken out leaves them.
    struct ListingView : ViewDouble
    {
        int AddScene(XScene* scene) override
        {
            ViewDouble::AddScene(scene);
            return XView::AddScene(scene);
        }
        int DeleteScene(XScene* scene) override
        {
            ViewDouble::DeleteScene(scene);
            return XView::DeleteScene(scene);
        }
    };
    // Notes the device events the scene passes on, naming the device by its view.
    struct DeviceNotes : XUVModifier
    {
        std::vector<std::string>* log;
        std::vector<std::pair<IDirect3DDevice9*, std::string>> names;
        void CreateDevice(IDirect3DDevice9* device) override { Note("create ", device); }
        void ReleaseDevice(IDirect3DDevice9* device) override { Note("release ", device); }
        void Note(const char* what, IDirect3DDevice9* device)
        {
            for (const auto& [named, name] : names)
                if (named == device)
                    log->push_back(what + name);
        }
    };
    SoftDevice firstDevice, secondDevice;
    ASSERT_NE(firstDevice.device, nullptr);
    ASSERT_NE(secondDevice.device, nullptr);
    ListingView first, second;
    first.device = firstDevice.device;
    second.device = secondDevice.device;
    std::vector<std::string> log;
    XScene scene(nullptr);
    auto* notes = new DeviceNotes;
    notes->log = &log;
    notes->names = {{firstDevice.device, "first"}, {secondDevice.device, "second"}};
    scene.AttachObject(notes);

    scene.SetView(&first);
    scene.LeaveView(&second); // not its view: nothing changes
    scene.LeaveView(nullptr);
    EXPECT_EQ(scene.GetView(), &first);
    EXPECT_EQ(log, (std::vector<std::string>{"create first"}));
    // Taken out of the first view's list on the way, it leaves that view once.
    scene.SetView(&second);
    EXPECT_EQ(scene.GetView(), &second);
    EXPECT_EQ(first.GetScenes().GetCount(), 0u);
    EXPECT_EQ(log, (std::vector<std::string>{"create first", "release first", "create second"}));
    scene.LeaveView(&first);
    EXPECT_EQ(scene.GetView(), &second);
    scene.SetView(nullptr);
    EXPECT_EQ(log,
              (std::vector<std::string>{"create first", "release first", "create second", "release second"}));
}

TEST(XSceneTest, DeletedNodesHandTheirChildrenToTheirParentAlsoInTheSavedTree)
{
    auto placed = [](XMeshNode* node, float angle, XVertex at)
    {
        XMatrix m;
        m.SetRotation(0.2f, angle, 0.1f);
        m.m[3][0] = at.x;
        m.m[3][1] = at.y;
        m.m[3][2] = at.z;
        node->SetMatrix(m);
    };
    auto world = [](XMeshNode* node)
    {
        XMatrix m;
        node->GetMatrix(0, m);
        return m;
    };
    XScene scene(nullptr);
    XMeshNode* parent = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Parent");
    XMeshNode* doomed = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Doomed");
    XMeshNode* plain = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Plain");
    auto* group = static_cast<XNodeGroup*>(scene.CreateObject(u"XNodeGroup", nullptr, u"Group"));
    XMeshNode* member = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Member");
    placed(parent, 1.5707963f, XVertex(1, 2, 3));
    placed(doomed, 0.7f, XVertex(0, 5, 0));
    placed(plain, -0.4f, XVertex(4, -1, 2));
    placed(member, 0.3f, XVertex(-3, 0, 1));
    group->AddNode(member);
    parent->AddChild(doomed);
    doomed->AddChild(plain);
    doomed->AddChild(group);
    // A group deleted the same way: its ordinary child stays, its member goes with it.
    auto* box = static_cast<XNodeGroup*>(scene.CreateObject(u"XNodeGroup", nullptr, u"Box"));
    XMeshNode* inside = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Inside");
    XMeshNode* beside = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Beside");
    placed(inside, 0.5f, XVertex(2, 2, 2));
    placed(beside, 1.1f, XVertex(-1, 7, 3));
    box->AddNode(inside);
    box->AddChild(beside);
    const XMatrix plainWorld = world(plain), groupWorld = world(group), memberWorld = world(member),
                  besideWorld = world(beside);

    scene.DeleteNode(doomed);
    scene.DeleteObject(box);
    EXPECT_EQ(scene.FindObject(XString(u"Inside")), nullptr);
    ASSERT_EQ(parent->GetChildCount(), 2u);
    EXPECT_EQ(parent->GetChild(0), plain);
    EXPECT_EQ(parent->GetChild(1), group);
    EXPECT_EQ(member->GetParent(), group);
    EXPECT_EQ(beside->GetParent(), scene.GetMeshTree());
    EXPECT_LE(MaxDiff(world(plain), plainWorld), 1e-5f);
    EXPECT_LE(MaxDiff(world(group), groupWorld), 1e-5f);
    EXPECT_LE(MaxDiff(world(member), memberWorld), 1e-5f);
    EXPECT_LE(MaxDiff(world(beside), besideWorld), 1e-5f);

    // The saved tree holds them where they now are.
    XMemoryStream stream(0, 4096);
    scene.SaveToStream(&stream);
    stream.SetPosition(0);
    XScene loaded(nullptr);
    loaded.LoadFromStream(&stream);
    auto node = [&](const char16_t* name) { return loaded.FindMeshNode(XString(name)); };
    ASSERT_NE(node(u"Parent"), nullptr);
    ASSERT_NE(node(u"Plain"), nullptr);
    ASSERT_NE(node(u"Group"), nullptr);
    ASSERT_NE(node(u"Member"), nullptr);
    ASSERT_NE(node(u"Beside"), nullptr);
    EXPECT_EQ(node(u"Plain")->GetParent(), node(u"Parent"));
    EXPECT_EQ(node(u"Group")->GetParent(), node(u"Parent"));
    EXPECT_EQ(node(u"Member")->GetParent(), node(u"Group"));
    EXPECT_TRUE(node(u"Member")->IsGroupped());
    EXPECT_EQ(node(u"Beside")->GetParent(), loaded.GetMeshTree());
    EXPECT_LE(MaxDiff(world(node(u"Plain")), plainWorld), 1e-4f);
    EXPECT_LE(MaxDiff(world(node(u"Member")), memberWorld), 1e-4f);
    EXPECT_LE(MaxDiff(world(node(u"Beside")), besideWorld), 1e-4f);
}
