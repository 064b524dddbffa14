// The four-viewport view that shows scenes, as the scene and its viewports reach it. A scene is
// shown in at most one view (XScene::SetView); the view keeps a list of its scenes and watches
// each for its destruction. The viewports read the view's scene, device, frame and caption
// options, active viewport and transform type.
#pragma once

#include "Engine/Views/XBaseView.h"

#include <cstdint>

class XScene;
class XViewport;
class XReader;
class XWriter;

// A view's transform type: 0 move, 1 rotate, 2 scale, 3 edit.
using XTransformType = uint32_t;

class XView : public XBaseView
{
public:
    explicit XView(TComponent* owner) : XBaseView(owner) {}

    // Appends the scene unless listed (then its index) and asks for its free notification.
    virtual int AddScene(XScene* scene) = 0;
    // Removes the scene (clearing the current scene when it is that one) and drops the free
    // notification; its former index, or -1 when it was not listed.
    virtual int DeleteScene(XScene* scene) = 0;
    // Gives the four viewports their default cameras again (the scene is being cleared).
    virtual void ResetViewports() = 0;
    // The viewport that last received a mouse press; null when none has.
    virtual XViewport* GetActiveViewport() = 0;

    // The view's own chunk inside the scene file's view-state chunk.
    virtual void Save(XScene* scene, XWriter& writer) = 0;
    // Called with the reader standing in each child chunk of the view-state chunk.
    virtual void Load(XScene* scene, XReader& reader) = 0;

    // The scene the viewports draw; null when none is current.
    virtual XScene* GetScene() { return m_Scene; }

    // The viewports' frames: width in pixels and the colours of inactive and active ones.
    int GetViewportBorderWidth() const { return m_ViewportBorderWidth; }
    void SetViewportBorderWidth(int width) { m_ViewportBorderWidth = width < 0 ? 0 : width; }
    TColor GetViewportBorderColor() const { return m_ViewportBorderColor; }
    void SetViewportBorderColor(TColor color) { m_ViewportBorderColor = color; }
    TColor GetActiveViewportBorderColor() const { return m_ActiveViewportBorderColor; }
    void SetActiveViewportBorderColor(TColor color) { m_ActiveViewportBorderColor = color; }

    XTransformType GetTransformType() const { return m_TransformType; }
    void SetTransformType(XTransformType type) { m_TransformType = type; }

    // Whether the viewports draw their captions, and in which colour (a GDI colour 0x00BBGGRR).
    bool ShowViewportCaption = false;
    TColor ViewportCaptionColor = static_cast<TColor>(0x00FFFF);

protected:
    XScene* m_Scene = nullptr;
    int m_ViewportBorderWidth = 2;
    TColor m_ViewportBorderColor = static_cast<TColor>(0x808080);
    TColor m_ActiveViewportBorderColor = static_cast<TColor>(0x0000FF);
    XTransformType m_TransformType = 3;
};

// Chunk of the scene file that holds the view state, written only by a scene shown in a view.
constexpr unsigned XVIEW_STATE_CHUNK = 0x4E43535D;
