#include "bits/classifier.h"

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

void classify_block(BitClassifier& c, const uint8_t* data, std::size_t size, std::string& bits,
                    std::vector<int64_t>& unknown) {
    walk_bits(c, data, size, [&](const WalkedBit& b) {
        if (b.bit == '?') unknown.push_back(b.end);
        bits += b.bit;
    });
}
