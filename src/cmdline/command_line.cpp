#include "cmdline/command_line.h"

std::vector<option> long_options_with(std::initializer_list<option> own) {
    std::vector<option> options(own);
    options.push_back({"help", no_argument, nullptr, 'h'});
    options.push_back({"version", no_argument, nullptr, 'V'});
    options.push_back({nullptr, 0, nullptr, 0});
    return options;
}

void start_option_scan() {
    opterr = 0;
    optind = 0; // 0, not 1: glibc then also forgets where it stood inside a group of letters
}

std::string refused_option(int result, char* const* argv) {
    const std::string word = argv[optind - 1];
    const bool long_option = word.compare(0, 2, "--") == 0;
    if (result == ':') {
        return "option '" + (long_option ? word : std::string("-") + static_cast<char>(optopt)) +
               "' needs a value";
    }
    if (!long_option) return std::string("unknown option '-") + static_cast<char>(optopt) + "'";
    const std::size_t equals = word.find('=');
    if (equals != std::string::npos && optopt != 0) {
        return "option '" + word.substr(0, equals) + "' takes no value";
    }
    return "unknown option '" + word + "'";
}

ToolCommand shared_option(int result, char* const* argv, std::string& message) {
    if (result == 'h') return ToolCommand::help;
    if (result == 'V') return ToolCommand::version;
    message = refused_option(result, argv);
    return ToolCommand::usage_error;
}

std::string usage_error_text(const std::string& tool, const std::string& message) {
    return tool + ": " + message + "\nTry '" + tool + " --help' for more information.\n";
}

std::string version_text(const std::string& tool) {
    return tool + " " ZX81_VERSION "\n";
}
