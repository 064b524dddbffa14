// A window with one hex editor, for trying the editor by hand and for the real-window tests:
//   hexedit_host FILE [FONT [SIZE]]
// The file is loaded at start; Ctrl+S saves it back.
#include "Controls/XHexEdit.h"
#include "Platform/Vcl/Forms.h"

#include <cstdio>
#include <string>

namespace
{
XHexEdit* Editor = nullptr;

void SaveOnCtrlS(TObject*, WORD& key, TShiftState shift)
{
    if (key == 'S' && shift.Contains(ssCtrl))
    {
        Editor->SaveToFile(Editor->FileName);
        key = 0;
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fputs("usage: hexedit_host FILE [FONT [SIZE]]\n", stderr);
        return 2;
    }
    Application->Initialize();
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetCaption(u"Hex editor");
    form->SetClientWidth(argc > 4 ? std::stoi(argv[4]) : 760);
    form->SetClientHeight(argc > 5 ? std::stoi(argv[5]) : 400);
    Editor = new XHexEdit(form);
    Editor->Font()->SetName(UnicodeString(Platform::FromUtf8(argc > 2 ? argv[2] : "DejaVu Sans Mono")));
    Editor->Font()->SetSize(argc > 3 ? std::stoi(argv[3]) : 10);
    Editor->SetParent(form);
    Editor->SetAlign(alClient);
    Editor->OnKeyDown = TKeyEvent(&SaveOnCtrlS);
    Editor->LoadFromFile(UnicodeString(Platform::FromUtf8(argv[1])));
    form->Show();
    Editor->SetFocus();
    Application->Run();
    return 0;
}
