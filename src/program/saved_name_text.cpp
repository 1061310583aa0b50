#include "program/saved_name_text.h"

#include <cctype>
#include <cstdio>

#include "program/zx81_charset.h"

namespace {

const char pound_utf8[] = "\xC2\xA3";

// The bytes of the UTF-8 character that starts with `lead` (1 for a stray byte).
std::size_t utf8_length(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

} // namespace

NameTextProblem saved_name_from_text(const std::string& text, std::vector<uint8_t>& codes,
                                     std::string& bad) {
    codes.clear();
    bad.clear();
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, pound_utf8) == 0) {
            codes.push_back(code_pound);
            i += 2;
            continue;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        const int code = code_of_ascii(static_cast<char>(std::toupper(c)));
        if (code < 0 || c == '\0') {
            bad = text.substr(i, utf8_length(c));
            codes.clear();
            return NameTextProblem::no_zx81_code;
        }
        codes.push_back(static_cast<uint8_t>(code));
        ++i;
    }
    if (codes.empty()) return NameTextProblem::empty;
    if (codes.size() > saved_name_max) {
        codes.clear();
        return NameTextProblem::too_long;
    }
    codes.back() |= name_end_mark;
    return NameTextProblem::none;
}

std::string saved_name_text(const std::vector<uint8_t>& codes) {
    std::string text;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const uint8_t code = i + 1 == codes.size() ? codes[i] & 0x7F : codes[i];
        const char ascii = ascii_of_code(code);
        if (code == code_space) {
            text += ' ';
        } else if (ascii != '\0') {
            text += ascii;
        } else if (code == code_pound) {
            text += pound_utf8;
        } else if (const char* keyword = keyword_text(code)) {
            text += keyword;
        } else {
            text += "\\{" + std::to_string(code) + "}";
        }
    }
    return text;
}

std::string saved_name_file_stem(const std::vector<uint8_t>& codes) {
    std::string stem;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const uint8_t code = i + 1 == codes.size() ? codes[i] & 0x7F : codes[i];
        const char c = ascii_of_code(code);
        const bool kept = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '+' ||
                          c == '=' || c == ',' || (c == '.' && i > 0);
        stem += kept ? c : '_';
    }
    return stem;
}

std::string name_of_program_file(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    for (char& c : base)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return base;
}
