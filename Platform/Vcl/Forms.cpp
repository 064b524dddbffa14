#include "Platform/Vcl/Forms.h"

namespace
{
TApplication TheApplication;
}

TApplication* Application = &TheApplication;

void TApplication::Run()
{
    Platform::DispatchPostedMessages();
}

void TApplication::ShowException(const Exception& e)
{
    MessageBoxW(nullptr, e.Message().c_str(), Vcl::ApplicationTitle().c_str(), MB_OK | MB_ICONERROR);
}
