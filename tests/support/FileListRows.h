// Where a test points at the rows of a file list.
#pragma once

#include "Controls/ShellUtils.h"
#include "Controls/XFileListView.h"
#include "Platform/Win32/Windows.h"

#include <cstring>

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

// A file list as another window of this program hands it over: a data object with the list and,
// for the clipboard, the effect it asks for.
inline ShellUtils::XDataObject* FileListDataObject(const std::string& path, DWORD effect = 0)
{
    std::u16string names = Platform::WideName(path) + u'\0' + u'\0';
    auto* data = new ShellUtils::XDataObject;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalAlloc(GHND, 20 + names.size() * 2);
    auto* p = static_cast<BYTE*>(GlobalLock(medium.hGlobal));
    p[0] = 20;
    p[16] = 1; // wide
    std::memcpy(p + 20, names.data(), names.size() * 2);
    GlobalUnlock(medium.hGlobal);
    data->SetData(&format, &medium, TRUE);
    if (effect)
    {
        format.cfFormat = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(u"Preferred DropEffect"));
        medium.hGlobal = GlobalAlloc(GMEM_ZEROINIT, sizeof(DWORD));
        std::memcpy(GlobalLock(medium.hGlobal), &effect, sizeof effect);
        GlobalUnlock(medium.hGlobal);
        data->SetData(&format, &medium, TRUE);
    }
    return data;
}
