// Reference images of rendering tests: checked-in PNG files under tests/<suite>/data/, read with
// libpng and compared channel by channel within a tolerance.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

// Whether no channel of two 0x..RRGGBB colours differs by more than `tolerance`.
inline bool ColoursNear(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

namespace ReferenceImage
{
// The path of `relative` (e.g. "tests/Platform/data/lit_cube.png") in the source tree, found by
// walking up from the test program's folder; empty when there is none.
std::string SourcePath(const std::string& relative);

// width x height 0x00RRGGBB pixels of a PNG file; false when it cannot be read.
bool ReadPng(const std::string& path, std::vector<uint32_t>& pixels, uint32_t& width, uint32_t& height);

// Compares pixels (0x..RRGGBB, alpha ignored) with the reference image. With KELVANE_WRITE_REFERENCE=1
// in the environment it writes the image instead (to be inspected before it is checked in).
// Returns an empty string on a match, otherwise what differs.
std::string Compare(const std::string& relative, const std::vector<uint32_t>& pixels, uint32_t width,
                    uint32_t height, int tolerance);
} // namespace ReferenceImage
