// A P file read once into its parts: system variables, program lines, display rows and
// variables. Nothing in a damaged file is trusted: every pointer is clamped to the file, and
// every part records where it disagrees with the structure it should have. Listing, summary,
// screen and check all work from this model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ProgramLine {
    std::size_t offset = 0;    // file offset of the line number's first byte
    int number = 0;            // the line number field (big-endian)
    int length_field = 0;      // the length field as stored (little-endian)
    std::size_t codes = 0;     // file offset of the first code
    std::size_t codes_end = 0; // file offset just past the last code (the NEWLINE, if any)
    std::size_t end = 0;       // file offset just past the line
    bool length_ok = true;     // the length field ends the line exactly on its NEWLINE
    bool has_newline = true;   // false: the line was cut off with no NEWLINE
};

struct DisplayRow {
    std::size_t offset = 0; // file offset of the row's first character
    std::size_t length = 0; // characters before the NEWLINE (or before VARS when it has none)
    bool has_newline = true;
};

enum class VariableKind { number, long_name_number, number_array, for_loop, string, char_array };

struct VariableRecord {
    std::size_t offset = 0; // file offset of the first byte
    std::size_t size = 0;   // bytes in the record
    VariableKind kind = VariableKind::number;
};

struct PFileModel {
    std::vector<uint8_t> bytes; // the file (at most its first 64 KiB: the ZX81's memory)
    std::size_t file_size = 0;  // the length of the whole file

    // Addresses from the system variables (0 where the file is too short to hold them).
    uint8_t versn = 0;
    uint16_t d_file = 0, df_cc = 0, vars = 0, e_line = 0, nxtlin = 0;
    uint8_t margin = 0;
    bool has_system_variables = false; // the file holds all 116 bytes of them

    // The program area, from 0x407D up to D_FILE (clamped to the file).
    std::vector<ProgramLine> lines;
    std::size_t program_end = 0;   // offset where the lines stop
    std::size_t program_limit = 0; // offset of D_FILE, clamped to the file

    // The display file, from D_FILE up to VARS (clamped).
    std::size_t display_start = 0, display_end = 0;
    std::vector<DisplayRow> rows; // the rows after the first NEWLINE, at most 25 (see check)
    int display_newlines = 0;     // NEWLINEs between D_FILE and VARS

    // The variables, from VARS up to E_LINE (clamped).
    std::size_t variables_start = 0, variables_end = 0;
    std::vector<VariableRecord> variables;
    std::size_t end_marker = 0;     // offset of the 0x80 end marker; `no_offset` if not found
    bool variables_overrun = false; // a record runs past E_LINE
};

constexpr std::size_t no_offset = static_cast<std::size_t>(-1);

/// The file offset of an address (an address below the file gives 0).
inline std::size_t offset_of_address(uint32_t address) {
    return address >= 0x4009 ? address - 0x4009 : 0;
}

/// Parses `bytes` into the model; `file_size` is the length of the whole file when `bytes`
/// holds only its start (0: `bytes` is the whole file). Never fails: a file of any length or
/// content gives a model.
PFileModel parse_p_file(std::vector<uint8_t> bytes, std::size_t file_size = 0);

/// The number of bytes in the line's codes.
inline std::size_t code_count(const ProgramLine& line) {
    return line.codes_end - line.codes;
}

/// The offset where the line's NEWLINE would be if the length field were right.
inline std::size_t length_field_end(const ProgramLine& line) {
    return line.codes + static_cast<std::size_t>(line.length_field);
}
