#include "Engine/Editors/XSkinEditor.h"

#include "Engine/Editors/TSkinEditorFrame.h"

using StrUtils::XBaseString;

XSkinEditor::XSkinEditor(XScene* scene) : XTriMeshEditor(scene)
{
}

XSkinEditor::~XSkinEditor()
{
    // The panel goes while the modifier it reads is still watched.
    delete m_Frame;
    m_Frame = nullptr;
}

bool XSkinEditor::Activate()
{
    return true;
}

bool XSkinEditor::Deactivate()
{
    return true;
}

XBaseString<WCHAR> XSkinEditor::GetName()
{
    return u"XSkinEditor";
}

void XSkinEditor::RenderOverlay(unsigned, XViewport*, unsigned)
{
}

void XSkinEditor::ObjectSelect(XBaseObject*, bool)
{
}

unsigned XSkinEditor::GetModeCount()
{
    return 1;
}

XBaseString<WCHAR> XSkinEditor::GetModeName(int)
{
    return u"Weighting";
}

int XSkinEditor::GetMode()
{
    return 0;
}

void XSkinEditor::SetMode(int)
{
}

TBaseEditorFrame* XSkinEditor::GetEditorFrame()
{
    if (!m_Frame)
        m_Frame = new TSkinEditorFrame(nullptr, GetScene(), this);
    return m_Frame;
}
