// The angle of a point as a share of a full turn, quickly: the phase of a pulse train found
// from two responses a quarter period apart needs a few thousandths of a turn, not the last
// digit of atan2.
#pragma once

#include <cmath>

/// atan2(y, x) / (2 pi), in (-0.5, 0.5], to within 0.001 of a turn; 0 for the origin.
inline double turns(double y, double x) {
    const double ax = std::fabs(x), ay = std::fabs(y);
    if (ax == 0.0 && ay == 0.0) return 0.0;
    // atan of a ratio up to 1, by a rational fit (error below 0.0038 radians), in turns.
    const double z = ax >= ay ? ay / ax : ax / ay;
    const double inner = z * (0.125 + 0.0434 * (1.0 - z)); // (pi/4 z + 0.273 z (1 - z)) / 2 pi
    double t = ax >= ay ? inner : 0.25 - inner;
    if (x < 0.0) t = 0.5 - t;
    return y < 0.0 ? -t : t;
}
