#include "list/p_file_info.h"
#include <gtest/gtest.h>

#include "program/system_variables.h"
#include "support/p_file_builder.h"

namespace {

std::string info_of(const std::vector<uint8_t>& file) {
    return p_file_info(parse_p_file(file));
}

TEST(Info, SmallProgram) {
    BuildOptions options;
    options.autostart = 20;
    options.variables = {0x66, 0x81, 0, 0, 0, 0};
    const std::vector<uint8_t> file =
        build_p_file({text_line(10, "CLS"), text_line(20, "STOP")}, options);
    EXPECT_EQ(info_of(file), "file:       160 bytes\n"
                             "VERSN:      0 (ZX81)\n"
                             "program:    12 bytes, 2 lines\n"
                             "display:    25 bytes, collapsed\n"
                             "variables:  7 bytes, 1 variable\n"
                             "D_FILE:     0x4089\n"
                             "VARS:       0x40A2\n"
                             "E_LINE:     0x40A9 (E_LINE - 0x4009 = 160)\n"
                             "auto-start: line 20 (NXTLIN 0x4083)\n"
                             "TV system:  PAL (MARGIN 55)\n");
}

TEST(Info, FullDisplayNtscNoAutostart) {
    BuildOptions options;
    options.full_display = true;
    options.margin = 31;
    const std::vector<uint8_t> file = build_p_file({}, options);
    EXPECT_EQ(info_of(file), "file:       910 bytes\n"
                             "VERSN:      0 (ZX81)\n"
                             "program:    0 bytes, 0 lines\n"
                             "display:    793 bytes, full\n"
                             "variables:  1 byte, 0 variables\n"
                             "D_FILE:     0x407D\n"
                             "VARS:       0x4396\n"
                             "E_LINE:     0x4397 (E_LINE - 0x4009 = 910)\n"
                             "auto-start: none (NXTLIN 0x407D = D_FILE)\n"
                             "TV system:  NTSC (MARGIN 31)\n");
}

TEST(Info, OddValues) {
    std::vector<uint8_t> file = build_p_file({text_line(10, "CLS")});
    file[sysvar::versn] = 3;
    file[sysvar::margin] = 40;
    put_le16(file, sysvar::nxtlin, 0x4080);
    put_le16(file, sysvar::vars, 0x4000);
    const std::string info = info_of(file);
    EXPECT_NE(info.find("VERSN:      3 (not a ZX81)\n"), std::string::npos) << info;
    EXPECT_NE(info.find("TV system:  unknown (MARGIN 40)\n"), std::string::npos) << info;
    EXPECT_NE(info.find("auto-start: none (NXTLIN 0x4080 points at no line)\n"), std::string::npos)
        << info;
    EXPECT_NE(info.find("display:    ? (0x4000 lies before 0x4083), ?\n"), std::string::npos)
        << info;
    EXPECT_EQ(info_of({1, 2, 3}), "file:       3 bytes\n"
                                  "system:     too short for the system variables (116 bytes)\n");
}

TEST(Screen, CollapsedRowsArePadded) {
    BuildOptions options;
    options.screen = {{0x2D, 0x2E}, {}, {0xA6, 0x08, 0x00, 0x80}};
    const std::string screen = p_file_screen(parse_p_file(build_p_file({}, options)));
    std::string expected = "HI" + std::string(30, ' ') + "\n" + std::string(32, ' ') + "\n" +
                           "[A]▒ █" + std::string(28, ' ') + "\n";
    for (int row = 3; row < 24; ++row)
        expected += std::string(32, ' ') + "\n";
    EXPECT_EQ(screen, expected);
}

TEST(Screen, FullDisplay) {
    BuildOptions options;
    options.full_display = true;
    options.screen = {std::vector<uint8_t>(32, 0x3F)};
    options.screen.resize(24);
    options.screen[23] = {0x26};
    const std::string screen = p_file_screen(parse_p_file(build_p_file({}, options)));
    std::string expected = std::string(32, 'Z') + "\n";
    for (int row = 1; row < 23; ++row)
        expected += std::string(32, ' ') + "\n";
    expected += "A" + std::string(31, ' ') + "\n";
    EXPECT_EQ(screen, expected);
}

TEST(Screen, MissingRowsAreBlank) {
    std::vector<uint8_t> file(120, 0);
    const std::string screen = p_file_screen(parse_p_file(file));
    EXPECT_EQ(screen.size(), 24u * 33u);
}

} // namespace
