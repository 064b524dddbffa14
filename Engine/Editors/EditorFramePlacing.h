// Building the editor panels in code: each control owned by its frame, placed in its parent.
#pragma once

#include "Controls/XFloatEdit.h"
#include "Controls/XScroll.h"
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

#include <initializer_list>

namespace EditorFramePlacing
{
template <class T> T* Place(TFrame* owner, TWinControl* parent, int left, int top, int width, int height)
{
    T* control = new T(owner);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    return control;
}

inline TSpeedButton* PlaceButton(TFrame* owner, TWinControl* parent, int left, int top, int width,
                                 const char16_t* caption, int tag)
{
    auto* button = Place<TSpeedButton>(owner, parent, left, top, width, 22);
    button->SetCaption(caption);
    button->Tag = tag;
    return button;
}

// A value box of five decimals, reached with Tab; `bounds` holds typed values to [min, max],
// `step` is what the arrow keys and wheel add.
inline XFloatEdit* PlaceFloat(TFrame* owner, TWinControl* parent, int left, int top, int width, float min, float max,
                              bool bounds, float step)
{
    auto* edit = Place<XFloatEdit>(owner, parent, left, top, width, 21);
    edit->SetTabStop(true);
    edit->SetFractionalPartLength(5);
    edit->SetMinValue(min);
    edit->SetMaxValue(max);
    edit->SetUseBounds(bounds);
    edit->SetChangeValue(step);
    return edit;
}

// A collapsible panel stacked at the top of its parent, open.
inline XScroll* PlacePanel(TFrame* owner, TWinControl* parent, const char16_t* caption, int height)
{
    auto* panel = new XScroll(owner);
    panel->SetParent(parent);
    panel->SetAlign(alTop);
    panel->SetCaption(caption);
    panel->SetOpenHeight(height);
    panel->SetOpen(true);
    return panel;
}

inline TLabel* PlaceLabel(TFrame* owner, TWinControl* parent, int left, int top, const char16_t* caption)
{
    auto* label = new TLabel(owner);
    label->SetParent(parent);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetCaption(caption);
    return label;
}

// Uniform scale boxes: while `uniform` is checked, the value of the box that changed (or was
// left, `leaving`) goes into the other two; a box being typed in keeps its text unless it is left.
inline void SpreadScale(TObject* sender, TCheckBox* uniform, std::initializer_list<XFloatEdit*> edits, bool leaving)
{
    auto* from = dynamic_cast<XFloatEdit*>(sender);
    if (!from || !uniform->Checked())
        return;
    for (XFloatEdit* edit : edits)
        if (edit != from && (leaving || !edit->Focused()))
            edit->SetValue(from->Value());
}
} // namespace EditorFramePlacing
