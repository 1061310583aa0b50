// The run sequence: the stage steps in their fixed order.
//
//   raw --war step--> war --bit step--> bit --name step, P step--> P   (then the clean-up)
//
// The input's extension chooses where the run starts: a bit file (.b*) starts at the name
// step, a P file (.p*) does nothing. The war file is always rebuilt; an existing bit file or
// P file is reused unless -b, -p or -r asks for it to be rebuilt.
//
// The steps print nothing: they return what they found and hand on what they find while they
// run (each block's measurements, each unknown bit), and every message is written here, on
// its stream and in its order. Progress goes to standard output, errors to the error stream;
// standard output is flushed before an error wherever a reader of both must see them in order.
// This file and main.cpp make the executable; the rest of the folder is its library.
#pragma once

#include <string>

#include "cli/settings.h"

/// Runs the conversion of `input` and returns the exit status: 0 when the run completed, 1
/// after an error that has been reported.
int run_conversion(const std::string& input, RunSettings& settings);

/// The whole program: the usage text without an input name, otherwise the options and the
/// conversion. Returns the exit status.
int zx81tape_main(int argc, const char* const* argv);
