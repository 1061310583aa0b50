// Full-resolution input: every channel of every frame as a float, full scale +-1.0.
//
//   sound file   decoded by libsndfile straight to floats, all channels interleaved
//                (8, 16, 24, 32-bit, float, compressed...: nothing is cut to 8 bits);
//                in a floating-point file a NaN becomes 0 and values are held within +-8
//                (such a file may hold anything)
//   raw bytes    one channel; the byte v becomes (v - 128) / 128, so 0 is -1.0, 128 is
//                silence and 255 is 0.9921875
//
// The same open logic as the converter's (`open_sample_source`) decides which it is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sound/sample_source.h"

/// The values in each frame `read_frames` gives: the sound file's channels, or 1 for raw.
int frame_channels(const SampleSource& source);

/// Fills `frames` with up to `capacity` whole frames (`frame_channels` values each,
/// interleaved); `count` receives how many. `count` is less than `capacity` only at the end of
/// the input. False on a read or decoding error, or when a sound file ends before the frames it
/// declares.
bool read_frames(SampleSource& source, float* frames, std::size_t capacity, std::size_t& count);

/// Converts raw unsigned 8-bit samples to floats: (v - 128) / 128.
void raw_to_float(const uint8_t* raw, std::size_t count, float* out);
