#include <gtest/gtest.h>

#include "container/saved_name_text.h"

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
