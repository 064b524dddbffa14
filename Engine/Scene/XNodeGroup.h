// A node without a mesh object whose grouped children (members) act as one object: members cannot
// be selected on their own, a pick on any member picks the group, the group's box encloses them,
// and moving the group moves them. Membership is the child's Groupped flag; a group may also have
// ordinary children. Saved and loaded as a plain node.
#pragma once

#include "Engine/Scene/XMeshNode.h"

class XNodeGroup : public XMeshNode
{
public:
    XNodeGroup();
    // Destroys the members; ordinary children go to the group's parent.
    ~XNodeGroup() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // A leaving member stops being one first.
    void RemoveChild(XMeshNode* child) override;
    // The nearest hit among the members, so that the group competes where it is drawn in front;
    // HitTest stops at the first member hit. Ordinary children are not asked.
    bool IntersectRay(unsigned frame, XViewport* viewport, const XPoint& point, float& distance,
                      unsigned flags) override;
    bool HitTest(unsigned frame, XViewport* viewport, const XPoint& point, unsigned flags) override;
    // The members' boxes in the group's own space; without members min is +3.4028235e38 and max
    // -3.4028235e38 on every axis.
    XBoundingBox GetMeshBoundingBox(unsigned frame) override;

    // Moves the group's origin to the mean world position of its members (the origin without
    // members); every child's translation is shifted back, so children keep their world placement.
    virtual void Recenter();
    // Nothing for null, a member, this group or one of its ancestors. Otherwise the node becomes a
    // child (world placement kept) and a member, is deselected, and the group recentres.
    virtual void AddNode(XMeshNode* node);
    // Only a member of this group: it becomes an ordinary child; the group recentres.
    virtual void RemoveNode(XMeshNode* node);
    // AddNode for each node, with one Recenter at the end.
    virtual void AddNodes(XPtrArray<XMeshNode, 4>& nodes);
    // Empties the group: every child moves to the group's parent (world placement kept); the
    // members are appended to out in child order and stop being members.
    virtual void RemoveNodes(XPtrArray<XMeshNode, 4>& out);

private:
    bool Accepts(XMeshNode* node) const;
    void Join(XMeshNode* node);
};

class XNodeGroupDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XNodeGroupDesc NodeGroupDesc;
