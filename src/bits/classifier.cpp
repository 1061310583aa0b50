#include "bits/classifier.h"

#include "signal/runs.h"

BitRanges tolerance_ranges(int32_t n0, int32_t n1, int32_t tolerance_divisor) {
    const int64_t d = (int64_t{n1} - n0) / tolerance_divisor;
    return {n0 - d, n0 + d, n1 - d, n1 + d};
}

BitClassifier make_classifier(const PulseCalibration& calibration, int32_t tolerance_divisor) {
    BitClassifier c;
    c.nfill = calibration.nfill;
    c.nplat = nplat_of(calibration.nfill);
    c.ranges = tolerance_ranges(calibration.n0, calibration.n1, tolerance_divisor);
    return c;
}

namespace {

// One on sample: a bit start when the pause before it is long enough.
inline void on_sample(BitClassifier& c, std::string& bits, std::vector<int64_t>& unknown) {
    if (c.r >= c.nplat) {
        if (c.started) {
            const char bit = classify_length(c.m - c.r + c.nfill, c.ranges);
            if (bit == '?') unknown.push_back(c.nsample);
            bits += bit;
        }
        c.m = 0;
    }
    c.started = true;
    c.r = 0;
    ++c.m;
    ++c.nsample;
}

} // namespace

void classify_block(BitClassifier& c, const uint8_t* data, std::size_t size, std::string& bits,
                    std::vector<int64_t>& unknown) {
    if (c.nplat <= 0) {
        // Every on sample is a bit start: no run can be skipped.
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] != 0) {
                on_sample(c, bits, unknown);
            } else {
                ++c.r;
                ++c.m;
                ++c.nsample;
            }
        }
        return;
    }
    classify_runs(c, data, size, bits, unknown);
}

void classify_runs(BitClassifier& c, const uint8_t* data, std::size_t size, std::string& bits,
                   std::vector<int64_t>& unknown) {
    // Only an on sample after an off one can be a bit start (nplat > 0), so the walk visits
    // the changes of each group of 64 samples, lowest bit first, and keeps positions instead
    // of counters: r and m follow from where the pause and the bit began.
    const int64_t first = c.nsample;
    uint64_t last_on = c.started && c.r == 0 ? 1 : 0;
    int64_t gap_start = first - c.r;  // where the current off run began
    int64_t bit_start = first - c.m;  // where the current bit began
    bool started = c.started;
    for (std::size_t base = 0; base < size; base += 64) {
        const std::size_t count = size - base < 64 ? size - base : 64;
        const uint64_t on = on_mask(data + base, count);
        uint64_t changes = change_mask(on, count, last_on);
        while (changes != 0) {
            const int pos = lowest_bit(changes);
            changes &= changes - 1;
            const int64_t i = first + static_cast<int64_t>(base) + pos;
            if (((on >> pos) & 1) == 0) {
                gap_start = i;
                continue;
            }
            const int64_t r = i - gap_start;
            if (r >= c.nplat) {
                if (started) {
                    const char bit = classify_length(i - bit_start - r + c.nfill, c.ranges);
                    if (bit == '?') unknown.push_back(i);
                    bits += bit;
                }
                bit_start = i;
            }
            started = true;
        }
    }
    const int64_t end = first + static_cast<int64_t>(size);
    c.r = last_on != 0 ? 0 : end - gap_start;
    c.m = end - bit_start;
    c.nsample = end;
    c.started = started;
}
