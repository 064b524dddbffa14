// The view host: a form with a primary four-viewport view over the generated view scene, a row of
// buttons that choose the view's transform type (move, rotate, scale, edit) and a popup menu on
// the view that chooses its layout. The view demo opens it, and the tests of real windows (the
// view's own and those of what draws into it: editors, the in-viewport UI, capture) drive it.
#pragma once

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Vcl/StdCtrls.h"
#include "tests/support/ViewScene.h"

#include <filesystem>

class XScene;
class XView;

class TViewHostForm : public TForm
{
public:
    // Height of the button row under the view.
    static constexpr int ButtonRow = 32;

    // The view (viewWidth x viewHeight, 2 x 2, captions on) fills the form above the buttons and
    // shows a new scene built by BuildViewScene, whose texture goes into `folder`. The render
    // timer is left off: the owner starts it (SetTimerEnabled) or draws with RenderScene.
    TViewHostForm(TComponent* AOwner, const std::filesystem::path& folder,
                  const ViewSceneOptions& scene = HostSceneOptions(), int viewWidth = 800, int viewHeight = 600);
    // The host's scene: one box of 4 segments, the cylinder and the cone, sized for the default
    // cameras (a box 2 units across).
    static ViewSceneOptions HostSceneOptions();
    // The view goes first: it takes the scene out of itself while both stand. Free reaches the
    // owned components before the destructor, so both paths end the view and scene here first.
    ~TViewHostForm() override;
    void BeforeDestruction() override;

    XView* View() const { return m_View; }
    XScene* Scene() const { return m_Scene; }
    TPopupMenu* LayoutMenu() const { return m_Menu; }
    // The buttons of transform types 0-3.
    TButton* TransformButton(int type) const { return m_Buttons[type & 3]; }

private:
    void TransformClick(TObject* Sender);
    void LayoutClick(TObject* Sender);
    void FreeViewAndScene();

    XView* m_View = nullptr;
    XScene* m_Scene = nullptr;
    TPopupMenu* m_Menu = nullptr;
    TButton* m_Buttons[4] = {};
};

// The menu's captions: "Layout 0" .. "Layout 10" and "Layout 11" (2 x 2), in that order.
UnicodeString ViewLayoutCaption(int layout);
