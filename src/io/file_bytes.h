// A small file read whole into memory: the files that hold programs, never recordings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

struct FileBytes {
    std::vector<uint8_t> bytes; // the file's first bytes, at most the `keep` asked for
    uint64_t size = 0;          // the bytes read in all: the file's length unless `cut_off`
    bool cut_off = false;       // the file goes on past the `limit` asked for: reading stopped
};

/// Reads `in` to its end, keeping its first `keep` bytes; a file longer than `limit` bytes is
/// read no further than that (so that a device or a recording given by mistake costs little),
/// and `cut_off` says so. The read goes on from what `file` holds (start with an empty one), so
/// that a caller may look at a file's first bytes before it decides how much more to keep.
/// False after a read error, with `error` the system's error number.
bool read_file_bytes(std::FILE* in, std::size_t keep, uint64_t limit, FileBytes& file,
                     int& error);
