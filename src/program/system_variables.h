// The ZX81 system variables at the start of a P file, and the little-endian fields in them.
//
// A P file is the ZX81's memory from 0x4009 up to E_LINE; file offset = address - 0x4009.
//
//   offset  address  size  name        offset  address  size  name
//   0x00    0x4009   1     VERSN       0x1C    0x4025   2     LAST_K
//   0x01    0x400A   2     E_PPC       0x1E    0x4027   1     DB_ST
//   0x03    0x400C   2     D_FILE      0x1F    0x4028   1     MARGIN (55 PAL, 31 NTSC)
//   0x05    0x400E   2     DF_CC       0x20    0x4029   2     NXTLIN
//   0x07    0x4010   2     VARS        0x22    0x402B   2     OLDPPC
//   0x09    0x4012   2     DEST        0x24    0x402D   1     FLAGX
//   0x0B    0x4014   2     E_LINE      0x25    0x402E   2     STRLEN
//   0x0D    0x4016   2     CH_ADD      0x27    0x4030   2     T_ADDR
//   0x0F    0x4018   2     X_PTR       0x29    0x4032   2     SEED
//   0x11    0x401A   2     STKBOT      0x2B    0x4034   2     FRAMES
//   0x13    0x401C   2     STKEND      0x2D    0x4036   2     COORDS
//   0x15    0x401E   1     BERG        0x2F    0x4038   1     PR_CC
//   0x16    0x401F   2     MEM         0x30    0x4039   2     S_POSN
//   0x18    0x4021   1     (unused)    0x32    0x403B   1     CDFLAG
//   0x19    0x4022   1     DF_SZ       0x33    0x403C   33    PRBUFF
//   0x1A    0x4023   2     S_TOP       0x54    0x405D   30    MEMBOT, then 2 unused
//
// The program starts at 0x407D (offset 0x74 = 116) and runs up to D_FILE; the display file
// runs from D_FILE to VARS, the variables from VARS to their 0x80 end marker at E_LINE - 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t p_file_origin = 0x4009;   // the address of the file's first byte
constexpr uint32_t program_address = 0x407D; // the first program line
constexpr std::size_t system_variables_size = program_address - p_file_origin;

namespace sysvar {
constexpr std::size_t versn = 0x00;
constexpr std::size_t e_ppc = 0x01;
constexpr std::size_t d_file = 0x03;
constexpr std::size_t df_cc = 0x05;
constexpr std::size_t vars = 0x07;
constexpr std::size_t dest = 0x09;
constexpr std::size_t e_line = 0x0B;
constexpr std::size_t ch_add = 0x0D;
constexpr std::size_t x_ptr = 0x0F;
constexpr std::size_t stkbot = 0x11;
constexpr std::size_t stkend = 0x13;
constexpr std::size_t berg = 0x15;
constexpr std::size_t mem = 0x16;
constexpr std::size_t df_sz = 0x19;
constexpr std::size_t s_top = 0x1A;
constexpr std::size_t last_k = 0x1C;
constexpr std::size_t db_st = 0x1E;
constexpr std::size_t margin = 0x1F;
constexpr std::size_t nxtlin = 0x20;
constexpr std::size_t oldppc = 0x22;
constexpr std::size_t flagx = 0x24;
constexpr std::size_t strlen = 0x25;
constexpr std::size_t t_addr = 0x27;
constexpr std::size_t seed = 0x29;
constexpr std::size_t frames = 0x2B;
constexpr std::size_t coords = 0x2D;
constexpr std::size_t pr_cc = 0x2F;
constexpr std::size_t s_posn = 0x30;
constexpr std::size_t cdflag = 0x32;
constexpr std::size_t prbuff = 0x33;
constexpr std::size_t membot = 0x54;
} // namespace sysvar

constexpr uint8_t margin_pal = 55;
constexpr uint8_t margin_ntsc = 31;

/// The little-endian 16-bit value at `offset`; bytes beyond the end of `bytes` read as 0.
inline uint16_t get_le16(const std::vector<uint8_t>& bytes, std::size_t offset) {
    const unsigned lo = offset < bytes.size() ? bytes[offset] : 0;
    const unsigned hi = offset + 1 < bytes.size() ? bytes[offset + 1] : 0;
    return static_cast<uint16_t>(lo | hi << 8);
}

/// Stores `value` little-endian at `offset`, which must leave room for two bytes.
inline void put_le16(std::vector<uint8_t>& bytes, std::size_t offset, uint16_t value) {
    bytes[offset] = static_cast<uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}
