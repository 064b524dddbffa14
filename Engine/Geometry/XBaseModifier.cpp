#include "Engine/Geometry/XBaseModifier.h"

XBaseModifier::~XBaseModifier()
{
    m_RefCount = -1;
    // Destructors never throw: a handler or a scene that fails must not end the program.
    try
    {
        NotifyDependents(XRM_DELETED, 0);
        SetScene(nullptr);
    }
    catch (...)
    {
    }
}

void XBaseModifier::AddRef()
{
    ++m_RefCount;
}

void XBaseModifier::Release()
{
    if (m_RefCount < 0)
        return;
    if (--m_RefCount == 0)
        Destroy();
}

void XBaseModifier::BeforeMeshRender(unsigned, XViewport*, XMeshNode*, XBaseMesh*, XMesh*, unsigned) {}

void XBaseModifier::AfterMeshRender(unsigned, XViewport*, XMeshNode*, XBaseMesh*, XMesh*, unsigned) {}

bool XBaseModifier::Editable()
{
    return false;
}

void XBaseModifier::Edit(XScene*, XMeshNode*, XBaseMesh*, XMesh*) {}

void XBaseModifier::Changed()
{
    NotifyDependents(XRM_MODIFIER_CHANGED, 0);
}
