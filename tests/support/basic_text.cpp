#include "support/basic_text.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "program/zx81_charset.h"
#include "program/zx81_number.h"

namespace {

bool is_alpha(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool is_num(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

/// The code of one character inside a string or a REM: a space is 0x00, lower case inverse.
int character_code(char c) {
    if (c >= 'a' && c <= 'z') return code_letter_a + (c - 'a') + code_inverse;
    return code_of_ascii(c);
}

/// The longest keyword that starts at `pos`, or -1. Word keywords need no letter before or
/// after them.
int keyword_at(const std::string& text, std::size_t pos, bool after_letter, std::size_t& length) {
    int best = -1;
    length = 0;
    for (int code = 0x40; code <= 0xFF; ++code) {
        const char* word = keyword_text(static_cast<uint8_t>(code));
        if (word == nullptr) continue;
        const std::size_t n = std::strlen(word);
        if (n <= length || text.compare(pos, n, word) != 0) continue;
        if (is_alpha(word[0]) && after_letter) continue;
        if (is_alpha(word[n - 1]) && pos + n < text.size() && is_alpha(text[pos + n])) continue;
        best = code;
        length = n;
    }
    return best;
}

std::string where(std::size_t pos) {
    return " at column " + std::to_string(pos + 1);
}

} // namespace

bool encode_basic_text(const std::string& text, std::vector<uint8_t>& codes, std::string& error) {
    enum class Mode { code, string, rem } mode = Mode::code;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '{') {
            const std::size_t close = text.find('}', i + 2);
            const std::string digits =
                close == std::string::npos ? "" : text.substr(i + 2, close - i - 2);
            char* end = nullptr;
            const unsigned long value = std::strtoul(digits.c_str(), &end, 10);
            if (digits.empty() || *end != '\0' || value > 255) {
                error = "bad code escape" + where(i);
                return false;
            }
            codes.push_back(static_cast<uint8_t>(value));
            i = close + 1;
            continue;
        }
        if (text.compare(i, 2, "\xC2\xA3") == 0) {
            codes.push_back(code_pound);
            i += 2;
            continue;
        }
        if (mode == Mode::string) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                codes.push_back(code_quote_image);
                i += 2;
                continue;
            }
            if (c == '"') {
                codes.push_back(code_quote);
                mode = Mode::code;
                ++i;
                continue;
            }
        }
        if (mode != Mode::code) {
            const int code = character_code(c);
            if (code < 0) {
                error = std::string("no ZX81 character for '") + c + "'" + where(i);
                return false;
            }
            codes.push_back(static_cast<uint8_t>(code));
            ++i;
            continue;
        }
        if (c == ' ') {
            ++i;
            continue;
        }
        if (c == '"') {
            codes.push_back(code_quote);
            mode = Mode::string;
            ++i;
            continue;
        }
        const bool after_name =
            !codes.empty() && (is_letter_code(codes.back()) || is_digit_code(codes.back()));
        if (!after_name &&
            (is_num(c) || (c == '.' && i + 1 < text.size() && is_num(text[i + 1])))) {
            std::size_t j = i;
            while (j < text.size() && is_num(text[j]))
                ++j;
            if (j < text.size() && text[j] == '.') {
                ++j;
                while (j < text.size() && is_num(text[j]))
                    ++j;
            }
            if (j < text.size() && text[j] == 'E') {
                std::size_t k = j + 1;
                if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
                if (k < text.size() && is_num(text[k])) {
                    while (k < text.size() && is_num(text[k]))
                        ++k;
                    j = k;
                }
            }
            const std::string digits = text.substr(i, j - i);
            Zx81Number hidden;
            if (!encode_zx81_number(std::strtod(digits.c_str(), nullptr), hidden)) {
                error = "number " + digits + " out of range" + where(i);
                return false;
            }
            for (char d : digits)
                codes.push_back(static_cast<uint8_t>(code_of_ascii(d)));
            codes.push_back(code_number);
            codes.insert(codes.end(), hidden.begin(), hidden.end());
            i = j;
            continue;
        }
        std::size_t length = 0;
        const int keyword = keyword_at(text, i, i > 0 && is_alpha(text[i - 1]), length);
        if (keyword >= 0) {
            codes.push_back(static_cast<uint8_t>(keyword));
            i += length;
            if (keyword == code_rem) {
                mode = Mode::rem;
                if (i < text.size() && text[i] == ' ') ++i;
            }
            continue;
        }
        const int code = character_code(c);
        if (code < 0 || c == ' ') {
            error = std::string("no ZX81 character for '") + c + "'" + where(i);
            return false;
        }
        codes.push_back(static_cast<uint8_t>(code));
        ++i;
    }
    return true;
}
