#include "scope/recording.h"

#include <climits>

#include "io/platform.h"

bool open_recording(Recording& rec, const std::string& name) {
    close_recording(rec);
    rec.name = name;
    rec.length = 0;
    rec.rate = 0;
    rec.failed = false;
    if (file_kind(name) != FileKind::regular) return false;
    if (open_sample_source(rec.source, name) != SourceOpen::ok) return false;

    if (rec.source.sound != nullptr) {
        if (rec.source.frames_declared < 0 || rec.source.frames_declared >= SF_COUNT_MAX) {
            close_recording(rec);
            return false;
        }
        rec.length = rec.source.frames_declared;
        rec.rate = rec.source.rate;
        return true;
    }
    std::FILE* raw = rec.source.raw;
    if (std::fseek(raw, 0, SEEK_END) != 0) {
        close_recording(rec);
        return false;
    }
    const long size = std::ftell(raw);
    if (size < 0 || std::fseek(raw, 0, SEEK_SET) != 0) {
        close_recording(rec);
        return false;
    }
    rec.length = size;
    return true;
}

std::size_t read_recording(Recording& rec, uint8_t* samples, std::size_t count) {
    std::size_t total = 0;
    while (total < count && !rec.failed) {
        const std::size_t want = std::min<std::size_t>(count - total, UINT32_MAX);
        uint32_t got = 0;
        if (!read_samples(rec.source, samples + total, static_cast<uint32_t>(want), got)) {
            rec.failed = true;
        }
        total += got;
        if (got < want) break;
    }
    return total;
}

bool rewind_recording(Recording& rec) {
    // A sound file is decoded from its start again by opening it afresh.
    if (!open_recording(rec, std::string(rec.name))) rec.failed = true;
    return !rec.failed;
}

void close_recording(Recording& rec) { close_sample_source(rec.source); }
