// The list window of the combo box that is dropped down now, found among the screen's forms.
#pragma once

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

// Null when no combo box's list is showing.
inline TComboListForm* ShownComboList()
{
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (auto* list = dynamic_cast<TComboListForm*>(Screen->Forms(i)); list && list->Visible())
            return list;
    return nullptr;
}
