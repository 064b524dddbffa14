// How the program ends when its session does rather than by its Exit button: a termination
// signal (a logout, `kill`, Ctrl+C in a terminal) or the loss of the display.
//
// Neither ends the process on the spot, and the archive is never left half written: after a lost
// display a save under way runs to its end first (it needs no display); a signal abandons it at
// its next step (the patch sees to that). Then open boxes and dialogs close as Cancel closes them
// and the main form closes as Exit closes it (its settings are written).
#pragma once

#include "Platform/Vcl/ExtCtrls.h"

namespace SessionEnd
{
// SIGTERM, SIGINT and SIGHUP from now on only note that they came (interrupted system calls
// are restarted, so a save in progress is not disturbed); SIGPIPE is ignored.
void InstallSignalHandlers();
// The first termination signal received since the handlers were installed; 0 for none.
int PendingSignal();
// Forgets a received signal (for tests).
void ClearPendingSignal();

// Closes the program once a termination signal came or the display is lost: every tick, modal
// forms showing are closed first; once none is left, the main form is asked to close, again each
// tick while it refuses (a save runs).
class TSessionWatch
{
public:
    TSessionWatch();
    ~TSessionWatch();
    TSessionWatch(const TSessionWatch&) = delete;
    TSessionWatch& operator=(const TSessionWatch&) = delete;

    // Checks now, as a tick does.
    void Check();

private:
    void Tick(TObject* Sender);
    TTimer* m_Timer;
};
} // namespace SessionEnd
