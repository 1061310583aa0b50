#include "recover/program_header.h"

#include "program/system_variables.h"

namespace {

// The display file of a BASIC program: a NEWLINE, then 24 rows of a NEWLINE and up to 32
// characters each.
constexpr uint32_t shortest_display = 25;
constexpr uint32_t longest_display = 25 + 24 * 32;

// The end of the 1K machine's memory: an overlay fits below it.
constexpr uint32_t one_k_end = 0x4400;

// The lowest E_LINE the loader can stop at: the byte after E_LINE's own high byte.
constexpr uint32_t lowest_e_line = p_file_origin + sysvar::e_line + 2;

uint32_t word_at(const uint8_t* bytes, std::size_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8;
}

} // namespace

ProgramHeader read_program_header(const uint8_t* bytes, std::size_t count) {
    ProgramHeader header;
    std::size_t name_length = 0;
    for (std::size_t i = 0;; ++i) {
        if (i == max_name_length) return header; // 127 codes, none marked as the last
        if (i == count) {
            header.kind = HeaderKind::need_more;
            return header;
        }
        if ((bytes[i] & 0x80) != 0) {
            name_length = i + 1;
            break;
        }
    }
    if (count < name_length + header_bytes_after_name) {
        header.kind = HeaderKind::need_more;
        return header;
    }
    const uint8_t* variables = bytes + name_length;
    const uint32_t e_line = word_at(variables, sysvar::e_line);
    if (e_line < lowest_e_line) return header;

    header.name_length = name_length;
    header.e_line = static_cast<uint16_t>(e_line);
    header.program_bytes = e_line - p_file_origin;
    const uint32_t d_file = word_at(variables, sysvar::d_file);
    const uint32_t vars = word_at(variables, sysvar::vars);
    const bool basic = variables[sysvar::versn] == 0 && d_file >= program_address &&
                       d_file + shortest_display <= vars && vars <= d_file + longest_display &&
                       vars < e_line;
    if (basic) {
        header.kind = HeaderKind::basic;
    } else if (e_line <= one_k_end) {
        header.kind = HeaderKind::overlay;
    }
    return header;
}
