// Reference images of rendering tests: checked-in PNG files under tests/<suite>/data/, read with
// libpng and compared channel by channel within a tolerance.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
