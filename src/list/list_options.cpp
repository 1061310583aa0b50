#include "list/list_options.h"

#include <cstring>

const char* list_usage() {
    // clang-format off
    return "Usage: zx81list [OPTION]... FILE...\n"
        "List, summarise or check ZX81 programs: P files (.p, .81), and every program of a\n"
        ".p81 or .tzx file, each under a header with its saved name. With FILE -, read\n"
        "standard input.\n"
        "\n"
        "  -s, --style=STYLE  listing notation: readable (default) or zmakebas\n"
        "  -i, --info         summary of the system variables instead of the listing; for a\n"
        "                       .p81 or .tzx file, also its programs, each one's name,\n"
        "                       offset and size\n"
        "      --screen       the display file, 24 rows of 32 characters, instead of the listing\n"
        "  -c, --check        check the file's structure; one line per finding:\n"
        "                       FILE: offset 0xNNNN: what is wrong (in a .p81 or .tzx file,\n"
        "                       FILE #N \"NAME\": and the offset in that program's P file)\n"
        "  -h, --help         show this help and exit\n"
        "  -V, --version      show the version and exit\n"
        "\n"
        "The readable style shows block graphics as Unicode blocks, inverse characters in [ ],\n"
        "the quote image as \"\", the pound sign as \xC2\xA3 and codes without text as \\{n}. The\n"
        "zmakebas style is text that zmakebas -p turns back into the same program lines; a line\n"
        "it cannot express is preceded by a # comment saying why and warned about.\n"
           "\n"
        "Exit status: 0 all well; 1 a file that cannot be read or is not a ZX81 program, a\n"
        "damaged .p81 or .tzx file (its programs before the damage are still shown), --check\n"
        "found damage, or the zmakebas text will not rebuild the program; 2 bad usage.\n";
    // clang-format on
}

ToolCommand parse_list_options(int argc, char** argv, ListSettings& settings,
                               std::string& message) {
    enum { screen_option = 256 };
    const std::vector<option> options = long_options_with({
        {"style", required_argument, nullptr, 's'},
        {"info", no_argument, nullptr, 'i'},
        {"screen", no_argument, nullptr, screen_option},
        {"check", no_argument, nullptr, 'c'},
    });
    start_option_scan();
    for (;;) {
        const int found = getopt_long(argc, argv, ":s:ichV", options.data(), nullptr);
        if (found == -1) break;
        switch (found) {
        case 's':
            if (std::strcmp(optarg, "readable") == 0) {
                settings.style = ListStyle::readable;
            } else if (std::strcmp(optarg, "zmakebas") == 0) {
                settings.style = ListStyle::zmakebas;
            } else {
                message = std::string("unknown style '") + optarg + "' (readable or zmakebas)";
                return ToolCommand::usage_error;
            }
            break;
        case 'i':
            settings.info = true;
            break;
        case screen_option:
            settings.screen = true;
            break;
        case 'c':
            settings.check = true;
            break;
        default:
            return shared_option(found, argv, message);
        }
    }
    for (int i = optind; i < argc; ++i) settings.files.emplace_back(argv[i]);
    if (settings.files.empty()) {
        message = "no input file";
        return ToolCommand::usage_error;
    }
    return ToolCommand::run;
}
