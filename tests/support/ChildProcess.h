// Runs part of a test in a forked child, for what must not touch the test process itself: lower
// resource limits, another user's permissions, or several processes at work on the same files; and
// runs programs of the tree as a user starts them, reading what they say.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Runs `work` in a child and returns whether it returned true (false also when it died).
bool InChildProcess(const std::function<bool()>& work);
// Runs each work in a child of its own, all at once: no child starts its work before every child
// exists, so that they overlap as two copies of the program started together do. Returns, in the
// same order, whether each returned true (false also when it died).
std::vector<bool> InChildProcessesTogether(const std::vector<std::function<bool()>>& works);
// In a child only: as root, takes the unprivileged user "nobody" (uid and gid 65534), so that file
// permissions bind as they bind every user but root (false when that is not possible). Any other
// user stays who it is: bound by them already, but still the owner of the files the test made.
bool BecomeUnprivileged();
// In a child only: no file may grow past `bytes` (writes past it fail as on a full disk). A later
// call may raise the limit again, as room comes back when a disk is cleaned up.
void LimitFileSize(unsigned long long bytes);
// In a child only: no more than `count` open descriptors.
void LimitOpenFiles(unsigned long long count);
// In a child only: its connections (sockets) die, as when the servers went away; the servers
// and the parent's ends stay.
void LoseConnections();
// Runs `program` with `args` in a child whose environment `setup` changes first, reading its
// standard error into `errors` until that closes (the program ended) or `bound` passes. Returns
// its exit status, or -1 when it was still running then (it is killed) or ended by a signal.
int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::function<void()>& setup,
               std::chrono::milliseconds bound, std::string& errors);
