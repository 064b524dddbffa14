#include "tests/support/ViewHost.h"

#include "Engine/Editors/TBaseEditorFrame.h"
#include "Engine/Editors/XBaseEditor.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Objects/XEngineClasses.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Engine/Views/XViewport.h"

#include <string>

namespace
{
const WCHAR* const kTransformCaptions[4] = {u"Move", u"Rotate", u"Scale", u"Edit"};
} // namespace

UnicodeString ViewLayoutCaption(int layout)
{
    std::string digits = std::to_string(layout);
    return UnicodeString(u"Layout " + std::u16string(digits.begin(), digits.end()));
}

ViewSceneOptions TViewHostForm::HostSceneOptions()
{
    ViewSceneOptions options;
    options.size = 2.0f;
    options.editables = true;
    return options;
}

TViewHostForm::TViewHostForm(TComponent* AOwner, const std::filesystem::path& folder, const ViewSceneOptions& scene,
                             int viewWidth, int viewHeight)
    : TForm(AOwner)
{
    SetCaption(u"View host");
    SetClientWidth(viewWidth);
    SetClientHeight(viewHeight + ButtonRow);

    m_View = new XView(this);
    m_View->SetParent(this);
    m_View->SetBounds(0, 0, viewWidth, viewHeight);
    m_View->SetAnchors(TAnchors{akLeft, akTop, akRight, akBottom});
    m_View->ShowViewportCaption = true;

    for (int i = 0; i < 4; ++i)
    {
        auto* button = new TSpeedButton(this);
        button->SetParent(this);
        button->SetBounds(4 + i * 84, viewHeight + 4, 80, 24);
        button->SetAnchors(TAnchors{akLeft, akBottom});
        button->SetCaption(kTransformCaptions[i]);
        button->SetGroupIndex(TransformGroup);
        button->Tag = i;
        button->OnClick = MakeClosure(this, &TViewHostForm::TransformClick);
        m_Buttons[i] = button;
    }

    m_Menu = new TPopupMenu(this);
    for (int layout = 0; layout <= 11; ++layout)
    {
        auto* item = new TMenuItem(m_Menu);
        item->SetCaption(ViewLayoutCaption(layout));
        item->Tag = layout;
        item->OnClick = MakeClosure(this, &TViewHostForm::LayoutClick);
        m_Menu->Items()->Add(item);
    }
    m_View->SetPopupMenu(m_Menu);

    m_Scene = new XScene(nullptr);
    AddEngineClasses(m_Scene);
    BuildViewScene(*m_Scene, folder, scene);
    m_View->SetPrimary(true);
    m_View->SetScene(m_Scene);
    ShowTransformType();
    // The keys are the view's from the start; the buttons never take them.
    SetActiveControl(m_View);
}

TViewHostForm::~TViewHostForm()
{
    FreeViewAndScene();
}

void TViewHostForm::BeforeDestruction()
{
    FreeViewAndScene();
    TForm::BeforeDestruction();
}

void TViewHostForm::FreeViewAndScene()
{
    if (m_Scene)
    {
        // The scene's editors take their panels with them; nothing is shown or told meanwhile.
        m_Scene->OnEditorChange = nullptr;
        m_Scene->OnObjectSelect = nullptr;
    }
    for (TSpeedButton* button : m_ModeButtons)
        delete button;
    m_ModeButtons.clear();
    delete m_View;
    m_View = nullptr;
    delete m_Scene;
    m_Scene = nullptr;
}

void TViewHostForm::TransformClick(TObject* Sender)
{
    m_View->SetTransformType(static_cast<XTransformType>(static_cast<TComponent*>(Sender)->Tag));
    ShowTransformType();
}

void TViewHostForm::ShowTransformType()
{
    // The group lets the others up. A type of no button (none of the form's input sets one)
    // leaves them as they are; so does a form that is going (its view went first).
    if (!m_View)
        return;
    const XTransformType type = m_View->GetTransformType();
    if (type <= XTT_EDIT)
        m_Buttons[type]->SetDown(true);
}

void TViewHostForm::WndProc(TMessage& Message)
{
    TForm::WndProc(Message);
    // Input reaches the view through the form; whatever it changed (a right press in a viewport
    // switches to edit), the buttons show the type the view has now.
    if ((Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST) ||
        (Message.Msg >= WM_KEYFIRST && Message.Msg <= WM_KEYLAST))
        ShowTransformType();
}

void TViewHostForm::LayoutClick(TObject* Sender)
{
    m_View->SetViewportLayout(static_cast<int>(static_cast<TComponent*>(Sender)->Tag));
}

// ---- Editor panels ---------------------------------------------------------------------------

void TViewHostForm::ShowEditorPanels()
{
    if (m_Column)
        return;
    // The view keeps its width; the column takes the new room and follows the right edge.
    const int viewWidth = m_View->Width();
    m_View->SetAnchors(TAnchors{akLeft, akTop, akBottom});
    SetClientWidth(ClientWidth() + PanelWidth);
    m_View->SetAnchors(TAnchors{akLeft, akTop, akRight, akBottom});
    m_Column = new TPanel(this);
    m_Column->SetParent(this);
    m_Column->SetBevelOuter(bvNone);
    m_Column->SetBounds(viewWidth, 0, PanelWidth, ClientHeight());
    m_Column->SetAnchors(TAnchors{akTop, akRight, akBottom});
    m_View->OnKeyDown = MakeClosure(this, &TViewHostForm::ViewKeyDown);
    HookScene();
}

void TViewHostForm::HookScene()
{
    if (!m_Column || !m_Scene)
        return;
    m_Scene->OnEditorChange = MakeClosure(this, &TViewHostForm::EditorChange);
    m_Scene->OnObjectSelect = MakeClosure(this, &TViewHostForm::ObjectSelect);
    ShowEditor(m_Scene->GetEditor());
}

void TViewHostForm::LoadScene(const std::filesystem::path& file)
{
    const std::u16string name = file.u16string();
    m_Scene->LoadFromFile(XString(name.c_str()));
    // Loading changes editors without telling anyone.
    if (m_Column)
        ShowEditor(m_Scene->GetEditor());
}

void TViewHostForm::EditorChange(TObject*, XBaseEditor* Editor)
{
    ShowEditor(Editor);
}

void TViewHostForm::ObjectSelect(TObject*, XBaseObject*, bool)
{
}

void TViewHostForm::ShowEditor(XBaseEditor* editor)
{
    TBaseEditorFrame* frame = editor ? editor->GetEditorFrame() : nullptr;
    if (frame != m_Frame)
    {
        if (TBaseEditorFrame* old = m_Frame)
        {
            old->DeactivateFrame();
            old->Hide();
            old->RemoveFreeNotification(this);
            m_Frame = nullptr;
        }
        if (frame)
        {
            m_Frame = frame;
            frame->FreeNotification(this);
            frame->SetParent(m_Column);
            frame->SetBounds(3, 3, PanelWidth - 6, m_Column->ClientHeight() - 6);
            frame->SetAnchors(TAnchors{akLeft, akTop, akRight, akBottom});
            frame->Show();
            frame->ActivateFrame();
        }
    }
    MakeModeButtons(editor);
}

void TViewHostForm::MakeModeButtons(XBaseEditor* editor)
{
    for (TSpeedButton* button : m_ModeButtons)
        delete button;
    m_ModeButtons.clear();
    if (!editor)
        return;
    const int count = static_cast<int>(editor->GetModeCount());
    for (int i = 0; i < count; ++i)
    {
        auto* button = new TSpeedButton(this);
        button->SetParent(this);
        button->SetBounds(4 + (4 + i) * 84 + 8, m_View->Height() + 4, 80, 24);
        button->SetAnchors(TAnchors{akLeft, akBottom});
        button->SetCaption(UnicodeString(editor->GetModeName(i).c_str()));
        button->SetGroupIndex(ModeGroup);
        button->SetDown(i == editor->GetMode());
        button->Tag = i;
        button->OnClick = MakeClosure(this, &TViewHostForm::ModeClick);
        m_ModeButtons.push_back(button);
    }
}

void TViewHostForm::ModeClick(TObject* Sender)
{
    XBaseEditor* editor = m_Scene ? m_Scene->GetEditor() : nullptr;
    if (!editor)
        return;
    editor->SetMode(static_cast<int>(static_cast<TComponent*>(Sender)->Tag));
    // The editor may refuse: the buttons show the mode it is in.
    const int mode = editor->GetMode();
    if (mode >= 0 && mode < static_cast<int>(m_ModeButtons.size()))
        m_ModeButtons[static_cast<size_t>(mode)]->SetDown(true);
}

XMeshNode* TViewHostForm::OneSelectedNode() const
{
    XMeshNode* found = nullptr;
    for (unsigned i = 0; i < m_Scene->GetNodeCount(); ++i)
    {
        XMeshNode* node = m_Scene->GetNode(i);
        if (!node->IsSelected())
            continue;
        if (found)
            return nullptr;
        found = node;
    }
    return found;
}

void TViewHostForm::EditModifier(XMeshNode* node)
{
    XBaseMesh* mesh = node->GetMesh();
    if (!mesh)
        return;
    for (uint32_t i = 0; i < mesh->GetModifierCount(); ++i)
    {
        XBaseModifier* modifier = mesh->GetModifier(i);
        if (modifier && modifier->Editable())
        {
            modifier->Edit(m_Scene, node, mesh, nullptr);
            return;
        }
    }
}

void TViewHostForm::ViewKeyDown(TObject*, WORD& Key, TShiftState Shift)
{
    if (!m_Scene || Shift.Contains(ssAlt))
        return;
    XBaseEditor* editor = m_Scene->GetEditor();
    const bool ctrl = Shift.Contains(ssCtrl);
    XMeshNode* node = nullptr;
    switch (ctrl ? Key | 0x10000 : Key)
    {
    case 'Z' | 0x10000:
        if (editor && editor->CanUndo())
            editor->Undo();
        break;
    case VK_DELETE:
        if (m_Scene->EditorCanDelete())
            m_Scene->EditorDelete();
        break;
    case 'C' | 0x10000:
        if (m_Scene->EditorCanCopyToClipboard())
            m_Scene->EditorCopyToClipboard();
        break;
    case 'X' | 0x10000:
        if (m_Scene->EditorCanCutToClipboard())
            m_Scene->EditorCutToClipboard();
        break;
    case 'V' | 0x10000:
        if (m_Scene->EditorCanPasteFromClipboard())
            m_Scene->EditorPasteFromClipboard();
        break;
    case 'D' | 0x10000:
        if (m_Scene->EditorCanClone())
            m_Scene->EditorClone();
        break;
    case VK_RETURN:
        if ((node = OneSelectedNode()) && node->MeshEditable())
            node->MeshEdit(m_Scene);
        break;
    case 'A':
        if ((node = OneSelectedNode()) && node->Editable())
            node->Edit(m_Scene);
        break;
    case 'M':
        if ((node = OneSelectedNode()))
            EditModifier(node);
        break;
    case VK_ESCAPE:
        m_Scene->PopEditor();
        break;
    default:
        return;
    }
    Key = 0;
}

void TViewHostForm::Notification(TComponent* AComponent, TOperation Operation)
{
    TForm::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == m_Frame)
        m_Frame = nullptr;
}

TPoint PictureOrigin(TForm* form, XViewport* viewport)
{
    const TRect client = viewport->ClientRect();
    const TPoint origin = viewport->ClientToScreen(TPoint(client.left, client.top));
    const TPoint corner = form->ClientToScreen(TPoint(0, 0));
    return TPoint(origin.x - corner.x, origin.y - corner.y);
}

XPoint FormPointOf(TForm* form, XViewport* viewport, const XVertex& v)
{
    const XMatrix m = viewport->GetViewMatrix(0) * viewport->GetProjectionMatrix(0);
    const float x = v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0];
    const float y = v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1];
    const float w = v.x * m.m[0][3] + v.y * m.m[1][3] + v.z * m.m[2][3] + m.m[3][3];
    const TRect c = viewport->ClientRect();
    const TPoint origin = PictureOrigin(form, viewport);
    return XPoint(static_cast<float>(origin.x) + (x / w + 1) / 2 * static_cast<float>(c.Width()),
                  static_cast<float>(origin.y) + (1 - y / w) / 2 * static_cast<float>(c.Height()));
}
