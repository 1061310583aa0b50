#include "list/container_info.h"

#include <cstdio>

#include "program/saved_name_text.h"

std::string container_program_label(const std::string& file, std::size_t index,
                                    const SavedProgram& program) {
    return file + " #" + std::to_string(index + 1) + " \"" + saved_name_text(program.name) + "\"";
}

std::string container_info(const std::string& file, const ContainerContents& contents,
                           uint64_t size) {
    const std::size_t n = contents.programs.size();
    return file + ": " + container_format_name(contents.format) + ", " + std::to_string(n) +
           (n == 1 ? " program, " : " programs, ") + std::to_string(size) +
           (size == 1 ? " byte\n" : " bytes\n");
}

std::string container_program_info(const SavedProgram& program) {
    char offset[32];
    std::snprintf(offset, sizeof offset, "0x%06zX", program.offset);
    return "name:       " + saved_name_text(program.name) + "\n" + "offset:     " + offset + "\n";
}
