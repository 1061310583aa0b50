#include "scope/recording.h"

#include "io/platform.h"

bool open_recording(Recording& rec, const std::string& name) {
    rec = Recording{};
    rec.name = name;
    if (file_kind(name) != FileKind::regular) return false;
    rec.stream = std::fopen(name.c_str(), "rb");
    if (rec.stream == nullptr) return false;
    if (std::fseek(rec.stream, 0, SEEK_END) != 0) {
        close_recording(rec);
        return false;
    }
    const long size = std::ftell(rec.stream);
    if (size < 0 || std::fseek(rec.stream, 0, SEEK_SET) != 0) {
        close_recording(rec);
        return false;
    }
    rec.length = size;
    return true;
}

std::size_t read_recording(Recording& rec, uint8_t* samples, std::size_t count) {
    const std::size_t got = std::fread(samples, 1, count, rec.stream);
    if (std::ferror(rec.stream)) rec.failed = true;
    return got;
}

bool rewind_recording(Recording& rec) {
    if (std::fseek(rec.stream, 0, SEEK_SET) != 0) rec.failed = true;
    return !rec.failed;
}

void close_recording(Recording& rec) {
    if (rec.stream != nullptr) std::fclose(rec.stream);
    rec.stream = nullptr;
}
