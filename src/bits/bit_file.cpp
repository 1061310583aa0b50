#include "bits/bit_file.h"

#include <algorithm>
#include <vector>

#include "bits/classifier.h"

namespace {
constexpr std::size_t war_block = 1 << 20;
}

BitFileResult make_bit_file(const std::string& war_name, const std::string& bit_name,
                            const PulseCalibration& calibration, int32_t tolerance_divisor,
                            const UnknownBitReport& report) {
    BitFileResult result;
    BitClassifier classifier = make_classifier(calibration, tolerance_divisor);
    BitLine line;
    std::string bits;
    std::string text;
    std::vector<int64_t> unknown;
    result.status = transform_file(
        war_name, bit_name, war_block, [&](uint8_t* block, std::size_t size, OutputFile& out) {
            bits.clear();
            unknown.clear();
            classify_block(classifier, block, size, bits, unknown);
            for (int64_t position : unknown) report(position);
            result.bits += static_cast<int64_t>(bits.size());
            result.unknown += static_cast<int64_t>(unknown.size());
            text.clear();
            for (char bit : bits) put_bit_char(line, text, bit);
            write_output(out, text.data(), text.size());
        });
    return result;
}

BitFileResult make_bit_file_from_record(const BitRecord& record, const std::string& bit_name,
                                        const UnknownBitReport& report) {
    BitFileResult result;
    OutputFile out;
    if (!open_output(out, bit_name)) {
        result.status = StageStatus::cannot_create;
        return result;
    }
    for (int64_t position : record.unknown) report(position);
    result.bits = record.bits;
    result.unknown = static_cast<int64_t>(record.unknown.size());
    std::string text;
    constexpr int64_t chunk = 1024 * bit_line_length;
    for (int64_t first = 0; first < record.bits; first += chunk) {
        text.clear();
        recorded_text(record, first, std::min(chunk, record.bits - first), text);
        write_output(out, text.data(), text.size());
    }
    result.status = commit_output(out) ? StageStatus::done : StageStatus::cannot_write;
    return result;
}
