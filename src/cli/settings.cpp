#include "cli/settings.h"

#include <cctype>
#include <cstdio>

int32_t parse_option_value(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';

    const int64_t limit = negative ? int64_t{INT32_MAX} + 1 : INT32_MAX;
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > limit) value = limit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

namespace {

void report(std::string& reports, const char* format, const char* argument) {
    int size = std::snprintf(nullptr, 0, format, argument);
    std::string line(static_cast<std::size_t>(size), '\0');
    std::snprintf(line.data(), line.size() + 1, format, argument);
    reports += line;
}

void parse_flag(const char* arg, RunSettings& s, std::string& reports) {
    switch (std::toupper(static_cast<unsigned char>(arg[1]))) {
    case 'B': s.overwrite_bit = 1; break;
    case 'C': s.clean_up = 1; break;
    case 'F':
        s.use_given_name = 1;
        s.use_saved_name = 0;
        s.given_p_name = arg + 2;
        if (s.given_p_name.empty()) report(reports, "missing p-filename %s\n", arg);
        break;
    case 'I': s.unknown_as_zero = 1; break;
    case 'L': s.listing = 1; break;
    case 'M': s.verbose = 1; break;
    case 'O': s.unknown_as_one = 1; break;
    case 'P': s.overwrite_p = 1; break;
    case 'R': s.restart = 1; break;
    case 'Z': s.use_saved_name = 1; break;
    default: report(reports, "unknown option %s\n", arg); break;
    }
}

} // namespace

void parse_options(int argc, const char* const* argv, RunSettings& settings,
                   std::string& reports) {
    for (int i = 2; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] == '-') {
            parse_flag(arg, settings, reports);
        } else if (arg[0] != '\0' && arg[1] == '=') {
            switch (std::toupper(static_cast<unsigned char>(arg[0]))) {
            case 'K': settings.tolerance_divisor = parse_option_value(arg + 2); break;
            case 'N': settings.threshold = parse_option_value(arg + 2); break;
            default: report(reports, "unknown option %s\n", arg); break;
            }
        }
    }
}
