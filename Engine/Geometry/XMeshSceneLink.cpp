#include "Engine/Geometry/XMeshSceneLink.h"

namespace
{
class NoSceneLink final : public XMeshSceneLink
{
public:
    XBaseObject* FindObject(XScene*, const XGuid&) override { return nullptr; }
    XBaseEditor* FindEditor(XScene*, const XString&) override { return nullptr; }
    void AddEditor(XScene*, XBaseEditor*) override {}
    void PushEditor(XScene*, XBaseEditor*) override {}
    bool IsTriMeshEditor(XBaseEditor*) override { return false; }
    XBaseEditor* CreateTriMeshEditor(XScene*) override { return nullptr; }
    void BindTriMeshEditor(XBaseEditor*, XTriMesh*, XMeshNode*) override {}
    XMatrix GetMeshMatrix(XMeshNode*, unsigned) override { return XMatrix(1.0f); }
};

NoSceneLink g_noSceneLink;
XMeshSceneLink* g_link = &g_noSceneLink;
} // namespace

unsigned XMeshSceneLink::GetMaterialCount(XScene*)
{
    return 0;
}

XBaseMaterial* XMeshSceneLink::GetMaterial(XScene*, unsigned)
{
    return nullptr;
}

unsigned XMeshSceneLink::GetFrame(XScene*)
{
    return 0;
}

XMeshSceneLink* XMeshSceneLink::Get()
{
    return g_link;
}

XMeshSceneLink* XMeshSceneLink::Install(XMeshSceneLink* link)
{
    XMeshSceneLink* previous = g_link;
    g_link = link ? link : &g_noSceneLink;
    return previous;
}
