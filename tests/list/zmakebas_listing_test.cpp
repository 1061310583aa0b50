#include "list/zmakebas_listing.h"
#include <gtest/gtest.h>

#include <random>

#include "list/zmakebas_reader.h"
#include "program/zx81_charset.h"
#include "program/zx81_number.h"
#include "support/basic_text.h"

namespace {

std::string text_of(const std::vector<uint8_t>& codes) {
    return zmakebas_codes(codes.data(), codes.size());
}

/// The text, and that zmakebas would read it back into the same codes.
std::string round_trip(const std::vector<uint8_t>& codes) {
    const std::string text = text_of(codes);
    EXPECT_EQ(zmakebas_read(text), codes) << "text: " << text;
    return text;
}

std::vector<uint8_t> basic(const std::string& text) {
    std::vector<uint8_t> codes;
    std::string error;
    EXPECT_TRUE(encode_basic_text(text, codes, error)) << error;
    return codes;
}

std::vector<uint8_t> number_codes(const std::string& digits, Zx81Number hidden) {
    std::vector<uint8_t> codes;
    for (char d : digits)
        codes.push_back(static_cast<uint8_t>(code_of_ascii(d)));
    codes.push_back(code_number);
    codes.insert(codes.end(), hidden.begin(), hidden.end());
    return codes;
}

// Every code's text inside a string, in a REM and in program code, as the notation's
// per-code table gives it.
struct CodeText {
    int code;
    const char* in_string;
    const char* in_rem;
    const char* in_code;
};

const CodeText code_texts[] = {
    {0, " ", " ", "\\{0}"},
    {1, "\\' ", "\\' ", "\\' "},
    {2, "\\ '", "\\ '", "\\ '"},
    {3, "\\''", "\\''", "\\''"},
    {4, "\\. ", "\\. ", "\\. "},
    {5, "\\: ", "\\: ", "\\: "},
    {6, "\\.'", "\\.'", "\\.'"},
    {7, "\\:'", "\\:'", "\\:'"},
    {8, "\\!:", "\\!:", "\\!:"},
    {9, "\\!.", "\\!.", "\\!."},
    {10, "\\!'", "\\!'", "\\!'"},
    {11, "\\{11}", "\"", "\" (opens or closes a string)"},
    {12, "\\\\", "\\\\", "\\\\"},
    {13, "$", "$", "$"},
    {14, ":", ":", ":"},
    {15, "?", "?", "?"},
    {16, "(", "(", "("},
    {17, ")", ")", ")"},
    {18, ">", ">", ">"},
    {19, "<", "<", "<"},
    {20, "=", "=", "="},
    {21, "+", "+", "+"},
    {22, "-", "-", "-"},
    {23, "*", "*", "*"},
    {24, "/", "/", "/"},
    {25, ";", ";", ";"},
    {26, ",", ",", ","},
    {27, ".", ".", "."},
    {28, "0", "0", "0"},
    {29, "1", "1", "1"},
    {30, "2", "2", "2"},
    {31, "3", "3", "3"},
    {32, "4", "4", "4"},
    {33, "5", "5", "5"},
    {34, "6", "6", "6"},
    {35, "7", "7", "7"},
    {36, "8", "8", "8"},
    {37, "9", "9", "9"},
    {38, "A", "A", "A"},
    {39, "B", "B", "B"},
    {40, "C", "C", "C"},
    {41, "D", "D", "D"},
    {42, "E", "E", "E"},
    {43, "F", "F", "F"},
    {44, "G", "G", "G"},
    {45, "H", "H", "H"},
    {46, "I", "I", "I"},
    {47, "J", "J", "J"},
    {48, "K", "K", "K"},
    {49, "L", "L", "L"},
    {50, "M", "M", "M"},
    {51, "N", "N", "N"},
    {52, "O", "O", "O"},
    {53, "P", "P", "P"},
    {54, "Q", "Q", "Q"},
    {55, "R", "R", "R"},
    {56, "S", "S", "S"},
    {57, "T", "T", "T"},
    {58, "U", "U", "U"},
    {59, "V", "V", "V"},
    {60, "W", "W", "W"},
    {61, "X", "X", "X"},
    {62, "Y", "Y", "Y"},
    {63, "Z", "Z", "Z"},
    {64, "\\{64}", "\\{64}", "RND"},
    {65, "\\{65}", "\\{65}", "INKEY$"},
    {66, "\\{66}", "\\{66}", "PI"},
    {67, "\\{67}", "\\{67}", "\\{67}"},
    {68, "\\{68}", "\\{68}", "\\{68}"},
    {69, "\\{69}", "\\{69}", "\\{69}"},
    {70, "\\{70}", "\\{70}", "\\{70}"},
    {71, "\\{71}", "\\{71}", "\\{71}"},
    {72, "\\{72}", "\\{72}", "\\{72}"},
    {73, "\\{73}", "\\{73}", "\\{73}"},
    {74, "\\{74}", "\\{74}", "\\{74}"},
    {75, "\\{75}", "\\{75}", "\\{75}"},
    {76, "\\{76}", "\\{76}", "\\{76}"},
    {77, "\\{77}", "\\{77}", "\\{77}"},
    {78, "\\{78}", "\\{78}", "\\{78}"},
    {79, "\\{79}", "\\{79}", "\\{79}"},
    {80, "\\{80}", "\\{80}", "\\{80}"},
    {81, "\\{81}", "\\{81}", "\\{81}"},
    {82, "\\{82}", "\\{82}", "\\{82}"},
    {83, "\\{83}", "\\{83}", "\\{83}"},
    {84, "\\{84}", "\\{84}", "\\{84}"},
    {85, "\\{85}", "\\{85}", "\\{85}"},
    {86, "\\{86}", "\\{86}", "\\{86}"},
    {87, "\\{87}", "\\{87}", "\\{87}"},
    {88, "\\{88}", "\\{88}", "\\{88}"},
    {89, "\\{89}", "\\{89}", "\\{89}"},
    {90, "\\{90}", "\\{90}", "\\{90}"},
    {91, "\\{91}", "\\{91}", "\\{91}"},
    {92, "\\{92}", "\\{92}", "\\{92}"},
    {93, "\\{93}", "\\{93}", "\\{93}"},
    {94, "\\{94}", "\\{94}", "\\{94}"},
    {95, "\\{95}", "\\{95}", "\\{95}"},
    {96, "\\{96}", "\\{96}", "\\{96}"},
    {97, "\\{97}", "\\{97}", "\\{97}"},
    {98, "\\{98}", "\\{98}", "\\{98}"},
    {99, "\\{99}", "\\{99}", "\\{99}"},
    {100, "\\{100}", "\\{100}", "\\{100}"},
    {101, "\\{101}", "\\{101}", "\\{101}"},
    {102, "\\{102}", "\\{102}", "\\{102}"},
    {103, "\\{103}", "\\{103}", "\\{103}"},
    {104, "\\{104}", "\\{104}", "\\{104}"},
    {105, "\\{105}", "\\{105}", "\\{105}"},
    {106, "\\{106}", "\\{106}", "\\{106}"},
    {107, "\\{107}", "\\{107}", "\\{107}"},
    {108, "\\{108}", "\\{108}", "\\{108}"},
    {109, "\\{109}", "\\{109}", "\\{109}"},
    {110, "\\{110}", "\\{110}", "\\{110}"},
    {111, "\\{111}", "\\{111}", "\\{111}"},
    {112, "\\{112}", "\\{112}", "\\{112}"},
    {113, "\\{113}", "\\{113}", "\\{113}"},
    {114, "\\{114}", "\\{114}", "\\{114}"},
    {115, "\\{115}", "\\{115}", "\\{115}"},
    {116, "\\{116}", "\\{116}", "\\{116}"},
    {117, "\\{117}", "\\{117}", "\\{117}"},
    {118, "\\{118}", "\\{118}", "(end of line; inside a line: \\{118})"},
    {119, "\\{119}", "\\{119}", "\\{119}"},
    {120, "\\{120}", "\\{120}", "\\{120}"},
    {121, "\\{121}", "\\{121}", "\\{121}"},
    {122, "\\{122}", "\\{122}", "\\{122}"},
    {123, "\\{123}", "\\{123}", "\\{123}"},
    {124, "\\{124}", "\\{124}", "\\{124}"},
    {125, "\\{125}", "\\{125}", "\\{125}"},
    {126, "\\{126}", "\\{126}", "(zmakebas writes it after a number; literal: \\{126})"},
    {127, "\\{127}", "\\{127}", "\\{127}"},
    {128, "\\::", "\\::", "\\::"},
    {129, "\\.:", "\\.:", "\\.:"},
    {130, "\\:.", "\\:.", "\\:."},
    {131, "\\..", "\\..", "\\.."},
    {132, "\\':", "\\':", "\\':"},
    {133, "\\ :", "\\ :", "\\ :"},
    {134, "\\'.", "\\'.", "\\'."},
    {135, "\\ .", "\\ .", "\\ ."},
    {136, "\\|:", "\\|:", "\\|:"},
    {137, "\\|.", "\\|.", "\\|."},
    {138, "\\|'", "\\|'", "\\|'"},
    {139, "\\{139}", "\\\"", "\\{139}"},
    {140, "\\@", "\\@", "\\@"},
    {141, "\\$", "\\$", "\\$"},
    {142, "\\:", "\\:", "\\:"},
    {143, "\\?", "\\?", "\\?"},
    {144, "\\(", "\\(", "\\("},
    {145, "\\)", "\\)", "\\)"},
    {146, "\\>", "\\>", "\\>"},
    {147, "\\<", "\\<", "\\<"},
    {148, "\\=", "\\=", "\\="},
    {149, "\\+", "\\+", "\\+"},
    {150, "\\-", "\\-", "\\-"},
    {151, "\\*", "\\*", "\\*"},
    {152, "\\/", "\\/", "\\/"},
    {153, "\\;", "\\;", "\\;"},
    {154, "\\,", "\\,", "\\,"},
    {155, "\\.", "\\.", "\\."},
    {156, "\\0", "\\0", "\\0"},
    {157, "\\1", "\\1", "\\1"},
    {158, "\\2", "\\2", "\\2"},
    {159, "\\3", "\\3", "\\3"},
    {160, "\\4", "\\4", "\\4"},
    {161, "\\5", "\\5", "\\5"},
    {162, "\\6", "\\6", "\\6"},
    {163, "\\7", "\\7", "\\7"},
    {164, "\\8", "\\8", "\\8"},
    {165, "\\9", "\\9", "\\9"},
    {166, "a", "a", "a"},
    {167, "b", "b", "b"},
    {168, "c", "c", "c"},
    {169, "d", "d", "d"},
    {170, "e", "e", "e"},
    {171, "f", "f", "f"},
    {172, "g", "g", "g"},
    {173, "h", "h", "h"},
    {174, "i", "i", "i"},
    {175, "j", "j", "j"},
    {176, "k", "k", "k"},
    {177, "l", "l", "l"},
    {178, "m", "m", "m"},
    {179, "n", "n", "n"},
    {180, "o", "o", "o"},
    {181, "p", "p", "p"},
    {182, "q", "q", "q"},
    {183, "r", "r", "r"},
    {184, "s", "s", "s"},
    {185, "t", "t", "t"},
    {186, "u", "u", "u"},
    {187, "v", "v", "v"},
    {188, "w", "w", "w"},
    {189, "x", "x", "x"},
    {190, "y", "y", "y"},
    {191, "z", "z", "z"},
    {192, "`", "`", "`"},
    {193, "\\{193}", "\\{193}", "AT"},
    {194, "\\{194}", "\\{194}", "TAB"},
    {195, "\\{195}", "\\{195}", "\\{195}"},
    {196, "\\{196}", "\\{196}", "CODE"},
    {197, "\\{197}", "\\{197}", "VAL"},
    {198, "\\{198}", "\\{198}", "LEN"},
    {199, "\\{199}", "\\{199}", "SIN"},
    {200, "\\{200}", "\\{200}", "COS"},
    {201, "\\{201}", "\\{201}", "TAN"},
    {202, "\\{202}", "\\{202}", "ASN"},
    {203, "\\{203}", "\\{203}", "ACS"},
    {204, "\\{204}", "\\{204}", "ATN"},
    {205, "\\{205}", "\\{205}", "LN"},
    {206, "\\{206}", "\\{206}", "\\{206}"},
    {207, "\\{207}", "\\{207}", "INT"},
    {208, "\\{208}", "\\{208}", "SQR"},
    {209, "\\{209}", "\\{209}", "SGN"},
    {210, "\\{210}", "\\{210}", "ABS"},
    {211, "\\{211}", "\\{211}", "PEEK"},
    {212, "\\{212}", "\\{212}", "USR"},
    {213, "\\{213}", "\\{213}", "STR$"},
    {214, "\\{214}", "\\{214}", "CHR$"},
    {215, "\\{215}", "\\{215}", "NOT"},
    {216, "\\{216}", "\\{216}", "**"},
    {217, "\\{217}", "\\{217}", "OR"},
    {218, "\\{218}", "\\{218}", "AND"},
    {219, "\\{219}", "\\{219}", "<="},
    {220, "\\{220}", "\\{220}", ">="},
    {221, "\\{221}", "\\{221}", "<>"},
    {222, "\\{222}", "\\{222}", "THEN"},
    {223, "\\{223}", "\\{223}", "TO"},
    {224, "\\{224}", "\\{224}", "STEP"},
    {225, "\\{225}", "\\{225}", "LPRINT"},
    {226, "\\{226}", "\\{226}", "LLIST"},
    {227, "\\{227}", "\\{227}", "STOP"},
    {228, "\\{228}", "\\{228}", "SLOW"},
    {229, "\\{229}", "\\{229}", "FAST"},
    {230, "\\{230}", "\\{230}", "NEW"},
    {231, "\\{231}", "\\{231}", "SCROLL"},
    {232, "\\{232}", "\\{232}", "CONT"},
    {233, "\\{233}", "\\{233}", "DIM"},
    {234, "\\{234}", "\\{234}", "REM"},
    {235, "\\{235}", "\\{235}", "FOR"},
    {236, "\\{236}", "\\{236}", "GOTO"},
    {237, "\\{237}", "\\{237}", "GOSUB"},
    {238, "\\{238}", "\\{238}", "INPUT"},
    {239, "\\{239}", "\\{239}", "LOAD"},
    {240, "\\{240}", "\\{240}", "LIST"},
    {241, "\\{241}", "\\{241}", "LET"},
    {242, "\\{242}", "\\{242}", "PAUSE"},
    {243, "\\{243}", "\\{243}", "NEXT"},
    {244, "\\{244}", "\\{244}", "POKE"},
    {245, "\\{245}", "\\{245}", "PRINT"},
    {246, "\\{246}", "\\{246}", "PLOT"},
    {247, "\\{247}", "\\{247}", "RUN"},
    {248, "\\{248}", "\\{248}", "SAVE"},
    {249, "\\{249}", "\\{249}", "RAND"},
    {250, "\\{250}", "\\{250}", "IF"},
    {251, "\\{251}", "\\{251}", "CLS"},
    {252, "\\{252}", "\\{252}", "UNPLOT"},
    {253, "\\{253}", "\\{253}", "CLEAR"},
    {254, "\\{254}", "\\{254}", "RETURN"},
    {255, "\\{255}", "\\{255}", "COPY"},
};

TEST(ZmakebasListing, EveryCodeInAString) {
    for (const CodeText& t : code_texts) {
        if (t.code == code_quote) continue; // it would end the string
        const std::vector<uint8_t> codes{code_quote, static_cast<uint8_t>(t.code), code_quote};
        EXPECT_EQ(round_trip(codes), std::string("\"") + t.in_string + "\"") << t.code;
    }
}

TEST(ZmakebasListing, EveryCodeInARem) {
    for (const CodeText& t : code_texts) {
        const std::vector<uint8_t> codes{code_rem, static_cast<uint8_t>(t.code), 0x26};
        EXPECT_EQ(round_trip(codes), std::string("REM ") + t.in_rem + "A") << t.code;
    }
}

TEST(ZmakebasListing, EveryCodeInProgramCode) {
    for (const CodeText& t : code_texts) {
        const uint8_t code = static_cast<uint8_t>(t.code);
        std::string expected = t.in_code;
        if (code == code_quote) {
            expected = "\""; // opens a string; the comma after it is in the string
        } else if (code == code_newline) {
            expected = "\\{118}";
        } else if (code == code_number) {
            expected = "\\{126}";
        } else if (is_digit_code(code)) {
            expected = "\\{" + std::to_string(code) + "}"; // a digit with no 0x7E after it
        } else if (code == code_rem) {
            expected = " REM ";
        } else if (keyword_text(code) != nullptr && code != code_exp) {
            expected = std::string(" ") + t.in_code + " ";
        }
        const std::vector<uint8_t> codes{0x1A, code, 0x1A};
        EXPECT_EQ(round_trip(codes), "," + expected + ",") << t.code;
    }
}

struct LineCase {
    std::vector<uint8_t> codes;
    const char* text;
};

TEST(ZmakebasListing, TrapsAroundTheText) {
    const LineCase cases[] = {
        // keywords with spaces; ** and the comparison pairs kept apart
        {basic("LET Y=2**3"), "LET Y=2 ** 3"},
        {{0xF5, 0x26, 0x17, 0x17, 0x27}, "PRINT A* *B"},
        {{0xFA, 0x26, 0x13, 0x12, 0x27}, "IF A< >B"},
        {{0xFA, 0x26, 0x13, 0x14, 0x27}, "IF A< =B"},
        {{0xFA, 0x26, 0x12, 0x14, 0x27}, "IF A> =B"},
        {{0xFA, 0x26, 0x93, 0x14, 0x27}, "IF A\\< =B"},
        {{0xF5, 0x97, 0x17}, "PRINT \\* *"},
        {basic("IF A<>B THEN STOP"), "IF A <> B THEN STOP"},
        // letter runs that spell keywords
        {{0xF5, 0x34, 0x37}, "PRINT \\{52}R"},
        {{0xF5, 0x35, 0x2E}, "PRINT \\{53}I"},
        {{0xF5, 0x37, 0x2A, 0x32}, "PRINT \\{55}EM"},
        {{0xF5, 0xB4, 0xB7}, "PRINT \\{180}r"},
        {{0xF1, 0x2C, 0x34, 0x39, 0x34, 0x14, 0x26}, "LET \\{44}OTO=A"},
        {{0xEB, 0x2E, 0x14, 0x2C, 0x34, 0xDF, 0x26}, "FOR I=\\{44}O TO A"},
        {{0xF5, 0x38, 0x39, 0x37, 0x0D}, "PRINT \\{56}TR$"},
        {{0xF5, 0x39, 0x34, 0x39, 0x26, 0x31}, "PRINT TOTAL"},
        {{0xF5, 0x2A, 0x3D, 0x35}, "PRINT \\{42}XP"},
        // EXP, spaces in code, the quote image
        {basic("PRINT EXP 1"), "PRINT \\{206}1"},
        {{0xF5, 0x0B, 0x26, 0x0B, 0x00}, "PRINT \"A\"\\{0}"},
        {basic("PRINT \"A\"\"B\""), "PRINT \"A`B\""},
        // \: and \. before ' . : or a space
        {{0xF5, 0x0B, 0x8E, 0x00, 0x0B}, "PRINT \"\\{142} \""},
        {{0xF5, 0x0B, 0x9B, 0x1B, 0x0B}, "PRINT \"\\{155}.\""},
        {{0xF5, 0x0B, 0x8E, 0x26, 0x0B}, "PRINT \"\\:A\""},
        {{0xF5, 0x8E, 0xF5}, "PRINT \\{142} PRINT"},
        {{0xEA, 0x9B, 0x0E}, "REM \\{155}:"},
        {{0xEA, 0x9B, 0x02}, "REM \\.\\ '"},
        // the pound sign at the end of the line
        {{0xEA, 0x0C}, "REM \\{12}"},
        {{0xEA, 0x0C, 0x26}, "REM \\\\A"},
        {{0xF5, 0x0C}, "PRINT \\{12}"},
        // REM: a leading space, an empty REM, quotes
        {{0xEA, 0x00, 0x26}, "REM  A"},
        {{0xEA}, "REM"},
        {{0xEA, 0x0B, 0x8B}, "REM \"\\\""},
        {{0xFA, 0x26, 0xDE, 0xEA, 0x26}, "IF A THEN REM A"},
        // numbers
        {basic("GOTO 10"), "GOTO 10"},
        {basic("PRINT .5"), "PRINT .5"},
        {basic("PRINT 1E3"), "PRINT 1E3"},
        {basic("LET A1=2"), "LET A1=2"},
        {{0xF5, 0x1D, 0x1E}, "PRINT \\{29}\\{30}"},
        {{0xF5, 0x1B, 0x1E}, "PRINT \\{27}\\{30}"},
        {{0xF5, 0x26, 0x1B, 0x1E}, "PRINT A.\\{30}"},
    };
    for (const LineCase& c : cases)
        EXPECT_EQ(round_trip(c.codes), c.text);
}

TEST(ZmakebasListing, HiddenNumbersZmakebasWouldComputeDifferently) {
    // The ROM's .2 (7E 4C CC CC CC) against zmakebas's (7E 4C CC CC CD).
    std::vector<uint8_t> codes{0xF5};
    const std::vector<uint8_t> rom_fifth = number_codes(".2", {0x7E, 0x4C, 0xCC, 0xCC, 0xCC});
    codes.insert(codes.end(), rom_fifth.begin(), rom_fifth.end());
    EXPECT_EQ(round_trip(codes), "PRINT .2|0.19999999995343387");
    // A number poked to another value, and zero.
    codes = {0xF5};
    const std::vector<uint8_t> seven = number_codes("7", {0x84, 0x00, 0x00, 0x00, 0x00});
    codes.insert(codes.end(), seven.begin(), seven.end());
    EXPECT_EQ(round_trip(codes), "PRINT 7|8");
    codes = {0xF5};
    const std::vector<uint8_t> zero = number_codes("1", {0, 0, 0, 0, 0});
    codes.insert(codes.end(), zero.begin(), zero.end());
    EXPECT_EQ(round_trip(codes), "PRINT 1|0");
    // Sign bit set: no value gives it, so every byte is escaped.
    codes = {0xF5};
    const std::vector<uint8_t> negative = number_codes("1", {0x81, 0x80, 0, 0, 0});
    codes.insert(codes.end(), negative.begin(), negative.end());
    EXPECT_EQ(round_trip(codes), "PRINT \\{29}\\{126}\\.:\\::\\{0}\\{0}\\{0}");
}

TEST(ZmakebasListing, NothingMayLengthenANumber) {
    std::vector<uint8_t> codes{0xF5};
    const std::vector<uint8_t> one = number_codes("1", {0x81, 0, 0, 0, 0});
    codes.insert(codes.end(), one.begin(), one.end());
    std::vector<uint8_t> with_digit = codes;
    with_digit.push_back(0x1E);
    EXPECT_EQ(round_trip(with_digit), "PRINT 1\\{30}");
    std::vector<uint8_t> with_e = codes;
    with_e.insert(with_e.end(), {0x2A, 0x34, 0x37}); // E O R: the OR is then a run of its own
    EXPECT_EQ(round_trip(with_e), "PRINT 1\\{42}\\{52}R");
    std::vector<uint8_t> with_dot = codes;
    with_dot.push_back(code_dot);
    EXPECT_EQ(round_trip(with_dot), "PRINT 1\\{27}");
    std::vector<uint8_t> with_letter = codes;
    with_letter.push_back(0x26);
    EXPECT_EQ(round_trip(with_letter), "PRINT 1A");
}

TEST(ZmakebasListing, RandomLinesRebuild) {
    // Lines of codes drawn mostly from what programs hold, plus any code at all.
    std::mt19937 random(81);
    const std::vector<uint8_t> common{
        0x00, 0x0B, 0x0B, 0x0C, 0x0E, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x17,
        0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x2A, 0x2C, 0x34, 0x37, 0x38, 0x39, 0x3D, 0x26, 0x8E,
        0x9B, 0x93, 0xDF, 0xD8, 0xEA, 0xCE, 0xD9, 0xEC, 0x40, 0x42, 0x7E, 0x0D, 0xAA, 0xB4};
    for (int n = 0; n < 20000; ++n) {
        std::vector<uint8_t> codes;
        const int length = static_cast<int>(random() % 14);
        for (int k = 0; k < length; ++k) {
            const unsigned pick = random() % 10;
            if (pick < 6) {
                codes.push_back(common[random() % common.size()]);
            } else if (pick < 8) {
                Zx81Number hidden;
                encode_zx81_number(static_cast<double>(random() % 2000) / 8.0, hidden);
                if (random() % 4 == 0) hidden[4] ^= 1;
                codes.push_back(static_cast<uint8_t>(0x1C + random() % 10));
                codes.push_back(code_number);
                codes.insert(codes.end(), hidden.begin(), hidden.end());
            } else {
                codes.push_back(static_cast<uint8_t>(random() & 0xFF));
            }
        }
        const std::string text = text_of(codes);
        ASSERT_EQ(zmakebas_read(text), codes) << "text: " << text;
    }
}

} // namespace
