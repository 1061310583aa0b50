// The command line of zx81rescue: one record, filled from the arguments and only read after.
#pragma once

#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "recover/recording_decoder.h"

struct RescueSettings {
    std::vector<std::string> recordings; // RECORDING...
    std::string output_dir;              // -o: where the files go; empty: beside each recording
    std::string json;                    // --json: the report's file, "-" for stdout; empty none
    bool bits = false;                   // --bits: also each program's bit file
    DecodeOptions decode;                // --channel, --rate
    bool force = false;                  // --force: existing files may be replaced
    int jobs = 1;                        // -j: recordings decoded at the same time
    bool quiet = false;                  // -q: no report on stdout, no progress line
    bool merge = false;                  // --merge: the recordings are takes of one tape
};

/// Fills `settings` from the arguments (argument 0 is the program's name). On `usage_error`,
/// `message` holds one line without a line break.
ToolCommand parse_rescue_options(int argc, char** argv, RescueSettings& settings,
                                 std::string& message);

/// The text of --help.
const char* rescue_usage();
