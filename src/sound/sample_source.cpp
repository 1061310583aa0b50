#include "sound/sample_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "io/platform.h"
#include "sound/sound_signature.h"

namespace {

constexpr int max_channels = 1024;

// True when the data chunk of a WAV or AIFF file declares more frames than libsndfile found.
// An AIFF sound data chunk ("SSND") begins with 8 bytes of offset and block size.
bool truncated_data_chunk(SNDFILE* sound, const SF_INFO& info) {
    const int container = info.format & SF_FORMAT_TYPEMASK;
    const bool aiff = container == SF_FORMAT_AIFF;
    if (container != SF_FORMAT_WAV && container != SF_FORMAT_WAVEX && !aiff) return false;
    SF_CHUNK_INFO wanted{};
    std::memcpy(wanted.id, aiff ? "SSND" : "data", 4);
    wanted.id_size = 4;
    SF_CHUNK_ITERATOR* chunk = sf_get_chunk_iterator(sound, &wanted);
    if (chunk == nullptr) return false;
    SF_CHUNK_INFO found{};
    if (sf_get_chunk_size(chunk, &found) != SF_ERR_NO_ERROR) return false;
    const uint64_t header_bytes = aiff ? 8 : 0;
    if (found.datalen < header_bytes) return false;
    return data_chunk_truncated(found.datalen - header_bytes, encoded_sample_bytes(info.format),
                                info.channels, info.frames);
}

// libsndfile reads the stream the converter opened itself, through these calls: no name
// length limit of the library's applies, and nothing is guessed from the file's extension.
sf_count_t stream_length(void* user) {
    auto* stream = static_cast<std::FILE*>(user);
    const int64_t here = stream_position(stream);
    if (here < 0 || !seek_stream(stream, 0, SEEK_END)) return -1;
    const int64_t end = stream_position(stream);
    seek_stream(stream, here, SEEK_SET);
    return end;
}
sf_count_t stream_seek(sf_count_t offset, int whence, void* user) {
    auto* stream = static_cast<std::FILE*>(user);
    if (!seek_stream(stream, offset, whence)) return -1;
    return stream_position(stream);
}
sf_count_t stream_read(void* data, sf_count_t count, void* user) {
    return static_cast<sf_count_t>(
        std::fread(data, 1, static_cast<std::size_t>(count), static_cast<std::FILE*>(user)));
}
sf_count_t stream_write(const void*, sf_count_t, void*) { return 0; }
sf_count_t stream_tell(void* user) { return stream_position(static_cast<std::FILE*>(user)); }

// Whether libsndfile hands the decoding to a codec library that may write notes of its own
// to the error stream (the MPEG decoder does, on data it cannot make sense of).
bool decoded_by_codec(int format) {
    const int container = format & SF_FORMAT_TYPEMASK;
    return container == SF_FORMAT_MPEG || container == SF_FORMAT_OGG ||
           container == SF_FORMAT_FLAC;
}

// Opens the stream through libsndfile. `recognised` is false when the file should be read as
// raw instead; then the result is nullptr. Whatever a codec writes while it looks at the file
// is kept off the error stream.
SNDFILE* open_sound(std::FILE* stream, SF_INFO& info, bool& recognised) {
    static SF_VIRTUAL_IO calls{stream_length, stream_seek, stream_read, stream_write, stream_tell};
    info = SF_INFO{};
    silence_error_stream();
    SNDFILE* sound = sf_open_virtual(&calls, SFM_READ, &info, stream);
    const int error = sf_error(nullptr);
    restore_error_stream();
    if (sound == nullptr) {
        recognised = error != SF_ERR_UNRECOGNISED_FORMAT;
        return nullptr;
    }
    // A headerless file taken for raw data of a sound format.
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RAW) {
        sf_close(sound);
        recognised = false;
        return nullptr;
    }
    recognised = true;
    return sound;
}

// The first bytes of the stream begin with a sound file's signature; the stream is back at
// its start afterwards (false when it cannot be).
bool looks_like_sound(std::FILE* stream, bool& sound) {
    uint8_t head[sound_signature_bytes];
    const std::size_t got = std::fread(head, 1, sizeof head, stream);
    if (std::ferror(stream)) return false;
    sound = has_sound_signature(head, got);
    return seek_stream(stream, 0, SEEK_SET);
}

// Decodes up to `frames` frames into raw samples at `out`; the number decoded, or less than 0
// on an error. A codec's notes are kept off the error stream.
sf_count_t decode_frames(SampleSource& source, uint8_t* out, sf_count_t frames) {
    if (source.quiet) silence_error_stream();
    sf_count_t got = 0;
    const int channels = source.channels;
    switch (source.encoding) {
    case SampleEncoding::narrow_integer:
        got = sf_readf_short(source.sound, source.decoded_shorts.get(), frames);
        if (got > 0) {
            raw_samples_of_shorts(source.decoded_shorts.get(), static_cast<std::size_t>(got),
                                  channels, out);
        }
        break;
    case SampleEncoding::wide_integer:
        got = sf_readf_int(source.sound, source.decoded_ints.get(), frames);
        if (got > 0) {
            raw_samples_of_ints(source.decoded_ints.get(), static_cast<std::size_t>(got),
                                channels, out);
        }
        break;
    case SampleEncoding::single_float:
        got = sf_readf_float(source.sound, source.decoded_floats.get(), frames);
        if (got > 0) {
            raw_samples_of_floats(source.decoded_floats.get(), static_cast<std::size_t>(got),
                                  channels, out);
        }
        break;
    case SampleEncoding::other:
        got = sf_readf_double(source.sound, source.decoded.get(), frames);
        if (got > 0) {
            raw_samples_of_doubles(source.decoded.get(), static_cast<std::size_t>(got), channels,
                                   out);
        }
        break;
    }
    if (source.quiet) restore_error_stream();
    return got;
}

// `sum` divided by `divisor` (above 0), rounded down.
inline int64_t floor_divide(int64_t sum, int64_t divisor) {
    const int64_t q = sum / divisor;
    return q * divisor > sum ? q - 1 : q;
}

} // namespace

SourceOpen open_sample_source(SampleSource& source, const std::string& name) {
    close_sample_source(source);
    std::FILE* stream = std::fopen(name.c_str(), "rb");
    if (stream == nullptr) return SourceOpen::unreadable;
    // Only a regular file is offered to libsndfile: a guess must not consume the first bytes
    // of a FIFO or a device.
    bool sound_signature = false;
    if (file_kind(name) == FileKind::regular && !looks_like_sound(stream, sound_signature)) {
        std::fclose(stream);
        return SourceOpen::unreadable;
    }
    if (sound_signature) {
        SF_INFO info;
        bool recognised = false;
        SNDFILE* sound = open_sound(stream, info, recognised);
        if (sound != nullptr) {
            if (info.channels < 1 || info.channels > max_channels ||
                truncated_data_chunk(sound, info)) {
                sf_close(sound);
                std::fclose(stream);
                return SourceOpen::unreadable;
            }
            source.encoding = sample_encoding(info.format);
            bool allocated = false;
            switch (source.encoding) {
            case SampleEncoding::narrow_integer:
                source.decoded_shorts.reset(new (std::nothrow) int16_t[decode_buffer_values]);
                allocated = source.decoded_shorts != nullptr;
                break;
            case SampleEncoding::wide_integer:
                source.decoded_ints.reset(new (std::nothrow) int32_t[decode_buffer_values]);
                allocated = source.decoded_ints != nullptr;
                break;
            case SampleEncoding::single_float:
                source.decoded_floats.reset(new (std::nothrow) float[decode_buffer_values]);
                allocated = source.decoded_floats != nullptr;
                break;
            case SampleEncoding::other:
                source.decoded.reset(new (std::nothrow) double[decode_buffer_values]);
                allocated = source.decoded != nullptr;
                break;
            }
            if (!allocated) {
                sf_close(sound);
                std::fclose(stream);
                return SourceOpen::no_memory;
            }
            source.sound = sound;
            source.sound_stream = stream;
            source.channels = info.channels;
            source.rate = info.samplerate;
            source.frames_declared = info.frames;
            source.quiet = decoded_by_codec(info.format);
            return SourceOpen::ok;
        }
        if (recognised || !seek_stream(stream, 0, SEEK_SET)) {
            std::fclose(stream);
            return SourceOpen::unreadable;
        }
    }
    source.raw = stream;
    return SourceOpen::ok;
}

bool read_samples(SampleSource& source, uint8_t* block, uint32_t capacity, uint32_t& count) {
    if (source.raw != nullptr) {
        count = static_cast<uint32_t>(std::fread(block, 1, capacity, source.raw));
        return !std::ferror(source.raw);
    }

    count = 0;
    const sf_count_t frames_per_read =
        static_cast<sf_count_t>(decode_buffer_values) / source.channels;
    while (count < capacity) {
        const sf_count_t wanted = std::min<sf_count_t>(frames_per_read, capacity - count);
        const sf_count_t got = decode_frames(source, block + count, wanted);
        // A short read is the end of the file or a decoding error; the error is only known
        // until the next call.
        if (got < wanted && sf_error(source.sound) != SF_ERR_NO_ERROR) return false;
        if (got <= 0) break;
        count += static_cast<uint32_t>(got);
        source.frames_read += got;
    }
    // The end came early: the file holds fewer frames than its header declares.
    return count == capacity || source.frames_declared == SF_COUNT_MAX ||
           source.frames_read >= source.frames_declared;
}

void close_sample_source(SampleSource& source) {
    if (source.raw != nullptr) std::fclose(source.raw);
    if (source.sound != nullptr) {
        if (source.quiet) silence_error_stream();
        sf_close(source.sound);
        if (source.quiet) restore_error_stream();
    }
    if (source.sound_stream != nullptr) std::fclose(source.sound_stream);
    source = SampleSource{};
}

SampleEncoding sample_encoding(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
        return SampleEncoding::narrow_integer;
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
        return SampleEncoding::wide_integer;
    case SF_FORMAT_FLOAT:
        return SampleEncoding::single_float;
    default:
        return SampleEncoding::other;
    }
}

// The average of a frame on the 16-bit scale, rounded down, has its top 8 bits kept: the sum
// divided by 256 times the channels (2^24 times the channels on the 32-bit scale), rounded
// down. Mono and stereo divide by shifting, which rounds down as well.
void raw_samples_of_shorts(const int16_t* values, std::size_t frames, int channels,
                           uint8_t* out) {
    if (channels == 1) {
        for (std::size_t i = 0; i < frames; ++i) {
            out[i] = static_cast<uint8_t>((values[i] >> 8) + 128);
        }
    } else if (channels == 2) {
        for (std::size_t i = 0; i < frames; ++i) {
            out[i] = static_cast<uint8_t>(((values[2 * i] + values[2 * i + 1]) >> 9) + 128);
        }
    } else {
        const int64_t divisor = int64_t{256} * channels;
        for (std::size_t i = 0; i < frames; ++i) {
            int64_t sum = 0;
            for (int c = 0; c < channels; ++c) sum += values[i * channels + c];
            out[i] = static_cast<uint8_t>(floor_divide(sum, divisor) + 128);
        }
    }
}

void raw_samples_of_ints(const int32_t* values, std::size_t frames, int channels, uint8_t* out) {
    if (channels == 1) {
        for (std::size_t i = 0; i < frames; ++i) {
            out[i] = static_cast<uint8_t>((values[i] >> 24) + 128);
        }
    } else if (channels == 2) {
        for (std::size_t i = 0; i < frames; ++i) {
            const int64_t sum = int64_t{values[2 * i]} + values[2 * i + 1];
            out[i] = static_cast<uint8_t>((sum >> 25) + 128);
        }
    } else {
        const int64_t divisor = (int64_t{1} << 24) * channels;
        for (std::size_t i = 0; i < frames; ++i) {
            int64_t sum = 0;
            for (int c = 0; c < channels; ++c) sum += values[i * channels + c];
            out[i] = static_cast<uint8_t>(floor_divide(sum, divisor) + 128);
        }
    }
}

namespace {

// The raw sample whose value on the 16-bit scale, shifted right by 8, is `x` before rounding
// down: 128 * value is that, so rounding the average down here rounds down the 16-bit average
// and then drops its low 8 bits. Beyond the scale it is clipped; NaN is silence.
inline uint8_t raw_of_top(double x) {
    // Clipped to [-128, 127] (below -127 rounds down to -128 anyway), without branches so
    // that the loops below are vectorised.
    double clipped = x < -128.0 ? -128.0 : x;
    clipped = clipped > 127.0 ? 127.0 : clipped;
    clipped = x == x ? clipped : 0.0;
    const int top = static_cast<int>(clipped); // towards zero, then down
    return static_cast<uint8_t>(top - (top > clipped ? 1 : 0) + 128);
}

template <typename Value>
void raw_samples_of(const Value* values, std::size_t frames, int channels, uint8_t* out) {
    if (channels == 1) {
        for (std::size_t i = 0; i < frames; ++i) {
            out[i] = raw_of_top(static_cast<double>(values[i]) * 128.0 / 1);
        }
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        double sum = 0.0;
        for (int c = 0; c < channels; ++c) sum += static_cast<double>(values[i * channels + c]);
        out[i] = raw_of_top(sum * 128.0 / channels);
    }
}

} // namespace

void raw_samples_of_floats(const float* values, std::size_t frames, int channels, uint8_t* out) {
    if (channels != 1) {
        raw_samples_of(values, frames, channels, out);
        return;
    }
    // One channel: 128 times a float is exact in float as in double, so the same steps in
    // float give the same samples, four at a time.
    for (std::size_t i = 0; i < frames; ++i) {
        const float x = values[i] * 128.0f;
        float clipped = x < -128.0f ? -128.0f : x;
        clipped = clipped > 127.0f ? 127.0f : clipped;
        clipped = x == x ? clipped : 0.0f;
        const int top = static_cast<int>(clipped);
        out[i] = static_cast<uint8_t>(top - (static_cast<float>(top) > clipped ? 1 : 0) + 128);
    }
}

void raw_samples_of_doubles(const double* values, std::size_t frames, int channels,
                            uint8_t* out) {
    raw_samples_of(values, frames, channels, out);
}

uint8_t raw_sample_of_frame(const double* frame, int channels) {
    uint8_t raw;
    raw_samples_of(frame, 1, channels, &raw);
    return raw;
}

int encoded_sample_bytes(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

bool data_chunk_truncated(uint64_t declared_bytes, int sample_bytes, int channels,
                          int64_t frames) {
    if (declared_bytes >= 0x7FFFFFFFu) return false;
    if (sample_bytes <= 0 || channels <= 0) return false;
    const uint64_t frame_bytes = static_cast<uint64_t>(sample_bytes) * channels;
    return frames >= 0 && declared_bytes / frame_bytes > static_cast<uint64_t>(frames);
}
