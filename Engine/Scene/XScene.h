// The scene: a class-library component that owns every scene object, files each by kind, creates
// objects by class name through its class registry, finds them by name and GUID, keeps names
// unique, reads and writes .xscene files and the other stream forms, and tells its owner about
// changes through six events.
//
// Events and editor notifications happen only in the normal state: never while the scene is
// constructed, loading, saving, clearing or destroyed.
//
// The scene file: the 16-byte format GUID, a u32 version and the 16-byte UTC save time, then the
// root chunk 0x4E435358 holding the version, a contents table (GUID, class name and name of every
// object), the objects' own chunks, the node tree, the view state (with a view only) and the camera
// presets. Loading creates every object of the table before any payload is read, so payloads find
// the objects they refer to by GUID.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XGuid.h"
#include "Components/XHash.h"
#include "Components/XPtrArray.h"
#include "Engine/Scene/XBaseScene.h"
#include "Engine/Scene/XCameraPreset.h"
#include "Engine/Views/XViewport.h"

#include <cstdint>
#include <string>
#include <unordered_map>

class XBaseCamera;
class XBaseEditor;
class XBaseLight;
class XBaseMaterial;
class XBaseTexture;
class XCamera;
class XBaseMesh;
class XBaseObject;
class XClassDesc;
class XMeshNode;
class XMeshTree;
class XReader;
class XStream;
class XView;
class XNodeGroup;
class XWriter;
class TTimer;
struct IDirect3DDevice9;

namespace Gx::Ui
{
class GxDesktop;
class GxTileManager;
} // namespace Gx::Ui

using XEditorsStack = XPtrArray<XBaseEditor, 8>;

using XEditorChangeEvent = TClosure<void(TObject* Sender, XBaseEditor* Editor)>;
using XObjectEvent = TClosure<void(TObject* Sender, XBaseObject* Object)>;
using XObjectSelectEvent = TClosure<void(TObject* Sender, XBaseObject* Object, bool Select)>;
using XFrameChangeEvent = TClosure<void(TObject* Sender, unsigned Frame)>;

// The folder FindFile looks in.
enum XFindType : uint32_t
{
    XFT_ROOT = 0,     // RootDir
    XFT_SCENE = 1,    // SceneDir
    XFT_TEXTURE = 2,  // TextureDir
    XFT_MATERIAL = 3, // MaterialDir
    XFT_MESH = 4,     // MeshDir
    XFT_OBJECT = 5,   // MeshDir (single-object files)
};

class XScene : public XBaseScene
{
public:
    // State word values.
    static constexpr uint32_t StateNormal = 0x02000000;
    static constexpr uint32_t StateLoading = 0x04000000;
    static constexpr uint32_t StateClearing = 0x08000000;
    static constexpr uint32_t StateSaving = 0x10000000;
    static constexpr uint32_t StateConstructing = 0x00000001;
    static constexpr uint32_t StateDestroying = 0x00000002;

    // Scene file chunk ids.
    static constexpr uint32_t ChunkRoot = 0x4E435358;
    static constexpr uint32_t ChunkObject = 0x4E435359;
    static constexpr uint32_t ChunkObjects = 0x4E43535A;
    static constexpr uint32_t ChunkClassName = 0x4E43535B;
    static constexpr uint32_t ChunkNodeTree = 0x4E43535C;
    static constexpr uint32_t ChunkViewState = 0x4E43535D;
    static constexpr uint32_t ChunkVersion = 0x4E43535E;
    static constexpr uint32_t ChunkCameraPresets = 0x4E43535F;
    static constexpr uint32_t ChunkContents = 0x4E435361;
    static constexpr uint32_t ChunkCount = 0x4E435362;
    static constexpr uint32_t ChunkGuid = 0x4E435363;
    static constexpr uint32_t ChunkName = 0x4E435364;
    // Class names and names read from a scene stream are at most this long.
    static constexpr unsigned MaxReadName = 1024;
    // A load leaves at least this many material slots.
    static constexpr unsigned LoadMaterialSlots = 128;
    // Material ids from a file are kept below this.
    static constexpr unsigned MaxMaterialSlots = 65536;
    // {1684A712-DCB4-481F-B29B-2745F6D8E00D}
    static const XGuid FormatGuid;

    // The patch road passes no owner.
    explicit XScene(TComponent* owner);
    // Fires nothing: clears the scene, deletes the editors, the root, the desktop and the tile
    // manager.
    ~XScene() override;

    // ---- class registry ----
    // Null and registered descriptors are ignored.
    void AddClass(XClassDesc* desc);
    void DeleteClass(XClassDesc* desc);
    // The first registered descriptor of that class name (case-sensitive); null when none.
    XClassDesc* FindClass(const XString& name) const;
    unsigned GetClassCount() const { return m_Classes.GetCount(); }
    XClassDesc* GetClass(unsigned i) const { return m_Classes[i]; }

    // ---- creation and removal ----
    // A new object of a registered class, with the given GUID (a fresh one for null or the null
    // GUID) and name (its default name for null), attached. Throws XException for a GUID already
    // in the scene and for an unregistered class; nothing is left behind on failure.
    XBaseObject* CreateObject(const XString& className, XGuid* guid, const WCHAR* name);
    // A new node showing the mesh object (not null), attached. A GUID already in the scene throws
    // like CreateObject.
    XMeshNode* CreateNode(XBaseMesh* mesh, XGuid* guid, const WCHAR* name);
    // A new mesh object of the class and a new node showing it; the GUID and name go to the node.
    // A class that is not a mesh object throws and leaves nothing.
    XMeshNode* CreateNode(const XString& className, XGuid* guid, const WCHAR* name);
    // Nothing for null or an object already here; an object of another scene moves here. Nodes
    // go under the root. Throws XException "Unknown object type" for anything the scene does not
    // file, before changing anything.
    void AttachObject(XBaseObject* object);
    // Throws for null ("NULL object pointer") and for an object of another scene ("Object has
    // other owner").
    void DetachObject(XBaseObject* object);
    void DetachObject(const XString& name);
    void DetachObject(const XGuid& guid);
    // Detach, then Destroy; nothing for null or for a name or GUID that finds nothing.
    void DeleteObject(XBaseObject* object);
    void DeleteObject(const XString& name);
    void DeleteObject(const XGuid& guid);
    void DeleteNode(XMeshNode* node);
    void DeleteNode(const XString& name);
    // Makes the name unique and files the object in the name and GUID indexes and the object list.
    void AddAtHash(XBaseObject* object);

    // ---- look-up (through the indexes only) ----
    XBaseObject* FindObject(const XString& name);
    // Objects with the null GUID are not indexed and are never found.
    XBaseObject* FindObject(const XGuid& guid);
    XMeshNode* FindMeshNode(const XString& name);
    XMeshNode* FindMeshNode(const XGuid& guid);
    // Lists in attach order; an index at or past the count throws XException "Out of range.".
    unsigned GetObjectCount() const { return m_Objects.GetCount(); }
    XBaseObject* GetObjectW(unsigned i) const { return m_Objects[i]; }
    unsigned GetNodeCount() const { return m_Nodes.GetCount(); }
    XMeshNode* GetNode(unsigned i) const { return m_Nodes[i]; }
    unsigned GetMeshCount() const { return m_Meshes.GetCount(); }
    XBaseMesh* GetMesh(unsigned i) const { return m_Meshes[i]; }
    unsigned GetTextureCount() const { return m_Textures.GetCount(); }
    XBaseTexture* GetTexture(unsigned i) const { return m_Textures[i]; }
    unsigned GetCameraCount() const { return m_Cameras.GetCount(); }
    XBaseCamera* GetCamera(unsigned i) const { return m_Cameras[i]; }
    unsigned GetLightCount() const { return m_Lights.GetCount(); }
    XBaseLight* GetLight(unsigned i) const { return m_Lights[i]; }
    // Material slots, empty ones included; a slot index is the material's id.
    unsigned GetMaterialCount() const { return m_Materials.GetCount(); }
    // Null past the count and for an empty slot.
    XBaseMaterial* GetMaterial(unsigned id) const;
    XMeshTree* GetMeshTree() const { return m_Root; }
    // With nodes selected and a material of that name: every selected node takes its id.
    void ApplyMaterial(const XString& name);

    // ---- names ----
    // Nothing when newName is taken or no object is named oldName (nor for a name of 256 units or
    // more); otherwise renames and fires the scene change.
    void RenameObject(const XString& oldName, const XString& newName);
    // Nothing when newGuid is taken or no object has oldGuid; no event.
    void RenameObject(const XGuid& oldGuid, const XGuid& newGuid);
    // The same for a given object of this scene (what the object's own SetName and SetGuid come
    // to).
    void RenameObject(XBaseObject* object, const XString& newName);
    void RenameObject(XBaseObject* object, const XGuid& newGuid);
    // On a clash: the trailing decimal number of the name (1 without one) counts up until the
    // name is free ("Box" -> "Box2", "Box007" -> "Box8", "Door-3" -> "Door-4").
    void MakeNameUnique(XBaseObject* object);

    // ---- association walk ----
    // Appends to the list what its objects use: a node's mesh object, a mesh object's modifiers,
    // each once.
    void EnumAssociatedObjects(XPtrArray<XBaseObject, 8>& list);
    void EnumAssociatedObjects(XBaseObject* object, XPtrArray<XBaseObject, 8>& list);

    // ---- updates and events ----
    void BeginUpdate();
    // Fires the scene change when the count drops below 1.
    void EndUpdate();
    void DoEditorChange(XBaseEditor* editor);
    void DoObjectAttach(XBaseObject* object);
    void DoObjectDetach(XBaseObject* object);
    void DoObjectSelect(XBaseObject* object, bool select);
    void DoSceneChange();
    void DoFrameChange(unsigned frame);
    // Empties the scene (pops every editor first); fires one scene change at the end.
    void ClearScene();
    uint32_t GetState() const { return m_State; }

    // ---- selection ----
    // Nothing for null or a node of another scene; a node that cannot be selected leaves the
    // selection. Fires the select event with select as passed.
    void SelectNode(XMeshNode* node, bool select);
    void ClearNodeSelection();
    void ClearSelNodes() { ClearNodeSelection(); }
    unsigned GetSelNodeCount() const { return m_SelNodes.GetCount(); }
    XMeshNode* GetSelNode(unsigned i) const { return m_SelNodes[i]; }

    // ---- editors ----
    void AddEditor(XBaseEditor* editor);
    // Never the scene editor; the editor is not deleted. It leaves the registry and the stack; when
    // current, it is deactivated and the scene editor made current first.
    void DeleteEditor(XBaseEditor* editor);
    XBaseEditor* FindEditor(const XString& name);
    // The editor itself when it is registered (compared by pointer), else null.
    XBaseEditor* FindEditor(XBaseEditor* editor);
    unsigned GetEditorCount() const { return m_Editors.GetCount(); }
    XBaseEditor* GetEditor() const { return m_Editor; }
    XBaseEditor* GetSceneEditor() const { return m_SceneEditor; }
    XBaseEditor* GetNodeCreator() const { return m_NodeCreator; }
    // An unregistered or null editor means the scene editor. A current editor that refuses to
    // deactivate keeps its place; a new one that refuses to activate empties the stack and gives
    // way to the scene editor.
    void SetEditor(XBaseEditor* editor);
    void SetEditor(const XString& name);
    void PushEditor(XBaseEditor* editor);
    void PushEditor(const XString& name);
    // On an empty stack the scene editor becomes current.
    void PopEditor();
    unsigned GetEditorStackCount() const { return m_EditorStack.GetCount(); }
    // Gives the node creator the classes of the node and of its mesh object (empty for none) and
    // pushes it; Finish pops it when it is current.
    void MouseCreateNodeStart(const XString& className, const XString& meshClassName);
    void MouseCreateNodeFinish();
    void KeyDown(unsigned& key, Gx::Ui::GxShiftState shift) override;
    void KeyPress(WCHAR& key) override;
    void KeyUp(unsigned& key, Gx::Ui::GxShiftState shift) override;

    // ---- view and device ----
    XView* GetView() const { return m_View; }
    // Leaves the old view (releasing the objects' device resources) and joins the new one.
    void SetView(XView* view);
    // The view takes the scene out of its list: when it is the scene's view, the scene leaves it
    // as SetView(nullptr) would, without asking the view anything. Other views change nothing.
    void LeaveView(XView* view);
    // Nothing for a null device; else every object in attach order, then the desktop and the
    // tile manager.
    void CreateDevice(IDirect3DDevice9* device);
    void ReleaseDevice(IDirect3DDevice9* device);
    void InvalidateDevice(IDirect3DDevice9* device);
    void RestoreDevice(IDirect3DDevice9* device);
    Gx::Ui::GxDesktop* GetDesktop() const { return m_Desktop; }
    Gx::Ui::GxTileManager* GetTileManager() const { return m_TileManager; }

    // ---- camera presets (applied to the camera of the view's active viewport) ----
    // Without a view whose active viewport shows an XCamera nothing happens and 0 is returned.
    unsigned CreateCameraPreset(const XString& name);
    // False for an index past the count or an unknown name.
    bool DeleteCameraPreset(unsigned index);
    bool DeleteCameraPreset(const XString& name);
    void ClearCameraPresets();
    unsigned GetCameraPresetCount() const { return m_Presets.GetCount(); }
    // 0xFFFFFFFF when none.
    unsigned GetCameraPresetIndex(const XString& name) const { return m_Presets.GetIndex(name); }
    // Range-checked; an unknown name throws XException "Out of range.".
    XCameraPreset* GetCameraPreset(unsigned index) const { return m_Presets.Get(index); }
    XCameraPreset* GetCameraPreset(const XString& name) const { return m_Presets.Get(name); }
    // The camera of the active viewport takes the preset and the viewport's caption names it; the
    // flag has no effect.
    void ApplyCameraPreset(unsigned index, bool animate);
    void ApplyCameraPreset(const XString& name, bool animate);

    // ---- files ----
    // ClearScene, then MergeFromFile.
    void LoadFromFile(const XString& fileName);
    // Reads the file (a file of that name in the scene folder wins) into the scene, opened
    // read-only. Format errors are shown with ShowMessage and the call returns normally, keeping
    // what was read; a file that cannot be opened passes the narrow "Failed opening file." on, one
    // shorter than its header "Stream reading error.".
    void MergeFromFile(const XString& fileName);
    // Serialises the scene into memory, then writes it to a temporary file in the target's folder
    // and moves that over the target: a failed save leaves the old file as it was. Format errors
    // are shown; file errors pass on as the narrow "Failed opening file." or "Stream writing
    // error.".
    void SaveToFile(const XString& fileName);
    // Whole scene. Errors of the scene's own are shown with ShowMessage; the stream's narrow
    // errors pass on. The state word is normal again on every exit.
    void SaveToStream(XStream* stream);
    void LoadFromStream(XStream* stream);
    // Object list (selection, clipboard): header, version, contents table and objects of the
    // list. Saving passes every error on.
    void SaveToStream(XStream* stream, XPtrArray<XBaseObject, 8>& list);
    // Reads into a scene of its own, gives objects whose GUIDs are taken here new ones, then moves
    // them here (names made unique) and appends them to the list, last first.
    void LoadFromStream(XStream* stream, XPtrArray<XBaseObject, 8>& list);
    // The selected nodes with their mesh objects and modifiers; nothing selected throws
    // XException "Не выделено ни одного объекта.".
    void SaveSelNodesToStream(XStream* stream);
    void LoadSelNodesFromStream(XStream* stream);
    // One object chunk 0x4E435359: GUID, name, class name, then the object's own chunks.
    void SaveObject(XWriter& writer, XBaseObject* object);
    // Reads the open object chunk: an object given or found by the chunk's GUID is filled,
    // otherwise one is created from the class name.
    void LoadObject(XReader& reader, XBaseObject*& object);
    void SaveObjectToStream(XStream* stream, XBaseObject* object);
    void LoadObjectFromStream(XStream* stream, XBaseObject*& object);
    void SaveObjectToFile(const XString& fileName, XBaseObject* object);
    // A file of that name in the mesh folder wins.
    void LoadObjectFromFile(const XString& fileName, XBaseObject*& object);
    // Replaces fileName by the file of the same name in the type's folder when that exists.
    void FindFile(XFindType type, XString& fileName) const;

    // ---- accessors ----
    XString GetRootDir() const { return m_RootDir; }
    void SetRootDir(const XString& dir) { m_RootDir = dir; }
    XString GetSceneDir() const { return m_SceneDir; }
    void SetSceneDir(const XString& dir) { m_SceneDir = dir; }
    XString GetTextureDir() const { return m_TextureDir; }
    void SetTextureDir(const XString& dir) { m_TextureDir = dir; }
    XString GetMaterialDir() const { return m_MaterialDir; }
    void SetMaterialDir(const XString& dir) { m_MaterialDir = dir; }
    XString GetMeshDir() const { return m_MeshDir; }
    void SetMeshDir(const XString& dir) { m_MeshDir = dir; }
    XString GetFileName() const { return m_FileName; }
    void SetFileName(const XString& name) { m_FileName = name; }
    bool GetAutoBackupEnabled() const { return m_AutoBackupEnabled; }
    void SetAutoBackupEnabled(bool enabled) { m_AutoBackupEnabled = enabled; }
    uint32_t GetAutoBackupTime() const { return m_AutoBackupTime; }
    void SetAutoBackupTime(uint32_t time) { m_AutoBackupTime = time; }
    bool GetShowBoxes() const { return m_ShowBoxes; }
    void SetShowBoxes(bool show) { m_ShowBoxes = show; }
    bool GetShowAxis() const { return m_ShowAxis; }
    void SetShowAxis(bool show) { m_ShowAxis = show; }
    uint32_t GetTransformAxis() const { return m_TransformAxis; }
    void SetTransformAxis(uint32_t axis) { m_TransformAxis = axis; }
    uint32_t GetTransformType() const { return m_TransformType; }
    uint32_t GetVersion() const { return m_Version; }
    UINT GetSceneClipboardFormat() const { return m_SceneFormat; }
    UINT GetTriClipboardFormat() const { return m_TriFormat; }
    TTimer* GetTimer() const { return m_Timer; }

    // Published events.
    XEditorChangeEvent OnEditorChange;
    XObjectEvent OnObjectAttach;
    XObjectEvent OnObjectDetach;
    TNotifyEvent OnSceneChange;
    XObjectSelectEvent OnObjectSelect;
    XFrameChangeEvent OnFrameChange;

protected:
    // The view's removal: the scene leaves it.
    void Notification(TComponent* component, TOperation operation) override;

private:
    enum class DeviceEvent
    {
        Create,
        Release,
        Invalidate,
        Restore
    };

    // Numbers first..last under one base name that are known to be taken.
    struct NameRun
    {
        uint32_t first;
        uint32_t last;
    };

    bool IsNormal() const { return m_State == StateNormal; }
    // SetEditor; false when the editor refused to activate (the scene editor is current then).
    bool SwitchEditor(XBaseEditor* editor);
    void MakeNameUnique(XBaseObject* object, bool filing);
    // Places a material in a slot (its id when that slot is free, else the first free one, else a
    // new one) and returns the slot.
    uint32_t PlaceMaterial(XBaseMaterial* material, uint32_t id);
    // The materials a load created take their slots (their ids as the file gave them).
    void PlacePendingMaterials();
    // Places the pending materials when a load ends, however it ends.
    class PendingScope
    {
    public:
        explicit PendingScope(XScene& scene) : m_Scene(scene) {}
        ~PendingScope()
        {
            try
            {
                m_Scene.PlacePendingMaterials();
            }
            catch (...)
            {
            }
        }
        PendingScope(const PendingScope&) = delete;
        PendingScope& operator=(const PendingScope&) = delete;

    private:
        XScene& m_Scene;
    };
    void GrowMaterialSlots(unsigned count);
    void Forget(XBaseObject* object);
    void SendDevice(DeviceEvent event, IDirect3DDevice9* device);
    IDirect3DDevice9* GetViewDevice() const;
    // The XCamera of the view's active viewport (and the viewport), or null.
    XCamera* GetViewportCamera(XViewport*& viewport) const;
    // Objects of the null GUID get fresh ones before they are written.
    void GiveGuids(XPtrArray<XBaseObject, 8>& list);
    void WriteScene(XStream* stream);
    void WriteList(XStream* stream, XPtrArray<XBaseObject, 8>& list);
    void WriteHeader(XStream* stream);
    void WriteContents(XWriter& writer, XPtrArray<XBaseObject, 8>& list);
    void ReadContents(XReader& reader);
    void ReadBody(XStream* stream, XReader& reader);
    // Loads the object chunk the reader has just opened through a reader of its own, dropping it
    // when it fails.
    void LoadObjectChunk(XStream* stream, XBaseObject*& object);
    void WriteObjectStream(XStream* stream, XBaseObject* object);
    void ApplyGuidAndName(XBaseObject* object, XGuid* guid, const WCHAR* name);
    void CheckGuidFree(const XGuid* guid);

    int32_t m_UpdateCount = 0;
    XPtrArray<XClassDesc, 8> m_Classes;
    XPtrArray<XBaseEditor, 8> m_Editors;
    XEditorsStack m_EditorStack;
    XBaseEditor* m_Editor = nullptr;
    XBaseEditor* m_SceneEditor = nullptr;
    XBaseEditor* m_NodeCreator = nullptr;
    XPtrArray<XBaseTexture, 8> m_Textures;
    XPtrArray<XBaseMaterial, 8> m_Materials;
    XPtrArray<XBaseMaterial, 8> m_PendingMaterials; // created by a running load, not yet placed
    XPtrArray<XMeshNode, 4> m_Nodes;
    XPtrArray<XMeshNode, 4> m_SelNodes;
    XPtrArray<XBaseLight, 8> m_Lights;
    XPtrArray<XBaseCamera, 8> m_Cameras;
    XPtrArray<XBaseMesh, 8> m_Meshes;
    XPtrArray<XBaseObject, 8> m_Objects;
    XHash<XBaseObject> m_NameHash{512, 128};
    std::unordered_map<std::u16string, NameRun> m_NameRuns;
    XExHash<XBaseObject*, XGuid> m_GuidHash{512, 128};
    XMeshTree* m_Root = nullptr;
    XString m_RootDir;
    XString m_SceneDir;
    XString m_TextureDir;
    XString m_MaterialDir;
    XString m_MeshDir;
    XString m_FileName;
    UINT m_SceneFormat = 0;
    UINT m_TriFormat = 0;
    uint32_t m_Version = 0;
    uint32_t m_EnumCounter = 0;
    uint32_t m_TransformAxis = 0;
    Gx::Ui::GxDesktop* m_Desktop = nullptr;
    Gx::Ui::GxTileManager* m_TileManager = nullptr;
    bool m_ShowBoxes = true;
    bool m_ShowAxis = true;
    uint32_t m_TransformType = 0;
    uint32_t m_State = StateConstructing;
    TTimer* m_Timer = nullptr;
    bool m_AutoBackupEnabled = false;
    uint32_t m_AutoBackupTime = 0;
    XView* m_View = nullptr;
    XCameraPresetList m_Presets;
    TComponent* m_ViewComponent = nullptr; // the view as a component, for its free notification

    // ---- interactive side: selection, groups, editor forwarding, drawing (XSceneSelect.cpp) and
    // the object clipboard (XSceneClipboard.cpp) ----
public:
    // Destroys every selected node still in the scene.
    void DeleteSelNodes();
    // Adds copies of the selected nodes with copies of their mesh objects and modifiers (fresh
    // GUIDs, unique names) and clears the selection; the copies already own their meshes, so
    // `meshes` asks for nothing more. Errors are shown, not passed on.
    void CloneSelNodes(bool meshes);
    // The current editor's selection count and centre.
    unsigned GetSelectedCount();
    XVertex GetSelectedCentre();

    // Null for fewer than 2 nodes; else a new group named name (its default name for an empty
    // one) that takes the nodes.
    XNodeGroup* GroupNodes(XPtrArray<XMeshNode, 4>& nodes, const XString& name);
    // The group releases its members into nodes and is destroyed.
    void UngroupNodes(XNodeGroup* group, XPtrArray<XMeshNode, 4>& nodes);
    // The selection grouped; the new group is selected. Null (the selection kept) for fewer than
    // 2 selected nodes.
    XNodeGroup* GroupSelNodes(const XString& name);
    // Every selected group is ungrouped and its members selected.
    void UngroupSelNodes();

    // Forwarded unchanged to the current editor.
    void MouseEventHandler(XViewport* viewport, XMouseEvent event, XShiftState shift, const XPoint& point);
    unsigned GetFrame();
    void SetFrame(unsigned frame);
    unsigned GetMaxFrame();
    void SetMaxFrame(unsigned frame);
    bool EditorCanCopyToClipboard();
    void EditorCopyToClipboard();
    bool EditorCanCutToClipboard();
    void EditorCutToClipboard();
    bool EditorCanPasteFromClipboard();
    void EditorPasteFromClipboard();
    bool EditorCanDelete();
    void EditorDelete();
    bool EditorCanClone();
    void EditorClone();
    // 0 move, 1 rotate, 2 scale.
    void SetTransformType(uint32_t type) { m_TransformType = type; }

    // Lights (with the viewport's lighting on), every visible node, the editor's overlay passes 0
    // and 1 around the selection boxes and the transform gizmo.
    void Render(XViewport* viewport);
    // The outline of the node's mesh box.
    void RenderBoundingBox(XViewport* viewport, XMeshNode* node);
    // The gizmo placed by matrix; the parts named by the transform axis mask are yellow.
    void RenderAxis(XViewport* viewport, const XMatrix& matrix);
    // The gizmo part within 3 pixels of the point, as an axis mask (0 none, and 0 with nothing
    // selected or for an empty viewport). A null matrix places the gizmo at the editor's selection
    // centre.
    unsigned FindTransformAxis(XViewport* viewport, const XPoint& point, const XMatrix* matrix);
    // The gizmo's size for a gizmo at the world position: a twelfth of the viewport's diagonal
    // on screen. In perspective that is the distance between the rays through the corners (0, 0)
    // and (W, H) at the position's depth; orthographic views take the distance between those rays'
    // origins. 0 means no gizmo: the position is at or behind a perspective camera.
    float GizmoSize(XViewport* viewport, unsigned frame, const XVertex& position);

    // The selected nodes, or an object (by name or GUID) with what it uses, or a list, put on the
    // clipboard as an object list stream. A cut destroys the objects only after the clipboard took
    // them. Errors are shown, not passed on.
    void CopySelNodesToClipboard();
    void CutSelNodesToClipboard();
    void CopyToClipboard(const XString& name);
    void CopyToClipboard(const XGuid& guid);
    void CopyToClipboard(XPtrArray<XBaseObject, 8>& list);
    void CutToClipboard(const XString& name);
    void CutToClipboard(const XGuid& guid);
    void CutToClipboard(XPtrArray<XBaseObject, 8>& list);
    // Loads the clipboard's objects as new objects (GUIDs taken here renewed, names made unique);
    // they are not selected.
    void PasteFromClipboard();
    // The stream's bytes as the clipboard data of the format; false (the clipboard as it was, the
    // block freed) when the clipboard refuses them.
    static bool PutOnClipboard(XStream* stream, UINT format);
    // Appends the clipboard's block of the format to the stream; false when there is none or it
    // cannot be read (the stream may then hold part of it).
    static bool ReadClipboard(UINT format, XStream* stream);

private:
    // Saves the list and puts it on the clipboard; errors pass on.
    bool CopyListToClipboard(XPtrArray<XBaseObject, 8>& list);
    void DestroyListed(XPtrArray<XBaseObject, 8>& list);

    // Light indices enabled by the last Render, so that lights gone since are switched off.
    unsigned m_LitCount = 0;
};
