#pragma once

// What the frames can carry, named once.

// A one-byte value: a table cell, a KGB, an automatic calibration step.
inline constexpr int kCellMax = 255;
// A page box whose conversion is a 16-bit signed number.
inline constexpr int kPageValueMax = 32767;
// A parameter: two bytes.
inline constexpr int kParameterMax = 65535;
