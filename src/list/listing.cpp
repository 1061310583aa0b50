#include "list/listing.h"

#include <cstdio>

#include "list/readable_listing.h"
#include "list/zmakebas_listing.h"
#include "program/system_variables.h"

namespace {

std::string hex4(std::size_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04zX", value);
    return buffer;
}

std::string join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "; ") + part;
    return text;
}

/// Why the zmakebas text of a line will not rebuild it; empty when it will.
std::vector<std::string> line_problems(const ProgramLine& line, const ProgramLine* previous,
                                       std::size_t text_size) {
    std::vector<std::string> problems;
    if (line.number > 9999) {
        problems.push_back("line number " + std::to_string(line.number) + " is above 9999");
    }
    if (previous != nullptr && line.number <= previous->number) {
        problems.push_back("line number " + std::to_string(line.number) + " does not follow line " +
                           std::to_string(previous->number));
    }
    if (!line.has_newline) {
        problems.push_back("the line has no NEWLINE before D_FILE");
    } else if (!line.length_ok) {
        problems.push_back("length field " + std::to_string(line.length_field) +
                           " does not end on the line's NEWLINE");
    }
    if (text_size > zmakebas_line_limit) {
        problems.push_back("the text is " + std::to_string(text_size) +
                           " characters, more than the " + std::to_string(zmakebas_line_limit) +
                           " zmakebas reads");
    }
    if (code_count(line) + 1 > zmakebas_codes_limit) {
        problems.push_back("the line holds " + std::to_string(code_count(line) + 1) +
                           " bytes, more than zmakebas builds (" +
                           std::to_string(zmakebas_codes_limit) + ")");
    }
    return problems;
}

} // namespace

Listing list_program(const PFileModel& model, ListStyle style) {
    Listing listing;
    const ProgramLine* previous = nullptr;
    for (const ProgramLine& line : model.lines) {
        if (style == ListStyle::readable) {
            listing.text += readable_line(model, line) + "\n";
            continue;
        }
        const std::string codes = zmakebas_codes(model.bytes.data() + line.codes, code_count(line));
        const std::string text = std::to_string(line.number) + (codes.empty() ? "" : " ") + codes;
        const std::vector<std::string> problems = line_problems(line, previous, text.size());
        if (!problems.empty()) {
            listing.text += "# " + join(problems) + "\n";
            listing.warnings.push_back("line " + std::to_string(line.number) + ": " +
                                       join(problems));
        }
        listing.text += text + "\n";
        previous = &line;
    }
    const std::size_t d_file = offset_of_address(model.d_file);
    if (style == ListStyle::zmakebas && model.program_end != d_file) {
        const std::string why = "the program area ends at " +
                                hex4(p_file_origin + model.program_end) + ", D_FILE is " +
                                hex4(model.d_file);
        listing.text += "# " + why + "\n";
        listing.warnings.push_back(why);
    }
    return listing;
}
