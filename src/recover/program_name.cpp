#include "recover/program_name.h"

#include "program/zx81_charset.h"

namespace {

// The text of a character code 0x00-0x3F; empty for the block graphics.
std::string character_text(uint8_t code) {
    if (code == code_pound) return "\u00A3";
    const char c = ascii_of_code(code);
    if (c != '\0') return std::string(1, c);
    if (code == code_space) return " ";
    return {};
}

std::string escaped(uint8_t code) {
    return "\\{" + std::to_string(code) + "}";
}

} // namespace

std::string readable_name(const std::vector<uint8_t>& codes) {
    std::string out;
    bool inverse_open = false;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        // The last code carries the end mark in bit 7.
        const uint8_t code = i + 1 == codes.size() ? codes[i] & 0x7F : codes[i];
        const bool inverse = code >= 0x80 && code < 0xC0;
        if (inverse != inverse_open) out += inverse ? "[" : "]";
        inverse_open = inverse;
        const std::string text = character_text(code & 0x3F);
        if (is_character(code) && !text.empty()) {
            out += text;
        } else if (const char* keyword = keyword_text(code)) {
            out += keyword;
        } else if (code == code_quote_image) {
            out += "\"\"";
        } else {
            out += escaped(code);
        }
    }
    if (inverse_open) out += "]";
    return out;
}

std::string file_stem(const std::vector<uint8_t>& codes) {
    std::string out;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const uint8_t code = codes[i] & 0x7F; // inverse letters are letters
        const char c = code < 0x40 ? ascii_of_code(code) : '\0';
        // Nothing that a shell or a directory listing would take for an option or a hidden
        // file at the start.
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          ((c == '-' || c == '.') && !out.empty());
        out += keep ? c : '_';
    }
    if (out.empty()) out = "_";
    return out;
}
