#include "support/reference_walks.h"

#include "bits/classifier.h"
#include "signal/normaliser.h"

std::vector<uint8_t> threshold_reference(std::vector<uint8_t> block, int32_t threshold) {
    for (uint8_t& v : block) v = sample_level(v) >= threshold ? sample_on : sample_off;
    return block;
}

void fill_gaps_reference(std::vector<uint8_t>& block, int32_t longest_pause) {
    const int64_t q = longest_pause / 4;
    int64_t r = 0;
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (block[i] == 0) {
            ++r;
            continue;
        }
        if (r >= 1 && r < q && static_cast<int64_t>(i) > q) {
            for (int64_t k = 1; k <= r; ++k) block[i - k] = sample_on;
        }
        r = 0;
    }
}

std::string classify_reference(const std::vector<uint8_t>& war, const PulseCalibration& cal,
                               int32_t tolerance_divisor, std::vector<int64_t>& unknown) {
    const BitRanges ranges = tolerance_ranges(cal.zero_length, cal.one_length, tolerance_divisor);
    const int64_t shortest_pause = shortest_pause_of(cal.longest_pause);
    int64_t r = 0, m = 0, position = 0;
    bool started = false;
    std::string bits;
    for (uint8_t byte : war) {
        if (byte != 0 && r >= shortest_pause) {
            if (started) {
                const char c = classify_length(m - r + cal.longest_pause, ranges);
                if (c == '?') unknown.push_back(position);
                bits += c;
            }
            m = 0;
        }
        if (byte != 0) {
            started = true;
            r = 0;
        } else {
            ++r;
        }
        ++m;
        ++position;
    }
    return bits;
}

std::string bits_of(const std::vector<uint8_t>& bytes) {
    std::string bits;
    for (uint8_t b : bytes) {
        for (int i = 7; i >= 0; --i) bits += (b >> i) & 1 ? '1' : '0';
    }
    return bits;
}

std::string bit_file_text(const std::string& bits) {
    std::string text;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (i > 0 && i % 64 == 0) text += "\r\n";
        text += bits[i];
    }
    return text;
}
