// The view host: a form with a primary four-viewport view over the generated view scene, a row of
// buttons that choose the view's transform type (move, rotate, scale, edit; the chosen one stands
// down) and a popup menu on the view that chooses its layout. The view demo opens it, and the
// tests of real windows (the view's own and those of what draws into it: editors, the in-viewport
// UI, capture) drive it.
#pragma once

#include "Components/XVertex.h"
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Vcl/StdCtrls.h"
#include "tests/support/ViewScene.h"

#include <filesystem>
#include <vector>

class TBaseEditorFrame;
class XBaseEditor;
class XBaseObject;
class XMeshNode;
class XScene;
class XView;
class XViewport;

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
    // The host's scene: one box of 4 segments, the cylinder, the cone and what the editors work on
    // (the hill, the skinned arm, its bones and their animation), sized for the default cameras
    // (a box 2 units across).
    static ViewSceneOptions HostSceneOptions();
    // The view goes first: it takes the scene out of itself while both stand. Free reaches the
    // owned components before the destructor, so both paths end the view and scene here first.
    ~TViewHostForm() override;
    void BeforeDestruction() override;

    XView* View() const { return m_View; }
    XScene* Scene() const { return m_Scene; }
    TPopupMenu* LayoutMenu() const { return m_Menu; }
    // The buttons of transform types 0-3: one group, whose button of the view's type is down. They
    // follow the type when a button is clicked and after every mouse or key input the form
    // handles (a right press in a viewport switches the view to edit).
    TSpeedButton* TransformButton(int type) const { return m_Buttons[type & 3]; }
    // The group indexes of the transform buttons and of the editor's mode buttons: they stand side
    // by side on the form, and each group keeps its own button down.
    static constexpr int TransformGroup = 2;
    static constexpr int ModeGroup = 1;

    // Width of the editor panel column beside the view: a panel taller than the column keeps its
    // designed width beside its scroll bar.
    static constexpr int PanelWidth = 253;
    // Puts the current editor's panel beside the view (the form grows by PanelWidth) and its modes
    // as buttons after the transform buttons, both following the scene's editor changes: the
    // panel going away hears DeactivateFrame before it hides, the new one ActivateFrame after it
    // shows. Keys typed in the view then reach the host: Ctrl+Z undo, Delete, Ctrl+C / Ctrl+X /
    // Ctrl+V the editor's clipboard, Ctrl+D clone, Enter the one selected node's mesh editor, A its
    // animation editor, M the editor of its mesh object's first editable modifier (a skin's),
    // Escape back to the previous editor. The scene gets a selection handler
    // that does nothing, so that editors hear selection changes.
    void ShowEditorPanels();
    // Loads the scene file into the host's scene (errors are shown as the scene shows them).
    void LoadScene(const std::filesystem::path& file);
    // The panel showing (null before ShowEditorPanels or for an editor without one).
    TBaseEditorFrame* EditorPanel() const { return m_Frame; }
    // The column the panels stand in.
    TPanel* PanelColumn() const { return m_Column; }
    // The current editor's mode buttons, in mode order; the current mode's is down.
    const std::vector<TSpeedButton*>& ModeButtons() const { return m_ModeButtons; }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void WndProc(TMessage& Message) override;

private:
    void TransformClick(TObject* Sender);
    void ShowTransformType();
    void LayoutClick(TObject* Sender);
    void ModeClick(TObject* Sender);
    void EditorChange(TObject* Sender, XBaseEditor* Editor);
    void ObjectSelect(TObject* Sender, XBaseObject* Object, bool Select);
    void ViewKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    void EditModifier(XMeshNode* node);
    void ShowEditor(XBaseEditor* editor);
    void MakeModeButtons(XBaseEditor* editor);
    XMeshNode* OneSelectedNode() const;
    void HookScene();
    void FreeViewAndScene();

    TPanel* m_Column = nullptr;
    TBaseEditorFrame* m_Frame = nullptr;
    std::vector<TSpeedButton*> m_ModeButtons;

    XView* m_View = nullptr;
    XScene* m_Scene = nullptr;
    TPopupMenu* m_Menu = nullptr;
    TSpeedButton* m_Buttons[4] = {};
};

// The menu's captions: "Layout 0" .. "Layout 10" and "Layout 11" (2 x 2), in that order.
UnicodeString ViewLayoutCaption(int layout);

// Where the viewport's picture (its client rectangle, inside its frame) starts in the form's
// client area.
TPoint PictureOrigin(TForm* form, XViewport* viewport);
// Where a world point shows in the form's client area, through the viewport's own matrices.
XPoint FormPointOf(TForm* form, XViewport* viewport, const XVertex& world);
