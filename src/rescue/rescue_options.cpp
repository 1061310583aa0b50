#include "rescue/rescue_options.h"

#include <cstdlib>
#include <cstring>
#include <getopt.h>

namespace {

const char usage_text[] =
    "Usage: zx81rescue [OPTION]... RECORDING...\n"
    "Find every ZX81 program on tape recordings, recover each one as a P file, and say how\n"
    "sure it is. A RECORDING is a sound file (WAV, FLAC, AIFF, ... at any rate from 8 to\n"
    "384 kHz, mono or stereo) or headerless unsigned 8-bit samples (raw).\n"
    "\n"
    "  -o, --output=DIR       write the files in DIR (default: beside each recording)\n"
    "      --json=FILE        also write a report in JSON to FILE (- for standard output)\n"
    "      --bits             also write each program's bit file (NAME.bit), to repair by hand\n"
    "                         and finish with zx81tape NAME.bit\n"
    "      --channel=WHICH    auto (default: each channel, the better one per program),\n"
    "                         left, right or mix\n"
    "      --rate=HZ          the sample rate of raw recordings (default: measured)\n"
    "      --force            replace files that exist already\n"
    "  -j, --jobs=N           decode N recordings at the same time (default 1)\n"
    "  -q, --quiet            no report on standard output\n"
    "  -h, --help             show this help and exit\n"
    "  -V, --version          show the version and exit\n"
    "\n"
    "Each program is written as NAME.p, NAME being its saved name; a second program of the\n"
    "same name becomes NAME-2.p unless it is byte-identical. A program is intact when every\n"
    "bit was clean and it reached its end (E_LINE); otherwise it is damaged, still written,\n"
    "and the report says where. Exit status: 0 every program found is intact; 1 something is\n"
    "damaged, no program was found, or a file failed; 2 bad usage.\n";

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

RescueCommand parse_rescue_options(int argc, char** argv, RescueSettings& settings,
                                   std::string& message) {
    enum { json_option = 256, bits_option, channel_option, rate_option, force_option };
    static const struct option long_options[] = {
        {"output", required_argument, nullptr, 'o'},
        {"json", required_argument, nullptr, json_option},
        {"bits", no_argument, nullptr, bits_option},
        {"channel", required_argument, nullptr, channel_option},
        {"rate", required_argument, nullptr, rate_option},
        {"force", no_argument, nullptr, force_option},
        {"jobs", required_argument, nullptr, 'j'},
        {"quiet", no_argument, nullptr, 'q'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    optind = 1;
    for (;;) {
        const int option = getopt_long(argc, argv, ":o:j:qhV", long_options, nullptr);
        if (option == -1) break;
        long value = 0;
        switch (option) {
        case 'o':
            if (*optarg == '\0') {
                message = "--output: the directory's name is empty";
                return RescueCommand::error;
            }
            settings.output_dir = optarg;
            break;
        case json_option:
            if (*optarg == '\0') {
                message = "--json: the file's name is empty";
                return RescueCommand::error;
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
                return RescueCommand::error;
            }
            break;
        case rate_option:
            if (!parse_count(optarg, 8000, 384000, value)) {
                message =
                    std::string("--rate: '") + optarg + "' is not a rate from 8000 to 384000 Hz";
                return RescueCommand::error;
            }
            settings.decode.raw_rate = static_cast<int>(value);
            break;
        case force_option:
            settings.force = true;
            break;
        case 'j':
            if (!parse_count(optarg, 1, 256, value)) {
                message = std::string("--jobs: '") + optarg + "' is not a number from 1 to 256";
                return RescueCommand::error;
            }
            settings.jobs = static_cast<int>(value);
            break;
        case 'q':
            settings.quiet = true;
            break;
        case 'h':
            return RescueCommand::help;
        case 'V':
            return RescueCommand::version;
        case ':': {
            const std::string word = argv[optind - 1];
            message =
                "option '" +
                (word.compare(0, 2, "--") == 0 ? word.substr(0, word.find('='))
                                               : std::string("-") + static_cast<char>(optopt)) +
                "' needs a value";
            return RescueCommand::error;
        }
        default: {
            const std::string word = argv[optind - 1];
            if (word.compare(0, 2, "--") != 0) {
                message = std::string("unknown option '-") + static_cast<char>(optopt) + "'";
            } else if (word.find('=') != std::string::npos && optopt != 0) {
                message = "option '" + word.substr(0, word.find('=')) + "' takes no value";
            } else {
                message = "unknown option '" + word + "'";
            }
            return RescueCommand::error;
        }
        }
    }
    for (int i = optind; i < argc; ++i)
        settings.recordings.emplace_back(argv[i]);
    if (settings.recordings.empty()) {
        message = "no recording given";
        return RescueCommand::error;
    }
    return RescueCommand::run;
}
