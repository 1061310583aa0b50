// zx81list: lists, summarises, shows the screen of and checks P files.
//
//   zx81list [options] FILE.p...      (- reads standard input)
//   exit status 0: everything listed or checked and sound; 1: --check found damage, or the
//   zmakebas text will not rebuild a program; 2: bad usage or a file that cannot be read.
#pragma once

#include <string>
#include <vector>

#include "list/listing.h"

struct ListSettings {
    ListStyle style = ListStyle::readable; // --style
    bool info = false;                     // --info: the summary
    bool screen = false;                   // --screen: the display file
    bool check = false;                    // --check: the integrity check
    std::vector<std::string> files;        // the files, in order; "-" is standard input
};

/// Fills `settings` from the command line. Returns -1 when the run should go on, else the exit
/// status (0 after --help or --version, 2 after a usage error, which has been reported).
int parse_list_options(int argc, char** argv, ListSettings& settings);

/// The whole program: parses the options, then lists, summarises or checks every file.
int zx81list_main(int argc, char** argv);
