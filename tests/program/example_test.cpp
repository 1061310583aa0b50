// examples/hello.p is built from the lines below. Run this test with ZX81_WRITE_EXAMPLES=1 in
// the environment to write the file anew after changing them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "program/zx81_charset.h"
#include "support/p_file_builder.h"
#include "support/test_support.h"

namespace {

/// A row of the screen as character codes.
std::vector<uint8_t> row(const std::string& text) {
    std::vector<uint8_t> codes;
    for (char c : text)
        codes.push_back(static_cast<uint8_t>(code_of_ascii(c)));
    return codes;
}

std::vector<uint8_t> hello_program() {
    BuildOptions options;
    options.autostart = 10;
    // The screen as the program leaves it, waiting for a key at line 60.
    options.screen = {row("HELLO FROM ZX81TAPE"), row("  *"),        row("    *"), row("      *"),
                      row("        *"),           row("          *")};
    return build_p_file(
        {
            text_line(10, "REM ZX81TAPE EXAMPLE"),
            text_line(20, "PRINT \"HELLO FROM ZX81TAPE\""),
            text_line(30, "FOR I=1 TO 5"),
            text_line(40, "PRINT TAB I*2;\"*\""),
            text_line(50, "NEXT I"),
            text_line(60, "IF INKEY$=\"\" THEN GOTO 60"),
            text_line(70, "CLS"),
            text_line(80, "GOTO 20"),
        },
        options);
}

TEST(Example, HelloMatchesItsLines) {
    const std::string path = std::string(ZX81_SOURCE_DIR) + "/examples/hello.p";
    const char* write = std::getenv("ZX81_WRITE_EXAMPLES");
    if (write != nullptr && std::string(write) == "1") write_file(path, hello_program());
    EXPECT_EQ(read_file(path), hello_program());
}

} // namespace
