#include "program/zx81_charset.h"

namespace {

// 0x00-0x3F as plain ASCII; '\0' where a character has no ASCII form.
const char ascii_table[65] = "\0\0\0\0\0\0\0\0\0\0\0\"\0$:?()><=+-*/;,.0123456789"
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

const char* const token_table[64] = {
    nullptr, "AT",    "TAB",   nullptr, "CODE",   "VAL",   "LEN",   "SIN",
    "COS",   "TAN",   "ASN",   "ACS",   "ATN",    "LN",    "EXP",   "INT",
    "SQR",   "SGN",   "ABS",   "PEEK",  "USR",    "STR$",  "CHR$",  "NOT",
    "**",    "OR",    "AND",   "<=",    ">=",     "<>",    "THEN",  "TO",
    "STEP",  "LPRINT", "LLIST", "STOP", "SLOW",   "FAST",  "NEW",   "SCROLL",
    "CONT",  "DIM",   "REM",   "FOR",   "GOTO",   "GOSUB", "INPUT", "LOAD",
    "LIST",  "LET",   "PAUSE", "NEXT",  "POKE",   "PRINT", "PLOT",  "RUN",
    "SAVE",  "RAND",  "IF",    "CLS",   "UNPLOT", "CLEAR", "RETURN", "COPY",
};

} // namespace

const char* keyword_text(uint8_t code) {
    if (code >= 0xC0) return token_table[code - 0xC0];
    switch (code) {
    case 0x40: return "RND";
    case 0x41: return "INKEY$";
    case 0x42: return "PI";
    default: return nullptr;
    }
}

char ascii_of_code(uint8_t code) { return code < 0x40 ? ascii_table[code] : '\0'; }

int code_of_ascii(char c) {
    if (c == ' ') return code_space;
    for (int code = 1; code < 0x40; ++code) {
        if (ascii_table[code] == c && c != '\0') return code;
    }
    return -1;
}
