#include "Engine/Editors/XNodeCreator.h"

#include "Engine/Scene/XClassDesc.h"
#include "Engine/Scene/XSceneLink.h"

using StrUtils::XBaseString;

namespace
{
// Destroys an object made for a node that could not be completed.
void DestroyObject(XBaseObject* object)
{
    if (object)
        object->Destroy();
}
} // namespace

XNodeCreator::XNodeCreator(XScene* scene) : XBaseEditor(scene)
{
}

XNodeCreator::~XNodeCreator()
{
    DropPending();
}

void XNodeCreator::DropPending()
{
    XBaseMesh* mesh = m_Mesh.Get();
    m_Mesh.SetTarget(nullptr);
    DestroyObject(mesh);
    XMeshNode* node = m_Node.Get();
    m_Node.SetTarget(nullptr);
    DestroyObject(node);
}

bool XNodeCreator::Activate()
{
    XClassDesc* desc = XSceneLink::Get()->FindClass(GetScene(), m_NodeClassName);
    if (!desc || !(desc->GetCategory() & XCAT_NODE))
        return false;
    return PrepareNode();
}

bool XNodeCreator::Deactivate()
{
    DropPending();
    return true;
}

XBaseString<WCHAR> XNodeCreator::GetName()
{
    return u"XNodeCreator";
}

bool XNodeCreator::PrepareNode()
{
    if (XMeshNode* done = m_Node.Get())
        done->MouseCreateFinish();
    m_Node.SetTarget(nullptr);
    m_Mesh.SetTarget(nullptr);

    XSceneLink* link = XSceneLink::Get();
    XScene* scene = GetScene();
    XBaseObject* nodeObject = nullptr;
    XBaseObject* meshObject = nullptr;
    try
    {
        nodeObject = link->CreateObject(scene, m_NodeClassName);
        auto* node = dynamic_cast<XMeshNode*>(nodeObject);
        if (!node)
        {
            DestroyObject(nodeObject);
            return false;
        }
        node->SetScene(scene);
        XBaseMesh* mesh = nullptr;
        if (m_MeshClassName.Length() > 0)
        {
            meshObject = link->CreateObject(scene, m_MeshClassName);
            mesh = dynamic_cast<XBaseMesh*>(meshObject);
            if (!mesh)
            {
                DestroyObject(meshObject);
                DestroyObject(node);
                return false;
            }
            node->SetMesh(mesh);
            mesh->SetScene(scene);
        }
        m_Node.SetTarget(node);
        m_Mesh.SetTarget(mesh);
        node->MouseCreateStart();
        return true;
    }
    catch (...)
    {
        // An unknown mesh class: the node made for it goes too, and the editor refuses.
        m_Mesh.SetTarget(nullptr);
        m_Node.SetTarget(nullptr);
        DestroyObject(meshObject);
        DestroyObject(nodeObject);
        return false;
    }
}

void XNodeCreator::MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                              XShiftState shift)
{
    XMeshNode* node = m_Node.Get();
    if (!node)
        return;
    if (event == XME_RIGHT_DOWN)
    {
        XSceneLink::Get()->MouseCreateNodeFinish(GetScene());
        return;
    }
    if (node->MouseCreateProc(viewport, event, point, shift))
        PrepareNode();
}

bool XNodeCreator::TakesRightPress()
{
    return m_Node.Get() != nullptr;
}

void XNodeCreator::CopyToClipboard()
{
}

void XNodeCreator::CutToClipboard()
{
}

void XNodeCreator::PasteFromClipboard()
{
}

void XNodeCreator::Delete()
{
}

unsigned XNodeCreator::GetModeCount()
{
    return 1;
}

XBaseString<WCHAR> XNodeCreator::GetModeName(int)
{
    return u"Node";
}

int XNodeCreator::GetMode()
{
    return 0;
}

void XNodeCreator::SetMode(int)
{
}
