// zx81scope from the arguments to the exit status: options, analysis, report files. This
// file and main.cpp make the executable; the rest of the folder is its library.
#pragma once

/// The whole program; returns the exit status (0 report written, 1 input or output failed,
/// 2 usage error). Messages go to the error stream, the summary to standard output.
int zx81scope_main(int argc, char** argv);
