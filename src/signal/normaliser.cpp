#include "signal/normaliser.h"

#include <cstdio>
#include <cstring>

#include "signal/runs.h"

void threshold_block(uint8_t* block, std::size_t size, int32_t threshold) {
    if (size == 0) return; // an empty block may come without a buffer at all
    // The off samples form one band around the middle of the scale, [first_off, first_off +
    // off_count); a single unsigned compare per sample tells in from out.
    int first_off = 256;
    int off_count = 0;
    for (int v = 0; v < 256; ++v) {
        if (sample_level(static_cast<uint8_t>(v)) < threshold) {
            if (first_off == 256) first_off = v;
            ++off_count;
        }
    }
    if (off_count == 256) {
        std::memset(block, sample_off, size);
        return;
    }
    const uint8_t base = static_cast<uint8_t>(first_off);
    const uint8_t width = static_cast<uint8_t>(off_count);
    for (std::size_t i = 0; i < size; ++i) {
        block[i] = static_cast<uint8_t>(block[i] - base) < width ? sample_off : sample_on;
    }
}

int32_t measure_nfill(const uint8_t* block, uint32_t bread) {
    const Window window = measurement_window(bread);
    int32_t nfill = 0;
    int32_t r = 0;
    for (uint32_t i = window.first; i < window.end; ++i) {
        if (block[i] == 0) {
            ++r;
        } else {
            if (r > nfill) nfill = r;
            r = 0;
        }
    }
    return nfill;
}

void fill_gaps(uint8_t* block, std::size_t size, int32_t nfill) {
    const int64_t q = nfill / 4;
    // An off run at the very start is never filled: for it r equals the index of the on
    // sample that closes it, so r < q and i > q cannot both hold.
    std::size_t i = find_on(block, 0, size);
    while (i < size) {
        const std::size_t gap = find_off(block, i, size);
        i = find_on(block, gap, size);
        if (i == size) break; // a run still open at the end of the block stays
        const int64_t r = static_cast<int64_t>(i - gap);
        if (r < q && static_cast<int64_t>(i) > q) std::memset(block + gap, sample_on, i - gap);
    }
}

void normalise_block(uint8_t* block, uint32_t bread, const RunSettings& settings,
                     PulseCalibration& calibration, std::string& report) {
    threshold_block(block, bread, settings.threshold);

    if (calibration.nfill == 0) {
        calibration.nfill = measure_nfill(block, bread);
        if (settings.verbose) {
            char line[96];
            std::snprintf(line, sizeof line, "treshhold=%d bread=%u nfill=%d\n",
                          settings.threshold, bread, calibration.nfill);
            report += line;
        }
    }
    if (calibration.nfill != 0) fill_gaps(block, bread, calibration.nfill);
    if (calibration.nfill != 0 && (calibration.n0 == 0 || calibration.n1 == 0)) {
        calibrate_bit_lengths(block, bread, calibration, report);
    }
}
