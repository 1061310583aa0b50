#include "io/file_bytes.h"

#include <cerrno>

bool read_file_bytes(std::FILE* in, std::size_t keep, uint64_t limit, FileBytes& file,
                     int& error) {
    error = 0;
    uint8_t chunk[65536];
    errno = 0;
    while (file.size <= limit) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, in);
        if (got == 0) break;
        const std::size_t kept = file.bytes.size();
        const std::size_t take = kept < keep ? (keep - kept < got ? keep - kept : got) : 0;
        file.bytes.insert(file.bytes.end(), chunk, chunk + take);
        file.size += got;
    }
    if (std::ferror(in) != 0) {
        error = errno != 0 ? errno : EIO;
        return false;
    }
    file.cut_off = file.size > limit;
    return true;
}
