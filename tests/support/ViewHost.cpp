#include "tests/support/ViewHost.h"

#include "Engine/Objects/XEngineClasses.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"

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
        auto* button = new TButton(this);
        button->SetParent(this);
        button->SetBounds(4 + i * 84, viewHeight + 4, 80, 24);
        button->SetAnchors(TAnchors{akLeft, akBottom});
        button->SetCaption(kTransformCaptions[i]);
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
    delete m_View;
    m_View = nullptr;
    delete m_Scene;
    m_Scene = nullptr;
}

void TViewHostForm::TransformClick(TObject* Sender)
{
    m_View->SetTransformType(static_cast<XTransformType>(static_cast<TComponent*>(Sender)->Tag));
}

void TViewHostForm::LayoutClick(TObject* Sender)
{
    m_View->SetViewportLayout(static_cast<int>(static_cast<TComponent*>(Sender)->Tag));
}
