#include "App/WinMain.h"

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
    // The main form, TPatcherForm, is created here once the class library's forms exist.
    return RunApplication([] {});
}
