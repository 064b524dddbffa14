// An editor for tests of the scene's editor switching and forwarding: it records every call as a
// line of text ("Activate", "KeyDown 65 8", "RenderOverlay 0 1") and answers with settable
// results.
#pragma once

#include "Engine/Editors/XBaseEditor.h"

#include <string>
#include <vector>

class RecordingEditor : public XBaseEditor
{
public:
    RecordingEditor(XScene* scene, const char16_t* name);

    bool Activate() override;
    bool Deactivate() override;
    StrUtils::XBaseString<WCHAR> GetName() override;
    void MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                    XShiftState shift) override;
    void KeyDown(unsigned& key, Gx::Ui::GxShiftState shift) override;
    void KeyPress(WCHAR& key) override;
    void KeyUp(unsigned& key, Gx::Ui::GxShiftState shift) override;
    void RenderOverlay(unsigned frame, XViewport* viewport, unsigned pass) override;
    void ObjectAttach(XBaseObject* object) override;
    void ObjectDetach(XBaseObject* object) override;
    void ObjectSelect(XBaseObject* object, bool selected) override;
    void SceneChange() override;
    void FrameChange(unsigned frame) override;
    void CopyToClipboard() override;
    void CutToClipboard() override;
    void PasteFromClipboard() override;
    void Delete() override;
    unsigned GetSelectionCount() override;
    XVertex GetSelectionCenter() override;
    unsigned GetFrame() override;
    void SetFrame(unsigned frame) override;

    // Every call in order.
    std::vector<std::string> calls;
    // The calls' objects and viewports, in order, for the calls that take one.
    std::vector<const void*> arguments;

    bool activateResult = true;
    bool deactivateResult = true;
    // Set on each key call: the key the editor hands back.
    unsigned keyReplacement = 0;
    bool replaceKey = false;
    unsigned selectionCount = 0;
    XVertex selectionCenter{0, 0, 0};
    unsigned frame = 0;

private:
    std::u16string m_Name;
};
