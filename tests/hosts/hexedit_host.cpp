// A window with one hex editor, for trying the editor by hand and for the real-window tests:
//   hexedit_host FILE [FONT [SIZE [WIDTH HEIGHT]]]
// FONT is the editor's face (DejaVu Sans Mono), SIZE its points (10), WIDTH x HEIGHT the window's
// client size (760 x 400).
// The file is loaded at start; Ctrl+S saves it back. A close with unsaved edits asks whether to
// save them first.
#include "Controls/XHexEdit.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/X11/X11Presenter.h"
#include "tests/hosts/HostArguments.h"

#include <cstdio>
#include <string>

namespace
{
TForm* Form = nullptr;
XHexEdit* Editor = nullptr;
UnicodeString Given; // the file as the command line names it

// Saves back to the loaded file; false when that failed (the editor has said so in a box and
// keeps the edits).
bool Save()
{
    Editor->SaveToFile(Editor->FileName);
    return !Editor->Modified;
}

void SaveOnCtrlS(TObject*, WORD& key, TShiftState shift)
{
    if (key == 'S' && shift.Contains(ssCtrl))
    {
        Save();
        key = 0;
    }
}

// Every close of the window (the window manager's close button, Alt+F4) comes here: unsaved edits
// are saved, dropped or kept with the window open, as the user answers.
void AskBeforeClose(TObject*, TCloseAction& action)
{
    if (!Editor->Modified)
        return;
    const UnicodeString question = u"Save changes to " + Given + u"?";
    switch (MessageBoxW(Form->Handle(), question.c_str(), Form->Caption().c_str(), MB_YESNOCANCEL | MB_ICONQUESTION))
    {
    case IDYES:
        if (!Save())
            action = caNone;
        return;
    case IDNO:
        return;
    default:
        action = caNone;
        return;
    }
}
} // namespace

int main(int argc, char** argv)
{
    CheckArgumentCount("usage: hexedit_host FILE [FONT [SIZE [WIDTH HEIGHT]]]", argc, {1, 2, 3, 5});
    const int size = NumberArgument("hexedit_host", argc, argv, 3, 10, 1, 200);
    const int width = NumberArgument("hexedit_host", argc, argv, 4, 760, 64, 4096);
    const int height = NumberArgument("hexedit_host", argc, argv, 5, 400, 64, 4096);
    if (!X11::DisplayForProgram("hexedit_host"))
        return 1;
    Application->Initialize();
    Application->CreateForm(Form);
    Form->SetCaption(u"Hex editor");
    Form->SetClientWidth(width);
    Form->SetClientHeight(height);
    Form->OnClose = TCloseEvent(&AskBeforeClose);
    Editor = new XHexEdit(Form);
    Editor->Font()->SetName(UnicodeString(Platform::FromUtf8(argc > 2 ? argv[2] : "DejaVu Sans Mono")));
    Editor->Font()->SetSize(size);
    Editor->SetParent(Form);
    Editor->SetAlign(alClient);
    Editor->OnKeyDown = TKeyEvent(&SaveOnCtrlS);
    Given = UnicodeString(Platform::FromUtf8(argv[1]));
    Editor->LoadFromFile(Given);
    Form->Show();
    Editor->SetFocus();
    Application->Run();
    return 0;
}
