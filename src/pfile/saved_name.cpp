#include "pfile/saved_name.h"

#include <cstdio>

bool feed_saved_name(SavedNameReader& reader, const char* text, std::size_t size) {
    for (std::size_t i = 0; i < size && !reader.complete; ++i) {
        const char c = text[i];
        if (c != '0' && c != '1' && c != '?') continue;
        reader.group = (reader.group << 1) | (c == '1' ? 1u : 0u);
        if (++reader.group_bits < 8) continue;

        const unsigned byte = reader.group & 0xFF;
        reader.name += zx_name_chars[byte % 64];
        reader.group = 0;
        reader.group_bits = 0;
        if ((byte & 0x80) != 0 || reader.name.size() >= zx_name_max) reader.complete = true;
    }
    return reader.complete;
}

bool read_saved_name(const std::string& bit_name, std::string& zx_name) {
    std::FILE* in = std::fopen(bit_name.c_str(), "rb");
    if (in == nullptr) {
        std::fprintf(stderr, " *** error ***   Can't read name from file %s \n",
                     bit_name.c_str());
        return false;
    }
    SavedNameReader reader;
    char chunk[4096];
    std::size_t got;
    while (!reader.complete && (got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        feed_saved_name(reader, chunk, got);
    }
    const bool read_failed = std::ferror(in) != 0;
    std::fclose(in);
    if (read_failed) {
        std::fprintf(stderr, " *** error ***   Can't read name from file %s \n",
                     bit_name.c_str());
        return false;
    }
    zx_name = reader.name;
    return true;
}
