// zx81scope's command line:
//
//   zx81scope [options] RECORDING [-o REPORT.html]
//
// The convention of the newer tools (cmdline/command_line.h): getopt_long, -h/--help,
// -V/--version, exit status 0, 1 or 2.
#pragma once

#include <cstdint>
#include <string>

#include "cmdline/command_line.h"
#include "scope/scope_settings.h"

/// Fills `settings` from the arguments. On a usage error `message` holds one line without its
/// line break.
ToolCommand parse_scope_options(int argc, char** argv, ScopeSettings& settings,
                                std::string& message);

/// The usage text, ending with a line break.
std::string scope_usage();

/// Strict decimal integer: an optional sign and at least one digit, nothing else, within
/// [lo, hi]. False otherwise.
bool parse_integer(const std::string& text, int64_t lo, int64_t hi, int64_t& value);
