// A window with one file list in report view, for the real-window tests of drags between
// programs:
//   filelist_host FOLDER CAPTION
#include "Controls/XFileListView.h"
#include "Platform/Vcl/Forms.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fputs("usage: filelist_host FOLDER CAPTION\n", stderr);
        return 2;
    }
    Application->Initialize();
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetCaption(UnicodeString(Platform::FromUtf8(argv[2])));
    form->SetClientWidth(480);
    form->SetClientHeight(240);
    auto* list = new XFileListView(form);
    list->SetParent(form);
    list->SetAlign(alClient);
    list->SetViewStyle(vsReport);
    list->SetPath(UnicodeString(Platform::WideName(argv[1]).c_str()));
    form->Show();
    Application->Run();
    return 0;
}
