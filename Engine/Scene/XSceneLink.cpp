#include "Engine/Scene/XSceneLink.h"

#include "Engine/Scene/XMeshNode.h"

using StrUtils::XBaseString;

// The node-side operations; Get, Install and the object stores live with XBaseObject.

void XSceneLink::SelectNode(XScene*, XMeshNode* node, bool select)
{
    if (node)
        StoreSelected(node, select && node->CanSelect());
}

XBaseObject* XSceneLink::FindObject(XScene*, const XGuid&)
{
    return nullptr;
}

XBaseObject* XSceneLink::FindObject(XScene*, const XBaseString<WCHAR>&)
{
    return nullptr;
}

XBaseEditor* XSceneLink::FindEditor(XScene*, const XBaseString<WCHAR>&)
{
    return nullptr;
}

void XSceneLink::AddEditor(XScene*, XBaseEditor*)
{
}

void XSceneLink::PushEditor(XScene*, XBaseEditor*)
{
}

XBaseEditor* XSceneLink::CreateAnimationEditor(XScene*)
{
    return nullptr;
}

void XSceneLink::StoreSelected(XMeshNode* node, bool selected)
{
    node->m_Selected = selected;
}
