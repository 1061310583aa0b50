#include "program/zx81_number.h"

#include <cmath>

bool encode_zx81_number(double value, Zx81Number& out, bool* carried) {
    out = {0, 0, 0, 0, 0};
    if (carried != nullptr) *carried = false;
    if (!std::isfinite(value)) return false;
    value = std::fabs(value);
    if (value == 0.0) return true;
    int exponent = 0;
    const double mantissa = std::frexp(value, &exponent); // in [0.5, 1)
    const double scaled = std::ldexp(mantissa, 32);
    uint64_t bits = static_cast<uint64_t>(std::floor(scaled));
    if (scaled - static_cast<double>(bits) >= 0.5) ++bits;
    if (bits == (uint64_t{1} << 32)) {
        bits >>= 1;
        ++exponent;
        if (carried != nullptr) *carried = true;
    }
    if (exponent < -128 || exponent > 127) return false;
    out[0] = static_cast<uint8_t>(exponent + 128);
    out[1] = static_cast<uint8_t>((bits >> 24) & 0x7F);
    out[2] = static_cast<uint8_t>(bits >> 16);
    out[3] = static_cast<uint8_t>(bits >> 8);
    out[4] = static_cast<uint8_t>(bits);
    return true;
}

double decode_zx81_number(const uint8_t* bytes) {
    if (bytes[0] == 0) return 0.0;
    const uint32_t mantissa = (uint32_t{bytes[1]} | 0x80u) << 24 | uint32_t{bytes[2]} << 16 |
                              uint32_t{bytes[3]} << 8 | uint32_t{bytes[4]};
    const double magnitude = std::ldexp(static_cast<double>(mantissa), bytes[0] - 128 - 32);
    return (bytes[1] & 0x80) != 0 ? -magnitude : magnitude;
}
