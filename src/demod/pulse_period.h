// The pulse period of a stretch of signal, found without knowing the tape's speed.
//
// The autocorrelation of the signal (its slow part removed) over lags from the shortest to the
// longest period allowed. A burst of square pulses correlates best with itself one period
// later, less two periods later (fewer pulses overlap), and negatively half a period later;
// noise correlates with nothing. The period is the strongest peak, or a shorter lag that
// nearly matches it (its multiple would otherwise win in a long burst), refined between
// lags by a parabola, or a half, third or quarter of it if that correlates nearly as well. Short periods (a few
// samples: low rates, fast tapes) are searched in quarter samples.
#pragma once

#include <cstddef>

struct PeriodEstimate {
    double period = 0.0; // in samples; 0 when nothing periodic was found
    float strength = 0.f; // the correlation at the period over the correlation at lag 0
};

/// The pulse period of `y[0..count)`, whose mean and slow drift are already removed, between
/// `min_lag` and `max_lag` samples.
PeriodEstimate estimate_pulse_period(const float* y, std::size_t count, int min_lag, int max_lag);
