#include "Engine/Geometry/XTriMeshEditorLink.h"

namespace
{
class NoEditorLink final : public XTriMeshEditorLink
{
public:
    bool IsTriMeshEditor(XBaseEditor*) override { return false; }
    XBaseEditor* CreateTriMeshEditor(XScene*) override { return nullptr; }
    void BindTriMeshEditor(XBaseEditor*, XTriMesh*, XMeshNode*) override {}
};

NoEditorLink g_noEditorLink;
XTriMeshEditorLink* g_link = &g_noEditorLink;
} // namespace

XTriMeshEditorLink* XTriMeshEditorLink::Get()
{
    return g_link;
}

XTriMeshEditorLink* XTriMeshEditorLink::Install(XTriMeshEditorLink* link)
{
    XTriMeshEditorLink* previous = g_link;
    g_link = link ? link : &g_noEditorLink;
    return previous;
}
