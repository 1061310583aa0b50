#include "program/tape_name.h"

#include <cctype>

#include "program/zx81_charset.h"

namespace {

constexpr unsigned char pound_lead = 0xC2; // the pound sign in UTF-8: C2 A3
constexpr unsigned char pound_trail = 0xA3;

// The bytes of the UTF-8 character that starts with `lead` (1 for a stray byte).
std::size_t utf8_length(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

} // namespace

TapeNameProblem tape_name_codes(const std::string& text, std::vector<uint8_t>& codes,
                                std::string& missing) {
    codes.clear();
    for (std::size_t i = 0; i < text.size();) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (u == pound_lead && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) == pound_trail) {
            codes.push_back(code_pound);
            i += 2;
            continue;
        }
        const int code = u < 0x80 ? code_of_ascii(static_cast<char>(std::toupper(u))) : -1;
        if (code < 0) {
            missing = text.substr(i, utf8_length(u));
            codes.clear();
            return TapeNameProblem::missing_character;
        }
        codes.push_back(static_cast<uint8_t>(code));
        ++i;
    }
    if (codes.empty()) return TapeNameProblem::empty;
    if (codes.size() > tape_name_max) {
        codes.clear();
        return TapeNameProblem::too_long;
    }
    codes.back() |= 0x80;
    return TapeNameProblem::none;
}

std::string default_tape_name(const std::string& program_name) {
    const std::size_t slash = program_name.find_last_of('/');
    std::string base = slash == std::string::npos ? program_name : program_name.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) base.resize(dot);
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return base;
}
