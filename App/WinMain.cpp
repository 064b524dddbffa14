#include "App/WinMain.h"

#include "App/PatcherUnit.h"
#include "App/SessionEnd.h"
#include "Platform/Vcl/Forms.h"

int RunApplication(const std::function<void()>& createForms)
{
    try
    {
        Application->Initialize();
        Application->MainFormOnTaskBar = true;
        createForms();
        Application->Run();
    }
    catch (const Exception& e)
    {
        Application->ShowException(e);
    }
    catch (...)
    {
        Application->ShowException(Exception(u""));
    }
    return 0;
}

int WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // A termination signal or a lost display closes the dialog as Exit would, once no save runs.
    SessionEnd::TSessionWatch sessionWatch;
    int result = RunApplication([] { Application->CreateForm(PatcherForm); });
    // The form goes while the log, the settings and the display are still there.
    FreeAndNil(PatcherForm);
    return result;
}
