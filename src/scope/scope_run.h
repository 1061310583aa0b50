// zx81scope from the arguments to the exit status: options, analysis, report files.
#pragma once

#include <string>

/// The recording's name without its extension (a dot in the last path component, not at its
/// start), the stem of the report's default name.
std::string report_stem(const std::string& name);

/// The whole program; returns the exit status (0 report written, 1 input or output failed,
/// 2 usage error). Messages go to the error stream, the summary to standard output.
int zx81scope_main(int argc, const char* const* argv);
