#include "program/zx81_charset.h"

namespace {

// 0x00-0x3F as plain ASCII; '\0' where a character has no ASCII form.
const char ascii_table[65] = "\0\0\0\0\0\0\0\0\0\0\0\"\0$:?()><=+-*/;,.0123456789"
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// clang-format off
const char* const token_table[64] = {                            // 0xC0 +
    nullptr, "AT",     "TAB",   nullptr, "CODE", "VAL",   "LEN",   "SIN",    // 0x00
    "COS",   "TAN",    "ASN",   "ACS",   "ATN",  "LN",    "EXP",   "INT",    // 0x08
    "SQR",   "SGN",    "ABS",   "PEEK",  "USR",  "STR$",  "CHR$",  "NOT",    // 0x10
    "**",    "OR",     "AND",   "<=",    ">=",   "<>",    "THEN",  "TO",     // 0x18
    "STEP",  "LPRINT", "LLIST", "STOP",  "SLOW", "FAST",  "NEW",   "SCROLL", // 0x20
    "CONT",  "DIM",    "REM",   "FOR",   "GOTO", "GOSUB", "INPUT", "LOAD",   // 0x28
    "LIST",  "LET",    "PAUSE", "NEXT",  "POKE", "PRINT", "PLOT",  "RUN",    // 0x30
    "SAVE",  "RAND",   "IF",    "CLS",   "UNPLOT", "CLEAR", "RETURN", "COPY", // 0x38
};
// clang-format on

} // namespace

const char* keyword_text(uint8_t code) {
    if (code >= 0xC0) return token_table[code - 0xC0];
    switch (code) {
    case 0x40:
        return "RND";
    case 0x41:
        return "INKEY$";
    case 0x42:
        return "PI";
    default:
        return nullptr;
    }
}

char ascii_of_code(uint8_t code) {
    return code < 0x40 ? ascii_table[code] : '\0';
}

char file_name_char(uint8_t code) {
    const uint8_t plain = code & 0x3F;
    if (is_digit_code(plain)) return ascii_table[plain];
    if (is_letter_code(plain)) return static_cast<char>('a' + (plain - code_letter_a));
    return '_';
}

int code_of_ascii(char c) {
    if (c == ' ') return code_space;
    for (int code = 1; code < 0x40; ++code) {
        if (ascii_table[code] == c && c != '\0') return code;
    }
    return -1;
}
