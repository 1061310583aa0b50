#include "pfile/saved_name.h"

#include "io/input_file.h"
#include "program/zx81_charset.h"

bool feed_saved_name(SavedNameReader& reader, const char* text, std::size_t size) {
    for (std::size_t i = 0; i < size && !reader.complete; ++i) {
        const char c = text[i];
        if (c != '0' && c != '1' && c != '?') continue;
        reader.group = (reader.group << 1) | (c == '1' ? 1u : 0u);
        if (++reader.group_bits < 8) continue;

        const unsigned byte = reader.group & 0xFF;
        reader.name += file_name_char(static_cast<uint8_t>(byte));
        reader.group = 0;
        reader.group_bits = 0;
        if ((byte & 0x80) != 0 || reader.name.size() >= zx_name_max) reader.complete = true;
    }
    return reader.complete;
}

bool read_saved_name(const std::string& bit_name, std::string& zx_name) {
    InputFile in;
    if (!in.open(bit_name)) return false;
    SavedNameReader reader;
    char chunk[4096];
    std::size_t got = sizeof chunk;
    while (!reader.complete && got == sizeof chunk) {
        if (!in.read(chunk, sizeof chunk, got)) return false;
        feed_saved_name(reader, chunk, got);
    }
    zx_name = reader.name;
    return true;
}
