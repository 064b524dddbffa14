// The four-viewport view that shows scenes, as the scene reaches it. A scene is shown in at most
// one view (XScene::SetView); the view keeps a list of its scenes and watches each for its
// destruction.
#pragma once

#include "Engine/Views/XBaseView.h"

class XScene;
class XViewport;
class XReader;
class XWriter;

class XView : public XBaseView
{
public:
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
};

// Chunk of the scene file that holds the view state, written only by a scene shown in a view.
constexpr unsigned XVIEW_STATE_CHUNK = 0x4E43535D;
