#include "tests/support/RecordingEditor.h"

#include <cstdio>

namespace
{
std::string Line(const char* call, unsigned a)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s %u", call, a);
    return buffer;
}

std::string Line(const char* call, unsigned a, unsigned b)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s %u %u", call, a, b);
    return buffer;
}
} // namespace

RecordingEditor::RecordingEditor(XScene* scene, const char16_t* name)
    : XBaseEditor(scene), m_Name(name)
{
}

bool RecordingEditor::Activate()
{
    calls.push_back("Activate");
    return activateResult;
}

bool RecordingEditor::Deactivate()
{
    calls.push_back("Deactivate");
    return deactivateResult;
}

StrUtils::XBaseString<WCHAR> RecordingEditor::GetName()
{
    return m_Name.c_str();
}

void RecordingEditor::MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                                 XShiftState shift)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "MouseEvent %u %g %g %u", event, point.x, point.y,
                  static_cast<unsigned>(shift));
    calls.push_back(buffer);
    arguments.push_back(viewport);
}

void RecordingEditor::KeyDown(unsigned& key, Gx::Ui::GxShiftState shift)
{
    calls.push_back(Line("KeyDown", key, shift));
    if (replaceKey)
        key = keyReplacement;
}

void RecordingEditor::KeyPress(WCHAR& key)
{
    calls.push_back(Line("KeyPress", key));
    if (replaceKey)
        key = static_cast<WCHAR>(keyReplacement);
}

void RecordingEditor::KeyUp(unsigned& key, Gx::Ui::GxShiftState shift)
{
    calls.push_back(Line("KeyUp", key, shift));
    if (replaceKey)
        key = keyReplacement;
}

void RecordingEditor::RenderOverlay(unsigned frameNumber, XViewport* viewport, unsigned pass)
{
    calls.push_back(Line("RenderOverlay", frameNumber, pass));
    arguments.push_back(viewport);
}

void RecordingEditor::ObjectAttach(XBaseObject* object)
{
    calls.push_back("ObjectAttach");
    arguments.push_back(object);
}

void RecordingEditor::ObjectDetach(XBaseObject* object)
{
    calls.push_back("ObjectDetach");
    arguments.push_back(object);
}

void RecordingEditor::ObjectSelect(XBaseObject* object, bool selected)
{
    calls.push_back(Line("ObjectSelect", selected ? 1 : 0));
    arguments.push_back(object);
}

void RecordingEditor::SceneChange()
{
    calls.push_back("SceneChange");
}

void RecordingEditor::FrameChange(unsigned frameNumber)
{
    calls.push_back(Line("FrameChange", frameNumber));
}

void RecordingEditor::CopyToClipboard()
{
    calls.push_back("CopyToClipboard");
}

void RecordingEditor::CutToClipboard()
{
    calls.push_back("CutToClipboard");
}

void RecordingEditor::PasteFromClipboard()
{
    calls.push_back("PasteFromClipboard");
}

void RecordingEditor::Delete()
{
    calls.push_back("Delete");
}

unsigned RecordingEditor::GetSelectionCount()
{
    calls.push_back("GetSelectionCount");
    return selectionCount;
}

XVertex RecordingEditor::GetSelectionCenter()
{
    calls.push_back("GetSelectionCenter");
    return selectionCenter;
}

unsigned RecordingEditor::GetFrame()
{
    calls.push_back("GetFrame");
    return frame;
}

void RecordingEditor::SetFrame(unsigned frameNumber)
{
    calls.push_back(Line("SetFrame", frameNumber));
    frame = frameNumber;
}
