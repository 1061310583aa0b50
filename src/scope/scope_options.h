// zx81scope's command line:
//
//   zx81scope [options] RECORDING [-o REPORT.html]
//
// Options may come before or after the recording; a value follows its option as the next
// argument or after '=' (`--threshold 40`, `--threshold=40`). "--" ends the options.
#pragma once

#include <string>

#include "scope/scope_settings.h"

enum class ScopeCommand {
    run,     // make the report
    help,    // print the usage text
    version, // print the version
    error,   // a usage error; the message says which
};

/// Fills `settings` from the arguments. On `error`, `message` holds one line without its
/// line break.
ScopeCommand parse_scope_options(int argc, const char* const* argv, ScopeSettings& settings,
                                 std::string& message);

/// The usage text, ending with a line break.
std::string scope_usage();

/// Strict decimal integer: an optional sign and at least one digit, nothing else, within
/// [lo, hi]. False otherwise.
bool parse_integer(const std::string& text, int64_t lo, int64_t hi, int64_t& value);
