// The program's entry. Static objects of every unit (the patch-instruction table among them) are
// built before main runs; the log and then the settings come to life after them, so that the
// first log entry of a run follows every unit initialiser, and go away in reverse order: the
// settings are saved while the log is still open.
#include "App/AppConfig.h"
#include "App/AppLogger.h"
#include "App/SessionEnd.h"
#include "App/WinMain.h"
#include "Gx/GxD3DX.h"
#include "Platform/Win32/Windows.h"
#include "Platform/X11/X11Presenter.h"

#include <string>

// The window is shown in its default state.
static constexpr int ShowDefault = 10;

int main(int argc, char** argv)
{
    // The program is a window: without a display there is nothing it could do.
    if (!X11::DisplayForProgram("Kelvane"))
        return 1;

    // The D3DX binding runs among the units' initialisers, before this; naming it here is what
    // links its unit into the program.
    [[maybe_unused]] const void* volatile binding = &Gx::D3DXLoader;

    // The command line as the platform hands it to WinMain: the arguments after the program name.
    std::string commandLine;
    for (int i = 1; i < argc; ++i)
    {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }

    // From here a logout, kill or Ctrl+C abandons a save under way and closes the dialog as Exit does;
    // the log says why and the status is 128 + the signal, as a shell reports a signalled program.
    SessionEnd::InstallSignalHandlers();

    int result;
    {
        AppLogger logger;
        TheAppLogger = &logger;
        {
            AppConfig config;
            TheAppConfig = &config;
            result = WinMain(nullptr, nullptr, commandLine.data(), ShowDefault);
            if (X11::DisplayLost())
            {
                logger.NewEntry() << "The display was lost: the program ends.";
                result = 1;
            }
            else if (int signal = SessionEnd::PendingSignal())
            {
                logger.NewEntry() << "Signal " << signal << " received: the program ends.";
                result = 128 + signal;
            }
            TheAppConfig = nullptr;
        } // saves <program>.xml
        TheAppLogger = nullptr;
    } // closes the log
    return result;
}
