#include "Engine/Editors/XBaseEditor.h"

using StrUtils::XBaseString;

void XBaseEditor::KeyDown(unsigned&, Gx::Ui::GxShiftState)
{
}

void XBaseEditor::KeyPress(WCHAR&)
{
}

void XBaseEditor::KeyUp(unsigned&, Gx::Ui::GxShiftState)
{
}

bool XBaseEditor::CanUndo()
{
    return false;
}

void XBaseEditor::Undo()
{
}

XBaseString<WCHAR> XBaseEditor::GetUndoName()
{
    return {};
}

void XBaseEditor::RenderOverlay(unsigned, XViewport*, unsigned)
{
}

void XBaseEditor::ObjectAttach(XBaseObject*)
{
}

void XBaseEditor::ObjectDetach(XBaseObject*)
{
}

void XBaseEditor::ObjectSelect(XBaseObject*, bool)
{
}

void XBaseEditor::SceneChange()
{
}

void XBaseEditor::FrameChange(unsigned)
{
}

bool XBaseEditor::CanCopy()
{
    return false;
}

bool XBaseEditor::CanCut()
{
    return false;
}

bool XBaseEditor::CanPaste()
{
    return false;
}

bool XBaseEditor::CanDelete()
{
    return false;
}

void XBaseEditor::Clone()
{
}

bool XBaseEditor::CanClone()
{
    return false;
}

unsigned XBaseEditor::GetSelectionCount()
{
    return 0;
}

XVertex XBaseEditor::GetSelectionCenter()
{
    return XVertex(0, 0, 0);
}

unsigned XBaseEditor::GetModeCount()
{
    return 0;
}

XBaseString<WCHAR> XBaseEditor::GetModeName(int)
{
    return {};
}

int XBaseEditor::GetMode()
{
    return 0;
}

void XBaseEditor::SetMode(int)
{
}

unsigned XBaseEditor::GetFrame()
{
    return 0;
}

void XBaseEditor::SetFrame(unsigned)
{
}

unsigned XBaseEditor::GetAnimationLength()
{
    return 0;
}

void XBaseEditor::SetAnimationLength(unsigned)
{
}

TBaseEditorFrame* XBaseEditor::GetEditorFrame()
{
    return nullptr;
}

bool XBaseEditor::TakesRightPress()
{
    return false;
}
