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
    problem = check_saved_programs(programs, true, bad);
    if (problem != ProgramProblem::none) return false;
    for (const SavedProgram& program : programs) {
        out.insert(out.end(), program.name.begin(), program.name.end());
        out.insert(out.end(), program.bytes.begin(), program.bytes.end());
    }
    return true;
}
