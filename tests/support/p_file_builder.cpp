#include "support/p_file_builder.h"

#include <stdexcept>

#include "program/system_variables.h"
#include "program/zx81_charset.h"
#include "support/basic_text.h"

namespace {

constexpr int screen_rows = 24;
constexpr std::size_t screen_columns = 32;

uint16_t address_of(std::size_t offset) {
    return static_cast<uint16_t>(p_file_origin + offset);
}

/// The system variables as a ZX81 in SLOW mode has them after CLS and a SAVE typed as a command:
/// print position at the top left, empty printer buffer, no key pressed.
void fill_system_variables(std::vector<uint8_t>& file, std::size_t d_file, std::size_t vars,
                           std::size_t e_line, std::size_t nxtlin, uint8_t margin) {
    file[sysvar::versn] = 0;
    put_le16(file, sysvar::e_ppc, 0);
    put_le16(file, sysvar::d_file, address_of(d_file));
    put_le16(file, sysvar::df_cc, address_of(d_file + 1));
    put_le16(file, sysvar::vars, address_of(vars));
    put_le16(file, sysvar::dest, 0);
    put_le16(file, sysvar::e_line, address_of(e_line));
    put_le16(file, sysvar::ch_add, address_of(e_line - 1));
    put_le16(file, sysvar::x_ptr, 0);
    put_le16(file, sysvar::stkbot, address_of(e_line));
    put_le16(file, sysvar::stkend, address_of(e_line));
    file[sysvar::berg] = 0;
    put_le16(file, sysvar::mem, address_of(sysvar::membot));
    file[sysvar::df_sz] = 2;
    put_le16(file, sysvar::s_top, 0);
    put_le16(file, sysvar::last_k, 0xFFFF);
    file[sysvar::db_st] = 0xFF;
    file[sysvar::margin] = margin;
    put_le16(file, sysvar::nxtlin, address_of(nxtlin));
    put_le16(file, sysvar::oldppc, 0);
    file[sysvar::flagx] = 0;
    put_le16(file, sysvar::strlen, 0);
    put_le16(file, sysvar::t_addr, 0x0C8D);
    put_le16(file, sysvar::seed, 0);
    put_le16(file, sysvar::frames, 0xFFFF);
    put_le16(file, sysvar::coords, 0);
    file[sysvar::pr_cc] = 0xBC;
    file[sysvar::s_posn] = 33;
    file[sysvar::s_posn + 1] = 24;
    file[sysvar::cdflag] = 0x40;
    file[sysvar::prbuff + screen_columns] = code_newline; // 32 spaces, then NEWLINE
}

} // namespace

BasicLine text_line(int number, const std::string& text) {
    BasicLine line;
    line.number = number;
    std::string error;
    if (!encode_basic_text(text, line.codes, error)) {
        throw std::invalid_argument("line " + std::to_string(number) + ": " + error);
    }
    return line;
}

BasicLine rem_line(int number, const std::vector<uint8_t>& bytes) {
    BasicLine line;
    line.number = number;
    line.codes.push_back(code_rem);
    line.codes.insert(line.codes.end(), bytes.begin(), bytes.end());
    return line;
}

std::vector<uint8_t> build_p_file(const std::vector<BasicLine>& lines,
                                  const BuildOptions& options) {
    std::vector<uint8_t> file(system_variables_size, 0);
    std::size_t nxtlin = 0;
    bool autostart_found = false;
    for (const BasicLine& line : lines) {
        if (line.number == options.autostart && !autostart_found) {
            nxtlin = file.size();
            autostart_found = true;
        }
        const std::size_t length = line.codes.size() + 1;
        file.push_back(static_cast<uint8_t>((line.number >> 8) & 0xFF));
        file.push_back(static_cast<uint8_t>(line.number & 0xFF));
        file.push_back(static_cast<uint8_t>(length & 0xFF));
        file.push_back(static_cast<uint8_t>((length >> 8) & 0xFF));
        file.insert(file.end(), line.codes.begin(), line.codes.end());
        file.push_back(code_newline);
    }

    const std::size_t d_file = file.size();
    if (!autostart_found) nxtlin = d_file;
    file.push_back(code_newline);
    for (int row = 0; row < screen_rows; ++row) {
        std::size_t used = 0;
        if (static_cast<std::size_t>(row) < options.screen.size()) {
            for (uint8_t code : options.screen[static_cast<std::size_t>(row)]) {
                if (used == screen_columns) break;
                file.push_back(code);
                ++used;
            }
        }
        if (options.full_display) file.insert(file.end(), screen_columns - used, code_space);
        file.push_back(code_newline);
    }

    const std::size_t vars = file.size();
    file.insert(file.end(), options.variables.begin(), options.variables.end());
    file.push_back(0x80);
    fill_system_variables(file, d_file, vars, file.size(), nxtlin, options.margin);
    return file;
}
