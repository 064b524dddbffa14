// The editor of one triangle-mesh object's source mesh at vertex or face level: it selects in the
// viewports, deletes, clones, copies and pastes, transforms the selection (dragged or typed) and
// keeps an undo history of whole-mesh copies and selection copies, newest first. XTriMesh::Edit
// binds it to the object and its node and pushes it; the history belongs to the object's GUID and
// survives leaving and reopening the editor on the same object.
//
// What survives a failure: every edit records its undo entry before it changes the mesh, and an
// edit that cannot be done (nothing bound, nothing selected, a bad clipboard block) changes
// nothing and records nothing. A node or object destroyed while bound makes every operation do
// nothing. Selection bits, and colours and weights while enabled, that do not match the vertex
// and face counts (as a loaded scene may have them) are sized to them before use.
#pragma once

#include "Components/XArray.h"
#include "Components/XGuid.h"
#include "Components/XPtrArray.h"
#include "Engine/Editors/XSTEditor.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XMeshNode.h"

#include <cstddef>

class TBaseEditorFrame;

// One step of the history: it belongs to the XTriMesh of its GUID, found in the scene when undone.
class XUndoItem
{
public:
    // `bytes`: the mesh data the record holds, counted against the history's bound.
    XUndoItem(const XGuid& guid, size_t bytes) : m_Guid(guid), m_Bytes(bytes) {}
    virtual ~XUndoItem() = default;
    XUndoItem(const XUndoItem&) = delete;
    XUndoItem& operator=(const XUndoItem&) = delete;

    // Puts the object back as the record holds it; an object no longer in the scene is ignored.
    virtual void Undo(XScene* scene) = 0;
    virtual StrUtils::XBaseString<WCHAR> GetName() = 0;
    // True when undoing it would change the mesh as it stands (the selection level aside).
    virtual bool WouldChange(const XMesh& mesh) const = 0;

    const XGuid& GetGuid() const { return m_Guid; }
    size_t GetBytes() const { return m_Bytes; }

protected:
    // The object of the record's GUID when the scene has it and it is a triangle mesh.
    XTriMesh* FindMesh(XScene* scene) const;

    XGuid m_Guid;
    size_t m_Bytes;
};

// A whole copy of a source mesh (as mesh assignment copies it: every array, the flags, both
// selections and the level; the named selections are the live mesh's own and stay).
class XMeshChangeUndo : public XUndoItem
{
public:
    XMeshChangeUndo(const XGuid& guid, const XMesh& mesh, const StrUtils::XBaseString<WCHAR>& name);

    void Undo(XScene* scene) override;
    StrUtils::XBaseString<WCHAR> GetName() override;
    bool WouldChange(const XMesh& mesh) const override;

    const XMesh& GetMesh() const { return m_Mesh; }
    // The bytes a copy of the mesh holds.
    static size_t MeshBytes(const XMesh& mesh);

private:
    XMesh m_Mesh;
    StrUtils::XBaseString<WCHAR> m_Name;
};

// Copies of the vertex and face selection bits.
class XMeshSelectionChangeUndo : public XUndoItem
{
public:
    XMeshSelectionChangeUndo(const XGuid& guid, const XMesh& mesh, const StrUtils::XBaseString<WCHAR>& name);

    void Undo(XScene* scene) override;
    StrUtils::XBaseString<WCHAR> GetName() override;
    bool WouldChange(const XMesh& mesh) const override;

private:
    XBitArray m_VertexSelection;
    XBitArray m_FaceSelection;
    StrUtils::XBaseString<WCHAR> m_Name;
};

class XTriMeshEditor : public XSTEditor
{
public:
    // The history's default bound on the mesh data its records hold.
    static constexpr size_t DefaultUndoLimit = size_t(256) << 20;

    // Unbound, vertex mode, no history.
    explicit XTriMeshEditor(XScene* scene);
    ~XTriMeshEditor() override;

    // False without a node or object. Another object than the history's (by GUID) clears its
    // selections and starts afresh in vertex mode; the object then shows the mode's level.
    bool Activate() override;
    // The object back to object level; the drag's saved positions go.
    bool Deactivate() override;
    // "XTriMeshEditor".
    StrUtils::XBaseString<WCHAR> GetName() override;
    bool CanUndo() override;
    // First the newest record goes when its step is over (never during a drag) and changed
    // nothing, so that every Undo takes back a change the user can see. Then the record at the
    // undo position, which then advances. The object keeps the selection level it had (the
    // mode's while the editor is current): a mesh copy carries its own.
    void Undo() override;
    // Empty when every record is undone.
    StrUtils::XBaseString<WCHAR> GetUndoName() override;
    // The selected faces and the vertices they use (or the selected vertices) as a mesh block
    // under the scene's triangle format. The selection stays as it was. Failures are shown.
    void CopyToClipboard() override;
    bool CanCopy() override;
    // Deletes only after the clipboard took the copy.
    void CutToClipboard() override;
    bool CanCut() override;
    // Reads the block into a mesh of its own first: a block cut short shows "Stream reading
    // error.", one that is no mesh block or whose faces name vertices outside it "Invalid stream
    // format."; these and an empty block change nothing. Otherwise records "Вставка из буфера",
    // appends and selects exactly what was pasted.
    void PasteFromClipboard() override;
    bool CanPaste() override;
    // The selected vertices (with their faces; the face selection is cleared too) or faces.
    void Delete() override;
    bool CanDelete() override;
    // Copies of the selected vertices or faces, which then are the selection.
    void Clone() override;
    bool CanClone() override;
    // Set bits of the level's selection; 0 at object level or unbound.
    unsigned GetSelectionCount() override;
    XVertex GetSelectionCenter() override;
    // "Vertex", "Face".
    unsigned GetModeCount() override;
    StrUtils::XBaseString<WCHAR> GetModeName(int index) override;
    int GetMode() override;
    // Non-zero is face mode.
    void SetMode(int index) override;
    TBaseEditorFrame* GetEditorFrame() override;

    // A click (equal corners) picks the vertices within 2 pixels or the faces under the point; a
    // drag the vertices or whole faces inside. Plain replaces (recording "Сброс выделения" when
    // something was selected), Shift adds, Ctrl toggles.
    void SelectRectShift(XViewport* viewport, const XPoint& min, const XPoint& max) override;
    void SelectRect(XViewport* viewport, const XPoint& min, const XPoint& max) override;
    void SelectRectCtrl(XViewport* viewport, const XPoint& min, const XPoint& max) override;
    // Records "Сброс выделения" and clears both selections; nothing when nothing is selected.
    void ClearSelection() override;
    // On the gizmo, which stands at the selection's world centre.
    bool HitTestSelection(XViewport* viewport, const XPoint& point) override;
    // Records "Трансформация вершин" and keeps the positions for a cancel.
    void BeginTransform() override;
    void EndTransform() override;
    // The kept positions back; the record stays.
    void CancelTransform() override;
    // Each step about the selection's world centre of that moment: moved along the transform
    // plane, turned half a degree per pixel upward about the constrained axes, scaled 1 % per
    // pixel upward on all axes (never below XSTEditor::MinDragScale).
    void Move(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;
    void Rotate(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;
    void Scale(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;

    // Ends the newest record's step (dropped when it changed nothing), drops the undone records,
    // then puts the record first. Past the bound on the records' mesh data the oldest go; the
    // newest always stays. The editor owns the record; null is ignored.
    virtual void AddUndo(XUndoItem* item);
    // The mean of the selected vertices, or of the corners of the selected faces (a shared corner
    // counting once per face), in world space through the node's mesh matrix, and how many were
    // selected; (0, 0, 0) and 0 unbound or with nothing selected.
    virtual XVertex GetWorldSelectionCenter(unsigned& count);
    virtual XVertex GetLocalSelectionCenter(unsigned& count);
    // Typed transforms about the world centre ("Перемещение", "Вращение" in radians,
    // "Масштабирование"); nothing and no record with nothing selected.
    virtual void MoveSelection(XViewport* viewport, const XVertex& offset);
    virtual void RotateSelection(XViewport* viewport, const XVertex& angles);
    virtual void ScaleSelection(XViewport* viewport, const XVertex& factors);
    // The vertex creator in mode 0 ("Create Vertex") or 1 ("Create Face").
    virtual void CreateVertices(XViewport* viewport);
    virtual void CreateFaces(XViewport* viewport);
    // The vertex-colour editor on the same object, painting vertices or faces as the mode says.
    virtual void EditVertexColors();

    // Finds or makes the scene's vertex creator, binds it to this object and node, sets its mode
    // (2 is "Tessellate") and pushes it.
    void OpenVertexCreator(int mode);

    void SetMesh(XTriMesh* mesh) { m_Mesh = mesh; }
    XTriMesh* GetMesh() const { return m_Mesh.Get(); }
    void SetNode(XMeshNode* node) { m_Node = node; }
    XMeshNode* GetNode() const { return m_Node.Get(); }
    // The bound object's source mesh with its selections (and its colours and weights while
    // enabled) sized to its counts; null when no object and node are bound or either is gone.
    XMesh* GetSourceMesh();
    // Records the source mesh (or its selections) under the name; false when nothing is bound.
    bool RecordMeshChange(const StrUtils::XBaseString<WCHAR>& name);
    bool RecordSelectionChange(const StrUtils::XBaseString<WCHAR>& name);

    uint32_t GetUndoCount() const { return m_UndoItems.GetCount(); }
    uint32_t GetUndoPosition() const { return m_UndoPosition; }
    // Newest first.
    XUndoItem* GetUndoItem(uint32_t index) const { return m_UndoItems[index]; }
    size_t GetUndoBytes() const { return m_UndoBytes; }
    size_t GetUndoLimit() const { return m_UndoLimit; }
    // Applies at once: the oldest records go until the history fits (the newest stays).
    void SetUndoLimit(size_t bytes);

protected:
    // The selection level of a mode.
    static uint32_t LevelOf(uint32_t mode) { return mode == 0 ? XMesh::VertexLevel : XMesh::FaceLevel; }
    // Empties the history.
    void ClearUndo();
    // The pivot at the world centre and the transform applied there, then invalidated; nothing
    // with nothing selected. With a `record` name the mesh is recorded under it first.
    void ApplyTransform(const XMatrix& transform, const char16_t* record = nullptr);
    // Fills the level's selection bits of the hits as `how` says (0 set, 1 toggle).
    void PickInRect(XViewport* viewport, const XPoint& min, const XPoint& max, int how);

    XReference<XTriMesh> m_Mesh;
    XReference<XMeshNode> m_Node;
    XArray<XVertex, 32> m_SavedPositions;
    XGuid m_MeshGuid{};
    XPtrOwnArray<XUndoItem, 16> m_UndoItems;
    uint32_t m_UndoPosition = 0;
    uint32_t m_Mode = 0;
    TBaseEditorFrame* m_Frame = nullptr;

private:
    // Drops the oldest records past the bound, never the newest.
    void TrimUndo();
    // Drops the newest record when its step is over and changed nothing.
    void DropUnchangedStep();
    // Puts the stream's bytes on the clipboard; false when the clipboard did not take them.
    bool CopySelected();
    // The same, a failure shown to the user (and false).
    bool CopyShowingFailure();

    size_t m_UndoBytes = 0;
    size_t m_UndoLimit = DefaultUndoLimit;
    // The newest record's step is not yet known to have changed anything: creators and drags
    // record before they know.
    bool m_StepOpen = false;
};
