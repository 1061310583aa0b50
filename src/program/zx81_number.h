// The ZX81's five-byte floating-point form, stored after every number written in a line.
//
//   byte 0      exponent + 128 (0 means the value 0)
//   bytes 1-4   32-bit mantissa, most significant byte first, in [0.5, 1); its top bit, always
//               1 in the value, holds the sign instead (0 positive)
//
//   value = (mantissa | 0x80000000) / 2^32 * 2^(byte0 - 128)
#pragma once

#include <array>
#include <cstdint>

using Zx81Number = std::array<uint8_t, 5>;

/// The five bytes of |value| (the sign is a separate '-' in a line, so it is left out), the
/// mantissa rounded to nearest on its 32 bits (a half rounds up). Zero gives five zero bytes.
/// False when the value is not finite or its exponent lies outside -128..127. `carried` (when
/// given) is set when the rounding overflowed the mantissa and moved up the exponent.
bool encode_zx81_number(double value, Zx81Number& out, bool* carried = nullptr);

/// The value of five bytes (exponent byte 0 gives 0).
double decode_zx81_number(const uint8_t* bytes);
