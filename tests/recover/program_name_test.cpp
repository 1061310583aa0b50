// Saved names as people read them and as file names.
#include "recover/program_name.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramName, ReadsAsTheZx81ShowsItAndMakesASafeFileName) {
    struct Case {
        std::vector<uint8_t> codes;
        const char* readable;
        const char* stem;
    };
    const std::vector<Case> cases = {
        {{0x2D, 0x2A, 0x31, 0x31, 0xB4}, "HELLO", "HELLO"},
        {{0x38, 0x00, 0x1D, 0x1B, 0x9E}, "S 1.2", "S_1.2"},
        {{0x1B, 0x1B, 0x18, 0xAA}, "../E", "_._E"},                  // never a path
        {{0x16, 0x3F, 0xAA}, "-ZE", "_ZE"},                          // never an option
        {{0x0C, 0x0B, 0x0D, 0x8D}, "\u00A3\"$$", "____"},            // pound, quote, dollar
        {{0xA6, 0xA7, 0xA8}, "[AB]C", "ABC"},                        // inverse, the last unmarked
        {{0xF5, 0x26, 0x80}, "PRINTA ", "_A_"},                      // a keyword; a space at the end
        {{0x43, 0x01, 0xC0, 0xC3}, "\\{67}\\{1}\"\"\\{67}", "____"}, // no text, a graphic, ""
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readable_name(c.codes), c.readable);
        EXPECT_EQ(file_stem(c.codes), c.stem) << c.readable;
    }
}

} // namespace
