// Where the war step's raw samples come from: a sound file or a headerless raw file.
//
// A regular file whose header libsndfile recognises (WAV, WAVE_EXTENSIBLE, AIFF, FLAC, OGG and
// whatever else the installed library reads) is decoded a block of frames at a time, and every
// frame becomes one raw sample:
//
//   channels averaged on the 16-bit scale, rounded down    a   (-32768 .. 32767)
//   raw sample                                             (a >> 8) + 128   (0 .. 255)
//
// so an 8-bit file gives exactly its own sample bytes (a signed 8-bit file its bytes + 128),
// a wider one keeps the top 8 bits of each sample, and a floating-point one is read as if it
// were 16-bit (1.0 is 32768; values beyond the full scale are clipped). Channels that are
// inverted copies of each other cancel to silence (128).
//
// Anything else is read as raw samples exactly as it stands, one byte per sample: a file with
// no recognised header (a raw file that happens to begin with "RIFF" included; nothing is
// guessed from a name's extension, so a headerless .au, .vox or .gsm file is raw too), and a
// FIFO or device, whose first bytes must not be consumed by a guess.
//
// A recognised file that cannot be decoded is an error: a header libsndfile rejects, a
// decoding error, fewer frames than the file declares, or a WAV or AIFF file whose data chunk
// declares more whole frames than the file holds (libsndfile shortens such a truncated file
// quietly; a declared length of 0x7FFFFFFF and above means "unknown" and is not checked).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include <sndfile.h>

/// The number of values the decoding buffer holds: whole frames of up to 1024 channels.
constexpr std::size_t decode_buffer_values = 65536;

/// Why a source could not be opened.
enum class SourceOpen {
    ok,
    unreadable, ///< the file cannot be opened, or it is a sound file that cannot be decoded
    no_memory,  ///< the decoding buffer could not be allocated
};

/// How the frames of a sound file are decoded: integers up to 16 bits as shorts, wider integers
/// as ints (both exactly, with no detour through floating point), anything else as doubles.
enum class SampleEncoding {
    narrow_integer, ///< 8 and 16-bit integers: libsndfile's shorts, the 16-bit scale
    wide_integer,   ///< 24 and 32-bit integers: libsndfile's ints, the 32-bit scale
    single_float,   ///< 32-bit floating point: libsndfile's floats, each exactly a double
    other,          ///< 64-bit floating point, u-law, lossy codecs: libsndfile's doubles
};

/// The decoding a libsndfile format calls for.
SampleEncoding sample_encoding(int format);

/// The raw samples of `frames` frames of `channels` shorts (16-bit scale) or ints (32-bit
/// scale): each frame's average, rounded down on the 16-bit scale, reduced to its top 8 bits,
/// exactly as `raw_sample_of_frame` reduces the same values as doubles.
void raw_samples_of_shorts(const int16_t* values, std::size_t frames, int channels, uint8_t* out);
void raw_samples_of_ints(const int32_t* values, std::size_t frames, int channels, uint8_t* out);

/// The raw samples of `frames` frames of floats or doubles (full scale +-1.0): each exactly what
/// `raw_sample_of_frame` gives for the frame's values as doubles.
void raw_samples_of_floats(const float* values, std::size_t frames, int channels, uint8_t* out);
void raw_samples_of_doubles(const double* values, std::size_t frames, int channels,
                            uint8_t* out);

/// An open input: exactly one of `raw` and `sound` is set.
struct SampleSource {
    std::FILE* raw = nullptr;           // a headerless input, read byte for byte
    SNDFILE* sound = nullptr;           // a sound file decoded through libsndfile
    std::FILE* sound_stream = nullptr;  // the file `sound` reads from
    int channels = 1;                   // values per frame of `sound`
    int rate = 0;                       // frames per second of `sound`; 0 for a raw input
    sf_count_t frames_declared = 0;     // frames `sound` says it holds (SF_COUNT_MAX: unknown)
    sf_count_t frames_read = 0;         // frames of `sound` decoded so far
    bool quiet = false;                 // a codec decodes `sound`: its notes are kept off the error stream
    SampleEncoding encoding = SampleEncoding::other; // how `sound` is decoded
    std::unique_ptr<int16_t[]> decoded_shorts; // the decoding buffer of `decode_buffer_values`
    std::unique_ptr<int32_t[]> decoded_ints;   // values, of the type `encoding` asks for
    std::unique_ptr<float[]> decoded_floats;
    std::unique_ptr<double[]> decoded;
};

/// Opens `name` as a sound file when libsndfile recognises its header, otherwise as raw.
SourceOpen open_sample_source(SampleSource& source, const std::string& name);

/// Fills `block` with up to `capacity` raw samples; `count` receives how many. `count` is less
/// than `capacity` only at the end of the input. False on a read or decoding error, or when a
/// sound file ends before the frames it declares.
bool read_samples(SampleSource& source, uint8_t* block, uint32_t capacity, uint32_t& count);

/// Closes the input; the source can be opened again afterwards.
void close_sample_source(SampleSource& source);

/// The raw sample of one frame: its `channels` values (libsndfile's doubles, full scale +-1.0)
/// averaged and reduced as the table above says. A NaN value counts as silence.
uint8_t raw_sample_of_frame(const double* frame, int channels);

/// The size in bytes of one sample of a libsndfile format's encoding; 0 for an encoding whose
/// samples have no fixed byte size (ADPCM, GSM, compressed formats).
int encoded_sample_bytes(int format);

/// True when a data chunk of `declared_bytes` promises more whole frames than `frames`, the
/// frames the file holds. A declared length of 0x7FFFFFFF and above (a streaming writer's
/// "unknown") and an encoding of unknown size (`sample_bytes` 0) promise nothing.
bool data_chunk_truncated(uint64_t declared_bytes, int sample_bytes, int channels,
                          int64_t frames);
