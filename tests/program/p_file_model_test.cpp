#include "program/p_file_model.h"
#include <gtest/gtest.h>

#include "program/system_variables.h"
#include "support/p_file_builder.h"

namespace {

TEST(PFileModel, ParsesABuiltFile) {
    BuildOptions options;
    options.screen = {{0x26, 0x27}};
    options.variables = {0x66, 0x81, 0, 0, 0, 0, 0x46, 0x01, 0x00, 0x26};
    const PFileModel m =
        parse_p_file(build_p_file({text_line(10, "PRINT 1"), rem_line(20, {0x76, 0x7E})}, options));
    ASSERT_EQ(m.lines.size(), 2u);
    EXPECT_EQ(m.lines[0].offset, 116u);
    EXPECT_EQ(m.lines[0].number, 10);
    EXPECT_EQ(m.lines[0].length_field, 9);
    EXPECT_EQ(code_count(m.lines[0]), 8u);
    EXPECT_TRUE(m.lines[0].length_ok);
    EXPECT_EQ(m.lines[1].number, 20);
    EXPECT_EQ(code_count(m.lines[1]), 3u); // a NEWLINE inside the REM does not end it
    EXPECT_EQ(m.program_end, offset_of_address(m.d_file));
    ASSERT_EQ(m.rows.size(), 24u);
    EXPECT_EQ(m.rows[0].length, 2u);
    EXPECT_EQ(m.rows[1].length, 0u);
    EXPECT_EQ(m.display_newlines, 25);
    ASSERT_EQ(m.variables.size(), 2u);
    EXPECT_EQ(m.variables[0].kind, VariableKind::number);
    EXPECT_EQ(m.variables[1].kind, VariableKind::string);
    EXPECT_EQ(m.variables[1].size, 4u);
    EXPECT_EQ(m.end_marker + 1, m.bytes.size());
    EXPECT_EQ(m.versn, 0);
    EXPECT_EQ(m.margin, 55);
}

TEST(PFileModel, AWrongLengthFieldEndsAtTheNewline) {
    std::vector<uint8_t> file =
        build_p_file({text_line(10, "PRINT .00048828125"), text_line(20, "STOP")});
    file[118] = 40; // the line's length
    const PFileModel m = parse_p_file(file);
    ASSERT_EQ(m.lines.size(), 2u);
    EXPECT_FALSE(m.lines[0].length_ok);
    EXPECT_TRUE(m.lines[0].has_newline);
    EXPECT_EQ(m.bytes[120 + 14], 0x76);     // the hidden form, exponent byte 0x76
    EXPECT_EQ(code_count(m.lines[0]), 19u); // is skipped over
    EXPECT_EQ(m.lines[1].number, 20);
    EXPECT_TRUE(m.lines[1].length_ok);
}

TEST(PFileModel, ALineCutByDFile) {
    std::vector<uint8_t> file = build_p_file({text_line(10, "STOP")});
    put_le16(file, sysvar::d_file, static_cast<uint16_t>(get_le16(file, sysvar::d_file) - 1));
    const PFileModel m = parse_p_file(file);
    ASSERT_EQ(m.lines.size(), 1u);
    EXPECT_FALSE(m.lines[0].has_newline);
    EXPECT_EQ(m.lines[0].end, m.program_limit);
}

TEST(PFileModel, AnyBytesGiveAModel) {
    for (std::size_t size : {0u, 1u, 12u, 115u, 116u, 117u, 300u}) {
        std::vector<uint8_t> bytes(size, 0xFF);
        const PFileModel m = parse_p_file(bytes);
        EXPECT_EQ(m.file_size, size);
        EXPECT_LE(m.program_limit, size);
        EXPECT_LE(m.display_end, size);
        EXPECT_LE(m.variables_end, size);
    }
    const PFileModel big = parse_p_file(std::vector<uint8_t>(10, 0), 100000);
    EXPECT_EQ(big.file_size, 100000u);
}

} // namespace
