#include "Engine/Scene/XNodeGroup.h"

#include "Engine/Scene/XClassIds.h"

#include <cfloat>

XNodeGroupDesc NodeGroupDesc;

namespace
{
// v transformed as a direction: without the translation row.
XVertex Direction(const XMatrix& m, const XVertex& v)
{
    return XVertex(v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
                   v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
                   v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]);
}
} // namespace

XNodeGroup::XNodeGroup()
{
    SetName(MakeName());
}

XNodeGroup::~XNodeGroup()
{
    try
    {
        XPtrArray<XMeshNode, 4> children = m_Children;
        for (uint32_t i = 0; i < children.GetCount(); ++i)
        {
            XMeshNode* child = children.GetData()[i];
            // An earlier member's destruction may have changed the list: only members still here.
            if (m_Children.IndexOf(child) >= 0 && child->m_Groupped)
                child->Destroy();
        }
    }
    catch (...)
    {
    }
}

uint32_t XNodeGroup::GetClassId() const
{
    return ClassId::NodeGroup;
}

XString XNodeGroup::GetClassNameW() const
{
    return u"XNodeGroup";
}

void XNodeGroup::RemoveChild(XMeshNode* child)
{
    if (child && child->m_Parent == this && child->m_Groupped)
        RemoveNode(child);
    XMeshNode::RemoveChild(child);
}

bool XNodeGroup::IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                              unsigned flags)
{
    bool hit = false;
    for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
    {
        XMeshNode* child = m_Children.GetData()[i];
        float member;
        if (child->m_Groupped && child->IntersectRay(frame, viewport, point, member, flags) &&
            (!hit || member < distance))
        {
            distance = member;
            hit = true;
        }
    }
    return hit;
}

bool XNodeGroup::HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned flags)
{
    for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
    {
        XMeshNode* child = m_Children.GetData()[i];
        if (child->m_Groupped && child->HitTest(frame, viewport, point, flags))
            return true;
    }
    return false;
}

XBoundingBox XNodeGroup::GetMeshBoundingBox(unsigned frame)
{
    XBoundingBox box(FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX);
    XMatrix groupInverse;
    GetMatrixInverse(frame, groupInverse);
    for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
    {
        XMeshNode* child = m_Children.GetData()[i];
        if (!child->m_Groupped)
            continue;
        XVertex corners[8];
        child->GetMeshBoundingBox(frame).GetCorners(corners);
        XMatrix toGroup;
        child->GetMeshMatrix(frame, toGroup);
        toGroup *= groupInverse;
        toGroup.ApplyTo(corners, 8);
        for (const XVertex& c : corners)
        {
            box.min = XVertex(MinFloat(box.min.x, c.x), MinFloat(box.min.y, c.y), MinFloat(box.min.z, c.z));
            box.max = XVertex(MaxFloat(box.max.x, c.x), MaxFloat(box.max.y, c.y), MaxFloat(box.max.z, c.z));
        }
    }
    return box;
}

void XNodeGroup::Recenter()
{
    XVertex centre(0, 0, 0);
    unsigned members = 0;
    for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
    {
        XMeshNode* child = m_Children.GetData()[i];
        if (!child->m_Groupped)
            continue;
        centre += child->GetWorldPosition(0);
        ++members;
    }
    if (members > 0)
        centre /= static_cast<float>(members);
    // The shift is a world offset: expressed in the parent's axes for the group's own row and in
    // the group's axes for the children's rows, every child keeps its world placement also under a
    // rotated or scaled group.
    XMatrix parentInverse, groupInverse;
    GetParentMatrixInverse(0, parentInverse);
    GetMatrixInverse(0, groupInverse);
    const XVertex d = centre - GetWorldPosition(0);
    const XVertex up = Direction(parentInverse, d);
    const XVertex down = Direction(groupInverse, d);
    m_Matrix.m[3][0] += up.x;
    m_Matrix.m[3][1] += up.y;
    m_Matrix.m[3][2] += up.z;
    for (uint32_t i = 0; i < m_Children.GetCount(); ++i)
    {
        XMeshNode* child = m_Children.GetData()[i];
        child->m_Matrix.m[3][0] -= down.x;
        child->m_Matrix.m[3][1] -= down.y;
        child->m_Matrix.m[3][2] -= down.z;
        child->InvalidateNodeMatrix();
    }
    InvalidateNodeMatrix();
}

bool XNodeGroup::Accepts(XMeshNode* node) const
{
    return node && !node->m_Groupped && !node->IsAncestorOf(this);
}

void XNodeGroup::Join(XMeshNode* node)
{
    node->SetParent(this);
    if (node->m_Parent != this)
        return;
    node->m_Groupped = true;
    node->SetSelected(false);
}

void XNodeGroup::AddNode(XMeshNode* node)
{
    if (!Accepts(node))
        return;
    Join(node);
    Recenter();
}

void XNodeGroup::AddNodes(XPtrArray<XMeshNode, 4>& nodes)
{
    for (uint32_t i = 0; i < nodes.GetCount(); ++i)
        if (Accepts(nodes.GetData()[i]))
            Join(nodes.GetData()[i]);
    Recenter();
}

void XNodeGroup::RemoveNode(XMeshNode* node)
{
    if (!node || node->m_Parent != this || !node->m_Groupped)
        return;
    node->m_Groupped = false;
    Recenter();
}

void XNodeGroup::RemoveNodes(XPtrArray<XMeshNode, 4>& out)
{
    while (m_Children.GetCount() > 0)
    {
        XMeshNode* child = m_Children[0];
        if (child->m_Groupped)
        {
            out.Add(child);
            child->m_Groupped = false;
        }
        child->SetParent(m_Parent);
        if (m_Children.GetCount() > 0 && m_Children[0] == child)
            XMeshNode::RemoveChild(child); // a parent that refused it: the child becomes a root
        if (m_Children.GetCount() > 0 && m_Children[0] == child)
            break; // a child that cannot leave: stop rather than loop
    }
}

XBaseObject* XNodeGroupDesc::Create() const
{
    return new XNodeGroup;
}

XString XNodeGroupDesc::GetClassNameW() const
{
    return u"XNodeGroup";
}

uint32_t XNodeGroupDesc::GetCategory() const
{
    return XCAT_NODE;
}
