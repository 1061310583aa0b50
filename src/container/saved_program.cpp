#include "container/saved_program.h"

#include <cstdio>

NameProblem check_saved_name(const std::vector<uint8_t>& name) {
    if (name.empty()) return NameProblem::empty;
    if (name.size() > saved_name_max) return NameProblem::too_long;
    if ((name.back() & name_end_mark) == 0) return NameProblem::unmarked;
    for (std::size_t i = 0; i + 1 < name.size(); ++i) {
        if ((name[i] & name_end_mark) != 0) return NameProblem::marked_early;
    }
    return NameProblem::none;
}

std::size_t saved_name_length(const uint8_t* data, std::size_t size, bool& cut_short) {
    const std::size_t limit = size < saved_name_max ? size : saved_name_max;
    for (std::size_t i = 0; i < limit; ++i) {
        if ((data[i] & name_end_mark) != 0) {
            cut_short = false;
            return i + 1;
        }
    }
    cut_short = size < saved_name_max;
    return 0;
}

unsigned e_line_of(const uint8_t* data) {
    return data[e_line_field] | static_cast<unsigned>(data[e_line_field + 1]) << 8;
}

int p_file_length(const uint8_t* data) {
    return static_cast<int>(e_line_of(data)) - 0x4009;
}

ProgramProblem check_saved_program(const SavedProgram& program, bool named) {
    if (named && check_saved_name(program.name) != NameProblem::none) return ProgramProblem::name;
    if (program.bytes.size() < p_file_min) return ProgramProblem::too_short;
    const int length = p_file_length(program.bytes.data());
    if (length < static_cast<int>(p_file_min)) return ProgramProblem::e_line_low;
    if (static_cast<std::size_t>(length) != program.bytes.size()) {
        return ProgramProblem::wrong_length;
    }
    return ProgramProblem::none;
}

std::string program_problem_text(ProgramProblem problem, const SavedProgram& program) {
    char text[160];
    switch (problem) {
    case ProgramProblem::none: return "";
    case ProgramProblem::name:
        switch (check_saved_name(program.name)) {
        case NameProblem::empty: return "it has no saved name";
        case NameProblem::too_long: return "its saved name is longer than 127 codes";
        case NameProblem::unmarked: return "its saved name's last code lacks the end mark (bit 7)";
        case NameProblem::marked_early:
            return "its saved name has the end mark (bit 7) before its last code";
        case NameProblem::none: break;
        }
        return "";
    case ProgramProblem::too_short:
        std::snprintf(text, sizeof text,
                      "it is %zu bytes long, too short to hold its E_LINE (13 bytes at least)",
                      program.bytes.size());
        return text;
    case ProgramProblem::e_line_low:
        std::snprintf(text, sizeof text, "its E_LINE 0x%04X lies below the end of E_LINE itself",
                      e_line_of(program.bytes.data()));
        return text;
    case ProgramProblem::wrong_length:
        std::snprintf(text, sizeof text,
                      "it is %zu bytes long, but its E_LINE 0x%04X makes it %d bytes",
                      program.bytes.size(), e_line_of(program.bytes.data()),
                      p_file_length(program.bytes.data()));
        return text;
    }
    return "";
}

ProgramProblem check_saved_programs(const std::vector<SavedProgram>& programs, bool named,
                                    std::size_t& bad) {
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const ProgramProblem problem = check_saved_program(programs[i], named);
        if (problem != ProgramProblem::none) {
            bad = i;
            return problem;
        }
    }
    return ProgramProblem::none;
}
