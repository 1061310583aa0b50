#include "container/container_contents.h"

#include <cstdio>

const char* container_format_name(ContainerFormat format) {
    switch (format) {
    case ContainerFormat::p: return "P file";
    case ContainerFormat::p81: return ".p81";
    case ContainerFormat::tzx: return ".tzx";
    }
    return "";
}

std::string offset_message(std::size_t offset, const std::string& message) {
    char text[32];
    std::snprintf(text, sizeof text, "offset 0x%04zX: ", offset);
    return text + message;
}

void fail(ContainerContents& contents, ContainerProblem problem, std::size_t offset,
          const std::string& message) {
    contents.error.problem = problem;
    contents.error.offset = offset;
    contents.error.message = message;
}

std::size_t read_saved_program(const uint8_t* data, std::size_t at, std::size_t end, bool named,
                               ContainerContents& contents) {
    char text[160];
    SavedProgram program;
    program.offset = at;
    std::size_t p = at;
    if (named) {
        bool cut_short = false;
        const std::size_t length = saved_name_length(data + at, end - at, cut_short);
        if (length == 0) {
            if (cut_short) {
                std::snprintf(text, sizeof text,
                              "the data ends inside a saved name (%zu bytes, no end mark)",
                              end - at);
                fail(contents, ContainerProblem::cut_short, at, text);
            } else {
                fail(contents, ContainerProblem::name_too_long, at,
                     "127 bytes without the end mark (bit 7) of a saved name");
            }
            return end;
        }
        program.name.assign(data + at, data + at + length);
        p += length;
    }
    if (end - p < p_file_min) {
        std::snprintf(text, sizeof text,
                      "the data ends inside the system variables (%zu bytes, E_LINE needs 13)",
                      end - p);
        fail(contents, ContainerProblem::cut_short, p, text);
        return end;
    }
    const int length = p_file_length(data + p);
    if (length < static_cast<int>(p_file_min)) {
        std::snprintf(text, sizeof text,
                      "E_LINE 0x%04X lies below the end of E_LINE itself: not a program",
                      e_line_of(data + p));
        fail(contents, ContainerProblem::e_line_low, p + e_line_field, text);
        return end;
    }
    const auto size = static_cast<std::size_t>(length);
    if (size > end - p) {
        std::snprintf(text, sizeof text,
                      "E_LINE 0x%04X makes the program %zu bytes long, but %zu are left",
                      e_line_of(data + p), size, end - p);
        fail(contents, ContainerProblem::program_cut_short, p, text);
        return end;
    }
    program.bytes.assign(data + p, data + p + size);
    contents.programs.push_back(std::move(program));
    return p + size;
}
