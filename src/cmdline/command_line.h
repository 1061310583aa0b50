// The command line the newer tools share (zx81synth, zx81list, zx81scope and those to come):
//
//   - options through getopt_long, before, between or after the files; a value follows its
//     option as the next argument or after '=' (--rate 8000, --rate=8000, -o FILE); a long
//     option may be shortened while it stays unique; "--" ends the options;
//   - -h and --help print the usage text, which says what the tool reads; -V and --version
//     print "TOOL VERSION"; both end the run with status 0;
//   - exit status 0 when done, 1 for a file or data failure or a finding, 2 for bad usage;
//   - a usage error is reported as "TOOL: MESSAGE" and "Try 'TOOL --help' for more
//     information.", each on a line of its own, on the error stream.
//
// The pieces here build the texts; each tool prints them.
#pragma once

#include <getopt.h>
#include <initializer_list>
#include <string>
#include <vector>

/// What the command line asks a tool to do.
enum class ToolCommand {
    run,
    help,        ///< print the usage text
    version,     ///< print the version
    usage_error, ///< bad usage; the message says what
};

constexpr int exit_done = 0;
constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

/// A tool's own long options followed by --help ('h'), --version ('V') and the zero entry
/// that ends the table, for getopt_long.
std::vector<option> long_options_with(std::initializer_list<option> own);

/// Makes the next getopt_long call start afresh at argument 1 (its place is kept between calls,
/// and a process may parse more than one command line).
void start_option_scan();

/// The message for the option getopt_long has just refused (with its error reports off and ':'
/// leading its short options): `result` ':' for a missing value, '?' for an unknown option or
/// a value given to an option that takes none.
std::string refused_option(int result, char* const* argv);

/// What the options every tool shares ask for: help for 'h', the version for 'V', and bad
/// usage, with `message` from `refused_option`, for whatever else the tool does not know.
ToolCommand shared_option(int result, char* const* argv, std::string& message);

/// "TOOL: MESSAGE\nTry 'TOOL --help' for more information.\n"
std::string usage_error_text(const std::string& tool, const std::string& message);

/// "TOOL VERSION\n"
std::string version_text(const std::string& tool);
