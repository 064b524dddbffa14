// Connections of tests to a virtual X server.
#pragma once

#include <chrono>
#include <string>

struct _XDisplay;

// Opens the named display (DISPLAY's when the name is empty), trying again until it answers or the
// patience runs out: a server refuses connections for a moment while it resets after its last
// client left, and longer under load. Null when it never answered, at once when no display is
// named at all.
_XDisplay* ConnectToDisplay(const std::string& name = {},
                            std::chrono::milliseconds patience = std::chrono::seconds(30));
