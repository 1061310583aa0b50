#include "scope/bit_walk.h"

#include "signal/runs.h"

namespace {

// One on sample: a bit start when the pause before it is long enough.
inline void on_sample(BitClassifier& c, std::vector<WalkedBit>& bits) {
    if (c.r >= c.nplat) {
        if (c.started) {
            WalkedBit b;
            b.end = c.nsample;
            b.start = c.nsample - c.m;
            b.burst = c.m - c.r;
            b.length = b.burst + c.nfill;
            b.bit = classify_length(b.length, c.ranges);
            bits.push_back(b);
        }
        c.m = 0;
    }
    c.started = true;
    c.r = 0;
    ++c.m;
    ++c.nsample;
}

} // namespace

void walk_bits(BitClassifier& c, const uint8_t* data, std::size_t size,
               std::vector<WalkedBit>& bits) {
    std::size_t i = 0;
    while (i < size) {
        if (data[i] != 0) {
            on_sample(c, bits);
            // With nplat <= 0 every on sample is a bit start, so none may be skipped.
            const std::size_t off = c.nplat <= 0 ? i + 1 : find_off(data, i + 1, size);
            const auto burst = static_cast<int64_t>(off - i - 1);
            c.m += burst;
            c.nsample += burst;
            i = off;
        } else {
            const std::size_t on = find_on(data, i, size);
            const auto pause = static_cast<int64_t>(on - i);
            c.r += pause;
            c.m += pause;
            c.nsample += pause;
            i = on;
        }
    }
}
