// Where a test points at the rows of a file list.
#pragma once

#include "Controls/XFileListView.h"

#include <string>

// A point inside the label of the row showing `name`, in the list's client coordinates; (-1, -1)
// when no row shows it.
inline TPoint RowLabelPoint(XFileListView& list, const std::u16string& name)
{
    for (int i = 0; i < list.RecordCount(); ++i)
        if (name == list.Record(i)->Name)
        {
            const TRect r = list.Items()->Item(i)->DisplayRect(drLabel);
            return TPoint(r.left + 6, (r.top + r.bottom) / 2);
        }
    return TPoint(-1, -1);
}
