#include "bits/bit_record.h"

#include <algorithm>
#include <array>

#include <cstring>
#include <string>

#include "bits/bit_file.h"
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
    // '0', '1' and '?' less '0' keep 0, 1 and 3 in their low two bits.
    std::size_t i = 0;
    while (i < bits.size() && record.bits % 4 != 0) {
        const auto code = static_cast<unsigned>(bits[i++] - '0') & 3;
        record.packed.back() = static_cast<uint8_t>(record.packed.back() | code << (2 * (record.bits % 4)));
        ++record.bits;
    }
    for (; i + 4 <= bits.size(); i += 4) {
        const auto* c = reinterpret_cast<const unsigned char*>(bits.data() + i);
        uint32_t four = c[0] | uint32_t{c[1]} << 8 | uint32_t{c[2]} << 16 | uint32_t{c[3]} << 24;
        four = (four - 0x30303030u) & 0x03030303u; // never borrows: every byte is '0' or above
        record.packed.push_back(static_cast<uint8_t>(four | four >> 6 | four >> 12 | four >> 18));
        record.bits += 4;
    }
    for (; i < bits.size(); ++i) {
        if (record.bits % 4 == 0) record.packed.push_back(0);
        const auto code = static_cast<unsigned>(bits[i] - '0') & 3;
        record.packed.back() = static_cast<uint8_t>(record.packed.back() | code << (2 * (record.bits % 4)));
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

void recorded_text(const BitRecord& record, int64_t first, int64_t count, std::string& out) {
    // The four characters of every packed byte.
    static const auto table = [] {
        std::array<std::array<char, 4>, 256> t{};
        const char chars[4] = {'0', '1', '?', '?'};
        for (int b = 0; b < 256; ++b) {
            for (int k = 0; k < 4; ++k) t[b][k] = chars[(b >> (2 * k)) & 3];
        }
        return t;
    }();
    const int64_t end = first + count;
    for (int64_t line = first; line < end; line += bit_line_length) {
        if (line > 0) out += "\r\n";
        const int64_t line_end = std::min(end, line + bit_line_length);
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(line_end - line));
        char* text = &out[at];
        for (int64_t i = line; i < line_end; i += 4) {
            const auto& four = table[record.packed[static_cast<std::size_t>(i / 4)]];
            const int64_t n = std::min<int64_t>(4, line_end - i);
            std::memcpy(text + (i - line), four.data(), static_cast<std::size_t>(n));
        }
    }
}
