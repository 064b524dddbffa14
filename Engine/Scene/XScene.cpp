#include "Engine/Scene/XScene.h"

#include "Components/XException.h"
#include "Components/XFileStream.h"
#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "Engine/Editors/XBaseEditor.h"
#include "Engine/Editors/XNodeCreator.h"
#include "Engine/Editors/XAnimationEditor.h"
#include "Engine/Editors/XTriMeshEditor.h"
#include "Engine/Editors/XPointListEditor.h"
#include "Engine/Editors/XSceneEditor.h"
#include "Engine/Editors/XSkinEditor.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XBaseModifier.h"
#include "Engine/Geometry/XGrid.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XBaseCamera.h"
#include "Engine/Scene/XBaseLight.h"
#include "Engine/Scene/XBaseMaterial.h"
#include "Engine/Scene/XBaseObject.h"
#include "Engine/Scene/XBaseTexture.h"
#include "Engine/Scene/XCamera.h"
#include "Engine/Scene/XClassDesc.h"
#include "Engine/Scene/XMaterial.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XNodeGroup.h"
#include "Engine/Scene/XSceneLink.h"
#include "Engine/Scene/XTexture.h"
#include "Engine/Views/XView.h"
#include "Gx/UI/GxDesktop.h"
#include "Gx/UI/GxTileManager.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Win32/Windows.h"

#include <algorithm>
#include <memory>

using StrUtils::XBaseString;

const XGuid XScene::FormatGuid(0x1684A712, 0xDCB4, 0x481F, 0x45279BB2, 0x0DE0D8F6);

static_assert(sizeof(SYSTEMTIME) == 16, "the save time is written as 16 raw bytes");

namespace
{
// ---- What the scene knows of classes that are built elsewhere --------------------------------
//
// How the scene files an object: the first kind in this order that the object is wins. Lights
// and cameras are nodes that the scene also lists apart; textures and materials have lists of
// their own. Each of those classes adds its test here when its unit is in the build.
enum class Kind
{
    Node,
    Mesh,
    Modifier,
    Texture,
    Material,
    Unknown
};

Kind KindOf(XBaseObject* object)
{
    if (dynamic_cast<XMeshNode*>(object))
        return Kind::Node;
    if (dynamic_cast<XBaseMesh*>(object))
        return Kind::Mesh;
    if (dynamic_cast<XBaseModifier*>(object))
        return Kind::Modifier;
    if (dynamic_cast<XBaseTexture*>(object))
        return Kind::Texture;
    if (dynamic_cast<XBaseMaterial*>(object))
        return Kind::Material;
    return Kind::Unknown;
}

bool IsLight(XMeshNode* node)
{
    return dynamic_cast<XBaseLight*>(node) != nullptr;
}

bool IsCamera(XMeshNode* node)
{
    return dynamic_cast<XBaseCamera*>(node) != nullptr;
}

// Appends with the room grown geometrically: the lists add one slot at a time by themselves,
// which would make filing many objects quadratic.
template <class T, unsigned N> void Append(XPtrArray<T, N>& list, T* item)
{
    uint32_t capacity = list.GetCapacity();
    if (list.GetCount() == capacity && capacity < 0x80000000u)
        list.SetCapacity(capacity < 16 ? 16 : capacity * 2);
    list.Add(item);
}

// Takes the entry out of the list, searching from the end: the scene empties itself from the end,
// so that removing many objects stays linear.
template <class T, unsigned N> void Remove(XPtrArray<T, N>& list, const T* item)
{
    for (uint32_t i = list.GetCount(); i-- > 0;)
    {
        if (list.GetData()[i] == item)
        {
            list.Delete(i);
            return;
        }
    }
}

// Takes the node out of a list of one of its subclasses without asking the node what it is:
// a node being destroyed is no longer of that subclass.
template <class T, unsigned N> void RemoveNode(XPtrArray<T, N>& list, XMeshNode* node)
{
    for (uint32_t i = list.GetCount(); i-- > 0;)
    {
        if (static_cast<XMeshNode*>(list.GetData()[i]) == node)
        {
            list.Delete(i);
            return;
        }
    }
}

// The scene's parts from the editors and the in-viewport UI, made, told and freed here. Until a
// part's unit is in the build the scene runs without it.
XBaseEditor* NewSceneEditor(XScene* scene)
{
    return new XSceneEditor(scene);
}

XBaseEditor* NewNodeCreator(XScene* scene)
{
    return new XNodeCreator(scene);
}

XBaseEditor* NewAnimationEditor(XScene* scene)
{
    return new XAnimationEditor(scene);
}

Gx::Ui::GxDesktop* NewDesktop(XScene* scene)
{
    return new Gx::Ui::GxDesktop(scene);
}

Gx::Ui::GxTileManager* NewTileManager(XScene*)
{
    return new Gx::Ui::GxTileManager();
}

void FreeDesktop(Gx::Ui::GxDesktop* desktop)
{
    delete desktop;
}

void FreeTileManager(Gx::Ui::GxTileManager* manager)
{
    delete manager;
}

// Device events for the desktop and the tile manager, in the order create, release, invalidate,
// restore.
void DesktopDevice(Gx::Ui::GxDesktop* desktop, int event, IDirect3DDevice9* device)
{
    if (!desktop)
        return;
    switch (event)
    {
    case 0:
        desktop->CreateDevice(device);
        break;
    case 1:
        desktop->ReleaseDevice(device);
        break;
    case 2:
        desktop->InvalidateDevice(device);
        break;
    default:
        desktop->RestoreDevice(device);
        break;
    }
}

void TileManagerDevice(Gx::Ui::GxTileManager* manager, int event, IDirect3DDevice9* device)
{
    if (!manager)
        return;
    switch (event)
    {
    case 0:
        manager->CreateDevice(device);
        break;
    case 1:
        manager->ReleaseDevice(device);
        break;
    case 2:
        manager->InvalidateDevice(device);
        break;
    default:
        manager->RestoreDevice(device);
        break;
    }
}

// ---- The scene's side of the object link -----------------------------------------------------

class SceneLink final : public XSceneLink
{
public:
    void AttachObject(XScene* scene, XBaseObject* object) override
    {
        if (scene)
            scene->AttachObject(object);
    }
    void DetachObject(XScene* scene, XBaseObject* object) override
    {
        if (scene)
            scene->DetachObject(object);
    }
    void RenameObject(XScene* scene, XBaseObject* object, const XString&, const XString& newName) override
    {
        Rename(scene, object, newName);
    }
    void RenameObject(XScene* scene, XBaseObject* object, const XGuid&, const XGuid& newGuid) override
    {
        Rename(scene, object, newGuid);
    }
    void SelectNode(XScene* scene, XMeshNode* node, bool select) override
    {
        if (scene)
            scene->SelectNode(node, select);
    }
    XBaseObject* FindObject(XScene* scene, const XGuid& guid) override
    {
        return scene ? scene->FindObject(guid) : nullptr;
    }
    XBaseObject* FindObject(XScene* scene, const XString& name) override
    {
        return scene ? scene->FindObject(name) : nullptr;
    }
    XBaseEditor* FindEditor(XScene* scene, const XString& name) override
    {
        return scene ? scene->FindEditor(name) : nullptr;
    }
    void AddEditor(XScene* scene, XBaseEditor* editor) override
    {
        if (scene)
            scene->AddEditor(editor);
    }
    void PushEditor(XScene* scene, XBaseEditor* editor) override
    {
        if (scene)
            scene->PushEditor(editor);
    }
    XBaseEditor* CreateAnimationEditor(XScene* scene) override { return NewAnimationEditor(scene); }
    bool IsTriMeshEditor(XBaseEditor* editor) override { return dynamic_cast<XTriMeshEditor*>(editor); }
    XBaseEditor* CreateTriMeshEditor(XScene* scene) override { return new XTriMeshEditor(scene); }
    void BindTriMeshEditor(XBaseEditor* editor, XTriMesh* mesh, XMeshNode* node) override
    {
        if (auto* triMesh = dynamic_cast<XTriMeshEditor*>(editor))
        {
            triMesh->SetMesh(mesh);
            triMesh->SetNode(node);
        }
    }
    bool IsSkinEditor(XBaseEditor* editor) override { return dynamic_cast<XSkinEditor*>(editor); }
    XBaseEditor* CreateSkinEditor(XScene* scene) override { return new XSkinEditor(scene); }
    void BindSkinEditor(XBaseEditor* editor, XTriMesh* mesh, XMeshNode* node, XSkinModifier* modifier) override
    {
        if (auto* skin = dynamic_cast<XSkinEditor*>(editor))
        {
            skin->SetMesh(mesh);
            skin->SetNode(node);
            skin->SetModifier(modifier);
        }
    }
    bool IsPointListEditor(XBaseEditor* editor) override { return dynamic_cast<XPointListEditor*>(editor); }
    XBaseEditor* CreatePointListEditor(XScene* scene) override { return new XPointListEditor(scene); }
    void BindPointListEditor(XBaseEditor* editor, XBaseMesh* mesh, XMeshNode* node) override
    {
        if (auto* points = dynamic_cast<XPointListEditor*>(editor))
        {
            points->SetMesh(mesh);
            points->SetNode(node);
        }
    }
    // GetMeshMatrix is the default, which asks the node itself (XMeshNode::GetMeshMatrix).

    XClassDesc* FindClass(XScene* scene, const XString& className) override
    {
        return scene ? scene->FindClass(className) : nullptr;
    }
    XBaseObject* CreateObject(XScene* scene, const XString& className) override
    {
        return scene ? scene->CreateObject(className, nullptr, nullptr) : nullptr;
    }
    XMeshNode* CreateNode(XScene* scene, XBaseMesh* mesh) override
    {
        return scene ? scene->CreateNode(mesh, nullptr, nullptr) : nullptr;
    }
    void MouseCreateNodeFinish(XScene* scene) override
    {
        if (scene)
            scene->MouseCreateNodeFinish();
    }
    unsigned GetNodeCount(XScene* scene) override { return scene ? scene->GetNodeCount() : 0; }
    XMeshNode* GetNode(XScene* scene, unsigned index) override
    {
        return scene ? scene->GetNode(index) : nullptr;
    }
    unsigned GetSelNodeCount(XScene* scene) override { return scene ? scene->GetSelNodeCount() : 0; }
    XMeshNode* GetSelNode(XScene* scene, unsigned index) override
    {
        return scene ? scene->GetSelNode(index) : nullptr;
    }
    XMeshTree* GetMeshTree(XScene* scene) override { return scene ? scene->GetMeshTree() : nullptr; }
    unsigned GetTransformAxis(XScene* scene) override { return scene ? scene->GetTransformAxis() : 0; }
    void SetTransformAxis(XScene* scene, unsigned axis) override
    {
        if (scene)
            scene->SetTransformAxis(axis);
    }
    unsigned GetTransformType(XScene* scene) override { return scene ? scene->GetTransformType() : 0; }
    unsigned FindTransformAxis(XScene* scene, XViewport* viewport, const XPoint& point,
                               const XMatrix* placement) override
    {
        return scene ? scene->FindTransformAxis(viewport, point, placement) : 0;
    }
    void CopySelNodesToClipboard(XScene* scene) override
    {
        if (scene)
            scene->CopySelNodesToClipboard();
    }
    void CutSelNodesToClipboard(XScene* scene) override
    {
        if (scene)
            scene->CutSelNodesToClipboard();
    }
    void PasteFromClipboard(XScene* scene) override
    {
        if (scene)
            scene->PasteFromClipboard();
    }
    unsigned GetMaterialCount(XScene* scene) override { return scene ? scene->GetMaterialCount() : 0; }
    XBaseMaterial* GetMaterial(XScene* scene, uint32_t index) override
    {
        return scene ? scene->GetMaterial(index) : nullptr;
    }
    unsigned GetFrame(XScene* scene) override { return scene ? scene->GetFrame() : 0; }

    static void SetSelectedFlag(XMeshNode* node, bool selected) { StoreSelected(node, selected); }

    // The object's own SetName and SetGuid: through its scene, or stored as they are without one.
    static void Rename(XScene* scene, XBaseObject* object, const XString& newName);
    static void Rename(XScene* scene, XBaseObject* object, const XGuid& newGuid);
};

SceneLink g_sceneLink;

void InstallLinks()
{
    if (XSceneLink::Get() != &g_sceneLink)
        XSceneLink::Install(&g_sceneLink);
}

// Sets the state word for the length of a load or save and leaves it normal however it ends.
class StateScope
{
public:
    StateScope(uint32_t& state, uint32_t value) : m_State(state) { m_State = value; }
    ~StateScope() { m_State = XScene::StateNormal; }
    StateScope(const StateScope&) = delete;
    StateScope& operator=(const StateScope&) = delete;

private:
    uint32_t& m_State;
};

// One chunk of a stream seen as a stream of its own, from its header to its end. A loader that
// fails halfway through leaves nothing open on the outer reader, and nothing it reads can reach
// past the chunk.
class ChunkWindow final : public XStream
{
public:
    ChunkWindow(XStream* base, int64_t start, int64_t size) : m_Base(base), m_Start(start), m_Size(size) {}

    unsigned Read(void* buffer, unsigned count) override
    {
        int64_t left = m_Size - m_Position;
        if (left <= 0)
            return 0;
        if (int64_t(count) > left)
            count = static_cast<unsigned>(left);
        m_Base->SetPosition(m_Start + m_Position);
        unsigned got = m_Base->Read(buffer, count);
        m_Position += got;
        return got;
    }
    unsigned Write(const void*, unsigned) override { return 0; }
    int64_t Seek(int64_t offset, unsigned origin) override
    {
        if (origin == 0)
            SetPosition(offset);
        else if (origin == 1)
            SetPosition(m_Position + offset);
        else if (origin == 2)
            SetPosition(m_Size + offset);
        return m_Position;
    }
    bool IsOpen() const override { return true; }
    bool Eof() const override { return m_Position >= m_Size; }
    int64_t GetPosition() const override { return m_Position; }
    void SetPosition(int64_t position) override
    {
        m_Position = position < 0 ? 0 : position > m_Size ? m_Size : position;
    }
    int64_t GetSize() const override { return m_Size; }
    void SetSize(int64_t) override {}

private:
    XStream* m_Base;
    int64_t m_Start;
    int64_t m_Size;
    int64_t m_Position = 0;
};

// The chunk the reader has just opened, as a window: the stream stands right after its header.
std::unique_ptr<ChunkWindow> OpenedChunk(XStream* stream)
{
    int64_t start = stream->GetPosition() - 8;
    uint32_t header[2] = {0, 0};
    stream->SetPosition(start);
    if (stream->Read(header, 8) != 8)
        throw FileUtils::XIOError();
    return std::make_unique<ChunkWindow>(stream, start, header[1]);
}

// NextChunk, which must open a chunk of this id with at least count bytes, then the bytes.
void ReadExactChunk(XReader& reader, uint32_t id, void* data, unsigned count)
{
    if (!reader.NextChunk() || reader.GetChunkId() != id)
        throw XWrongChunkException();
    if (reader.GetBytesLeft() < count || reader.Read(data, count) != count)
        throw FileUtils::XIOError();
    reader.EndChunk();
}

XString ProgramFolderW()
{
    XString path(Platform::ProgramPathW().c_str());
    unsigned end = path.Length();
    while (end > 0 && path.c_str()[end - 1] != u'/' && path.c_str()[end - 1] != u'\\')
        --end;
    while (end > 0 && (path.c_str()[end - 1] == u'/' || path.c_str()[end - 1] == u'\\'))
        --end;
    return path.SubString(0, end);
}

bool IsDigit(WCHAR c)
{
    return c >= u'0' && c <= u'9';
}

XString NumberText(int32_t value)
{
    WCHAR text[16];
    IntToStr(text, value);
    return XString(text);
}

// The given name's file-name part: the text after its last separator or drive colon.
XString FileNamePart(const XString& path)
{
    const WCHAR* text = path.c_str();
    unsigned length = path.Length();
    unsigned start = length;
    while (start > 0 && text[start - 1] != u'\\' && text[start - 1] != u'/' && text[start - 1] != u':')
        --start;
    return path.SubString(start, length - start);
}

// Writes the bytes to a temporary file beside the target and moves it over the target, so that
// a failure leaves the old file as it was. File errors pass on as the file stream's narrow texts.
void ReplaceFile(const XString& fileName, XMemoryStream& bytes)
{
    auto result = Platform::ReplaceFileSafely(fileName.c_str(),
                                              [&](const std::u16string& temp)
                                              {
                                                  XFileStream file(temp.c_str(), 1);
                                                  bytes.SetPosition(0);
                                                  if (CopyStream(&file, &bytes, bytes.GetSize()) != bytes.GetSize())
                                                      throw "Stream writing error.";
                                              });
    if (result != Platform::ReplaceResult::Done)
        throw "Failed opening file.";
}
} // namespace

void SceneLink::Rename(XScene* scene, XBaseObject* object, const XString& newName)
{
    if (!scene)
    {
        StoreName(object, newName);
        return;
    }
    scene->RenameObject(object, newName);
}

void SceneLink::Rename(XScene* scene, XBaseObject* object, const XGuid& newGuid)
{
    if (!scene)
    {
        StoreGuid(object, newGuid);
        return;
    }
    scene->RenameObject(object, newGuid);
}

// ---- construction and destruction ------------------------------------------------------------

XScene::XScene(TComponent* owner) : XBaseScene(owner)
{
    InstallLinks();
    m_RootDir = ProgramFolderW();
    m_SceneDir = u"Scenes";
    m_TextureDir = u"Textures";
    m_MaterialDir = u"Materials";
    m_MeshDir = u"Meshes";
    try
    {
        m_Root = new XMeshTree();
        m_SceneFormat = RegisterClipboardFormatW(u"XSCENEFORMAT");
        m_TriFormat = RegisterClipboardFormatW(u"XSCENETRIFORMAT");
        m_Timer = new TTimer(this);
        m_Timer->SetEnabled(false);
        m_Timer->SetInterval(50);

        // The classes a scene creates by name, in this order; the descriptors of other classes
        // are added with AddClass by whoever needs them.
        AddClass(&MeshNodeDesc);
        AddClass(&NodeGroupDesc);
        AddClass(&PointLightDesc);
        AddClass(&SpotLightDesc);
        AddClass(&DirectionalLightDesc);
        AddClass(&CameraDesc);
        AddClass(&MaterialDesc);
        AddClass(&TextureDesc);
        AddClass(&GridDesc);
        AddClass(&TriMeshDesc);

        m_SceneEditor = NewSceneEditor(this);
        m_Editor = m_SceneEditor;
        m_NodeCreator = NewNodeCreator(this);
        AddEditor(m_SceneEditor);
        AddEditor(m_NodeCreator);
        if (m_Editor)
            m_Editor->Activate();
        m_State = StateNormal;
        m_TileManager = NewTileManager(this);
        m_Desktop = NewDesktop(this);
    }
    catch (...)
    {
        m_State = StateDestroying;
        FreeDesktop(m_Desktop);
        FreeTileManager(m_TileManager);
        for (uint32_t i = 0; i < m_Editors.GetCount(); ++i)
            delete m_Editors.GetData()[i];
        if (m_NodeCreator && m_Editors.IndexOf(m_NodeCreator) < 0)
            delete m_NodeCreator;
        if (m_SceneEditor && m_Editors.IndexOf(m_SceneEditor) < 0)
            delete m_SceneEditor;
        delete m_Root;
        throw;
    }
}

XScene::~XScene()
{
    m_State = StateDestroying;
    // Destructors never throw.
    try
    {
        ClearScene();
        // The view forgets the scene while the scene still stands.
        SetView(nullptr);
    }
    catch (...)
    {
    }
    XPtrArray<XBaseEditor, 8> editors = m_Editors;
    m_Editors.Clear();
    m_EditorStack.Clear();
    m_Editor = nullptr;
    m_SceneEditor = nullptr;
    m_NodeCreator = nullptr;
    for (uint32_t i = 0; i < editors.GetCount(); ++i)
        delete editors.GetData()[i];
    delete m_Root;
    m_Root = nullptr;
    FreeDesktop(m_Desktop);
    m_Desktop = nullptr;
    FreeTileManager(m_TileManager);
    m_TileManager = nullptr;
}

void XScene::Notification(TComponent* component, TOperation operation)
{
    if (operation == opRemove && component && component == m_ViewComponent)
    {
        // The view is going: forget it without asking anything of it.
        m_ViewComponent = nullptr;
        m_View = nullptr;
    }
    XBaseScene::Notification(component, operation);
}

// ---- class registry --------------------------------------------------------------------------

void XScene::AddClass(XClassDesc* desc)
{
    if (!desc || m_Classes.IndexOf(desc) >= 0)
        return;
    m_Classes.Add(desc);
}

void XScene::DeleteClass(XClassDesc* desc)
{
    m_Classes.Remove(desc);
}

XClassDesc* XScene::FindClass(const XString& name) const
{
    for (uint32_t i = 0; i < m_Classes.GetCount(); ++i)
    {
        XClassDesc* desc = m_Classes.GetData()[i];
        if (desc->GetClassNameW() == name)
            return desc;
    }
    return nullptr;
}

// ---- creation and removal --------------------------------------------------------------------

void XScene::CheckGuidFree(const XGuid* guid)
{
    if (guid && FindObject(*guid))
        throw XException(u"Объект с заданным GUID уже присутствует в сцене");
}

void XScene::ApplyGuidAndName(XBaseObject* object, XGuid* guid, const WCHAR* name)
{
    XGuid id;
    if (guid && !guid->IsNull())
        id = *guid;
    else if (CoCreateGuid(reinterpret_cast<GUID*>(&id)) != S_OK)
        throw XException(u"Failed creating GUID.");
    object->SetGuid(id);
    if (name)
        object->SetName(name);
}

XBaseObject* XScene::CreateObject(const XString& className, XGuid* guid, const WCHAR* name)
{
    CheckGuidFree(guid);
    XClassDesc* desc = FindClass(className);
    if (!desc)
        throw XException(
            (XString(u"Невозможно создать объект, класс не зарегистрирован: ") + className).c_str());
    XBaseObject* object = desc->Create();
    if (!object)
        throw XException(u"Описатель класса вернул нулевой указатель ");
    try
    {
        ApplyGuidAndName(object, guid, name);
        AttachObject(object);
    }
    catch (...)
    {
        object->Destroy();
        throw;
    }
    return object;
}

XMeshNode* XScene::CreateNode(XBaseMesh* mesh, XGuid* guid, const WCHAR* name)
{
    if (!mesh)
        throw XException(u"При создании узла нельзя использовать нулевой указатель на объект");
    // Two objects of one GUID would make the scene's file unreadable: refused as in CreateObject.
    CheckGuidFree(guid);
    XMeshNode* node = new XMeshNode();
    try
    {
        ApplyGuidAndName(node, guid, name);
        AttachObject(node);
        node->SetMesh(mesh);
    }
    catch (...)
    {
        node->Destroy();
        throw;
    }
    return node;
}

XMeshNode* XScene::CreateNode(const XString& className, XGuid* guid, const WCHAR* name)
{
    CheckGuidFree(guid);
    XBaseObject* object = CreateObject(className, nullptr, nullptr);
    XBaseMesh* mesh = dynamic_cast<XBaseMesh*>(object);
    if (!mesh)
    {
        object->Destroy();
        throw XException((XString(u"Класс ") + className + u" не является потомком XBaseMesh").c_str());
    }
    XMeshNode* node = new XMeshNode();
    try
    {
        ApplyGuidAndName(node, guid, name);
        node->SetMesh(mesh);
        AttachObject(node);
    }
    catch (...)
    {
        // The node's count was the mesh object's only one: it goes with the node.
        node->Destroy();
        if (mesh->GetRefCount() <= 0 && m_Meshes.IndexOf(mesh) >= 0)
            mesh->Destroy();
        throw;
    }
    return node;
}

void XScene::AttachObject(XBaseObject* object)
{
    if (!object || object->m_Scene == this)
        return;
    Kind kind = KindOf(object);
    if (kind == Kind::Unknown)
        throw XException(u"Unknown object type");
    if (object->m_Scene)
        object->m_Scene->DetachObject(object);

    object->m_Scene = this;
    switch (kind)
    {
    case Kind::Node:
    {
        XMeshNode* node = static_cast<XMeshNode*>(object);
        m_Root->AddChild(node);
        Append(m_Nodes, node);
        if (IsLight(node))
            Append(m_Lights, static_cast<XBaseLight*>(node));
        if (IsCamera(node))
            Append(m_Cameras, static_cast<XBaseCamera*>(node));
        break;
    }
    case Kind::Mesh:
        Append(m_Meshes, static_cast<XBaseMesh*>(object));
        break;
    case Kind::Modifier:
        break;
    case Kind::Texture:
        Append(m_Textures, static_cast<XBaseTexture*>(object));
        break;
    case Kind::Material:
    {
        auto* material = static_cast<XBaseMaterial*>(object);
        // A material that a load creates learns its id from its own payload: it takes its slot
        // when the load ends, so that the file's ids hold whatever the order of its objects.
        if (m_State == StateLoading && material->GetIndex() == XBaseMaterial::NoIndex)
            Append(m_PendingMaterials, material);
        else
            material->SetIndex(PlaceMaterial(material, material->GetIndex()));
        break;
    }
    case Kind::Unknown:
        break;
    }
    AddAtHash(object);
    if (IDirect3DDevice9* device = GetViewDevice())
        object->CreateDevice(device);
    DoObjectAttach(object);
}

void XScene::AddAtHash(XBaseObject* object)
{
    if (!object)
        return;
    MakeNameUnique(object, true);
    m_NameHash.Add(object, object->GetHashKey());
    if (!object->GetGuid().IsNull())
        m_GuidHash.Add(object, object->GetGuid());
    Append(m_Objects, object);
}

uint32_t XScene::PlaceMaterial(XBaseMaterial* material, uint32_t id)
{
    uint32_t count = m_Materials.GetCount();
    XBaseMaterial** slots = m_Materials.GetData();
    if (id < count && !slots[id])
    {
        slots[id] = material;
        return id;
    }
    for (uint32_t i = 0; i < count; ++i)
    {
        if (!slots[i])
        {
            slots[i] = material;
            return i;
        }
    }
    Append(m_Materials, material);
    return m_Materials.GetCount() - 1;
}

void XScene::GrowMaterialSlots(unsigned count)
{
    uint32_t old = m_Materials.GetCount();
    if (old >= count)
        return;
    m_Materials.SetCount(count);
    // Raising the count may expose old entries of the storage: the new slots start empty.
    for (uint32_t i = old; i < count; ++i)
        m_Materials.GetData()[i] = nullptr;
}

void XScene::PlacePendingMaterials()
{
    XPtrArray<XBaseMaterial, 8> pending = m_PendingMaterials;
    m_PendingMaterials.Clear();
    for (uint32_t i = 0; i < pending.GetCount(); ++i)
    {
        XBaseMaterial* material = pending.GetData()[i];
        uint32_t id = material->GetIndex();
        // A file's ids come back as they were, up to a bound no real scene reaches.
        if (id != XBaseMaterial::NoIndex && id < MaxMaterialSlots)
            GrowMaterialSlots(id + 1);
        material->SetIndex(PlaceMaterial(material, id));
    }
}

XBaseMaterial* XScene::GetMaterial(unsigned id) const
{
    return id < m_Materials.GetCount() ? m_Materials.GetData()[id] : nullptr;
}

void XScene::DetachObject(XBaseObject* object)
{
    if (!object)
        throw XException(u"NULL object pointer");
    if (object->m_Scene != this)
        throw XException(u"Object has other owner");

    switch (KindOf(object))
    {
    case Kind::Node:
    {
        XMeshNode* node = static_cast<XMeshNode*>(object);
        node->SetSelected(false);
        object->m_Scene = nullptr;
        node->SetParent(nullptr);
        Remove(m_Nodes, node);
        RemoveNode(m_Lights, node);
        RemoveNode(m_Cameras, node);
        // A node whose selection could not be cleared through the scene must not stay listed.
        Remove(m_SelNodes, node);
        break;
    }
    case Kind::Mesh:
        object->m_Scene = nullptr;
        Remove(m_Meshes, static_cast<XBaseMesh*>(object));
        break;
    case Kind::Modifier:
        object->m_Scene = nullptr;
        break;
    case Kind::Texture:
        object->m_Scene = nullptr;
        Remove(m_Textures, static_cast<XBaseTexture*>(object));
        break;
    case Kind::Material:
    {
        object->m_Scene = nullptr;
        // The slot stays empty: later materials keep the slots their ids name.
        auto* material = static_cast<XBaseMaterial*>(object);
        int slot = m_Materials.IndexOf(material);
        if (slot >= 0)
            m_Materials.GetData()[slot] = nullptr;
        Remove(m_PendingMaterials, material);
        break;
    }
    case Kind::Unknown:
        // Only an object half destroyed (its own class already gone) comes here: it leaves every
        // list, so that nothing keeps pointing at it.
        object->m_Scene = nullptr;
        Forget(object);
        break;
    }
    Remove(m_Objects, object);
    m_NameHash.Remove(object, object->GetHashKey());
    m_GuidHash.Remove(object, object->GetGuid());
    m_NameRuns.clear();
    if (IDirect3DDevice9* device = GetViewDevice())
        object->ReleaseDevice(device);
    DoObjectDetach(object);
}

// Takes the pointer out of every list without looking at the object.
void XScene::Forget(XBaseObject* object)
{
    for (uint32_t i = 0; i < m_Nodes.GetCount(); ++i)
    {
        if (static_cast<XBaseObject*>(m_Nodes.GetData()[i]) == object)
        {
            XMeshNode* node = m_Nodes.GetData()[i];
            m_Nodes.Delete(i);
            m_SelNodes.Remove(node);
            RemoveNode(m_Lights, node);
            RemoveNode(m_Cameras, node);
            break;
        }
    }
    for (uint32_t i = 0; i < m_Meshes.GetCount(); ++i)
    {
        if (static_cast<XBaseObject*>(m_Meshes.GetData()[i]) == object)
        {
            m_Meshes.Delete(i);
            break;
        }
    }
    for (uint32_t i = m_Textures.GetCount(); i-- > 0;)
        if (static_cast<XBaseObject*>(m_Textures.GetData()[i]) == object)
            m_Textures.Delete(i);
    for (uint32_t i = 0; i < m_Materials.GetCount(); ++i)
        if (static_cast<XBaseObject*>(m_Materials.GetData()[i]) == object)
            m_Materials.GetData()[i] = nullptr;
    for (uint32_t i = m_PendingMaterials.GetCount(); i-- > 0;)
        if (static_cast<XBaseObject*>(m_PendingMaterials.GetData()[i]) == object)
            m_PendingMaterials.Delete(i);
    m_Objects.Remove(object);
}

void XScene::DetachObject(const XString& name)
{
    DetachObject(FindObject(name));
}

void XScene::DetachObject(const XGuid& guid)
{
    DetachObject(FindObject(guid));
}

void XScene::DeleteObject(XBaseObject* object)
{
    if (!object)
        return;
    // A node's children stay in the tree, under its parent and where they are in the world, as
    // when the node is destroyed in place; a group's own members go with it.
    if (object->m_Scene == this && KindOf(object) == Kind::Node)
    {
        auto* node = static_cast<XMeshNode*>(object);
        XMeshNode* parent = node->GetParent() ? node->GetParent() : m_Root;
        const bool group = dynamic_cast<XNodeGroup*>(node) != nullptr;
        XPtrArray<XMeshNode, 4> children;
        for (uint32_t i = 0; i < node->GetChildCount(); ++i)
            if (!(group && node->GetChild(i)->IsGroupped()))
                children.Add(node->GetChild(i));
        for (uint32_t i = 0; i < children.GetCount(); ++i)
            children.GetData()[i]->SetParent(parent);
    }
    DetachObject(object);
    object->Destroy();
}

void XScene::DeleteObject(const XString& name)
{
    DeleteObject(FindObject(name));
}

void XScene::DeleteObject(const XGuid& guid)
{
    DeleteObject(FindObject(guid));
}

void XScene::DeleteNode(XMeshNode* node)
{
    DeleteObject(node);
}

void XScene::DeleteNode(const XString& name)
{
    DeleteObject(FindObject(name));
}

// ---- look-up ---------------------------------------------------------------------------------

XBaseObject* XScene::FindObject(const XString& name)
{
    uint32_t key = XBaseObject::HashName(name.c_str());
    for (XBaseObject* object = m_NameHash.FindFirst(key); object; object = m_NameHash.FindNext())
    {
        if (object->m_Name == name)
            return object;
    }
    return nullptr;
}

XBaseObject* XScene::FindObject(const XGuid& guid)
{
    for (XBaseObject* object = m_GuidHash.FindFirst(guid); object; object = m_GuidHash.FindNext())
    {
        if (object->m_Guid == guid)
            return object;
    }
    return nullptr;
}

XMeshNode* XScene::FindMeshNode(const XString& name)
{
    return dynamic_cast<XMeshNode*>(FindObject(name));
}

XMeshNode* XScene::FindMeshNode(const XGuid& guid)
{
    return dynamic_cast<XMeshNode*>(FindObject(guid));
}

void XScene::ApplyMaterial(const XString& name)
{
    if (m_SelNodes.GetCount() == 0)
        return;
    auto* material = dynamic_cast<XBaseMaterial*>(FindObject(name));
    if (!material)
        return;
    uint32_t id = material->GetIndex();
    for (uint32_t i = 0; i < m_SelNodes.GetCount(); ++i)
        m_SelNodes.GetData()[i]->SetMaterial(id);
}

// ---- names -----------------------------------------------------------------------------------

void XScene::RenameObject(const XString& oldName, const XString& newName)
{
    XBaseObject* object = FindObject(oldName);
    if (object)
        RenameObject(object, newName);
}

void XScene::RenameObject(XBaseObject* object, const XString& newName)
{
    if (!object || object->m_Scene != this || newName.Length() >= XMAX_OBJECT_NAME || FindObject(newName))
        return;
    m_NameHash.Remove(object, object->GetHashKey());
    m_NameRuns.clear();
    object->StoreName(newName);
    m_NameHash.Add(object, object->GetHashKey());
    DoSceneChange();
}

void XScene::RenameObject(const XGuid& oldGuid, const XGuid& newGuid)
{
    XBaseObject* object = FindObject(oldGuid);
    if (object)
        RenameObject(object, newGuid);
}

void XScene::RenameObject(XBaseObject* object, const XGuid& newGuid)
{
    if (!object || object->m_Scene != this || FindObject(newGuid))
        return;
    m_GuidHash.Remove(object, object->m_Guid);
    object->m_Guid = newGuid;
    if (!newGuid.IsNull())
        m_GuidHash.Add(object, newGuid);
}

void XScene::MakeNameUnique(XBaseObject* object)
{
    MakeNameUnique(object, false);
}

void XScene::MakeNameUnique(XBaseObject* object, bool filing)
{
    auto taken = [this, object](const XString& name)
    {
        uint32_t key = XBaseObject::HashName(name.c_str());
        for (XBaseObject* other = m_NameHash.FindFirst(key); other; other = m_NameHash.FindNext())
        {
            if (other != object && other->m_Name == name)
                return true;
        }
        return false;
    };
    if (!object || !taken(object->m_Name))
        return;

    const XString& name = object->m_Name;
    unsigned length = name.Length();
    unsigned digits = length;
    while (digits > 0 && IsDigit(name.c_str()[digits - 1]))
        --digits;
    uint32_t number = 1;
    if (digits < length)
    {
        number = 0;
        for (unsigned i = digits; i < length; ++i)
            number = number * 10u + static_cast<uint32_t>(name.c_str()[i] - u'0');
    }
    const XString base = name.SubString(0, digits);
    auto nameOf = [&base](uint32_t n)
    {
        XString suffix = NumberText(static_cast<int32_t>(n));
        // Names stay shorter than the object limit: a long base gives way to the number.
        return base.SubString(0, XMAX_OBJECT_NAME - 1 - suffix.Length()) + suffix;
    };

    // A run of numbers known to be taken under this base lets a file of many equal names load in
    // linear time; the runs are forgotten whenever a name leaves the scene. An object already
    // filed may hold a name of a run itself, so only objects being filed use them.
    const std::u16string key(base.c_str());
    NameRun* run = nullptr;
    if (filing)
    {
        auto found = m_NameRuns.find(key);
        if (found != m_NameRuns.end())
            run = &found->second;
    }
    const uint32_t first = number + 1;
    uint32_t n = number;
    XString candidate;
    for (;;)
    {
        ++n;
        if (run && run->first <= n && n <= run->last && run->last != 0xFFFFFFFFu)
            n = run->last + 1;
        candidate = nameOf(n);
        if (!taken(candidate))
            break;
    }
    if (filing && first <= n)
    {
        if (run && first <= run->last + 1 && n + 1 >= run->first)
        {
            run->first = std::min(run->first, first);
            run->last = std::max(run->last, n);
        }
        else
        {
            m_NameRuns[key] = NameRun{first, n};
        }
    }
    object->StoreName(candidate);
}

// ---- association walk ------------------------------------------------------------------------

void XScene::EnumAssociatedObjects(XPtrArray<XBaseObject, 8>& list)
{
    if (++m_EnumCounter == 0)
        ++m_EnumCounter; // 0 is the stamp of an object never walked
    uint32_t count = list.GetCount();
    for (uint32_t i = 0; i < count; ++i)
        list.GetData()[i]->SetEnumStamp(m_EnumCounter);
    for (uint32_t i = 0; i < count; ++i)
        EnumAssociatedObjects(list.GetData()[i], list);
}

void XScene::EnumAssociatedObjects(XBaseObject* object, XPtrArray<XBaseObject, 8>& list)
{
    if (XMeshNode* node = dynamic_cast<XMeshNode*>(object))
    {
        XBaseMesh* mesh = node->GetMesh();
        if (mesh && mesh->GetEnumStamp() != m_EnumCounter)
        {
            mesh->SetEnumStamp(m_EnumCounter);
            Append(list, static_cast<XBaseObject*>(mesh));
            EnumAssociatedObjects(mesh, list);
        }
        return;
    }
    if (XBaseMesh* mesh = dynamic_cast<XBaseMesh*>(object))
    {
        for (uint32_t i = 0; i < mesh->GetModifierCount(); ++i)
        {
            XBaseModifier* modifier = mesh->GetModifier(i);
            if (modifier && modifier->GetEnumStamp() != m_EnumCounter)
            {
                modifier->SetEnumStamp(m_EnumCounter);
                Append(list, static_cast<XBaseObject*>(modifier));
            }
        }
    }
}

// ---- updates and events ----------------------------------------------------------------------

void XScene::BeginUpdate()
{
    ++m_UpdateCount;
}

void XScene::EndUpdate()
{
    --m_UpdateCount;
    if (m_UpdateCount < 1)
        DoSceneChange();
}

void XScene::DoEditorChange(XBaseEditor* editor)
{
    if (OnEditorChange && IsNormal())
        OnEditorChange(this, editor);
}

void XScene::DoObjectAttach(XBaseObject* object)
{
    if (!OnObjectAttach || !IsNormal())
        return;
    OnObjectAttach(this, object);
    if (m_Editor)
        m_Editor->ObjectAttach(object);
}

void XScene::DoObjectDetach(XBaseObject* object)
{
    if (!OnObjectDetach || !IsNormal())
        return;
    OnObjectDetach(this, object);
    if (m_Editor)
        m_Editor->ObjectDetach(object);
}

void XScene::DoObjectSelect(XBaseObject* object, bool select)
{
    if (!OnObjectSelect || !IsNormal())
        return;
    OnObjectSelect(this, object, select);
    if (m_Editor)
        m_Editor->ObjectSelect(object, select);
}

void XScene::DoSceneChange()
{
    if (!OnSceneChange || !IsNormal() || m_UpdateCount > 0)
        return;
    OnSceneChange(this);
    if (m_Editor)
        m_Editor->SceneChange();
}

void XScene::DoFrameChange(unsigned frame)
{
    if (!OnFrameChange || !IsNormal())
        return;
    OnFrameChange(this, frame);
    if (m_Editor)
        m_Editor->FrameChange(frame);
}

void XScene::ClearScene()
{
    while (m_EditorStack.GetCount() > 0)
        PopEditor();
    const uint32_t saved = m_State;
    m_State = StateClearing;

    m_Textures.Clear();
    m_Materials.Clear();
    m_PendingMaterials.Clear();
    // From the last node and object on: each leaves its lists from the end, so that emptying a
    // large scene stays linear.
    while (m_Nodes.GetCount() > 0)
    {
        const uint32_t last = m_Nodes.GetCount() - 1;
        XMeshNode* node = m_Nodes.GetData()[last];
        XBaseObject* object = node;
        node->Destroy();
        // A node that failed to leave on its own must not be met (and destroyed) again.
        if (m_Nodes.GetCount() == last + 1 && m_Nodes.GetData()[last] == node)
            Forget(object);
    }
    m_Nodes.Clear();
    m_SelNodes.Clear();
    m_Cameras.Clear();
    m_Lights.Clear();
    m_Meshes.Clear();
    m_NameHash.Clear();
    m_GuidHash.Clear();
    m_NameRuns.clear();
    while (m_Objects.GetCount() > 0)
    {
        const uint32_t last = m_Objects.GetCount() - 1;
        XBaseObject* object = m_Objects.GetData()[last];
        object->Destroy();
        if (m_Objects.GetCount() == last + 1 && m_Objects.GetData()[last] == object)
            m_Objects.Delete(last);
    }
    m_Objects.Clear();
    ClearCameraPresets();
    if (m_View)
        m_View->ResetViewports();

    m_State = saved;
    DoSceneChange();
}

// ---- selection -------------------------------------------------------------------------------

void XScene::SelectNode(XMeshNode* node, bool select)
{
    if (!node || node->GetScene() != this)
        return;
    if (select && node->CanSelect())
    {
        if (m_SelNodes.IndexOf(node) < 0)
            Append(m_SelNodes, node);
        SceneLink::SetSelectedFlag(node, true);
    }
    else
    {
        m_SelNodes.Remove(node);
        SceneLink::SetSelectedFlag(node, false);
    }
    DoObjectSelect(node, select);
}

void XScene::ClearNodeSelection()
{
    XPtrArray<XMeshNode, 4> selected = m_SelNodes;
    for (uint32_t i = 0; i < selected.GetCount(); ++i)
        selected.GetData()[i]->SetSelected(false);
}

// ---- editors ---------------------------------------------------------------------------------

void XScene::AddEditor(XBaseEditor* editor)
{
    if (!editor || m_Editors.IndexOf(editor) >= 0)
        return;
    m_Editors.Add(editor);
}

void XScene::DeleteEditor(XBaseEditor* editor)
{
    if (!editor || editor == m_SceneEditor || m_Editors.IndexOf(editor) < 0)
        return;
    if (editor == m_Editor)
    {
        // The editor goes whether it lets go or not: nothing may call it once its owner frees it.
        editor->Deactivate();
        m_Editor = m_SceneEditor;
        if (m_Editor)
            m_Editor->Activate();
        DoEditorChange(m_Editor);
    }
    for (uint32_t i = m_EditorStack.GetCount(); i-- > 0;)
    {
        if (m_EditorStack.GetData()[i] == editor)
            m_EditorStack.Delete(i);
    }
    m_Editors.Remove(editor);
}

XBaseEditor* XScene::FindEditor(const XString& name)
{
    for (uint32_t i = 0; i < m_Editors.GetCount(); ++i)
    {
        XBaseEditor* editor = m_Editors.GetData()[i];
        if (editor->GetName() == name)
            return editor;
    }
    return nullptr;
}

XBaseEditor* XScene::FindEditor(XBaseEditor* editor)
{
    // By pointer only: an editor that is not registered may already be freed.
    return editor && m_Editors.IndexOf(editor) >= 0 ? editor : nullptr;
}

void XScene::SetEditor(XBaseEditor* editor)
{
    SwitchEditor(editor);
}

bool XScene::SwitchEditor(XBaseEditor* editor)
{
    XBaseEditor* next = FindEditor(editor);
    if (!next)
        next = m_SceneEditor;
    if (next == m_Editor)
        return true;
    if (m_Editor && !m_Editor->Deactivate())
        return true;
    m_Editor = next;
    bool activated = true;
    if (next && !next->Activate())
    {
        activated = false;
        m_EditorStack.Clear();
        m_Editor = m_SceneEditor;
        if (m_Editor)
            m_Editor->Activate();
    }
    DoEditorChange(m_Editor);
    return activated;
}

void XScene::SetEditor(const XString& name)
{
    SetEditor(FindEditor(name));
}

void XScene::PushEditor(XBaseEditor* editor)
{
    XBaseEditor* previous = m_Editor;
    // An editor that refuses to activate leaves the default editor current and nothing stacked.
    if (SwitchEditor(editor) && m_Editor != previous)
        m_EditorStack.Add(previous);
}

void XScene::PushEditor(const XString& name)
{
    PushEditor(FindEditor(name));
}

void XScene::PopEditor()
{
    uint32_t count = m_EditorStack.GetCount();
    if (count == 0)
    {
        SetEditor(m_SceneEditor);
        return;
    }
    XBaseEditor* top = m_EditorStack.GetData()[count - 1];
    SetEditor(top);
    // A failed activation may have emptied the stack already.
    if (m_EditorStack.GetCount() == count)
        m_EditorStack.Delete(count - 1);
}

void XScene::MouseCreateNodeStart(const XString& className, const XString& meshClassName)
{
    // A creator already at work lets its pending node go first; otherwise one more node of the old
    // classes would be made.
    if (m_Editor && m_Editor == m_NodeCreator)
        PopEditor();
    if (auto* creator = dynamic_cast<XNodeCreator*>(m_NodeCreator))
    {
        creator->SetClassName(className);
        creator->SetMeshClassName(meshClassName);
    }
    PushEditor(m_NodeCreator);
}

void XScene::MouseCreateNodeFinish()
{
    if (m_Editor && m_Editor == m_NodeCreator)
        PopEditor();
}

void XScene::KeyDown(unsigned& key, Gx::Ui::GxShiftState shift)
{
    if (m_Editor)
        m_Editor->KeyDown(key, shift);
}

void XScene::KeyPress(WCHAR& key)
{
    if (m_Editor)
        m_Editor->KeyPress(key);
}

void XScene::KeyUp(unsigned& key, Gx::Ui::GxShiftState shift)
{
    if (m_Editor)
        m_Editor->KeyUp(key, shift);
}

// ---- view and device -------------------------------------------------------------------------

IDirect3DDevice9* XScene::GetViewDevice() const
{
    return m_View ? m_View->GetDevice() : nullptr;
}

void XScene::SetView(XView* view)
{
    if (view == m_View)
        return;
    if (XView* old = m_View)
    {
        // Out of the old view's list, which lets the scene go; a view that no longer listed it
        // is left here all the same.
        old->DeleteScene(this);
        LeaveView(old);
    }
    m_View = view;
    if (view)
    {
        view->AddScene(this);
        m_ViewComponent = dynamic_cast<TComponent*>(view);
        if (m_ViewComponent)
            FreeNotification(m_ViewComponent);
        CreateDevice(view->GetDevice());
    }
}

void XScene::LeaveView(XView* view)
{
    if (!view || view != m_View)
        return;
    if (m_ViewComponent)
        RemoveFreeNotification(m_ViewComponent);
    m_ViewComponent = nullptr;
    ReleaseDevice(view->GetDevice());
    m_View = nullptr;
}

void XScene::SendDevice(DeviceEvent event, IDirect3DDevice9* device)
{
    if (!device)
        return;
    // By index: an object's handler may not remove objects, but a count read once could outlive
    // the list.
    for (uint32_t i = 0; i < m_Objects.GetCount(); ++i)
    {
        XBaseObject* object = m_Objects.GetData()[i];
        switch (event)
        {
        case DeviceEvent::Create:
            object->CreateDevice(device);
            break;
        case DeviceEvent::Release:
            object->ReleaseDevice(device);
            break;
        case DeviceEvent::Invalidate:
            object->InvalidateDevice(device);
            break;
        case DeviceEvent::Restore:
            object->RestoreDevice(device);
            break;
        }
    }
    DesktopDevice(m_Desktop, static_cast<int>(event), device);
    TileManagerDevice(m_TileManager, static_cast<int>(event), device);
}

void XScene::CreateDevice(IDirect3DDevice9* device)
{
    SendDevice(DeviceEvent::Create, device);
}

void XScene::ReleaseDevice(IDirect3DDevice9* device)
{
    SendDevice(DeviceEvent::Release, device);
}

void XScene::InvalidateDevice(IDirect3DDevice9* device)
{
    SendDevice(DeviceEvent::Invalidate, device);
}

void XScene::RestoreDevice(IDirect3DDevice9* device)
{
    SendDevice(DeviceEvent::Restore, device);
}

// ---- camera presets ----

XCamera* XScene::GetViewportCamera(XViewport*& viewport) const
{
    viewport = m_View ? m_View->GetActiveViewport() : nullptr;
    return viewport ? dynamic_cast<XCamera*>(viewport->GetCamera()) : nullptr;
}

unsigned XScene::CreateCameraPreset(const XString& name)
{
    XViewport* viewport;
    if (!GetViewportCamera(viewport))
        return 0;
    return m_Presets.Create(viewport, name);
}

bool XScene::DeleteCameraPreset(unsigned index)
{
    return m_Presets.Delete(index);
}

bool XScene::DeleteCameraPreset(const XString& name)
{
    return m_Presets.Delete(name);
}

void XScene::ClearCameraPresets()
{
    m_Presets.Clear();
}

void XScene::ApplyCameraPreset(unsigned index, bool)
{
    XViewport* viewport;
    if (GetViewportCamera(viewport))
        m_Presets.Apply(viewport, index);
}

void XScene::ApplyCameraPreset(const XString& name, bool)
{
    XViewport* viewport;
    if (GetViewportCamera(viewport))
        m_Presets.Apply(viewport, name);
}

// ---- files -----------------------------------------------------------------------------------

void XScene::FindFile(XFindType type, XString& fileName) const
{
    XString folder = m_RootDir;
    switch (type)
    {
    case XFT_ROOT:
        break;
    case XFT_SCENE:
        folder = folder + u"\\" + m_SceneDir;
        break;
    case XFT_TEXTURE:
        folder = folder + u"\\" + m_TextureDir;
        break;
    case XFT_MATERIAL:
        folder = folder + u"\\" + m_MaterialDir;
        break;
    case XFT_MESH:
    case XFT_OBJECT:
        folder = folder + u"\\" + m_MeshDir;
        break;
    }
    XString candidate = folder + u"\\" + FileNamePart(fileName);
    DWORD attributes = GetFileAttributesW(candidate.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        fileName = candidate;
}

void XScene::LoadFromFile(const XString& fileName)
{
    ClearScene();
    MergeFromFile(fileName);
}

void XScene::MergeFromFile(const XString& fileName)
{
    try
    {
        XString name = fileName;
        FindFile(XFT_SCENE, name);
        // Read-only: a scene in a read-only install must load.
        XFileStream file(name.c_str(), 4);
        LoadFromStream(&file);
        SetFileName(name);
    }
    catch (const XException& e)
    {
        ShowMessage(e.Message());
    }
}

void XScene::WriteHeader(XStream* stream)
{
    SYSTEMTIME time;
    GetSystemTime(&time);
    stream->WriteBuffer(&FormatGuid, sizeof FormatGuid);
    stream->WriteBuffer(&m_Version, 4);
    stream->WriteBuffer(&time, sizeof time);
}

void XScene::WriteContents(XWriter& writer, XPtrArray<XBaseObject, 8>& list)
{
    writer.BeginChunk(ChunkContents);
    writer.WriteChunkU32(ChunkCount, list.GetCount());
    for (uint32_t i = 0; i < list.GetCount(); ++i)
    {
        XBaseObject* object = list.GetData()[i];
        writer.WriteChunk(ChunkGuid, &object->GetGuid(), sizeof(XGuid));
        writer.WriteChunkString(ChunkClassName, object->GetClassNameW());
        writer.WriteChunkString(ChunkName, object->m_Name);
    }
    writer.EndChunk();
}

void XScene::GiveGuids(XPtrArray<XBaseObject, 8>& list)
{
    // Files name objects by GUID: one without would be read back as a second object and every
    // link to it lost.
    for (uint32_t i = 0; i < list.GetCount(); ++i)
    {
        XBaseObject* object = list.GetData()[i];
        if (!object || !object->GetGuid().IsNull())
            continue;
        XGuid fresh;
        if (CoCreateGuid(reinterpret_cast<GUID*>(&fresh)) != S_OK)
            throw XException(u"Failed creating GUID.");
        object->SetGuid(fresh);
    }
}

void XScene::WriteScene(XStream* stream)
{
    if (!stream)
        throw XException(u"Null stream pointer.");
    GiveGuids(m_Objects);
    WriteHeader(stream);
    XWriter writer(stream);
    writer.BeginChunk(ChunkRoot);
    writer.WriteChunkU32(ChunkVersion, m_Version);
    WriteContents(writer, m_Objects);
    writer.BeginChunk(ChunkObjects);
    for (uint32_t i = 0; i < m_Objects.GetCount(); ++i)
        SaveObject(writer, m_Objects.GetData()[i]);
    writer.EndChunk();
    writer.BeginChunk(ChunkNodeTree);
    m_Root->Save(this, writer);
    writer.EndChunk();
    if (m_View)
    {
        writer.BeginChunk(ChunkViewState);
        m_View->Save(this, writer);
        writer.EndChunk();
    }
    m_Presets.Save(this, writer);
    writer.EndChunk();
}

void XScene::WriteList(XStream* stream, XPtrArray<XBaseObject, 8>& list)
{
    if (!stream)
        throw XException(u"Null stream pointer.");
    GiveGuids(list);
    WriteHeader(stream);
    XWriter writer(stream);
    writer.BeginChunk(ChunkRoot);
    writer.WriteChunkU32(ChunkVersion, m_Version);
    WriteContents(writer, list);
    writer.BeginChunk(ChunkObjects);
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        SaveObject(writer, list.GetData()[i]);
    writer.EndChunk();
    writer.EndChunk();
}

void XScene::SaveToStream(XStream* stream)
{
    StateScope scope(m_State, StateSaving);
    try
    {
        WriteScene(stream);
    }
    catch (const XException& e)
    {
        ShowMessage(e.Message());
    }
}

void XScene::SaveToFile(const XString& fileName)
{
    XMemoryStream bytes(0, 0x2000);
    {
        StateScope scope(m_State, StateSaving);
        try
        {
            WriteScene(&bytes);
        }
        catch (const XException& e)
        {
            // Nothing was written to the file.
            ShowMessage(e.Message());
            return;
        }
    }
    ReplaceFile(fileName, bytes);
    SetFileName(fileName);
}

void XScene::LoadFromStream(XStream* stream)
{
    {
        StateScope scope(m_State, StateLoading);
        PendingScope pending(*this);
        m_Version = 0;
        try
        {
            if (!stream)
                throw XException(u"Null stream pointer.");
            int64_t start = stream->GetPosition();
            XGuid format;
            stream->ReadBuffer(&format, sizeof format);
            if (format == FormatGuid)
            {
                SYSTEMTIME time;
                stream->ReadBuffer(&m_Version, 4);
                stream->ReadBuffer(&time, sizeof time);
            }
            else
            {
                stream->SetPosition(start); // a bare chunk tree
            }
            XReader reader(stream);
            if (!reader.NextChunk() || reader.GetChunkId() != ChunkRoot)
                throw XException(u"Invalid stream format.");
            // Materials already here keep their slots; the file's take free ones.
            GrowMaterialSlots(LoadMaterialSlots);
            ReadBody(stream, reader);
        }
        catch (const XException& e)
        {
            ShowMessage(e.Message());
        }
    }
    DoSceneChange();
}

void XScene::ReadBody(XStream* stream, XReader& reader)
{
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case ChunkContents:
            ReadContents(reader);
            break;
        case ChunkObjects:
            while (reader.NextChunk())
            {
                XBaseObject* object = nullptr;
                LoadObjectChunk(stream, object);
                reader.EndChunk();
            }
            break;
        case ChunkNodeTree:
            while (reader.NextChunk())
            {
                m_Root->Load(this, reader);
                reader.EndChunk();
            }
            break;
        case ChunkViewState:
            if (!m_View)
                break;
            while (reader.NextChunk())
            {
                m_View->Load(this, reader);
                reader.EndChunk();
            }
            break;
        case ChunkVersion:
            if (reader.GetBytesLeft() < 4)
                throw FileUtils::XIOError();
            reader.ReadU32(m_Version);
            break;
        case ChunkCameraPresets:
            m_Presets.Load(this, reader);
            break;
        default:
            break; // 0x4E435360 and unknown ids
        }
        reader.EndChunk();
    }
}

void XScene::ReadContents(XReader& reader)
{
    try
    {
        uint32_t count;
        ReadExactChunk(reader, ChunkCount, &count, 4);
        for (uint32_t i = 0; i < count; ++i)
        {
            XGuid guid;
            XString className;
            XString name;
            ReadExactChunk(reader, ChunkGuid, &guid, sizeof guid);
            reader.ReadChunkString(ChunkClassName, className, MaxReadName);
            reader.ReadChunkString(ChunkName, name, MaxReadName);
            CreateObject(className, &guid, name.c_str());
        }
    }
    catch (const XException&)
    {
        throw XException(u"Bad file contents table.");
    }
}

void XScene::LoadObjectChunk(XStream* stream, XBaseObject*& object)
{
    std::unique_ptr<ChunkWindow> window = OpenedChunk(stream);
    XReader inner(window.get());
    if (!inner.NextChunk())
        return;
    try
    {
        LoadObject(inner, object);
    }
    catch (const XException&)
    {
        // A damaged object chunk is dropped; the next one is read.
    }
}

void XScene::LoadObject(XReader& reader, XBaseObject*& object)
{
    if (reader.GetChunkId() != ChunkObject)
        throw XException(u"Object chunk expected.");
    XGuid guid;
    XString name;
    bool named = false;
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case ChunkGuid:
            if (reader.GetBytesLeft() < sizeof guid || reader.Read(&guid, sizeof guid) != sizeof guid)
                throw FileUtils::XIOError();
            if (!object)
                object = FindObject(guid);
            break;
        case ChunkName:
            reader.ReadString(name, MaxReadName);
            named = true;
            break;
        case ChunkClassName:
        {
            XString className;
            reader.ReadString(className, MaxReadName);
            // Without a name chunk yet the object keeps its class's default name.
            if (!object)
                object = CreateObject(className, &guid, named ? name.c_str() : nullptr);
            break;
        }
        default:
            if (object)
                object->Load(this, reader);
            break;
        }
        reader.EndChunk();
    }
}

void XScene::SaveObject(XWriter& writer, XBaseObject* object)
{
    if (!object)
        throw XException(u"NULL object pointer");
    writer.BeginChunk(ChunkObject);
    writer.WriteChunk(ChunkGuid, &object->GetGuid(), sizeof(XGuid));
    writer.WriteChunkString(ChunkName, object->m_Name);
    writer.WriteChunkString(ChunkClassName, object->GetClassNameW());
    object->Save(this, writer);
    writer.EndChunk();
}

void XScene::SaveToStream(XStream* stream, XPtrArray<XBaseObject, 8>& list)
{
    WriteList(stream, list);
}

void XScene::LoadFromStream(XStream* stream, XPtrArray<XBaseObject, 8>& list)
{
    XScene temp(nullptr);
    temp.m_Classes = m_Classes;
    temp.LoadFromStream(stream);
    XPtrArray<XBaseObject, 8> objects = temp.m_Objects;
    for (uint32_t i = 0; i < objects.GetCount(); ++i)
    {
        XBaseObject* object = objects.GetData()[i];
        if (!FindObject(object->GetGuid()))
            continue;
        XGuid fresh;
        if (CoCreateGuid(reinterpret_cast<GUID*>(&fresh)) != S_OK)
            throw XException(u"Failed creating GUID.");
        object->SetGuid(fresh);
    }
    for (uint32_t i = objects.GetCount(); i-- > 0;)
    {
        XBaseObject* object = objects.GetData()[i];
        object->SetScene(this);
        Append(list, object);
    }
}

void XScene::SaveSelNodesToStream(XStream* stream)
{
    XPtrArray<XBaseObject, 8> list;
    for (uint32_t i = 0; i < m_SelNodes.GetCount(); ++i)
        Append(list, static_cast<XBaseObject*>(m_SelNodes.GetData()[i]));
    EnumAssociatedObjects(list);
    if (list.GetCount() == 0)
        throw XException(u"Не выделено ни одного объекта.");
    SaveToStream(stream, list);
}

void XScene::LoadSelNodesFromStream(XStream* stream)
{
    XPtrArray<XBaseObject, 8> list;
    LoadFromStream(stream, list);
}

void XScene::WriteObjectStream(XStream* stream, XBaseObject* object)
{
    XPtrArray<XBaseObject, 8> one;
    one.Add(object);
    GiveGuids(one);
    XWriter writer(stream);
    writer.BeginChunk(ChunkObject);
    SaveObject(writer, object);
    writer.EndChunk();
}

void XScene::SaveObjectToStream(XStream* stream, XBaseObject* object)
{
    StateScope scope(m_State, StateSaving);
    try
    {
        WriteObjectStream(stream, object);
    }
    catch (const XException& e)
    {
        ShowMessage(e.Message());
    }
}

void XScene::LoadObjectFromStream(XStream* stream, XBaseObject*& object)
{
    {
        StateScope scope(m_State, StateLoading);
        PendingScope pending(*this);
        try
        {
            XReader reader(stream);
            if (!reader.NextChunk() || reader.GetChunkId() != ChunkObject)
                throw XException(u"Invalid stream format.");
            while (reader.NextChunk())
            {
                LoadObjectChunk(stream, object);
                reader.EndChunk();
            }
        }
        catch (const XException& e)
        {
            ShowMessage(e.Message());
        }
    }
    DoSceneChange();
}

void XScene::SaveObjectToFile(const XString& fileName, XBaseObject* object)
{
    XMemoryStream bytes(0, 0x2000);
    {
        StateScope scope(m_State, StateSaving);
        try
        {
            WriteObjectStream(&bytes, object);
        }
        catch (const XException& e)
        {
            ShowMessage(e.Message());
            return;
        }
    }
    ReplaceFile(fileName, bytes);
}

void XScene::LoadObjectFromFile(const XString& fileName, XBaseObject*& object)
{
    try
    {
        XString name = fileName;
        FindFile(XFT_OBJECT, name);
        XFileStream file(name.c_str(), 4);
        LoadObjectFromStream(&file, object);
    }
    catch (const XException& e)
    {
        ShowMessage(e.Message());
    }
}
