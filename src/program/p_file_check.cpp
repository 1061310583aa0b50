#include "program/p_file_check.h"

#include <algorithm>
#include <cstdio>

#include "program/system_variables.h"
#include "program/zx81_charset.h"

namespace {

constexpr int display_newlines = 25;
constexpr std::size_t display_columns = 32;

std::string hex4(std::size_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04zX", value);
    return buffer;
}

std::string hex2(unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", value);
    return buffer;
}

std::string plural(std::size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

class Checker {
  public:
    explicit Checker(const PFileModel& m) : m_(m), size_(m.bytes.size()) {}

    std::vector<Finding> run() {
        if (size_ < system_variables_size) {
            add(size_,
                "the file ends inside the system variables (" + plural(size_, "byte") + " of 116)");
            return findings_;
        }
        check_system_variables();
        check_lines();
        check_display();
        check_variables();
        std::stable_sort(findings_.begin(), findings_.end(),
                         [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
        return findings_;
    }

  private:
    void add(std::size_t offset, const std::string& message) {
        findings_.push_back({offset, message});
    }

    bool inside(uint16_t address) const { return offset_of_address(address) < size_; }

    void check_system_variables() {
        if (m_.versn != 0) {
            add(sysvar::versn,
                "VERSN is " + std::to_string(m_.versn) + ", not 0: not a ZX81 program");
        }
        if (m_.e_line < program_address) {
            add(sysvar::e_line, "E_LINE " + hex4(m_.e_line) + " is below the program start 0x407D");
        } else {
            const std::size_t length = m_.e_line - p_file_origin;
            if (m_.file_size < length) {
                add(m_.file_size, "the file is truncated: E_LINE " + hex4(m_.e_line) +
                                      " makes it " + plural(length, "byte") + ", it has " +
                                      std::to_string(m_.file_size));
            } else if (m_.file_size > length) {
                add(length, plural(m_.file_size - length, "trailing byte") + " after E_LINE " +
                                hex4(m_.e_line));
            }
        }
        if (m_.d_file < program_address) {
            add(sysvar::d_file, "D_FILE " + hex4(m_.d_file) + " is below the program start 0x407D");
        } else if (!inside(m_.d_file)) {
            add(sysvar::d_file, "D_FILE " + hex4(m_.d_file) + " lies beyond the end of the file");
        }
        if (m_.vars <= m_.d_file) {
            add(sysvar::vars, "VARS " + hex4(m_.vars) + " is not after D_FILE " + hex4(m_.d_file));
        } else if (!inside(m_.vars)) {
            add(sysvar::vars, "VARS " + hex4(m_.vars) + " lies beyond the end of the file");
        }
        if (m_.e_line <= m_.vars) {
            add(sysvar::e_line,
                "E_LINE " + hex4(m_.e_line) + " is not after VARS " + hex4(m_.vars));
        }
        if (m_.df_cc <= m_.d_file || m_.df_cc >= m_.vars) {
            add(sysvar::df_cc, "DF_CC " + hex4(m_.df_cc) + " lies outside the display file");
        }
        bool nxtlin_ok = m_.nxtlin == m_.d_file;
        for (const ProgramLine& line : m_.lines) {
            if (p_file_origin + line.offset == m_.nxtlin) nxtlin_ok = true;
        }
        if (!nxtlin_ok) {
            add(sysvar::nxtlin, "NXTLIN " + hex4(m_.nxtlin) + " is neither a line nor D_FILE");
        }
    }

    void check_lines() {
        const ProgramLine* previous = nullptr;
        for (const ProgramLine& line : m_.lines) {
            const std::string name = "line " + std::to_string(line.number);
            if (line.number < 1 || line.number > 9999) {
                add(line.offset,
                    "line number " + std::to_string(line.number) + " is outside 1..9999");
            }
            if (previous != nullptr && line.number <= previous->number) {
                add(line.offset, name + " follows line " + std::to_string(previous->number) +
                                     ": not in ascending order");
            }
            if (!line.has_newline) {
                add(line.offset + 2, name + ": no NEWLINE before D_FILE");
            } else if (!line.length_ok) {
                add(line.offset + 2, name + ": length field " + std::to_string(line.length_field) +
                                         " does not end on its NEWLINE (it should be " +
                                         std::to_string(line.end - line.codes) + ")");
            }
            check_markers(line, name);
            previous = &line;
        }
        const std::size_t d_file = offset_of_address(m_.d_file);
        if (m_.program_end < m_.program_limit) {
            add(m_.program_end, plural(m_.program_limit - m_.program_end, "byte") +
                                    " before D_FILE are not a program line");
        } else if (!m_.lines.empty() && m_.program_end != d_file && inside(m_.d_file)) {
            add(m_.program_end, "the program lines do not end at D_FILE");
        }
    }

    /// Every number marker outside strings and REM text needs its 5 bytes before the NEWLINE.
    void check_markers(const ProgramLine& line, const std::string& name) {
        const std::vector<uint8_t>& b = m_.bytes;
        bool in_string = false;
        for (std::size_t i = line.codes; i < line.codes_end; ++i) {
            const uint8_t c = b[i];
            if (c == code_quote) in_string = !in_string;
            if (in_string) continue;
            if (c == code_rem) return;
            if (c != code_number) continue;
            if (i + 5 >= line.codes_end) {
                add(i, name + ": number marker with only " +
                           plural(line.codes_end - i - 1, "byte") + " of its 5 after it");
                return;
            }
            i += 5;
        }
    }

    void check_display() {
        if (m_.display_start >= m_.display_end) return; // D_FILE or VARS is already reported
        const std::vector<uint8_t>& b = m_.bytes;
        if (b[m_.display_start] != code_newline) {
            add(m_.display_start, "the display file does not start with a NEWLINE");
        }
        if (m_.display_newlines != display_newlines) {
            add(m_.display_start, "the display file has " + std::to_string(m_.display_newlines) +
                                      " NEWLINEs, not 25");
        }
        int row_number = 0;
        std::size_t end = m_.display_start + (b[m_.display_start] == code_newline ? 1 : 0);
        for (const DisplayRow& row : m_.rows) {
            ++row_number;
            if (row.length > display_columns) {
                add(row.offset, "display row " + std::to_string(row_number) + " has " +
                                    std::to_string(row.length) + " characters, more than 32");
            }
            for (std::size_t i = row.offset; i < row.offset + row.length; ++i) {
                if (!is_character(b[i])) {
                    add(i, "display row " + std::to_string(row_number) + " holds code " +
                               hex2(b[i]) + ", not a character");
                    break;
                }
            }
            end = row.offset + row.length + (row.has_newline ? 1 : 0);
            if (row_number == display_newlines - 1) break;
        }
        if (m_.display_newlines >= display_newlines && end < m_.display_end && inside(m_.vars)) {
            add(end,
                "the display file ends " + plural(m_.display_end - end, "byte") + " before VARS");
        }
    }

    /// The variables end in the 0x80 marker at E_LINE - 1. (Programs made by assemblers keep
    /// data there instead of variables, so the records themselves are not checked.)
    void check_variables() {
        if (m_.e_line <= m_.vars || m_.e_line < program_address) return;
        const std::size_t marker = offset_of_address(m_.e_line) - 1;
        if (marker >= m_.bytes.size() || marker < m_.variables_start) return; // reported
        if (m_.bytes[marker] != 0x80) {
            add(marker, "the variables do not end with the 0x80 marker before E_LINE (found " +
                            hex2(m_.bytes[marker]) + ")");
        }
    }

    const PFileModel& m_;
    std::size_t size_;
    std::vector<Finding> findings_;
};

} // namespace

std::vector<Finding> check_p_file(const PFileModel& model) {
    return Checker(model).run();
}

std::string not_a_program_reason(const PFileModel& model) {
    char reason[128];
    if (!model.has_system_variables) {
        std::snprintf(reason, sizeof reason,
                      "too short for the system variables (%zu bytes, they need %zu)",
                      model.file_size, system_variables_size);
        return reason;
    }
    const std::size_t length = offset_of_address(model.e_line);
    if (model.e_line < 0x4009 + system_variables_size || length > model.file_size) {
        std::snprintf(reason, sizeof reason, "E_LINE 0x%04X lies outside the file (%zu bytes)",
                      static_cast<unsigned>(model.e_line), model.file_size);
        return reason;
    }
    return "";
}
