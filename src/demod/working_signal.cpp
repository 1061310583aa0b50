#include "demod/working_signal.h"

namespace {

// The input sample within the limits (NaN as the lower one), in working units. Written as two
// comparisons the compiler turns into vector min and max.
inline float clamped(float value, float scale) {
    const float low = -input_limit < value ? value : -input_limit;
    const float v = low < input_limit ? low : input_limit;
    return v * scale;
}

} // namespace

int decimation_factor(int rate) { return rate < 80000 ? 1 : rate / 40000; }

Decimator make_decimator(int factor) {
    Decimator d;
    d.factor = factor < 1 ? 1 : factor;
    d.scale = working_unit / static_cast<float>(d.factor);
    return d;
}

std::size_t decimate(Decimator& d, const float* in, std::size_t count, int32_t* out) {
    if (d.factor == 1) {
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = static_cast<int32_t>(clamped(in[i], d.scale));
        }
        return count;
    }
    std::size_t written = 0;
    std::size_t i = 0;
    // Complete the group left over from the last call, then whole groups, then keep the rest.
    while (d.filled > 0 && i < count) {
        d.partial += clamped(in[i++], d.scale);
        if (++d.filled == d.factor) {
            out[written++] = static_cast<int32_t>(d.partial);
            d.partial = 0.f;
            d.filled = 0;
        }
    }
    const auto factor = static_cast<std::size_t>(d.factor);
    for (; i + factor <= count; i += factor) {
        float sum = 0.f;
        for (std::size_t j = 0; j < factor; ++j) sum += clamped(in[i + j], d.scale);
        out[written++] = static_cast<int32_t>(sum);
    }
    for (; i < count; ++i) {
        d.partial += clamped(in[i], d.scale);
        ++d.filled;
    }
    return written;
}
