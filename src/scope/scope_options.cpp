#include "scope/scope_options.h"

#include <cstdint>
#include <limits>

std::string scope_usage() {
    return "usage: zx81scope [options] RECORDING [-o REPORT.html]\n"
           "\n"
           "Runs the converter's threshold, gap fill, calibration and bit classifier over a\n"
           "recording (raw unsigned 8-bit samples) and writes a self-contained HTML report:\n"
           "the measured lengths, the calibration histogram, the bit-length histogram, the\n"
           "envelope of the whole recording, and the waveform around every unknown bit.\n"
           "\n"
           "options:\n"
           "  --threshold N    threshold, as zx81tape's n= (default 30)\n"
           "  --tolerance K    tolerance divisor, as zx81tape's k= (default 3, not 0)\n"
           "  -o REPORT        the report (default: the recording's name with .html);\n"
           "                   with --svg, the stem of the SVG files' names\n"
           "  --max-strips N   draw at most N unknown bits (default 50)\n"
           "  --from N         show the recording from sample N on (default 0)\n"
           "  --to N           show it up to sample N, not included (default: the end)\n"
           "  --svg            write separate SVG files instead of one HTML file:\n"
           "                   STEM-overview.svg, STEM-periods.svg, STEM-lengths.svg,\n"
           "                   STEM-strip-1.svg, ...\n"
           "  -h, --help       print this text\n"
           "  --version        print the version\n"
           "\n"
           "The numbers are those zx81tape finds with the same n= and k=. Exit status: 0 when\n"
           "the report was written, 1 when the recording cannot be read or the report cannot\n"
           "be written, 2 for a usage error.\n";
}

bool parse_integer(const std::string& text, int64_t lo, int64_t hi, int64_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + static_cast<uint64_t>(text[i] - '0');
        if (v > (uint64_t{1} << 62)) return false;
    }
    const int64_t signed_v = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    if (signed_v < lo || signed_v > hi) return false;
    value = signed_v;
    return true;
}

namespace {

constexpr int64_t int32_lo = std::numeric_limits<int32_t>::min();
constexpr int64_t int32_hi = std::numeric_limits<int32_t>::max();
constexpr int64_t int64_hi = std::numeric_limits<int64_t>::max() / 4;

} // namespace

ScopeCommand parse_scope_options(int argc, const char* const* argv, ScopeSettings& settings,
                                 std::string& message) {
    bool have_input = false;
    bool have_to = false;
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options_end || arg.empty() || arg[0] != '-' || arg == "-") {
            if (have_input) {
                message = "more than one recording given ('" + settings.input + "', '" + arg + "')";
                return ScopeCommand::error;
            }
            settings.input = arg;
            have_input = true;
            continue;
        }
        if (arg == "--") {
            options_end = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") return ScopeCommand::help;
        if (arg == "--version") return ScopeCommand::version;
        if (arg == "--svg") {
            settings.svg = true;
            continue;
        }
        // Every other option takes a value.
        std::string name = arg;
        std::string value;
        bool have_value = false;
        const std::size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            have_value = true;
        }
        if (name != "-o" && name != "--output" && name != "--threshold" && name != "--tolerance" &&
            name != "--max-strips" && name != "--from" && name != "--to") {
            message = "unknown option '" + arg + "'";
            return ScopeCommand::error;
        }
        if (!have_value) {
            if (i + 1 >= argc) {
                message = "option '" + name + "' needs a value";
                return ScopeCommand::error;
            }
            value = argv[++i];
        }
        int64_t v = 0;
        const auto number = [&](int64_t lo, int64_t hi, const char* what) {
            if (parse_integer(value, lo, hi, v)) return true;
            message = "option '" + name + "' needs " + what + ", not '" + value + "'";
            return false;
        };
        if (name == "-o" || name == "--output") {
            if (value.empty()) {
                message = "option '" + name + "' needs a file name";
                return ScopeCommand::error;
            }
            settings.output = value;
        } else if (name == "--threshold") {
            if (!number(int32_lo, int32_hi, "a whole number")) return ScopeCommand::error;
            settings.threshold = static_cast<int32_t>(v);
        } else if (name == "--tolerance") {
            if (!number(int32_lo, int32_hi, "a whole number")) return ScopeCommand::error;
            if (v == 0) {
                message = "option '--tolerance' must not be 0 (it divides n1 - n0)";
                return ScopeCommand::error;
            }
            settings.tolerance_divisor = static_cast<int32_t>(v);
        } else if (name == "--max-strips") {
            if (!number(0, int64_hi, "a count of 0 or more")) return ScopeCommand::error;
            settings.max_strips = v;
        } else if (name == "--from") {
            if (!number(0, int64_hi, "a sample index of 0 or more")) return ScopeCommand::error;
            settings.from = v;
        } else {
            if (!number(0, int64_hi, "a sample index of 0 or more")) return ScopeCommand::error;
            settings.to = v;
            have_to = true;
        }
    }
    if (!have_input) {
        message = "no recording given";
        return ScopeCommand::error;
    }
    if (have_to && settings.to <= settings.from) {
        message = "--to must be greater than --from";
        return ScopeCommand::error;
    }
    return ScopeCommand::run;
}
