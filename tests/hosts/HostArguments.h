// The hosts' command lines: a count of arguments the usage does not allow ends the program with its
// usage, a numeric argument is a whole number in a range; either failure ends it with status 2.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

// Unless the program was given one of `counts` arguments after its name, prints `usage` (the whole
// line) and ends it with status 2: a word too many is refused, not left unread.
inline void CheckArgumentCount(const char* usage, int argc, std::initializer_list<int> counts)
{
    if (std::find(counts.begin(), counts.end(), argc - 1) != counts.end())
        return;
    std::fprintf(stderr, "%s\n", usage);
    std::exit(2);
}

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
