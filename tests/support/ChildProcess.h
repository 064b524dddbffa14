// Runs part of a test in a forked child, for what must not touch the test process itself: lower
// resource limits, another user's permissions.
#pragma once

#include <functional>

// Runs `work` in a child and returns whether it returned true (false also when it died).
bool InChildProcess(const std::function<bool()>& work);
// In a child only: takes the unprivileged user "nobody" (uid and gid 65534), so that file
// permissions bind as they bind every user but root. False when that is not possible.
bool BecomeUnprivileged();
// In a child only: no file may grow past `bytes` (writes past it fail as on a full disk).
void LimitFileSize(unsigned long long bytes);
// In a child only: no more than `count` open descriptors.
void LimitOpenFiles(unsigned long long count);
