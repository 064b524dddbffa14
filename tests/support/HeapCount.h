// The bytes a test program holds on the heap, and the most it held since a point: how
// much memory an operation takes, counted rather than timed or read from the process's resident
// size (which the sanitizers' quarantine and a busy machine blur). A program that uses these
// functions counts every block it takes and gives back, through the address sanitizer's
// allocator; a build without it counts nothing (`Counting` is false, and a test skips).
#pragma once

#include <cstddef>

namespace HeapCount
{
bool Counting();
size_t Current();
// The most held since the last ResetPeak (or since start).
size_t Peak();
void ResetPeak();
} // namespace HeapCount
