#include "list/readable_listing.h"
#include <gtest/gtest.h>

#include "list/listing.h"
#include "support/p_file_builder.h"

namespace {

std::string listing_of(const std::vector<BasicLine>& lines, ListStyle style = ListStyle::readable) {
    return list_program(parse_p_file(build_p_file(lines)), style).text;
}

std::vector<uint8_t> range(int from, int to) {
    std::vector<uint8_t> codes;
    for (int c = from; c <= to; ++c)
        codes.push_back(static_cast<uint8_t>(c));
    return codes;
}

TEST(ReadableListing, EveryKeywordBetweenTwoLetters) {
    // Statements and THEN TO STEP OR AND get a space on both sides, functions one after,
    // RND INKEY$ PI and the symbols none.
    const char* const expected[] = {
        "A\\{192}B", // 0xC0 stands for itself below
        "AAT B",     "ATAB B",   "A\\{195}B", "ACODE B",    "AVAL B",     "ALEN B",     "ASIN B",
        "ACOS B",    "ATAN B",   "AASN B",    "AACS B",     "AATN B",     "ALN B",      "AEXP B",
        "AINT B",    "ASQR B",   "ASGN B",    "AABS B",     "APEEK B",    "AUSR B",     "ASTR$ B",
        "ACHR$ B",   "ANOT B",   "A**B",      "A OR B",     "A AND B",    "A<=B",       "A>=B",
        "A<>B",      "A THEN B", "A TO B",    "A STEP B",   "A LPRINT B", "A LLIST B",  "A STOP B",
        "A SLOW B",  "A FAST B", "A NEW B",   "A SCROLL B", "A CONT B",   "A DIM B",    "A REM B",
        "A FOR B",   "A GOTO B", "A GOSUB B", "A INPUT B",  "A LOAD B",   "A LIST B",   "A LET B",
        "A PAUSE B", "A NEXT B", "A POKE B",  "A PRINT B",  "A PLOT B",   "A RUN B",    "A SAVE B",
        "A RAND B",  "A IF B",   "A CLS B",   "A UNPLOT B", "A CLEAR B",  "A RETURN B", "A COPY B",
    };
    for (int code = 0xC1; code <= 0xFF; ++code) {
        const std::vector<BasicLine> lines{{10, {0x26, static_cast<uint8_t>(code), 0x27}}};
        EXPECT_EQ(listing_of(lines), std::string("  10 ") + expected[code - 0xC0] + "\n") << code;
    }
    EXPECT_EQ(listing_of({{10, {0x26, 0x40, 0x27, 0x41, 0x42}}}), "  10 ARNDBINKEY$PI\n");
    EXPECT_EQ(listing_of({{10, {0x26, 0xC0, 0x27}}}), "  10 A\"\"B\n");
}

TEST(ReadableListing, EveryCharacter) {
    EXPECT_EQ(listing_of({rem_line(1, range(0x00, 0x3F))}),
              "   1 REM  "
              "▘▝▀▖▌▞▛▒🮏🮎\"£$:?()><=+-*/"
              ";,.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\n");
    EXPECT_EQ(listing_of({rem_line(2, range(0x80, 0xBF))}),
              "   2 REM "
              "█▟▙▄▜▐▚▗🮐🮑🮒[\"£$:?()><=+-*/"
              ";,.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ]\n");
}

TEST(ReadableListing, CodesWithoutTextAreEscaped) {
    EXPECT_EQ(listing_of({rem_line(1, {0x43, 0x75, 0x76, 0x7E, 0x7F, 0xC3})}),
              "   1 REM \\{67}\\{117}\\{118}\\{126}\\{127}\\{195}\n");
}

TEST(ReadableListing, AProgram) {
    const std::vector<BasicLine> lines{
        text_line(10, "REM HELLO"),
        text_line(20, "PRINT AT 0,0;\"SAY \"\"HI\"\"\";TAB 5;ab"),
        text_line(30, "FOR I=1 TO 10 STEP .5"),
        text_line(40, "IF INKEY$=\"\" THEN GOTO 40"),
        text_line(50, "LET A$=CHR$ 65+STR$ PI"),
        text_line(60, "LET X=INT (RND*6)+1E3"),
        text_line(70, "PRINT \"\\{8}\\{128}\\{136}\""),
        rem_line(80, {0x2A, 0x01, 0x7E, 0x40, 0xC9}),
        text_line(9999, "RAND USR 16514"),
        {123, {}},
    };
    EXPECT_EQ(listing_of(lines), "  10 REM HELLO\n"
                                 "  20 PRINT AT 0,0;\"SAY \"\"HI\"\"\";TAB 5;[AB]\n"
                                 "  30 FOR I=1 TO 10 STEP .5\n"
                                 "  40 IF INKEY$=\"\" THEN GOTO 40\n"
                                 "  50 LET A$=CHR$ 65+STR$ PI\n"
                                 "  60 LET X=INT (RND*6)+1E3\n"
                                 "  70 PRINT \"▒█🮐\"\n"
                                 "  80 REM E▘\\{126}RNDTAN\n"
                                 "9999 RAND USR 16514\n"
                                 " 123\n");
}

TEST(ReadableListing, EmptyProgram) {
    EXPECT_EQ(listing_of({}), "");
}

TEST(ReadableListing, ScreenCharacters) {
    const std::vector<uint8_t> bytes{0x26, 0xA6, 0xA7, 0x00, 0x08, 0xF5};
    EXPECT_EQ(readable_characters(bytes, 0, 6, 8), "A[AB] ▒\\{245}  ");
    EXPECT_EQ(readable_characters(bytes, 0, 0, 3), "   ");
}

} // namespace
