#include "App/SessionEnd.h"

#include "Platform/Vcl/Forms.h"
#include "Platform/X11/X11Presenter.h"

#include <csignal>

namespace SessionEnd
{
namespace
{
volatile std::sig_atomic_t g_signal = 0;

void Note(int signal)
{
    if (g_signal == 0)
        g_signal = signal;
}

constexpr UINT kTickInterval = 100;
} // namespace

void InstallSignalHandlers()
{
    struct sigaction action = {};
    action.sa_handler = Note;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    // A write to the display's broken connection must fail as a write, not end the process: the
    // loss is then noticed and handled as such.
    std::signal(SIGPIPE, SIG_IGN);
}

int PendingSignal()
{
    return g_signal;
}

void ClearPendingSignal()
{
    g_signal = 0;
}

TSessionWatch::TSessionWatch() : m_Timer(new TTimer(nullptr))
{
    m_Timer->SetInterval(kTickInterval);
    m_Timer->OnTimer = MakeClosure(this, &TSessionWatch::Tick);
    m_Timer->SetEnabled(true);
}

TSessionWatch::~TSessionWatch()
{
    delete m_Timer;
}

void TSessionWatch::Tick(TObject*)
{
    Check();
}

void TSessionWatch::Check()
{
    if (PendingSignal() == 0 && !X11::DisplayLost())
        return;
    // Innermost first; a form that closes may free others, so the list is walked anew each time.
    bool modal = false;
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
    {
        TCustomForm* form = Screen->Forms(i);
        if (form->Modal() && form->Visible())
        {
            form->Close();
            modal = true;
        }
    }
    if (modal)
        return;
    if (TCustomForm* main = Application->MainForm())
        main->Close();
}
} // namespace SessionEnd
