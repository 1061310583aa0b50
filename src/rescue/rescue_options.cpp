#include "rescue/rescue_options.h"

#include <cstdlib>
#include <cstring>

namespace {

const char usage_text[] =
    "Usage: zx81rescue [OPTION]... RECORDING...\n"
    "Find every ZX81 program on tape recordings, recover each one as a P file, and say how\n"
    "sure it is. A RECORDING is a sound file (WAV, FLAC, AIFF, ... at any rate from 8 to\n"
    "384 kHz, mono or stereo) or headerless unsigned 8-bit samples (raw).\n"
    "\n"
    "  -o, --output=DIR       write the files in DIR (default: beside each recording)\n"
    "      --json=FILE        also write a report in JSON to FILE (- for standard output)\n"
    "      --bits             also write each program's bit file (NAME.bit), '?' where nothing\n"
    "                         decided a bit: repair by hand and finish with zx81tape NAME.bit\n"
    "      --merge            the recordings are takes of one tape (another deck, level or\n"
    "                         channel): merge them program by program\n"
    "      --channel=WHICH    auto (default: each channel, the better one per program),\n"
    "                         left, right or mix\n"
    "      --rate=HZ          the sample rate of raw recordings (default: measured)\n"
    "      --force            replace files that exist already\n"
    "  -j, --jobs=N           decode N recordings at the same time (default 1)\n"
    "  -q, --quiet            no report on standard output\n"
    "  -h, --help             show this help and exit\n"
    "  -V, --version          show the version and exit\n"
    "\n"
    "The copies of a program on a recording (same name and length) and the channels of a\n"
    "stereo recording are takes of it, merged bit by bit; bits still unclear are repaired\n"
    "where the program's structure allows only one reading. Each program is written as\n"
    "NAME.p, NAME being its saved name; a different program of the same name becomes\n"
    "NAME-2.p unless it is byte-identical. A program is intact when every bit of every take\n"
    "was clean and it reached its end (E_LINE); repaired when some bits were decided by\n"
    "another take or by the structure (the report lists them); otherwise it is damaged,\n"
    "still written, and the report says where. Exit status: 0 every program found is intact\n"
    "or repaired; 1 something is damaged, no program was found, a merge was refused, or a\n"
    "file failed; 2 bad usage.\n";

// Reads a whole decimal number within [lo, hi].
bool parse_count(const char* text, long lo, long hi, long& value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (*end != '\0' || v < lo || v > hi) return false;
    value = v;
    return true;
}

} // namespace

const char* rescue_usage() {
    return usage_text;
}

ToolCommand parse_rescue_options(int argc, char** argv, RescueSettings& settings,
                                 std::string& message) {
    enum {
        json_option = 256,
        bits_option,
        channel_option,
        rate_option,
        force_option,
        merge_option
    };
    const std::vector<option> options = long_options_with({
        {"output", required_argument, nullptr, 'o'},
        {"json", required_argument, nullptr, json_option},
        {"bits", no_argument, nullptr, bits_option},
        {"channel", required_argument, nullptr, channel_option},
        {"rate", required_argument, nullptr, rate_option},
        {"force", no_argument, nullptr, force_option},
        {"merge", no_argument, nullptr, merge_option},
        {"jobs", required_argument, nullptr, 'j'},
        {"quiet", no_argument, nullptr, 'q'},
    });
    start_option_scan();
    for (;;) {
        const int found = getopt_long(argc, argv, ":o:j:qhV", options.data(), nullptr);
        if (found == -1) break;
        long value = 0;
        switch (found) {
        case 'o':
            if (*optarg == '\0') {
                message = "--output: the directory's name is empty";
                return ToolCommand::usage_error;
            }
            settings.output_dir = optarg;
            break;
        case json_option:
            if (*optarg == '\0') {
                message = "--json: the file's name is empty";
                return ToolCommand::usage_error;
            }
            settings.json = optarg;
            break;
        case bits_option:
            settings.bits = true;
            break;
        case channel_option:
            if (std::strcmp(optarg, "auto") == 0) {
                settings.decode.channels = ChannelMode::automatic;
            } else if (std::strcmp(optarg, "left") == 0) {
                settings.decode.channels = ChannelMode::left;
            } else if (std::strcmp(optarg, "right") == 0) {
                settings.decode.channels = ChannelMode::right;
            } else if (std::strcmp(optarg, "mix") == 0) {
                settings.decode.channels = ChannelMode::mix;
            } else {
                message =
                    std::string("--channel: '") + optarg + "' is not one of auto, left, right, mix";
                return ToolCommand::usage_error;
            }
            break;
        case rate_option:
            if (!parse_count(optarg, lowest_rate, highest_rate, value)) {
                message =
                    std::string("--rate: '") + optarg + "' is not a rate from 8000 to 384000 Hz";
                return ToolCommand::usage_error;
            }
            settings.decode.raw_rate = static_cast<int>(value);
            break;
        case force_option:
            settings.force = true;
            break;
        case merge_option:
            settings.merge = true;
            break;
        case 'j':
            if (!parse_count(optarg, 1, 256, value)) {
                message = std::string("--jobs: '") + optarg + "' is not a number from 1 to 256";
                return ToolCommand::usage_error;
            }
            settings.jobs = static_cast<int>(value);
            break;
        case 'q':
            settings.quiet = true;
            break;
        default:
            return shared_option(found, argv, message);
        }
    }
    for (int i = optind; i < argc; ++i)
        settings.recordings.emplace_back(argv[i]);
    if (settings.recordings.empty()) {
        message = "no recording given";
        return ToolCommand::usage_error;
    }
    return ToolCommand::run;
}
