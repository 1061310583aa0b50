#include "container/p81_format.h"

ContainerContents read_p81(const uint8_t* data, std::size_t size) {
    ContainerContents contents;
    contents.format = ContainerFormat::p81;
    for (std::size_t at = 0; at < size && contents.ok();) {
        at = read_saved_program(data, at, size, true, contents);
    }
    return contents;
}

bool write_p81(const std::vector<SavedProgram>& programs, std::vector<uint8_t>& out,
               std::size_t& bad, ProgramProblem& problem) {
    out.clear();
    for (std::size_t i = 0; i < programs.size(); ++i) {
        problem = check_saved_program(programs[i], true);
        if (problem != ProgramProblem::none) {
            bad = i;
            return false;
        }
    }
    for (const SavedProgram& program : programs) {
        out.insert(out.end(), program.name.begin(), program.name.end());
        out.insert(out.end(), program.bytes.begin(), program.bytes.end());
    }
    return true;
}
