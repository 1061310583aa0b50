// zx81list's command line:
//
//   zx81list [options] FILE...      (P, .p81 or .tzx files; - reads standard input)
//
// The convention of the newer tools (cmdline/command_line.h): getopt_long, -h/--help,
// -V/--version, exit status 0, 1 or 2.
#pragma once

#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "list/listing.h"

struct ListSettings {
    ListStyle style = ListStyle::readable; // --style
    bool info = false;                     // --info: the summary
    bool screen = false;                   // --screen: the display file
    bool check = false;                    // --check: the integrity check
    std::vector<std::string> files;        // the files, in order; "-" is standard input
};

/// Fills `settings` from the arguments. On a usage error `message` holds one line without its
/// line break.
ToolCommand parse_list_options(int argc, char** argv, ListSettings& settings, std::string& message);

/// The usage text, ending with a line break.
const char* list_usage();
