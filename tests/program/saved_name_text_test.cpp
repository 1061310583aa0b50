#include <gtest/gtest.h>

#include "program/saved_name_text.h"

TEST(SavedNameText, TypedNamesBecomeCodesAndComeBack) {
    std::vector<uint8_t> codes;
    std::string bad;
    ASSERT_EQ(saved_name_from_text("Hi \xC2\xA3"
                                   "5/a.b",
                                   codes, bad),
              NameTextProblem::none);
    EXPECT_EQ(codes,
              (std::vector<uint8_t>{0x2D, 0x2E, 0x00, 0x0C, 0x21, 0x18, 0x26, 0x1B, 0x27 | 0x80}));
    EXPECT_EQ(saved_name_text(codes), "HI \xC2\xA3"
                                      "5/A.B");
    EXPECT_EQ(saved_name_file_stem(codes), "HI__5_A.B");
    EXPECT_EQ(saved_name_text({0x01, 0x40, 0x42 | 0x80}), "\\{1}RNDPI");
    EXPECT_EQ(saved_name_file_stem({0x1B, 0x1B | 0x80}), "_.");

    EXPECT_EQ(saved_name_from_text("a_b", codes, bad), NameTextProblem::no_zx81_code);
    EXPECT_EQ(bad, "_");
    EXPECT_TRUE(codes.empty());
    EXPECT_EQ(saved_name_from_text("\xC3\xA9t\xC3\xA9", codes, bad), NameTextProblem::no_zx81_code);
    EXPECT_EQ(bad, "\xC3\xA9");
    EXPECT_EQ(saved_name_from_text("", codes, bad), NameTextProblem::empty);
    EXPECT_EQ(saved_name_from_text(std::string(128, 'A'), codes, bad), NameTextProblem::too_long);
    EXPECT_EQ(saved_name_from_text(std::string(127, 'A'), codes, bad), NameTextProblem::none);

    EXPECT_EQ(name_of_program_file("games/Hello.p"), "HELLO");
    EXPECT_EQ(name_of_program_file("tape.v2.p81"), "TAPE.V2");
}

TEST(SavedNameText, EveryTypableCharacterHasItsCodeAndOthersAreRefused) {
    struct Case {
        const char* text;
        uint8_t code;
    };
    const Case cases[] = {{" ", 0x00}, {"\"", 0x0B}, {"\xC2\xA3", 0x0C}, {"$", 0x0D},
                          {":", 0x0E}, {"?", 0x0F},  {"(", 0x10},       {")", 0x11},
                          {">", 0x12}, {"<", 0x13},  {"=", 0x14},       {"+", 0x15},
                          {"-", 0x16}, {"*", 0x17},  {"/", 0x18},       {";", 0x19},
                          {",", 0x1A}, {".", 0x1B},  {"0", 0x1C},       {"9", 0x25},
                          {"A", 0x26}, {"Z", 0x3F},  {"z", 0x3F}};
    std::vector<uint8_t> codes;
    std::string bad;
    for (const Case& c : cases) {
        ASSERT_EQ(saved_name_from_text(std::string("X") + c.text, codes, bad),
                  NameTextProblem::none)
            << c.text;
        EXPECT_EQ(codes, (std::vector<uint8_t>{0x3D, static_cast<uint8_t>(c.code | 0x80)}))
            << c.text;
    }
    for (const char* text : {"!", "#", "%", "&", "'", "@", "[", "\\", "^", "`", "{", "|", "~",
                             "\t", "\xA3"}) {
        EXPECT_EQ(saved_name_from_text(std::string("A") + text + "B", codes, bad),
                  NameTextProblem::no_zx81_code)
            << text;
        EXPECT_EQ(bad, text);
    }
    EXPECT_EQ(saved_name_from_text(std::string("A\0B", 3), codes, bad),
              NameTextProblem::no_zx81_code);
}

TEST(SavedNameText, TheNameOfAProgramFileIsItsUpperCasedBaseName) {
    EXPECT_EQ(name_of_program_file("games/Space Raiders.P"), "SPACE RAIDERS");
    EXPECT_EQ(name_of_program_file("/a.b/c"), "C");
    EXPECT_EQ(name_of_program_file("v1.2.p"), "V1.2");
    EXPECT_EQ(name_of_program_file("dir/.p"), ".P");
}
