#include "container/p_format.h"

#include <string>

ContainerContents read_p(const uint8_t* data, std::size_t size) {
    ContainerContents contents;
    contents.format = ContainerFormat::p;
    const std::size_t end = read_saved_program(data, 0, size, false, contents);
    if (contents.ok() && end < size) {
        const std::size_t extra = size - end;
        contents.notes.push_back({end, std::to_string(extra) + (extra == 1 ? " byte" : " bytes") +
                                           " after E_LINE left out"});
    }
    return contents;
}

bool write_p(const SavedProgram& program, std::vector<uint8_t>& out, ProgramProblem& problem) {
    out.clear();
    problem = check_saved_program(program, false);
    if (problem != ProgramProblem::none) return false;
    out = program.bytes;
    return true;
}
