// Modifier keys and held buttons as the in-viewport UI and the editors' key path see them.
#pragma once

#include <cstdint>

namespace Gx::Ui
{
using GxShiftState = uint8_t;

constexpr GxShiftState gssLeft = 0x01;
constexpr GxShiftState gssMiddle = 0x02;
constexpr GxShiftState gssRight = 0x04;
constexpr GxShiftState gssShift = 0x08;
constexpr GxShiftState gssCtrl = 0x10;
constexpr GxShiftState gssAlt = 0x20;
} // namespace Gx::Ui
