#include "signal/calibration.h"

PeriodHistogram period_histogram(const uint8_t* block, uint32_t bread, int32_t nplat) {
    PeriodHistogram histogram{};
    const Window window = measurement_window(bread);

    // Start at the first bit start of the window: past the burst we may be in, then the pause.
    uint32_t i = window.first;
    while (i < window.end && block[i] != 0) ++i;
    while (i < window.end && block[i] == 0) ++i;

    int64_t r = 0;
    int64_t d = 0;
    for (; i < window.end; ++i) {
        if (block[i] != 0) {
            if (r >= nplat) {
                if (d < period_histogram_size) ++histogram[d];
                d = 0;
            }
            r = 0;
        } else {
            ++r;
        }
        ++d;
    }
    return histogram;
}

int32_t lowest_peak(const PeriodHistogram& histogram, int32_t start) {
    int32_t best = start;
    for (int32_t j = 0; j < period_histogram_size; ++j) {
        if (histogram[j] > histogram[best]) best = j;
        if (histogram[best] / 4 > histogram[j]) break;
    }
    return best;
}

int32_t highest_peak(const PeriodHistogram& histogram, int32_t start) {
    int32_t best = start;
    for (int32_t j = period_histogram_size - 1; j >= 0; --j) {
        if (histogram[j] > histogram[best]) best = j;
        if (histogram[best] / 4 > histogram[j]) break;
    }
    return best;
}

void calibrate_bit_lengths(const uint8_t* block, uint32_t bread, PulseCalibration& calibration) {
    const PeriodHistogram histogram = period_histogram(block, bread, nplat_of(calibration.nfill));
    calibration.n0 = lowest_peak(histogram, calibration.n0);
    calibration.n1 = highest_peak(histogram, calibration.n1);
}
