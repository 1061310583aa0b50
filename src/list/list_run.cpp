#include "list/list_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <getopt.h>

#include "program/p_file_check.h"
#include "list/p_file_info.h"

namespace {

constexpr std::size_t max_kept = 0x10000; // the ZX81's address space; a P file fits in it

const char usage_text[] =
    "Usage: zx81list [OPTION]... FILE.p...\n"
    "List, summarise or check ZX81 programs (P files). With FILE -, read standard input.\n"
    "\n"
    "  -s, --style=STYLE  listing notation: readable (default) or zmakebas\n"
    "  -i, --info         summary of the system variables instead of the listing\n"
    "      --screen       the display file, 24 rows of 32 characters, instead of the listing\n"
    "  -c, --check        check the file's structure; one line per finding:\n"
    "                       FILE: offset 0xNNNN: what is wrong\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "The readable style shows block graphics as Unicode blocks, inverse characters in [ ],\n"
    "the quote image as \"\", the pound sign as \xC2\xA3 and codes without text as \\{n}. The\n"
    "zmakebas style is text that zmakebas -p turns back into the same program lines; a line\n"
    "it cannot express is preceded by a # comment saying why and warned about.\n"
    "\n"
    "Exit status: 0 all well; 1 --check found damage, a file is not a ZX81 program, or the\n"
    "zmakebas text will not rebuild the program; 2 bad usage or an unreadable file.\n";

void usage_error(const std::string& message) {
    std::fprintf(stderr, "zx81list: %s\nTry 'zx81list --help' for more information.\n",
                 message.c_str());
}

/// Reads a whole file, keeping its first `max_kept` bytes. False with `error` set on failure.
bool read_input(const std::string& name, std::vector<uint8_t>& bytes, std::size_t& size,
                std::string& error) {
    const bool standard_input = name == "-";
    std::FILE* in = standard_input ? stdin : std::fopen(name.c_str(), "rb");
    if (in == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    bytes.clear();
    size = 0;
    char chunk[65536];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, in);
        if (got == 0) break;
        const std::size_t keep = std::min(got, max_kept - std::min(size, max_kept));
        bytes.insert(bytes.end(), chunk, chunk + keep);
        size += got;
    }
    const bool failed = std::ferror(in) != 0;
    if (failed) error = std::strerror(errno != 0 ? errno : EIO);
    if (!standard_input) std::fclose(in);
    return !failed;
}

} // namespace

int parse_list_options(int argc, char** argv, ListSettings& settings) {
    enum { screen_option = 256 };
    static const struct option long_options[] = {
        {"style", required_argument, nullptr, 's'},
        {"info", no_argument, nullptr, 'i'},
        {"screen", no_argument, nullptr, screen_option},
        {"check", no_argument, nullptr, 'c'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    optind = 1;
    for (;;) {
        const int option = getopt_long(argc, argv, ":s:ichV", long_options, nullptr);
        if (option == -1) break;
        switch (option) {
        case 's':
            if (std::strcmp(optarg, "readable") == 0) {
                settings.style = ListStyle::readable;
            } else if (std::strcmp(optarg, "zmakebas") == 0) {
                settings.style = ListStyle::zmakebas;
            } else {
                usage_error(std::string("unknown style '") + optarg + "' (readable or zmakebas)");
                return 2;
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
        case 'h':
            std::fputs(usage_text, stdout);
            return 0;
        case 'V':
            std::puts("zx81list " ZX81_VERSION);
            return 0;
        case ':': {
            const std::string word = argv[optind - 1];
            usage_error("option '" +
                        (word.compare(0, 2, "--") == 0
                             ? word
                             : std::string("-") + static_cast<char>(optopt)) +
                        "' needs a value");
            return 2;
        }
        default: {
            const std::string word = argv[optind - 1];
            if (word.compare(0, 2, "--") != 0) {
                usage_error(std::string("unknown option '-") + static_cast<char>(optopt) + "'");
            } else if (word.find('=') != std::string::npos && optopt != 0) {
                usage_error("option '" + word.substr(0, word.find('=')) + "' takes no value");
            } else {
                usage_error("unknown option '" + word + "'");
            }
            return 2;
        }
        }
    }
    for (int i = optind; i < argc; ++i)
        settings.files.emplace_back(argv[i]);
    if (settings.files.empty()) {
        usage_error("no input file");
        return 2;
    }
    return -1;
}

int zx81list_main(int argc, char** argv) {
    ListSettings settings;
    const int parsed = parse_list_options(argc, argv, settings);
    if (parsed >= 0) return std::fflush(stdout) == 0 ? parsed : 2;

    const bool several = settings.files.size() > 1;
    const bool listing = !settings.info && !settings.screen && !settings.check;
    int status = 0;
    bool first = true;
    for (const std::string& file : settings.files) {
        const std::string name = file == "-" ? "(standard input)" : file;
        std::vector<uint8_t> bytes;
        std::size_t size = 0;
        std::string error;
        if (!read_input(file, bytes, size, error)) {
            std::fflush(stdout);
            std::fprintf(stderr, "zx81list: %s: %s\n", name.c_str(), error.c_str());
            status = 2;
            continue;
        }
        const PFileModel model = parse_p_file(std::move(bytes), size);
        // The check reports a damaged file in detail; the other views need a program.
        const std::string problem = settings.check ? "" : not_a_program_reason(model);
        if (!problem.empty()) {
            std::fflush(stdout);
            std::fprintf(stderr, "zx81list: %s: not a ZX81 program: %s\n", name.c_str(),
                         problem.c_str());
            if (status == 0) status = 1;
            continue;
        }
        if (several && (listing || settings.info || settings.screen)) {
            if (!first) std::fputs("\n", stdout);
            const bool comment = listing && settings.style == ListStyle::zmakebas;
            std::printf(comment ? "# %s\n" : "%s:\n", name.c_str());
        }
        first = false;
        if (settings.info) std::fputs(p_file_info(model).c_str(), stdout);
        if (settings.screen) std::fputs(p_file_screen(model).c_str(), stdout);
        if (settings.check) {
            const std::vector<Finding> findings = check_p_file(model);
            for (const Finding& f : findings) {
                std::printf("%s: offset 0x%04zX: %s\n", name.c_str(), f.offset, f.message.c_str());
            }
            if (!findings.empty() && status == 0) status = 1;
        }
        if (listing) {
            const Listing result = list_program(model, settings.style);
            std::fputs(result.text.c_str(), stdout);
            if (!result.warnings.empty()) {
                std::fflush(stdout);
                for (const std::string& warning : result.warnings) {
                    std::fprintf(stderr, "zx81list: %s: %s\n", name.c_str(), warning.c_str());
                }
                if (status == 0) status = 1;
            }
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "zx81list: cannot write standard output: %s\n", std::strerror(errno));
        return 2;
    }
    return status;
}
