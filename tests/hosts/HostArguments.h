// The hosts' command lines: a numeric argument is a whole number in a range or the program ends
// with its usage status.
#pragma once

#include <cstdio>
#include <cstdlib>

// The argument at `index` as a number from `low` to `high`, or `fallback` when there is none; a
// word that is no such number is said in one line and ends `program` with status 2.
inline int NumberArgument(const char* program, int argc, char** argv, int index, int fallback, int low, int high)
{
    if (index >= argc)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(argv[index], &end, 10);
    if (end == argv[index] || *end || value < low || value > high)
    {
        std::fprintf(stderr, "%s: '%s' is not a number from %d to %d\n", program, argv[index], low, high);
        std::exit(2);
    }
    return static_cast<int>(value);
}
