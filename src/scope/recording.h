// The recording zx81scope reads: headerless unsigned 8-bit mono samples, silence near 128,
// the same raw file the converter reads. Only these functions touch the file, so another
// kind of recording (a sound file) needs only another `open_recording`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct Recording {
    std::string name; // as the user typed it
    std::FILE* stream = nullptr;
    int64_t length = 0;  // samples
    int rate = 0;        // samples per second; 0 when the file does not say (raw)
    bool failed = false; // a read went wrong
};

/// Opens the recording and measures its length. False when it cannot be opened or is not a
/// regular file whose size can be found.
bool open_recording(Recording& rec, const std::string& name);

/// Reads up to `count` samples; fewer only at the end or after a failure (then `failed`).
std::size_t read_recording(Recording& rec, uint8_t* samples, std::size_t count);

/// Goes back to the first sample; false (and `failed`) when that is not possible.
bool rewind_recording(Recording& rec);

void close_recording(Recording& rec);
