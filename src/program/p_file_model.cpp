#include "program/p_file_model.h"

#include <algorithm>

#include "program/system_variables.h"
#include "program/zx81_charset.h"

namespace {

std::size_t clamp_address(uint16_t address, std::size_t low, std::size_t high) {
    return std::min(std::max(offset_of_address(address), low), high);
}

/// Where a line with a wrong length field most likely ends: the first NEWLINE outside a
/// number's hidden bytes, strings and REM text being walked as the ZX81 writes them.
std::size_t find_line_end(const std::vector<uint8_t>& b, std::size_t pos, std::size_t limit) {
    bool in_string = false, in_rem = false;
    while (pos < limit) {
        const uint8_t code = b[pos];
        if (code == code_newline) return pos;
        if (!in_rem) {
            if (code == code_quote) {
                in_string = !in_string;
            } else if (!in_string && code == code_rem) {
                in_rem = true;
            } else if (!in_string && code == code_number) {
                pos += 5;
            }
        }
        ++pos;
    }
    return limit;
}

void parse_lines(PFileModel& m) {
    const std::vector<uint8_t>& b = m.bytes;
    std::size_t pos = std::min(system_variables_size, b.size());
    while (pos + 4 <= m.program_limit) {
        ProgramLine line;
        line.offset = pos;
        line.number = b[pos] << 8 | b[pos + 1];
        line.length_field = get_le16(b, pos + 2);
        line.codes = pos + 4;
        const std::size_t by_length = line.codes + static_cast<std::size_t>(line.length_field);
        if (line.length_field >= 1 && by_length <= m.program_limit &&
            b[by_length - 1] == code_newline) {
            line.codes_end = by_length - 1;
            line.end = by_length;
        } else {
            line.length_ok = false;
            line.codes_end = find_line_end(b, line.codes, m.program_limit);
            line.has_newline = line.codes_end < m.program_limit;
            line.end = std::min(line.codes_end + (line.has_newline ? 1 : 0), m.program_limit);
            line.codes_end = std::min(line.codes_end, m.program_limit);
        }
        m.lines.push_back(line);
        pos = line.end;
    }
    m.program_end = pos;
}

void parse_display(PFileModel& m) {
    const std::vector<uint8_t>& b = m.bytes;
    std::size_t pos = m.display_start;
    for (std::size_t i = m.display_start; i < m.display_end; ++i) {
        if (b[i] == code_newline) ++m.display_newlines;
    }
    if (pos < m.display_end && b[pos] == code_newline) ++pos;
    while (pos < m.display_end && m.rows.size() < 25) {
        DisplayRow row;
        row.offset = pos;
        while (pos < m.display_end && b[pos] != code_newline)
            ++pos;
        row.length = pos - row.offset;
        row.has_newline = pos < m.display_end;
        if (row.has_newline) ++pos;
        m.rows.push_back(row);
    }
}

/// The size of the variable record at `pos` from its first byte (bits 5-7 give the kind), or
/// 0 when it cannot be told from the bytes before `limit`.
std::size_t variable_size(const std::vector<uint8_t>& b, std::size_t pos, std::size_t limit,
                          VariableKind& kind) {
    const uint8_t first = b[pos];
    auto with_length = [&](std::size_t header) -> std::size_t {
        if (pos + 3 > limit) return 0;
        return header + get_le16(b, pos + 1);
    };
    switch (first >> 5) {
    case 0x3:
        kind = VariableKind::number;
        return 6;
    case 0x7:
        kind = VariableKind::for_loop;
        return 18;
    case 0x2:
        kind = VariableKind::string;
        return with_length(3);
    case 0x4:
        kind = VariableKind::number_array;
        return with_length(3);
    case 0x6:
        kind = VariableKind::char_array;
        return with_length(3);
    case 0x5: {
        kind = VariableKind::long_name_number;
        std::size_t p = pos + 1;
        while (p < limit && (b[p] & 0x80) == 0)
            ++p;
        if (p >= limit) return 0;
        return p + 1 - pos + 5;
    }
    default:
        return 0;
    }
}

void parse_variables(PFileModel& m) {
    const std::vector<uint8_t>& b = m.bytes;
    std::size_t pos = m.variables_start;
    m.end_marker = no_offset;
    while (pos < m.variables_end) {
        if (b[pos] == 0x80) {
            m.end_marker = pos;
            return;
        }
        VariableRecord record;
        record.offset = pos;
        record.size = variable_size(b, pos, m.variables_end, record.kind);
        if (record.size == 0 || pos + record.size > m.variables_end) {
            m.variables_overrun = true;
            return;
        }
        m.variables.push_back(record);
        pos += record.size;
    }
}

} // namespace

PFileModel parse_p_file(std::vector<uint8_t> bytes, std::size_t file_size) {
    PFileModel m;
    m.bytes = std::move(bytes);
    m.file_size = std::max(file_size, m.bytes.size());
    const std::vector<uint8_t>& b = m.bytes;
    m.has_system_variables = b.size() >= system_variables_size;
    m.versn = b.empty() ? 0 : b[sysvar::versn];
    m.d_file = get_le16(b, sysvar::d_file);
    m.df_cc = get_le16(b, sysvar::df_cc);
    m.vars = get_le16(b, sysvar::vars);
    m.e_line = get_le16(b, sysvar::e_line);
    m.nxtlin = get_le16(b, sysvar::nxtlin);
    m.margin = sysvar::margin < b.size() ? b[sysvar::margin] : 0;

    const std::size_t start = std::min(system_variables_size, b.size());
    m.program_limit = clamp_address(m.d_file, start, b.size());
    parse_lines(m);
    m.display_start = m.program_limit;
    m.display_end = clamp_address(m.vars, m.display_start, b.size());
    parse_display(m);
    m.variables_start = m.display_end;
    m.variables_end = clamp_address(m.e_line, m.variables_start, b.size());
    parse_variables(m);
    return m;
}
