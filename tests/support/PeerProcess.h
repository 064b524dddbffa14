// Another program run by a test, whose standard output the test reads line by line while its own
// loop keeps running (the peer and the test may be waiting on each other).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

// How long a test waits for a peer's line, its end or its first answer: a peer may load a large
// file before it is ready or print its line only after a whole transfer, and does so slowly under
// the sanitizers on a busy machine. Only a peer that hangs reaches it; one that ends without its
// line ends the wait at once.
inline constexpr std::chrono::seconds PeerDeadline{120};
inline constexpr int PeerDeadlineMs = int(std::chrono::milliseconds(PeerDeadline).count());

class PeerProcess
{
public:
    // Called between looks at the peer: the test's own loop (pumping its events).
    using Pump = std::function<void()>;

    PeerProcess() = default;
    ~PeerProcess(); // ends the peer if it still runs
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool Start(const std::string& program, const std::vector<std::string>& args);
    // Starts the peer and reads its first line (what it says once it is ready, "ready" for the
    // serving modes); "(no answer)" when it did not start or said nothing within the time.
    std::string StartAndRead(const std::string& program, const std::vector<std::string>& args,
                             std::chrono::milliseconds timeout, const Pump& pump);
    // The next line the peer writes, within the time; false when none came (or the peer ended).
    bool ReadLine(std::string& line, std::chrono::milliseconds timeout, const Pump& pump);
    // The `count` lines that follow those beginning with `repeated` (a peer that says the same until
    // something changes), joined by " / ", within the time for all of them; one that did not come
    // reads "(no answer)".
    std::string LinesAfter(const std::string& repeated, int count, std::chrono::milliseconds timeout,
                           const Pump& pump);
    // Sends the peer a signal (SIGUSR1: the test's word to go on); false when it does not run.
    bool Signal(int signal);
    // Waits for the peer to end: its exit status, 128 + signal, or -1 after the timeout.
    int Wait(std::chrono::milliseconds timeout, const Pump& pump);
    void Kill();

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_status = -1;
    std::string m_pending;
};
