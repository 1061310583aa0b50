#include "signal/calibration.h"

PeriodHistogram period_histogram(const uint8_t* block, uint32_t block_length,
                                 int32_t shortest_pause) {
    PeriodHistogram histogram{};
    const Window window = measurement_window(block_length);

    // Start at the first bit start of the window: past the burst we may be in, then the pause.
    uint32_t i = window.first;
    while (i < window.end && block[i] != 0) ++i;
    while (i < window.end && block[i] == 0) ++i;

    int64_t pause = 0;    // the current off run
    int64_t distance = 0; // samples since the last bit start
    for (; i < window.end; ++i) {
        if (block[i] != 0) {
            if (pause >= shortest_pause) {
                if (distance < period_histogram_size) ++histogram[distance];
                distance = 0;
            }
            pause = 0;
        } else {
            ++pause;
        }
        ++distance;
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

void calibrate_bit_lengths(const uint8_t* block, uint32_t block_length,
                           PulseCalibration& calibration) {
    const PeriodHistogram histogram =
        period_histogram(block, block_length, shortest_pause_of(calibration.longest_pause));
    calibration.zero_length = lowest_peak(histogram, calibration.zero_length);
    calibration.one_length = highest_peak(histogram, calibration.one_length);
}
