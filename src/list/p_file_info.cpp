#include "list/p_file_info.h"

#include <cstdio>

#include "list/readable_listing.h"
#include "program/system_variables.h"

namespace {

std::string hex4(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", value);
    return buffer;
}

/// The distance between two addresses in bytes, or a note when they are out of order.
std::string size_between(unsigned from, unsigned to) {
    if (to < from) return "? (" + hex4(to) + " lies before " + hex4(from) + ")";
    const unsigned n = to - from;
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

std::string display_kind(const PFileModel& m) {
    if (m.vars < m.d_file) return "?";
    const unsigned size = m.vars - m.d_file;
    return size == 1 + 24 * 33 ? "full" : "collapsed";
}

std::string autostart(const PFileModel& m) {
    if (m.nxtlin == m.d_file) return "none (NXTLIN " + hex4(m.nxtlin) + " = D_FILE)";
    for (const ProgramLine& line : m.lines) {
        if (p_file_origin + line.offset == m.nxtlin) {
            return "line " + std::to_string(line.number) + " (NXTLIN " + hex4(m.nxtlin) + ")";
        }
    }
    return "none (NXTLIN " + hex4(m.nxtlin) + " points at no line)";
}

std::string tv_system(uint8_t margin) {
    const std::string value = " (MARGIN " + std::to_string(margin) + ")";
    if (margin == margin_pal) return "PAL" + value;
    if (margin == margin_ntsc) return "NTSC" + value;
    return "unknown" + value;
}

} // namespace

std::string p_file_info(const PFileModel& m, const char* size_label) {
    std::string text;
    auto line = [&](const char* name, const std::string& value) {
        text += name;
        text += value + "\n";
    };
    text += size_label;
    text.resize(text.size() < 12 ? 12 : text.size(), ' ');
    text += std::to_string(m.file_size) + (m.file_size == 1 ? " byte\n" : " bytes\n");
    if (!m.has_system_variables) {
        line("system:     ", "too short for the system variables (116 bytes)");
        return text;
    }
    line("VERSN:      ", std::to_string(m.versn) + (m.versn == 0 ? " (ZX81)" : " (not a ZX81)"));
    line("program:    ", size_between(program_address, m.d_file) + ", " +
                             std::to_string(m.lines.size()) +
                             (m.lines.size() == 1 ? " line" : " lines"));
    line("display:    ", size_between(m.d_file, m.vars) + ", " + display_kind(m));
    const bool walked = m.end_marker != no_offset && m.end_marker + 1 == m.variables_end &&
                        m.variables_end == offset_of_address(m.e_line);
    line("variables:  ", size_between(m.vars, m.e_line) + ", " +
                             (walked ? std::to_string(m.variables.size()) +
                                           (m.variables.size() == 1 ? " variable" : " variables")
                                     : std::string("not readable as variables")));
    line("D_FILE:     ", hex4(m.d_file));
    line("VARS:       ", hex4(m.vars));
    line("E_LINE:     ", hex4(m.e_line) + " (E_LINE - 0x4009 = " +
                             (m.e_line >= p_file_origin ? std::to_string(m.e_line - p_file_origin)
                                                        : std::string("?")) +
                             ")");
    line("auto-start: ", autostart(m));
    line("TV system:  ", tv_system(m.margin));
    return text;
}

std::string p_file_screen(const PFileModel& m) {
    std::string text;
    for (std::size_t row = 0; row < 24; ++row) {
        if (row < m.rows.size()) {
            text += readable_characters(m.bytes, m.rows[row].offset, m.rows[row].length, 32);
        } else {
            text += std::string(32, ' ');
        }
        text += "\n";
    }
    return text;
}
