#include "bits/classifier.h"

BitRanges tolerance_ranges(int32_t zero_length, int32_t one_length, int32_t tolerance_divisor) {
    const int64_t d = (int64_t{one_length} - zero_length) / tolerance_divisor;
    return {zero_length - d, zero_length + d, one_length - d, one_length + d};
}

BitClassifier make_classifier(const PulseCalibration& calibration, int32_t tolerance_divisor) {
    BitClassifier c;
    c.longest_pause = calibration.longest_pause;
    c.shortest_pause = shortest_pause_of(calibration.longest_pause);
    c.ranges = tolerance_ranges(calibration.zero_length, calibration.one_length, tolerance_divisor);
    return c;
}

void classify_block(BitClassifier& c, const uint8_t* data, std::size_t size, std::string& bits,
                    std::vector<int64_t>& unknown) {
    walk_bits(c, data, size, [&](const WalkedBit& b) {
        if (b.bit == '?') unknown.push_back(b.end);
        bits += b.bit;
    });
}
