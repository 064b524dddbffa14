#include "Engine/Scene/XMeshNode.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XVariant.h"
#include "Components/XWriter.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Scene/XClassIds.h"
#include "Engine/Scene/XSceneLink.h"

#include <cstring>

using VarUtils::XVariant;

XMeshNodeDesc MeshNodeDesc;

namespace
{
constexpr uint32_t kInvalidStamp = 0xFFFFFFFF;
// Sub-chunks of the node chunk that are not properties.
constexpr uint32_t kMeshNameChunk = 0x36540003; // older files: the mesh object by name
constexpr uint32_t kMeshGuidChunk = 0x3654000D;
// Names read from files are bounded before anything is allocated for them.
constexpr unsigned kMaxReadName = 1024;

const XPropertyDesc kProperties[] = {
    {XMeshNode::PidMaterial, u"bitu32", u"Material"},
    {XMeshNode::PidColor, u"XColor", u"Color"},
    {XMeshNode::PidMeshPosition, u"XVertex", u"MeshPosition"},
    {XMeshNode::PidMeshRotation, u"XMatrix", u"MeshRotation"},
    {XMeshNode::PidMeshScale, u"XVertex", u"MeshScale"},
    {XMeshNode::PidMatrix, u"XMatrix", u"Matrix"},
    {XMeshNode::PidVisible, u"bool", u"Visible"},
    {XMeshNode::PidSelected, u"bool", u"Selected"},
    {XMeshNode::PidSelectable, u"bool", u"Selectable"},
    {XMeshNode::PidGroupped, u"bool", u"Groupped"},
};
constexpr unsigned kPropertyCount = sizeof kProperties / sizeof kProperties[0];

// Shared by all nodes: the colour the next node takes, and whether the node being created by
// mouse has had its first press.
uint32_t g_defaultColor = 0xFF00007F;
bool g_placed = false;

XMatrix Inverted(const XMatrix& m)
{
    XMatrix out;
    m.Inverse(out);
    return out;
}

XVertex Transformed(const XMatrix& m, XVertex v)
{
    m.ApplyTo(&v, 1);
    return v;
}

// A fixed-size field: a chunk too short for it would read into whatever follows.
void ReadField(XReader& reader, void* data, unsigned size)
{
    if (reader.GetBytesLeft() < size || reader.Read(data, size) != size)
        throw FileUtils::XIOError();
}

uint8_t ReadFlag(XReader& reader)
{
    uint8_t value = 0;
    ReadField(reader, &value, 1);
    return value;
}

uint32_t ReadWord(XReader& reader)
{
    uint32_t value = 0;
    ReadField(reader, &value, 4);
    return value;
}

// Property storage passed by address; null is ignored.
void CopyOut(const XVariant& value, const void* data, size_t size)
{
    if (void* out = value.AsPointer())
        std::memcpy(out, data, size);
}
} // namespace

// ---- construction ------------------------------------------------------------------------------

XMeshNode::XMeshNode() : m_Mesh(this)
{
    SetName(MakeName());
    m_Color = g_defaultColor;
    g_defaultColor = NextDefaultColor(g_defaultColor).GetARGB();
}

XMeshNode::~XMeshNode()
{
    // Destructors never throw: a scene or mesh object that fails here must not end the program.
    try
    {
        SetMesh(nullptr);
        while (m_Children.GetCount() > 0)
        {
            XMeshNode* child = m_Children[0];
            child->SetParent(m_Parent);
            if (m_Children.GetCount() > 0 && m_Children[0] == child)
                XMeshNode::RemoveChild(child); // a parent that refused it: the child becomes a root
            if (m_Children.GetCount() > 0 && m_Children[0] == child)
                m_Children.Remove(child);
        }
        if (m_Parent)
            m_Parent->RemoveChild(this);
        SetScene(nullptr);
    }
    catch (...)
    {
    }
    // Whatever failed above, nothing may keep pointing at this node.
    for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
        m_Children.GetData()[i]->m_Parent = nullptr;
    if (m_Parent)
        m_Parent->m_Children.Remove(this);
    m_Animation = nullptr;
}

XColor XMeshNode::GetDefaultColor()
{
    return g_defaultColor;
}

XColor XMeshNode::NextDefaultColor(XColor color)
{
    uint32_t low = color.GetARGB() & 0x00FFFFFF;
    low = ((low << 2) | (low >> 22)) & 0x00FFFFFF;
    return 0xFF000000u | low;
}

// ---- object protocol ---------------------------------------------------------------------------

void XMeshNode::Notification(XRefManager* sender, unsigned message, uintptr_t)
{
    if (!sender || sender != m_Mesh.GetTarget())
        return;
    if (message == XRM_DELETED)
        m_Mesh.SetTarget(nullptr);
    else if (message == XRM_RELEASED)
        SetMesh(nullptr);
}

uint32_t XMeshNode::GetClassId() const
{
    return ClassId::MeshNode;
}

XString XMeshNode::GetClassNameW() const
{
    return u"XMeshNode";
}

void XMeshNode::Save(XScene* scene, XWriter& writer)
{
    XBaseObject::Save(scene, writer);
    XAnimationSet::Save(writer);
    SaveNodeChunk(writer);
}

void XMeshNode::Save(XWriter& writer) const
{
    // Saving changes nothing but the cache of the world matrix.
    const_cast<XMeshNode*>(this)->Save(GetScene(), writer);
}

void XMeshNode::Load(XReader& reader)
{
    Load(GetScene(), reader);
}

void XMeshNode::SaveNodeChunk(XWriter& writer)
{
    XMatrix world;
    GetMatrix(0, world);
    writer.BeginChunk(ClassId::MeshNode);
    writer.WriteChunkU32(PidMaterial, m_Material);
    writer.WriteChunkU32(PidColor, m_Color.GetARGB());
    writer.WriteChunk(PidMeshPosition, &m_MeshPosition, sizeof m_MeshPosition);
    writer.WriteChunk(PidMeshRotation, &m_MeshRotation, sizeof m_MeshRotation);
    writer.WriteChunk(PidMeshScale, &m_MeshScale, sizeof m_MeshScale);
    writer.WriteChunk(PidMatrix, &world, sizeof world);
    writer.WriteChunkU8(PidVisible, m_Visible);
    writer.WriteChunkU8(PidSelectable, m_Selectable);
    writer.WriteChunkU8(PidSelected, m_Selected);
    writer.WriteChunkU8(PidGroupped, m_Groupped);
    if (XBaseMesh* mesh = GetMesh())
        writer.WriteChunk(kMeshGuidChunk, &mesh->GetGuid(), sizeof(XGuid));
    writer.EndChunk();
}

void XMeshNode::Load(XScene* scene, XReader& reader)
{
    switch (reader.GetChunkId())
    {
    case ClassId::BaseObject:
        XBaseObject::Load(scene, reader);
        break;
    case XAnimationSet::ChunkId:
        // The set deletes its animations: the current one must not outlive them.
        SetAnimation(nullptr);
        XAnimationSet::Load(reader);
        break;
    case ClassId::MeshNode:
        LoadNodeChunk(scene, reader);
        break;
    default:
        break;
    }
}

void XMeshNode::LoadNodeChunk(XScene* scene, XReader& reader)
{
    m_Material = NoMaterial;
    m_Color = g_defaultColor;
    SetMesh(nullptr);
    SetVisible(true);
    SetSelectable(true);
    SetSelected(false);
    m_Groupped = false;
    m_Matrix.LoadIdentity();
    m_MeshPosition = XVertex(0, 0, 0);
    m_MeshRotation.LoadIdentity();
    m_MeshScale = XVertex(1, 1, 1);

    XSceneLink* link = XSceneLink::Get();
    while (reader.NextChunk())
    {
        switch (reader.GetChunkId())
        {
        case PidMaterial: SetMaterial(ReadWord(reader)); break;
        case PidColor: SetColor(ReadWord(reader)); break;
        case kMeshNameChunk:
        {
            XString name;
            reader.ReadString(name, kMaxReadName);
            if (scene)
                SetMesh(dynamic_cast<XBaseMesh*>(link->FindObject(scene, name)));
            break;
        }
        case PidMeshPosition: ReadField(reader, &m_MeshPosition, sizeof m_MeshPosition); break;
        case PidMeshRotation: ReadField(reader, &m_MeshRotation, sizeof m_MeshRotation); break;
        case PidMeshScale: ReadField(reader, &m_MeshScale, sizeof m_MeshScale); break;
        case PidMatrix: ReadField(reader, &m_Matrix, sizeof m_Matrix); break;
        case PidVisible: SetVisible(ReadFlag(reader) != 0); break;
        case PidSelected: SetSelected(ReadFlag(reader) != 0); break;
        case PidSelectable: SetSelectable(ReadFlag(reader) != 0); break;
        case PidGroupped: m_Groupped = ReadFlag(reader) != 0; break;
        case kMeshGuidChunk:
        {
            XGuid guid;
            ReadField(reader, &guid, sizeof guid);
            if (!scene)
                break;
            if (XBaseMesh* mesh = dynamic_cast<XBaseMesh*>(link->FindObject(scene, guid)))
                SetMesh(mesh);
            break;
        }
        default: break;
        }
        reader.EndChunk();
    }
    InvalidateNodeMatrix();
}

unsigned XMeshNode::GetPropertyCount() const
{
    return kPropertyCount + XBaseObject::GetPropertyCount();
}

const XPropertyDesc* XMeshNode::GetPropertyDesc(unsigned index) const
{
    if (index < kPropertyCount)
        return &kProperties[index];
    return XBaseObject::GetPropertyDesc(index - kPropertyCount);
}

void XMeshNode::GetPropertyValue(unsigned id, XVariant& value)
{
    switch (id)
    {
    case PidMaterial: value = static_cast<unsigned>(m_Material); break;
    case PidColor: value = static_cast<unsigned>(m_Color.GetARGB()); break;
    case PidMeshPosition: CopyOut(value, &m_MeshPosition, sizeof m_MeshPosition); break;
    case PidMeshRotation: CopyOut(value, &m_MeshRotation, sizeof m_MeshRotation); break;
    case PidMeshScale: CopyOut(value, &m_MeshScale, sizeof m_MeshScale); break;
    case PidMatrix: CopyOut(value, &m_Matrix, sizeof m_Matrix); break;
    case PidVisible: value = m_Visible; break;
    case PidSelected: value = m_Selected; break;
    case PidSelectable: value = m_Selectable; break;
    case PidGroupped: value = m_Groupped; break;
    default: XBaseObject::GetPropertyValue(id, value); break;
    }
}

void XMeshNode::SetPropertyValue(unsigned id, const XVariant& value)
{
    switch (id)
    {
    case PidMaterial: SetMaterial(static_cast<uint32_t>(value.AsInt())); break;
    case PidColor: SetColor(static_cast<unsigned>(value.AsInt())); break;
    case PidVisible: SetVisible(value.AsBool()); break;
    case PidSelected: SetSelected(value.AsBool()); break;
    case PidSelectable: SetSelectable(value.AsBool()); break;
    case PidMeshPosition:
    case PidMeshRotation:
    case PidMeshScale:
    case PidMatrix:
    case PidGroupped: break; // read-only
    default: XBaseObject::SetPropertyValue(id, value); break;
    }
}

// ---- editing -----------------------------------------------------------------------------------

bool XMeshNode::Editable()
{
    return true;
}

void XMeshNode::Edit(XScene* scene)
{
    if (!scene)
        return;
    XSceneLink* link = XSceneLink::Get();
    XBaseEditor* editor = link->FindEditor(scene, u"XAnimationEditor");
    if (!editor)
    {
        editor = link->CreateAnimationEditor(scene);
        if (!editor)
            return;
        link->AddEditor(scene, editor);
    }
    link->PushEditor(scene, editor);
}

bool XMeshNode::MeshEditable()
{
    XBaseMesh* mesh = GetMesh();
    return mesh && mesh->Editable();
}

void XMeshNode::MeshEdit(XScene* scene)
{
    if (XBaseMesh* mesh = GetMesh())
        mesh->Edit(scene, this);
}

// ---- hierarchy ---------------------------------------------------------------------------------

bool XMeshNode::IsAncestorOf(const XMeshNode* node) const
{
    for (const XMeshNode* p = node; p; p = p->m_Parent)
        if (p == this)
            return true;
    return false;
}

void XMeshNode::AddChild(XMeshNode* child)
{
    if (!child || child->m_Parent == this || child->IsAncestorOf(this))
        return;
    if (child->m_Parent)
        child->m_Parent->RemoveChild(child);
    if (child->m_Parent)
        return; // the old parent kept it
    child->m_Parent = this;
    m_Children.Add(child);
    // The child's local matrix is its world matrix here: make it relative to this node.
    XMatrix inverse;
    GetMatrixInverse(0, inverse);
    child->m_Matrix = child->m_Matrix * inverse;
    child->InvalidateNodeMatrix();
}

void XMeshNode::RemoveChild(XMeshNode* child)
{
    if (!child || child->m_Parent != this)
        return;
    m_Children.Remove(child);
    child->m_Parent = nullptr;
    XMatrix world;
    GetMatrix(0, world);
    child->m_Matrix = child->m_Matrix * world;
    child->InvalidateNodeMatrix();
}

XMeshNode* XMeshNode::GetParent() const
{
    return m_Parent;
}

void XMeshNode::SetParent(XMeshNode* parent)
{
    // A descendant (or the node itself) would close a cycle: refuse before anything changes.
    if (parent && IsAncestorOf(parent))
        return;
    if (m_Parent)
        m_Parent->RemoveChild(this);
    if (parent)
        parent->AddChild(this);
}

unsigned XMeshNode::GetDescendantCount() const
{
    unsigned count = m_Children.GetCount();
    for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
        count += m_Children.GetData()[i]->GetDescendantCount();
    return count;
}

unsigned XMeshNode::EnumDescendants(XPtrArray<XMeshNode, 4>& out) const
{
    unsigned count = 0;
    for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
    {
        XMeshNode* child = m_Children.GetData()[i];
        out.Add(child);
        count += 1 + child->EnumDescendants(out);
    }
    return count;
}

// ---- matrices ----------------------------------------------------------------------------------

void XMeshNode::GetMatrix(unsigned frame, XMatrix& out)
{
    if (m_WorldStamp != frame || frame == kInvalidStamp)
    {
        XMatrix parent;
        GetParentMatrix(frame, parent);
        XMatrix local = m_Matrix;
        if (frame != 0 && m_Animation)
        {
            XMatrix animation;
            m_Animation->GetMatrix(frame, animation);
            local = animation * m_Matrix;
        }
        m_World = local * parent;
        m_WorldStamp = frame;
        m_InverseStamp = kInvalidStamp;
    }
    out = m_World;
}

void XMeshNode::GetMatrixInverse(unsigned frame, XMatrix& out)
{
    XMatrix world;
    GetMatrix(frame, world);
    if (m_InverseStamp != frame || frame == kInvalidStamp)
    {
        world.Inverse(m_WorldInverse);
        m_InverseStamp = frame;
    }
    out = m_WorldInverse;
}

void XMeshNode::GetParentMatrix(unsigned frame, XMatrix& out)
{
    if (m_Parent)
        m_Parent->GetMatrix(frame, out);
    else
        out.LoadIdentity();
}

void XMeshNode::GetParentMatrixInverse(unsigned frame, XMatrix& out)
{
    if (m_Parent)
        m_Parent->GetMatrixInverse(frame, out);
    else
        out.LoadIdentity();
}

void XMeshNode::GetMeshMatrix(unsigned frame, XMatrix& out)
{
    XMatrix scale;
    scale.SetScale(m_MeshScale.x, m_MeshScale.y, m_MeshScale.z);
    XMatrix world;
    GetMatrix(frame, world);
    out = scale * m_MeshRotation * XMatrix::Translation(m_MeshPosition) * world;
}

void XMeshNode::SetMeshRotation(const XMatrix& rotation)
{
    m_MeshRotation = rotation;
    InvalidateNodeMatrix();
}

void XMeshNode::SetMatrix(const XMatrix& local)
{
    m_Matrix = local;
    InvalidateNodeMatrix();
}

void XMeshNode::ResetMatrix()
{
    m_Matrix.LoadIdentity();
    InvalidateNodeMatrix();
}

void XMeshNode::SetWorldMatrix(unsigned frame, const XMatrix& world)
{
    XMatrix parentInverse;
    GetParentMatrixInverse(frame, parentInverse);
    m_Matrix = world * parentInverse;
    InvalidateNodeMatrix();
}

void XMeshNode::SetPosition(float x, float y, float z)
{
    m_Matrix.m[3][0] = x;
    m_Matrix.m[3][1] = y;
    m_Matrix.m[3][2] = z;
    InvalidateNodeMatrix();
}

void XMeshNode::ResetPosition()
{
    SetPosition(0, 0, 0);
}

XVertex XMeshNode::GetWorldPosition(unsigned frame)
{
    XMatrix world;
    GetMatrix(frame, world);
    return XVertex(world.m[3][0], world.m[3][1], world.m[3][2]);
}

void XMeshNode::ResetMeshTransform(bool position, bool rotation, bool scale)
{
    if (position)
        m_MeshPosition = XVertex(0, 0, 0);
    if (rotation)
        m_MeshRotation.LoadIdentity();
    if (scale)
        m_MeshScale = XVertex(1, 1, 1);
    InvalidateNodeMatrix();
}

void XMeshNode::InvalidateNodeMatrix()
{
    // A child's cache is valid only while its parent's is, so an invalid node has no valid
    // descendants to visit.
    if (m_WorldStamp != kInvalidStamp)
        for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
            m_Children.GetData()[i]->InvalidateNodeMatrix();
    m_WorldStamp = kInvalidStamp;
    m_InverseStamp = kInvalidStamp;
}

void XMeshNode::SetAnimation(XAnimation* animation)
{
    if (animation == m_Animation)
        return;
    m_Animation = animation;
    InvalidateNodeMatrix();
}

// ---- transforms --------------------------------------------------------------------------------

void XMeshNode::BeginTransform()
{
}

void XMeshNode::EndTransform()
{
}

void XMeshNode::CancelTransform()
{
}

void XMeshNode::Move(unsigned frame, const XMatrix& axes, const XVertex& delta, bool withChildren,
                     XTransformTarget target)
{
    if (target == XTT_MESH)
    {
        XMatrix world;
        GetMatrix(0, world);
        XVertex p = Transformed(world, m_MeshPosition) + delta;
        m_MeshPosition = Transformed(Inverted(world), p);
        InvalidateNodeMatrix();
        return;
    }
    // The pivot moves in the rest pose; the node moves at the frame it is shown at.
    unsigned parentFrame = target == XTT_NODE ? frame : 0;
    XMatrix parent, parentInverse;
    GetParentMatrix(parentFrame, parent);
    GetParentMatrixInverse(parentFrame, parentInverse);
    m_Matrix = m_Matrix * (parent * Inverted(axes) * XMatrix::Translation(delta) * axes * parentInverse);
    if (target != XTT_NODE)
    {
        XMatrix world;
        GetMatrix(0, world);
        XVertex p = Transformed(world, m_MeshPosition) - delta;
        m_MeshPosition = Transformed(Inverted(world), p);
    }
    if (!withChildren)
        for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
            m_Children.GetData()[i]->Move(frame, axes, -delta, true, XTT_NODE);
    InvalidateNodeMatrix();
}

void XMeshNode::Rotate(unsigned frame, const XMatrix& axes, const XVertex& angles, bool withChildren,
                       XTransformTarget target)
{
    XMatrix rotation;
    rotation.SetRotation(angles.x, angles.y, angles.z);
    if (target == XTT_NODE)
    {
        XMatrix parent, parentInverse;
        GetParentMatrix(0, parent);
        parentInverse = Inverted(parent);
        m_Matrix = m_Matrix * (parent * Inverted(axes) * rotation * axes * parentInverse);
        if (!withChildren)
            for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
                m_Children.GetData()[i]->Rotate(frame, axes, -angles, true, XTT_NODE);
    }
    else if (target == XTT_MESH)
    {
        XMatrix world;
        GetMatrix(0, world);
        world.m[3][0] = world.m[3][1] = world.m[3][2] = 0.0f;
        m_MeshRotation = m_MeshRotation * (world * rotation * Inverted(world));
    }
    InvalidateNodeMatrix();
}

void XMeshNode::Scale(unsigned frame, const XMatrix& axes, const XVertex& factors, bool withChildren,
                      XTransformTarget target)
{
    if (target == XTT_NODE)
    {
        XMatrix parent, scale;
        GetParentMatrix(0, parent);
        scale.SetScale(factors.x, factors.y, factors.z);
        m_Matrix = (parent * Inverted(axes) * scale * axes * Inverted(parent)) * m_Matrix;
        if (!withChildren)
        {
            XVertex back(1.0f / factors.x, 1.0f / factors.y, 1.0f / factors.z);
            for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
                m_Children.GetData()[i]->Scale(frame, axes, back, true, XTT_NODE);
        }
    }
    else if (target == XTT_MESH)
    {
        m_MeshScale.x *= factors.x;
        m_MeshScale.y *= factors.y;
        m_MeshScale.z *= factors.z;
    }
    InvalidateNodeMatrix();
}

// ---- mesh object -------------------------------------------------------------------------------

XBaseMesh* XMeshNode::GetMesh() const
{
    return m_Mesh.Get();
}

void XMeshNode::SetMesh(XBaseMesh* mesh)
{
    XBaseMesh* old = m_Mesh.Get();
    if (mesh == old)
        return;
    m_Mesh.SetTarget(nullptr);
    if (old)
        old->Release();
    m_Mesh.SetTarget(mesh);
    if (mesh)
        mesh->AddRef();
}

bool XMeshNode::IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                             unsigned flags)
{
    XBaseMesh* mesh = GetMesh();
    return mesh && mesh->IntersectRay(frame, viewport, this, point, distance, flags);
}

bool XMeshNode::HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned flags)
{
    XBaseMesh* mesh = GetMesh();
    return mesh && mesh->HitTest(frame, viewport, this, point, flags);
}

void XMeshNode::Render(unsigned frame, XViewport* viewport, unsigned flags)
{
    XBaseMesh* mesh = GetMesh();
    if (mesh && mesh->Renderable())
        mesh->Render(frame, viewport, this, flags);
}

XBoundingBox XMeshNode::GetMeshBoundingBox(unsigned frame)
{
    if (XBaseMesh* mesh = GetMesh())
        return mesh->GetBoundingBox(frame);
    return XBoundingBox(-0.001f, -0.001f, -0.001f, 0.001f, 0.001f, 0.001f);
}

// ---- mouse creation ----------------------------------------------------------------------------

bool XMeshNode::AllowMouseCreate()
{
    return true;
}

void XMeshNode::MouseCreateStart()
{
    g_placed = false;
    if (XBaseMesh* mesh = GetMesh())
        mesh->MouseCreateStart();
}

bool XMeshNode::MouseCreateProc(XViewport* viewport, XMouseEvent event, const XPoint& point,
                                XShiftState shift)
{
    if (!g_placed)
    {
        if (event == XME_MOVE && viewport)
        {
            // Follow the cursor on the construction plane until the first press.
            SetMatrix(viewport->GetGridMatrix());
            SetPosition(viewport->ScreenToPlane(0, point, viewport->GetPlaneAxis()));
            return false;
        }
        if (event != XME_LEFT_DOWN)
            return false;
        g_placed = true;
    }
    XBaseMesh* mesh = GetMesh();
    if (mesh && mesh->AllowMouseCreate())
        return mesh->MouseCreateProc(viewport, this, event, point, shift);
    return true;
}

void XMeshNode::MouseCreateFinish()
{
    if (XBaseMesh* mesh = GetMesh())
        mesh->MouseCreateFinish();
}

// ---- flags -------------------------------------------------------------------------------------

void XMeshNode::Assign(const XMeshNode* other)
{
    if (!other || other == this)
        return;
    SetMesh(other->GetMesh());
    SetParent(other->GetParent());
    m_Color = other->m_Color;
    m_Material = other->m_Material;
    m_MeshPosition = other->m_MeshPosition;
    m_MeshRotation = other->m_MeshRotation;
    m_MeshScale = other->m_MeshScale;
    m_Matrix = other->m_Matrix;
    // The caches are recomputed rather than copied: other's may hold its own animation, and
    // this node's children derived theirs from the old matrix.
    InvalidateNodeMatrix();
    SetVisible(other->m_Visible);
    SetSelectable(other->m_Selectable);
}

void XMeshNode::SetVisible(bool visible)
{
    if (visible == m_Visible)
        return;
    m_Visible = visible;
    if (!visible)
        SetSelected(false);
}

void XMeshNode::SetVisible(bool visible, bool recursive)
{
    SetVisible(visible);
    if (recursive)
        for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
            m_Children.GetData()[i]->SetVisible(visible, true);
}

void XMeshNode::SetSelectable(bool selectable)
{
    if (selectable == m_Selectable)
        return;
    m_Selectable = selectable;
    if (!selectable)
        SetSelected(false);
}

void XMeshNode::SetSelected(bool selected)
{
    if (selected == m_Selected || !GetScene())
        return;
    XSceneLink::Get()->SelectNode(GetScene(), this, selected);
}

// ---- XMeshTree ---------------------------------------------------------------------------------

XMeshTree::XMeshTree()
{
    SetName(MakeName());
}

uint32_t XMeshTree::GetClassId() const
{
    return ClassId::MeshTree;
}

XString XMeshTree::GetClassNameW() const
{
    return u"XMeshTree";
}

void XMeshTree::Save(XScene* scene, XWriter& writer)
{
    writer.BeginChunk(ClassId::MeshTree);
    SaveNode(scene, writer, this);
    writer.EndChunk();
}

void XMeshTree::SaveNode(XScene* scene, XWriter& writer, XMeshNode* node)
{
    if (!node)
        return;
    for (uint32_t i = 0; i < node->GetChildCount(); ++i)
    {
        XMeshNode* child = node->GetChild(i);
        writer.BeginChunk(NodeChunk);
        writer.Write(&child->GetGuid(), sizeof(XGuid));
        SaveNode(scene, writer, child);
        writer.EndChunk();
    }
}

void XMeshTree::Load(XScene* scene, XReader& reader)
{
    if (reader.GetChunkId() != ClassId::MeshTree)
        return;
    LoadNode(scene, reader, this);
}

void XMeshTree::LoadNode(XScene* scene, XReader& reader, XMeshNode* parent)
{
    LoadLevel(scene, reader, parent, 0);
}

void XMeshTree::LoadLevel(XScene* scene, XReader& reader, XMeshNode* parent, unsigned depth)
{
    XSceneLink* link = XSceneLink::Get();
    while (reader.NextChunk())
    {
        XMeshNode* node = nullptr;
        uint32_t id = reader.GetChunkId();
        if (parent && depth < MaxLoadDepth)
        {
            if (id == NodeChunk && reader.GetBytesLeft() >= sizeof(XGuid))
            {
                XGuid guid;
                reader.Read(&guid, sizeof guid);
                node = dynamic_cast<XMeshNode*>(link->FindObject(scene, guid));
            }
            else if (id == NodeNameChunk)
            {
                XString name;
                reader.ReadString(name, kMaxReadName);
                node = dynamic_cast<XMeshNode*>(link->FindObject(scene, name));
            }
        }
        if (node)
        {
            // AddChild refuses links that would close a cycle; the refused node's nested chunks
            // are skipped with it.
            parent->AddChild(node);
            if (node->GetParent() == parent)
                LoadLevel(scene, reader, node, depth + 1);
        }
        reader.EndChunk();
    }
}

void XMeshTree::EnumNodes(XPtrArray<XMeshNode, 4>& out)
{
    out.Clear();
    EnumDescendants(out);
}

void XMeshTree::EnumSelNodes(XPtrArray<XMeshNode, 4>& out)
{
    XPtrArray<XMeshNode, 4> all;
    EnumDescendants(all);
    out.Clear();
    for (uint32_t i = 0; i < all.GetCount(); ++i)
        if (all.GetData()[i]->IsSelected())
            out.Add(all.GetData()[i]);
}

// ---- descriptor --------------------------------------------------------------------------------

XBaseObject* XMeshNodeDesc::Create() const
{
    return new XMeshNode;
}

XString XMeshNodeDesc::GetClassNameW() const
{
    return u"XMeshNode";
}

uint32_t XMeshNodeDesc::GetCategory() const
{
    return XCAT_NODE;
}
