#include "sound/frame_reader.h"

#include <algorithm>

namespace {

// The largest magnitude a decoded value keeps: far beyond full scale, but finite.
constexpr float value_limit = 8.0f;

// Raw bytes read at a time.
constexpr std::size_t raw_chunk = 16384;

void sanitise(float* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const float v = values[i];
        float held = v < -value_limit ? -value_limit : v;
        held = held > value_limit ? value_limit : held;
        values[i] = v == v ? held : 0.0f; // NaN is the one value unequal to itself
    }
}

} // namespace

int frame_channels(const SampleSource& source) {
    return source.sound != nullptr ? source.channels : 1;
}

void raw_to_float(const uint8_t* raw, std::size_t count, float* out) {
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<float>(static_cast<int>(raw[i]) - 128) * (1.0f / 128.0f);
    }
}

bool read_frames(SampleSource& source, float* frames, std::size_t capacity, std::size_t& count) {
    count = 0;
    if (source.raw != nullptr) {
        uint8_t chunk[raw_chunk];
        while (count < capacity) {
            const std::size_t wanted = std::min(raw_chunk, capacity - count);
            const std::size_t got = std::fread(chunk, 1, wanted, source.raw);
            raw_to_float(chunk, got, frames + count);
            count += got;
            if (got < wanted) break;
        }
        return !std::ferror(source.raw);
    }
    if (source.sound == nullptr) return false;

    const auto channels = static_cast<std::size_t>(source.channels);
    // Only floating-point data can hold NaN or values far beyond full scale.
    SF_INFO info{};
    sf_command(source.sound, SFC_GET_CURRENT_SF_INFO, &info, sizeof info);
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    const bool floating = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    while (count < capacity) {
        const auto wanted = static_cast<sf_count_t>(capacity - count);
        const sf_count_t got = sf_readf_float(source.sound, frames + count * channels, wanted);
        // A short read is the end of the file or a decoding error; the error is only known
        // until the next call.
        if (got < wanted && sf_error(source.sound) != SF_ERR_NO_ERROR) return false;
        if (got <= 0) break;
        if (floating) sanitise(frames + count * channels, static_cast<std::size_t>(got) * channels);
        count += static_cast<std::size_t>(got);
        source.frames_read += got;
    }
    // The end came early: the file holds fewer frames than its header declares.
    return count == capacity || source.frames_declared == SF_COUNT_MAX ||
           source.frames_read >= source.frames_declared;
}
