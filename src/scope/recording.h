// The recording zx81scope reads: whatever the converter's war step reads, a sound file (its
// frames reduced to raw samples exactly as the converter reduces them) or headerless unsigned
// 8-bit mono samples. Only these functions touch the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sound/sample_source.h"

struct Recording {
    std::string name;      // as the user typed it
    SampleSource source;   // the open input
    int64_t length = 0;    // samples (frames of a sound file)
    int rate = 0;          // samples per second; 0 when the file does not say (raw)
    bool failed = false;   // a read went wrong
};

/// Opens the recording and measures its length. False when it cannot be opened, cannot be
/// decoded, or is not a regular file whose length can be found.
bool open_recording(Recording& rec, const std::string& name);

/// Reads up to `count` samples; fewer only at the end or after a failure (then `failed`).
std::size_t read_recording(Recording& rec, uint8_t* samples, std::size_t count);

/// Goes back to the first sample; false (and `failed`) when that is not possible.
bool rewind_recording(Recording& rec);

void close_recording(Recording& rec);
