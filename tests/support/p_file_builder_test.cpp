#include "support/p_file_builder.h"
#include <gtest/gtest.h>

#include <stdexcept>

#include "program/system_variables.h"

namespace {

std::size_t offset_of(const std::vector<uint8_t>& file, std::size_t var) {
    return get_le16(file, var) - p_file_origin;
}

/// What every built file must satisfy, whatever it holds.
void expect_consistent(const std::vector<uint8_t>& file, std::size_t program_size,
                       std::size_t display_size, std::size_t variables_size) {
    const std::size_t d_file = 116 + program_size;
    ASSERT_EQ(file.size(), d_file + display_size + variables_size + 1);
    EXPECT_EQ(file[sysvar::versn], 0);
    EXPECT_EQ(offset_of(file, sysvar::d_file), d_file);
    EXPECT_EQ(offset_of(file, sysvar::df_cc), d_file + 1);
    EXPECT_EQ(offset_of(file, sysvar::vars), d_file + display_size);
    EXPECT_EQ(offset_of(file, sysvar::e_line), file.size());
    EXPECT_EQ(file.back(), 0x80);
    EXPECT_EQ(file[d_file], 0x76);
    EXPECT_EQ(file[d_file + display_size - 1], 0x76);
    EXPECT_EQ(file[sysvar::df_sz], 2);
    EXPECT_EQ(file[sysvar::cdflag], 0x40);
    EXPECT_EQ(offset_of(file, sysvar::stkend), file.size());
}

TEST(PFileBuilder, EmptyProgram) {
    const std::vector<uint8_t> file = build_p_file({});
    expect_consistent(file, 0, 25, 0);
    EXPECT_EQ(file.size(), 142u);
    EXPECT_EQ(get_le16(file, sysvar::nxtlin), get_le16(file, sysvar::d_file));
    for (std::size_t i = 116; i < 141; ++i)
        EXPECT_EQ(file[i], 0x76) << i;
}

TEST(PFileBuilder, LineLayout) {
    const std::vector<uint8_t> file = build_p_file({text_line(300, "PRINT 1")});
    expect_consistent(file, 4 + 8 + 1, 25, 0);
    const std::vector<uint8_t> line(file.begin() + 116, file.begin() + 116 + 13);
    EXPECT_EQ(line,
              (std::vector<uint8_t>{0x01, 0x2C, 9, 0, 0xF5, 0x1D, 0x7E, 0x81, 0, 0, 0, 0, 0x76}));
}

TEST(PFileBuilder, LongLineLengthIsLittleEndian) {
    const std::vector<uint8_t> file = build_p_file({rem_line(1, std::vector<uint8_t>(299, 0))});
    EXPECT_EQ(file[118], 0x2D); // 300 + NEWLINE = 301 = 0x012D
    EXPECT_EQ(file[119], 0x01);
    expect_consistent(file, 4 + 301, 25, 0);
}

TEST(PFileBuilder, FullDisplayIs793Bytes) {
    BuildOptions options;
    options.full_display = true;
    options.screen = {{0x2D, 0x2A}};
    const std::vector<uint8_t> file = build_p_file({text_line(10, "CLS")}, options);
    expect_consistent(file, 4 + 2, 793, 0);
    const std::size_t d_file = 116 + 6;
    EXPECT_EQ(file[d_file + 1], 0x2D);
    EXPECT_EQ(file[d_file + 2], 0x2A);
    EXPECT_EQ(file[d_file + 3], 0x00);
    EXPECT_EQ(file[d_file + 33], 0x76);
}

TEST(PFileBuilder, CollapsedScreenRowsHoldOnlyTheirCharacters) {
    BuildOptions options;
    options.screen = {{0x26}, {}, std::vector<uint8_t>(40, 0x27)};
    const std::vector<uint8_t> file = build_p_file({}, options);
    expect_consistent(file, 0, 25 + 1 + 32, 0);
    EXPECT_EQ(file[117], 0x26);
    EXPECT_EQ(file[118], 0x76);
    EXPECT_EQ(file[119], 0x76);
}

TEST(PFileBuilder, AutostartPointsAtTheLine) {
    BuildOptions options;
    options.autostart = 20;
    const std::vector<uint8_t> file =
        build_p_file({text_line(10, "CLS"), text_line(20, "STOP")}, options);
    EXPECT_EQ(get_le16(file, sysvar::nxtlin), 0x407D + 6);
    options.autostart = 30; // no such line: no auto-start
    const std::vector<uint8_t> none =
        build_p_file({text_line(10, "CLS"), text_line(20, "STOP")}, options);
    EXPECT_EQ(get_le16(none, sysvar::nxtlin), get_le16(none, sysvar::d_file));
}

TEST(PFileBuilder, VariablesComeBeforeTheEndMarker) {
    BuildOptions options;
    options.variables = {0x66, 0x81, 0, 0, 0, 0}; // A = 1
    options.margin = 31;
    const std::vector<uint8_t> file = build_p_file({}, options);
    expect_consistent(file, 0, 25, 6);
    EXPECT_EQ(file[141], 0x66);
    EXPECT_EQ(file[sysvar::margin], 31);
}

TEST(PFileBuilder, TextLineRefusesBadText) {
    EXPECT_THROW(text_line(10, "PRINT \"!\""), std::invalid_argument);
}

} // namespace
