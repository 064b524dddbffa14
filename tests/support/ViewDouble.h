// A view for tests of scenes: records the calls a scene makes on it and writes a small state
// chunk of its own into scene files.
#pragma once

#include "Engine/Views/XView.h"

#include <string>
#include <vector>

class ViewDouble : public XView
{
public:
    // A real view base (the Direct3D object is there) without a window or a device.
    ViewDouble() : XView(nullptr) {}
    int AddScene(XScene* scene) override;
    int DeleteScene(XScene* scene) override;
    void ResetViewports() override;
    XViewport* GetActiveViewport() override { return activeViewport; }
    // The test's device when it set one, else the view's own.
    IDirect3DDevice9* GetDevice() override { return device ? device : XView::GetDevice(); }
    // One chunk 0x00770001 holding the u32 `state`.
    void Save(XScene* scene, XWriter& writer) override;
    // Records "Load <chunk id>" and reads `state` back from chunk 0x00770001.
    void Load(XScene* scene, XReader& reader) override;

protected:
    // The window without the view's own arrangement: its viewports, splitters and containers stay
    // hidden, so that they neither cover nor paint over the viewports a test places itself.
    void CreateWnd() override;

public:
    std::vector<std::string> calls;
    std::vector<XScene*> scenes;
    IDirect3DDevice9* device = nullptr;
    XViewport* activeViewport = nullptr;
    uint32_t state = 0;
};

class TForm;
class XViewport;

// A view double filling the form's client area, made 220 x 180, with one front viewport placed
// at (10, 10), 200 x 160, inside it: its picture is the 196 x 156 within its 2-pixel border.
struct FramedViewport
{
    ViewDouble* view;
    XViewport* viewport;
};
FramedViewport AddFramedViewport(TForm& form);
