#include "Engine/Scene/XSceneLink.h"

#include "Engine/Scene/XMeshNode.h"

using StrUtils::XBaseString;

// The defaults; Get, Install and the object stores live with XBaseObject.

void XSceneLink::AttachObject(XScene* scene, XBaseObject* object)
{
    StoreScene(object, scene);
}

void XSceneLink::DetachObject(XScene*, XBaseObject* object)
{
    StoreScene(object, nullptr);
}

void XSceneLink::RenameObject(XScene*, XBaseObject* object, const XBaseString<WCHAR>&,
                              const XBaseString<WCHAR>& newName)
{
    StoreName(object, newName);
}

void XSceneLink::RenameObject(XScene*, XBaseObject* object, const XGuid&, const XGuid& newGuid)
{
    StoreGuid(object, newGuid);
}

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

unsigned XSceneLink::GetMaterialCount(XScene*)
{
    return 0;
}

XBaseMaterial* XSceneLink::GetMaterial(XScene*, uint32_t)
{
    return nullptr;
}

unsigned XSceneLink::GetFrame(XScene*)
{
    return 0;
}

XMatrix XSceneLink::GetMeshMatrix(XMeshNode* node, unsigned frame)
{
    XMatrix matrix(1.0f);
    if (node)
        node->GetMeshMatrix(frame, matrix);
    return matrix;
}

bool XSceneLink::IsTriMeshEditor(XBaseEditor*)
{
    return false;
}

XBaseEditor* XSceneLink::CreateTriMeshEditor(XScene*)
{
    return nullptr;
}

void XSceneLink::BindTriMeshEditor(XBaseEditor*, XTriMesh*, XMeshNode*)
{
}

bool XSceneLink::IsPointListEditor(XBaseEditor*)
{
    return false;
}

XBaseEditor* XSceneLink::CreatePointListEditor(XScene*)
{
    return nullptr;
}

void XSceneLink::BindPointListEditor(XBaseEditor*, XBaseMesh*, XMeshNode*)
{
}

bool XSceneLink::IsSkinEditor(XBaseEditor*)
{
    return false;
}

XBaseEditor* XSceneLink::CreateSkinEditor(XScene*)
{
    return nullptr;
}

void XSceneLink::BindSkinEditor(XBaseEditor*, XTriMesh*, XMeshNode*, XSkinModifier*)
{
}

XClassDesc* XSceneLink::FindClass(XScene*, const XBaseString<WCHAR>&)
{
    return nullptr;
}

XBaseObject* XSceneLink::CreateObject(XScene*, const XBaseString<WCHAR>&)
{
    return nullptr;
}

XMeshNode* XSceneLink::CreateNode(XScene*, XBaseMesh*)
{
    return nullptr;
}

void XSceneLink::MouseCreateNodeFinish(XScene*)
{
}

unsigned XSceneLink::GetNodeCount(XScene*)
{
    return 0;
}

XMeshNode* XSceneLink::GetNode(XScene*, unsigned)
{
    return nullptr;
}

unsigned XSceneLink::GetSelNodeCount(XScene*)
{
    return 0;
}

XMeshNode* XSceneLink::GetSelNode(XScene*, unsigned)
{
    return nullptr;
}

XMeshTree* XSceneLink::GetMeshTree(XScene*)
{
    return nullptr;
}

unsigned XSceneLink::FindTransformAxis(XScene*, XViewport*, const XPoint&, const XMatrix*)
{
    return 0;
}

unsigned XSceneLink::GetTransformAxis(XScene*)
{
    return 0;
}

void XSceneLink::SetTransformAxis(XScene*, unsigned)
{
}

unsigned XSceneLink::GetTransformType(XScene*)
{
    return 0;
}

void XSceneLink::CopySelNodesToClipboard(XScene*)
{
}

void XSceneLink::CutSelNodesToClipboard(XScene*)
{
}

void XSceneLink::PasteFromClipboard(XScene*)
{
}

void XSceneLink::StoreSelected(XMeshNode* node, bool selected)
{
    node->m_Selected = selected;
}
