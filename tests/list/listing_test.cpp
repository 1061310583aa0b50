#include "list/listing.h"
#include <gtest/gtest.h>

#include "list/zmakebas_reader.h"
#include "program/system_variables.h"
#include "support/p_file_builder.h"

namespace {

Listing zmakebas_listing(const std::vector<uint8_t>& file) {
    return list_program(parse_p_file(file), ListStyle::zmakebas);
}

/// Feeds the zmakebas text back line by line and compares the rebuilt program area.
void expect_rebuilds(const std::vector<uint8_t>& file) {
    const PFileModel model = parse_p_file(file);
    const Listing listing = list_program(model, ListStyle::zmakebas);
    EXPECT_TRUE(listing.warnings.empty());
    std::vector<BasicLine> lines;
    std::size_t start = 0;
    while (start < listing.text.size()) {
        const std::size_t end = listing.text.find('\n', start);
        const std::string line = listing.text.substr(start, end - start);
        start = end + 1;
        const std::size_t space = line.find(' ');
        BasicLine rebuilt;
        rebuilt.number = std::stoi(line.substr(0, space));
        if (space != std::string::npos) rebuilt.codes = zmakebas_read(line.substr(space + 1));
        lines.push_back(rebuilt);
    }
    const std::vector<uint8_t> again = build_p_file(lines);
    const std::size_t program_end = get_le16(file, sysvar::d_file) - p_file_origin;
    ASSERT_EQ(get_le16(again, sysvar::d_file), get_le16(file, sysvar::d_file));
    EXPECT_TRUE(std::equal(file.begin() + 116, file.begin() + static_cast<long>(program_end),
                           again.begin() + 116));
}

std::vector<uint8_t> range(int from, int to) {
    std::vector<uint8_t> codes;
    for (int c = from; c <= to; ++c)
        codes.push_back(static_cast<uint8_t>(c));
    return codes;
}

const std::vector<BasicLine> a_program{
    text_line(10, "REM HELLO"),
    text_line(20, "PRINT AT 0,0;\"SAY \"\"HI\"\"\";TAB 5;ab"),
    text_line(30, "FOR I=1 TO 10 STEP .5"),
    text_line(40, "IF INKEY$=\"\" THEN GOTO 40"),
    text_line(50, "LET A$=CHR$ 65+STR$ PI"),
    text_line(60, "LET X=INT (RND*6)+1E3**2"),
    text_line(70, "PRINT \"\\{8}\\{128}\\{136}\\{245}\""),
    rem_line(80, {0x2A, 0x01, 0x7E, 0x40, 0xC9, 0x76, 0x00}),
    text_line(90, "PRINT EXP 1;LN 2"),
    text_line(9999, "RAND USR 16514"),
};

TEST(Listing, AProgramInTheZmakebasStyle) {
    const Listing listing = zmakebas_listing(build_p_file(a_program));
    EXPECT_EQ(listing.text, "10 REM HELLO\n"
                            "20 PRINT AT 0,0;\"SAY `HI`\"; TAB 5;ab\n"
                            "30 FOR I=1 TO 10 STEP .5\n"
                            "40 IF INKEY$ =\"\" THEN GOTO 40\n"
                            "50 LET A$= CHR$ 65+ STR$ PI\n"
                            "60 LET X= INT ( RND *6)+1E3 ** 2\n"
                            "70 PRINT \"\\!:\\::\\|:\\{245}\"\n"
                            "80 REM E\\' \\{126}\\{64}\\{201}\\{118} \n"
                            "90 PRINT \\{206}1; LN 2\n"
                            "9999 RAND USR 16514\n");
    EXPECT_TRUE(listing.warnings.empty());
    expect_rebuilds(build_p_file(a_program));
}

TEST(Listing, EveryTokenAndCharacterRebuilds) {
    std::vector<BasicLine> lines;
    for (int code = 0; code < 256; ++code) {
        if (code == 0x76) continue;
        const uint8_t c = static_cast<uint8_t>(code);
        lines.push_back({code * 10 + 1, {0xF5, c}});
        lines.push_back({code * 10 + 2, {0xF5, 0x0B, c, 0x0B, 0x1A, 0x26, c, 0x26}});
        lines.push_back({code * 10 + 3, {0xEA, c, c}});
    }
    lines.push_back(rem_line(9000, range(0, 255)));
    lines.push_back({9001, {}});
    expect_rebuilds(build_p_file(lines));
}

TEST(Listing, EmptyProgram) {
    const Listing listing = zmakebas_listing(build_p_file({}));
    EXPECT_EQ(listing.text, "");
    EXPECT_TRUE(listing.warnings.empty());
}

TEST(Listing, LinesTheNotationCannotExpress) {
    std::vector<uint8_t> file = build_p_file({text_line(10, "CLS"),
                                              text_line(20, "STOP"),
                                              {30, {}},
                                              rem_line(40, std::vector<uint8_t>(500, 0xC9))});
    file[0x74 + 6 + 1] = 5; // line 20 becomes 5
    file[0x74 + 12] = 0x27; // line 30 becomes 10000
    file[0x74 + 12 + 1] = 0x10;
    file[0x74 + 12 + 2] = 2; // and its length field 2
    const Listing listing = zmakebas_listing(file);
    const std::string long_rem = "40 REM " + [] {
        std::string s;
        for (int i = 0; i < 500; ++i)
            s += "\\{201}";
        return s;
    }();
    EXPECT_EQ(
        listing.text,
        "10 CLS\n"
        "# line number 5 does not follow line 10\n"
        "5 STOP\n"
        "# line number 10000 is above 9999; length field 2 does not end on the line's NEWLINE\n"
        "10000\n"
        "# line number 40 does not follow line 10000; the text is 3007 characters, more than "
        "the 2029 zmakebas reads\n" +
            long_rem + "\n");
    EXPECT_EQ(
        listing.warnings,
        (std::vector<std::string>{
            "line 5: line number 5 does not follow line 10",
            "line 10000: line number 10000 is above 9999; length field 2 does not end on "
            "the line's NEWLINE",
            "line 40: line number 40 does not follow line 10000; the text is 3007 characters, "
            "more than the 2029 zmakebas reads"}));
}

TEST(Listing, LineTooBigForZmakebasToBuild) {
    std::string numbers = "PRINT 1";
    for (int i = 0; i < 600; ++i)
        numbers += ",1";
    const Listing listing = zmakebas_listing(build_p_file({text_line(10, numbers)}));
    EXPECT_EQ(listing.warnings,
              std::vector<std::string>{"line 10: the line holds 4809 bytes, more than zmakebas "
                                       "builds (4085)"});
    EXPECT_EQ(
        listing.text.rfind(
            "# the line holds 4809 bytes, more than zmakebas builds (4085)\n10 PRINT 1,1,", 0),
        0u);
}

TEST(Listing, ProgramAreaNotEndingAtDFile) {
    std::vector<uint8_t> file = build_p_file({text_line(10, "CLS")});
    put_le16(file, sysvar::d_file, 0x4084); // one byte past the line, inside the display file
    const Listing listing = zmakebas_listing(file);
    EXPECT_EQ(listing.text, "10 CLS\n# the program area ends at 0x4083, D_FILE is 0x4084\n");
    EXPECT_EQ(listing.warnings,
              std::vector<std::string>{"the program area ends at 0x4083, D_FILE is 0x4084"});
    put_le16(file, sysvar::d_file, 0x4082); // inside the line
    EXPECT_EQ(zmakebas_listing(file).text, "# the line has no NEWLINE before D_FILE\n10 CLS\n");
}

TEST(Listing, ReadableStyleHasNoComments) {
    std::vector<uint8_t> file = build_p_file({text_line(10, "CLS"), text_line(20, "STOP")});
    file[0x74 + 6 + 1] = 5;
    const Listing listing = list_program(parse_p_file(file), ListStyle::readable);
    EXPECT_EQ(listing.text, "  10 CLS\n   5 STOP\n");
    EXPECT_TRUE(listing.warnings.empty());
}

} // namespace
