#include "scope/scope_options.h"

#include <cstdint>
#include <limits>
#include <vector>

std::string scope_usage() {
    return "usage: zx81scope [options] RECORDING [-o REPORT.html]\n"
           "\n"
           "Runs the converter's threshold, gap fill, calibration and bit classifier over a\n"
           "recording, as zx81tape reads it (a sound file such as WAV or FLAC, or headerless\n"
           "unsigned 8-bit samples), and writes a self-contained HTML report: the measured\n"
           "lengths, the calibration histogram, the bit-length histogram, the envelope of the\n"
           "whole recording, and the waveform around every unknown bit.\n"
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
           "  -V, --version    print the version\n"
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

ToolCommand parse_scope_options(int argc, char** argv, ScopeSettings& settings,
                                std::string& message) {
    enum { threshold = 256, tolerance, max_strips, from, to, svg };
    const std::vector<option> options = long_options_with({
        {"output", required_argument, nullptr, 'o'},
        {"threshold", required_argument, nullptr, threshold},
        {"tolerance", required_argument, nullptr, tolerance},
        {"max-strips", required_argument, nullptr, max_strips},
        {"from", required_argument, nullptr, from},
        {"to", required_argument, nullptr, to},
        {"svg", no_argument, nullptr, svg},
    });
    bool have_to = false;
    start_option_scan();
    for (;;) {
        int index = -1;
        const int found = getopt_long(argc, argv, ":o:hV", options.data(), &index);
        if (found == -1) break;
        // The option as it was written, for the messages.
        const std::string name = index >= 0 ? std::string("--") + options[index].name : "-o";
        const std::string value = optarg != nullptr ? optarg : "";
        int64_t v = 0;
        const auto number = [&](int64_t lo, int64_t hi, const char* what) {
            if (parse_integer(value, lo, hi, v)) return true;
            message = "option '" + name + "' needs " + what + ", not '" + value + "'";
            return false;
        };
        switch (found) {
        case svg:
            settings.svg = true;
            break;
        case 'o':
            if (value.empty()) {
                message = "option '" + name + "' needs a file name";
                return ToolCommand::usage_error;
            }
            settings.output = value;
            break;
        case threshold:
            if (!number(int32_lo, int32_hi, "a whole number")) return ToolCommand::usage_error;
            settings.threshold = static_cast<int32_t>(v);
            break;
        case tolerance:
            if (!number(int32_lo, int32_hi, "a whole number")) return ToolCommand::usage_error;
            if (v == 0) {
                message = "option '--tolerance' must not be 0 (it divides n1 - n0)";
                return ToolCommand::usage_error;
            }
            settings.tolerance_divisor = static_cast<int32_t>(v);
            break;
        case max_strips:
            if (!number(0, int64_hi, "a count of 0 or more")) return ToolCommand::usage_error;
            settings.max_strips = v;
            break;
        case from:
            if (!number(0, int64_hi, "a sample index of 0 or more")) {
                return ToolCommand::usage_error;
            }
            settings.from = v;
            break;
        case to:
            if (!number(0, int64_hi, "a sample index of 0 or more")) {
                return ToolCommand::usage_error;
            }
            settings.to = v;
            have_to = true;
            break;
        default:
            return shared_option(found, argv, message);
        }
    }
    if (optind >= argc) {
        message = "no recording given";
        return ToolCommand::usage_error;
    }
    settings.input = argv[optind];
    if (optind + 1 < argc) {
        message =
            "more than one recording given ('" + settings.input + "', '" + argv[optind + 1] + "')";
        return ToolCommand::usage_error;
    }
    if (have_to && settings.to <= settings.from) {
        message = "--to must be greater than --from";
        return ToolCommand::usage_error;
    }
    return ToolCommand::run;
}
