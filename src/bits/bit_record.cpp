#include "bits/bit_record.h"

#include <string>

#include "signal/normaliser.h"

namespace {

void give_up(BitRecord& record) {
    record.following = false;
    record.packed = {};
    record.unknown = {};
}

void keep(BitRecord& record, const std::string& bits, const std::vector<int64_t>& unknown) {
    if (record.bits + static_cast<int64_t>(bits.size()) > record_max_bits ||
        record.unknown.size() + unknown.size() > record_max_unknown) {
        give_up(record);
        return;
    }
    for (char bit : bits) {
        const std::size_t byte = static_cast<std::size_t>(record.bits / 4);
        if (byte == record.packed.size()) record.packed.push_back(0);
        const unsigned code = bit == '0' ? 0 : bit == '1' ? 1 : 2;
        record.packed[byte] = static_cast<uint8_t>(record.packed[byte] | code << (2 * (record.bits % 4)));
        ++record.bits;
    }
    record.unknown.insert(record.unknown.end(), unknown.begin(), unknown.end());
}

} // namespace

void record_block(BitRecord& record, const uint8_t* block, std::size_t size,
                  const PulseCalibration& calibration) {
    if (!record.following) return;
    if (!record.started) {
        // Classifying starts at the war file's first byte, with the lengths the whole bit step
        // will use: those known after the first block never change afterwards.
        if (calibration.longest_pause == 0 || calibration.zero_length == 0 ||
            calibration.one_length == 0) {
            give_up(record);
            return;
        }
        record.classifier = make_classifier(calibration, record.tolerance_divisor);
        record.started = true;
    }
    std::string bits;
    std::vector<int64_t> unknown;
    classify_block(record.classifier, block, size, bits, unknown);
    keep(record, bits, unknown);
}

void record_end(BitRecord& record) {
    if (!record.following || !record.started) return;
    std::string bits;
    std::vector<int64_t> unknown;
    classify_block(record.classifier, &war_end_marker, 1, bits, unknown);
    keep(record, bits, unknown);
}
