#include <gtest/gtest.h>

#include "program/tape_name.h"

#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<uint8_t> codes_of(const std::string& text) {
    std::vector<uint8_t> codes;
    std::string missing;
    EXPECT_EQ(tape_name_codes(text, codes, missing), TapeNameProblem::none) << missing;
    return codes;
}

// The problem with a name and the character it lacks.
std::pair<TapeNameProblem, std::string> refusal(const std::string& text) {
    std::vector<uint8_t> codes{1, 2, 3};
    std::string missing;
    const TapeNameProblem problem = tape_name_codes(text, codes, missing);
    EXPECT_TRUE(codes.empty()) << text;
    return {problem, problem == TapeNameProblem::missing_character ? missing : ""};
}

constexpr TapeNameProblem lacks = TapeNameProblem::missing_character;

TEST(TapeName, MarksTheLastCode) {
    EXPECT_EQ(codes_of("HELLO"), (std::vector<uint8_t>{0x2D, 0x2A, 0x31, 0x31, 0xB4}));
    EXPECT_EQ(codes_of("A"), std::vector<uint8_t>{0xA6});
}

TEST(TapeName, SmallLettersBecomeCapitals) {
    EXPECT_EQ(codes_of("Zx81"), codes_of("ZX81"));
    EXPECT_EQ(codes_of("zx81"), (std::vector<uint8_t>{0x3F, 0x3D, 0x24, 0x9D}));
}

TEST(TapeName, EveryTypableCharacterHasItsCode) {
    struct Case {
        const char* text;
        uint8_t code;
    };
    const Case cases[] = {{" ", 0x00}, {"\"", 0x0B}, {"\xC2\xA3", 0x0C}, {"$", 0x0D},
                          {":", 0x0E}, {"?", 0x0F},  {"(", 0x10},       {")", 0x11},
                          {">", 0x12}, {"<", 0x13},  {"=", 0x14},       {"+", 0x15},
                          {"-", 0x16}, {"*", 0x17},  {"/", 0x18},       {";", 0x19},
                          {",", 0x1A}, {".", 0x1B},  {"0", 0x1C},       {"9", 0x25},
                          {"A", 0x26}, {"Z", 0x3F}};
    for (const Case& c : cases) {
        EXPECT_EQ(codes_of(std::string("X") + c.text),
                  (std::vector<uint8_t>{0x3D, static_cast<uint8_t>(c.code | 0x80)}))
            << c.text;
    }
}

TEST(TapeName, RefusesWhatTheZx81Lacks) {
    using Refusal = std::pair<TapeNameProblem, std::string>;
    EXPECT_EQ(refusal("HELLO_WORLD"), Refusal(lacks, "_"));
    EXPECT_EQ(refusal("CAF\xC3\x89"), Refusal(lacks, "\xC3\x89"));
    EXPECT_EQ(refusal(std::string("A\tB")), Refusal(lacks, "\t"));
    EXPECT_EQ(refusal("A\xA3"), Refusal(lacks, "\xA3"));
    for (const char* text : {"!", "#", "%", "&", "'", "@", "[", "\\", "^", "`", "{", "|", "~"}) {
        EXPECT_EQ(refusal(text), Refusal(lacks, text));
    }
}

TEST(TapeName, HoldsOneTo127Characters) {
    EXPECT_EQ(refusal("").first, TapeNameProblem::empty);
    EXPECT_EQ(codes_of(std::string(127, 'A')).size(), 127u);
    EXPECT_EQ(refusal(std::string(128, 'A')).first, TapeNameProblem::too_long);
}

TEST(DefaultTapeName, IsTheUpperCasedBaseName) {
    EXPECT_EQ(default_tape_name("hello.p"), "HELLO");
    EXPECT_EQ(default_tape_name("games/Space Raiders.P"), "SPACE RAIDERS");
    EXPECT_EQ(default_tape_name("/a.b/c"), "C");
    EXPECT_EQ(default_tape_name("v1.2.p"), "V1.2");
    EXPECT_EQ(default_tape_name("dir/.p"), "");
}

} // namespace
