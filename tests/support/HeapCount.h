// The bytes a test program holds through operator new, and the most it held since a point: how
// much memory an operation takes, counted rather than timed or read from the process's resident
// size (which the sanitizers' quarantine and a busy machine blur). A program that uses these
// functions counts every new and delete of its own (this unit replaces the global operators).
#pragma once

#include <cstddef>

namespace HeapCount
{
size_t Current();
// The most held since the last ResetPeak (or since start).
size_t Peak();
void ResetPeak();
} // namespace HeapCount
