#include "program/p_file_check.h"
#include <gtest/gtest.h>

#include <cstdio>

#include "program/system_variables.h"
#include "support/p_file_builder.h"

namespace {

/// The findings as "0xNNNN: message" lines.
std::vector<std::string> findings(const std::vector<uint8_t>& bytes) {
    std::vector<std::string> lines;
    for (const Finding& f : check_p_file(parse_p_file(bytes))) {
        char offset[16];
        std::snprintf(offset, sizeof offset, "0x%04zX: ", f.offset);
        lines.push_back(offset + f.message);
    }
    return lines;
}

using Lines = std::vector<std::string>;

/// A small program: three lines, line 10 at 0x407D (offset 0x74).
std::vector<BasicLine> sample_lines() {
    return {text_line(10, "PRINT \"HELLO\""), text_line(20, "LET A=A+1"), text_line(30, "GOTO 10")};
}

std::vector<uint8_t> sample() {
    return build_p_file(sample_lines());
}

TEST(Check, CleanFilesOfEveryShapeGiveNoFinding) {
    BuildOptions full;
    full.full_display = true;
    full.screen = {{0x2D, 0x2A, 0x31, 0x31, 0x34}, {}, std::vector<uint8_t>(32, 0x80)};
    BuildOptions variables;
    variables.variables = {0x66, 0x81, 0,    0,    0,    0,       // A = 1
                           0x46, 0x02, 0x00, 0x2D, 0x2E,          // A$ = "HI"
                           0xA7, 0xA6, 0x82, 0,    0,    0,    0, // BA (long name) = 2
                           0xEE, 0x81, 0,    0,    0,    0,    0x84, 0x20, 0, 0, 0, // FOR I
                           0x81, 0,    0,    0,    0,    0x0A, 0x00};
    BuildOptions autostart_ntsc;
    autostart_ntsc.autostart = 20;
    autostart_ntsc.margin = 31;
    BuildOptions collapsed_screen;
    collapsed_screen.screen = {{0x26}, {}, std::vector<uint8_t>(32, 0x08)};
    const std::vector<std::vector<uint8_t>> files{
        build_p_file({}),
        sample(),
        build_p_file(sample_lines(), full),
        build_p_file(sample_lines(), variables),
        build_p_file(sample_lines(), autostart_ntsc),
        build_p_file(sample_lines(), collapsed_screen),
        build_p_file(
            {rem_line(1, {0x76, 0x7E, 0x0B, 0x7E, 0x76, 0x00}), text_line(2, "RAND USR 16514")}),
        build_p_file({text_line(1, "PRINT \"\\{126}\\{118}\""), text_line(9999, "STOP")}),
        build_p_file({rem_line(5, std::vector<uint8_t>(2000, 0xFF))}, full),
    };
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(findings(files[i]), Lines{}) << i;
}

// The sample: line 10 at offset 0x74, line 20 at 0x81, line 30 at 0x92, D_FILE 0x40A9 (offset
// 0xA0), VARS 0x40C2 (0xB9), E_LINE 0x40C3: 186 bytes.
TEST(Check, SampleLayout) {
    const std::vector<uint8_t> file = sample();
    ASSERT_EQ(file.size(), 186u);
    EXPECT_EQ(get_le16(file, sysvar::d_file), 0x40A9);
    EXPECT_EQ(file[0x82], 20);
    EXPECT_EQ(file[0x93], 30);
}

TEST(Check, FlippedBitInALineLength) {
    std::vector<uint8_t> file = sample();
    file[0x76] ^= 0x04;
    EXPECT_EQ(
        findings(file),
        Lines{"0x0076: line 10: length field 13 does not end on its NEWLINE (it should be 9)"});
}

TEST(Check, TruncatedFile) {
    std::vector<uint8_t> file = sample();
    file.pop_back();
    EXPECT_EQ(
        findings(file),
        (Lines{"0x0007: VARS 0x40C2 lies beyond the end of the file",
               "0x00B9: the file is truncated: E_LINE 0x40C3 makes it 186 bytes, it has 185"}));
    file.resize(166); // into the display file
    EXPECT_EQ(
        findings(file),
        (Lines{"0x0007: VARS 0x40C2 lies beyond the end of the file",
               "0x00A0: the display file has 6 NEWLINEs, not 25",
               "0x00A6: the file is truncated: E_LINE 0x40C3 makes it 186 bytes, it has 166"}));
}

TEST(Check, TrailingBytes) {
    std::vector<uint8_t> file = sample();
    file.insert(file.end(), {0x76, 0x00, 0x01});
    EXPECT_EQ(findings(file), Lines{"0x00BA: 3 trailing bytes after E_LINE 0x40C3"});
    file.resize(file.size() - 2);
    EXPECT_EQ(findings(file), Lines{"0x00BA: 1 trailing byte after E_LINE 0x40C3"});
}

TEST(Check, WrongELine) {
    std::vector<uint8_t> file = sample();
    put_le16(file, sysvar::e_line, 0x40C4);
    EXPECT_EQ(findings(file), Lines{"0x00BA: the file is truncated: E_LINE 0x40C4 makes it 187 "
                                    "bytes, it has 186"});
    put_le16(file, sysvar::e_line, 0x40C2);
    EXPECT_EQ(findings(file), (Lines{"0x000B: E_LINE 0x40C2 is not after VARS 0x40C2",
                                     "0x00B9: 1 trailing byte after E_LINE 0x40C2"}));
    put_le16(file, sysvar::e_line, 0x40D0);
    put_le16(file, sysvar::vars, 0x40C0);
    file.resize(0xC7, 0x76);
    EXPECT_EQ(
        findings(file),
        (Lines{
            "0x00A0: the display file has 23 NEWLINEs, not 25",
            "0x00C6: the variables do not end with the 0x80 marker before E_LINE (found 0x76)"}));
}

TEST(Check, MissingEndMarker) {
    std::vector<uint8_t> file = sample();
    file.back() = 0x00;
    EXPECT_EQ(
        findings(file),
        Lines{"0x00B9: the variables do not end with the 0x80 marker before E_LINE (found 0x00)"});
    file.pop_back(); // gone, and E_LINE moved back with it
    put_le16(file, sysvar::e_line, 0x40C2);
    EXPECT_EQ(findings(file), (Lines{"0x0007: VARS 0x40C2 lies beyond the end of the file",
                                     "0x000B: E_LINE 0x40C2 is not after VARS 0x40C2"}));
}

TEST(Check, LineNumbersOutOfOrder) {
    std::vector<uint8_t> file = sample();
    file[0x82] = 5; // line 20 becomes line 5
    EXPECT_EQ(findings(file), Lines{"0x0081: line 5 follows line 10: not in ascending order"});
    file[0x82] = 10;
    EXPECT_EQ(findings(file), Lines{"0x0081: line 10 follows line 10: not in ascending order"});
}

TEST(Check, LineNumbersOutOfRange) {
    std::vector<uint8_t> file = sample();
    file[0x75] = 0; // line 10 becomes line 0
    file[0x92] = 0x27;
    file[0x93] = 0x10; // line 30 becomes line 10000
    EXPECT_EQ(findings(file), (Lines{"0x0074: line number 0 is outside 1..9999",
                                     "0x0092: line number 10000 is outside 1..9999"}));
}

TEST(Check, NumberMarkerCutShort) {
    const std::vector<uint8_t> file = build_p_file({{10, {0xF5, 0x1D, 0x7E, 0x81, 0x00}}});
    EXPECT_EQ(findings(file),
              Lines{"0x007A: line 10: number marker with only 2 bytes of its 5 after it"});
}

TEST(Check, LinesNotEndingAtDFile) {
    std::vector<uint8_t> file = sample();
    put_le16(file, sysvar::d_file, 0x40A7); // two bytes inside line 30
    EXPECT_EQ(findings(file),
              (Lines{"0x0020: NXTLIN 0x40A9 is neither a line nor D_FILE",
                     "0x0094: line 30: no NEWLINE before D_FILE",
                     "0x0099: line 30: number marker with only 4 bytes of its 5 after it",
                     "0x009E: the display file does not start with a NEWLINE",
                     "0x009E: the display file has 26 NEWLINEs, not 25",
                     "0x00B7: the display file ends 2 bytes before VARS"}));
}

TEST(Check, BytesBeforeDFileThatAreNoLine) {
    std::vector<uint8_t> file = sample();
    const std::size_t d_file = get_le16(file, sysvar::d_file) - p_file_origin;
    file.insert(file.begin() + static_cast<long>(d_file), {0x00, 0x01});
    for (std::size_t var : {sysvar::d_file, sysvar::df_cc, sysvar::vars, sysvar::e_line}) {
        put_le16(file, var, static_cast<uint16_t>(get_le16(file, var) + 2));
    }
    put_le16(file, sysvar::nxtlin, get_le16(file, sysvar::d_file));
    EXPECT_EQ(findings(file), Lines{"0x00A0: 2 bytes before D_FILE are not a program line"});
}

TEST(Check, DisplayFile) {
    BuildOptions options;
    options.screen = {std::vector<uint8_t>(32, 0x26)};
    std::vector<uint8_t> file = build_p_file({}, options);
    file[0x75 + 31] = 0xF5; // a token on the screen
    file[0x75 + 32] = 0x26; // row 1 runs into row 2
    EXPECT_EQ(findings(file), (Lines{"0x0074: the display file has 24 NEWLINEs, not 25",
                                     "0x0075: display row 1 has 33 characters, more than 32",
                                     "0x0094: display row 1 holds code 0xF5, not a character"}));
    std::vector<uint8_t> extra = build_p_file({});
    extra[0x74 + 24] = 0x00; // the last row gains a character, the file no NEWLINE
    EXPECT_EQ(findings(extra), Lines{"0x0074: the display file has 24 NEWLINEs, not 25"});
}

TEST(Check, DisplayFileEndingBeforeVars) {
    std::vector<uint8_t> file = build_p_file({});
    file.insert(file.end() - 1, 0x00);
    put_le16(file, sysvar::vars, static_cast<uint16_t>(get_le16(file, sysvar::vars) + 1));
    put_le16(file, sysvar::e_line, static_cast<uint16_t>(get_le16(file, sysvar::e_line) + 1));
    EXPECT_EQ(findings(file), Lines{"0x008D: the display file ends 1 byte before VARS"});
}

TEST(Check, SystemVariables) {
    std::vector<uint8_t> file = sample();
    file[sysvar::versn] = 0xFF;
    put_le16(file, sysvar::nxtlin, 0x4080);
    EXPECT_EQ(findings(file), (Lines{"0x0000: VERSN is 255, not 0: not a ZX81 program",
                                     "0x0020: NXTLIN 0x4080 is neither a line nor D_FILE"}));
    file = sample();
    put_le16(file, sysvar::nxtlin, 0x408A); // line 20: an auto-start
    EXPECT_EQ(findings(file), Lines{});
    put_le16(file, sysvar::df_cc, 0x40A9);
    EXPECT_EQ(findings(file), Lines{"0x0005: DF_CC 0x40A9 lies outside the display file"});
    file = sample();
    put_le16(file, sysvar::d_file, 0x4000);
    put_le16(file, sysvar::vars, 0x3000);
    EXPECT_EQ(findings(file), (Lines{"0x0003: D_FILE 0x4000 is below the program start 0x407D",
                                     "0x0005: DF_CC 0x40AA lies outside the display file",
                                     "0x0007: VARS 0x3000 is not after D_FILE 0x4000",
                                     "0x0020: NXTLIN 0x40A9 is neither a line nor D_FILE"}));
    file = sample();
    put_le16(file, sysvar::vars, 0x5000);
    EXPECT_EQ(findings(file), (Lines{"0x0007: VARS 0x5000 lies beyond the end of the file",
                                     "0x000B: E_LINE 0x40C3 is not after VARS 0x5000"}));
    file = sample();
    put_le16(file, sysvar::d_file, 0x5000);
    EXPECT_EQ(findings(file)[0], "0x0003: D_FILE 0x5000 lies beyond the end of the file");
}

TEST(Check, FileShorterThanTheSystemVariables) {
    EXPECT_EQ(findings(std::vector<uint8_t>(50, 0)),
              Lines{"0x0032: the file ends inside the system variables (50 bytes of 116)"});
    EXPECT_EQ(findings({}),
              Lines{"0x0000: the file ends inside the system variables (0 bytes of 116)"});
}

} // namespace
