#include <gtest/gtest.h>

#include "synth/tape_name.h"

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> codes_of(const std::string& text) {
    std::vector<uint8_t> codes;
    std::string message;
    EXPECT_TRUE(tape_name_codes(text, codes, message)) << message;
    return codes;
}

std::string refusal(const std::string& text) {
    std::vector<uint8_t> codes{1, 2, 3};
    std::string message;
    EXPECT_FALSE(tape_name_codes(text, codes, message)) << text;
    EXPECT_TRUE(codes.empty());
    return message;
}

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
    EXPECT_EQ(refusal("HELLO_WORLD"), "the name \"HELLO_WORLD\" has '_', which the ZX81 lacks "
                                      "(choose another with --name)");
    EXPECT_EQ(refusal("CAF\xC3\x89"),
              "the name \"CAF\xC3\x89\" has '\xC3\x89', which the ZX81 lacks (choose another with "
              "--name)");
    EXPECT_EQ(refusal(std::string("A\tB")),
              "the name \"A\tB\" has '\\x09', which the ZX81 lacks (choose another with --name)");
    for (const char* text : {"!", "#", "%", "&", "'", "@", "[", "\\", "^", "`", "{", "|", "~"}) {
        refusal(text);
    }
}

TEST(TapeName, HoldsOneTo127Characters) {
    EXPECT_EQ(refusal(""), "the name is empty (choose one with --name)");
    EXPECT_EQ(codes_of(std::string(127, 'A')).size(), 127u);
    EXPECT_EQ(refusal(std::string(128, 'A')),
              "the name \"" + std::string(128, 'A') + "\" is longer than 127 characters");
}

TEST(DefaultTapeName, IsTheUpperCasedBaseName) {
    EXPECT_EQ(default_tape_name("hello.p"), "HELLO");
    EXPECT_EQ(default_tape_name("games/Space Raiders.P"), "SPACE RAIDERS");
    EXPECT_EQ(default_tape_name("/a.b/c"), "C");
    EXPECT_EQ(default_tape_name("v1.2.p"), "V1.2");
    EXPECT_EQ(default_tape_name("dir/.p"), "");
}

} // namespace
