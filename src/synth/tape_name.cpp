#include "synth/tape_name.h"

#include <cctype>
#include <cstdio>

namespace {
// The characters 0x0B to 0x1B in code order; 0x0C, the pound sign, is not ASCII.
constexpr char symbols[] = "\"?$:?()><=+-*/;,.";
constexpr int first_symbol = 0x0B;
constexpr unsigned char pound_lead = 0xC2;  // the pound sign in UTF-8: C2 A3
constexpr unsigned char pound_trail = 0xA3;
constexpr uint8_t pound_code = 0x0C;

// The bytes of the UTF-8 character that starts with `lead` (1 for a stray byte).
std::size_t utf8_length(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}
} // namespace

int zx81_code(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u == ' ') return 0x00;
    if (u >= '0' && u <= '9') return 0x1C + (u - '0');
    if (u >= 'A' && u <= 'Z') return 0x26 + (u - 'A');
    if (u >= 'a' && u <= 'z') return 0x26 + (u - 'a');
    for (int i = 0; symbols[i] != '\0'; ++i) {
        if (i != pound_code - first_symbol && symbols[i] == c) return first_symbol + i;
    }
    return -1;
}

bool tape_name_codes(const std::string& text, std::vector<uint8_t>& codes, std::string& message) {
    codes.clear();
    for (std::size_t i = 0; i < text.size();) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (u == pound_lead && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) == pound_trail) {
            codes.push_back(pound_code);
            i += 2;
            continue;
        }
        const int code = zx81_code(text[i]);
        if (code < 0) {
            const std::string bad = text.substr(i, utf8_length(u));
            const bool printable = bad.size() > 1 || std::isprint(u);
            char shown[8];
            std::snprintf(shown, sizeof shown, "\\x%02X", u);
            message = "the name \"" + text + "\" has '" + (printable ? bad : shown) +
                      "', which the ZX81 lacks (choose another with --name)";
            codes.clear();
            return false;
        }
        codes.push_back(static_cast<uint8_t>(code));
        ++i;
    }
    if (codes.empty()) {
        message = "the name is empty (choose one with --name)";
        return false;
    }
    if (codes.size() > tape_name_max) {
        message = "the name \"" + text + "\" is longer than 127 characters";
        codes.clear();
        return false;
    }
    codes.back() |= 0x80;
    return true;
}

std::string default_tape_name(const std::string& program_name) {
    const std::size_t slash = program_name.find_last_of('/');
    std::string base = slash == std::string::npos ? program_name : program_name.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) base.resize(dot);
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return base;
}
