#include "Engine/Editors/TTriEditorFrame.h"

#include "Engine/Editors/EditorFramePlacing.h"
#include "Engine/Editors/EditorGlyphs.h"
#include "Engine/Editors/XTriMeshEditor.h"
#include "Engine/Scene/XBaseMaterial.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/Forms.h"

#include <algorithm>
#include <cstdint>

using namespace EditorFramePlacing;
using namespace EditorGlyphs;

namespace
{
const int Margin = 8;

XIntEdit* PlaceIndex(TFrame* owner, TWinControl* parent, int left, int top)
{
    auto* edit = Place<XIntEdit>(owner, parent, left, top, 48, 21);
    edit->SetTabStop(true);
    edit->SetMinValue(0);
    edit->SetMaxValue(255);
    edit->SetUseBounds(true);
    edit->SetChangeValue(1);
    return edit;
}

TCheckBox* PlaceCheck(TFrame* owner, TWinControl* parent, int left, int top, const char16_t* caption, bool checked)
{
    auto* check = Place<TCheckBox>(owner, parent, left, top, 214 - left, 17);
    check->SetCaption(caption);
    check->SetChecked(checked);
    return check;
}

// A group box stacked at the top of its page.
TGroupBox* PlaceGroup(TFrame* owner, TWinControl* parent, const char16_t* caption, int height)
{
    auto* group = new TGroupBox(owner);
    group->SetParent(parent);
    group->SetAlign(alTop);
    group->SetHeight(height);
    group->SetCaption(caption);
    return group;
}

// The bits of one vertex selection, in ascending order.
template <class Visit> void ForSelected(const XBitArray& bits, uint32_t count, Visit visit)
{
    for (uint32_t i = 0; i < count; ++i)
        if (bits.Get(i))
            visit(i);
}

UnicodeString Number(float value)
{
    return FloatToStr(static_cast<double>(value));
}

XString ToXString(const UnicodeString& text)
{
    return XString(text.c_str());
}
} // namespace

TTriEditorFrame::TTriEditorFrame(TComponent* owner, XScene* scene, XTriMeshEditor* editor)
    : TBaseEditorFrame(owner, scene, editor), m_TriEditor(editor), m_Materials(new TStringList)
{
    SetHeight(DesignHeight);

    GroupBox1 = PlaceGroup(this, this, u"Создать", 48);
    CreateVertexBtn = PlaceButton(this, GroupBox1, 8, 17, 104, u"Вершину", 0);
    CreateFaceBtn = PlaceButton(this, GroupBox1, 116, 17, 104, u"Грань", 0);
    for (TSpeedButton* button : {CreateVertexBtn, CreateFaceBtn})
        button->SetAllowAllUp(true);
    CreateVertexBtn->OnClick = MakeClosure(this, &TTriEditorFrame::CreateVertexBtnClick);
    CreateFaceBtn->OnClick = MakeClosure(this, &TTriEditorFrame::CreateFaceBtnClick);

    GroupBox2 = PlaceGroup(this, this, u"Нормали", 88);
    NormalsComputeBtn = PlaceButton(this, GroupBox2, 6, 17, 62, u"Просчет", 0);
    NormalsFlipBtn = PlaceButton(this, GroupBox2, 70, 17, 66, u"Обратить", 0);
    NormalsNormalizeBtn = PlaceButton(this, GroupBox2, 138, 17, 86, u"Нормировать", 0);
    NormalsSelOnlyCheck = PlaceCheck(this, GroupBox2, 6, 44, u"Только для выделеных граней", true);
    FlatShadingCheck = PlaceCheck(this, GroupBox2, 6, 64, u"Для \"плоской\" модели освещения", false);
    NormalsComputeBtn->OnClick = MakeClosure(this, &TTriEditorFrame::NormalsComputeBtnClick);
    NormalsFlipBtn->OnClick = MakeClosure(this, &TTriEditorFrame::NormalsFlipBtnClick);
    NormalsNormalizeBtn->OnClick = MakeClosure(this, &TTriEditorFrame::NormalsNormalizeBtnClick);

    PageControl = new TPageControl(this);
    PageControl->SetParent(this);
    PageControl->SetAlign(alTop);
    PageControl->SetHeight(DesignHeight - GroupBox1->Height() - GroupBox2->Height());
    PageControl->OnChange = MakeClosure(this, &TTriEditorFrame::PagesChanged);
    const char16_t* captions[4] = {u"Вершины", u"Грани", u"Утилиты", u"Инфо"};
    TTabSheet* pages[4];
    for (int i = 0; i < 4; ++i)
    {
        pages[i] = new TTabSheet(this);
        pages[i]->SetPageControl(PageControl);
        pages[i]->SetCaption(captions[i]);
    }
    VerticesTab = pages[0], FacesTab = pages[1], ToolsTab = pages[2], InfoTab = pages[3];
    PageControl->SetActivePage(VerticesTab);

    BuildVertexPage();
    BuildFacesPage();
    BuildToolsAndInfoPages();
    for (TTabSheet* page : {VerticesTab, FacesTab})
        for (int i = 0; i < page->ControlCount(); ++i)
            if (auto* section = dynamic_cast<XScroll*>(page->Controls(i)))
                section->OnResize = MakeClosure(this, &TTriEditorFrame::PagesChanged);
    m_PagesBuilt = true;
    FitPages();
}

void TTriEditorFrame::FitPages()
{
    if (!m_PagesBuilt || m_FittingPages || !PageControl->ActivePage())
        return;
    TTabSheet* page = PageControl->ActivePage();
    // A section tells of its new height before the page has moved the sections below it: the page
    // stacks them first, so that it is measured where they end up.
    page->Realign();
    int lowest = 0;
    for (int i = 0; i < page->ControlCount(); ++i)
    {
        TControl* child = page->Controls(i);
        if (child->Visible())
            lowest = std::max(lowest, child->Top() + child->Height());
    }
    const int around = PageControl->Height() - page->Height(); // the tabs and the page's frame
    const int room = ClientHeight() - (PageControl->Top() + VertPosition());
    m_FittingPages = true;
    PageControl->SetHeight(std::max(lowest + Margin + around, room));
    m_FittingPages = false;
}

void TTriEditorFrame::PagesChanged(TObject*)
{
    FitPages();
}

void TTriEditorFrame::Resize()
{
    TBaseEditorFrame::Resize();
    FitPages();
}

void TTriEditorFrame::BuildVertexPage()
{
    XScroll2 = PlacePanel(this, VerticesTab, u"Веса", 150);
    TLabel* labels[4];
    XFloatEdit* weights[4];
    XIntEdit* indices[4];
    const char16_t* names[4] = {u"w1:", u"w2:", u"w3:", u"w4:"};
    for (int i = 0; i < 4; ++i)
    {
        labels[i] = PlaceLabel(this, XScroll2, Margin, 26 + 24 * i, names[i]);
        weights[i] = PlaceFloat(this, XScroll2, Margin + 28, 22 + 24 * i, 80, 0, 1, true, 0.01f);
        indices[i] = PlaceIndex(this, XScroll2, Margin + 116, 22 + 24 * i);
    }
    Label2 = labels[0], Label3 = labels[1], Label4 = labels[2], Label5 = labels[3];
    Bone1WeightEdit = weights[0], Bone2WeightEdit = weights[1], Bone3WeightEdit = weights[2];
    Bone4WeightEdit = weights[3];
    Bone1IndexEdit = indices[0], Bone2IndexEdit = indices[1], Bone3IndexEdit = indices[2], Bone4IndexEdit = indices[3];
    Bone1WeightEdit->OnExit = MakeClosure(this, &TTriEditorFrame::Bone1WeightEditExit);
    VerticesSetWeightBtn = PlaceButton(this, XScroll2, Margin, 120, 96, u"Назначить", 0);
    VerticesGetWeightBtn = PlaceButton(this, XScroll2, Margin + 100, 120, 96, u"Считать", 0);
    VerticesSetWeightBtn->OnClick = MakeClosure(this, &TTriEditorFrame::VerticesSetWeightBtnClick);
    VerticesGetWeightBtn->OnClick = MakeClosure(this, &TTriEditorFrame::VerticesGetWeightBtnClick);

    XScroll4 = PlacePanel(this, VerticesTab, u"Выделение", 76);
    SpeedButton6 = PlaceButton(this, XScroll4, Margin, 22, 52, u"Все", 0);
    SpeedButton7 = PlaceButton(this, XScroll4, Margin + 54, 22, 74, u"Соседние", 0);
    SpeedButton8 = PlaceButton(this, XScroll4, Margin + 130, 22, 74, u"Связанные", 0);
    SpeedButton9 = PlaceButton(this, XScroll4, Margin, 48, 100, u"По граням", 0);
    SpeedButton1 = PlaceButton(this, XScroll4, Margin + 104, 48, 100, u"Инверсия", 0);
    SpeedButton6->OnClick = MakeClosure(this, &TTriEditorFrame::VerticesSelectAllVerticesBtnClick);
    SpeedButton7->OnClick = MakeClosure(this, &TTriEditorFrame::SpeedButton1Click);
    SpeedButton8->OnClick = MakeClosure(this, &TTriEditorFrame::SpeedButton2Click);
    SpeedButton9->OnClick = MakeClosure(this, &TTriEditorFrame::VerticesSelectByFacesBtnClick);
    SpeedButton1->OnClick = MakeClosure(this, &TTriEditorFrame::VerticesSelectAllBtnClick);

    XScroll5 = PlacePanel(this, VerticesTab, u"Отражение", 72);
    MirrorRadio = Place<TRadioGroup>(this, XScroll5, Margin, 20, 120, 44);
    MirrorRadio->SetCaption(u"Ось");
    MirrorRadio->SetColumns(3);
    for (const char16_t* axis : {u"X", u"Y", u"Z"})
        MirrorRadio->Items()->Add(axis);
    MirrorRadio->SetItemIndex(0);
    VerticesMirrorBtn = PlaceButton(this, XScroll5, Margin + 126, 34, 74, u"Выполнить", 0);
    VerticesMirrorBtn->OnClick = MakeClosure(this, &TTriEditorFrame::VerticesMirrorBtnClick);

    XScroll6 = PlacePanel(this, VerticesTab, u"Текстурные координаты", 76);
    Label6 = PlaceLabel(this, XScroll6, Margin, 26, u"u:");
    TextureUEdit = PlaceFloat(this, XScroll6, Margin + 16, 22, 78, 0, 1, false, 0.01f);
    Label8 = PlaceLabel(this, XScroll6, Margin + 102, 26, u"v:");
    TextureVEdit = PlaceFloat(this, XScroll6, Margin + 118, 22, 78, 0, 1, false, 0.01f);
    TextureUEdit->OnExit = MakeClosure(this, &TTriEditorFrame::Bone1WeightEditExit);
    VerticesSetTextureBtn = PlaceButton(this, XScroll6, Margin, 48, 96, u"Назначить", 0);
    VerticesGetTextureBtn = PlaceButton(this, XScroll6, Margin + 100, 48, 96, u"Считать", 0);
    VerticesSetTextureBtn->OnClick = MakeClosure(this, &TTriEditorFrame::VerticesSetTextureBtnClick);
    VerticesGetTextureBtn->OnClick = MakeClosure(this, &TTriEditorFrame::VerticesGetTextureBtnClick);

    XScroll7 = PlacePanel(this, VerticesTab, u"Слияние вершин", 98);
    SpeedButton2 = PlaceButton(this, XScroll7, Margin, 22, 196, u"Объединить выделенные", 0);
    Label11 = PlaceLabel(this, XScroll7, Margin, 52, u"Радиус:");
    MergeRadiusEdit = PlaceFloat(this, XScroll7, Margin + 50, 48, 66, 0, 10000, true, 0.01f);
    SpeedButton10 = PlaceButton(this, XScroll7, Margin + 122, 47, 74, u"Выполнить", 0);
    MergeOnlySelectedCheck = PlaceCheck(this, XScroll7, Margin, 74, u"Только для выделеных", true);
    SpeedButton2->OnClick = MakeClosure(this, &TTriEditorFrame::SpeedButton3Click);
    SpeedButton10->OnClick = MakeClosure(this, &TTriEditorFrame::SpeedButton10Click);

    XScroll8 = PlacePanel(this, VerticesTab, u"Трансформация", 176);
    const char16_t* rows[3] = {u"Перемещение (X; Y; Z)", u"Вращение (X; Y; Z)", u"Масштаб (YZ; XZ; XY)"};
    XFloatEdit* edits[9];
    TLabel* rowLabels[3];
    TSpeedButton* runs[3];
    for (int r = 0; r < 3; ++r)
    {
        rowLabels[r] = PlaceLabel(this, XScroll8, Margin, 24 + 42 * r, rows[r]);
        for (int c = 0; c < 3; ++c)
            edits[3 * r + c] =
                r < 2 ? PlaceFloat(this, XScroll8, Margin + 47 * c, 40 + 42 * r, 46, -10000, 10000, false, 0)
                      : PlaceFloat(this, XScroll8, Margin + 47 * c, 40 + 42 * r, 46, 0.01f, 100, true, 0);
        runs[r] = PlaceButton(this, XScroll8, Margin + 142, 39 + 42 * r, 62, u"Выполнить", 0);
    }
    Label7 = rowLabels[0], Label9 = rowLabels[1], Label10 = rowLabels[2];
    MoveXEdit = edits[0], MoveYEdit = edits[1], MoveZEdit = edits[2];
    RotationXEdit = edits[3], RotationYEdit = edits[4], RotationZEdit = edits[5];
    ScaleXEdit = edits[6], ScaleYEdit = edits[7], ScaleZEdit = edits[8];
    MoveBtn = runs[0], RotateBtn = runs[1], ScaleBtn = runs[2];
    UniformScaleCheck = PlaceCheck(this, XScroll8, Margin, 152, u"Равномерный масштаб", true);
    for (XFloatEdit* edit : {ScaleXEdit, ScaleYEdit, ScaleZEdit})
    {
        edit->SetValue(0.99f);
        edit->OnChange = MakeClosure(this, &TTriEditorFrame::ScaleEditChange);
        edit->OnExit = MakeClosure(this, &TTriEditorFrame::ScaleEditExit);
    }
    MoveBtn->OnClick = MakeClosure(this, &TTriEditorFrame::MoveBtnClick);
    RotateBtn->OnClick = MakeClosure(this, &TTriEditorFrame::RotateBtnClick);
    ScaleBtn->OnClick = MakeClosure(this, &TTriEditorFrame::ScaleBtnClick);

    XScroll10 = PlacePanel(this, VerticesTab, u"Выдавливание", 70);
    Label12 = PlaceLabel(this, XScroll10, Margin, 24, u"Дистанция");
    VertexExtrudeDistanceEdit = PlaceFloat(this, XScroll10, Margin, 40, 80, -10000, 10000, false, 0);
    VertexExtrudeExecuteBtn = PlaceButton(this, XScroll10, Margin + 90, 39, 74, u"Выполнить", 0);
    VertexExtrudeExecuteBtn->OnClick = MakeClosure(this, &TTriEditorFrame::VertexExtrudeExecuteBtnClick);
}

void TTriEditorFrame::BuildFacesPage()
{
    GroupBox3 = PlaceGroup(this, FacesTab, u"Грани", 136);
    FacesTessellateBtn = PlaceButton(this, GroupBox3, 4, 16, 212, u"Разбиение", 0);
    FacesTesselate2Btn = PlaceButton(this, GroupBox3, 4, 40, 212, u"Разбиение со сферич. коррекцией", 1);
    FacesReverseBtn = PlaceButton(this, GroupBox3, 4, 64, 212, u"Обратить направление обхода", 0);
    SpeedButton13 = PlaceButton(this, GroupBox3, 4, 88, 212, u"Произвольное разбиение", 0);
    FacesSelOnlyCheck = PlaceCheck(this, GroupBox3, 6, 114, u"Только для выделеных граней", true);
    FacesTessellateBtn->OnClick = MakeClosure(this, &TTriEditorFrame::FacesTessellateBtnClick);
    FacesTesselate2Btn->OnClick = MakeClosure(this, &TTriEditorFrame::FacesTessellateBtnClick);
    FacesReverseBtn->OnClick = MakeClosure(this, &TTriEditorFrame::FacesReverseBtnClick);
    SpeedButton13->OnClick = MakeClosure(this, &TTriEditorFrame::SpeedButton13Click);

    GroupBox4 = PlaceGroup(this, FacesTab, u"Материал", 50);
    MaterialCombo = Place<TComboBox>(this, GroupBox4, 8, 18, 130, 21);
    MaterialCombo->SetStyle(csDropDownList);
    MaterialCombo->OnDropDown = MakeClosure(this, &TTriEditorFrame::MaterialComboDropDown);
    MaterialCombo->OnSelect = MakeClosure(this, &TTriEditorFrame::MaterialComboSelect);
    ApplyMaterialBtn = PlaceButton(this, GroupBox4, 142, 17, 70, u"Назначить", 0);
    ApplyMaterialBtn->OnClick = MakeClosure(this, &TTriEditorFrame::ApplyMaterialBtnClick);

    XScroll1 = PlacePanel(this, FacesTab, u"Выдавливание", 70);
    Label1 = PlaceLabel(this, XScroll1, Margin, 24, u"Дистанция");
    FaceExtrudeDistanceEdit = PlaceFloat(this, XScroll1, Margin, 40, 80, -10000, 10000, false, 0);
    FaceExtrudeExecuteBtn = PlaceButton(this, XScroll1, Margin + 90, 39, 74, u"Выполнить", 0);
    FaceExtrudeExecuteBtn->OnClick = MakeClosure(this, &TTriEditorFrame::FaceExtrudeExecuteBtnClick);

    XScroll3 = PlacePanel(this, FacesTab, u"Выделение", 102);
    FacesSelectByVerticesBtn = PlaceButton(this, XScroll3, Margin - 2, 22, 98, u"По вершинам", 0);
    FacesSelectByVerticesInclusiveBtn = PlaceButton(this, XScroll3, Margin + 98, 22, 110, u"По вершинам INC", 1);
    FacesSelectAllBtn = PlaceButton(this, XScroll3, Margin - 2, 48, 98, u"Все", 0);
    SpeedButton3 = PlaceButton(this, XScroll3, Margin + 98, 48, 110, u"Инверсия", 0);
    SpeedButton11 = PlaceButton(this, XScroll3, Margin - 2, 74, 98, u"Соседние", 0);
    SpeedButton12 = PlaceButton(this, XScroll3, Margin + 98, 74, 110, u"Связанные", 0);
    FacesSelectByVerticesBtn->OnClick = MakeClosure(this, &TTriEditorFrame::FacesSelectByVerticesBtnClick);
    FacesSelectByVerticesInclusiveBtn->OnClick = MakeClosure(this, &TTriEditorFrame::FacesSelectByVerticesBtnClick);
    FacesSelectAllBtn->OnClick = MakeClosure(this, &TTriEditorFrame::FacesSelectAllBtnClick);
    SpeedButton3->OnClick = MakeClosure(this, &TTriEditorFrame::VerticesSelectAllBtnClick);
    SpeedButton11->OnClick = MakeClosure(this, &TTriEditorFrame::SpeedButton11Click);
    SpeedButton12->OnClick = MakeClosure(this, &TTriEditorFrame::SpeedButton12Click);

    XScroll9 = PlacePanel(this, FacesTab, u"Сохраненные выделения", 184);
    SelectionSaveBtn = PlaceButton(this, XScroll9, Margin, 22, 23, u"", 0);
    SelectionDeleteBtn = PlaceButton(this, XScroll9, Margin + 25, 22, 23, u"", 0);
    SelectionRefreshBtn = PlaceButton(this, XScroll9, Margin + 50, 22, 23, u"", 0);
    SetGlyph(SelectionSaveBtn, CreateGlyph);
    SetGlyph(SelectionDeleteBtn, DeleteGlyph);
    SetGlyph(SelectionRefreshBtn, RefreshGlyph);
    for (TSpeedButton* button : {SelectionSaveBtn, SelectionDeleteBtn, SelectionRefreshBtn})
        button->SetFlat(true);
    SelectionSaveBtn->OnClick = MakeClosure(this, &TTriEditorFrame::SelectionSaveBtnClick);
    SelectionDeleteBtn->OnClick = MakeClosure(this, &TTriEditorFrame::SelectionDeleteBtnClick);
    SelectionRefreshBtn->OnClick = MakeClosure(this, &TTriEditorFrame::SelectionRefreshBtnClick);
    SelectionList = Place<TListBox>(this, XScroll9, Margin, 48, 200, 126);
    SelectionList->SetSorted(true);
    SelectionList->OnDblClick = MakeClosure(this, &TTriEditorFrame::SelectionListDblClick);
}

void TTriEditorFrame::BuildToolsAndInfoPages()
{
    SpeedButton4 = PlaceButton(this, ToolsTab, 6, 8, 208, u"Преобразовать выделение  в объект", 0);
    VertexColorBtn = PlaceButton(this, ToolsTab, 6, 34, 208, u"Редактор цвета вершин и граней", 0);
    SpeedButton5 = PlaceButton(this, ToolsTab, 6, 60, 208, u"Применить TM узла  к вершинам", 0);
    SpeedButton4->OnClick = MakeClosure(this, &TTriEditorFrame::SpeedButton4Click);
    VertexColorBtn->OnClick = MakeClosure(this, &TTriEditorFrame::VertexColorBtnClick);
    SpeedButton5->OnClick = MakeClosure(this, &TTriEditorFrame::SpeedButton5Click);

    InfoActiveCheck = PlaceCheck(this, InfoTab, 6, 6, u"Активно", false);
    InfoActiveCheck->OnClick = MakeClosure(this, &TTriEditorFrame::InfoActiveCheckClick);
    InfoMemo = Place<TMemo>(this, InfoTab, 4, 28, 212, 400);
    InfoMemo->SetReadOnly(true);
    InfoMemo->SetScrollBars(ssVertical);
    InfoMemo->SetAnchors(TAnchors{akLeft, akTop, akRight}); // the page fits the memo, not the reverse

    InfoTimer = new TTimer(this);
    InfoTimer->SetEnabled(false);
    InfoTimer->SetInterval(500);
    InfoTimer->OnTimer = MakeClosure(this, &TTriEditorFrame::InfoTimerTimer);
}

TTriEditorFrame::~TTriEditorFrame()
{
    delete m_Materials;
}

XMesh* TTriEditorFrame::Mesh() const
{
    return m_TriEditor ? m_TriEditor->GetSourceMesh() : nullptr;
}

template <class Operation> void TTriEditorFrame::MeshChange(const char16_t* name, Operation operation)
{
    XMesh* mesh = Mesh();
    if (!mesh || !m_TriEditor->RecordMeshChange(XString(name)))
        return;
    operation(*mesh);
    m_TriEditor->GetMesh()->MeshInvalidate();
}

template <class Operation> void TTriEditorFrame::SelectionChange(const char16_t* name, Operation operation)
{
    XMesh* mesh = Mesh();
    if (!mesh || !m_TriEditor->RecordSelectionChange(XString(name)))
        return;
    operation(*mesh);
    m_TriEditor->GetMesh()->MeshInvalidate();
}

void TTriEditorFrame::ActivateFrame()
{
    RefreshSelections();
}

// ---- creation and tools that open other editors ------------------------------------------------

// The creators change the mesh with every click: the record made before one opens lets Ctrl+Z
// take back what it made, and only that.
void TTriEditorFrame::CreateVertexBtnClick(TObject*)
{
    if (!m_TriEditor)
        return;
    m_TriEditor->RecordMeshChange(XString(u"Создание вершин"));
    m_TriEditor->CreateVertices(nullptr);
}

void TTriEditorFrame::CreateFaceBtnClick(TObject*)
{
    if (!m_TriEditor)
        return;
    m_TriEditor->RecordMeshChange(XString(u"Создание граней"));
    m_TriEditor->CreateFaces(nullptr);
}

void TTriEditorFrame::SpeedButton13Click(TObject*)
{
    if (!Mesh() || !m_TriEditor->RecordMeshChange(XString(u"Произвольное разбиение граней")))
        return;
    m_TriEditor->OpenVertexCreator(2);
}

void TTriEditorFrame::VertexColorBtnClick(TObject*)
{
    if (m_TriEditor)
        m_TriEditor->EditVertexColors();
}

// ---- whole-mesh operations ----------------------------------------------------------------------

void TTriEditorFrame::NormalsComputeBtnClick(TObject*)
{
    bool selected = NormalsSelOnlyCheck->Checked(), flat = FlatShadingCheck->Checked();
    MeshChange(u"Просчет нормалей", [&](XMesh& mesh) { mesh.ComputeNormals(selected, flat); });
}

void TTriEditorFrame::NormalsFlipBtnClick(TObject*)
{
    bool selected = NormalsSelOnlyCheck->Checked();
    MeshChange(u"Обращение нормалей", [&](XMesh& mesh) { mesh.FlipNormals(selected); });
}

void TTriEditorFrame::NormalsNormalizeBtnClick(TObject*)
{
    bool selected = NormalsSelOnlyCheck->Checked();
    MeshChange(u"Нормирование нормалей", [&](XMesh& mesh) { mesh.NormalizeNormals(selected); });
}

void TTriEditorFrame::FacesTessellateBtnClick(TObject* Sender)
{
    auto* button = dynamic_cast<TSpeedButton*>(Sender);
    bool spherize = button && button->Tag != 0;
    bool selected = FacesSelOnlyCheck->Checked();
    MeshChange(u"Разбиение граней", [&](XMesh& mesh) { mesh.TessellateFaces(selected, spherize); });
}

void TTriEditorFrame::FacesReverseBtnClick(TObject*)
{
    bool selected = FacesSelOnlyCheck->Checked();
    MeshChange(u"Обратить направление обхода вершин", [&](XMesh& mesh) { mesh.FlipFaces(selected); });
}

void TTriEditorFrame::FaceExtrudeExecuteBtnClick(TObject*)
{
    float distance = FaceExtrudeDistanceEdit->Value();
    MeshChange(u"Выдавливание граней", [&](XMesh& mesh) { mesh.ExtrudeFaces(distance); });
}

void TTriEditorFrame::VertexExtrudeExecuteBtnClick(TObject*)
{
    float distance = VertexExtrudeDistanceEdit->Value();
    MeshChange(u"Выдавливание вершин", [&](XMesh& mesh) { mesh.MoveSelectedAlongNormal(distance); });
}

void TTriEditorFrame::SpeedButton3Click(TObject*)
{
    MeshChange(u"Объединение выделенных вершин", [](XMesh& mesh) { mesh.CollapseSelectedVertices(); });
}

void TTriEditorFrame::SpeedButton10Click(TObject*)
{
    float radius = MergeRadiusEdit->Value();
    bool selected = MergeOnlySelectedCheck->Checked();
    MeshChange(u"Слияние вершин", [&](XMesh& mesh) { mesh.WeldVertices(radius, selected); });
}

// ---- selections -----------------------------------------------------------------------------------

void TTriEditorFrame::SpeedButton1Click(TObject*)
{
    SelectionChange(u"Выделить соседние вершины", [](XMesh& mesh) { mesh.GrowVertexSelection(1); });
}

void TTriEditorFrame::SpeedButton2Click(TObject*)
{
    SelectionChange(u"Выделить связанные вершины", [](XMesh& mesh) { mesh.GrowVertexSelection(100000); });
}

void TTriEditorFrame::SpeedButton11Click(TObject*)
{
    SelectionChange(u"Выделить соседние грани", [](XMesh& mesh) { mesh.GrowFaceSelection(1); });
}

void TTriEditorFrame::SpeedButton12Click(TObject*)
{
    SelectionChange(u"Выделить связанные грани", [](XMesh& mesh) { mesh.GrowFaceSelection(100000); });
}

void TTriEditorFrame::VerticesSelectAllBtnClick(TObject*)
{
    SelectionChange(u"Инверсия выделенния", [](XMesh& mesh) {
        uint32_t level = mesh.GetSelectionLevel();
        mesh.InvertSelection(level == XMesh::VertexLevel, level == XMesh::FaceLevel);
    });
}

void TTriEditorFrame::VerticesSelectAllVerticesBtnClick(TObject*)
{
    SelectionChange(u"Выделить все вершины", [](XMesh& mesh) { mesh.SelectAllVertices(); });
}

void TTriEditorFrame::FacesSelectAllBtnClick(TObject*)
{
    SelectionChange(u"Выделить все грани", [](XMesh& mesh) { mesh.SelectAllFaces(); });
}

void TTriEditorFrame::VerticesSelectByFacesBtnClick(TObject*)
{
    SelectionChange(u"Выделить вершины по граням", [](XMesh& mesh) { mesh.SelectVerticesOfSelectedFaces(); });
}

void TTriEditorFrame::FacesSelectByVerticesBtnClick(TObject* Sender)
{
    auto* button = dynamic_cast<TSpeedButton*>(Sender);
    bool any = button && button->Tag != 0;
    SelectionChange(u"Выделить грани по вершинам", [&](XMesh& mesh) { mesh.SelectFacesFromVertices(any); });
}

// ---- materials --------------------------------------------------------------------------------------

void TTriEditorFrame::MaterialComboDropDown(TObject*)
{
    m_Materials->Clear();
    if (!m_Scene)
        return;
    for (unsigned i = 0; i < m_Scene->GetMaterialCount(); ++i)
    {
        XBaseMaterial* material = m_Scene->GetMaterial(i);
        if (material)
            m_Materials->AddObject(UnicodeString(material->GetName().c_str()),
                                   reinterpret_cast<TObject*>(static_cast<uintptr_t>(i)));
    }
    MaterialCombo->BeginUpdate();
    MaterialCombo->ClearItems();
    for (int i = 0; i < m_Materials->Count(); ++i)
        MaterialCombo->AddItem(m_Materials->Strings(i), m_Materials->Objects(i));
    MaterialCombo->EndUpdate();
}

void TTriEditorFrame::MaterialComboSelect(TObject*)
{
    int index = MaterialCombo->ItemIndex();
    if (index < 0)
        return;
    m_SelectedMaterial = static_cast<int>(reinterpret_cast<uintptr_t>(MaterialCombo->ItemObject(index)));
}

void TTriEditorFrame::ApplyMaterialBtnClick(TObject*)
{
    uint32_t material = GetSelectedMaterial();
    MeshChange(u"Назначение граням материала", [&](XMesh& mesh) {
        XFace* faces = mesh.GetFaces();
        ForSelected(mesh.GetFaceSelection(), mesh.GetFaceCount(), [&](uint32_t i) { faces[i].material = material; });
        mesh.Invalidate();
        mesh.SetUseFaceSubsets(true);
        mesh.BuildFaceGroups();
    });
}

// ---- weights and texture coordinates ------------------------------------------------------------

void TTriEditorFrame::VerticesGetWeightBtnClick(TObject*)
{
    XMesh* mesh = Mesh();
    if (!mesh || !mesh->GetWeightsEnabled() || mesh->GetVertexSelection().Count(true) != 1)
        return;
    ForSelected(mesh->GetVertexSelection(), mesh->GetVertexCount(), [&](uint32_t i) {
        const XVertexWeight& w = mesh->GetWeights()[i];
        Bone1WeightEdit->SetValue(w.weight[0]);
        Bone2WeightEdit->SetValue(w.weight[1]);
        Bone3WeightEdit->SetValue(w.weight[2]);
        Bone4WeightEdit->SetValue(1 - (w.weight[0] + w.weight[1] + w.weight[2]));
        Bone1IndexEdit->SetValue(w.index[0]);
        Bone2IndexEdit->SetValue(w.index[1]);
        Bone3IndexEdit->SetValue(w.index[2]);
        Bone4IndexEdit->SetValue(w.index[3]);
    });
}

void TTriEditorFrame::VerticesSetWeightBtnClick(TObject*)
{
    XMesh* mesh = Mesh();
    if (!mesh || mesh->GetVertexSelection().Count(true) == 0)
        return;
    float w[3] = {Bone1WeightEdit->Value(), Bone2WeightEdit->Value(), Bone3WeightEdit->Value()};
    XIntEdit* indexEdits[4] = {Bone1IndexEdit, Bone2IndexEdit, Bone3IndexEdit, Bone4IndexEdit};
    MeshChange(u"Модификация весов вершин", [&](XMesh& m) {
        m.SetWeightsEnabled(true);
        if (m.GetWeightCount() != m.GetVertexCount())
            m.SetWeightCount(m.GetVertexCount());
        XVertexWeight* weights = m.GetWeights();
        ForSelected(m.GetVertexSelection(), m.GetVertexCount(), [&](uint32_t i) {
            for (int k = 0; k < 3; ++k)
                weights[i].weight[k] = w[k];
            for (int k = 0; k < 4; ++k)
                weights[i].index[k] = static_cast<uint8_t>(indexEdits[k]->Value());
        });
    });
}

void TTriEditorFrame::Bone1WeightEditExit(TObject*)
{
}

void TTriEditorFrame::VerticesGetTextureBtnClick(TObject*)
{
    XMesh* mesh = Mesh();
    if (!mesh || mesh->GetVertexSelection().Count(true) != 1)
        return;
    ForSelected(mesh->GetVertexSelection(), mesh->GetVertexCount(), [&](uint32_t i) {
        if (i >= mesh->GetTextureVertexCount())
            return;
        TextureUEdit->SetValue(mesh->GetTextureVertices()[i].u);
        TextureVEdit->SetValue(mesh->GetTextureVertices()[i].v);
    });
}

void TTriEditorFrame::VerticesSetTextureBtnClick(TObject*)
{
    XMesh* mesh = Mesh();
    if (!mesh || mesh->GetVertexSelection().Count(true) == 0)
        return;
    float u = TextureUEdit->Value(), v = TextureVEdit->Value();
    MeshChange(u"Модификация текстурных координат", [&](XMesh& m) {
        // A loaded mesh may carry fewer texture vertices than vertices: the missing ones are made.
        if (m.GetTextureVertexCount() < m.GetVertexCount())
            m.SetTextureVertexCount(m.GetVertexCount());
        XTextureVertex* uv = m.GetTextureVertices();
        ForSelected(m.GetVertexSelection(), m.GetVertexCount(), [&](uint32_t i) {
            uv[i].u = u;
            uv[i].v = v;
        });
    });
}

// ---- mirror and typed transforms --------------------------------------------------------------------

void TTriEditorFrame::VerticesMirrorBtnClick(TObject*)
{
    XMesh* mesh = Mesh();
    if (!mesh || mesh->GetVertexSelection().Count(true) == 0)
        return;
    int axis = MirrorRadio->ItemIndex();
    // The vertices are mirrored in the mesh's own space, so the centre is taken there too.
    unsigned count = 0;
    XVertex c = m_TriEditor->GetLocalSelectionCenter(count);
    MeshChange(u"Отражение", [&](XMesh& m) {
        XMatrix mirror(1.0f);
        if (axis >= 0 && axis <= 2)
            mirror.m[axis][axis] = -1;
        XMatrix to, back;
        to.SetTranslation(-c.x, -c.y, -c.z);
        back.SetTranslation(c.x, c.y, c.z);
        XMatrix positions = to * mirror * back;
        XMatrix normals = positions;
        normals.m[3][0] = normals.m[3][1] = normals.m[3][2] = 0;
        const XBitArray& bits = m.GetVertexSelection();
        positions.ApplyTo(m.GetVertices(), m.GetVertexCount(), bits, true);
        if (m.GetNormalsEnabled())
        {
            uint32_t n = std::min(m.GetNormalCount(), m.GetVertexCount());
            normals.ApplyTo(m.GetNormals(), n, bits, true);
            ForSelected(bits, n, [&](uint32_t i) { m.GetNormals()[i].Normalize(); });
        }
        m.Invalidate();
    });
}

void TTriEditorFrame::MoveBtnClick(TObject*)
{
    if (!Mesh())
        return;
    m_TriEditor->MoveSelection(nullptr, XVertex(MoveXEdit->Value(), MoveYEdit->Value(), MoveZEdit->Value()));
}

void TTriEditorFrame::RotateBtnClick(TObject*)
{
    if (!Mesh())
        return;
    m_TriEditor->RotateSelection(nullptr, XVertex(DegToRad(RotationXEdit->Value()), DegToRad(RotationYEdit->Value()),
                                                  DegToRad(RotationZEdit->Value())));
}

void TTriEditorFrame::ScaleBtnClick(TObject*)
{
    for (XFloatEdit* edit : {ScaleXEdit, ScaleYEdit, ScaleZEdit})
        edit->Finish();
    if (!Mesh())
        return;
    m_TriEditor->ScaleSelection(nullptr, XVertex(ScaleXEdit->Value(), ScaleYEdit->Value(), ScaleZEdit->Value()));
}

void TTriEditorFrame::ScaleEditChange(TObject* Sender)
{
    SpreadScale(Sender, UniformScaleCheck, {ScaleXEdit, ScaleYEdit, ScaleZEdit}, false);
}

void TTriEditorFrame::ScaleEditExit(TObject* Sender)
{
    SpreadScale(Sender, UniformScaleCheck, {ScaleXEdit, ScaleYEdit, ScaleZEdit}, true);
}

// ---- saved selections ---------------------------------------------------------------------------------

void TTriEditorFrame::RefreshSelections()
{
    int remembered = SelectionList->ItemIndex();
    SelectionList->Items()->BeginUpdate();
    SelectionList->Items()->Clear();
    if (XMesh* mesh = Mesh())
        for (uint32_t i = 0; i < mesh->GetSelectionCount(); ++i)
            SelectionList->Items()->Add(UnicodeString(mesh->GetSelection(i)->Name.c_str()));
    SelectionList->Items()->EndUpdate();
    int count = SelectionList->Count();
    SelectionList->SetItemIndex(remembered >= 0 && remembered < count ? remembered : count - 1);
}

void TTriEditorFrame::SelectionRefreshBtnClick(TObject*)
{
    RefreshSelections();
}

void TTriEditorFrame::SelectionSaveBtnClick(TObject*)
{
    for (;;)
    {
        UnicodeString name;
        if (!InputQuery(Application->Title(), u"Введите название для идентификации сохраняемого выделения", name))
            return;
        // The mesh is taken again after each question: the object may have gone meanwhile.
        XMesh* mesh = Mesh();
        if (!mesh)
            return;
        if (!mesh->FindSelection(ToXString(name)))
        {
            mesh->CreateSelection(ToXString(name));
            RefreshSelections();
            return;
        }
        UnicodeString text = u"Выделение с именем \"" + name + u"\" уже существует, введите другое название!";
        MessageBoxW(nullptr, text.c_str(), Application->Title().c_str(), MB_OK);
    }
}

void TTriEditorFrame::SelectionDeleteBtnClick(TObject*)
{
    XMesh* mesh = Mesh();
    int index = SelectionList->ItemIndex();
    if (!mesh || index < 0)
        return;
    mesh->DeleteSelection(ToXString(SelectionList->Items()->Strings(index)));
    RefreshSelections();
}

void TTriEditorFrame::SelectionListDblClick(TObject*)
{
    int index = SelectionList->ItemIndex();
    if (index < 0)
        return;
    XString name = ToXString(SelectionList->Items()->Strings(index));
    SelectionChange(u"Выбор сохраненного выделения", [&](XMesh& mesh) { mesh.ApplySelection(name); });
}

// ---- tools --------------------------------------------------------------------------------------------

void TTriEditorFrame::SpeedButton4Click(TObject*)
{
    if (!Mesh() || !m_Scene)
        return;
    XTriMesh* object = m_TriEditor->GetMesh();
    XMeshNode* node = m_TriEditor->GetNode();
    XView* view = m_Scene->GetView();
    XViewport* viewport = view ? view->GetActiveViewport() : nullptr;
    XMesh* modified = object->GetMesh(0, viewport, node);
    auto* copy = dynamic_cast<XTriMesh*>(m_Scene->CreateObject(XString(u"XTriMesh"), nullptr, nullptr));
    if (!modified || !copy)
        return;
    // The copy's vertices are in the mesh's own space: its node takes the matrix that places that
    // space (the node's world with its mesh offset), so the part stays where it was.
    XMatrix placing;
    node->GetMeshMatrix(0, placing);
    if (modified->GetSelectionLevel() != XMesh::FaceLevel)
        modified->CopySelectionTo(*copy->GetMesh());
    else
    {
        // Picked as faces: the copy is those faces and their corners, whatever vertex bits remain.
        XMesh part;
        part = *modified;
        part.SelectVerticesOfSelectedFaces();
        XBitArray unselected = part.GetFaceSelection();
        unselected.Invert();
        part.DeleteFaces(unselected);
        part.CopySelectionTo(*copy->GetMesh());
    }
    m_Scene->AttachObject(copy);
    if (XMeshNode* created = m_Scene->CreateNode(copy, nullptr, nullptr))
        created->SetWorldMatrix(0, placing);
}

void TTriEditorFrame::SpeedButton5Click(TObject*)
{
    XMesh* mesh = Mesh();
    if (!mesh)
        return;
    XMeshNode* node = m_TriEditor->GetNode();
    // The mesh offset and the local matrix go into the vertices: what places them afterwards is
    // the parent's world alone, so M is the mesh matrix without the parent's part.
    XMatrix meshMatrix, parentInverse;
    node->GetMeshMatrix(0, meshMatrix);
    node->GetParentMatrixInverse(0, parentInverse);
    mesh->Transform(meshMatrix * parentInverse);
    m_TriEditor->GetMesh()->MeshInvalidate();
    node->ResetMeshTransform(true, true, true);
    node->ResetMatrix();
}

// ---- information page -----------------------------------------------------------------------------

void TTriEditorFrame::InfoActiveCheckClick(TObject*)
{
    InfoTimer->SetEnabled(InfoActiveCheck->Checked());
}

void TTriEditorFrame::InfoTimerTimer(TObject*)
{
    InfoMemo->Clear();
    XMesh* mesh = Mesh();
    if (!mesh || PageControl->ActivePage() != InfoTab)
        return;
    const XBitArray& bits = mesh->GetVertexSelection();
    if (bits.Count(true) >= 10)
        return;
    TStringList* lines = InfoMemo->Lines();
    lines->BeginUpdate();
    ForSelected(bits, mesh->GetVertexCount(), [&](uint32_t i) {
        const XVertex& p = mesh->GetVertices()[i];
        lines->Add(u"Vertex index: " + IntToStr(i));
        lines->Add(u"Position: ( " + Number(p.x) + u", " + Number(p.y) + u", " + Number(p.z));
        if (!mesh->GetWeightsEnabled() || i >= mesh->GetWeightCount())
            return;
        const XVertexWeight& w = mesh->GetWeights()[i];
        lines->Add(u"Weights: w1 = " + Number(w.weight[0]) + u", w2 = " + Number(w.weight[1]) + u", w3 = " +
                   Number(w.weight[2]) + u", w4 = " + Number(1 - (w.weight[0] + w.weight[1] + w.weight[2])));
        lines->Add(u"Indexes: b1 = " + IntToStr(w.index[0]) + u", b2 = " + IntToStr(w.index[1]) + u", b3 = " +
                   IntToStr(w.index[2]) + u", b4 = " + IntToStr(w.index[3]));
        lines->Add(UnicodeString(std::u16string(31, u'=')));
    });
    lines->EndUpdate();
}
