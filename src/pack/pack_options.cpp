#include "pack/pack_options.h"

#include <cctype>
#include <cstring>

#include "io/file_name.h"

namespace {

const char usage_text[] =
    "Usage: zx81pack join -o OUT [OPTION]... FILE...\n"
    "  or:  zx81pack split [-o DIR] [--force] FILE...\n"
    "  or:  zx81pack list FILE...\n"
    "Join ZX81 programs into one .p81 or .tzx file, split such a file into P files, or list\n"
    "the programs in files. A FILE is a P file (.p, .81), a .p81 or a .tzx file; - reads\n"
    "standard input.\n"
    "\n"
    "Commands:\n"
    "  join   write the programs of every FILE, in order, into OUT, a .p81 or .tzx file\n"
    "  split  write every program of every FILE as a P file named after its saved name,\n"
    "         NAME.p (a second program of the same name becomes NAME-2.p)\n"
    "  list   show each FILE's format and its programs' offsets, sizes and saved names\n"
    "\n"
    "Options:\n"
    "  -o, --output=PATH  join: the file written (required); split: the directory the P\n"
    "                     files go to (default: the directory of each FILE)\n"
    "  -n, --name=NAME    join: the saved name of the FILE that follows. Without it, a P\n"
    "                     file is named after its file, upper-cased (games/hello.p is saved\n"
    "                     as HELLO), and programs from .p81 and .tzx files keep their names.\n"
    "                     1 to 127 letters, digits, spaces and \" \xC2\xA3 $ : ? ( ) > < = + - * "
    "/\n"
    "                     ; , . (small letters become capitals)\n"
    "      --format=FMT   join: p81 or tzx, when OUT's name does not end in .p81 or .tzx\n"
    "      --pause=MS     join into .tzx: the pause after each program, 0 to 65535 ms\n"
    "                     (default 5000)\n"
    "  -f, --force        replace files that exist (join: OUT; split: the P files)\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "Notes about what a file holds besides ZX81 programs (other blocks of a .tzx, bytes after\n"
    "a program's end) go to the error stream. Exit status: 0 done; 1 a file that cannot be\n"
    "read or written, a damaged container, or a file that exists (nothing is written then);\n"
    "2 bad usage.\n";

enum { format_option = 256, pause_option };

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool read_pause(const char* text, uint16_t& pause) {
    if (*text == '\0' || std::strlen(text) > 5) return false;
    unsigned long value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (!std::isdigit(static_cast<unsigned char>(*c))) return false;
        value = value * 10 + static_cast<unsigned long>(*c - '0');
    }
    if (value > 65535) return false;
    pause = static_cast<uint16_t>(value);
    return true;
}

// Checks that the options given belong to the command. False with `message` set.
bool check_command_options(const PackSettings& s, bool name_given, bool output_given,
                           std::string& message) {
    const char* command = s.command == PackCommand::join    ? "join"
                          : s.command == PackCommand::split ? "split"
                                                            : "list";
    std::string stray;
    if (s.command != PackCommand::join) {
        if (name_given) stray = "--name";
        if (s.format_given) stray = "--format";
        if (s.pause_given) stray = "--pause";
    }
    if (s.command == PackCommand::list) {
        if (output_given) stray = "--output";
        if (s.force) stray = "--force";
    }
    if (!stray.empty()) {
        message = std::string("option '") + stray + "' does not go with " + command;
        return false;
    }
    if (s.files.empty()) {
        message = std::string(command) + ": no input file";
        return false;
    }
    return true;
}

} // namespace

const char* pack_usage_text() {
    return usage_text;
}

ToolCommand parse_pack_options(int argc, char** argv, PackSettings& settings, std::string& message) {
    const std::vector<option> options = long_options_with({
        {"output", required_argument, nullptr, 'o'},
        {"name", required_argument, nullptr, 'n'},
        {"format", required_argument, nullptr, format_option},
        {"pause", required_argument, nullptr, pause_option},
        {"force", no_argument, nullptr, 'f'},
    });
    start_option_scan();
    bool output_given = false;
    bool name_pending = false; // a --name waits for its file
    std::string name;
    bool name_given = false;
    bool have_command = false;
    // With the leading '-', arguments that are not options come back in order as 1, so that a
    // --name meets the file that follows it.
    for (;;) {
        const int found = getopt_long(argc, argv, "-:o:n:fhV", options.data(), nullptr);
        if (found == -1) break;
        switch (found) {
        case 1:
            if (!have_command) {
                const std::string command = optarg;
                if (command == "join") {
                    settings.command = PackCommand::join;
                } else if (command == "split") {
                    settings.command = PackCommand::split;
                } else if (command == "list") {
                    settings.command = PackCommand::list;
                } else {
                    message = "unknown command '" + command + "' (join, split or list)";
                    return ToolCommand::usage_error;
                }
                have_command = true;
            } else {
                settings.files.push_back({optarg, name_pending, name});
                name_pending = false;
            }
            break;
        case 'o':
            if (output_given) {
                message = "more than one --output";
                return ToolCommand::usage_error;
            }
            settings.output = optarg;
            output_given = true;
            break;
        case 'n':
            if (name_pending) {
                message = "two names (--name) for one file";
                return ToolCommand::usage_error;
            }
            name = optarg;
            name_pending = true;
            name_given = true;
            break;
        case format_option: {
            const std::string format = lower(optarg);
            if (format != "p81" && format != "tzx") {
                message = std::string("unknown format '") + optarg + "' (p81 or tzx)";
                return ToolCommand::usage_error;
            }
            settings.format = format == "p81" ? ContainerFormat::p81 : ContainerFormat::tzx;
            settings.format_given = true;
            break;
        }
        case pause_option:
            if (!read_pause(optarg, settings.pause_ms)) {
                message = std::string("--pause: '") + optarg +
                          "' is not a whole number of milliseconds from 0 to 65535";
                return ToolCommand::usage_error;
            }
            settings.pause_given = true;
            break;
        case 'f': settings.force = true; break;
        default:
            return shared_option(found, argv, message);
        }
    }
    // After "--" the rest are files.
    for (int i = optind; i < argc; ++i) {
        if (!have_command) {
            message = "no command (join, split or list)";
            return ToolCommand::usage_error;
        }
        settings.files.push_back({argv[i], name_pending, name});
        name_pending = false;
    }
    if (!have_command) {
        message = "no command (join, split or list)";
        return ToolCommand::usage_error;
    }
    if (!check_command_options(settings, name_given, output_given, message)) {
        return ToolCommand::usage_error;
    }
    if (name_pending) {
        message = "--name '" + name + "' is not followed by a file";
        return ToolCommand::usage_error;
    }
    if (settings.command != PackCommand::join) return ToolCommand::run;
    if (!output_given || settings.output.empty()) {
        message = "join: no output file (-o OUT.p81 or -o OUT.tzx)";
        return ToolCommand::usage_error;
    }
    const std::string extension = file_extension(settings.output);
    if (!settings.format_given) {
        if (extension == "p81") {
            settings.format = ContainerFormat::p81;
        } else if (extension == "tzx") {
            settings.format = ContainerFormat::tzx;
        } else {
            message = "join: '" + settings.output +
                      "' does not end in .p81 or .tzx (name the format with --format)";
            return ToolCommand::usage_error;
        }
    }
    if (settings.pause_given && settings.format != ContainerFormat::tzx) {
        message = "option '--pause' goes with a .tzx output only";
        return ToolCommand::usage_error;
    }
    return ToolCommand::run;
}
